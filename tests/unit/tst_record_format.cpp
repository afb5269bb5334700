// The recording file's rows and preamble, as spreadsheets and data tools will read them.
#include "record/RecordFormat.h"

#include <QtTest>

using namespace ignivex;
using namespace ignivex::record;

namespace {
const Instant kStart = Instant(std::chrono::seconds(100));

Sample sampleAt(double seconds, Sample::End end) {
    Sample s;
    s.monotonic = kStart + std::chrono::duration_cast<Instant::duration>(
                               std::chrono::duration<double>(seconds));
    s.wallClock = QDateTime(QDate(2026, 12, 8), QTime(14, 3, 7, 250), QTimeZone(3600));
    s.end = end;
    return s;
}

Sample::End endOf(const QString& kind) {
    return kind == "esc"         ? Sample::End::Escape
           : kind == "link-lost" ? Sample::End::LinkLost
           : kind == "aborted"   ? Sample::End::Aborted
                                 : Sample::End::Complete;
}

struct Reads {
    std::int16_t bits;
    float gpi3, map, battery, rpm, advance;
};

// What each kind of tick read: a lost link nothing, a tick closed after the inputs only them,
// Esc after the battery no engine values, a module without MAP sensor no MAP, an ignored
// battery read no battery.
Sample tickOf(const QString& kind, double seconds, const Reads& v) {
    Sample s = sampleAt(seconds, endOf(kind));
    if (kind != "link-lost") {
        s.gpiBits = v.bits;
        s.gpi3Analog = v.gpi3;
    }
    if (kind != "aborted" && kind != "link-lost") {
        if (kind != "no map")
            s.map = v.map;
        if (kind != "ignored")
            s.battery = v.battery;
    }
    if (kind == "complete" || kind == "no map" || kind == "ignored") {
        s.rpm = v.rpm;
        s.advance = v.advance;
    }
    return s;
}
}  // namespace

class TestRecordFormat : public QObject {
    Q_OBJECT
private slots:
    void mapRangeLine_data();
    void mapRangeLine();
    void rows_data();
    void rows();
    void roundTrip_data();
    void roundTrip();
    void preamble();
    void marks_data();
    void marks();
    void parseRejects_data();
    void parseRejects();
};

void TestRecordFormat::rows_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray t = "2026-12-08T14:03:07.250+01:00,";
    QTest::newRow("complete") << "complete"
                              << t + "1.500,915.5,22.500,17.0,13.835,2.510,1,0,1,ok,\n";
    QTest::newRow("no MAP sensor")
        << "no map" << t + "1.500,915.5,22.500,,13.835,2.510,1,0,1,ok,\n";
    QTest::newRow("Esc after the battery") << "esc" << t + "1.500,,,17.0,13.835,2.510,1,0,1,esc,\n";
    QTest::newRow("link lost at the inputs") << "link-lost" << t + "1.500,,,,,,,,,link-lost,\n";
    QTest::newRow("closed after the inputs") << "aborted" << t + "1.500,,,,,2.510,1,0,1,aborted,\n";
    QTest::newRow("a failed read in a full tick")
        << "ignored" << t + "1.500,915.5,22.500,17.0,,2.510,1,0,1,ok,\n";
}

void TestRecordFormat::rows() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, expected);
    const Sample::End end = endOf(kind);
    // GPI1 and GPI3 on.
    const Sample s =
        tickOf(kind, 1.5, {0x14, 2.5098039f, 17.0f, 13.835294f, 915.52734375f, 22.49984f});
    QCOMPARE(row(s, kStart), expected);
    // And back: the cells a tick did not read stay empty.
    const auto parsed = parseRow(QByteArrayView(expected).chopped(1));
    QVERIFY(parsed);
    QCOMPARE(parsed->elapsed, 1.5);
    QCOMPARE(parsed->status, end);
    QCOMPARE(bool(parsed->rpm), bool(s.rpm));
    QCOMPARE(bool(parsed->map), bool(s.map));
    QCOMPARE(parsed->gpi3.value_or(false), bool(s.gpiBits));
}

// A tick's Sample, written as a row and read back, is the same Sample: every kind of partial
// tick keeps its empty cells empty and its values (given here at the file's precision).
void TestRecordFormat::roundTrip_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"complete", "no map", "esc", "link-lost", "aborted", "ignored"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestRecordFormat::roundTrip() {
    QFETCH(QString, kind);
    const Sample::End end = endOf(kind);
    // GPI1 and GPI2 on.
    const Sample s = tickOf(kind, 2.25, {0x0C, 4.706f, 89.9f, 13.835f, 3750000.0f, 44.824f});
    const auto parsed = parseRow(QByteArrayView(row(s, kStart)).chopped(1));
    QVERIFY(parsed);
    Sample back;
    putValues(back, *parsed);
    QCOMPARE(back.gpiBits, s.gpiBits);
    QCOMPARE(back.gpi3Analog, s.gpi3Analog);
    QCOMPARE(back.map, s.map);
    QCOMPARE(back.battery, s.battery);
    QCOMPARE(back.rpm, s.rpm);
    QCOMPARE(back.advance, s.advance);
    QCOMPARE(parsed->status, end);
    QCOMPARE(parsed->time, s.wallClock);
    QCOMPARE(parsed->elapsed, 2.25);
}

// A mark is the row's last cell, quoted, in a shape every documented reader splits right; a row
// of an earlier version has no mark cell and reads as unmarked.
void TestRecordFormat::marks_data() {
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QByteArray>("cell");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("none") << "" << QByteArray() << "";
    QTest::newRow("a note") << "pull 3" << QByteArray("\"pull 3\"") << "pull 3";
    QTest::newRow("commas and quotes") << "a, b \"c\"" << QByteArray("\"a; b 'c'\"") << "a; b 'c'";
    QTest::newRow("line breaks") << "one\ntwo" << QByteArray("\"one two\"") << "one two";
    QTest::newRow("control characters")
        << QStringView(u"a\0b\u001bc\u007fd\u0085e\u2028f", 11).toString()
        << QByteArray("\"a b c d e f\"") << "a b c d e f";
    QTest::newRow("=") << "=cmd|calc!A1" << QByteArray("\"'=cmd|calc!A1\"") << "=cmd|calc!A1";
    QTest::newRow("+ after blanks") << "  +1 deg" << QByteArray("\"'+1 deg\"") << "+1 deg";
    QTest::newRow("-") << "-3" << QByteArray("\"'-3\"") << "-3";
    QTest::newRow("@") << "@A1" << QByteArray("\"'@A1\"") << "@A1";
    QTest::newRow("' before =") << "'=1" << QByteArray("\"''=1\"") << "'=1";
    QTest::newRow("' before text") << "'a'" << QByteArray("\"'a'\"") << "'a'";
    QTest::newRow("cut before a surrogate pair")
        << QString(199, 'x') + QString::fromUtf16(u"\U0001F600")
        << "\"" + QByteArray(199, 'x') + "\"" << QString(199, 'x');
}

void TestRecordFormat::marks() {
    QFETCH(QString, mark);
    QFETCH(QByteArray, cell);
    QFETCH(QString, readBack);
    const Sample s = tickOf("complete", 1.5, {0x14, 2.5f, 17.0f, 13.8f, 900.0f, 10.0f});
    const QByteArray line = row(s, kStart, mark);
    QVERIFY(line.endsWith(",ok," + cell + "\n"));
    const auto parsed = parseRow(QByteArrayView(line).chopped(1));
    QVERIFY(parsed);
    QCOMPARE(parsed->mark, readBack);
    // The same row as an earlier version wrote it.
    const QByteArray old = row(s, kStart).chopped(2);
    QVERIFY(old.endsWith(",ok"));
    QVERIFY(parseRow(old) && parseRow(old)->mark.isEmpty());
}

void TestRecordFormat::preamble() {
    Details d;
    d.tool = "Ignivex Log 1.1";
    d.port = "Com3 (/dev/ttyUSB0)";
    d.firmwareId = "IGX-2 V1.10";
    d.status = 0xFE;
    d.statusRead = true;
    d.rangeCode = 2;
    d.rate = "10 per second";
    d.started = QDateTime(QDate(2026, 12, 8), QTime(14, 3, 7, 5), QTimeZone(-5 * 3600));
    QCOMPARE(
        record::preamble(d),
        QByteArray("# recording: Ignivex Log 1.1\n"
                   "# port: Com3 (/dev/ttyUSB0)\n"
                   "# firmware: IGX-2 V1.10\n"
                   "# status: 0xFE\n"
                   "# map range: 2 (0 to 60)\n"
                   "# rate: 10 per second\n"
                   "# started: 2026-12-08T14:03:07.005-05:00\n"
                   "time,elapsed_s,rpm,advance,map,battery_v,gpi3_v,gpi1,gpi2,gpi3,status,mark\n"));
    // A firmware ID with a line break in it cannot start a line of its own.
    d.firmwareId = "A\rB\nC";
    QVERIFY(record::preamble(d).contains("# firmware: A B C\n"));
}

void TestRecordFormat::parseRejects_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("why");
    const QByteArray t = "2026-12-08T14:03:07.250+01:00,";
    QTest::newRow("cut short (the last line after a kill)") << t + "1.500,915.5,22."
                                                            << "4 cells where 12 belong";
    QTest::newRow("a word for a number") << t + "1.500,fast,,,,,,,,ok"
                                         << "\"rpm\" is not a number";
    QTest::newRow("no time") << QByteArray("yesterday,1,,,,,,,,,ok") << "\"time\" is not a time";
    QTest::newRow("input not 0 or 1") << t + "1.500,,,,,,2,,,ok"
                                      << "\"gpi1\" is neither 0 nor 1";
    QTest::newRow("unknown status")
        << t + "1.500,,,,,,,,,fine"
        << "\"status\" is not ok, esc, link-lost, aborted, ignored, held or surplus";
    QTest::newRow("header of another program") << QByteArray("a,b,c") << "3 cells where 12 belong";
}

void TestRecordFormat::parseRejects() {
    QFETCH(QByteArray, line);
    QFETCH(QString, why);
    QString said;
    QVERIFY(!parseRow(line, &said));
    QCOMPARE(said, why);
}

// The MAP range a "# map range:" line names: a digit 0 to 3 standing on its own at its start.
void TestRecordFormat::mapRangeLine_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("code");  // -1: none
    QTest::newRow("as written") << "3 (0 to 90)" << 3;
    QTest::newRow("after spaces") << "  2" << 2;
    QTest::newRow("no sensor") << "0 (no MAP sensor)" << 0;
    QTest::newRow("a longer number") << "30" << -1;
    QTest::newRow("out of range") << "4 (0 to 120)" << -1;
    QTest::newRow("a word") << "1x" << -1;
    QTest::newRow("empty") << "" << -1;
}

void TestRecordFormat::mapRangeLine() {
    QFETCH(QString, value);
    QFETCH(int, code);
    const auto read = record::rangeCodeOf({{QStringLiteral("map range"), value}});
    QCOMPARE(read ? int(*read) : -1, code);
}

QTEST_GUILESS_MAIN(TestRecordFormat)
#include "tst_record_format.moc"
