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

using test::TFakeWebService;

class NewVersionCheckThreadTest : public ::testing::Test {
protected:
    NewVersionCheckThreadTest() { FParameters.SetValue("uploadhost", FService.HostPort()); }
    void TearDown() override { TExchangeThread::StopAll(); }

    // The version the check ends with, read in its completion handler.
    std::string Check()
    {
        std::optional<std::string> version;
        TExchangeThread::Start(
            std::make_unique<TNewVersionCheckThread>("1.1.4", FConnection, FParameters),
            [&version](TExchangeThread &done) { version = static_cast<TNewVersionCheckThread &>(done).Version(); });
        EXPECT_TRUE(test::ProcessEventsUntil([&version] { return version.has_value(); }));
        return version.value_or("no completion");
    }

    TFakeWebService FService;
    TParameters FParameters;
    THTTPConnection FConnection;
};

TEST_F(NewVersionCheckThreadTest, TheRequestIsAPlainGetOfTheVersionScript)
{
    Check();
    ASSERT_EQ(FService.RequestCount(), 1u);
    const test::TRecordedRequest request = FService.Requests()[0];
    EXPECT_EQ(request.Method, "GET");
    EXPECT_EQ(request.Path, "/curversion.php");
    EXPECT_EQ(request.Header("Accept"), "text/html, */*");
    EXPECT_EQ(request.Header("Content-Type"), "text/html");
    EXPECT_EQ(request.Header("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(request.Body, "");
}

TEST_F(NewVersionCheckThreadTest, TheWholeBodyIsTheVersionAndEveryFailureKeepsOurOwn)
{
    const std::string longest(TNewVersionCheckThread::kMaxVersionBytes, '9');
    struct TCase {
        const char *What;
        std::string Body;
        int HttpStatus;
        std::string Version;
    } cases[] = {
        {"the same version", "1.1.4", 200, "1.1.4"},
        {"a newer one", "1.2.0", 200, "1.2.0"},
        {"nothing is trimmed", "1.1.4\r\n", 200, "1.1.4\r\n"},
        {"an empty body is an answer too", "", 200, ""},
        {"the longest answer taken", longest, 200, longest},
        {"a longer body is ignored", longest + "9", 200, "1.1.4"},
        {"an HTTP error status", "1.2.0", 404, "1.1.4"},
    };
    for (const TCase &c : cases) {
        test::TScriptedReply reply;
        reply.Body = c.Body;
        reply.Status = c.HttpStatus;
        FService.SetReply("/curversion.php", reply);
        EXPECT_EQ(Check(), c.Version) << c.What;
    }
}

TEST_F(NewVersionCheckThreadTest, ARefusedConnectionKeepsOurOwnVersion)
{
    FParameters.SetValue("uploadhost", "127.0.0.1:" + std::to_string(test::DeadLoopbackPort()));
    EXPECT_EQ(Check(), "1.1.4");
}

} // namespace
} // namespace vantorel
