// The review's menus and play bar, and the commands that are more than a call.
#include "review/ReviewWindow.h"

#include "review/MarkListModel.h"
#include "review/StatisticsPanel.h"
#include "strips/PictureExport.h"
#include "recovery/MessageBoxes.h"

#include <QActionGroup>
#include <QComboBox>
#include <QDockWidget>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

namespace ignivex::chart {

void ReviewWindow::buildMenus() {
    auto action = [](QMenu* menu, const QString& text, const QString& name,
                         const QList<QKeySequence>& keys) {
        QAction* a = menu->addAction(text);
        a->setObjectName(name);
        a->setShortcuts(keys);
        return a;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu_ = file;
    connect(action(file, QStringLiteral("&Open Recording\u2026"),
                   QStringLiteral("mnuOpenRecording"), {QKeySequence::Open}),
            &QAction::triggered, this, [this] {
                const QString path = askRecording(this);
                if (!path.isEmpty())
                    openFile(path);
            });
    connect(
        action(file, QStringLiteral("Open O&verlay\u2026"), QStringLiteral("mnuOpenOverlay"), {}),
        &QAction::triggered, this, [this] {
            if (!state_.recording())
                return;
            const QString path = askRecording(this);
            if (!path.isEmpty())
                openOverlay(path);
        });
    connect(action(file, QStringLiteral("Close Overla&y"), QStringLiteral("mnuCloseOverlay"), {}),
            &QAction::triggered, this, &ReviewWindow::closeOverlay);
    connect(action(file, QStringLiteral("Export &Section\u2026"),
                   QStringLiteral("mnuExportSection"), {}),
            &QAction::triggered, this, &ReviewWindow::exportSection);
    connect(action(file, QStringLiteral("Export for Spread&sheet\u2026"),
                   QStringLiteral("mnuExportWorkbook"), {}),
            &QAction::triggered, this, &ReviewWindow::exportWorkbook);
    connect(action(file, QStringLiteral("&Export Picture\u2026"),
                   QStringLiteral("mnuExportPicture"), {QKeySequence(Qt::CTRL | Qt::Key_E)}),
            &QAction::triggered, this, [this] {
                if (!state_.recording())
                    return;
                const ChartScene scene = pictureScene();
                exportPicture(this, boxes_, scene, chart_->size(), chart_->devicePixelRatioF(),
                              QFileInfo(state_.recording()->path).completeBaseName());
            });
    file->addSeparator();
    connect(
        action(file, QStringLiteral("&Close"), QStringLiteral("mnuClose"), {QKeySequence::Close}),
        &QAction::triggered, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* zoomIn = action(view, QStringLiteral("Zoom &In"), QStringLiteral("mnuZoomIn"),
                             {QKeySequence::ZoomIn, QKeySequence(Qt::Key_Plus)});
    connect(zoomIn, &QAction::triggered, this, [this] {
        zoom(0.5, state_.recording() ? state_.cursor()
                                     : (state_.viewStart() + state_.viewEnd()) / 2);
    });
    QAction* zoomOut = action(view, QStringLiteral("Zoom &Out"), QStringLiteral("mnuZoomOut"),
                              {QKeySequence::ZoomOut, QKeySequence(Qt::Key_Minus)});
    connect(zoomOut, &QAction::triggered, this, [this] {
        zoom(2, state_.recording() ? state_.cursor()
                                   : (state_.viewStart() + state_.viewEnd()) / 2);
    });
    QAction* whole = action(view, QStringLiteral("&Whole Recording"), QStringLiteral("mnuZoomAll"),
                            {QKeySequence(Qt::CTRL | Qt::Key_0)});
    connect(whole, &QAction::triggered, this, &ReviewWindow::zoomAll);
    view->addSeparator();
    chart_->addChannelActions(view);
    view->addSeparator();
    QAction* details = detailsDock_->toggleViewAction();
    details->setText(QStringLiteral("&Details"));
    view->addAction(details);
    view->addSeparator();
    connect(action(view, QStringLiteral("Align Overlay at the S&tart"),
                   QStringLiteral("mnuAlignStart"), {}),
            &QAction::triggered, this, [this] {
                if (state_.recording() && overlay())
                    alignOverlay(overlay()->chart->start(), state_.recording()->chart->start());
            });
    connect(
        action(view, QStringLiteral("Align Overlay at a M&ark\u2026"),
               QStringLiteral("mnuAlignMark"), {}),
        &QAction::triggered, this, &ReviewWindow::alignOverlayAtMark);
    connect(
        action(view, QStringLiteral("S&hift Overlay\u2026"), QStringLiteral("mnuShiftOverlay"), {}),
        &QAction::triggered, this, [this] {
            if (!overlay())
                return;
            bool ok = false;
            const double shift = QInputDialog::getDouble(
                this, QStringLiteral("Shift Overlay"),
                QStringLiteral("%1\nSeconds the overlay starts after this recording's time 0 "
                               "(negative: before):")
                    .arg(QFileInfo(overlay()->path).fileName()),
                overlayShift(), -1e7, 1e7, 3, &ok);
            if (ok)
                setOverlayShift(shift);
        });
    view->addSeparator();
    QAction* marks = marksDock_->toggleViewAction();
    marks->setText(QStringLiteral("Mar&ks"));
    view->addAction(marks);
    QAction* overlays = overlaysDock_->toggleViewAction();
    overlays->setText(QStringLiteral("O&verlays"));
    view->addAction(overlays);
    QAction* statistics = statisticsDock_->toggleViewAction();
    statistics->setText(QStringLiteral("&Statistics"));
    view->addAction(statistics);
    connect(action(view, QStringLiteral("Cursor &B at Cursor A"), QStringLiteral("mnuCursorB"),
                   {QKeySequence(Qt::Key_B)}),
            &QAction::triggered, this, [this] { setCursorB(state_.cursor()); });
    connect(action(view, QStringLiteral("&Clear Cursor B"), QStringLiteral("mnuClearCursorB"),
                   {QKeySequence(Qt::SHIFT | Qt::Key_B)}),
            &QAction::triggered, this, [this] { setCursorB(std::nullopt); });
    connect(action(view, QStringLiteral("Co&py Statistics"), QStringLiteral("mnuCopyStatistics"),
                   {QKeySequence::Copy}),
            &QAction::triggered, statistics_, &StatisticsPanel::copy);
    view->addSeparator();
    viewMenu_ = view;

    QMenu* playMenu = menuBar()->addMenu(QStringLiteral("&Play"));
    playAction_ = action(playMenu, QStringLiteral("&Play"), QStringLiteral("mnuPlay"),
                         {QKeySequence(Qt::Key_Space)});
    connect(playAction_, &QAction::triggered, this, [this] { playing() ? pause() : play(); });
    playMenu->addSeparator();
    speedActions_ = new QActionGroup(this);
    const char* const speedTexts[] = {"Speed x&1", "Speed x&4", "Speed x1&6"};
    for (int i = 0; i < 3; ++i) {
        QAction* a = playMenu->addAction(QString::fromLatin1(speedTexts[i]));
        a->setCheckable(true);
        a->setData(kSpeeds[i]);
        speedActions_->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { setSpeed(kSpeeds[i]); });
    }

    QToolBar* bar = addToolBar(QStringLiteral("Play"));
    bar->setObjectName(QStringLiteral("barPlay"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addAction(playAction_);
    bar->addWidget(speedBox_);
    bar->addSeparator();
    bar->addAction(zoomIn);
    bar->addAction(zoomOut);
    bar->addAction(whole);
    statusBar()->addWidget(position_, 1);
}

void ReviewWindow::alignOverlayAtMark() {
    if (!state_.recording() || !overlay())
        return;
    // Held here: either may be replaced while a list is open.
    const std::shared_ptr<const ChartData> mine = state_.recording()->chart,
                                           theirs = overlay()->chart;
    const auto& own = mine->table;
    const auto& other = theirs->table;
    if (own.userMarks.empty() || other.userMarks.empty()) {
        boxes_.show(
            QStringLiteral("Both recordings need a mark to align at: this one has %1, "
                           "the overlay %2. Align at the start, or shift the overlay "
                           "by a number of seconds.")
                .arg(own.userMarks.size())
                .arg(other.userMarks.size()),
            box::OkOnly + box::Information, QStringLiteral("Align Overlay"));
        return;
    }
    // Lists made as they are shown: a recording may hold a million marks.
    const auto a = askMark(this, QStringLiteral("Align Overlay"),
                           QStringLiteral("The mark of this recording:"), mine);
    if (!a)
        return;
    const auto b =
        askMark(this, QStringLiteral("Align Overlay"),
                QStringLiteral("The mark of the overlay to put there:"), theirs);
    if (!b)
        return;
    alignOverlay(other.elapsed[other.userMarks[std::size_t(*b)].row],
                 own.elapsed[own.userMarks[std::size_t(*a)].row]);
}

}  // namespace ignivex::chart
