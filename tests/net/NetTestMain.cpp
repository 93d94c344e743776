#include <QCoreApplication>

#include <gtest/gtest.h>

#include "HTTPConnection.h"

// The exchanges hand their completion to the thread that runs the Qt event loop: the tests' main
// thread plays the UI thread.
int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    vantorel::InitHTTPLibrary();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
