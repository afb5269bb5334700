#pragma once

#include "formula/FormulaChannels.h"

#include <QJsonObject>
#include <QString>
#include <optional>
#include <vector>

class QSettings;

namespace ignivex::formula {

// The unit the module's MAP is in: it names none, so the user says which.
enum class MapUnit { Unnamed, Kpa, Psi, Bar, InHg };
QString unitText(MapUnit unit);  // "kPa", ...; empty for Unnamed
std::optional<MapUnit> mapUnitFrom(const QString& text);

// What a user keeps of the channels by formula and the filters: in the settings, in a file of
// their own, and in a study.
struct Formulas {
    std::vector<Definition> channels;
    std::vector<Filter> filters;
    MapUnit mapUnit = MapUnit::Unnamed;
    bool operator==(const Formulas&) const = default;
};

Formulas loadFormulas(QSettings& settings);
void saveFormulas(QSettings& settings, const Formulas& formulas);

// As JSON: {"channels": [{"name", "formula", "unit", "decimals"}],
//           "filters": [{"name", "condition", "settle_s"}], "map_unit": "kPa"}.
QJsonObject toJson(const Formulas& formulas);
// Nothing, and why in `why`, for an object that is not that shape.
std::optional<Formulas> formulasFromJson(const QJsonObject& object, QString* why);
// A file of them, written whole or not at all; read back with what is wrong named.
bool writeFormulasFile(const QString& path, const Formulas& formulas, QString* why);
std::optional<Formulas> readFormulasFile(const QString& path, QString* why);

// A JSON object as a file of its own, written whole or not at all; read back with what is wrong
// named (it cannot be opened, is larger than `mostBytes`, is not JSON or holds no object).
bool writeJsonFile(const QString& path, const QJsonObject& object, QString* why);
std::optional<QJsonObject> readJsonFile(const QString& path, qint64 mostBytes, QString* why);

// Ready-made channels: MAP in the other units (when the module's unit is named), engine speed
// per second, advance smoothed over half a second.
std::vector<Definition> examples(MapUnit mapUnit);

}  // namespace ignivex::formula
