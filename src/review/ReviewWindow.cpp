#include "review/ReviewWindow.h"

#include "review/RecentRecordings.h"
#include "review/OverlaysPanel.h"
#include "review/StatisticsPanel.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QInputDialog>
#include <QProgressDialog>
#include <QtConcurrent>

#include "strips/ChartSettings.h"
#include "strips/OverlayStyle.h"
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
    overlays_ = new OverlaysPanel(state_, this);
    overlaysDock_ = new QDockWidget(QStringLiteral("Overlays"), this);
    overlaysDock_->setObjectName(QStringLiteral("dockOverlays"));
    overlaysDock_->setWidget(overlays_);
    addDockWidget(Qt::RightDockWidgetArea, overlaysDock_);
    connect(overlays_, &OverlaysPanel::openRequested, this, [this] {
        const QString path = askRecording(this);
        if (!path.isEmpty())
            openOverlay(path);
    });
    connect(overlays_, &OverlaysPanel::alignRequested, this, &ReviewWindow::alignOverlayAtMark);
    connect(overlays_, &OverlaysPanel::closeRequested, this, &ReviewWindow::closeOverlay);
    // Beside the details as tabs of their own, wide enough for the table.
    tabifyDockWidget(detailsDock_, statisticsDock_);
    tabifyDockWidget(statisticsDock_, marksDock_);
    tabifyDockWidget(marksDock_, overlaysDock_);
    detailsDock_->raise();
    resizeDocks({detailsDock_}, {statistics_->sizeHint().width()}, Qt::Horizontal);
    statistics_->follow(state_);

    position_ = new QLabel(this);
    position_->setObjectName(QStringLiteral("lblPosition"));
    speedBox_ = new QComboBox(this);
    speedBox_->setObjectName(QStringLiteral("cboSpeed"));
    for (int s : kSpeeds)
        speedBox_->addItem(QStringLiteral("x%1").arg(s), s);
    buildMenus();

    connect(speedBox_, &QComboBox::activated, this,
            [this](int index) { setSpeed(speedBox_->itemData(index).toInt()); });
    // The strips show the state; what the user does on them goes to the state.
    connect(&state_, &ReviewState::recordingChanged, this, &ReviewWindow::showRecording);
    connect(&state_, &ReviewState::channelsChanged, this, [this] {
        if (!state_.recording())
            return;
        markModel_->setData(state_.recording()->chart);
        showMapLabel();
        chart_->setData(state_.recording()->chart);
    });
    auto shadeLeftOut = [this] {
        auto out = std::make_shared<const std::vector<Gap>>(state_.leftOut());
        chart_->setLeftOut(out->empty() && !state_.passing() ? nullptr : out);
    };
    connect(&state_, &ReviewState::filterChanged, this, shadeLeftOut);
    connect(&state_, &ReviewState::recordingChanged, this, shadeLeftOut);
    connect(&state_, &ReviewState::cursorChanged, this, &ReviewWindow::cursorMoved);
    connect(&state_, &ReviewState::cursorBChanged, this, [this] {
        chart_->setCursorBTime(state_.cursorB());
        if (state_.cursorB())
            statisticsDock_->raise();
    });
    connect(&state_, &ReviewState::viewChanged, chart_, &StripChart::setView);
    connect(&state_, &ReviewState::overlayChanged, this, [this] {
        std::vector<SceneOverlay> overlays;
        for (int i = 0; i < state_.overlayCount(); ++i)
            overlays.push_back({state_.overlay(i)->chart, state_.overlayShift(i), {}});
        chart_->setOverlays(std::move(overlays));
    });
    connect(&state_, &ReviewState::speedChanged, this, &ReviewWindow::updateState);
    connect(&state_, &ReviewState::playingChanged, this, &ReviewWindow::playingChanged);
    connect(chart_, &StripChart::cursorRequested, &state_, &ReviewState::setCursor);
    connect(chart_, &StripChart::cursorBRequested, this, [this](double t) { setCursorB(t); });
    connect(chart_, &StripChart::overlayShiftRequested, this,
            [this](double seconds) { state_.setOverlayShift(state_.overlayShift() + seconds); });
    connect(&overlayLoader_, &RecordingLoader::loaded, this,
            [this](std::shared_ptr<const LoadedRecording> overlay) {
                const QString name = QFileInfo(overlay->path).fileName();
                // Aligned at the starts.
                const auto& recording = state_.recording();
                const double shift =
                    recording ? recording->chart->start() - overlay->chart->start() : 0.0;
                if (!state_.addOverlay(std::move(overlay), shift))
                    return;
                overlaysDock_->raise();
                statusBar()->showMessage(
                    QStringLiteral("Overlaid %1 (%2). Ctrl+drag moves it.")
                        .arg(name, QLatin1String(overlayStyle(state_.currentOverlay()).name)),
                    8000);
            });
    connect(&overlayLoader_, &RecordingLoader::failed, this, [this](const QString& message) {
        boxes_.show(message, box::OkOnly + box::Exclamation, QStringLiteral("Open Overlay"));
        emit overlayFailed(message);
    });
    connect(chart_, &StripChart::panRequested, this,
            [this](double dt) { setView(state_.viewStart() + dt, state_.viewEnd() + dt); });
    connect(chart_, &StripChart::zoomRequested, this, &ReviewWindow::zoom);
    connect(&loader_, &RecordingLoader::progress, progress_, &QProgressBar::setValue);
    connect(&loader_, &RecordingLoader::loaded, &state_, &ReviewState::setRecording);
    connect(&loader_, &RecordingLoader::failed, this, [this](const QString& message) {
        loadEnded();
        boxes_.show(message, box::OkOnly + box::Exclamation, kOpenTitle);
        if (!state_.recording())
            close();
    });
    connect(&loader_, &RecordingLoader::cancelled, this, [this] {
        loadEnded();
        if (!state_.recording())
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
    if (!state_.recording())
        setWindowTitle(QStringLiteral("%1 - Review - Ignivex Log").arg(fileNameOf(path)));
    loader_.start(path);
}

void ReviewWindow::loadEnded() {
    loadBar_->hide();
    if (state_.recording())
        setWindowTitle(
            QStringLiteral("%1 - Review - Ignivex Log").arg(fileNameOf(state_.recording()->path)));
}

void ReviewWindow::showRecording() {
    const std::shared_ptr<const LoadedRecording> recording = state_.recording();
    if (!recording) {
        markModel_->setData(nullptr);
        chart_->setData(nullptr);
        details_->clear();
        note_->hide();
        return;
    }
    // The state put cursor A at the start, dropped B and brought the whole recording into view.
    chart_->setCursorBTime(std::nullopt);
    markModel_->setData(recording->chart);
    for (int i = 0; i < state_.overlayCount(); ++i)
        state_.setOverlayShift(i, recording->chart->start() - state_.overlay(i)->chart->start());
    loadEnded();
    recent_recordings::add(recording->path);
    const ChartData& data = *recording->chart;
    showMapLabel();
    chart_->setData(recording->chart);
    note_->setText(QStringLiteral("Not all of the file was read.\n") + recording->note);
    note_->setVisible(!recording->note.isEmpty());
    showDetails();
    shownRow_ = std::size_t(-1);
    chart_->setView(state_.viewStart(), state_.viewEnd());
    chart_->setCursorTime(state_.cursor());
    if (replay_.active()) {
        replay_.begin(record::rangeCodeOf(recording->details));
        replay_.showRow(data, 0);
        shownRow_ = 0;
    }
    updateState();
}

void ReviewWindow::addChannel(record::ChannelInfo channel, std::vector<float> values) {
    state_.addChannel(std::move(channel), std::move(values));
}

void ReviewWindow::showMapLabel() {
    const auto& recording = state_.recording();
    const QString range =
        recording ? mapRangeLabel(record::rangeCodeOf(recording->details).value_or(0)) : QString();
    const QString& unit = state_.mapUnit();
    chart_->setMapRange(unit.isEmpty()    ? range
                        : range.isEmpty() ? unit
                                          : QStringLiteral("%1 %2").arg(range, unit));
}

void ReviewWindow::showDetails() {
    details_->clear();
    const LoadedRecording& recording = *state_.recording();
    const ChartData& data = *recording.chart;
    auto add = [this](const QString& key, const QString& value) {
        auto* item = new QTreeWidgetItem(details_, {key, value});
        item->setToolTip(1, value);
    };
    add(QStringLiteral("file"), QDir::toNativeSeparators(recording.path));
    add(QStringLiteral("rows"), QString::number(data.table.size()));
    add(QStringLiteral("length"),
        timeLabel(&data, data.end() - data.start(), TimeStyle::Elapsed, 3));
    for (const auto& [key, value] : recording.details)
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
    if (!recording.note.isEmpty())
        add(QStringLiteral("not read"), recording.note);
}

void ReviewWindow::setCursor(double t) {
    state_.setCursor(t);
}

void ReviewWindow::cursorMoved() {
    if (!state_.recording())
        return;
    const ChartData& data = *state_.recording()->chart;
    chart_->setCursorTime(state_.cursor());
    const std::size_t row = data.rowAt(state_.cursor());
    if (replay_.active() && row != shownRow_) {
        replay_.showRow(data, row);
        shownRow_ = row;
    }
    updateState();
}

void ReviewWindow::stepRows(int rows) {
    if (!state_.recording())
        return;
    const ChartData& data = *state_.recording()->chart;
    const auto row = std::int64_t(data.rowAt(state_.cursor())) + rows;
    setCursor(data.table.elapsed[std::size_t(
        std::clamp<std::int64_t>(row, 0, std::int64_t(data.table.size()) - 1))]);
}

void ReviewWindow::play() {
    const std::shared_ptr<const LoadedRecording> recording = state_.recording();
    if (!recording || playing())
        return;
    const ChartData& data = *recording->chart;
    if (!replay_.active()) {
        if (const QString why = replay_.refusal(); !why.isEmpty()) {
            boxes_.show(why, box::OkOnly + box::Exclamation, QStringLiteral("Play"));
            return;
        }
        replay_.begin(record::rangeCodeOf(recording->details));
        shownRow_ = std::size_t(-1);
    }
    if (state_.cursor() >= data.end())
        state_.setCursor(data.start());
    state_.setPlaying(true);
    // The panel shows the cursor's row even where the cursor stayed.
    cursorMoved();
}

void ReviewWindow::playingChanged(bool playing) {
    if (playing) {
        lastFrame_ = clock_.now();
        frames_.start();
    } else {
        frames_.stop();
    }
    updateState();
}

void ReviewWindow::pause() {
    state_.setPlaying(false);
}

void ReviewWindow::setSpeed(int speed) {
    state_.setSpeed(speed);
}

void ReviewWindow::playFrame() {
    if (!state_.recording())
        return pause();
    const Instant now = clock_.now();
    const double passed = std::chrono::duration<double>(now - lastFrame_).count();
    lastFrame_ = now;
    const double end = state_.recording()->chart->end();
    setCursor(state_.cursor() + passed * state_.speed());
    if (state_.cursor() >= end)
        pause();
}

void ReviewWindow::setView(double t0, double t1) {
    state_.setView(t0, t1);
}

void ReviewWindow::openOverlay(const QString& path) {
    if (!state_.recording() || overlayLoader_.running())
        return;
    if (state_.overlayCount() >= ReviewState::kMostOverlays) {
        const QString message =
            QStringLiteral("Four recordings can be compared at once, and %1 overlays are open. "
                           "Close one (File, Close Overlay) before opening %2.")
                .arg(ReviewState::kMostOverlays)
                .arg(QFileInfo(path).fileName());
        boxes_.show(message, box::OkOnly + box::Exclamation, QStringLiteral("Open Overlay"));
        emit overlayFailed(message);
        return;
    }
    overlayLoader_.start(path);
}

void ReviewWindow::alignOverlay(double overlayTime, double at) {
    setOverlayShift(at - overlayTime);
}

void ReviewWindow::setOverlayShift(double shift) {
    state_.setOverlayShift(shift);
}

void ReviewWindow::closeOverlay() {
    state_.removeOverlay(state_.currentOverlay());
}

void ReviewWindow::closeOverlays() {
    state_.setOverlay(nullptr, 0);
}

QAbstractItemModel* ReviewWindow::markList() const {
    return markModel_;
}

void ReviewWindow::goToMark(int index) {
    if (const auto t = markModel_->timeOf(index))
        setCursor(*t);
}

void ReviewWindow::setCursorB(std::optional<double> t) {
    // Placed again where it is, B still brings the statistics forward.
    if (!state_.setCursorB(t) && state_.recording() && state_.cursorB())
        statisticsDock_->raise();
}

std::pair<double, double> ReviewWindow::statisticsSpan() const {
    return state_.statisticsSpan();
}

void ReviewWindow::refreshStatistics() {
    statistics_->refresh();
}

void ReviewWindow::zoom(double factor, double anchor) {
    const double t0 = state_.viewStart(), t1 = state_.viewEnd();
    const double span = t1 - t0;
    const double wanted = span * factor;
    setView(anchor - (anchor - t0) * wanted / span, anchor + (t1 - anchor) * wanted / span);
}

void ReviewWindow::zoomAll() {
    state_.viewAll();
}

QString ReviewWindow::positionText(int decimals) const {
    if (!state_.recording())
        return {};
    const ChartData& data = *state_.recording()->chart;
    return timeLabel(&data, state_.cursor(), TimeStyle::Elapsed, decimals) + QStringLiteral(" / ") +
           timeLabel(&data, data.end(), TimeStyle::Elapsed, decimals);
}

void ReviewWindow::updateState() {
    const bool on = playing();
    playAction_->setText(on ? QStringLiteral("&Pause") : QStringLiteral("&Play"));
    playAction_->setIcon(style()->standardIcon(on ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    const std::shared_ptr<const LoadedRecording>& recording = state_.recording();
    playAction_->setEnabled(recording != nullptr);
    for (QAction* a : speedActions_->actions())
        a->setChecked(a->data().toInt() == state_.speed());
    speedBox_->setCurrentIndex(speedBox_->findData(state_.speed()));
    if (!recording) {
        position_->clear();
        return;
    }
    const ChartData& data = *recording->chart;
    const std::size_t row = data.rowAt(state_.cursor());
    const QDateTime wall = QDateTime::fromMSecsSinceEpoch(data.table.wallMs[row], Qt::OffsetFromUTC,
                                                          data.table.utcOffsetSeconds);
    position_->setText(QStringLiteral("Cursor %1    row %2 of %3    %4")
                           .arg(positionText(3))
                           .arg(row + 1)
                           .arg(data.table.size())
                           .arg(wall.toString(QStringLiteral("HH:mm:ss.zzz"))));
    if (replay_.active())
        replay_.setState(fileNameOf(recording->path), on, state_.speed(), positionText(1));
}

void ReviewWindow::closeEvent(QCloseEvent* event) {
    // Closed, the review lets go of the panel and of the recording's memory.
    {
        const QSignalBlocker quiet(&loader_);
        loader_.cancel();
        const QSignalBlocker quietToo(&overlayLoader_);
        overlayLoader_.cancel();
    }
    closeOverlays();
    loadBar_->hide();
    frames_.stop();
    state_.setPlaying(false);
    replay_.end();
    state_.setRecording(nullptr);
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
        if (state_.recording())
            setCursor(state_.recording()->chart->start());
        return;
    case Qt::Key_End:
        if (state_.recording())
            setCursor(state_.recording()->chart->end());
        return;
    default:
        QMainWindow::keyPressEvent(event);
    }
}

}  // namespace ignivex::chart
