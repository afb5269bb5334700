#pragma once

#include "analysis/MapTable.h"
#include "series/RecordingLoader.h"

#include <QFutureWatcher>
#include <QMainWindow>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::chart {

class SpanChoice;

// View, Map Table... of the review: a channel (advance at first) averaged over cells of rpm
// (rows) and MAP (columns), each cell with its sample count and time spent, coloured from the
// lowest mean to the highest. The table is counted in a worker thread; it can be saved as CSV.
class MapTableWindow : public QMainWindow {
    Q_OBJECT
public:
    static inline const QString kExportTitle = QStringLiteral("Export Table");

    explicit MapTableWindow(MessageBoxes& boxes, QWidget* parent = nullptr);
    ~MapTableWindow() override;

    void setRecording(const LoadedRecording& recording);
    void clearRecording();
    void setView(double t0, double t1);
    // The review's cursors A and B; nothing while B is not placed.
    void setCursors(std::optional<std::pair<double, double>> ab);
    void setChannel(record::ChannelId of);
    // The recording overlaid in the review (nothing: none), its times moved by `shift`: the
    // table can then show this recording's means less the overlay's, cell by cell.
    void setComparison(std::shared_ptr<const ChartData> overlay, double shift);
    bool difference() const;

    // A count is under way, or its result not yet shown.
    bool busy() const { return counting_; }
    const analysis::MapTable& table() const { return table_; }
    QTableWidget* cells() const { return cells_; }
    SpanChoice* spanChoice() const { return span_; }
    // What a problem with the edges or the span says; empty when there is none.
    QString problem() const;

    // Edit, Copy: the selected cells' means with their bins, tab-separated.
    QString selectedMeans() const;
    // The table as CSV: a header, then one line per cell with samples.
    QByteArray csv() const;
    // Writes the CSV; an empty text, or why it failed.
    QString saveCsv(const QString& path) const;
    void exportCsv();

signals:
    void counted();

private:
    // The table's channels as the choice of what is averaged.
    void fillChannels(const record::Table& table);
    void recount();
    void edgesEdited();
    void fill(const analysis::MapTable& table);
    void take(const LoadedRecording& recording);
    // The MAP range the recording names, if it names one.
    std::optional<std::int16_t> rangeCode() const;

    MessageBoxes& boxes_;
    LoadedRecording recording_;
    analysis::MapTable table_;
    QList<double> rpmEdges_;
    QList<double> mapEdges_;
    QFutureWatcher<analysis::MapTable> watcher_;
    bool pending_ = false;
    bool counting_ = false;
    QComboBox* of_;
    QCheckBox* difference_;
    std::shared_ptr<const ChartData> overlay_;
    double overlayShift_ = 0;
    QLineEdit* rpmText_;
    QLineEdit* mapText_;
    SpanChoice* span_;
    QLabel* caption_;
    QLabel* problem_;
    QTableWidget* cells_;
    QLabel* legend_;
    QLabel* status_;
};

}  // namespace ignivex::chart
