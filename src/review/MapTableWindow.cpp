#include "review/MapTableWindow.h"

#include "base/MessageText.h"
#include "review/SpanChoice.h"
#include "series/ReviewState.h"
#include "series/ChannelText.h"
#include "series/Scales.h"
#include "review/FileSaving.h"
#include "record/RecordFormat.h"
#include "recovery/MessageBoxes.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QSignalBlocker>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace ignivex::chart {

namespace {

const QString kDash = QStringLiteral("\u2013");
const QString kBadEdge = QStringLiteral("border: 1px solid #c0392b;");
// A table of 200 by 200 cells is already more than a screen; more would only slow the window.
// 4000 characters hold 201 edges of up to 19 characters each; a line edit lays its whole text
// out again on every key, so a field that took 32767 characters (Qt's default, cut without a
// word) was busy for minutes while 10,000 edges were typed.
constexpr analysis::EdgeBounds kMost{201, 4000};

QString edgesText(const QList<double>& edges) {
    QStringList parts;
    for (double e : edges)
        parts << QString::number(e);
    return parts.join(QLatin1Char(','));
}

QString binText(const QList<double>& edges, int bin) {
    return QString::number(edges[bin]) + kDash + QString::number(edges[bin + 1]);
}

// Edges for a channel that has none of its own: about ten steps of 1, 2 or 5 times a power of
// ten over its values in the span as written, the first at or below the least, the last above
// the greatest (a bin holds its lower edge, not its upper). 0 to 1 when the span has none.
QList<double> rangeEdges(const record::Table& table, record::ChannelId c,
                         const analysis::Span& span) {
    const auto& values = table.column(c);
    const int decimals = table.channel(c).decimals;
    double least = std::numeric_limits<double>::infinity(), most = -least;
    for (std::size_t row = 0; row < table.size(); ++row) {
        if (!analysis::counts(table, row, span) || !std::isfinite(values[row]))
            continue;
        const double v = record::asWritten(values[row], decimals);
        least = std::min(least, v);
        most = std::max(most, v);
    }
    if (!(least <= most))
        return {0, 1};
    // No step finer than ten of the last decimal written: a steady value gets one bin.
    const double unit = 1 / record::kDecimalScale[decimals];
    const double step = tools::niceStep(std::max(most - least, 10 * unit) / 10);
    const double places = std::pow(10.0, tools::decimalsFor(step));
    const auto first = qint64(std::floor(least / step + 1e-9));
    const auto last = qint64(std::floor(most / step + 1e-9)) + 1;
    QList<double> edges;
    for (qint64 k = first; k <= last; ++k)
        edges << std::round(double(k) * step * places) / places;
    return edges;
}

}  // namespace

MapTableWindow::MapTableWindow(MessageBoxes& boxes, QWidget* parent)
    : QMainWindow(parent, Qt::Window), boxes_(boxes) {
    setObjectName(QStringLiteral("frmMapTable"));
    setWindowTitle(QStringLiteral("Map Table - Ignivex Log"));
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);

    auto* choices = new QHBoxLayout;
    of_ = new QComboBox(this);
    of_->setObjectName(QStringLiteral("cboOf"));
    auto* ofLabel = new QLabel(QStringLiteral("&Mean of"), this);
    ofLabel->setBuddy(of_);
    span_ = new SpanChoice(this);
    choices->addWidget(ofLabel);
    choices->addWidget(of_);
    choices->addSpacing(12);
    choices->addWidget(span_);
    difference_ = new QCheckBox(QStringLiteral("Less the &overlay"), this);
    difference_->setObjectName(QStringLiteral("chkDifference"));
    difference_->setToolTip(
        QStringLiteral("This recording's means less those of the recording "
                       "overlaid in the review (File, Open Overlay), cell by cell, "
                       "over the same span of each"));
    difference_->setEnabled(false);
    connect(difference_, &QCheckBox::toggled, this, [this] { recount(); });
    differenceOf_ = new QComboBox(this);
    differenceOf_->setObjectName(QStringLiteral("cboDifferenceOf"));
    differenceOf_->setToolTip(QStringLiteral("The overlay whose means are taken away"));
    differenceOf_->setEnabled(false);
    connect(differenceOf_, &QComboBox::activated, this, [this] {
        if (difference())
            recount();
    });
    choices->addSpacing(12);
    choices->addWidget(difference_);
    choices->addWidget(differenceOf_);
    choices->addStretch(1);

    auto* axes = new QGridLayout;
    auto axis = [this, axes](Axis& a, int row, const QString& label, const QString& edgesLabel,
                             const char* box, const char* field, Value fallback) {
        a.fallback = record::channelOf(fallback);
        a.channel = new QComboBox(this);
        a.channel->setObjectName(QLatin1String(box));
        a.channel->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        connect(a.channel, &QComboBox::activated, this, [this, &a] { axisChosen(a); });
        a.text = new QLineEdit(this);
        a.text->setObjectName(QLatin1String(field));
        a.text->setToolTip(QStringLiteral(
            "The edges in increasing order, separated by commas. A value belongs to the bin "
            "from its edge up to, but not including, the next. Empty: the channel's defaults."));
        // One character more than is taken, so a text that was cut shows as too long.
        a.text->setMaxLength(int(kMost.characters) + 1);
        connect(a.text, &QLineEdit::editingFinished, this, &MapTableWindow::edgesEdited);
        connect(a.text, &QLineEdit::textEdited, this, [this](const QString& text) {
            if (text.size() > kMost.characters)
                edgesEdited();
        });
        auto* name = new QLabel(label, this);
        name->setBuddy(a.channel);
        a.label = new QLabel(edgesLabel, this);
        a.label->setBuddy(a.text);
        axes->addWidget(name, row, 0);
        axes->addWidget(a.channel, row, 1);
        axes->addWidget(a.label, row, 2);
        axes->addWidget(a.text, row, 3);
    };
    axis(rows_, 0, QStringLiteral("&Rows"), QStringLiteral("Row &edges"), "cboRows",
         "txtRpmEdges", Value::Rpm);
    axis(columns_, 1, QStringLiteral("Co&lumns"), QStringLiteral("Col&umn edges"), "cboColumns",
         "txtMapEdges", Value::Map);
    axes->setColumnStretch(3, 1);
    auto* swap = new QPushButton(QStringLiteral("S&wap"), this);
    swap->setObjectName(QStringLiteral("cmdSwap"));
    swap->setToolTip(QStringLiteral("The rows become the columns and the columns the rows"));
    connect(swap, &QPushButton::clicked, this, &MapTableWindow::swapAxes);
    auto* defaults = new QPushButton(QStringLiteral("&Default Edges"), this);
    defaults->setObjectName(QStringLiteral("cmdDefaultEdges"));
    connect(defaults, &QPushButton::clicked, this, [this] {
        resetEdges(rows_);
        resetEdges(columns_);
        edgesEdited();
    });
    axes->addWidget(swap, 0, 4);
    axes->addWidget(defaults, 1, 4);

    auto* shown = new QHBoxLayout;
    extra_ = new QComboBox(this);
    extra_->setObjectName(QStringLiteral("cboExtra"));
    extra_->addItem(QStringLiteral("The mean"), NoExtra);
    extra_->addItem(QStringLiteral("The mean and the least"), Least);
    extra_->addItem(QStringLiteral("The mean and the greatest"), Greatest);
    extra_->addItem(QStringLiteral("The mean and the deviation"), Deviation);
    connect(extra_, &QComboBox::activated, this, [this] { fill(table_); });
    auto* extraLabel = new QLabel(QStringLiteral("&Show"), this);
    extraLabel->setBuddy(extra_);
    minSamples_ = new QSpinBox(this);
    minSamples_->setObjectName(QStringLiteral("spnMinSamples"));
    minSamples_->setRange(1, 1000000000);
    minSamples_->setKeyboardTracking(false);
    minSamples_->setToolTip(QStringLiteral("A cell with fewer samples shows empty: a mean of a "
                                           "few samples says little"));
    connect(minSamples_, &QSpinBox::valueChanged, this, &MapTableWindow::recount);
    auto* minLabel = new QLabel(QStringLiteral("Minimum sam&ples"), this);
    minLabel->setBuddy(minSamples_);
    auto* copyTable = new QPushButton(QStringLiteral("Copy &Table"), this);
    copyTable->setObjectName(QStringLiteral("cmdCopyTable"));
    copyTable->setToolTip(QStringLiteral("Every cell's mean with the bins, as a table a "
                                         "spreadsheet takes when pasted"));
    connect(copyTable, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(tableText()); });
    shown->addWidget(extraLabel);
    shown->addWidget(extra_);
    shown->addSpacing(12);
    shown->addWidget(minLabel);
    shown->addWidget(minSamples_);
    shown->addStretch(1);
    shown->addWidget(copyTable);
    fillChannels(record::Table());

    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("lblProblem"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #a02010;"));
    problem_->hide();
    caption_ = new QLabel(this);
    caption_->setObjectName(QStringLiteral("lblCaption"));
    caption_->setWordWrap(true);
    cells_ = new QTableWidget(this);
    cells_->setObjectName(QStringLiteral("tblMap"));
    cells_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cells_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    cells_->setWordWrap(false);
    legend_ = new QLabel(this);
    legend_->setObjectName(QStringLiteral("lblLegend"));

    column->addLayout(choices);
    column->addLayout(axes);
    column->addLayout(shown);
    column->addWidget(problem_);
    column->addWidget(caption_);
    column->addWidget(cells_, 1);
    column->addWidget(legend_);
    setCentralWidget(central);
    status_ = new QLabel(this);
    statusBar()->addPermanentWidget(status_);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* save = file->addAction(QStringLiteral("&Export Table as CSV\u2026"));
    save->setObjectName(QStringLiteral("mnuExportTable"));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(save, &QAction::triggered, this, &MapTableWindow::exportCsv);
    file->addSeparator();
    QAction* close = file->addAction(QStringLiteral("&Close"));
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    QMenu* editMenu = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction* copy = editMenu->addAction(QStringLiteral("&Copy"));
    copy->setObjectName(QStringLiteral("mnuCopyCells"));
    copy->setShortcut(QKeySequence::Copy);
    connect(copy, &QAction::triggered, this,
            [this] { QGuiApplication::clipboard()->setText(selectedMeans()); });
    QAction* copyAll = editMenu->addAction(QStringLiteral("Copy &Table"));
    copyAll->setObjectName(QStringLiteral("mnuCopyTable"));
    copyAll->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    connect(copyAll, &QAction::triggered, this,
            [this] { QGuiApplication::clipboard()->setText(tableText()); });

    connect(of_, &QComboBox::activated, this, &MapTableWindow::recount);
    connect(span_, &SpanChoice::changed, this, &MapTableWindow::recount);
    connect(&watcher_, &QFutureWatcher<analysis::MapTable>::finished, this, [this] {
        if (pending_) {
            pending_ = false;
            recount();
            return;
        }
        table_ = watcher_.result();
        counting_ = false;
        // Edges found from the channel's values in the span are shown once they are known.
        if (!fixedEdges(rows_))
            showEdges(rows_, table_.rpmEdges);
        if (!fixedEdges(columns_))
            showEdges(columns_, table_.mapEdges);
        fill(table_);
        emit counted();
    });
    setChannel(record::channelOf(Value::Advance));
    resize(980, 640);
}

MapTableWindow::~MapTableWindow() {
    watcher_.waitForFinished();
}

void MapTableWindow::follow(ReviewState& review) {
    if (review_ != &review) {
        if (review_)
            disconnect(review_, nullptr, this, nullptr);
        review_ = &review;
        connect(&review, &QObject::destroyed, this, [this] { review_ = nullptr; });
        connect(&review, &ReviewState::recordingChanged, this, &MapTableWindow::followRecording);
        connect(&review, &ReviewState::channelsChanged, this, &MapTableWindow::followRecording);
        connect(&review, &ReviewState::overlayChanged, this, &MapTableWindow::followOverlay);
        span_->follow(review);
    }
    closed_ = false;
    followRecording();
    followOverlay();
}

void MapTableWindow::followRecording() {
    const auto recording = review_ && !closed_ ? review_->recording() : nullptr;
    if (!recording) {
        if (recording_.chart)
            clearRecording();
    } else if (recording->chart != recording_.chart) {
        setRecording(*recording);
    }
}

void MapTableWindow::followOverlay() {
    std::vector<Comparison> overlays;
    for (int i = 0; review_ && i < review_->overlayCount(); ++i)
        overlays.push_back({review_->overlay(i)->chart, review_->overlayShift(i),
                            QFileInfo(review_->overlay(i)->path).fileName()});
    setComparisons(std::move(overlays));
}

void MapTableWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        closed_ = true;
        followRecording();
    }
}

void MapTableWindow::setRecording(const LoadedRecording& recording) {
    const auto before = recording_.chart;
    recording_ = recording;
    if (recording_.chart && recording_.chart != before) {
        // Channels added by formula bring the same rows: From and To stay as they were typed.
        if (!before || before->start() != recording_.chart->start() ||
            before->end() != recording_.chart->end())
            span_->setLimits(recording_.chart->start(), recording_.chart->end());
        fillChannels(recording_.chart->table);
    }
    setWindowTitle(
        QStringLiteral("%1 - Map Table - Ignivex Log").arg(QFileInfo(recording_.path).fileName()));
    recount();
}

std::optional<std::int16_t> MapTableWindow::rangeCode() const {
    return record::rangeCodeOf(recording_.details);
}

void MapTableWindow::clearRecording() {
    recording_ = {};
    recount();
}

const record::ChannelInfo& MapTableWindow::channelInfo(record::ChannelId c) const {
    static const record::Table none;
    const record::Table& table = recording_.chart ? recording_.chart->table : none;
    return table.channel(c >= 0 && c < table.channelCount() ? c : 0);
}

void MapTableWindow::fillChannels(const record::Table& table) {
    // Each choice kept by name: the same channel in a recording that has others besides.
    for (auto [box, fallback] : {std::pair{of_, record::channelOf(Value::Advance)},
                                 std::pair{rows_.channel, rows_.fallback},
                                 std::pair{columns_.channel, columns_.fallback}}) {
        const QString chosen = box->currentText();
        const QSignalBlocker block(box);
        box->clear();
        for (record::ChannelId c = 0; c < table.channelCount(); ++c)
            box->addItem(table.channel(c).name, c);
        const int at = box->findText(chosen);
        box->setCurrentIndex(at >= 0 ? at : int(fallback));
    }
    // An axis whose channel is gone starts again on its new channel's defaults.
    for (Axis* a : {&rows_, &columns_}) {
        const QString column = table.channel(a->channel->currentData().toInt()).column;
        if (column != a->column) {
            a->column = column;
            resetEdges(*a);
        }
    }
}

void MapTableWindow::setChannel(record::ChannelId of) {
    of_->setCurrentIndex(of_->findData(int(of)));
    recount();
}

void MapTableWindow::setAxes(record::ChannelId rows, record::ChannelId columns) {
    for (auto [a, c] : {std::pair{&rows_, rows}, std::pair{&columns_, columns}}) {
        a->channel->setCurrentIndex(a->channel->findData(int(c)));
        a->column = channelInfo(a->channel->currentData().toInt()).column;
        resetEdges(*a);
    }
    recount();
}

void MapTableWindow::axisChosen(Axis& axis) {
    const QString column = channelInfo(axis.channel->currentData().toInt()).column;
    if (column == axis.column)
        return;
    axis.column = column;
    resetEdges(axis);
    recount();
}

void MapTableWindow::swapAxes() {
    const int rowsAt = rows_.channel->currentIndex();
    rows_.channel->setCurrentIndex(columns_.channel->currentIndex());
    columns_.channel->setCurrentIndex(rowsAt);
    std::swap(rows_.column, columns_.column);
    std::swap(rows_.own, columns_.own);
    const QString rowsText = rows_.text->text(), rowsShown = rows_.shown;
    rows_.text->setText(columns_.text->text());
    rows_.shown = columns_.shown;
    columns_.text->setText(rowsText);
    columns_.shown = rowsShown;
    recount();
}

void MapTableWindow::setExtra(Extra extra) {
    extra_->setCurrentIndex(extra_->findData(extra));
    fill(table_);
}

void MapTableWindow::setMinSamples(int samples) {
    minSamples_->setValue(samples);
}

QString MapTableWindow::problem() const {
    return problem_->text();
}

void MapTableWindow::resetEdges(Axis& axis) {
    axis.own.reset();
    axis.text->clear();
    axis.shown.clear();
    axis.text->setStyleSheet(QString());
}

void MapTableWindow::showEdges(Axis& axis, const QList<double>& edges) {
    // Not over what is being typed there.
    if (axis.text->text() != axis.shown)
        return;
    axis.shown = edgesText(edges);
    axis.text->setText(axis.shown);
    axis.text->setStyleSheet(QString());
}

std::optional<QList<double>> MapTableWindow::fixedEdges(const Axis& axis) const {
    if (axis.own)
        return axis.own;
    return analysis::defaultEdgesOf(channelInfo(axis.channel->currentData().toInt()), rangeCode());
}

void MapTableWindow::edgesEdited() {
    QStringList problems;
    for (Axis* a : {&rows_, &columns_}) {
        const QString text = a->text->text().trimmed();
        // The field as it was last filled or taken: defaults shown there stay defaults.
        if (a->text->text() == a->shown)
            continue;
        if (text.isEmpty()) {
            resetEdges(*a);
            continue;
        }
        QString why;
        const auto parsed = analysis::edgesFrom(text, &why, kMost);
        a->text->setStyleSheet(parsed ? QString() : kBadEdge);
        if (!parsed) {
            problems << QStringLiteral("%1 edges: %2.")
                            .arg(channelInfo(a->channel->currentData().toInt()).name, why);
            continue;
        }
        a->own = *parsed;
        a->shown = a->text->text();
    }
    if (!problems.isEmpty()) {
        problems << QStringLiteral(
            "Give numbers in increasing order, separated by commas, such as "
            "0,500,1000. The table keeps the edges it had.");
        problem_->setText(problems.join(QLatin1Char(' ')));
        problem_->show();
        return;
    }
    problem_->clear();
    problem_->hide();
    recount();
}

void MapTableWindow::recount() {
    // The edges a recording brings are shown at once, even while a count is still under way.
    const auto rowEdges = fixedEdges(rows_), columnEdges = fixedEdges(columns_);
    for (auto [a, edges] : {std::pair{&rows_, &rowEdges}, std::pair{&columns_, &columnEdges}}) {
        if (*edges && !a->own)
            showEdges(*a, **edges);
    }
    if (watcher_.isRunning()) {
        pending_ = true;
        return;
    }
    analysis::MapRequest request;
    request.of = of_->currentData().toInt();
    request.rows = rows_.channel->currentData().toInt();
    request.columns = columns_.channel->currentData().toInt();
    request.minSamples = minSamples_->value();
    if (!recording_.chart) {
        table_ = {};
        table_.rpmEdges = rowEdges.value_or(QList<double>{});
        table_.mapEdges = columnEdges.value_or(QList<double>{});
        table_.of = request.of;
        table_.rows = request.rows;
        table_.columns = request.columns;
        table_.channel = channelInfo(request.of);
        fill(table_);
        emit counted();
        return;
    }
    status_->setText(QStringLiteral("Counting\u2026"));
    counting_ = true;
    const Comparison* compared = difference() ? this->compared() : nullptr;
    const std::shared_ptr<const ChartData> overlay = compared ? compared->data : nullptr;
    const analysis::Span span = span_->span();
    // The overlay's rows that stand in the same stretch of the review, through the filter.
    const analysis::Span moved =
        compared && review_ ? review_->overlaySpan(differenceOf_->currentIndex(), span.from, span.to)
        : compared          ? analysis::Span{span.from - compared->shift, span.to - compared->shift}
                            : span;
    watcher_.setFuture(QtConcurrent::run([data = recording_.chart, overlay, moved, request,
                                          rowEdges, columnEdges, span]() mutable {
        request.rowEdges = rowEdges ? *rowEdges : rangeEdges(data->table, request.rows, span);
        request.columnEdges =
            columnEdges ? *columnEdges : rangeEdges(data->table, request.columns, span);
        const analysis::MapTable own = analysis::mapTable(data->table, request, span);
        if (!overlay)
            return own;
        // Over its channels of the same names, on the same edges.
        const record::Table& theirs = overlay->table;
        const auto of = theirs.channelNamed(own.channel.column);
        const auto rows = theirs.channelNamed(data->table.channel(request.rows).column);
        const auto columns = theirs.channelNamed(data->table.channel(request.columns).column);
        if (!of || !rows || !columns)
            return analysis::difference(own, analysis::MapTable{});
        analysis::MapRequest other = request;
        other.of = *of;
        other.rows = *rows;
        other.columns = *columns;
        return analysis::difference(own, analysis::mapTable(theirs, other, moved));
    }));
}

void MapTableWindow::setComparisons(std::vector<Comparison> overlays) {
    if (overlays == overlays_)
        return;
    const QString chosen = differenceOf_->currentText();
    overlays_ = std::move(overlays);
    {
        const QSignalBlocker quiet(differenceOf_);
        differenceOf_->clear();
        for (std::size_t i = 0; i < overlays_.size(); ++i)
            differenceOf_->addItem(
                QStringLiteral("overlay %1: %2").arg(i + 1).arg(overlays_[i].name));
        differenceOf_->setCurrentIndex(std::max(0, differenceOf_->findText(chosen)));
    }
    difference_->setEnabled(!overlays_.empty());
    differenceOf_->setEnabled(overlays_.size() > 1);
    if (overlays_.empty())
        difference_->setChecked(false);
    if (difference())
        recount();
}

void MapTableWindow::setDifferenceOf(int overlay) {
    if (overlay < 0 || overlay >= differenceOf_->count() ||
        overlay == differenceOf_->currentIndex())
        return;
    differenceOf_->setCurrentIndex(overlay);
    if (difference())
        recount();
}

const MapTableWindow::Comparison* MapTableWindow::compared() const {
    const int i = differenceOf_->currentIndex();
    return i >= 0 && std::size_t(i) < overlays_.size() ? &overlays_[std::size_t(i)] : nullptr;
}

bool MapTableWindow::difference() const {
    return difference_->isChecked() && compared();
}

void MapTableWindow::fill(const analysis::MapTable& table) {
    const record::ChannelInfo& entry = table.channel;
    const record::ChannelInfo& across = channelInfo(table.rows);
    const record::ChannelInfo& down = channelInfo(table.columns);
    const auto code = record::rangeCodeOf(recording_.details);
    for (auto [a, info] : {std::pair{&rows_, &across}, std::pair{&columns_, &down}})
        a->label->setText(a == &rows_ ? QStringLiteral("%1 &edges").arg(info->name)
                                      : QStringLiteral("%1 ed&ges").arg(info->name));
    const int rowCount = std::max(0, int(table.rpmEdges.size()) - 1);
    const int columnCount = std::max(0, int(table.mapEdges.size()) - 1);
    cells_->clear();
    cells_->setRowCount(rowCount);
    cells_->setColumnCount(columnCount);
    QStringList rows, columns;
    for (int r = 0; r < rowCount; ++r)
        rows << binText(table.rpmEdges, r) + tools::unitSuffix(across);
    for (int m = 0; m < columnCount; ++m)
        columns << binText(table.mapEdges, m);
    cells_->setVerticalHeaderLabels(rows);
    cells_->setHorizontalHeaderLabels(columns);
    cells_->horizontalHeader()->setToolTip(tools::channelTitle(down, recording_.details));
    cells_->verticalHeader()->setToolTip(tools::channelTitle(across, recording_.details));

    double low = 0, high = 0;
    if (!table.cells.empty()) {
        const auto [least, most] = std::minmax_element(
            table.cells.begin(), table.cells.end(),
            [](const analysis::MapCell& a, const analysis::MapCell& b) { return a.mean < b.mean; });
        low = least->mean;
        high = most->mean;
    }
    const QString unit = tools::unitSuffix(entry);
    const QString name = entry.name;
    const auto extra = Extra(extra_->currentData().toInt());
    // The least and the greatest as a read-out shows them; the deviation as a mean is shown.
    auto written = [&entry](double v) {
        return QString::number(v, 'f', entry.onOff() ? 0 : entry.shownDecimals);
    };
    for (const analysis::MapCell& c : table.cells) {
        QString text = tools::meanText(entry, c.mean) + QLatin1Char('\n');
        if (extra == Least)
            text += QStringLiteral("min %1\n").arg(written(c.min));
        else if (extra == Greatest)
            text += QStringLiteral("max %1\n").arg(written(c.max));
        else if (extra == Deviation)
            text += QStringLiteral("sd %1\n").arg(tools::meanText(entry, c.sd));
        text += QStringLiteral("%1 \u00b7 %2").arg(QLocale().toString(c.samples),
                                                   tools::durationText(c.seconds));
        auto* item = new QTableWidgetItem(text);
        item->setTextAlignment(Qt::AlignCenter);
        const QColor background =
            tools::heatColour(high > low ? (c.mean - low) / (high - low) : 0.5);
        item->setBackground(background);
        item->setForeground(tools::textOn(background));
        item->setToolTip(
            QStringLiteral("%1 %2%3, %4 %5%6\n%7: mean %8%9\nleast %10, greatest %11, "
                           "deviation %12\n%13 samples over %14")
                .arg(across.name, binText(table.rpmEdges, c.rpmBin), tools::unitSuffix(across),
                     down.name, binText(table.mapEdges, c.mapBin), tools::unitSuffix(down), name,
                     tools::meanText(entry, c.mean), unit)
                .arg(written(c.min) + unit, written(c.max) + unit,
                     tools::meanText(entry, c.sd) + unit, QLocale().toString(c.samples),
                     tools::durationText(c.seconds)));
        cells_->setItem(c.rpmBin, c.mapBin, item);
    }
    // Columns of one width, as wide as the widest cell, filling the window when they fit.
    cells_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    cells_->resizeColumnsToContents();
    int widest = 0;
    for (int m = 0; m < cells_->columnCount(); ++m)
        widest = std::max(widest, cells_->columnWidth(m));
    cells_->horizontalHeader()->setMinimumSectionSize(widest);
    cells_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    cells_->resizeRowsToContents();
    int tallest = 0;
    for (int r = 0; r < cells_->rowCount(); ++r)
        tallest = std::max(tallest, cells_->rowHeight(r));
    for (int r = 0; r < cells_->rowCount(); ++r)
        cells_->setRowHeight(r, tallest);

    static const QStringList kExtraCaption{
        QString(), QStringLiteral("the least, "), QStringLiteral("the greatest, "),
        QStringLiteral("the standard deviation, ")};
    caption_->setText(
        QStringLiteral("<b>%1</b>%2: the mean in each cell, under it %3the samples "
                       "\u00b7 the time spent there. Rows: %4. Columns: %5.")
            .arg(tools::channelTitle(entry, recording_.details).toHtmlEscaped(),
                 difference() ? QStringLiteral(", this recording less %1 (cells both "
                                               "have samples in)")
                                    .arg(compared()->name.toHtmlEscaped())
                              : QString(),
                 kExtraCaption.value(int(extra)),
                 tools::channelTitle(across, recording_.details).toHtmlEscaped(),
                 tools::channelTitle(down, recording_.details).toHtmlEscaped()));
    if (table.cells.empty()) {
        legend_->clear();
    } else {
        auto swatch = [](double t, const QString& text) {
            const QColor c = tools::heatColour(t);
            return QStringLiteral("<span style=\"background:%1; color:%2\">&nbsp;%3&nbsp;</span>")
                .arg(c.name(), tools::textOn(c).name(), text.toHtmlEscaped());
        };
        legend_->setText(QStringLiteral("Colours: %1 the lowest mean, %2 the highest.")
                             .arg(swatch(0, tools::meanText(entry, low) + unit),
                                  swatch(1, tools::meanText(entry, high) + unit)));
    }

    if (!recording_.chart) {
        status_->setText(QStringLiteral("Open a recording in the review to see its table."));
        return;
    }
    if (const QString why = span_->problem(); !why.isEmpty()) {
        status_->setText(why);
        return;
    }
    if (table.cells.empty()) {
        const bool overMap = across.is(Value::Map) || down.is(Value::Map);
        status_->setText(
            code == 0 && overMap
                ? QStringLiteral("The module had no MAP sensor (map range 0): no row "
                                 "has a MAP value, so no cell has samples.")
            : table.minSamples > 1
                ? QStringLiteral("No cell of this span has %1 samples or more: widen the span "
                                 "or the edges, or lower the minimum.")
                      .arg(table.minSamples)
                : QStringLiteral("No row of this span falls in a cell: widen the span "
                                 "or the edges."));
        return;
    }
    qint64 samples = 0;
    for (const analysis::MapCell& c : table.cells)
        samples += c.samples;
    status_->setText(QStringLiteral("%1 samples in %2 cells (%3)")
                         .arg(QLocale().toString(samples),
                              QLocale().toString(qint64(table.cells.size())),
                              span_->text(recording_.chart.get())));
}

QString MapTableWindow::meansText(int top, int bottom, int left, int right,
                                  const QString& corner) const {
    // Tab-separated lines, headed by their bins, the way a spreadsheet takes a pasted table; a
    // cell without samples stays empty.
    const record::ChannelInfo& entry = table_.channel;
    std::map<std::pair<int, int>, const analysis::MapCell*> at;
    for (const analysis::MapCell& c : table_.cells)
        at[{c.rpmBin, c.mapBin}] = &c;
    QString text = corner;
    for (int m = left; m <= right; ++m)
        text += QLatin1Char('\t') + binText(table_.mapEdges, m);
    for (int row = top; row <= bottom; ++row) {
        text += QLatin1Char('\n') + binText(table_.rpmEdges, row);
        for (int m = left; m <= right; ++m) {
            text += QLatin1Char('\t');
            if (const auto it = at.find({row, m}); it != at.end())
                text += tools::meanText(entry, it->second->mean);
        }
    }
    return text + QLatin1Char('\n');
}

QString MapTableWindow::selectedMeans() const {
    const QList<QTableWidgetSelectionRange> ranges = cells_->selectedRanges();
    if (ranges.isEmpty())
        return {};
    const QTableWidgetSelectionRange& r = ranges.first();
    return meansText(r.topRow(), r.bottomRow(), r.leftColumn(), r.rightColumn(), QString());
}

QString MapTableWindow::tableText() const {
    if (table_.rpmEdges.size() < 2 || table_.mapEdges.size() < 2)
        return {};
    // The corner names what runs down and what across.
    return meansText(0, int(table_.rpmEdges.size()) - 2, 0, int(table_.mapEdges.size()) - 2,
                     QStringLiteral("%1 \\ %2").arg(channelInfo(table_.rows).name,
                                                    channelInfo(table_.columns).name));
}

QByteArray MapTableWindow::csv() const {
    const record::ChannelInfo& entry = table_.channel;
    QString out = QStringLiteral("%1_from,%1_to,%2_from,%2_to,samples,mean,seconds\n")
                      .arg(channelInfo(table_.rows).column, channelInfo(table_.columns).column);
    for (const analysis::MapCell& c : table_.cells) {
        out += QStringLiteral("%1,%2,%3,%4,%5,%6,%7\n")
                   .arg(table_.rpmEdges[c.rpmBin])
                   .arg(table_.rpmEdges[c.rpmBin + 1])
                   .arg(table_.mapEdges[c.mapBin])
                   .arg(table_.mapEdges[c.mapBin + 1])
                   .arg(c.samples)
                   .arg(tools::csvMeanText(entry, c.mean))
                   .arg(c.seconds, 0, 'f', 3);
    }
    return out.toUtf8();
}

QString MapTableWindow::saveCsv(const QString& path) const {
    return tools::saveFile(path, csv());
}

void MapTableWindow::exportCsv() {
    if (!recording_.chart)
        return;
    if (table_.cells.empty()) {
        boxes_.show(QStringLiteral("There is nothing to export: no cell of the table has samples. "
                                   "Widen the span or the edges first."),
                    box::OkOnly + box::Information, kExportTitle);
        return;
    }
    const QFileInfo source(recording_.path);
    const QString name =
        QStringLiteral("%1-table-%2.csv")
            .arg(source.completeBaseName(), table_.channel.column);
    QString path = QFileDialog::getSaveFileName(this, kExportTitle, source.dir().filePath(name),
                                                QStringLiteral("CSV table (*.csv)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    const QString why = saveCsv(path);
    if (!why.isEmpty())
        return tools::sayNotWritten(boxes_, QStringLiteral("table"), path, why, kExportTitle);
    statusBar()->showMessage(QStringLiteral("Saved %1 cells as %2.")
                                 .arg(table_.cells.size())
                                 .arg(readablePath(QDir::toNativeSeparators(path))),
                             10000);
}

QJsonObject MapTableWindow::choices() const {
    QJsonObject out = span_->choices();
    out.insert(QStringLiteral("of"), channelInfo(of_->currentData().toInt()).column);
    for (const auto& [key, axis] : {std::pair{QStringLiteral("rows"), &rows_},
                                    std::pair{QStringLiteral("columns"), &columns_}}) {
        out.insert(key, channelInfo(axis->channel->currentData().toInt()).column);
        if (axis->own)
            out.insert(key + QStringLiteral("_edges"), axis->text->text());
    }
    out.insert(QStringLiteral("extra"), extra_->currentData().toInt());
    out.insert(QStringLiteral("min_samples"), minSamples_->value());
    out.insert(QStringLiteral("difference"), difference_->isChecked());
    out.insert(QStringLiteral("difference_of"), differenceOf_->currentIndex());
    return out;
}

void MapTableWindow::applyChoices(const QJsonObject& choices) {
    if (!recording_.chart)
        return;
    const record::Table& table = recording_.chart->table;
    auto channel = [&](const QString& key, QComboBox* box) {
        if (const auto c = table.channelNamed(choices.value(key).toString()))
            box->setCurrentIndex(std::max(0, box->findData(int(*c))));
    };
    channel(QStringLiteral("of"), of_);
    for (const auto& [key, axis] : {std::pair{QStringLiteral("rows"), &rows_},
                                    std::pair{QStringLiteral("columns"), &columns_}}) {
        channel(key, axis->channel);
        axis->column = channelInfo(axis->channel->currentData().toInt()).column;
        resetEdges(*axis);
        axis->text->setText(choices.value(key + QStringLiteral("_edges")).toString());
    }
    if (const int extra = extra_->findData(choices.value(QStringLiteral("extra")).toInt());
        extra >= 0)
        extra_->setCurrentIndex(extra);
    minSamples_->setValue(choices.value(QStringLiteral("min_samples")).toInt(minSamples_->value()));
    const int against = choices.value(QStringLiteral("difference_of")).toInt(0);
    if (against >= 0 && against < differenceOf_->count())
        differenceOf_->setCurrentIndex(against);
    difference_->setChecked(difference_->isEnabled() &&
                            choices.value(QStringLiteral("difference")).toBool());
    span_->applyChoices(choices);
    edgesEdited();
    recount();
}

}  // namespace ignivex::chart
