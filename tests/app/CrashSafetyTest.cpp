// Runs the built program over and over and ends it the hard way: a termination, then a kill after
// a short random delay, often in the middle of its shut-down saves. Each file it writes must
// always be the old one or a whole new one, and no temporary file may outlive the next start.
// Also: a program whose start-up failed still ends when told to.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <spawn.h>
#include <string>
#include <system_error>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QLocalSocket>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "TestSupport.h"

extern char **environ;

namespace vantorel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;
using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

const char *const kSavedFiles[] = {"appstate.xml", "options.xml", "logodirectory.xml"};
constexpr int kFolders = 20;
constexpr int kLogosPerFolder = 150; // 3000 logos in all
// Program folders run side by side, so that a few hundred kills fit the time below.
constexpr int kLanes = 4;
constexpr int kKillsWanted = 300;
constexpr auto kKillTime = 35s;
constexpr int kFewestKills = 30; // even on a slow machine, or the test proves too little

// A program folder with the program, its catalogue and a library of thousands of logos, and a
// runtime folder of its own so that instances in other folders do not meet.
class TProgramFolder {
public:
    TProgramFolder()
    {
        fs::create_directories(FRun.Path());
        fs::permissions(FRun.Path(), fs::perms::owner_all);
        // A link where the file system allows it: the program is large, and its folder is the
        // folder of the name it was started by.
        std::error_code linked;
        fs::create_hard_link(VANTOREL_EXE, Folder() + "vantorel", linked);
        if (linked)
            fs::copy_file(VANTOREL_EXE, Folder() + "vantorel");
        fs::copy_file(std::string(VANTOREL_DATA_DIR) + "/phoneslist.xml", Folder() + "phoneslist.xml");
    }

    std::string Folder() const { return FProgram.Path(); }

    // The library and the three files as a previous version of the program left them: the same
    // content the program would write, laid out otherwise, so that an old file tells from a new.
    void MakeLibrary()
    {
        std::string index = "<logodirectory>";
        for (int f = 0; f < kFolders; ++f) {
            const std::string folder = "Folder " + std::to_string(f);
            fs::create_directories(Folder() + "Logo Directory/" + folder);
            index += R"(<logodirnode nodekind="folder" nodename=")" + folder +
                     R"(" frameleft="-1" frametop="-1" framewidth="-1" frameheight="-1" phonemakeid="-1" )"
                     R"(phonemodelid="-1" logowidth="128" logoheight="128" fitkind="bigger" keepproportions="yes" )"
                     R"(uploadurl="">)";
            for (int l = 0; l < kLogosPerFolder; ++l) {
                const std::string logo = "logo " + std::to_string(l) + ".png";
                WriteFile(Folder() + "Logo Directory/" + folder + "/" + logo, "");
                index +=
                    R"(<logodirnode nodekind="logo" nodename=")" + logo + R"(" frameleft=")" + std::to_string(l) +
                    R"(" frametop="2" framewidth="30" frameheight="40" phonemakeid="0" phonemodelid="3" )"
                    R"(logowidth="96" logoheight="65" fitkind="width" keepproportions="no" uploadurl="http://wap/)" +
                    std::to_string(l) + R"("/>)";
            }
            index += "</logodirnode>";
        }
        FOld[2] = index + "</logodirectory>";
        // No version check: nothing may leave the machine.
        FOld[1] = R"(<options><checknewversion value="no"/><jpegquality value="77"/></options>)";
        FOld[0] = R"(<appstate><activenodepath value="Folder 3"/></appstate>)";
        RestoreOldFiles();
    }

    void RestoreOldFiles() const
    {
        for (int i = 0; i < 3; ++i)
            WriteFile(Folder() + kSavedFiles[i], FOld[i]);
    }
    const std::string &Old(int i) const { return FOld[i]; }

    // The temporary files of saves in the program folder.
    std::vector<std::string> TempFiles() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(Folder())) {
            const std::string name = entry.path().filename();
            for (const char *saved : kSavedFiles)
                if (name.size() > std::string(saved).size() && name.rfind(std::string(saved) + ".", 0) == 0 &&
                    name.find(".damaged") == std::string::npos)
                    names.push_back(name);
        }
        return names;
    }

    // Starts the program; false when it cannot be started.
    bool Start()
    {
        std::vector<std::string> settings = {
            "QT_QPA_PLATFORM=offscreen",
            "XDG_RUNTIME_DIR=" + FRun.Path(),
            "XDG_CONFIG_HOME=" + FRun.Path() + "config",
            "XDG_DATA_HOME=" + FRun.Path() + "data",
            "DBUS_SESSION_BUS_ADDRESS=unix:path=" + FRun.Path() + "no-bus",
        };
        for (char **variable = environ; *variable; ++variable) {
            const std::string text = *variable;
            const std::string name = text.substr(0, text.find('='));
            if (name != "http_proxy" && std::none_of(settings.begin(), settings.end(),
                                                     [&](const std::string &s) { return s.rfind(name + "=", 0) == 0; }))
                settings.push_back(text);
        }
        std::vector<char *> envp;
        for (std::string &s : settings)
            envp.push_back(s.data());
        envp.push_back(nullptr);
        std::string program = Folder() + "vantorel";
        char *argv[] = {program.data(), nullptr};
        FEnded = false;
        if (::posix_spawn(&FPid, program.c_str(), nullptr, nullptr, argv, envp.data()) == 0)
            return true;
        FPid = 0;
        return false;
    }

    // The window answers a request to come to the front once start-up is over; a box of the
    // start-up answers it from its own loop.
    bool WaitForWindow()
    {
        const QString path =
            QString::fromStdString(FRun.Path() + "vantorel-" + std::to_string(::getuid()) + "-Vantorel");
        const auto end = TClock::now() + 30s;
        while (TClock::now() < end && Running()) {
            QLocalSocket socket;
            socket.connectToServer(path);
            if (socket.waitForConnected(200)) {
                socket.write("FOREGROUND\n");
                socket.flush();
                while (!socket.canReadLine() && socket.waitForReadyRead(2000)) {
                }
                if (socket.readLine().trimmed() == "OK")
                    return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    // The child is reaped by its own pid only, once; a signal never goes to a pid that may have
    // been handed to another process since.
    bool Running()
    {
        if (FPid <= 0 || FEnded)
            return false;
        pid_t done;
        do
            done = ::waitpid(FPid, &FStatus, WNOHANG);
        while (done < 0 && errno == EINTR);
        if (done == 0)
            return true;
        FEnded = true;
        return false;
    }
    void Signal(int signal)
    {
        if (Running())
            ::kill(FPid, signal);
    }

    // Waits for the end; false when it does not come in time (the program is then killed).
    bool WaitForEnd(std::chrono::milliseconds limit, int *status = nullptr)
    {
        const auto end = TClock::now() + limit;
        bool inTime = true;
        while (Running()) {
            if (TClock::now() > end) {
                ::kill(FPid, SIGKILL);
                ::waitpid(FPid, &FStatus, 0);
                FEnded = true;
                inTime = false;
                break;
            }
            std::this_thread::sleep_for(2ms);
        }
        if (status)
            *status = FStatus;
        return inTime;
    }

    ~TProgramFolder() { WaitForEnd(0ms); }

private:
    TTempDir FProgram;
    TTempDir FRun;
    std::string FOld[3];
    pid_t FPid = 0;
    bool FEnded = false;
    int FStatus = 0;
};

// A whole application state file, whichever node it names.
bool WholeAppState(const std::string &text)
{
    pugi::xml_document document;
    return document.load_string(text.c_str()) && document.child("appstate").child("activenodepath");
}

// What the kills left, over all lanes.
struct TKillTally {
    std::mutex Lock;
    int Kills = 0;
    int MixedSaves = 0;     // some files new, some old: killed in the middle of the saves
    int AllNew = 0;         // killed after the last save
    int LeftTempFiles = 0;  // kills that left a temporary file behind
    int TempFilesLeft = 0;  // temporary files found after kills, in all
    int SurvivedStarts = 0; // starts after which a temporary file was still there
    std::vector<std::string> Failures;

    void Fail(const std::string &what)
    {
        const std::lock_guard<std::mutex> lock(Lock);
        if (Failures.size() < 20)
            Failures.push_back(what);
    }
};

class CrashSafetyTest : public ::testing::Test {
protected:
    // One lane: starts, waits for the window, terminates and kills its program until the time or
    // the count is up.
    static void RunLane(TProgramFolder &lane, const std::string (&fresh)[3], std::chrono::milliseconds longestDelay,
                        unsigned seed, TClock::time_point deadline, std::atomic<int> &kills, TKillTally &tally)
    {
        std::mt19937 random(seed);
        std::uniform_int_distribution<long> delay(0, longestDelay.count());
        while (TClock::now() < deadline && kills++ < kKillsWanted) {
            lane.RestoreOldFiles(); // the leftovers of the last kill stay for the next start
            if (!lane.Start() || !lane.WaitForWindow()) {
                tally.Fail("the program did not come up");
                lane.WaitForEnd(0ms);
                continue;
            }
            if (!lane.TempFiles().empty()) {
                const std::lock_guard<std::mutex> lock(tally.Lock);
                ++tally.SurvivedStarts;
            }
            lane.Signal(SIGTERM);
            std::this_thread::sleep_for(std::chrono::milliseconds(delay(random)));
            lane.Signal(SIGKILL);
            if (!lane.WaitForEnd(10s))
                tally.Fail("a killed program did not end");

            int freshFiles = 0;
            for (int i = 0; i < 3; ++i) {
                const std::string now = ReadFile(lane.Folder() + kSavedFiles[i]);
                const bool isNew = i == 0 ? now != lane.Old(0) && WholeAppState(now) : now == fresh[i];
                if (isNew)
                    ++freshFiles;
                else if (now != lane.Old(i))
                    tally.Fail(std::string(kSavedFiles[i]) + " is neither the old file nor a whole new one (" +
                               std::to_string(now.size()) + " bytes)");
            }
            const std::size_t left = lane.TempFiles().size();
            const std::lock_guard<std::mutex> lock(tally.Lock);
            ++tally.Kills;
            tally.MixedSaves += freshFiles > 0 && freshFiles < 3;
            tally.AllNew += freshFiles == 3;
            tally.LeftTempFiles += left > 0;
            tally.TempFilesLeft += static_cast<int>(left);
        }
        // The start after the last kill clears what that one left.
        if (!lane.Start() || !lane.WaitForWindow())
            tally.Fail("the program did not come up");
        if (!lane.TempFiles().empty()) {
            const std::lock_guard<std::mutex> lock(tally.Lock);
            ++tally.SurvivedStarts;
        }
        lane.Signal(SIGKILL);
        lane.WaitForEnd(10s);
    }
};

TEST_F(CrashSafetyTest, KilledDuringItsSavesTheProgramLeavesOldOrWholeNewFilesAndNoLeftovers)
{
    std::vector<std::unique_ptr<TProgramFolder>> lanes;
    for (int i = 0; i < kLanes; ++i) {
        lanes.push_back(std::make_unique<TProgramFolder>());
        lanes.back()->MakeLibrary();
    }

    // An orderly end first: what the new files look like, and how long the saves take.
    TProgramFolder &first = *lanes.front();
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(first.WaitForWindow());
    const auto terminated = TClock::now();
    first.Signal(SIGTERM);
    int status = 0;
    ASSERT_TRUE(first.WaitForEnd(20s, &status));
    const auto orderlyEnd = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - terminated);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::string fresh[3];
    for (int i = 0; i < 3; ++i) {
        fresh[i] = ReadFile(first.Folder() + kSavedFiles[i]);
        ASSERT_NE(fresh[i], first.Old(i)) << kSavedFiles[i] << " was not written anew";
    }
    ASSERT_TRUE(WholeAppState(fresh[0]));

    // Kills spread from the termination to a little past the orderly end, so that many land in
    // the middle of the saves.
    const std::chrono::milliseconds longestDelay = orderlyEnd * 5 / 4 + 1ms;
    const auto start = TClock::now();
    std::atomic<int> kills{0};
    TKillTally tally;
    std::vector<std::thread> threads;
    for (int i = 0; i < kLanes; ++i)
        threads.emplace_back(RunLane, std::ref(*lanes[i]), std::cref(fresh), longestDelay, 1300u + i, start + kKillTime,
                             std::ref(kills), std::ref(tally));
    for (std::thread &thread : threads)
        thread.join();

    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start);

    std::printf("%d kills in %lld ms over %d lanes (orderly end %lld ms, kills up to %lld ms after the "
                "termination): %d in the middle of the saves, %d after them, %d left %d temporary files, "
                "%d starts kept one\n",
                tally.Kills, static_cast<long long>(spent.count()), kLanes, static_cast<long long>(orderlyEnd.count()),
                static_cast<long long>(longestDelay.count()), tally.MixedSaves, tally.AllNew, tally.LeftTempFiles,
                tally.TempFilesLeft, tally.SurvivedStarts);
    for (const std::string &failure : tally.Failures)
        ADD_FAILURE() << failure;
    EXPECT_GE(tally.Kills, kFewestKills);
    EXPECT_EQ(tally.SurvivedStarts, 0) << "temporary files outlived the next start";
}

TEST_F(CrashSafetyTest, AProgramWhoseStartUpFailedEndsOnTerminationWritingNothing)
{
    TProgramFolder lane;
    lane.MakeLibrary();
    fs::remove(lane.Folder() + "phoneslist.xml");
    ASSERT_TRUE(lane.Start());
    // The start-up failure's box is open and answers from its own loop.
    ASSERT_TRUE(lane.WaitForWindow());
    lane.Signal(SIGTERM);
    int status = 0;
    ASSERT_TRUE(lane.WaitForEnd(15s, &status)) << "still running 15 s after the termination";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ReadFile(lane.Folder() + kSavedFiles[i]), lane.Old(i)) << kSavedFiles[i];
    EXPECT_TRUE(lane.TempFiles().empty());
}

} // namespace
} // namespace vantorel
