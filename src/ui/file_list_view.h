#pragma once

#include <QListView>

namespace tarvix {

// The file list: a list-mode view (items run top to bottom, then into further columns) that
// also reports left clicks and double-clicks on empty space, where QListView's own clicked()
// and doubleClicked() stay silent. A click that changes the selection is left to the selection
// model to report, so that it is reported once.
class FileListView : public QListView {
    Q_OBJECT

public:
    explicit FileListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;

    // Width of a column: the widest name of the list, so that no name is cut short.
    int columnWidth() const { return columnWidth_; }
    // Width of the second column, the widest source named (FileListModel::kSourceRole), beside
    // each name; 0 when no row names one, as over a single archive.
    int sourceColumnWidth() const { return sourceColumnWidth_; }

    // A hint drawn in the middle of the list while it has no rows; empty for none.
    void setPlaceholderText(const QString& text);
    QString placeholderText() const { return placeholder_; }

Q_SIGNALS:
    void leftClickedWithoutSelectionChange();
    void leftDoubleClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void measureColumns();
    void measureSourceColumn();

    int columnWidth_ = 0;
    int sourceColumnWidth_ = 0;
    QString placeholder_;
    bool selectionChangedSincePress_ = false;
};

}  // namespace tarvix
