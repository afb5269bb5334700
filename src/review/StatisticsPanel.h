#pragma once

#include "series/ChartData.h"

#include <QTimer>
#include <QWidget>
#include <optional>

class QComboBox;
class QLabel;
class QTableWidget;

namespace ignivex::chart {

class ReviewState;

// Beside the review: for every channel its value at cursor A and at cursor B, the difference,
// and the least, greatest and mean value between them (an input's mean is its share of time
// at 1); without B, over the view. Rows whose status is not ok are left out of the figures.
// With overlays, the figures are those of the recording or of one overlay, chosen above the
// table: the overlay's values at the cursors and over the span, moved as it is drawn. The table
// can be copied as text for a spreadsheet.
class StatisticsPanel : public QWidget {
    Q_OBJECT
public:
    explicit StatisticsPanel(QWidget* parent = nullptr);

    // Shows the figures for `data` between `from` and `to` (the span between the cursors, or
    // the view); `a` and `b` are the cursors (b may be absent).
    void showFigures(const ChartData& data, double a, std::optional<double> b, double from,
                     double to);
    void clear();
    // From now on the figures follow the review's cursors, view and recording, a moment after
    // they changed: a pass over every row is done once they have come to rest.
    void follow(const ReviewState& review);
    // Brings the figures up to date now.
    void refresh();

    // The table as tab-separated lines with a header, as copied.
    QString text() const;
    void copy() const;

    QSize sizeHint() const override;

private:
    // A row for each of the table's channels, named; kept while they are the same.
    void showChannels(const record::Table& table);
    void figures(const ChartData& data, double a, std::optional<double> b, double from,
                 double to, const QString& whose);
    // The recording and the overlays to choose from, the choice kept where it can be.
    void listRecordings();

    QComboBox* of_;
    QLabel* span_;
    QTableWidget* table_;
    const ReviewState* review_ = nullptr;
    QTimer due_;
};

}  // namespace ignivex::chart
