#include "analysis/Section.h"

#include "base/FileCalls.h"
#include "base/MessageText.h"
#include "record/RecordFormat.h"
#include "record/RecordingReader.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cstring>

namespace ignivex::analysis {

namespace {

QString named(const QString& path) {
    return QStringLiteral("\"%1\"").arg(readablePath(QDir::toNativeSeparators(path)));
}

QByteArray seconds(double s) {
    return QByteArray::number(s, 'f', 3) + " s";
}

}  // namespace

QString noRowText(const QString& source, const Span& span) {
    return QStringLiteral("No row of %1 lies between %2 and %3, so nothing was written.")
        .arg(named(source), QString::fromLatin1(seconds(span.from)),
             QString::fromLatin1(seconds(span.to)));
}

std::optional<qint64> writeSection(const QString& source, const QString& target, const Span& span,
                                   QString* error, SectionFailure* failure) {
    auto fail = [&](SectionFailure why, const QString& text) -> std::optional<qint64> {
        *error = text;
        if (failure)
            *failure = why;
        return std::nullopt;
    };
    if (failure)
        *failure = SectionFailure::None;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(SectionFailure::Source,
                    QStringLiteral("%1 cannot be read: %2.").arg(named(source), in.errorString()));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return fail(
            SectionFailure::Target,
            QStringLiteral("%1 cannot be written: %2.").arg(named(target), out.errorString()));
    // The rows go out in pieces of about a megabyte, each written straight to the file and
    // checked: a write the save file's buffer takes fails only when the buffer is flushed, and
    // its commit neither looks nor keeps the system's reason.
    // (Where the file has no descriptor, as on Windows, each piece is flushed and checked.)
    QByteArray pending;
    QString writeError;
    auto put = [&](bool last) {
        if (!writeError.isEmpty() || (!last && pending.size() < (1 << 20)))
            return;
        if (out.handle() >= 0) {
            if (const int e = file_calls::writeAll(out.handle(), pending.constData(),
                                                   std::size_t(pending.size())))
                writeError = QString::fromLocal8Bit(std::strerror(e));
        } else if (out.write(pending) != pending.size() || !out.flush()) {
            writeError = out.errorString();
        }
        pending.clear();
    };
    QByteArray head;
    bool header = false;
    qint64 rows = 0;
    while (!in.atEnd() && writeError.isEmpty()) {
        // A line longer than any row is no row: it is passed over, a piece at a time.
        QByteArray line = in.readLine(record::kLongestLine);
        const bool ended = line.endsWith('\n');
        if (ended)
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (!header) {
            if (line.startsWith('#')) {
                // A section is a recording of its own: it gets an id of its own, or the
                // library would take it for its source moved.
                const auto detail = record::detailLine(line);
                if (detail && detail->first == u"id")
                    head += "# id: " + record::newRunId().toUtf8() + '\n';
                else
                    head += line + '\n';
            } else if (record::isHeaderRow(line)) {
                header = true;
                head += "# section of: " + QDir::toNativeSeparators(source).toUtf8() + '\n';
                head += "# span: " + seconds(span.from) + " to " + seconds(span.to) + '\n';
                head += line + '\n';
                pending += head;
            }
            continue;
        }
        if (!ended)
            continue;  // the last line of a recording cut short, or a piece of a long line
        const auto row = record::parseRow(line);
        if (row && span.contains(row->elapsed)) {
            pending += line + '\n';
            ++rows;
            put(false);
        }
    }
    if (in.error() != QFileDevice::NoError) {
        out.cancelWriting();
        return fail(SectionFailure::Source,
                    QStringLiteral("%1 cannot be read: %2.").arg(named(source), in.errorString()));
    }
    if (!header) {
        out.cancelWriting();
        return fail(
            SectionFailure::Source,
            QStringLiteral("%1 is not a recording: it has no header row.").arg(named(source)));
    }
    if (rows == 0) {
        out.cancelWriting();
        return fail(SectionFailure::NoRow, noRowText(source, span));
    }
    put(true);
    if (!writeError.isEmpty()) {
        out.cancelWriting();
        return fail(SectionFailure::Target,
                    QStringLiteral("%1 could not be written: %2.").arg(named(target), writeError));
    }
    if (!out.commit())
        return fail(
            SectionFailure::Target,
            QStringLiteral("%1 could not be written: %2.").arg(named(target), out.errorString()));
    return rows;
}

}  // namespace ignivex::analysis
