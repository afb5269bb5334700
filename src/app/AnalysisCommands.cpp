#include "app/AnalysisCommands.h"

#include "analysis/Histogram.h"
#include "analysis/MapTable.h"
#include "analysis/Section.h"
#include "analysis/Statistics.h"
#include "app/CommandLine.h"
#include "base/AppIdentity.h"
#include "base/MessageText.h"
#include "catalog/LibraryPlace.h"
#include "catalog/RunSet.h"
#include "formula/FormulaChannels.h"
#include "record/RecordingReader.h"
#include "team/AcrossTeamRuns.h"
#include "team/StorePlace.h"
#include "team/TeamStore.h"
#include "workbook/Workbook.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMap>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace ignivex::analysis_commands {

namespace {

using namespace command_line;

const QStringList kCommands = {QStringLiteral("--stats"), QStringLiteral("--table"),
                               QStringLiteral("--histogram"), QStringLiteral("--section"),
                               QStringLiteral("--xlsx")};

// As many edges as the review's map table takes in a field.
constexpr analysis::EdgeBounds kMostEdges{201, 4000};

const QString kSpanHelp = QStringLiteral(" Give a span the recording covers with --from and --to.");

struct Arguments {
    QString command;
    QString file;
    QString tag;  // --tag in place of the file: the library's runs of that tag, as one
    QMap<QString, QString> options;  // "--from" -> "12.5"
    QStringList channels;            // each --channel's NAME=FORMULA, in their order
    QString error;
};

// What channels by formula and a filter add to a command that counts rows.
const QStringList kFormulaOptions = {QStringLiteral("--channel"), QStringLiteral("--where"),
                                     QStringLiteral("--settle")};

// Which options each command takes, each followed by its value.
QStringList optionsOf(const QString& command) {
    if (command == u"--section")
        return {QStringLiteral("--from"), QStringLiteral("--to"), QStringLiteral("--out")};
    QStringList counted = kFormulaOptions;
    if (command == u"--stats")
        return counted << QStringLiteral("--from") << QStringLiteral("--to");
    if (command == u"--table")
        return counted + QStringList{QStringLiteral("--from"),         QStringLiteral("--to"),
                QStringLiteral("--of"),           QStringLiteral("--rows"),
                QStringLiteral("--row-edges"),    QStringLiteral("--columns"),
                QStringLiteral("--column-edges"), QStringLiteral("--rpm-edges"),
                QStringLiteral("--map-edges"),    QStringLiteral("--min-samples")};
    if (command == u"--histogram")
        return counted + QStringList{QStringLiteral("--from"), QStringLiteral("--to"),
                                     QStringLiteral("--of"), QStringLiteral("--edges")};
    // --xlsx
    return counted << QStringLiteral("--from") << QStringLiteral("--to") << QStringLiteral("--out");
}

Arguments parseArguments(const QStringList& arguments) {
    Arguments a;
    a.command = arguments.value(0);
    if (arguments.size() < 2 ||
        (arguments[1].startsWith(QLatin1String("--")) && arguments[1] != u"--tag")) {
        a.error = QStringLiteral("%1 needs the recording's file name").arg(a.command);
        return a;
    }
    qsizetype first = 2;
    QStringList allowed = optionsOf(a.command);
    if (arguments[1] == u"--tag") {
        if (a.command != u"--stats" && a.command != u"--table" && a.command != u"--histogram") {
            a.error = QStringLiteral("%1 needs the recording's file name: only --stats, --table "
                                     "and --histogram take --tag")
                          .arg(a.command);
            return a;
        }
        if (arguments.size() < 3) {
            a.error = QStringLiteral("--tag needs a value");
            return a;
        }
        a.tag = arguments[2];
        first = 3;
        allowed << QStringLiteral("--library");
    } else {
        a.file = arguments[1];
    }
    for (qsizetype i = first; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        if (!allowed.contains(name)) {
            a.error = QStringLiteral("%1 does not take \"%2\"").arg(a.command, readable(name, 40));
            return a;
        }
        if (i + 1 >= arguments.size()) {
            a.error = QStringLiteral("%1 needs a value").arg(name);
            return a;
        }
        if (name == u"--channel")
            a.channels << arguments[++i];
        else
            a.options.insert(name, arguments[++i]);
    }
    return a;
}

// The channels by formula and the filter the arguments ask for.
struct FormulaChoice {
    std::vector<formula::Definition> channels;
    std::optional<formula::Filter> filter;
};

QString problemText(const QString& option, const QString& given, const formula::Problem& p) {
    return QStringLiteral("%1 %2: %3%4")
        .arg(option, readable(given, 80), p.message,
             p.position >= 0 ? QStringLiteral(" (at character %1)").arg(p.position + 1)
                             : QString());
}

// Read and checked against the module's channels before the recording is, so a mistake is
// told at once; a recording holds the module's channels, so what reads here reads there.
std::optional<FormulaChoice> formulaChoiceOf(const Arguments& a, QString* why) {
    FormulaChoice c;
    for (const QString& given : a.channels) {
        const auto eq = given.indexOf(u'=');
        if (eq <= 0) {
            *why = QStringLiteral("--channel takes NAME=FORMULA, such as --channel "
                                  "map_kpa=map*6.895, not \"%1\"")
                       .arg(readable(given, 40));
            return std::nullopt;
        }
        c.channels.push_back({given.left(eq).trimmed(), given.mid(eq + 1), {}, 3});
    }
    const record::Table module;
    const auto problems = formula::check(c.channels, module);
    for (std::size_t i = 0; i < problems.size(); ++i) {
        if (problems[i]) {
            *why = problemText(QStringLiteral("--channel"), a.channels[qsizetype(i)], *problems[i]);
            return std::nullopt;
        }
    }
    const bool settles = a.options.contains(QStringLiteral("--settle"));
    if (!a.options.contains(QStringLiteral("--where"))) {
        if (settles)
            *why = QStringLiteral("--settle needs --where and the condition it settles");
        return settles ? std::nullopt : std::optional(c);
    }
    formula::Filter filter{QStringLiteral("--where"), a.options.value(QStringLiteral("--where")), 0};
    if (settles) {
        bool ok = false;
        filter.settleSeconds = a.options.value(QStringLiteral("--settle")).toDouble(&ok);
        if (!ok || !std::isfinite(filter.settleSeconds) || filter.settleSeconds < 0) {
            *why = QStringLiteral("--settle takes seconds, 0 or more, not \"%1\"")
                       .arg(readable(a.options.value(QStringLiteral("--settle")), 40));
            return std::nullopt;
        }
    }
    QStringList names = formula::channelNames(module);
    for (const formula::Definition& d : c.channels)
        names << d.name;
    formula::Problem p;
    if (!formula::Formula::read(filter.condition, names, &p)) {
        *why = problemText(QStringLiteral("--where"), filter.condition, p);
        return std::nullopt;
    }
    c.filter = filter;
    return c;
}

// The channels added to the recording's table and the filter set on the span; the failure's
// message otherwise (the formulas read already, so only memory can fail here).
std::optional<QString> applyFormulas(const FormulaChoice& c, record::Recording& recording,
                                     analysis::Span& span) {
    if (const auto problem = formula::addChannels(recording.table, c.channels))
        return problem;
    if (!c.filter)
        return std::nullopt;
    formula::Problem p;
    auto rows = formula::rowsPassing(recording.table, *c.filter, &p);
    if (!rows)
        return problemText(QStringLiteral("--where"), c.filter->condition, p);
    span.passing = std::make_shared<const analysis::RowsPassing>(std::move(*rows));
    return std::nullopt;
}

std::optional<double> secondsFrom(const QString& text) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

void print(FILE* to, const QString& text) {
    std::fputs(text.toUtf8().constData(), to);
}

int usage(const QString& program, const QString& error) {
    print(stderr, QStringLiteral("%1: %2\n%3Try %1 --help for more.\n")
                      .arg(program, error, usageLines(program)));
    return kBadArguments;
}

QString number(double v, int decimals) {
    return QString::number(v, 'f', decimals);
}

// An edge as the number it is, in as few digits as tell it apart: 845.7, 3000, 13.0125.
QString edgeText(double v) {
    return QString::number(v, 'f', QLocale::FloatingPointShortest);
}

// A mean or a deviation: two decimals more than the channel writes; an input's to a thousandth.
int meanDecimals(const record::ChannelInfo& channel) {
    return channel.onOff() ? 3 : channel.decimals + 2;
}

std::optional<record::Recording> load(const QString& path, QString* error) {
    record::ReadResult read = record::readRecording(path);
    if (!read.recording) {
        *error = read.error;
        return std::nullopt;
    }
    return std::move(*read.recording);
}

// The library's runs of a tag, one after the other as one recording.
std::optional<record::Recording> loadTagged(const QString& tag, const QString& place,
                                            QString* error) {
    applyApplicationTitle();
    const auto store = catalog::openLibrary(place, error);
    if (!store)
        return std::nullopt;
    catalog::RunQuery query;
    query.tag = tag;
    const auto runs = store->find(query, error);
    if (!runs)
        return std::nullopt;
    if (runs->isEmpty()) {
        *error = QStringLiteral("The library has no run tagged \"%1\". Tag runs with "
                                "--library-tag ID TAG; --library-list shows them.")
                     .arg(readable(tag, 40));
        return std::nullopt;
    }
    QStringList paths;
    // Oldest first, so the rows follow each other as the runs did.
    for (auto it = runs->crbegin(); it != runs->crend(); ++it) {
        if (!it->present) {
            *error = QStringLiteral("The run %1 tagged \"%2\" is no longer at %3. Add the "
                                    "folder it went to with --library-add, and it is found "
                                    "again.")
                         .arg(it->id, readable(tag, 40),
                              readablePath(QDir::toNativeSeparators(it->path)));
            return std::nullopt;
        }
        paths << it->path;
    }
    return catalog::combinedRecording(paths, error);
}

void printStatistics(const record::Table& table, const analysis::Statistics& stats) {
    QString out = QStringLiteral("channel,samples,min,max,mean\n");
    for (record::ChannelId c = 0; c < table.channelCount(); ++c) {
        const record::ChannelInfo& entry = table.channel(c);
        const analysis::ChannelStatistics& s = stats[std::size_t(c)];
        out += QStringLiteral("%1,%2").arg(entry.column).arg(s.samples);
        if (s.samples > 0) {
            const int meanDecimals = entry.onOff() ? 3 : entry.decimals + 2;
            out += QStringLiteral(",%1,%2,%3")
                       .arg(number(s.min, entry.decimals), number(s.max, entry.decimals),
                            number(s.mean, meanDecimals));
        } else {
            out += QStringLiteral(",,,");
        }
        out += QLatin1Char('\n');
    }
    print(stdout, out);
}

// --table, as asked: channels by their column names, edges where given.
struct TableChoice {
    QString of = QStringLiteral("advance");
    QString rows = QStringLiteral("rpm");
    QString columns = QStringLiteral("map");
    std::optional<QList<double>> rowEdges, columnEdges;
    bool rowEdgesAsRpm = false, columnEdgesAsMap = false;  // given as --rpm-edges, --map-edges
    qint64 minSamples = 1;
};

struct HistogramChoice {
    QString of;
    QList<double> edges;  // empty: the default bins
};

// The edges an option gives, or nothing with what is wrong in `why`.
std::optional<QList<double>> edgesOption(const Arguments& a, const QString& name, QString* why) {
    QString reason;
    auto edges = analysis::edgesFrom(a.options.value(name), &reason, kMostEdges);
    if (!edges)
        *why = QStringLiteral(
                   "%1: %2 (give increasing numbers separated by commas, such as "
                   "0,500,1000)")
                   .arg(name, reason);
    return edges;
}

std::optional<TableChoice> tableChoiceOf(const Arguments& a, QString* why) {
    TableChoice c;
    c.of = a.options.value(QStringLiteral("--of"), c.of);
    c.rows = a.options.value(QStringLiteral("--rows"), c.rows);
    c.columns = a.options.value(QStringLiteral("--columns"), c.columns);
    struct Axis {
        const char* edges;
        const char* named;
        std::optional<QList<double>>* into;
        bool* asNamed;
    };
    for (const Axis& axis :
         {Axis{"--row-edges", "--rpm-edges", &c.rowEdges, &c.rowEdgesAsRpm},
          Axis{"--column-edges", "--map-edges", &c.columnEdges, &c.columnEdgesAsMap}}) {
        const QString edges = QString::fromLatin1(axis.edges);
        const QString named = QString::fromLatin1(axis.named);
        if (a.options.contains(edges) && a.options.contains(named)) {
            *why = QStringLiteral("%1 and %2 both give the same edges: give one of them")
                       .arg(edges, named);
            return std::nullopt;
        }
        const QString given = a.options.contains(named) ? named : edges;
        if (!a.options.contains(given))
            continue;
        *axis.into = edgesOption(a, given, why);
        if (!*axis.into)
            return std::nullopt;
        *axis.asNamed = given == named;
    }
    if (a.options.contains(QStringLiteral("--min-samples"))) {
        const QString text = a.options.value(QStringLiteral("--min-samples"));
        bool ok = false;
        c.minSamples = text.trimmed().toLongLong(&ok);
        if (!ok || c.minSamples < 1) {
            *why = QStringLiteral(
                       "--min-samples takes a whole number of samples, 1 or more, "
                       "not \"%1\"")
                       .arg(readable(text, 40));
            return std::nullopt;
        }
    }
    return c;
}

std::optional<HistogramChoice> histogramChoiceOf(const Arguments& a, QString* why) {
    if (!a.options.contains(QStringLiteral("--of"))) {
        *why = QStringLiteral(
            "--histogram needs --of and the column name of a channel, such as "
            "--of rpm");
        return std::nullopt;
    }
    HistogramChoice c;
    c.of = a.options.value(QStringLiteral("--of"));
    if (a.options.contains(QStringLiteral("--edges"))) {
        const auto edges = edgesOption(a, QStringLiteral("--edges"), why);
        if (!edges)
            return std::nullopt;
        c.edges = *edges;
    }
    return c;
}

// The channel of that column name in the table, or nothing with what is wrong in `why`.
std::optional<record::ChannelId> channelOf(const record::Table& table, const QString& option,
                                           const QString& name, QString* why) {
    const auto id = table.channelNamed(name);
    if (!id) {
        QStringList names;
        for (record::ChannelId c = 0; c < table.channelCount(); ++c)
            names << table.channel(c).column;
        *why = QStringLiteral("%1 takes a column of the recording (%2), not \"%3\"")
                   .arg(option, names.join(QStringLiteral(", ")), readable(name, 40));
    }
    return id;
}

// The edges of one side of the map table: given, or the channel's own (rpm's, MAP's).
std::optional<QList<double>> axisEdges(const std::optional<QList<double>>& given, bool asNamed,
                                       const record::ChannelInfo& channel, Value named,
                                       const char* side, const char* option,
                                       const char* namedOption, const record::Recording& recording,
                                       QString* why) {
    if (given && asNamed && !channel.is(named)) {
        *why = QStringLiteral("%1 gives the edges of %2 %3, and the %3 are %4: give %5")
                   .arg(QString::fromLatin1(namedOption),
                        record::channelInfoOf(kValues[std::size_t(named)]).column,
                        QString::fromLatin1(side), channel.column, QString::fromLatin1(option));
        return std::nullopt;
    }
    if (given)
        return given;
    const auto own = analysis::defaultEdgesOf(channel, record::rangeCodeOf(recording.details));
    if (!own)
        *why = QStringLiteral(
                   "%1 %2 needs %3 E0,E1,...: only rpm and map have edges of "
                   "their own")
                   .arg(QStringLiteral("--%1").arg(QString::fromLatin1(side)), channel.column,
                        QString::fromLatin1(option));
    return own;
}

// The map table as asked, its cells worked out by `cells` (here, or by a team's server).
using MapCells =
    std::function<std::optional<analysis::MapTable>(const analysis::MapRequest&, QString*)>;

int printMapTable(const TableChoice& choice, const record::Recording& recording,
                  const MapCells& cells, const QString& program) {
    const record::Table& rows = recording.table;
    QString why;
    analysis::MapRequest request;
    const auto of = channelOf(rows, QStringLiteral("--of"), choice.of, &why);
    const auto across =
        of ? channelOf(rows, QStringLiteral("--rows"), choice.rows, &why) : std::nullopt;
    const auto down =
        across ? channelOf(rows, QStringLiteral("--columns"), choice.columns, &why) : std::nullopt;
    if (!down)
        return usage(program, why);
    const auto rowEdges =
        axisEdges(choice.rowEdges, choice.rowEdgesAsRpm, rows.channel(*across), Value::Rpm, "rows",
                  "--row-edges", "--rpm-edges", recording, &why);
    const auto columnEdges = rowEdges ? axisEdges(choice.columnEdges, choice.columnEdgesAsMap,
                                                  rows.channel(*down), Value::Map, "columns",
                                                  "--column-edges", "--map-edges", recording, &why)
                                      : std::nullopt;
    if (!columnEdges)
        return usage(program, why);
    request.of = *of;
    request.rows = *across;
    request.columns = *down;
    request.rowEdges = *rowEdges;
    request.columnEdges = *columnEdges;
    request.minSamples = choice.minSamples;
    const auto worked = cells(request, &why);
    if (!worked) {
        print(stderr, QStringLiteral("%1: %2\n").arg(program, why));
        return kFailed;
    }
    const analysis::MapTable& table = *worked;
    const int decimals = meanDecimals(table.channel);
    const QString r = rows.channel(*across).column, c = rows.channel(*down).column;
    QString out = QStringLiteral("%1_from,%1_to,%2_from,%2_to,samples,mean,min,max,sd\n").arg(r, c);
    for (const analysis::MapCell& cell : table.cells) {
        out += QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,%9\n")
                   .arg(edgeText(table.rpmEdges[cell.rpmBin]),
                        edgeText(table.rpmEdges[cell.rpmBin + 1]),
                        edgeText(table.mapEdges[cell.mapBin]),
                        edgeText(table.mapEdges[cell.mapBin + 1]), QString::number(cell.samples),
                        number(cell.mean, decimals), number(cell.min, table.channel.decimals),
                        number(cell.max, table.channel.decimals), number(cell.sd, decimals));
    }
    print(stdout, out);
    return kDone;
}

int printHistogram(const HistogramChoice& choice, const record::Recording& recording,
                   const analysis::Span& span, const QString& program) {
    QString why;
    const auto of = channelOf(recording.table, QStringLiteral("--of"), choice.of, &why);
    if (!of)
        return usage(program, why);
    const analysis::Histogram h = analysis::histogram(recording.table, *of, span, choice.edges);
    QString out = QStringLiteral("from,to,samples,seconds,share\n");
    for (const analysis::HistogramBin& bin : h.bins)
        out += QStringLiteral("%1,%2,%3,%4,%5\n")
                   .arg(edgeText(bin.from), edgeText(bin.to), QString::number(bin.samples),
                        number(bin.seconds, 3), number(bin.share, 5));
    print(stdout, out);
    if (!h.empty.isEmpty()) {
        print(stderr, QStringLiteral("%1: %2%3\n").arg(program, h.empty, kSpanHelp));
        return kDone;
    }
    // The figures over every counted value go beside the table, not into it, so its lines
    // stay one kind: a bin each.
    const int decimals = meanDecimals(h.channel);
    print(stderr, QStringLiteral("%1: %2 values of %3: mean %4, median %5, sd %6, 5th percentile "
                                 "%7, 95th percentile %8\n")
                      .arg(program, QString::number(h.samples), h.channel.column,
                           number(h.mean, decimals), number(h.median, decimals),
                           number(h.sd, decimals), number(h.p5, decimals),
                           number(h.p95, decimals)));
    return kDone;
}

bool refuseExisting(const QString& target, const QString& program) {
    if (!QFileInfo(target).exists() && !QFileInfo(target).isSymLink())
        return false;
    print(stderr, QStringLiteral("%1: %2 already exists. Give another file with --out.\n")
                      .arg(program, readablePath(QDir::toNativeSeparators(target))));
    return true;
}

int exportWorkbook(const Arguments& a, analysis::Span span, const FormulaChoice& formulas,
                   const QString& program) {
    const QString target = a.options.value(QStringLiteral("--out"));
    if (target.isEmpty())
        return usage(program, QStringLiteral("--xlsx needs --out and the workbook's file name"));
    if (refuseExisting(target, program))
        return kFileNotWritten;
    QString error;
    std::optional<record::Recording> recording = load(a.file, &error);
    if (!recording) {
        print(stderr, QStringLiteral("%1: %2\n").arg(program, error));
        return kFailed;
    }
    if (const auto failed = applyFormulas(formulas, *recording, span)) {
        print(stderr, QStringLiteral("%1: %2\n").arg(program, *failed));
        return kFailed;
    }
    // Refused as the section refuses it: a workbook of no rows is nothing to open.
    const std::vector<double>& elapsed = recording->table.elapsed;
    bool anyRow = false;
    for (std::size_t i = 0; i < elapsed.size() && !anyRow; ++i)
        anyRow = span.contains(elapsed[i]) && span.passes(i);
    if (!anyRow) {
        print(stderr, QStringLiteral("%1: %2%3\n")
                          .arg(program, analysis::noRowText(a.file, span), kSpanHelp));
        return kFileNotWritten;
    }
    workbook::Options options;
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    int shown = -1;
    if (terminal) {
        options.progress = [&shown](double done) {
            const int percent = int(done * 100);
            if (percent != shown)
                print(stderr, QStringLiteral("\r\033[KExporting\u2026 %1 %").arg(percent));
            shown = percent;
        };
    }
    const auto written = workbook::write({recording->table, recording->details, recording->path},
                                         span, target, options, &error);
    if (terminal)
        print(stderr, QStringLiteral("\r\033[K"));
    if (!written) {
        print(stderr, QStringLiteral("%1: %2 Give another file with --out, or free some space.\n")
                          .arg(program, error));
        return kFileNotWritten;
    }
    print(stderr, QStringLiteral("%1: wrote %2 rows on %3 sheet(s) to %4.\n")
                      .arg(program)
                      .arg(written->rows)
                      .arg(written->sheets)
                      .arg(readablePath(QDir::toNativeSeparators(target))));
    return kDone;
}

}  // namespace

bool isAnalysis(const QStringList& arguments) {
    return !arguments.isEmpty() && kCommands.contains(arguments.first());
}

QString usageLines(const QString& program) {
    return QStringLiteral(
               "usage: %1 --stats FILE [FORMULAS] [--from S] [--to S]\n"

               "       %1 --table FILE [FORMULAS] [--of CHANNEL] [--rows CHANNEL] "
               "[--row-edges E0,E1,...] [--columns CHANNEL] [--column-edges E0,E1,...] "
               "[--rpm-edges E0,E1,...] [--map-edges E0,E1,...] [--min-samples N] [--from S] "
               "[--to S]\n"
               "       %1 --histogram FILE [FORMULAS] --of CHANNEL [--edges E0,E1,...] [--from S] "
               "[--to S]\n"
               "       %1 --section FILE --from S --to S --out NEW\n"
               "       %1 --xlsx FILE [FORMULAS] --out NEW.xlsx [--from S] [--to S]\n"
               "  FORMULAS: [--channel NAME=FORMULA]... [--where FORMULA [--settle S]]\n"
               "  --stats, --table and --histogram take --tag TAG [--library PLACE] in place of "
               "FILE: the library's runs of that tag, as one recording (PLACE: a library file, "
               "or a team library's postgresql:// URL)\n")
        .arg(program);
}

int run(const QStringList& arguments, const QString& program) {
    const Arguments a = parseArguments(arguments);
    if (!a.error.isEmpty())
        return usage(program, a.error);
    analysis::Span span;
    for (const auto& [name, into] : {std::pair{QStringLiteral("--from"), &span.from},
                                     std::pair{QStringLiteral("--to"), &span.to}}) {
        if (!a.options.contains(name))
            continue;
        const auto v = secondsFrom(a.options.value(name));
        if (!v)
            return usage(program, QStringLiteral("%1 takes seconds since the start of the "
                                                 "recording, not \"%2\"")
                                      .arg(name, readable(a.options.value(name), 40)));
        *into = *v;
    }
    if (span.from > span.to)
        return usage(program, QStringLiteral("--from must not be later than --to"));

    QString wrong;
    std::optional<FormulaChoice> formulas;
    if (a.command != u"--section" && !(formulas = formulaChoiceOf(a, &wrong)))
        return usage(program, wrong);
    if (a.command == u"--xlsx")
        return exportWorkbook(a, span, *formulas, program);
    if (a.command == u"--section") {
        if (!a.options.contains(QStringLiteral("--from")) ||
            !a.options.contains(QStringLiteral("--to")) ||
            !a.options.contains(QStringLiteral("--out")))
            return usage(program, QStringLiteral("--section needs --from, --to and --out"));
        const QString target = a.options.value(QStringLiteral("--out"));
        if (refuseExisting(target, program))
            return kFileNotWritten;
        QString error;
        analysis::SectionFailure failure = analysis::SectionFailure::None;
        const auto rows = analysis::writeSection(a.file, target, span, &error, &failure);
        if (!rows) {
            const QString help =
                failure == analysis::SectionFailure::Target
                    ? QStringLiteral(" Free some space, or give another file with --out.")
                : failure == analysis::SectionFailure::NoRow ? kSpanHelp
                                                             : QString();
            print(stderr, QStringLiteral("%1: %2%3\n").arg(program, error, help));
            return failure == analysis::SectionFailure::Source ? kFailed : kFileNotWritten;
        }
        print(stderr, QStringLiteral("%1: wrote %2 rows to %3.\n")
                          .arg(program)
                          .arg(*rows)
                          .arg(readablePath(QDir::toNativeSeparators(target))));
        return kDone;
    }

    // What is asked is read from the arguments before the recording, so a mistake in them is
    // told at once; the channels are named, and found in the table once it is read.
    std::optional<TableChoice> tableChoice;
    std::optional<HistogramChoice> histogramChoice;
    if (a.command == u"--table" && !(tableChoice = tableChoiceOf(a, &wrong)))
        return usage(program, wrong);
    if (a.command == u"--histogram" && !(histogramChoice = histogramChoiceOf(a, &wrong)))
        return usage(program, wrong);

    QString error;
    const QString place = a.options.value(QStringLiteral("--library"));
    std::optional<record::Recording> recording;
    // A team's runs: the server works out the map table and the statistics of the module's
    // channels over the whole runs; anything more is worked out here from their rows.
    std::unique_ptr<team::TeamStore> server;
    bool onServer = false;
    if (!a.tag.isEmpty() && team::isServerPlace(place)) {
        server = team::TeamStore::open(place, &error);
        onServer = server && a.command != u"--histogram" && formulas->channels.empty() &&
                   !formulas->filter && std::isinf(span.from) && std::isinf(span.to);
        if (server)
            recording = onServer ? team::shapeOfTag(*server, a.tag, &error)
                                 : team::fetchTag(*server, a.tag, &error);
        if (recording && onServer && a.command == u"--stats") {
            std::vector<record::ChannelId> all;
            for (record::ChannelId c = 0; c < recording->table.channelCount(); ++c)
                all.push_back(c);
            if (!team::serverHas(recording->table, all)) {
                onServer = false;
                recording = team::fetchTag(*server, a.tag, &error);
            }
        }
    } else {
        recording = a.tag.isEmpty() ? load(a.file, &error) : loadTagged(a.tag, place, &error);
    }
    if (!recording) {
        print(stderr, QStringLiteral("%1: %2\n").arg(program, error));
        return kFailed;
    }
    if (const auto failed = applyFormulas(*formulas, *recording, span)) {
        print(stderr, QStringLiteral("%1: %2\n").arg(program, *failed));
        return kFailed;
    }
    if (a.command == u"--stats") {
        if (!onServer) {
            printStatistics(recording->table, analysis::statistics(recording->table, span));
            return kDone;
        }
        const auto stats = team::statisticsOfTag(*server, a.tag, recording->table, &error);
        if (!stats) {
            print(stderr, QStringLiteral("%1: %2\n").arg(program, error));
            return kFailed;
        }
        printStatistics(recording->table, *stats);
        return kDone;
    }
    if (a.command == u"--table") {
        const record::Table& table = recording->table;
        MapCells cells = [&](const analysis::MapRequest& request, QString* why)
            -> std::optional<analysis::MapTable> {
            if (onServer && team::serverHas(table, {request.of, request.rows, request.columns}))
                return team::mapTableOfTag(*server, a.tag, table, request, why);
            if (onServer) {
                // A channel the server does not keep: the rows come here after all.
                auto rows = team::fetchTag(*server, a.tag, why);
                if (!rows)
                    return std::nullopt;
                *recording = std::move(*rows);
            }
            return analysis::mapTable(recording->table, request, span);
        };
        return printMapTable(*tableChoice, *recording, cells, program);
    }
    return printHistogram(*histogramChoice, *recording, span, program);
}

}  // namespace ignivex::analysis_commands
