// icon-render: writes the program's icon as PNG files for the install, drawn by the same code
// as the window icon, so the menu and the window show the same face.
//   icon-render OUTPUT_FOLDER NAME SIZE...   writes OUTPUT_FOLDER/SIZExSIZE/apps/NAME.png

#include "app/AppIcon.h"

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: icon-render OUTPUT_FOLDER NAME SIZE...\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLatin1(argv[i]).toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "icon-render: size '%s' is not a number from 8 to 1024\n", argv[i]);
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
