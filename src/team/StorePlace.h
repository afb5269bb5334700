#pragma once

#include "catalog/RunStore.h"

#include <QString>
#include <memory>

// Which library a command or the window uses: a team's server by its URL, else a local file.
namespace ignivex::team {

// "postgresql://..." or "postgres://...", as libpq takes them.
bool isServerPlace(const QString& place);

// The team library at the URL, the SQLite library at the path, or the user's own when empty.
// Nothing on failure, with the reason in `why`.
std::unique_ptr<catalog::RunStore> openStore(const QString& place, QString* why);

}  // namespace ignivex::team
