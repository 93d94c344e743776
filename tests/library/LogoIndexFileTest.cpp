#include "LogoIndexFile.h"

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "TestSupport.h"

namespace vantorel {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

const char *const kLoadError = "Error loading mobile logo directory.";
const char *const kCorrupt = "The file of mobile logo directory is corrupt.";
const char *const kSaveError = "Unable to save mobile directory";

// The tree below a node in one line: a logo by its name, a folder as "name/[children]".
std::string Outline(const TLogoNode *node)
{
    std::string text;
    for (int i = 0; i < node->Count(); ++i) {
        const TLogoNode *child = node->Item(i);
        if (!text.empty())
            text += ' ';
        text += child->Text();
        if (child->Kind() == nkFolder)
            text += "/[" + Outline(child) + "]";
    }
    return text;
}

std::string Describe(const TLogoDirObject &o)
{
    return "frame=" + std::to_string(o.FrameLeft) + "," + std::to_string(o.FrameTop) + "," +
           std::to_string(o.FrameWidth) + "x" + std::to_string(o.FrameHeight) +
           " phone=" + std::to_string(o.PhoneMakeId) + "/" + std::to_string(o.PhoneModelId) +
           " size=" + std::to_string(o.LogoWidth) + "x" + std::to_string(o.LogoHeight) +
           " fit=" + std::to_string(static_cast<int>(o.FitKind)) + " keep=" + (o.KeepProportions ? "yes" : "no") +
           " url=" + o.UploadURL;
}

class LogoIndexFileTest : public ::testing::Test {
protected:
    LogoIndexFileTest() { Tree.CreateRootNode(); }

    std::string Library(const std::string &relative = {}) const
    {
        return Dir / (std::string(kRootText) + "/" + relative);
    }
    void MakeFile(const std::string &relative) const { WriteFile(Library(relative), ""); }
    void MakeFolder(const std::string &relative) const { std::filesystem::create_directories(Library(relative)); }
    std::string IndexPath() const { return Dir / kLogoIndexFileName; }
    void WriteIndex(const std::string &content) const { WriteFile(IndexPath(), content); }

    void Load() { LoadLogoDirectory(Tree, Xml, Prompts); }
    void Save() { SaveLogoDirectory(Tree, Xml, Prompts); }

    // Adds a node and its disk entry, so that a reader keeps it.
    TLogoNode *AddFolder(TLogoNode *parent, const std::string &name)
    {
        TLogoNode *node = Tree.AddChild(parent, std::make_unique<TLogoDirObject>(nkFolder, name));
        std::filesystem::create_directories(Tree.GetNodePath(node));
        return node;
    }
    TLogoNode *AddLogo(TLogoNode *parent, TLogoDirObject record)
    {
        record.Kind = nkLogo;
        TLogoNode *node = Tree.AddChild(parent, std::make_unique<TLogoDirObject>(record));
        WriteFile(Tree.GetNodePath(node), "");
        return node;
    }

    void ExpectDocumentClosed() const
    {
        EXPECT_FALSE(Xml.Active());
        EXPECT_TRUE(Xml.FileName().empty());
    }

    TTempDir Dir;
    TLogoTree Tree{Dir.Path()};
    TXMLSource Xml;
    TScriptedPromptService Prompts;
};

// ---- Which entries become nodes ----

struct EntryCase {
    const char *Name;
    const char *Entries; // inside <logodirectory>
    const char *Outline;
};

class LogoIndexEntryTest : public LogoIndexFileTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(LogoIndexEntryTest, KeepsOnlyEntriesThatStandForDiskEntries)
{
    // On disk: a.jpg, b.jpg, F/c.jpg, F/G/d.jpg and the empty folder E.
    MakeFile("a.jpg");
    MakeFile("b.jpg");
    MakeFile("F/c.jpg");
    MakeFile("F/G/d.jpg");
    MakeFolder("E");
    WriteIndex(std::string("<?xml version=\"1.0\"?>\n<logodirectory>") + GetParam().Entries + "</logodirectory>");
    Load();
    EXPECT_EQ(Outline(Tree.Root()), GetParam().Outline);
    EXPECT_TRUE(Prompts.Texts().empty());
    EXPECT_TRUE(Tree.Root()->Expanded());
    ExpectDocumentClosed();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogoIndexEntryTest,
    ::testing::Values(
        EntryCase{"InIndexOrder",
                  R"(<logodirnode nodekind="logo" nodename="b.jpg"/><logodirnode nodekind="folder" nodename="E"/>
                     <logodirnode nodekind="logo" nodename="a.jpg"/>)",
                  "b.jpg E/[] a.jpg"},
        EntryCase{"NestedFolders",
                  R"(<logodirnode nodekind="folder" nodename="F">
                       <logodirnode nodekind="folder" nodename="G">
                         <logodirnode nodekind="logo" nodename="d.jpg"/>
                       </logodirnode>
                       <logodirnode nodekind="logo" nodename="c.jpg"/>
                     </logodirnode>)",
                  "F/[G/[d.jpg] c.jpg]"},
        EntryCase{"ElementNamesInAnyCase",
                  R"(<LogoDirNode nodekind="logo" nodename="a.jpg"/><LOGODIRNODE nodekind="logo" nodename="b.jpg"/>)",
                  "a.jpg b.jpg"},
        EntryCase{"KindWordInAnyCase",
                  R"(<logodirnode nodekind="Logo" nodename="a.jpg"/><logodirnode nodekind="FOLDER" nodename="E"/>)",
                  "a.jpg E/[]"},
        EntryCase{"AttributeNamesMatchExactly",
                  R"(<logodirnode nodekind="logo" NodeName="a.jpg"/><logodirnode NodeKind="logo" nodename="b.jpg"/>)",
                  ""},
        EntryCase{"KindOrNameMissingOrEmpty",
                  R"(<logodirnode nodename="a.jpg"/><logodirnode nodekind="logo"/>
                     <logodirnode nodekind="" nodename="a.jpg"/><logodirnode nodekind="folder" nodename=""/>)",
                  ""},
        EntryCase{
            "UnknownKindWord",
            R"(<logodirnode nodekind="picture" nodename="a.jpg"/><logodirnode nodekind=" logo" nodename="a.jpg"/>)",
            ""},
        EntryCase{
            "LogoWithoutItsFile",
            R"(<logodirnode nodekind="logo" nodename="gone.jpg"/><logodirnode nodekind="logo" nodename="b.jpg"/>)",
            "b.jpg"},
        EntryCase{"KindMustMatchTheDiskEntry",
                  R"(<logodirnode nodekind="logo" nodename="E"/><logodirnode nodekind="folder" nodename="a.jpg"/>)",
                  ""},
        EntryCase{"LogoLooksInItsOwnFolderOnly",
                  R"(<logodirnode nodekind="logo" nodename="c.jpg"/>
                     <logodirnode nodekind="folder" nodename="F">
                       <logodirnode nodekind="logo" nodename="a.jpg"/>
                     </logodirnode>)",
                  "F/[]"},
        EntryCase{"MissingFolderTakesItsEntriesWithIt",
                  R"(<logodirnode nodekind="folder" nodename="Gone">
                       <logodirnode nodekind="folder" nodename="F">
                         <logodirnode nodekind="logo" nodename="c.jpg"/>
                       </logodirnode>
                       <logodirnode nodekind="logo" nodename="a.jpg"/>
                     </logodirnode><logodirnode nodekind="logo" nodename="b.jpg"/>)",
                  "b.jpg"},
        EntryCase{"EntriesInsideALogoAreIgnored",
                  R"(<logodirnode nodekind="logo" nodename="a.jpg">
                       <logodirnode nodekind="logo" nodename="b.jpg"/><logodirnode nodekind="folder" nodename="E"/>
                     </logodirnode>)",
                  "a.jpg"},
        EntryCase{"DuplicatesGiveTwoNodes",
                  R"(<logodirnode nodekind="logo" nodename="a.jpg"/><logodirnode nodekind="logo" nodename="a.jpg"/>)",
                  "a.jpg a.jpg"},
        EntryCase{"OtherNodesAreSkippedWithWhatTheyHold",
                  R"(some text<!-- a comment --><?pi data?><other nodekind="logo" nodename="a.jpg">
                       <logodirnode nodekind="logo" nodename="b.jpg"/></other>
                     <logodirnode nodekind="folder" nodename="F">
                       text<![CDATA[x]]><logodirnode nodekind="logo" nodename="c.jpg"/>
                     </logodirnode>)",
                  "F/[c.jpg]"},
        // Names that are no single path component would reach outside their folder.
        EntryCase{"NamesThatAreNoPathComponent",
                  R"(<logodirnode nodekind="logo" nodename="F/c.jpg"/><logodirnode nodekind="folder" nodename="F/G"/>
                     <logodirnode nodekind="folder" nodename="."/><logodirnode nodekind="folder" nodename=".."/>
                     <logodirnode nodekind="logo" nodename="../Logo Directory/a.jpg"/>)",
                  ""},
        EntryCase{"NameIsTakenUnchanged",
                  R"(<logodirnode nodekind="logo" nodename=" a.jpg"/><logodirnode nodekind="logo" nodename="A.JPG"/>)",
                  ""}),
    [](const auto &info) { return std::string(info.param.Name); });

// ---- How the record is read ----

struct RecordCase {
    const char *Name;
    const char *Attributes; // besides nodekind and nodename
    const char *Record;     // Describe() of the record read
};

class LogoIndexRecordTest : public LogoIndexFileTest, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(LogoIndexRecordTest, ReadsEachAttributeByItself)
{
    MakeFile("a.jpg");
    MakeFolder("E");
    WriteIndex(std::string("<logodirectory><logodirnode nodekind=\"logo\" nodename=\"a.jpg\" ") +
               GetParam().Attributes + "/><logodirnode nodekind=\"folder\" nodename=\"E\" " + GetParam().Attributes +
               "/></logodirectory>");
    Load();
    ASSERT_EQ(Outline(Tree.Root()), "a.jpg E/[]");
    // Folder entries carry and read the same attributes.
    EXPECT_EQ(Describe(*Tree.Root()->Item(0)->Data()), GetParam().Record);
    EXPECT_EQ(Describe(*Tree.Root()->Item(1)->Data()), GetParam().Record);
    EXPECT_FALSE(Tree.Root()->Item(1)->Expanded()); // only the root is opened
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogoIndexRecordTest,
    ::testing::Values(
        RecordCase{"AllSet",
                   R"(frameleft="5" frametop="-6" framewidth="70" frameheight="80" phonemakeid="3" phonemodelid="12"
                      logowidth="101" logoheight="64" fitkind="smaller" keepproportions="yes"
                      uploadurl="http://x/y?a=1&amp;b=2")",
                   "frame=5,-6,70x80 phone=3/12 size=101x64 fit=2 keep=yes url=http://x/y?a=1&b=2"},
        // The read defaults differ from the record's own defaults (-1 and 128).
        RecordCase{"NoneSet", "", "frame=0,0,16x16 phone=-1/-1 size=16x16 fit=3 keep=no url="},
        RecordCase{"UnreadableNumberFallsBackAlone", R"(frameleft="abc" frametop="9" logoheight="99")",
                   "frame=0,9,16x16 phone=-1/-1 size=16x99 fit=3 keep=no url="},
        RecordCase{"MissingLogoWidthAlone", R"(frameleft="1" frametop="2" framewidth="3" frameheight="4" phonemakeid="5"
                      phonemodelid="6" logoheight="80" fitkind="width" keepproportions="yes" uploadurl="u")",
                   "frame=1,2,3x4 phone=5/6 size=16x80 fit=0 keep=yes url=u"},
        RecordCase{"FitWordHeight", R"(fitkind="height")", "frame=0,0,16x16 phone=-1/-1 size=16x16 fit=1 keep=no url="},
        RecordCase{"FitWordKeepsItsCase", R"(fitkind="Width" keepproportions="Yes")",
                   "frame=0,0,16x16 phone=-1/-1 size=16x16 fit=3 keep=no url="},
        RecordCase{"KeepWordNo", R"(fitkind="unknown" keepproportions="no")",
                   "frame=0,0,16x16 phone=-1/-1 size=16x16 fit=3 keep=no url="},
        RecordCase{"AttributeNamesInOtherCaseAreMissing", R"(FrameLeft="5" FitKind="width" KeepProportions="yes")",
                   "frame=0,0,16x16 phone=-1/-1 size=16x16 fit=3 keep=no url="},
        // The display allocates a bitmap of the logo's size: sides the settings controls could not
        // have set give the record's own default, each side by itself.
        RecordCase{"LogoSidesAtTheControlsLimitsAreKept", R"(logowidth="16" logoheight="400")",
                   "frame=0,0,16x16 phone=-1/-1 size=16x400 fit=3 keep=no url="},
        RecordCase{"HugeLogoSidesGiveTheRecordsDefault", R"(logowidth="40000" logoheight="40000")",
                   "frame=0,0,16x16 phone=-1/-1 size=128x128 fit=3 keep=no url="},
        RecordCase{"LogoSidesJustOutsideTheLimits", R"(logowidth="15" logoheight="401")",
                   "frame=0,0,16x16 phone=-1/-1 size=128x128 fit=3 keep=no url="},
        RecordCase{"NegativeOrZeroLogoSide", R"(logowidth="-40" logoheight="0")",
                   "frame=0,0,16x16 phone=-1/-1 size=128x128 fit=3 keep=no url="},
        RecordCase{"LogoSidePastTheIntegerRangeIsUnreadable", R"(logowidth="4294967312" logoheight="96")",
                   "frame=0,0,16x16 phone=-1/-1 size=16x96 fit=3 keep=no url="}),
    [](const auto &info) { return std::string(info.param.Name); });

// ---- The file as a whole ----

TEST_F(LogoIndexFileTest, NoFileLeavesTheRootAlone)
{
    Load();
    EXPECT_EQ(Tree.Root()->Count(), 0);
    EXPECT_FALSE(Tree.Root()->Expanded());
    EXPECT_TRUE(Prompts.Texts().empty());
    ExpectDocumentClosed();
}

TEST_F(LogoIndexFileTest, EmptyRootElementGivesTheRootAlone)
{
    WriteIndex("<LogoDirectory/>");
    Load();
    EXPECT_EQ(Tree.Root()->Count(), 0);
    EXPECT_TRUE(Tree.Root()->Expanded());
    EXPECT_TRUE(Prompts.Texts().empty());
}

TEST_F(LogoIndexFileTest, WrongRootIsReportedAsCorrupt)
{
    MakeFile("a.jpg");
    WriteIndex(R"(<appstate><logodirnode nodekind="logo" nodename="a.jpg"/></appstate>)");
    Load();
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{kCorrupt});
    ASSERT_EQ(Prompts.Prompts().size(), 1u);
    EXPECT_EQ(Prompts.Prompts()[0].Caption, "Error");
    EXPECT_EQ(Tree.Root()->Count(), 0);
    EXPECT_FALSE(Tree.Root()->Expanded());
    ExpectDocumentClosed();
}

TEST_F(LogoIndexFileTest, AnIndexThatCannotBeReadWholeIsSetAsideBeforeItIsReplaced)
{
    MakeFile("a.jpg");
    const std::string damaged = R"(<logodirectory><logodirnode nodekind="logo" nodename="a.jpg"/><logodirnode nodek)";
    WriteIndex(damaged);
    EXPECT_FALSE(LoadLogoDirectory(Tree, Xml, Prompts));
    EXPECT_TRUE(SaveLogoDirectory(Tree, Xml, Prompts, true));
    EXPECT_EQ(ReadFile(IndexPath() + ".damaged"), damaged);
    EXPECT_NE(ReadFile(IndexPath()), damaged);

    // An earlier copy is never replaced.
    WriteIndex(damaged + "2");
    EXPECT_TRUE(SaveLogoDirectory(Tree, Xml, Prompts, true));
    EXPECT_EQ(ReadFile(IndexPath() + ".damaged"), damaged);
    EXPECT_EQ(ReadFile(IndexPath() + ".damaged-2"), damaged + "2");
}

TEST_F(LogoIndexFileTest, WithoutACopyTheDamagedIndexIsLeftInPlace)
{
    const std::string damaged = "<logodirectory>" + std::string(4000, ' ') + "<broken";
    WriteIndex(damaged);
    EXPECT_FALSE(LoadLogoDirectory(Tree, Xml, Prompts));
    Prompts.Clear();
    {
        test::TFileSizeLimit limit(1000); // the copy cannot be written
        EXPECT_FALSE(SaveLogoDirectory(Tree, Xml, Prompts, true));
    }
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{"Unable to save mobile directory"});
    EXPECT_EQ(ReadFile(IndexPath()), damaged);
}

TEST_F(LogoIndexFileTest, AnIndexReadWholeIsReportedSo)
{
    EXPECT_TRUE(LoadLogoDirectory(Tree, Xml, Prompts)); // no file
    WriteIndex("<logodirectory/>");
    EXPECT_TRUE(LoadLogoDirectory(Tree, Xml, Prompts));
}

struct HostileCase {
    const char *Name;
    std::string Content;
};
// Without it the test's name is printed from the case's bytes, unset ones included.
void PrintTo(const HostileCase &c, std::ostream *os) { *os << c.Name; }

class LogoIndexHostileTest : public LogoIndexFileTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(LogoIndexHostileTest, UnreadableFileIsReportedAndLeavesTheRootClosed)
{
    MakeFile("a.jpg");
    WriteIndex(GetParam().Content);
    Load();
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{kLoadError});
    EXPECT_EQ(Tree.Root()->Count(), 0);
    EXPECT_FALSE(Tree.Root()->Expanded());
    ExpectDocumentClosed();
}

std::string Garbage()
{
    std::string bytes;
    std::uint32_t state = 12345;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 24);
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogoIndexHostileTest,
    ::testing::Values(
        HostileCase{"Truncated", R"(<logodirectory><logodirnode nodekind="logo" nodename="a.jpg"/><logodirnode nodek)"},
        HostileCase{"UnclosedRoot", R"(<logodirectory><logodirnode nodekind="logo" nodename="a.jpg"/>)"},
        HostileCase{"MismatchedTags", R"(<logodirectory><logodirnode></logodirectory></logodirnode>)"},
        HostileCase{"BinaryGarbage", Garbage()}, HostileCase{"NulBytes", std::string("\0\0\0\0<logodirectory/>", 20)},
        HostileCase{"Empty", ""}, HostileCase{"NoDocumentElement", "<?xml version=\"1.0\"?>\n<!-- nothing here -->\n"}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST_F(LogoIndexFileTest, FileOverTheSizeLimitIsRefused)
{
    MakeFile("a.jpg");
    WriteIndex(R"(<logodirectory><logodirnode nodekind="logo" nodename="a.jpg"/></logodirectory>)");
    Xml.SetMaxFileSize(32);
    Load();
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{kLoadError});
    EXPECT_EQ(Tree.Root()->Count(), 0);
    ExpectDocumentClosed();
}

std::string NestedFolders(int levels, const std::string &name)
{
    std::string xml = "<logodirectory>";
    xml.reserve(static_cast<std::size_t>(levels) * 60);
    for (int i = 0; i < levels; ++i)
        xml += "<logodirnode nodekind=\"folder\" nodename=\"" + name + "\">";
    for (int i = 0; i < levels; ++i)
        xml += "</logodirnode>";
    return xml + "</logodirectory>";
}

// A chain of folders "d" below the library folder, made one level at a time.
void MakeFolderChain(const std::string &libraryFolder, int levels)
{
    std::string path = libraryFolder;
    ::mkdir(path.c_str(), 0755);
    for (int i = 0; i < levels; ++i) {
        path += "d/";
        if (::mkdir(path.c_str(), 0755) != 0)
            throw std::runtime_error("mkdir failed at level " + std::to_string(i + 1));
    }
}

int Depth(const TLogoNode *node)
{
    int depth = 0;
    for (; node->HasChildren(); node = node->Item(0))
        ++depth;
    return depth;
}

TEST_F(LogoIndexFileTest, DeepNestingWithoutFoldersDropsTheWholeChain)
{
    WriteIndex(NestedFolders(100000, "nowhere"));
    Load();
    EXPECT_TRUE(Prompts.Texts().empty());
    EXPECT_EQ(Tree.Root()->Count(), 0);
    ExpectDocumentClosed();
}

TEST_F(LogoIndexFileTest, NestingUpToTheLimitIsRead)
{
    MakeFolderChain(Library(), kMaxLogoTreeDepth);
    WriteIndex(NestedFolders(kMaxLogoTreeDepth, "d"));
    Load();
    EXPECT_TRUE(Prompts.Texts().empty());
    EXPECT_EQ(Depth(Tree.Root()), kMaxLogoTreeDepth);
    EXPECT_TRUE(Tree.Root()->Expanded());
}

TEST_F(LogoIndexFileTest, NestingBeyondTheLimitStopsWithAnErrorAndKeepsWhatWasRead)
{
    // The folders exist below the limit and further, as deep as a path can still name them.
    MakeFolderChain(Library(), kMaxLogoTreeDepth + 8);
    WriteIndex(NestedFolders(100000, "d"));
    Load();
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{kLoadError});
    EXPECT_EQ(Depth(Tree.Root()), kMaxLogoTreeDepth);
    EXPECT_FALSE(Tree.Root()->Expanded());
    ExpectDocumentClosed();
}

// ---- Writing ----

TEST_F(LogoIndexFileTest, WritesEveryAttributeInOrder)
{
    TLogoNode *folder = AddFolder(Tree.Root(), "Pets");
    TLogoDirObject record(nkLogo, "cat.jpg");
    record.FrameLeft = -3;
    record.FrameTop = 4;
    record.FrameWidth = 50;
    record.FrameHeight = 60;
    record.PhoneMakeId = 2;
    record.PhoneModelId = 7;
    record.LogoWidth = 84;
    record.LogoHeight = 48;
    record.FitKind = fkHeight;
    record.KeepProportions = false;
    AddLogo(folder, record);
    Save();
    EXPECT_TRUE(Prompts.Texts().empty());
    ExpectDocumentClosed();

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(IndexPath().c_str()));
    const pugi::xml_node root = doc.document_element();
    EXPECT_STREQ(root.name(), "logodirectory");
    const pugi::xml_node pets = root.first_child();
    const pugi::xml_node cat = pets.first_child();
    EXPECT_STREQ(pets.name(), "logodirnode");
    EXPECT_STREQ(cat.name(), "logodirnode");
    EXPECT_FALSE(pets.next_sibling());
    EXPECT_FALSE(cat.next_sibling());
    EXPECT_FALSE(cat.first_child());

    auto attributes = [](pugi::xml_node node) {
        std::string text;
        for (pugi::xml_attribute a : node.attributes())
            text += std::string(a.name()) + "=" + a.value() + ";";
        return text;
    };
    EXPECT_EQ(attributes(cat), "nodekind=logo;nodename=cat.jpg;frameleft=-3;frametop=4;framewidth=50;frameheight=60;"
                               "phonemakeid=2;phonemodelid=7;logowidth=84;logoheight=48;fitkind=height;"
                               "keepproportions=no;uploadurl=;");
    // A folder carries its record's values too: here those of a new record.
    EXPECT_EQ(attributes(pets), "nodekind=folder;nodename=Pets;frameleft=-1;frametop=-1;framewidth=-1;frameheight=-1;"
                                "phonemakeid=-1;phonemodelid=-1;logowidth=128;logoheight=128;fitkind=bigger;"
                                "keepproportions=yes;uploadurl=;");
}

TEST_F(LogoIndexFileTest, RootAloneIsWrittenAsAnEmptyElementAndReadBack)
{
    Save();
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(IndexPath().c_str()));
    EXPECT_STREQ(doc.document_element().name(), "logodirectory");
    EXPECT_FALSE(doc.document_element().first_child());

    TLogoTree again(Dir.Path());
    again.CreateRootNode();
    LoadLogoDirectory(again, Xml, Prompts);
    EXPECT_EQ(again.Root()->Count(), 0);
    EXPECT_TRUE(Prompts.Texts().empty());
}

TEST_F(LogoIndexFileTest, WritesNodesWhoseFilesAreGone)
{
    Tree.AddChild(Tree.Root(), std::make_unique<TLogoDirObject>(nkLogo, "gone.jpg"));
    Save();
    EXPECT_NE(ReadFile(IndexPath()).find("nodename=\"gone.jpg\""), std::string::npos);
}

TEST_F(LogoIndexFileTest, RoundTripKeepsNodesOrderAndRecords)
{
    TLogoNode *pets = AddFolder(Tree.Root(), "Haustiere äöü");
    TLogoNode *deep = AddFolder(pets, "猫");
    AddFolder(Tree.Root(), "Empty");
    const char *const urls[] = {"", "http://h/p?a=1&b=\"2\"&c='3'", "<line one>\nline two\r\n\ttabbed",
                                "&amp; is text"};
    for (int i = 0; i < 8; ++i) {
        TLogoDirObject record(nkLogo, "logo " + std::to_string(i) + (i % 2 ? ".png" : " ü.jpg"));
        record.FrameLeft = i == 0 ? INT32_MIN : -i;
        record.FrameTop = i == 0 ? INT32_MAX : i * 3;
        record.FrameWidth = 10 + i;
        record.FrameHeight = 20 + i;
        record.PhoneMakeId = i - 1;
        record.PhoneModelId = 100 - i;
        record.LogoWidth = 72 + i;
        record.LogoHeight = 40 + i;
        record.FitKind = static_cast<TFitKind>(i % 4);
        record.KeepProportions = i % 3 == 0;
        record.UploadURL = urls[i % 4];
        AddLogo(i < 3 ? Tree.Root() : i < 6 ? pets : deep, record);
    }
    // Two nodes for one file are written and read as two nodes.
    AddLogo(deep, TLogoDirObject(nkLogo, "logo 7.png"));
    Save();
    ASSERT_TRUE(Prompts.Texts().empty());

    TLogoTree again(Dir.Path());
    again.CreateRootNode();
    LoadLogoDirectory(again, Xml, Prompts);
    EXPECT_TRUE(Prompts.Texts().empty());
    EXPECT_EQ(Outline(again.Root()), Outline(Tree.Root()));
    EXPECT_EQ(Outline(again.Root()), "Haustiere äöü/[猫/[logo 6 ü.jpg logo 7.png logo 7.png] logo 3.png logo 4 ü.jpg "
                                     "logo 5.png] Empty/[] logo 0 ü.jpg logo 1.png logo 2 ü.jpg");

    // Every record, walked in the same order in both trees.
    std::vector<const TLogoNode *> before{Tree.Root()}, after{again.Root()};
    while (!before.empty() && !after.empty()) {
        const TLogoNode *a = before.back(), *b = after.back();
        before.pop_back();
        after.pop_back();
        EXPECT_EQ(*a->Data(), *b->Data()) << a->Text();
        ASSERT_EQ(a->Count(), b->Count());
        for (int i = 0; i < a->Count(); ++i) {
            before.push_back(a->Item(i));
            after.push_back(b->Item(i));
        }
    }
}

TEST_F(LogoIndexFileTest, SaveIntoAMissingProgramFolderIsReported)
{
    TLogoTree elsewhere(Dir / "no such folder/");
    elsewhere.CreateRootNode();
    SaveLogoDirectory(elsewhere, Xml, Prompts);
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{kSaveError});
    EXPECT_FALSE(test::Exists(Dir / "no such folder"));
    ExpectDocumentClosed();
}

TEST_F(LogoIndexFileTest, SaveOverAFolderOfThatNameIsReportedAndTouchesNothing)
{
    WriteFile(IndexPath() + "/inside", "kept");
    AddFolder(Tree.Root(), "Pets");
    Save();
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{kSaveError});
    EXPECT_EQ(ReadFile(IndexPath() + "/inside"), "kept");
    // Nothing half written is left behind.
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(Dir.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{kRootText, kLogoIndexFileName}));
    ExpectDocumentClosed();
}

// Lowers the file size limit of the process, so writes fail even for root.
TEST_F(LogoIndexFileTest, FailedSaveLeavesThePreviousFileWhole)
{
    AddFolder(Tree.Root(), "Pets");
    Save();
    ASSERT_TRUE(Prompts.Texts().empty());
    const std::string previous = ReadFile(IndexPath());

    for (int i = 0; i < 20; ++i)
        AddLogo(Tree.Root(), TLogoDirObject(nkLogo, "logo " + std::to_string(i) + ".jpg"));
    {
        test::TFileSizeLimit limit(previous.size() + 16);
        Save();
    }
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{kSaveError});
    EXPECT_EQ(ReadFile(IndexPath()), previous);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(Dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 2u); // the library folder and the index, no temporary file
}

} // namespace
} // namespace vantorel
