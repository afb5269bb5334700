#include "chart/PictureExport.h"

#include "chart/ChartSettings.h"
#include "recovery/MessageBoxes.h"
#include "base/Readable.h"

#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace ignivex::chart {

namespace {
const QString kPngFilter = QStringLiteral("PNG image (*.png)");
const QString kSvgFilter = QStringLiteral("SVG drawing (*.svg)");
}  // namespace

QString savePicture(const ChartScene& scene, const QSize& size, qreal ratio, const QString& path) {
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    const QRectF area(QPointF(0, 0), QSizeF(size));
    if (QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0) {
        QSvgGenerator svg;
        svg.setOutputDevice(&bytes);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QFileInfo(path).completeBaseName());
        QPainter p(&svg);
        paintChart(p, area, scene);
    } else {
        QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        {
            QPainter p(&image);
            paintChart(p, area, scene);
        }
        if (!image.save(&bytes, "PNG"))
            return QStringLiteral("the picture could not be made");
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data()) != bytes.size() || !file.commit())
        return file.errorString();
    return {};
}

void exportPicture(QWidget* parent, MessageBoxes& boxes, const ChartScene& scene,
                   const QSize& size, qreal ratio, const QString& suggestedName) {
    QString filter = kPngFilter;
    const QString start = QDir(settings::pictureFolder()).filePath(suggestedName + QStringLiteral(".png"));
    QString path = QFileDialog::getSaveFileName(parent, kExportTitle, start,
                                                kPngFilter + QStringLiteral(";;") + kSvgFilter, &filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += filter == kSvgFilter ? QStringLiteral(".svg") : QStringLiteral(".png");
    settings::setPictureFolder(QFileInfo(path).absolutePath());
    const QString why = savePicture(scene, size, ratio, path);
    if (!why.isEmpty())
        boxes.show(QStringLiteral("The picture could not be written to \"%1\": %2. Choose another "
                                  "folder or name, or free some space.")
                       .arg(readablePath(QDir::toNativeSeparators(path)), readable(why)),
                   box::OkOnly + box::Exclamation, kExportTitle);
}

}  // namespace ignivex::chart
