// The stored port setting on arbitrary bytes, twice: the text as the settings store hands it
// over, checked against the reading of whole numbers that Qt itself does where the two can be
// compared; and the bytes as a whole settings file, read the way the program reads it at
// start-up. Neither may crash, hang, or put an unbounded text in a message.
#include "FuzzBoxes.h"

#include "link/PortSettings.h"
#include "base/AppIdentity.h"
#include "recovery/CommError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <limits>

using namespace ignivex;

namespace {

void checkMessage(const CommError& error) {
    if (error.description().size() > fuzz::HurriedBoxes::kLongestText)
        std::abort();
}

// The settings folder of this run, away from the user's own.
const QString& settingsFile() {
    static QTemporaryDir dir;
    static const QString file = [] {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QDir().mkpath(dir.path() + QLatin1Char('/') + kAppName);
        return port_settings::fileName();
    }();
    return file;
}

void parseText(const QByteArray& bytes) {
    const QString text = QString::fromLatin1(bytes);
    std::optional<std::int16_t> got;
    try {
        got = port_settings::toPortNumber(text);
    } catch (const CommError& error) {
        checkMessage(error);
    }
    // Up to 18 characters a 64-bit reading cannot overflow: it must agree. Qt's reading stops
    // at a NUL and takes "255\0junk" for 255, so texts with a NUL are left out of the match.
    if (text.trimmed().size() > 18 || text.contains(QChar(0)))
        return;
    bool ok = false;
    const qlonglong expected = text.trimmed().toLongLong(&ok, 10);
    const bool fits = ok && expected >= std::numeric_limits<std::int16_t>::min() &&
                      expected <= std::numeric_limits<std::int16_t>::max();
    if (fits != got.has_value() || (got && *got != expected))
        std::abort();
}

void readFile(const QByteArray& bytes) {
    {
        QFile file(settingsFile());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(bytes);
    }
    try {
        (void)port_settings::toPortNumber(port_settings::readStored());
    } catch (const CommError& error) {
        checkMessage(error);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_stored_port";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    parseText(bytes);
    readFile(bytes);
    return 0;
}
