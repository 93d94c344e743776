#include "UploadAddresses.h"

#include "TextRules.h"

namespace vantorel {

TUploadAddresses DeriveUploadAddresses(const std::string &uploadURL, const std::string &login,
                                       const std::string &password)
{
    TUploadAddresses result;
    const std::string &u = uploadURL;
    // Q is the 1-based position of the first "?", 0 when there is none.
    const std::size_t question = u.find('?');
    const std::size_t q = question == std::string::npos ? 0 : question + 1;
    const std::string guestPrefix = std::string("http://") + kGuestWapHost + "/";

    if (AsciiLower(u.substr(0, guestPrefix.size())) == guestPrefix) {
        result.FullURL = u;
        if (!result.FullURL.empty())
            result.ShortURL = q > 0 ? u.substr(0, q - 1) : std::string();
    } else {
        result.FullURL = u;
        if (!result.FullURL.empty()) {
            if (!login.empty())
                result.FullURL += "&login=" + login;
            if (!password.empty())
                result.FullURL += "&password=" + password;
        }
        result.ShortURL = u;
    }
    // From position Q + 4 (1-based) to the end: the three characters after the "?" are skipped.
    if (!u.empty() && q + 3 < u.size())
        result.ImageID = u.substr(q + 3);
    return result;
}

} // namespace vantorel
