#include "review/StatisticsPanel.h"

#include "analysis/Statistics.h"
#include "series/ReviewState.h"
#include "strips/StripPainter.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ignivex::chart {

namespace {

const QStringList kHeader = {QStringLiteral("Channel"), QStringLiteral("A"),
                             QStringLiteral("B"),       QStringLiteral("B \u2212 A"),
                             QStringLiteral("Min"),     QStringLiteral("Max"),
                             QStringLiteral("Mean")};

QString withUnit(const record::ChannelInfo& entry) {
    return entry.unit.isEmpty() ? entry.name : QStringLiteral("%1 (%2)").arg(entry.name, entry.unit);
}

QString number(std::optional<double> v, int decimals) {
    return v ? QString::number(*v, 'f', decimals) : QString();
}

}  // namespace

StatisticsPanel::StatisticsPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlStatistics"));
    auto* column = new QVBoxLayout(this);
    of_ = new QComboBox(this);
    of_->setObjectName(QStringLiteral("cboStatisticsOf"));
    of_->hide();
    connect(of_, &QComboBox::activated, this, &StatisticsPanel::refresh);
    span_ = new QLabel(this);
    span_->setObjectName(QStringLiteral("lblSpan"));
    span_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    span_->setMinimumHeight(2 * span_->fontMetrics().lineSpacing() + 4);
    table_ = new QTableWidget(0, kHeader.size(), this);
    table_->setObjectName(QStringLiteral("tblStatistics"));
    table_->setHorizontalHeaderLabels(kHeader);
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* copy = new QPushButton(QStringLiteral("&Copy Table"), this);
    copy->setObjectName(QStringLiteral("cmdCopyStatistics"));
    connect(copy, &QPushButton::clicked, this, &StatisticsPanel::copy);
    column->addWidget(of_);
    column->addWidget(span_);
    column->addWidget(table_);
    column->addWidget(copy, 0, Qt::AlignLeft);
    column->addStretch(1);
    clear();
}

void StatisticsPanel::clear() {
    span_->setText(QStringLiteral("No recording."));
    showChannels(record::Table());
}

void StatisticsPanel::showChannels(const record::Table& table) {
    const bool same = table_->rowCount() == table.channelCount() &&
                      [&] {
                          for (int row = 0; row < table.channelCount(); ++row) {
                              if (table_->item(row, 0)->text() != withUnit(table.channel(row)))
                                  return false;
                          }
                          return true;
                      }();
    if (same)
        return;
    table_->setRowCount(table.channelCount());
    for (int row = 0; row < table.channelCount(); ++row) {
        table_->setItem(row, 0, new QTableWidgetItem(withUnit(table.channel(row))));
        for (int c = 1; c < kHeader.size(); ++c)
            table_->setItem(row, c, new QTableWidgetItem);
    }
    // The table as tall as its rows, the space below it left empty.
    table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() +
                           table.channelCount() * table_->verticalHeader()->defaultSectionSize() +
                           2 * table_->frameWidth() +
                           table_->horizontalScrollBar()->sizeHint().height() + 2);
}

void StatisticsPanel::showFigures(const ChartData& data, double a, std::optional<double> b,
                                  double from, double to) {
    figures(data, a, b, from, to, {});
}

void StatisticsPanel::figures(const ChartData& data, double a, std::optional<double> b,
                              double from, double to, const QString& whose) {
    // An overlay's figures in its own times: the span and the cursors moved back by its shift.
    const int overlay = !of_->isHidden() ? of_->currentIndex() - 1 : -1;
    const double shift = overlay >= 0 ? review_->overlayShift(overlay) : 0.0;
    const analysis::Span span = !review_     ? analysis::Span{from, to, nullptr}
                                : overlay >= 0 ? review_->overlaySpan(overlay, from, to)
                                               : review_->span(from, to);
    const analysis::Statistics stats = analysis::statistics(data.table, span);
    const QString when =
        b ? QStringLiteral("between the cursors") : QStringLiteral("over the view");
    span_->setText(QStringLiteral("\u0394t %1 s %2, %3 to %4.\nRows not ok are left out.")
                       .arg(QString::number(to - from, 'f', 3), when,
                            timeLabel(&data, from - shift, TimeStyle::Elapsed, 3),
                            timeLabel(&data, to - shift, TimeStyle::Elapsed, 3)) +
                   whose);
    a -= shift;
    if (b)
        *b -= shift;
    showChannels(data.table);
    for (int row = 0; row < data.table.channelCount(); ++row) {
        const record::ChannelInfo& entry = data.table.channel(row);
        const int d = entry.onOff() ? 0 : entry.decimals;
        auto at = [&](std::optional<double> t) -> std::optional<double> {
            if (!t)
                return std::nullopt;
            const auto v = valueAt(data, row, *t);
            return v ? std::optional<double>(*v) : std::nullopt;
        };
        const auto va = at(a), vb = at(b);
        const analysis::ChannelStatistics& s = stats[std::size_t(row)];
        const bool any = s.samples > 0;
        const QStringList cells = {
            number(va, d),
            number(vb, d),
            number(va && vb ? std::optional<double>(*vb - *va) : std::nullopt, d),
            number(any ? std::optional<double>(s.min) : std::nullopt, d),
            number(any ? std::optional<double>(s.max) : std::nullopt, d),
            number(any ? std::optional<double>(s.mean) : std::nullopt, entry.onOff() ? 3 : d + 1)};
        for (int c = 0; c < cells.size(); ++c)
            table_->item(row, c + 1)->setText(cells[c]);
    }
}

QString StatisticsPanel::text() const {
    QString out =
        span_->text() + QLatin1Char('\n') + kHeader.join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (int r = 0; r < table_->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table_->columnCount(); ++c)
            cells << table_->item(r, c)->text();
        out += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out;
}

QSize StatisticsPanel::sizeHint() const {
    // The whole table in view: its columns at their contents' width.
    const int width = table_->verticalHeader()->width() + table_->horizontalHeader()->length() +
                      2 * table_->frameWidth() + 24;
    return {std::max(width, 480), QWidget::sizeHint().height()};
}

void StatisticsPanel::copy() const {
    QApplication::clipboard()->setText(text());
}

void StatisticsPanel::follow(const ReviewState& review) {
    review_ = &review;
    due_.setSingleShot(true);
    due_.setInterval(150);
    connect(&due_, &QTimer::timeout, this, &StatisticsPanel::refresh, Qt::UniqueConnection);
    auto soon = [this] { due_.start(); };
    connect(&review, &ReviewState::recordingChanged, this, soon);
    connect(&review, &ReviewState::channelsChanged, this, soon);
    connect(&review, &ReviewState::cursorChanged, this, soon);
    connect(&review, &ReviewState::cursorBChanged, this, soon);
    connect(&review, &ReviewState::viewChanged, this, soon);
    connect(&review, &ReviewState::filterChanged, this, soon);
    connect(&review, &ReviewState::overlayChanged, this, [this, soon] {
        listRecordings();
        soon();
    });
    connect(&review, &ReviewState::recordingChanged, this, &StatisticsPanel::listRecordings);
}

void StatisticsPanel::listRecordings() {
    const int count = review_->recording() ? review_->overlayCount() : 0;
    QStringList names;
    if (count > 0)
        names << QFileInfo(review_->recording()->path).fileName();
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("%1 (overlay %2)")
                     .arg(QFileInfo(review_->overlay(i)->path).fileName())
                     .arg(i + 1);
    QStringList had;
    for (int i = 0; i < of_->count(); ++i)
        had << of_->itemText(i);
    if (names == had)
        return;
    const QString chosen = of_->currentText();
    of_->clear();
    of_->addItems(names);
    of_->setCurrentIndex(std::max(0, int(names.indexOf(chosen))));
    of_->setVisible(count > 0);
}

void StatisticsPanel::refresh() {
    due_.stop();
    if (!review_ || !review_->recording()) {
        clear();
        return;
    }
    const auto [from, to] = review_->statisticsSpan();
    const int overlay = !of_->isHidden() ? of_->currentIndex() - 1 : -1;
    if (overlay >= 0 && review_->overlay(overlay)) {
        figures(*review_->overlay(overlay)->chart, review_->cursor(), review_->cursorB(), from,
                to,
                QStringLiteral("\nOf %1, moved %2 s.")
                    .arg(QFileInfo(review_->overlay(overlay)->path).fileName(),
                         QString::asprintf("%+.3f", review_->overlayShift(overlay))));
        return;
    }
    figures(*review_->recording()->chart, review_->cursor(), review_->cursorB(), from, to, {});
}

}  // namespace ignivex::chart
