#include "recovery/CommError.h"

namespace ignivex {

CommError::CommError(std::int32_t number, QString source, QString description)
    : number_(number),
      source_(std::move(source)),
      description_(std::move(description)),
      what_(description_.toUtf8()) {}

CommError CommError::raised(const QString& description) {
    return CommError(kCommErrorNumber, QString::fromLatin1(kCommErrorSource), description);
}

}  // namespace ignivex
