#include "PromptService.h"

namespace vantorel {

void TPromptService::ShowError(const std::string &text)
{
    MessageBox({"Error", text, TPromptIcon::Error, TPromptButtons::Ok});
}

void TPromptService::ShowError(const std::string &text, const std::string &detail)
{
    MessageBox({"Error", text, TPromptIcon::Error, TPromptButtons::Ok, detail});
}

void TPromptService::ShowWarning(const std::string &text)
{
    MessageBox({"Warning", text, TPromptIcon::Warning, TPromptButtons::Ok});
}

bool TPromptService::Confirm(const std::string &text)
{
    return MessageBox({"Confirm", text, TPromptIcon::Question, TPromptButtons::YesNo}) == TPromptResult::Yes;
}

TPromptResult TPromptService::ConfirmCancel(const std::string &text)
{
    return MessageBox({"Confirm", text, TPromptIcon::Question, TPromptButtons::YesNoCancel});
}

std::string TFileDialogRequest::FilterExtension(std::size_t filter) const
{
    if (filter < Filters.size()) {
        const std::string &patterns = Filters[filter].second;
        if (patterns.starts_with("*.") && patterns.find_first_of(";*?", 2) == std::string::npos)
            return patterns.substr(2);
    }
    return DefaultExtension;
}

TPromptResult TScriptedPromptService::MessageBox(const TMessageBoxRequest &request)
{
    FPrompts.push_back(
        {TRecordedPrompt::Box, request.Caption, request.Text, request.Icon, request.Buttons, {}, {}, request.Detail});
    TPromptResult fallback = TPromptResult::Ok;
    if (request.Buttons == TPromptButtons::YesNo)
        fallback = TPromptResult::No;
    else if (request.Buttons == TPromptButtons::YesNoCancel)
        fallback = TPromptResult::Cancel;
    if (request.Buttons == TPromptButtons::Ok || FAnswers.empty())
        return fallback;
    const TAnswer answer = FAnswers.front();
    FAnswers.pop_front();
    return answer.Result;
}

bool TScriptedPromptService::TakeText(std::string &value)
{
    if (FAnswers.empty())
        return false;
    const TAnswer answer = FAnswers.front();
    FAnswers.pop_front();
    if (answer.Result == TPromptResult::Cancel)
        return false;
    value = answer.Text;
    return true;
}

bool TScriptedPromptService::InputQuery(const std::string &caption, const std::string &prompt, std::string &value)
{
    FPrompts.push_back({TRecordedPrompt::Input, caption, prompt, TPromptIcon::Question, TPromptButtons::Ok, value, {}});
    return TakeText(value);
}

bool TScriptedPromptService::FileDialog(TRecordedPrompt::TKind kind, const TFileDialogRequest &request,
                                        std::string &fileName)
{
    FPrompts.push_back(
        {kind, request.Caption, {}, TPromptIcon::Question, TPromptButtons::Ok, request.FileName, request});
    return TakeText(fileName);
}

bool TScriptedPromptService::OpenFileDialog(const TFileDialogRequest &request, std::string &fileName)
{
    return FileDialog(TRecordedPrompt::OpenFile, request, fileName);
}

bool TScriptedPromptService::SaveFileDialog(const TFileDialogRequest &request, std::string &fileName,
                                            std::size_t &filter)
{
    const std::size_t chosen = FAnswers.empty() ? 0 : FAnswers.front().Filter;
    if (!FileDialog(TRecordedPrompt::SaveFile, request, fileName))
        return false;
    filter = chosen;
    return true;
}

std::vector<std::string> TScriptedPromptService::Texts() const
{
    std::vector<std::string> texts;
    for (const auto &p : FPrompts)
        if (p.Kind == TRecordedPrompt::Box)
            texts.push_back(p.Text);
    return texts;
}

} // namespace vantorel
