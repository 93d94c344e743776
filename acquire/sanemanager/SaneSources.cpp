#include "SaneSources.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unordered_map>
#include <unordered_set>

#include <unistd.h>

namespace vantorel {

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool Has(const std::string &text, const char *part) { return text.find(part) != std::string::npos; }

} // namespace

std::string CutText(const std::string &text, std::size_t max)
{
    if (text.size() <= max)
        return text;
    std::size_t end = max;
    // Step back over continuation bytes to the start of the character that would be split.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

void MakeProductNames(std::vector<TSaneDevice> &devices)
{
    // Linear in the devices: a name " (n)" is its stem (the base cut to leave room for the
    // suffix) and n, and each stem of a digit count remembers the first number not yet known to
    // be taken.
    std::unordered_set<std::string> taken;
    std::unordered_map<std::string, int> next;
    for (TSaneDevice &device : devices) {
        const std::string base = CutText(device.Model.empty() ? device.Name : device.Model, MaxIdentityText);
        std::string name = base;
        for (int n = 2; taken.count(name);) {
            const std::size_t digits = std::to_string(n).size();
            const std::string stem = CutText(base, MaxIdentityText - digits - 3);
            int &first = next[std::to_string(digits) + ':' + stem];
            n = std::max(n, first);
            if (std::to_string(n).size() != digits)
                continue; // every number of these digits is taken: on to the next stem
            name = stem + " (" + std::to_string(n) + ")";
            first = ++n;
        }
        device.ProductName = name;
        taken.insert(name);
    }
}

TModeKind ModeKindOf(const std::string &mode)
{
    const std::string m = Lower(mode);
    if (Has(m, "color") || Has(m, "colour"))
        return Has(m, "lineart") || Has(m, "halftone") ? TModeKind::None : TModeKind::Color;
    if (Has(m, "gray") || Has(m, "grey"))
        return TModeKind::Gray;
    if (Has(m, "lineart") || Has(m, "binary") || Has(m, "halftone") || Has(m, "black") || Has(m, "mono"))
        return TModeKind::BlackWhite;
    return TModeKind::None;
}

std::string SaneStatusText(SANE_Status status)
{
    static const char *const texts[] = {"Success",
                                        "Operation not supported",
                                        "Operation was canceled",
                                        "Device busy",
                                        "Invalid argument",
                                        "End of file reached",
                                        "Document feeder jammed",
                                        "Document feeder out of documents",
                                        "Scanner cover is open",
                                        "Error during device I/O",
                                        "Out of memory",
                                        "Access to resource has been denied"};
    const auto index = static_cast<std::size_t>(status);
    return index < std::size(texts) ? texts[index] : "Unknown SANE status code " + std::to_string(index);
}

TW_UINT16 ConditionOfSaneStatus(SANE_Status status)
{
    switch (status) {
    case SANE_STATUS_GOOD:
        return TWCC_SUCCESS;
    case SANE_STATUS_NO_MEM:
        return TWCC_LOWMEMORY;
    case SANE_STATUS_DEVICE_BUSY:
        return TWCC_MAXCONNECTIONS;
    default:
        return TWCC_BUMMER;
    }
}

std::string DefaultSourceFile()
{
    std::string base;
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char *home = std::getenv("HOME");
        if (!home || home[0] != '/')
            return {};
        base = std::string(home) + "/.config";
    }
    return base + "/vantorel/twainsource";
}

std::string ReadDefaultSource()
{
    const std::string file = DefaultSourceFile();
    if (file.empty())
        return {};
    std::ifstream in(file);
    std::string name;
    std::getline(in, name);
    return name;
}

bool WriteDefaultSource(const std::string &deviceName)
{
    const std::string file = DefaultSourceFile();
    if (file.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
    const std::string temporary = file + ".new" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << deviceName << '\n';
        out.flush();
        if (!out) {
            out.close();
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace vantorel
