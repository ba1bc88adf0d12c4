#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/entry_table.h"
#include "ui/found_entries_model.h"
#include "ui/search_worker.h"

namespace tarvix {

inline constexpr const char* kFindWindowTitle = "Find files";

// Finds files anywhere in the archive by name while the user types: a pattern field, a line
// saying how many files were found, and the results with their sizes, in directory order.
// The search runs on a thread of its own, so typing never waits for it; each keystroke
// abandons the search before it.
//
// Enter or a double-click on results asks the main window to show them (jumpRequested);
// "Extract..." asks it to extract them (extractRequested). Escape closes the window.
class FindWindow : public QDialog {
    Q_OBJECT

public:
    FindWindow(const EntryTable& table, QWidget* parent);
    ~FindWindow() override;

    // Raises the window with the pattern selected, ready to be typed over.
    void present();

    // The selected results in directory order.
    std::vector<EntryIndex> SelectedEntries() const;

    // Whether "Extract..." may be used at all (not while the main window extracts); it is
    // enabled when, besides, results are selected.
    void setExtractAllowed(bool allowed);

Q_SIGNALS:
    void jumpRequested(const std::vector<EntryIndex>& entries);
    void extractRequested(const std::vector<EntryIndex>& entries);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void layOutControls();
    void wireEvents();

    void StartSearch(const QString& text);
    void ShowMatches(std::uint64_t request, SearchWorker::Matches matches);
    void MoveIntoResults();
    void JumpToSelection();
    void UpdateExtractButton();

    std::uint64_t latestRequest_ = 0;
    std::uint64_t shownRequest_ = 0;
    bool jumpWhenShown_ = false;  // Enter came before the results of what was typed
    bool extractAllowed_ = true;
    QLineEdit* pattern_ = nullptr;
    QLabel* count_ = nullptr;
    QTableView* results_ = nullptr;
    QPushButton* extractButton_ = nullptr;
    FoundEntriesModel* model_ = nullptr;
    std::unique_ptr<SearchWorker> worker_;  // delivers into this window, so it goes first
};

}  // namespace tarvix
