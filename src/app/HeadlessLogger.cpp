#include "app/HeadlessLogger.h"

#include "link/ModuleLine.h"
#include "link/PortMapper.h"
#include "link/PortSettings.h"
#include "base/AppIdentity.h"
#include "recovery/CommError.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

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

// SIGINT and SIGTERM arrive here and go on as a byte into the event loop.
int signalPipe[2] = {-1, -1};

#ifndef Q_OS_WIN
void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
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
      boxes_([this](const QString& line) { say(line); }, [this] { return deviceMissing(); }),
      port_(clock_),
      link_(port_, clock_, boxes_, state_),
      events_(port_, boxes_, state_),
      acquisition_(link_, clock_, boxes_, state_),
      session_(acquisition_, clock_) {
    terminal_ = ::isatty(STDERR_FILENO) == 1;
    // Without a view, "closing the view" is letting the link go until it is brought back.
    auto lose = [this] {
        state_.viewActive = false;
        link_.closePortIfOpen();
    };
    connect(&link_, &ModuleLink::closeViewRequested, this, lose);
    connect(&acquisition_, &Acquisition::closeViewRequested, this, lose);
    connect(&session_, &RecordingSession::failed, this, [this](const QString& message) {
        say(message);
        requestStop(kInterrupted);
    });
    connect(&session_, &RecordingSession::rowsDropped, this, [this] {
        say(QStringLiteral("The disk is too slow: rows are being lost (counted at the end)."));
    });
    connect(&poll_, &QTimer::timeout, this, &HeadlessLogger::step);
    progress_.setInterval(1000);
    connect(&progress_, &QTimer::timeout, this, &HeadlessLogger::showProgress);
}

HeadlessLogger::~HeadlessLogger() {
    session_.stop();
    if (signalPipe[0] >= 0) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }
}

QString HeadlessLogger::deviceText() const {
    return QStringLiteral("Com%1 (%2)").arg(portNumber_).arg(port_mapper::deviceFor(portNumber_).shown);
}

bool HeadlessLogger::deviceMissing() const {
    return !port_mapper::deviceFor(portNumber_).exists;
}

void HeadlessLogger::say(const QString& line) {
    QString text;
    if (progressShown_)
        text += QStringLiteral("\r\033[K");
    progressShown_ = false;
    text += QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz ")) + line.simplified() + QLatin1Char('\n');
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
        link = QStringLiteral("waiting for %1").arg(port_mapper::deviceFor(portNumber_).shown);
        break;
    }
    printErr(QStringLiteral("\r\033[K%1 samples  %2/s  %3  %4")
                 .arg(p.samples)
                 .arg(p.ratePerS, 0, 'f', 1)
                 .arg(size(p.bytes), link));
    progressShown_ = true;
}

void HeadlessLogger::watchSignals() {
#ifdef Q_OS_WIN
    win_console::watchStopRequests(this, [this] { requestStop(kDone); });
#else
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    signals_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    connect(signals_.get(), &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        requestStop(kDone);
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
#endif
}

int HeadlessLogger::run() {
    // The file first: an existing one is refused before anything goes over the link.
    const QFileInfo file(options_.file);
    if (file.exists() && !options_.force) {
        say(QStringLiteral("%1 already exists. Give another file, or --force to replace it.")
                .arg(QDir::toNativeSeparators(options_.file)));
        return kFileNotWritten;
    }

    // The port: the one given, else the one chosen last in the window.
    if (!options_.device.isEmpty()) {
        portNumber_ = 1;
        port_mapper::setDevice(portNumber_, options_.device);
    } else if (options_.portNumber > 0) {
        portNumber_ = options_.portNumber;
    } else {
        try {
            portNumber_ = port_settings::toPortNumber(port_settings::readStored());
        } catch (const CommError& error) {
            say(error.description() + QStringLiteral(" Give the port with --port."));
            return kPortNotOpened;
        }
        if (portNumber_ < 1 || portNumber_ > 255) {
            say(QStringLiteral("The stored port number %1 names no port. Give the port with "
                               "--port.").arg(portNumber_));
            return kPortNotOpened;
        }
    }
    link_.portNumber = static_cast<std::int16_t>(portNumber_);
    configureModuleLine(port_);
    try {
        port_.setCommPort(portNumber_);
        port_.setPortOpen(true);
    } catch (const CommError& error) {
        say(error.description());
        return kPortNotOpened;
    }

    watchSignals();
    state_.mapRangeCode = 1;
    const Acquisition::Opening opening = acquisition_.openLink();
    lastOpening_ = clock_.now();

    record::Details details;
    details.tool = kProgramName + QLatin1Char(' ') + kProgramVersion;
    details.port = options_.device.isEmpty() ? deviceText() : options_.device;
    details.firmwareId = state_.firmwareId;
    details.status = opening.status;
    details.statusRead = opening.statusRead;
    details.rangeCode = opening.rangeCode;
    details.started = QDateTime::currentDateTime();
    QString error;
    if (!session_.start(options_.file, details, options_.rate, options_.force, &error)) {
        say(error);
        link_.closePortIfOpen();
        return kFileNotWritten;
    }
    say(QStringLiteral("Recording %1 from %2 to %3%4.")
            .arg(options_.rate.text(), details.port, QDir::toNativeSeparators(options_.file),
                 options_.durationS ? QStringLiteral(" for %1 s").arg(*options_.durationS)
                                    : QStringLiteral(" until Ctrl+C")));

    state_.viewActive = true;
    state_.commErrorCount = 0;
    poll_.start(options_.rate.intervalMs());
    if (terminal_)
        progress_.start();
    if (options_.durationS)
        QTimer::singleShot(qint64(*options_.durationS * 1000.0), Qt::PreciseTimer, this,
                           [this] { requestStop(kDone); });
    if (stopping_)  // a signal during the opening
        finish(exitCode_);
    else
        QCoreApplication::exec();
    return exitCode_;
}

void HeadlessLogger::step() {
    // The waits of the link let timers run: a step that comes in the middle of another (or of
    // an exchange) does nothing, so two exchanges never cross.
    if (finished_ || inStep_ || acquisition_.busy())
        return;
    inStep_ = true;
    if (!stopping_) {
        if (state_.viewActive) {
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
            say(QStringLiteral("%1 is gone; waiting for it to come back (looked for once a second).")
                    .arg(deviceText()));
        linkState_ = Link::Waiting;
        return;
    }
    if (clock_.now() - lastOpening_ < std::chrono::seconds(1))
        return;
    if (linkState_ == Link::Waiting)
        say(QStringLiteral("%1 is back; bringing the link into step.").arg(deviceText()));
    linkState_ = Link::Lost;
    acquisition_.openLink();
    lastOpening_ = clock_.now();
    state_.viewActive = true;
    state_.commErrorCount = 0;
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
    const RecordingSession::Progress p = session_.progress();
    session_.stop();
    try {
        link_.closePortIfOpen();
    } catch (const CommError&) {
    }
    QString summary = QStringLiteral("Recorded %1 samples (%2) to %3.")
                          .arg(p.samples)
                          .arg(size(p.bytes), QDir::toNativeSeparators(options_.file));
    if (p.dropped > 0)
        summary += QStringLiteral(" %1 rows could not be written in time and are missing.").arg(p.dropped);
    say(summary);
    QCoreApplication::exit(code);
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
    QCoreApplication app(argc, argv);
    applyApplicationTitle();
    HeadlessLogger logger(std::get<Options>(request));
    return logger.run();
}

}  // namespace ignivex
