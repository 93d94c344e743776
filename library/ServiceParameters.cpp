#include "ServiceParameters.h"

#include <exception>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "TextRules.h"

namespace vantorel {

namespace {

struct TParameterDefault {
    const char *Key;
    const char *Value;
};

// The keys in their fixed order with the values the program uses without a parameters file.
constexpr TParameterDefault kParameterDefaults[] = {
    {"uploadhost", kDefaultServiceHost}, {"uploadscript", "/upload.php"},       {"memstatscript", "/memberstatus.php"},
    {"appverscript", "/curversion.php"}, {"sendmailhost", kDefaultServiceHost}, {"sendmailscript", "/sendtofriend.php"},
};

const std::string kNoValue;

} // namespace

TParameters::TParameters()
{
    for (const auto &entry : kParameterDefaults)
        FEntries.emplace_back(entry.Key, std::make_unique<TStringObject>(entry.Value));
}

const std::string &TParameters::Value(const std::string &key) const
{
    for (const auto &[name, holder] : FEntries)
        if (SameTextAscii(name, key))
            return holder->Value;
    return kNoValue;
}

void TParameters::SetValue(const std::string &key, std::string value)
{
    for (auto &[name, holder] : FEntries)
        if (SameTextAscii(name, key)) {
            holder->Value = std::move(value);
            return;
        }
}

std::string TParameters::ServiceAddress(const std::string &hostKey, const std::string &scriptKey) const
{
    return "http://" + Value(hostKey) + Value(scriptKey);
}

void LoadParameters(const std::string &programFolder, TXMLSource &xml, TPromptService &prompts, TParameters &params)
{
    params = TParameters();
    const std::string path = programFolder + kParametersFileName;
    // The program ships no parameters file: its absence just means the built-in service.
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !ec)
        return;

    bool corrupt = false;
    try {
        TXMLReadScope scope(xml, path);
        const TXMLNode root = xml.DocumentElement();
        if (!root.IsElement() || AsciiLower(root.NodeName()) != "parameters") {
            corrupt = true;
        } else {
            for (const TXMLNode &child : root.ChildNodes()) {
                if (!child.IsElement())
                    continue;
                const std::string key = AsciiLower(child.NodeName());
                for (const auto &entry : kParameterDefaults)
                    if (key == entry.Key)
                        params.SetValue(key, child.GetAttribute("value"));
            }
        }
    } catch (const std::exception &) {
        // Half a file is no configuration: the service stays where the defaults say.
        params = TParameters();
        corrupt = true;
    }
    if (corrupt)
        prompts.ShowError("Parameters file is corrupt.");
}

} // namespace vantorel
