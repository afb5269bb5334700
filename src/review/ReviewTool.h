#pragma once

#include <QJsonObject>

namespace ignivex::chart {

class ReviewState;

// A tool window of the review (View, Map Table..., View, XY Plot...). Handed the review's
// state, it shows the recording, the view, the cursors and the overlay the review shows and
// follows each change; what is clicked in it may move the review's cursor. A closed window
// lets go of the recording (it would keep a long one in memory for nothing) until it is handed
// the state again.
class ReviewTool {
public:
    virtual void follow(ReviewState& review) = 0;
    // What is chosen in the window, as a study keeps it (channels by their file column), and
    // put back from one: a choice that does not fit the recording shown is left as it is.
    virtual QJsonObject choices() const = 0;
    virtual void applyChoices(const QJsonObject& choices) = 0;

protected:
    ~ReviewTool() = default;
};

}  // namespace ignivex::chart
