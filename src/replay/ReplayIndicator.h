#pragma once

#include <QWidget>

namespace ignivex::chart {

// On the real-time panel while a recording drives it, in the lower half of its empty lower-right
// area: "REPLAY" in amber, playing or paused, the speed, the file and the position. When it is
// not there, the panel shows the module.
class ReplayIndicator : public QWidget {
    Q_OBJECT
public:
    explicit ReplayIndicator(QWidget* panel);

    void setState(const QString& file, bool playing, int speed, const QString& position);
    QString text() const;  // what it says, in words

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString file_;
    QString position_;
    bool playing_ = false;
    int speed_ = 1;
};

}  // namespace ignivex::chart
