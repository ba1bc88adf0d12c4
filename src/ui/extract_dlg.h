#pragma once

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_session.h"
#include "extract/extraction_plan.h"
#include "ui/file_list_model.h"
#include "ui/file_list_view.h"
#include "ui/folder_tree_model.h"
#include "ui/folder_tree_view.h"
#include "ui/user_dialogs.h"

namespace tarvix {

class ExtractionJob;
class FindWindow;
class PreviewController;

// Control ids of the main window, kept as each widget's "controlId" property.
enum ControlId : int {
    kIdTree = 1000,
    kIdList = 1001,
    kIdPathBox = 1008,
    kIdPreservePaths = 1010,
    kIdStatusBox = 1011,
    kIdExtract = 1012,
    kIdVersion = 1013,
    kIdUnpack = 1014,
};

// Fixed texts of the window, not the package's version: see the note beside it in
// CMakeLists.txt.
inline constexpr const char* kInitialCaption = "TARVIX v0.9";
inline constexpr const char* kTitleSuffix = " - TARVIX v.09";
inline constexpr const char* kVersionText =
    "TARVIX - Quorvane\nVersion 0.91 Alpha\nAll suggestions: tarvix@example.org";
inline constexpr const char* kExtractDialogTitle = "Choose path to extract files to..";
inline constexpr const char* kChooseFolderTitle = "Choose folder to extract to";
inline constexpr const char* kChooseGameFolderTitle = "Choose the game folder";
inline constexpr const char* kEmptyListHint = "Open an archive with Ctrl+O, or drop one here.";

// The program's one window: the folder tree, the file list of the selected folder, the
// selection summary, and the Extract and Version commands. It shows the archive session of the
// run and starts extraction jobs on it; the job runs the batch, the window only listens.
//
// Browsing lives in extract_dlg_browse.cpp, extraction in extract_dlg_extract.cpp, finding
// files by name in extract_dlg_find.cpp.
class CExtractDlg : public QDialog {
    Q_OBJECT

public:
    explicit CExtractDlg(UserDialogs& dialogs, QWidget* parent = nullptr);
    ~CExtractDlg() override;

    // The first show runs the start-up: choose and load the archive, build the tree.
    void setVisible(bool visible) override;
    // Opens `path` at start-up instead of asking for the archive.
    void setStartupArchive(const std::filesystem::path& path);

    // Asks for another archive (Ctrl+O), or opens `path`, in place of the current one. A
    // refused archive is reported and the current one stays as it was.
    void OpenAnother();
    void OpenAnotherArchive(const std::filesystem::path& path);
    // Asks for a game folder (Ctrl+Shift+O), or opens `dir`, and shows the stack of archives
    // and folders the game installed there reads, in place of what is shown. A refused folder
    // is reported and what was shown stays as it was.
    void OpenGameFolder();
    void OpenGameFolderAt(const std::filesystem::path& dir);

    std::string GetSelectedFolderPath() const;  // Windows-1252 bytes
    std::vector<int> SelectedRows() const;      // in display order

    const DatArchive& archive() const { return session_.archive(); }
    const FolderIndex& folders() const { return session_.folders(); }
    const EntryTable& entryTable() const { return session_.table(); }
    // Whether a batch is being extracted; the commands that must wait are disabled meanwhile.
    bool extracting() const;

    // Ends the window; during a batch, cancels it first and ends once it has stopped.
    void done(int result) override;

    // Shows entries as clicks would: the first one's folder, opened and scrolled to in the
    // tree, and there every given entry of that folder selected in the list.
    void ShowEntries(const std::vector<EntryIndex>& entries);
    // Extracts entries from anywhere in the archive, through the save dialog and with the
    // window's options: "Preserve internal paths" puts each at its full internal path.
    void ExtractEntries(std::vector<EntryIndex> entries);

public Q_SLOTS:
    // Opens the window that finds files by name (Ctrl+F), or raises it when it is open.
    void OpenFindWindow();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createControls();
    void createActions();
    void layOutControls();
    void wireEvents();
    bool CloseToolWindow();
    void OnInitDialog();
    // Opens `path` in the session and shows its folders; a refusal has been reported.
    bool BuildFolderTree(const std::filesystem::path& path);
    void ShowArchiveInCaption();
    // Shows what `loaded` holds in place of the session's, which closes with `loaded`.
    void ShowLoaded(ArchiveSession& loaded);
    // The list's second column over a stack: each entry's source, by its place in the stack.
    FileListModel::SourceOf SourceColumn() const;
    void ShowVersion();

    void FillFileList();
    void OnListClick();
    void UpdateSelectionStatus();
    void EnableExtract(bool enabled);
    void ShowEmptyListHint();

    void ExtractSelected();
    void ShowFolderMenu(const QPoint& globalPos);
    std::optional<NodeId> selectedFolder() const;
    void ExtractFolder();
    void ExtractAll();
    // Asks for the destination with the save dialog, then extracts `subject` there.
    void AskAndExtract(ExtractionSubject subject, const std::string& suggestedName);
    // Asks for the destination folder, then extracts `subject` there.
    void AskFolderAndExtract(ExtractionSubject subject);
    // Starts the job on `subject` with the window's options; the progress dialog follows it.
    void StartExtraction(ExtractionSubject subject, const std::filesystem::path& destination);
    void OnBusyChanged(bool busy);
    void OnExtractionFinished(const std::string& report);

    void wireFindShortcut();
    QModelIndex TreeIndexOf(NodeId node) const;
    void SelectFolderNode(NodeId node);
    void SelectListedEntries(std::vector<EntryIndex> entries);

    UserDialogs& dialogs_;
    ArchiveSession session_;
    // Declared after the session, so that it goes first: a running batch reads the session.
    std::unique_ptr<ExtractionJob> job_;
    bool initialized_ = false;
    std::optional<std::filesystem::path> startupArchive_;
    bool fillingList_ = false;
    bool extractWanted_ = false;          // the Extract button's state apart from a batch
    std::optional<int> closeAfterBatch_;  // the result to end with once the batch has stopped
    std::vector<QString> sourceNames_;    // of the stack shown, by place; empty for an archive
    QSize initialSize_;
    QRect initialSplitter_;

    QPushButton* extractButton_ = nullptr;
    QCheckBox* preservePaths_ = nullptr;
    QCheckBox* unpack_ = nullptr;
    QLineEdit* statusBox_ = nullptr;
    FileListView* list_ = nullptr;
    QLineEdit* pathBox_ = nullptr;
    QSplitter* splitter_ = nullptr;  // the tree and the list, which take any extra room
    FolderTreeView* tree_ = nullptr;
    QPushButton* versionButton_ = nullptr;
    FolderTreeModel* treeModel_ = nullptr;
    FileListModel* listModel_ = nullptr;
    FindWindow* findWindow_ = nullptr;
    PreviewController* preview_ = nullptr;  // made on first use
    // Commands that must wait while a batch runs; the job's busy signal disables them all.
    QActionGroup* waiting_ = nullptr;
    QAction* openAction_ = nullptr;         // Ctrl+O
    QAction* openGameAction_ = nullptr;     // Ctrl+Shift+O, also in the tree's folder menu
    QAction* extractAction_ = nullptr;      // the Extract button and a double-click
    QAction* extractRowsAction_ = nullptr;  // the list's context menu, with rows selected
    QAction* extractFolderAction_ = nullptr;
    QAction* extractAllAction_ = nullptr;
};

}  // namespace tarvix
