#include "SaneLog.h"

namespace vantorel {

Q_LOGGING_CATEGORY(lcScanner, "vantorel.scanner")

} // namespace vantorel
