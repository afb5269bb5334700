// The library of runs against a real SQLite file in a temporary folder: adding (added, known,
// skipped with its reason), search, a run found again by its id after a move, a damaged or newer
// library refused and left as it was, and the command line's CSV. The expected lines were worked
// out by hand from tests/fixtures/library: run_a.csv (an id of its own, three rows, rpm 1000,
// 2000, 3000, one mark) and run_b.csv (no id, two rows, rpm 4000 and 5000).
#include "catalog/RunIndex.h"
#include "catalog/RunSet.h"
#include "catalog/SqliteRunStore.h"
#include "record/RecordingReader.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace ignivex;
using namespace ignivex::catalog;

namespace {

const QString kFixtures = QStringLiteral(IGNIVEX_FIXTURES "/library");
const QString kIdA = QStringLiteral("11111111-2222-4333-8444-555555555555");
const QString kIdB = QStringLiteral(
    "sha256:8d9b097acafca2587f1d9b659f068956789c7be46f739bd0edd58ef6d8fc9442");

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void copyFixtures(const QString& to) {
    QDir().mkpath(to);
    for (const char* name : {"run_a.csv", "run_b.csv", "notes.csv"})
        QFile::copy(kFixtures + '/' + name, to + '/' + name);
}

QStringList fileNames(const QList<RunEntry>& runs) {
    QStringList names;
    for (const RunEntry& r : runs)
        names << QFileInfo(r.path).fileName();
    return names;
}

}  // namespace

class TestLibrary : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(dir_.isValid());
        copyFixtures(dir_.path() + "/runs");
        QString why;
        store_ = SqliteRunStore::open(dir_.path() + "/lib/library.sqlite", &why);
        QVERIFY2(store_, qPrintable(why));
    }
    void cleanup() {
        store_.reset();
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
    }

    void add_data();
    void add();
    void search_data();
    void search();
    void movedFoundAgainById();
    void refused_data();
    void refused();
    void runsAsOne();
    void commandLine_data();
    void commandLine();

private:
    QString runs(const QString& name) const { return dir_.path() + "/runs/" + name; }
    void addAll(const QStringList& tags = {}) {
        for (const char* name : {"run_a.csv", "run_b.csv"}) {
            auto i = indexFile(runs(name));
            QVERIFY2(i.run, qPrintable(i.reason));
            i.run->tags = tags;
            QString why;
            QVERIFY2(store_->add(*i.run, &why), qPrintable(why));
        }
    }

    QTemporaryDir dir_;
    std::unique_ptr<SqliteRunStore> store_;
};

void TestLibrary::add_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("id");      // empty: skipped
    QTest::addColumn<QString>("reason");  // part of the reason it is skipped
    QTest::newRow("an id of its own") << "run_a.csv" << kIdA << "";
    QTest::newRow("no id: its content's hash") << "run_b.csv" << kIdB << "";
    QTest::newRow("a table that is no recording") << "notes.csv" << "" << "it is not a recording: line 1";
    QTest::newRow("a header and no row") << "EMPTY" << "" << "no row";
    QTest::newRow("not there") << "gone.csv" << "" << "does not exist";
}

// Each file once: added the first time, known the second, the same single run.
void TestLibrary::add() {
    QFETCH(QString, file);
    QFETCH(QString, id);
    QFETCH(QString, reason);
    if (file == "EMPTY") {
        file = "empty.csv";
        QFile f(runs(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytesOf(runs("run_a.csv")).split('\n').mid(0, 9).join('\n') + '\n');
    }
    const IndexOutcome first = indexFile(runs(file));
    if (id.isEmpty()) {
        QVERIFY(!first.run);
        QVERIFY2(first.reason.contains(reason), qPrintable(first.reason));
        return;
    }
    QVERIFY2(first.run, qPrintable(first.reason));
    QCOMPARE(first.run->id, id);
    QString why;
    QCOMPARE(store_->add(*first.run, &why), std::optional(AddResult::Added));
    QCOMPARE(store_->add(*indexFile(runs(file)).run, &why), std::optional(AddResult::Known));
    const auto all = store_->find({}, &why);
    QCOMPARE(all->size(), 1);
    QCOMPARE(all->first().id, id);
}

void TestLibrary::search_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<double>("minS");
    QTest::addColumn<double>("maxS");
    QTest::addColumn<QStringList>("found");  // newest first
    const QStringList both{"run_b.csv", "run_a.csv"};
    QTest::newRow("nothing asked") << "" << "" << 0.0 << -1.0 << both;
    QTest::newRow("file name, any case") << "RUN_A" << "" << 0.0 << -1.0 << QStringList{"run_a.csv"};
    QTest::newRow("firmware") << "igx-3" << "" << 0.0 << -1.0 << QStringList{"run_b.csv"};
    QTest::newRow("tag as a word") << "coil" << "" << 0.0 << -1.0 << both;
    QTest::newRow("note") << "misfire" << "" << 0.0 << -1.0 << QStringList{"run_a.csv"};
    QTest::newRow("every word must be found") << "coil IGX-3" << "" << 0.0 << -1.0
                                              << QStringList{"run_b.csv"};
    QTest::newRow("a percent sign is a character") << "%" << "" << 0.0 << -1.0 << QStringList{};
    QTest::newRow("tag filter") << "" << "car12" << 0.0 << -1.0 << QStringList{"run_a.csv"};
    QTest::newRow("at least 0.75 s") << "" << "" << 0.75 << -1.0 << QStringList{"run_a.csv"};
    QTest::newRow("at most 0.5 s, edge kept") << "" << "" << 0.0 << 0.5 << QStringList{"run_b.csv"};
}

void TestLibrary::search() {
    QFETCH(QString, text);
    QFETCH(QString, tag);
    QFETCH(double, minS);
    QFETCH(double, maxS);
    QFETCH(QStringList, found);
    addAll({"coil"});
    QString why;
    QVERIFY(store_->addTags(kIdA, {"car12"}, &why));
    QVERIFY(store_->setNote(kIdA, "misfire at 6000", &why));
    RunQuery q;
    q.text = text;
    q.tag = tag;
    q.minDurationS = minS;
    q.maxDurationS = maxS;
    const auto runs = store_->find(q, &why);
    QVERIFY2(runs, qPrintable(why));
    QCOMPARE(fileNames(*runs), found);
}

// A run whose file went elsewhere shows as missing and is found again, by its id, when the
// folder it went to is added: still one run, with its tags.
void TestLibrary::movedFoundAgainById() {
    addAll({"coil"});
    QDir().mkpath(dir_.path() + "/moved");
    for (const char* name : {"run_a.csv", "run_b.csv"})
        QVERIFY(QFile::rename(runs(name), dir_.path() + "/moved/renamed_" + name));
    QString why;
    const auto gone = store_->find({}, &why);
    QCOMPARE(gone->size(), 2);
    for (const RunEntry& r : *gone)
        QVERIFY(!r.present);
    for (const char* name : {"run_a.csv", "run_b.csv"}) {
        const auto again = indexFile(dir_.path() + "/moved/renamed_" + name);
        QCOMPARE(store_->add(*again.run, &why), std::optional(AddResult::Moved));
    }
    const auto all = store_->find({}, &why);
    QCOMPARE(fileNames(*all), QStringList({"renamed_run_b.csv", "renamed_run_a.csv"}));
    for (const RunEntry& r : *all) {
        QVERIFY(r.present);
        QCOMPARE(r.tags, QStringList{"coil"});
    }
}

void TestLibrary::refused_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("not a database") << "text" << "is damaged";
    QTest::newRow("cut short") << "cut" << "is damaged";
    QTest::newRow("newer version") << "newer" << "newer version of Ignivex Log (library version 7";
    QTest::newRow("another program's database") << "foreign" << "not a library of runs";
}

// Refused with a message, and not one byte of the file changed.
void TestLibrary::refused() {
    QFETCH(QString, kind);
    QFETCH(QString, message);
    addAll();
    const QString path = store_->location();
    store_.reset();
    {
        auto db = sqlite::Database::open(path, false, nullptr);
        QVERIFY(db);
        if (kind == "newer")
            QVERIFY(db->exec("UPDATE library_schema SET version = 7", nullptr));
        if (kind == "foreign")
            QVERIFY(db->exec("DROP TABLE library_schema", nullptr));
    }
    QByteArray bytes = bytesOf(path);
    if (kind == "text" || kind == "cut") {
        bytes = kind == "text" ? QByteArray("not a database at all\n").repeated(300)
                               : bytes.left(bytes.size() / 2 + 100);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QString why;
    QVERIFY(!SqliteRunStore::open(path, &why));
    QVERIFY2(why.contains(message), qPrintable(why));
    QVERIFY2(why.contains("left as it is"), qPrintable(why));
    QCOMPARE(bytesOf(path), bytes);
    QVERIFY(!QFile::exists(path + "-journal"));
}

// Two runs as one: the second's rows follow the first's, starting where it ended.
void TestLibrary::runsAsOne() {
    QString why;
    const auto all = combinedRecording({runs("run_a.csv"), runs("run_b.csv")}, &why);
    QVERIFY2(all, qPrintable(why));
    QCOMPARE(all->table.elapsed, (std::vector<double>{0, 0.5, 1.0, 1.0, 1.5}));
    QCOMPARE(all->table.column(Value::Rpm), (std::vector<float>{1000, 2000, 3000, 4000, 5000}));
    QCOMPARE(all->table.userMarks.size(), std::size_t(1));
    QVERIFY(!combinedRecording({runs("run_a.csv"), runs("gone.csv")}, &why));
    QVERIFY2(why.contains("gone.csv"), qPrintable(why));
}

void TestLibrary::commandLine_data() {
    QTest::addColumn<QList<QStringList>>("commands");  // run in order; the last one's output
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines");  // lines of its output, in order
    const QStringList addBoth{"--library-add", "RUNS", "--tag", "car12"};
    QTest::newRow("add a folder")
        << QList<QStringList>{addBoth} << 0
        << QStringList{"result,id,file,reason", "skipped,,RUNS/notes.csv,",
                       "added," + kIdA + ",RUNS/run_a.csv,", "added," + kIdB + ",RUNS/run_b.csv,"};
    QTest::newRow("the same file twice is one run")
        << QList<QStringList>{addBoth, {"--library-add", "RUNS/run_a.csv"}} << 0
        << QStringList{"result,id,file,reason", "known," + kIdA + ",RUNS/run_a.csv,"};
    QTest::newRow("list, newest first, tags joined")
        << QList<QStringList>{addBoth, {"--library-tag", kIdA, "coil", "new plugs"},
                              {"--library-list"}}
        << 0
        << QStringList{"id,file,started,duration_s,rows,firmware,map_range,marks,tags",
                       kIdB + ",RUNS/run_b.csv,2026-12-09T09:00:00.000+01:00,0.500,2,IGX-3 "
                              "V2.00,1 (0 to 30),0,car12",
                       kIdA + ",RUNS/run_a.csv,2026-12-08T14:03:07.000+01:00,1.000,3,IGX-2 "
                              "V1.10,1 (0 to 30),1,car12;coil;new plugs"};
    QTest::newRow("list of a tag")
        << QList<QStringList>{addBoth, {"--library-tag", kIdB, "dyno"}, {"--library-list", "--tag", "dyno"}}
        << 0 << QStringList{"id,file,started", kIdB + ",RUNS/run_b.csv"};
    QTest::newRow("statistics of a tag: both runs as one")
        << QList<QStringList>{addBoth, {"--stats", "--tag", "car12"}} << 0
        << QStringList{"channel,samples,min,max,mean", "rpm,5,1000.0,5000.0,3000.000",
                       "advance,5,10.000,50.000,30.00000", "map,5,10.0,30.0,22.000",
                       "battery_v,5,12.000,14.000,13.00000", "gpi1,5,0,1,0.400"};
    QTest::newRow("map table of a tag")
        << QList<QStringList>{addBoth, {"--table", "--tag", "car12", "--rpm-edges", "0,2500,6000",
                                        "--map-edges", "0,15,40"}}
        << 0
        << QStringList{"rpm_from,rpm_to,map_from,map_to,samples,mean,min,max,sd",
                       "0,2500,0,15,1,10.00000,10.000,10.000,", "0,2500,15,40,1,20.00000",
                       "2500,6000,15,40,3,40.00000,30.000,50.000"};
    QTest::newRow("a tag no run has")
        << QList<QStringList>{addBoth, {"--stats", "--tag", "nothing"}} << 1
        << QStringList{"no run tagged \"nothing\""};
    QTest::newRow("tag an unknown run")
        << QList<QStringList>{{"--library-tag", "1234", "x"}} << 1
        << QStringList{"The library has no run 1234"};
    QTest::newRow("a team library no server answers for")
        << QList<QStringList>{{"--library-list", "--library", "postgresql://ana@127.0.0.1:1/runs"}}
        << 1 << QStringList{"The team library at postgresql://ana@127.0.0.1:1/runs cannot be reached"};
}

void TestLibrary::commandLine() {
    QFETCH(QList<QStringList>, commands);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    const QString folder = dir_.path() + "/runs";
    QString said;
    for (qsizetype i = 0; i < commands.size(); ++i) {
        QStringList arguments = commands[i];
        arguments.replaceInStrings(QRegularExpression("^RUNS"), folder);
        if (!arguments.contains("--library"))
            arguments << "--library" << dir_.path() + "/cli.sqlite";
        QProcess app;
        app.start(QStringLiteral(IGNIVEX_APP), arguments);
        QVERIFY(app.waitForFinished(30000));
        said = QString::fromUtf8(app.exitCode() == 0 ? app.readAllStandardOutput()
                                                     : app.readAllStandardError())
                   .replace("\r\n", "\n")
                   .replace(QDir::toNativeSeparators(folder), "RUNS")
                   .replace("RUNS\\", "RUNS/");
        QVERIFY2(app.exitCode() == (i + 1 == commands.size() ? exitCode : 0), qPrintable(said));
    }
    qsizetype at = 0;
    for (const QString& line : lines) {
        at = said.indexOf(line, at);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("no \"%1\" in order in:\n%2").arg(line, said)));
    }
}

QTEST_GUILESS_MAIN(TestLibrary)
#include "tst_library.moc"
