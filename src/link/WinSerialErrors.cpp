#include "link/WinSerialErrors.h"

#include "base/MessageText.h"

#include <windows.h>

namespace ignivex::serial {

CommError noSuchComPort(int number, const QString& device, const QStringList& present) {
    const QString ports = present.isEmpty()
                              ? QStringLiteral("This computer has no COM port now.")
                              : QStringLiteral("The COM ports on this computer now: %1.")
                                    .arg(present.join(QStringLiteral(", ")));
    return CommError(
        kErrInvalidPort, QStringLiteral("Serial Port"),
        QStringLiteral("Com%1 (%2) does not exist. %3 Plug in the serial adapter (the Device "
                       "Manager shows, under Ports, the COM number Windows gave it), then click "
                       "Retry, or choose another port under Communications, Port Setup.")
            .arg(QString::number(number), device, ports));
}

QString systemMessage(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message = length > 0 ? QString::fromWCharArray(text, int(length)).trimmed() : QString();
    if (text)
        LocalFree(text);
    if (message.isEmpty())
        message = QStringLiteral("the system gave no text for it");
    return QStringLiteral("%1 (error %2)").arg(readable(message)).arg(code);
}

}  // namespace ignivex::serial
