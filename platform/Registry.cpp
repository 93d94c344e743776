#include "Registry.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

#include <unistd.h>

#include "AtomicFile.h"
#include "FileOps.h"

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

TRegistry::TRegistry(std::string storeFolder) : FFolder(std::move(storeFolder))
{
    if (!FFolder.empty() && FFolder.back() != '/')
        FFolder += '/';
}

std::string TRegistry::DefaultStoreFolder() { return BaseFolder("XDG_CONFIG_HOME", "/.config") + "/vantorel/"; }

TRegistry::TKeys TRegistry::Load() const
{
    TKeys keys;
    std::ifstream in(FileName(), std::ios::binary);
    if (!in.is_open()) {
        if (::access(FileName().c_str(), F_OK) != 0 && errno == ENOENT)
            return keys;
        throw ERegistryException("Cannot read " + FileName());
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
        throw ERegistryException("Cannot read " + FileName());
    return keys;
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
        TAtomicFile file(FileName(), 0600);
        std::string text;
        for (const auto &[key, values] : keys) {
            text += '[' + Escape(key, "]") + "]\n";
            for (const auto &[name, value] : values)
                text += Escape(name, "=[") + '=' + Escape(value, "") + '\n';
        }
        std::fwrite(text.data(), 1, text.size(), file.Stream());
        file.Commit();
    } catch (const std::system_error &e) {
        throw ERegistryException(e.what());
    }
}

bool TRegistry::StoreWritable() const { return ::access(FFolder.c_str(), W_OK) == 0; }

bool TRegistry::OpenKey(const std::string &key, bool canCreate)
{
    FKey.clear();
    try {
        TKeys keys = Load();
        if (FindNamed(keys, key) == keys.end()) {
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
        return FindNamed(keys, key) != keys.end();
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
    const auto found = FindNamed(keys, FKey);
    if (found == keys.end())
        throw ERegistryException("The registry key " + FKey + " has gone");
    return found->second;
}

bool TRegistry::ValueExists(const std::string &name) const
{
    TKeys keys = Load();
    const TValues &values = OpenValues(keys);
    return FindNamed(values, name) != values.end();
}

std::string TRegistry::ReadString(const std::string &name) const
{
    TKeys keys = Load();
    const TValues &values = OpenValues(keys);
    const auto found = FindNamed(values, name);
    return found == values.end() ? std::string() : found->second;
}

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
