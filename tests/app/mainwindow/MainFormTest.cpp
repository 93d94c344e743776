#include "MainForm.h"

#include <filesystem>

#include <QTreeView>

#include <gtest/gtest.h>

#include "LogoTreeModel.h"
#include "OptionsForm.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

using test::Exists;
using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FSavedRuntimeDir = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(FRun.Path()));
        WriteFile(
            FFolder / "phoneslist.xml",
            R"(<phoneslist><make name="Nokia"><model name="3310" screenwidth="84" screenheight="48"/></make></phoneslist>)");
        WriteFile(FFolder / "Logo Directory/Pets/cat.jpg", "x");
        WriteFile(FFolder / "logodirectory.xml", R"(<logodirectory>
            <logodirnode nodekind="folder" nodename="Pets"><logodirnode nodekind="logo" nodename="cat.jpg"/></logodirnode>
            </logodirectory>)");
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", FSavedRuntimeDir); }

    TTempDir FFolder;
    TTempDir FRun;
    QByteArray FSavedRuntimeDir;
    TScriptedPromptService FPrompts;
};

TEST_F(MainFormTest, StartUpReadsTheDataFilesAndShowsTheTree)
{
    TMainAppForm form(FFolder.Path(), &FPrompts);
    EXPECT_EQ(form.windowTitle(), "Vantorel");
    EXPECT_FALSE(form.QuitRequested());
    EXPECT_TRUE(FPrompts.Prompts().empty());
    ASSERT_EQ(form.PhoneMakes().size(), 1u);
    EXPECT_EQ(form.Parameters().Value("uploadscript"), "/upload.php");

    QAbstractItemModel *model = form.LogoTreeView->model();
    ASSERT_EQ(model->rowCount(), 1);
    const QModelIndex root = model->index(0, 0);
    EXPECT_EQ(root.data().toString(), "Logo Directory");
    EXPECT_TRUE(form.LogoTreeView->isExpanded(root));
    const QModelIndex pets = model->index(0, 0, root);
    EXPECT_EQ(pets.data().toString(), "Pets");
    EXPECT_FALSE(form.LogoTreeView->isExpanded(pets));
    EXPECT_EQ(model->index(0, 0, pets).data().toString(), "cat.jpg");
}

TEST_F(MainFormTest, FirstActivationRestoresTheSelectionOnce)
{
    WriteFile(FFolder / "appstate.xml", R"(<appstate><activenodepath value="Pets/cat.jpg"/></appstate>)");
    TMainAppForm form(FFolder.Path(), &FPrompts);
    form.FormActivate();
    const TLogoNode *selected = form.LogoTree().Selected();
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->Text(), "cat.jpg");
    EXPECT_EQ(TLogoTreeModel::NodeOf(form.LogoTreeView->currentIndex()), selected);
    EXPECT_TRUE(form.LogoTreeView->isExpanded(form.LogoTreeView->currentIndex().parent()));

    // Later activations leave the user's selection alone.
    form.LogoTree().Select(form.LogoTree().Root());
    form.FormActivate();
    EXPECT_EQ(form.LogoTree().Selected(), form.LogoTree().Root());
}

TEST_F(MainFormTest, ChoosingANodeInTheViewSelectsItInTheTree)
{
    TMainAppForm form(FFolder.Path(), &FPrompts);
    const QModelIndex pets = form.LogoTreeView->model()->index(0, 0, form.LogoTreeView->model()->index(0, 0));
    form.LogoTreeView->setCurrentIndex(pets);
    ASSERT_NE(form.LogoTree().Selected(), nullptr);
    EXPECT_EQ(form.LogoTree().Selected()->Text(), "Pets");
}

TEST_F(MainFormTest, MissingPhoneCatalogueEndsTheProgramWithoutWritingFiles)
{
    std::filesystem::remove(FFolder / "phoneslist.xml");
    TMainAppForm form(FFolder.Path(), &FPrompts);
    EXPECT_EQ(FPrompts.Texts(),
              std::vector<std::string>{"Unexpected error occurred during application initialization."});
    EXPECT_TRUE(form.QuitRequested());
    form.close();
    EXPECT_FALSE(Exists(FFolder / "appstate.xml"));
    EXPECT_FALSE(Exists(FFolder / "options.xml"));
}

TEST_F(MainFormTest, ShutdownWritesTheOtherFilesWhenOneFails)
{
    std::filesystem::create_directories(FFolder / "appstate.xml/occupied");
    TMainAppForm form(FFolder.Path(), &FPrompts);
    TOptionsForm options(FFolder.Path(), form.XMLSource(), form.Prompts());
    form.SetOptionsForm(&options);
    form.close();
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"Unable to save current application state"});
    EXPECT_TRUE(Exists(FFolder / "options.xml"));
    EXPECT_NE(ReadFile(FFolder / "logodirectory.xml").find("cat.jpg"), std::string::npos);

    // Exit after the close runs nothing twice.
    FPrompts.Clear();
    form.Exit1Click();
    EXPECT_TRUE(FPrompts.Prompts().empty());
}

} // namespace
} // namespace vantorel
