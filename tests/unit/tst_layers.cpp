// The layer order of docs/architecture.md, checked against every #include under src/: an
// include may point down to a lower floor or into its own folder, never up or sideways, and a
// folder the document marks free of widgets includes no Qt Widgets header. Within a folder the
// files (a header and its source as one) include each other without a loop. No folder holds
// more than a quarter of src/'s lines.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

#include <functional>

namespace {

struct Floor {
    int level = 0;
    bool widgets = false;
};

QString sourceRoot() {
    return QDir::cleanPath(QStringLiteral(IGNIVEX_FIXTURES "/../.."));
}

// The rows "| 4 | `src/record/` | no | ..." of the document's table of floors.
QMap<QString, Floor> floorsOf(const QString& document) {
    QFile file(document);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression row(
        QStringLiteral("^\\|\\s*(\\d+)\\s*\\|\\s*`src/(\\w+)/`\\s*\\|\\s*(yes|no)\\s*\\|"));
    QMap<QString, Floor> floors;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QRegularExpressionMatch m = row.match(QString::fromUtf8(line));
        if (m.hasMatch())
            floors.insert(m.captured(2), {m.captured(1).toInt(), m.captured(3) == u"yes"});
    }
    return floors;
}

QSet<QString> widgetHeaders() {
    QSet<QString> names;
    const QDir dir(QStringLiteral(IGNIVEX_QTWIDGETS_DIR));
    for (const QString& name : dir.entryList(QDir::Files))
        names.insert(name);
    names.insert(QStringLiteral("QtWidgets"));
    return names;
}

// A loop among the files of one folder ("A -> B -> A"), or empty. `edges`: each file (its name
// without extension) and the files of the folder it includes.
QString loopIn(const QMap<QString, QSet<QString>>& edges) {
    QSet<QString> done;
    QStringList path;
    std::function<QString(const QString&)> walk = [&](const QString& from) -> QString {
        if (path.contains(from))
            return (path.mid(path.indexOf(from)) << from).join(QStringLiteral(" -> "));
        if (done.contains(from))
            return {};
        path << from;
        QStringList next(edges.value(from).begin(), edges.value(from).end());
        next.sort();
        for (const QString& to : next)
            if (const QString loop = walk(to); !loop.isEmpty())
                return loop;
        path.removeLast();
        done.insert(from);
        return {};
    };
    for (const QString& file : edges.keys())
        if (const QString loop = walk(file); !loop.isEmpty())
            return loop;
    return {};
}

// The lines of each folder's .h and .cpp files.
QMap<QString, qint64> linesByFolder(const QDir& src) {
    QMap<QString, qint64> lines;
    for (const QString& folder : src.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QDirIterator files(src.filePath(folder), {QStringLiteral("*.h"), QStringLiteral("*.cpp")},
                           QDir::Files, QDirIterator::Subdirectories);
        qint64& count = lines[folder];
        while (files.hasNext()) {
            QFile file(files.next());
            if (file.open(QIODevice::ReadOnly))
                count += file.readAll().count('\n');
        }
    }
    return lines;
}

}  // namespace

class TestLayers : public QObject {
    Q_OBJECT
private slots:
    void includesFollowTheFloors() {
        const QString root = sourceRoot();
        const QMap<QString, Floor> floors =
            floorsOf(root + QStringLiteral("/docs/architecture.md"));
        QVERIFY2(!floors.isEmpty(), "docs/architecture.md has no table of floors");
        const QSet<QString> widgets = widgetHeaders();
        QVERIFY2(widgets.contains(QStringLiteral("QWidget")),
                 "the Qt Widgets headers were not found");

        static const QRegularExpression local(
            QStringLiteral("^\\s*#\\s*include\\s+\"(\\w+)/(\\w*)"));
        static const QRegularExpression system(
            QStringLiteral("^\\s*#\\s*include\\s+<(?:QtWidgets/)?(\\w+)>"));
        QStringList faults;
        const QDir src(root + QStringLiteral("/src"));
        for (const QString& folder : src.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (!floors.contains(folder)) {
                faults
                    << QStringLiteral("src/%1/ is on no floor of docs/architecture.md").arg(folder);
                continue;
            }
            const Floor own = floors.value(folder);
            QMap<QString, QSet<QString>> within;
            QDirIterator files(src.filePath(folder),
                               {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                               QDirIterator::Subdirectories);
            while (files.hasNext()) {
                const QString path = files.next();
                const QString unit = QFileInfo(path).completeBaseName();
                within[unit];
                QFile file(path);
                QVERIFY(file.open(QIODevice::ReadOnly));
                int number = 0;
                for (const QByteArray& bytes : file.readAll().split('\n')) {
                    ++number;
                    const QString line = QString::fromUtf8(bytes);
                    const QString where = QStringLiteral("%1:%2: %3")
                                              .arg(QDir(root).relativeFilePath(path))
                                              .arg(number)
                                              .arg(line.trimmed());
                    if (const auto m = local.match(line); m.hasMatch()) {
                        const QString to = m.captured(1);
                        if (to == folder) {
                            if (m.captured(2) != unit)
                                within[unit].insert(m.captured(2));
                            continue;
                        }
                        if (!floors.contains(to))
                            faults << where + QStringLiteral("  (src/%1/ is on no floor)").arg(to);
                        else if (floors.value(to).level >= own.level)
                            faults << where + QStringLiteral("  (floor %1 includes floor %2)")
                                                  .arg(own.level)
                                                  .arg(floors.value(to).level);
                    } else if (const auto w = system.match(line);
                               w.hasMatch() && !own.widgets && widgets.contains(w.captured(1))) {
                        faults << where + QStringLiteral("  (a widget header where none belongs)");
                    }
                }
            }
            if (const QString loop = loopIn(within); !loop.isEmpty())
                faults << QStringLiteral("src/%1/: the files include each other in a loop: %2")
                              .arg(folder, loop);
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    // A folder that grows past a quarter of the code is more than one job: it is split.
    void noFolderHoldsMoreThanAQuarter() {
        const QMap<QString, qint64> lines =
            linesByFolder(QDir(sourceRoot() + QStringLiteral("/src")));
        qint64 total = 0;
        for (const qint64 n : lines)
            total += n;
        QVERIFY2(total > 0, "src/ holds no lines");
        QStringList faults;
        for (auto it = lines.begin(); it != lines.end(); ++it)
            if (it.value() * 4 > total)
                faults << QStringLiteral(
                              "src/%1/ holds %2 % of src/'s lines (%3 of %4), more than a "
                              "quarter")
                              .arg(it.key())
                              .arg(100.0 * double(it.value()) / double(total), 0, 'f', 1)
                              .arg(it.value())
                              .arg(total);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestLayers)
#include "tst_layers.moc"
