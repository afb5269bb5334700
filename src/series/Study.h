#pragma once

#include "formula/FormulaStore.h"

#include <QDir>
#include <QJsonObject>
#include <QString>
#include <optional>
#include <vector>

namespace ignivex::chart {

// What is open in a review, kept as a file to open again: the recording and its overlays with
// their shifts (up to three), the cursors, the view, the channels by formula and filters with the one
// applied, and the tool windows open with their choices. Paths are kept relative to the study's folder, so a
// folder of recordings and studies can be moved or sent whole.
struct Study {
    QString recording;  // absolute
    struct Overlay {
        QString path;  // absolute
        double shift = 0;
        bool operator==(const Overlay&) const = default;
    };
    std::vector<Overlay> overlays;
    double cursor = 0;
    std::optional<double> cursorB;
    double viewFrom = 0, viewTo = 0;
    formula::Formulas formulas;
    QString filter;       // the name of the filter applied; empty for none
    QStringList windows;  // the tool windows open: "map_table", "xy_plot", "histogram"
    // What is chosen in each of them, by the window's name (channels by their file column).
    QJsonObject windowChoices;
    bool operator==(const Study&) const = default;
};

inline constexpr int kMostOverlays = 3;

QJsonObject toJson(const Study& study, const QDir& folder);
// Nothing, and what is wrong in `why`, for an object that is not a study.
std::optional<Study> studyFromJson(const QJsonObject& object, const QDir& folder, QString* why);
// Written whole or not at all.
bool writeStudy(const QString& path, const Study& study, QString* why);
std::optional<Study> readStudy(const QString& path, QString* why);

}  // namespace ignivex::chart
