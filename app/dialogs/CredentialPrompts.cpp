#include "CredentialPrompts.h"

#include <string>

#include <QLineEdit>

#include "OptionsForm.h"
#include "ProxyAuthentication.h"
#include "ProxySetup.h"
#include "SystemAuthorization.h"

namespace vantorel {

namespace {

QString Q(const std::string &text) { return QString::fromStdString(text); }

// Shows the dialog with the options' pair until the user gives both values or cancels. Every OK
// is saved at once, so what was typed survives a later Cancel.
bool AskPair(TOptionsForm &options, std::string TOptionValues::*name, std::string TOptionValues::*secret,
             QDialog &dialog, QLineEdit &nameEdit, QLineEdit &secretEdit)
{
    if (!(options.Options().*name).empty() && !(options.Options().*secret).empty())
        return true;
    for (;;) {
        nameEdit.setText(Q(options.Options().*name));
        secretEdit.setText(Q(options.Options().*secret));
        if (dialog.exec() != QDialog::Accepted)
            return false;
        const std::string typedName = nameEdit.text().toStdString();
        const std::string typedSecret = secretEdit.text().toStdString();
        options.Options().*name = typedName;
        options.Options().*secret = typedSecret;
        options.SaveOptions();
        if (!typedName.empty() && !typedSecret.empty())
            return true;
    }
}

} // namespace

bool AskSystemAuthorization(TOptionsForm &options, TSysAuthForm &dialog)
{
    return AskPair(options, &TOptionValues::login, &TOptionValues::password, dialog, *dialog.Login, *dialog.Password);
}

bool AskProxyAuthentication(TOptionsForm &options, TProxyAuthForm &dialog)
{
    const TOptionValues &values = options.Options();
    if (!ProxyInUse(values) || !values.proxyauthentication)
        return true;
    return AskPair(options, &TOptionValues::proxylogin, &TOptionValues::proxypassword, dialog, *dialog.ProxyLogin,
                   *dialog.ProxyPassword);
}

} // namespace vantorel
