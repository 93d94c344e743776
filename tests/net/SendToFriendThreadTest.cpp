#include "SendToFriendThread.h"

#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "NetTestSupport.h"
#include "fixtures/FakeWebService.h"
#include "fixtures/LoopbackPort.h"

namespace vantorel {
namespace {

using test::TFakeWebService;

// What a send ended with, read in its completion handler.
struct TOutcome {
    TUploadStatus Status = usSuccess;
    std::string Message;
    int ClearsBefore = 0; // proxy clearings that had run when the handler ran
};

class SendToFriendThreadTest : public ::testing::Test {
protected:
    SendToFriendThreadTest() { FParameters.SetValue("sendmailhost", FService.HostPort()); }
    void TearDown() override { TExchangeThread::StopAll(); }

    TOutcome Send(const std::string &senderName = "", const std::string &comments = "Look!")
    {
        auto send = std::make_unique<TSendToFriendThread>("joe", "secret", "ann@mail.example", comments, senderName,
                                                          FConnection, FParameters, [this] {
                                                              EXPECT_EQ(std::this_thread::get_id(), FUiThread);
                                                              ++FClears;
                                                          });
        FOutcome.reset();
        TExchangeThread::Start(std::move(send), [this](TExchangeThread &done) {
            auto &send = static_cast<TSendToFriendThread &>(done);
            FOutcome = TOutcome{send.Status(), send.Message(), FClears};
        });
        EXPECT_TRUE(test::ProcessEventsUntil([this] { return FOutcome.has_value(); }));
        return FOutcome.value_or(TOutcome{});
    }

    TFakeWebService FService;
    TParameters FParameters;
    THTTPConnection FConnection;
    int FClears = 0;
    std::optional<TOutcome> FOutcome;
    std::thread::id FUiThread = std::this_thread::get_id();
};

TEST_F(SendToFriendThreadTest, TheFormCarriesFiveTextFieldsInOrderForAGuestAndAMember)
{
    struct TCase {
        const char *What;
        std::string SenderName;
    } cases[] = {{"member: the name goes empty", ""}, {"guest", "Ann's friend Bob"}};
    test::TScriptedReply success;
    success.Body = "SUCCESS";
    FService.SetReply("/sendtofriend.php", success);
    for (const TCase &c : cases) {
        const std::size_t before = FService.RequestCount();
        EXPECT_EQ(Send(c.SenderName, "Line one\r\nline two\r\n").Status, usSuccess) << c.What;
        ASSERT_EQ(FService.RequestCount(), before + 1) << c.What;
        const test::TRecordedRequest request = FService.Requests().back();
        EXPECT_EQ(request.Method, "POST");
        EXPECT_EQ(request.Path, "/sendtofriend.php");
        ASSERT_TRUE(request.MultipartComplete) << c.What;
        const std::vector<std::pair<std::string, std::string>> expected = {{"login", "joe"},
                                                                           {"password", "secret"},
                                                                           {"address", "ann@mail.example"},
                                                                           {"comments", "Line one\r\nline two\r\n"},
                                                                           {"sendername", c.SenderName}};
        ASSERT_EQ(request.Parts.size(), expected.size()) << c.What;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(request.Parts[i].FieldName, expected[i].first) << c.What;
            EXPECT_EQ(request.Parts[i].Content, expected[i].second) << c.What;
            EXPECT_TRUE(request.Parts[i].FileName.empty()) << c.What;
            EXPECT_FALSE(request.Parts[i].HasContentType) << c.What;
        }
    }
}

TEST_F(SendToFriendThreadTest, EachReplyGivesItsStatusAndEveryMalformedOneIsAnError)
{
    struct TCase {
        const char *What;
        std::string Body;
        int HttpStatus;
        TUploadStatus Status;
        std::string Message;
    } cases[] = {
        {"success", "SUCCESS\n", 200, usSuccess, ""},
        {"the word in lower case", "success", 200, usSuccess, ""},
        {"a refusal keeps its code word as sent", "MESSAGE\r\ncould_not_send_mail\r\n", 200, usMessage,
         "could_not_send_mail"},
        {"an error text is kept whole", "Error\n<b>Quota</b> full \n", 200, usError, "<b>Quota</b> full "},
        {"an empty reply", "", 200, usError, kSendLinkFailedText},
        {"a refusal without its code word", "MESSAGE", 200, usError, kSendLinkFailedText},
        {"an error without its text", "ERROR\r\n", 200, usError, kSendLinkFailedText},
        {"an unknown first line is no success", "SENT\nok", 200, usError, kSendLinkFailedText},
        {"a blank before the word", " SUCCESS", 200, usError, kSendLinkFailedText},
        {"an HTTP error status", "SUCCESS", 500, usError, kSendLinkFailedText},
    };
    for (const TCase &c : cases) {
        test::TScriptedReply reply;
        reply.Body = c.Body;
        reply.Status = c.HttpStatus;
        FService.SetReply("/sendtofriend.php", reply);
        FClears = 0;
        const TOutcome outcome = Send();
        EXPECT_EQ(outcome.Status, c.Status) << c.What;
        EXPECT_EQ(outcome.Message, c.Message) << c.What;
        EXPECT_EQ(outcome.ClearsBefore, 1) << c.What;
    }
}

TEST_F(SendToFriendThreadTest, ARefusedConnectionIsAnErrorAndStillClearsTheProxy)
{
    FParameters.SetValue("sendmailhost", "127.0.0.1:" + std::to_string(test::DeadLoopbackPort()));
    const TOutcome outcome = Send();
    EXPECT_EQ(outcome.Status, usError);
    EXPECT_EQ(outcome.Message, kSendLinkFailedText);
    EXPECT_EQ(outcome.ClearsBefore, 1);
}

} // namespace
} // namespace vantorel
