#include "dashboard/DashboardWindow.h"

#include "dashboard/TileGrid.h"
#include "dashboard/TileMenu.h"
#include "acquire/Acquisition.h"
#include "series/LiveSeries.h"
#include "tiles/TileStore.h"
#include "base/AppIdentity.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>
#include <cmath>

namespace ignivex::dash {

namespace {
const QString kNightKey = QStringLiteral("Dashboard/Night");

// A dial's or a bar's scale when the tile names none: the module's usual ranges; a channel
// by formula gets 0 to 100 until the user sets its own.
std::pair<double, double> usualRange(const record::ChannelInfo& c, std::int16_t rangeCode) {
    if (c.onOff())
        return {0, 1};
    if (c.is(Value::Rpm))
        return {0, 8000};
    if (c.is(Value::Advance))
        return {0, 45};
    if (c.is(Value::Map))
        return {0, rangeCode == 1 ? 30.0 : rangeCode == 2 ? 60.0 : 90.0};
    if (c.is(Value::Battery))
        return {8, 18};
    if (c.is(Value::Gpi3Volts))
        return {0, 5};
    return {0, 100};
}

QString clockText(double seconds) {
    const qint64 s = qint64(std::max(0.0, seconds));
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QPushButton* touchButton(const char* name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setFocusPolicy(Qt::NoFocus);  // the keys stay the window's (pages, Esc)
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return b;
}
}  // namespace

DashboardWindow::DashboardWindow(chart::LiveSeries& series, Acquisition& acquisition,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), series_(series), acquisition_(acquisition) {
    setObjectName(QStringLiteral("frmDashboard"));
    setWindowTitle(QStringLiteral("Dashboard - Ignivex Log"));
    setAttribute(Qt::WA_StyledBackground);

    pageLabel_ = new QLabel(this);
    pageLabel_->setObjectName(QStringLiteral("lblPage"));
    recordingLabel_ = new QLabel(this);
    recordingLabel_->setObjectName(QStringLiteral("lblRecording"));
    triggerLabel_ = new QLabel(this);
    triggerLabel_->setObjectName(QStringLiteral("lblTrigger"));
    triggerLabel_->hide();
    noteLabel_ = new QLabel(this);
    noteLabel_->setObjectName(QStringLiteral("lblDashboardNote"));
    noteLabel_->setWordWrap(true);
    noteLabel_->hide();
    alarmStrip_ = new AlarmStrip(this);
    grid_ = new TileGrid(this);
    record_ = touchButton("cmdRecord", QStringLiteral("Record"), this);
    mark_ = touchButton("cmdMark", QStringLiteral("Mark"), this);
    stop_ = touchButton("cmdStop", QStringLiteral("Stop"), this);
    nightButton_ = touchButton("cmdNight", QStringLiteral("Night"), this);
    tilesButton_ = touchButton("cmdTiles", QStringLiteral("Tiles"), this);
    fullButton_ = touchButton("cmdFullScreen", QStringLiteral("Full Screen"), this);

    auto* top = new QHBoxLayout;
    top->addWidget(pageLabel_, 1);
    top->addWidget(triggerLabel_);
    top->addSpacing(24);
    top->addWidget(recordingLabel_);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {record_, mark_, stop_, nightButton_, tilesButton_, fullButton_})
        buttons->addWidget(b);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 4, 6, 6);
    column->setSpacing(4);
    column->addLayout(top);
    column->addWidget(alarmStrip_);
    column->addWidget(noteLabel_);
    column->addWidget(grid_, 1);
    column->addLayout(buttons);

    connect(record_, &QPushButton::clicked, this, &DashboardWindow::recordClicked);
    connect(mark_, &QPushButton::clicked, this, &DashboardWindow::markClicked);
    connect(stop_, &QPushButton::clicked, this, &DashboardWindow::stopClicked);
    connect(nightButton_, &QPushButton::clicked, this, [this] { setNight(!night_); });
    connect(fullButton_, &QPushButton::clicked, this,
            [this] { isFullScreen() ? showNormal() : showFullScreen(); });
    connect(grid_, &TileGrid::swiped, this, [this](int direction) {
        showPage((page_ + direction + layout_.pageCount()) % layout_.pageCount());
    });
    auto context = [this] {
        return MenuContext{layout_, page_, channels_,
                           [this](const tiles::TileLayout& l) { setArrangement(l); }, this};
    };
    connect(tilesButton_, &QPushButton::clicked, this, [this, context] {
        QMenu menu(this);
        fillPageMenu(menu, context());
        menu.exec(tilesButton_->mapToGlobal(QPoint(0, 0)));
    });
    connect(grid_, &TileGrid::menuAsked, this, [this, context](QPoint at, int c, int r) {
        QMenu menu(this);
        if (const auto index = layout_.tileAt(page_, c, r))
            fillTileMenu(menu, context(), *index);
        else
            fillCellMenu(menu, context(), c, r);
        menu.addSeparator();
        fillPageMenu(*menu.addMenu(QStringLiteral("&Page")), context());
        menu.exec(at);
    });
    flash_.setInterval(kFlashMs);
    connect(&flash_, &QTimer::timeout, this, &DashboardWindow::flash);

    QSettings settings = userSettings();
    tiles::LayoutRead read = tiles::loadLayout(settings);
    layout_ = std::move(read.layout);
    layoutProblems_ = read.problems;
    night_ = settings.value(kNightKey).toBool();
    readFormulas();
    setRecording(false);
    applyColours();
    buildPage();
}

void DashboardWindow::readFormulas() {
    QSettings settings = userSettings();
    formula::Formulas formulas = formula::loadFormulas(settings);
    if (kept_ && formulas.channels == kept_->channels && !channels_.empty())
        return;
    // The live chart reads the same settings into the same series: set only when they differ,
    // which would work the channels out again.
    if (formulas.channels != series_.channels())
        channelProblems_ = series_.setChannels(formulas.channels);
    kept_ = std::move(formulas);
    const auto snapshot = series_.snapshot(series_.latest());
    channels_.clear();
    for (record::ChannelId c = 0; c < snapshot->table.channelCount(); ++c)
        channels_.push_back(snapshot->table.channel(c));
    buildPage();
}

const record::ChannelInfo* DashboardWindow::channelNamed(const QString& column) const {
    for (const record::ChannelInfo& c : channels_) {
        if (c.column == column)
            return &c;
    }
    return nullptr;
}

TileFace DashboardWindow::faceOf(const tiles::Tile& tile) const {
    TileFace f;
    f.kind = tile.kind;
    if (const record::ChannelInfo* c = channelNamed(tile.channel)) {
        f.name = c->name;
        f.unit = c->unit;
        f.colour = QColor::fromRgb(QRgb(c->rgb));
        f.decimals = c->shownDecimals;
        const auto [low, high] = usualRange(*c, acquisition_.rangeCode());
        f.low = tile.low.value_or(low);
        f.high = tile.high.value_or(high);
    } else {
        // A channel by formula that is no longer kept: the tile stays, saying so.
        f.name = QStringLiteral("%1: no such channel").arg(tile.channel);
        f.known = false;
        f.low = tile.low.value_or(0);
        f.high = tile.high.value_or(100);
    }
    return f;
}

void DashboardWindow::buildPage() {
    page_ = std::clamp(page_, 0, layout_.pageCount() - 1);
    // Let go of later, not at once: a page is often turned from within an event of one of its
    // own tiles (a swipe that ends on it, its menu), which must not be deleted under it.
    for (TileWidget* w : shown_) {
        w->hide();
        w->deleteLater();
    }
    shown_.clear();
    grid_->setGrid(layout_.columns(), layout_.rows());
    const Colours colours = night_ ? Colours::night() : Colours::day();
    anyComputed_ = false;
    int n = 0;
    for (const tiles::Tile& t : layout_.page(page_).tiles) {
        auto* w = new TileWidget(grid_);
        w->setObjectName(QStringLiteral("tile%1").arg(++n));
        w->setColours(colours);
        w->setFace(faceOf(t));
        grid_->place(w, t);
        w->show();
        shown_.push_back(w);
        const record::ChannelInfo* c = channelNamed(t.channel);
        anyComputed_ = anyComputed_ || (c && c->source == record::ChannelSource::Computed);
    }
    pageLabel_->setText(QStringLiteral("%1    %2 / %3")
                            .arg(layout_.page(page_).name)
                            .arg(page_ + 1)
                            .arg(layout_.pageCount()));
    QStringList notes = layoutProblems_;
    if (!channelProblems_.isEmpty())
        notes << QStringLiteral("Channels by formula that cannot be computed: %1")
                     .arg(channelProblems_.join(QStringLiteral("; ")));
    noteLabel_->setText(notes.join(QLatin1Char(' ')));
    noteLabel_->setVisible(!notes.isEmpty());
    refreshAlarms();
    refreshValues();
}

void DashboardWindow::showPage(int page) {
    if (page < 0 || page >= layout_.pageCount() || page == page_)
        return;
    page_ = page;
    buildPage();
}

void DashboardWindow::setArrangement(const tiles::TileLayout& layout) {
    layout_ = layout;
    layoutProblems_.clear();
    QSettings settings = userSettings();
    tiles::saveLayout(settings, layout_);
    buildPage();
}

void DashboardWindow::noteSample() {
    if (isVisible())
        refreshValues();
}

void DashboardWindow::refreshValues() {
    if (shown_.empty())
        return;
    // A channel by formula is worked out by the series for the rows since the last look.
    std::shared_ptr<const chart::ChartData> snapshot;
    if (anyComputed_)
        snapshot = series_.snapshot(series_.latest());
    const record::Table& rows = snapshot ? snapshot->table : series_.table();
    const auto& tiles = layout_.page(page_).tiles;
    for (std::size_t i = 0; i < shown_.size() && i < tiles.size(); ++i) {
        std::optional<double> value;
        if (const auto id = rows.channelNamed(tiles[i].channel); id && !rows.empty()) {
            const float v = rows.column(*id).back();
            if (!std::isnan(v))
                value = record::asWritten(v, rows.channel(*id));
        }
        shown_[i]->setValue(value);
    }
}

void DashboardWindow::setNight(bool night) {
    if (night == night_)
        return;
    night_ = night;
    QSettings settings = userSettings();
    settings.setValue(kNightKey, night_);
    settings.sync();
    applyColours();
}

void DashboardWindow::applyColours() {
    const Colours c = night_ ? Colours::night() : Colours::day();
    for (TileWidget* w : shown_)
        w->setColours(c);
    alarmStrip_->setColours(c);
    nightButton_->setText(night_ ? QStringLiteral("Day") : QStringLiteral("Night"));
    setStyleSheet(QStringLiteral(
                      "QWidget#frmDashboard { background: %1; }"
                      "QLabel { color: %2; }"
                      "QLabel#lblDashboardNote { color: %3; }"
                      "QPushButton { background: %4; color: %2; border: 2px solid %5; "
                      "border-radius: 8px; padding: 2px 10px; }"
                      "QPushButton:pressed { background: %6; }"
                      "QPushButton:disabled { color: %3; border-color: %6; }")
                      .arg(c.window.name(), c.text.name(), c.dim.name(), c.tile.name(),
                           c.frame.name(), c.track.name()));
    setRecording(recording_, elapsed_);
}

void DashboardWindow::setRecording(bool recording, double elapsedSeconds) {
    recording_ = recording;
    elapsed_ = elapsedSeconds;
    recordingLabel_->setText(recordingText());
    const Colours c = night_ ? Colours::night() : Colours::day();
    recordingLabel_->setStyleSheet(
        recording ? QStringLiteral("color: %1; font-weight: bold;").arg(c.alarm.name())
                  : QString());
    record_->setEnabled(!recording);
    mark_->setEnabled(recording);
    stop_->setEnabled(recording);
}

QString DashboardWindow::recordingText() const {
    return recording_ ? QStringLiteral("\u25cf REC  %1").arg(clockText(elapsed_))
                      : QStringLiteral("not recording");
}

void DashboardWindow::setTriggerState(TriggerState state) {
    trigger_ = state;
    triggerLabel_->setText(triggerText());
    triggerLabel_->setVisible(state != TriggerState::Off);
}

QString DashboardWindow::triggerText() const {
    switch (trigger_) {
    case TriggerState::Off:
        return {};
    case TriggerState::Armed:
        return QStringLiteral("trigger: armed");
    case TriggerState::Recording:
        return QStringLiteral("trigger: recording");
    case TriggerState::Stopped:
        return QStringLiteral("trigger: stopped");
    }
    return {};
}

void DashboardWindow::showAlarm(int id, const QString& channel, const QString& text, bool firing) {
    alarms_[id] = {channel, text, firing};
    refreshAlarms();
}

QStringList DashboardWindow::firingAlarms() const {
    QStringList out;
    for (const auto& [id, a] : alarms_) {
        if (a.firing)
            out << a.text;
    }
    return out;
}

void DashboardWindow::refreshAlarms() {
    const QStringList firing = firingAlarms();
    alarmStrip_->setAlarms(firing);
    const auto& tiles = layout_.page(page_).tiles;
    for (std::size_t i = 0; i < shown_.size() && i < tiles.size(); ++i) {
        QStringList texts;
        for (const auto& [id, a] : alarms_) {
            if (a.firing && a.channel == tiles[i].channel)
                texts << a.text;
        }
        shown_[i]->setAlarm(texts.join(QStringLiteral("; ")), !texts.isEmpty());
    }
    // Flashing by a timer while any fires; steady (lit) once none does.
    if (firing.isEmpty()) {
        flash_.stop();
        flashOn_ = true;
    } else if (!flash_.isActive()) {
        flash_.start();
    }
    alarmStrip_->setFlashOn(flashOn_);
    for (TileWidget* w : shown_)
        w->setFlashOn(flashOn_);
}

void DashboardWindow::flash() {
    flashOn_ = !flashOn_;
    alarmStrip_->setFlashOn(flashOn_);
    for (TileWidget* w : shown_)
        w->setFlashOn(flashOn_);
}

QString DashboardWindow::problems() const {
    return noteLabel_->isVisible() ? noteLabel_->text() : QString();
}

void DashboardWindow::keyPressEvent(QKeyEvent* event) {
    const int pages = layout_.pageCount();
    switch (event->key()) {
    case Qt::Key_PageDown:
    case Qt::Key_Right:
        showPage((page_ + 1) % pages);
        return;
    case Qt::Key_PageUp:
    case Qt::Key_Left:
        showPage((page_ + pages - 1) % pages);
        return;
    case Qt::Key_Escape:
        if (isFullScreen())
            showNormal();
        return;
    case Qt::Key_F11:
        isFullScreen() ? showNormal() : showFullScreen();
        return;
    default:
        break;
    }
    if (event->key() >= Qt::Key_1 && event->key() <= Qt::Key_9) {
        showPage(event->key() - Qt::Key_1);
        return;
    }
    QWidget::keyPressEvent(event);
}

void DashboardWindow::resizeEvent(QResizeEvent* event) {
    // Type and buttons follow the window's height: a finger's width on a small screen, no
    // larger than needed on a large one.
    const int h = height();
    QFont f = font();
    f.setPixelSize(std::clamp(h / 26, 14, 42));
    for (QLabel* l : {pageLabel_, recordingLabel_, triggerLabel_})
        l->setFont(f);
    QFont small = f;
    small.setPixelSize(std::clamp(h / 40, 11, 24));
    noteLabel_->setFont(small);
    alarmStrip_->setFixedHeight(std::clamp(h / 14, 28, 80));
    QFont buttonFont = f;
    buttonFont.setBold(true);
    const int buttonHeight = std::clamp(h / 9, 48, 110);
    for (QPushButton* b : {record_, mark_, stop_, nightButton_, tilesButton_, fullButton_}) {
        b->setFont(buttonFont);
        b->setFixedHeight(buttonHeight);
    }
    QWidget::resizeEvent(event);
}

void DashboardWindow::showEvent(QShowEvent* event) {
    readFormulas();
    refreshValues();
    QWidget::showEvent(event);
}

void DashboardWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        readFormulas();
    if (event->type() == QEvent::WindowStateChange)
        fullButton_->setText(isFullScreen() ? QStringLiteral("Window") : QStringLiteral("Full Screen"));
    QWidget::changeEvent(event);
}

}  // namespace ignivex::dash
