#include <QApplication>

#include <gtest/gtest.h>

#include "TestManager.h"

namespace vantorel::test {
TManagerScript GManagerScript;
} // namespace vantorel::test

// The scripted manager library reads the test's script through this export.
extern "C" __attribute__((visibility("default"))) vantorel::test::TManagerScript *VantorelTestManagerScript()
{
    return &vantorel::test::GManagerScript;
}

// The wrapper's nested loop and its windows need a Qt application object.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
