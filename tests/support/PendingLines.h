#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace ignivex::test {

// The first whole line of what a simulator has said so far, taken off the front; nothing while
// the line is still arriving.
inline std::optional<QString> takeLine(QByteArray& pending) {
    const int newline = pending.indexOf('\n');
    if (newline < 0)
        return std::nullopt;
    const QByteArray line = pending.left(newline);
    pending.remove(0, newline + 1);
    return QString::fromLocal8Bit(line);
}

}  // namespace ignivex::test
