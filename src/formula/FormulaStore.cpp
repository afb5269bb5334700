#include "formula/FormulaStore.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSettings>
#include <cmath>

namespace ignivex::formula {

namespace {

// A file of formulas is small: anything larger is not one.
constexpr qint64 kMostFileBytes = 16 * 1024 * 1024;

struct UnitEntry {
    MapUnit unit;
    const char* text;
    double kpa;  // one of it in kPa
};
constexpr UnitEntry kUnits[] = {{MapUnit::Kpa, "kPa", 1},
                                {MapUnit::Psi, "psi", 6.894757},
                                {MapUnit::Bar, "bar", 100},
                                {MapUnit::InHg, "inHg", 3.386389}};

}  // namespace

QString unitText(MapUnit unit) {
    for (const UnitEntry& e : kUnits) {
        if (e.unit == unit)
            return QString::fromLatin1(e.text);
    }
    return {};
}

std::optional<MapUnit> mapUnitFrom(const QString& text) {
    if (text.isEmpty())
        return MapUnit::Unnamed;
    for (const UnitEntry& e : kUnits) {
        if (text == QLatin1String(e.text))
            return e.unit;
    }
    return std::nullopt;
}

Formulas loadFormulas(QSettings& settings) {
    Formulas f;
    const int channels = settings.beginReadArray(QStringLiteral("formulaChannels"));
    for (int i = 0; i < std::min(channels, kMostChannels); ++i) {
        settings.setArrayIndex(i);
        f.channels.push_back({settings.value(QStringLiteral("name")).toString(),
                              settings.value(QStringLiteral("formula")).toString(),
                              settings.value(QStringLiteral("unit")).toString(),
                              std::clamp(settings.value(QStringLiteral("decimals"), 2).toInt(), 0,
                                         kMostDecimals)});
    }
    settings.endArray();
    const int filters = settings.beginReadArray(QStringLiteral("filters"));
    for (int i = 0; i < std::min(filters, kMostChannels); ++i) {
        settings.setArrayIndex(i);
        const double settle = settings.value(QStringLiteral("settleSeconds"), 0).toDouble();
        f.filters.push_back({settings.value(QStringLiteral("name")).toString(),
                             settings.value(QStringLiteral("condition")).toString(),
                             std::isfinite(settle) && settle >= 0 ? settle : 0});
    }
    settings.endArray();
    f.mapUnit = mapUnitFrom(settings.value(QStringLiteral("mapUnit")).toString())
                    .value_or(MapUnit::Unnamed);
    return f;
}

void saveFormulas(QSettings& settings, const Formulas& f) {
    settings.remove(QStringLiteral("formulaChannels"));
    settings.beginWriteArray(QStringLiteral("formulaChannels"), int(f.channels.size()));
    for (std::size_t i = 0; i < f.channels.size(); ++i) {
        settings.setArrayIndex(int(i));
        settings.setValue(QStringLiteral("name"), f.channels[i].name);
        settings.setValue(QStringLiteral("formula"), f.channels[i].formula);
        settings.setValue(QStringLiteral("unit"), f.channels[i].unit);
        settings.setValue(QStringLiteral("decimals"), f.channels[i].decimals);
    }
    settings.endArray();
    settings.remove(QStringLiteral("filters"));
    settings.beginWriteArray(QStringLiteral("filters"), int(f.filters.size()));
    for (std::size_t i = 0; i < f.filters.size(); ++i) {
        settings.setArrayIndex(int(i));
        settings.setValue(QStringLiteral("name"), f.filters[i].name);
        settings.setValue(QStringLiteral("condition"), f.filters[i].condition);
        settings.setValue(QStringLiteral("settleSeconds"), f.filters[i].settleSeconds);
    }
    settings.endArray();
    settings.setValue(QStringLiteral("mapUnit"), unitText(f.mapUnit));
}

QJsonObject toJson(const Formulas& f) {
    QJsonArray channels, filters;
    for (const Definition& d : f.channels)
        channels.append(QJsonObject{{QStringLiteral("name"), d.name},
                                    {QStringLiteral("formula"), d.formula},
                                    {QStringLiteral("unit"), d.unit},
                                    {QStringLiteral("decimals"), d.decimals}});
    for (const Filter& x : f.filters)
        filters.append(QJsonObject{{QStringLiteral("name"), x.name},
                                   {QStringLiteral("condition"), x.condition},
                                   {QStringLiteral("settle_s"), x.settleSeconds}});
    return {{QStringLiteral("channels"), channels},
            {QStringLiteral("filters"), filters},
            {QStringLiteral("map_unit"), unitText(f.mapUnit)}};
}

std::optional<Formulas> formulasFromJson(const QJsonObject& o, QString* why) {
    auto fail = [why](const QString& text) {
        if (why)
            *why = text;
        return std::nullopt;
    };
    Formulas f;
    const QJsonArray channels = o.value(QStringLiteral("channels")).toArray();
    const QJsonArray filters = o.value(QStringLiteral("filters")).toArray();
    if (channels.size() > kMostChannels || filters.size() > kMostChannels)
        return fail(QStringLiteral("it holds more than %1 channels or filters").arg(kMostChannels));
    for (qsizetype i = 0; i < channels.size(); ++i) {
        const QJsonObject c = channels[i].toObject();
        const QJsonValue decimals = c.value(QStringLiteral("decimals"));
        if (!c.value(QStringLiteral("name")).isString() ||
            !c.value(QStringLiteral("formula")).isString() ||
            (!decimals.isUndefined() && !decimals.isDouble()))
            return fail(QStringLiteral("channel %1 has no name or formula").arg(i + 1));
        const double d = decimals.toDouble(2);
        if (d != std::floor(d) || d < 0 || d > kMostDecimals)
            return fail(QStringLiteral("channel %1 has decimals other than 0 to %2")
                            .arg(i + 1)
                            .arg(kMostDecimals));
        f.channels.push_back({c.value(QStringLiteral("name")).toString(),
                              c.value(QStringLiteral("formula")).toString(),
                              c.value(QStringLiteral("unit")).toString(), int(d)});
    }
    for (qsizetype i = 0; i < filters.size(); ++i) {
        const QJsonObject x = filters[i].toObject();
        const double settle = x.value(QStringLiteral("settle_s")).toDouble(0);
        if (!x.value(QStringLiteral("name")).isString() ||
            !x.value(QStringLiteral("condition")).isString())
            return fail(QStringLiteral("filter %1 has no name or condition").arg(i + 1));
        if (!std::isfinite(settle) || settle < 0)
            return fail(QStringLiteral("filter %1 has a settle time below 0").arg(i + 1));
        f.filters.push_back({x.value(QStringLiteral("name")).toString(),
                             x.value(QStringLiteral("condition")).toString(), settle});
    }
    const auto unit = mapUnitFrom(o.value(QStringLiteral("map_unit")).toString());
    if (!unit)
        return fail(QStringLiteral("its MAP unit is none of kPa, psi, bar and inHg"));
    f.mapUnit = *unit;
    return f;
}

bool writeJsonFile(const QString& path, const QJsonObject& object, QString* why) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(object).toJson()) < 0 ||
        !file.commit()) {
        if (why)
            *why = file.errorString();
        return false;
    }
    return true;
}

std::optional<QJsonObject> readJsonFile(const QString& path, qint64 mostBytes, QString* why) {
    auto fail = [why](const QString& text) {
        if (why)
            *why = text;
        return std::nullopt;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    if (file.size() > mostBytes)
        return fail(QStringLiteral("it is larger than %1 MB").arg(mostBytes / (1024 * 1024)));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (!doc.isObject())
        return fail(error.error != QJsonParseError::NoError
                        ? QStringLiteral("it is not JSON (%1 at byte %2)")
                              .arg(error.errorString())
                              .arg(error.offset)
                        : QStringLiteral("it holds no JSON object"));
    return doc.object();
}

bool writeFormulasFile(const QString& path, const Formulas& f, QString* why) {
    return writeJsonFile(path, toJson(f), why);
}

std::optional<Formulas> readFormulasFile(const QString& path, QString* why) {
    const auto object = readJsonFile(path, kMostFileBytes, why);
    return object ? formulasFromJson(*object, why) : std::nullopt;
}

std::vector<Definition> examples(MapUnit mapUnit) {
    std::vector<Definition> out;
    double kpa = 0;
    for (const UnitEntry& e : kUnits) {
        if (e.unit == mapUnit)
            kpa = e.kpa;
    }
    if (kpa > 0) {
        for (const UnitEntry& e : kUnits) {
            if (e.unit == mapUnit)
                continue;
            const double factor = kpa / e.kpa;
            out.push_back({QStringLiteral("map_%1").arg(QString::fromLatin1(e.text).toLower()),
                           QStringLiteral("map * %1").arg(factor, 0, 'g', 7),
                           QString::fromLatin1(e.text), e.unit == MapUnit::Bar ? 3 : 1});
        }
    }
    out.push_back({QStringLiteral("rpm_per_s"), QStringLiteral("rate(rpm)"), QStringLiteral("rpm/s"), 0});
    out.push_back({QStringLiteral("advance_smooth"), QStringLiteral("smooth(advance, 0.5)"),
                   QStringLiteral("\u00b0"), 2});
    return out;
}

}  // namespace ignivex::formula
