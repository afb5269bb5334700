#include "workbook/Workbook.h"

#include "analysis/MapTable.h"
#include "analysis/Section.h"
#include "analysis/Statistics.h"
#include "base/MessageText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <cmath>
#include <xlsxwriter.h>
#include <locale.h>

namespace ignivex::workbook {

namespace {

constexpr std::size_t kProgressEvery = 4096;

// The library formats numbers with the C library, which follows the program's locale: in a
// comma-decimal one the workbook would hold "13,4", which no spreadsheet reads as a number. The
// writing thread formats numbers in the C locale while the workbook is written.
class NumbersInCLocale {
public:
#ifdef Q_OS_WIN
    NumbersInCLocale() : previous_(_configthreadlocale(_ENABLE_PER_THREAD_LOCALE)) {
        const char* now = std::setlocale(LC_NUMERIC, nullptr);
        saved_ = now ? now : "C";
        std::setlocale(LC_NUMERIC, "C");
    }
    ~NumbersInCLocale() {
        std::setlocale(LC_NUMERIC, saved_.constData());
        _configthreadlocale(previous_);
    }

private:
    int previous_;
    QByteArray saved_;
#else
    NumbersInCLocale() : c_(newlocale(LC_NUMERIC_MASK, "C", duplocale(LC_GLOBAL_LOCALE))) {
        if (c_)
            previous_ = uselocale(c_);
    }
    ~NumbersInCLocale() {
        if (c_) {
            uselocale(previous_);
            freelocale(c_);
        }
    }

private:
    locale_t c_;
    locale_t previous_ = LC_GLOBAL_LOCALE;
#endif
};

QString named(const QString& path) {
    return QStringLiteral("\"%1\"").arg(readablePath(QDir::toNativeSeparators(path)));
}

QByteArray decimalsFormat(int decimals) {
    return decimals <= 0 ? QByteArray("0") : "0." + QByteArray(decimals, '0');
}

QString secondsText(double s) {
    return QString::number(s, 'f', 3) + QStringLiteral(" s");
}

// A mean's decimals, as the command line's --stats and --table print it: two more than the
// channel's, three for an input's share of samples at 1.
int meanDecimals(const record::ChannelInfo& channel) {
    return channel.onOff() ? 3 : channel.decimals + 2;
}

// The workbook being written, closed (and its file removed) however the writing ends.
class Book {
public:
    explicit Book(const QString& path) : path_(QFile::encodeName(path)) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.use_zip64 = LXW_TRUE;  // a long recording's sheet XML can pass 4 GB
        book_ = workbook_new_opt(path_.constData(), &options);
        errno = 0;
    }
    ~Book() {
        if (book_) {
            workbook_close(book_);
            QFile::remove(QFile::decodeName(path_));
        }
    }
    bool ok() const { return book_ != nullptr; }
    lxw_workbook* get() { return book_; }
    lxw_format* format(const QByteArray& number, bool bold = false) {
        lxw_format* f = workbook_add_format(book_);
        if (!number.isEmpty())
            format_set_num_format(f, number.constData());
        if (bold)
            format_set_bold(f);
        return f;
    }
    lxw_worksheet* sheet(const QString& name) {
        return workbook_add_worksheet(book_, name.toUtf8().constData());
    }
    // The library does not look at its own writes: a temporary file that fills the disk or
    // passes the size limit is cut short without a word, and the workbook would lack rows. The
    // failed write leaves its errno behind, though; the writing thread's errno is cleared when
    // the book is made and looked at as the rows go and when the book is closed. 0, or the error.
    static int writeError() {
        bool failed = errno == ENOSPC || errno == EFBIG || errno == EIO || errno == EROFS;
#ifdef EDQUOT
        failed = failed || errno == EDQUOT;
#endif
        return failed ? errno : 0;
    }
    // Writes the file; the reason when that fails.
    QString close() {
        const lxw_error result = workbook_close(book_);
        const int e = writeError();
        book_ = nullptr;
        if (result == LXW_NO_ERROR && e == 0)
            return {};
        const QString system = QString::fromLocal8Bit(std::strerror(e));
        if (result == LXW_NO_ERROR)
            return system;
        QString reason = QString::fromUtf8(lxw_strerror(result));
        if (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        return e == 0 ? reason : QStringLiteral("%1 (%2)").arg(reason, system);
    }

private:
    QByteArray path_;
    lxw_workbook* book_ = nullptr;
};

void text(lxw_worksheet* s, lxw_row_t row, lxw_col_t col, const QString& value,
          lxw_format* f = nullptr) {
    worksheet_write_string(s, row, col, value.toUtf8().constData(), f);
}

void header(lxw_worksheet* s, const QStringList& names, lxw_format* bold) {
    for (int c = 0; c < names.size(); ++c)
        text(s, 0, lxw_col_t(c), names[c], bold);
    worksheet_freeze_panes(s, 1, 0);
}

}  // namespace

std::optional<Written> write(const Source& recording, const analysis::Span& span,
                             const QString& target, const Options& options, QString* error) {
    error->clear();
    if (!options.replace && (QFileInfo(target).exists() || QFileInfo(target).isSymLink())) {
        *error = QStringLiteral("%1 already exists.").arg(named(target));
        return std::nullopt;
    }
    const record::Table& t = recording.table;
    std::size_t total = 0;
    for (std::size_t i = 0; i < t.size(); ++i)
        total += span.contains(t.elapsed[i]) && span.passes(i) ? 1 : 0;
    if (total == 0) {
        *error = analysis::noRowText(recording.path, span);
        return std::nullopt;
    }
    const NumbersInCLocale numbers;
    // Written under a name of its own beside the target, then renamed: a reader never sees half
    // a workbook, and a failure leaves nothing.
    QString partial;
    {
        QTemporaryFile reserve(QFileInfo(target).absoluteDir().filePath(
            QStringLiteral(".%1.XXXXXX").arg(QFileInfo(target).fileName())));
        if (!reserve.open()) {
            *error = QStringLiteral("%1 cannot be written: %2.")
                         .arg(named(target), reserve.errorString());
            return std::nullopt;
        }
        partial = reserve.fileName();
    }
    Book book(partial);
    if (!book.ok()) {
        *error = QStringLiteral("%1 cannot be written.").arg(named(target));
        return std::nullopt;
    }

    lxw_format* bold = book.format({}, true);
    lxw_format* time = book.format("yyyy-mm-dd hh:mm:ss.000");
    lxw_format* seconds = book.format("0.000");
    lxw_format* count = book.format("0");
    const auto channels = std::size_t(t.channelCount());
    std::vector<lxw_format*> valueFormat(channels), meanFormat(channels);
    for (record::ChannelId c = 0; c < t.channelCount(); ++c) {
        valueFormat[std::size_t(c)] = book.format(decimalsFormat(t.channel(c).decimals));
        meanFormat[std::size_t(c)] = book.format(decimalsFormat(meanDecimals(t.channel(c))));
    }

    // The file's columns, with the channels computed from them after the module's values.
    QStringList columns = record::kColumns;
    for (record::ChannelId c = kValueCount; c < t.channelCount(); ++c)
        columns.insert(2 + c, t.channel(c).column);

    Written written;
    lxw_worksheet* sheet = nullptr;
    std::size_t rowInSheet = 0;
    QStringList sheetNames;
    auto openSheet = [&] {
        if (sheet)
            worksheet_autofilter(sheet, 0, 0, lxw_row_t(rowInSheet), lxw_col_t(columns.size() - 1));
        sheetNames << (sheetNames.isEmpty()
                           ? QStringLiteral("Recording")
                           : QStringLiteral("Recording (%1)").arg(sheetNames.size() + 1));
        sheet = book.sheet(sheetNames.back());
        header(sheet, columns, bold);
        worksheet_set_column(sheet, 0, 0, 24, nullptr);
        worksheet_set_column(sheet, 1, lxw_col_t(columns.size() - 1), 11, nullptr);
        rowInSheet = 0;
    };
    openSheet();
    // The marks are in row order; this is the next one not yet passed.
    auto mark = t.userMarks.begin();
    for (std::size_t i = 0; i < t.size(); ++i) {
        while (mark != t.userMarks.end() && mark->row < i)
            ++mark;
        if (!span.contains(t.elapsed[i]) || !span.passes(i))
            continue;
        if (rowInSheet == options.rowsPerSheet)
            openSheet();
        const lxw_row_t r = lxw_row_t(++rowInSheet);
        const QDateTime when =
            QDateTime::fromMSecsSinceEpoch(t.wallMs[i], Qt::OffsetFromUTC, t.utcOffsetSeconds);
        const QDate d = when.date();
        const QTime c = when.time();
        lxw_datetime stamp{d.year(), d.month(),  d.day(),
                           c.hour(), c.minute(), c.second() + c.msec() / 1000.0};
        worksheet_write_datetime(sheet, r, 0, &stamp, time);
        worksheet_write_number(sheet, r, 1, t.elapsed[i], seconds);
        lxw_col_t col = 2;
        for (record::ChannelId c = 0; c < t.channelCount(); ++c) {
            const float v = t.column(c)[i];
            if (std::isfinite(v))
                worksheet_write_number(sheet, r, col, record::asWritten(v, t.channel(c)),
                                       valueFormat[std::size_t(c)]);
            ++col;
        }
        text(sheet, r, col, record::statusText(Sample::End(t.status[i])));
        if (mark != t.userMarks.end() && mark->row == i)
            text(sheet, r, col + 1, mark->text);
        ++written.rows;
        if (written.rows % kProgressEvery == 0) {
            if (options.cancel && options.cancel->load())
                return std::nullopt;
            if (const int e = Book::writeError()) {
                *error = QStringLiteral("%1 could not be written: %2.")
                             .arg(named(target), QString::fromLocal8Bit(std::strerror(e)));
                return std::nullopt;
            }
            if (options.progress)
                options.progress(double(written.rows) / double(std::max<std::size_t>(total, 1)));
        }
    }
    worksheet_autofilter(sheet, 0, 0, lxw_row_t(rowInSheet), lxw_col_t(columns.size() - 1));
    written.sheets = int(sheetNames.size());

    lxw_worksheet* details = book.sheet(QStringLiteral("Details"));
    header(details, {QStringLiteral("detail"), QStringLiteral("value")}, bold);
    worksheet_set_column(details, 0, 0, 18, nullptr);
    worksheet_set_column(details, 1, 1, 60, nullptr);
    lxw_row_t dr = 0;
    auto detail = [&](const QString& key, const QString& value) {
        ++dr;
        text(details, dr, 0, key);
        text(details, dr, 1, value);
    };
    detail(QStringLiteral("source"), QDir::toNativeSeparators(recording.path));
    const bool whole = std::isinf(span.from) && std::isinf(span.to);
    detail(
        QStringLiteral("span exported"),
        whole
            ? QStringLiteral("the whole recording")
            : QStringLiteral("%1 to %2")
                  .arg(secondsText(std::max(span.from, t.elapsed.empty() ? 0 : t.elapsed.front())),
                       secondsText(std::min(span.to, t.elapsed.empty() ? 0 : t.elapsed.back()))));
    detail(QStringLiteral("rows"), QString::number(written.rows));
    detail(QStringLiteral("sheets"),
           sheetNames.join(QStringLiteral(", ")) +
               (sheetNames.size() > 1
                    ? QStringLiteral(" (a sheet holds %1 rows)").arg(options.rowsPerSheet)
                    : QString()));
    for (const auto& [key, value] : recording.details)
        detail(key.isEmpty() ? QStringLiteral("#") : key, value);

    lxw_worksheet* stats = book.sheet(QStringLiteral("Statistics"));
    header(stats,
           {QStringLiteral("channel"), QStringLiteral("unit"), QStringLiteral("samples"),
            QStringLiteral("min"), QStringLiteral("max"), QStringLiteral("mean")},
           bold);
    const analysis::Statistics figures = analysis::statistics(t, span);
    lxw_row_t sr = 0;
    for (record::ChannelId c = 0; c < t.channelCount(); ++c) {
        const record::ChannelInfo& entry = t.channel(c);
        const analysis::ChannelStatistics& s = figures[std::size_t(c)];
        ++sr;
        text(stats, sr, 0, entry.column);
        text(stats, sr, 1, entry.unit);
        worksheet_write_number(stats, sr, 2, double(s.samples), count);
        if (s.samples > 0) {
            lxw_format* f = valueFormat[std::size_t(c)];
            worksheet_write_number(stats, sr, 3, record::asWritten(s.min, entry.decimals), f);
            worksheet_write_number(stats, sr, 4, record::asWritten(s.max, entry.decimals), f);
            worksheet_write_number(stats, sr, 5, record::asWritten(s.mean, meanDecimals(entry)),
                                   meanFormat[std::size_t(c)]);
        }
    }

    lxw_worksheet* map = book.sheet(QStringLiteral("Map Table"));
    header(map,
           {QStringLiteral("rpm_from"), QStringLiteral("rpm_to"), QStringLiteral("map_from"),
            QStringLiteral("map_to"), QStringLiteral("samples"), QStringLiteral("mean advance"),
            QStringLiteral("seconds")},
           bold);
    const analysis::MapTable table = analysis::mapTable(
        t, record::channelOf(Value::Advance), analysis::defaultRpmEdges(),
        analysis::defaultMapEdges(record::rangeCodeOf(recording.details)), span);
    const record::ChannelInfo& advance = table.channel;
    lxw_row_t mr = 0;
    for (const analysis::MapCell& cell : table.cells) {
        ++mr;
        // The edges are the map table's own numbers, exact as they stand.
        const std::pair<double, lxw_format*> cells[] = {
            {table.rpmEdges[cell.rpmBin], nullptr},
            {table.rpmEdges[cell.rpmBin + 1], nullptr},
            {table.mapEdges[cell.mapBin], nullptr},
            {table.mapEdges[cell.mapBin + 1], nullptr},
            {double(cell.samples), count},
            {record::asWritten(cell.mean, meanDecimals(advance)),
             meanFormat[std::size_t(Value::Advance)]},
            {record::asWritten(cell.seconds, 3), seconds}};
        for (lxw_col_t c = 0; c < 7; ++c)
            worksheet_write_number(map, mr, c, cells[c].first, cells[c].second);
    }

    if (options.cancel && options.cancel->load())
        return std::nullopt;
    const QString failed = book.close();
    if (failed.isEmpty() && options.replace)
        QFile::remove(target);
    if (!failed.isEmpty() || !QFile::rename(partial, target)) {
        QFile::remove(partial);
        *error =
            QStringLiteral("%1 could not be written: %2.")
                .arg(named(target), failed.isEmpty() ? QStringLiteral("it exists now") : failed);
        return std::nullopt;
    }
    if (options.progress)
        options.progress(1.0);
    return written;
}

}  // namespace ignivex::workbook
