#include "review/SpanChoice.h"

#include <QJsonObject>

#include "series/ReviewState.h"

#include <limits>

#include "strips/StripPainter.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>

namespace ignivex::chart {

SpanChoice::SpanChoice(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    kind_ = new QComboBox(this);
    kind_->setObjectName(QStringLiteral("cboSpan"));
    kind_->addItem(QStringLiteral("Whole recording"), Whole);
    kind_->addItem(QStringLiteral("View"), View);
    kind_->addItem(QStringLiteral("From\u2026 to\u2026"), Between);
    kind_->addItem(QStringLiteral("Cursors A to B"), Cursors);
    kind_->setToolTip(
        QStringLiteral("The rows the figures cover: all of them, those in the "
                       "review's view (followed as it moves), or a span of your own"));
    auto spin = [this](const char* name) {
        auto* box = new QDoubleSpinBox(this);
        box->setObjectName(QLatin1String(name));
        box->setDecimals(3);
        box->setSuffix(QStringLiteral(" s"));
        box->setKeyboardTracking(false);
        connect(box, &QDoubleSpinBox::valueChanged, this, &SpanChoice::changed);
        return box;
    };
    fromLabel_ = new QLabel(QStringLiteral("&From"), this);
    from_ = spin("spnFrom");
    fromLabel_->setBuddy(from_);
    toLabel_ = new QLabel(QStringLiteral("&To"), this);
    to_ = spin("spnTo");
    toLabel_->setBuddy(to_);
    for (QLabel* label : {fromLabel_, toLabel_})
        label->setMinimumWidth(label->sizeHint().width() + 4);
    from_->setToolTip(QStringLiteral("Seconds since the start of the recording"));
    to_->setToolTip(from_->toolTip());
    row->addWidget(kind_);
    row->addWidget(fromLabel_);
    row->addWidget(from_);
    row->addWidget(toLabel_);
    row->addWidget(to_);
    connect(kind_, &QComboBox::currentIndexChanged, this, &SpanChoice::kindChosen);
    kindChosen();
}

void SpanChoice::setLimits(double start, double end) {
    const QSignalBlocker quietFrom(from_), quietTo(to_);
    for (QDoubleSpinBox* box : {from_, to_})
        box->setRange(start, end);
    from_->setValue(start);
    to_->setValue(end);
}

void SpanChoice::setView(double t0, double t1) {
    if (t0 == viewFrom_ && t1 == viewTo_)
        return;
    viewFrom_ = t0;
    viewTo_ = t1;
    if (kind() == View)
        emit changed();
}

void SpanChoice::setCursors(std::optional<std::pair<double, double>> ab) {
    if (ab && ab->first > ab->second)
        ab = std::pair{ab->second, ab->first};
    if (ab == cursors_)
        return;
    cursors_ = ab;
    if (kind() == Cursors)
        emit changed();
}

void SpanChoice::setKind(Kind kind) {
    kind_->setCurrentIndex(kind_->findData(kind));
}

void SpanChoice::setBetween(double from, double to) {
    {
        const QSignalBlocker quietFrom(from_), quietTo(to_), quietKind(kind_);
        from_->setValue(from);
        to_->setValue(to);
        kind_->setCurrentIndex(kind_->findData(Between));
    }
    kindChosen();
}

SpanChoice::Kind SpanChoice::kind() const {
    return Kind(kind_->currentData().toInt());
}

analysis::Span SpanChoice::span() const {
    switch (kind()) {
    case View:
        return {viewFrom_, viewTo_, passing_};
    case Between:
        return {from_->value(), to_->value(), passing_};
    case Cursors:
        // Without cursor B nothing lies between them.
        return cursors_ ? analysis::Span{cursors_->first, cursors_->second, passing_}
                        : analysis::Span{1, 0, nullptr};
    default:
        return {-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                passing_};
    }
}

void SpanChoice::follow(ReviewState& review) {
    for (auto& c : followed_)
        disconnect(c);
    ReviewState* r = &review;
    auto cursors = [this, r] {
        const auto b = r->recording() ? r->cursorB() : std::nullopt;
        setCursors(b ? std::optional<std::pair<double, double>>({r->cursor(), *b}) : std::nullopt);
    };
    auto filter = [this, r] { setFilter(r->passing(), r->activeFilterName()); };
    followed_[0] = connect(r, &ReviewState::viewChanged, this, &SpanChoice::setView);
    followed_[1] = connect(r, &ReviewState::cursorChanged, this, cursors);
    followed_[2] = connect(r, &ReviewState::cursorBChanged, this, cursors);
    followed_[3] = connect(r, &ReviewState::filterChanged, this, filter);
    followed_[4] = connect(r, &ReviewState::recordingChanged, this, cursors);
    filter();
    cursors();
    setView(r->viewStart(), r->viewEnd());
}

void SpanChoice::setFilter(std::shared_ptr<const analysis::RowsPassing> passing,
                           const QString& name) {
    if (passing == passing_ && name == filterName_)
        return;
    passing_ = std::move(passing);
    filterName_ = passing_ ? name : QString();
    emit changed();
}

QString SpanChoice::problem() const {
    if (kind() == Cursors && !cursors_)
        return QStringLiteral(
            "Cursor B is not placed: in the review, choose View, Cursor B at "
            "Cursor A (B), then move cursor A to the other end.");
    if (span().from > span().to)
        return QStringLiteral("From is later than To: no row lies between them.");
    return {};
}

QString SpanChoice::text(const ChartData* data) const {
    const QString through =
        filterName_.isEmpty() ? QString() : QStringLiteral(", through “%1”").arg(filterName_);
    return spanText(data) + through;
}

QString SpanChoice::spanText(const ChartData* data) const {
    const analysis::Span s = span();
    const QString between = QStringLiteral("%1 to %2")
                                .arg(timeLabel(data, s.from, TimeStyle::Elapsed, 1),
                                     timeLabel(data, s.to, TimeStyle::Elapsed, 1));
    switch (kind()) {
    case View:
        return QStringLiteral("view ") + between;
    case Between:
        return between;
    case Cursors:
        return QStringLiteral("cursors ") + between;
    default:
        return QStringLiteral("whole recording");
    }
}

void SpanChoice::kindChosen() {
    const bool between = kind() == Between;
    // From and To start as the view, so a span is picked by narrowing what is in sight.
    if (between && from_->value() == from_->minimum() && to_->value() == to_->maximum() &&
        viewTo_ > viewFrom_) {
        const QSignalBlocker quietFrom(from_), quietTo(to_);
        from_->setValue(viewFrom_);
        to_->setValue(viewTo_);
    }
    for (QWidget* w : {static_cast<QWidget*>(fromLabel_), static_cast<QWidget*>(from_),
                       static_cast<QWidget*>(toLabel_), static_cast<QWidget*>(to_)})
        w->setVisible(between);
    emit changed();
}

namespace {
const QStringList kKindNames = {QStringLiteral("whole"), QStringLiteral("view"),
                                QStringLiteral("between"), QStringLiteral("cursors")};
}

QJsonObject SpanChoice::choices() const {
    QJsonObject out{{QStringLiteral("span"), kKindNames.value(int(kind()))}};
    if (kind() == Between) {
        out.insert(QStringLiteral("from_s"), from_->value());
        out.insert(QStringLiteral("to_s"), to_->value());
    }
    return out;
}

void SpanChoice::applyChoices(const QJsonObject& choices) {
    const int kind = int(kKindNames.indexOf(choices.value(QStringLiteral("span")).toString()));
    if (kind == Between)
        setBetween(choices.value(QStringLiteral("from_s")).toDouble(from_->value()),
                   choices.value(QStringLiteral("to_s")).toDouble(to_->value()));
    else if (kind >= 0)
        setKind(Kind(kind));
}

}  // namespace ignivex::chart
