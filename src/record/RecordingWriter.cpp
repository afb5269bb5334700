#include "record/RecordingWriter.h"

#include "base/FileCalls.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/file.h>
#endif

namespace ignivex {

namespace {

// What the file checks rest on differs between the systems: Windows has no links to refuse
// here, no advisory locks (a file open for writing is already the writer's own) and no
// separate data sync; its files carry no inode number.
#ifdef _WIN32
int statNoFollow(const char* path, struct stat* st) {
    return ::stat(path, st);
}
bool isLink(const struct stat&) {
    return false;
}
int lockAlone(int) {
    return 0;
}
constexpr int kGuardFlags = 0;
void blockingAgain(int) {}
#else
int statNoFollow(const char* path, struct stat* st) {
    return ::lstat(path, st);
}
bool isLink(const struct stat& st) {
    return S_ISLNK(st.st_mode);
}
int lockAlone(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB);
}
constexpr int kGuardFlags = O_NOFOLLOW | O_NONBLOCK;
// Opened without blocking (a FIFO must not hold the open); written with it.
void blockingAgain(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
}
#endif

// Writes all of `bytes`. 0, or the errno; `done` tells how much reached the file.
int writeAll(int fd, const QByteArray& bytes, qsizetype* done = nullptr) {
    std::size_t written = 0;
    const int result =
        file_calls::writeAll(fd, bytes.constData(), std::size_t(bytes.size()), &written);
    if (done)
        *done = qsizetype(written);
    return result;
}

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

}  // namespace

RecordingWriter::RecordingWriter(QObject* parent) : QObject(parent) {
    // A file over the process's size limit must fail its write, not end the process.
    file_calls::keepRunningOverSizeLimit();
}

RecordingWriter::~RecordingWriter() {
    close();
}

bool RecordingWriter::open(const QString& path, const record::Details& details, Instant start,
                           bool replace, QString* error) {
    close();
    openFailure_ = {};
    auto refuse = [&](Refusal refusal, int e, const QString& why) {
        openFailure_ = {refusal, e};
        if (error)
            *error = why;
        return false;
    };
    auto systemText = [](int e) { return QString::fromLocal8Bit(std::strerror(e)); };
    const QByteArray native = QFile::encodeName(path);

    // Looked at before anything is opened: a link is never followed (it could lead anywhere),
    // and a pipe or a device is never opened (a pipe without a reader blocks in open()).
    struct stat before {};
    const bool existed = statNoFollow(native.constData(), &before) == 0;
    if (existed) {
        if (isLink(before))
            return refuse(Refusal::SymbolicLink, ELOOP,
                          QStringLiteral("%1 is a symbolic link. A recording is never written "
                                         "through a link: choose the file itself or another "
                                         "name.")
                              .arg(shown(path)));
        if (!S_ISREG(before.st_mode))
            return refuse(Refusal::NotAFile, 0,
                          QStringLiteral("%1 is not an ordinary file, so it cannot hold a "
                                         "recording. Choose another name.")
                              .arg(shown(path)));
    }
    // No O_TRUNC here: a file is emptied only once its lock is held, so a second recorder on
    // the same file cannot empty the first one's rows. New files get the user's umask.
    const int flags =
        O_WRONLY | O_CREAT | file_calls::openFlags() | kGuardFlags | (replace ? 0 : O_EXCL);
    const int fd = ::open(native.constData(), flags, 0666);
    if (fd < 0) {
        const int e = errno;
        if (e == EEXIST)
            return refuse(Refusal::Exists, e,
                          QStringLiteral("%1 already exists. Choose another name, or confirm "
                                         "that it may be replaced.")
                              .arg(shown(path)));
        if (e == ELOOP)
            return refuse(Refusal::SymbolicLink, e,
                          QStringLiteral("%1 is a symbolic link. A recording is never written "
                                         "through a link: choose the file itself or another "
                                         "name.")
                              .arg(shown(path)));
        if (e == ENAMETOOLONG)
            return refuse(Refusal::CannotCreate, e,
                          QStringLiteral("%1 could not be created: the file name is too long (%2). "
                                         "Choose a shorter name.")
                              .arg(shown(path), systemText(e)));
        if (e == ENOSPC)
            return refuse(Refusal::CannotCreate, e,
                          QStringLiteral("%1 could not be created: the disk is full (%2). Make "
                                         "room or choose another disk.")
                              .arg(shown(path), systemText(e)));
        return refuse(Refusal::CannotCreate, e,
                      QStringLiteral("%1 could not be created: %2. Choose a folder you can write "
                                     "to.")
                          .arg(shown(path), systemText(e)));
    }
    const bool created = !replace || !existed;
    auto giveUp = [&](Refusal refusal, int e, const QString& why) {
        // A file this open made is taken away again: it holds no row.
        if (created)
            ::unlink(native.constData());
        ::close(fd);
        return refuse(refusal, e, why);
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(Refusal::NotAFile, 0,
                      QStringLiteral("%1 is not an ordinary file, so it cannot hold a recording. "
                                     "Choose another name.")
                          .arg(shown(path)));
    }
    if (lockAlone(fd) != 0) {
        const int e = errno;
        ::close(fd);
        return refuse(Refusal::Locked, e,
                      QStringLiteral("%1 is being recorded to by another program. Choose another "
                                     "name.")
                          .arg(shown(path)));
    }
    blockingAgain(fd);
    // A new recording gets an id of its own, which the library knows it by wherever it goes.
    record::Details withId = details;
    if (withId.runId.isEmpty())
        withId.runId = record::newRunId();
    const QByteArray head = record::preamble(withId);
    int e = 0;
    if (::ftruncate(fd, 0) != 0)
        e = errno;
    if (e == 0)
        e = writeAll(fd, head);
    if (e == 0 && file_calls::syncData(fd) != 0)
        e = errno;
    if (e != 0) {
        const QString reason = e == ENOSPC
                                   ? QStringLiteral("the disk is full (%1)").arg(systemText(e))
                                   : systemText(e);
        // Whatever was there is gone by now, and a file with no row is worth nothing.
        if (!created)
            ::unlink(native.constData());
        return giveUp(Refusal::CannotWrite, e,
                      QStringLiteral("%1 could not be written: %2. Choose another place for the "
                                     "recording.")
                          .arg(shown(path), reason));
    }

    path_ = path;
    top_ = head;
    start_ = start;
    fd_ = fd;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        closing_ = false;
        failed_ = false;
        droppedSaid_ = false;
        figures_ = Figures{};
        figures_.bytes = head.size();
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void RecordingWriter::add(const Sample& sample, const QString& mark, int marks) {
    if (fd_ < 0)
        return;
    QByteArray line = record::row(sample, start_, mark);
    bool sayDropped = false;
    {
        std::lock_guard lock(mutex_);
        if (failed_ || closing_)
            return;
        if (queue_.size() >= kQueueLimit) {
            ++figures_.dropped;
            sayDropped = !droppedSaid_;
            droppedSaid_ = true;
        } else {
            queue_.push_back({std::move(line), marks});
        }
    }
    if (sayDropped)
        emit rowsDropped();
    else
        wake_.notify_one();
}

void RecordingWriter::run() {
    for (;;) {
        std::deque<Queued> batch;
        bool last = false;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return !queue_.empty() || closing_; });
            batch.swap(queue_);
            last = closing_;
        }
        if (const auto what = tampered()) {
            stopWith(*what, false);
            return;
        }
        if (!batch.empty()) {
            QByteArray bytes;
            qint64 marks = 0;
            for (const Queued& row : batch) {
                bytes += row.line;
                marks += row.marks;
            }
            qsizetype done = 0;
            if (const int e = writeAll(fd_, bytes, &done); e != 0) {
                // What is on the disk ends with a whole row: a row cut short is taken back.
                const qsizetype whole = done > 0 ? bytes.lastIndexOf('\n', done - 1) + 1 : 0;
                if (::ftruncate(fd_, figures_.bytes + whole) == 0) {
                    qint64 rows = 0;
                    qint64 marksKept = 0;
                    for (qsizetype at = 0; const Queued& row : batch) {
                        if ((at += row.line.size()) > whole)
                            break;
                        ++rows;
                        marksKept += row.marks;
                    }
                    std::lock_guard lock(mutex_);
                    figures_.rows += rows;
                    figures_.marks += marksKept;
                    figures_.bytes += whole;
                }
                stopWith(problem(e));
                return;
            }
            if (file_calls::syncData(fd_) != 0 && errno != EINVAL) {
                stopWith(problem(errno));
                return;
            }
            qint64 firstRow = 0;
            {
                std::lock_guard lock(mutex_);
                firstRow = figures_.rows;
                figures_.rows += qint64(batch.size());
                figures_.marks += marks;
                figures_.bytes += bytes.size();
            }
            QList<QByteArray> lines;
            lines.reserve(qsizetype(batch.size()));
            for (const Queued& row : batch)
                lines << row.line.chopped(1);
            emit rowsWritten(firstRow, lines);
        }
        // Writing to a file that was removed or made read-only succeeds without a word, so look.
        if (const auto what = tampered()) {
            stopWith(*what, false);
            return;
        }
        struct stat st {};
        if (::fstat(fd_, &st) == 0 && (st.st_mode & S_IWUSR) == 0) {
            stopWith(QStringLiteral("the file was made read-only"));
            return;
        }
        if (last)
            return;
    }
}

QString RecordingWriter::problem(int error) const {
    const QString system = QString::fromLocal8Bit(std::strerror(error));
    switch (error) {
    case ENOSPC:
        return QStringLiteral("the disk is full (%1)").arg(system);
    case EFBIG:
        return QStringLiteral("the file reached the largest size allowed here (%1)").arg(system);
    case EROFS:
        return QStringLiteral("the disk became read-only (%1)").arg(system);
    case EIO:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("the disk reported an error; was it removed? (%1)").arg(system);
    default:
        return system;
    }
}

std::optional<QString> RecordingWriter::tampered() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return std::nullopt;
#ifndef _WIN32
    // Windows lets no program delete or replace a file that is open for writing, and its files
    // have no inode numbers to compare.
    if (st.st_nlink == 0)
        return QStringLiteral("the file was deleted, and the rows recorded into it went with it");
    struct stat named {};
    if (::stat(QFile::encodeName(path_).constData(), &named) == 0 &&
        (named.st_dev != device_ || named.st_ino != inode_))
        return QStringLiteral(
            "another file took its name; the rows recorded so far are in no "
            "file any more");
#endif
    qint64 expected = 0;
    {
        std::lock_guard lock(mutex_);
        expected = figures_.bytes;
    }
    // Written on at the old end, the rows would follow a stretch of NUL bytes.
    if (st.st_size < expected)
        return QStringLiteral(
                   "another program cut the file short (%1 bytes of %2 are left); what "
                   "it left is kept")
            .arg(qint64(st.st_size))
            .arg(expected);
    return std::nullopt;
}

void RecordingWriter::stopWith(const QString& reason, bool rowsKept) {
    qint64 rows = 0;
    {
        std::lock_guard lock(mutex_);
        failed_ = true;
        queue_.clear();
        rows = figures_.rows;
        figures_.taken = !rowsKept;
    }
    if (!rowsKept) {
        emit failed(QStringLiteral("The recording to %1 stopped: %2.").arg(shown(path_), reason));
        return;
    }
    emit failed(QStringLiteral("The recording to %1 stopped: %2. The %3 rows recorded before "
                               "that are kept in the file. Make room or choose another place, "
                               "then start a new recording.")
                    .arg(shown(path_), reason)
                    .arg(rows));
}

void RecordingWriter::removeIfEmpty() {
    // A file without a single row is only in the way of the next unattended run. It is taken
    // away only while its name still leads to this very file.
    qint64 rows = 0;
    {
        std::lock_guard lock(mutex_);
        rows = figures_.rows;
    }
    if (rows > 0)
        return;
    const QByteArray native = QFile::encodeName(path_);
    struct stat named {};
#ifdef _WIN32
    if (statNoFollow(native.constData(), &named) == 0)
#else
    if (statNoFollow(native.constData(), &named) == 0 && named.st_dev == device_ &&
        named.st_ino == inode_)
#endif
        ::unlink(native.constData());
}

void RecordingWriter::close() {
    if (fd_ < 0)
        return;
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
    file_calls::syncAll(fd_);
    // Closed first: Windows removes no file that is still open.
    ::close(fd_);
    fd_ = -1;
    removeIfEmpty();
}

RecordingWriter::Figures RecordingWriter::figures() const {
    std::lock_guard lock(mutex_);
    return figures_;
}

}  // namespace ignivex
