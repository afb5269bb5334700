#include "review/XyPlotWindow.h"

#include "review/FileSaving.h"
#include "series/ChannelText.h"

#include "strips/ChartSettings.h"
#include "review/SpanChoice.h"
#include "series/ReviewState.h"
#include "strips/StripPainter.h"
#include "base/MessageText.h"

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
    showOverlay_ = new QCheckBox(QStringLiteral("Show the &overlay"), this);
    showOverlay_->setObjectName(QStringLiteral("chkOverlay"));
    showOverlay_->setToolTip(
        QStringLiteral("The points of the recording overlaid in the review (File, Open "
                       "Overlay\u2026), in red squares"));
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
    const bool shown = review_ && review_->recording() && !closed_;
    setOverlay(shown ? review_->overlay().get() : nullptr, review_ ? review_->overlayShift() : 0);
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
    overlay_ = {};
    showOverlay_->setEnabled(false);
    replot();
}

void XyPlotWindow::setOverlay(const LoadedRecording* overlay, double shift) {
    const std::shared_ptr<const ChartData> data = overlay ? overlay->chart : nullptr;
    if (data == overlay_.chart && (!data || shift == overlayShift_))
        return;
    overlay_ = overlay ? *overlay : LoadedRecording{};
    overlayShift_ = shift;
    showOverlay_->setEnabled(data != nullptr);
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
    if (recording_.chart && overlay_.chart && showOverlay_->isChecked()) {
        c.overlay = overlay_.chart;
        c.overlayShift = overlayShift_;
        c.overlayName = QFileInfo(overlay_.path).fileName();
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
    if (plot_->choice().overlay)
        text += QStringLiteral("; overlay %1 points").arg(QLocale().toString(pic.overlay.points));
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

}  // namespace ignivex::chart
