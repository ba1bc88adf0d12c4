#pragma once

#include <QListView>

namespace tarvix {

// The file list: a list-mode view (items run top to bottom, then into further columns) that
// also reports left clicks and double-clicks on empty space, where QListView's own clicked()
// and doubleClicked() stay silent.
class FileListView : public QListView {
    Q_OBJECT

public:
    explicit FileListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;

    // Width of a column: the widest name of the list, so that no name is cut short.
    int columnWidth() const { return columnWidth_; }

Q_SIGNALS:
    void leftClicked();
    void leftDoubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void measureColumns();

    int columnWidth_ = 0;
};

}  // namespace tarvix
