#pragma once

#include "series/ChartData.h"

#include <QObject>
#include <functional>
#include <QPointer>
#include <cstdint>
#include <optional>

namespace ignivex {
class Acquisition;
class PanelFeed;
class RealTimePanel;
class RealTimeView;
}  // namespace ignivex

namespace ignivex::chart {

class ReplayIndicator;

// A recording driving the real-time panel. While it does, polling is paused (nothing goes over
// the link), the panel's gauges and lamps show the recorded values through the same calls a
// polling tick makes, into the panel's feed as the tick's reads go, and the REPLAY indicator
// says so. Given back, polling goes on and the panel shows the module again (or is hidden, if
// the view was not open).
class PanelReplay : public QObject {
    Q_OBJECT
public:
    PanelReplay(RealTimePanel& panel, PanelFeed& feed, RealTimeView& view, Acquisition& acquisition,
                QObject* parent = nullptr);

    bool active() const { return active_; }
    // What keeps the panel from being taken over now (a recording that needs the polling), in
    // words for the user; empty when nothing does.
    void setRefusal(std::function<QString()> reason) { refusal_ = std::move(reason); }
    QString refusal() const { return refusal_ ? refusal_() : QString(); }
    // Takes the panel over. `rangeCode` is the recording's MAP sensor range, which lays the MAP
    // gauge out as the opening of the view does; nothing when the recording does not say.
    void begin(std::optional<std::int16_t> rangeCode);
    // Shows the row as the panel showed it when it was recorded.
    void showRow(const ChartData& data, std::size_t row);
    void setState(const QString& file, bool playing, int speed, const QString& position);
    // Gives the panel back.
    void end();

    ReplayIndicator* indicator() const { return indicator_; }

signals:
    // The panel was given back: by end(), or by the panel's own Close button.
    void ended();

private:
    void layOutForRecording();

    RealTimePanel& panel_;
    PanelFeed& feed_;
    Acquisition& acquisition_;
    ReplayIndicator* indicator_;
    std::optional<std::int16_t> rangeCode_;
    bool active_ = false;
    std::function<QString()> refusal_;
};

}  // namespace ignivex::chart
