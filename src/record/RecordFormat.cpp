#include "record/RecordFormat.h"

#include "link/Scaling.h"
#include "record/TimeCell.h"

#include <QUuid>
#include <algorithm>
#include <charconv>
#include <iterator>
#include <cstdio>
#include <cmath>
#include <string_view>
#include <limits>

namespace ignivex::record {

namespace {

// In the order of Sample::End. Files of older versions hold only the first four.
const char* const kStatusNames[] = {"ok",      "esc",  "link-lost", "aborted",
                                    "ignored", "held", "surplus"};
static_assert(std::size(kStatusNames) == Sample::kEndCount);

// Where the values' columns begin: after the time and the elapsed seconds.
constexpr int kFirstValueColumn = 2;

QStringList columns() {
    QStringList names = {QStringLiteral("time"), QStringLiteral("elapsed_s")};
    for (const ValueSpec& entry : kValues)
        names << QString::fromLatin1(entry.column);
    names << QStringLiteral("status") << QStringLiteral("mark");
    return names;
}

QByteArray cellText(const std::optional<double>& value, const ValueSpec& entry) {
    if (!value || !std::isfinite(*value))
        return {};
    if (isInput(entry))
        return *value > 0.5 ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
    return QByteArray::number(*value, 'f', entry.decimals);
}

// Cells kept of a row: more than a row has, so one with too many is still counted whole.
constexpr int kMostCells = 16;

// Cells between commas, up to kMostCells of them kept; returns how many there are in all. A
// quoted cell is not part of the format, so no quoting is undone. A byte at a time: cells are
// a few bytes long, too short for memchr to pay.
int cellsOf(QByteArrayView line, std::array<QByteArrayView, kMostCells>& cells) {
    int count = 0;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == ',') {
            if (count < kMostCells)
                cells[std::size_t(count)] = line.sliced(from, i - from);
            ++count;
            from = i + 1;
        }
    }
    return count;
}

// A cell that is exactly `text`.
bool is(QByteArrayView cell, std::string_view text) {
    return std::string_view(cell.data(), std::size_t(cell.size())) == text;
}
// A decimal number with "." as its point, the whole cell and nothing else.
bool toNumber(QByteArrayView cell, double& out) {
    const char* end = cell.data() + cell.size();
    const auto [ptr, ec] = std::from_chars(cell.data(), end, out, std::chars_format::fixed);
    return ec == std::errc() && ptr == end && std::isfinite(out);
}

QString fail(QString* why, const QString& text) {
    if (why)
        *why = text;
    return text;
}

}  // namespace

const QStringList kColumns = columns();

QString noteText(const QString& note) {
    // Control characters (a NUL among them) would end a line for some readers and a string for
    // others; they become spaces, as line breaks do.
    QString text = note;
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
            c.category() == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    }
    text = text.simplified();
    if (text.size() > kLongestNote)
        text.truncate(text.at(kLongestNote - 1).isHighSurrogate() ? kLongestNote - 1
                                                                  : kLongestNote);
    return text;
}

namespace {
// A cell that begins with one of these is a formula to a spreadsheet. An apostrophe written
// before it (and before a note that itself begins with apostrophes and one of them, so reading
// undoes exactly what writing did) makes it text. Plain code rather than a regular expression:
// files are read on worker threads too, and the expression engine's per-thread stack is freed
// unsafely when such a thread ends under the Windows build's threads.
bool formulaStart(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char('\''))
        ++i;
    return i < text.size() && QStringView(u"=+-@").contains(text[i]);
}
}  // namespace

QByteArray markCell(const QString& mark) {
    if (mark.isEmpty())
        return {};
    // Quoted, and free of the characters that would split it for a reader that does not
    // undo quoting (numpy, gnuplot): commas become semicolons, quotes single quotes.
    QString text = noteText(mark);
    text.replace(QLatin1Char(','), QLatin1Char(';')).replace(QLatin1Char('"'), QLatin1Char('\''));
    if (formulaStart(text))
        text.prepend(QLatin1Char('\''));
    return '"' + text.toUtf8() + '"';
}

QString markText(QByteArrayView cell) {
    QByteArray text = cell.toByteArray();
    if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"'))
        text = text.mid(1, text.size() - 2).replace("\"\"", "\"");
    QString mark = QString::fromUtf8(text);
    if (mark.startsWith(QLatin1Char('\'')) && formulaStart(mark))
        mark.remove(0, 1);
    return mark;
}

QString mapRangeText(std::int16_t rangeCode) {
    if (rangeCode == 0)
        return QStringLiteral("0 (no MAP sensor)");
    return QStringLiteral("%1 (0 to %2)").arg(rangeCode).arg(double(scaling::mapLimit(rangeCode)));
}

std::optional<std::int16_t> rangeCodeOf(const QList<std::pair<QString, QString>>& details) {
    for (const auto& [key, value] : details) {
        if (key != QLatin1String("map range"))
            continue;
        // A digit 0 to 3 first (after spaces), standing on its own: "3 (0 to 90)", not "30".
        qsizetype i = 0;
        while (i < value.size() && value[i].isSpace())
            ++i;
        if (i >= value.size() || value[i] < QLatin1Char('0') || value[i] > QLatin1Char('3'))
            continue;
        const qsizetype next = i + 1;
        if (next < value.size() && (value[next].isLetterOrNumber() || value[next] == QLatin1Char('_')))
            continue;
        return std::int16_t(value[i].unicode() - u'0');
    }
    return std::nullopt;
}

QString statusText(Sample::End end) {
    return QString::fromLatin1(kStatusNames[int(end)]);
}

std::optional<Sample::End> statusFrom(QStringView text) {
    for (int i = 0; i < Sample::kEndCount; ++i) {
        if (text == QLatin1String(kStatusNames[i]))
            return Sample::End(i);
    }
    return std::nullopt;
}

QString timeText(const QDateTime& time) {
    // Written by hand: a format string is parsed again on every call, and this runs every tick.
    const QDate d = time.date();
    const QTime t = time.time();
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", d.year(),
                  d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec(),
                  offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return QString::fromLatin1(text);
}

QByteArray preamble(const Details& d) {
    QByteArray out;
    auto line = [&out](const char* key, const QString& value) {
        // A value never breaks its line.
        QString v = value;
        v.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        out += "# " + QByteArray(key) + ": " + v.toUtf8() + '\n';
    };
    line("recording", d.tool);
    if (!d.runId.isEmpty())
        line("id", d.runId);
    line("port", d.port);
    line("firmware", d.firmwareId.isEmpty() ? QStringLiteral("(not identified)") : d.firmwareId);
    line("status",
         d.statusRead
             ? QStringLiteral("0x") +
                   QString::number(d.status, 16).toUpper().rightJustified(2, QLatin1Char('0'))
             : QStringLiteral("(not read)"));
    line("map range", mapRangeText(d.rangeCode));
    line("rate", d.rate);
    line("started", timeText(d.started));
    out += kColumns.join(QLatin1Char(',')).toLatin1() + '\n';
    return out;
}

QString newRunId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString runIdOf(const QList<std::pair<QString, QString>>& details) {
    for (const auto& [key, value] : details) {
        if (key == u"id") {
            const QUuid id = QUuid::fromString(value.trimmed());
            return id.isNull() ? QString() : id.toString(QUuid::WithoutBraces);
        }
    }
    return {};
}

QByteArray row(const Sample& s, Instant start, const QString& mark) {
    const double elapsed =
        std::max(0.0, std::chrono::duration<double>(s.monotonic - start).count());
    QByteArray out;
    out.reserve(96);
    out += timeText(s.wallClock).toLatin1();
    out += ',' + QByteArray::number(elapsed, 'f', 3);
    const ChannelValues values = valuesOf(s);
    for (const ValueSpec& entry : kValues)
        out += ',' + cellText(valueOf(values, entry), entry);
    out += ',' + statusText(s.end).toLatin1();
    out += ',' + markCell(mark);
    out += '\n';
    return out;
}

bool parseCells(QByteArrayView line, RowCells& r, QString* why) {
    static_assert(kMostCells > kFirstValueColumn + kValueCount + 2);
    if (line.endsWith('\r'))
        line.chop(1);
    std::array<QByteArrayView, kMostCells> cells;
    const int count = cellsOf(line, cells);
    // Recordings of earlier versions have no mark column.
    if (count != kColumns.size() && count != kColumns.size() - 1) {
        fail(why, QStringLiteral("%1 cells where %2 belong").arg(count).arg(kColumns.size()));
        return false;
    }
    r.time = cells[0];
    if (!readTime(cells[0], r.wallMs, r.utcOffsetSeconds)) {
        fail(why, QStringLiteral("\"time\" is not a time"));
        return false;
    }
    if (cells[1].isEmpty() || !toNumber(cells[1], r.elapsed)) {
        fail(why, QStringLiteral("\"elapsed_s\" is not a number"));
        return false;
    }
    std::size_t column = kFirstValueColumn;
    for (const ValueSpec& entry : kValues) {
        const QByteArrayView cell = cells[column++];
        double& v = r.values[std::size_t(entry.value)];
        v = std::numeric_limits<double>::quiet_NaN();
        if (cell.isEmpty())
            continue;
        if (isInput(entry)) {
            if (!is(cell, "0") && !is(cell, "1")) {
                fail(why,
                     QStringLiteral("\"%1\" is neither 0 nor 1").arg(QLatin1String(entry.column)));
                return false;
            }
            v = is(cell, "1") ? 1.0 : 0.0;
        } else if (!toNumber(cell, v)) {
            fail(why, QStringLiteral("\"%1\" is not a number").arg(QLatin1String(entry.column)));
            return false;
        }
    }
    const auto status = std::find_if(std::begin(kStatusNames), std::end(kStatusNames),
                                     [&](const char* name) { return is(cells[column], name); });
    if (status == std::end(kStatusNames)) {
        fail(why, QStringLiteral("\"status\" is not ok, esc, link-lost, aborted, ignored, held or "
                                 "surplus"));
        return false;
    }
    r.status = Sample::End(status - std::begin(kStatusNames));
    r.mark = ++column < std::size_t(count) ? cells[column] : QByteArrayView();
    return true;
}

std::optional<Row> parseRow(QByteArrayView line, QString* why) {
    RowCells cells;
    if (!parseCells(line, cells, why))
        return std::nullopt;
    Row r;
    r.time = QDateTime::fromString(QString::fromLatin1(cells.time), Qt::ISODateWithMs);
    r.elapsed = cells.elapsed;
    for (const ValueSpec& entry : kValues) {
        const double v = cells.values[std::size_t(entry.value)];
        if (!std::isnan(v))
            setValue(r, entry, v);
    }
    r.status = cells.status;
    if (!cells.mark.isEmpty())
        r.mark = markText(cells.mark);
    return r;
}

bool isHeaderRow(QByteArrayView line) {
    if (line.endsWith('\r'))
        line.chop(1);
    const QByteArray header = kColumns.join(QLatin1Char(',')).toLatin1();
    return line == header || line == header.chopped(int(qstrlen(",mark")));
}

std::optional<std::pair<QString, QString>> detailLine(QByteArrayView line) {
    if (line.endsWith('\r'))
        line.chop(1);
    if (!line.startsWith("# "))
        return std::nullopt;
    const QString text = QString::fromUtf8(line.sliced(2));
    const qsizetype colon = text.indexOf(QLatin1String(": "));
    if (colon <= 0)
        return std::nullopt;
    return std::pair{text.left(colon), text.mid(colon + 2)};
}

}  // namespace ignivex::record
