#include <cstdlib>

#include <QApplication>

#include <gtest/gtest.h>

#include "TestSupport.h"

// SANE reads its configuration from a private folder, so nothing probes the network or a real
// scanner, and the default source is kept in a private configuration folder. The wrapper's loop
// and the source's dialogs need a Qt application object.
int main(int argc, char **argv)
{
    vantorel::test::TTempDir sane, config;
    ::setenv("SANE_CONFIG_DIR", sane.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
