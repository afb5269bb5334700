#include "review/HistogramWindow.h"

#include "analysis/MapTable.h"
#include "base/MessageText.h"
#include "recovery/MessageBoxes.h"
#include "review/FileSaving.h"
#include "review/HistogramChart.h"
#include "review/SpanChoice.h"
#include "series/ChannelText.h"
#include "series/ReviewState.h"
#include "strips/ChartSettings.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPainter>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#ifdef IGNIVEX_HAVE_SVG
#include <QSvgGenerator>
#endif

namespace ignivex::chart {

namespace {

const QString kBadEdge = QStringLiteral("border: 1px solid #c0392b;");
const QString kPngFilter = QStringLiteral("PNG image (*.png)");
const QString kSvgFilter = QStringLiteral("SVG drawing (*.svg)");
// As the map table's fields: more bins than a screen shows only slow the window down.
constexpr analysis::EdgeBounds kMost{201, 4000};

// An edge as the number it is, in as few digits as tell it apart, as the command line writes it.
QString edgeText(double v) {
    return QString::number(v, 'f', QLocale::FloatingPointShortest);
}

}  // namespace

HistogramWindow::HistogramWindow(MessageBoxes& boxes, QWidget* parent)
    : QMainWindow(parent, Qt::Window), boxes_(boxes) {
    setObjectName(QStringLiteral("frmHistogram"));
    setWindowTitle(QStringLiteral("Histogram - Ignivex Log"));
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);

    auto* choices = new QHBoxLayout;
    of_ = new QComboBox(this);
    of_->setObjectName(QStringLiteral("cboChannel"));
    fillChannels(record::Table());
    auto* ofLabel = new QLabel(QStringLiteral("C&hannel"), this);
    ofLabel->setBuddy(of_);
    edgesText_ = new QLineEdit(this);
    edgesText_->setObjectName(QStringLiteral("txtEdges"));
    edgesText_->setMaxLength(int(kMost.characters) + 1);
    edgesText_->setPlaceholderText(QStringLiteral("20 equal bins over the values"));
    edgesText_->setToolTip(
        QStringLiteral("The bins' edges in increasing order, separated by commas. A value "
                       "belongs to the bin from its edge up to, but not including, the next. "
                       "Empty: 20 equal bins from the least value of the span to the greatest."));
    edgesText_->setMinimumWidth(220);
    auto* edgesLabel = new QLabel(QStringLiteral("&Edges"), this);
    edgesLabel->setBuddy(edgesText_);
    span_ = new SpanChoice(this);
    choices->addWidget(ofLabel);
    choices->addWidget(of_);
    choices->addSpacing(12);
    choices->addWidget(edgesLabel);
    choices->addWidget(edgesText_, 1);
    choices->addSpacing(12);
    choices->addWidget(span_);

    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("lblProblem"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #a02010;"));
    problem_->hide();

    chart_ = new HistogramChart(this);
    bins_ = new QTableWidget(0, 5, this);
    bins_->setObjectName(QStringLiteral("tblBins"));
    bins_->setHorizontalHeaderLabels({QStringLiteral("From"), QStringLiteral("To"),
                                      QStringLiteral("Samples"), QStringLiteral("Seconds"),
                                      QStringLiteral("Share")});
    bins_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    bins_->verticalHeader()->hide();
    bins_->setWordWrap(false);
    // Each column as wide as its figures, the last taking what is left.
    bins_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    bins_->horizontalHeader()->setStretchLastSection(true);
    bins_->setMinimumWidth(380);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(chart_);
    split->addWidget(bins_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setChildrenCollapsible(false);
    figures_ = new QLabel(this);
    figures_->setObjectName(QStringLiteral("lblFigures"));
    figures_->setWordWrap(true);
    figures_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    column->addLayout(choices);
    column->addWidget(problem_);
    column->addWidget(split, 1);
    column->addWidget(figures_);
    setCentralWidget(central);
    status_ = new QLabel(this);
    statusBar()->addPermanentWidget(status_);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* picture = file->addAction(QStringLiteral("Export &Picture\u2026"));
    picture->setObjectName(QStringLiteral("mnuHistogramExportPicture"));
    picture->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(picture, &QAction::triggered, this, &HistogramWindow::exportPicture);
    QAction* csvAction = file->addAction(QStringLiteral("Export Bins as &CSV\u2026"));
    csvAction->setObjectName(QStringLiteral("mnuHistogramExportCsv"));
    csvAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    connect(csvAction, &QAction::triggered, this, &HistogramWindow::exportCsv);
    file->addSeparator();
    QAction* close = file->addAction(QStringLiteral("&Close"));
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);

    connect(of_, &QComboBox::activated, this, [this] {
        // Edges typed for one channel rarely suit another: a new channel starts on the default.
        if (of_->currentData().toInt() != histogram_.of && !edges_.isEmpty()) {
            edges_.clear();
            edgesText_->clear();
        }
        recount();
    });
    connect(edgesText_, &QLineEdit::editingFinished, this, &HistogramWindow::edgesEdited);
    connect(span_, &SpanChoice::changed, this, &HistogramWindow::recount);
    connect(&watcher_, &QFutureWatcher<analysis::Histogram>::finished, this, [this] {
        if (pending_) {
            pending_ = false;
            recount();
            return;
        }
        histogram_ = watcher_.result();
        counting_ = false;
        fill();
        emit counted();
    });
    setChannel(record::channelOf(Value::Advance));
    resize(1080, 640);
}

HistogramWindow::~HistogramWindow() {
    watcher_.waitForFinished();
}

void HistogramWindow::follow(ReviewState& review) {
    if (review_ != &review) {
        if (review_)
            disconnect(review_, nullptr, this, nullptr);
        review_ = &review;
        connect(&review, &QObject::destroyed, this, [this] { review_ = nullptr; });
        connect(&review, &ReviewState::recordingChanged, this, &HistogramWindow::followRecording);
        connect(&review, &ReviewState::channelsChanged, this, &HistogramWindow::followRecording);
        span_->follow(review);
    }
    closed_ = false;
    followRecording();
}

void HistogramWindow::followRecording() {
    const auto recording = review_ && !closed_ ? review_->recording() : nullptr;
    if (!recording) {
        if (recording_.chart)
            setRecording({});
    } else if (recording->chart != recording_.chart) {
        setRecording(*recording);
    }
}

void HistogramWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        closed_ = true;
        followRecording();
    }
}

void HistogramWindow::setRecording(const LoadedRecording& recording) {
    const auto before = recording_.chart;
    recording_ = recording;
    if (recording_.chart) {
        // Channels added by formula bring the same rows: From and To stay as they were typed.
        if (!before || before->start() != recording_.chart->start() ||
            before->end() != recording_.chart->end())
            span_->setLimits(recording_.chart->start(), recording_.chart->end());
        fillChannels(recording_.chart->table);
        setWindowTitle(QStringLiteral("%1 - Histogram - Ignivex Log")
                           .arg(QFileInfo(recording_.path).fileName()));
    } else {
        setWindowTitle(QStringLiteral("Histogram - Ignivex Log"));
    }
    recount();
}

void HistogramWindow::fillChannels(const record::Table& table) {
    // The choice kept by name: the same channel in a recording that has others besides.
    const QString chosen = of_->currentText();
    const QSignalBlocker block(of_);
    of_->clear();
    for (record::ChannelId c = 0; c < table.channelCount(); ++c)
        of_->addItem(table.channel(c).name, c);
    const int at = of_->findText(chosen);
    of_->setCurrentIndex(at >= 0 ? at : int(record::channelOf(Value::Advance)));
}

void HistogramWindow::setChannel(record::ChannelId of) {
    of_->setCurrentIndex(of_->findData(int(of)));
    recount();
}

QString HistogramWindow::problem() const {
    return problem_->text();
}

QString HistogramWindow::figures() const {
    return figures_->text();
}

void HistogramWindow::edgesEdited() {
    const QString text = edgesText_->text().trimmed();
    QList<double> edges;
    if (!text.isEmpty()) {
        QString why;
        const auto parsed = analysis::edgesFrom(text, &why, kMost);
        edgesText_->setStyleSheet(parsed ? QString() : kBadEdge);
        if (!parsed) {
            problem_->setText(QStringLiteral("Edges: %1. Give numbers in increasing order, "
                                             "separated by commas, such as 0,10,20, or nothing "
                                             "for 20 equal bins. The histogram keeps the edges "
                                             "it had.")
                                  .arg(why));
            problem_->show();
            return;
        }
        edges = *parsed;
    }
    edgesText_->setStyleSheet(QString());
    problem_->clear();
    problem_->hide();
    if (edges == edges_)
        return;
    edges_ = edges;
    recount();
}

void HistogramWindow::recount() {
    if (watcher_.isRunning()) {
        pending_ = true;
        return;
    }
    const record::ChannelId of = of_->currentData().toInt();
    if (!recording_.chart) {
        histogram_ = {};
        histogram_.of = of;
        histogram_.channel = record::Table().channel(of < kValueCount ? of : 0);
        histogram_.empty = QStringLiteral("Open a recording in the review to see its histogram.");
        fill();
        emit counted();
        return;
    }
    status_->setText(QStringLiteral("Counting\u2026"));
    counting_ = true;
    watcher_.setFuture(QtConcurrent::run(
        [data = recording_.chart, of, edges = edges_, span = span_->span()] {
            return analysis::histogram(data->table, of, span, edges);
        }));
}

void HistogramWindow::fill() {
    const analysis::Histogram& h = histogram_;
    const record::ChannelInfo& entry = h.channel;
    const QString unit = tools::unitSuffix(entry);
    const QString title = tools::channelTitle(entry, recording_.details);
    const QString spanProblem = recording_.chart ? span_->problem() : QString();
    analysis::Histogram shown = h;
    if (!spanProblem.isEmpty())
        shown.empty = spanProblem;
    const QString subtitle =
        recording_.chart ? QStringLiteral("%1 \u00b7 %2").arg(QFileInfo(recording_.path).fileName(),
                                                            span_->text(recording_.chart.get()))
                         : QString();
    chart_->setHistogram(shown, title, subtitle);

    bins_->setRowCount(int(h.bins.size()));
    const QLocale locale;
    for (int r = 0; r < int(h.bins.size()); ++r) {
        const analysis::HistogramBin& b = h.bins[std::size_t(r)];
        const QStringList texts{edgeText(b.from), edgeText(b.to), locale.toString(b.samples),
                                locale.toString(b.seconds, 'f', 2),
                                locale.toString(b.share * 100, 'f', 1) + QStringLiteral(" %")};
        for (int c = 0; c < texts.size(); ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            bins_->setItem(r, c, item);
        }
    }

    if (h.bins.empty()) {
        figures_->clear();
    } else {
        auto value = [&](double v) { return tools::meanText(entry, v) + unit; };
        figures_->setText(
            QStringLiteral("%1 values over %2: mean %3, median %4, standard deviation %5, "
                           "5th percentile %6, 95th percentile %7")
                .arg(locale.toString(h.samples), tools::durationText(h.seconds), value(h.mean),
                     value(h.median), value(h.sd), value(h.p5), value(h.p95)));
    }
    if (!recording_.chart) {
        status_->setText(shown.empty);
    } else if (!spanProblem.isEmpty() || h.bins.empty()) {
        status_->setText(shown.empty);
    } else {
        qint64 inBins = 0;
        for (const analysis::HistogramBin& b : h.bins)
            inBins += b.samples;
        QString text = QStringLiteral("%1 of %2 values in %3 bins (%4)")
                           .arg(locale.toString(inBins), locale.toString(h.samples))
                           .arg(h.bins.size())
                           .arg(span_->text(recording_.chart.get()));
        if (!h.sharesOfTime)
            text += QStringLiteral("; no time between the rows, so shares are of the samples");
        status_->setText(text);
    }
}

QByteArray HistogramWindow::csv() const {
    QString out = QStringLiteral("from,to,samples,seconds,share\n");
    for (const analysis::HistogramBin& b : histogram_.bins)
        out += QStringLiteral("%1,%2,%3,%4,%5\n")
                   .arg(edgeText(b.from), edgeText(b.to), QString::number(b.samples),
                        QString::number(b.seconds, 'f', 3), QString::number(b.share, 'f', 5));
    return out.toUtf8();
}

QString HistogramWindow::saveCsv(const QString& path) const {
    return tools::saveFile(path, csv());
}

QString HistogramWindow::savePicture(const QString& path) const {
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    const QRectF area(chart_->rect());
    if (QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0) {
#ifdef IGNIVEX_HAVE_SVG
        QSvgGenerator svg;
        svg.setOutputDevice(&bytes);
        svg.setSize(chart_->size());
        svg.setViewBox(chart_->rect());
        svg.setTitle(QFileInfo(path).completeBaseName());
        QPainter p(&svg);
        chart_->paint(p, area);
#else
        return QStringLiteral("this build of the program writes no SVG drawings; choose PNG");
#endif
    } else {
        const qreal ratio = chart_->devicePixelRatioF();
        QImage image(chart_->size() * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        {
            QPainter p(&image);
            chart_->paint(p, area);
        }
        if (!image.save(&bytes, "PNG"))
            return QStringLiteral("the picture could not be made");
    }
    return tools::saveFile(path, bytes.data());
}

QString HistogramWindow::suggestedName(const QString& suffix) const {
    return QStringLiteral("%1-histogram-%2.%3")
        .arg(QFileInfo(recording_.path).completeBaseName(), histogram_.channel.column, suffix);
}

void HistogramWindow::exportCsv() {
    if (!recording_.chart)
        return;
    if (histogram_.bins.empty()) {
        boxes_.show(QStringLiteral("There is nothing to export: no value of the channel was "
                                   "counted. Choose another span or channel first."),
                    box::OkOnly + box::Information, kExportTitle);
        return;
    }
    const QString start = QFileInfo(recording_.path).dir().filePath(suggestedName("csv"));
    QString path = QFileDialog::getSaveFileName(this, kExportTitle, start,
                                                QStringLiteral("CSV table (*.csv)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    if (const QString why = saveCsv(path); !why.isEmpty())
        return tools::sayNotWritten(boxes_, QStringLiteral("histogram"), path, why, kExportTitle);
    statusBar()->showMessage(QStringLiteral("Saved %1 bins as %2.")
                                 .arg(histogram_.bins.size())
                                 .arg(readablePath(QDir::toNativeSeparators(path))),
                             10000);
}

void HistogramWindow::exportPicture() {
    if (!recording_.chart)
        return;
    QStringList filters{kPngFilter};
#ifdef IGNIVEX_HAVE_SVG
    filters << kSvgFilter;
#endif
    QString filter = kPngFilter;
    const QString start = QDir(settings::pictureFolder()).filePath(suggestedName("png"));
    QString path = QFileDialog::getSaveFileName(this, kExportTitle, start,
                                                filters.join(QStringLiteral(";;")), &filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += filter == kSvgFilter ? QStringLiteral(".svg") : QStringLiteral(".png");
    settings::setPictureFolder(QFileInfo(path).absolutePath());
    if (const QString why = savePicture(path); !why.isEmpty())
        return tools::sayNotWritten(boxes_, QStringLiteral("picture"), path, why, kExportTitle);
    statusBar()->showMessage(QStringLiteral("Saved the picture as %1.")
                                 .arg(readablePath(QDir::toNativeSeparators(path))),
                             10000);
}

QJsonObject HistogramWindow::choices() const {
    QJsonObject out = span_->choices();
    const int of = of_->currentData().toInt();
    if (recording_.chart && of >= 0 && of < recording_.chart->table.channelCount())
        out.insert(QStringLiteral("of"), recording_.chart->table.channel(of).column);
    if (!edges_.isEmpty())
        out.insert(QStringLiteral("edges"), edgesText_->text());
    return out;
}

void HistogramWindow::applyChoices(const QJsonObject& choices) {
    if (!recording_.chart)
        return;
    if (const auto c = recording_.chart->table.channelNamed(choices.value(QStringLiteral("of")).toString()))
        of_->setCurrentIndex(std::max(0, of_->findData(int(*c))));
    edgesText_->setText(choices.value(QStringLiteral("edges")).toString());
    span_->applyChoices(choices);
    edgesEdited();
    recount();
}

}  // namespace ignivex::chart
