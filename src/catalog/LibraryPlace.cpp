#include "catalog/LibraryPlace.h"

#include "base/MessageText.h"
#include "catalog/SqliteRunStore.h"

#include <QStandardPaths>

namespace ignivex::catalog {

QString defaultLibraryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/library.sqlite");
}

std::unique_ptr<RunStore> openLibrary(const QString& place, QString* why) {
    if (place.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
        place.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive)) {
        *why = QStringLiteral("%1 names a team library on a PostgreSQL server, which is not "
                              "a local library file. Give the path of a local library file, or "
                              "leave it out to use your own library.")
                   .arg(readable(place, 80));
        return nullptr;
    }
    if (place.contains(QLatin1String("://"))) {
        *why = QStringLiteral("--library takes the path of a library file or a team library's "
                              "postgresql:// URL, not \"%1\".")
                   .arg(readable(place, 80));
        return nullptr;
    }
    return SqliteRunStore::open(place.isEmpty() ? defaultLibraryPath() : place, why);
}

}  // namespace ignivex::catalog
