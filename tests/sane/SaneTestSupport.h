#pragma once

// What the tests of the SANE source manager share: SANE's "test" device configured in a private
// SANE_CONFIG_DIR (made by the test's main), the manager installed as "TWAIN_32.DLL" with its
// helper program in a temporary Windows folder, the wrapper's boxes recorded, and steps run on a dialog of the
// manager from a timer while the wrapper's loop runs.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "Bitmap.h"
#include "ImageCodecs.h"
#include "MultiTWAIN.h"
#include "TestSupport.h"
#include "TwainMemory.h"

namespace vantorel::test {

// Only the test backend; its picture of 59 x 29 pixels needs row padding at every depth.
inline void ConfigureSane(const std::string &extra = {}, const std::string &backends = "test\n")
{
    const std::string folder = std::getenv("SANE_CONFIG_DIR");
    WriteFile(folder + "/dll.conf", backends);
    WriteFile(folder + "/test.conf", "number_of_devices 1\nmode Color\ndepth 8\nresolution 75.0\n"
                                     "test-picture \"Color pattern\"\nbr_x 20.0\nbr_y 10.0\n" +
                                         extra);
}

// The manager and its helper program, as they are installed together.
inline void InstallManager(const std::filesystem::path &folder)
{
    std::filesystem::copy_file(SANE_MANAGER, folder / "TWAIN_32.DLL");
    std::filesystem::copy_file(SANE_HELPER, folder / std::filesystem::path(SANE_HELPER).filename());
}

// scanimage's picture of test:0 as the bitmap a DIB is drawn into, kept as a file: scanimage itself
// now and then hangs when SANE cancels the test backend's reader thread. Each is the output of
// `scanimage -d test:0 --format=pnm` with ConfigureSane's settings and (colour) "--mode Color
// --depth 8", (grey) "--mode Gray --depth 8", (black-and-white) "--mode Gray --depth 1",
// (colour-16-bits) "depth 16" and "--mode Color --depth 16", the high bytes, (hand-scanner)
// "hand-scanner true" and "--mode Gray", drawn into a bitmap and saved as PNG.
inline TBitmap ScanimagePicture(const std::string &name)
{
    return ReadPicture(std::string(SANE_PICTURES) + "/" + name + ".png");
}

inline TBitmap BitmapOfDib(TW_HANDLE dib)
{
    TBitmap picture(TWAIN_DibWidth(dib), TWAIN_DibHeight(dib));
    DrawDibToImage(dib, picture);
    return picture;
}

inline QDialog *FindDialog(const char *objectName)
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String(objectName) && widget->isVisible())
            return qobject_cast<QDialog *>(widget);
    return nullptr;
}

// A step on a dialog; false to be run again at the next tick.
using TStep = std::function<bool(QDialog *)>;

inline bool PressScan(QDialog *dialog)
{
    auto *scan = dialog->findChild<QPushButton *>(QStringLiteral("ScanButton"));
    return scan && scan->isEnabled() && (scan->click(), true);
}

inline bool PressCancel(QDialog *dialog)
{
    dialog->findChild<QPushButton *>(QStringLiteral("CancelButton"))->click();
    return true;
}

class TSaneTestBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        ConfigureSane();
        std::filesystem::remove(std::string(std::getenv("XDG_CONFIG_HOME")) + "/vantorel/twainsource");
        InstallManager(Folder.Path());
        TWAIN_SetWindowsFolder(Folder.Path());
        TWAIN_SetBoxHandler(
            [this](const std::string &, const std::string &text, TTwainBoxIcon) { Boxes.push_back(text); });
        Window.show();
        Handle = Window.winId();
        QObject::connect(&Driver, &QTimer::timeout, [this] {
            QDialog *dialog = FindDialog(DriverDialog);
            while (dialog && !Steps.empty() && Steps.front()(dialog))
                Steps.erase(Steps.begin());
            // A scan that failed when no step is left to take it would leave the source's dialog
            // waiting for ever: the test fails with the reason and the dialog is left.
            const auto *message =
                dialog && dialog->isVisible() ? dialog->findChild<QLabel *>(QStringLiteral("MessageLabel")) : nullptr;
            if (Steps.empty() && message && message->text().startsWith(QStringLiteral("Scanning failed"))) {
                ADD_FAILURE() << message->text().toStdString() << " with no step left";
                PressCancel(dialog);
            }
        });
        Driver.start(10);
    }
    void TearDown() override
    {
        Driver.stop();
        TWAIN_SetBoxHandler({});
        EXPECT_EQ(TWAIN_State(), 1);
    }

    // The steps run on the dialog with that object name, each once it is up.
    void Drive(std::vector<TStep> steps, const char *dialog = "SaneSourceDialog")
    {
        Steps = std::move(steps);
        DriverDialog = dialog;
    }
    TW_HANDLE Acquire(std::uint32_t mask, std::vector<TStep> steps)
    {
        Drive(std::move(steps));
        return TWAIN_AcquireNative(Handle, mask);
    }

    TTempDir Folder;
    std::vector<std::string> Boxes;
    QWidget Window;
    WId Handle = 0;
    QTimer Driver;
    const char *DriverDialog = "SaneSourceDialog";
    std::vector<TStep> Steps;
};

} // namespace vantorel::test
