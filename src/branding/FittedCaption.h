#pragma once

#include <QLabel>

namespace ignivex {

// A caption that always fits its box: the text is drawn in the label's own font when it fits,
// otherwise in the largest smaller size that does, wrapped at word boundaries, never below
// kMinPoints. Only what is drawn shrinks: font() stays what the branding set.
class FittedCaption : public QLabel {
    Q_OBJECT
public:
    static constexpr double kMinPoints = 8.0;

    explicit FittedCaption(QWidget* parent = nullptr);

    // The height the text may fill from the top of the label; by default the whole label.
    void setUsableHeight(int pixels);

    // The font the text is drawn in now.
    QFont drawnFont() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect usableRect() const;

    int usableHeight_ = -1;
    mutable QString fittedFor_;
    mutable QFont fitted_;
    mutable bool valid_ = false;
};

}  // namespace ignivex
