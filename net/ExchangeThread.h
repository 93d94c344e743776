#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace vantorel {

class THTTPConnection;

// The base of the four web exchanges. An exchange takes every input in its constructor, works on
// a std::thread, writes its results into its own fields and never touches a widget. Its
// completion handler and its Synchronize calls run on the UI thread (the thread that called
// Start, which runs the Qt event loop). After the handler has returned and the worker has
// ended, the exchange object is deleted; the owner keeps only a plain pointer, set to null by
// its handler.
class TExchangeThread {
public:
    using TCompletion = std::function<void(TExchangeThread &)>;

    virtual ~TExchangeThread();
    TExchangeThread(const TExchangeThread &) = delete;
    TExchangeThread &operator=(const TExchangeThread &) = delete;

    // Takes ownership of the exchange, attaches its completion handler, then lets it run.
    static TExchangeThread *Start(std::unique_ptr<TExchangeThread> exchange, TCompletion onTerminate);

    // Asks for a stop (UI thread): Stopped becomes true, then the connection is disconnected so
    // that a pending request fails at once.
    void Stop();
    bool Stopped() const { return FStopped.load(); }

    // Shut-down (UI thread): stops and joins every running exchange and deletes it with its
    // work folder; no completion handler runs any more.
    static void StopAll();
    // How many exchanges have been started and not yet deleted.
    static int RunningCount();

protected:
    // connection: the one the exchange's requests go through, disconnected by Stop; may be null.
    explicit TExchangeThread(THTTPConnection *connection);

    // The thread body; catches its own failures.
    virtual void Execute() = 0;

    // Runs fn on the UI thread while the worker waits. At shut-down fn is skipped and the call
    // returns at once.
    void Synchronize(const std::function<void()> &fn);

private:
    struct TSyncState;
    struct TRegistry;
    void Run();

    THTTPConnection *FConnection;
    TCompletion FOnTerminate;
    std::atomic<bool> FStopped{false};
    std::thread FThread;
    std::shared_ptr<TSyncState> FSync; // cancelled at shut-down
    std::uint64_t FId = 0;
};

} // namespace vantorel
