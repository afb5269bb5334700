#pragma once

#include <QString>

// The team library's tables on the server, in a schema of their own ("ignivex"), made and
// upgraded by the program. Version 1 is the first; a later program adds its steps here.
namespace ignivex::team {

class Connection;

inline constexpr int kTeamSchemaVersion = 1;

// Makes the tables where the database has none, upgrades older ones, and refuses (leaving
// everything as it is) a newer version or tables of another kind. False with the reason.
bool prepareSchema(Connection& db, QString* why);

}  // namespace ignivex::team
