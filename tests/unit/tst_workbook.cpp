// The workbook export, read back from the workbook's own XML: the cells' types and values, the
// details sheet, and a recording continued on further sheets. The fixture is
// tests/fixtures/analysis/pull.csv (eight rows half a second apart from 14:03:07 at +01:00; the
// row at 2.5 s is an Esc row, and gpi3_v is empty at 3.0 s).
#include "workbook/Workbook.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <clocale>
#include <cstdio>
#include <private/qzipreader_p.h>

using namespace ignivex;

namespace {

const QString kPull = QStringLiteral(IGNIVEX_FIXTURES "/analysis/pull.csv");
const QString kEdges = QStringLiteral(IGNIVEX_FIXTURES "/analysis/edges.csv");

struct Exported {
    QTemporaryDir dir;
    QString path;
    std::optional<workbook::Written> written;
    QString error;

    explicit Exported(std::size_t rowsPerSheet = workbook::kRowsPerSheet, QString file = kPull) {
        path = dir.filePath("pull.xlsx");
        workbook::Options options;
        options.rowsPerSheet = rowsPerSheet;
        const record::Recording r = *record::readRecording(file).recording;
        written = workbook::write({r.table, r.details, r.path}, {}, path, options, &error);
    }
    QString part(const QString& name) const {
        QZipReader zip(path);
        return QString::fromUtf8(zip.fileData(name));
    }
    // The cell's XML element, or an empty string when the sheet has no such cell.
    QString cell(int sheet, const QString& ref) const {
        const QRegularExpression c(QStringLiteral("<c r=\"%1\"[^>]*(/>|>.*?</c>)").arg(ref));
        return c.match(part(QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet))).captured(0);
    }
};

QString valueOf(const QString& cell) {
    return QRegularExpression(QStringLiteral("<v>(.*)</v>")).match(cell).captured(1);
}

}  // namespace

class TestWorkbook : public QObject {
    Q_OBJECT
private slots:
    void cells_data();
    void cells();
    void dateTime();
    void details();
    void marksAndFigures();
    void continuedOnFurtherSheets();
    void existingFileRefused();
    void commaDecimalLocale();
};

void TestWorkbook::cells_data() {
    QTest::addColumn<QString>("ref");
    QTest::addColumn<QString>("kind");  // number, text, blank
    QTest::addColumn<QString>("value");
    QTest::newRow("header is text") << "C1"
                                    << "text"
                                    << "rpm";
    QTest::newRow("elapsed") << "B3"
                             << "number"
                             << "0.5";
    QTest::newRow("rpm") << "C3"
                         << "number"
                         << "1000";
    QTest::newRow("battery as written, not as a float") << "F4"
                                                        << "number"
                                                        << "13.4";
    QTest::newRow("input") << "H3"
                           << "number"
                           << "1";
    QTest::newRow("status") << "K7"
                            << "text"
                            << "esc";
    QTest::newRow("empty cell stays empty") << "G8"
                                            << "blank"
                                            << "";
}

void TestWorkbook::cells() {
    QFETCH(QString, ref);
    QFETCH(QString, kind);
    QFETCH(QString, value);
    const Exported x;
    QVERIFY2(x.written, qPrintable(x.error));
    const QString cell = x.cell(1, ref);
    if (kind == "blank") {
        QVERIFY2(cell.isEmpty(), qPrintable(cell));
    } else if (kind == "text") {
        QVERIFY2(cell.contains("t=\"inlineStr\"") || cell.contains("t=\"s\""), qPrintable(cell));
        QVERIFY2(cell.contains(QStringLiteral("<t>%1</t>").arg(value)), qPrintable(cell));
    } else {
        QVERIFY2(!cell.contains(" t=\""), qPrintable(cell));
        QCOMPARE(valueOf(cell), value);
    }
}

void TestWorkbook::dateTime() {
    const Exported x;
    // A date-time is days since 1899-12-30 in the recording's local time: 14:03:07.500 on the
    // second row.
    const double days = QDate(1899, 12, 30).daysTo(QDate(2026, 12, 8));
    const double expected = days + (14 * 3600 + 3 * 60 + 7.5) / 86400.0;
    const QString cell = x.cell(1, "A3");
    QVERIFY(std::abs(valueOf(cell).toDouble() - expected) < 1e-8);
    // Its style shows it as a date with milliseconds.
    const int style = QRegularExpression("s=\"(\\d+)\"").match(cell).captured(1).toInt();
    const QString styles = x.part("xl/styles.xml");
    const auto xfs = QRegularExpression("<cellXfs[^>]*>(.*)</cellXfs>").match(styles).captured(1);
    const QStringList xf = xfs.split("<xf ", Qt::SkipEmptyParts);
    const QString numFmtId =
        QRegularExpression("numFmtId=\"(\\d+)\"").match(xf.value(style)).captured(1);
    QVERIFY2(
        styles.contains(
            QStringLiteral("numFmtId=\"%1\" formatCode=\"yyyy-mm-dd hh:mm:ss.000\"").arg(numFmtId)),
        qPrintable(styles));
}

void TestWorkbook::details() {
    const Exported x;
    const QString workbookXml = x.part("xl/workbook.xml");
    QVERIFY(workbookXml.indexOf("name=\"Recording\"") < workbookXml.indexOf("name=\"Details\""));
    QVERIFY(workbookXml.contains("name=\"Statistics\"") &&
            workbookXml.contains("name=\"Map Table\""));
    const QString details = x.part("xl/worksheets/sheet2.xml");
    for (const QString& text : {QStringLiteral("span exported"),
                                QStringLiteral("the whole recording"), QStringLiteral("firmware"),
                                QStringLiteral("IGX-2 V1.10"), QDir::toNativeSeparators(kPull)})
        QVERIFY2(details.contains(text), qPrintable(text));
}

// edges.csv, marks on its second and fifth rows: the figures as the file writes them.
void TestWorkbook::marksAndFigures() {
    const Exported x(workbook::kRowsPerSheet, kEdges);
    QVERIFY(x.cell(1, "L3").contains("<t>pull 1</t>") && x.cell(1, "L2").isEmpty());
    QCOMPARE(valueOf(x.cell(3, "E5")), QStringLiteral("14.118"));  // the most battery volts
    QCOMPARE(valueOf(x.cell(3, "F4")), QStringLiteral("15.882"));  // mean MAP: 174.7 / 11
    QCOMPARE(valueOf(x.cell(4, "C5")), QStringLiteral("25"));      // MAP 29.7 and 29.8 by 5
    QCOMPARE(valueOf(x.cell(4, "F5")), QStringLiteral("23.838"));  // their mean advance
    QVERIFY(x.part("xl/styles.xml").contains("formatCode=\"0.00000\""));  // a mean's
}

void TestWorkbook::continuedOnFurtherSheets() {
    const Exported x(3);
    QVERIFY2(x.written, qPrintable(x.error));
    QCOMPARE(x.written->rows, qint64(8));
    QCOMPARE(x.written->sheets, 3);
    const QString workbookXml = x.part("xl/workbook.xml");
    QVERIFY(workbookXml.contains("name=\"Recording (2)\"") &&
            workbookXml.contains("name=\"Recording (3)\""));
    // Each sheet has its own header; the second begins with the row at 1.5 s.
    QVERIFY(x.cell(2, "C1").contains("<t>rpm</t>"));
    QCOMPARE(valueOf(x.cell(2, "B2")), QStringLiteral("1.5"));
    QCOMPARE(valueOf(x.cell(3, "B3")), QStringLiteral("3.5"));
    QVERIFY(x.cell(3, "B4").isEmpty());
    QVERIFY(x.part("xl/worksheets/sheet4.xml").contains("a sheet holds 3 rows"));
}

void TestWorkbook::existingFileRefused() {
    QTemporaryDir dir;
    const QString path = dir.filePath("there.xlsx");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("mine");
    f.close();
    QString error;
    const record::Recording r = *record::readRecording(kPull).recording;
    QVERIFY(!workbook::write({r.table, r.details, r.path}, {}, path, {}, &error));
    QVERIFY(error.contains("already exists"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"there.xlsx"});
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("mine"));
}

// The program runs in the user's locale; in a comma-decimal one the numbers still go into the
// workbook with a point, or no spreadsheet reads them as numbers.
void TestWorkbook::commaDecimalLocale() {
    const QByteArray before = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        QSKIP("no de_DE.UTF-8 locale here (scripts/install-deps makes it)");
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    const Exported x;
    std::setlocale(LC_NUMERIC, before.constData());
    QCOMPARE(QByteArray(probe), QByteArray("1,5"));
    QCOMPARE(valueOf(x.cell(1, "F4")), QStringLiteral("13.4"));
    QCOMPARE(valueOf(x.cell(1, "B3")), QStringLiteral("0.5"));
}

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
