#pragma once

#include "acquire/Acquisition.h"
#include "acquire/Rates.h"
#include "record/RecordingWriter.h"

#include <QObject>
#include <deque>
#include <optional>
#include <vector>

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
    // The same, but the rows come from take() rather than from the acquisition, and elapsed_s
    // counts from `from`: a recording that a watch feeds, the rows it kept from before first.
    bool startFed(const QString& path, record::Details details, Rate rate, bool replace,
                  Instant from, QString* error);
    // A row of a recording started with startFed().
    void take(const Sample& sample) { onSample(sample); }
    // A mark of the program's own (an alarm, a trigger) on the next row, beside the user's:
    // not numbered among them.
    void annotate(const QString& text);
    // Closes the file, synced to the disk. Safe when not recording.
    void stop();

    bool active() const { return active_; }
    // Marks the next row written with `note`; without one, as "mark N" (numbered from 1 in the
    // recording). Returns what the row will say; empty when not recording.
    QString mark(const QString& note = {});
    // A mark whose note is still to be typed: it goes on the row that is next now, and that row
    // and the ones after it wait in memory (kNoteWait at most) until giveNote(). Returns the
    // mark's number, 0 when not recording.
    int markAwaitingNote();
    // The note of the mark awaiting one (nothing: cancelled, the mark is dropped); the held rows
    // then go to the file. Returns what the marked row says; empty when cancelled or when no
    // recording runs. A note that comes after the wait ran out goes on the next row instead.
    QString giveNote(const std::optional<QString>& note);
    static constexpr auto kNoteWait = std::chrono::seconds(30);
    int marks() const { return marks_; }
    // Marks made that wait for the next row.
    int marksPending() const { return pendingMarks_; }
    Rate rate() const { return rate_; }
    QString path() const { return writer_.path(); }
    // Why the last start() refused.
    const RecordingWriter::OpenFailure& openFailure() const { return writer_.openFailure(); }
    Progress progress() const;
    // The file's top (the "#" lines and the column line) once started.
    QByteArray top() const { return writer_.top(); }

signals:
    // Rows on the disk, as RecordingWriter::rowsWritten: emitted on the writer's thread.
    void rowsWritten(qint64 firstRow, const QList<QByteArray>& lines);
    // The file could no longer be written: the recording has stopped (the message says why).
    void failed(const QString& message);
    // The file fell behind and a row was lost (said once per recording).
    void rowsDropped();
    // A row went to the file with marks: what its cell says ("mark 2; note"). The live chart
    // puts them on the same row.
    void rowMarked(const Sample& sample, const QString& marks);

private:
    void onSample(const Sample& sample);
    void write(const Sample& sample, const QString& marks, int count);
    // The held rows to the file, the awaited mark on the first of them saying `text`.
    void releaseHeld(const QString& text);

    Acquisition& acquisition_;
    Clock& clock_;
    RecordingWriter writer_;
    Rate rate_;
    std::int16_t rangeCode_ = 0;  // the MAP range the file's top names
    Instant start_{};
    qint64 samples_ = 0;
    std::deque<Instant> recent_;  // tick times of the last few seconds, for the rate achieved
    bool active_ = false;
    bool fed_ = false;
    QString pendingMark_;
    int pendingMarks_ = 0;
    int marks_ = 0;
    struct Marks {
        QString text;  // as the row's cell says them
        int count = 0;
    };
    struct HeldRow {
        Sample sample;
        Marks marks;  // made for this row
    };
    struct NoteWait {
        int number = 0;
        Instant asked{};
        Marks before;  // made before it, for the same row
        std::vector<HeldRow> rows;
    };
    std::optional<NoteWait> noteWait_;
    int lapsedNote_ = 0;  // the mark whose wait ran out before its note came
};

}  // namespace ignivex
