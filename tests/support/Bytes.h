#pragma once

#include <QByteArray>
#include <initializer_list>

namespace ignivex::test {

// Bytes written as numbers, the way the module's commands and replies are read: {0x1C, 0x80}.
inline QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

}  // namespace ignivex::test
