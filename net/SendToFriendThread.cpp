#include "SendToFriendThread.h"

#include <vector>

#include "ServiceReply.h"

namespace vantorel {

TSendToFriendThread::TSendToFriendThread(std::string login, std::string password, std::string address,
                                         std::string comments, std::string senderName, THTTPConnection &connection,
                                         const TParameters &parameters, std::function<void()> clearProxyParams)
    : TExchangeThread(&connection), FLogin(std::move(login)), FPassword(std::move(password)),
      FAddress(std::move(address)), FComments(std::move(comments)), FSenderName(std::move(senderName)),
      FConnection(connection), FParameters(parameters), FClearProxyParams(std::move(clearProxyParams))
{
}

void TSendToFriendThread::Execute()
{
    try {
        try {
            const std::string address = FParameters.ServiceAddress("sendmailhost", "sendmailscript");
            TMultiPartForm form;
            form.AddFormField("login", FLogin);
            form.AddFormField("password", FPassword);
            form.AddFormField("address", FAddress);
            form.AddFormField("comments", FComments);
            form.AddFormField("sendername", FSenderName);
            const std::vector<std::string> reply = SplitReplyLines(FConnection.Post(address, form));
            switch (ReplyWord(ReplyLine(reply, 1))) {
            case TReplyWord::Success:
                FStatus = usSuccess;
                break;
            case TReplyWord::Message:
                FStatus = usMessage;
                FMessage = ReplyLine(reply, 2);
                break;
            case TReplyWord::Error:
                FStatus = usError;
                FMessage = ReplyLine(reply, 2);
                break;
            case TReplyWord::Other:
                // A reply the service never sends is no proof that the mail went out.
                throw EReplyError("Unknown reply");
            }
        } catch (...) {
            if (FClearProxyParams)
                Synchronize(FClearProxyParams);
            throw;
        }
        if (FClearProxyParams)
            Synchronize(FClearProxyParams);
    } catch (...) {
        FStatus = usError;
        FMessage = kSendLinkFailedText;
    }
}

} // namespace vantorel
