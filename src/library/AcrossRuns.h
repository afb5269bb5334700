#pragma once

#include "series/RecordingLoader.h"
#include "series/ReviewState.h"

#include <QFutureWatcher>
#include <QObject>
#include <QStringList>

class QTableWidget;
class QWidget;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::chart {
class HistogramWindow;
class MapTableWindow;
}  // namespace ignivex::chart

namespace ignivex::library {

// The review's map table, histogram and statistics over several runs taken as one recording;
// with a second set, the map table shows the first set's means less the second's, cell by
// cell. The runs are read in a worker thread.
class AcrossRuns : public QObject {
    Q_OBJECT
public:
    enum class Tool { MapTable, Histogram, Statistics };

    AcrossRuns(MessageBoxes& boxes, QWidget* parent);
    ~AcrossRuns() override;

    // Reads the runs (and those to compare with, when given) and shows the tool over them.
    void show(Tool tool, const QStringList& runs, const QString& title,
              const QStringList& comparedWith = {}, const QString& comparedTitle = {});
    bool busy() const { return watcher_ != nullptr; }

    chart::MapTableWindow* mapTable() const { return mapTable_; }
    chart::HistogramWindow* histogram() const { return histogram_; }
    QTableWidget* statistics() const { return statistics_; }
    const chart::ReviewState& state() const { return state_; }

signals:
    void shown();
    void failed(const QString& message);

private:
    struct Sets {
        std::shared_ptr<const chart::LoadedRecording> runs, comparedWith;
        QString error;
    };
    void present(Tool tool, const Sets& sets);
    void showStatistics();

    MessageBoxes& boxes_;
    QWidget* parent_;
    chart::ReviewState state_;
    QFutureWatcher<Sets>* watcher_ = nullptr;
    chart::MapTableWindow* mapTable_ = nullptr;
    chart::HistogramWindow* histogram_ = nullptr;
    QTableWidget* statistics_ = nullptr;
};

}  // namespace ignivex::library
