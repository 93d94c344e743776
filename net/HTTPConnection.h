#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

typedef void CURL;
typedef void CURLM;

namespace vantorel {

// Sets libcurl up once for the whole program; the first connection also does.
void InitHTTPLibrary();

// A failure of a request: the connection could not be made or broke, the proxy refused it, the
// server answered with a status outside 2xx, the reply was too long, or the connection was
// disconnected while the request waited.
class EHTTPError : public std::runtime_error {
public:
    enum class TKind { Connection, Status, TooLarge, NotConnected, File };
    EHTTPError(TKind kind, const std::string &message, long status = 0)
        : std::runtime_error(message), FKind(kind), FStatus(status)
    {
    }
    TKind Kind() const { return FKind; }
    long Status() const { return FStatus; } // the HTTP status for TKind::Status

private:
    TKind FKind;
    long FStatus;
};

// How a connection reaches the web: through this proxy, or directly when ProxyServer is empty.
struct TProxyParams {
    std::string ProxyServer;
    int ProxyPort = 0;
    bool BasicAuthentication = false;
    std::string ProxyUsername;
    std::string ProxyPassword;
    bool operator==(const TProxyParams &) const = default;
};

// A multipart/form-data body: text fields and file parts in the order they were added.
class TMultiPartForm {
public:
    struct TPart {
        std::string FieldName;
        std::string Value;       // the text, or the file's content
        std::string FileName;    // empty for a text field
        std::string ContentType; // empty for a text field: text parts carry no content type
    };

    void AddFormField(const std::string &name, const std::string &value);
    // Reads the file now; raises EHTTPError (TKind::File) when it cannot be read. The part's file
    // name is the file's own name.
    void AddFile(const std::string &fieldName, const std::string &path, const std::string &contentType);
    const std::vector<TPart> &Parts() const { return FParts; }

private:
    std::vector<TPart> FParts;
};

// One HTTP client for one kind of exchange, kept for the whole run so that the cookies the
// service sets reach its later requests. Requests run on a worker thread, one at a time;
// Disconnect may be called from any thread and ends the pending request at once.
class THTTPConnection {
public:
    // Called on the requesting thread while a file download runs: bytes received so far, and the
    // whole length (0 while unknown).
    using TProgress = std::function<void(std::int64_t received, std::int64_t total)>;

    static constexpr std::size_t kMaxReplyBytes = 1024 * 1024;

    THTTPConnection();
    ~THTTPConnection();
    THTTPConnection(const THTTPConnection &) = delete;
    THTTPConnection &operator=(const THTTPConnection &) = delete;

    // Set on the UI thread before an exchange starts and cleared after it.
    TProxyParams ProxyParams;

    // The URL schemes requests may use, as libcurl spells them ("http", "http,https").
    void SetAllowedSchemes(std::string schemes) { FSchemes = std::move(schemes); }

    // The reply body as text; raises EHTTPError, with TKind::TooLarge for a body over maxBytes.
    std::string Get(const std::string &url, std::size_t maxBytes = kMaxReplyBytes);
    // The reply body into a file that the call creates or truncates; raises EHTTPError, with
    // TKind::TooLarge for a body over maxBytes (the file then holds what came before).
    void Get(const std::string &url, const std::string &fileName, const TProgress &progress = {},
             std::uint64_t maxBytes = UINT64_MAX);
    std::string Post(const std::string &url, const TMultiPartForm &form);

    // Ends the pending request, which fails with TKind::NotConnected; every later request fails
    // the same way until Reconnect. The cookies stay.
    void Disconnect();
    // Lets requests run again after a Disconnect; the UI thread calls it before an exchange.
    void Reconnect();

private:
    struct TTransfer;
    void Perform(const std::string &url, TTransfer &transfer);

    CURL *FEasy = nullptr;
    CURLM *FMulti = nullptr;
    std::string FSchemes = "http";
    std::atomic<bool> FDisconnected{false};
};

} // namespace vantorel
