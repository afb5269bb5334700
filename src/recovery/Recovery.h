#pragma once

#include "recovery/MessageBoxes.h"

#include <functional>
#include <initializer_list>

namespace ignivex {

// The recovery policy shared by every procedure that catches its own errors. A procedure is
// written as a sequence of steps; a step that throws a CommError goes to ErrorPrompt, and the
// answer decides: Abort runs the procedure's clean-up and leaves, Retry runs the same step
// again, Ignore goes on with the next step (or leaves, where the step says that Ignore ends
// the procedure, as the exchange time-out does).
//
//     Recovery r(boxes, [&] { closePortIfOpen(); });
//     if (!r.step([&] { port.setPortOpen(true); })) return result;
class Recovery {
public:
    enum class OnIgnore { NextStep, EndProcedure };

    explicit Recovery(MessageBoxes& boxes, std::function<void()> cleanup = {});

    // True: go on with the next step. False: leave the procedure now.
    [[nodiscard]] bool step(const std::function<void()>& body,
                            OnIgnore onIgnore = OnIgnore::NextStep);

    // Runs the steps in order; false when the procedure was left before the last one ended.
    [[nodiscard]] bool steps(std::initializer_list<std::function<void()>> bodies);

    bool aborted() const { return aborted_; }
    // For the rare step that tells the user something without asking.
    MessageBoxes& boxes() const { return boxes_; }

private:
    void runCleanup();

    MessageBoxes& boxes_;
    std::function<void()> cleanup_;
    bool aborted_ = false;
};

}  // namespace ignivex
