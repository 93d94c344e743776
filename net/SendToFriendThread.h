#pragma once

#include <functional>
#include <string>

#include "ExchangeThread.h"
#include "HTTPConnection.h"
#include "ServiceParameters.h"
#include "UploadThread.h"

namespace vantorel {

// The code word of a refusal when the service could not mail the link.
inline constexpr const char *kCouldNotSendMail = "COULD_NOT_SEND_MAIL";
// The message of every failure of the exchange itself.
inline constexpr const char *kSendLinkFailedText = "Error occurred while sending application link.";

// Asks the service to mail the program's link to a friend: one multipart form, one reply.
class TSendToFriendThread : public TExchangeThread {
public:
    // comments: the sender's text with its line breaks as they are to be sent. clearProxyParams
    // runs on the UI thread at the end.
    TSendToFriendThread(std::string login, std::string password, std::string address, std::string comments,
                        std::string senderName, THTTPConnection &connection, const TParameters &parameters,
                        std::function<void()> clearProxyParams);

    // usSuccess, usMessage (Message holds the code word) or usError (Message holds the text to show).
    TUploadStatus Status() const { return FStatus; }
    const std::string &Message() const { return FMessage; }

protected:
    void Execute() override;

private:
    std::string FLogin;
    std::string FPassword;
    std::string FAddress;
    std::string FComments;
    TUploadStatus FStatus = usSuccess;
    std::string FMessage;
    std::string FSenderName;
    THTTPConnection &FConnection;
    const TParameters &FParameters;
    std::function<void()> FClearProxyParams;
};

} // namespace vantorel
