#pragma once

#include "series/ChartData.h"

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <utility>

namespace ignivex::chart {

// A recording read and made ready to draw.
struct LoadedRecording {
    QString path;
    QList<std::pair<QString, QString>> details;
    QString note;  // what was skipped; empty when nothing was
    std::shared_ptr<const ChartData> chart;
};

// Reads a recording in a worker thread (the file, then the min/max indexes, marks and gaps),
// reporting progress; can be cancelled. The window stays free meanwhile.
class RecordingLoader : public QObject {
    Q_OBJECT
public:
    explicit RecordingLoader(QObject* parent = nullptr);
    ~RecordingLoader() override;

    // Starts reading; a reading under way is cancelled first.
    void start(const QString& path);
    void cancel();
    bool running() const { return watcher_ != nullptr; }

    struct Outcome {
        std::shared_ptr<const LoadedRecording> recording;
        QString error;
        bool cancelled = false;
    };

signals:
    void progress(int permille);
    void loaded(std::shared_ptr<const ignivex::chart::LoadedRecording> recording);
    void failed(const QString& message);
    void cancelled();

private:
    void stop();

    QFutureWatcher<Outcome>* watcher_ = nullptr;  // of the reading under way
};

}  // namespace ignivex::chart
