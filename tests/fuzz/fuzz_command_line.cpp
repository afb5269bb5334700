// The command line on arbitrary arguments (NUL-separated): parsing ends in options, help,
// version or a usage line that says why, a duration is always within its bounds, and the
// link's messages reworded for it never grow without bound.
#include "app/ArgumentChecks.h"
#include "app/CommandLine.h"
#include "app/HeadlessWords.h"

#include <cstdint>
#include <cstdlib>

using namespace ignivex;
using namespace ignivex::command_line;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList arguments;
    for (const QByteArray& a : bytes.split('\0'))
        arguments << QString::fromLocal8Bit(a);
    const Request request = parse(arguments);
    if (const auto* usage = std::get_if<Usage>(&request)) {
        if (usage->error.isEmpty() || usage->error.size() > 400)
            std::abort();
    }
    if (const auto* options = std::get_if<Options>(&request)) {
        if (options->file.isEmpty() || (options->portNumber != 0 && !options->device.isEmpty()))
            std::abort();
        if (options->duration &&
            (*options->duration < kShortestDuration || *options->duration > kLongestDuration))
            std::abort();
    }
    // A stray option is never left to the window.
    if (strayOption(arguments) && !isCommandLine(arguments))
        std::abort();
    if (const auto d = parseDuration(arguments.value(0)))
        if (*d < kShortestDuration || *d > kLongestDuration)
            std::abort();
    const QString text = QString::fromLocal8Bit(bytes);
    if (forCommandLine(text, arguments.value(1)).size() > text.size() + 200)
        std::abort();
    return 0;
}
