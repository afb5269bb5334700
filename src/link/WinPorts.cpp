#include "link/WinPorts.h"

#include <algorithm>

#include <windows.h>

namespace ignivex::win_ports {

QList<ComPort> present() {
    QList<ComPort> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return ports;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        wchar_t data[256];
        DWORD nameLength = 256;
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataBytes / sizeof(wchar_t)] = L'\0';
        ports.append({QString::fromWCharArray(data).trimmed(),
                      QString::fromWCharArray(name, int(nameLength))});
    }
    RegCloseKey(key);
    auto number = [](const ComPort& p) { return p.name.mid(3).toInt(); };
    std::sort(ports.begin(), ports.end(),
              [&](const ComPort& a, const ComPort& b) { return number(a) < number(b); });
    return ports;
}

}  // namespace ignivex::win_ports
