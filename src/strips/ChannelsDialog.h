#pragma once

#include "series/StripArrangement.h"

#include <QDialog>
#include <optional>

class QListWidget;
class QPushButton;
class QLabel;

namespace ignivex::chart {

// View, Channels...: which series the strips show, in which order, and which share a strip.
// Every series is listed once; a ticked one is shown, on a strip of its own or, with "Same Strip
// as Above", on the strip of the one above it.
class ChannelsDialog : public QDialog {
    Q_OBJECT
public:
    ChannelsDialog(const Arrangement& current, const QString& mapRange, QWidget* parent = nullptr);
    Arrangement arrangement() const { return fromEntries(entries_, before_); }

    // The dialog's steps, as its buttons take them, on the selected row.
    void select(int row);
    void move(int by);
    void setJoined(bool joined);
    void setShown(int row, bool shown);
    void restoreStandard();

private:
    void refill();

    Arrangement before_;
    QString mapRange_;
    std::vector<ChannelEntry> entries_;
    int selected_ = 0;
    QListWidget* list_;
    QPushButton* up_;
    QPushButton* down_;
    QPushButton* join_;
    QPushButton* ok_;
    QLabel* note_;
};

// Asks for a strip's scale, from and to, starting at `current`; nothing when cancelled.
std::optional<FixedScale> askScale(QWidget* parent, const QString& strip, FixedScale current);

}  // namespace ignivex::chart
