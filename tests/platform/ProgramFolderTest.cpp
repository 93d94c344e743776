#include "ProgramFolder.h"

#include <filesystem>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace vantorel {
namespace {

namespace fs = std::filesystem;

// Root may write to any folder, so the choice for a folder that must not be written is made in a
// child process that has become "nobody".
std::string ChoiceOfAnOrdinaryUser(const std::string &bin, const std::string &data, const std::string &user)
{
    if (::geteuid() != 0)
        return ChooseProgramFolder(bin, data, user);
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(!ok ? 2 : ChooseProgramFolder(bin, data, user) == user ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) < 2 ? (WEXITSTATUS(status) == 1 ? user : bin) : "(no child)";
}

TEST(ProgramFolder, TheExecutablesFolderServesWhenWritableAndNotAnInstallation)
{
    struct TCase {
        const char *Description;
        bool Installed; // a data folder next to the executable's
        bool ReadOnly;
        bool Missing;
        bool Executables;
    };
    const TCase cases[] = {
        {"a build folder or a copied folder", false, false, false, true},
        {"an installation that root or its user may write to", true, false, false, false},
        {"an installation that cannot be written", true, true, false, false},
        {"a copied folder that cannot be written", false, true, false, false},
        {"a folder removed while the program runs", false, false, true, false},
    };
    for (const TCase &c : cases) {
        test::TTempDir root;
        const std::string bin = root / "bin/", data = InstalledDataFolder(bin), user = root / "user/";
        ASSERT_EQ(data, root / "share/vantorel/");
        if (!c.Missing)
            fs::create_directories(bin);
        if (c.Installed)
            fs::create_directories(data);
        fs::permissions(root.Path(), fs::perms::others_exec, fs::perm_options::add);
        if (c.ReadOnly)
            fs::permissions(bin, fs::perms::owner_write | fs::perms::group_write, fs::perm_options::remove);
        const std::string chosen =
            c.ReadOnly ? ChoiceOfAnOrdinaryUser(bin, data, user) : ChooseProgramFolder(bin, data, user);
        EXPECT_EQ(chosen, c.Executables ? bin : user) << c.Description;
        EXPECT_FALSE(fs::exists(user)) << c.Description << ": choosing creates nothing";
    }
}

} // namespace
} // namespace vantorel
