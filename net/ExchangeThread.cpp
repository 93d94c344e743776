#include "ExchangeThread.h"

#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <utility>

#include "HTTPConnection.h"
#include "UiDispatcher.h"

namespace vantorel {

// Shared between a worker and the work it has posted: shut-down cancels it, so that posted work
// that has not run yet never runs and a worker waiting in Synchronize goes on.
struct TExchangeThread::TSyncState {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Cancelled = false;

    bool IsCancelled()
    {
        const std::lock_guard lock(Mutex);
        return Cancelled;
    }
};

// The exchanges started and not yet deleted; used on the UI thread only.
struct TExchangeThread::TRegistry {
    using TRunning = std::map<std::uint64_t, std::unique_ptr<TExchangeThread>>;
    TRunning Running;
    std::uint64_t NextId = 1;

    // Qt's X11 plug-in calls exit() when the display goes away (a log-out), which destroys the
    // registry with no orderly shut-down before: an exchange waiting on a silent server would
    // keep the program from ever ending.
    ~TRegistry() { StopAndDelete(std::move(Running)); }

    static TRegistry &Instance()
    {
        static TRegistry registry;
        return registry;
    }

    // Every exchange is stopped before any is waited for, so that the waits are short.
    static void StopAndDelete(TRunning running);
};

TExchangeThread::TExchangeThread(THTTPConnection *connection)
    : FConnection(connection), FSync(std::make_shared<TSyncState>())
{
}

TExchangeThread::~TExchangeThread()
{
    if (FThread.joinable())
        FThread.join();
}

TExchangeThread *TExchangeThread::Start(std::unique_ptr<TExchangeThread> exchange, TCompletion onTerminate)
{
    TRegistry &registry = TRegistry::Instance();
    TExchangeThread *self = exchange.get();
    self->FId = registry.NextId++;
    self->FOnTerminate = std::move(onTerminate);
    registry.Running.emplace(self->FId, std::move(exchange));
    try {
        self->FThread = std::thread([self] { self->Run(); });
    } catch (...) {
        registry.Running.erase(self->FId);
        throw;
    }
    return self;
}

void TExchangeThread::Run()
{
    try {
        Execute();
    } catch (...) {
        // Execute reports its own failures in its fields; nothing may leave the thread.
    }
    const std::uint64_t id = FId;
    const std::shared_ptr<TSyncState> sync = FSync;
    // The worker's last act: from here on only the UI thread touches the object.
    PostToUiThread([id, sync] {
        if (sync->IsCancelled())
            return;
        TRegistry &registry = TRegistry::Instance();
        const auto found = registry.Running.find(id);
        if (found == registry.Running.end())
            return;
        // The handler owns the exchange now: a shut-down inside the handler (a modal box runs
        // the event loop) cannot delete it under the handler's feet.
        std::unique_ptr<TExchangeThread> exchange = std::move(found->second);
        registry.Running.erase(found);
        struct TJoin {
            std::thread &Thread;
            ~TJoin() { Thread.join(); } // the worker's last act was the post: this is immediate
        } join{exchange->FThread};
        if (exchange->FOnTerminate)
            exchange->FOnTerminate(*exchange);
    });
}

void TExchangeThread::Stop()
{
    FStopped.store(true);
    if (FConnection)
        FConnection->Disconnect();
}

void TExchangeThread::Synchronize(const std::function<void()> &fn)
{
    struct TCall {
        std::function<void()> Work;
        bool Done = false;
        std::exception_ptr Failure;
    };
    const std::shared_ptr<TSyncState> sync = FSync;
    const auto call = std::make_shared<TCall>();
    call->Work = fn;
    if (sync->IsCancelled())
        return;
    PostToUiThread([sync, call] {
        // Cancelling happens on this thread too, so it cannot begin while the work runs.
        if (sync->IsCancelled())
            return;
        try {
            call->Work();
        } catch (...) {
            call->Failure = std::current_exception();
        }
        {
            const std::lock_guard lock(sync->Mutex);
            call->Done = true;
        }
        sync->Changed.notify_all();
    });
    std::unique_lock lock(sync->Mutex);
    sync->Changed.wait(lock, [&] { return call->Done || sync->Cancelled; });
    if (call->Done && call->Failure)
        std::rethrow_exception(call->Failure);
}

void TExchangeThread::StopAll() { TRegistry::StopAndDelete(std::exchange(TRegistry::Instance().Running, {})); }

void TExchangeThread::TRegistry::StopAndDelete(TRunning running)
{
    for (auto &[id, exchange] : running) {
        exchange->Stop();
        {
            const std::lock_guard lock(exchange->FSync->Mutex);
            exchange->FSync->Cancelled = true;
        }
        exchange->FSync->Changed.notify_all();
    }
    for (auto &[id, exchange] : running)
        if (exchange->FThread.joinable())
            exchange->FThread.join();
    running.clear(); // each exchange's own files go with it
}

int TExchangeThread::RunningCount() { return static_cast<int>(TRegistry::Instance().Running.size()); }

} // namespace vantorel
