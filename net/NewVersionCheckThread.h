#pragma once

#include <cstddef>
#include <string>

#include "ExchangeThread.h"
#include "HTTPConnection.h"
#include "ServiceParameters.h"

namespace vantorel {

// Asks the service for the current version of the program. Every failure leaves the version it
// was created with, so a failed check finds nothing new.
class TNewVersionCheckThread : public TExchangeThread {
public:
    // A version string is a few bytes; a longer body is no answer to this question.
    static constexpr std::size_t kMaxVersionBytes = 256;

    TNewVersionCheckThread(std::string version, THTTPConnection &connection, const TParameters &parameters);

    // The whole reply body after a successful request, else the version given at creation.
    const std::string &Version() const { return FVersion; }

protected:
    void Execute() override;

private:
    std::string FVersion;
    THTTPConnection &FConnection;
    const TParameters &FParameters;
};

} // namespace vantorel
