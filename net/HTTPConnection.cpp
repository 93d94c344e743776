#include "HTTPConnection.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <mutex>

#include <curl/curl.h>

#include "TextRules.h"

namespace vantorel {

namespace {

constexpr const char *kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";
constexpr long kPollMilliseconds = 1000;

template <typename Value> void SetOption(CURL *easy, CURLoption option, Value value)
{
    // Every option set here exists in the libcurl we build against; a refusal would mean a
    // request that silently ignores a setting, so it is an error.
    if (curl_easy_setopt(easy, option, value) != CURLE_OK)
        throw EHTTPError(EHTTPError::TKind::Connection, "Cannot set up the HTTP request");
}

struct TSlistFree {
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};
struct TMimeFree {
    void operator()(curl_mime *mime) const { curl_mime_free(mime); }
};
struct TFileClose {
    void operator()(std::FILE *file) const { std::fclose(file); }
};

} // namespace

void InitHTTPLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void TMultiPartForm::AddFormField(const std::string &name, const std::string &value)
{
    FParts.push_back({name, value, {}, {}});
}

void TMultiPartForm::AddFile(const std::string &fieldName, const std::string &path, const std::string &contentType)
{
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        throw EHTTPError(EHTTPError::TKind::File, "Cannot open " + path);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw EHTTPError(EHTTPError::TKind::File, "Cannot read " + path);
    FParts.push_back({fieldName, std::move(content), std::string(ExtractFileNamePart(path)), contentType});
}

struct THTTPConnection::TTransfer {
    std::string *Body = nullptr; // the reply as text
    std::uint64_t MaxBytes = kMaxReplyBytes;
    std::uint64_t Received = 0;
    bool TooLarge = false;
    std::FILE *File = nullptr; // or the reply into a file
    int FileErrno = 0;
    const TProgress *Progress = nullptr;
    std::unique_ptr<curl_slist, TSlistFree> Headers;
    std::unique_ptr<curl_mime, TMimeFree> Mime;
    char Error[CURL_ERROR_SIZE] = {};

    static size_t Write(char *data, size_t size, size_t count, void *user)
    {
        auto *self = static_cast<TTransfer *>(user);
        const size_t bytes = size * count;
        // A reply longer than the caller can use is refused as it arrives, never held whole.
        if (bytes > self->MaxBytes - self->Received) {
            self->TooLarge = true;
            return 0;
        }
        self->Received += bytes;
        if (self->File) {
            if (std::fwrite(data, 1, bytes, self->File) != bytes) {
                self->FileErrno = errno ? errno : EIO;
                return 0;
            }
            return bytes;
        }
        self->Body->append(data, bytes);
        return bytes;
    }

    static int Progressed(void *user, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t)
    {
        auto *self = static_cast<TTransfer *>(user);
        (*self->Progress)(received, total);
        return 0;
    }
};

THTTPConnection::THTTPConnection()
{
    InitHTTPLibrary();
    FEasy = curl_easy_init();
    FMulti = curl_multi_init();
    if (!FEasy || !FMulti) {
        curl_easy_cleanup(FEasy);
        curl_multi_cleanup(FMulti);
        throw std::bad_alloc();
    }
    // What every request of the connection shares, set once: the handle is never reset, because
    // a reset drops the list behind CURLOPT_COOKIEFILE without freeing it (libcurl 7.88), and
    // setting it again for every request would leak one list per request.
    try {
        SetOption(FEasy, CURLOPT_FOLLOWLOCATION, 0L);
        SetOption(FEasy, CURLOPT_NOSIGNAL, 1L);
        // A stop must not wait for a name lookup that hangs: the resolver thread is left behind.
        SetOption(FEasy, CURLOPT_QUICK_EXIT, 1L);
        SetOption(FEasy, CURLOPT_COOKIEFILE, ""); // the cookie engine, in memory only
        SetOption(FEasy, CURLOPT_USERAGENT, kUserAgent);
        SetOption(FEasy, CURLOPT_WRITEFUNCTION, &TTransfer::Write);
        SetOption(FEasy, CURLOPT_XFERINFOFUNCTION, &TTransfer::Progressed);
    } catch (...) {
        curl_multi_cleanup(FMulti);
        curl_easy_cleanup(FEasy);
        throw;
    }
}

THTTPConnection::~THTTPConnection()
{
    curl_multi_cleanup(FMulti);
    curl_easy_cleanup(FEasy);
}

void THTTPConnection::Disconnect()
{
    FDisconnected.store(true);
    curl_multi_wakeup(FMulti);
}

void THTTPConnection::Reconnect() { FDisconnected.store(false); }

std::string THTTPConnection::Get(const std::string &url, std::size_t maxBytes)
{
    std::string body;
    TTransfer transfer;
    transfer.Body = &body;
    transfer.MaxBytes = maxBytes;
    Perform(url, transfer);
    return body;
}

void THTTPConnection::Get(const std::string &url, const std::string &fileName, const TProgress &progress,
                          std::uint64_t maxBytes)
{
    std::unique_ptr<std::FILE, TFileClose> file(std::fopen(fileName.c_str(), "wbe"));
    if (!file)
        throw EHTTPError(EHTTPError::TKind::File, "Cannot create " + fileName + ": " + std::strerror(errno));
    TTransfer transfer;
    transfer.File = file.get();
    transfer.MaxBytes = maxBytes;
    if (progress)
        transfer.Progress = &progress;
    Perform(url, transfer);
    if (std::fclose(file.release()) != 0)
        throw EHTTPError(EHTTPError::TKind::File, "Cannot write " + fileName + ": " + std::strerror(errno));
}

std::string THTTPConnection::Post(const std::string &url, const TMultiPartForm &form)
{
    std::string body;
    TTransfer transfer;
    transfer.Body = &body;
    transfer.Mime.reset(curl_mime_init(FEasy));
    if (!transfer.Mime)
        throw std::bad_alloc();
    for (const TMultiPartForm::TPart &part : form.Parts()) {
        curl_mimepart *mimePart = curl_mime_addpart(transfer.Mime.get());
        if (!mimePart || curl_mime_name(mimePart, part.FieldName.c_str()) != CURLE_OK ||
            curl_mime_data(mimePart, part.Value.data(), part.Value.size()) != CURLE_OK)
            throw std::bad_alloc();
        if (!part.FileName.empty() && curl_mime_filename(mimePart, part.FileName.c_str()) != CURLE_OK)
            throw std::bad_alloc();
        if (!part.ContentType.empty() && curl_mime_type(mimePart, part.ContentType.c_str()) != CURLE_OK)
            throw std::bad_alloc();
    }
    Perform(url, transfer);
    return body;
}

void THTTPConnection::Perform(const std::string &url, TTransfer &transfer)
{
    if (FDisconnected.load())
        throw EHTTPError(EHTTPError::TKind::NotConnected, "Not Connected");

    // Every option that a request sets is set again by the next one, so that nothing of one
    // request (its body, its proxy login) reaches another; what points into this transfer is
    // cleared once it ends.
    struct TDetach {
        CURL *Easy;
        ~TDetach()
        {
            curl_easy_setopt(Easy, CURLOPT_ERRORBUFFER, nullptr);
            curl_easy_setopt(Easy, CURLOPT_HTTPHEADER, nullptr);
            curl_easy_setopt(Easy, CURLOPT_MIMEPOST, nullptr);
            curl_easy_setopt(Easy, CURLOPT_WRITEDATA, nullptr);
            curl_easy_setopt(Easy, CURLOPT_NOPROGRESS, 1L);
            curl_easy_setopt(Easy, CURLOPT_XFERINFODATA, nullptr);
        }
    } detach{FEasy};
    SetOption(FEasy, CURLOPT_URL, url.c_str());
    SetOption(FEasy, CURLOPT_PROTOCOLS_STR, FSchemes.c_str());
    SetOption(FEasy, CURLOPT_ERRORBUFFER, transfer.Error);

    curl_slist *headers = nullptr;
    auto add = [&headers](const char *line) {
        curl_slist *grown = curl_slist_append(headers, line);
        if (!grown) {
            curl_slist_free_all(headers);
            throw std::bad_alloc();
        }
        headers = grown;
    };
    add("Accept: text/html, */*");
    add("Expect:"); // the service never sees "100-continue": the body goes with the request
    if (!transfer.Mime)
        add("Content-Type: text/html");
    transfer.Headers.reset(headers);
    SetOption(FEasy, CURLOPT_HTTPHEADER, headers);
    // Setting the body makes the request a POST; a GET after a POST needs its method back.
    SetOption(FEasy, CURLOPT_MIMEPOST, transfer.Mime.get());
    if (!transfer.Mime)
        SetOption(FEasy, CURLOPT_HTTPGET, 1L);

    // The options alone decide the proxy: the environment's http_proxy and no_proxy never apply.
    const bool proxied = !ProxyParams.ProxyServer.empty();
    const bool login = proxied && ProxyParams.BasicAuthentication;
    const std::string proxy =
        proxied ? "http://" + ProxyParams.ProxyServer + ":" + std::to_string(ProxyParams.ProxyPort) : "";
    SetOption(FEasy, CURLOPT_PROXY, proxy.c_str());
    SetOption(FEasy, CURLOPT_NOPROXY, "");
    SetOption(FEasy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
    SetOption(FEasy, CURLOPT_PROXYUSERNAME, login ? ProxyParams.ProxyUsername.c_str() : nullptr);
    SetOption(FEasy, CURLOPT_PROXYPASSWORD, login ? ProxyParams.ProxyPassword.c_str() : nullptr);

    SetOption(FEasy, CURLOPT_WRITEDATA, &transfer);
    SetOption(FEasy, CURLOPT_XFERINFODATA, &transfer);
    SetOption(FEasy, CURLOPT_NOPROGRESS, transfer.Progress ? 0L : 1L);
    // A length announced past the bound is refused before a byte of the body arrives.
    SetOption(
        FEasy, CURLOPT_MAXFILESIZE_LARGE,
        static_cast<curl_off_t>(std::min<std::uint64_t>(transfer.MaxBytes, std::numeric_limits<curl_off_t>::max())));

    // The request runs in the connection's own multi handle, so that Disconnect can wake the
    // wait from another thread.
    if (curl_multi_add_handle(FMulti, FEasy) != CURLM_OK)
        throw EHTTPError(EHTTPError::TKind::Connection, "Cannot start the HTTP request");
    CURLcode result = CURLE_OK;
    bool finished = false;
    while (!FDisconnected.load()) {
        int running = 0;
        if (curl_multi_perform(FMulti, &running) != CURLM_OK)
            break;
        int queued = 0;
        while (CURLMsg *message = curl_multi_info_read(FMulti, &queued))
            if (message->msg == CURLMSG_DONE && message->easy_handle == FEasy) {
                result = message->data.result;
                finished = true;
            }
        if (finished || running == 0)
            break;
        if (curl_multi_poll(FMulti, nullptr, 0, kPollMilliseconds, nullptr) != CURLM_OK)
            break;
    }
    curl_multi_remove_handle(FMulti, FEasy);

    if (FDisconnected.load())
        throw EHTTPError(EHTTPError::TKind::NotConnected, "Not Connected");
    if (!finished)
        throw EHTTPError(EHTTPError::TKind::Connection, "The HTTP request ended unexpectedly");
    if (transfer.TooLarge || result == CURLE_FILESIZE_EXCEEDED)
        throw EHTTPError(EHTTPError::TKind::TooLarge, "The reply of " + url + " is too long");
    if (transfer.FileErrno)
        throw EHTTPError(EHTTPError::TKind::File,
                         std::string("Cannot write the reply: ") + std::strerror(transfer.FileErrno));
    if (result != CURLE_OK)
        throw EHTTPError(EHTTPError::TKind::Connection,
                         transfer.Error[0] ? transfer.Error : curl_easy_strerror(result));
    long status = 0;
    curl_easy_getinfo(FEasy, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299)
        throw EHTTPError(EHTTPError::TKind::Status, "HTTP status " + std::to_string(status), status);
}

} // namespace vantorel
