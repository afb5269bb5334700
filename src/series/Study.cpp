#include "series/Study.h"

#include <QFileInfo>
#include <QJsonArray>
#include <cmath>

namespace ignivex::chart {

namespace {

const QString kKind = QStringLiteral("Ignivex Log study");
constexpr int kVersion = 1;
constexpr qint64 kMostFileBytes = 16 * 1024 * 1024;
const QStringList kWindows = {QStringLiteral("map_table"), QStringLiteral("xy_plot"),
                              QStringLiteral("histogram")};

bool finite(const QJsonValue& v) {
    return v.isDouble() && std::isfinite(v.toDouble());
}

}  // namespace

QJsonObject toJson(const Study& s, const QDir& folder) {
    QJsonArray overlays;
    for (const Study::Overlay& o : s.overlays)
        overlays.append(QJsonObject{{QStringLiteral("path"), folder.relativeFilePath(o.path)},
                                    {QStringLiteral("shift_s"), o.shift}});
    QJsonObject out{{QStringLiteral("kind"), kKind},
                    {QStringLiteral("version"), kVersion},
                    {QStringLiteral("recording"), folder.relativeFilePath(s.recording)},
                    {QStringLiteral("overlays"), overlays},
                    {QStringLiteral("cursor_s"), s.cursor},
                    {QStringLiteral("view_s"), QJsonArray{s.viewFrom, s.viewTo}},
                    {QStringLiteral("formulas"), formula::toJson(s.formulas)},
                    {QStringLiteral("filter"), s.filter},
                    {QStringLiteral("windows"), QJsonArray::fromStringList(s.windows)},
                    {QStringLiteral("window_choices"), s.windowChoices}};
    if (s.cursorB)
        out.insert(QStringLiteral("cursor_b_s"), *s.cursorB);
    return out;
}

std::optional<Study> studyFromJson(const QJsonObject& o, const QDir& folder, QString* why) {
    auto fail = [why](const QString& text) {
        if (why)
            *why = text;
        return std::nullopt;
    };
    if (o.value(QStringLiteral("kind")).toString() != kKind)
        return fail(QStringLiteral("it is not a study of this program"));
    if (o.value(QStringLiteral("version")).toInt() > kVersion)
        return fail(QStringLiteral("it was written by a later version of the program"));
    Study s;
    const QString recording = o.value(QStringLiteral("recording")).toString();
    if (recording.isEmpty())
        return fail(QStringLiteral("it names no recording"));
    s.recording = QDir::cleanPath(folder.absoluteFilePath(recording));
    const QJsonArray overlays = o.value(QStringLiteral("overlays")).toArray();
    if (overlays.size() > kMostOverlays)
        return fail(QStringLiteral("it names more than %1 overlays").arg(kMostOverlays));
    for (const QJsonValue& v : overlays) {
        const QJsonObject overlay = v.toObject();
        const QString path = overlay.value(QStringLiteral("path")).toString();
        const QJsonValue shift = overlay.value(QStringLiteral("shift_s"));
        if (path.isEmpty() || (!shift.isUndefined() && !finite(shift)))
            return fail(QStringLiteral("an overlay has no path or a shift that is not a number"));
        s.overlays.push_back({QDir::cleanPath(folder.absoluteFilePath(path)), shift.toDouble(0)});
    }
    const QJsonArray view = o.value(QStringLiteral("view_s")).toArray();
    const QJsonValue cursor = o.value(QStringLiteral("cursor_s"));
    const QJsonValue cursorB = o.value(QStringLiteral("cursor_b_s"));
    if (view.size() != 2 || !finite(view[0]) || !finite(view[1]) || !finite(cursor) ||
        (!cursorB.isUndefined() && !finite(cursorB)))
        return fail(QStringLiteral("its view or cursors are not numbers of seconds"));
    s.viewFrom = view[0].toDouble();
    s.viewTo = view[1].toDouble();
    s.cursor = cursor.toDouble();
    if (!cursorB.isUndefined())
        s.cursorB = cursorB.toDouble();
    QString formulasWhy;
    const auto formulas =
        formula::formulasFromJson(o.value(QStringLiteral("formulas")).toObject(), &formulasWhy);
    if (!formulas)
        return fail(QStringLiteral("its formulas: %1").arg(formulasWhy));
    s.formulas = *formulas;
    s.filter = o.value(QStringLiteral("filter")).toString();
    for (const QJsonValue& v : o.value(QStringLiteral("windows")).toArray()) {
        // A window this version does not have is passed over, not refused.
        if (kWindows.contains(v.toString()) && !s.windows.contains(v.toString()))
            s.windows << v.toString();
    }
    const QJsonObject choices = o.value(QStringLiteral("window_choices")).toObject();
    for (auto i = choices.begin(); i != choices.end(); ++i) {
        if (kWindows.contains(i.key()) && i.value().isObject())
            s.windowChoices.insert(i.key(), i.value());
    }
    return s;
}

bool writeStudy(const QString& path, const Study& study, QString* why) {
    return formula::writeJsonFile(path, toJson(study, QFileInfo(path).absoluteDir()), why);
}

std::optional<Study> readStudy(const QString& path, QString* why) {
    const auto object = formula::readJsonFile(path, kMostFileBytes, why);
    return object ? studyFromJson(*object, QFileInfo(path).absoluteDir(), why) : std::nullopt;
}

}  // namespace ignivex::chart
