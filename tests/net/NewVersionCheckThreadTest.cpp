#include "NewVersionCheckThread.h"

#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "NetTestSupport.h"
#include "fixtures/FakeWebService.h"
#include "fixtures/LoopbackPort.h"

namespace vantorel {
namespace {

class NewVersionCheckThreadTest : public ::testing::Test {
protected:
    void TearDown() override { TExchangeThread::StopAll(); }

    // The version the check ends with, read in its completion handler.
    std::string Check(const std::string &host)
    {
        TParameters parameters;
        parameters.SetValue("uploadhost", host);
        std::optional<std::string> version;
        TExchangeThread::Start(
            std::make_unique<TNewVersionCheckThread>("1.1.4", FConnection, parameters),
            [&version](TExchangeThread &done) { version = static_cast<TNewVersionCheckThread &>(done).Version(); });
        EXPECT_TRUE(test::ProcessEventsUntil([&version] { return version.has_value(); }));
        return version.value_or("no completion");
    }

    test::TFakeWebService FService;
    THTTPConnection FConnection;
};

TEST_F(NewVersionCheckThreadTest, APlainGetWhoseWholeBodyIsTheVersionAndEveryFailureKeepsOurOwn)
{
    const std::string longest(TNewVersionCheckThread::kMaxVersionBytes, '9');
    struct TCase {
        const char *What;
        std::string Body;
        int HttpStatus;
        std::string Version;
    } cases[] = {
        {"nothing is trimmed", "1.2.0\r\n", 200, "1.2.0\r\n"},
        {"the longest answer taken", longest, 200, longest},
        {"a longer body is ignored", longest + "9", 200, "1.1.4"},
        {"an HTTP error status", "1.2.0", 404, "1.1.4"},
        {"a refused connection", "1.2.0", 0, "1.1.4"},
    };
    for (const TCase &c : cases) {
        test::TScriptedReply reply;
        reply.Body = c.Body;
        reply.Status = c.HttpStatus;
        FService.SetReply("/curversion.php", reply);
        const int port = c.HttpStatus ? FService.Port() : test::DeadLoopbackPort();
        EXPECT_EQ(Check("127.0.0.1:" + std::to_string(port)), c.Version) << c.What;
    }
    const test::TRecordedRequest request = FService.Requests().at(0);
    EXPECT_EQ(request.Method, "GET");
    EXPECT_EQ(request.Path, "/curversion.php");
    EXPECT_EQ(request.Header("Accept"), "text/html, */*");
    EXPECT_EQ(request.Header("Content-Type"), "text/html");
    EXPECT_EQ(request.Header("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(request.Body, "");
}

} // namespace
} // namespace vantorel
