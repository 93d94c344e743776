#pragma once

namespace vantorel {

// Sets a re-entrancy flag of the main window and clears it on every way out of the routine.
class TFlagGuard {
public:
    explicit TFlagGuard(bool &flag) : FFlag(flag) { FFlag = true; }
    ~TFlagGuard() { FFlag = false; }
    TFlagGuard(const TFlagGuard &) = delete;
    TFlagGuard &operator=(const TFlagGuard &) = delete;

private:
    bool &FFlag;
};

} // namespace vantorel
