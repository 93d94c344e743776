#include "SaneSources.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

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
    std::vector<std::string> taken;
    for (TSaneDevice &device : devices) {
        const std::string base = CutText(device.Model.empty() ? device.Name : device.Model, MaxIdentityText);
        std::string name = base;
        for (int n = 2; std::find(taken.begin(), taken.end(), name) != taken.end(); ++n) {
            const std::string suffix = " (" + std::to_string(n) + ")";
            name = CutText(base, MaxIdentityText - suffix.size()) + suffix;
        }
        device.ProductName = name;
        taken.push_back(name);
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
