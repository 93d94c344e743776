#include "OptionValues.h"

#include <exception>
#include <filesystem>
#include <system_error>

#include "SystemProxy.h"
#include "TextRules.h"

namespace vantorel {

namespace {

enum class TOptionKind { Text, Flag, Number, ProxySource };

// One option: its key, how its value is spelled in the file, and where it lives.
struct TOptionField {
    const char *Key;
    TOptionKind Kind;
    std::string TOptionValues::*Text = nullptr;
    bool TOptionValues::*Flag = nullptr;
    std::int32_t TOptionValues::*Number = nullptr; // integers and the proxy source
};

constexpr TOptionField Text(const char *key, std::string TOptionValues::*member)
{
    return {key, TOptionKind::Text, member, nullptr, nullptr};
}
constexpr TOptionField Flag(const char *key, bool TOptionValues::*member)
{
    return {key, TOptionKind::Flag, nullptr, member, nullptr};
}
constexpr TOptionField Number(const char *key, std::int32_t TOptionValues::*member)
{
    return {key, TOptionKind::Number, nullptr, nullptr, member};
}
constexpr TOptionField Source(const char *key, std::int32_t TOptionValues::*member)
{
    return {key, TOptionKind::ProxySource, nullptr, nullptr, member};
}

// The order in which the file is written.
constexpr std::array<TOptionField, 27> kOptionFields{{
    Text("login", &TOptionValues::login),
    Text("password", &TOptionValues::password),
    Source("proxysource", &TOptionValues::proxysource),
    Text("proxyhost", &TOptionValues::proxyhost),
    Text("proxyport", &TOptionValues::proxyport),
    Flag("proxyauthentication", &TOptionValues::proxyauthentication),
    Text("proxylogin", &TOptionValues::proxylogin),
    Text("proxypassword", &TOptionValues::proxypassword),
    Flag("showlogochange", &TOptionValues::showlogochange),
    Flag("fillemptyarea", &TOptionValues::fillemptyarea),
    Number("emptyareacolor", &TOptionValues::emptyareacolor),
    Number("jpegquality", &TOptionValues::jpegquality),
    Flag("showjpegdialog", &TOptionValues::showjpegdialog),
    Number("gifbitdepth", &TOptionValues::gifbitdepth),
    Flag("showgifdialog", &TOptionValues::showgifdialog),
    Number("convertretainsource", &TOptionValues::convertretainsource),
    Flag("convertasktargetname", &TOptionValues::convertasktargetname),
    Number("mirrorretainsource", &TOptionValues::mirrorretainsource),
    Flag("mirrorasktargetname", &TOptionValues::mirrorasktargetname),
    Number("rotateretainsource", &TOptionValues::rotateretainsource),
    Flag("rotateasktargetname", &TOptionValues::rotateasktargetname),
    Number("importedfileformat", &TOptionValues::importedfileformat),
    Flag("importasktargetname", &TOptionValues::importasktargetname),
    Number("grabbedfileformat", &TOptionValues::grabbedfileformat),
    Flag("grabasktargetname", &TOptionValues::grabasktargetname),
    Flag("enableaccesshint", &TOptionValues::enableaccesshint),
    Flag("checknewversion", &TOptionValues::checknewversion),
}};

constexpr std::array<const char *, 27> KeysOf(const std::array<TOptionField, 27> &fields)
{
    std::array<const char *, 27> keys{};
    for (std::size_t i = 0; i < fields.size(); ++i)
        keys[i] = fields[i].Key;
    return keys;
}

void ApplyOption(const TOptionField &field, const std::string &text, TOptionValues &values)
{
    switch (field.Kind) {
    case TOptionKind::Text:
        values.*field.Text = text;
        break;
    case TOptionKind::Flag:
        values.*field.Flag = ReadOptionBool(text);
        break;
    case TOptionKind::ProxySource:
        values.*field.Number = ReadProxySource(text);
        break;
    case TOptionKind::Number: {
        // A number that cannot be read falls back to the option's own default, not to what
        // an earlier element or the caller left there.
        static const TOptionValues defaults;
        values.*field.Number = ParseWholeNumberOr(text, defaults.*field.Number);
        break;
    }
    }
}

std::string WrittenForm(const TOptionField &field, const TOptionValues &values)
{
    switch (field.Kind) {
    case TOptionKind::Text:
        return values.*field.Text;
    case TOptionKind::Flag:
        return values.*field.Flag ? "yes" : "no";
    case TOptionKind::ProxySource:
        return WriteProxySource(values.*field.Number);
    case TOptionKind::Number:
        return std::to_string(values.*field.Number);
    }
    return {};
}

// Closes the shared document on every way out of the writer.
struct TCloseOnExit {
    TXMLSource &Source;
    ~TCloseOnExit() { Source.Close(); }
};

} // namespace

const std::array<const char *, 27> kOptionKeys = KeysOf(kOptionFields);

TOptionsReadResult ReadOptionsFile(const std::string &path, TXMLSource &xml, TOptionValues &values)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !ec)
        return TOptionsReadResult::Absent;
    try {
        TXMLReadScope scope(xml, path);
        const TXMLNode root = xml.DocumentElement();
        if (!root.IsElement() || AsciiLower(root.NodeName()) != "options")
            return TOptionsReadResult::Corrupt;
        for (const TXMLNode &child : root.ChildNodes()) {
            if (!child.IsElement())
                continue;
            const std::string key = AsciiLower(child.NodeName());
            for (const TOptionField &field : kOptionFields)
                if (key == field.Key) {
                    ApplyOption(field, child.GetAttribute("value"), values);
                    break;
                }
        }
    } catch (const std::exception &) {
        return TOptionsReadResult::Corrupt;
    }
    return TOptionsReadResult::Read;
}

void WriteOptionsFile(const std::string &path, TXMLSource &xml, const TOptionValues &values)
{
    TCloseOnExit closer{xml};
    xml.SetFileName("");
    xml.Open();
    TXMLNode root = xml.CreateDocumentElement("options");
    for (const TOptionField &field : kOptionFields)
        root.AddChild(field.Key).SetAttribute("value", WrittenForm(field, values));
    // The file holds the login and the passwords: for its owner's eyes only, whatever mode an
    // earlier file had.
    xml.SaveToFile(path, 0600, TAtomicFile::TPermissions::Always);
}

bool ReadOptionBool(std::string_view text) { return AsciiLower(text) == "yes"; }

int ReadProxySource(std::string_view text)
{
    const std::string word = AsciiLower(text);
    if (word == "manual")
        return psManual;
    if (word == "noproxy")
        return psNoProxy;
    return psIE;
}

std::string WriteProxySource(int source)
{
    switch (source) {
    case psManual:
        return "manual";
    case psNoProxy:
        return "noproxy";
    default:
        return "ie";
    }
}

void ParseProxyServer(std::string text, std::string &host, std::string &port)
{
    host.clear();
    port.clear();
    // A per-protocol list: only the HTTP entry concerns us.
    if (!text.empty() && text.find("http=") != std::string::npos) {
        const std::string::size_type start = AsciiLower(text).find("http=");
        text.erase(0, start + 5);
        if (const auto semicolon = text.find(';'); semicolon != std::string::npos)
            text.erase(semicolon);
    }
    if (text.empty())
        return;
    if (const auto colon = text.find(':'); colon != std::string::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    } else {
        host = text;
        port = "3128";
    }
}

void ReadIEProxySettings(std::string &host, std::string &port)
{
    host.clear();
    port.clear();
    if (const auto server = SystemProxyServer())
        ParseProxyServer(*server, host, port);
}

} // namespace vantorel
