#pragma once

#include "acquire/Acquisition.h"
#include "acquire/Rates.h"
#include "record/RecordingWriter.h"

#include <QObject>
#include <deque>

namespace ignivex {

// One recording from start to stop: every Sample the acquisition core emits goes to the file,
// and the figures a user watches (time, samples, the rate achieved) are kept on the way.
class RecordingSession : public QObject {
    Q_OBJECT
public:
    struct Progress {
        double elapsedS = 0;  // since the start, on the monotonic clock
        qint64 samples = 0;   // rows handed to the file
        double ratePerS = 0;  // samples a second over the last few seconds
        qint64 bytes = 0;     // in the file
        qint64 dropped = 0;   // rows the file could not take in time
        qint64 rows = 0;      // rows that reached the file
        qint64 marks = 0;     // marks in the rows that reached the file
        bool taken = false;   // the file was deleted, replaced or cut short under the writer
    };

    RecordingSession(Acquisition& acquisition, Clock& clock, QObject* parent = nullptr);
    ~RecordingSession() override;

    // Creates the file (replacing it only when `replace`) and records from the next tick on.
    bool start(const QString& path, record::Details details, Rate rate, bool replace,
               QString* error);
    // Closes the file, synced to the disk. Safe when not recording.
    void stop();

    bool active() const { return active_; }
    // Marks the next row written with `note`; without one, as "mark N" (numbered from 1 in the
    // recording). Returns what the row will say; empty when not recording.
    QString mark(const QString& note = {});
    int marks() const { return marks_; }
    // Marks made that wait for the next row.
    int marksPending() const { return pendingMarks_; }
    Rate rate() const { return rate_; }
    QString path() const { return writer_.path(); }
    // Why the last start() refused.
    const RecordingWriter::OpenFailure& openFailure() const { return writer_.openFailure(); }
    Progress progress() const;

signals:
    // The file could no longer be written: the recording has stopped (the message says why).
    void failed(const QString& message);
    // The file fell behind and a row was lost (said once per recording).
    void rowsDropped();

private:
    void onSample(const Sample& sample);

    Acquisition& acquisition_;
    Clock& clock_;
    RecordingWriter writer_;
    Rate rate_;
    std::int16_t rangeCode_ = 0;  // the MAP range the file's top names
    Instant start_{};
    qint64 samples_ = 0;
    std::deque<Instant> recent_;  // tick times of the last few seconds, for the rate achieved
    bool active_ = false;
    QString pendingMark_;
    int pendingMarks_ = 0;
    int marks_ = 0;
};

}  // namespace ignivex
