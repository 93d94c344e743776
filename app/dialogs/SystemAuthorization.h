#pragma once

#include <functional>
#include <string>

#include "CredentialForm.h"
#include "PromptService.h"

class QLabel;

namespace vantorel {

// The web account login: asked for by the commands that talk to the web service when the
// options hold no login or password.
class TSysAuthForm : public TCredentialForm {
    Q_OBJECT

public:
    // Starts the browser with an address; false with the reason in failure when it cannot.
    using TBrowserStart = std::function<bool(const std::string &address, std::string &failure)>;

    explicit TSysAuthForm(TPromptService &prompts, QWidget *parent = nullptr);

    // Opens the account registration page in the browser; the dialog stays open.
    void RegisterLabelClick();

    QLineEdit *Login = nullptr;
    QLineEdit *Password = nullptr;
    QLabel *RegisterLabel = nullptr;

    // The platform's browser launcher unless a test puts its own here.
    TBrowserStart StartBrowser;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TPromptService &FPrompts;
};

} // namespace vantorel
