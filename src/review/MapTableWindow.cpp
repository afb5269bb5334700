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
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <tuple>

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

}  // namespace

MapTableWindow::MapTableWindow(MessageBoxes& boxes, QWidget* parent)
    : QMainWindow(parent, Qt::Window),
      boxes_(boxes),
      rpmEdges_(analysis::defaultRpmEdges()),
      mapEdges_(analysis::defaultMapEdges()) {
    setObjectName(QStringLiteral("frmMapTable"));
    setWindowTitle(QStringLiteral("Map Table - Ignivex Log"));
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);

    auto* choices = new QHBoxLayout;
    of_ = new QComboBox(this);
    of_->setObjectName(QStringLiteral("cboOf"));
    fillChannels(record::Table());
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
    choices->addSpacing(12);
    choices->addWidget(difference_);
    choices->addStretch(1);

    auto* edges = new QFormLayout;
    auto edit = [this](const char* name, const QString& tip) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setToolTip(tip);
        // One character more than is taken, so a text that was cut shows as too long.
        e->setMaxLength(int(kMost.characters) + 1);
        connect(e, &QLineEdit::editingFinished, this, &MapTableWindow::edgesEdited);
        connect(e, &QLineEdit::textEdited, this, [this](const QString& text) {
            if (text.size() > kMost.characters)
                edgesEdited();
        });
        return e;
    };
    rpmText_ =
        edit("txtRpmEdges", QStringLiteral("The rows' edges in rpm, in increasing order, "
                                           "separated by commas. A value belongs to the row "
                                           "from its edge up to, but not including, the next."));
    mapText_ = edit("txtMapEdges", QStringLiteral("The columns' edges in MAP units, in increasing "
                                                  "order, separated by commas."));
    rpmText_->setText(edgesText(rpmEdges_));
    mapText_->setText(edgesText(mapEdges_));
    auto* defaults = new QPushButton(QStringLiteral("&Default Edges"), this);
    defaults->setObjectName(QStringLiteral("cmdDefaultEdges"));
    connect(defaults, &QPushButton::clicked, this, [this] {
        rpmText_->setText(edgesText(analysis::defaultRpmEdges()));
        mapText_->setText(edgesText(analysis::defaultMapEdges(rangeCode())));
        edgesEdited();
    });
    auto* mapRow = new QHBoxLayout;
    mapRow->addWidget(mapText_, 1);
    mapRow->addWidget(defaults);
    auto* rpmLabel = new QLabel(QStringLiteral("&RPM edges"), this);
    rpmLabel->setBuddy(rpmText_);
    auto* mapLabel = new QLabel(QStringLiteral("M&AP edges"), this);
    mapLabel->setBuddy(mapText_);
    edges->addRow(rpmLabel, rpmText_);
    edges->addRow(mapLabel, mapRow);

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
    column->addLayout(edges);
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
        connect(&review, &ReviewState::cursorChanged, this, &MapTableWindow::followCursors);
        connect(&review, &ReviewState::cursorBChanged, this, &MapTableWindow::followCursors);
        connect(&review, &ReviewState::overlayChanged, this, &MapTableWindow::followOverlay);
        connect(&review, &ReviewState::viewChanged, span_, &SpanChoice::setView);
        connect(&review, &ReviewState::filterChanged, span_,
                [this] { span_->setFilter(review_->passing(), review_->activeFilterName()); });
    }
    span_->setFilter(review.passing(), review.activeFilterName());
    closed_ = false;
    followRecording();
    followCursors();
    followOverlay();
    span_->setView(review.viewStart(), review.viewEnd());
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

void MapTableWindow::followCursors() {
    const auto b = review_ && review_->recording() ? review_->cursorB() : std::nullopt;
    span_->setCursors(b ? std::optional<std::pair<double, double>>({review_->cursor(), *b})
                        : std::nullopt);
}

void MapTableWindow::followOverlay() {
    const auto& overlay = review_ ? review_->overlay() : nullptr;
    setComparison(overlay ? overlay->chart : nullptr, review_ ? review_->overlayShift() : 0);
}

void MapTableWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        closed_ = true;
        followRecording();
    }
}

void MapTableWindow::setRecording(const LoadedRecording& recording) {
    const bool same = recording.chart == recording_.chart;
    take(recording);
    if (!same && recording_.chart) {
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

void MapTableWindow::take(const LoadedRecording& recording) {
    // Edges left at the default follow the recording's MAP range; edges of the user's own stay.
    const bool mapDefault = mapEdges_ == analysis::defaultMapEdges(rangeCode());
    recording_ = recording;
    if (mapDefault && mapEdges_ != analysis::defaultMapEdges(rangeCode())) {
        mapEdges_ = analysis::defaultMapEdges(rangeCode());
        mapText_->setText(edgesText(mapEdges_));
        mapText_->setStyleSheet(QString());
    }
}

void MapTableWindow::clearRecording() {
    take({});
    recount();
}

void MapTableWindow::fillChannels(const record::Table& table) {
    // The choice kept by name: the same channel in a recording that has others besides.
    const QString chosen = of_->currentText();
    const QSignalBlocker block(of_);
    of_->clear();
    for (record::ChannelId c = 0; c < table.channelCount(); ++c)
        of_->addItem(table.channel(c).name, c);
    const int at = of_->findText(chosen);
    of_->setCurrentIndex(at >= 0 ? at : int(record::channelOf(Value::Advance)));
}

void MapTableWindow::setChannel(record::ChannelId of) {
    of_->setCurrentIndex(of_->findData(int(of)));
    recount();
}

QString MapTableWindow::problem() const {
    return problem_->text();
}

void MapTableWindow::edgesEdited() {
    QStringList problems;
    for (auto [edit, edges, name] :
         {std::tuple{rpmText_, &rpmEdges_, QStringLiteral("RPM edges")},
          std::tuple{mapText_, &mapEdges_, QStringLiteral("MAP edges")}}) {
        QString why;
        const auto parsed = analysis::edgesFrom(edit->text(), &why, kMost);
        edit->setStyleSheet(parsed ? QString() : kBadEdge);
        if (!parsed) {
            problems << QStringLiteral("%1: %2.").arg(name, why);
            continue;
        }
        if (*parsed == *edges)
            continue;
        *edges = *parsed;
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
    if (watcher_.isRunning()) {
        pending_ = true;
        return;
    }
    const record::ChannelId of = of_->currentData().toInt();
    if (!recording_.chart) {
        table_ = {};
        table_.rpmEdges = rpmEdges_;
        table_.mapEdges = mapEdges_;
        table_.of = of;
        table_.channel = record::channelInfoOf(kValues[std::size_t(of < kValueCount ? of : 0)]);
        fill(table_);
        emit counted();
        return;
    }
    status_->setText(QStringLiteral("Counting\u2026"));
    counting_ = true;
    const std::shared_ptr<const ChartData> overlay = difference() ? overlay_ : nullptr;
    watcher_.setFuture(QtConcurrent::run([data = recording_.chart, overlay, shift = overlayShift_,
                                          of, rpm = rpmEdges_, map = mapEdges_,
                                          span = span_->span()] {
        const analysis::MapTable own = analysis::mapTable(data->table, of, rpm, map, span);
        if (!overlay)
            return own;
        // The overlay's rows that stand in the same stretch of the review.
        const analysis::Span moved{span.from - shift, span.to - shift, nullptr};
        const auto theirs = overlay->table.channelNamed(own.channel.column);
        if (!theirs)
            return analysis::difference(own, analysis::MapTable{});
        return analysis::difference(own,
                                    analysis::mapTable(overlay->table, *theirs, rpm, map, moved));
    }));
}

void MapTableWindow::setComparison(std::shared_ptr<const ChartData> overlay, double shift) {
    if (overlay == overlay_ && shift == overlayShift_)
        return;
    overlay_ = std::move(overlay);
    overlayShift_ = shift;
    difference_->setEnabled(overlay_ != nullptr);
    if (!overlay_)
        difference_->setChecked(false);
    if (difference())
        recount();
}

bool MapTableWindow::difference() const {
    return difference_->isChecked() && overlay_;
}

void MapTableWindow::fill(const analysis::MapTable& table) {
    const record::ChannelInfo& entry = table.channel;
    const auto code = record::rangeCodeOf(recording_.details);
    cells_->clear();
    cells_->setRowCount(int(table.rpmEdges.size()) - 1);
    cells_->setColumnCount(int(table.mapEdges.size()) - 1);
    QStringList rows, columns;
    for (int r = 0; r + 1 < table.rpmEdges.size(); ++r)
        rows << binText(table.rpmEdges, r) + QStringLiteral(" rpm");
    for (int m = 0; m + 1 < table.mapEdges.size(); ++m)
        columns << binText(table.mapEdges, m);
    cells_->setVerticalHeaderLabels(rows);
    cells_->setHorizontalHeaderLabels(columns);
    cells_->horizontalHeader()->setToolTip(
        tools::channelTitle(record::channelInfoOf(valueSpec(Value::Map)), recording_.details));

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
    for (const analysis::MapCell& c : table.cells) {
        auto* item = new QTableWidgetItem(QStringLiteral("%1\n%2 \u00b7 %3")
                                              .arg(tools::meanText(entry, c.mean),
                                                   QLocale().toString(c.samples),
                                                   tools::durationText(c.seconds)));
        item->setTextAlignment(Qt::AlignCenter);
        const QColor background =
            tools::heatColour(high > low ? (c.mean - low) / (high - low) : 0.5);
        item->setBackground(background);
        item->setForeground(tools::textOn(background));
        item->setToolTip(QStringLiteral("%1 rpm, MAP %2\n%3: mean %4%5\n%6 samples over %7")
                             .arg(binText(table.rpmEdges, c.rpmBin),
                                  binText(table.mapEdges, c.mapBin), name,
                                  tools::meanText(entry, c.mean), unit,
                                  QLocale().toString(c.samples), tools::durationText(c.seconds)));
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

    caption_->setText(
        QStringLiteral("<b>%1</b>%3: the mean in each cell, under it the samples "
                       "\u00b7 the time spent there. Rows: rpm. Columns: %2.")
            .arg(tools::channelTitle(entry, recording_.details).toHtmlEscaped(),
                 tools::channelTitle(record::channelInfoOf(valueSpec(Value::Map)), recording_.details).toHtmlEscaped(),
                 difference() ? QStringLiteral(", this recording less the overlay (cells both "
                                               "have samples in)")
                              : QString()));
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
        status_->setText(code == 0
                             ? QStringLiteral("The module had no MAP sensor (map range 0): no row "
                                              "has a MAP value, so no cell has samples.")
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

QString MapTableWindow::selectedMeans() const {
    // The means of the selected cells as tab-separated lines, headed by their bins, the way a
    // spreadsheet takes a pasted table; a cell without samples stays empty.
    const QList<QTableWidgetSelectionRange> ranges = cells_->selectedRanges();
    if (ranges.isEmpty())
        return {};
    const QTableWidgetSelectionRange& r = ranges.first();
    const record::ChannelInfo& entry = table_.channel;
    QString text;
    for (int m = r.leftColumn(); m <= r.rightColumn(); ++m)
        text += QLatin1Char('\t') + binText(table_.mapEdges, m);
    for (int row = r.topRow(); row <= r.bottomRow(); ++row) {
        text += QLatin1Char('\n') + binText(table_.rpmEdges, row);
        for (int m = r.leftColumn(); m <= r.rightColumn(); ++m) {
            text += QLatin1Char('\t');
            for (const analysis::MapCell& c : table_.cells) {
                if (c.rpmBin == row && c.mapBin == m)
                    text += tools::meanText(entry, c.mean);
            }
        }
    }
    return text + QLatin1Char('\n');
}

QByteArray MapTableWindow::csv() const {
    const record::ChannelInfo& entry = table_.channel;
    QString out = QStringLiteral("rpm_from,rpm_to,map_from,map_to,samples,mean,seconds\n");
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

}  // namespace ignivex::chart
