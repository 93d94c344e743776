// Dialogs whose size is fixed once shown: a window manager then offers neither resizing nor
// maximizing, which the dialog's frame must not allow.
#include <functional>
#include <memory>

#include <QDialog>

#include <gtest/gtest.h>

#include "AccessURLHint.h"
#include "FileFormatChoice.h"
#include "NewAppVerDownloadRequest.h"
#include "OptionsForm.h"
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

} // namespace
} // namespace vantorel
