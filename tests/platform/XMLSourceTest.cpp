#include "XMLSource.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace vantorel {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

class XMLSourceTest : public ::testing::Test {
protected:
    void Open(const std::string &content)
    {
        WriteFile(FDir / "f.xml", content);
        FXml.SetFileName(FDir / "f.xml");
        FXml.Open();
    }

    TTempDir FDir;
    TXMLSource FXml;
};

TEST_F(XMLSourceTest, ReadsElementsAttributesAndSkippableNodes)
{
    Open(R"(<?xml version="1.0"?><root a="1"><!-- note --><child name="x &amp; y"/>text<other/></root>)");
    const TXMLNode root = FXml.DocumentElement();
    EXPECT_EQ(root.NodeName(), "root");
    EXPECT_EQ(root.GetAttribute("a"), "1");
    EXPECT_EQ(root.GetAttribute("A"), ""); // attribute names are exact
    EXPECT_EQ(root.GetAttribute("missing"), "");
    std::vector<std::string> names;
    for (const TXMLNode &child : root.ChildNodes())
        names.push_back(child.IsElement() ? child.NodeName() : "(other)");
    EXPECT_EQ(names, (std::vector<std::string>{"child", "(other)", "other"}));
    EXPECT_EQ(root.ChildNodes()[0].GetAttribute("name"), "x & y");
}

TEST_F(XMLSourceTest, RefusesWhatIsNotOneWellFormedDocument)
{
    const char *bad[] = {"",
                         "   ",
                         "<root>",
                         "<root></other>",
                         "<a/><b/>",
                         "text before<root/>",
                         "<root/>text after",
                         "\x89PNG\r\n\x1a\n\x00\x00binary"};
    for (const char *content : bad) {
        EXPECT_THROW(Open(content), EXMLError) << content;
        FXml.Close();
    }
}

TEST_F(XMLSourceTest, RefusesMissingFilesFoldersAndFilesOverTheLimit)
{
    FXml.SetFileName(FDir / "absent.xml");
    EXPECT_THROW(FXml.Open(), EXMLError);
    std::filesystem::create_directories(FDir / "folder.xml");
    FXml.SetFileName(FDir / "folder.xml");
    EXPECT_THROW(FXml.Open(), EXMLError);

    FXml.SetMaxFileSize(100);
    EXPECT_THROW(Open("<root>" + std::string(200, ' ') + "</root>"), EXMLError);
    EXPECT_NO_THROW(Open("<root/>"));
}

TEST_F(XMLSourceTest, DeepNestingParsesWithoutExhaustingTheStack)
{
    std::string deep;
    const int levels = 100000;
    for (int i = 0; i < levels; ++i)
        deep += "<n>";
    for (int i = 0; i < levels; ++i)
        deep += "</n>";
    EXPECT_NO_THROW(Open(deep));
    FXml.Close();
}

TEST_F(XMLSourceTest, ReadScopeClosesTheDocumentOnEveryWayOut)
{
    WriteFile(FDir / "bad.xml", "<root>");
    EXPECT_THROW(TXMLReadScope(FXml, FDir / "bad.xml"), EXMLError);
    EXPECT_FALSE(FXml.Active());
    EXPECT_EQ(FXml.FileName(), "");
    WriteFile(FDir / "good.xml", "<root/>");
    {
        TXMLReadScope scope(FXml, FDir / "good.xml");
        EXPECT_TRUE(FXml.Active());
    }
    EXPECT_FALSE(FXml.Active());
    EXPECT_EQ(FXml.FileName(), "");
}

TEST_F(XMLSourceTest, SavedTextsSurviveTheRoundTrip)
{
    FXml.SetFileName("");
    FXml.Open();
    TXMLNode root = FXml.CreateDocumentElement("root");
    const std::string awkward = "a\"b'<c>&d\te\nf\r g \xC3\xA9\xE6\x97\xA5";
    root.AddChild("item").SetAttribute("value", awkward);
    root.AddChild("item").SetAttribute("value", -2147483647 - 1);
    FXml.SaveToFile(FDir / "round.xml");
    FXml.Close();

    FXml.SetFileName(FDir / "round.xml");
    FXml.Open();
    const auto items = FXml.DocumentElement().ChildNodes();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].GetAttribute("value"), awkward);
    EXPECT_EQ(items[1].GetAttribute("value"), "-2147483648");
}

TEST_F(XMLSourceTest, FailedSaveLeavesThePreviousFileWholeAndNoLeftovers)
{
    WriteFile(FDir / "keep/state.xml", "<previous/>");
    FXml.SetFileName("");
    FXml.Open();
    FXml.CreateDocumentElement("new");
    // The save cannot replace a folder that holds something: the rename fails after the
    // temporary file was written.
    std::filesystem::create_directories(FDir / "keep/busy.xml/inside");
    EXPECT_THROW(FXml.SaveToFile(FDir / "keep/busy.xml"), EXMLError);
    EXPECT_THROW(FXml.SaveToFile(FDir / "missing-folder/state.xml"), EXMLError);
    {
        // A full disk: the report names the reason of the failed write.
        test::TFileSizeLimit limit(4);
        try {
            FXml.SaveToFile(FDir / "keep/state.xml");
            ADD_FAILURE() << "saved";
        } catch (const EXMLError &e) {
            EXPECT_EQ(std::string(e.what()), "Cannot write " + (FDir / "keep/state.xml") + ": File too large");
        }
        EXPECT_EQ(ReadFile(FDir / "keep/state.xml"), "<previous/>");
    }
    FXml.SaveToFile(FDir / "keep/state.xml");
    EXPECT_NE(ReadFile(FDir / "keep/state.xml").find("<new />"), std::string::npos);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(FDir / "keep"))
        ++entries;
    EXPECT_EQ(entries, 2u); // state.xml and busy.xml: no temporary file stays behind
}

TEST_F(XMLSourceTest, SaveKeepsTheFilePermissionsAndGivesNewFilesTheirOwn)
{
    FXml.SetFileName("");
    FXml.Open();
    FXml.CreateDocumentElement("new");
    FXml.SaveToFile(FDir / "private.xml", 0600);
    EXPECT_EQ(std::filesystem::status(FDir / "private.xml").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    WriteFile(FDir / "p.xml", "<old/>");
    std::filesystem::permissions(FDir / "p.xml", std::filesystem::perms(0640));
    FXml.SaveToFile(FDir / "p.xml");
    EXPECT_EQ(std::filesystem::status(FDir / "p.xml").permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0640));
}

} // namespace
} // namespace vantorel
