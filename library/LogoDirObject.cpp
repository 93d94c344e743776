#include "LogoDirObject.h"

#include <utility>

namespace vantorel {

TLogoDirObject::TLogoDirObject(TLogoNodeKind kind, std::string name) : Kind(kind), Name(std::move(name)) {}

} // namespace vantorel
