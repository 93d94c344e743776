#pragma once

#include <string>
#include <vector>

#include "LogoTree.h"
#include "ServiceNames.h"

namespace vantorel {

// What the three address boxes show for a logo's upload address.
struct TUploadAddresses {
    std::string ShortURL;
    std::string FullURL;
    std::string ImageID;
    bool operator==(const TUploadAddresses &) const = default;
};

// An address on the guest WAP host is shown in full with its short form before the "?"; any
// other address gets the web account's login and password appended to the full form. The image
// number is what follows the three characters after the "?".
TUploadAddresses DeriveUploadAddresses(const std::string &uploadURL, const std::string &login,
                                       const std::string &password);

// Clears the upload address of the first logo record, in depth-first tree order, that carries each
// address of the list (compared without regard to ASCII case); matched lines leave the list.
void ClearListedUploadURLs(TLogoTree &tree, std::vector<std::string> &list);
void ClearNodeUploadURLs(TLogoNode *node, std::vector<std::string> &list);

} // namespace vantorel
