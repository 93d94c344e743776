// How long a colour scan of an A4 page's worth of pixels at 300 dpi takes, from Scan to the
// picture in the application's hands, through the source manager in the folder given. SANE's test
// device scans at most 200 x 200 mm: at 375 dpi that is 2953 x 2953 pixels, as many as A4's
// 2480 x 3508. Prints one line per scan; bench/sane-scan-timing.sh runs it. Never a test.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "MultiTWAIN.h"
#include "TestSupport.h"

using namespace vantorel;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER_OF_TWAIN_32.DLL [SCANS]\n", argv[0]);
        return 2;
    }
    test::TTempDir sane, config;
    ::setenv("SANE_CONFIG_DIR", sane.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    test::WriteFile(sane / "dll.conf", "test\n");
    test::WriteFile(sane / "test.conf", "number_of_devices 1\nmode Color\ndepth 8\nresolution 375.0\n"
                                        "test-picture \"Color pattern\"\nbr_x 200.0\nbr_y 200.0\n");
    const int scans = argc > 2 ? std::atoi(argv[2]) : 3;
    TWAIN_SetWindowsFolder(argv[1]);
    QWidget window;
    window.show();

    std::chrono::steady_clock::time_point pressed;
    bool scanning = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *scan = widget->findChild<QPushButton *>(QStringLiteral("ScanButton"));
            if (!scanning && widget->objectName() == QLatin1String("SaneSourceDialog") && widget->isVisible() && scan &&
                scan->isEnabled()) {
                scanning = true;
                pressed = std::chrono::steady_clock::now();
                scan->click();
            }
        }
    });
    driver.start(5);
    for (int i = 0; i < scans; ++i) {
        scanning = false;
        TW_HANDLE dib = TWAIN_AcquireNative(window.winId(), 0);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - pressed).count();
        std::printf("%.1f ms %d x %d\n", ms, TWAIN_DibWidth(dib), TWAIN_DibHeight(dib));
        if (!dib)
            return 1;
        TWAIN_FreeNative(dib);
    }
    return 0;
}
