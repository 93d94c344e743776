#pragma once

#include <QLoggingCategory>

namespace vantorel {

// Why the scanner helper could not serve the source manager ("vantorel.scanner").
Q_DECLARE_LOGGING_CATEGORY(lcScanner)

} // namespace vantorel
