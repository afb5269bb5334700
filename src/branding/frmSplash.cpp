#include "branding/frmSplash.h"

#include "branding/About.h"
#include "branding/BrandingFile.h"
#include "branding/FittedCaption.h"
#include "branding/ProgramFiles.h"
#include "recovery/CommError.h"
#include "base/AppIdentity.h"
#include "base/MessageText.h"
#include "recovery/Recovery.h"
#include "base/Twips.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <limits>

namespace ignivex {
namespace {

const QString kSource = QStringLiteral("Branding");
constexpr std::int32_t kErrSubscript = 9;
constexpr std::int32_t kErrInvalidPicture = 481;
constexpr int kMaxLogoMegabytes = 16;

QFont arial(double points, bool bold, bool italic = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& box,
              const QFont& font) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    // Branded texts are shown as written, never as markup.
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setGeometry(box);
    l->setFont(font);
    l->setText(text);
    return l;
}

// What the company caption's box holds at 8 point, with room to spare.
constexpr int kMaxCaptionLength = 300;

const char* const kPositionMeaning[] = {"the company name", "the font name", "the font size",
                                        "the style words", "the logo file name"};

}  // namespace

double leadingNumber(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
            ++i;
    };
    auto isDigit = [&](qsizetype at) {
        return at < n && text[at] >= QLatin1Char('0') && text[at] <= QLatin1Char('9');
    };

    QString number;
    skipBlanks();
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        number += text[i++];
    bool point = false;
    bool digits = false;
    for (;;) {
        skipBlanks();
        if (isDigit(i)) {
            number += text[i++];
            digits = true;
        } else if (i < n && text[i] == QLatin1Char('.') && !point) {
            number += text[i++];
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;

    // An exponent counts only when digits follow it: "12e" is 12, "1e2" is 100.
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        while (j < n && (text[j] == QLatin1Char(' ') || text[j] == QLatin1Char('\t')))
            ++j;
        QString exponent = QStringLiteral("e");
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            exponent += text[j++];
        if (isDigit(j)) {
            while (j < n) {
                if (isDigit(j))
                    exponent += text[j];
                else if (text[j] != QLatin1Char(' ') && text[j] != QLatin1Char('\t'))
                    break;
                ++j;
            }
            number += exponent;
        }
    }

    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    if (ok)
        return value;
    // Well-formed but out of the range of a double: too large (or too small) for any font.
    return number.startsWith(QLatin1Char('-')) ? -std::numeric_limits<double>::infinity()
                                               : std::numeric_limits<double>::infinity();
}

frmSplash::frmSplash(MessageBoxes& boxes, Module1& module, const QString& programFolder,
                     int unloadIntervalMs, QWidget* parent)
    : QDialog(parent), boxes_(boxes), module_(module), programFolder_(programFolder) {
    setObjectName(QStringLiteral("frmSplash"));
    // A dialog border without a title bar: no caption and no title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint);
    setWindowTitle(QString());
    setFixedSize(twips(7155), twips(3735));

    fraSplash = new QGroupBox(this);
    fraSplash->setObjectName(QStringLiteral("fraSplash"));
    fraSplash->setGeometry(twipsRect(30, 0, 7065, 3690));

    imgLogo = new QLabel(fraSplash);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setGeometry(twipsRect(360, 600, 1485, 900));

    lblCopyright = label(fraSplash, "lblCopyright", copyrightNotice(),
                         twipsRect(3600, 3240, 3252, 252), arial(8.25, false));
    lblVersion = label(fraSplash, "lblVersion", QStringLiteral("Version 1.1"),
                       twipsRect(3600, 2880, 1275, 285), arial(12, true));
    lblProductName = label(fraSplash, "lblProductName", QStringLiteral("Ignivex Data Logging"),
                           twipsRect(3120, 1560, 3945, 1050), arial(22.5, true));
    // Empty until the branding is applied, so an aborted load shows no made-up company. A long
    // caption shrinks (then wraps) to stay clear of the product name below it.
    auto* company = new FittedCaption(fraSplash);
    company->setObjectName(QStringLiteral("lblCompanyName"));
    company->setGeometry(twipsRect(2160, 480, 4716, 1332));
    company->setFont(arial(29.25, true, true));
    company->setUsableHeight(twips(1560 - 480));
    lblCompanyName = company;

    tmrSplashUnload = new QTimer(this);
    tmrSplashUnload->setObjectName(QStringLiteral("tmrSplashUnload"));
    tmrSplashUnload->setInterval(unloadIntervalMs);
    connect(tmrSplashUnload, &QTimer::timeout, this, &frmSplash::tmrSplashUnload_Timer);
    tmrSplashUnload->start();
}

QString frmSplash::splashLine(int position) const {
    if (position <= module_.SplashLines.size())
        return module_.SplashLines[position - 1];
    throw CommError(
        kErrSubscript, kSource,
        QStringLiteral("The branding file %1 has no line %2 in its splash section, where %3 "
                       "belongs. The splash section needs five lines (company name, font name, "
                       "font size, style words, logo file name) followed by a line beginning "
                       "with \"!\". Add the missing line, or remove the file to use the "
                       "built-in branding. Click Ignore to go on without this setting.")
            .arg(readablePath(brandingFilePath(programFolder_)), QString::number(position),
                 QString::fromLatin1(kPositionMeaning[position - 1])));
}

void frmSplash::applyFontSize() {
    const QString line = splashLine(3);
    const double size = leadingNumber(line);
    // The font service takes sizes above 0 up to a sane maximum; 0, negative, infinite and
    // absurd sizes are refused rather than silently ignored.
    if (!(size > 0.0 && size <= kMaxFontSize))
        throw CommError(kErrInvalidProperty, kSource,
                        QStringLiteral("The font size \"%1\" in line 3 of the splash section "
                                       "of the branding file %2 cannot be used. Write a size "
                                       "in points above 0 and up to %3, for example 28. Click "
                                       "Ignore to keep the size the splash has.")
                            .arg(readable(line), readablePath(brandingFilePath(programFolder_)),
                                 QString::number(kMaxFontSize)));
    QFont font = lblCompanyName->font();
    font.setPointSizeF(size);
    lblCompanyName->setFont(font);
}

void frmSplash::loadLogo() {
    const QString name = splashLine(5);
    // Compared as written: " NULL" names a file.
    if (name.toUpper() == QLatin1String("NULL"))
        return;
    const QString path = logoPath(programFolder_, name);
    const QString shown = readablePath(path);
    const QString cfg = brandingFilePath(programFolder_);
    const QString advice =
        QFileInfo::exists(cfg)
            ? QStringLiteral(
                  "Put the picture there, or correct the logo file name in line 5 "
                  "of the splash section of the branding file %1 (write NULL there "
                  "to show no logo).")
                  .arg(readablePath(cfg))
            : QStringLiteral(
                  "It belongs to the program's files: reinstall the program to "
                  "restore it.");
    const QString ignore = QStringLiteral("Click Ignore to go on without the logo.");

    const QFileInfo info(path);
    if (!info.exists())
        throw CommError(
            kErrFileNotFound, kSource,
            QStringLiteral("The logo picture %1 was not found. %2 %3").arg(shown, advice, ignore));
    // A folder, a pipe or a device is never opened as a picture: a pipe would block the load.
    if (!info.isFile())
        throw CommError(kErrInvalidPicture, kSource,
                        QStringLiteral("The logo picture %1 is %2, not a picture file. %3 %4")
                            .arg(shown,
                                 info.isDir() ? QStringLiteral("a folder")
                                              : QStringLiteral("a pipe or a device"),
                                 advice, ignore));
    QImageReader reader(path);
    // A logo is a small picture; one that would unpack to more than this is refused
    // rather than allowed to take the memory.
    reader.setAllocationLimit(kMaxLogoMegabytes);
    const QImage image = reader.read();
    if (image.isNull())
        throw CommError(kErrInvalidPicture, kSource,
                        QStringLiteral("The logo picture %1 could not be loaded (%2). Use a GIF, "
                                       "PNG, JPEG or BMP picture. %3 %4")
                            .arg(shown, readable(reader.errorString()), advice, ignore));
    // The picture keeps its own size, with its top-left corner where the logo box is.
    imgLogo->setPixmap(QPixmap::fromImage(image));
    imgLogo->resize(image.size());
    qCInfo(lcFiles).noquote() << "logo:" << path;
}

void frmSplash::Form_Load() {
    if (loadStarted_)
        return;
    loadStarted_ = true;
    loading_ = true;

    Recovery r(boxes_);
    auto font = [this] { return lblCompanyName->font(); };
    const bool completed =
        LoadBranding(programFolder_, r, module_.SplashLines, module_.AboutLines) &&
        r.steps({
            // More than its box can hold at the smallest size is cut: laying out a caption of a
            // million characters at every size it tries would hold up the start.
            [&] { lblCompanyName->setText(readable(splashLine(1), kMaxCaptionLength)); },
            [&] {
                QFont f = font();
                f.setFamily(splashLine(2));
                lblCompanyName->setFont(f);
            },
            [&] { applyFontSize(); },
            [&] {
                QFont f = font();
                f.setBold(splashLine(4).contains(QLatin1String("bold"), Qt::CaseInsensitive));
                lblCompanyName->setFont(f);
            },
            [&] {
                QFont f = font();
                f.setItalic(splashLine(4).contains(QLatin1String("italic"), Qt::CaseInsensitive));
                lblCompanyName->setFont(f);
            },
            [&] { loadLogo(); },
            [&] { applyApplicationTitle(); },
        });

    loading_ = false;
    loadCompleted_ = completed;
    unloadWhenDue();
}

void frmSplash::setVisible(bool visible) {
    if (visible && !loadStarted_) {
        // Placed first, so that a message box of the load stands where the splash will be.
        if (!testAttribute(Qt::WA_Moved))
            centreOnScreen();
        // The load runs before the window appears: it shows up already branded.
        Form_Load();
    }
    QDialog::setVisible(visible);
    unloadWhenDue();
}

void frmSplash::centreOnScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The border counts: the whole window, frame included, sits in the middle.
    create();
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    QRect outer = rect().marginsAdded(frame);
    outer.moveCenter(screen->availableGeometry().center());
    move(outer.topLeft());
}

void frmSplash::tmrSplashUnload_Timer() {
    // One tick is all the window needs; a tick that falls inside the load is remembered.
    tmrSplashUnload->stop();
    unloadDue_ = true;
    unloadWhenDue();
}

void frmSplash::unloadWhenDue() {
    if (!unloadDue_ || loading_ || !isVisible() || unloadQueued_)
        return;
    unloadQueued_ = true;
    // Queued: the modal loop of exec() may not be running yet when the window has just been
    // shown, and closing before it starts would leave exec() waiting for ever.
    QMetaObject::invokeMethod(
        this, [this] { done(QDialog::Accepted); }, Qt::QueuedConnection);
}

void runSplash(MessageBoxes& boxes, Module1& module, const QString& programFolder,
               const std::function<void(QWidget*)>& shown) {
    frmSplash splash(boxes, module, programFolder);
    if (shown)
        shown(&splash);
    splash.exec();
}

}  // namespace ignivex
