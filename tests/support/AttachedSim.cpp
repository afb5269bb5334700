#include "support/AttachedSim.h"
#include "support/PendingLines.h"

#include <QElapsedTimer>
#include <QtGlobal>

#include <windows.h>

namespace ignivex::test {

namespace {

HANDLE openPath(const QString& path, DWORD access) {
    if (path.isEmpty())
        return INVALID_HANDLE_VALUE;
    return CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

QStringList AttachedSim::controlLines(const QStringList& options) {
    QStringList lines;
    for (qsizetype i = 0; i < options.size(); ++i) {
        const QString& option = options[i];
        if (!option.startsWith(QLatin1String("--")) || option.size() == 2)
            return {};
        const bool hasValue =
            i + 1 < options.size() && !options[i + 1].startsWith(QLatin1String("--"));
        lines << QStringLiteral("set %1 %2")
                     .arg(option.mid(2), hasValue ? options[++i] : QStringLiteral("on"));
    }
    return lines;
}

AttachedSim::AttachedSim(const QStringList& options) {
    bool portOk = false;
    const int port = qEnvironmentVariableIntValue("IGNIVEX_SIM_PORT", &portOk);
    if (portOk)
        portNumber_ = port;
    const HANDLE control = openPath(qEnvironmentVariable("IGNIVEX_SIM_CONTROL"), GENERIC_WRITE);
    const HANDLE replies = openPath(qEnvironmentVariable("IGNIVEX_SIM_REPLIES"), GENERIC_READ);
    control_ = control == INVALID_HANDLE_VALUE ? nullptr : control;
    replies_ = replies == INVALID_HANDLE_VALUE ? nullptr : replies;
    if (!control_ || !replies_ || portNumber_ < 1 || portNumber_ > 255)
        return;
    device_ = readLine(10000);
    if (device_.isEmpty())
        return;
    const QStringList lines = controlLines(options);
    if (lines.isEmpty() != options.isEmpty())
        return;
    ok_ = true;
    for (const QString& line : lines)
        ok_ = ok_ && command(line).startsWith(QLatin1String("ok"));
}

AttachedSim::~AttachedSim() {
    if (control_)
        CloseHandle(control_);
    if (replies_)
        CloseHandle(replies_);
}

// The replies file grows as the simulator answers: a read at its end returns nothing, and a
// later one the new line. Looked at every millisecond; no reply is inside a timing.
QString AttachedSim::readLine(int ms) {
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (auto line = takeLine(pending_))
            return *line;
        char buffer[1024];
        DWORD got = 0;
        if (!ReadFile(replies_, buffer, sizeof buffer, &got, nullptr))
            return {};
        if (got > 0) {
            pending_.append(buffer, int(got));
            continue;
        }
        if (waited.elapsed() >= ms)
            return {};
        Sleep(1);
    }
}

QString AttachedSim::command(const QString& line, int ms) {
    if (!control_)
        return {};
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    DWORD written = 0;
    if (!WriteFile(control_, bytes.constData(), DWORD(bytes.size()), &written, nullptr) ||
        written != DWORD(bytes.size()))
        return {};
    return readLine(ms);
}

}  // namespace ignivex::test
