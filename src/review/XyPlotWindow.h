#pragma once

#include "review/ReviewTool.h"
#include "review/XyPlot.h"

#include <QMainWindow>

class QCheckBox;
class QComboBox;
class QLabel;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::chart {

class SpanChoice;

// View, XY Plot... of the review: the plot with its choices, the points under the mouse in
// the status line, and the picture saved as PNG.
class XyPlotWindow : public QMainWindow, public ReviewTool {
    Q_OBJECT
public:
    static inline const QString kExportTitle = QStringLiteral("Export Picture");

    explicit XyPlotWindow(MessageBoxes& boxes, QWidget* parent = nullptr);

    // The review's recording, view and cursors A and B (the span between them only while B is
    // placed); the row of cursor A is marked on the plot, and a click on a point moves it there.
    // The review's overlays are plotted while "Show the overlays" is ticked.
    void follow(ReviewState& review) override;
    QJsonObject choices() const override;
    void applyChoices(const QJsonObject& choices) override;
    void setChannels(record::ChannelId x, record::ChannelId y,
                     std::optional<record::ChannelId> colour);
    void setOverlayShown(bool shown);

    XyPlot* plot() const { return plot_; }
    SpanChoice* spanChoice() const { return span_; }
    // The picture of the window's plot at its size and the screen's pixel ratio; an empty
    // text, or why it was not written.
    QString savePicture(const QString& path) const;
    void exportPicture();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void followRecording();
    void followCursors();
    void followOverlay();
    void setRecording(const LoadedRecording& recording);
    void clearRecording();
    // Where the review's cursor is: its row is marked on the plot.
    void setCursorTime(double t);
    // The review's overlays, moved and through the filter as it shows them.
    void setOverlays(std::vector<XyOverlay> overlays);
    void replot();
    void summarise();

    MessageBoxes& boxes_;
    ReviewState* review_ = nullptr;
    bool closed_ = false;  // the window let go of the recording
    LoadedRecording recording_;
    std::vector<XyOverlay> overlays_;
    QCheckBox* showOverlay_;
    XyPlot* plot_;
    QComboBox* x_;
    QComboBox* y_;
    QComboBox* colour_;
    SpanChoice* span_;
    QLabel* status_;
};

}  // namespace ignivex::chart
