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

namespace ignivex {

namespace {

// Writes all of `bytes`, going on after a signal or a short write. 0, or the errno; `done`
// tells how much reached the file.
int writeAll(int fd, const QByteArray& bytes, qsizetype* done = nullptr) {
    qsizetype written = 0;
    int result = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result = errno;
            break;
        }
        written += n;
    }
    if (done)
        *done = written;
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
    auto refuse = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const QByteArray native = QFile::encodeName(path);
    int flags = O_WRONLY | O_CREAT | file_calls::openFlags() | (replace ? O_TRUNC : O_EXCL);
    const int fd = ::open(native.constData(), flags, 0644);
    if (fd < 0) {
        const int e = errno;
        if (e == EEXIST)
            return refuse(QStringLiteral("%1 already exists. Choose another name, or confirm that "
                                         "it may be replaced.").arg(shown(path)));
        return refuse(QStringLiteral("%1 could not be created: %2. Choose a folder you can write "
                                     "to.").arg(shown(path), QString::fromLocal8Bit(std::strerror(e))));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(QStringLiteral("%1 is not an ordinary file, so it cannot hold a recording. "
                                     "Choose another name.").arg(shown(path)));
    }
    const QByteArray head = record::preamble(details);
    if (const int e = writeAll(fd, head); e != 0 || file_calls::syncData(fd) != 0) {
        const int why = e != 0 ? e : errno;
        ::close(fd);
        return refuse(QStringLiteral("%1 could not be written: %2. Choose another place for the "
                                     "recording.").arg(shown(path), QString::fromLocal8Bit(std::strerror(why))));
    }

    path_ = path;
    start_ = start;
    fd_ = fd;
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

void RecordingWriter::add(const Sample& sample) {
    if (fd_ < 0)
        return;
    QByteArray line = record::row(sample, start_);
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
            queue_.push_back(std::move(line));
        }
    }
    if (sayDropped)
        emit rowsDropped();
    else
        wake_.notify_one();
}

void RecordingWriter::run() {
    for (;;) {
        std::deque<QByteArray> batch;
        bool last = false;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return !queue_.empty() || closing_; });
            batch.swap(queue_);
            last = closing_;
        }
        if (!batch.empty()) {
            QByteArray bytes;
            for (const QByteArray& line : batch)
                bytes += line;
            qsizetype done = 0;
            if (const int e = writeAll(fd_, bytes, &done); e != 0) {
                // What is on the disk ends with a whole row: a row cut short is taken back.
                const qsizetype whole = done > 0 ? bytes.lastIndexOf('\n', done - 1) + 1 : 0;
                if (::ftruncate(fd_, figures_.bytes + whole) == 0) {
                    std::lock_guard lock(mutex_);
                    figures_.rows += bytes.left(whole).count('\n');
                    figures_.bytes += whole;
                }
                stopWith(problem(e));
                return;
            }
            if (file_calls::syncData(fd_) != 0 && errno != EINVAL) {
                stopWith(problem(errno));
                return;
            }
            std::lock_guard lock(mutex_);
            figures_.rows += qint64(batch.size());
            figures_.bytes += bytes.size();
        }
        // Writing to a file that was removed or made read-only succeeds without a word, so look.
        struct stat st {};
        if (::fstat(fd_, &st) == 0) {
            if (st.st_nlink == 0) {
                stopWith(QStringLiteral("the file was deleted"));
                return;
            }
            if ((st.st_mode & S_IWUSR) == 0) {
                stopWith(QStringLiteral("the file was made read-only"));
                return;
            }
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

void RecordingWriter::stopWith(const QString& reason) {
    qint64 rows = 0;
    {
        std::lock_guard lock(mutex_);
        failed_ = true;
        queue_.clear();
        rows = figures_.rows;
    }
    emit failed(QStringLiteral("The recording to %1 stopped: %2. The %3 rows recorded before "
                               "that are kept in the file. Make room or choose another place, "
                               "then start a new recording.")
                    .arg(shown(path_), reason)
                    .arg(rows));
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
    ::close(fd_);
    fd_ = -1;
}

RecordingWriter::Figures RecordingWriter::figures() const {
    std::lock_guard lock(mutex_);
    return figures_;
}

}  // namespace ignivex
