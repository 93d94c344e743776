#include "InstanceChannel.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace vantorel {
namespace {

class InstanceChannelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FSaved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(FRun.Path()));
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", FSaved); }

    test::TTempDir FRun;
    QByteArray FSaved;
};

TEST_F(InstanceChannelTest, ASecondListenerNeverTakesTheNameFromALiveOne)
{
    TInstanceChannel first;
    ASSERT_TRUE(first.Listen(QStringLiteral("Title")));
    TInstanceChannel second;
    EXPECT_FALSE(second.Listen(QStringLiteral("Title")));
    EXPECT_TRUE(test::Exists(TInstanceChannel::SocketPath(QStringLiteral("Title")).toStdString()));
}

TEST_F(InstanceChannelTest, ALeftoverSocketIsTakenOver)
{
    {
        TInstanceChannel gone;
        ASSERT_TRUE(gone.Listen(QStringLiteral("Title")));
    }
    // A socket file nobody answers, as a program that did not end in order leaves it.
    test::WriteFile(TInstanceChannel::SocketPath(QStringLiteral("Title")).toStdString(), "");
    TInstanceChannel next;
    EXPECT_TRUE(next.Listen(QStringLiteral("Title")));
    EXPECT_FALSE(TInstanceChannel::FindAndBringToFront(QStringLiteral("Other")));
}

} // namespace
} // namespace vantorel
