// Reading a recording back: good files, files cut off by a crash, files of another program,
// bad cells and files too big to hold, each with what is shown or said.
#include "record/RecordingReader.h"

#include <QTemporaryDir>
#include <QDir>
#include <QtTest>
#include <unistd.h>

using namespace ignivex;
using namespace ignivex::record;

namespace {
const Instant kStart = Instant(std::chrono::seconds(50));

QByteArray details() {
    Details d;
    d.tool = "Ignivex Log 1.1";
    d.port = "Com1 (/dev/pts/4)";
    d.firmwareId = "IGX-2 V1.10";
    d.statusRead = true;
    d.status = 0x05;
    d.rangeCode = 1;
    d.rate = "2 per second";
    d.started = QDateTime(QDate(2026, 12, 8), QTime(14, 3, 7), QTimeZone(3600));
    return preamble(d);
}

// Row i: 0.5 s apart, rpm 1000 + 10 i, MAP only on even rows, GPI1 set on odd rows.
QByteArray rows(int count, int from = 0) {
    QByteArray out;
    for (int i = from; i < from + count; ++i) {
        Sample s;
        s.monotonic = kStart + std::chrono::milliseconds(500 * i);
        s.wallClock =
            QDateTime(QDate(2026, 12, 8), QTime(14, 3, 7), QTimeZone(3600)).addMSecs(500 * i);
        s.rpm = 1000.0f + 10.0f * float(i);
        s.advance = 12.5f;
        if (i % 2 == 0)
            s.map = 17.0f;
        s.battery = 13.8f;
        s.gpi3Analog = 2.5f;
        s.gpiBits = i % 2 ? 0x04 : 0x00;
        out += row(s, kStart);
    }
    return out;
}

template <typename T>
QByteArrayView bytesOf(const std::vector<T>& v) {  // NaN cells compare equal as bytes
    return QByteArrayView(reinterpret_cast<const char*>(v.data()), qsizetype(v.size() * sizeof(T)));
}

// Read in two halves (whatever its size), a file must read as it reads in one piece.
void compareHalves(const QString& path, const ReadOptions& options, const ReadResult& whole) {
    ReadOptions halves = options;
    halves.halvesFrom = 1;
    const ReadResult r = readRecording(path, halves);
    QCOMPARE(r.error, whole.error);
    QCOMPARE(bool(r.recording), bool(whole.recording));
    if (!r.recording)
        return;
    QCOMPARE(r.recording->note(), whole.recording->note());
    const Table &a = r.recording->table, &b = whole.recording->table;
    QCOMPARE(bytesOf(a.elapsed), bytesOf(b.elapsed));
    QCOMPARE(bytesOf(a.wallMs), bytesOf(b.wallMs));
    QCOMPARE(bytesOf(a.status), bytesOf(b.status));
    for (int s = 0; s < a.channelCount(); ++s)
        QCOMPARE(bytesOf(a.column(s)), bytesOf(b.column(s)));
    QCOMPARE(a.userMarks.size(), b.userMarks.size());
    for (std::size_t i = 0; i < a.userMarks.size(); ++i) {
        QCOMPARE(a.userMarks[i].row, b.userMarks[i].row);
        QCOMPARE(a.userMarks[i].text, b.userMarks[i].text);
    }
    QCOMPARE(a.utcOffsetSeconds, b.utcOffsetSeconds);
}
}  // namespace

class TestRecordingReader : public QObject {
    Q_OBJECT
private slots:
    void files_data();
    void files();
    void valuesReadBack();
    void folderAndCancel();
};

void TestRecordingReader::files_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("sparseTail");  // zero bytes after the content, as a hole
    QTest::addColumn<int>("rowLimit");
    QTest::addColumn<int>("rowsRead");
    QTest::addColumn<QString>("said");  // in the error when nothing is read, else in the note

    const QByteArray head = details();  // 7 "#" lines and the header: rows start at line 9
    const QByteArray t = "2026-12-08T14:03:07.250+01:00,";
    QByteArray crlf = head + rows(5);
    crlf.replace("\n", "\r\n");
    QByteArray badCells = head + rows(2) + t + "1.250,fast,,,,,,,,ok\n" + rows(2, 3);
    QByteArray back = head + rows(3) + t + "0.100,900.0,,,,,,,,ok\n";
    QByteArray manyBad = head + rows(1);
    for (int i = 0; i < 8; ++i)
        manyBad += t + "2.000,,,,,,2,,,ok\n";

    QTest::newRow("good") << head + rows(5) << 0LL << 100 << 5 << "";
    QTest::newRow("one row") << head + rows(1) << 0LL << 100 << 1 << "";
    // Six rows of one length: the halves meet exactly at a line's start.
    QTest::newRow("time going back at the middle")
        << head + rows(3, 10) + rows(3) << 0LL << 100 << 3
        << "Line 12 skipped: \"elapsed_s\" goes back, from 6.000 to 0.000.\nLine 13 skipped: "
           "\"elapsed_s\" goes back, from 6.000 to 0.500.";
    QTest::newRow("row limit in the second half")
        << head + rows(6) << 0LL << 4 << 4 << "Only the first 4 rows were read, up to line 13";
    QTest::newRow("a line too long for a row, across the middle")
        << head + rows(2) + QByteArray(70000, 'x') + "\n" + rows(2, 2) << 0LL << 100 << 4
        << "Line 11 skipped: it is longer than 65536 bytes.";
    QTest::newRow("marks") << head + rows(2) + t + "1.000,,,,,,,,,ok,\"pull\"\n" + rows(2, 3) << 0LL
                           << 100 << 5 << "";
    QTest::newRow("good, CR LF, byte order mark") << "\xEF\xBB\xBF" + crlf << 0LL << 100 << 5 << "";
    QTest::newRow("truncated last line (kill -9)")
        << head + rows(5) + t + "2.500,1050.0,12." << 0LL << 100 << 5
        << "The last line (14) is incomplete";
    QTest::newRow("last row complete without its line end")
        << head + rows(5).chopped(1) << 0LL << 100 << 5 << "";
    QTest::newRow("a cell that is not a number")
        << badCells << 0LL << 100 << 4 << "Line 11 skipped: \"rpm\" is not a number.";
    QTest::newRow("time going back")
        << back << 0LL << 100 << 3
        << "Line 12 skipped: \"elapsed_s\" goes back, from 1.000 to 0.100.";
    QTest::newRow("many bad lines") << manyBad << 0LL << 100 << 1
                                    << "Line 14 skipped: \"gpi1\" is neither 0 nor 1.\n\u2026 and "
                                       "3 more lines skipped (8 in all).";
    QTest::newRow("another program's header")
        << QByteArray("a,b,c\n1,2,3\n") << 0LL << 100 << 0
        << "is not a recording: line 1 should be the header row\ntime,elapsed_s,";
    QTest::newRow("details, then another header")
        << head.left(head.indexOf("time,")) + "Time;RPM\n"
        << 0LL << 100 << 0 << "line 8 should be the header row";
    QTest::newRow("empty") << QByteArray() << 0LL << 100 << 0 << "is empty";
    QTest::newRow("details only") << head.left(head.indexOf("time,")) << 0LL << 100 << 0
                                  << "ends at line 7 without the header row";
    QTest::newRow("no rows") << head << 0LL << 100 << 0
                             << "holds no rows: nothing follows its header row (line 8)";
    QTest::newRow("no readable rows") << head + t + "x,,,,,,,,,ok\n" + t + "1,,,,,,,,\n"
                                      << 0LL << 100 << 0
                                      << "holds no row that can be read: line 9: \"elapsed_s\" is "
                                         "not a number (2 lines skipped in all).";
    QTest::newRow("only row cut off") << head + t + "0.000,10" << 0LL << 100 << 0
                                      << "holds no complete row: its only row (line 9)";
    QTest::newRow("more rows than are kept")
        << head + rows(5) << 0LL << 3 << 3 << "Only the first 3 rows were read, up to line 12";
    // A gigabyte: the rows kept, then a hole of zero bytes that is never read.
    QTest::newRow("1 GB recording")
        << head + rows(5) << (1LL << 30) << 3 << 3
        << "up to line 12: the remaining 1024.0 MB of the file were not read.";
    QTest::newRow("a million \"#\" lines")
        << QByteArray("# x\n").repeated(1000000) + head + rows(2) << 0LL << 100 << 2
        << "Only the first 1000 \"#\" lines are shown";
    QTest::newRow("the statuses of a held tick")
        << head + t + "0.000,,,,,,,,,ignored\n" + t + "0.500,,,,,,,,,held\n" + t +
               "1.000,1.0,,,,,,,,surplus\n"
        << 0LL << 100 << 3 << "";
    QTest::newRow("1 GB without a line end")
        << QByteArray() << (1LL << 30) << 100 << 0
        << "line 1 is longer than 65536 bytes, where the header row belongs";
}

void TestRecordingReader::files() {
    QFETCH(QByteArray, content);
    QFETCH(qint64, sparseTail);
    QFETCH(int, rowLimit);
    QFETCH(int, rowsRead);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString path = dir.filePath("run.csv");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    if (sparseTail > 0)
        QVERIFY(file.resize(content.size() + sparseTail));
    file.close();

    ReadOptions options;
    options.rowLimit = std::size_t(rowLimit);
    const ReadResult result = readRecording(path, options);
    QVERIFY(!result.cancelled);
    compareHalves(path, options, result);
    if (QTest::currentTestFailed())
        return;
    if (rowsRead == 0) {
        QVERIFY(!result.recording);
        QVERIFY2(result.error.contains(said), qPrintable(result.error));
        QVERIFY2(
            result.error.contains(QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(path))),
            qPrintable(result.error));
        return;
    }
    QVERIFY2(result.recording, qPrintable(result.error));
    QCOMPARE(int(result.recording->table.size()), rowsRead);
    const QString note = result.recording->note();
    if (said.isEmpty())
        QCOMPARE(note, QString());
    else
        QVERIFY2(note.contains(said), qPrintable(note));
}

void TestRecordingReader::valuesReadBack() {
    QTemporaryDir dir;
    QFile file(dir.filePath("run.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(details() + rows(4));
    file.close();
    const ReadResult result = readRecording(file.fileName());
    QVERIFY(result.recording);
    const Recording& r = *result.recording;
    QCOMPARE(r.details.size(), 7);
    QCOMPARE(r.details.at(4),
             std::pair(QStringLiteral("map range"), QStringLiteral("1 (0 to 30)")));
    const Table& t = r.table;
    QCOMPARE(t.elapsed, std::vector<double>({0.0, 0.5, 1.0, 1.5}));
    QCOMPARE(t.column(Value::Rpm), std::vector<float>({1000, 1010, 1020, 1030}));
    QCOMPARE(t.column(Value::Map)[0], 17.0f);
    QVERIFY(std::isnan(t.column(Value::Map)[1]));  // not read: no value, not 0
    QCOMPARE(t.column(Value::Gpi1), std::vector<float>({0, 1, 0, 1}));
    QCOMPARE(t.utcOffsetSeconds, 3600);
    QCOMPARE(t.wallMs[1] - t.wallMs[0], 500);
}

void TestRecordingReader::folderAndCancel() {
    QTemporaryDir dir;
    const ReadResult folder = readRecording(dir.path());
    QVERIFY(!folder.recording);
    QCOMPARE(folder.error, QStringLiteral("\"%1\" is a folder, not a recording. Choose a recording "
                                          "file (.csv) in it.")
                               .arg(QDir::toNativeSeparators(dir.path())));
    QFile file(dir.filePath("run.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(details() + rows(10));
    file.close();
    std::atomic<bool> cancel = true;
    ReadOptions options;
    options.cancel = &cancel;
    const ReadResult cancelled = readRecording(file.fileName(), options);
    QVERIFY(cancelled.cancelled);
    QVERIFY(!cancelled.recording);
}

QTEST_GUILESS_MAIN(TestRecordingReader)
#include "tst_recording_reader.moc"
