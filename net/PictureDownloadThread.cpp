#include "PictureDownloadThread.h"

#include <unistd.h>

namespace vantorel {

TPictureDownloadThread::TPictureDownloadThread(std::string url, std::string fileName, THTTPConnection &connection,
                                               THTTPConnection::TProgress progress, std::uint64_t maxBytes)
    : TExchangeThread(&connection), FURL(std::move(url)), FFileName(std::move(fileName)), FConnection(connection),
      FProgress(std::move(progress)), FMaxBytes(maxBytes)
{
}

void TPictureDownloadThread::Execute()
{
    try {
        // The file is created or emptied first and closed whatever the transfer did.
        FConnection.Get(FURL, FFileName, FProgress, FMaxBytes);
        FStatus = dsDone;
        return;
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
    // Nobody reads a part of a picture. Removing gigabytes takes the file system a while, which
    // is spent here rather than in the window.
    ::unlink(FFileName.c_str());
}

} // namespace vantorel
