#include "UploadAddresses.h"

#include <algorithm>

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

void ClearListedUploadURLs(TLogoTree &tree, std::vector<std::string> &list)
{
    if (list.empty() || !tree.Root())
        return;
    for (int i = 0; i < tree.Root()->Count() && !list.empty(); ++i)
        ClearNodeUploadURLs(tree.Root()->Item(i), list);
}

void ClearNodeUploadURLs(TLogoNode *node, std::vector<std::string> &list)
{
    TLogoDirObject &record = *node->Data();
    if (record.Kind == nkLogo && !record.UploadURL.empty()) {
        const auto found = std::find_if(list.begin(), list.end(),
                                        [&](const std::string &line) { return SameTextAscii(line, record.UploadURL); });
        if (found != list.end()) {
            record.UploadURL.clear();
            list.erase(found);
            if (list.empty())
                return;
        }
    }
    for (int i = 0; i < node->Count() && !list.empty(); ++i)
        ClearNodeUploadURLs(node->Item(i), list);
}

} // namespace vantorel
