#include "SendToFriendThread.h"

#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "NetTestSupport.h"
#include "fixtures/FakeWebService.h"
#include "fixtures/LoopbackPort.h"

namespace vantorel {
namespace {

class SendToFriendThreadTest : public ::testing::Test {
protected:
    void TearDown() override { TExchangeThread::StopAll(); }

    test::TFakeWebService FService;
    THTTPConnection FConnection;
    std::thread::id FUiThread = std::this_thread::get_id();
};

TEST_F(SendToFriendThreadTest, EachReplyGivesItsStatusAndEveryFailureTheErrorText)
{
    struct TCase {
        const char *What;
        std::string Body;
        int HttpStatus;
        TUploadStatus Status;
        std::string Message;
    } cases[] = {
        {"success in lower case", "success\r\n", 200, usSuccess, ""},
        {"a refusal keeps its code word as sent", "MESSAGE\ncould_not_send_mail\n", 200, usMessage,
         "could_not_send_mail"},
        {"an error text is kept whole", "Error\n<b>Quota</b> full \n", 200, usError, "<b>Quota</b> full "},
        {"an empty reply", "", 200, usError, kSendLinkFailedText},
        {"a refusal without its code word", "MESSAGE", 200, usError, kSendLinkFailedText},
        {"an unknown first line is no success", "SENT\nok", 200, usError, kSendLinkFailedText},
        {"a blank before the word", " SUCCESS", 200, usError, kSendLinkFailedText},
        {"an HTTP error status", "SUCCESS", 500, usError, kSendLinkFailedText},
        {"a refused connection", "", 0, usError, kSendLinkFailedText},
    };
    for (const TCase &c : cases) {
        TParameters parameters;
        const int port = c.HttpStatus ? FService.Port() : test::DeadLoopbackPort();
        parameters.SetValue("sendmailhost", "127.0.0.1:" + std::to_string(port));
        test::TScriptedReply reply;
        reply.Body = c.Body;
        reply.Status = c.HttpStatus;
        FService.SetReply("/sendtofriend.php", reply);

        int clears = 0;
        std::optional<std::pair<TUploadStatus, std::string>> outcome;
        auto send = std::make_unique<TSendToFriendThread>("joe", "pw", "ann@mail.example", "Hi", "", FConnection,
                                                          parameters, [&] {
                                                              EXPECT_EQ(std::this_thread::get_id(), FUiThread);
                                                              ++clears;
                                                          });
        TExchangeThread::Start(std::move(send), [&](TExchangeThread &done) {
            auto &send = static_cast<TSendToFriendThread &>(done);
            EXPECT_EQ(clears, 1) << c.What; // the proxy is cleared before the handler runs
            outcome.emplace(send.Status(), send.Message());
        });
        ASSERT_TRUE(test::ProcessEventsUntil([&] { return outcome.has_value(); })) << c.What;
        EXPECT_EQ(static_cast<int>(outcome->first), static_cast<int>(c.Status)) << c.What;
        EXPECT_EQ(outcome->second, c.Message) << c.What;
    }
}

} // namespace
} // namespace vantorel
