#include <QApplication>

#include <gtest/gtest.h>

#include "HTTPConnection.h"

// Each run has a private session bus and folders of its own (run-on-private-bus.sh); the tests'
// main thread is the program's UI thread.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    vantorel::InitHTTPLibrary();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
