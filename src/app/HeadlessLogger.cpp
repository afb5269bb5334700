#include "app/HeadlessLogger.h"

#include "app/FileArgument.h"
#include "app/HeadlessWords.h"
#include "base/MessageText.h"
#include "catalog/LibraryPlace.h"
#include "catalog/RunIndex.h"
#include "team/Connection.h"
#include "team/Publisher.h"
#include "team/Spool.h"
#include "team/SpoolSender.h"

#include "link/ModuleLine.h"
#include "link/PortMapper.h"
#include "link/PortSettings.h"
#include "base/AppIdentity.h"
#include "recovery/CommError.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <unistd.h>
#ifdef Q_OS_WIN
#include "app/WinConsole.h"
#else
#include <sys/socket.h>
#endif

namespace ignivex {

namespace {

using namespace command_line;

#ifndef Q_OS_WIN
// SIGINT, SIGTERM and SIGHUP (the terminal closing) ask to stop, SIGUSR1 to mark the recording.
// The handler only sets a flag and writes one wake-up byte for the event loop, without blocking:
// when the socket is full, a wake-up is already on its way and the byte is not needed. So no
// number of signals can hold a thread in the handler, and any number of them comes to one stop
// and one mark.
int signalPipe[2] = {-1, -1};
std::atomic<bool> stopAsked{false};
std::atomic<bool> markAsked{false};
static_assert(std::atomic<bool>::is_always_lock_free, "flags set from a signal handler");

void onSignal(int signal) {
    const int saved = errno;
    (signal == SIGUSR1 ? markAsked : stopAsked).store(true);
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::send(signalPipe[1], &byte, 1, MSG_DONTWAIT);
    errno = saved;
}
#endif

void printErr(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

QString size(qint64 bytes) {
    if (bytes < 10 * 1024)
        return QStringLiteral("%1 B").arg(bytes);
    if (bytes < 10 * 1024 * 1024)
        return QStringLiteral("%1 kB").arg(bytes / 1024);
    return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
}

}  // namespace

HeadlessLogger::HeadlessLogger(Options options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      boxes_([this](const QString& line) { say(forCommandLine(line, options_.device)); },
             [this] { return deviceMissing(); }),
      port_(clock_),
      link_(port_, clock_, boxes_, state_),
      events_(port_, boxes_, state_),
      acquisition_(link_, clock_, boxes_, state_),
      run_(acquisition_, state_),
      watched_(acquisition_, clock_),
      session_(watched_.session()) {
    terminal_ = ::isatty(STDERR_FILENO) == 1;
    // Without a view, a link given up is let go until it is brought back.
    connect(&acquisition_, &Acquisition::linkAborted, this, [this] { run_.close(); });
    watchRows();
    connect(&session_, &RecordingSession::rowsDropped, this, [this] {
        say(QStringLiteral("The disk is too slow: rows are being lost (counted at the end)."));
    });
    // Replies that come with bytes beyond their length are garbage on the line, or a device
    // that streams: said when a stretch of them begins (at most once a minute), since their
    // rows may hold any values.
    connect(&acquisition_, &Acquisition::sampleReady, this, [this](const Sample& sample) {
        if (sample.end != Sample::End::Surplus)
            return;
        if (surplusSaid_ && clock_.now() - *surplusSaid_ < std::chrono::minutes(1))
            return;
        surplusSaid_ = clock_.now();
        say(
            QStringLiteral("The module's replies come with bytes beyond their length (garbage "
                           "on the line, or a device that streams); their rows say \"surplus\"."));
    });
    connect(&poll_, &QTimer::timeout, this, &HeadlessLogger::step);
    progress_.setInterval(1000);
    connect(&progress_, &QTimer::timeout, this, &HeadlessLogger::showProgress);
}

void HeadlessLogger::watchRows() {
    connect(&watched_, &watch::WatchedRecording::failed, this, [this](const QString& message) {
        say(message);
        requestStop(kInterrupted);
    });
    connect(&watched_, &watch::WatchedRecording::refused, this,
            [this](const QString& path, const QString& error) {
                say(command_line::refusalText(path, session_.openFailure(), error));
                requestStop(kFileNotWritten);
            });
    connect(&watched_.alarms(), &watch::AlarmSet::changed, this,
            [this](int index, const QString& text, bool firing) {
                const watch::Alarm& alarm = watched_.alarms().alarms()[std::size_t(index)];
                say(firing ? QStringLiteral("Alarm: %1 (%2).").arg(text, alarm.condition)
                           : QStringLiteral("Alarm cleared: %1.").arg(text));
            });
    connect(&watched_, &watch::WatchedRecording::stretchStarted, this,
            [this](const QString& path, int kept) {
                say(QStringLiteral("Started: %1 is true; recording to %2, with %3 rows from "
                                   "the %4 s before.")
                        .arg(options_.trigger->condition, QDir::toNativeSeparators(path))
                        .arg(kept)
                        .arg(options_.trigger->keepBeforeSeconds));
            });
    connect(&watched_, &watch::WatchedRecording::stretchEnded, this,
            [this](const QString& path, qint64 rows) {
                if (stopping_)
                    return;
                say(QStringLiteral("Stopped: %1 s after %2 turned false; %3 holds %4 samples. "
                                   "Armed again.")
                        .arg(options_.trigger->stopAfterSeconds)
                        .arg(options_.trigger->condition, QDir::toNativeSeparators(path))
                        .arg(rows));
            });
}

bool HeadlessLogger::startRecording(const record::Details& details) {
    const QString until =
        options_.duration
            ? QStringLiteral(" for %1 s").arg(double(options_.duration->count()) / 1000.0)
            : QStringLiteral(" until Ctrl+C");
    if (options_.trigger) {
        // A stretch's file has the run's details as they are when it begins.
        watched_.arm(options_.file, [this] { return run_.details(options_.rate); }, options_.rate,
                     options_.force, *options_.trigger, options_.channels);
        say(QStringLiteral("Armed: recording %1 from %2 to %3 when %4 is true (keeping %5 s "
                           "before, stopping %6 s after)%7.")
                .arg(options_.rate.text(), details.port,
                     QDir::toNativeSeparators(watch::stretchPath(options_.file, 1)) +
                         QStringLiteral(", -2, ..."),
                     options_.trigger->condition)
                .arg(options_.trigger->keepBeforeSeconds)
                .arg(options_.trigger->stopAfterSeconds)
                .arg(until));
        return true;
    }
    QString error;
    if (!watched_.start(options_.file, details, options_.rate, options_.force, &error)) {
        say(command_line::refusalText(options_.file, session_.openFailure(), error));
        return false;
    }
    say(QStringLiteral("Recording %1 from %2 to %3%4.")
            .arg(options_.rate.text(), details.port, QDir::toNativeSeparators(options_.file),
                 until));
    return true;
}

HeadlessLogger::~HeadlessLogger() {
    watched_.stop();
    publishThread_.quit();
    publishThread_.wait();
#ifndef Q_OS_WIN
    if (signalPipe[0] >= 0) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGHUP, SIG_DFL);
        // A mark asked for once the file is closed is nothing to end the program for: a storm
        // still under way must not turn a clean end into death by SIGUSR1.
        std::signal(SIGUSR1, SIG_IGN);
    }
#endif
}

bool HeadlessLogger::deviceMissing() const {
    return !port_mapper::deviceFor(run_.portNumber()).exists;
}

void HeadlessLogger::say(const QString& line) {
    QString text;
    if (progressShown_)
        text += QStringLiteral("\r\033[K");
    progressShown_ = false;
    text += QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz ")) + line.simplified() +
            QLatin1Char('\n');
    printErr(text);
}

void HeadlessLogger::showProgress() {
    if (!terminal_ || finished_)
        return;
    const RecordingSession::Progress p = session_.progress();
    QString link;
    switch (linkState_) {
    case Link::Polling:
        link = QStringLiteral("link ok");
        break;
    case Link::Lost:
        link = QStringLiteral("link lost, bringing it back into step");
        break;
    case Link::Waiting:
        link =
            QStringLiteral("waiting for %1").arg(port_mapper::deviceFor(run_.portNumber()).shown);
        break;
    }
    if (watched_.state() == watch::WatchedRecording::State::Armed) {
        printErr(QStringLiteral("\r\033[Karmed, %1 stretches so far  %2")
                     .arg(watched_.stretches())
                     .arg(link));
        progressShown_ = true;
        return;
    }
    printErr(QStringLiteral("\r\033[K%1 samples  %2/s  %3  %4")
                 .arg(p.rows)
                 .arg(p.ratePerS, 0, 'f', 1)
                 .arg(size(p.bytes), link));
    progressShown_ = true;
}

void HeadlessLogger::watchSignals() {
#ifdef Q_OS_WIN
    win_console::watchStopRequests(this, [this] { requestStop(kDone); });
#else
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    signals_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    connect(signals_.get(), &QSocketNotifier::activated, this, [this] {
        // All the wake-ups that are waiting, then the flags: a signal after the flags are read
        // writes a byte of its own and wakes the loop again.
        char bytes[256];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        if (stopAsked.exchange(false))
            requestStop(kDone);
        if (markAsked.exchange(false))
            markOnSignal();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    ::sigaction(SIGUSR1, &action, nullptr);
#endif
}

void HeadlessLogger::markOnSignal() {
    // Signals that come faster than the rows mark one row: a mark of a signal is made only once
    // a row has been written since the last one.
    const qint64 rows = session_.progress().samples;
    if (signalMarkRow_ && *signalMarkRow_ == rows)
        return;
    signalMarkRow_ = rows;
    markRecording({});
}

void HeadlessLogger::markRecording(const QString& note) {
    const QString text = session_.mark(note);
    if (text.isEmpty()) {
        if (watched_.state() == watch::WatchedRecording::State::Armed)
            say(QStringLiteral("Not marked: armed, nothing is being recorded; marks go into a "
                               "stretch once %1 is true.")
                    .arg(options_.trigger->condition));
        return;
    }
    if (run_.polling())
        say(QStringLiteral("Marked the next row: %1").arg(text));
    else
        say(QStringLiteral("Marked the next row, which comes once the link is back: %1").arg(text));
}

void HeadlessLogger::watchInput() {
#ifndef Q_OS_WIN
    // Standard input that is closed or empty (no terminal, /dev/null) ends the watch at its end.
    input_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    connect(input_.get(), &QSocketNotifier::activated, this, [this] {
        char chunk[4096];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            if (n == 0 || (errno != EAGAIN && errno != EINTR))
                input_->setEnabled(false);
            return;
        }
        inputLine_.append(chunk, int(n));
        qsizetype end;
        while ((end = inputLine_.indexOf('\n')) >= 0) {
            inputLine(QString::fromLocal8Bit(inputLine_.left(end)).trimmed());
            inputLine_.remove(0, end + 1);
        }
        // A line without its end is not held without bound.
        if (inputLine_.size() > 4096)
            inputLine_.clear();
    });
#else
    win_console::watchInputLines(this, [this](const QString& line) { inputLine(line); });
#endif
}

// A line "mark" or "mark NOTE" marks the recording; an empty line is passed over.
void HeadlessLogger::inputLine(const QString& line) {
    if (line.isEmpty())
        return;
    const QString word = line.section(QLatin1Char(' '), 0, 0);
    if (word.compare(QLatin1String("mark"), Qt::CaseInsensitive) == 0)
        markRecording(line.section(QLatin1Char(' '), 1).trimmed());
    else
        say(QStringLiteral("Standard input: \"%1\" is not understood; a line \"mark\" or "
                           "\"mark NOTE\" marks the recording.")
                .arg(readable(line, 60)));
}

int HeadlessLogger::run() {
    // The file first: an existing one is refused before anything goes over the link.
    // Looked at without opening it: a pipe would block the open.
    const QString firstFile =
        options_.trigger ? watch::stretchPath(options_.file, 1) : options_.file;
    if (const auto problem = fileArgumentProblem(firstFile, options_.force)) {
        say(*problem);
        return kFileNotWritten;
    }
    if (!options_.trigger && !sendEarlierSpool())
        return kFileNotWritten;

    // The port: the one given, else the one chosen last in the window.
    int portNumber = 1;
    if (!options_.device.isEmpty()) {
        portNumber = 1;
    } else if (options_.portNumber > 0) {
        portNumber = options_.portNumber;
    } else {
        try {
            portNumber = port_settings::toPortNumber(port_settings::readStored());
        } catch (const CommError& error) {
            QString text = forCommandLine(error.description(), {});
            if (!text.contains(QLatin1String("--port")))
                text += QStringLiteral(" Give the port with --port.");
            say(text);
            return kPortNotOpened;
        }
        if (portNumber < 1 || portNumber > 255) {
            say(QStringLiteral("The stored port number %1 names no port. Give the port with "
                               "--port.")
                    .arg(portNumber));
            return kPortNotOpened;
        }
    }
    run_.setPort(portNumber, options_.device);
    configureModuleLine(port_);
    try {
        port_.setCommPort(portNumber);
        port_.setPortOpen(true);
    } catch (const CommError& error) {
        say(forCommandLine(error.description(), options_.device));
        return kPortNotOpened;
    }

    watchSignals();
    run_.open();
    lastOpening_ = clock_.now();

    if (stopping_) {  // a signal during the opening: nothing was recorded, no file is made
        link_.closePortIfOpen();
        say(QStringLiteral("Stopped before the first sample; %1 was not created.")
                .arg(readablePath(QDir::toNativeSeparators(firstFile))));
        return exitCode_;
    }
    // A status whose replies came with stray bytes, none of them confirmed, names no range the
    // module is known to have sent; a recording of MAP values scaled for a guess is worse than
    // none.
    if (acquisition_.lastOpening().statusGarbled) {
        link_.closePortIfOpen();
        say(QStringLiteral("The module's status replies came with stray bytes, so its MAP range "
                           "is unknown and %1 was not created. Check the cable and that nothing "
                           "else sends on the line, then start again.")
                .arg(readablePath(QDir::toNativeSeparators(firstFile))));
        return kPortNotOpened;
    }
    // The formulas were read when the arguments were: none has a problem here.
    watched_.alarms().set(options_.alarms, options_.channels);
    if (!startRecording(run_.details(options_.rate))) {
        link_.closePortIfOpen();
        return kFileNotWritten;
    }

    if (!options_.publish.isEmpty())
        startPublishing();
    run_.startPolling();
    watchInput();
    poll_.start(options_.rate.intervalMs());
    if (terminal_)
        progress_.start();
    if (options_.duration) {
        deadline_ = clock_.now() + *options_.duration;
        watchDeadline();
    }
    QCoreApplication::exec();
    return exitCode_;
}

void HeadlessLogger::watchDeadline() {
    // The deadline is a point on the monotonic clock, and the timer is only a way to wake up
    // near it: a timer's own count of milliseconds is 32 bits wide, so long runs wake up once
    // a minute and look again.
    using namespace std::chrono;
    const auto left = ceil<milliseconds>(deadline_ - clock_.now());
    if (left <= milliseconds(0)) {
        requestStop(kDone);
        return;
    }
    QTimer::singleShot(std::min<milliseconds>(left, minutes(1)), Qt::PreciseTimer, this,
                       [this] { watchDeadline(); });
}

void HeadlessLogger::step() {
    // The waits of the link let timers run: a step that comes in the middle of another (or of
    // an exchange) does nothing, so two exchanges never cross.
    if (finished_ || inStep_ || acquisition_.busy())
        return;
    inStep_ = true;
    if (!stopping_) {
        if (run_.polling()) {
            linkState_ = Link::Polling;
            acquisition_.tmrDataRead_Timer();
        } else {
            reconnect();
        }
    }
    inStep_ = false;
    if (stopping_)
        finish(exitCode_);
}

void HeadlessLogger::reconnect() {
    // Looked at once a second: a device that is gone, or a module that does not answer,
    // costs nothing meanwhile.
    poll_.setInterval(1000);
    if (deviceMissing()) {
        if (linkState_ != Link::Waiting)
            say(QStringLiteral(
                    "%1 is gone; waiting for it to come back (looked for once a second).")
                    .arg(run_.portLabel()));
        linkState_ = Link::Waiting;
        return;
    }
    if (clock_.now() - lastOpening_ < std::chrono::seconds(1))
        return;
    if (linkState_ == Link::Waiting)
        say(QStringLiteral("%1 is back; bringing the link into step.").arg(run_.portLabel()));
    linkState_ = Link::Lost;
    run_.open();
    lastOpening_ = clock_.now();
    // Rows scaled for a range the status may not have said would end the recording, or worse:
    // the link is brought up again until the status comes clean.
    if (acquisition_.lastOpening().statusGarbled) {
        link_.closePortIfOpen();
        return;
    }
    run_.startPolling();
    poll_.setInterval(options_.rate.intervalMs());
}

void HeadlessLogger::requestStop(int code) {
    if (stopping_)
        return;
    stopping_ = true;
    exitCode_ = code;
    // Inside a tick or an opening the work ends first; at rest the run ends now.
    if (!inStep_ && !acquisition_.busy())
        finish(code);
}

void HeadlessLogger::finish(int code) {
    if (finished_)
        return;
    finished_ = true;
    poll_.stop();
    progress_.stop();
    // Stopped first: the rows still on their way to the disk are in the file then, and in the
    // count.
    watched_.stop();
    const RecordingSession::Progress p = session_.progress();
    try {
        link_.closePortIfOpen();
    } catch (const CommError&) {
    }
    say(summary(p));
    // The recordings go into the user's library, as those made in the window do.
    if (options_.trigger) {
        for (std::size_t i = 0; i < watched_.stretchRows().size(); ++i)
            if (watched_.stretchRows()[i] > 0)
                addToLibrary(watch::stretchPath(options_.file, int(i) + 1));
    } else if (p.rows > 0 && !p.taken) {
        addToLibrary(options_.file);
    }
    if (publisher_)
        endPublishing(code);
    else
        QCoreApplication::exit(code);
}

bool HeadlessLogger::sendEarlierSpool() {
    const QString spool = team::spoolPathFor(options_.file);
    if (!QFileInfo::exists(spool))
        return true;
    say(QStringLiteral("%1 holds rows of an earlier run that its server has not had; sending them "
                       "first.")
            .arg(QDir::toNativeSeparators(spool)));
    const team::SpoolSent sent = team::sendSpool(spool);
    if (sent.result == team::SpoolSent::Result::Sent) {
        say(QStringLiteral("The earlier run %1 is whole on its server: %2 rows sent.")
                .arg(sent.runId)
                .arg(sent.rows));
        return true;
    }
    say(QStringLiteral("The rows in %1 could not be sent (%2). Recording to %3 would lose them: "
                       "send them with --sync once the server can be reached, or remove %1.")
            .arg(QDir::toNativeSeparators(spool), sent.reason,
                 QDir::toNativeSeparators(options_.file)));
    return false;
}

void HeadlessLogger::startPublishing() {
    publisher_ = new team::Publisher(options_.publish, options_.file);
    publisher_->moveToThread(&publishThread_);
    connect(&publishThread_, &QThread::finished, publisher_, &QObject::deleteLater);
    connect(publisher_, &team::Publisher::said, this, &HeadlessLogger::say);
    publishThread_.start();
    // The top first, then the rows as they reach the disk: both queued on the publisher's thread
    // in that order.
    const QByteArray top = session_.top();
    QMetaObject::invokeMethod(
        publisher_, [p = publisher_, top] { p->begin(top); }, Qt::QueuedConnection);
    connect(&session_, &RecordingSession::rowsWritten, publisher_, &team::Publisher::take,
            Qt::QueuedConnection);
    say(QStringLiteral("Publishing to %1 as the rows are recorded; while it cannot be reached they "
                       "wait in %2.")
            .arg(team::withoutPassword(options_.publish),
                 QDir::toNativeSeparators(team::spoolPathFor(options_.file))));
}

void HeadlessLogger::endPublishing(int code) {
    connect(publisher_, &team::Publisher::finished, this,
            [this, code](qint64 waiting, qint64 sent, bool whole, const QString& why) {
                const QString url = team::withoutPassword(options_.publish);
                const QString program =
                    QFileInfo(QCoreApplication::applicationFilePath()).fileName();
                if (whole)
                    say(QStringLiteral("Published %1 to %2: %3 rows, the run is whole on the "
                                       "server.")
                            .arg(QDir::toNativeSeparators(options_.file), url)
                            .arg(sent));
                else if (sent == 0 && waiting == 0)
                    say(QStringLiteral("Publishing to %1: %2, so nothing was published.")
                            .arg(url, why));
                else
                    say(QStringLiteral("Publishing to %1: %2 rows wait in %3 (%4). Send them "
                                       "with %5 --sync once the server can be reached.")
                            .arg(url)
                            .arg(waiting)
                            .arg(QDir::toNativeSeparators(team::spoolPathFor(options_.file)), why,
                                 program));
                QCoreApplication::exit(code);
            });
    QMetaObject::invokeMethod(publisher_, &team::Publisher::finish, Qt::QueuedConnection);
}

void HeadlessLogger::addToLibrary(const QString& path) {
    applyApplicationTitle();
    QString why;
    const auto store = catalog::openLibrary({}, &why);
    catalog::IndexOutcome indexed = catalog::indexFile(path);
    if (!indexed.run)
        why = indexed.reason;
    if (!store || !indexed.run || !store->add(*indexed.run, &why))
        say(QStringLiteral("%1 was not added to the library: %2")
                .arg(QDir::toNativeSeparators(path), why));
}

QString HeadlessLogger::summary(const RecordingSession::Progress& p) const {
    if (options_.trigger) {
        const std::vector<qint64>& rows = watched_.stretchRows();
        if (rows.empty())
            return QStringLiteral("%1 was never true, so no file was made.")
                .arg(options_.trigger->condition);
        QStringList files;
        for (std::size_t i = 0; i < rows.size(); ++i)
            files << QStringLiteral("%1 (%2 samples)")
                         .arg(QDir::toNativeSeparators(watch::stretchPath(options_.file, int(i) + 1)))
                         .arg(rows[i]);
        return QStringLiteral("Recorded %1 %2: %3.")
            .arg(rows.size())
            .arg(rows.size() == 1 ? QStringLiteral("stretch") : QStringLiteral("stretches"),
                 files.join(QStringLiteral(", ")));
    }
    // The rows that reached the file, as the messages count them.
    QString summary = p.taken ? QStringLiteral(
                                    "Recorded %1 samples, but %2 no longer holds them all "
                                    "(see above).")
                                    .arg(p.rows)
                                    .arg(QDir::toNativeSeparators(options_.file))
                      : p.rows > 0
                          ? QStringLiteral("Recorded %1 samples (%2) to %3.")
                                .arg(p.rows)
                                .arg(size(p.bytes), QDir::toNativeSeparators(options_.file))
                          : QStringLiteral("Recorded no sample, so %1 was removed.")
                                .arg(QDir::toNativeSeparators(options_.file));
    if (p.dropped > 0)
        summary +=
            QStringLiteral(" %1 rows could not be written in time and are missing.").arg(p.dropped);
    // A mark said "Marked the next row" when it was made; one whose row never reached the file
    // is owned up to here.
    if (const qint64 lost = session_.marks() - p.marks; lost > 0)
        summary += QStringLiteral(
                       " %1 of the %2 marks made are not in the file: the row they "
                       "were to mark was never written.")
                       .arg(lost)
                       .arg(session_.marks());
    return summary;
}

int runCommandLine(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString program = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    const Request request = parse(arguments);
    if (std::holds_alternative<Help>(request)) {
        std::fputs(helpText(program).toLocal8Bit().constData(), stdout);
        return kDone;
    }
    if (std::holds_alternative<Version>(request)) {
        std::printf("%s %s\n", qPrintable(kProgramName), qPrintable(kProgramVersion));
        return kDone;
    }
    if (const auto* usage = std::get_if<Usage>(&request)) {
        printErr(QStringLiteral("%1: %2\n%3\nTry %1 --help for more.\n")
                     .arg(program, usage->error, usageLine(program)));
        return kBadArguments;
    }
    // A reader of the messages that went away (2>&1 | head -1) must not end the recording:
    // a failed write to stderr is only a lost message.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QCoreApplication app(argc, argv);
    applyApplicationTitle();
    HeadlessLogger logger(std::get<Options>(request));
    return logger.run();
}

}  // namespace ignivex
