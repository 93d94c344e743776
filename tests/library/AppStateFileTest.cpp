#include "AppStateFile.h"

#include <filesystem>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "TestSupport.h"

namespace vantorel {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

const char *const kCorrupt = "Application state file is corrupt.";
const char *const kSaveError = "Unable to save current application state";

// ---- Cutting a stored path ----

struct SplitCase {
    const char *Name;
    std::string Value;
    std::vector<std::string> Pieces;
};
// Without it the test's name is printed from the case's bytes, a short string's unused room included.
void PrintTo(const SplitCase &c, std::ostream *os) { *os << c.Name; }

class SplitNodePathTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitNodePathTest, CutsLikeTheStoredPathWasMeant)
{
    EXPECT_EQ(SplitNodePath(GetParam().Value), GetParam().Pieces);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitNodePathTest,
    ::testing::Values(
        SplitCase{"Empty", "", {}}, SplitCase{"OnePiece", "Pets", {"Pets"}},
        SplitCase{"Slashes", "Pets/Animals/cat.jpg", {"Pets", "Animals", "cat.jpg"}},
        SplitCase{"EmptyPiecesDropped", "/Pets//Animals/", {"Pets", "Animals"}}, SplitCase{"OnlySlashes", "///", {}},
        SplitCase{"LineBreaksEndPieces", "a\nb\r\nc\rd", {"a", "b", "c", "d"}},
        SplitCase{"LineBreaksBeforeAPiece", "\n\r\na/\n/b", {"a", "b"}}, SplitCase{"OnlyLineBreaks", "\r\n\r\n", {}},
        SplitCase{"BlanksAreKept", " a / b ", {" a ", " b "}},
        SplitCase{"ApostropheRunsToItsMatch", "a'b/c'd/e", {"a'b/c'd", "e"}},
        SplitCase{"UnclosedApostropheTakesTheRest", "Mom's/photo.jpg", {"Mom's/photo.jpg"}},
        SplitCase{"DoubleQuoteRun", "\"x/y\"/z", {"\"x/y\"", "z"}},
        SplitCase{"OtherQuoteInsideARunIsPlain", "'a\"b/c'/d", {"'a\"b/c'", "d"}},
        SplitCase{"LineBreakInsideARunIsKept", "'a\nb'/c", {"'a\nb'", "c"}},
        SplitCase{"PieceGoesOnAfterARun", "'x'y/z", {"'x'y", "z"}}, SplitCase{"QuotesOnly", "''/\"\"", {"''", "\"\""}},
        SplitCase{"NonAscii", "Ünïcode/ß.jpg", {"Ünïcode", "ß.jpg"}}),
    [](const auto &info) { return std::string(info.param.Name); });

// ---- Saving and restoring the selection ----

class AppStateFileTest : public ::testing::Test {
protected:
    AppStateFileTest()
    {
        Tree.CreateRootNode();
        TLogoNode *root = Tree.Root();
        TLogoNode *pets = Add(root, nkFolder, "Pets");
        Add(Add(pets, nkFolder, "Animals"), nkLogo, "cat.jpg");
        Add(pets, nkLogo, "cat.jpg");
        Add(Add(root, nkFolder, "Mom's"), nkLogo, "photo.jpg");
        Add(root, nkFolder, "Animals");
        Add(Add(root, nkFolder, "Ünïcode"), nkLogo, "ß.jpg");
        Add(root, nkFolder, "Twin");
        Add(Add(root, nkFolder, "Twin"), nkLogo, "x.jpg");
    }

    TLogoNode *Add(TLogoNode *parent, TLogoNodeKind kind, const std::string &name)
    {
        return Tree.AddChild(parent, std::make_unique<TLogoDirObject>(kind, name));
    }

    // The node at a path of exact texts, the first of equal ones.
    TLogoNode *Find(const std::string &path) const
    {
        TLogoNode *node = Tree.Root();
        for (const std::string &piece : SplitNodePath(path)) {
            TLogoNode *next = nullptr;
            for (int i = 0; i < node->Count() && !next; ++i)
                if (node->Item(i)->Text() == piece)
                    next = node->Item(i);
            if (!next)
                throw std::runtime_error("no node " + path);
            node = next;
        }
        return node;
    }

    static std::string PathOf(const TLogoNode *node)
    {
        if (!node)
            return "(none)";
        if (!node->Parent())
            return "(root)";
        const std::string above = PathOf(node->Parent());
        return above == "(root)" ? node->Text() : above + "/" + node->Text();
    }

    std::string Expanded(const TLogoNode *node = nullptr) const
    {
        node = node ? node : Tree.Root();
        std::string text = node->Expanded() ? PathOf(node) : "";
        for (int i = 0; i < node->Count(); ++i) {
            const std::string below = Expanded(node->Item(i));
            if (!below.empty())
                text += (text.empty() ? "" : ", ") + below;
        }
        return text;
    }

    std::string StatePath() const { return Dir / kAppStateFileName; }
    void Load() { LoadAppState(Tree, Xml, Prompts); }
    void Save() { SaveAppState(Tree, Xml, Prompts); }

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

struct RestoreCase {
    const char *Name;
    const char *File;
    const char *Selected;
    const char *Expanded;
};

class AppStateRestoreTest : public AppStateFileTest, public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(AppStateRestoreTest, SelectsTheDeepestNodeReached)
{
    WriteFile(StatePath(), GetParam().File);
    Load();
    EXPECT_EQ(PathOf(Tree.Selected()), GetParam().Selected);
    EXPECT_EQ(Expanded(), GetParam().Expanded);
    EXPECT_TRUE(Prompts.Texts().empty());
    ExpectDocumentClosed();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AppStateRestoreTest,
    ::testing::Values(
        RestoreCase{"LogoInNestedFolders", R"(<appstate><activenodepath value="Pets/Animals/cat.jpg"/></appstate>)",
                    "Pets/Animals/cat.jpg", "(root), Pets, Pets/Animals, Pets/Animals/cat.jpg"},
        RestoreCase{"Folder", R"(<appstate><activenodepath value="Pets"/></appstate>)", "Pets", "(root), Pets"},
        RestoreCase{"MissingPieceIsPassedOver", R"(<appstate><activenodepath value="Pets/Gone/cat.jpg"/></appstate>)",
                    "Pets/cat.jpg", "(root), Pets, Pets/cat.jpg"},
        RestoreCase{"CaseMattersThenTheNextPieceIsTried",
                    R"(<appstate><activenodepath value="pets/Animals"/></appstate>)", "Animals", "(root), Animals"},
        RestoreCase{"NothingMatches", R"(<appstate><activenodepath value="pets/animals"/></appstate>)", "(root)",
                    "(root)"},
        RestoreCase{"DoubledAndTrailingSlashes", R"(<appstate><activenodepath value="/Pets//Animals/"/></appstate>)",
                    "Pets/Animals", "(root), Pets, Pets/Animals"},
        RestoreCase{"LineBreaksSeparate",
                    "<appstate><activenodepath value=\"Pets&#10;Animals&#13;&#10;cat.jpg\"/></appstate>",
                    "Pets/Animals/cat.jpg", "(root), Pets, Pets/Animals, Pets/Animals/cat.jpg"},
        // The apostrophe opens a run that takes the rest of the value into one piece.
        RestoreCase{"ApostropheInAName", R"(<appstate><activenodepath value="Mom's/photo.jpg"/></appstate>)", "(root)",
                    "(root)"},
        RestoreCase{"NoValueAttribute", R"(<appstate><activenodepath/></appstate>)", "(root)", "(root)"},
        RestoreCase{"EmptyValue", R"(<appstate><activenodepath value=""/></appstate>)", "(root)", "(root)"},
        RestoreCase{"ValueAttributeNameIsExact", R"(<appstate><activenodepath Value="Pets"/></appstate>)", "(root)",
                    "(root)"},
        RestoreCase{"ElementNamesInAnyCase", R"(<AppState><ActiveNodePath value="Pets"/></AppState>)", "Pets",
                    "(root), Pets"},
        RestoreCase{"PathThroughALogoStopsThere",
                    R"(<appstate><activenodepath value="Pets/cat.jpg/Animals"/></appstate>)", "Pets/cat.jpg",
                    "(root), Pets, Pets/cat.jpg"},
        RestoreCase{"NonAsciiNames", R"(<appstate><activenodepath value="Ünïcode/ß.jpg"/></appstate>)", "Ünïcode/ß.jpg",
                    "(root), Ünïcode, Ünïcode/ß.jpg"},
        RestoreCase{"RootSelectedAtExit", R"(<appstate/>)", "(none)", ""},
        RestoreCase{
            "OtherNodesAreSkipped",
            R"(<appstate>text<!-- Pets --><other value="Pets"><activenodepath value="Pets"/></other></appstate>)",
            "(none)", ""},
        RestoreCase{"LastOfSeveralPathsWins",
                    R"(<appstate><activenodepath value="Pets"/><activenodepath value="Animals"/></appstate>)",
                    "Animals", "(root), Pets, Animals"}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST_F(AppStateFileTest, EqualNamesResolveToTheFirst)
{
    WriteFile(StatePath(), R"(<appstate><activenodepath value="Twin/x.jpg"/></appstate>)");
    Load();
    EXPECT_EQ(Tree.Selected(), Tree.Root()->Item(4));
}

TEST_F(AppStateFileTest, NoFileChangesNothing)
{
    Tree.Select(Find("Pets"));
    Load();
    EXPECT_EQ(PathOf(Tree.Selected()), "Pets");
    EXPECT_EQ(Expanded(), "");
    EXPECT_TRUE(Prompts.Texts().empty());
}

struct BadFileCase {
    const char *Name;
    std::string Content;
};
// Without it the test's name is printed from the case's bytes, unset ones included.
void PrintTo(const BadFileCase &c, std::ostream *os) { *os << c.Name; }

class AppStateBadFileTest : public AppStateFileTest, public ::testing::WithParamInterface<BadFileCase> {};

TEST_P(AppStateBadFileTest, IsReportedAndKeepsTheSelection)
{
    Tree.Select(Find("Pets/Animals"));
    WriteFile(StatePath(), GetParam().Content);
    Xml.SetMaxFileSize(256);
    Load();
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{kCorrupt});
    ASSERT_EQ(Prompts.Prompts().size(), 1u);
    EXPECT_EQ(Prompts.Prompts()[0].Caption, "Error");
    EXPECT_EQ(PathOf(Tree.Selected()), "Pets/Animals");
    ExpectDocumentClosed();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AppStateBadFileTest,
    ::testing::Values(BadFileCase{"WrongRoot", R"(<logodirectory><activenodepath value="Pets"/></logodirectory>)"},
                      BadFileCase{"Truncated", R"(<appstate><activenodepath value="Pets"/>)"},
                      BadFileCase{"BrokenAttribute", R"(<appstate><activenodepath value="Pets/></appstate>)"},
                      BadFileCase{"Garbage", std::string("\x01\xff<\x00\x80>&;<//", 11)}, BadFileCase{"Empty", ""},
                      BadFileCase{"OverTheSizeLimit", "<appstate><activenodepath value=\"Pets\"/>" +
                                                          std::string(300, ' ') + "</appstate>"}),
    [](const auto &info) { return std::string(info.param.Name); });

struct SaveCase {
    const char *Selected; // a path, "(root)" or "(none)"
    const char *Value;    // the stored path, or null for an empty "appstate" element
};

class AppStateSaveTest : public AppStateFileTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(AppStateSaveTest, StoresThePathBelowTheRoot)
{
    const std::string selected = GetParam().Selected;
    if (selected == "(root)")
        Tree.Select(Tree.Root());
    else if (selected != "(none)")
        Tree.Select(Find(selected));
    Save();
    EXPECT_TRUE(Prompts.Texts().empty());
    ExpectDocumentClosed();

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(StatePath().c_str()));
    const pugi::xml_node root = doc.document_element();
    EXPECT_STREQ(root.name(), "appstate");
    if (!GetParam().Value) {
        EXPECT_FALSE(root.first_child());
        return;
    }
    const pugi::xml_node path = root.first_child();
    EXPECT_STREQ(path.name(), "activenodepath");
    EXPECT_STREQ(path.attribute("value").value(), GetParam().Value);
    EXPECT_FALSE(path.next_sibling());
}

INSTANTIATE_TEST_SUITE_P(Cases, AppStateSaveTest,
                         ::testing::Values(SaveCase{"Pets/Animals/cat.jpg", "Pets/Animals/cat.jpg"},
                                           SaveCase{"Pets", "Pets"}, SaveCase{"Ünïcode/ß.jpg", "Ünïcode/ß.jpg"},
                                           SaveCase{"(root)", nullptr}, SaveCase{"(none)", nullptr}));

TEST_F(AppStateFileTest, RoundTripReachesTheSameNode)
{
    TLogoNode *odd = Add(Find("Pets/Animals"), nkFolder, "a & <b> ; c");
    TLogoNode *target = Add(odd, nkLogo, "ü.png");
    Tree.Select(target);
    Save();
    Tree.Select(nullptr);
    Load();
    EXPECT_EQ(Tree.Selected(), target);
    EXPECT_TRUE(odd->Expanded());
    EXPECT_TRUE(Prompts.Texts().empty());
}

TEST_F(AppStateFileTest, SaveIntoAMissingProgramFolderIsReported)
{
    TLogoTree elsewhere(Dir / "no such folder/");
    elsewhere.CreateRootNode();
    SaveAppState(elsewhere, Xml, Prompts);
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{kSaveError});
    EXPECT_FALSE(test::Exists(Dir / "no such folder"));
    ExpectDocumentClosed();
}

TEST_F(AppStateFileTest, SaveOverAFolderOfThatNameIsReportedAndTouchesNothing)
{
    WriteFile(StatePath() + "/inside", "kept");
    Tree.Select(Find("Pets"));
    Save();
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{kSaveError});
    EXPECT_EQ(ReadFile(StatePath() + "/inside"), "kept");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(Dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 1u); // no temporary file left beside it
    ExpectDocumentClosed();
}

} // namespace
} // namespace vantorel
