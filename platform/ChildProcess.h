#pragma once

#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

namespace vantorel {

// A process descriptor of the child pid, readable once it has ended; -1 when the kernel has none.
// Debian 12's <sys/pidfd.h> declares pidfd_open without C linkage. Inline, so that the scanner
// manager, which links no platform library, can use it too.
inline int PidFdOpen(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

// Leaves the started child pid running: a detached thread waits for its end, so that it leaves no
// zombie behind.
void ReapInBackground(pid_t pid);

} // namespace vantorel
