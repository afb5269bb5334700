#include "series/RecordingLoader.h"

#include "record/RecordingReader.h"

#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

namespace ignivex::chart {

namespace {

void load(QPromise<RecordingLoader::Outcome>& promise, const QString& path) {
    promise.setProgressRange(0, 1000);
    std::atomic<bool> cancel = false;
    record::ReadOptions options;
    options.cancel = &cancel;
    options.progress = [&](qint64 done, qint64 total) {
        if (promise.isCanceled())
            cancel = true;
        // Reading is most of the work; the last tenth is for the indexes.
        if (total > 0)
            promise.setProgressValue(int(900 * double(done) / double(total)));
    };
    record::ReadResult read = record::readRecording(path, options);
    RecordingLoader::Outcome outcome;
    if (read.cancelled || promise.isCanceled()) {
        outcome.cancelled = true;
    } else if (!read.recording) {
        outcome.error = read.error;
    } else {
        auto rec = std::make_shared<LoadedRecording>();
        rec->path = read.recording->path;
        rec->details = read.recording->details;
        rec->note = read.recording->note();
        rec->chart = makeChartData(std::move(read.recording->table), true);
        outcome.recording = std::move(rec);
        promise.setProgressValue(1000);
    }
    promise.addResult(std::move(outcome));
}

}  // namespace

RecordingLoader::RecordingLoader(QObject* parent) : QObject(parent) {}

RecordingLoader::~RecordingLoader() {
    stop();
}

void RecordingLoader::start(const QString& path) {
    stop();
    auto* watcher = new QFutureWatcher<Outcome>(this);
    watcher_ = watcher;
    connect(watcher, &QFutureWatcher<Outcome>::progressValueChanged, this,
            &RecordingLoader::progress);
    connect(watcher, &QFutureWatcher<Outcome>::finished, this, [this, watcher] {
        watcher_ = nullptr;
        watcher->deleteLater();
        const QFuture<Outcome> future = watcher->future();
        const Outcome outcome = future.resultCount() > 0 ? future.result() : Outcome{{}, {}, true};
        if (outcome.cancelled)
            emit cancelled();
        else if (!outcome.error.isEmpty())
            emit failed(outcome.error);
        else
            emit loaded(outcome.recording);
    });
    watcher->setFuture(QtConcurrent::run(load, path));
}

void RecordingLoader::stop() {
    QFutureWatcher<Outcome>* watcher = std::exchange(watcher_, nullptr);
    if (!watcher)
        return;
    // The worker stops within one chunk of the file; waiting keeps it from outliving us.
    watcher->disconnect(this);
    watcher->cancel();
    watcher->waitForFinished();
    watcher->deleteLater();
}

void RecordingLoader::cancel() {
    if (!watcher_)
        return;
    stop();
    emit cancelled();
}

}  // namespace ignivex::chart
