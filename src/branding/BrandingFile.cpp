#include "branding/BrandingFile.h"

#include "recovery/CommError.h"
#include "base/MessageText.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QLocale>

#include <optional>

namespace ignivex {
namespace {

const QString kSource = QStringLiteral("Branding");
// Error numbers: a file that exists but cannot be used, and a file that is not open.
constexpr std::int32_t kErrPathFileAccess = 75;
constexpr std::int32_t kErrBadFileMode = 54;

const QString kWayOut = QStringLiteral("Click Abort to go on without the branding.");

// Where in the file a read happens: what is missing when the file ends there differs.
enum class Section { LeadingComments, Splash, About };

CommError pastEnd(const QString& path, Section section) {
    if (section == Section::LeadingComments)
        return CommError(kErrInputPastEnd, kSource,
                         QStringLiteral("The branding file %1 ends before its splash section: "
                                        "every line in it begins with \"!\" (or it is empty). "
                                        "Write the splash lines and a \"!\" line after them, or "
                                        "remove the file to use the built-in branding. %2")
                             .arg(readablePath(path), kWayOut));
    return CommError(kErrInputPastEnd, kSource,
                     QStringLiteral("The branding file %1 ends inside its splash section: the "
                                    "\"!\" line that ends the splash section is missing. Add a "
                                    "line beginning with \"!\" after the splash lines, or remove "
                                    "the file to use the built-in branding. %2")
                         .arg(readablePath(path), kWayOut));
}

CommError notOpen(const QString& path) {
    return CommError(kErrBadFileMode, kSource,
                     QStringLiteral("The branding file %1 is not open, so no line can be read "
                                    "from it. %2")
                         .arg(readablePath(path), kWayOut));
}

CommError readFailed(const QString& path, const QString& reason) {
    return CommError(kErrPathFileAccess, kSource,
                     QStringLiteral("A line of the branding file %1 could not be read (%2). "
                                    "Click Retry to read it again. %3")
                         .arg(readablePath(path), readable(reason), kWayOut));
}

CommError openFailed(const QString& path, const QString& reason) {
    return CommError(kErrPathFileAccess, kSource,
                     QStringLiteral("The branding file %1 could not be opened (%2). Make it "
                                    "readable, or remove it to use the built-in branding, then "
                                    "click Retry. %3")
                         .arg(readablePath(path), readable(reason), kWayOut));
}

CommError notAFile(const QString& path) {
    return CommError(kErrPathFileAccess, kSource,
                     QStringLiteral("%1 is not a plain file, so it cannot be read as the "
                                    "branding file. Remove or rename it to use the built-in "
                                    "branding, then click Retry. %2")
                         .arg(readablePath(path), kWayOut));
}

// One line at a time from the device, as the text-file service would hand it out: the line
// break (CR LF, LF or a lone CR, as editors on every platform write them) is not part of the
// line, and a read at the end of the file fails.
class LineReader {
public:
    LineReader(QIODevice& in, const QString& path) : in_(in), path_(path) {}

    QString read(Section section) {
        if (!in_.isOpen() || !in_.isReadable())
            throw notOpen(path_);
        if (in_.atEnd())
            throw pastEnd(path_, section);
        QByteArray bytes;
        char c = 0;
        for (;;) {
            if (!in_.getChar(&c)) {
                if (in_.atEnd())
                    break;  // the last line has no line break
                // Not at the end, yet nothing came: the device failed.
                throw readFailed(path_, in_.errorString());
            }
            if (c == '\n')
                break;
            if (c == '\r') {
                char next = 0;
                if (in_.peek(&next, 1) == 1 && next == '\n')
                    in_.skip(1);
                break;
            }
            bytes.append(c);
        }
        // 8-bit text: every byte is one character, NUL and bytes above 127 included.
        return QString::fromLatin1(bytes.constData(), bytes.size());
    }

    bool atEnd() const { return !in_.isOpen() || in_.atEnd(); }

private:
    QIODevice& in_;
    const QString& path_;
};

CommError tooLarge(const QString& path, qint64 size) {
    const QString howLarge =
        size > kMaxBrandingFileBytes
            ? QStringLiteral("is %1 bytes long").arg(QLocale::c().toString(size))
            : QStringLiteral("grew past %1 bytes while it was read")
                  .arg(QLocale::c().toString(kMaxBrandingFileBytes));
    return CommError(
        kErrPathFileAccess, kSource,
        QStringLiteral("The branding file %1 %2, but a branding file holds a few "
                       "lines and may be at most %3 bytes (1 MB), so it was not "
                       "read. The built-in branding is used. Shorten the file, or "
                       "remove it to keep the built-in branding.")
            .arg(readablePath(path), howLarge, QLocale::c().toString(kMaxBrandingFileBytes)));
}

}  // namespace

QStringList defaultSplashLines() {
    return {QStringLiteral("Velmora Sensors"), QStringLiteral("Arial"), QStringLiteral("28"),
            QStringLiteral("bold italic"), QString::fromLatin1(kDefaultLogoName)};
}

QStringList defaultAboutLines() {
    return {QStringLiteral("Velmora Sensors"),
            QStringLiteral("Velmora Sensors LLC"),
            QStringLiteral("1450 Harbor Point Drive, Suite 210"),
            QStringLiteral("Portland, OR 97209"),
            QStringLiteral("Phone (503) 555-0147"),
            QStringLiteral("www.velmora-sensors.example")};
}

bool isBangLine(const QString& line) {
    return line.startsWith(QLatin1Char('!'));
}

bool readBranding(QIODevice& in, const QString& path, Recovery& recovery, QStringList& splashLines,
                  QStringList& aboutLines) {
    LineReader reader(in, path);
    // A failed read leaves `line` as it was: Ignore goes on with the line read last.
    QString line;

    // The leading "!" lines are skipped; the first other line opens the splash section, even
    // when it is empty.
    do {
        if (!recovery.step([&] { line = reader.read(Section::LeadingComments); }))
            return false;
    } while (isBangLine(line));
    splashLines.append(line);

    // The splash section ends at the next "!" line, which is dropped.
    for (;;) {
        if (!recovery.step([&] { line = reader.read(Section::Splash); }))
            return false;
        if (isBangLine(line))
            break;
        splashLines.append(line);
    }

    // Everything else is the About section, "!" lines and empty lines included.
    while (!reader.atEnd()) {
        if (!recovery.step([&] { line = reader.read(Section::About); }))
            return false;
        aboutLines.append(line);
    }
    return true;
}

bool LoadBranding(const QString& programFolder, Recovery& recovery, QStringList& splashLines,
                  QStringList& aboutLines) {
    const QString path = brandingFilePath(programFolder);
    auto useDefaults = [&] {
        splashLines.append(defaultSplashLines());
        aboutLines.append(defaultAboutLines());
    };
    if (!QFileInfo::exists(path)) {
        useDefaults();
        return true;
    }

    // The whole file is taken in at once, and never more than the limit of a branding file:
    // a huge file costs neither time nor memory, and the lines are split from memory.
    QByteArray data;
    bool taken = false;
    bool gone = false;
    std::optional<CommError> refused;
    const bool goOn = recovery.step([&] {
        const QFileInfo info(path);
        if (!info.exists()) {
            // Removed while the prompt was open (as the prompt suggests): the defaults apply.
            gone = true;
            return;
        }
        // A folder, a pipe or a device is never opened: a pipe would block the start-up.
        if (!info.isFile())
            throw notAFile(path);
        if (info.size() > kMaxBrandingFileBytes) {
            refused = tooLarge(path, info.size());
            return;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw openFailed(path, file.errorString());
        data = file.read(kMaxBrandingFileBytes + 1);
        if (file.error() != QFileDevice::NoError)
            throw readFailed(path, file.errorString());
        if (data.size() > kMaxBrandingFileBytes) {
            data.clear();
            refused = tooLarge(path, kMaxBrandingFileBytes);
        }
        taken = true;
    });
    if (!goOn)
        return false;
    if (refused) {
        // Nothing to retry or ignore: the file is refused, and the tool goes on as without it.
        recovery.boxes().show(refused->description(), box::OkOnly + box::Exclamation,
                              QStringLiteral("Error"));
        gone = true;
    }
    if (gone) {
        useDefaults();
        return true;
    }
    QBuffer buffer(&data);
    // After Ignore on a file that could not be taken in, the reads meet a file that is not open.
    if (taken)
        buffer.open(QIODevice::ReadOnly);
    return readBranding(buffer, path, recovery, splashLines, aboutLines);
}

}  // namespace ignivex
