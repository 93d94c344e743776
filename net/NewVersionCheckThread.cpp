#include "NewVersionCheckThread.h"

namespace vantorel {

TNewVersionCheckThread::TNewVersionCheckThread(std::string version, THTTPConnection &connection,
                                               const TParameters &parameters)
    : TExchangeThread(&connection), FVersion(std::move(version)), FConnection(connection), FParameters(parameters)
{
}

void TNewVersionCheckThread::Execute()
{
    try {
        FVersion = FConnection.Get(FParameters.ServiceAddress("uploadhost", "appverscript"), kMaxVersionBytes);
    } catch (...) {
        // The check is a courtesy: no failure of it is ever shown.
    }
}

} // namespace vantorel
