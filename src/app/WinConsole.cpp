#include "app/WinConsole.h"

#include <QMetaObject>
#include <QPointer>
#include <cstdio>
#include <thread>

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

void watchInputLines(QObject* context, std::function<void(const QString&)> line) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (!in || in == INVALID_HANDLE_VALUE)
        in = CreateFileW(L"CONIN$", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    if (!in || in == INVALID_HANDLE_VALUE)
        return;
    QPointer<QObject> to(context);
    std::thread([in, to, line = std::move(line)] {
        QByteArray pending;
        char chunk[4096];
        DWORD got = 0;
        while (ReadFile(in, chunk, sizeof chunk, &got, nullptr) && got > 0) {
            pending.append(chunk, int(got));
            qsizetype end;
            while ((end = pending.indexOf('\n')) >= 0) {
                const QString text = QString::fromLocal8Bit(pending.left(end)).trimmed();
                pending.remove(0, end + 1);
                QMetaObject::invokeMethod(
                    to.data(),
                    [to, line, text] {
                        if (to)
                            line(text);
                    },
                    Qt::QueuedConnection);
            }
            // A line without its end is not held without bound.
            if (pending.size() > 4096)
                pending.clear();
        }
    }).detach();
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
