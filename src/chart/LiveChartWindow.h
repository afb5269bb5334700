#pragma once

#include "chart/LiveSeries.h"
#include "chart/StripChart.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

class QLabel;

namespace ignivex {
class Acquisition;
class MessageBoxes;
}

namespace ignivex::chart {

// View, Chart: the live values as strips over the last minute (10 s to 10 min), following the
// samples of the acquisition core. A sample only joins the series; at most about 30 times a
// second the view is handed to the chart, which paints it in a worker thread, so a fast polling
// rate is never held up by drawing.
class LiveChartWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr double kDefaultSpan = 60;
    static constexpr double kMinSpan = 10;
    static constexpr double kMaxSpan = 600;
    static constexpr int kFrameMs = 33;
    static constexpr int kReadoutMs = 250;

    LiveChartWindow(Acquisition& acquisition, MessageBoxes& boxes, QWidget* parent = nullptr);

    void addSample(const ignivex::Sample& sample);
    void setSpan(double seconds);  // clamped to 10 s .. 10 min
    double span() const { return span_; }
    StripChart* chart() const { return chart_; }
    const LiveSeries& series() const { return series_; }
    // Hands the newest rows to the chart now, as the frame timer does.
    void showFrame();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void updateSpanLabel();

    MessageBoxes& boxes_;
    LiveSeries series_;
    StripChart* chart_;
    QLabel* spanLabel_;
    QTimer frames_;
    double span_ = kDefaultSpan;
    bool dirty_ = false;        // rows came since the last picture
    bool spanChanged_ = false;
    double shownEnd_ = 0;       // the newest row in the last picture
    QElapsedTimer sincePicture_;
};

}  // namespace ignivex::chart
