#pragma once

#include "series/Study.h"

#include <QObject>
#include <optional>

class QMenu;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::chart {

class FormulaTools;
class ReviewTools;
class ReviewWindow;

// File, Save Study..., Open Study... and Recent Studies of the review. Opening reads the
// recording, then the overlay, each in the background as File, Open Recording does, and then
// puts back the shift, the view, the cursors, the filter and the tool windows.
class StudyTools : public QObject {
    Q_OBJECT
public:
    StudyTools(ReviewWindow& review, MessageBoxes& boxes, ReviewTools& tools,
               FormulaTools& formulas);

    // What the review shows now; nothing without a recording.
    std::optional<Study> current() const;
    // False, after saying why in a box, where it could not be written.
    bool save(const QString& path);
    void open(const QString& path);
    bool opening() const { return pending_.has_value(); }

    static constexpr int kRecentKept = 8;
    static QStringList recentStudies();

signals:
    void opened(const QString& path);  // the study is shown whole

private:
    void remember(const QString& path);
    void fillRecent(QMenu* menu);
    void step();
    void finish();

    ReviewWindow& review_;
    MessageBoxes& boxes_;
    ReviewTools& tools_;
    FormulaTools& formulas_;
    std::optional<Study> pending_;
    QString pendingPath_;
};

}  // namespace ignivex::chart
