#include "team/Spool.h"

#include "base/FileCalls.h"
#include "team/Connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace ignivex::team {

namespace {

constexpr char kFirstLine[] = "# ignivex log spool: 1";
// A spool larger than this is not read: a day at the fastest rate is well below it.
constexpr qint64 kLargestSpool = qint64(2) * 1024 * 1024 * 1024;

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QByteArray headText(const SpoolHead& h) {
    auto line = [](const char* key, const QString& value) {
        QString v = value;
        v.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        return "# " + QByteArray(key) + ": " + v.toUtf8() + '\n';
    };
    return kFirstLine + QByteArray("\n") + line("url", withoutPassword(h.url)) + line("id", h.runId) +
           line("recording", h.recording) + line("first row", QString::number(h.firstRow));
}

QByteArray joined(const QList<QByteArray>& lines) {
    QByteArray out;
    qsizetype size = 0;
    for (const QByteArray& l : lines)
        size += l.size() + 1;
    out.reserve(size);
    for (const QByteArray& l : lines)
        out += l + '\n';
    return out;
}

bool synced(QFileDevice& file, const QString& path, QString* why) {
    if (!file.flush() || file_calls::syncData(file.handle()) != 0) {
        *why = QStringLiteral("%1 could not be written: %2").arg(shown(path), file.errorString());
        return false;
    }
    return true;
}

// The value of the "# KEY: value" line `line`, or nothing when it is another line.
std::optional<QString> valueOf(const QByteArray& line, const char* key) {
    const QByteArray start = "# " + QByteArray(key) + ": ";
    if (!line.startsWith(start))
        return std::nullopt;
    return QString::fromUtf8(line.mid(start.size()));
}

}  // namespace

QString spoolPathFor(const QString& recording) {
    return recording + QStringLiteral(".spool");
}

bool writeSpool(const QString& path, const SpoolContents& contents, QString* why) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *why = QStringLiteral("%1 could not be created: %2").arg(shown(path), file.errorString());
        return false;
    }
    file.write(headText(contents.head));
    file.write(joined(contents.lines));
    if (!synced(file, path, why))
        return false;
    if (!file.commit()) {
        *why = QStringLiteral("%1 could not be written: %2").arg(shown(path), file.errorString());
        return false;
    }
    return true;
}

bool appendToSpool(const QString& path, const QList<QByteArray>& lines, QString* why) {
    // Only onto a spool with its head: rows alone would name no run.
    if (!QFileInfo(path).isFile()) {
        *why = QStringLiteral("%1 is gone").arg(shown(path));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *why = QStringLiteral("%1 could not be opened: %2").arg(shown(path), file.errorString());
        return false;
    }
    const QByteArray bytes = joined(lines);
    if (file.write(bytes) != bytes.size()) {
        *why = QStringLiteral("%1 could not be written: %2").arg(shown(path), file.errorString());
        return false;
    }
    return synced(file, path, why);
}

std::optional<SpoolContents> readSpool(const QString& path, QString* why) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("%1 could not be read: %2").arg(shown(path), file.errorString());
        return std::nullopt;
    }
    if (file.size() > kLargestSpool) {
        *why = QStringLiteral("%1 is larger than a spool ever grows (%2 MB); it is not read")
                   .arg(shown(path))
                   .arg(file.size() / (1024 * 1024));
        return std::nullopt;
    }
    const QByteArray all = file.readAll();
    auto damaged = [&](const QString& what) {
        *why = QStringLiteral("%1 is damaged: %2").arg(shown(path), what);
        return std::nullopt;
    };
    if (all.contains('\0'))
        return damaged(QStringLiteral("it holds NUL bytes (a write a power cut interrupted?)"));
    QList<QByteArray> lines = all.split('\n');
    SpoolContents c;
    // A file that ends with its line end splits into an empty last piece; anything else there is
    // a row cut short.
    if (!lines.isEmpty() && !lines.last().isEmpty())
        c.lastRowCut = true;
    lines.removeLast();
    if (lines.isEmpty() || lines[0] != kFirstLine)
        return damaged(QStringLiteral("its first line is not \"%1\"").arg(QLatin1String(kFirstLine)));
    const char* keys[] = {"url", "id", "recording", "first row"};
    QString values[4];
    for (int k = 0; k < 4; ++k) {
        const auto v = lines.size() > k + 1 ? valueOf(lines[k + 1], keys[k]) : std::nullopt;
        if (!v || v->trimmed().isEmpty())
            return damaged(QStringLiteral("line %1 does not give its \"%2\"")
                               .arg(k + 2)
                               .arg(QLatin1String(keys[k])));
        values[k] = *v;
    }
    bool number = false;
    c.head = {values[0], values[1], values[2], values[3].toLongLong(&number)};
    if (!number || c.head.firstRow < 0)
        return damaged(QStringLiteral("its first row \"%1\" is not a row number").arg(values[3]));
    for (qsizetype i = 5; i < lines.size(); ++i) {
        const QByteArray& l = lines[i];
        if (l.isEmpty() || l.startsWith('#') || l.contains('\r'))
            return damaged(QStringLiteral("line %1 is not a row of a recording").arg(i + 1));
        c.lines << l;
    }
    return c;
}

bool removeSpool(const QString& path, QString* why) {
    QFile file(path);
    if (!file.exists() || file.remove())
        return true;
    *why = QStringLiteral("%1 could not be removed: %2").arg(shown(path), file.errorString());
    return false;
}

}  // namespace ignivex::team
