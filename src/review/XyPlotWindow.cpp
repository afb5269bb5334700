#include "review/XyPlotWindow.h"

#include "review/FileSaving.h"
#include "series/ChannelText.h"

#include "strips/ChartSettings.h"
#include "review/SpanChoice.h"
#include "series/ReviewState.h"
#include "strips/StripPainter.h"
#include "base/MessageText.h"

#include <algorithm>
#include <QBuffer>
#include <QCloseEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QSignalBlocker>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>

namespace ignivex::chart {

namespace {

// The channels of the rows as a box's items (the data their ids), the choice kept by name.
void fillChannels(QComboBox* box, const record::Table& table) {
    const QString chosen = box->currentText();
    const QSignalBlocker block(box);
    const bool none = box->count() > 0 && box->itemData(0).toInt() < 0;
    const QString noneText = none ? box->itemText(0) : QString();
    box->clear();
    if (none)
        box->addItem(noneText, -1);
    for (record::ChannelId c = 0; c < table.channelCount(); ++c)
        box->addItem(table.channel(c).name, c);
    const int at = box->findText(chosen);
    box->setCurrentIndex(at >= 0 ? at : 0);
}

}  // namespace

XyPlotWindow::XyPlotWindow(MessageBoxes& boxes, QWidget* parent)
    : QMainWindow(parent, Qt::Window), boxes_(boxes) {
    setObjectName(QStringLiteral("frmXyPlot"));
    setWindowTitle(QStringLiteral("XY Plot - Ignivex Log"));
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    auto* choices = new QHBoxLayout;
    auto combo = [this, choices](const QString& label, const char* name, bool none) {
        auto* box = new QComboBox(this);
        box->setObjectName(QLatin1String(name));
        if (none)
            box->addItem(QStringLiteral("None (shade by count)"), -1);
        fillChannels(box, record::Table());
        auto* text = new QLabel(label, this);
        text->setBuddy(box);
        choices->addWidget(text);
        choices->addWidget(box);
        connect(box, &QComboBox::activated, this, &XyPlotWindow::replot);
        return box;
    };
    x_ = combo(QStringLiteral("&X"), "cboX", false);
    y_ = combo(QStringLiteral("&Y"), "cboY", false);
    colour_ = combo(QStringLiteral("&Colour"), "cboColour", true);
    span_ = new SpanChoice(this);
    choices->addSpacing(12);
    choices->addWidget(span_);
    showOverlay_ = new QCheckBox(QStringLiteral("Show the &overlays"), this);
    showOverlay_->setObjectName(QStringLiteral("chkOverlay"));
    showOverlay_->setToolTip(
        QStringLiteral("The points of the recordings overlaid in the review (File, Open "
                       "Overlay\u2026), in squares of red, purple and orange"));
    showOverlay_->setEnabled(false);
    connect(showOverlay_, &QCheckBox::toggled, this, &XyPlotWindow::replot);
    choices->addSpacing(12);
    choices->addWidget(showOverlay_);
    choices->addStretch(1);
    plot_ = new XyPlot(central);
    column->addLayout(choices);
    column->addWidget(plot_, 1);
    setCentralWidget(central);
    status_ = new QLabel(this);
    statusBar()->addPermanentWidget(status_);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* save = file->addAction(QStringLiteral("&Export Picture\u2026"));
    save->setObjectName(QStringLiteral("mnuXyExportPicture"));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(save, &QAction::triggered, this, &XyPlotWindow::exportPicture);
    file->addSeparator();
    QAction* close = file->addAction(QStringLiteral("&Close"));
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);

    connect(span_, &SpanChoice::changed, this, &XyPlotWindow::replot);
    connect(plot_, &XyPlot::cursorRequested, this, [this](double t) {
        if (review_)
            review_->setCursor(t);
    });
    connect(plot_, &XyPlot::pointed, this, [this](const QString& text) {
        text.isEmpty() ? statusBar()->clearMessage() : statusBar()->showMessage(text);
    });
    connect(plot_, &XyPlot::drawn, this, &XyPlotWindow::summarise);
    setChannels(record::channelOf(Value::Rpm), record::channelOf(Value::Advance),
                record::channelOf(Value::Map));
    resize(900, 680);
}

void XyPlotWindow::follow(ReviewState& review) {
    if (review_ != &review) {
        if (review_)
            disconnect(review_, nullptr, this, nullptr);
        review_ = &review;
        connect(&review, &QObject::destroyed, this, [this] { review_ = nullptr; });
        connect(&review, &ReviewState::recordingChanged, this, &XyPlotWindow::followRecording);
        connect(&review, &ReviewState::channelsChanged, this, &XyPlotWindow::followRecording);
        connect(&review, &ReviewState::cursorChanged, this, &XyPlotWindow::followCursors);
        connect(&review, &ReviewState::cursorBChanged, this, &XyPlotWindow::followCursors);
        connect(&review, &ReviewState::overlayChanged, this, &XyPlotWindow::followOverlay);
        span_->follow(review);
    }
    closed_ = false;
    followRecording();
}

void XyPlotWindow::followRecording() {
    const auto recording = review_ && !closed_ ? review_->recording() : nullptr;
    if (!recording) {
        if (recording_.chart)
            clearRecording();
    } else if (recording->chart != recording_.chart) {
        setRecording(*recording);
    }
    followCursors();
    followOverlay();
}

void XyPlotWindow::followCursors() {
    if (review_ && review_->recording())
        setCursorTime(review_->cursor());
}

void XyPlotWindow::followOverlay() {
    // As with the recording, a closed window holds no overlay.
    std::vector<XyOverlay> overlays;
    if (review_ && review_->recording() && !closed_) {
        for (int i = 0; i < review_->overlayCount(); ++i)
            overlays.push_back({review_->overlay(i)->chart, review_->overlayShift(i), {},
                                QFileInfo(review_->overlay(i)->path).fileName()});
    }
    setOverlays(std::move(overlays));
}

void XyPlotWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        closed_ = true;
        followRecording();
    }
}

void XyPlotWindow::setRecording(const LoadedRecording& recording) {
    const bool same = recording.chart == recording_.chart;
    recording_ = recording;
    if (!same && recording_.chart) {
        span_->setLimits(recording_.chart->start(), recording_.chart->end());
        for (QComboBox* box : {x_, y_, colour_})
            fillChannels(box, recording_.chart->table);
    }
    setWindowTitle(
        QStringLiteral("%1 - XY Plot - Ignivex Log").arg(QFileInfo(recording_.path).fileName()));
    replot();
}

void XyPlotWindow::clearRecording() {
    recording_ = {};
    overlays_.clear();
    showOverlay_->setEnabled(false);
    replot();
}

void XyPlotWindow::setOverlays(std::vector<XyOverlay> overlays) {
    auto same = [](const XyOverlay& a, const XyOverlay& b) {
        return a.data == b.data && a.shift == b.shift;
    };
    if (std::equal(overlays.begin(), overlays.end(), overlays_.begin(), overlays_.end(), same))
        return;
    overlays_ = std::move(overlays);
    showOverlay_->setEnabled(!overlays_.empty());
    if (showOverlay_->isChecked())
        replot();
}

void XyPlotWindow::setOverlayShown(bool shown) {
    showOverlay_->setChecked(shown);
}

void XyPlotWindow::setChannels(record::ChannelId x, record::ChannelId y,
                               std::optional<record::ChannelId> colour) {
    x_->setCurrentIndex(x_->findData(int(x)));
    y_->setCurrentIndex(y_->findData(int(y)));
    colour_->setCurrentIndex(colour_->findData(colour ? int(*colour) : -1));
    replot();
}

void XyPlotWindow::setCursorTime(double t) {
    plot_->setMarkedRow(recording_.chart && !recording_.chart->table.empty()
                            ? std::optional<std::size_t>(recording_.chart->rowAt(t))
                            : std::nullopt);
}

void XyPlotWindow::replot() {
    XyChoice c;
    c.data = recording_.chart;
    c.details = recording_.details;
    c.x = x_->currentData().toInt();
    c.y = y_->currentData().toInt();
    const int colour = colour_->currentData().toInt();
    c.colour = colour < 0 ? std::nullopt : std::optional<record::ChannelId>(colour);
    c.span = span_->span();
    c.name = QFileInfo(recording_.path).fileName();
    // Each overlay over the same span, moved back into its own times, through the filter.
    if (recording_.chart && showOverlay_->isChecked() && review_) {
        c.overlays = overlays_;
        for (std::size_t i = 0; i < c.overlays.size(); ++i)
            c.overlays[i].span = review_->overlaySpan(int(i), c.span.from, c.span.to);
    }
    plot_->setSubtitle(recording_.chart ? QStringLiteral("%1 \u00b7 %2")
                                              .arg(QFileInfo(recording_.path).fileName(),
                                                   span_->text(recording_.chart.get()))
                                        : QString());
    plot_->setChoice(c);
    status_->setText(recording_.chart ? QStringLiteral("Counting the points\u2026") : QString());
    if (const QString why = span_->problem(); !why.isEmpty())
        status_->setText(why);
}

void XyPlotWindow::summarise() {
    const XyPicture& pic = plot_->picture();
    if (!recording_.chart) {
        status_->clear();
        return;
    }
    if (const QString why = span_->problem(); !why.isEmpty()) {
        status_->setText(why);
        return;
    }
    QString text =
        QStringLiteral("%1 points in %2 pixels")
            .arg(QLocale().toString(pic.grid.points), QLocale().toString(pic.cells.occupied));
    for (std::size_t i = 0; i < pic.overlays.size(); ++i)
        text += QStringLiteral("; overlay %1: %2 points")
                    .arg(i + 1)
                    .arg(QLocale().toString(pic.overlays[i].grid.points));
    status_->setText(text);
}

QString XyPlotWindow::savePicture(const QString& path) const {
    const qreal ratio = plot_->devicePixelRatioF();
    QImage image(plot_->size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    {
        QPainter p(&image);
        plot_->paint(p, QRectF(plot_->rect()));
    }
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    if (!image.save(&bytes, "PNG"))
        return QStringLiteral("the picture could not be made");
    return tools::saveFile(path, bytes.data());
}

void XyPlotWindow::exportPicture() {
    if (!recording_.chart)
        return;
    const XyChoice& c = plot_->choice();
    const QString name =
        QStringLiteral("%1-%2-%3.png")
            .arg(QFileInfo(recording_.path).completeBaseName(),
                 c.channel(c.y).column, c.channel(c.x).column);
    QString path = QFileDialog::getSaveFileName(this, kExportTitle,
                                                QDir(settings::pictureFolder()).filePath(name),
                                                QStringLiteral("PNG image (*.png)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".png");
    settings::setPictureFolder(QFileInfo(path).absolutePath());
    const QString why = savePicture(path);
    if (!why.isEmpty())
        return tools::sayNotWritten(boxes_, QStringLiteral("picture"), path, why, kExportTitle);
    statusBar()->showMessage(QStringLiteral("Saved the picture as %1.")
                                 .arg(readablePath(QDir::toNativeSeparators(path))),
                             10000);
}

QJsonObject XyPlotWindow::choices() const {
    QJsonObject out = span_->choices();
    const XyChoice& c = plot_->choice();
    out.insert(QStringLiteral("x"), c.channel(c.x).column);
    out.insert(QStringLiteral("y"), c.channel(c.y).column);
    out.insert(QStringLiteral("colour"), c.colour ? c.channel(*c.colour).column : QString());
    out.insert(QStringLiteral("overlays"), showOverlay_->isChecked());
    return out;
}

void XyPlotWindow::applyChoices(const QJsonObject& choices) {
    if (!recording_.chart)
        return;
    const record::Table& table = recording_.chart->table;
    for (const auto& [key, box] : {std::pair{QStringLiteral("x"), x_},
                                   std::pair{QStringLiteral("y"), y_},
                                   std::pair{QStringLiteral("colour"), colour_}}) {
        const QString column = choices.value(key).toString();
        if (box == colour_ && choices.contains(key) && column.isEmpty())
            box->setCurrentIndex(box->findData(-1));
        else if (const auto c = table.channelNamed(column))
            box->setCurrentIndex(std::max(0, box->findData(int(*c))));
    }
    showOverlay_->setChecked(choices.value(QStringLiteral("overlays")).toBool());
    span_->applyChoices(choices);
    replot();
}

}  // namespace ignivex::chart
