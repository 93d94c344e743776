#include "LogoTreeEditor.h"

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FileOps.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

using test::Exists;
using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

const std::string kNameTaken = "Folder or logo with the name specified already exists. Please enter another name";
const std::string kCannotCreateFolder =
    "Unable to create new folder in mobile directory. Check if there are no invalid characters in the folder name, "
    "there is enough free space on your hard drive and you have permissions to write to folder where the application "
    "is installed.";
const std::string kCannotRenameLogo =
    "Could not change the logo name. Check if there are no invalid characters in the logo name, there is enough free "
    "space on your hard drive and you have permissions to write to folder where the application is installed.";
const std::string kCannotRenameFolder =
    "Could not change the folder name. Check if there are no invalid characters in the folder name, there is enough "
    "free space on your hard drive and you have permissions to write to folder where the application is installed.";
const std::string kUploadRunning = "Function is not supported during image upload.";
const std::string kConfirmDeleteLogo = "Are you sure you want to delete selected logo?";
const std::string kConfirmDeleteFolder = "Are you sure you want to delete selected folder?";
const std::string kConfirmDeleteTree = "The selected folder is not empty! Are you sure you want to delete it?";
const std::string kCannotDeleteLogo =
    "Could not delete selected logo. Check if you have permissions to write to folder where the application is "
    "installed.";
const std::string kCannotDeleteFolder =
    "Could not delete selected folder. Check if you have permissions to write to folder where the application is "
    "installed.";
const std::string kCannotMakeFolder =
    "Unable to add image to mobile directory.Check if there is enough free space on your hard drive and you have "
    "permissions to write to folder where the application is installed.";
const std::string kCannotCopyImage =
    "Unable to add image to mobile directory. Check if there is enough free space on your hard drive and you have "
    "permissions to write to folder where the application is installed.";

using TEntries = std::set<std::string>;

class LogoTreeEditorTest : public ::testing::Test {
protected:
    LogoTreeEditorTest() { FTree.CreateRootNode(); }

    TLogoNode *Root() { return FTree.Root(); }
    std::string Disk(const std::string &relative) const { return FDir.Path() + "Logo Directory/" + relative; }

    // A folder node together with its disk folder.
    TLogoNode *Folder(TLogoNode *parent, const std::string &name)
    {
        std::filesystem::create_directories(FTree.GetFolderPath(parent) + name);
        return FTree.AddChild(parent, std::make_unique<TLogoDirObject>(nkFolder, name));
    }
    // A logo node together with its picture file, which holds the name as its content.
    TLogoNode *Logo(TLogoNode *parent, const std::string &name)
    {
        WriteFile(FTree.GetFolderPath(parent) + name, name);
        return FTree.AddChild(parent, std::make_unique<TLogoDirObject>(nkLogo, name));
    }

    // The children of a node in tree order: "A/(a.jpg,Sub/),b.jpg".
    static std::string Shape(const TLogoNode *node)
    {
        std::string text;
        for (int i = 0; i < node->Count(); ++i) {
            const TLogoNode *child = node->Item(i);
            if (i > 0)
                text += ',';
            text += child->Text();
            if (child->Kind() == nkFolder) {
                text += '/';
                if (child->HasChildren())
                    text += '(' + Shape(child) + ')';
            }
        }
        return text;
    }
    std::string Shape() { return Shape(Root()); }

    // Every node below the root as a path, folders with a trailing "/".
    static void Collect(const TLogoNode *node, const std::string &prefix, TEntries &out)
    {
        for (int i = 0; i < node->Count(); ++i) {
            const TLogoNode *child = node->Item(i);
            const std::string path = prefix + child->Text() + (child->Kind() == nkFolder ? "/" : "");
            out.insert(path);
            Collect(child, path, out);
        }
    }
    TEntries TreeEntries()
    {
        TEntries entries;
        Collect(Root(), "", entries);
        return entries;
    }
    TEntries DiskEntries() const
    {
        TEntries entries;
        const std::filesystem::path base = Disk("");
        if (!std::filesystem::exists(base))
            return entries;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(base))
            entries.insert(std::filesystem::relative(entry.path(), base).generic_string() +
                           (entry.is_directory() ? "/" : ""));
        return entries;
    }
    // The tree and its disk mirror both hold exactly these entries.
    void ExpectMirror(const TEntries &expected)
    {
        EXPECT_EQ(TreeEntries(), expected);
        EXPECT_EQ(DiskEntries(), expected);
    }

    void ExpectInput(std::size_t index, const std::string &caption, const std::string &prompt,
                     const std::string &initial)
    {
        ASSERT_LT(index, FPrompts.Prompts().size());
        const TRecordedPrompt &p = FPrompts.Prompts()[index];
        EXPECT_EQ(p.Kind, TRecordedPrompt::Input);
        EXPECT_EQ(p.Caption, caption);
        EXPECT_EQ(p.Text, prompt);
        EXPECT_EQ(p.InitialValue, initial);
    }
    void ExpectError(std::size_t index, const std::string &text)
    {
        ASSERT_LT(index, FPrompts.Prompts().size());
        const TRecordedPrompt &p = FPrompts.Prompts()[index];
        EXPECT_EQ(p.Kind, TRecordedPrompt::Box);
        EXPECT_EQ(p.Caption, "Error");
        EXPECT_EQ(p.Text, text);
        EXPECT_EQ(p.Icon, TPromptIcon::Error);
        EXPECT_EQ(p.Buttons, TPromptButtons::Ok);
    }
    void ExpectConfirm(std::size_t index, const std::string &text)
    {
        ASSERT_LT(index, FPrompts.Prompts().size());
        const TRecordedPrompt &p = FPrompts.Prompts()[index];
        EXPECT_EQ(p.Kind, TRecordedPrompt::Box);
        EXPECT_EQ(p.Caption, "Confirm");
        EXPECT_EQ(p.Text, text);
        EXPECT_EQ(p.Icon, TPromptIcon::Question);
        EXPECT_EQ(p.Buttons, TPromptButtons::YesNo);
    }
    std::size_t PromptCount() const { return FPrompts.Prompts().size(); }

    TTempDir FDir;
    TLogoTree FTree{FDir.Path()};
    TScriptedPromptService FPrompts;
    bool FUploading = false;
    TLogoTreeEditor FEditor{FTree, FPrompts, [this] { return FUploading; }};
};

// ---- New folder ----

TEST_F(LogoTreeEditorTest, NewFolderInTheRootCreatesTheDiskFoldersAndSelectsTheNode)
{
    FPrompts.AnswerInput("Cats");
    FEditor.Newfolder();

    ASSERT_EQ(PromptCount(), 1u);
    ExpectInput(0, "New folder name", "Enter new folder name:", "New Folder");
    ExpectMirror({"Cats/"});
    TLogoNode *node = Root()->Item(0);
    EXPECT_EQ(node->Kind(), nkFolder);
    EXPECT_EQ(node->Data()->Name, "Cats");
    EXPECT_EQ(node->ImageIndex(), kFolderImage);
    EXPECT_EQ(node->SelectedIndex(), kFolderImage);
    EXPECT_EQ(FTree.Selected(), node);
}

TEST_F(LogoTreeEditorTest, NewFolderProposesTheFirstFreeFolderName)
{
    Folder(Root(), "New Folder");
    Folder(Root(), "new folder 2");
    FEditor.Newfolder(); // cancelled
    ExpectInput(0, "New folder name", "Enter new folder name:", "New Folder 3");
    ExpectMirror({"New Folder/", "new folder 2/"});
    EXPECT_EQ(FTree.Selected(), nullptr);
}

TEST_F(LogoTreeEditorTest, NewFolderGoesBeforeTheFirstLogo)
{
    struct TCase {
        std::vector<std::string> Children; // "x/" is a folder
        std::string Expected;
    };
    const std::vector<TCase> cases = {
        {{"F1/", "F2/", "l1.jpg", "l2.jpg"}, "F1/,F2/,New/,l1.jpg,l2.jpg"},
        {{"l1.jpg", "l2.jpg"}, "New/,l1.jpg,l2.jpg"},
        {{}, "New/"},
        {{"F1/", "F2/"}, "F1/,F2/,New/"},
        {{"l1.jpg", "F1/"}, "New/,l1.jpg,F1/"},
    };
    for (const TCase &c : cases) {
        TTempDir dir;
        TLogoTree tree(dir.Path());
        tree.CreateRootNode();
        TScriptedPromptService prompts;
        TLogoTreeEditor editor(tree, prompts);
        TLogoNode *pets = tree.AddChild(tree.Root(), std::make_unique<TLogoDirObject>(nkFolder, "Pets"));
        for (std::string name : c.Children) {
            const bool folder = name.back() == '/';
            if (folder)
                name.pop_back();
            tree.AddChild(pets, std::make_unique<TLogoDirObject>(folder ? nkFolder : nkLogo, name));
        }
        tree.Select(pets);
        prompts.AnswerInput("New");
        editor.Newfolder();
        EXPECT_EQ(Shape(pets), c.Expected);
        EXPECT_TRUE(DirectoryExists(dir.Path() + "Logo Directory/Pets/New"));
        EXPECT_EQ(tree.Selected()->Text(), "New");
    }
}

TEST_F(LogoTreeEditorTest, NewFolderWithALogoSelectedGoesIntoThatLogosFolder)
{
    TLogoNode *cats = Folder(Root(), "Cats");
    Folder(cats, "Old");
    TLogoNode *tom = Logo(cats, "tom.jpg");
    Logo(cats, "kit.jpg");
    FTree.Select(tom);
    FPrompts.AnswerInput("Kittens");
    FEditor.Newfolder();
    EXPECT_EQ(Shape(), "Cats/(Old/,Kittens/,tom.jpg,kit.jpg)");
    ExpectMirror({"Cats/", "Cats/Old/", "Cats/Kittens/", "Cats/tom.jpg", "Cats/kit.jpg"});
    EXPECT_EQ(FTree.Selected(), cats->Item(1));
}

TEST_F(LogoTreeEditorTest, NewFolderCancelledChangesNothing)
{
    FPrompts.CancelInput();
    FEditor.Newfolder();
    EXPECT_EQ(PromptCount(), 1u);
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_FALSE(Exists(Disk("")));
}

TEST_F(LogoTreeEditorTest, NewFolderRefusesANameTakenBySiblings)
{
    Logo(Root(), "cat.jpg");
    Folder(Root(), "a.b");
    // "cat": the base name of a logo; "CAT": in any case; "a": the base name of the folder "a.b";
    // "a.b" and "A.B": the folder itself, whose base name alone would let them pass.
    for (const char *name : {"cat", "CAT", "a", "a.b", "A.B"}) {
        FPrompts.Clear();
        FPrompts.AnswerInput(name);
        FEditor.Newfolder();
        ASSERT_EQ(PromptCount(), 2u) << name;
        ExpectError(1, kNameTaken);
        ExpectMirror({"cat.jpg", "a.b/"});
    }
}

TEST_F(LogoTreeEditorTest, NewFolderRefusesNamesThatAreNoSinglePathComponent)
{
    Folder(Root(), "Cats");
    for (const char *name : {"", ".", "..", "x/y", "Cats/Sub", "/"}) {
        FPrompts.Clear();
        FPrompts.AnswerInput(name);
        FEditor.Newfolder();
        ASSERT_EQ(PromptCount(), 2u) << name;
        ExpectError(1, kCannotCreateFolder);
        ExpectMirror({"Cats/"});
    }
    EXPECT_FALSE(Exists(FDir / "Logo Directory/x"));
}

// A folder or file left without a node (by a crash before the index was written) is neither
// proposed nor silently merged into or replaced.
TEST_F(LogoTreeEditorTest, NewFolderStaysOutOfADiskEntryWithoutNode)
{
    WriteFile(Disk("New Folder/untracked.jpg"), "x");
    WriteFile(Disk("found.jpg"), "y");
    WriteFile(Disk("stray"), "not a folder");
    for (const char *typed : {"New Folder", "NEW FOLDER", "Found", "stray"}) {
        FPrompts.Clear();
        FPrompts.AnswerInput(typed);
        FEditor.Newfolder();
        ExpectInput(0, "New folder name", "Enter new folder name:", "New Folder 2");
        ExpectError(1, kNameTaken);
    }
    EXPECT_EQ(Shape(), "");
    EXPECT_EQ(ReadFile(Disk("New Folder/untracked.jpg")), "x");
    EXPECT_EQ(ReadFile(Disk("stray")), "not a folder");
}

TEST_F(LogoTreeEditorTest, NewFolderIsAllowedDuringAnUpload)
{
    FUploading = true;
    FPrompts.AnswerInput("Cats");
    FEditor.Newfolder();
    ExpectMirror({"Cats/"});
}

// ---- Rename ----

TEST_F(LogoTreeEditorTest, RenameLogoKeepsTheExtensionAndTheContent)
{
    TLogoNode *cats = Folder(Root(), "Cats");
    TLogoNode *cat = Logo(cats, "cat.jpg");
    FTree.Select(cat);
    FPrompts.AnswerInput("dog");
    FEditor.RenameSelected();

    ASSERT_EQ(PromptCount(), 1u);
    ExpectInput(0, "New Logo name", "Enter new logo name:", "cat");
    EXPECT_EQ(cat->Text(), "dog.jpg");
    EXPECT_EQ(cat->Data()->Name, "dog.jpg");
    ExpectMirror({"Cats/", "Cats/dog.jpg"});
    EXPECT_EQ(ReadFile(Disk("Cats/dog.jpg")), "cat.jpg");
    EXPECT_EQ(FTree.Selected(), cat);
}

TEST_F(LogoTreeEditorTest, RenameLogoTreatsATypedExtensionAsPartOfTheBase)
{
    struct TCase {
        std::string Old, Entered, New;
    };
    const std::vector<TCase> cases = {
        {"b.jpg", "a.png", "a.png.jpg"}, {"readme", "notes", "notes"}, // no extension
        {".jpg", "x", "x.jpg"},                                        // empty base
        {"b.jpg", ".", "..jpg"},                                       // an odd but single file name
        {"b.jpg", " b ", " b .jpg"},                                   // not trimmed
    };
    for (const TCase &c : cases) {
        TTempDir dir;
        TLogoTree tree(dir.Path());
        tree.CreateRootNode();
        TScriptedPromptService prompts;
        TLogoTreeEditor editor(tree, prompts);
        WriteFile(dir.Path() + "Logo Directory/" + c.Old, "pic");
        TLogoNode *node = tree.AddChild(tree.Root(), std::make_unique<TLogoDirObject>(nkLogo, c.Old));
        prompts.AnswerInput(c.Entered);
        editor.RenameLogo(node);
        EXPECT_EQ(prompts.Texts(), std::vector<std::string>{}) << c.Old << " -> " << c.Entered;
        EXPECT_EQ(node->Text(), c.New);
        EXPECT_EQ(ReadFile(dir.Path() + "Logo Directory/" + c.New), "pic");
        EXPECT_FALSE(Exists(dir.Path() + "Logo Directory/" + c.Old));
    }
}

TEST_F(LogoTreeEditorTest, RenameLogoToTheSameNameInAnyCaseDoesNothing)
{
    TLogoNode *cat = Logo(Root(), "cat.jpg");
    for (const char *name : {"CAT", "cat", "Cat"}) {
        FPrompts.Clear();
        FPrompts.AnswerInput(name);
        FEditor.RenameLogo(cat);
        EXPECT_EQ(PromptCount(), 1u) << name;
        EXPECT_EQ(cat->Text(), "cat.jpg");
        ExpectMirror({"cat.jpg"});
    }
}

TEST_F(LogoTreeEditorTest, RenameLogoRefusesANameTakenBySiblings)
{
    TLogoNode *cat = Logo(Root(), "cat.jpg");
    Folder(Root(), "dog");
    Logo(Root(), "Bird.png");
    for (const char *name : {"dog", "DOG", "bird"}) {
        FPrompts.Clear();
        FPrompts.AnswerInput(name);
        FEditor.RenameLogo(cat);
        ASSERT_EQ(PromptCount(), 2u) << name;
        ExpectError(1, kNameTaken);
        ExpectMirror({"cat.jpg", "dog/", "Bird.png"});
    }
}

TEST_F(LogoTreeEditorTest, RenameLogoWithoutExtensionRefusesTheFullNameOfASibling)
{
    TLogoNode *notes = Logo(Root(), "notes");
    Folder(Root(), "A.B");
    FPrompts.AnswerInput("a.b"); // base "a.b" passes beside "A.B" (base "A"), the full name does not
    FEditor.RenameLogo(notes);
    ExpectError(1, kNameTaken);
    ExpectMirror({"notes", "A.B/"});
}

TEST_F(LogoTreeEditorTest, RenameLogoOntoAFileWithoutNodeFailsAndLosesNothing)
{
    TLogoNode *cat = Logo(Root(), "cat.jpg");
    WriteFile(Disk("dog.jpg"), "untracked");
    FPrompts.AnswerInput("dog");
    FEditor.RenameLogo(cat);
    ExpectError(1, kCannotRenameLogo);
    EXPECT_EQ(cat->Text(), "cat.jpg");
    EXPECT_EQ(ReadFile(Disk("cat.jpg")), "cat.jpg");
    EXPECT_EQ(ReadFile(Disk("dog.jpg")), "untracked");
}

TEST_F(LogoTreeEditorTest, RenameLogoWhoseFileIsGoneFails)
{
    TLogoNode *cat = Logo(Root(), "cat.jpg");
    std::filesystem::remove(Disk("cat.jpg"));
    FPrompts.AnswerInput("dog");
    FEditor.RenameLogo(cat);
    ExpectError(1, kCannotRenameLogo);
    EXPECT_EQ(cat->Text(), "cat.jpg");
    EXPECT_EQ(DiskEntries(), TEntries{});
}

TEST_F(LogoTreeEditorTest, RenameLogoRefusesNamesThatAreNoSinglePathComponent)
{
    TLogoNode *cats = Folder(Root(), "Cats");
    TLogoNode *b = Logo(Root(), "b.jpg");
    TLogoNode *plain = Logo(Root(), "plain");
    struct TCase {
        TLogoNode *Node;
        const char *Entered;
    };
    // "" for "b.jpg" would leave ".jpg", a name without a base.
    for (const TCase &c : {TCase{b, ""}, TCase{b, "x/y"}, TCase{b, "../b"}, TCase{b, "Cats/b"}, TCase{plain, ""},
                           TCase{plain, "."}, TCase{plain, ".."}, TCase{plain, "a/"}}) {
        FPrompts.Clear();
        FPrompts.AnswerInput(c.Entered);
        FEditor.RenameLogo(c.Node);
        ASSERT_EQ(PromptCount(), 2u) << c.Entered;
        ExpectError(1, kCannotRenameLogo);
        ExpectMirror({"Cats/", "b.jpg", "plain"});
    }
    EXPECT_EQ(cats->Count(), 0);
}

TEST_F(LogoTreeEditorTest, RenameFolderMovesTheFolderWithItsContent)
{
    TLogoNode *cats = Folder(Root(), "Cats");
    TLogoNode *kitten = Logo(cats, "kitten.jpg");
    FTree.Select(cats);
    FPrompts.AnswerInput("Pets");
    FEditor.RenameSelected();

    ASSERT_EQ(PromptCount(), 1u);
    ExpectInput(0, "New Folder name", "Enter new folder name:", "Cats");
    EXPECT_EQ(cats->Text(), "Pets");
    EXPECT_EQ(cats->Data()->Name, "Pets");
    ExpectMirror({"Pets/", "Pets/kitten.jpg"});
    EXPECT_EQ(FTree.GetLogoFileName(kitten), Disk("Pets/kitten.jpg"));
    EXPECT_EQ(ReadFile(FTree.GetLogoFileName(kitten)), "kitten.jpg");
}

TEST_F(LogoTreeEditorTest, RenameFolderRefusals)
{
    struct TCase {
        std::string Entered;
        std::string Message; // empty: nothing happens, no box
    };
    // Siblings: "a.b/" (renamed), "Dogs/", "cat.jpg", "Other.x/"; "Stray" exists on disk only.
    const std::vector<TCase> cases = {
        {"A.B", ""},                    // a change of case alone
        {"a", kNameTaken},              // the folder's own base name is "a"
        {"dogs", kNameTaken},           // a sibling folder in another case
        {"CAT", kNameTaken},            // the base name of a sibling logo
        {"other.X", kNameTaken},        // the whole name of a sibling folder
        {"Stray", kCannotRenameFolder}, // the disk refuses to overwrite
        {"", kCannotRenameFolder},
        {".", kCannotRenameFolder},
        {"..", kCannotRenameFolder},
        {"Dogs/a.b", kCannotRenameFolder},
    };
    TLogoNode *ab = Folder(Root(), "a.b");
    Logo(ab, "in.jpg");
    Folder(Root(), "Dogs");
    Logo(Root(), "cat.jpg");
    Folder(Root(), "Other.x");
    std::filesystem::create_directories(Disk("Stray"));
    const TEntries before = DiskEntries();
    for (const TCase &c : cases) {
        FPrompts.Clear();
        FPrompts.AnswerInput(c.Entered);
        FEditor.RenameFolder(ab);
        if (c.Message.empty()) {
            EXPECT_EQ(PromptCount(), 1u) << c.Entered;
        } else {
            ASSERT_EQ(PromptCount(), 2u) << c.Entered;
            ExpectError(1, c.Message);
        }
        EXPECT_EQ(ab->Text(), "a.b");
        EXPECT_EQ(DiskEntries(), before) << c.Entered;
    }
}

TEST_F(LogoTreeEditorTest, RenameFolderWhoseDiskFolderIsGoneFails)
{
    TLogoNode *cats = Folder(Root(), "Cats");
    std::filesystem::remove(Disk("Cats"));
    FPrompts.AnswerInput("Pets");
    FEditor.RenameFolder(cats);
    ExpectError(1, kCannotRenameFolder);
    EXPECT_EQ(cats->Text(), "Cats");
}

TEST_F(LogoTreeEditorTest, RenameCancelledChangesNothing)
{
    TLogoNode *cats = Folder(Root(), "Cats");
    TLogoNode *cat = Logo(cats, "cat.jpg");
    FPrompts.CancelInput();
    FEditor.RenameFolder(cats);
    FPrompts.CancelInput();
    FEditor.RenameLogo(cat);
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{});
    ExpectMirror({"Cats/", "Cats/cat.jpg"});
}

TEST_F(LogoTreeEditorTest, RenameSelectedIgnoresTheRootAndNoSelection)
{
    Logo(Root(), "cat.jpg");
    FPrompts.AnswerInput("x");
    FEditor.RenameSelected();
    FTree.Select(Root());
    FEditor.RenameSelected();
    EXPECT_EQ(PromptCount(), 0u);
    EXPECT_EQ(Root()->Text(), "Logo Directory");
}

// ---- Delete ----

TEST_F(LogoTreeEditorTest, DeleteIsRefusedDuringAnUpload)
{
    TLogoNode *cat = Logo(Root(), "cat.jpg");
    FTree.Select(cat);
    FUploading = true;
    FPrompts.Answer(TPromptResult::Yes);
    FEditor.DeleteSelected();
    ASSERT_EQ(PromptCount(), 1u);
    const TRecordedPrompt &p = FPrompts.Prompts()[0];
    EXPECT_EQ(p.Caption, "Warning");
    EXPECT_EQ(p.Text, kUploadRunning);
    EXPECT_EQ(p.Icon, TPromptIcon::Warning);
    EXPECT_EQ(p.Buttons, TPromptButtons::Ok);
    ExpectMirror({"cat.jpg"});
}

TEST_F(LogoTreeEditorTest, DeleteWithTheRootOrNothingSelectedAsksNothing)
{
    Logo(Root(), "cat.jpg");
    FPrompts.Answer(TPromptResult::Yes);
    FEditor.DeleteSelected();
    FTree.Select(Root());
    FEditor.DeleteSelected();
    EXPECT_EQ(PromptCount(), 0u);
    ExpectMirror({"cat.jpg"});
}

TEST_F(LogoTreeEditorTest, DeleteLogoRemovesFileAndNode)
{
    Logo(Root(), "a.jpg");
    TLogoNode *b = Logo(Root(), "b.jpg");
    Logo(Root(), "c.jpg");
    FTree.Select(b);
    FPrompts.Answer(TPromptResult::Yes);
    FEditor.DeleteSelected();
    ASSERT_EQ(PromptCount(), 1u);
    ExpectConfirm(0, kConfirmDeleteLogo);
    ExpectMirror({"a.jpg", "c.jpg"});
    ASSERT_NE(FTree.Selected(), nullptr);
    EXPECT_EQ(FTree.Selected()->Text(), "c.jpg");
}

TEST_F(LogoTreeEditorTest, DeleteLogoWhoseFileIsGoneKeepsTheNode)
{
    TLogoNode *cat = Logo(Root(), "cat.jpg");
    std::filesystem::remove(Disk("cat.jpg"));
    FTree.Select(cat);
    FPrompts.Answer(TPromptResult::Yes);
    FEditor.DeleteSelected();
    ASSERT_EQ(PromptCount(), 2u);
    ExpectError(1, kCannotDeleteLogo);
    EXPECT_EQ(Shape(), "cat.jpg");
    EXPECT_EQ(FTree.Selected(), cat);
}

TEST_F(LogoTreeEditorTest, DeleteLogoRefusesToRemoveAFolderOfTheSameName)
{
    // A damaged index may call a disk folder a logo.
    TLogoNode *odd = FTree.AddChild(Root(), std::make_unique<TLogoDirObject>(nkLogo, "odd.jpg"));
    std::filesystem::create_directories(Disk("odd.jpg"));
    FPrompts.Answer(TPromptResult::Yes);
    FEditor.DeleteLogo(odd);
    ExpectError(1, kCannotDeleteLogo);
    EXPECT_TRUE(DirectoryExists(Disk("odd.jpg")));
    EXPECT_EQ(Root()->Count(), 1);
}

TEST_F(LogoTreeEditorTest, DeleteEmptyFolderRemovesDiskFolderAndNode)
{
    TLogoNode *cats = Folder(Root(), "Cats");
    Folder(Root(), "Dogs");
    FTree.Select(cats);
    FPrompts.Answer(TPromptResult::Yes);
    FEditor.DeleteSelected();
    ASSERT_EQ(PromptCount(), 1u);
    ExpectConfirm(0, kConfirmDeleteFolder);
    ExpectMirror({"Dogs/"});
    EXPECT_EQ(FTree.Selected()->Text(), "Dogs");
}

TEST_F(LogoTreeEditorTest, DeleteEmptyFolderHoldingAnUntrackedFileKeepsTheNode)
{
    TLogoNode *cats = Folder(Root(), "Cats");
    WriteFile(Disk("Cats/stray.txt"), "x");
    FTree.Select(cats);
    FPrompts.Answer(TPromptResult::Yes);
    FEditor.DeleteSelected();
    ASSERT_EQ(PromptCount(), 2u);
    ExpectError(1, kCannotDeleteFolder);
    EXPECT_EQ(Shape(), "Cats/");
    EXPECT_EQ(ReadFile(Disk("Cats/stray.txt")), "x");
}

TEST_F(LogoTreeEditorTest, DeleteFolderTreeRemovesEverything)
{
    TLogoNode *top = Folder(Root(), "Top");
    Logo(top, "a.jpg");
    TLogoNode *sub = Folder(top, "Sub");
    Logo(sub, "b.jpg");
    Folder(sub, "Deeper");
    Logo(Root(), "keep.jpg");
    FTree.Select(top);
    FPrompts.Answer(TPromptResult::Yes);
    FEditor.DeleteSelected();
    ASSERT_EQ(PromptCount(), 1u);
    ExpectConfirm(0, kConfirmDeleteTree);
    ExpectMirror({"keep.jpg"});
    EXPECT_EQ(FTree.Selected()->Text(), "keep.jpg");
}

TEST_F(LogoTreeEditorTest, DeleteFolderTreeStopsAtTheFirstFailure)
{
    // Top-down: Top, a.jpg, Sub, b.jpg, c.jpg, d.jpg. Deleted from the end: d.jpg, c.jpg, then
    // b.jpg fails; everything before it stays.
    struct TCase {
        std::string Blocker; // how deletion is made to fail
        TEntries Remaining;
    };
    const std::vector<TCase> cases = {
        {"b.jpg is a folder", {"Top/", "Top/a.jpg", "Top/Sub/", "Top/Sub/b.jpg"}},
        {"Sub holds a stray file", {"Top/", "Top/a.jpg", "Top/Sub/"}},
        {"a.jpg is missing", {"Top/", "Top/a.jpg"}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Blocker);
        TTempDir dir;
        TLogoTree tree(dir.Path());
        tree.CreateRootNode();
        TScriptedPromptService prompts;
        TLogoTreeEditor editor(tree, prompts);
        const std::string base = dir.Path() + "Logo Directory/";
        auto add = [&](TLogoNode *parent, const std::string &name, TLogoNodeKind kind) {
            const std::string path = tree.GetFolderPath(parent) + name;
            if (kind == nkFolder)
                std::filesystem::create_directories(path);
            else
                WriteFile(path, name);
            return tree.AddChild(parent, std::make_unique<TLogoDirObject>(kind, name));
        };
        TLogoNode *top = add(tree.Root(), "Top", nkFolder);
        add(top, "a.jpg", nkLogo);
        TLogoNode *sub = add(top, "Sub", nkFolder);
        add(sub, "b.jpg", nkLogo);
        add(sub, "c.jpg", nkLogo);
        add(top, "d.jpg", nkLogo);
        if (c.Blocker == "b.jpg is a folder") {
            std::filesystem::remove(base + "Top/Sub/b.jpg");
            std::filesystem::create_directories(base + "Top/Sub/b.jpg");
        } else if (c.Blocker == "Sub holds a stray file") {
            WriteFile(base + "Top/Sub/stray.txt", "x");
        } else {
            std::filesystem::remove(base + "Top/a.jpg");
        }
        tree.Select(top);
        prompts.Answer(TPromptResult::Yes);
        editor.DeleteSelected();

        EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{kConfirmDeleteTree, kCannotDeleteFolder}));
        TEntries nodes;
        Collect(tree.Root(), "", nodes);
        EXPECT_EQ(nodes, c.Remaining);
        for (const std::string &entry : c.Remaining) {
            const bool removedBehindOurBack = entry == "Top/a.jpg" && c.Blocker == "a.jpg is missing";
            EXPECT_EQ(Exists(base + entry), !removedBehindOurBack) << entry;
        }
        for (const char *gone : {"Top/d.jpg", "Top/Sub/c.jpg"})
            EXPECT_FALSE(Exists(base + gone)) << gone;
        EXPECT_EQ(tree.Selected(), top);
    }
}

TEST_F(LogoTreeEditorTest, NoInAConfirmationChangesNothing)
{
    TLogoNode *cat = Logo(Root(), "cat.jpg");
    TLogoNode *empty = Folder(Root(), "Empty");
    TLogoNode *full = Folder(Root(), "Full");
    Logo(full, "in.jpg");
    for (TLogoNode *node : {cat, empty, full}) {
        FTree.Select(node);
        FPrompts.Answer(TPromptResult::No);
        FEditor.DeleteSelected();
    }
    EXPECT_EQ(FPrompts.Texts(),
              (std::vector<std::string>{kConfirmDeleteLogo, kConfirmDeleteFolder, kConfirmDeleteTree}));
    ExpectMirror({"cat.jpg", "Empty/", "Full/", "Full/in.jpg"});
}

TEST_F(LogoTreeEditorTest, DeleteNeverRemovesAFolderAnotherNodeStandsFor)
{
    // Nodes such as these can only come from a damaged index; the delete must not touch their
    // entries, which other nodes stand for.
    std::filesystem::create_directories(Disk(""));
    TLogoNode *blank = FTree.AddChild(Root(), std::make_unique<TLogoDirObject>(nkFolder, ""));
    FPrompts.Answer(TPromptResult::Yes);
    FEditor.DeleteEmptyFolder(blank); // its path is the root's folder
    ExpectError(1, kCannotDeleteFolder);
    EXPECT_TRUE(DirectoryExists(Disk("")));

    TLogoNode *twin = Folder(Root(), "Twin");
    FTree.AddChild(Root(), std::make_unique<TLogoDirObject>(nkFolder, "Twin"));
    FPrompts.Clear();
    FPrompts.Answer(TPromptResult::Yes);
    FEditor.DeleteEmptyFolder(twin);
    ExpectError(1, kCannotDeleteFolder);
    EXPECT_TRUE(DirectoryExists(Disk("Twin")));
    EXPECT_EQ(Root()->Count(), 3);

    EXPECT_FALSE(FEditor.DeleteNodeTree(Root()));
    EXPECT_TRUE(DirectoryExists(Disk("Twin")));
    EXPECT_EQ(Root()->Count(), 3);
}

// ---- Adding a picture ----

TEST_F(LogoTreeEditorTest, AddImageWithNothingSelectedCreatesTheRootFolder)
{
    WriteFile(FDir / "download/Photo.JPG", "jpeg bytes");
    TLogoDirObject logoTemplate;
    logoTemplate.PhoneMakeId = 7;
    logoTemplate.PhoneModelId = 3;
    logoTemplate.LogoWidth = 101;
    logoTemplate.LogoHeight = 80;
    logoTemplate.FitKind = fkWidth;
    logoTemplate.KeepProportions = false;

    TLogoNode *node = FEditor.AddImageToDirectory(FDir / "download/Photo.JPG", logoTemplate);

    ASSERT_NE(node, nullptr);
    EXPECT_EQ(PromptCount(), 0u);
    ExpectMirror({"Photo.JPG"});
    EXPECT_EQ(ReadFile(Disk("Photo.JPG")), "jpeg bytes");
    EXPECT_EQ(ReadFile(FDir / "download/Photo.JPG"), "jpeg bytes");
    TLogoDirObject expected = logoTemplate;
    expected.Name = "Photo.JPG";
    EXPECT_EQ(*node->Data(), expected);
    EXPECT_EQ(node->ImageIndex(), kLogoImage);
    EXPECT_EQ(node->SelectedIndex(), kLogoImage);
    EXPECT_EQ(FTree.Selected(), node);
}

TEST_F(LogoTreeEditorTest, AddImageWithALogoSelectedAddsLastInItsFolder)
{
    TLogoNode *cats = Folder(Root(), "Cats");
    TLogoNode *tom = Logo(cats, "tom.jpg");
    Folder(cats, "Sub");
    FTree.Select(tom);
    WriteFile(FDir / "kit.png", "png");
    TLogoNode *node = FEditor.AddImageToDirectory(FDir / "kit.png", TLogoDirObject());
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(Shape(), "Cats/(tom.jpg,Sub/,kit.png)");
    ExpectMirror({"Cats/", "Cats/tom.jpg", "Cats/Sub/", "Cats/kit.png"});
}

TEST_F(LogoTreeEditorTest, AddImageMakesTheNameUnique)
{
    struct TCase {
        std::vector<std::string> Siblings; // "x/" is a folder
        std::string File;
        std::vector<std::string> Added; // names after adding the file once per entry
    };
    const std::vector<TCase> cases = {
        {{}, "Photo.JPG", {"Photo.JPG", "Photo2.JPG", "Photo3.JPG"}},
        {{"photo/"}, "photo.jpg", {"photo2.jpg"}},
        {{"PHOTO.gif"}, "photo.jpg", {"photo2.jpg"}},
        {{"a.b/"}, "a.png", {"a2.png"}},
        {{"photo.jpg", "photo3.jpg"}, "photo.jpg", {"photo2.jpg", "photo4.jpg"}},
        {{}, "noext", {"noext", "noext2"}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.File);
        TTempDir dir;
        TLogoTree tree(dir.Path());
        tree.CreateRootNode();
        TScriptedPromptService prompts;
        TLogoTreeEditor editor(tree, prompts);
        for (std::string name : c.Siblings) {
            const bool folder = name.back() == '/';
            if (folder)
                name.pop_back();
            tree.AddChild(tree.Root(), std::make_unique<TLogoDirObject>(folder ? nkFolder : nkLogo, name));
        }
        WriteFile(dir / ("src/" + c.File), "data");
        for (const std::string &expected : c.Added) {
            TLogoNode *node = editor.AddImageToDirectory(dir / ("src/" + c.File), TLogoDirObject());
            ASSERT_NE(node, nullptr);
            EXPECT_EQ(node->Text(), expected);
            EXPECT_EQ(node->Index(), tree.Root()->Count() - 1);
            EXPECT_EQ(ReadFile(dir / ("Logo Directory/" + expected)), "data");
        }
        EXPECT_EQ(prompts.Texts(), std::vector<std::string>{});
    }
}

// Files without a node (a crash's orphans, the only copy of a scan) block their base name in
// any ASCII case, as a sibling node would.
TEST_F(LogoTreeEditorTest, AddImageNeverReplacesAFileWithoutNode)
{
    struct TCase {
        TEntries Orphans; // "x/" is a folder
        std::string Added;
    };
    const std::vector<TCase> cases = {
        {{"kit.png"}, "kit2.png"}, {{"KIT.PNG"}, "kit2.png"}, {{"Kit.jpg", "kit2.gif"}, "kit3.png"},
        {{"kit/"}, "kit2.png"},    {{"kit3.png"}, "kit.png"},
    };
    WriteFile(FDir / "kit.png", "new");
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Added);
        std::filesystem::remove_all(Disk(""));
        TEntries expected = c.Orphans;
        for (const std::string &orphan : c.Orphans)
            if (orphan.back() == '/')
                std::filesystem::create_directories(Disk(orphan));
            else
                WriteFile(Disk(orphan), "orphan");
        const TLogoNode *node = FEditor.AddImageToDirectory(FDir / "kit.png", TLogoDirObject());
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->Text(), c.Added);
        FTree.RemoveNode(FTree.Root()->Item(0));
        expected.insert(c.Added);
        EXPECT_EQ(DiskEntries(), expected);
        EXPECT_EQ(ReadFile(Disk(c.Added)), "new");
    }
}

TEST_F(LogoTreeEditorTest, AddImageRecreatesAMissingFolder)
{
    TLogoNode *cats = Folder(Root(), "Cats");
    std::filesystem::remove(Disk("Cats"));
    FTree.Select(cats);
    WriteFile(FDir / "kit.png", "png");
    ASSERT_NE(FEditor.AddImageToDirectory(FDir / "kit.png", TLogoDirObject()), nullptr);
    ExpectMirror({"Cats/", "Cats/kit.png"});
}

TEST_F(LogoTreeEditorTest, AddImageFailsWhenTheFolderCannotBeCreated)
{
    WriteFile(FDir / "Logo Directory", "a file in the way");
    WriteFile(FDir / "kit.png", "png");
    EXPECT_EQ(FEditor.AddImageToDirectory(FDir / "kit.png", TLogoDirObject()), nullptr);
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{kCannotMakeFolder});
    ExpectError(0, kCannotMakeFolder);
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_EQ(FTree.Selected(), nullptr);
}

TEST_F(LogoTreeEditorTest, AddImageFailsWhenTheCopyFails)
{
    EXPECT_EQ(FEditor.AddImageToDirectory(FDir / "missing.png", TLogoDirObject()), nullptr);
    ExpectError(0, kCannotCopyImage);
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_TRUE(DirectoryExists(Disk(""))); // the folder made before the copy stays
    EXPECT_EQ(DiskEntries(), TEntries{});
}

TEST_F(LogoTreeEditorTest, AddImageOfAPathThatNamesNoFileAddsNothing)
{
    std::filesystem::create_directories(FDir / "photos");
    for (const std::string &path : {FDir / "photos/", FDir / "photos/.", FDir / "photos/.."}) {
        FPrompts.Clear();
        EXPECT_EQ(FEditor.AddImageToDirectory(path, TLogoDirObject()), nullptr) << path;
        EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{kCannotCopyImage}) << path;
    }
    EXPECT_EQ(Root()->Count(), 0);
}

TEST_F(LogoTreeEditorTest, AddImageOfAnUntrackedFileInItsOwnFolderKeepsTheFile)
{
    WriteFile(Disk("here.jpg"), "precious");
    ASSERT_NE(FEditor.AddImageToDirectory(Disk("here.jpg"), TLogoDirObject()), nullptr);
    EXPECT_EQ(Shape(), "here2.jpg");
    EXPECT_EQ(ReadFile(Disk("here.jpg")), "precious");
    EXPECT_EQ(ReadFile(Disk("here2.jpg")), "precious");
}

TEST_F(LogoTreeEditorTest, AddImageAlwaysMakesALogo)
{
    WriteFile(FDir / "kit.png", "png");
    const TLogoDirObject folderRecord(nkFolder, "Whatever");
    TLogoNode *node = FEditor.AddImageToDirectory(FDir / "kit.png", folderRecord);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Kind(), nkLogo);
    EXPECT_EQ(node->ImageIndex(), kLogoImage);
    EXPECT_EQ(node->Text(), "kit.png");
}

} // namespace
} // namespace vantorel
