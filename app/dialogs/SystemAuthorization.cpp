#include "SystemAuthorization.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>

#include "BrowserLauncher.h"
#include "ServiceNames.h"

namespace vantorel {

TSysAuthForm::TSysAuthForm(TPromptService &prompts, QWidget *parent)
    : TCredentialForm({.formName = "SysAuthForm",
                       .caption = "System Authorization",
                       .nameField = "Login",
                       .secretField = "Password",
                       .nameLabel = "Login",
                       .secretLabel = "Password"},
                      parent),
      Login(FName), Password(FSecret), StartBrowser(WindowBrowserStart(*this, prompts)), FPrompts(prompts)
{
    RegisterLabel = new QLabel(QStringLiteral("Register"), this);
    RegisterLabel->setObjectName(QStringLiteral("RegisterLabel"));
    QFont linkFont = RegisterLabel->font();
    linkFont.setBold(true);
    linkFont.setUnderline(true);
    RegisterLabel->setFont(linkFont);
    QPalette linkPalette = RegisterLabel->palette();
    linkPalette.setColor(QPalette::WindowText, Qt::blue);
    RegisterLabel->setPalette(linkPalette);
    RegisterLabel->setCursor(Qt::PointingHandCursor);
    RegisterLabel->installEventFilter(this);
    // The link sits at the left end of the button row.
    FButtonRow->insertWidget(0, RegisterLabel);
}

void TSysAuthForm::RegisterLabelClick()
{
    std::string failure;
    if (!StartBrowser(ServicePageAddress(kRegisterPage), failure))
        FPrompts.ShowError(failure);
}

bool TSysAuthForm::eventFilter(QObject *watched, QEvent *event)
{
    // A label has no click of its own: a left button released over it is one.
    if (watched == RegisterLabel && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && RegisterLabel->rect().contains(mouse->position().toPoint())) {
            RegisterLabelClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vantorel
