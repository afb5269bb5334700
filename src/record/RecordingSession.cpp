#include "record/RecordingSession.h"

#include <QDir>

namespace ignivex {

namespace {
// The rate achieved is counted over this stretch.
constexpr auto kRateWindow = std::chrono::seconds(3);
}  // namespace

RecordingSession::RecordingSession(Acquisition& acquisition, Clock& clock, QObject* parent)
    : QObject(parent), acquisition_(acquisition), clock_(clock) {
    connect(&writer_, &RecordingWriter::failed, this, [this](const QString& message) {
        if (!active_)
            return;
        stop();
        emit failed(message);
    });
    connect(&writer_, &RecordingWriter::rowsDropped, this, &RecordingSession::rowsDropped);
}

RecordingSession::~RecordingSession() {
    stop();
}

bool RecordingSession::start(const QString& path, record::Details details, Rate rate, bool replace,
                             QString* error) {
    stop();
    start_ = clock_.now();
    details.rate = rate.text();
    if (!writer_.open(path, details, start_, replace, error))
        return false;
    rate_ = rate;
    rangeCode_ = details.rangeCode;
    samples_ = 0;
    marks_ = 0;
    pendingMark_.clear();
    pendingMarks_ = 0;
    recent_.clear();
    active_ = true;
    connect(&acquisition_, &Acquisition::sampleReady, this, &RecordingSession::onSample,
            Qt::UniqueConnection);
    return true;
}

void RecordingSession::stop() {
    if (!active_)
        return;
    active_ = false;
    disconnect(&acquisition_, &Acquisition::sampleReady, this, &RecordingSession::onSample);
    writer_.close();
}

void RecordingSession::onSample(const Sample& sample) {
    // A tick that began before the start (Record… chosen while it ran) is not this recording's.
    if (!active_ || sample.monotonic < start_)
        return;
    // The link was brought up again and the module now reports another MAP range: its MAP
    // values are scaled for a range the file's top does not name, so the file ends here.
    if (acquisition_.rangeCode() != rangeCode_) {
        const QString path = writer_.path();
        const auto code = acquisition_.rangeCode();
        stop();
        emit failed(QStringLiteral("The recording to %1 stopped: the module now reports MAP range "
                                   "%2, where the recording began with range %3, and one file "
                                   "holds values of one range. Start a new recording.")
                        .arg(QDir::toNativeSeparators(path))
                        .arg(code)
                        .arg(rangeCode_));
        return;
    }
    writer_.add(sample, pendingMark_, pendingMarks_);
    pendingMark_.clear();
    pendingMarks_ = 0;
    ++samples_;
    recent_.push_back(sample.monotonic);
    while (!recent_.empty() && sample.monotonic - recent_.front() > kRateWindow)
        recent_.pop_front();
}

QString RecordingSession::mark(const QString& note) {
    if (!active_)
        return {};
    ++marks_;
    ++pendingMarks_;
    const QString cleaned = record::noteText(note);
    const QString text = cleaned.isEmpty() ? QStringLiteral("mark %1").arg(marks_) : cleaned;
    // Two marks before the next row: both are kept, in the order made.
    pendingMark_ = pendingMark_.isEmpty() ? text : pendingMark_ + QStringLiteral("; ") + text;
    return text;
}

RecordingSession::Progress RecordingSession::progress() const {
    Progress p;
    const Instant now = clock_.now();
    p.elapsedS = std::chrono::duration<double>(now - start_).count();
    p.samples = samples_;
    // Ticks that started within the last few seconds, over the time between the first and
    // the last of them: stalled polling drops to 0 as its ticks leave the window.
    auto first = recent_.begin();
    while (first != recent_.end() && now - *first > kRateWindow)
        ++first;
    const auto count = std::distance(first, recent_.end());
    if (count >= 2) {
        const double seconds = std::chrono::duration<double>(recent_.back() - *first).count();
        if (seconds > 0)
            p.ratePerS = double(count - 1) / seconds;
    }
    const RecordingWriter::Figures f = writer_.figures();
    p.bytes = f.bytes;
    p.dropped = f.dropped;
    p.rows = f.rows;
    p.marks = f.marks;
    p.taken = f.taken;
    return p;
}

}  // namespace ignivex
