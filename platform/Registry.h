#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace vantorel {

// A registry operation that could not be carried out: no key open, or the store not written.
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Stands in for the Windows registry: keys (paths such as "Software/Vantorel/Vantorel") holding
// named string values, kept in one small file of the user's. Key and value names compare without
// regard to the case of ASCII letters. Every read looks at the file as it is now and every change
// is saved at once, whole or not at all; the last writer wins.
//
// As an installer's keys for the whole machine did, files of the same form in system folders
// supply keys that only the user's store lacks: a value that the user's key does not hold is read
// from the first system folder that has the key. They are never written; a change goes to the
// user's key, which is made for it.
class TRegistry {
public:
    // The user's store, and the system folders of DefaultSystemFolders.
    TRegistry();
    // storeFolder and each system folder: where a file lives, ending with "/".
    explicit TRegistry(std::string storeFolder, std::vector<std::string> systemFolders = {});

    // $XDG_CONFIG_HOME/vantorel/, else ~/.config/vantorel/.
    static std::string DefaultStoreFolder();
    // vantorel/ in each folder of $XDG_CONFIG_DIRS (else /etc/xdg), then in the configuration
    // folder of the installation the running executable belongs to.
    static std::vector<std::string> DefaultSystemFolders();
    std::string FileName() const { return FFolder + "registry"; }

    // Opens a key for reading and writing. A key that does not exist is made only when canCreate;
    // false when it is missing, or when the store cannot be written.
    bool OpenKey(const std::string &key, bool canCreate);
    void CloseKey() { FKey.clear(); }
    bool KeyExists(const std::string &key) const;
    // True when the user's key is gone afterwards; raises ERegistryException when the store is not
    // written.
    bool DeleteKey(const std::string &key);

    // On the open key; each raises ERegistryException when no key is open or the key has gone.
    bool ValueExists(const std::string &name) const;
    std::string ReadString(const std::string &name) const; // empty for a missing value
    // Also raises ERegistryException when the store is not written.
    void WriteString(const std::string &name, const std::string &value);
    // False when there was no such value; raises ERegistryException when the store is not written.
    bool DeleteValue(const std::string &name);

private:
    using TValues = std::vector<std::pair<std::string, std::string>>;
    using TKeys = std::vector<std::pair<std::string, TValues>>;

    static TKeys LoadFile(const std::string &fileName);
    TKeys Load() const;
    void Save(const TKeys &keys) const;
    bool StoreWritable() const;
    // The key's values in the first system folder that has it.
    std::optional<TValues> SystemValues(const std::string &key) const;
    // The open key in the user's store, made there when only a system folder has it.
    TValues &OpenValues(TKeys &keys) const;
    std::optional<std::string> Value(const std::string &name) const;

    std::string FFolder;
    std::vector<std::string> FSystemFolders;
    std::string FKey; // the open key; empty when none
};

} // namespace vantorel
