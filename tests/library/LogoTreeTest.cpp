#include "LogoTree.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VantorelError.h"

namespace vantorel {
namespace {

const std::string kProgramFolder = "/opt/vantorel/";

// Children given as names; a trailing "/" makes a folder, anything else a logo.
TLogoNode *AddNodes(TLogoTree &tree, TLogoNode *parent, const std::vector<std::string> &names)
{
    TLogoNode *last = nullptr;
    for (std::string name : names) {
        const bool folder = !name.empty() && name.back() == '/';
        if (folder)
            name.pop_back();
        last = tree.AddChild(parent, std::make_unique<TLogoDirObject>(folder ? nkFolder : nkLogo, name));
    }
    return last;
}

class LogoTreeTest : public ::testing::Test {
protected:
    LogoTreeTest() { FTree.CreateRootNode(); }
    TLogoNode *Root() { return FTree.Root(); }

    TLogoTree FTree{kProgramFolder};
};

TEST_F(LogoTreeTest, RootIsTheLogoDirectoryFolder)
{
    ASSERT_NE(Root(), nullptr);
    EXPECT_EQ(Root()->Text(), "Logo Directory");
    EXPECT_EQ(Root()->Kind(), nkRoot);
    EXPECT_EQ(Root()->ImageIndex(), kFolderImage);
    EXPECT_EQ(Root()->SelectedIndex(), kFolderImage);
    EXPECT_EQ(Root()->Level(), 0);
}

TEST_F(LogoTreeTest, PathsFollowTheNodeTexts)
{
    TLogoNode *cats = AddNodes(FTree, Root(), {"Cats/"});
    TLogoNode *kittens = AddNodes(FTree, cats, {"Kittens/"});
    TLogoNode *kitten = AddNodes(FTree, cats, {"kitten.jpg"});

    EXPECT_EQ(FTree.GetFolderPath(Root()), "/opt/vantorel/Logo Directory/");
    EXPECT_EQ(FTree.GetFolderPath(kittens), "/opt/vantorel/Logo Directory/Cats/Kittens/");
    EXPECT_EQ(FTree.GetNodePath(Root()), "/opt/vantorel/Logo Directory");
    EXPECT_EQ(FTree.GetNodePath(kittens), "/opt/vantorel/Logo Directory/Cats/Kittens");
    EXPECT_EQ(FTree.GetNodePath(kitten), "/opt/vantorel/Logo Directory/Cats/kitten.jpg");
    EXPECT_EQ(FTree.GetLogoFileName(kitten), "/opt/vantorel/Logo Directory/Cats/kitten.jpg");
    EXPECT_EQ(kitten->ImageIndex(), kLogoImage);
    EXPECT_EQ(kittens->ImageIndex(), kFolderImage);
    EXPECT_EQ(kitten->Level(), 2);
}

TEST_F(LogoTreeTest, LogoFileNameOfAFolderOrTheRootIsAnError)
{
    TLogoNode *cats = AddNodes(FTree, Root(), {"Cats/"});
    for (const TLogoNode *node : {static_cast<const TLogoNode *>(cats), static_cast<const TLogoNode *>(Root())}) {
        try {
            FTree.GetLogoFileName(node);
            ADD_FAILURE() << "no error for " << node->Text();
        } catch (const EVantorelError &e) {
            EXPECT_STREQ(e.what(), "Unable to get the full file name for non-logo tree node");
        }
    }
}

struct TUniqueLogoCase {
    std::vector<std::string> Siblings;
    const char *Base;
    const char *Expected;
};

class MakeUniqueLogoNameTest : public LogoTreeTest, public ::testing::WithParamInterface<TUniqueLogoCase> {};

TEST_P(MakeUniqueLogoNameTest, FirstFreeCandidateWins)
{
    AddNodes(FTree, Root(), GetParam().Siblings);
    EXPECT_EQ(FTree.MakeUniqueLogoName(Root(), GetParam().Base), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, MakeUniqueLogoNameTest,
    ::testing::Values(TUniqueLogoCase{{}, "photo", "photo"}, TUniqueLogoCase{{"Photo.JPG"}, "Photo", "Photo2"},
                      TUniqueLogoCase{{"Photo.JPG", "Photo2.JPG"}, "Photo", "Photo3"},
                      // a folder or a logo of another extension blocks the base name, in any ASCII case
                      TUniqueLogoCase{{"photo/"}, "photo", "photo2"}, TUniqueLogoCase{{"PHOTO.gif"}, "photo", "photo2"},
                      // a folder "a.b" has the base name "a"
                      TUniqueLogoCase{{"a.b/"}, "a", "a2"}, TUniqueLogoCase{{"a.b/"}, "a.b", "a.b"},
                      // gaps are filled
                      TUniqueLogoCase{{"photo.jpg", "photo3.jpg"}, "photo", "photo2"},
                      TUniqueLogoCase{{"photo2.jpg"}, "photo", "photo"},
                      // no separator before the number, even after a digit
                      TUniqueLogoCase{{"img1.png"}, "img1", "img12"},
                      // only ASCII letters fold: "ÉTÉ" and "été" differ
                      TUniqueLogoCase{{"\xC3\x89T\xC3\x89.jpg"}, "\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
                      TUniqueLogoCase{{"\xC3\xA9T\xC3\xA9.jpg"},
                                      "\xC3\xA9t\xC3\xA9",
                                      "\xC3\xA9t\xC3\xA9"
                                      "2"},
                      // ".jpg" has the empty base name
                      TUniqueLogoCase{{".jpg"}, "", "2"}));

TEST_F(LogoTreeTest, UniqueLogoNameLooksAtDirectChildrenOnly)
{
    TLogoNode *cats = AddNodes(FTree, Root(), {"Cats/"});
    AddNodes(FTree, cats, {"photo.jpg"});
    EXPECT_EQ(FTree.MakeUniqueLogoName(Root(), "photo"), "photo");
    EXPECT_EQ(FTree.MakeUniqueLogoName(cats, "photo"), "photo2");
}

struct TUniqueFolderCase {
    std::vector<std::string> Siblings;
    const char *Expected;
};

class MakeUniqueFolderNameTest : public LogoTreeTest, public ::testing::WithParamInterface<TUniqueFolderCase> {};

TEST_P(MakeUniqueFolderNameTest, NewFolderThenNumbersFromTwo)
{
    AddNodes(FTree, Root(), GetParam().Siblings);
    EXPECT_EQ(FTree.MakeUniqueFolderName(Root()), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, MakeUniqueFolderNameTest,
                         ::testing::Values(TUniqueFolderCase{{}, "New Folder"},
                                           TUniqueFolderCase{{"New Folder/"}, "New Folder 2"},
                                           TUniqueFolderCase{{"New Folder/", "new folder 2/"}, "New Folder 3"},
                                           TUniqueFolderCase{{"New Folder 2/"}, "New Folder"},
                                           TUniqueFolderCase{{"new folder.jpg"}, "New Folder 2"},
                                           TUniqueFolderCase{{"New Folder.x/", "New Folder 2.y"}, "New Folder 3"}));

struct TNameFreeCase {
    std::vector<std::string> Siblings;
    const char *Name;
    bool Free;
};
// Without it the test's name is printed from the case's bytes, unset ones included.
void PrintTo(const TNameFreeCase &c, std::ostream *os) { *os << c.Name; }

class IsNameFreeTest : public LogoTreeTest, public ::testing::WithParamInterface<TNameFreeCase> {};

TEST_P(IsNameFreeTest, ComparesTheWholeNameWithBaseNames)
{
    AddNodes(FTree, Root(), GetParam().Siblings);
    EXPECT_EQ(FTree.IsNameFree(Root(), GetParam().Name), GetParam().Free) << GetParam().Name;
}

INSTANTIATE_TEST_SUITE_P(Examples, IsNameFreeTest,
                         ::testing::Values(TNameFreeCase{{}, "anything", true}, TNameFreeCase{{}, "", true},
                                           TNameFreeCase{{"cat.jpg"}, "cat", false},
                                           TNameFreeCase{{"cat.jpg"}, "CAT", false},
                                           TNameFreeCase{{"cat.jpg"}, "cat.jpg", true},
                                           TNameFreeCase{{"cat.jpg"}, "cats", true},
                                           TNameFreeCase{{"a.b/"}, "a", false}, TNameFreeCase{{"a.b/"}, "a.b", true},
                                           TNameFreeCase{{"Pets/"}, "pets", false}, TNameFreeCase{{".jpg"}, "", false},
                                           TNameFreeCase{{"\xC3\xA9t\xC3\xA9.png"}, "\xC3\x89T\xC3\x89", true}));

TEST_F(LogoTreeTest, NameEqualToTheExceptionIsAlwaysFree)
{
    AddNodes(FTree, Root(), {"photo.jpg", "other.png"});
    EXPECT_TRUE(FTree.IsNameFreeExcept(Root(), "photo", "photo"));
    EXPECT_TRUE(FTree.IsNameFreeExcept(Root(), "PHOTO", "photo"));
    EXPECT_TRUE(FTree.IsNameFreeExcept(Root(), "x", "photo"));
    EXPECT_FALSE(FTree.IsNameFreeExcept(Root(), "other", "photo"));
    EXPECT_FALSE(FTree.IsNameFreeExcept(Root(), "photo", "other"));
}

TEST_F(LogoTreeTest, SelectedFolderWalksUpFromALogo)
{
    EXPECT_EQ(FTree.SelectedFolder(), Root());
    TLogoNode *cats = AddNodes(FTree, Root(), {"Cats/"});
    TLogoNode *kitten = AddNodes(FTree, cats, {"kitten.jpg"});
    FTree.Select(kitten);
    EXPECT_EQ(FTree.SelectedFolder(), cats);
    FTree.Select(cats);
    EXPECT_EQ(FTree.SelectedFolder(), cats);
}

TEST_F(LogoTreeTest, InsertChildPutsTheNodeBeforeThePosition)
{
    AddNodes(FTree, Root(), {"a/", "c.jpg"});
    FTree.InsertChild(Root(), 1, std::make_unique<TLogoDirObject>(nkFolder, "b"));
    ASSERT_EQ(Root()->Count(), 3);
    EXPECT_EQ(Root()->Item(1)->Text(), "b");
    EXPECT_EQ(Root()->Item(1)->Index(), 1);
    EXPECT_EQ(Root()->Item(2)->Text(), "c.jpg");
}

struct TRemoveCase {
    const char *Removed;
    const char *SelectedBefore;
    const char *SelectedAfter;
};

class RemoveNodeTest : public LogoTreeTest, public ::testing::WithParamInterface<TRemoveCase> {
protected:
    // Logo Directory: A/ (a1.jpg, Sub/ (s.jpg)), B.jpg, C/ (only.jpg)
    void SetUp() override
    {
        TLogoNode *a = AddNodes(FTree, Root(), {"A/"});
        AddNodes(FTree, a, {"a1.jpg"});
        AddNodes(FTree, AddNodes(FTree, a, {"Sub/"}), {"s.jpg"});
        AddNodes(FTree, Root(), {"B.jpg"});
        AddNodes(FTree, AddNodes(FTree, Root(), {"C/"}), {"only.jpg"});
    }
    TLogoNode *Find(const std::string &text, TLogoNode *from = nullptr)
    {
        if (!from)
            from = Root();
        if (from->Text() == text)
            return from;
        for (int i = 0; i < from->Count(); ++i)
            if (TLogoNode *found = Find(text, from->Item(i)))
                return found;
        return nullptr;
    }
};

TEST_P(RemoveNodeTest, SelectionMovesOnlyWhenItLayInside)
{
    const TRemoveCase &c = GetParam();
    FTree.Select(Find(c.SelectedBefore));
    TLogoNode *removed = Find(c.Removed);
    ASSERT_NE(removed, nullptr);
    FTree.RemoveNode(removed);
    EXPECT_EQ(Find(c.Removed), nullptr);
    ASSERT_NE(FTree.Selected(), nullptr);
    EXPECT_EQ(FTree.Selected()->Text(), c.SelectedAfter);
}

INSTANTIATE_TEST_SUITE_P(Examples, RemoveNodeTest,
                         ::testing::Values(TRemoveCase{"B.jpg", "B.jpg", "C"},       // next sibling
                                           TRemoveCase{"C", "C", "B.jpg"},           // previous sibling
                                           TRemoveCase{"only.jpg", "only.jpg", "C"}, // the parent
                                           TRemoveCase{"A", "s.jpg", "B.jpg"},       // selection deep inside
                                           TRemoveCase{"a1.jpg", "a1.jpg", "Sub"},
                                           TRemoveCase{"B.jpg", "s.jpg", "s.jpg"})); // selection elsewhere

TEST_F(LogoTreeTest, RootIsNeverRemoved)
{
    AddNodes(FTree, Root(), {"x.jpg"});
    FTree.RemoveNode(Root());
    ASSERT_NE(Root(), nullptr);
    EXPECT_EQ(Root()->Count(), 1);
}

} // namespace
} // namespace vantorel
