#pragma once

#include <memory>
#include <string>
#include <vector>

#include "PhoneAttributes.h"
#include "PromptService.h"
#include "XMLSource.h"

namespace vantorel {

inline constexpr const char *kPhoneListFileName = "phoneslist.xml";

struct TPhoneModel {
    std::string Name;
    TPhoneAttributes Attributes;
};

struct TPhoneMake {
    std::string Name;
    std::vector<TPhoneModel> Models;
};

// The make list in catalogue order; a logo refers to its phone by the two positions.
using TPhoneMakes = std::vector<TPhoneMake>;

enum class TPhoneListResult {
    Loaded,  // the catalogue was read (possibly empty)
    Damaged, // wrong root: reported, no makes; start-up goes on
    Failed,  // unreadable or missing: reported; the program must end
};

// Reads "phoneslist.xml" of the program folder into makes (emptied first) and reports failures
// through the prompt service.
TPhoneListResult LoadPhoneList(const std::string &programFolder, TXMLSource &xml, TPromptService &prompts,
                               TPhoneMakes &makes);

} // namespace vantorel
