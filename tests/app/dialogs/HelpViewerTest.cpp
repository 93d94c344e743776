#include "HelpViewer.h"

#include <filesystem>
#include <string>

#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace vantorel {
namespace {

using test::TTempDir;
using test::WriteFile;

TEST(HelpViewer, ShowsTheHelpFileAsAPageOfItsOwn)
{
    TTempDir folder;
    WriteFile(folder / "vantorelhelp.hlp", "<html><body><h1>Vantorel Help</h1><p>Logo Directory</p></body></html>");
    THelpViewer viewer(folder / "vantorelhelp.hlp");
    viewer.ShowContents();
    EXPECT_TRUE(viewer.isVisible());
    EXPECT_TRUE(viewer.isWindow());
    EXPECT_EQ(viewer.windowTitle(), "Vantorel Help");
    EXPECT_TRUE(viewer.Browser->toPlainText().contains("Logo Directory"));
    EXPECT_FALSE(viewer.Browser->toPlainText().contains("<h1>"));
}

TEST(HelpViewer, ReadsTheFileAnewOnEveryShowing)
{
    TTempDir folder;
    const std::string path = folder / "vantorelhelp.hlp";
    WriteFile(path, "<p>first edition</p>");
    THelpViewer viewer(path);
    viewer.ShowContents();
    WriteFile(path, "<p>second edition, \xc3\xa9t\xc3\xa9</p>");
    viewer.ShowContents();
    EXPECT_EQ(viewer.Browser->toPlainText(), QString::fromUtf8("second edition, \xc3\xa9t\xc3\xa9"));
}

TEST(HelpViewer, AMissingFileIsNamedInsteadOfAnEmptyPage)
{
    TTempDir folder;
    const std::string path = folder / "vantorelhelp.hlp";
    for (const bool isFolder : {false, true}) {
        if (isFolder)
            std::filesystem::create_directory(path);
        THelpViewer viewer(path);
        viewer.ShowContents();
        EXPECT_TRUE(viewer.isVisible());
        const QString text = viewer.Browser->toPlainText();
        EXPECT_TRUE(text.contains("could not be opened")) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromStdString(path))) << text.toStdString();
    }
}

TEST(HelpViewer, AContentsLinkMovesWithinThePage)
{
    TTempDir folder;
    std::string page = "<p><a href=\"#faq\">FAQ</a></p>";
    for (int i = 0; i < 200; ++i)
        page += "<p>line " + std::to_string(i) + "</p>";
    page += "<h2><a name=\"faq\"></a>FAQ</h2><p>answers</p>";
    WriteFile(folder / "vantorelhelp.hlp", page);
    THelpViewer viewer(folder / "vantorelhelp.hlp");
    viewer.ShowContents();
    QScrollBar *bar = viewer.Browser->verticalScrollBar();
    ASSERT_EQ(bar->value(), 0);
    emit viewer.Browser->anchorClicked(QUrl(QStringLiteral("#faq")));
    EXPECT_GT(bar->value(), bar->maximum() / 2);
    EXPECT_TRUE(viewer.Browser->toPlainText().startsWith("FAQ"));
}

TEST(HelpViewer, QuitAndEscapeCloseTheWindowAndItCanBeShownAgain)
{
    TTempDir folder;
    WriteFile(folder / "vantorelhelp.hlp", "<p>help</p>");
    THelpViewer viewer(folder / "vantorelhelp.hlp");
    viewer.Quit();
    EXPECT_FALSE(viewer.isVisible());
    viewer.ShowContents();
    viewer.Quit();
    EXPECT_FALSE(viewer.isVisible());
    viewer.ShowContents();
    EXPECT_TRUE(viewer.isVisible());
    QTest::keyClick(viewer.Browser, Qt::Key_Escape);
    EXPECT_FALSE(viewer.isVisible());
}

// Wherever the window manager put it and however large it was, the help opens wholly on the free
// area of the main window's screen, frame included.
TEST(HelpViewer, OpensWhollyOnTheMainWindowsScreen)
{
    TTempDir folder;
    WriteFile(folder / "vantorelhelp.hlp", "<p>help</p>");
    QWidget main;
    main.show();
    const QRect area = main.screen()->availableGeometry();
    const QRect placements[] = {{area.bottomRight() - QPoint(639, 519), QSize(640, 520)}, // in the corner
                                {area.topLeft() - QPoint(2000, 2000), QSize(640, 520)},   // off the screen
                                {area.topLeft(), area.size() + QSize(100, 100)}};         // too large
    for (const QRect &placed : placements) {
        THelpViewer viewer(folder / "vantorelhelp.hlp", &main);
        viewer.setGeometry(placed);
        viewer.ShowContents();
        EXPECT_TRUE(area.contains(viewer.frameGeometry())) << placed.x() << "," << placed.y();
    }
}

} // namespace
} // namespace vantorel
