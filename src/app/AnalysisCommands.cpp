#include "app/AnalysisCommands.h"

#include "analysis/MapTable.h"
#include "analysis/Section.h"
#include "analysis/Statistics.h"
#include "app/CommandLine.h"
#include "base/MessageText.h"
#include "record/RecordingReader.h"
#include "workbook/Workbook.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace ignivex::analysis_commands {

namespace {

using namespace command_line;

const QStringList kCommands = {QStringLiteral("--stats"), QStringLiteral("--table"),
                               QStringLiteral("--section"), QStringLiteral("--xlsx")};

const QString kSpanHelp = QStringLiteral(" Give a span the recording covers with --from and --to.");

struct Arguments {
    QString command;
    QString file;
    QMap<QString, QString> options;  // "--from" -> "12.5"
    QString error;
};

// Which options each command takes, each followed by its value.
QStringList optionsOf(const QString& command) {
    if (command == u"--stats")
        return {QStringLiteral("--from"), QStringLiteral("--to")};
    if (command == u"--table")
        return {QStringLiteral("--from"), QStringLiteral("--to"), QStringLiteral("--of"),
                QStringLiteral("--rpm-edges"), QStringLiteral("--map-edges")};
    // --section and --xlsx
    return {QStringLiteral("--from"), QStringLiteral("--to"), QStringLiteral("--out")};
}

Arguments parseArguments(const QStringList& arguments) {
    Arguments a;
    a.command = arguments.value(0);
    if (arguments.size() < 2 || arguments[1].startsWith(QLatin1String("--"))) {
        a.error = QStringLiteral("%1 needs the recording's file name").arg(a.command);
        return a;
    }
    a.file = arguments[1];
    const QStringList allowed = optionsOf(a.command);
    for (qsizetype i = 2; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        if (!allowed.contains(name)) {
            a.error = QStringLiteral("%1 does not take \"%2\"").arg(a.command, readable(name, 40));
            return a;
        }
        if (i + 1 >= arguments.size()) {
            a.error = QStringLiteral("%1 needs a value").arg(name);
            return a;
        }
        a.options.insert(name, arguments[++i]);
    }
    return a;
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

std::optional<record::Recording> load(const QString& path, QString* error) {
    record::ReadResult read = record::readRecording(path);
    if (!read.recording) {
        *error = read.error;
        return std::nullopt;
    }
    return std::move(*read.recording);
}

void printStatistics(const record::Table& table, const analysis::Span& span) {
    const analysis::Statistics stats = analysis::statistics(table, span);
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

bool refuseExisting(const QString& target, const QString& program) {
    if (!QFileInfo(target).exists() && !QFileInfo(target).isSymLink())
        return false;
    print(stderr, QStringLiteral("%1: %2 already exists. Give another file with --out.\n")
                      .arg(program, readablePath(QDir::toNativeSeparators(target))));
    return true;
}

int exportWorkbook(const Arguments& a, const analysis::Span& span, const QString& program) {
    const QString target = a.options.value(QStringLiteral("--out"));
    if (target.isEmpty())
        return usage(program, QStringLiteral("--xlsx needs --out and the workbook's file name"));
    if (refuseExisting(target, program))
        return kFileNotWritten;
    QString error;
    const std::optional<record::Recording> recording = load(a.file, &error);
    if (!recording) {
        print(stderr, QStringLiteral("%1: %2\n").arg(program, error));
        return kFailed;
    }
    // Refused as the section refuses it: a workbook of no rows is nothing to open.
    const std::vector<double>& elapsed = recording->table.elapsed;
    if (std::none_of(elapsed.begin(), elapsed.end(),
                     [&span](double t) { return span.contains(t); })) {
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
               "usage: %1 --stats FILE [--from S] [--to S]\n"
               "       %1 --table FILE [--of CHANNEL] [--rpm-edges E0,E1,...] "
               "[--map-edges E0,E1,...] [--from S] [--to S]\n"
               "       %1 --section FILE --from S --to S --out NEW\n"
               "       %1 --xlsx FILE --out NEW.xlsx [--from S] [--to S]\n")
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

    if (a.command == u"--xlsx")
        return exportWorkbook(a, span, program);
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

    QString error;
    const std::optional<record::Recording> recording = load(a.file, &error);
    if (!recording) {
        print(stderr, QStringLiteral("%1: %2\n").arg(program, error));
        return kFailed;
    }
    if (a.command == u"--stats") {
        printStatistics(recording->table, span);
        return kDone;
    }

    const record::Table& rows = recording->table;
    std::optional<record::ChannelId> of = record::channelOf(Value::Advance);
    if (a.options.contains(QStringLiteral("--of"))) {
        of = rows.channelNamed(a.options.value(QStringLiteral("--of")));
        if (!of) {
            QStringList names;
            for (record::ChannelId c = 0; c < rows.channelCount(); ++c)
                names << rows.channel(c).column;
            return usage(program, QStringLiteral("--of takes a column of the recording (%1), "
                                                 "not \"%2\"")
                                      .arg(names.join(QStringLiteral(", ")),
                                           readable(a.options.value(QStringLiteral("--of")), 40)));
        }
    }
    QList<double> rpmEdges = analysis::defaultRpmEdges();
    QList<double> mapEdges = analysis::defaultMapEdges(record::rangeCodeOf(recording->details));
    for (const auto& [name, into] : {std::pair{QStringLiteral("--rpm-edges"), &rpmEdges},
                                     std::pair{QStringLiteral("--map-edges"), &mapEdges}}) {
        if (!a.options.contains(name))
            continue;
        QString why;
        const auto edges = analysis::edgesFrom(a.options.value(name), &why);
        if (!edges)
            return usage(program, QStringLiteral("%1: %2").arg(name, why));
        *into = *edges;
    }
    const analysis::MapTable table =
        analysis::mapTable(recording->table, *of, rpmEdges, mapEdges, span);
    const int decimals = table.channel.onOff() ? 3 : table.channel.decimals + 2;
    QString out = QStringLiteral("rpm_from,rpm_to,map_from,map_to,samples,mean\n");
    for (const analysis::MapCell& c : table.cells) {
        out += QStringLiteral("%1,%2,%3,%4,%5,%6\n")
                   .arg(rpmEdges[c.rpmBin])
                   .arg(rpmEdges[c.rpmBin + 1])
                   .arg(mapEdges[c.mapBin])
                   .arg(mapEdges[c.mapBin + 1])
                   .arg(c.samples)
                   .arg(number(c.mean, decimals));
    }
    print(stdout, out);
    return kDone;
}

}  // namespace ignivex::analysis_commands
