#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace vantorel {

// A file written whole or not at all: the data goes to a temporary file in the target's folder,
// which takes the target's place only on Commit. Until then, and after any failure, the file
// that was there stays as it was and no temporary file is left behind.
//
// Failures raise std::system_error carrying errno.
class TAtomicFile {
public:
    enum class TPermissions {
        // A replaced file keeps its permissions, and its owner can always read it back; a new file
        // gets newFileMode less the umask.
        KeepReplaced,
        // Exactly newFileMode, whatever the replaced file had, from the first byte written: for a
        // file that holds secrets.
        Always,
    };

    enum class TExisting {
        Replace,
        // A file already at the target, even one made by another program after the name was
        // chosen, stays: Commit fails with EEXIST.
        Keep,
    };

    TAtomicFile(std::string target, mode_t newFileMode, TPermissions permissions = TPermissions::KeepReplaced,
                TExisting existing = TExisting::Replace);
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile &) = delete;
    TAtomicFile &operator=(const TAtomicFile &) = delete;

    // Where the data goes; write errors show up at Commit.
    std::FILE *Stream() const { return FStream; }
    const std::string &Target() const { return FTarget; }

    // Flushes the data to the disk and puts the file in the target's place.
    void Commit();

private:
    std::string FTarget;
    std::string FTemp; // empty once the temporary file is gone
    std::FILE *FStream = nullptr;
    TPermissions FPermissions;
    TExisting FExisting;
    bool FCommitted = false;
};

// Writes data to target whole or not at all (through a TAtomicFile); raises std::system_error.
void WriteAtomically(const std::string &target, std::string_view data, mode_t newFileMode,
                     TAtomicFile::TPermissions permissions = TAtomicFile::TPermissions::KeepReplaced);

// A write cut off by the end of the process (a kill during a save) leaves its temporary file
// behind. Removes the temporary files of writes of target: plain files of this naming that no
// live write holds; gives back the paths removed.
std::vector<std::string> RemoveLeftoverTempFiles(const std::string &target);

} // namespace vantorel
