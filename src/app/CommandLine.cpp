#include "app/CommandLine.h"

#include "app/ArgumentChecks.h"
#include "base/AppIdentity.h"

#include <QLocale>
#include <cmath>

namespace ignivex::command_line {

namespace {
const QStringList kOwnOptions = {"--record", "--port", "--rate", "--duration",
                                 "--force",  "--help", "-h",     "--version"};

bool isOwn(const QString& argument) {
    const QString name = argument.section(QLatin1Char('='), 0, 0);
    return kOwnOptions.contains(name);
}
}  // namespace

bool isCommandLine(const QStringList& arguments) {
    for (const QString& a : arguments) {
        if (isOwn(a))
            return true;
    }
    return strayOption(arguments).has_value();
}

Request parse(const QStringList& arguments) {
    Options o;
    bool haveFile = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        std::optional<QString> inlineValue;
        if (name.startsWith(QLatin1String("--")) && name.contains(QLatin1Char('='))) {
            inlineValue = name.section(QLatin1Char('='), 1);
            name = name.section(QLatin1Char('='), 0, 0);
        }
        auto value = [&]() -> std::optional<QString> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        if (name == QLatin1String("--help") || name == QLatin1String("-h"))
            return Help{};
        if (name == QLatin1String("--version"))
            return Version{};
        if (name == QLatin1String("--force")) {
            if (inlineValue)
                return Usage{QStringLiteral("--force takes no value")};
            o.force = true;
            continue;
        }
        if (!isOwn(name))
            return Usage{
                name.startsWith(QLatin1Char('-'))
                    ? QStringLiteral("unknown option \"%1\"").arg(arguments[i].left(60))
                    : QStringLiteral("unknown argument \"%1\"").arg(arguments[i].left(60))};
        const std::optional<QString> v = value();
        if (!v || v->isEmpty())
            return Usage{QStringLiteral("%1 needs a value").arg(name)};
        if (name == QLatin1String("--record")) {
            o.file = *v;
            haveFile = true;
        } else if (name == QLatin1String("--port")) {
            // "COM7" is port 7, as Windows names it and as the window lists it.
            const bool named = v->startsWith(QLatin1String("COM"), Qt::CaseInsensitive);
            bool number = false;
            const int n = (named ? v->mid(3) : *v).toInt(&number);
            if (number && !v->contains(QLatin1Char('+')) && !v->contains(QLatin1Char('-'))) {
                if (n < 1 || n > 255)
                    return Usage{QStringLiteral("--port takes 1 to 255 (COM1 to COM255) or a "
                                                "device path, not %1")
                                     .arg(v->left(60))};
                o.portNumber = n;
                o.device.clear();
            } else if (!named &&
                       (v->contains(QLatin1Char('/')) || v->contains(QLatin1Char('\\')))) {
                o.device = *v;
                o.portNumber = 0;
            } else {
                return Usage{QStringLiteral("--port takes 1 to 255, COM1 to COM255 or a device "
                                            "path such as /dev/ttyUSB0, not \"%1\"")
                                 .arg(v->left(60))};
            }
        } else if (name == QLatin1String("--rate")) {
            bool number = false;
            const int hz = v->toInt(&number);
            if (v->compare(QLatin1String("max"), Qt::CaseInsensitive) == 0)
                o.rate = Rate{0};
            else if (number && hz >= 1 && hz <= 50)
                o.rate = Rate{hz};
            else
                return Usage{QStringLiteral("--rate takes samples a second from 1 to 50, or max, "
                                            "not \"%1\"")
                                 .arg(v->left(60))};
        } else if (name == QLatin1String("--duration")) {
            const auto duration = parseDuration(*v);
            if (!duration)
                return Usage{QStringLiteral("--duration takes seconds from %1 to %2 (366 days), "
                                            "not \"%3\"")
                                 .arg(kShortestDuration.count())
                                 .arg(kLongestDuration.count())
                                 .arg(v->left(60))};
            o.duration = *duration;
        }
    }
    if (!haveFile)
        return Usage{QStringLiteral("--record FILE is missing")};
    return o;
}

QString usageLine(const QString& program) {
    return QStringLiteral(
               "usage: %1 --record FILE [--port N|DEVICE] [--rate HZ|max] "
               "[--duration SECONDS] [--force]")
        .arg(program);
}

QString helpText(const QString& program) {
    return usageLine(program) + QStringLiteral(R"(

Records the module's live values to FILE (CSV) with no window, for a small computer in the car.
Without arguments the program opens its window as usual.

  --record FILE       the recording; an existing FILE is refused unless --force is given
  --port N|DEVICE     port Com1 to Com255 (N, or COMN; mapped as the window maps it), or a
                      device path such as /dev/ttyUSB0; default: the port chosen last in the
                      window
  --rate HZ|max       samples a second, 1 to 50, or max: as fast as the link allows
                      (about 80 a second); default 2
  --duration SECONDS  stop after this long, 1 to 31622400 (366 days); default: run until
                      SIGINT (Ctrl+C), SIGTERM or SIGHUP (the terminal closing)
  --force             replace an existing FILE (a regular file only: a symbolic link, a
                      pipe or a device is refused, with or without --force)
  --help, -h          this text
  --version           the program's name and version
An option's value follows it, or is joined to it by "=": --rate=max.

Marks: a line "mark" or "mark NOTE" on standard input, or SIGUSR1 (kill -USR1 PID), marks the
next row; signals that come faster than the rows mark one row.

The link is opened as the window opens it (synchronise, identify, read the status). A lost
link is brought back into step and recording goes on; an adapter that is pulled out is
waited for, checked once a second, and recording goes on into the same file when it is back.
The rows of the gap say so in their status column. Messages go to standard error, one line
each with the time; on a terminal, one line of progress is kept up to date. A closed standard
error (a reader that quit) never ends a recording. FILE is locked while it is recorded: a
second logger on it is refused. A FILE that is deleted, replaced or cut short by another
program stops the recording (exit 5). A FILE that ends up without a single row is removed.

Questions asked of a recording are answered as CSV on standard output. S is seconds since
the start of the recording (its elapsed_s column), both ends included; rows whose status is
not ok are left out of every figure.
  --stats FILE [--from S] [--to S]
        a line per channel: channel,samples,min,max,mean (an input's mean is its share of
        samples at 1)
  --table FILE [--of CHANNEL] [--rows CHANNEL] [--row-edges E0,E1,...] [--columns CHANNEL]
              [--column-edges E0,E1,...] [--min-samples N] [--from S] [--to S]
        CHANNEL (a column name, default advance) over cells of two channels, rows rpm and
        columns map unless --rows and --columns name others; a line per cell with at least N
        samples (default 1): ROWS_from,ROWS_to,COLUMNS_from,COLUMNS_to,samples,mean,min,max,sd
        (sd: the population standard deviation). A value belongs to [from, to) of its bin;
        rpm's edges are 0 to 8000 in steps of 500 and map's span the recording's range: 0 to
        30 in steps of 5 (map range 1), 0 to 60 (range 2) or 0 to 90 (range 3, or no range
        named) in steps of 10; any other channel needs its edges. --rpm-edges and --map-edges
        give the edges while the rows are rpm and the columns map. At most 201 edges a side.
  --histogram FILE --of CHANNEL [--edges E0,E1,...] [--from S] [--to S]
        CHANNEL in bins, a line per bin, empty ones too: from,to,samples,seconds,share. A row
        stands for the time to the next row (a gap as no longer than the gap threshold; the
        last row for none); share is of the counted time, of the samples when that is none.
        Given edges: a value belongs to [from, to) of its bin. Default: 20 equal bins from
        the least to the greatest value, the greatest in the last bin. Standard error then
        gives the values' mean, median, sd (the population's), 5th and 95th percentiles
        (between closest ranks: rank p x (n - 1) of the sorted values, from 0, interpolated).
  --section FILE --from S --to S --out NEW
        writes that span as a recording of its own; an existing NEW is refused
  --xlsx FILE --out NEW.xlsx [--from S] [--to S]
        writes the recording (or the span) as a workbook for a spreadsheet, the values as
        numbers in any language; an existing NEW.xlsx is refused
  NEW is written whole or not at all: a span with no row, a full disk or the size limit for a
  file (ulimit -f) leaves nothing, and the exit code is 3.
  --stats, --table and --histogram take --tag TAG [--library FILE] in place of FILE: every
  run of the library with that tag, one after the other as one recording.

The library of runs (library.sqlite in the user's data folder; --library FILE for another;
a PostgreSQL URL is refused, as the team library is not in this version):
  --library-add PATH... [--tag TAG]...
        adds recordings and folders (searched for .csv files below them too), tagged; a line a
        file: result,id,file,reason (result: added, known or skipped with the reason)
  --library-list [--tag TAG]
        a line per run, newest first:
        id,file,started,duration_s,rows,firmware,map_range,marks,tags (tags joined with ;)
  --library-tag ID TAG...
        adds tags to the run of that id

Exit codes:
  0  recorded until the duration ended or SIGINT, SIGTERM or SIGHUP came; the file is complete
  1  another failure
  2  bad arguments
  3  the file exists (use --force), is not a regular file, is locked by another logger,
     or cannot be created
  4  the port cannot be opened, or the module's status replies came with stray bytes
  5  interrupted: the recording stopped early because the file could no longer be written,
     or was deleted, replaced or cut short, or the module came back with another MAP range
)");
}

}  // namespace ignivex::command_line
