#pragma once

#include "strips/StripPainter.h"

#include <QSize>
#include <QString>

class QWidget;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::chart {

// Writes the scene as a picture: SVG when the name ends in .svg (where the build has Qt Svg),
// PDF when it ends in .pdf, PNG otherwise, of `size` logical pixels (a PNG at `ratio` pixels
// each). Returns an empty text, or why it failed.
QString savePicture(const ChartScene& scene, const QSize& size, qreal ratio, const QString& path);

// File, Export Picture...: asks where (PNG, SVG where there, or PDF, in the folder used last), writes the picture,
// and says so in a box when it cannot be written.
void exportPicture(QWidget* parent, MessageBoxes& boxes, const ChartScene& scene, const QSize& size,
                   qreal ratio, const QString& suggestedName);

inline const QString kExportTitle = QStringLiteral("Export Picture");

}  // namespace ignivex::chart
