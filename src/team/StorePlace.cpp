#include "team/StorePlace.h"

#include "catalog/LibraryPlace.h"
#include "team/TeamStore.h"

namespace ignivex::team {

bool isServerPlace(const QString& place) {
    return place.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           place.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

std::unique_ptr<catalog::RunStore> openStore(const QString& place, QString* why) {
    if (isServerPlace(place))
        return TeamStore::open(place, why);
    return catalog::openLibrary(place, why);
}

}  // namespace ignivex::team
