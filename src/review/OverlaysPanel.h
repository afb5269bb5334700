#pragma once

#include <QWidget>

class QPushButton;
class QTableWidget;

namespace ignivex::chart {

class ReviewState;

// The review's legend of recordings compared: the recording, then each overlay beside a piece
// of its line, with how far it is moved (edited in place) and where it starts. Choosing an
// overlay makes it the current one, which the shift, align and close commands act on.
class OverlaysPanel : public QWidget {
    Q_OBJECT
public:
    explicit OverlaysPanel(ReviewState& review, QWidget* parent = nullptr);

    QSize sizeHint() const override;

signals:
    void openRequested();
    void alignRequested();
    void closeRequested();

private:
    void rebuild();

    ReviewState& review_;
    QTableWidget* table_;
    QPushButton* open_;
    QPushButton* align_;
    QPushButton* close_;
    bool rebuilding_ = false;
};

}  // namespace ignivex::chart
