#include "branding/About.h"
#include "branding/BrandingFile.h"
#include "support/ScriptedBoxes.h"
#include "branding/FittedCaption.h"
#include "branding/frmSplash.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace ignivex;
using ignivex::test::ScriptedBoxes;

namespace {

const QString kLogo = QStringLiteral("Velmora_Sensors_Logo.gif");
const QString kInstalledLogo = QStringLiteral(IGNIVEX_BIN_DIR "/Velmora_Sensors_Logo.gif");
constexpr int kNever = 24 * 3600 * 1000;  // a timer that does not tick during a test

// A program folder of its own for each case.
struct ProgramFolder {
    QTemporaryDir dir;
    QString path() const { return dir.path(); }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile file(dir.filePath(name));
        QDir().mkpath(QFileInfo(file).absolutePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    void addLogo(const QString& name) const {
        QDir().mkpath(QFileInfo(dir.filePath(name)).absolutePath());
        QVERIFY2(QFile::copy(kInstalledLogo, dir.filePath(name)), qPrintable(name));
    }
};

QLabel* company(const frmSplash& s) {
    return s.findChild<QLabel*>("lblCompanyName");
}
QLabel* logo(const frmSplash& s) {
    return s.findChild<QLabel*>("imgLogo");
}

// Waits, letting events run, until `done` holds or a generous limit passes. The limit only
// keeps a broken build from hanging; no test depends on how long anything takes.
template <class F>
bool spinUntil(F done) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.hasExpired(10000))
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

}  // namespace

class TestSplash : public QObject {
    Q_OBJECT
private slots:
    void init();
    void load_data();
    void load();
    void logoRetryAfterThePictureArrives();
    void messagesShowTextsAsWritten();
    void windowHasNoTitleBarAndIsCentred();
    void closesItselfAfterItsInterval();
    void neverUnloadsInTheMiddleOfItsLoad();
    void escapeAndCloseDoNotEndIt();
    void looksRight_data();
    void looksRight();
};

void TestSplash::init() {
    QCoreApplication::setApplicationName(QStringLiteral("before"));
}

void TestSplash::load_data() {
    QTest::addColumn<QByteArray>("cfg");     // null: no branding file
    QTest::addColumn<QStringList>("logos");  // pictures placed in the program folder
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("prompts");  // words each prompt must hold, in order
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<QSize>("logoSize");  // invalid: no picture
    QTest::addColumn<bool>("completed");

    const QSize defaultLogo(96, 60);
    const QStringList none;
    const QList<int> noAnswers;
    auto cfg = [](const char* style, const char* logoLine, const char* size = "20") {
        return QByteArray("Co\r\nArial\r\n") + size + "\r\n" + style + "\r\n" + logoLine +
               "\r\n!\r\nCo\r\n";
    };

    QTest::newRow("no branding file: the built-in branding")
        << QByteArray() << QStringList{kLogo} << noAnswers << none << "Velmora Sensors"
        << "Arial" << 28.0 << true << true << defaultLogo << true;
    QTest::newRow("no file and no logo: prompt, Abort keeps what was applied")
        << QByteArray() << none << QList<int>{box::Abort}
        << QStringList{"Velmora_Sensors_Logo.gif was not found. It belongs to the program's files"}
        << "Velmora Sensors"
        << "Arial" << 28.0 << true << true << QSize() << false;
    QTest::newRow("no file and no logo: Ignore goes on to the end")
        << QByteArray() << none << QList<int>{box::Ignore} << QStringList{"was not found"}
        << "Velmora Sensors"
        << "Arial" << 28.0 << true << true << QSize() << true;
    QTest::newRow("logo null") << cfg("bold", "null") << none << noAnswers << none << "Co"
                               << "Arial" << 20.0 << true << false << QSize() << true;
    QTest::newRow("logo Null") << cfg("bold", "Null") << none << noAnswers << none << "Co"
                               << "Arial" << 20.0 << true << false << QSize() << true;
    QTest::newRow("logo nUlL") << cfg("", "nUlL") << none << noAnswers << none << "Co"
                               << "Arial" << 20.0 << false << false << QSize() << true;
    QTest::newRow("logo \" NULL\" names a file")
        << cfg("", " NULL") << none << QList<int>{box::Ignore}
        << QStringList{"/ NULL was not found. Put the picture there"} << "Co"
        << "Arial" << 20.0 << false << false << QSize() << true;
    QTest::newRow("logo in a subfolder, at its natural size")
        << cfg("", "pics/logo.gif") << QStringList{"pics/logo.gif"} << noAnswers << none << "Co"
        << "Arial" << 20.0 << false << false << defaultLogo << true;
    QTest::newRow("logo name that is a folder")
        << cfg("", "pics") << QStringList{"pics/logo.gif"} << QList<int>{box::Ignore}
        << QStringList{"/pics is a folder, not a picture file. Put the picture there"} << "Co"
        << "Arial" << 20.0 << false << false << QSize() << true;
    QTest::newRow("branding file over 1 MB: refused, the built-in branding")
        << cfg("", "NULL") + QByteArray(1024 * 1024, 'x') << QStringList{kLogo} << noAnswers
        << QStringList{"bytes long, but a branding file holds a few lines and may be at most "
                       "1048576 bytes (1 MB), so it was not read. The built-in branding is used."}
        << "Velmora Sensors" << "Arial" << 28.0 << true << true << defaultLogo << true;
    QTest::newRow("logo file that is no picture")
        << cfg("", "logo.gif") << QStringList{"!garbage"} << QList<int>{box::Ignore}
        << QStringList{"logo.gif could not be loaded"} << "Co"
        << "Arial" << 20.0 << false << false << QSize() << true;

    QTest::newRow("size 12pt") << cfg("", "NULL", "12pt") << none << noAnswers << none << "Co"
                               << "Arial" << 12.0 << false << false << QSize() << true;
    QTest::newRow("size 10.5") << cfg("", "NULL", "10.5") << none << noAnswers << none << "Co"
                               << "Arial" << 10.5 << false << false << QSize() << true;
    QTest::newRow("size with blanks before it")
        << cfg("", "NULL", " \t14") << none << noAnswers << none << "Co"
        << "Arial" << 14.0 << false << false << QSize() << true;
    // A refused size leaves the splash's own size, 29.25 points.
    for (const char* size : {"large", "0", "-3", "5000", "1e400", ""}) {
        QTest::addRow("size \"%s\" is refused, Ignore", size)
            << cfg("", "NULL", size) << none << QList<int>{box::Ignore}
            << QStringList{QStringLiteral("font size \"%1\" in line 3").arg(size)} << "Co"
            << "Arial" << 29.25 << false << false << QSize() << true;
    }
    QTest::newRow("refused size, Retry shows it again, then Abort")
        << cfg("bold", "NULL", "none") << none << QList<int>{box::Retry, box::Abort}
        << QStringList{"font size", "font size"} << "Co"
        << "Arial" << 29.25 << true << true << QSize() << false;

    const struct {
        const char* line;
        bool bold;
        bool italic;
    } styles[] = {{"Bold Italic", true, true}, {"BOLD", true, false},
                  {"italic bold", true, true}, {"ITALICS", false, true},
                  {"semibold", true, false},   {"regular", false, false},
                  {"", false, false},          {"b o l d", false, false}};
    for (const auto& s : styles) {
        QTest::addRow("style \"%s\"", s.line)
            << cfg(s.line, "NULL") << none << noAnswers << none << "Co"
            << "Arial" << 20.0 << s.bold << s.italic << QSize() << true;
    }

    QTest::newRow("a font that is not installed is no error")
        << QByteArray("Co\r\nNo Such Font 123\r\n20\r\n\r\nNULL\r\n!\r\n") << none << noAnswers
        << none << "Co"
        << "No Such Font 123" << 20.0 << false << false << QSize() << true;
    QTest::newRow("an empty first line gives an empty caption")
        << QByteArray("\r\nArial\r\n20\r\n\r\nNULL\r\n!\r\n") << none << noAnswers << none << ""
        << "Arial" << 20.0 << false << false << QSize() << true;
    // Bold and italic both read line 4: each of their steps fails on its own.
    QTest::newRow("three splash lines: lines 4 and 5 fail, Ignore each")
        << QByteArray("Co\r\nArial\r\n16\r\n!\r\n") << none
        << QList<int>{box::Ignore, box::Ignore, box::Ignore}
        << QStringList{"no line 4", "no line 4", "no line 5"} << "Co"
        << "Arial" << 16.0 << true << true << QSize() << true;
    QTest::newRow("one splash line: every later step fails")
        << QByteArray("Co\r\n!\r\n") << none << QList<int>{5, 5, 5, 5, 5}
        << QStringList{"no line 2", "no line 3", "no line 4", "no line 4", "no line 5"} << "Co"
        << "Arial" << 29.25 << true << true << QSize() << true;
    QTest::newRow("short section, Abort at the first missing line")
        << QByteArray("Co\r\n!\r\n") << none << QList<int>{box::Abort}
        << QStringList{"no line 2 in its splash section, where the font name belongs"} << "Co"
        << "Arial" << 29.25 << true << true << QSize() << false;
    QTest::newRow("Abort while reading: the caption keeps its placeholder")
        << QByteArray("Co\r\nArial\r\n") << none << QList<int>{box::Abort}
        << QStringList{"ends inside its splash section"} << ""
        << "Arial" << 29.25 << true << true << QSize() << false;
}

void TestSplash::load() {
    QFETCH(QByteArray, cfg);
    QFETCH(QStringList, logos);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, prompts);
    QFETCH(QString, caption);
    QFETCH(QString, family);
    QFETCH(double, points);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(QSize, logoSize);
    QFETCH(bool, completed);

    ProgramFolder folder;
    if (!cfg.isNull())
        folder.write("Ignivex_Log.cfg", cfg);
    for (const QString& name : logos) {
        if (name.startsWith('!'))
            folder.write("logo.gif", name.toLatin1());
        else
            folder.addLogo(name);
    }

    ScriptedBoxes boxes;
    for (int a : answers)
        boxes.answer({a});
    Module1 module;
    frmSplash splash(boxes, module, folder.path(), kNever);
    splash.Form_Load();

    QCOMPARE(boxes.count(), prompts.size());
    for (int i = 0; i < prompts.size(); ++i) {
        QVERIFY2(boxes.shown[i].text.contains(QDir::toNativeSeparators(prompts[i])),
                 qPrintable(boxes.shown[i].text));
        // A refused file is a warning with OK; everything else, the error prompt.
        QCOMPARE(boxes.shown[i].style, prompts[i].contains("1 MB") ? 48 : 18);
        QCOMPARE(boxes.shown[i].title, QStringLiteral("Error"));
    }
    const QLabel* label = company(splash);
    QCOMPARE(label->text(), caption);
    QCOMPARE(label->font().family(), family);
    QCOMPARE(label->font().pointSizeF(), points);
    QCOMPARE(label->font().bold(), bold);
    QCOMPARE(label->font().italic(), italic);
    const QLabel* image = logo(splash);
    if (logoSize.isValid()) {
        QVERIFY(!image->pixmap().isNull());
        QCOMPARE(image->pixmap().size(), logoSize);
        QCOMPARE(image->geometry(), QRect(QPoint(24, 40), logoSize));
    } else {
        QVERIFY(image->pixmap().isNull());
    }
    QCOMPARE(splash.loadCompleted(), completed);
    QCOMPARE(QCoreApplication::applicationName(),
             completed ? QStringLiteral("Ignivex_Log") : QStringLiteral("before"));
    QVERIFY(!splash.loading());
}

// Retry runs the logo step again: a picture put in place meanwhile is shown.
void TestSplash::logoRetryAfterThePictureArrives() {
    ProgramFolder folder;
    ScriptedBoxes boxes;
    boxes.answer({box::Retry});
    boxes.onShow = [&](const ScriptedBoxes::Shown&) { folder.addLogo(kLogo); };
    Module1 module;
    frmSplash splash(boxes, module, folder.path(), kNever);
    splash.Form_Load();
    QCOMPARE(boxes.count(), 1);
    QVERIFY(!logo(splash)->pixmap().isNull());
    QVERIFY(splash.loadCompleted());
    QCOMPARE(module.SplashLines, defaultSplashLines());
    QCOMPARE(module.AboutLines, defaultAboutLines());
}

// Texts from the file and the folder's name go into the messages as they are, "%" included.
void TestSplash::messagesShowTextsAsWritten() {
    QTemporaryDir dir(QDir::tempPath() + "/ign%1%2-XXXXXX");
    QVERIFY(dir.isValid());
    QFile cfg(dir.filePath("Ignivex_Log.cfg"));
    QVERIFY(cfg.open(QIODevice::WriteOnly));
    cfg.write("Co\r\nArial\r\n%1 %2\r\n!\r\n");
    cfg.close();
    ScriptedBoxes boxes;
    boxes.answer({box::Ignore, box::Ignore, box::Ignore, box::Ignore});
    Module1 module;
    frmSplash splash(boxes, module, dir.path(), kNever);
    splash.Form_Load();
    QCOMPARE(boxes.count(), 4);
    const QString size = boxes.shown[0].text;
    QVERIFY2(size.contains("The font size \"%1 %2\" in line 3"), qPrintable(size));
    QVERIFY2(size.contains(QDir::toNativeSeparators(cfg.fileName()) + " cannot be used"),
             qPrintable(size));
    QVERIFY2(size.contains("up to 2160, for example 28"), qPrintable(size));
    const QString line4 = boxes.shown[1].text;
    QVERIFY2(line4.contains("The branding file " + QDir::toNativeSeparators(cfg.fileName()) +
                            " has no line 4 in its splash "
                            "section, where the style words belong"),
             qPrintable(line4));
}

void TestSplash::windowHasNoTitleBarAndIsCentred() {
    ProgramFolder folder;
    folder.addLogo(kLogo);
    ScriptedBoxes boxes;
    Module1 module;
    frmSplash splash(boxes, module, folder.path(), kNever);
    const Qt::WindowFlags flags = splash.windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(!flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(!flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::FramelessWindowHint));  // it keeps its dialog border
    QVERIFY(splash.windowTitle().isEmpty());
    QCOMPARE(splash.minimumSize(), QSize(477, 249));
    QCOMPARE(splash.maximumSize(), QSize(477, 249));

    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    const QPoint centre = splash.screen()->availableGeometry().center();
    const QPoint middle = splash.frameGeometry().center();
    QVERIFY2((middle - centre).manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1,%2 is not %3,%4")
                            .arg(middle.x())
                            .arg(middle.y())
                            .arg(centre.x())
                            .arg(centre.y())));
    // Loaded before it appeared.
    QVERIFY(splash.loadCompleted());
    splash.done(0);
}

void TestSplash::closesItselfAfterItsInterval() {
    ProgramFolder folder;
    folder.addLogo(kLogo);
    ScriptedBoxes boxes;
    Module1 module;
    frmSplash splash(boxes, module, folder.path(), 20);
    // Only if the splash never closed: then the result below is wrong.
    QTimer::singleShot(30000, &splash, [&] { splash.done(99); });
    QCOMPARE(splash.exec(), int(QDialog::Accepted));
    QCOMPARE(boxes.count(), 0);
    QVERIFY(splash.loadCompleted());
    QVERIFY(!splash.isVisible());
}

// The tick falls while a load prompt is open: the splash stays until the load has finished,
// then closes on its own, once.
void TestSplash::neverUnloadsInTheMiddleOfItsLoad() {
    ProgramFolder folder;  // no logo: the logo step prompts
    ScriptedBoxes boxes;
    boxes.answer({box::Retry, box::Ignore});
    Module1 module;
    frmSplash splash(boxes, module, folder.path(), 1);
    auto* timer = splash.findChild<QTimer*>("tmrSplashUnload");
    QVERIFY(timer);

    int closes = 0;
    bool loadingAtClose = true;
    connect(&splash, &QDialog::finished, this, [&] {
        ++closes;
        loadingAtClose = splash.loading();
    });
    bool tickSeen = false;
    int closesWhilePromptOpen = -1;
    boxes.onShow = [&](const ScriptedBoxes::Shown&) {
        // Keep the "prompt" open until the tick has come, and a while longer.
        tickSeen = spinUntil([&] { return !timer->isActive(); });
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (closesWhilePromptOpen < 0)
            closesWhilePromptOpen = closes;
        else
            closesWhilePromptOpen += closes;
    };
    QTimer::singleShot(30000, &splash, [&] { splash.done(99); });

    QCOMPARE(splash.exec(), int(QDialog::Accepted));
    QVERIFY(tickSeen);
    QCOMPARE(boxes.count(), 2);
    QCOMPARE(closesWhilePromptOpen, 0);
    QCOMPARE(closes, 1);
    QVERIFY(!loadingAtClose);
    QVERIFY(splash.loadCompleted());
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Ignivex_Log"));
}

void TestSplash::escapeAndCloseDoNotEndIt() {
    ProgramFolder folder;
    folder.addLogo(kLogo);
    ScriptedBoxes boxes;
    Module1 module;
    frmSplash splash(boxes, module, folder.path(), kNever);
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QTest::keyClick(&splash, Qt::Key_Escape);
    QVERIFY(splash.isVisible());
    splash.close();
    QVERIFY(splash.isVisible());
    splash.done(0);
    QVERIFY(!splash.isVisible());
}

// The splash as the user sees it, with the built-in branding and with a branding file of
// its own. Set IGNIVEX_SCREENSHOT_DIR to keep the pictures.
void TestSplash::looksRight_data() {
    QTest::addColumn<QString>("fixture");  // folder under fixtures/branding, empty: none
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("logoSize");
    QTest::newRow("default") << ""
                             << "splash-default.png"
                             << "Velmora Sensors" << QSize(96, 60);
    // A caption too long for its box at 28 pt: drawn smaller, clear of the product name.
    QTest::newRow("custom") << "custom"
                            << "splash-custom.png"
                            << "Brightwater Motorsport Engineering Limited" << QSize(90, 56);
}

void TestSplash::looksRight() {
    QFETCH(QString, fixture);
    QFETCH(QString, file);
    QFETCH(QString, caption);
    QFETCH(QSize, logoSize);

    ProgramFolder folder;
    if (fixture.isEmpty()) {
        folder.addLogo(kLogo);
    } else {
        const QString from = QStringLiteral(IGNIVEX_FIXTURES "/branding/") + fixture;
        folder.write("Ignivex_Log.cfg", [&] {
            QFile f(from + "/Ignivex_Log.cfg");
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }());
        QDir().mkpath(folder.dir.filePath("logos"));
        QVERIFY(QFile::copy(from + "/logos/brightwater.gif",
                            folder.dir.filePath("logos/brightwater.gif")));
    }
    ScriptedBoxes boxes;
    Module1 module;
    frmSplash splash(boxes, module, folder.path(), kNever);
    splash.Form_Load();
    QCOMPARE(boxes.texts(), QStringList());
    QCOMPARE(company(splash)->text(), caption);
    // The caption is drawn whole above the product name, however long it is.
    auto* fitted = qobject_cast<FittedCaption*>(company(splash));
    QVERIFY(fitted);
    const QFontMetricsF fm(fitted->drawnFont());
    const QRectF drawn = fm.boundingRect(QRectF(0, 0, fitted->width(), 1000),
                                         Qt::AlignLeft | Qt::TextWordWrap, caption);
    QVERIFY(fitted->drawnFont().pointSizeF() >= FittedCaption::kMinPoints);
    QVERIFY2(fitted->y() + drawn.height() <= splash.findChild<QLabel*>("lblProductName")->y(),
             qPrintable(QString::number(fitted->drawnFont().pointSizeF())));

    const QImage shot = splash.grab().toImage();
    QCOMPARE(shot.size() / shot.devicePixelRatio(), QSize(477, 249));
    // The logo is drawn in its box: the middle of the box is not the window's background.
    const QColor background = splash.palette().color(QPalette::Window);
    const QPoint logoCentre =
        splash.findChild<QGroupBox*>("fraSplash")
            ->mapTo(&splash,
                    QPoint(24, 40) + QPoint(logoSize.width() / 2, logoSize.height() / 2 - 6));
    QVERIFY(shot.pixelColor(logoCentre * shot.devicePixelRatio()) != background);

    const QString dir = qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(shot.save(dir + "/" + file));
}

QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
