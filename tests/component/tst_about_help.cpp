#include "branding/About.h"
#include "branding/BrandingFile.h"
#include "branding/HelpWindow.h"
#include "support/ScriptedBoxes.h"
#include "branding/frmSplash.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeWidget>
#include <QtTest>

using namespace ignivex;
using ignivex::test::ScriptedBoxes;

namespace {

const QString kBin = QStringLiteral(IGNIVEX_BIN_DIR);
const QString kSourcePages = QStringLiteral(IGNIVEX_FIXTURES "/../../docs/help");

QString pageText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QTextDocument doc;
    doc.setHtml(QString::fromUtf8(file.readAll()));
    // Line breaks of the source and of <br> are blanks to the reader.
    return doc.toPlainText().replace(QChar::LineSeparator, ' ').simplified();
}

QString fileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

class TestAboutHelp : public QObject {
    Q_OBJECT
private slots:
    void aboutText_data();
    void aboutText();
    void aboutBox_data();
    void aboutBox();
    void aboutRepeatsTheSplashNotice();
    void helpOpensAtItsContents();
    void helpIsReusedAndRaised();
    void helpWithoutPages();
    void installedPagesMatchTheSources();
    void linksLeadToPagesThatExist();
    void pagesUseNothingOutside();
    void messagesPageListsEveryMessage_data();
    void messagesPageListsEveryMessage();
    void looksRight();
};

void TestAboutHelp::aboutText_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("text");

    const QString notice = QString::fromUtf8("Copyright © 2026 Velmora Sensors LLC.");
    QTest::newRow("the default lines")
        << defaultAboutLines()
        << "Velmora Sensors Ignivex Data Logging Program Revision 1.10\r\n" + notice +
               "\r\n\r\nVelmora Sensors LLC\r\n1450 Harbor Point Drive, Suite 210\r\n"
               "Portland, OR 97209\r\nPhone (503) 555-0147\r\nwww.velmora-sensors.example\r\n";
    QTest::newRow("one line: title, notice and one empty line")
        << QStringList{"Acme"}
        << "Acme Ignivex Data Logging Program Revision 1.10\r\n" + notice + "\r\n\r\n";
    QTest::newRow("no line: the title without a company")
        << QStringList{} << "Ignivex Data Logging Program Revision 1.10\r\n" + notice + "\r\n\r\n";
    QTest::newRow("empty and ! lines are shown as they are")
        << QStringList{"Co", "", "! note", "!", "x"}
        << "Co Ignivex Data Logging Program Revision 1.10\r\n" + notice +
               "\r\n\r\n\r\n! note\r\n!\r\nx\r\n";
    QTest::newRow("an empty first line keeps the blank before the program line")
        << QStringList{"", "Ltd"}
        << " Ignivex Data Logging Program Revision 1.10\r\n" + notice + "\r\n\r\nLtd\r\n";
    QStringList many{QString(500, 'C')};
    QString shown = QString(99, 'C') + QChar(0x2026) +
                    " Ignivex Data Logging Program Revision 1.10\r\n" + notice + "\r\n\r\n";
    for (int i = 2; i <= 1000; ++i)
        many << (i == 2 ? QString(300, 'L') : QString::number(i));
    shown += QString(99, 'L') + QChar(0x2026) + "\r\n";
    for (int i = 3; i <= 41; ++i)
        shown += QString::number(i) + "\r\n";
    QTest::newRow("a screenful at most, long lines cut")
        << many << shown + "(959 more lines of the branding file are not shown)\r\n";
    QTest::newRow("lines are not trimmed")
        << QStringList{" Co ", "  Ltd  "}
        << " Co  Ignivex Data Logging Program Revision 1.10\r\n" + notice + "\r\n\r\n  Ltd  \r\n";
}

void TestAboutHelp::aboutText() {
    QFETCH(QStringList, lines);
    QFETCH(QString, text);
    QCOMPARE(AboutText(lines), text);
}

void TestAboutHelp::aboutBox_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("default lines") << defaultAboutLines();
    QTest::newRow("one line") << QStringList{"Acme"};
    QTest::newRow("no line") << QStringList{};
}

// An information box with OK, titled "About", the same text each time it is opened.
void TestAboutHelp::aboutBox() {
    QFETCH(QStringList, lines);
    Module1 module;
    module.AboutLines = lines;
    ScriptedBoxes boxes;
    showAbout(boxes, module);
    showAbout(boxes, module);
    QCOMPARE(boxes.count(), 2);
    for (const auto& shown : boxes.shown) {
        QCOMPARE(shown.style, 64);
        QCOMPARE(shown.title, QStringLiteral("About"));
        QCOMPARE(shown.text, AboutText(lines));
    }
    QCOMPARE(module.AboutLines, lines);
}

void TestAboutHelp::aboutRepeatsTheSplashNotice() {
    ScriptedBoxes boxes;
    Module1 module;
    frmSplash splash(boxes, module, QDir::tempPath() + "/no-such-ignivex-folder", 1 << 30);
    const QString notice = splash.findChild<QLabel*>("lblCopyright")->text();
    QVERIFY(!notice.isEmpty());
    QCOMPARE(AboutText({"Co"}).split("\r\n").value(1), notice + ".");
}

void TestAboutHelp::helpOpensAtItsContents() {
    QWidget owner;
    HelpWindow* help = showHelpContents(&owner, kBin);
    QVERIFY(help);
    QVERIFY(help->pagesFound());
    QVERIFY(help->isVisible());
    QVERIFY(help->isWindow());
    QCOMPARE(help->parentWidget(), &owner);
    QCOMPARE(help->windowModality(), Qt::NonModal);
    QCOMPARE(QFileInfo(help->browser()->source().toLocalFile()).fileName(),
             QStringLiteral("index.html"));
    QVERIFY(help->windowTitle().contains("Contents"));

    QStringList entries;
    for (int i = 0; i < help->contentsPane()->topLevelItemCount(); ++i)
        entries << help->contentsPane()->topLevelItem(i)->text(0);
    QCOMPARE(entries, (QStringList{"Contents", "Connecting the module", "Choosing the serial port",
                                   "The real-time view", "Gauges and lamps", "Recording",
                                   "The chart and the review of recordings", "The dashboard",
                                   "Channels by formula and filters",
                                   "Alarms and recordings that start themselves",
                                   "The library of runs", "The team library", "The branding file",
                                   "Messages"}));
    QCOMPARE(help->contentsPane()->currentItem()->text(0), QStringLiteral("Contents"));

    // An entry of the pane opens its page and back returns.
    QTreeWidgetItem* messages =
        help->contentsPane()->findItems("Messages", Qt::MatchExactly).value(0);
    QVERIFY(messages);
    emit help->contentsPane()->itemClicked(messages, 0);
    QCOMPARE(QFileInfo(help->browser()->source().toLocalFile()).fileName(),
             QStringLiteral("messages.html"));
    QCOMPARE(help->contentsPane()->currentItem(), messages);
    QVERIFY(help->browser()->isBackwardAvailable());
    help->browser()->backward();
    QCOMPARE(QFileInfo(help->browser()->source().toLocalFile()).fileName(),
             QStringLiteral("index.html"));
}

// Each click shows the contents again in the one window the main window owns.
void TestAboutHelp::helpIsReusedAndRaised() {
    QWidget owner;
    HelpWindow* first = showHelpContents(&owner, kBin);
    first->browser()->setSource(QUrl::fromLocalFile(kBin + "/help/gauges.html"));
    first->hide();
    HelpWindow* second = showHelpContents(&owner, kBin);
    QCOMPARE(second, first);
    QVERIFY(second->isVisible());
    QCOMPARE(QFileInfo(second->browser()->source().toLocalFile()).fileName(),
             QStringLiteral("index.html"));
    QCOMPARE(owner.findChildren<HelpWindow*>().size(), 1);
}

void TestAboutHelp::helpWithoutPages() {
    QTemporaryDir folder;
    QWidget owner;
    HelpWindow* help = showHelpContents(&owner, folder.path());
    QVERIFY(help->isVisible());
    QVERIFY(!help->pagesFound());
    const QString said = help->browser()->toPlainText();
    QVERIFY2(said.contains(QDir::toNativeSeparators(folder.path() + "/help")), qPrintable(said));
    QVERIFY2(said.contains("reinstall"), qPrintable(said));
    QCOMPARE(help->contentsPane()->topLevelItemCount(), 0);

    // Once the pages are in place, Contents finds them.
    QVERIFY(QDir(folder.path()).mkdir("help"));
    for (const QFileInfo& page : QDir(kBin + "/help").entryInfoList({"*.html"}, QDir::Files))
        QVERIFY(QFile::copy(page.filePath(), folder.path() + "/help/" + page.fileName()));
    help->findChild<QAction*>("actContents")->trigger();
    QVERIFY(help->pagesFound());
    QVERIFY(help->browser()->toPlainText().contains("Ignivex Log Help"));
}

void TestAboutHelp::installedPagesMatchTheSources() {
    const QStringList sources = QDir(kSourcePages).entryList({"*.html"}, QDir::Files, QDir::Name);
    QVERIFY(sources.contains("index.html"));
    QCOMPARE(QDir(kBin + "/help").entryList({"*.html"}, QDir::Files, QDir::Name), sources);
    for (const QString& page : sources)
        QCOMPARE(fileText(kBin + "/help/" + page), fileText(kSourcePages + "/" + page));
    QVERIFY(QFileInfo(kBin + "/Velmora_Sensors_Logo.gif").isFile());
}

// Every link between the pages leads to a page, and to an anchor there where it names one.
void TestAboutHelp::linksLeadToPagesThatExist() {
    const QDir dir(kSourcePages);
    int links = 0;
    for (const QString& page : dir.entryList({"*.html"}, QDir::Files)) {
        QTextDocument doc;
        doc.setHtml(fileText(dir.filePath(page)));
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QString href = it.fragment().charFormat().anchorHref();
                if (href.isEmpty())
                    continue;
                ++links;
                const QUrl url(href);
                QVERIFY2(url.isRelative(), qPrintable(page + ": " + href));
                const QString target = url.path().isEmpty() ? page : url.path();
                QVERIFY2(dir.exists(target), qPrintable(page + ": " + href));
                if (url.hasFragment()) {
                    const QString html = fileText(dir.filePath(target));
                    QVERIFY2(html.contains("name=\"" + url.fragment() + "\"") ||
                                 html.contains("id=\"" + url.fragment() + "\""),
                             qPrintable(page + ": " + href));
                }
            }
        }
    }
    QVERIFY(links > 20);
}

void TestAboutHelp::pagesUseNothingOutside() {
    for (const QFileInfo& page : QDir(kSourcePages).entryInfoList({"*.html"}, QDir::Files)) {
        const QString html = fileText(page.filePath());
        QVERIFY2(!html.contains("://"), qPrintable(page.fileName()));
        QVERIFY2(!html.contains("src="), qPrintable(page.fileName()));
        QVERIFY2(html.contains("<title>"), qPrintable(page.fileName()));
    }
}

// The Messages page names every message the tool can show, word for word (the parts that
// depend on the case stand in italics there and are left out here).
void TestAboutHelp::messagesPageListsEveryMessage_data() {
    QTest::addColumn<QString>("words");
    const char* const messages[] = {
        "RS-232 timeout. Check cable and click Abort.",
        "Cannot establish RS-232 link. Check cable and module power.",
        "Error - invalid firmware ID. Unable to identify Ignivex version.",
        "Error - cannot read status.",
        "Framing Error",
        "Port Hardware Overrun",
        "Receive Buffer Overflow",
        "Parity Error",
        "Device Control Block Error",
        "Communications Error",
        "Division by zero: the module reported an engine-speed count of 0. Click Ignore to go "
        "on, or Abort to close the real-time view.",
        "is not a serial port the tool can use. Choose a port from Com1 to Com255 under "
        "Communications, Port Setup.",
        "does not exist. Plug in the serial adapter, or link it as Com",
        "Then click Retry, or choose another port under Communications, Port Setup.",
        "Add yourself to the dialout group (sudo adduser $USER dialout), log out and in again, "
        "then click Retry.",
        "is in use by another program. Close that program, then click Retry.",
        "Check the adapter and the port under Communications, Port Setup, then click Retry.",
        "is not open, so the module cannot be reached. Click Abort, check the cable and the "
        "adapter, then open the real-time view again.",
        "was lost: the device is gone (an adapter that was pulled out leaves no device behind). "
        "Plug it in again, click Abort, then open the real-time view again.",
        "was lost. Check that the adapter is plugged in and that no other program uses the "
        "port, click Abort, then open the real-time view again.",
        "is not a serial device: it is",
        "could not be read: it is not in the settings format (it may be damaged, or another "
        "program wrote it). Click Ignore to go on without a stored port, then choose the port "
        "under Communications, Port Setup: the file then keeps your choice and every setting in it "
        "that can be read, and the lines that cannot are dropped.",
        "bytes long, far more than the few settings it holds, so it was not read.",
        "is not a plain file (a folder, pipe or device has its name), so the tool neither reads "
        "nor writes it. Remove or rename it, then click Retry.",
        "could not be read: it was not in the settings format. It has been mended: it holds your "
        "port choice, Com",
        "bytes long, but a branding file holds a few lines and may be at most 1048576 bytes (1 "
        "MB), so it was not read. The built-in branding is used. Shorten the file, or remove it "
        "to keep the built-in branding.",
        "Check the cable and the adapter, then click Retry, or Abort to stop.",
        "is not valid: it must read speed, parity, data bits, stop bits, as in 56000,N,8,1.",
        "is open: the port can only be changed while it is closed.",
        "is not a whole number. Click Ignore, then choose the port again under Communications, "
        "Port Setup.",
        "is out of range. Click Ignore, then choose the port again under Communications, Port "
        "Setup.",
        "names no port in the list (Com1 to Com255). Click Ignore, then choose the port again "
        "under Communications, Port Setup.",
        "The port choice could not be saved to",
        "Check that the folder exists and is writable, then click Retry.",
        "ends before its splash section: every line in it begins with \"!\" (or it is empty). "
        "Write the splash lines and a \"!\" line after them, or remove the file to use the "
        "built-in branding. Click Abort to go on without the branding.",
        "ends inside its splash section: the \"!\" line that ends the splash section is missing. "
        "Add a line beginning with \"!\" after the splash lines, or remove the file to use the "
        "built-in branding.",
        "Make it readable, or remove it to use the built-in branding, then click Retry.",
        "is not a plain file, so it cannot be read as the branding file. Remove or rename it to "
        "use the built-in branding, then click Retry.",
        "is not open, so no line can be read from it.",
        "could not be read (",
        "in its splash section, where",
        "The splash section needs five lines (company name, font name, font size, style words, "
        "logo file name) followed by a line beginning with \"!\". Add the missing line, or "
        "remove the file to use the built-in branding. Click Ignore to go on without this "
        "setting.",
        "cannot be used. Write a size in points above 0 and up to 2160, for example 28. Click "
        "Ignore to keep the size the splash has.",
        "was not found. Put the picture there, or correct the logo file name in line 5 of the "
        "splash section of the branding file",
        "(write NULL there to show no logo). Click Ignore to go on without the logo.",
        "was not found. It belongs to the program's files: reinstall the program to restore it.",
        "Use a GIF, PNG, JPEG or BMP picture.",
        "not a picture file.",
        "already exists. Choose another name, or confirm that it may be replaced.",
        "Choose a folder you can write to.",
        "is not an ordinary file, so it cannot hold a recording. Choose another name.",
        "Choose another place for the recording.",
        "rows recorded before that are kept in the file. Make room or choose another place, then "
        "start a new recording.",
        "rows of the recording could not be written in time and are missing from",
        "is running. Choose File, Stop Recording before you start another.",
        "The panel is replaying a recording, and the module is not polled meanwhile. Close the "
        "review window, then choose File, Record",
    };
    for (const char* m : messages)
        QTest::newRow(m) << QString::fromUtf8(m);
}

void TestAboutHelp::messagesPageListsEveryMessage() {
    QFETCH(QString, words);
    static const QString page = pageText(kSourcePages + "/messages.html");
    QVERIFY(!page.isEmpty());
    QVERIFY2(page.contains(words), qPrintable(words));
}

// Pictures of the About box and the help window as the user sees them, for the docs; not a
// check of its own.
void TestAboutHelp::looksRight() {
    const QString dir = qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("Set IGNIVEX_SCREENSHOT_DIR to save the pictures.");

    QMessageBox about;
    about.setWindowTitle("About");
    about.setIcon(QMessageBox::Information);
    about.setTextFormat(Qt::PlainText);
    about.setText(AboutText(defaultAboutLines()));
    about.addButton("OK", QMessageBox::ActionRole);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QVERIFY(about.grab().toImage().save(dir + "/about.png"));
    about.hide();

    QWidget owner;
    HelpWindow* help = showHelpContents(&owner, kBin);
    QVERIFY(QTest::qWaitForWindowExposed(help));
    QVERIFY(help->grab().toImage().save(dir + "/help.png"));
    emit help->contentsPane()->itemClicked(help->contentsPane()->topLevelItem(6), 0);
    QVERIFY(help->grab().toImage().save(dir + "/help-messages.png"));
}

QTEST_MAIN(TestAboutHelp)
#include "tst_about_help.moc"
