#include "PictureDownloadThread.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "NetTestSupport.h"
#include "TestSupport.h"
#include "fixtures/FakeWebService.h"

namespace vantorel {
namespace {

TEST(PictureDownloadThreadTest, EachEndHasItsStatusAndText)
{
    struct TCase {
        const char *Description;
        int HttpStatus;
        bool FileBlocked; // the target's folder is a plain file
        bool StopFirst;   // the user cancelled before it ran
        TDownloadStatus Status;
        std::string Message;
        std::size_t BodySize = 13; // of the made-up picture
        bool Chunked = false;      // its length not announced
    };
    constexpr std::size_t kBound = 64 * 1024;
    const std::vector<TCase> cases = {
        {"written", 200, false, false, dsDone, ""},
        {"an error status", 404, false, false, dsFailed, kPictureDownloadFailed},
        {"a file that cannot be made", 200, true, false, dsFailed, kPictureWriteFailed},
        {"a failure after the user's cancel is the cancel", 200, true, true, dsStopped, ""},
        {"a body of the largest size", 200, false, false, dsDone, "", kBound},
        {"an announced length past the largest", 200, false, false, dsFailed, kPictureDownloadFailed, kBound + 1},
        {"a body running on and on", 200, false, false, dsFailed, kPictureDownloadFailed, 64 * kBound, true},
    };
    test::TTempDir dir;
    test::TFakeWebService service;
    THTTPConnection connection;
    test::WriteFile(dir / "blocked", "a file, not a folder");
    for (const TCase &c : cases) {
        test::TScriptedReply reply;
        reply.Status = c.HttpStatus;
        reply.GeneratedSize = c.BodySize;
        reply.Chunked = c.Chunked;
        service.SetReply("/p.png", reply);
        const std::string file = dir / (c.FileBlocked ? "blocked/p.png" : "p.png");
        connection.Reconnect();
        auto thread = std::make_unique<TPictureDownloadThread>(service.Url("/p.png"), file, connection,
                                                               THTTPConnection::TProgress{}, kBound);
        if (c.StopFirst)
            thread->Stop();
        std::optional<std::pair<TDownloadStatus, std::string>> end;
        TExchangeThread::Start(std::move(thread), [&end](TExchangeThread &done) {
            auto &download = static_cast<TPictureDownloadThread &>(done);
            end.emplace(download.Status(), download.Message());
        });
        ASSERT_TRUE(test::ProcessEventsUntil([&end] { return end.has_value(); })) << c.Description;
        EXPECT_EQ(end, std::make_pair(c.Status, c.Message)) << c.Description;
        if (c.Status == dsDone)
            EXPECT_EQ(test::ReadFile(file), test::TFakeWebService::GeneratedBody(c.BodySize)) << c.Description;
        else
            EXPECT_FALSE(test::Exists(file)) << c.Description; // nothing half-written stays
    }
}

} // namespace
} // namespace vantorel
