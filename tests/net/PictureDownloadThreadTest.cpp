#include "PictureDownloadThread.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "NetTestSupport.h"
#include "TestSupport.h"
#include "fixtures/FakeWebService.h"

namespace vantorel {
namespace {

class PictureDownloadThreadTest : public ::testing::Test {
protected:
    void TearDown() override { TExchangeThread::StopAll(); }
    test::TTempDir FDir;
    test::TFakeWebService FService;
    THTTPConnection FConnection;
};

TEST_F(PictureDownloadThreadTest, EachEndHasItsStatusAndText)
{
    struct TCase {
        const char *Description;
        int HttpStatus;
        bool FileBlocked; // the target's folder is a plain file
        bool StopFirst;   // the user cancelled before it ran
        TDownloadStatus Status;
        std::string Message;
    };
    const std::vector<TCase> cases = {
        {"written", 200, false, false, dsDone, ""},
        {"an error status", 404, false, false, dsFailed, kPictureDownloadFailed},
        {"a file that cannot be made", 200, true, false, dsFailed, kPictureWriteFailed},
        {"a failure after the user's cancel is the cancel", 200, true, true, dsStopped, ""},
    };
    test::WriteFile(FDir / "blocked", "a file, not a folder");
    for (const TCase &c : cases) {
        test::TScriptedReply reply;
        reply.Status = c.HttpStatus;
        reply.Body = "picture bytes";
        FService.SetReply("/p.png", reply);
        const std::string file = FDir / (c.FileBlocked ? "blocked/p.png" : "p.png");
        FConnection.Reconnect();
        auto thread = std::make_unique<TPictureDownloadThread>(FService.Url("/p.png"), file, FConnection);
        if (c.StopFirst)
            thread->Stop();
        std::optional<std::pair<TDownloadStatus, std::string>> end;
        TExchangeThread::Start(std::move(thread), [&end](TExchangeThread &done) {
            auto &download = static_cast<TPictureDownloadThread &>(done);
            end.emplace(download.Status(), download.Message());
        });
        ASSERT_TRUE(test::ProcessEventsUntil([&end] { return end.has_value(); })) << c.Description;
        EXPECT_EQ(end->first, c.Status) << c.Description;
        EXPECT_EQ(end->second, c.Message) << c.Description;
        if (c.Status == dsDone) {
            EXPECT_EQ(test::ReadFile(file), "picture bytes");
        }
    }
}

} // namespace
} // namespace vantorel
