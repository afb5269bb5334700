#include "watch/WatchedRecording.h"

#include <QFileInfo>

namespace ignivex::watch {

QString stretchPath(const QString& path, int stretch) {
    const QFileInfo info(path);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    // A name that only begins with a dot (".csv") has no extension to go before.
    const QString numbered = dot > 0 ? QStringLiteral("%1-%2%3")
                                           .arg(name.left(dot))
                                           .arg(stretch)
                                           .arg(name.mid(dot))
                                     : QStringLiteral("%1-%2").arg(name).arg(stretch);
    return path.left(path.size() - name.size()) + numbered;
}

WatchedRecording::WatchedRecording(Acquisition& acquisition, Clock& clock, QObject* parent)
    : QObject(parent), acquisition_(acquisition), clock_(clock), session_(acquisition, clock) {
    connect(&acquisition_, &Acquisition::sampleReady, this, &WatchedRecording::onSample);
    connect(&session_, &RecordingSession::failed, this, [this](const QString& message) {
        stop();
        emit failed(message);
    });
}

WatchedRecording::~WatchedRecording() {
    stop();
}

WatchedRecording::State WatchedRecording::state() const {
    if (session_.active())
        return State::Recording;
    return trigger_ ? State::Armed : State::Stopped;
}

bool WatchedRecording::start(const QString& path, const record::Details& details, Rate rate,
                             bool replace, QString* error) {
    stop();
    if (!session_.startFed(path, details, rate, replace, clock_.now(), error))
        return false;
    plain_ = true;
    stretchRows_ = {0};
    emit stateChanged(State::Recording);
    return true;
}

std::optional<formula::Problem> WatchedRecording::arm(
    const QString& path, DetailsNow details, Rate rate, bool replace,
    const TriggerSettings& trigger, const std::vector<formula::Definition>& channels) {
    stop();
    condition_.setChannels(channels);
    if (auto problem = condition_.add(trigger.condition))
        return problem;
    trigger_ = std::make_unique<StartTrigger>(trigger);
    path_ = path;
    details_ = std::move(details);
    rate_ = rate;
    replace_ = replace;
    stretches_ = 0;
    stretchRows_.clear();
    emit stateChanged(State::Armed);
    return std::nullopt;
}

void WatchedRecording::stop() {
    const State was = state();
    if (session_.active())
        endStretch();
    plain_ = false;
    trigger_.reset();
    if (was != State::Stopped)
        emit stateChanged(State::Stopped);
}

void WatchedRecording::endStretch() {
    const QString path = session_.path();
    session_.stop();
    const qint64 rows = session_.progress().rows;
    if (!stretchRows_.empty())
        stretchRows_.back() = rows;
    emit stretchEnded(path, rows);
}

void WatchedRecording::write(const HeldRow& row) {
    for (const QString& mark : row.marks)
        session_.annotate(mark);
    session_.take(row.sample);
    if (!stretchRows_.empty())
        ++stretchRows_.back();
}

void WatchedRecording::onSample(const Sample& sample) {
    HeldRow row{sample, alarms_.take(sample)};
    if (plain_) {
        write(row);
        return;
    }
    if (!trigger_)
        return;
    const Verdict verdict = condition_.append(sample).front();
    const StartTrigger::Step step = trigger_->take(row, condition_.elapsed(), verdict);
    if (step.ends) {
        endStretch();
        emit stateChanged(State::Armed);
    }
    if (step.starts && !begin(step, sample))
        return;
    if (step.write) {
        if (step.starts)
            row.marks.prepend(QStringLiteral("start: %1").arg(trigger_->settings().condition));
        write(row);
    }
}

bool WatchedRecording::begin(const StartTrigger::Step& step, const Sample& at) {
    const int n = ++stretches_;
    const QString path = stretchPath(path_, n);
    record::Details details = details_();
    const Sample& first = step.begin.empty() ? at : step.begin.front().sample;
    details.started = first.wallClock;
    QString error;
    if (!session_.startFed(path, details, rate_, replace_, first.monotonic, &error)) {
        stop();
        emit refused(path, error);
        return false;
    }
    stretchRows_.push_back(0);
    for (const HeldRow& held : step.begin)
        write(held);
    emit stretchStarted(path, int(step.begin.size()));
    emit stateChanged(State::Recording);
    return true;
}

}  // namespace ignivex::watch
