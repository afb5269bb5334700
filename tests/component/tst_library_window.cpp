// File, Library...: the window over a real SQLite library in a temporary folder. A folder is
// added in a thread (progress, then the list), the search follows the typing, the map table is
// taken over a tag's runs as one recording, and a recording opened in the review is indexed.
// With IGNIVEX_SCREENSHOT_DIR set, the window with a search and the map table across a tag are
// saved there.
#include "app/ChartWindows.h"
#include "app/LibraryLink.h"
#include "catalog/LibraryPlace.h"
#include "catalog/SqliteRunStore.h"
#include "library/AcrossRuns.h"
#include "library/LibraryWindow.h"
#include "library/RunListModel.h"
#include "review/MapTableWindow.h"
#include "support/IsolatedConfig.h"
#include "support/MainHarness.h"
#include "support/ScriptedBoxes.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace ignivex;
using namespace ignivex::test;

namespace {

const QString kFixtures = QStringLiteral(IGNIVEX_FIXTURES "/library");

// A pull of `rows` rows at 10 a second, engine speed rising from 1000 and advance with it.
void writeRun(const QString& path, const QString& firmware, const QString& day, int rows,
              int peak) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    const QDateTime start = QDateTime::fromString(day + "T10:00:00.000+01:00", Qt::ISODateWithMs);
    QByteArray out = "# recording: Ignivex Log 1.1\n# firmware: " + firmware.toUtf8() +
                     "\n# map range: 3 (0 to 90)\n# started: " +
                     start.toString(Qt::ISODateWithMs).toUtf8() +
                     "\ntime,elapsed_s,rpm,advance,map,battery_v,gpi3_v,gpi1,gpi2,gpi3,status,mark\n";
    for (int i = 0; i < rows; ++i) {
        const double rpm = 1000 + double(peak - 1000) * i / rows;
        out += QStringLiteral("%1,%2,%3,%4,%5,13.800,2.500,1,0,0,ok,\n")
                   .arg(start.addMSecs(i * 100).toString(Qt::ISODateWithMs))
                   .arg(i * 0.1, 0, 'f', 3)
                   .arg(rpm, 0, 'f', 1)
                   .arg(8 + rpm / 250, 0, 'f', 3)
                   .arg(20 + 60.0 * i / rows, 0, 'f', 1)
                   .toUtf8();
    }
    f.write(out);
}

}  // namespace

class TestLibraryWindow : public QObject {
    Q_OBJECT
private slots:
    void addFolderSearchAndAcrossATag();
    void openedRecordingIsIndexed();
};

void TestLibraryWindow::addFolderSearchAndAcrossATag() {
    QTemporaryDir dir;
    const QString folder = dir.filePath("runs");
    QDir().mkpath(folder + "/car12/dyno");
    for (const char* name : {"run_a.csv", "run_b.csv", "notes.csv"})
        QVERIFY(QFile::copy(kFixtures + '/' + name, folder + "/car12/dyno/" + name));
    writeRun(folder + "/car12/pull_new_coil.csv", "IGX-3 V2.00", "2026-12-10", 600, 6500);
    writeRun(folder + "/car12/pull_old_coil.csv", "IGX-2 V1.10", "2026-12-01", 450, 6000);
    writeRun(folder + "/car7_street.csv", "IGX-2 V1.10", "2026-11-20", 1200, 4500);
    QString why;
    auto store = catalog::SqliteRunStore::open(dir.filePath("library.sqlite"), &why);
    QVERIFY2(store, qPrintable(why));
    ScriptedBoxes boxes;
    library::LibraryWindow w(store.get(), {}, boxes);
    w.show();
    QSignalSpy finished(&w, &library::LibraryWindow::addingFinished);
    w.addPaths({folder});
    QVERIFY(w.progressBar()->isVisible());
    QVERIFY(finished.wait(20000));
    QVERIFY(!w.progressBar()->isVisible());
    QCOMPARE(w.model()->rowCount(), 5);
    QVERIFY2(w.addReport().filter("skipped: notes.csv").size() == 1,
             qPrintable(w.addReport().join('\n')));

    // Tags for the pulls of car 12, then a search typed letter by letter.
    w.setAskText([](const QString&, const QString&, const QString&) {
        return std::optional<QString>("car12, coil");
    });
    QList<int> car12;
    for (int r = 0; r < w.model()->rowCount(); ++r) {
        if (w.table()->model()->index(r, library::RunListModel::File).data().toString()
                .startsWith("run_"))
            car12 << r;
    }
    QCOMPARE(car12.size(), 2);
    w.selectRows(car12);
    w.tagSelected();
    QTest::keyClicks(w.searchBox(), "coil");
    QCOMPARE(w.model()->rowCount(), 4);  // the two tagged, and the two with coil in the name
    QTest::keyClicks(w.searchBox(), " igx-3");
    QCOMPARE(w.model()->rowCount(), 2);  // run_b and pull_new_coil
    const QString shots = qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        QVERIFY(w.grab().save(shots + "/library-search.png"));

    // The map table over the tag's runs as one: of their five rows, the two at 30 kPa stand on
    // the last edge of range 1 (0 to 30), outside the table; run_a gives two rows, run_b one.
    w.searchBox()->clear();
    w.tagFilter()->setCurrentIndex(w.tagFilter()->findData("car12"));
    QCOMPARE(w.model()->rowCount(), 2);
    w.table()->clearSelection();
    QSignalSpy shown(w.across(), &library::AcrossRuns::shown);
    w.showAcross(int(library::AcrossRuns::Tool::MapTable));
    QVERIFY(shown.wait(20000));
    chart::MapTableWindow* table = w.across()->mapTable();
    QTRY_VERIFY(!table->busy());
    qint64 samples = 0;
    for (const analysis::MapCell& cell : table->table().cells)
        samples += cell.samples;
    QCOMPARE(samples, qint64(3));
    if (!shots.isEmpty()) {
        // A fuller picture: the tag over the three pulls of car 12.
        w.tagFilter()->setCurrentIndex(0);
        QTest::keyClicks(w.searchBox(), "car12");
        w.selectRows({0, 3});
        w.setAskText([](const QString&, const QString&, const QString&) {
            return std::optional<QString>("pulls");
        });
        w.tagSelected();
        w.tagFilter()->setCurrentIndex(w.tagFilter()->findData("pulls"));
        w.table()->clearSelection();
        w.showAcross(int(library::AcrossRuns::Tool::MapTable));
        QVERIFY(shown.wait(20000));
        QTRY_VERIFY(!table->busy());
        table->resize(900, 520);
        QVERIFY(table->grab().save(shots + "/library-map-table-tag.png"));
    }
    QCOMPARE(boxes.count(), 0);
}

// A recording the review opens goes into the user's own library, known by its id.
void TestLibraryWindow::openedRecordingIsIndexed() {
    IsolatedConfig config;
    MainHarness h;
    h.show();
    QSignalSpy indexed(&h.w().library(), &LibraryLink::indexed);
    h.w().charts().openRecording(kFixtures + "/run_a.csv");
    QVERIFY(indexed.wait(20000));
    QString why;
    // Where the program keeps it: the test's own data folder, or under Wine the prefix's.
    auto store = catalog::SqliteRunStore::open(catalog::defaultLibraryPath(), &why);
    QVERIFY2(store, qPrintable(why));
    const auto run = store->run("11111111-2222-4333-8444-555555555555", &why);
    QVERIFY2(run, qPrintable(why));
    QCOMPARE(run->rows, qint64(3));
}

QTEST_MAIN(TestLibraryWindow)
#include "tst_library_window.moc"
