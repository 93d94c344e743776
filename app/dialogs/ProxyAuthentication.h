#pragma once

#include "CredentialForm.h"

namespace vantorel {

// The proxy login: asked for before an exchange when the proxy needs authentication and the
// options hold no proxy user or password.
class TProxyAuthForm : public TCredentialForm {
    Q_OBJECT

public:
    explicit TProxyAuthForm(QWidget *parent = nullptr);

    QLineEdit *ProxyLogin = nullptr;
    QLineEdit *ProxyPassword = nullptr;
};

} // namespace vantorel
