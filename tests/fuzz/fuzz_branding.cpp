// The branding-file reader on arbitrary bytes: it must neither crash nor loop, keep every line
// it splits off free of line breaks, and the About box built from it must stay a screenful.
#include "FuzzBoxes.h"

#include "branding/About.h"
#include "branding/BrandingFile.h"
#include "recovery/Recovery.h"

#include <QBuffer>
#include <cstdint>
#include <cstdlib>

using namespace ignivex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    fuzz::HurriedBoxes boxes;
    Recovery recovery(boxes);
    QStringList splash, about;
    (void)readBranding(buffer, QStringLiteral("/opt/ignivex/Ignivex_Log.cfg"), recovery, splash,
                       about);

    // Every byte read lands in one line or is a line break: the lines hold no break and no
    // more characters than the file had bytes.
    qsizetype characters = 0;
    for (const QStringList* list : {&splash, &about}) {
        for (const QString& line : *list) {
            if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
                std::abort();
            characters += line.size();
        }
    }
    // Ignore after a failed read goes on with the line read last, which is then stored again:
    // once more for each of the three Ignores the hurried user gives.
    if (characters > 4 * qsizetype(size))
        std::abort();

    const QString text = AboutText(about);
    const qsizetype lines = text.count(QStringLiteral("\r\n"));
    if (lines > kMaxAboutBoxLines + 4 || text.size() > (kMaxAboutBoxLines + 4) * 200)
        std::abort();
    return 0;
}
