#include "app/WinConsole.h"

#include <QMetaObject>
#include <QPointer>
#include <cstdio>

#include <windows.h>

namespace ignivex::win_console {

namespace {

QPointer<QObject> target;
std::function<void()> onStop;

BOOL WINAPI onControl(DWORD type) {
    if (!target)
        return FALSE;
    QMetaObject::invokeMethod(
        target.data(), [] { onStop(); }, Qt::QueuedConnection);
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
        // Returning ends the process at once: hold this thread while the recording is closed.
        // The program's own end (or Windows, after its few seconds) stops it.
        Sleep(10000);
    }
    return TRUE;
}

}  // namespace

void watchStopRequests(QObject* context, std::function<void()> stop) {
    target = context;
    onStop = std::move(stop);
    SetConsoleCtrlHandler(onControl, TRUE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (err != INVALID_HANDLE_VALUE && err && GetConsoleMode(err, &mode))
        SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

void useParentConsole() {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err && err != INVALID_HANDLE_VALUE)
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    std::FILE* stream = nullptr;
    freopen_s(&stream, "CONOUT$", "w", stdout);
    freopen_s(&stream, "CONOUT$", "w", stderr);
}

}  // namespace ignivex::win_console
