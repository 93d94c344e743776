#include "LogCategories.h"

namespace vantorel {

Q_LOGGING_CATEGORY(lcImage, "vantorel.image")
Q_LOGGING_CATEGORY(lcFiles, "vantorel.files")

} // namespace vantorel
