#pragma once

#include "recovery/MessageBoxes.h"

#include <QPointer>
#include <QWidget>

namespace ignivex {

// Modal message boxes on QMessageBox. The buttons stand in the order of their set (Abort,
// Retry, Ignore; Retry, Cancel) and the first is the default, so Enter answers Abort (or Retry);
// Qt's own platform order would put them differently.
//
// Each box stands over the owner window (the splash while it is up, then the main window), so
// it appears where the user is looking rather than wherever the active window happens to be.
class QtMessageBoxes final : public MessageBoxes {
public:
    int show(const QString& text, int style, const QString& title) override;
    void setOwner(QWidget* owner) { owner_ = owner; }

private:
    QPointer<QWidget> owner_;
};

}  // namespace ignivex
