#include "ui/extract_dlg.h"

#include <QKeyEvent>
#include <QShortcut>

#include "ui/app_icon.h"
#include "ui/dialog_units.h"
#include "ui/find_window.h"
#include "ui/preview_controller.h"
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
    : QDialog(parent), dialogs_(dialogs) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromLatin1(kInitialCaption));
    setWindowIcon(AppIcon());
    setFont(DialogFont());
    setAcceptDrops(true);
    createControls();
    layOutControls();
    wireEvents();
}

CExtractDlg::~CExtractDlg() {
    delete findWindow_;  // its search reads the entry list
    archive_.CloseArchive();
}

// Made in tab order; each is named after its control id.
void CExtractDlg::createControls() {
    tree_ = MakeControl<FolderTreeView>(this, kIdTree, "IDC_TREE");
    tree_->setRootIsDecorated(true);
    tree_->setUniformRowHeights(true);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setDragEnabled(false);
    tree_->setAccessibleName(tr("Folders"));
    treeModel_ = new FolderTreeModel(folders_, this);
    tree_->setModel(treeModel_);

    list_ = new FileListView(this);
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

// Positions in dialog units, converted with this window's font as Windows converts them.
void CExtractDlg::layOutControls() {
    const DialogUnits du(font());
    tree_->setGeometry(du.rect(0, 0, 105, 195));
    list_->setGeometry(du.rect(105, 0, 255, 195));
    pathBox_->setGeometry(du.rect(250, 212, 110, 12));
    statusBox_->setGeometry(du.rect(0, 212, 245, 12));
    extractButton_->setGeometry(du.rect(0, 195, 50, 15));
    preservePaths_->setGeometry(du.rect(275, 200, 85, 10));
    unpack_->setGeometry(du.rect(185, 200, 85, 10));
    versionButton_->setGeometry(du.rect(50, 195, 50, 15));
    setFixedSize(du.x(362), du.y(225));
}

// The window's event table, in one place. The destructor releases the archive when the
// window goes away.
void CExtractDlg::wireEvents() {
    connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CExtractDlg::FillFileList);
    connect(tree_, &FolderTreeView::menuRequested, this, &CExtractDlg::ShowFolderMenu);
    connect(versionButton_, &QPushButton::clicked, this, &CExtractDlg::ShowVersion);
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, this,
            &CExtractDlg::OpenAnother);
    connect(extractButton_, &QPushButton::clicked, this, &CExtractDlg::ExtractSelected);
    connect(list_, &FileListView::leftDoubleClicked, this, &CExtractDlg::ExtractSelected);
    wireFindShortcut();
    // Every change of the selection, by mouse or keyboard (Ctrl+A, Shift+arrows, Space),
    // rewrites the summary and the button once; so does a left click that changes nothing, on
    // empty space or before any folder is chosen.
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!fillingList_) OnListClick();
    });
    connect(list_, &FileListView::leftClickedWithoutSelectionChange, this,
            &CExtractDlg::OnListClick);
    // F3 and the list's context menu open the viewer on the current row (preview_controller.h).
    preview_ = new PreviewController(this, list_, listModel_, archive_, entryTable_, folders_);
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
    extractButton_->setEnabled(false);
    const bool opened = startupArchive_ ? archive_.OpenArchiveFile(*startupArchive_, dialogs_)
                                        : archive_.OpenArchive(dialogs_);
    if (opened) {
        ShowArchiveInCaption();
        BuildFolderTree();
    } else {
        dialogs_.showMessage(messages::kCannotOpen);
    }
    pathBox_->setReadOnly(true);
    statusBox_->setReadOnly(true);
    tree_->setFocus();
}

void CExtractDlg::BuildFolderTree() {
    treeModel_->beginRebuild();
    folders_.BuildFolderTree(archive_, entryTable_);
    treeModel_->endRebuild();
}

void CExtractDlg::ShowVersion() {
    dialogs_.showMessage(kVersionText);
}

// Escape and Enter end the window; Enter presses Extract or Version instead when one of them
// has the focus.
void CExtractDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            reject();
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

}  // namespace tarvix
