#pragma once

#include "analysis/Span.h"

#include <QWidget>
#include <optional>
#include <utility>

class QComboBox;
class QDoubleSpinBox;
class QLabel;

namespace ignivex::chart {

struct ChartData;
class ReviewState;

// Which rows a figure covers: the whole recording, the review's view (followed as it moves),
// from one time to another, or between the review's cursors A and B (followed too).
class SpanChoice : public QWidget {
    Q_OBJECT
public:
    enum Kind { Whole, View, Between, Cursors };

    explicit SpanChoice(QWidget* parent = nullptr);

    // The recording's first and last times: the limits of From and To.
    void setLimits(double start, double end);
    // The review's view; a change is a change of the span only while the view is chosen.
    void setView(double t0, double t1);
    // The review's cursors; nothing while B is not placed. A change is a change of the span
    // only while the cursors are chosen.
    void setCursors(std::optional<std::pair<double, double>> ab);
    void setKind(Kind kind);
    // From and To, in seconds since the start of the recording (the kind becomes Between).
    void setBetween(double from, double to);
    // The rows the review's filter lets through, and its name; nullptr for no filter.
    void setFilter(std::shared_ptr<const analysis::RowsPassing> passing, const QString& name);
    // The review's view, cursors and filter, followed from now on (from no other review).
    void follow(ReviewState& review);

    // The kind, and From and To where they are typed, as a study keeps them; put back as far
    // as they fit the recording.
    QJsonObject choices() const;
    void applyChoices(const QJsonObject& choices);

    Kind kind() const;
    analysis::Span span() const;
    // "whole recording", "view 0:12.0 to 0:42.0", "0:12.0 to 0:42.0".
    QString text(const ChartData* data) const;
    // Why the span holds no row (From after To, cursor B not placed); empty otherwise.
    QString problem() const;

signals:
    void changed();

private:
    void kindChosen();
    QString spanText(const ChartData* data) const;

    QComboBox* kind_;
    QLabel* fromLabel_;
    QDoubleSpinBox* from_;
    QLabel* toLabel_;
    QDoubleSpinBox* to_;
    double viewFrom_ = 0, viewTo_ = 0;
    std::optional<std::pair<double, double>> cursors_;  // earlier first
    std::shared_ptr<const analysis::RowsPassing> passing_;
    QString filterName_;
    QMetaObject::Connection followed_[5];
};

}  // namespace ignivex::chart
