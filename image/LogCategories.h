#pragma once

#include <QLoggingCategory>

namespace vantorel {

// Why a picture could not be read, shown or written ("vantorel.image").
Q_DECLARE_LOGGING_CATEGORY(lcImage)
// The program's own files: saves that failed, leftovers cleared at start-up ("vantorel.files").
Q_DECLARE_LOGGING_CATEGORY(lcFiles)

} // namespace vantorel
