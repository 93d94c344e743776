#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ExchangeThread.h"
#include "HTTPConnection.h"
#include "ServiceParameters.h"
#include "TempWorkFolder.h"

namespace vantorel {

class TLogoNode;

// The result of the upload and send-to-friend exchanges.
enum TUploadStatus : std::uint8_t {
    usSuccess = 0, // "SUCCESS"; also the value an exchange starts with
    usMessage = 1, // "MESSAGE": the message holds a code word
    usError = 2,   // "ERROR": the message holds a text to show as it is
    usStopped = 3, // the user stopped the exchange
    usFailed = 4,  // anything else: connection, malformed reply, file
};

// The three numbers of the last successful member-status reply of the run; Value1 = -1 until
// one has succeeded. Kept by the main window, read and written only by the one upload worker.
struct TMemberValues {
    std::int32_t Value1 = -1;
    std::int32_t Value2 = -1;
    std::int32_t Value3 = -1;
};

// Uploads a rendered logo: first, until the service has once answered it in this run, the
// member-status request, then the logo on the same form.
class TUploadThread : public TExchangeThread {
public:
    // fileName: the rendered logo in workFolder, named after the logo; the file goes with the
    // folder when the exchange is deleted. clearProxyParams runs on the UI thread at the end.
    TUploadThread(std::string login, std::string password, std::string fileName, TLogoNode *node,
                  THTTPConnection &connection, const TParameters &parameters, TMemberValues &memberValues,
                  std::function<void()> clearProxyParams, std::unique_ptr<TTempWorkFolder> workFolder = nullptr);

    TUploadStatus Status() const { return FStatus; }
    const std::string &Message() const { return FMessage; } // line 2 of the last reply read
    const std::vector<std::string> &ResultLines() const { return FResultLines; }
    const std::string &FileName() const { return FFileName; }
    TLogoNode *Node() const { return FNode; }

protected:
    void Execute() override;

private:
    std::vector<std::string> PostForm(const std::string &address, const TMultiPartForm &form);

    std::string FLogin;
    std::string FPassword;
    std::string FFileName;
    TLogoNode *FNode;
    TUploadStatus FStatus = usSuccess;
    std::string FMessage;
    std::vector<std::string> FResultLines;
    THTTPConnection &FConnection;
    const TParameters &FParameters;
    TMemberValues &FMemberValues;
    std::function<void()> FClearProxyParams;
    std::unique_ptr<TTempWorkFolder> FWorkFolder;
};

} // namespace vantorel
