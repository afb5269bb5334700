#pragma once

#include "formula/FormulaStore.h"
#include "series/LiveSeries.h"
#include "strips/StripChart.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

class QComboBox;
class QLabel;

namespace ignivex {
class Acquisition;
class MessageBoxes;
}  // namespace ignivex

namespace ignivex::chart {

// View, Chart: the live values as strips over the last minute (10 s to 10 min), following the
// samples since the real-time view opened. Paused (Space, or a drag), it stays where it is and
// can be scrolled back over everything kept while samples keep arriving; Follow catches up. A
// sample only joins the series; at most about 30 times a second the view is handed to the
// chart, which paints it in a worker thread, so a fast polling rate is never held up by drawing.
class LiveChartWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr double kDefaultSpan = 60;
    static constexpr double kMinSpan = 10;
    static constexpr double kMaxSpan = 600;
    static constexpr int kFrameMs = 33;
    static constexpr int kReadoutMs = 250;

    LiveChartWindow(LiveSeries& series, Acquisition& acquisition, MessageBoxes& boxes,
                    QWidget* parent = nullptr);

    // A sample has joined the series: a following view shows it at the next frame.
    void noteSample();
    // Paused, the view stays put (and can be moved back and forth); following, it shows the
    // newest samples.
    void setFollowing(bool following);
    bool following() const { return following_; }
    // Moves a paused view by `seconds` (earlier when negative), within what is kept.
    void pan(double seconds);
    double viewEnd() const;
    // What the window says about its state: "following", "paused" or "replaying".
    QString stateText() const;
    void setSpan(double seconds);  // clamped to 10 s .. 10 min
    double span() const { return span_; }
    StripChart* chart() const { return chart_; }
    const LiveSeries& series() const { return series_; }
    // Hands the newest rows to the chart now, as the frame timer does.
    void showFrame();
    // The channels by formula and the filters kept in the settings, read again: the review's
    // dialog keeps them there. Done when the window is shown or made active; a channel that
    // cannot be computed is left out and said once, below the strips.
    void readFormulas();
    QComboBox* filterBox() const { return filterBox_; }
    QLabel* formulaNote() const { return formulaNote_; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void updateSpanLabel();
    void chooseFilter(int index);

    MessageBoxes& boxes_;
    Acquisition& acquisition_;
    LiveSeries& series_;
    QAction* followAction_ = nullptr;
    QLabel* stateLabel_ = nullptr;
    bool following_ = true;
    double pausedEnd_ = 0;  // the end of a paused view
    StripChart* chart_;
    QLabel* spanLabel_;
    QTimer frames_;
    double span_ = kDefaultSpan;
    bool dirty_ = false;  // rows came since the last picture
    bool spanChanged_ = false;
    double shownEnd_ = 0;  // the newest row in the last picture
    QElapsedTimer sincePicture_;
    QComboBox* filterBox_;
    QLabel* formulaNote_;
    std::optional<formula::Formulas> kept_;  // as read last from the settings
    QStringList channelProblems_;
};

}  // namespace ignivex::chart
