#pragma once

#include "recovery/MessageBoxes.h"

class QWidget;

namespace ignivex {

// Modal message boxes on QMessageBox. The buttons stand in the order of their set (Abort,
// Retry, Ignore; Retry, Cancel) and the first is the default, so Enter answers Abort (or Retry);
// Qt's own platform order would put them differently.
class QtMessageBoxes final : public MessageBoxes {
public:
    int show(const QString& text, int style, const QString& title) override;
};

}  // namespace ignivex
