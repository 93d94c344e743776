// Scans through the real wrapper from SANE's test device: each picture must equal scanimage's for
// the same settings, every way out of the source's dialog must leave the next acquisition
// working, and nothing of the manager may stay behind.
#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include <QLabel>
#include <QWindow>

#include "SaneTestSupport.h"

namespace vantorel::test {
namespace {

class SaneScanTest : public TSaneTestBase {};

TEST_F(SaneScanTest, ScansEqualScanimagesPictureForTheSameSettings)
{
    const struct {
        const char *Description;
        std::string Conf;    // added to the picture's settings
        std::uint32_t Mask;  // the pixel types the application allows
        const char *Picture; // scanimage's for the same settings
        std::uint16_t BitCount;
    } cases[] = {
        {"colour", "", 0x4, "colour", 24},
        {"grey", "", 0x2, "grey", 8},
        {"black and white: a grey mode of one bit", "", 0x1, "black-and-white", 1},
        {"the device's own mode without negotiation", "mode Gray\n", 0, "grey", 8},
        {"colour of 16 bits", "depth 16\n", 0x4, "colour-16-bits", 24},
        {"three frames merged", "three-pass true\nthree-pass-order GBR\n", 0x4, "colour", 24},
        {"a height told by the end of the data", "hand-scanner true\n", 0x2, "hand-scanner", 8},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Description);
        ConfigureSane(c.Conf);
        TW_HANDLE dib = Acquire(c.Mask, {PressScan});
        ASSERT_TRUE(TWAIN_DibFitsBlock(dib));
        const auto *header = static_cast<const BITMAPINFOHEADER *>(GlobalLock(dib));
        EXPECT_EQ(header->biBitCount, c.BitCount);
        EXPECT_EQ(header->biXPelsPerMeter, 2953); // 75 dpi
        const TBitmap expected = ScanimagePicture(c.Picture);
        EXPECT_GT(expected.Width(), 0);
        EXPECT_TRUE(BitmapOfDib(dib) == expected);
        TWAIN_FreeNative(dib);
    }
    EXPECT_TRUE(Boxes.empty());
}

// A whole scan of this one takes over ten seconds.
const std::string SlowScan =
    "mode Gray\nbr_x 200.0\nbr_y 200.0\nread-limit true\nread-limit-size 1000\nread-delay true\n"
    "read-delay-duration 200000\n";

// The helper program that this process started, or 0.
pid_t HelperProcess()
{
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t name = line.find(" (vantorel-sane-h"), end = line.rfind(") ");
        if (name == std::string::npos || end == std::string::npos)
            continue;
        std::istringstream fields(line.substr(end + 2));
        char state = 0;
        pid_t parent = 0;
        fields >> state >> parent;
        if (parent == ::getpid() && state != 'Z')
            return static_cast<pid_t>(std::stol(line));
    }
    return 0;
}

TEST_F(SaneScanTest, EveryWayOutWithoutAPictureShowsNoBoxAndTheNextScanWorks)
{
    auto usableAboveTheDisabledWindow = [this](QDialog *dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Noname frontend-tester");
        EXPECT_FALSE(dialog->isModal());
        EXPECT_EQ(dialog->parentWidget(), nullptr);
        EXPECT_EQ(dialog->windowHandle()->transientParent(), Window.windowHandle());
        EXPECT_FALSE(Window.isEnabled());
        EXPECT_TRUE(dialog->isEnabled());
        EXPECT_EQ(dialog->findChild<QPushButton *>("ScanButton")->text(), "Scan");
        EXPECT_EQ(dialog->findChild<QPushButton *>("CancelButton")->text(), "Cancel");
        return true;
    };
    QString error;
    auto errorShown = [&](QDialog *dialog) {
        error = dialog->findChild<QLabel *>("MessageLabel")->text();
        return !error.isEmpty() && dialog->findChild<QPushButton *>("ScanButton")->isEnabled();
    };
    const struct {
        const char *Description;
        std::string Conf;
        std::vector<TStep> Steps;
    } cases[] = {
        {"Cancel before scanning", "", {usableAboveTheDisabledWindow, PressCancel}},
        {"the window closed", "", {[](QDialog *dialog) { return dialog->close(); }}},
        {"Cancel during a scan", SlowScan, {PressScan, PressCancel}},
        // The helper never answers the cancel: it is killed once its time is up.
        {"Cancel during a scan whose helper is stopped",
         SlowScan,
         {PressScan,
          [](QDialog *) {
              const pid_t helper = HelperProcess();
              return helper > 0 && ::kill(helper, SIGSTOP) == 0;
          },
          PressCancel}},
        {"a failed scan, then Cancel",
         "read-status-code \"SANE_STATUS_JAMMED\"\n",
         {PressScan, errorShown, PressCancel}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Description);
        ConfigureSane(c.Conf);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Acquire(0, c.Steps), nullptr);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
        EXPECT_EQ(HelperProcess(), 0); // ended, or killed and reaped
        EXPECT_TRUE(Window.isEnabled());
        ConfigureSane();
        TW_HANDLE dib = Acquire(0, {PressScan});
        EXPECT_EQ(TWAIN_DibWidth(dib), 59);
        TWAIN_FreeNative(dib);
    }
    EXPECT_EQ(error, "Scanning failed: Document feeder jammed");
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(SaneScanTest, AHelperKilledDuringAScanFailsItAndTheNextScanWorks)
{
    std::chrono::steady_clock::time_point scanStarted;
    pid_t killed = 0;
    QString error;
    auto killHelperHalfASecondIn = [&](QDialog *) {
        killed = HelperProcess();
        return std::chrono::steady_clock::now() - scanStarted > std::chrono::milliseconds(500) && killed > 0 &&
               ::kill(killed, SIGKILL) == 0;
    };
    auto errorShown = [&](QDialog *dialog) {
        error = dialog->findChild<QLabel *>("MessageLabel")->text();
        ConfigureSane(); // for the next helper
        return dialog->findChild<QPushButton *>("ScanButton")->isEnabled();
    };
    const struct {
        const char *Description;
        TStep After; // once the failure shows
        bool SameDialog;
    } cases[] = {
        {"the next scan in the same dialog", PressScan, true},
        {"the next acquisition", PressCancel, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Description);
        // Half a second in, the scan is running.
        ConfigureSane(SlowScan);
        std::vector<TStep> steps{[&](QDialog *dialog) {
                                     return PressScan(dialog) && (scanStarted = std::chrono::steady_clock::now(), true);
                                 },
                                 killHelperHalfASecondIn, errorShown, c.After};
        TW_HANDLE dib = Acquire(0, steps);
        EXPECT_EQ(error, "Scanning failed: Error during device I/O");
        EXPECT_EQ(dib != nullptr, c.SameDialog);
        if (!c.SameDialog)
            dib = Acquire(0, {PressScan});
        EXPECT_EQ(TWAIN_DibWidth(dib), 59);
        TWAIN_FreeNative(dib);
        EXPECT_EQ(HelperProcess(), 0);
        EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(killed))); // reaped
    }
    EXPECT_TRUE(Boxes.empty());
    // Every scan ran in a helper: nothing of SANE ever came into this process.
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        EXPECT_EQ(line.find("libsane"), std::string::npos) << line;
}

TEST_F(SaneScanTest, WithoutDevicesEveryTryShowsOneBox)
{
    ConfigureSane({}, "# no backends\n");
    for (int attempt = 1; attempt <= 2; ++attempt) {
        EXPECT_EQ(TWAIN_AcquireNative(Handle, 0), nullptr);
        EXPECT_EQ(Boxes, std::vector<std::string>(attempt, "Unable to open default Data Source."));
        EXPECT_EQ(TWAIN_LastError().ConditionCode, TWCC_NODS);
    }
}

// How many mappings of the manager and of SANE's backends the process has, and how many threads.
// libsane itself stays once used.
int ManagerMappings()
{
    std::ifstream maps("/proc/self/maps");
    int found = 0;
    for (std::string line; std::getline(maps, line);)
        found += line.find("TWAIN_32.DLL") != std::string::npos || line.find("/libsane-") != std::string::npos;
    return found;
}

auto ThreadCount()
{
    return std::distance(std::filesystem::directory_iterator("/proc/self/task"), std::filesystem::directory_iterator());
}

TEST_F(SaneScanTest, NothingOfTheManagerOutlivesTheAcquisition)
{
    int whileLoaded = 0;
    // The first use also lets Qt start what it keeps for later windows.
    TWAIN_FreeNative(Acquire(0, {[&](QDialog *) { return (whileLoaded = ManagerMappings()) > 0; }, PressScan}));
    EXPECT_GT(whileLoaded, 0);
    const auto threads = ThreadCount();
    TW_HANDLE dib = Acquire(0, {PressScan});
    EXPECT_EQ(ManagerMappings(), 0);
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_EQ(TWAIN_DibWidth(dib), 59); // the picture is the caller's: it outlives its maker
    TWAIN_FreeNative(dib);
    QApplication::processEvents(); // news left queued by the unloaded library would run now
}

} // namespace
} // namespace vantorel::test
