#pragma once

#include <cstdint>
#include <string>

#include "ExchangeThread.h"
#include "HTTPConnection.h"
#include "ImageCodecs.h"

namespace vantorel {

// The result of a picture download.
enum TDownloadStatus : std::uint8_t {
    dsDone = 0,    // the picture is written
    dsFailed = 1,  // writing or downloading failed: the message holds the text to show
    dsStopped = 2, // the user cancelled
};

inline constexpr const char *kPictureWriteFailed = "Error writing to temporary picture file";
inline constexpr const char *kPictureDownloadFailed =
    "Error downloading picture. Please check proxy settings in menu Edit->Options and try again.";

// Downloads one picture by its address into a file, which it creates or empties. A download that
// does not end with the picture removes what it wrote; a downloaded file stays for its owner to
// delete.
class TPictureDownloadThread : public TExchangeThread {
public:
    // progress: called on the worker as the body arrives; the owner brings it to the UI thread.
    // A body longer than maxBytes is a failed download.
    TPictureDownloadThread(std::string url, std::string fileName, THTTPConnection &connection,
                           THTTPConnection::TProgress progress = {}, std::uint64_t maxBytes = kMaxPictureFileBytes);

    TDownloadStatus Status() const { return FStatus; }
    const std::string &Message() const { return FMessage; }
    const std::string &FileName() const { return FFileName; }

protected:
    void Execute() override;

private:
    std::string FURL;
    std::string FFileName;
    TDownloadStatus FStatus = dsDone;
    std::string FMessage;
    THTTPConnection &FConnection;
    THTTPConnection::TProgress FProgress;
    std::uint64_t FMaxBytes;
};

} // namespace vantorel
