#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantorel::fuzz {

// A folder of the target's own under $TMPDIR (else /tmp), made once per process and ending
// with "/". The script points TMPDIR at a folder it removes afterwards, so a crash leaves no
// clutter behind.
const std::string &WorkFolder();

// Replaces the file with exactly these bytes. A harness that cannot write its own input stops
// with a message, which the fuzzer reports.
void WriteWholeFile(const std::string &path, const std::uint8_t *data, std::size_t size);
std::string ReadWholeFile(const std::string &path);

// Stops the run as a finding: the fuzzer keeps the input that got here.
[[noreturn]] void Fail(const std::string &what);
inline void Expect(bool condition, const char *what)
{
    if (!condition)
        Fail(what);
}

} // namespace vantorel::fuzz
