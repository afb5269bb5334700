#include "strips/PictureExport.h"

#include "strips/ChartSettings.h"
#include "recovery/MessageBoxes.h"
#include "base/MessageText.h"

#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#ifdef IGNIVEX_HAVE_SVG
#include <QSvgGenerator>
#endif

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ignivex::chart {

namespace {
const QString kPngFilter = QStringLiteral("PNG image (*.png)");
const QString kSvgFilter = QStringLiteral("SVG drawing (*.svg)");

#ifndef _WIN32
QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Written beside the target and renamed over it, so a failed export leaves an older picture of
// that name whole. Every failure is told in the system's own words (the disk is full, the name
// is too long): Qt's file classes lose the reason of a failed flush and say "Unknown error".
QString writeWhole(const QString& path, const QByteArray& bytes) {
    const QByteArray native = QFile::encodeName(path);
    QByteArray temp = native + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return systemText(errno);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    int error = 0;
    for (qsizetype done = 0; done < bytes.size() && error == 0;) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            done += n;
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.constData(), native.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.constData());
        return systemText(error);
    }
    return {};
}
#else
QString writeWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return {};
}
#endif
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
        return QStringLiteral(
            "this build of the program writes no SVG drawings; choose PNG or PDF");
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
    return writeWhole(path, bytes.data());
}

void exportPicture(QWidget* parent, MessageBoxes& boxes, const ChartScene& scene, const QSize& size,
                   qreal ratio, const QString& suggestedName) {
    QString filter = kPngFilter;
    const QString start =
        QDir(settings::pictureFolder()).filePath(suggestedName + QStringLiteral(".png"));
    QString path = QFileDialog::getSaveFileName(parent, kExportTitle, start,
                                                filters().join(QStringLiteral(";;")), &filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += filter == kSvgFilter   ? QStringLiteral(".svg")
                : filter == kPdfFilter ? QStringLiteral(".pdf")
                                       : QStringLiteral(".png");
    settings::setPictureFolder(QFileInfo(path).absolutePath());
    // The size of the picture: as shown, or one that prints or projects well.
    const QList<QSize> sizes = {size, {1200, 800}, {1920, 1080}, {2400, 1600}};
    QStringList choices;
    for (const QSize& s : sizes)
        choices << QStringLiteral("%1 x %2%3")
                       .arg(s.width())
                       .arg(s.height())
                       .arg(&s == &sizes.front() ? QStringLiteral(" (as shown)") : QString());
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
        parent, kExportTitle, QStringLiteral("Size of the picture:"), choices, 0, false, &ok);
    if (!ok)
        return;
    const QSize picture = sizes.value(int(choices.indexOf(chosen)), size);
    const QString why = savePicture(scene, picture, ratio, path);
    if (!why.isEmpty())
        boxes.show(QStringLiteral("The picture could not be written to \"%1\": %2. Choose another "
                                  "folder or name, or free some space.")
                       .arg(readablePath(QDir::toNativeSeparators(path)), readable(why)),
                   box::OkOnly + box::Exclamation, kExportTitle);
}

}  // namespace ignivex::chart
