#include "chart/LiveChartWindow.h"

#include "acquire/Acquisition.h"
#include "chart/PictureExport.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
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

LiveChartWindow::LiveChartWindow(Acquisition& acquisition, MessageBoxes& boxes, QWidget* parent)
    : QMainWindow(parent, Qt::Window), boxes_(boxes) {
    setObjectName(QStringLiteral("frmChart"));
    setWindowTitle(QStringLiteral("Chart - Ignivex Log"));
    chart_ = new StripChart(this);
    chart_->setTimeStyle(TimeStyle::TimeOfDay);
    chart_->setPaintOffThread(true);
    chart_->setEmptyText(QStringLiteral("No samples yet: the chart follows the real-time view "
                                        "(View, View Real Time Data)."));
    setCentralWidget(chart_);
    spanLabel_ = new QLabel(this);
    spanLabel_->setObjectName(QStringLiteral("lblSpan"));
    buildMenus();
    updateSpanLabel();

    connect(&acquisition, &Acquisition::sampleReady, this, &LiveChartWindow::addSample);
    connect(chart_, &StripChart::zoomRequested, this,
            [this](double factor, double) { setSpan(span_ * factor); });
    frames_.setInterval(kFrameMs);
    connect(&frames_, &QTimer::timeout, this, &LiveChartWindow::showFrame);
}

void LiveChartWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* exportAction = file->addAction(QStringLiteral("&Export Picture\u2026"));
    exportAction->setObjectName(QStringLiteral("mnuExportPicture"));
    exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(exportAction, &QAction::triggered, this, [this] {
        exportPicture(this, boxes_, chart_->scene(), chart_->size(), chart_->devicePixelRatioF(),
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

    QToolBar* bar = addToolBar(QStringLiteral("Span"));
    bar->setMovable(false);
    bar->addAction(zoomIn);
    bar->addAction(zoomOut);
    bar->addSeparator();
    bar->addWidget(spanLabel_);
}

void LiveChartWindow::updateSpanLabel() {
    spanLabel_->setText(QStringLiteral("  The last %1  (10 s to 10 min: the mouse wheel, + and -)")
                            .arg(spanText(span_)));
}

void LiveChartWindow::addSample(const Sample& sample) {
    if (!isVisible())
        return;
    series_.append(sample);
    dirty_ = true;
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
    // One picture at a time: while the last is being painted, new rows wait for the next frame.
    if (!dirty_ || chart_->rendering())
        return;
    // A new picture when the strips have moved by a pixel, and a few times a second for the
    // values read out; a ten-minute view at the fastest rate moves a pixel in half a second.
    const double end = series_.latest();
    const double perPixel = span_ / std::max(1.0, chart_->plotWidth());
    if (!spanChanged_ && end - shownEnd_ < perPixel && sincePicture_.isValid() &&
        sincePicture_.elapsed() < kReadoutMs)
        return;
    dirty_ = false;
    spanChanged_ = false;
    shownEnd_ = end;
    sincePicture_.start();
    const double start = end - span_;
    chart_->setDataAndView(series_.snapshot(start), start, end);
}

void LiveChartWindow::showEvent(QShowEvent* event) {
    frames_.start();
    QMainWindow::showEvent(event);
}

void LiveChartWindow::closeEvent(QCloseEvent* event) {
    // Closed, the chart keeps nothing and costs nothing; opened again, it starts afresh.
    frames_.stop();
    series_.clear();
    chart_->setDataAndView(nullptr, 0, span_);
    dirty_ = false;
    shownEnd_ = 0;
    sincePicture_.invalidate();
    QMainWindow::closeEvent(event);
}

}  // namespace ignivex::chart
