#pragma once

#include <QByteArray>
#include <QString>

namespace ignivex {
class MessageBoxes;
}

// A file the user chose, written whole or not at all, and the box when it could not be.
namespace ignivex::chart::tools {

// Writes `bytes` to `path` whole or not at all; an empty text, or why it failed.
QString saveFile(const QString& path, const QByteArray& bytes);
// The box for a file that could not be written: names it and says what to do.
void sayNotWritten(MessageBoxes& boxes, const QString& what, const QString& path,
                   const QString& why, const QString& title);

}  // namespace ignivex::chart::tools
