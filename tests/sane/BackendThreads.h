#pragma once

// Included once by each program of the SANE tests that runs our manager (the tests' main and the
// helper preloaded into the built program). In a sanitized build the threads that SANE's backends
// start are left out of the leak check: sane_cancel ends the test backend's reader thread before
// that thread frees its buffer, and by the time of the report SANE has unloaded the backend, so
// that no suppression could name its frames. Such a thread runs the backend's code alone.

#ifdef VANTOREL_SANITIZED

#include <cstring>

#include <dlfcn.h>
#include <pthread.h>
#include <sanitizer/lsan_interface.h>

namespace vantorel::test {

struct TBackendThread {
    void *(*Start)(void *);
    void *Argument;
};

inline void *RunBackendThread(void *data)
{
    const TBackendThread thread = *static_cast<TBackendThread *>(data);
    delete static_cast<TBackendThread *>(data);
    __lsan_disable(); // for this thread only
    return thread.Start(thread.Argument);
}

} // namespace vantorel::test

// Takes the place of pthread_create for the whole process; the sanitizer's own comes next.
extern "C" int pthread_create(pthread_t *thread, const pthread_attr_t *attributes, void *(*start)(void *),
                              void *argument)
{
    using TCreate = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
    static const auto next = reinterpret_cast<TCreate>(::dlsym(RTLD_NEXT, "pthread_create"));
    Dl_info where{};
    if (::dladdr(reinterpret_cast<void *>(start), &where) && where.dli_fname &&
        std::strstr(where.dli_fname, "/sane/libsane-")) {
        auto *job = new vantorel::test::TBackendThread{start, argument};
        const int result = next(thread, attributes, vantorel::test::RunBackendThread, job);
        if (result != 0)
            delete job;
        return result;
    }
    return next(thread, attributes, start, argument);
}

#endif
