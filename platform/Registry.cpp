#include "Registry.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

#include <unistd.h>

#include "AtomicFile.h"
#include "FileOps.h"
#include "ProgramFolder.h"

namespace vantorel {

namespace {

// One line per key ("[key]") and per value ("name=value"). Line breaks and backslashes are
// escaped everywhere, and the characters that would end a key or a name are escaped in them.
std::string Escape(const std::string &text, const char *alsoEscaped)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            if (c == '\\' || std::string_view(alsoEscaped).find(c) != std::string_view::npos)
                out += '\\';
            out += c;
        }
    }
    return out;
}

// Reads from pos up to an unescaped stop character (or the end); pos ends on the stop.
std::string Unescape(const std::string &line, std::size_t &pos, char stop)
{
    std::string out;
    for (; pos < line.size() && line[pos] != stop; ++pos) {
        if (line[pos] == '\\' && pos + 1 < line.size()) {
            const char next = line[++pos];
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            out += line[pos];
        }
    }
    return out;
}

bool SameName(const std::string &a, const std::string &b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

template <typename List> auto FindNamed(List &list, const std::string &name)
{
    return std::find_if(list.begin(), list.end(), [&](const auto &entry) { return SameName(entry.first, name); });
}

std::string BaseFolder(const char *variable, const char *fallbackBelowHome)
{
    // A relative or empty value is to be ignored, as the base directory rules say.
    const char *value = std::getenv(variable);
    if (value && value[0] == '/')
        return value;
    const char *home = std::getenv("HOME");
    return std::string(home ? home : "") + fallbackBelowHome;
}

} // namespace

TRegistry::TRegistry() : TRegistry(DefaultStoreFolder(), DefaultSystemFolders()) {}

TRegistry::TRegistry(std::string storeFolder, std::vector<std::string> systemFolders)
    : FFolder(WithSlash(std::move(storeFolder))), FSystemFolders(std::move(systemFolders))
{
    for (std::string &folder : FSystemFolders)
        folder = WithSlash(std::move(folder));
}

std::string TRegistry::DefaultStoreFolder() { return BaseFolder("XDG_CONFIG_HOME", "/.config") + "/vantorel/"; }

std::vector<std::string> TRegistry::DefaultSystemFolders()
{
    std::vector<std::string> folders;
    const char *dirs = std::getenv("XDG_CONFIG_DIRS");
    std::string_view list = dirs && dirs[0] ? dirs : "/etc/xdg";
    while (!list.empty()) {
        const std::string_view folder = list.substr(0, list.find(':'));
        // Relative entries are to be ignored, as the base directory rules say.
        if (!folder.empty() && folder[0] == '/')
            folders.push_back(WithSlash(std::string(folder)) + "vantorel/");
        list.remove_prefix(std::min(list.size(), folder.size() + 1));
    }
    // An installation outside those folders (under /usr/local, or a user's own prefix) still
    // finds its own keys.
    folders.push_back(InstalledConfigFolder(ExecutableFolder()) + "vantorel/");
    return folders;
}

TRegistry::TKeys TRegistry::LoadFile(const std::string &fileName)
{
    TKeys keys;
    std::ifstream in(fileName, std::ios::binary);
    if (!in.is_open()) {
        if (::access(fileName.c_str(), F_OK) != 0 && errno == ENOENT)
            return keys;
        throw ERegistryException("Cannot read " + fileName);
    }
    std::string line;
    while (std::getline(in, line)) {
        std::size_t pos = 0;
        if (!line.empty() && line[0] == '[') {
            pos = 1;
            std::string key = Unescape(line, pos, ']');
            if (pos < line.size())
                keys.emplace_back(std::move(key), TValues{});
            continue;
        }
        // Values before any key, and lines without "=", are no part of the store.
        std::string name = Unescape(line, pos, '=');
        if (keys.empty() || pos >= line.size())
            continue;
        ++pos;
        std::string value = Unescape(line, pos, '\n');
        TValues &values = keys.back().second;
        if (const auto found = FindNamed(values, name); found != values.end())
            found->second = std::move(value);
        else
            values.emplace_back(std::move(name), std::move(value));
    }
    if (in.bad())
        throw ERegistryException("Cannot read " + fileName);
    return keys;
}

TRegistry::TKeys TRegistry::Load() const { return LoadFile(FileName()); }

std::optional<TRegistry::TValues> TRegistry::SystemValues(const std::string &key) const
{
    for (const std::string &folder : FSystemFolders) {
        try {
            TKeys keys = LoadFile(folder + "registry");
            if (const auto found = FindNamed(keys, key); found != keys.end())
                return std::move(found->second);
        } catch (const ERegistryException &) {
            // A system file the user may not read supplies nothing.
        }
    }
    return std::nullopt;
}

void TRegistry::Save(const TKeys &keys) const
{
    try {
        if (!ForceDirectories(FFolder))
            throw std::system_error(errno, std::generic_category(), "Cannot create " + FFolder);
        if (keys.empty()) {
            if (::unlink(FileName().c_str()) != 0 && errno != ENOENT)
                throw std::system_error(errno, std::generic_category(), "Cannot delete " + FileName());
            return;
        }
        std::string text;
        for (const auto &[key, values] : keys) {
            text += '[' + Escape(key, "]") + "]\n";
            for (const auto &[name, value] : values)
                text += Escape(name, "=[") + '=' + Escape(value, "") + '\n';
        }
        WriteAtomically(FileName(), text, 0600);
    } catch (const std::system_error &e) {
        throw ERegistryException(e.what());
    }
}

bool TRegistry::StoreWritable() const
{
    // A store not made yet is writable when its nearest existing folder is.
    std::filesystem::path folder = std::filesystem::path(FFolder).parent_path();
    while (::access(folder.c_str(), F_OK) != 0 && errno == ENOENT && folder.has_relative_path())
        folder = folder.parent_path();
    return ::access(folder.c_str(), W_OK) == 0;
}

bool TRegistry::OpenKey(const std::string &key, bool canCreate)
{
    FKey.clear();
    try {
        TKeys keys = Load();
        if (FindNamed(keys, key) == keys.end() && !SystemValues(key)) {
            if (!canCreate)
                return false;
            keys.emplace_back(key, TValues{});
            Save(keys);
        }
    } catch (const ERegistryException &) {
        return false;
    }
    if (!StoreWritable())
        return false;
    FKey = key;
    return true;
}

bool TRegistry::KeyExists(const std::string &key) const
{
    try {
        const TKeys keys = Load();
        return FindNamed(keys, key) != keys.end() || SystemValues(key);
    } catch (const ERegistryException &) {
        return false;
    }
}

bool TRegistry::DeleteKey(const std::string &key)
{
    TKeys keys = Load();
    const auto found = FindNamed(keys, key);
    if (found == keys.end())
        return true;
    keys.erase(found);
    Save(keys);
    if (SameName(key, FKey))
        FKey.clear();
    return true;
}

TRegistry::TValues &TRegistry::OpenValues(TKeys &keys) const
{
    if (FKey.empty())
        throw ERegistryException("No registry key is open");
    if (const auto found = FindNamed(keys, FKey); found != keys.end())
        return found->second;
    if (!SystemValues(FKey))
        throw ERegistryException("The registry key " + FKey + " has gone");
    return keys.emplace_back(FKey, TValues{}).second;
}

std::optional<std::string> TRegistry::Value(const std::string &name) const
{
    TKeys keys = Load();
    const TValues &values = OpenValues(keys);
    if (const auto found = FindNamed(values, name); found != values.end())
        return found->second;
    if (std::optional<TValues> system = SystemValues(FKey))
        if (const auto found = FindNamed(*system, name); found != system->end())
            return found->second;
    return std::nullopt;
}

bool TRegistry::ValueExists(const std::string &name) const { return Value(name).has_value(); }

std::string TRegistry::ReadString(const std::string &name) const { return Value(name).value_or(std::string()); }

void TRegistry::WriteString(const std::string &name, const std::string &value)
{
    TKeys keys = Load();
    TValues &values = OpenValues(keys);
    if (const auto found = FindNamed(values, name); found != values.end())
        found->second = value;
    else
        values.emplace_back(name, value);
    Save(keys);
}

bool TRegistry::DeleteValue(const std::string &name)
{
    TKeys keys = Load();
    TValues &values = OpenValues(keys);
    const auto found = FindNamed(values, name);
    if (found == values.end())
        return false;
    values.erase(found);
    Save(keys);
    return true;
}

} // namespace vantorel
