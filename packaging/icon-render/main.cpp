// icon-render: writes the program's icon as PNG files for the install, drawn by the same code
// as the window icon, so the menu and the window show the same face.
//   icon-render OUTPUT_FOLDER NAME SIZE...   writes OUTPUT_FOLDER/SIZExSIZE/apps/NAME.png
//   icon-render --ico FILE SIZE...           writes one Windows icon file holding every size

#include "app/AppIcon.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QtEndian>

#include <cstdio>

namespace {

// An icon file: a directory of entries, each a PNG (which Windows Vista and later read; a
// size of 256 is written as 0).
int writeIco(const QString& file, const QList<int>& sizes) {
    QList<QByteArray> pngs;
    for (const int size : sizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!ignivex::appIconImage(size).save(&buffer, "PNG"))
            return 1;
        pngs << png;
    }
    QByteArray out;
    auto put16 = [&out](quint16 v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto put32 = [&](quint32 v) {
        put16(quint16(v & 0xFFFF));
        put16(quint16(v >> 16));
    };
    put16(0);
    put16(1);  // an icon, not a cursor
    put16(quint16(sizes.size()));
    quint32 offset = 6 + 16 * quint32(sizes.size());
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const int side = sizes[i] >= 256 ? 0 : sizes[i];
        out.append(char(side)).append(char(side)).append(char(0)).append(char(0));
        put16(1);   // planes
        put16(32);  // bits per pixel
        put32(quint32(pngs[i].size()));
        put32(offset);
        offset += quint32(pngs[i].size());
    }
    for (const QByteArray& png : pngs)
        out += png;
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(out) == out.size() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && QByteArray(argv[1]) == "--ico") {
        QList<int> sizes;
        for (int i = 3; i < argc; ++i) {
            const int size = QString::fromLatin1(argv[i]).toInt();
            if (size < 8 || size > 256) {
                std::fprintf(stderr, "icon-render: icon size '%s' is not a number from 8 to 256\n",
                             argv[i]);
                return 2;
            }
            sizes << size;
        }
        if (writeIco(QString::fromLocal8Bit(argv[2]), sizes) != 0) {
            std::fprintf(stderr, "icon-render: cannot write %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: icon-render OUTPUT_FOLDER NAME SIZE... | --ico FILE SIZE...\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLatin1(argv[i]).toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "icon-render: size '%s' is not a number from 8 to 1024\n",
                         argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !ignivex::appIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "icon-render: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
