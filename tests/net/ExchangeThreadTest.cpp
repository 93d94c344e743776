#include "ExchangeThread.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "HTTPConnection.h"
#include "NetTestSupport.h"
#include "fixtures/FakeWebService.h"
#include "TempWorkFolder.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

using namespace std::chrono_literals;
using test::ProcessEventsUntil;

void HoldUploads(test::TFakeWebService &service)
{
    test::TScriptedReply held;
    held.Hold = true;
    service.SetReply("/upload.php", held);
}

// An exchange whose body the test gives; it notes on which thread each piece ran.
class TProbeExchange : public TExchangeThread {
public:
    using TBody = std::function<void(TProbeExchange &)>;
    TProbeExchange(TBody body, const std::string &programFolder, THTTPConnection *connection = nullptr)
        : TExchangeThread(connection), FBody(std::move(body)), FWork(programFolder)
    {
    }
    ~TProbeExchange() override { ++Deleted; }

    using TExchangeThread::Synchronize;
    std::string WorkFile() const { return FWork.Path() + "logo.png"; }
    std::vector<std::string> Events; // appended on the thread that runs each piece, never at once
    std::thread::id SynchronizedOn;
    static inline std::atomic<int> Deleted{0};

protected:
    void Execute() override { FBody(*this); }

private:
    TBody FBody;
    TTempWorkFolder FWork;
};

class ExchangeThreadTest : public ::testing::Test {
protected:
    void SetUp() override { TProbeExchange::Deleted = 0; }
    void TearDown() override { TExchangeThread::StopAll(); }

    TProbeExchange *Start(TProbeExchange::TBody body, TExchangeThread::TCompletion done,
                          THTTPConnection *connection = nullptr)
    {
        return static_cast<TProbeExchange *>(TExchangeThread::Start(
            std::make_unique<TProbeExchange>(std::move(body), FDir.Path(), connection), std::move(done)));
    }

    test::TTempDir FDir;
};

TEST_F(ExchangeThreadTest, SynchronizeAndTheHandlerRunOnTheUiThreadThenTheObjectGoes)
{
    const std::thread::id ui = std::this_thread::get_id();
    TProbeExchange *owner = nullptr; // the owner's reference, set to null by its handler
    std::vector<std::string> seen;
    owner = Start(
        [](TProbeExchange &self) {
            self.Events.push_back("execute");
            self.Synchronize([&self] {
                self.SynchronizedOn = std::this_thread::get_id();
                self.Events.push_back("synchronized");
            });
            self.Events.push_back("after synchronize");
        },
        [&](TExchangeThread &done) {
            auto &self = static_cast<TProbeExchange &>(done);
            EXPECT_EQ(std::this_thread::get_id(), ui);
            EXPECT_EQ(&self, owner);
            seen = self.Events;
            owner = nullptr;
            EXPECT_EQ(TProbeExchange::Deleted, 0); // not while its handler runs
        });
    ASSERT_NE(owner, nullptr);
    ASSERT_TRUE(ProcessEventsUntil([] { return TExchangeThread::RunningCount() == 0; }));
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"execute", "synchronized", "after synchronize"}));
    EXPECT_EQ(TProbeExchange::Deleted, 1);
}

TEST_F(ExchangeThreadTest, AFailureInSynchronizedWorkReachesTheWorkerAndEscapingFailuresAreCaught)
{
    bool caught = false, handled = false;
    Start(
        [&](TProbeExchange &self) {
            try {
                self.Synchronize([] { throw std::runtime_error("on the UI thread"); });
            } catch (const std::runtime_error &) {
                caught = true;
            }
            throw std::logic_error("escapes Execute");
        },
        [&](TExchangeThread &) { handled = true; });
    ASSERT_TRUE(ProcessEventsUntil([] { return TExchangeThread::RunningCount() == 0; }));
    EXPECT_TRUE(caught);
    EXPECT_TRUE(handled);
}

TEST_F(ExchangeThreadTest, ShutDownJoinsEveryExchangeDeletesItsFilesAndRunsNoHandler)
{
    // One worker waits in Synchronize (the UI thread is busy shutting down), one has finished and
    // its completion is queued, one is still working.
    std::atomic<int> handlers{0};
    std::string waitingFile, finishedFile;
    TProbeExchange *waiting = Start([](TProbeExchange &self) { self.Synchronize([] { ADD_FAILURE(); }); },
                                    [&](TExchangeThread &) { ++handlers; });
    TProbeExchange *finished = Start([](TProbeExchange &) {}, [&](TExchangeThread &) { ++handlers; });
    TProbeExchange *working = Start(
        [&](TProbeExchange &self) {
            while (!self.Stopped())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        [&](TExchangeThread &) { ++handlers; });
    waitingFile = waiting->WorkFile();
    finishedFile = finished->WorkFile();
    test::WriteFile(waitingFile, "rendered logo");
    test::WriteFile(finishedFile, "rendered logo");
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the workers reach their waits
    ASSERT_EQ(TExchangeThread::RunningCount(), 3);

    TExchangeThread::StopAll(); // would hang on the waiting worker, or abort on a joinable thread
    EXPECT_EQ(TExchangeThread::RunningCount(), 0);
    EXPECT_EQ(TProbeExchange::Deleted, 3);
    EXPECT_FALSE(test::Exists(waitingFile));
    EXPECT_FALSE(test::Exists(finishedFile));
    EXPECT_TRUE(std::filesystem::is_empty(FDir / "Temp"));

    // What was queued before the shut-down never runs.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(handlers, 0);
    (void)working;
}

TEST_F(ExchangeThreadTest, AShutDownFromInsideAHandlerLeavesThatExchangeToItsHandler)
{
    // A modal box in a handler runs the event loop, where the session may end.
    bool handled = false;
    Start([](TProbeExchange &self) { self.Events.push_back("done"); },
          [&](TExchangeThread &done) {
              TExchangeThread::StopAll();
              EXPECT_EQ(TProbeExchange::Deleted, 0);
              EXPECT_EQ(static_cast<TProbeExchange &>(done).Events.at(0), "done");
              handled = true;
          });
    ASSERT_TRUE(ProcessEventsUntil([&] { return handled; }));
    EXPECT_EQ(TProbeExchange::Deleted, 1);
}

TEST_F(ExchangeThreadTest, AHandlerMayStartTheNextExchange)
{
    int completions = 0;
    std::function<void(TExchangeThread &)> again = [&](TExchangeThread &) {
        if (++completions < 3)
            Start([](TProbeExchange &) {}, again);
    };
    Start([](TProbeExchange &) {}, again);
    ASSERT_TRUE(ProcessEventsUntil([&] { return completions == 3 && TExchangeThread::RunningCount() == 0; }));
    EXPECT_EQ(TProbeExchange::Deleted, 3);
}

TEST_F(ExchangeThreadTest, StopEndsAHeldRequestAndTheExchangeKnowsItWasStopped)
{
    test::TFakeWebService service;
    HoldUploads(service);
    THTTPConnection connection;
    std::string outcome;
    TProbeExchange *upload = Start(
        [&](TProbeExchange &self) {
            try {
                connection.Post(service.Url("/upload.php"), TMultiPartForm());
                self.Events.push_back("sent");
            } catch (const EHTTPError &) {
                self.Events.push_back(self.Stopped() ? "stopped" : "failed");
            }
        },
        [&](TExchangeThread &done) { outcome = static_cast<TProbeExchange &>(done).Events.at(0); }, &connection);
    ASSERT_TRUE(service.WaitForRequests(1, 5s));
    upload->Stop();
    ASSERT_TRUE(ProcessEventsUntil([] { return TExchangeThread::RunningCount() == 0; }, 1000));
    EXPECT_EQ(outcome, "stopped");
}

TEST_F(ExchangeThreadTest, ShutDownEndsARequestHeldByTheService)
{
    test::TFakeWebService service;
    HoldUploads(service);
    THTTPConnection connection;
    bool handled = false;
    Start([&](TProbeExchange &) { EXPECT_THROW(connection.Get(service.Url("/upload.php")), EHTTPError); },
          [&](TExchangeThread &) { handled = true; }, &connection);
    ASSERT_TRUE(service.WaitForRequests(1, 5s));
    TExchangeThread::StopAll();
    EXPECT_EQ(TExchangeThread::RunningCount(), 0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(handled);
}

} // namespace
} // namespace vantorel
