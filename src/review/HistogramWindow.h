#pragma once

#include "analysis/Histogram.h"
#include "review/ReviewTool.h"
#include "series/RecordingLoader.h"

#include <QFutureWatcher>
#include <QMainWindow>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::chart {

class HistogramChart;
class SpanChoice;

// View, Histogram... of the review: the time one channel spent in each bin of its values over a
// span, as bars and as a table of bins, with the mean, median, deviation and the 5th and 95th
// percentiles of every value counted. Counted in a worker thread; saved as a picture or as CSV.
class HistogramWindow : public QMainWindow, public ReviewTool {
    Q_OBJECT
public:
    static inline const QString kExportTitle = QStringLiteral("Export Histogram");

    explicit HistogramWindow(MessageBoxes& boxes, QWidget* parent = nullptr);
    ~HistogramWindow() override;

    // The review's recording with its channels by formula, its view, cursors and filter.
    void follow(ReviewState& review) override;
    QJsonObject choices() const override;
    void applyChoices(const QJsonObject& choices) override;
    void setChannel(record::ChannelId of);

    // A count is under way, or its result not yet shown.
    bool busy() const { return counting_; }
    const analysis::Histogram& histogram() const { return histogram_; }
    HistogramChart* chart() const { return chart_; }
    QTableWidget* bins() const { return bins_; }
    SpanChoice* spanChoice() const { return span_; }
    // What a problem with the edges says; empty when there is none.
    QString problem() const;
    // The line of figures under the bars.
    QString figures() const;

    // The bins as the command line's --histogram writes them: from,to,samples,seconds,share.
    QByteArray csv() const;
    // An empty text, or why the file was not written.
    QString saveCsv(const QString& path) const;
    // SVG for a name ending in .svg (where the build draws SVG), PNG otherwise, of the chart at
    // its size and the screen's pixel ratio.
    QString savePicture(const QString& path) const;
    void exportCsv();
    void exportPicture();

signals:
    void counted();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fillChannels(const record::Table& table);
    void followRecording();
    void setRecording(const LoadedRecording& recording);
    void edgesEdited();
    void recount();
    void fill();
    // What the export dialogs start with: the recording's name and the channel's.
    QString suggestedName(const QString& suffix) const;

    MessageBoxes& boxes_;
    ReviewState* review_ = nullptr;
    bool closed_ = false;  // the window let go of the recording
    LoadedRecording recording_;
    QList<double> edges_;  // none: the default bins
    analysis::Histogram histogram_;
    QFutureWatcher<analysis::Histogram> watcher_;
    bool pending_ = false;
    bool counting_ = false;
    QComboBox* of_;
    QLineEdit* edgesText_;
    SpanChoice* span_;
    QLabel* problem_;
    HistogramChart* chart_;
    QTableWidget* bins_;
    QLabel* figures_;
    QLabel* status_;
};

}  // namespace ignivex::chart
