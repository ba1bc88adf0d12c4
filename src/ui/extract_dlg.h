#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "archive/folder_index.h"
#include "archive/user_dialogs.h"
#include "extract/batch_monitor.h"
#include "extract/entry_extractor.h"
#include "ui/file_list_model.h"
#include "ui/file_list_view.h"
#include "ui/folder_tree_model.h"
#include "ui/folder_tree_view.h"

namespace tarvix {

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

inline constexpr const char* kInitialCaption = "TARVIX v0.9";
inline constexpr const char* kTitleSuffix = " - TARVIX v.09";
inline constexpr const char* kVersionText =
    "TARVIX - Quorvane\nVersion 0.91 Alpha\nAll suggestions: tarvix@example.org";
inline constexpr const char* kExtractDialogTitle = "Choose path to extract files to..";
inline constexpr const char* kChooseFolderTitle = "Choose folder to extract to";

// The program's one window: the folder tree, the file list of the selected folder, the
// selection summary, and the Extract and Version commands. It owns the archive for the run.
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

    std::string GetSelectedFolderPath() const;  // Windows-1252 bytes
    std::vector<int> SelectedRows() const;      // in display order

    const DatArchive& archive() const { return archive_; }
    const FolderIndex& folders() const { return folders_; }
    const EntryTable& entryTable() const { return entryTable_; }

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
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createControls();
    void layOutControls();
    void wireEvents();
    void OnInitDialog();
    void BuildFolderTree();
    void ShowArchiveInCaption();
    void ShowVersion();

    void FillFileList();
    void OnListClick();
    void UpdateSelectionStatus();

    void ExtractSelected();
    void ShowFolderMenu(const QPoint& globalPos);
    std::optional<NodeId> selectedFolder() const;
    void ExtractFolder();
    void ExtractAll();
    // Asks for the destination, then extracts `entries` there with the Unpack option.
    void AskAndExtract(std::vector<EntryIndex> entries, const std::string& suggestedName,
                       ExtractTarget target);
    // Runs one batch off the window's thread, with a progress dialog, then reports failures.
    void RunBatch(std::vector<EntryIndex> entries, ExtractTarget target);

    void wireFindShortcut();
    QModelIndex TreeIndexOf(NodeId node) const;
    void SelectFolderNode(NodeId node);
    void SelectListedEntries(std::vector<EntryIndex> entries);

    UserDialogs& dialogs_;
    DatArchive archive_;
    EntryTable entryTable_;
    FolderIndex folders_;
    bool initialized_ = false;
    std::optional<std::filesystem::path> startupArchive_;
    bool fillingList_ = false;
    BatchMonitor* runningBatch_ = nullptr;  // the batch being extracted, if any
    std::optional<int> closeAfterBatch_;    // the result to end with once it has stopped

    QPushButton* extractButton_ = nullptr;
    QCheckBox* preservePaths_ = nullptr;
    QCheckBox* unpack_ = nullptr;
    QLineEdit* statusBox_ = nullptr;
    FileListView* list_ = nullptr;
    QLineEdit* pathBox_ = nullptr;
    FolderTreeView* tree_ = nullptr;
    QPushButton* versionButton_ = nullptr;
    FolderTreeModel* treeModel_ = nullptr;
    FileListModel* listModel_ = nullptr;
    FindWindow* findWindow_ = nullptr;
    PreviewController* preview_ = nullptr;  // made on first use
};

}  // namespace tarvix
