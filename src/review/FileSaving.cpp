#include "review/FileSaving.h"

#include "base/MessageText.h"
#include "recovery/MessageBoxes.h"

#include <QDir>
#include <QSaveFile>

namespace ignivex::chart::tools {

QString saveFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return {};
}

void sayNotWritten(MessageBoxes& boxes, const QString& what, const QString& path,
                   const QString& why, const QString& title) {
    boxes.show(QStringLiteral("The %1 could not be written to \"%2\": %3. Choose another folder "
                              "or name, or free some space.")
                   .arg(what, readablePath(QDir::toNativeSeparators(path)), readable(why)),
               box::OkOnly + box::Exclamation, title);
}

}  // namespace ignivex::chart::tools
