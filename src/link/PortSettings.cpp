#include "link/PortSettings.h"

#include "base/AppIdentity.h"
#include "recovery/CommError.h"
#include "base/MessageText.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QSettings>
#include <algorithm>
#include <limits>

namespace ignivex::port_settings {

namespace {
const QString kKey = QStringLiteral("Properties/CommPort");
constexpr std::int32_t kErrSettingsFile = 75;

// Set when the file found at start-up could not be read: the user has been told that the next
// port choice replaces it.
bool replaceOnStore = false;

QSettings openStore() {
#ifdef Q_OS_WIN
    // Where Windows programs keep settings stored by application, section and key, so that a
    // port chosen there before is found: ...\<application>\<section>, the key a string value.
    return QSettings(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") + kAppName,
        QSettings::NativeFormat);
#else
    return userSettings();
#endif
}

const QString kGoOn = QStringLiteral(
    "Click Ignore to go on without a stored port, then choose the port under Communications, "
    "Port Setup: the file then keeps your choice and every setting in it that can be read, and "
    "the lines that cannot are dropped.");

CommError notAFile(const QString& path) {
    return CommError(kErrSettingsFile, kAppName,
                     QStringLiteral("The settings file %1 is not a plain file (a folder, pipe or "
                                    "device has its name), so the tool neither reads nor writes "
                                    "it. Remove or rename it, then click Retry.")
                         .arg(readablePath(path)));
}

CommError tooLarge(const QString& path, qint64 size) {
    return CommError(kErrSettingsFile, kAppName,
                     QStringLiteral("The settings file %1 is %2 bytes long, far more than the "
                                    "few settings it holds, so it was not read. %3")
                         .arg(readablePath(path), QLocale::c().toString(size), kGoOn));
}

CommError notSettings(const QString& path) {
    return CommError(kErrSettingsFile, kAppName,
                     QStringLiteral("The settings file %1 could not be read: it is not in the "
                                    "settings format (it may be damaged, or another program "
                                    "wrote it). %2")
                         .arg(readablePath(path), kGoOn));
}

CommError notReadable(const QString& path) {
    return CommError(kErrSettingsFile, kAppName,
                     QStringLiteral("The settings file %1 could not be opened for reading. Make "
                                    "it readable (or remove it), then click Retry. %2")
                         .arg(readablePath(path), kGoOn));
}

// A settings line as the store reads it: a comment, a section header, or "key=value" (of a
// length no setting of the program's comes near).
bool readableLine(QByteArrayView line) {
    constexpr qsizetype kLongestLine = 16 * 1024;
    const QByteArrayView text = line.trimmed();
    if (text.size() > kLongestLine)
        return false;
    if (text.isEmpty() || text.startsWith(';'))
        return true;
    if (text.startsWith('['))
        return text.endsWith(']');
    return text.indexOf('=') > 0;
}

// The file's lines, at most as many bytes as a mended file may hold and some.
QList<QByteArray> linesOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(kMaxSettingsFileBytes * 4).split('\n');
}

// Whether the store is in the settings format. QSettings says so only to the first reader of a
// file in a process (later ones share its parse), so the lines are looked at as well.
bool damaged(const QString& path, const QSettings& settings) {
    if (settings.status() == QSettings::FormatError)
        return true;
    const QList<QByteArray> lines = linesOf(path);
    return !std::all_of(lines.begin(), lines.end(), readableLine);
}

// What stands at the settings file's place, links followed: nothing, a file of a sane size,
// or something the tool must not read.
void checkFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return;
    if (!info.isFile())
        throw notAFile(path);
    if (info.size() > kMaxSettingsFileBytes)
        throw tooLarge(path, info.size());
}

// The file the writes end in: the link's target where the settings file is a link.
QString writtenFile(const QString& path) {
    const QFileInfo info(path);
    return info.isSymLink() ? info.symLinkTarget() : path;
}

// The store left with what it could read of it: every line it can read is kept, the others are
// dropped, so the next write neither merges into junk nor loses a setting. Written whole or not
// at all, through a link (which stays a link). Where even that will not read, it starts afresh.
void mend(const QString& path) {
    const QString target = writtenFile(path);
    QByteArray kept;
    for (const QByteArray& line : linesOf(target))
        if (readableLine(line))
            kept += line + '\n';
    QSaveFile file(target);
    const bool written =
        file.open(QIODevice::WriteOnly) && file.write(kept) == kept.size() && file.commit();
    if (written && !kept.isEmpty() && kept.size() <= kMaxSettingsFileBytes) {
        QSettings check = openStore();
        (void)check.allKeys();
        if (!damaged(path, check))
            return;
    }
    QFile start(path);
    if (!start.resize(0))
        throw CommError(kErrSettingsFile, kAppName,
                        QStringLiteral("The settings file %1 could not be read, and it could not "
                                       "be replaced either (%2). Make it writable, or remove "
                                       "it, then click Retry.")
                            .arg(readablePath(target), readable(start.errorString())));
}
}  // namespace

QString readStored() {
    const QString path = fileName();
    checkFile(path);
    QSettings settings = openStore();
    const QString value = settings.value(kKey, QStringLiteral("1")).toString();
    // Sections are parsed when first asked for: ask for all, or junk elsewhere in the file
    // goes unseen until the next write trips over it.
    (void)settings.allKeys();
    if (settings.status() == QSettings::AccessError)
        throw notReadable(path);
    if (damaged(path, settings)) {
        replaceOnStore = true;
        throw notSettings(path);
    }
    replaceOnStore = false;
    return value;
}

std::int16_t toPortNumber(const QString& stored) {
    // Only a sign and digits make a whole number; it is read digit by digit, so its length
    // costs nothing and a long one is told apart from one that is no number at all.
    const QStringView text = QStringView(stored).trimmed();
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text[0] == QLatin1Char('-');
    if (!text.isEmpty() && (text[0] == QLatin1Char('-') || text[0] == QLatin1Char('+')))
        ++i;
    bool whole = i < text.size();
    qint64 value = 0;
    bool tooBig = false;
    for (; whole && i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            whole = false;
        } else if (!tooBig) {
            value = value * 10 + (c - u'0');
            tooBig = value > std::numeric_limits<std::int16_t>::max() + 1;
        }
    }
    if (!whole) {
        throw CommError(kErrTypeMismatch, kAppName,
                        QStringLiteral("The stored port setting \"%1\" is not a whole number. "
                                       "Click Ignore, then choose the port again under "
                                       "Communications, Port Setup.")
                            .arg(readable(stored)));
    }
    if (negative)
        value = -value;
    if (tooBig || value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        throw CommError(kErrOverflow, kAppName,
                        QStringLiteral("The stored port setting \"%1\" is out of range. Click "
                                       "Ignore, then choose the port again under Communications, "
                                       "Port Setup.")
                            .arg(readable(stored)));
    }
    return static_cast<std::int16_t>(value);
}

void store(std::int16_t portNumber) {
    const QString path = fileName();
    bool replaced = false;
    try {
        checkFile(path);
    } catch (const CommError&) {
        if (!QFileInfo(path).isFile())
            throw;  // never written over: it is not ours
        replaceOnStore = true;
    }
    if (!replaceOnStore && QFileInfo::exists(path)) {
        // Damaged since start-up? Reading it again tells.
        QSettings check = openStore();
        (void)check.allKeys();
        if (damaged(path, check)) {
            replaced = true;
            replaceOnStore = true;
        }
    }
    if (replaceOnStore && QFileInfo::exists(path))
        mend(path);
    replaceOnStore = false;

    QSettings settings = openStore();
    settings.setValue(kKey, QString::number(portNumber));
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        const QString target = writtenFile(path);
        throw CommError(kErrSettingsFile, kAppName,
                        target == path
                            ? QStringLiteral("The port choice could not be saved to %1. Check "
                                             "that the folder exists and is writable, then "
                                             "click Retry.")
                                  .arg(readablePath(path))
                            : QStringLiteral("The port choice could not be saved to %1, where "
                                             "the settings file %2 links to. Check that that "
                                             "folder exists and is writable (the link is kept), "
                                             "then click Retry.")
                                  .arg(readablePath(target), readablePath(path)));
    }
    if (replaced) {
        // Nothing was lost that could be read, but the user should know the file changed.
        throw CommError(kErrSettingsFile, kAppName,
                        QStringLiteral("The settings file %1 could not be read: it was not in "
                                       "the settings format. It has been mended: it holds your "
                                       "port choice, Com%2, and every other setting in it that "
                                       "could be read; the lines that could not were dropped. "
                                       "Click Ignore to go on.")
                            .arg(readablePath(path), QString::number(portNumber)));
    }
}

QString fileName() {
    return openStore().fileName();
}

}  // namespace ignivex::port_settings
