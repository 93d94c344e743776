#pragma once

#include <stdexcept>
#include <string>

namespace vantorel {

// A failure inside one command; the command's boundary shows its text in an error box.
class EVantorelError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace vantorel
