#include "review/OverlaysPanel.h"

#include "series/ReviewState.h"
#include "strips/OverlayStyle.h"
#include "strips/StripPainter.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ignivex::chart {

namespace {

const QColor kLine(40, 40, 40);

// A piece of the line a recording is drawn in (-1: the recording's own, solid), at the
// screen's pixel ratio.
QIcon lineIcon(int overlay, qreal ratio) {
    const QSize size(36, 12);
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(overlay >= 0 ? overlayPen(overlay, kLine, 2) : QPen(kLine, 2));
    p.drawLine(QPointF(2, 6), QPointF(34, 6));
    return QIcon(pixmap);
}

}  // namespace

OverlaysPanel::OverlaysPanel(ReviewState& review, QWidget* parent)
    : QWidget(parent), review_(review) {
    setObjectName(QStringLiteral("pnlOverlays"));
    auto* column = new QVBoxLayout(this);
    table_ = new QTableWidget(0, 3, this);
    table_->setObjectName(QStringLiteral("tblOverlays"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Recording"), QStringLiteral("Moved (s)"), QStringLiteral("Starts at")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setIconSize({36, 12});
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    auto* buttons = new QHBoxLayout;
    open_ = new QPushButton(QStringLiteral("&Open Overlay\u2026"), this);
    open_->setObjectName(QStringLiteral("cmdOpenOverlay"));
    align_ = new QPushButton(QStringLiteral("&Align at a Mark\u2026"), this);
    align_->setObjectName(QStringLiteral("cmdAlignOverlay"));
    close_ = new QPushButton(QStringLiteral("&Close Overlay"), this);
    close_->setObjectName(QStringLiteral("cmdCloseOverlay"));
    buttons->addWidget(open_);
    buttons->addWidget(align_);
    buttons->addWidget(close_);
    buttons->addStretch(1);
    column->addWidget(table_, 1);
    column->addLayout(buttons);
    connect(open_, &QPushButton::clicked, this, &OverlaysPanel::openRequested);
    connect(align_, &QPushButton::clicked, this, &OverlaysPanel::alignRequested);
    connect(close_, &QPushButton::clicked, this, &OverlaysPanel::closeRequested);
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!rebuilding_ && row > 0)
            review_.setCurrentOverlay(row - 1);
    });
    connect(&review_, &ReviewState::overlayChanged, this, &OverlaysPanel::rebuild);
    connect(&review_, &ReviewState::recordingChanged, this, &OverlaysPanel::rebuild);
    rebuild();
}

void OverlaysPanel::rebuild() {
    rebuilding_ = true;
    const auto& recording = review_.recording();
    const int count = recording ? 1 + review_.overlayCount() : 0;
    // The spin boxes of rows kept stay, so one being typed in keeps its focus.
    if (table_->rowCount() != count)
        table_->setRowCount(count);
    const qreal ratio = devicePixelRatioF();
    for (int row = 0; row < count; ++row) {
        const int overlay = row - 1;
        const auto& shown = row == 0 ? recording : review_.overlay(overlay);
        auto* name = new QTableWidgetItem(lineIcon(overlay, ratio),
                                          QFileInfo(shown->path).fileName());
        name->setToolTip(QStringLiteral("%1\n%2").arg(
            QDir::toNativeSeparators(shown->path),
            row == 0 ? QStringLiteral("The recording, solid")
                     : QStringLiteral("Overlay %1, %2").arg(row).arg(
                           QLatin1String(overlayStyle(overlay).name))));
        table_->setItem(row, 0, name);
        const ChartData& data = *shown->chart;
        const double shift = row == 0 ? 0.0 : review_.overlayShift(overlay);
        table_->setItem(row, 2, new QTableWidgetItem(
                                    timeLabel(recording->chart.get(), data.start() + shift,
                                              TimeStyle::Elapsed, 3)));
        if (row == 0) {
            table_->removeCellWidget(row, 1);
            table_->setItem(row, 1, new QTableWidgetItem(QStringLiteral("\u2013")));
            continue;
        }
        auto* box = qobject_cast<QDoubleSpinBox*>(table_->cellWidget(row, 1));
        if (!box) {
            box = new QDoubleSpinBox(table_);
            box->setObjectName(QStringLiteral("spnOverlayShift%1").arg(row));
            box->setRange(-1e7, 1e7);
            box->setDecimals(3);
            box->setSingleStep(0.1);
            box->setKeyboardTracking(false);
            box->setFrame(false);
            table_->setCellWidget(row, 1, box);
            connect(box, &QDoubleSpinBox::valueChanged, this, [this, overlay](double v) {
                review_.setOverlayShift(overlay, v);
            });
        }
        const QSignalBlocker quiet(box);
        box->setValue(shift);
    }
    if (review_.overlayCount() > 0)
        table_->selectRow(review_.currentOverlay() + 1);
    const bool any = review_.overlayCount() > 0;
    open_->setEnabled(recording && review_.overlayCount() < ReviewState::kMostOverlays);
    align_->setEnabled(any);
    close_->setEnabled(any);
    rebuilding_ = false;
}

QSize OverlaysPanel::sizeHint() const {
    return {420, 4 * fontMetrics().height() * 2 + 60};
}

}  // namespace ignivex::chart
