#include "app/CommandLine.h"

#include "app/ArgumentChecks.h"
#include "base/AppIdentity.h"
#include "base/MessageText.h"

#include <QLocale>
#include <cmath>

namespace ignivex::command_line {

namespace {
const QStringList kOwnOptions = {"--record",     "--port",        "--rate",        "--duration",
                                 "--force",      "--help",        "-h",            "--version",
                                 "--alarm",      "--alarm-hold",  "--start-when",  "--keep-before",
                                 "--stop-after", "--channel",     "--publish"};

// A number of seconds from 0 to `most`.
std::optional<double> secondsFrom(const QString& text, double most) {
    bool number = false;
    const double s = text.toDouble(&number);
    if (!number || !std::isfinite(s) || s < 0 || s > most)
        return std::nullopt;
    return s;
}

QString problemText(const QString& option, const QString& given, const formula::Problem& p) {
    return QStringLiteral("%1 \"%2\": %3%4")
        .arg(option, readable(given, 80), p.message,
             p.position >= 0 ? QStringLiteral(" (at character %1)").arg(p.position + 1)
                             : QString());
}

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
    double hold = 0;
    std::optional<double> keepBefore, stopAfter;
    QStringList channelTexts, alarmTexts;  // as given, for the messages
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
        } else if (name == QLatin1String("--channel")) {
            const qsizetype eq = v->indexOf(QLatin1Char('='));
            if (eq <= 0)
                return Usage{QStringLiteral("--channel takes NAME=FORMULA, such as --channel "
                                            "rpm_s=rate(rpm), not \"%1\"")
                                 .arg(v->left(60))};
            o.channels.push_back({v->left(eq).trimmed(), v->mid(eq + 1), {}, 3});
            channelTexts << *v;
        } else if (name == QLatin1String("--alarm")) {
            QString why;
            const auto alarm = watch::alarmFrom(*v, &why);
            if (!alarm)
                return Usage{QStringLiteral("--alarm \"%1\": %2").arg(readable(*v, 80), why)};
            if (o.alarms.size() >= std::size_t(watch::kMostAlarms))
                return Usage{QStringLiteral("at most %1 alarms").arg(watch::kMostAlarms)};
            o.alarms.push_back(*alarm);
            alarmTexts << *v;
        } else if (name == QLatin1String("--publish")) {
            o.publish = *v;
        } else if (name == QLatin1String("--start-when")) {
            o.trigger = watch::TriggerSettings{*v};
        } else {
            // --alarm-hold, --keep-before, --stop-after: seconds.
            const double most = name == QLatin1String("--alarm-hold") ? watch::kLongestHoldSeconds
                                : name == QLatin1String("--keep-before")
                                    ? watch::kLongestKeepBeforeSeconds
                                    : watch::kLongestStopAfterSeconds;
            const auto seconds = secondsFrom(*v, most);
            if (!seconds)
                return Usage{QStringLiteral("%1 takes seconds from 0 to %2, not \"%3\"")
                                 .arg(name)
                                 .arg(most)
                                 .arg(v->left(60))};
            (name == QLatin1String("--alarm-hold") ? hold
             : name == QLatin1String("--keep-before") ? keepBefore.emplace()
                                                      : stopAfter.emplace()) = *seconds;
        }
    }
    if (!haveFile)
        return Usage{QStringLiteral("--record FILE is missing")};
    // The formulas once every channel by formula is known: an alarm may read one given after it.
    const auto problems = formula::check(o.channels, record::Table());
    for (std::size_t i = 0; i < problems.size(); ++i) {
        if (problems[i])
            return Usage{problemText(QStringLiteral("--channel"), channelTexts[qsizetype(i)],
                                     *problems[i])};
    }
    for (std::size_t i = 0; i < o.alarms.size(); ++i) {
        if (const auto p = watch::Conditions::problemOf(o.alarms[i].condition, o.channels))
            return Usage{problemText(QStringLiteral("--alarm"), alarmTexts[qsizetype(i)], *p)};
    }
    if (o.trigger) {
        if (const auto p = watch::Conditions::problemOf(o.trigger->condition, o.channels))
            return Usage{problemText(QStringLiteral("--start-when"), o.trigger->condition, *p)};
    }
    if ((keepBefore || stopAfter) && !o.trigger)
        return Usage{QStringLiteral("%1 needs --start-when and its condition")
                         .arg(keepBefore ? QStringLiteral("--keep-before")
                                         : QStringLiteral("--stop-after"))};
    if (o.trigger && !o.publish.isEmpty())
        return Usage{QStringLiteral("--publish sends one recording as it is made; a recording "
                                    "that starts itself (--start-when) makes many, and is not "
                                    "published: add its files with --library-add")};
    if (o.trigger) {
        o.trigger->keepBeforeSeconds = keepBefore.value_or(o.trigger->keepBeforeSeconds);
        o.trigger->stopAfterSeconds = stopAfter.value_or(o.trigger->stopAfterSeconds);
    }
    for (watch::Alarm& alarm : o.alarms)
        alarm.holdSeconds = hold;
    return o;
}

QString usageLine(const QString& program) {
    return QStringLiteral(
               "usage: %1 --record FILE [--port N|DEVICE] [--rate HZ|max] "
               "[--duration SECONDS] [--force]\n"
               "       [--channel NAME=FORMULA]... [--alarm \"TEXT: FORMULA\"]... "
               "[--alarm-hold SECONDS]\n"
               "       [--start-when FORMULA [--keep-before SECONDS] [--stop-after SECONDS]]\n"
               "       [--publish URL]")
        .arg(program);
}

QString helpText(const QString& program) {
    return usageLine(program) + QStringLiteral(R"(

Records the module's live values to FILE (CSV) with no window, for a small computer in the car.
Without arguments the program opens its window as usual; with --dashboard alone it opens the
window, then the real-time view (as View, View Real Time Data does), then the dashboard over
the whole screen (Esc leaves full screen).

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
  --channel NAME=FORMULA
                      a channel by formula (may be given again) that the alarms and the
                      start condition may read, such as rpm_s=rate(rpm); the file keeps
                      the module's channels only
  --alarm "TEXT: FORMULA"
                      an alarm (may be given again): FORMULA is a condition over the
                      channels, such as "battery low: battery_v < 11.5"; when it fires,
                      its row is marked "alarm: TEXT", and a line on standard error says
                      so, as another does when it clears
  --alarm-hold SECONDS
                      how long each alarm's condition must hold before it fires, and be
                      false before it clears, 0 to 3600; default 0
  --start-when FORMULA
                      a recording that starts itself: armed, it keeps the rows of the
                      last --keep-before seconds, and on the first row where FORMULA is
                      true it records them and what follows to FILE-1 (run.csv:
                      run-1.csv), until --stop-after seconds after FORMULA turned false;
                      then it is armed again, and the next stretch goes to FILE-2, and so
                      on. The first row after the trigger is marked "start: FORMULA". Each
                      file is refused when it exists, unless --force is given. A
                      condition that never turns true leaves no file.
  --keep-before SECONDS
                      0 to 600; default 5
  --stop-after SECONDS
                      0 to 3600; default 3
  --publish URL       sends the rows to the team's PostgreSQL server as they are recorded
                      (postgresql://USER@HOST:PORT/DATABASE; the password as PostgreSQL's
                      own clients take it, from ~/.pgpass or PGPASSWORD). Rows the server
                      has not confirmed wait in FILE.spool beside FILE, and go when it can
                      be reached again (tried every 5 s); a spool from an earlier run into
                      FILE goes first. Recording never waits for the server. Not with
                      --start-when.
  --help, -h          this text
  --version           the program's name and version
An option's value follows it, or is joined to it by "=": --rate=max. A formula reads the
channels by their column names (rpm, advance, map, battery_v, gpi1, gpi2, gpi3, gpi3_v,
elapsed_s) with rate(), smooth() and ago(); one that cannot be read is a usage error (exit 2)
that says why.

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
  --stats, --table and --histogram take --tag TAG [--library PLACE] in place of FILE: every
  run of the library with that tag, one after the other as one recording.

The library of runs (library.sqlite in the user's data folder; --library FILE for another,
--library postgresql://USER@HOST:PORT/DATABASE for a team's library on a PostgreSQL server, the
password taken from ~/.pgpass, PGPASSFILE or PGPASSWORD; a team library also takes the rows):
  --library-add PATH... [--tag TAG]...
        adds recordings and folders (searched for .csv files below them too), tagged; a line a
        file: result,id,file,reason (result: added, known or skipped with the reason)
  --library-list [--tag TAG]
        a line per run, newest first:
        id,file,started,duration_s,rows,firmware,map_range,marks,tags (tags joined with ;)
  --library-tag ID TAG...
        adds tags to the run of that id
  --library-get ID --out NEW.csv
        writes the run's recording to NEW.csv (from a team library's server, which holds its
        rows, so a run recorded on another PC can be opened here)
  --sync [--library FILE]
        sends the rows that wait in a spool (FILE.spool) beside each run of the library to
        the server it names, and finishes the run there; a line a spool:
        result,id,file,rows,reason (result: sent, or waiting with the reason; rows: sent now).
        Exit code 1 when a spool still waits

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
