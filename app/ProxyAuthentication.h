#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace vantorel {

// The proxy login: asked for before an exchange when the proxy needs authentication and the
// options hold no proxy user or password. Created once; its fields keep their text.
class TProxyAuthForm : public QDialog {
    Q_OBJECT

public:
    explicit TProxyAuthForm(QWidget *parent = nullptr);

    QLineEdit *ProxyLogin = nullptr;
    QLineEdit *ProxyPassword = nullptr;
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace vantorel
