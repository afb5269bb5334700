#pragma once

#include "acquire/Sample.h"
#include "record/RecordFormat.h"

#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <sys/types.h>
#include <thread>

namespace ignivex {

// Writes a recording. The polling tick hands each Sample over with add(), which only formats the
// row and queues it: a thread of the writer's own puts the queued rows into the file, flushed
// and synced, as soon as they come, so a slow disk never stretches a tick and a kill or a power
// cut loses at most the rows still on their way (normally none: a row is on the disk long before
// the next tick). The queue is bounded; a row that finds it full is dropped and counted.
//
// When the file can no longer be written (the disk is full, the file was removed or made
// read-only, the device went away) the writer stops and emits failed() with a message that names
// the file and the reason; the rows written so far stay.
class RecordingWriter : public QObject {
    Q_OBJECT
public:
    // Rows the queue holds at most: about a minute at the fastest rate.
    static constexpr std::size_t kQueueLimit = 4096;

    struct Figures {
        qint64 rows = 0;     // rows that reached the file
        qint64 bytes = 0;    // bytes in the file
        qint64 dropped = 0;  // rows lost because the queue was full
        qint64 marks = 0;    // marks in the rows that reached the file
        bool taken = false;  // another program deleted, replaced or cut short the file
    };

    // Why open() refused, for a caller that words the message itself.
    enum class Refusal { None, Exists, SymbolicLink, NotAFile, Locked, CannotCreate, CannotWrite };
    struct OpenFailure {
        Refusal refusal = Refusal::None;
        int error = 0;  // errno, where the system gave one
    };

    explicit RecordingWriter(QObject* parent = nullptr);
    ~RecordingWriter() override;

    // Creates the file and writes its preamble. An existing file is replaced only when
    // `replace` is true (the user confirmed it); otherwise, and when the file cannot be
    // created, returns false with the reason in `error`. `start` is the monotonic time
    // elapsed_s counts from.
    bool open(const QString& path, const record::Details& details, Instant start, bool replace,
              QString* error);

    const OpenFailure& openFailure() const { return openFailure_; }

    bool isOpen() const { return fd_ >= 0; }
    QString path() const { return path_; }

    // Queues the row of a tick. Never blocks on the disk. `marks`: how many of the user's marks
    // the row's mark cell holds (counted in figures() once the row is in the file).
    void add(const Sample& sample, const QString& mark = {}, int marks = 0);

    // Writes what is queued, syncs the file to the disk and closes it. Waits for the writing.
    // Safe to call when not open.
    void close();

    Figures figures() const;

    // The file's top as open() wrote it: the "#" lines and the column line.
    QByteArray top() const { return top_; }

signals:
    // Rows that reached the disk (written and synced), from row `firstRow` on (counted from 0,
    // the first data row), each as the file has it without its line end. Emitted on the
    // writer's own thread: a listener elsewhere gets it queued and never holds the writing.
    void rowsWritten(qint64 firstRow, const QList<QByteArray>& lines);
    // The file could no longer be written; the writer has closed it.
    void failed(const QString& message);
    // The first row was dropped because the queue was full (said once per recording).
    void rowsDropped();

private:
    void run();
    QString problem(int error) const;
    // What happened to the file under the writer (deleted, replaced, cut short), if anything.
    std::optional<QString> tampered() const;
    void stopWith(const QString& reason, bool rowsKept = true);
    void removeIfEmpty();

    QString path_;
    QByteArray top_;
    Instant start_{};
    int fd_ = -1;
    dev_t device_ = 0;  // the file's identity, to notice another file taking its name
    ino_t inode_ = 0;
    OpenFailure openFailure_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    struct Queued {
        QByteArray line;
        int marks = 0;
    };
    std::deque<Queued> queue_;
    bool closing_ = false;
    bool failed_ = false;
    bool droppedSaid_ = false;
    Figures figures_;
    std::thread thread_;
};

}  // namespace ignivex
