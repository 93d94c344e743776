#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace vantorel {

enum class TPromptIcon { Error, Warning, Question, Information };
enum class TPromptButtons { Ok, YesNo, YesNoCancel };
enum class TPromptResult { Ok, Yes, No, Cancel };

struct TMessageBoxRequest {
    std::string Caption;
    std::string Text;
    TPromptIcon Icon = TPromptIcon::Error;
    TPromptButtons Buttons = TPromptButtons::Ok;
    // Shown on request below the text: the cause the message itself does not name.
    std::string Detail = {};
};

// An open or save dialog: its filters as (description, patterns separated by ";").
struct TFileDialogRequest {
    std::string Caption;
    std::vector<std::pair<std::string, std::string>> Filters;
    std::string InitialFolder;
    std::string FileName;
    std::string DefaultExtension; // without the dot; added to a name typed without extension

    // The extension, without the dot, that a file type of a save dialog gives a name typed
    // without one: that of its one pattern "*.ext", else the default extension.
    std::string FilterExtension(std::size_t filter) const;
};

// Every question and message the program puts to the user goes through this service, so that
// logic can be driven by tests without a screen.
class TPromptService {
public:
    virtual ~TPromptService() = default;

    virtual TPromptResult MessageBox(const TMessageBoxRequest &request) = 0;
    // A modal input dialog; false when cancelled. value holds the initial text and the answer.
    virtual bool InputQuery(const std::string &caption, const std::string &prompt, std::string &value) = 0;
    // File dialogs; false when cancelled, else fileName holds the chosen path, and for a save
    // dialog filter the index of the file type chosen in it.
    virtual bool OpenFileDialog(const TFileDialogRequest &request, std::string &fileName) = 0;
    virtual bool SaveFileDialog(const TFileDialogRequest &request, std::string &fileName, std::size_t &filter) = 0;

    // The boxes of the program: "Error" and "Warning" with OK, "Confirm" with Yes and No.
    void ShowError(const std::string &text);
    // The same box, with the cause of the failure behind its details.
    void ShowError(const std::string &text, const std::string &detail);
    void ShowWarning(const std::string &text);
    bool Confirm(const std::string &text); // true for Yes
    TPromptResult ConfirmCancel(const std::string &text);
};

// A record of one prompt shown through the scripted service.
struct TRecordedPrompt {
    enum TKind { Box, Input, OpenFile, SaveFile } Kind = Box;
    std::string Caption;
    std::string Text; // the message, or the input dialog's prompt
    TPromptIcon Icon = TPromptIcon::Error;
    TPromptButtons Buttons = TPromptButtons::Ok;
    std::string InitialValue; // input dialogs; the initial file name of file dialogs
    TFileDialogRequest FileDialog;
    std::string Detail = {}; // boxes only
};

// The service for tests: records every prompt and answers from a queue. With the queue empty,
// a box answers OK, No or Cancel (the harmless answer) and an input dialog is cancelled.
class TScriptedPromptService : public TPromptService {
public:
    struct TAnswer {
        TPromptResult Result = TPromptResult::Ok;
        std::string Text;       // for input dialogs
        std::size_t Filter = 0; // the file type chosen in a save dialog
    };

    void Answer(TPromptResult result) { FAnswers.push_back({result, {}}); }
    void AnswerInput(std::string text) { FAnswers.push_back({TPromptResult::Ok, std::move(text)}); }
    void CancelInput() { FAnswers.push_back({TPromptResult::Cancel, {}}); }
    // File dialogs take their answers from the same queue.
    void AnswerFile(std::string path, std::size_t filter = 0)
    {
        FAnswers.push_back({TPromptResult::Ok, std::move(path), filter});
    }
    void CancelFile() { CancelInput(); }

    TPromptResult MessageBox(const TMessageBoxRequest &request) override;
    bool InputQuery(const std::string &caption, const std::string &prompt, std::string &value) override;
    bool OpenFileDialog(const TFileDialogRequest &request, std::string &fileName) override;
    bool SaveFileDialog(const TFileDialogRequest &request, std::string &fileName, std::size_t &filter) override;

    const std::vector<TRecordedPrompt> &Prompts() const { return FPrompts; }
    // The texts of the boxes shown, in order.
    std::vector<std::string> Texts() const;
    std::size_t PendingAnswers() const { return FAnswers.size(); }
    void Clear() { FPrompts.clear(); }

private:
    bool TakeText(std::string &value);
    bool FileDialog(TRecordedPrompt::TKind kind, const TFileDialogRequest &request, std::string &fileName);

    std::deque<TAnswer> FAnswers;
    std::vector<TRecordedPrompt> FPrompts;
};

} // namespace vantorel
