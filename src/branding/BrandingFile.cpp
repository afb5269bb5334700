#include "branding/BrandingFile.h"

#include "branding/ProgramFiles.h"
#include "recovery/CommError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

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
                             .arg(QDir::toNativeSeparators(path), kWayOut));
    return CommError(kErrInputPastEnd, kSource,
                     QStringLiteral("The branding file %1 ends inside its splash section: the "
                                    "\"!\" line that ends the splash section is missing. Add a "
                                    "line beginning with \"!\" after the splash lines, or remove "
                                    "the file to use the built-in branding. %2")
                         .arg(QDir::toNativeSeparators(path), kWayOut));
}

CommError notOpen(const QString& path) {
    return CommError(kErrBadFileMode, kSource,
                     QStringLiteral("The branding file %1 is not open, so no line can be read "
                                    "from it. %2")
                         .arg(QDir::toNativeSeparators(path), kWayOut));
}

CommError readFailed(const QString& path, const QString& reason) {
    return CommError(kErrPathFileAccess, kSource,
                     QStringLiteral("A line of the branding file %1 could not be read (%2). "
                                    "Click Retry to read it again. %3")
                         .arg(QDir::toNativeSeparators(path), reason, kWayOut));
}

CommError openFailed(const QString& path, const QString& reason) {
    return CommError(kErrPathFileAccess, kSource,
                     QStringLiteral("The branding file %1 could not be opened (%2). Make it "
                                    "readable, or remove it to use the built-in branding, then "
                                    "click Retry. %3")
                         .arg(QDir::toNativeSeparators(path), reason, kWayOut));
}

CommError notAFile(const QString& path) {
    return CommError(kErrPathFileAccess, kSource,
                     QStringLiteral("%1 is not a plain file, so it cannot be read as the "
                                    "branding file. Remove or rename it to use the built-in "
                                    "branding, then click Retry. %2")
                         .arg(QDir::toNativeSeparators(path), kWayOut));
}

// One line at a time from the device, as the text-file service would hand it out: the line
// break (LF or CR LF) is not part of the line, and a read at the end of the file fails.
class LineReader {
public:
    LineReader(QIODevice& in, const QString& path) : in_(in), path_(path) {}

    QString read(Section section) {
        if (!in_.isOpen() || !in_.isReadable())
            throw notOpen(path_);
        if (in_.atEnd())
            throw pastEnd(path_, section);
        QByteArray bytes = in_.readLine();
        if (bytes.isEmpty())  // not at the end, yet nothing came: the device failed
            throw readFailed(path_, in_.errorString());
        if (bytes.endsWith('\n')) {
            bytes.chop(1);
            if (bytes.endsWith('\r'))
                bytes.chop(1);
        } else if (bytes.endsWith('\r') && in_.atEnd()) {
            bytes.chop(1);  // a CR LF cut short at the very end
        }
        // 8-bit text: every byte is one character, NUL and bytes above 127 included.
        return QString::fromLatin1(bytes.constData(), bytes.size());
    }

    bool atEnd() const { return !in_.isOpen() || in_.atEnd(); }

private:
    QIODevice& in_;
    const QString& path_;
};

}  // namespace

QStringList defaultSplashLines() {
    return {QStringLiteral("Velmora Sensors"), QStringLiteral("Arial"), QStringLiteral("28"),
            QStringLiteral("bold italic"), QStringLiteral("Velmora_Sensors_Logo.gif")};
}

QStringList defaultAboutLines() {
    return {QStringLiteral("Velmora Sensors"),
            QStringLiteral("Velmora Sensors LLC"),
            QStringLiteral("1450 Harbor Point Drive, Suite 210"),
            QStringLiteral("Portland, OR 97209"),
            QStringLiteral("Phone (503) 555-0147"),
            QStringLiteral("www.velmora-sensors.example")};
}

QString brandingFilePath(const QString& programFolder) {
    const QStringList places = brandingFileCandidates(programFolder);
    for (const QString& path : places)
        if (QFileInfo::exists(path))
            return path;
    return places.first();
}

bool isBangLine(const QString& line) {
    return line.startsWith(QLatin1Char('!'));
}

bool readBranding(QIODevice& in, const QString& path, Recovery& recovery,
                  QStringList& splashLines, QStringList& aboutLines) {
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

    QFile file(path);
    bool gone = false;
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
        if (!file.open(QIODevice::ReadOnly))
            throw openFailed(path, file.errorString());
    });
    if (!goOn)
        return false;
    if (gone) {
        useDefaults();
        return true;
    }
    return readBranding(file, path, recovery, splashLines, aboutLines);
}

}  // namespace ignivex
