// Dialogs whose size is fixed once shown: a window manager then offers neither resizing nor
// maximizing, which the dialog's frame must not allow.
#include <functional>
#include <memory>

#include <QDialog>

#include <gtest/gtest.h>

#include "AccessURLHint.h"
#include "DialogAnswers.h"
#include "DialogFrame.h"
#include "FileFormatChoice.h"
#include "NewAppVerDownloadRequest.h"
#include "OptionsForm.h"
#include "QtPromptService.h"
#include "SendToFriend.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

TEST(DialogFrames, ShownDialogsCannotBeResized)
{
    test::TTempDir folder;
    TXMLSource xml;
    TScriptedPromptService prompts;
    TOptionsForm options(folder.Path(), xml, prompts);
    const struct {
        const char *name;
        std::function<std::unique_ptr<QDialog>()> make;
    } cases[] = {
        {"options", [&] { return std::make_unique<TOptionsForm>(folder.Path(), xml, prompts); }},
        {"send to friend", [&] { return std::make_unique<TSendToFriendForm>(options, prompts); }},
        {"format choice", [] { return std::make_unique<TFileFormatChoiceForm>(); }},
        {"access hint", [] { return std::make_unique<TAccessURLHintForm>(); }},
        {"new version", [] { return std::make_unique<TNewAppVerDownloadRequestForm>(); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<QDialog> dialog = c.make();
        dialog->show();
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    }
}

TEST(DialogFrames, NamePromptsAreWideEnoughForTheirCaptions)
{
    TQtPromptService prompts;
    for (const char *caption : {"New folder name", "New Logo name", "Imported image name", "Grabbed image name"}) {
        test::TDialogAnswers answers; // Cancel
        std::string name;
        EXPECT_FALSE(prompts.InputQuery(caption, "Enter new name:", name));
        ASSERT_EQ(answers.Sizes.size(), 1u);
        EXPECT_GE(answers.Sizes[0].width(), CaptionWidth(QString::fromLatin1(caption))) << caption;
    }
}

} // namespace
} // namespace vantorel
