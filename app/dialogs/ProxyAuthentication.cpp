#include "ProxyAuthentication.h"

namespace vantorel {

TProxyAuthForm::TProxyAuthForm(QWidget *parent)
    : TCredentialForm({.formName = "ProxyAuthForm",
                       .caption = "Proxy Authentication",
                       .nameField = "ProxyLogin",
                       .secretField = "ProxyPassword",
                       .nameLabel = "Proxy User",
                       .secretLabel = "Proxy Password"},
                      parent),
      ProxyLogin(FName), ProxyPassword(FSecret)
{
}

} // namespace vantorel
