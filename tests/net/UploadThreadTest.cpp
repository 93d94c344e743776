#include "UploadThread.h"

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "NetTestSupport.h"
#include "ServiceReply.h"
#include "TestSupport.h"
#include "fixtures/FakeWebService.h"

namespace vantorel {
namespace {

using namespace std::chrono_literals;
using test::TFakeWebService;
using TLines = std::vector<std::string>;

test::TScriptedReply Reply(std::string body, test::THeaderList headers = {}, int status = 200)
{
    test::TScriptedReply reply;
    reply.Body = std::move(body);
    reply.Headers = std::move(headers);
    reply.Status = status;
    return reply;
}

// What an upload ended with, read in its completion handler.
struct TOutcome {
    TUploadStatus Status = usSuccess;
    std::string Message;
    TLines ResultLines;
    int ClearsBefore = 0; // proxy clearings that had run when the handler ran
};

class UploadThreadTest : public ::testing::Test {
protected:
    UploadThreadTest()
    {
        FParameters.SetValue("uploadhost", FService.HostPort());
        test::WriteFile(FDir / "sunset.jpg", "JPEG bytes\r\n\0 of the logo");
    }
    void TearDown() override { TExchangeThread::StopAll(); }

    TUploadThread *Start(const std::string &file = "sunset.jpg")
    {
        auto upload = std::make_unique<TUploadThread>("joe", "secret", FDir / file, nullptr, FConnection, FParameters,
                                                      FMembers, [this] {
                                                          EXPECT_EQ(std::this_thread::get_id(), FUiThread);
                                                          ++FClears;
                                                      });
        FOutcome.reset();
        return static_cast<TUploadThread *>(TExchangeThread::Start(std::move(upload), [this](TExchangeThread &done) {
            auto &upload = static_cast<TUploadThread &>(done);
            FOutcome = TOutcome{upload.Status(), upload.Message(), upload.ResultLines(), FClears};
        }));
    }

    TOutcome Upload(const std::string &file = "sunset.jpg")
    {
        Start(file);
        EXPECT_TRUE(test::ProcessEventsUntil([this] { return FOutcome.has_value(); }));
        return FOutcome.value_or(TOutcome{});
    }

    // The field names of each request's form, in order.
    std::vector<TLines> Forms() const
    {
        std::vector<TLines> forms;
        for (const auto &request : FService.Requests()) {
            forms.emplace_back();
            for (const auto &part : request.Parts)
                forms.back().push_back(part.FieldName);
        }
        return forms;
    }

    test::TTempDir FDir;
    TFakeWebService FService;
    TParameters FParameters;
    THTTPConnection FConnection;
    TMemberValues FMembers;
    int FClears = 0;
    std::optional<TOutcome> FOutcome;
    std::thread::id FUiThread = std::this_thread::get_id();
};

TEST_F(UploadThreadTest, TheFirstUploadAsksForTheMemberStatusOnTheSameFormAndLaterOnesDoNot)
{
    FService.SetReply("/memberstatus.php", Reply("SUCCESS\r\n5\r\n6\r\n7\r\n", {{"Set-Cookie", "sid=1"}}));
    FService.SetReply("/upload.php", Reply("success\nhttp://m.vantorel.example/p?id=9\nhttp://old/1\nhttp://old/2\n"));

    const TOutcome first = Upload();
    EXPECT_EQ(first.Status, usSuccess);
    EXPECT_EQ(first.Message, "http://m.vantorel.example/p?id=9");
    EXPECT_EQ(first.ResultLines, (TLines{"http://old/1", "http://old/2"}));
    EXPECT_EQ(first.ClearsBefore, 1);
    EXPECT_EQ(Forms(), (std::vector<TLines>{{"login", "password", "fakefield"},
                                            {"login", "password", "fakefield", "logofile"}}));
    const auto requests = FService.Requests();
    EXPECT_EQ(requests[0].Path, "/memberstatus.php");
    EXPECT_EQ(requests[1].Path, "/upload.php");
    EXPECT_EQ(requests[1].Header("Cookie"), "sid=1");
    EXPECT_EQ(requests[1].Parts[0].Content, "joe");
    EXPECT_EQ(requests[1].Parts[1].Content, "secret");
    EXPECT_EQ(requests[1].Parts[2].Content, "qqq");
    EXPECT_EQ(requests[1].Parts[3].FileName, "sunset.jpg");
    EXPECT_EQ(requests[1].Parts[3].ContentType, "image/unknown");
    EXPECT_EQ(requests[1].Parts[3].Content, test::ReadFile(FDir / "sunset.jpg"));
    EXPECT_EQ(FMembers.Value1, 5);
    EXPECT_EQ(FMembers.Value2, 6);
    EXPECT_EQ(FMembers.Value3, 8); // one more for the upload

    EXPECT_EQ(Upload().Status, usSuccess);
    EXPECT_EQ(Forms().back(), (TLines{"login", "password", "logofile"}));
    EXPECT_EQ(FService.RequestCount(), 3u);
    EXPECT_EQ(FMembers.Value3, 9);
}

TEST_F(UploadThreadTest, TheUploadCountStaysAtTheLargestValueItCanHold)
{
    FService.SetReply("/memberstatus.php", Reply("SUCCESS\n1\n2\n2147483647"));
    FService.SetReply("/upload.php", Reply("SUCCESS\nhttp://m/p?id=1"));
    EXPECT_EQ(Upload().Status, usSuccess);
    EXPECT_EQ(FMembers.Value3, 2147483647);
}

TEST_F(UploadThreadTest, AFirstMemberValueOfMinusOneAsksAgainNextTime)
{
    FService.SetReply("/memberstatus.php", Reply("SUCCESS\n-1\n0\n0"));
    FService.SetReply("/upload.php", Reply("SUCCESS\nhttp://m/p?id=1"));
    EXPECT_EQ(Upload().Status, usSuccess);
    EXPECT_EQ(Upload().Status, usSuccess);
    EXPECT_EQ(Forms().size(), 4u);
    EXPECT_EQ(FService.Requests()[2].Path, "/memberstatus.php");
}

struct TReplyCase {
    const char *Description;
    std::int32_t Value1; // before the upload: -1 asks for the member status
    const char *Member;  // member-status reply
    test::TScriptedReply Upload;
    TUploadStatus Status;
    const char *Message;
    std::size_t Requests; // how many reached the service
    TLines ResultLines;
};

void PrintTo(const TReplyCase &c, std::ostream *out) { *out << c.Description; }

class UploadReplyTest : public UploadThreadTest, public ::testing::WithParamInterface<TReplyCase> {};

TEST_P(UploadReplyTest, EndsWithTheStatusOfTheReply)
{
    const TReplyCase &c = GetParam();
    FMembers.Value1 = c.Value1;
    FService.SetReply("/memberstatus.php", Reply(c.Member));
    FService.SetReply("/upload.php", c.Upload);
    const TOutcome outcome = Upload();
    EXPECT_EQ(outcome.Status, c.Status);
    EXPECT_EQ(outcome.Message, c.Message);
    EXPECT_EQ(FService.RequestCount(), c.Requests);
    EXPECT_EQ(outcome.ResultLines, c.ResultLines);
    EXPECT_EQ(outcome.ClearsBefore, 1); // whatever happened
}

INSTANTIATE_TEST_SUITE_P(
    Replies, UploadReplyTest,
    ::testing::Values(
        TReplyCase{"wrong login: no logo sent",
                   -1,
                   "MESSAGE\r\nWRONG_LOGIN_OR_PASSWORD",
                   Reply("SUCCESS\nx"),
                   usMessage,
                   kWrongLoginOrPassword,
                   1,
                   {}},
        TReplyCase{"member status error text",
                   -1,
                   "Error\nThe service sleeps.\nmore",
                   Reply("SUCCESS\nx"),
                   usError,
                   "The service sleeps.",
                   1,
                   {}},
        TReplyCase{"member status without line 3: value 1 kept, failed",
                   -1,
                   "SUCCESS\n5",
                   Reply("SUCCESS\nx"),
                   usFailed,
                   "5",
                   1,
                   {}},
        TReplyCase{"member value no number", -1, "SUCCESS\nfive\n1\n1", Reply("SUCCESS\nx"), usFailed, "five", 1, {}},
        TReplyCase{"a one-line member reply", -1, "SUCCESS", Reply("SUCCESS\nx"), usFailed, "", 1, {}},
        TReplyCase{"an unknown word never counts as success",
                   -1,
                   "HELLO\nhttp://evil/",
                   Reply("SUCCESS\nx"),
                   usFailed,
                   "http://evil/",
                   1,
                   {}},
        TReplyCase{"upload refused",
                   1,
                   "",
                   Reply("MESSAGE\nUSER_IS_NOT_CONFIRMED\nhttp://old/1"),
                   usMessage,
                   kUserIsNotConfirmed,
                   1,
                   {"http://old/1"}},
        TReplyCase{"upload of two lines: nothing listed",
                   1,
                   "",
                   Reply("SUCCESS\nhttp://m/p?id=3\r\n"),
                   usSuccess,
                   "http://m/p?id=3",
                   1,
                   {}},
        TReplyCase{"upload of one line", 1, "", Reply("SUCCESS"), usFailed, "", 1, {}},
        TReplyCase{"upload word with a blank",
                   1,
                   "",
                   Reply(" SUCCESS\nhttp://m/p?id=3\nhttp://old/1"),
                   usFailed,
                   "http://m/p?id=3",
                   1,
                   {}},
        TReplyCase{"upload server error", 1, "", Reply("SUCCESS\nhttp://m/p?id=3", {}, 500), usFailed, "", 1, {}}));

TEST_F(UploadThreadTest, ALogoFileThatCannotBeReadFailsWithoutSendingIt)
{
    FMembers.Value1 = 1;
    EXPECT_EQ(Upload("missing.jpg").Status, usFailed);
    EXPECT_EQ(FService.RequestCount(), 0u);
}

TEST_F(UploadThreadTest, AStopDuringTheMemberStatusRequestEndsAtOnceWithoutSendingTheLogo)
{
    test::TScriptedReply held = Reply("SUCCESS\n1\n1\n1");
    held.Hold = true;
    FService.SetReply("/memberstatus.php", held);
    TUploadThread *upload = Start();
    ASSERT_TRUE(FService.WaitForRequests(1, 5s));
    const auto stop = std::chrono::steady_clock::now();
    upload->Stop();
    ASSERT_TRUE(test::ProcessEventsUntil([this] { return FOutcome.has_value(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - stop, 200ms);
    EXPECT_EQ(FOutcome->Status, usStopped);
    EXPECT_EQ(FOutcome->ClearsBefore, 1);
    FService.ReleaseHeld();
    EXPECT_EQ(FService.RequestCount(), 1u);
    EXPECT_EQ(FMembers.Value1, -1);
}

} // namespace
} // namespace vantorel
