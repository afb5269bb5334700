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
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#ifdef IGNIVEX_HAVE_SVG
#include <QSvgGenerator>
#endif

namespace ignivex::chart {

namespace {
const QString kPngFilter = QStringLiteral("PNG image (*.png)");
const QString kSvgFilter = QStringLiteral("SVG drawing (*.svg)");
const QString kPdfFilter = QStringLiteral("PDF document (*.pdf)");

bool hasSuffix(const QString& path, const char* suffix) {
    return QFileInfo(path).suffix().compare(QLatin1String(suffix), Qt::CaseInsensitive) == 0;
}

// The formats offered, PNG first: SVG where the build has Qt Svg, PDF (Qt's own writer) always.
QStringList filters() {
    QStringList list{kPngFilter};
#ifdef IGNIVEX_HAVE_SVG
    list << kSvgFilter;
#endif
    list << kPdfFilter;
    return list;
}
}  // namespace

QString savePicture(const ChartScene& scene, const QSize& size, qreal ratio, const QString& path) {
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    const QRectF area(QPointF(0, 0), QSizeF(size));
    if (hasSuffix(path, "pdf")) {
        // One page the size of the chart, at 96 dots per inch: the lines stay vectors.
        QPdfWriter pdf(&bytes);
        pdf.setResolution(96);
        pdf.setPageSize(QPageSize(QSizeF(size) * 72.0 / 96.0, QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(QFileInfo(path).completeBaseName());
        QPainter p(&pdf);
        paintChart(p, area, scene);
#ifdef IGNIVEX_HAVE_SVG
    } else if (hasSuffix(path, "svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&bytes);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QFileInfo(path).completeBaseName());
        QPainter p(&svg);
        paintChart(p, area, scene);
#else
    } else if (hasSuffix(path, "svg")) {
        return QStringLiteral("this build of the program writes no SVG drawings; choose PNG or PDF");
#endif
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
                                                filters().join(QStringLiteral(";;")), &filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += filter == kSvgFilter   ? QStringLiteral(".svg")
                : filter == kPdfFilter ? QStringLiteral(".pdf")
                                       : QStringLiteral(".png");
    settings::setPictureFolder(QFileInfo(path).absolutePath());
    const QString why = savePicture(scene, size, ratio, path);
    if (!why.isEmpty())
        boxes.show(QStringLiteral("The picture could not be written to \"%1\": %2. Choose another "
                                  "folder or name, or free some space.")
                       .arg(readablePath(QDir::toNativeSeparators(path)), readable(why)),
                   box::OkOnly + box::Exclamation, kExportTitle);
}

}  // namespace ignivex::chart
