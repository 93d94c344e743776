#include "UploadThread.h"

#include <limits>

#include "ServiceReply.h"

namespace vantorel {

namespace {

// The status a reply's first line gives. A first line the service never sends is no success:
// the exchange fails rather than take line 2 for an address.
TUploadStatus StatusOf(const std::vector<std::string> &reply)
{
    switch (ReplyWord(ReplyLine(reply, 1))) {
    case TReplyWord::Success:
        return usSuccess;
    case TReplyWord::Message:
        return usMessage;
    case TReplyWord::Error:
        return usError;
    case TReplyWord::Other:
        break;
    }
    return usFailed;
}

} // namespace

TUploadThread::TUploadThread(std::string login, std::string password, std::string fileName, TLogoNode *node,
                             THTTPConnection &connection, const TParameters &parameters, TMemberValues &memberValues,
                             std::function<void()> clearProxyParams, std::unique_ptr<TTempWorkFolder> workFolder)
    : TExchangeThread(&connection), FLogin(std::move(login)), FPassword(std::move(password)),
      FFileName(std::move(fileName)), FNode(node), FConnection(connection), FParameters(parameters),
      FMemberValues(memberValues), FClearProxyParams(std::move(clearProxyParams)), FWorkFolder(std::move(workFolder))
{
}

std::vector<std::string> TUploadThread::PostForm(const std::string &address, const TMultiPartForm &form)
{
    // A stop that came between two requests must not let the next one go out.
    if (Stopped())
        throw EHTTPError(EHTTPError::TKind::NotConnected, "Not Connected");
    std::vector<std::string> reply = SplitReplyLines(FConnection.Post(address, form));
    FMessage = ReplyLine(reply, 2);
    return reply;
}

void TUploadThread::Execute()
{
    try {
        try {
            const std::string statusAddress = FParameters.ServiceAddress("uploadhost", "memstatscript");
            const std::string uploadAddress = FParameters.ServiceAddress("uploadhost", "uploadscript");
            TMultiPartForm form;
            form.AddFormField("login", FLogin);
            form.AddFormField("password", FPassword);

            bool asked = false;
            std::vector<std::string> reply{"SUCCESS"};
            if (FMemberValues.Value1 == -1) {
                form.AddFormField("fakefield", "qqq");
                reply = PostForm(statusAddress, form);
                asked = true;
            }
            FStatus = StatusOf(reply);
            if (FStatus == usSuccess) {
                if (asked) {
                    // Each value is kept as soon as it is read.
                    FMemberValues.Value1 = ReplyNumber(reply, 2);
                    FMemberValues.Value2 = ReplyNumber(reply, 3);
                    FMemberValues.Value3 = ReplyNumber(reply, 4);
                }
                // The same form goes on, so a first upload carries "fakefield" too.
                form.AddFile("logofile", FFileName, "image/unknown");
                reply = PostForm(uploadAddress, form);
                FStatus = StatusOf(reply);
                // The count the service gave may already be the largest a 32-bit value holds.
                if (FStatus == usSuccess && FMemberValues.Value3 < std::numeric_limits<std::int32_t>::max())
                    ++FMemberValues.Value3;
                if (FStatus != usFailed)
                    FResultLines = ReplyLinesFrom(reply, 3);
            }
        } catch (...) {
            if (FClearProxyParams)
                Synchronize(FClearProxyParams);
            throw;
        }
        if (FClearProxyParams)
            Synchronize(FClearProxyParams);
    } catch (const EHTTPError &) {
        FStatus = Stopped() ? usStopped : usFailed;
    } catch (...) {
        FStatus = usFailed;
    }
}

} // namespace vantorel
