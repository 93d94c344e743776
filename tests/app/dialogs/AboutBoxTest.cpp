#include "AboutBox.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(AboutBox, ShowsTheProgramsNameVersionAndPicture)
{
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), "About");
    EXPECT_EQ(box.ProductName->text(), "Vantorel");
    EXPECT_EQ(box.Version->text(), "Version: 1.1.4");
    EXPECT_FALSE(box.Comments->text().isEmpty());
    EXPECT_EQ(box.ProgramIcon->size(), QSize(265, 161));
    EXPECT_FALSE(box.ProgramIcon->pixmap().isNull());
    // The labels sit on the raised panel.
    auto *panel = qobject_cast<QFrame *>(box.ProductName->parentWidget());
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->frameShadow(), QFrame::Raised);
}

TEST(AboutBox, OkIsTheDefaultAndAccepts)
{
    TAboutBox box;
    EXPECT_EQ(box.OKButton->text(), "OK");
    EXPECT_TRUE(box.OKButton->isDefault());
    QSignalSpy accepted(&box, &QDialog::accepted);
    box.show();
    box.OKButton->click();
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_EQ(box.result(), QDialog::Accepted);
    EXPECT_FALSE(box.isVisible());
}

TEST(AboutBox, CannotBeResized)
{
    TAboutBox box;
    box.show();
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
}

} // namespace
} // namespace vantorel
