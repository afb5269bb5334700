#pragma once

#include "recovery/MessageBoxes.h"
#include "base/Module1.h"

#include <QDialog>
#include <QString>

#include <functional>

class QGroupBox;
class QLabel;
class QTimer;

namespace ignivex {

// The number a font-size line starts with: blanks and tabs are skipped, "." is the decimal
// point, and reading stops at the first character that cannot continue the number ("28" 28,
// "10.5" 10.5, "12pt" 12, "large" 0). A number too large for a double gives an infinity.
double leadingNumber(const QString& text);

// The largest font size the splash accepts, in points; anything above it is refused.
inline constexpr double kMaxFontSize = 2160.0;

// The branded splash window. Its load runs once, just before the window first appears (or
// when called directly): it reads the branding into the module's lists and applies the splash
// lines to the company caption and the logo, each step through the Abort/Retry/Ignore prompt.
// The window closes itself `unloadIntervalMs` after it was created, but never while its own
// load is still running: then it closes as soon as the load has finished.
class frmSplash : public QDialog {
    Q_OBJECT
public:
    static constexpr int kUnloadInterval = 4000;

    frmSplash(MessageBoxes& boxes, Module1& module, const QString& programFolder,
              int unloadIntervalMs = kUnloadInterval, QWidget* parent = nullptr);

    // The splash load. Only its first call does anything.
    void Form_Load();

    bool loading() const { return loading_; }
    // True when the load ran to its last step (it was not left by Abort).
    bool loadCompleted() const { return loadCompleted_; }

    void setVisible(bool visible) override;

public slots:
    // Esc and the window manager's close do not end the splash: only its timer does.
    void reject() override {}

private slots:
    void tmrSplashUnload_Timer();

private:
    QString splashLine(int position) const;
    void applyFontSize();
    void loadLogo();
    void unloadWhenDue();
    void centreOnScreen();

    MessageBoxes& boxes_;
    Module1& module_;
    QString programFolder_;
    bool loadStarted_ = false;
    bool loading_ = false;
    bool loadCompleted_ = false;
    bool unloadDue_ = false;
    bool unloadQueued_ = false;

    QTimer* tmrSplashUnload;
    QGroupBox* fraSplash;
    QLabel* imgLogo;
    QLabel* lblCopyright;
    QLabel* lblVersion;
    QLabel* lblProductName;
    QLabel* lblCompanyName;
};

// Start-up: shows the splash modally and returns once it has closed itself. `shown` is told
// about the window before it appears (the message boxes of its load stand over it).
void runSplash(MessageBoxes& boxes, Module1& module, const QString& programFolder,
               const std::function<void(QWidget*)>& shown = {});

}  // namespace ignivex
