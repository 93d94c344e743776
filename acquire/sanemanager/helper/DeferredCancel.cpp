// Keeps every thread of the helper cancellable only at cancellation points.
//
// SANE's reader threads (sanei_thread, built with POSIX threads) switch themselves to asynchronous
// cancellation, and the driver cancels its reader as soon as the last byte of a frame is read,
// while the reader may still be in free() or in the loader. Cancelled there, it dies holding that
// lock: its own exit, or the driver's next call, then waits for it for ever, and the scan falls
// silent. Deferred, the reader ends at its next write or sleep, or by itself once it is done,
// which is all its driver waits for. The helper exports this definition so that the drivers it
// loads call it in place of the C library's.
#include <dlfcn.h>
#include <pthread.h>

extern "C" int pthread_setcanceltype(int type, int *oldtype)
{
    using TSetCancelType = int (*)(int, int *);
    static const auto library = reinterpret_cast<TSetCancelType>(::dlsym(RTLD_NEXT, "pthread_setcanceltype"));
    return library(type == PTHREAD_CANCEL_ASYNCHRONOUS ? PTHREAD_CANCEL_DEFERRED : type, oldtype);
}
