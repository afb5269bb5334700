#include "branding/BrandingFile.h"
#include "recovery/Recovery.h"
#include "support/ScriptedBoxes.h"
#include "branding/frmSplash.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <sys/stat.h>

using namespace ignivex;
using ignivex::test::ScriptedBoxes;

namespace {

const QString kPath = QStringLiteral("/opt/ignivex/Ignivex_Log.cfg");

struct Outcome {
    bool finished = false;
    QStringList splash;
    QStringList about;
};

Outcome readBytes(const QByteArray& bytes, ScriptedBoxes& boxes) {
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    Recovery r(boxes);
    Outcome out;
    out.finished = readBranding(buffer, kPath, r, out.splash, out.about);
    return out;
}

// A device that fails its first `failures` reads, as a disk or network share can.
class FlakyDevice : public QIODevice {
public:
    FlakyDevice(QByteArray data, int failures) : data_(std::move(data)), failures_(failures) {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override {
        return data_.size() - pos_ + QIODevice::bytesAvailable();
    }
    int reads = 0;

protected:
    qint64 readData(char* out, qint64 max) override {
        ++reads;
        if (failures_ > 0) {
            --failures_;
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        const qint64 n = qMin(max, qint64(data_.size()) - pos_);
        if (n > 0)  // QIODevice may ask for nothing, with no buffer to fill
            memcpy(out, data_.constData() + pos_, size_t(n));
        pos_ += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray data_;
    qint64 pos_ = 0;
    int failures_;
};

}  // namespace

class TestBrandingFile : public QObject {
    Q_OBJECT
private slots:
    void sections_data();
    void sections();
    void endsBeforeSeparator_data();
    void endsBeforeSeparator();
    void readFailureRetriesTheRead();
    void fileLevel_data();
    void fileLevel();
    void fileRemovedWhilePromptIsOpen();
    void fileThatCannotBeOpenedThenIgnored();
    void fontSizeNumber_data();
    void fontSizeNumber();
};

// Files that hold their separator: read without a single prompt.
void TestBrandingFile::sections_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("splash");
    QTest::addColumn<QStringList>("about");

    QTest::newRow("the eleven-line example")
        << QByteArray(
               "! splash settings\r\nExample Co\r\nArial\r\n24\r\nBold\r\nlogo.gif\r\n"
               "! about box\r\nExample Co\r\nExample Co Ltd\r\n! note\r\n\r\n")
        << QStringList{"Example Co", "Arial", "24", "Bold", "logo.gif"}
        << QStringList{"Example Co", "Example Co Ltd", "! note", ""};
    QTest::newRow("no leading comment: the first line is splash line 1")
        << QByteArray("Acme\r\nArial\r\n20\r\nbold\r\nNULL\r\n!\r\nAcme\r\n")
        << QStringList{"Acme", "Arial", "20", "bold", "NULL"} << QStringList{"Acme"};
    QTest::newRow("several leading comments, one of them bare")
        << QByteArray("!\r\n!!two\r\n! three\r\nA\r\n!sep\r\nB\r\n") << QStringList{"A"}
        << QStringList{"B"};
    QTest::newRow("separator is the last line: About stays empty")
        << QByteArray("A\r\nB\r\nC\r\nD\r\nE\r\n!") << QStringList{"A", "B", "C", "D", "E"}
        << QStringList{};
    QTest::newRow("separator with a final line break: About stays empty")
        << QByteArray("A\r\nB\r\n!\r\n") << QStringList{"A", "B"} << QStringList{};
    QTest::newRow("comment and empty lines in About are kept, in order")
        << QByteArray("A\r\n!\r\nCo\r\n\r\n! kept\r\n!\r\n\r\nlast\r\n") << QStringList{"A"}
        << QStringList{"Co", "", "! kept", "!", "", "last"};
    QTest::newRow("an empty first data line is splash line 1")
        << QByteArray("! c\r\n\r\nArial\r\n!\r\n") << QStringList{"", "Arial"} << QStringList{};
    QTest::newRow("a blank before ! is not a separator")
        << QByteArray(" !x\r\nA\r\n!\r\n") << QStringList{" !x", "A"} << QStringList{};
    QTest::newRow("more than five splash lines are all stored")
        << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n!\r\nZ\r\n")
        << QStringList{"1", "2", "3", "4", "5", "6", "7"} << QStringList{"Z"};
    QTest::newRow("fewer than five splash lines are read as they are")
        << QByteArray("Co\r\nArial\r\n!\r\nCo\r\n") << QStringList{"Co", "Arial"}
        << QStringList{"Co"};
    QTest::newRow("LF line breaks") << QByteArray("!c\nA\nB\n!\nX\n\nY\n") << QStringList{"A", "B"}
                                    << QStringList{"X", "", "Y"};
    QTest::newRow("mixed line breaks")
        << QByteArray("A\nB\r\n!\nX\r\nY") << QStringList{"A", "B"} << QStringList{"X", "Y"};
    QTest::newRow("no line break after the last line")
        << QByteArray("A\r\n!\r\nlast") << QStringList{"A"} << QStringList{"last"};
    QTest::newRow("one trailing break adds no line, two add one empty line")
        << QByteArray("A\r\n!\r\nX\r\n\r\n") << QStringList{"A"} << QStringList{"X", ""};
    QTest::newRow("a CR LF cut short at the very end")
        << QByteArray("A\r\n!\r\nX\r") << QStringList{"A"} << QStringList{"X"};
    QTest::newRow("CR-only line ends, as one line each")
        << QByteArray("! c\rA\rB\r!\rAbout\r\r!x\r") << QStringList{"A", "B"}
        << QStringList{"About", "", "!x"};
    QTest::newRow("CR, LF and CR LF mixed; LF CR is two breaks")
        << QByteArray("A\nB\r\nC\rD\n\r!\nE") << QStringList{"A", "B", "C", "D", ""}
        << QStringList{"E"};
    QTest::newRow("lines are verbatim: blanks and case kept")
        << QByteArray("  Mixed Case  \r\n\tTab\r\n!\r\n  About  \r\n")
        << QStringList{"  Mixed Case  ", "\tTab"} << QStringList{"  About  "};
    QTest::newRow("bytes above 127 are Latin-1 characters")
        << QByteArray("M\xfcller & S\xf6hne\r\n\xa9\xff\x80\r\n!\r\nZ\xfcrich\r\n")
        << QStringList{QString::fromUtf8("Müller & Söhne"), QString::fromUtf8("©ÿ") + QChar(0x80)}
        << QStringList{QString::fromUtf8("Zürich")};
    QTest::newRow("NUL bytes are kept")
        << QByteArray("A\0B\r\n\0\r\n!\r\n\0\r\n", 14)
        << QStringList{QString("A") + QChar(0) + "B", QString(QChar(0))}
        << QStringList{QString(QChar(0))};

    const QByteArray longLine(200000, 'x');
    QTest::newRow("a very long line")
        << QByteArray("A\r\n!\r\n" + longLine + "\r\nB\r\n") << QStringList{"A"}
        << QStringList{QString::fromLatin1(longLine), "B"};
}

void TestBrandingFile::sections() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, splash);
    QFETCH(QStringList, about);

    ScriptedBoxes boxes;
    const Outcome out = readBytes(bytes, boxes);
    QCOMPARE(boxes.texts(), QStringList());
    QVERIFY(out.finished);
    QCOMPARE(out.splash, splash);
    QCOMPARE(out.about, about);
}

// A file that ends before its separator: every read past the end is prompted. Retry reads
// again, Ignore goes on with the line read last, Abort leaves with what the lists hold.
void TestBrandingFile::endsBeforeSeparator_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("splash");
    QTest::addColumn<int>("prompts");
    QTest::addColumn<QString>("missing");  // words of the prompt that say what is wrong

    const QString noSplash = QStringLiteral("ends before its splash section");
    const QString noSeparator = QStringLiteral("\"!\" line that ends the splash section");

    QTest::newRow("empty file, Abort")
        << QByteArray() << QList<int>{box::Abort} << QStringList{} << 1 << noSplash;
    QTest::newRow("empty file, Retry twice then Abort")
        << QByteArray() << QList<int>{box::Retry, box::Retry, box::Abort} << QStringList{} << 3
        << noSplash;
    // Nothing was read: the empty line counts as the first splash line, and the next read
    // fails inside the splash section.
    QTest::newRow("empty file, Ignore then Abort")
        << QByteArray() << QList<int>{box::Ignore, box::Abort} << QStringList{""} << 2
        << noSeparator;
    QTest::newRow("comment lines only, Ignore keeps the comment and reads again")
        << QByteArray("! one\r\n! two\r\n") << QList<int>{box::Ignore, box::Ignore, box::Abort}
        << QStringList{} << 3 << noSplash;
    QTest::newRow("no separator, Abort keeps the lines read")
        << QByteArray("A\r\nB\r\n") << QList<int>{box::Abort} << QStringList{"A", "B"} << 1
        << noSeparator;
    QTest::newRow("no separator, Retry reads again and appends nothing")
        << QByteArray("A\r\nB\r\n") << QList<int>{box::Retry, box::Retry, box::Abort}
        << QStringList{"A", "B"} << 3 << noSeparator;
    QTest::newRow("no separator, each Ignore appends the last line once more")
        << QByteArray("A\r\nB") << QList<int>{box::Ignore, box::Ignore, box::Abort}
        << QStringList{"A", "B", "B", "B"} << 3 << noSeparator;
    QTest::newRow("no separator, LF file, Retry then Ignore then Abort")
        << QByteArray("A\n") << QList<int>{box::Retry, box::Ignore, box::Abort}
        << QStringList{"A", "A"} << 3 << noSeparator;
}

void TestBrandingFile::endsBeforeSeparator() {
    QFETCH(QByteArray, bytes);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, splash);
    QFETCH(int, prompts);
    QFETCH(QString, missing);

    ScriptedBoxes boxes;
    for (int a : answers)
        boxes.answer({a});
    const Outcome out = readBytes(bytes, boxes);

    QVERIFY(!out.finished);
    QCOMPARE(out.splash, splash);
    QCOMPARE(out.about, QStringList());
    QCOMPARE(boxes.count(), prompts);
    for (const auto& shown : boxes.shown) {
        QCOMPARE(shown.style, 18);
        QCOMPARE(shown.title, QStringLiteral("Error"));
        QVERIFY2(shown.text.contains(QDir::toNativeSeparators(kPath)), qPrintable(shown.text));
        QVERIFY2(shown.text.contains(QStringLiteral("built-in branding")), qPrintable(shown.text));
    }
    QVERIFY2(boxes.shown.last().text.contains(missing), qPrintable(boxes.shown.last().text));
}

void TestBrandingFile::readFailureRetriesTheRead() {
    FlakyDevice device("A\r\n!\r\nB\r\n", 2);
    device.open(QIODevice::ReadOnly);
    ScriptedBoxes boxes;
    boxes.answer({box::Retry, box::Retry});
    Recovery r(boxes);
    QStringList splash, about;
    QVERIFY(readBranding(device, kPath, r, splash, about));
    QCOMPARE(boxes.count(), 2);
    QVERIFY2(boxes.shown[0].text.contains(QStringLiteral("could not be read (Input/output error)")),
             qPrintable(boxes.shown[0].text));
    QCOMPARE(splash, QStringList{"A"});
    QCOMPARE(about, QStringList{"B"});
}

// The file in a real program folder: absent, present, and present but not a readable file.
void TestBrandingFile::fileLevel_data() {
    QTest::addColumn<QString>("kind");  // none, fixture, folder, fifo
    QTest::addColumn<bool>("finished");
    QTest::addColumn<QStringList>("splash");
    QTest::addColumn<QStringList>("about");
    QTest::addColumn<QString>("prompt");  // words of the one prompt, empty for none

    QTest::newRow("no file: the defaults")
        << "none" << true
        << QStringList{"Velmora Sensors", "Arial", "28", "bold italic", "Velmora_Sensors_Logo.gif"}
        << defaultAboutLines() << QString();
    QTest::newRow("the example file")
        << "fixture" << true << QStringList{"Example Co", "Arial", "24", "Bold", "logo.gif"}
        << QStringList{"Example Co", "Example Co Ltd", "! note", ""} << QString();
    QTest::newRow("the sample in the docs holds the built-in branding")
        << "sample" << true << defaultSplashLines() << defaultAboutLines() << QString();
    QTest::newRow("a folder of that name is reported, Abort")
        << "folder" << false << QStringList{} << QStringList{} << "is not a plain file";
    QTest::newRow("a pipe of that name is reported, not opened (it would block)")
        << "fifo" << false << QStringList{} << QStringList{} << "is not a plain file";
}

void TestBrandingFile::fileLevel() {
    QFETCH(QString, kind);
    QFETCH(bool, finished);
    QFETCH(QStringList, splash);
    QFETCH(QStringList, about);
    QFETCH(QString, prompt);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Ignivex_Log.cfg");
    if (kind == "fixture")
        QVERIFY(QFile::copy(IGNIVEX_FIXTURES "/branding/example.cfg", path));
    else if (kind == "sample")
        QVERIFY(QFile::copy(IGNIVEX_FIXTURES "/../../docs/branding-sample.cfg", path));
    else if (kind == "folder")
        QVERIFY(QDir(dir.path()).mkdir("Ignivex_Log.cfg"));
    else if (kind == "fifo")
#ifdef Q_OS_WIN
        QSKIP("Windows has no named pipes in the file system.");
#else
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#endif

    ScriptedBoxes boxes;
    Recovery r(boxes);
    QStringList gotSplash, gotAbout;
    QCOMPARE(LoadBranding(dir.path(), r, gotSplash, gotAbout), finished);
    QCOMPARE(gotSplash, splash);
    QCOMPARE(gotAbout, about);
    if (prompt.isEmpty()) {
        QCOMPARE(boxes.texts(), QStringList());
    } else {
        QCOMPARE(boxes.count(), 1);
        QVERIFY2(boxes.shown[0].text.contains(prompt), qPrintable(boxes.shown[0].text));
        QVERIFY2(boxes.shown[0].text.contains(QDir::toNativeSeparators(path)),
                 qPrintable(boxes.shown[0].text));
    }
}

// The prompt says "remove it ... then click Retry": doing so gives the built-in branding.
void TestBrandingFile::fileRemovedWhilePromptIsOpen() {
    QTemporaryDir dir;
    const QString path = dir.filePath("Ignivex_Log.cfg");
    QVERIFY(QDir(dir.path()).mkdir("Ignivex_Log.cfg"));
    ScriptedBoxes boxes;
    boxes.onShow = [&](const ScriptedBoxes::Shown&) { QDir(dir.path()).rmdir("Ignivex_Log.cfg"); };
    boxes.answer({box::Retry});
    Recovery r(boxes);
    QStringList splash, about;
    QVERIFY(LoadBranding(dir.path(), r, splash, about));
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(splash, defaultSplashLines());
    QCOMPARE(about, defaultAboutLines());
}

// Ignore after a failed open goes on to the reads, which fail on the closed file in turn.
void TestBrandingFile::fileThatCannotBeOpenedThenIgnored() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("Ignivex_Log.cfg"));
    ScriptedBoxes boxes;
    boxes.answer({box::Ignore, box::Ignore, box::Ignore, box::Abort});
    Recovery r(boxes);
    QStringList splash, about;
    QVERIFY(!LoadBranding(dir.path(), r, splash, about));
    QCOMPARE(boxes.count(), 4);
    QVERIFY(boxes.shown[0].text.contains("is not a plain file"));
    for (int i = 1; i < 4; ++i)
        QVERIFY2(boxes.shown[i].text.contains("is not open"), qPrintable(boxes.shown[i].text));
    // Nothing was ever read: the empty line stands in for each line.
    QCOMPARE(splash, (QStringList{"", ""}));
    QCOMPARE(about, QStringList());
}

void TestBrandingFile::fontSizeNumber_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<double>("number");

    QTest::newRow("whole") << "28" << 28.0;
    QTest::newRow("decimal point") << "10.5" << 10.5;
    QTest::newRow("unit after the number") << "12pt" << 12.0;
    QTest::newRow("no number") << "large" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("leading blanks and tabs") << " \t 14" << 14.0;
    QTest::newRow("blanks inside are skipped") << "1 2" << 12.0;
    QTest::newRow("a second point ends it") << "1.2.3" << 1.2;
    QTest::newRow("comma is no decimal point") << "10,5" << 10.0;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("trailing point") << "9." << 9.0;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("negative") << "-3" << -3.0;
    QTest::newRow("plus sign") << "+16" << 16.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("exponent") << "1e2" << 100.0;
    QTest::newRow("e without digits ends it") << "12em" << 12.0;
    QTest::newRow("non-ASCII digits do not count") << QString::fromUtf8("١٢") << 0.0;
    QTest::newRow("overflow") << "1e400" << qInf();
}

void TestBrandingFile::fontSizeNumber() {
    QFETCH(QString, line);
    QFETCH(double, number);
    QCOMPARE(leadingNumber(line), number);
}

QTEST_MAIN(TestBrandingFile)
#include "tst_branding_file.moc"
