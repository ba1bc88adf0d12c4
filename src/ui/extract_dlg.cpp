#include "ui/extract_dlg.h"

#include <QKeyEvent>
#include <QResizeEvent>
#include <algorithm>

#include "ui/app_icon.h"
#include "ui/archive_opening.h"
#include "ui/batch_progress_dialog.h"
#include "ui/dialog_units.h"
#include "ui/extraction_job.h"
#include "ui/find_window.h"
#include "ui/preview_controller.h"
#include "ui/preview_window.h"
#include "ui/qt_text.h"

namespace tarvix {
namespace {

template <typename Widget>
Widget* MakeControl(QWidget* parent, ControlId id, const char* name) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setProperty("controlId", static_cast<int>(id));
    return widget;
}

QLineEdit* MakeInfoBox(QWidget* parent, ControlId id, const char* name) {
    auto* box = MakeControl<QLineEdit>(parent, id, name);
    box->setFrame(false);
    box->setReadOnly(true);
    return box;
}

QPushButton* MakeButton(QWidget* parent, ControlId id, const char* name, const char* text) {
    auto* button = MakeControl<QPushButton>(parent, id, name);
    button->setText(QString::fromLatin1(text));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QFont DialogFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace

CExtractDlg::CExtractDlg(UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), job_(std::make_unique<ExtractionJob>()) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromLatin1(kInitialCaption));
    setWindowIcon(AppIcon());
    setFont(DialogFont());
    setAcceptDrops(true);
    createControls();
    createActions();
    layOutControls();
    wireEvents();
}

CExtractDlg::~CExtractDlg() {
    delete findWindow_;  // its search reads the entry list
    job_.reset();        // cancels a running batch and waits for it
}

// Made in tab order; each is named after its control id.
void CExtractDlg::createControls() {
    // A handle width of 0 keeps the tree and the list edge to edge, as laid out; Qt then
    // widens the handle's grab area over the edges of both.
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->setHandleWidth(0);
    splitter_->setChildrenCollapsible(false);
    tree_ = MakeControl<FolderTreeView>(splitter_, kIdTree, "IDC_TREE");
    tree_->setRootIsDecorated(true);
    tree_->setUniformRowHeights(true);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setDragEnabled(false);
    tree_->setAccessibleName(tr("Folders"));
    treeModel_ = new FolderTreeModel(session_.folders(), this);
    tree_->setModel(treeModel_);

    list_ = new FileListView(splitter_);
    list_->setObjectName(QStringLiteral("IDC_LIST"));
    list_->setProperty("controlId", static_cast<int>(kIdList));
    list_->setAccessibleName(tr("Files"));
    listModel_ = new FileListModel(this);
    list_->setModel(listModel_);

    pathBox_ = MakeInfoBox(this, kIdPathBox, "IDC_PATH");
    pathBox_->setAccessibleName(tr("Folder path"));
    statusBox_ = MakeInfoBox(this, kIdStatusBox, "IDC_STATUS");
    statusBox_->setAccessibleName(tr("Selection summary"));
    // Buttons and the check box are named by their texts; the descriptions are what a screen
    // reader adds when asked.
    extractButton_ = MakeButton(this, kIdExtract, "IDC_EXTRACT", "Extract");
    extractButton_->setAccessibleDescription(
        tr("Extracts the selected files into a folder you choose"));
    preservePaths_ = MakeControl<QCheckBox>(this, kIdPreservePaths, "IDC_PRESERVE");
    preservePaths_->setText(QStringLiteral("Preserve internal paths"));
    preservePaths_->setAccessibleDescription(
        tr("Re-creates the selected folder's path below the chosen folder"));
    unpack_ = MakeControl<QCheckBox>(this, kIdUnpack, "IDC_UNPACK");
    unpack_->setText(QStringLiteral("&Unpack packed files"));
    unpack_->setAccessibleDescription(
        tr("Writes the real content of packed files instead of their stored bytes"));
    versionButton_ = MakeButton(this, kIdVersion, "IDC_VERSION", "Version");
    versionButton_->setAccessibleDescription(tr("Shows the program's version"));

    setTabOrder(tree_, list_);
    setTabOrder(list_, pathBox_);
    setTabOrder(pathBox_, statusBox_);
    setTabOrder(statusBox_, extractButton_);
    setTabOrder(extractButton_, preservePaths_);
    setTabOrder(preservePaths_, unpack_);
    setTabOrder(unpack_, versionButton_);
}

void CExtractDlg::createActions() {
    waiting_ = new QActionGroup(this);
    waiting_->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    const auto make = [this](const QString& text, void (CExtractDlg::*slot)()) {
        auto* action = new QAction(text, waiting_);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    openAction_ = make(tr("&Open..."), &CExtractDlg::OpenAnother);
    openAction_->setShortcut(QKeySequence::Open);
    addAction(openAction_);
    openGameAction_ = make(tr("Open &game folder..."), &CExtractDlg::OpenGameFolder);
    openGameAction_->setObjectName(QStringLiteral("openGameFolder"));
    openGameAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    addAction(openGameAction_);
    extractAction_ = make(tr("Extract"), &CExtractDlg::ExtractSelected);
    extractRowsAction_ = make(tr("&Extract..."), &CExtractDlg::ExtractSelected);
    extractRowsAction_->setObjectName(QStringLiteral("extractRows"));
    extractFolderAction_ = make(tr("Extract &folder..."), &CExtractDlg::ExtractFolder);
    extractAllAction_ = make(tr("Extract &all..."), &CExtractDlg::ExtractAll);
}

// Positions in dialog units, converted with this window's font as Windows converts them. The
// window starts at that size and may grow; resizeEvent hands the extra room to the tree and
// the list and keeps the bottom row below them.
void CExtractDlg::layOutControls() {
    const DialogUnits du(font());
    initialSplitter_ = QRect(0, 0, du.x(105) + du.x(255), du.y(195));
    splitter_->setGeometry(initialSplitter_);
    splitter_->setSizes({du.x(105), du.x(255)});
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 2);
    pathBox_->setGeometry(du.rect(250, 212, 110, 12));
    statusBox_->setGeometry(du.rect(0, 212, 245, 12));
    extractButton_->setGeometry(du.rect(0, 195, 50, 15));
    preservePaths_->setGeometry(du.rect(275, 200, 85, 10));
    unpack_->setGeometry(du.rect(185, 200, 85, 10));
    versionButton_->setGeometry(du.rect(50, 195, 50, 15));
    initialSize_ = QSize(du.x(362), du.y(225));
    setMinimumSize(initialSize_);
    resize(initialSize_);
}

// The bottom row moves down by the extra height; its right-hand controls move right by the
// extra width, and the summary between them stretches.
void CExtractDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const DialogUnits du(font());
    const int dx = std::max(0, width() - initialSize_.width());
    const int dy = std::max(0, height() - initialSize_.height());
    splitter_->setGeometry(initialSplitter_.adjusted(0, 0, dx, dy));
    extractButton_->setGeometry(du.rect(0, 195, 50, 15).translated(0, dy));
    versionButton_->setGeometry(du.rect(50, 195, 50, 15).translated(0, dy));
    statusBox_->setGeometry(du.rect(0, 212, 245, 12).translated(0, dy).adjusted(0, 0, dx, 0));
    unpack_->setGeometry(du.rect(185, 200, 85, 10).translated(dx, dy));
    preservePaths_->setGeometry(du.rect(275, 200, 85, 10).translated(dx, dy));
    pathBox_->setGeometry(du.rect(250, 212, 110, 12).translated(dx, dy));
}

// The window's event table, in one place. The destructor releases the archive when the
// window goes away.
void CExtractDlg::wireEvents() {
    connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CExtractDlg::FillFileList);
    connect(tree_, &FolderTreeView::menuRequested, this, &CExtractDlg::ShowFolderMenu);
    connect(versionButton_, &QPushButton::clicked, this, &CExtractDlg::ShowVersion);
    connect(extractButton_, &QPushButton::clicked, extractAction_, &QAction::trigger);
    connect(list_, &FileListView::leftDoubleClicked, extractAction_, &QAction::trigger);
    connect(job_.get(), &ExtractionJob::busyChanged, this, &CExtractDlg::OnBusyChanged);
    connect(job_.get(), &ExtractionJob::finished, this, &CExtractDlg::OnExtractionFinished);
    new BatchProgressDialog(this, *job_);
    wireFindShortcut();
    // Every change of the selection, by mouse or keyboard (Ctrl+A, Shift+arrows, Space),
    // rewrites the summary and the button once; so does a left click that changes nothing, on
    // empty space or before any folder is chosen.
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!fillingList_) OnListClick();
    });
    connect(list_, &FileListView::leftClickedWithoutSelectionChange, this,
            &CExtractDlg::OnListClick);
    // The list's context menu offers extraction exactly when rows are selected.
    extractRowsAction_->setEnabled(false);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { extractRowsAction_->setEnabled(list_->selectionModel()->hasSelection()); });
    // F3 and the list's context menu open the viewer on the current row (preview_controller.h).
    preview_ = new PreviewController(this, list_, listModel_, session_);
    preview_->addMenuAction(extractRowsAction_);
}

void CExtractDlg::setVisible(bool visible) {
    if (visible && !initialized_) {
        initialized_ = true;
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

void CExtractDlg::OnInitDialog() {
    preservePaths_->setChecked(false);
    unpack_->setChecked(false);
    EnableExtract(false);
    const auto path = startupArchive_ ? startupArchive_ : ChooseArchive(dialogs_);
    if (!path) {
        dialogs_.showMessage(messages::kCannotOpen);
    } else if (BuildFolderTree(*path)) {
        ShowArchiveInCaption();
        sourceNames_ = StackSourceNames(session_);
    }
    ShowEmptyListHint();
    pathBox_->setReadOnly(true);
    statusBox_->setReadOnly(true);
    tree_->setFocus();
}

bool CExtractDlg::BuildFolderTree(const std::filesystem::path& path) {
    treeModel_->beginRebuild();
    const bool opened = OpenPathInto(session_, path, dialogs_);
    treeModel_->endRebuild();
    return opened;
}

void CExtractDlg::ShowVersion() {
    dialogs_.showMessage(kVersionText);
}

// Escape and Enter end the window; Enter presses Extract or Version instead when one of them
// has the focus. An Escape meant for the viewer or the find window, which may reach this window
// since the keyboard stays here, closes that window first.
void CExtractDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            if (!CloseToolWindow()) reject();
            return;
        case Qt::Key_Enter:
        case Qt::Key_Return:
            if (auto* button = qobject_cast<QPushButton*>(focusWidget());
                button == extractButton_ || button == versionButton_) {
                button->click();
            } else {
                accept();
            }
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

// The viewer first, being the one the keyboard was last used for; false when neither is open.
bool CExtractDlg::CloseToolWindow() {
    for (QWidget* tool :
         {static_cast<QWidget*>(preview_->window()), static_cast<QWidget*>(findWindow_)}) {
        if (tool && tool->isVisible()) {
            tool->close();
            return true;
        }
    }
    return false;
}

}  // namespace tarvix
