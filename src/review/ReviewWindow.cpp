#include "review/ReviewWindow.h"

#include "review/RecentRecordings.h"
#include "review/StatisticsPanel.h"
#include "analysis/Section.h"
#include "review/WorkbookExport.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QInputDialog>
#include <QProgressDialog>
#include <QtConcurrent>

#include "strips/ChartSettings.h"
#include "review/MarkListModel.h"
#include "replay/PanelReplay.h"
#include "strips/PictureExport.h"
#include "record/RecordFormat.h"
#include "recovery/MessageBoxes.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <array>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace ignivex::chart {

namespace {

constexpr int kSpeeds[] = {1, 4, 16};

QString fileNameOf(const QString& path) {
    return QFileInfo(path).fileName();
}

}  // namespace

ReviewWindow::ReviewWindow(PanelReplay& replay, MessageBoxes& boxes, Clock& clock, QWidget* parent)
    : QMainWindow(parent, Qt::Window), replay_(replay), boxes_(boxes), clock_(clock) {
    setObjectName(QStringLiteral("frmReview"));
    setWindowTitle(QStringLiteral("Review - Ignivex Log"));

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    note_ = new QLabel(central);
    note_->setObjectName(QStringLiteral("lblNote"));
    note_->setWordWrap(true);
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    note_->setStyleSheet(QStringLiteral("background: #fff4c2; color: #3a3000; padding: 6px;"));
    note_->hide();
    chart_ = new StripChart(central);
    chart_->setTimeStyle(TimeStyle::Elapsed);
    chart_->rememberArrangement();
    buildLoadBar();
    column->addWidget(note_);
    column->addWidget(chart_, 1);
    column->addWidget(loadBar_);
    setCentralWidget(central);

    details_ = new QTreeWidget(this);
    details_->setObjectName(QStringLiteral("lstDetails"));
    details_->setColumnCount(2);
    details_->setHeaderLabels({QStringLiteral("Detail"), QStringLiteral("Value")});
    details_->setRootIsDecorated(false);
    details_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    details_->setMinimumWidth(340);
    detailsDock_ = new QDockWidget(QStringLiteral("Details"), this);
    detailsDock_->setObjectName(QStringLiteral("dockDetails"));
    detailsDock_->setWidget(details_);
    addDockWidget(Qt::RightDockWidgetArea, detailsDock_);
    statistics_ = new StatisticsPanel(this);
    statisticsDock_ = new QDockWidget(QStringLiteral("Statistics"), this);
    statisticsDock_->setObjectName(QStringLiteral("dockStatistics"));
    statisticsDock_->setWidget(statistics_);
    addDockWidget(Qt::RightDockWidgetArea, statisticsDock_);
    markModel_ = new MarkListModel(this);
    marks_ = new QListView(this);
    marks_->setObjectName(QStringLiteral("lstMarks"));
    // Rows of one height: the list lays out a million marks without measuring each.
    marks_->setUniformItemSizes(true);
    marks_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    marks_->setModel(markModel_);
    connect(marks_, &QListView::activated, this,
            [this](const QModelIndex& index) { goToMark(index.row()); });
    marksDock_ = new QDockWidget(QStringLiteral("Marks"), this);
    marksDock_->setObjectName(QStringLiteral("dockMarks"));
    marksDock_->setWidget(marks_);
    addDockWidget(Qt::RightDockWidgetArea, marksDock_);
    // Beside the details as tabs of their own, wide enough for the table.
    tabifyDockWidget(detailsDock_, statisticsDock_);
    tabifyDockWidget(statisticsDock_, marksDock_);
    detailsDock_->raise();
    resizeDocks({detailsDock_}, {statistics_->sizeHint().width()}, Qt::Horizontal);
    // A pass over every row: done once the cursors and the view have come to rest.
    statisticsDue_.setSingleShot(true);
    statisticsDue_.setInterval(150);
    connect(&statisticsDue_, &QTimer::timeout, this, &ReviewWindow::refreshStatistics);

    position_ = new QLabel(this);
    position_->setObjectName(QStringLiteral("lblPosition"));
    speedBox_ = new QComboBox(this);
    speedBox_->setObjectName(QStringLiteral("cboSpeed"));
    for (int s : kSpeeds)
        speedBox_->addItem(QStringLiteral("x%1").arg(s), s);
    buildMenus();

    connect(speedBox_, &QComboBox::activated, this,
            [this](int index) { setSpeed(speedBox_->itemData(index).toInt()); });
    connect(chart_, &StripChart::cursorRequested, this, &ReviewWindow::setCursor);
    connect(chart_, &StripChart::cursorBRequested, this, [this](double t) { setCursorB(t); });
    connect(chart_, &StripChart::overlayShiftRequested, this,
            [this](double seconds) { setOverlayShift(overlayShift_ + seconds); });
    connect(&overlayLoader_, &RecordingLoader::loaded, this,
            [this](std::shared_ptr<const LoadedRecording> overlay) {
                overlay_ = std::move(overlay);
                if (recording_)
                    alignOverlay(overlay_->chart->start(), recording_->chart->start());
                statusBar()->showMessage(QStringLiteral("Overlaid %1 (dashed). Ctrl+drag moves it.")
                                             .arg(QFileInfo(overlay_->path).fileName()),
                                         8000);
            });
    connect(&overlayLoader_, &RecordingLoader::failed, this, [this](const QString& message) {
        boxes_.show(message, box::OkOnly + box::Exclamation, QStringLiteral("Open Overlay"));
    });
    connect(chart_, &StripChart::panRequested, this,
            [this](double dt) { setView(chart_->viewStart() + dt, chart_->viewEnd() + dt); });
    connect(chart_, &StripChart::zoomRequested, this, &ReviewWindow::zoom);
    connect(&loader_, &RecordingLoader::progress, progress_, &QProgressBar::setValue);
    connect(&loader_, &RecordingLoader::loaded, this, &ReviewWindow::showRecording);
    connect(&loader_, &RecordingLoader::failed, this, [this](const QString& message) {
        loadEnded();
        boxes_.show(message, box::OkOnly + box::Exclamation, kOpenTitle);
        if (!recording_)
            close();
    });
    connect(&loader_, &RecordingLoader::cancelled, this, [this] {
        loadEnded();
        if (!recording_)
            close();
    });
    connect(&replay_, &PanelReplay::ended, this, &ReviewWindow::pause);
    frames_.setInterval(kFrameMs);
    frames_.setTimerType(Qt::PreciseTimer);
    connect(&frames_, &QTimer::timeout, this, &ReviewWindow::playFrame);
    resize(1100, 720);
    updateState();
}

void ReviewWindow::buildLoadBar() {
    loadBar_ = new QWidget(this);
    loadBar_->setObjectName(QStringLiteral("loadBar"));
    auto* row = new QHBoxLayout(loadBar_);
    loadLabel_ = new QLabel(loadBar_);
    progress_ = new QProgressBar(loadBar_);
    progress_->setObjectName(QStringLiteral("prgLoad"));
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), loadBar_);
    cancel->setObjectName(QStringLiteral("cmdCancelLoad"));
    connect(cancel, &QPushButton::clicked, &loader_, &RecordingLoader::cancel);
    row->addWidget(loadLabel_);
    row->addWidget(progress_, 1);
    row->addWidget(cancel);
    loadBar_->hide();
}

void ReviewWindow::buildMenus() {
    auto action = [](QMenu* menu, const QString& text, const QString& name,
                         const QList<QKeySequence>& keys) {
        QAction* a = menu->addAction(text);
        a->setObjectName(name);
        a->setShortcuts(keys);
        return a;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
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
            if (!recording_)
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
                if (!recording_)
                    return;
                const ChartScene scene = pictureScene();
                exportPicture(this, boxes_, scene, chart_->size(), chart_->devicePixelRatioF(),
                              QFileInfo(recording_->path).completeBaseName());
            });
    file->addSeparator();
    connect(
        action(file, QStringLiteral("&Close"), QStringLiteral("mnuClose"), {QKeySequence::Close}),
        &QAction::triggered, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* zoomIn = action(view, QStringLiteral("Zoom &In"), QStringLiteral("mnuZoomIn"),
                             {QKeySequence::ZoomIn, QKeySequence(Qt::Key_Plus)});
    connect(zoomIn, &QAction::triggered, this, [this] {
        zoom(0.5, chart_->cursorTime().value_or((chart_->viewStart() + chart_->viewEnd()) / 2));
    });
    QAction* zoomOut = action(view, QStringLiteral("Zoom &Out"), QStringLiteral("mnuZoomOut"),
                              {QKeySequence::ZoomOut, QKeySequence(Qt::Key_Minus)});
    connect(zoomOut, &QAction::triggered, this, [this] {
        zoom(2, chart_->cursorTime().value_or((chart_->viewStart() + chart_->viewEnd()) / 2));
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
                if (recording_ && overlay_)
                    alignOverlay(overlay_->chart->start(), recording_->chart->start());
            });
    connect(
        action(view, QStringLiteral("Align Overlay at a M&ark\u2026"),
               QStringLiteral("mnuAlignMark"), {}),
        &QAction::triggered, this, [this] {
            if (!recording_ || !overlay_)
                return;
            // Held here: either may be replaced while a list is open.
            const std::shared_ptr<const ChartData> mine = recording_->chart, theirs = overlay_->chart;
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
        });
    connect(
        action(view, QStringLiteral("S&hift Overlay\u2026"), QStringLiteral("mnuShiftOverlay"), {}),
        &QAction::triggered, this, [this] {
            if (!overlay_)
                return;
            bool ok = false;
            const double shift = QInputDialog::getDouble(
                this, QStringLiteral("Shift Overlay"),
                QStringLiteral(
                    "Seconds the overlay starts after this recording's time 0 (negative: before):"),
                overlayShift_, -1e7, 1e7, 3, &ok);
            if (ok)
                setOverlayShift(shift);
        });
    view->addSeparator();
    QAction* marks = marksDock_->toggleViewAction();
    marks->setText(QStringLiteral("Mar&ks"));
    view->addAction(marks);
    QAction* statistics = statisticsDock_->toggleViewAction();
    statistics->setText(QStringLiteral("&Statistics"));
    view->addAction(statistics);
    connect(action(view, QStringLiteral("Cursor &B at Cursor A"), QStringLiteral("mnuCursorB"),
                   {QKeySequence(Qt::Key_B)}),
            &QAction::triggered, this, [this] { setCursorB(cursor_); });
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

QString ReviewWindow::askRecording(QWidget* parent) {
    const QString path =
        QFileDialog::getOpenFileName(parent, kOpenTitle, settings::recordingFolder(),
                                     QStringLiteral("Recordings (*.csv);;All files (*)"));
    if (!path.isEmpty())
        settings::setRecordingFolder(QFileInfo(path).absolutePath());
    return path;
}

void ReviewWindow::openFile(const QString& path) {
    pause();
    loadingPath_ = path;
    loadLabel_->setText(QStringLiteral("Reading %1\u2026").arg(fileNameOf(path)));
    progress_->setValue(0);
    loadBar_->show();
    if (!recording_)
        setWindowTitle(QStringLiteral("%1 - Review - Ignivex Log").arg(fileNameOf(path)));
    loader_.start(path);
}

void ReviewWindow::loadEnded() {
    loadBar_->hide();
    if (recording_)
        setWindowTitle(
            QStringLiteral("%1 - Review - Ignivex Log").arg(fileNameOf(recording_->path)));
}

void ReviewWindow::showRecording(std::shared_ptr<const LoadedRecording> recording) {
    recording_ = std::move(recording);
    cursorB_.reset();
    chart_->setCursorBTime(std::nullopt);
    markModel_->setData(recording_->chart);
    if (overlay_)
        alignOverlay(overlay_->chart->start(), recording_->chart->start());
    loadEnded();
    recent_recordings::add(recording_->path);
    const ChartData& data = *recording_->chart;
    chart_->setMapRange(mapRangeLabel(record::rangeCodeOf(recording_->details).value_or(0)));
    chart_->setData(recording_->chart);
    note_->setText(QStringLiteral("Not all of the file was read.\n") + recording_->note);
    note_->setVisible(!recording_->note.isEmpty());
    showDetails();
    shownRow_ = std::size_t(-1);
    zoomAll();
    cursor_ = data.start();
    chart_->setCursorTime(cursor_);
    if (replay_.active()) {
        replay_.begin(record::rangeCodeOf(recording_->details));
        replay_.showRow(data, 0);
        shownRow_ = 0;
    }
    updateState();
}

void ReviewWindow::addChannel(record::ChannelInfo channel, std::vector<float> values) {
    if (!recording_)
        return;
    auto next = std::make_shared<LoadedRecording>(*recording_);
    next->chart = withChannel(*recording_->chart, std::move(channel), std::move(values));
    recording_ = std::move(next);
    markModel_->setData(recording_->chart);
    chart_->setData(recording_->chart);
    refreshStatistics();
    updateState();
}

void ReviewWindow::showDetails() {
    details_->clear();
    const ChartData& data = *recording_->chart;
    auto add = [this](const QString& key, const QString& value) {
        auto* item = new QTreeWidgetItem(details_, {key, value});
        item->setToolTip(1, value);
    };
    add(QStringLiteral("file"), QDir::toNativeSeparators(recording_->path));
    add(QStringLiteral("rows"), QString::number(data.table.size()));
    add(QStringLiteral("length"),
        timeLabel(&data, data.end() - data.start(), TimeStyle::Elapsed, 3));
    for (const auto& [key, value] : recording_->details)
        add(key, value);
    // Every status counted on its own, in the order of the file format.
    std::array<qint64, Sample::kEndCount> counts{};
    for (const Mark& m : data.marks)
        ++counts[std::min<std::size_t>(m.status, counts.size() - 1)];
    add(QStringLiteral("rows not ok"), QString::number(data.marks.size()));
    for (int s = 1; s < Sample::kEndCount; ++s)
        add(QStringLiteral("  ") + record::statusText(Sample::End(s)),
            QString::number(counts[std::size_t(s)]));
    add(QStringLiteral("gaps in time"), QString::number(data.gaps.size()));
    if (!recording_->note.isEmpty())
        add(QStringLiteral("not read"), recording_->note);
}

void ReviewWindow::setCursor(double t) {
    if (!recording_)
        return;
    const ChartData& data = *recording_->chart;
    cursor_ = std::clamp(t, data.start(), data.end());
    chart_->setCursorTime(cursor_);
    // While playing, the view pages on so the cursor stays in sight.
    const double span = chart_->viewEnd() - chart_->viewStart();
    if (cursor_ > chart_->viewEnd() || cursor_ < chart_->viewStart())
        setView(cursor_ - span * 0.05, cursor_ + span * 0.95);
    const std::size_t row = data.rowAt(cursor_);
    statisticsDue_.start();
    if (replay_.active() && row != shownRow_) {
        replay_.showRow(data, row);
        shownRow_ = row;
    }
    updateState();
}

void ReviewWindow::stepRows(int rows) {
    if (!recording_)
        return;
    const ChartData& data = *recording_->chart;
    const auto row = std::int64_t(data.rowAt(cursor_)) + rows;
    setCursor(data.table.elapsed[std::size_t(
        std::clamp<std::int64_t>(row, 0, std::int64_t(data.table.size()) - 1))]);
}

void ReviewWindow::play() {
    if (!recording_ || playing())
        return;
    const ChartData& data = *recording_->chart;
    if (!replay_.active()) {
        if (const QString why = replay_.refusal(); !why.isEmpty()) {
            boxes_.show(why, box::OkOnly + box::Exclamation, QStringLiteral("Play"));
            return;
        }
        replay_.begin(record::rangeCodeOf(recording_->details));
        shownRow_ = std::size_t(-1);
    }
    if (cursor_ >= data.end())
        cursor_ = data.start();
    lastFrame_ = clock_.now();
    frames_.start();
    setCursor(cursor_);
}

void ReviewWindow::pause() {
    frames_.stop();
    updateState();
}

void ReviewWindow::setSpeed(int speed) {
    speed_ = speed;
    updateState();
}

void ReviewWindow::playFrame() {
    if (!recording_)
        return pause();
    const Instant now = clock_.now();
    const double passed = std::chrono::duration<double>(now - lastFrame_).count();
    lastFrame_ = now;
    const double end = recording_->chart->end();
    setCursor(cursor_ + passed * speed_);
    if (cursor_ >= end)
        pause();
}

void ReviewWindow::setView(double t0, double t1) {
    if (!recording_)
        return;
    const ChartData& data = *recording_->chart;
    const double whole = std::max(data.end() - data.start(), kMinSpan);
    const double span = std::clamp(t1 - t0, std::min(kMinSpan, whole), whole);
    const double start = std::clamp(t0, data.start(), data.start() + whole - span);
    chart_->setView(start, start + span);
    statisticsDue_.start();
}

void ReviewWindow::openOverlay(const QString& path) {
    if (!recording_ || overlayLoader_.running())
        return;
    overlayLoader_.start(path);
}

void ReviewWindow::alignOverlay(double overlayTime, double at) {
    setOverlayShift(at - overlayTime);
}

void ReviewWindow::setOverlayShift(double shift) {
    if (!overlay_ || !std::isfinite(shift))
        return;
    overlayShift_ = shift;
    chart_->setOverlay(overlay_->chart, overlayShift_);
}

void ReviewWindow::closeOverlay() {
    overlay_.reset();
    overlayShift_ = 0;
    chart_->setOverlay(nullptr, 0);
}

ChartScene ReviewWindow::pictureScene() const {
    if (!recording_)
        return chart_->scene();
    ChartScene scene = chart_->scene();
    const ChartData& data = *recording_->chart;
    const QDateTime started = QDateTime::fromMSecsSinceEpoch(
        data.table.wallMs.front(), Qt::OffsetFromUTC, data.table.utcOffsetSeconds);
    scene.title = QStringLiteral("%1   %2   %3 to %4")
                      .arg(QFileInfo(recording_->path).fileName(),
                           started.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                           timeLabel(&data, scene.t0, TimeStyle::Elapsed, 1),
                           timeLabel(&data, scene.t1, TimeStyle::Elapsed, 1));
    if (overlay_) {
        scene.runName = QFileInfo(recording_->path).fileName();
        scene.overlayName = QStringLiteral("%1 (overlay, moved %2 s)")
                                .arg(QFileInfo(overlay_->path).fileName(),
                                     QString::asprintf("%+.3f", overlayShift_));
    }
    return scene;
}

QAbstractItemModel* ReviewWindow::markList() const {
    return markModel_;
}

void ReviewWindow::goToMark(int index) {
    if (const auto t = markModel_->timeOf(index))
        setCursor(*t);
}

void ReviewWindow::setCursorB(std::optional<double> t) {
    if (!recording_)
        return;
    const ChartData& data = *recording_->chart;
    cursorB_ = t ? std::optional<double>(std::clamp(*t, data.start(), data.end())) : std::nullopt;
    chart_->setCursorBTime(cursorB_);
    if (cursorB_)
        statisticsDock_->raise();
    statisticsDue_.start();
}

std::pair<double, double> ReviewWindow::statisticsSpan() const {
    if (cursorB_)
        return {std::min(cursor_, *cursorB_), std::max(cursor_, *cursorB_)};
    return {chart_->viewStart(), chart_->viewEnd()};
}

void ReviewWindow::exportSection() {
    if (!recording_)
        return;
    const auto [from, to] = statisticsSpan();
    const QFileInfo source(recording_->path);
    const QString suggested =
        source.dir().filePath(QStringLiteral("%1-%2-%3.csv")
                                  .arg(source.completeBaseName(), QString::number(from, 'f', 0),
                                       QString::number(to, 'f', 0)));
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Export Section"), suggested, QStringLiteral("Recordings (*.csv)"));
    if (path.isEmpty())
        return;
    // The dialog asked before an existing file is replaced; the section is written whole first.
    QString error;
    const auto rows = analysis::writeSection(recording_->path, path, {from, to}, &error);
    if (!rows) {
        boxes_.show(error + QStringLiteral(" Choose another file or folder, or another span."),
                    box::OkOnly + box::Exclamation, QStringLiteral("Export Section"));
        return;
    }
    statusBar()->showMessage(
        QStringLiteral("%1 rows written to %2.").arg(*rows).arg(QDir::toNativeSeparators(path)),
        8000);
}

void ReviewWindow::exportWorkbook() {
    if (!recording_)
        return;
    const QString title = QStringLiteral("Export for Spreadsheet");
    auto between = [](double a, double b) {
        return QStringLiteral("%1 s to %2 s").arg(a, 0, 'f', 3).arg(b, 0, 'f', 3);
    };
    QStringList choices = {
        QStringLiteral("The whole recording"),
        QStringLiteral("The view, %1").arg(between(chart_->viewStart(), chart_->viewEnd()))};
    if (cursorB_)
        choices << QStringLiteral("Between the cursors, %1")
                       .arg(between(statisticsSpan().first, statisticsSpan().second));
    bool ok = false;
    const QString choice = QInputDialog::getItem(this, title, QStringLiteral("Rows to export:"),
                                                 choices, cursorB_ ? 2 : 0, false, &ok);
    if (!ok)
        return;
    analysis::Span span;
    if (choice == choices.value(1))
        span = {chart_->viewStart(), chart_->viewEnd()};
    else if (choice == choices.value(2))
        span = {statisticsSpan().first, statisticsSpan().second};
    const QFileInfo source(recording_->path);
    const QString path = QFileDialog::getSaveFileName(
        this, title, source.dir().filePath(source.completeBaseName() + QStringLiteral(".xlsx")),
        QStringLiteral("Workbooks (*.xlsx)"));
    if (path.isEmpty())
        return;

    const std::shared_ptr<const LoadedRecording> recording = recording_;
    const std::optional<workbook::Written> written = exportWithProgress(
        this, boxes_, path,
        [recording, span, path](const workbook::Options& options, QString* error) {
            return workbook::write({recording->chart->table, recording->details, recording->path},
                                   span, path, options, error);
        });
    if (!written)
        return;
    statusBar()->showMessage(QStringLiteral("%1 rows written to %2.")
                                 .arg(written->rows)
                                 .arg(QDir::toNativeSeparators(path)),
                             8000);
}

void ReviewWindow::refreshStatistics() {
    statisticsDue_.stop();
    if (!recording_) {
        statistics_->clear();
        return;
    }
    const auto [from, to] = statisticsSpan();
    statistics_->showFigures(*recording_->chart, cursor_, cursorB_, from, to);
}

void ReviewWindow::zoom(double factor, double anchor) {
    const double t0 = chart_->viewStart(), t1 = chart_->viewEnd();
    const double span = t1 - t0;
    const double wanted = span * factor;
    setView(anchor - (anchor - t0) * wanted / span, anchor + (t1 - anchor) * wanted / span);
}

void ReviewWindow::zoomAll() {
    if (!recording_)
        return;
    const ChartData& data = *recording_->chart;
    setView(data.start(), data.start() + std::max(data.end() - data.start(), kMinSpan));
}

QString ReviewWindow::positionText(int decimals) const {
    if (!recording_)
        return {};
    const ChartData& data = *recording_->chart;
    return timeLabel(&data, cursor_, TimeStyle::Elapsed, decimals) + QStringLiteral(" / ") +
           timeLabel(&data, data.end(), TimeStyle::Elapsed, decimals);
}

void ReviewWindow::updateState() {
    const bool on = playing();
    playAction_->setText(on ? QStringLiteral("&Pause") : QStringLiteral("&Play"));
    playAction_->setIcon(style()->standardIcon(on ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    playAction_->setEnabled(recording_ != nullptr);
    for (QAction* a : speedActions_->actions())
        a->setChecked(a->data().toInt() == speed_);
    speedBox_->setCurrentIndex(speedBox_->findData(speed_));
    if (!recording_) {
        position_->clear();
        return;
    }
    const ChartData& data = *recording_->chart;
    const std::size_t row = data.rowAt(cursor_);
    const QDateTime wall = QDateTime::fromMSecsSinceEpoch(data.table.wallMs[row], Qt::OffsetFromUTC,
                                                          data.table.utcOffsetSeconds);
    position_->setText(QStringLiteral("Cursor %1    row %2 of %3    %4")
                           .arg(positionText(3))
                           .arg(row + 1)
                           .arg(data.table.size())
                           .arg(wall.toString(QStringLiteral("HH:mm:ss.zzz"))));
    if (replay_.active())
        replay_.setState(fileNameOf(recording_->path), on, speed_, positionText(1));
}

void ReviewWindow::closeEvent(QCloseEvent* event) {
    // Closed, the review lets go of the panel and of the recording's memory.
    {
        const QSignalBlocker quiet(&loader_);
        loader_.cancel();
        const QSignalBlocker quietToo(&overlayLoader_);
        overlayLoader_.cancel();
    }
    closeOverlay();
    loadBar_->hide();
    frames_.stop();
    replay_.end();
    recording_.reset();
    markModel_->setData(nullptr);
    chart_->setData(nullptr);
    details_->clear();
    note_->hide();
#ifdef __GLIBC__
    // The allocator keeps freed pages for later; a review of a big file is not that later.
    ::malloc_trim(0);
#endif
    QMainWindow::closeEvent(event);
}

void ReviewWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
        stepRows(-1);
        return;
    case Qt::Key_Right:
        stepRows(1);
        return;
    case Qt::Key_Home:
        if (recording_)
            setCursor(recording_->chart->start());
        return;
    case Qt::Key_End:
        if (recording_)
            setCursor(recording_->chart->end());
        return;
    default:
        QMainWindow::keyPressEvent(event);
    }
}

}  // namespace ignivex::chart
