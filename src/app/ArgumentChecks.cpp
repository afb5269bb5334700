#include "app/ArgumentChecks.h"

#include <QLocale>
#include <cmath>

namespace ignivex::command_line {

namespace {
// The toolkit's command-line options (one dash or two), with whether each takes a value.
struct WindowOption {
    const char* name;
    bool value;
};
constexpr WindowOption kWindowOptions[] = {
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qmljsdebugger", true},
    {"style", true},
    {"stylesheet", true},
    {"session", true},
    {"display", true},
    {"geometry", true},
    {"qwindowgeometry", true},
    {"qwindowtitle", true},
    {"qwindowicon", true},
    {"title", true},
    {"name", true},
    {"reverse", false},
    {"widgetcount", false},
    {"nograb", false},
    {"dograb", false},
    {"sync", false},
    {"testability", false},
};
}  // namespace

std::optional<std::chrono::milliseconds> parseDuration(const QString& text) {
    bool number = false;
    const double seconds = QLocale::c().toDouble(text.trimmed(), &number);
    // Compared as a double first: the count of milliseconds is made only from a value known
    // to fit, so nothing wraps (a 32-bit count of milliseconds ends after 24.8 days).
    if (!number || !(seconds >= double(kShortestDuration.count())) ||
        !(seconds <= double(kLongestDuration.count())))
        return std::nullopt;
    return std::chrono::milliseconds(std::llround(seconds * 1000.0));
}

bool isWindowOption(const QString& argument, bool* takesValue) {
    QString name = argument;
    if (name.startsWith(QLatin1String("--")))
        name.remove(0, 2);
    else if (name.startsWith(QLatin1Char('-')))
        name.remove(0, 1);
    else
        return false;
    const bool inlineValue = name.contains(QLatin1Char('='));
    name = name.section(QLatin1Char('='), 0, 0);
    for (const WindowOption& o : kWindowOptions) {
        if (name == QLatin1String(o.name)) {
            if (takesValue)
                *takesValue = o.value && !inlineValue;
            return true;
        }
    }
    return false;
}

std::optional<QString> strayOption(const QStringList& arguments) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        bool takesValue = false;
        if (isWindowOption(a, &takesValue)) {
            if (takesValue)
                ++i;
            continue;
        }
        if (a.startsWith(QLatin1Char('-')) && a != kDashboardOption)
            return a;
    }
    return std::nullopt;
}

}  // namespace ignivex::command_line
