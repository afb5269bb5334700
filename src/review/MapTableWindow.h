#pragma once

#include "analysis/MapTable.h"
#include "review/ReviewTool.h"
#include "series/RecordingLoader.h"

#include <QFutureWatcher>
#include <QMainWindow>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableWidget;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::chart {

class SpanChoice;

// View, Map Table... of the review: a channel (advance at first) averaged over cells of two
// others (rpm as the rows and MAP as the columns at first; any channel, those by formula too),
// each cell with its sample count and time spent, and the least, the greatest or the deviation
// when asked for, coloured from the lowest mean to the highest. The table is counted in a worker
// thread; it can be saved as CSV or copied whole.
class MapTableWindow : public QMainWindow, public ReviewTool {
    Q_OBJECT
public:
    static inline const QString kExportTitle = QStringLiteral("Export Table");

    explicit MapTableWindow(MessageBoxes& boxes, QWidget* parent = nullptr);
    ~MapTableWindow() override;

    // The review's recording, view and cursors A and B (the span between them only while B is
    // placed); with the review's overlays the table can show this recording's means less those
    // of any one of them, cell by cell.
    void follow(ReviewState& review) override;
    QJsonObject choices() const override;
    void applyChoices(const QJsonObject& choices) override;
    void setChannel(record::ChannelId of);
    // The channels of the rows and the columns; each starts on its default edges.
    void setAxes(record::ChannelId rows, record::ChannelId columns);
    // The rows become the columns and the columns the rows, each with its edges.
    void swapAxes();
    // What a cell shows under its mean.
    enum Extra { NoExtra, Least, Greatest, Deviation };
    void setExtra(Extra extra);
    // A cell with fewer samples shows empty.
    void setMinSamples(int samples);
    bool difference() const;
    // The overlay the difference is taken against (0 is the review's first).
    void setDifferenceOf(int overlay);

    // A count is under way, or its result not yet shown.
    bool busy() const { return counting_; }
    const analysis::MapTable& table() const { return table_; }
    QTableWidget* cells() const { return cells_; }
    SpanChoice* spanChoice() const { return span_; }
    // What a problem with the edges or the span says; empty when there is none.
    QString problem() const;

    // Edit, Copy: the selected cells' means with their bins, tab-separated.
    QString selectedMeans() const;
    // Copy Table: every cell's mean, headed by the bins, tab-separated.
    QString tableText() const;
    // The table as CSV: a header, then one line per cell with samples.
    QByteArray csv() const;
    // Writes the CSV; an empty text, or why it failed.
    QString saveCsv(const QString& path) const;
    void exportCsv();

signals:
    void counted();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The rows' or the columns': which channel, on which edges.
    struct Axis {
        QComboBox* channel = nullptr;
        QLineEdit* text = nullptr;
        QLabel* label = nullptr;
        record::ChannelId fallback = 0;  // where the chosen channel is gone
        QString column;                  // the channel the edges are for
        std::optional<QList<double>> own;  // typed; nothing: the channel's defaults
        QString shown;                     // the edges the field was last given
    };

    // The table's channels as the choice of what is averaged and over what.
    void fillChannels(const record::Table& table);
    void axisChosen(Axis& axis);
    void showEdges(Axis& axis, const QList<double>& edges);
    // Back to the channel's default edges, the field emptied until they are shown.
    void resetEdges(Axis& axis);
    // The edges where they are known before counting: typed, or rpm's and MAP's own.
    std::optional<QList<double>> fixedEdges(const Axis& axis) const;
    const record::ChannelInfo& channelInfo(record::ChannelId c) const;
    QString meansText(int top, int bottom, int left, int right, const QString& corner) const;
    void followRecording();
    void followOverlay();
    void setRecording(const LoadedRecording& recording);
    void clearRecording();
    // The review's overlays to take the difference against, each with its times moved.
    struct Comparison {
        std::shared_ptr<const ChartData> data;
        double shift = 0;
        QString name;
        bool operator==(const Comparison& o) const { return data == o.data && shift == o.shift; }
    };
    void setComparisons(std::vector<Comparison> overlays);
    // The overlay chosen to take the difference against; nullptr while there is none.
    const Comparison* compared() const;
    void recount();
    void edgesEdited();
    void fill(const analysis::MapTable& table);
    // The MAP range the recording names, if it names one.
    std::optional<std::int16_t> rangeCode() const;

    MessageBoxes& boxes_;
    ReviewState* review_ = nullptr;
    bool closed_ = false;  // the window let go of the recording
    LoadedRecording recording_;
    analysis::MapTable table_;
    Axis rows_;
    Axis columns_;
    QFutureWatcher<analysis::MapTable> watcher_;
    bool pending_ = false;
    bool counting_ = false;
    QComboBox* of_;
    QCheckBox* difference_;
    QComboBox* differenceOf_;
    std::vector<Comparison> overlays_;
    QComboBox* extra_;
    QSpinBox* minSamples_;
    SpanChoice* span_;
    QLabel* caption_;
    QLabel* problem_;
    QTableWidget* cells_;
    QLabel* legend_;
    QLabel* status_;
};

}  // namespace ignivex::chart
