#include "PictureDownloadThread.h"

namespace vantorel {

TPictureDownloadThread::TPictureDownloadThread(std::string url, std::string fileName, THTTPConnection &connection,
                                               THTTPConnection::TProgress progress)
    : TExchangeThread(&connection), FURL(std::move(url)), FFileName(std::move(fileName)), FConnection(connection),
      FProgress(std::move(progress))
{
}

void TPictureDownloadThread::Execute()
{
    try {
        // The file is created or emptied first and closed whatever the transfer did.
        FConnection.Get(FURL, FFileName, FProgress);
        FStatus = dsDone;
    } catch (const EHTTPError &e) {
        // Whatever fails once the user has cancelled is the cancel showing, not a fault to report.
        if (Stopped()) {
            FStatus = dsStopped;
        } else {
            FStatus = dsFailed;
            FMessage = e.Kind() == EHTTPError::TKind::File ? kPictureWriteFailed : kPictureDownloadFailed;
        }
    } catch (...) {
        FStatus = Stopped() ? dsStopped : dsFailed;
        FMessage = FStatus == dsFailed ? kPictureDownloadFailed : "";
    }
}

} // namespace vantorel
