#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "PromptService.h"
#include "ServiceNames.h"
#include "XMLSource.h"

namespace vantorel {

inline constexpr const char *kParametersFileName = "parameters.xml";

// The holder of one parameter value.
class TStringObject {
public:
    explicit TStringObject(std::string value) : Value(std::move(value)) {}
    std::string Value;
};

// The six service parameters by key, in their fixed order, always all present.
class TParameters {
public:
    TParameters(); // the defaults
    // The value of a key (compared without regard to ASCII case); empty for an unknown key.
    const std::string &Value(const std::string &key) const;
    void SetValue(const std::string &key, std::string value);
    // "http://" + host value + script value.
    std::string ServiceAddress(const std::string &hostKey, const std::string &scriptKey) const;
    const std::vector<std::pair<std::string, std::unique_ptr<TStringObject>>> &Entries() const { return FEntries; }

private:
    std::vector<std::pair<std::string, std::unique_ptr<TStringObject>>> FEntries;
};

// Resets the parameters to their defaults and applies "parameters.xml" of the program folder.
void LoadParameters(const std::string &programFolder, TXMLSource &xml, TPromptService &prompts, TParameters &params);

} // namespace vantorel
