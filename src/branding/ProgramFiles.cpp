#include "branding/ProgramFiles.h"

#include <QDir>
#include <QFileInfo>

namespace ignivex {

Q_LOGGING_CATEGORY(lcFiles, "ignivex.files", QtWarningMsg)

QString programFilesFolder(const QString& programFolder) {
    const QString beside = programFolder + QLatin1Char('/');
    if (QFileInfo(beside + QStringLiteral("help")).isDir() ||
        QFileInfo::exists(beside + QString::fromLatin1(kDefaultLogoName)))
        return programFolder;
    // IGNIVEX_FILES_FROM_BIN: the install's data folder seen from its executables' folder.
    const QString installed = QDir::cleanPath(beside + QStringLiteral(IGNIVEX_FILES_FROM_BIN));
    return QFileInfo(installed).isDir() ? installed : programFolder;
}

QStringList brandingFileCandidates(const QString& programFolder) {
    const QString name = QString::fromLatin1(kBrandingFileName);
    QStringList places{programFolder + QLatin1Char('/') + name};
#ifndef Q_OS_WIN
    QString configDirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (configDirs.isEmpty())
        configDirs = QStringLiteral("/etc/xdg");
    // Relative entries are invalid there and ignored, as for every other XDG reader.
    for (const QString& dir : configDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir))
            places << QDir::cleanPath(dir + QStringLiteral("/ignivex-log/") + name);
    places << QStringLiteral("/etc/ignivex-log/") + name;
    places.removeDuplicates();
#endif
    return places;
}

QString brandingFilePath(const QString& programFolder) {
    const QStringList places = brandingFileCandidates(programFolder);
    for (const QString& path : places)
        if (QFileInfo::exists(path))
            return path;
    return places.first();
}

QString logoPath(const QString& programFolder, const QString& logoName) {
    QStringList folders;
    const QString branding = brandingFilePath(programFolder);
    if (QFileInfo::exists(branding))
        folders << QFileInfo(branding).path();
    folders << programFilesFolder(programFolder);
    for (const QString& folder : folders) {
        const QString path = folder + QLatin1Char('/') + logoName;
        if (QFileInfo::exists(path))
            return path;
    }
    return folders.first() + QLatin1Char('/') + logoName;
}

}  // namespace ignivex
