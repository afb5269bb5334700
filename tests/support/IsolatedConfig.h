#pragma once

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtGlobal>

namespace ignivex::test {

// A settings folder of the test's own: the stored port and the ports folder live there, never
// in the user's real configuration; and a data folder, where the library of runs is.
class IsolatedConfig {
public:
    IsolatedConfig() {
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", (dir_.path() + QStringLiteral("/data")).toLocal8Bit());
#ifdef Q_OS_WIN
        // The user's data folder is no variable there: Qt's test folders stand in for it.
        QStandardPaths::setTestModeEnabled(true);
#endif
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
    }
    QString path() const { return dir_.path(); }
    QString settingsFile() const {
        return dir_.path() + QStringLiteral("/Ignivex_Log/Ignivex_Log.conf");
    }
    QString portsFolder() const { return dir_.path() + QStringLiteral("/Ignivex_Log/ports"); }
    QString dataFolder() const { return dir_.path() + QStringLiteral("/data"); }

#ifdef Q_OS_WIN
    // On Windows the store is the registry, shared by the whole user: the test sets the user's
    // setting aside and puts it back afterwards.
    static QString storeKey() {
        return QStringLiteral(
            "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Ignivex_Log");
    }
    ~IsolatedConfig() {
        // The channels by formula, filters and studies a test kept would reach every later
        // test's review and live chart.
        QSettings app(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ignivex_Log"),
                      QStringLiteral("Ignivex_Log"));
        for (const char* key : {"formulaChannels", "filters", "mapUnit", "recentStudies"})
            app.remove(QLatin1String(key));
        QSettings s(storeKey(), QSettings::NativeFormat);
        s.remove(QStringLiteral("Properties"));
        if (!saved_.isNull())
            s.setValue(QStringLiteral("Properties/CommPort"), saved_);
    }
    QString stored() const {
        return QSettings(storeKey(), QSettings::NativeFormat)
            .value(QStringLiteral("Properties/CommPort"))
            .toString();
    }
    bool hasStored() const {
        return QSettings(storeKey(), QSettings::NativeFormat)
            .contains(QStringLiteral("Properties/CommPort"));
    }
    void store(const QString& value) const {
        QSettings s(storeKey(), QSettings::NativeFormat);
        s.setValue(QStringLiteral("Properties/CommPort"), value);
        s.sync();
    }
    void clear() const {
        QSettings(storeKey(), QSettings::NativeFormat).remove(QStringLiteral("Properties"));
    }

private:
    QString saved_ = [] {
        QSettings s(storeKey(), QSettings::NativeFormat);
        const QString value = s.value(QStringLiteral("Properties/CommPort")).toString();
        s.remove(QStringLiteral("Properties"));
        return value;
    }();
#else
    // The stored text under Properties/CommPort, read straight from the file.
    QString stored() const {
        QSettings s(settingsFile(), QSettings::IniFormat);
        return s.value(QStringLiteral("Properties/CommPort")).toString();
    }
    bool hasStored() const {
        QSettings s(settingsFile(), QSettings::IniFormat);
        return s.contains(QStringLiteral("Properties/CommPort"));
    }
    void store(const QString& value) const {
        QDir().mkpath(dir_.path() + QStringLiteral("/Ignivex_Log"));
        QSettings s(settingsFile(), QSettings::IniFormat);
        s.setValue(QStringLiteral("Properties/CommPort"), value);
        s.sync();
    }
    void clear() const {
        QFile::remove(settingsFile());
    }
#endif

private:
    QTemporaryDir dir_;
};

}  // namespace ignivex::test
