#include "ui/find_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "archive/name_pattern.h"

namespace tarvix {

FindWindow::FindWindow(const EntryTable& table, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("findWindow"));
    setWindowTitle(tr(kFindWindowTitle));
    setModal(false);
    model_ = new FoundEntriesModel(table, this);
    createControls();
    layOutControls();
    wireEvents();
    // Matches arrive on the worker's thread and are handed to this window's thread; a window
    // that is gone by then drops them, as Qt drops events for a deleted receiver.
    worker_ = std::make_unique<SearchWorker>(
        table, [this](std::uint64_t request, SearchWorker::Matches matches) {
            QMetaObject::invokeMethod(
                this, [this, request, matches] { ShowMatches(request, matches); },
                Qt::QueuedConnection);
        });
}

FindWindow::~FindWindow() {
    worker_.reset();  // no search may read the entry list once its owner starts going
}

void FindWindow::createControls() {
    pattern_ = new QLineEdit(this);
    pattern_->setObjectName(QStringLiteral("findPattern"));
    pattern_->setPlaceholderText(tr("Part of a name, or a pattern with * and ?"));
    pattern_->setAccessibleName(tr("Name or pattern"));
    pattern_->installEventFilter(this);

    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("findCount"));

    results_ = new QTableView(this);
    results_->setObjectName(QStringLiteral("findResults"));
    results_->setAccessibleName(tr("Files found"));
    results_->setModel(model_);
    results_->setSelectionBehavior(QAbstractItemView::SelectRows);
    results_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results_->setShowGrid(false);
    results_->setWordWrap(false);
    results_->setTabKeyNavigation(false);
    // Every row is as high as one line of text, so a million rows are laid out without
    // measuring any.
    QHeaderView* rows = results_->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);
    QHeaderView* columns = results_->horizontalHeader();
    columns->setSectionResizeMode(FoundEntriesModel::kPathColumn, QHeaderView::Stretch);
    // Size columns as wide as their title or the largest size, whichever is wider; measuring
    // the rows would mean making the text of every result.
    const QFontMetrics metrics = fontMetrics();
    for (int column : {FoundEntriesModel::kRealSizeColumn, FoundEntriesModel::kPackedSizeColumn}) {
        const QString title =
            model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        columns->setSectionResizeMode(column, QHeaderView::Fixed);
        results_->setColumnWidth(column,
                                 std::max(metrics.horizontalAdvance(title),
                                          metrics.horizontalAdvance(QStringLiteral("4294967295"))) +
                                     3 * metrics.averageCharWidth());
    }

    extractButton_ = new QPushButton(tr("&Extract..."), this);
    extractButton_->setObjectName(QStringLiteral("findExtract"));
    extractButton_->setAccessibleDescription(
        tr("Extracts the selected files with the main window's options"));
    extractButton_->setAutoDefault(false);
    extractButton_->setEnabled(false);
}

void FindWindow::layOutControls() {
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(extractButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pattern_);
    layout->addWidget(count_);
    layout->addWidget(results_, 1);
    layout->addLayout(buttons);
    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * 90, metrics.height() * 28);
}

void FindWindow::wireEvents() {
    connect(pattern_, &QLineEdit::textChanged, this, &FindWindow::StartSearch);
    connect(results_, &QAbstractItemView::doubleClicked, this, &FindWindow::JumpToSelection);
    // A new set of results drops the selection without a selectionChanged, hence modelReset.
    connect(results_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FindWindow::UpdateExtractButton);
    connect(model_, &QAbstractItemModel::modelReset, this, &FindWindow::UpdateExtractButton);
    connect(extractButton_, &QPushButton::clicked, this, [this] {
        const std::vector<EntryIndex> entries = SelectedEntries();
        if (!entries.empty()) Q_EMIT extractRequested(entries);
    });
}

void FindWindow::setExtractAllowed(bool allowed) {
    extractAllowed_ = allowed;
    UpdateExtractButton();
}

void FindWindow::UpdateExtractButton() {
    extractButton_->setEnabled(extractAllowed_ && model_->rowCount() > 0 &&
                               results_->selectionModel()->hasSelection());
}

void FindWindow::present() {
    show();
    raise();
    activateWindow();
    pattern_->setFocus();
    pattern_->selectAll();
}

// An empty pattern shows nothing at once; anything else keeps the results shown until the
// new ones are complete, and a later keystroke abandons them.
void FindWindow::StartSearch(const QString& text) {
    jumpWhenShown_ = false;
    const NamePattern pattern(text.toStdString(), NamePattern::Plain::Substring);
    if (pattern.empty()) {
        latestRequest_ = shownRequest_ = worker_->abandon();
        model_->clear();
        count_->clear();
        return;
    }
    latestRequest_ = worker_->search(pattern);
}

void FindWindow::ShowMatches(std::uint64_t request, SearchWorker::Matches matches) {
    if (request != latestRequest_) return;
    shownRequest_ = request;
    const std::size_t found = matches->size();
    model_->setEntries(std::move(matches));
    count_->setText(tr("%1 file(s) found").arg(found));
    if (jumpWhenShown_) {
        jumpWhenShown_ = false;
        JumpToSelection();
    }
}

// Rows are marked from the selection's ranges, which may come in any order and overlap, then
// read in order; results are in directory order, so the entries are too.
std::vector<EntryIndex> FindWindow::SelectedEntries() const {
    const int rowCount = model_->rowCount();
    std::vector<char> marked(static_cast<std::size_t>(rowCount), 0);
    for (const QItemSelectionRange& range : results_->selectionModel()->selection()) {
        for (int row = std::max(range.top(), 0); row <= range.bottom() && row < rowCount; ++row) {
            marked[static_cast<std::size_t>(row)] = 1;
        }
    }
    std::vector<EntryIndex> entries;
    for (int row = 0; row < rowCount; ++row) {
        if (marked[static_cast<std::size_t>(row)]) entries.push_back(model_->entryAt(row));
    }
    return entries;
}

// Down leaves the pattern for the results, at the current row or the first one.
bool FindWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pattern_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
        MoveIntoResults();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void FindWindow::MoveIntoResults() {
    if (model_->rowCount() == 0) return;
    QModelIndex current = results_->currentIndex();
    if (!current.isValid()) current = model_->index(0, FoundEntriesModel::kPathColumn);
    results_->setFocus();
    results_->selectionModel()->setCurrentIndex(
        current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    results_->scrollTo(current);
}

// Enter shows the selected results in the main window, or the first result when none is
// selected; on the Extract button it presses the button. Escape closes, as in any dialog.
void FindWindow::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter) {
        QDialog::keyPressEvent(event);
        return;
    }
    if (focusWidget() == extractButton_) {
        extractButton_->click();
    } else {
        JumpToSelection();
    }
}

// Enter typed right after the pattern, before its results are in, takes the first of them as
// soon as they come rather than one of the results of an earlier pattern.
void FindWindow::JumpToSelection() {
    std::vector<EntryIndex> entries = SelectedEntries();
    if (entries.empty() && shownRequest_ != latestRequest_) {
        jumpWhenShown_ = true;
        return;
    }
    if (entries.empty() && model_->rowCount() > 0) entries.push_back(model_->entryAt(0));
    if (!entries.empty()) Q_EMIT jumpRequested(entries);
}

}  // namespace tarvix
