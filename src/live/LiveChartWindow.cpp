#include "live/LiveChartWindow.h"

#include "acquire/Acquisition.h"
#include "strips/PictureExport.h"
#include "base/AppIdentity.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>

namespace ignivex::chart {

namespace {

QString spanText(double seconds) {
    const int s = int(std::lround(seconds));
    if (s < 60)
        return QStringLiteral("%1 s").arg(s);
    if (s % 60 == 0)
        return QStringLiteral("%1 min").arg(s / 60);
    return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60);
}

}  // namespace

LiveChartWindow::LiveChartWindow(LiveSeries& series, Acquisition& acquisition, MessageBoxes& boxes,
                                 QWidget* parent)
    : QMainWindow(parent, Qt::Window), boxes_(boxes), acquisition_(acquisition), series_(series) {
    setObjectName(QStringLiteral("frmChart"));
    setWindowTitle(QStringLiteral("Chart - Ignivex Log"));
    chart_ = new StripChart(this);
    chart_->setTimeStyle(TimeStyle::TimeOfDay);
    chart_->setPaintOffThread(true);
    chart_->setEmptyText(
        QStringLiteral("No samples yet: the chart follows the real-time view "
                       "(View, View Real Time Data)."));
    chart_->rememberArrangement();
    setCentralWidget(chart_);
    spanLabel_ = new QLabel(this);
    spanLabel_->setObjectName(QStringLiteral("lblSpan"));
    stateLabel_ = new QLabel(this);
    stateLabel_->setObjectName(QStringLiteral("lblState"));
    stateLabel_->setStyleSheet(QStringLiteral("font-weight: bold; padding: 0 8px;"));
    filterBox_ = new QComboBox(this);
    filterBox_->setObjectName(QStringLiteral("cboFilter"));
    filterBox_->setToolTip(QStringLiteral("The strips shade the rows this filter leaves out"));
    filterBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(filterBox_, &QComboBox::activated, this, &LiveChartWindow::chooseFilter);
    formulaNote_ = new QLabel(this);
    formulaNote_->setObjectName(QStringLiteral("lblFormulas"));
    formulaNote_->setWordWrap(true);
    statusBar()->addWidget(formulaNote_, 1);
    buildMenus();
    updateSpanLabel();

    connect(chart_, &StripChart::zoomRequested, this,
            [this](double factor, double) { setSpan(span_ * factor); });
    // Dragging the chart is looking back: the view pauses where it is and moves with the drag.
    connect(chart_, &StripChart::panRequested, this, [this](double seconds) {
        setFollowing(false);
        pan(seconds);
    });
    frames_.setInterval(kFrameMs);
    connect(&frames_, &QTimer::timeout, this, &LiveChartWindow::showFrame);
}

void LiveChartWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* exportAction = file->addAction(QStringLiteral("&Export Picture\u2026"));
    exportAction->setObjectName(QStringLiteral("mnuExportPicture"));
    exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(exportAction, &QAction::triggered, this, [this] {
        ChartScene scene = chart_->scene();
        if (scene.data)
            scene.title = QStringLiteral("Live chart   %1   %2 to %3")
                              .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")),
                                   timeLabel(scene.data.get(), scene.t0, TimeStyle::TimeOfDay, 0),
                                   timeLabel(scene.data.get(), scene.t1, TimeStyle::TimeOfDay, 0));
        exportPicture(this, boxes_, scene, chart_->size(), chart_->devicePixelRatioF(),
                      QStringLiteral("ignivex-chart"));
    });
    file->addSeparator();
    QAction* close = file->addAction(QStringLiteral("&Close"));
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* zoomIn = view->addAction(QStringLiteral("Zoom &In"));
    zoomIn->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::Key_Plus)});
    connect(zoomIn, &QAction::triggered, this, [this] { setSpan(span_ / 2); });
    QAction* zoomOut = view->addAction(QStringLiteral("Zoom &Out"));
    zoomOut->setShortcuts({QKeySequence::ZoomOut, QKeySequence(Qt::Key_Minus)});
    connect(zoomOut, &QAction::triggered, this, [this] { setSpan(span_ * 2); });

    view->addSeparator();
    followAction_ = view->addAction(QStringLiteral("&Pause"));
    followAction_->setObjectName(QStringLiteral("mnuFollow"));
    followAction_->setShortcut(QKeySequence(Qt::Key_Space));
    connect(followAction_, &QAction::triggered, this, [this] { setFollowing(!following_); });
    QAction* back = view->addAction(QStringLiteral("Scroll &Back"));
    back->setShortcut(QKeySequence(Qt::Key_Left));
    connect(back, &QAction::triggered, this, [this] {
        setFollowing(false);
        pan(-span_ / 4);
    });
    QAction* forward = view->addAction(QStringLiteral("Scroll &Forward"));
    forward->setShortcut(QKeySequence(Qt::Key_Right));
    connect(forward, &QAction::triggered, this, [this] { pan(span_ / 4); });
    view->addSeparator();
    chart_->addChannelActions(view);

    QToolBar* bar = addToolBar(QStringLiteral("Span"));
    bar->setMovable(false);
    bar->addAction(followAction_);
    bar->addSeparator();
    bar->addAction(zoomIn);
    bar->addAction(zoomOut);
    bar->addSeparator();
    bar->addWidget(stateLabel_);
    bar->addWidget(spanLabel_);

    QToolBar* filters = addToolBar(QStringLiteral("Filter"));
    filters->setObjectName(QStringLiteral("barFilter"));
    filters->setMovable(false);
    filters->addWidget(new QLabel(QStringLiteral(" Filter: "), filters));
    filters->addWidget(filterBox_);
}

void LiveChartWindow::readFormulas() {
    QSettings settings = userSettings();
    formula::Formulas formulas = formula::loadFormulas(settings);
    if (kept_ && formulas == *kept_)
        return;
    // The filter chosen stays chosen while one of its name is kept.
    const int chosen = filterBox_->currentIndex() - 1;
    const QString active = kept_ && chosen >= 0 && std::size_t(chosen) < kept_->filters.size()
                               ? kept_->filters[std::size_t(chosen)].name
                               : QString();
    if (!kept_ || formulas.channels != kept_->channels)
        channelProblems_ = series_.setChannels(formulas.channels);
    kept_ = std::move(formulas);
    const QSignalBlocker quiet(filterBox_);
    filterBox_->clear();
    filterBox_->addItem(QStringLiteral("none: every row"));
    int index = 0;
    for (std::size_t i = 0; i < kept_->filters.size(); ++i) {
        const formula::Filter& f = kept_->filters[i];
        filterBox_->addItem(f.settleSeconds > 0
                                ? QStringLiteral("%1 (settled %2 s)").arg(f.name).arg(f.settleSeconds)
                                : f.name);
        if (f.name == active)
            index = int(i) + 1;
    }
    filterBox_->setCurrentIndex(index);
    chooseFilter(index);
}

void LiveChartWindow::chooseFilter(int index) {
    std::optional<formula::Filter> filter;
    if (kept_ && index > 0 && std::size_t(index) <= kept_->filters.size())
        filter = kept_->filters[std::size_t(index - 1)];
    QStringList notes;
    if (!channelProblems_.isEmpty())
        notes << QStringLiteral("Left out of the chart, as they cannot be computed: %1")
                     .arg(channelProblems_.join(QStringLiteral("; ")));
    if (const auto problem = series_.setFilter(filter)) {
        notes << QStringLiteral("The filter %1 cannot be applied: %2")
                     .arg(filter->name, *problem);
        const QSignalBlocker quiet(filterBox_);
        filterBox_->setCurrentIndex(0);
    }
    formulaNote_->setText(notes.join(QStringLiteral(". ")));
    formulaNote_->setVisible(!notes.isEmpty());
    dirty_ = true;
    spanChanged_ = true;
}

QString LiveChartWindow::stateText() const {
    if (acquisition_.paused())
        return QStringLiteral("replaying");
    return following_ ? QStringLiteral("following") : QStringLiteral("paused");
}

void LiveChartWindow::updateSpanLabel() {
    const QString state = stateText();
    stateLabel_->setText(state);
    stateLabel_->setStyleSheet(
        state == u"following"
            ? QStringLiteral("font-weight: bold; padding: 0 8px; color: #2e7d32;")
            : QStringLiteral("font-weight: bold; padding: 0 8px; color: #b35c00;"));
    if (state == u"replaying")
        spanLabel_->setText(
            QStringLiteral("A recording plays on the panel: the module is not polled, "
                           "so no samples come meanwhile."));
    else if (following_)
        spanLabel_->setText(
            QStringLiteral("The last %1  (10 s to 10 min: the mouse wheel, + and -)")
                .arg(spanText(span_)));
    else
        spanLabel_->setText(QStringLiteral("%1 up to %2; samples keep arriving. Drag or Left and "
                                           "Right to move, Space to follow again.")
                                .arg(spanText(span_), timeLabel(chart_->data().get(), pausedEnd_,
                                                                TimeStyle::TimeOfDay, 0)));
    followAction_->setText(following_ ? QStringLiteral("&Pause") : QStringLiteral("&Follow"));
}

void LiveChartWindow::setFollowing(bool following) {
    if (following == following_)
        return;
    following_ = following;
    if (!following)
        pausedEnd_ = chart_->data() ? chart_->viewEnd() : series_.latest();
    dirty_ = true;
    spanChanged_ = true;
    updateSpanLabel();
}

double LiveChartWindow::viewEnd() const {
    return following_ ? series_.latest() : pausedEnd_;
}

void LiveChartWindow::pan(double seconds) {
    if (following_)
        return;
    const double earliest =
        series_.earliest() + std::min(span_, series_.latest() - series_.earliest());
    pausedEnd_ = std::clamp(pausedEnd_ + seconds, earliest, std::max(earliest, series_.latest()));
    dirty_ = true;
    spanChanged_ = true;
    updateSpanLabel();
}

void LiveChartWindow::noteSample() {
    dirty_ = dirty_ || following_;
}

void LiveChartWindow::setSpan(double seconds) {
    const double span = std::clamp(seconds, kMinSpan, kMaxSpan);
    if (span == span_)
        return;
    span_ = span;
    updateSpanLabel();
    dirty_ = true;
    spanChanged_ = true;
}

void LiveChartWindow::showFrame() {
    if (stateLabel_->text() != stateText())
        updateSpanLabel();
    // One picture at a time: while the last is being painted, new rows wait for the next frame.
    if (!dirty_ || chart_->rendering())
        return;
    // A new picture when the strips have moved by a pixel, and a few times a second for the
    // values read out; a ten-minute view at the fastest rate moves a pixel in half a second.
    const double end = viewEnd();
    const double perPixel = span_ / std::max(1.0, chart_->plotWidth());
    if (!spanChanged_ && end - shownEnd_ < perPixel && sincePicture_.isValid() &&
        sincePicture_.elapsed() < kReadoutMs)
        return;
    dirty_ = false;
    spanChanged_ = false;
    shownEnd_ = end;
    sincePicture_.start();
    const double start = end - span_;
    chart_->setMapRange(mapRangeLabel(acquisition_.rangeCode()));
    chart_->setDataAndView(series_.snapshot(start), start, end, series_.leftOut(start));
}

void LiveChartWindow::showEvent(QShowEvent* event) {
    readFormulas();
    frames_.start();
    QMainWindow::showEvent(event);
}

void LiveChartWindow::changeEvent(QEvent* event) {
    // Back from the review's dialog, the user finds the channels just applied there.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        readFormulas();
    QMainWindow::changeEvent(event);
}

void LiveChartWindow::closeEvent(QCloseEvent* event) {
    // Closed, the chart paints nothing; the samples are still kept for when it opens again.
    frames_.stop();
    chart_->setDataAndView(nullptr, 0, span_);
    dirty_ = true;
    shownEnd_ = 0;
    sincePicture_.invalidate();
    QMainWindow::closeEvent(event);
}

}  // namespace ignivex::chart
