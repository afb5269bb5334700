#include "app/FileArgument.h"

#include "base/MessageText.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace ignivex::command_line {

namespace {

// Windows has no links, sockets or disk quotas to tell apart here.
#ifdef _WIN32
int statNoFollow(const char* path, struct stat* st) {
    return ::stat(path, st);
}
constexpr bool isLink(mode_t) {
    return false;
}
constexpr bool isSocket(mode_t) {
    return false;
}
constexpr int kQuotaError = ENOSPC;
#else
int statNoFollow(const char* path, struct stat* st) {
    return ::lstat(path, st);
}
bool isLink(mode_t mode) {
    return S_ISLNK(mode);
}
bool isSocket(mode_t mode) {
    return S_ISSOCK(mode);
}
constexpr int kQuotaError = EDQUOT;
#endif

QString shown(const QString& path) {
    return readablePath(QDir::toNativeSeparators(path));
}

QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a pipe");
    if (isSocket(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("not a regular file");
}

}  // namespace

std::optional<QString> fileArgumentProblem(const QString& path, bool force) {
    struct stat st {};
    if (statNoFollow(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;  // a new file; whether it can be made is found out by making it
    if (isLink(st.st_mode))
        return QStringLiteral(
                   "%1 is a symbolic link, and a recording is never written through "
                   "one (with or without --force). Give the file itself, or another "
                   "FILE.")
            .arg(shown(path));
    if (!S_ISREG(st.st_mode))
        return QStringLiteral(
                   "%1 is %2, not a regular file, so it cannot hold a recording. "
                   "Give another FILE.")
            .arg(shown(path), kindOf(st.st_mode));
    if (!force)
        return QStringLiteral("%1 already exists. Give another FILE, or --force to replace it.")
            .arg(shown(path));
    return std::nullopt;
}

QString refusalText(const QString& path, const RecordingWriter::OpenFailure& failure,
                    const QString& windowText) {
    using Refusal = RecordingWriter::Refusal;
    const int e = failure.error;
    switch (failure.refusal) {
    case Refusal::Exists:
        return QStringLiteral("%1 already exists. Give another FILE, or --force to replace it.")
            .arg(shown(path));
    case Refusal::SymbolicLink:
    case Refusal::NotAFile:
        return fileArgumentProblem(path, true).value_or(windowText);
    case Refusal::Locked:
        return QStringLiteral(
                   "%1 is being recorded to by another program, which holds its "
                   "lock. Give another FILE.")
            .arg(shown(path));
    case Refusal::CannotCreate:
    case Refusal::CannotWrite: {
        QString why = systemText(e);
        QString advice = QStringLiteral("Give a FILE in a folder you can write to.");
        if (e == ENAMETOOLONG) {
            why = QStringLiteral("the file name is too long (%1)").arg(why);
            advice = QStringLiteral("Give a shorter FILE name.");
        } else if (e == ENOSPC || e == EFBIG || e == kQuotaError) {
            if (e == ENOSPC)
                why = QStringLiteral("the disk is full (%1)").arg(why);
            advice = QStringLiteral("Make room, or give a FILE on another disk.");
        }
        return QStringLiteral("%1 could not be %2: %3. %4")
            .arg(shown(path),
                 failure.refusal == Refusal::CannotCreate ? QStringLiteral("created")
                                                          : QStringLiteral("written"),
                 why, advice);
    }
    case Refusal::None:
        break;
    }
    return windowText;
}

}  // namespace ignivex::command_line
