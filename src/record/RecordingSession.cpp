#include "record/RecordingSession.h"

#include <QDir>
#include <QStringList>
#include <utility>

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
    // Passed on from the writer's thread as it comes: a publisher queues it for its own.
    connect(&writer_, &RecordingWriter::rowsWritten, this, &RecordingSession::rowsWritten,
            Qt::DirectConnection);
}

RecordingSession::~RecordingSession() {
    stop();
}

bool RecordingSession::start(const QString& path, record::Details details, Rate rate, bool replace,
                             QString* error) {
    if (!startFed(path, std::move(details), rate, replace, clock_.now(), error))
        return false;
    fed_ = false;
    connect(&acquisition_, &Acquisition::sampleReady, this, &RecordingSession::onSample,
            Qt::UniqueConnection);
    return true;
}

bool RecordingSession::startFed(const QString& path, record::Details details, Rate rate,
                                bool replace, Instant from, QString* error) {
    stop();
    start_ = from;
    details.rate = rate.text();
    if (!writer_.open(path, details, start_, replace, error))
        return false;
    rate_ = rate;
    rangeCode_ = details.rangeCode;
    samples_ = 0;
    marks_ = 0;
    pendingMark_.clear();
    pendingMarks_ = 0;
    noteWait_.reset();
    lapsedNote_ = 0;
    recent_.clear();
    active_ = true;
    fed_ = true;
    return true;
}

void RecordingSession::stop() {
    if (!active_)
        return;
    if (noteWait_)
        releaseHeld(QStringLiteral("mark %1").arg(noteWait_->number));
    active_ = false;
    if (!fed_)
        disconnect(&acquisition_, &Acquisition::sampleReady, this, &RecordingSession::onSample);
    writer_.close();
}

void RecordingSession::annotate(const QString& text) {
    if (active_ && !text.isEmpty())
        pendingMark_ = pendingMark_.isEmpty() ? text : pendingMark_ + QStringLiteral("; ") + text;
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
    if (noteWait_) {
        noteWait_->rows.push_back({sample, {pendingMark_, pendingMarks_}});
        pendingMark_.clear();
        pendingMarks_ = 0;
        // The note takes too long: the rows go to the file with the mark as it is.
        if (sample.monotonic - noteWait_->asked > kNoteWait) {
            lapsedNote_ = noteWait_->number;
            releaseHeld(QStringLiteral("mark %1").arg(lapsedNote_));
        }
    } else {
        write(sample, pendingMark_, pendingMarks_);
        pendingMark_.clear();
        pendingMarks_ = 0;
    }
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

namespace {
QString joined(const QStringList& marks) {
    QStringList made = marks;
    made.removeAll(QString());
    return made.join(QStringLiteral("; "));
}
}  // namespace

int RecordingSession::markAwaitingNote() {
    if (!active_)
        return 0;
    if (noteWait_)
        releaseHeld(QStringLiteral("mark %1").arg(noteWait_->number));
    ++marks_;
    noteWait_ = NoteWait{marks_, clock_.now(), {pendingMark_, pendingMarks_}, {}};
    pendingMark_.clear();
    pendingMarks_ = 0;
    lapsedNote_ = 0;
    return marks_;
}

QString RecordingSession::giveNote(const std::optional<QString>& note) {
    if (!active_)
        return {};
    const QString typed = note ? record::noteText(*note) : QString();
    if (!noteWait_) {
        // The rows went to the file with "mark N" when the wait ran out: the note follows it.
        if (!lapsedNote_ || typed.isEmpty())
            return {};
        const int number = std::exchange(lapsedNote_, 0);
        const QString text = QStringLiteral("note to mark %1: %2").arg(number).arg(typed);
        pendingMark_ = joined({pendingMark_, text});
        ++pendingMarks_;
        return text;
    }
    QString text;
    if (note)
        text = typed.isEmpty() ? QStringLiteral("mark %1").arg(noteWait_->number) : typed;
    else if (noteWait_->number == marks_)
        --marks_;  // cancelled: its number is free again
    releaseHeld(text);
    return text;
}

void RecordingSession::releaseHeld(const QString& text) {
    NoteWait wait = std::move(*noteWait_);
    noteWait_.reset();
    const int made = wait.before.count + (text.isEmpty() ? 0 : 1);
    if (wait.rows.empty()) {
        pendingMark_ = joined({wait.before.text, text, pendingMark_});
        pendingMarks_ += made;
        return;
    }
    HeldRow& first = wait.rows.front();
    first.marks = {joined({wait.before.text, text, first.marks.text}), made + first.marks.count};
    for (const HeldRow& row : wait.rows)
        write(row.sample, row.marks.text, row.marks.count);
}

void RecordingSession::write(const Sample& sample, const QString& marks, int count) {
    writer_.add(sample, marks, count);
    if (!marks.isEmpty())
        emit rowMarked(sample, marks);
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
