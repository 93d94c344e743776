#include "QtPromptService.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace vantorel {

namespace {

QString ToQt(const std::string &text) { return QString::fromStdString(text); }

QMessageBox::Icon ToQtIcon(TPromptIcon icon)
{
    switch (icon) {
    case TPromptIcon::Error:
        return QMessageBox::Critical;
    case TPromptIcon::Warning:
        return QMessageBox::Warning;
    case TPromptIcon::Question:
        return QMessageBox::Question;
    case TPromptIcon::Information:
        break;
    }
    return QMessageBox::Information;
}

} // namespace

TPromptResult TQtPromptService::MessageBox(const TMessageBoxRequest &request)
{
    QMessageBox box(ToQtIcon(request.Icon), ToQt(request.Caption), ToQt(request.Text), QMessageBox::NoButton, FOwner);
    QPushButton *ok = nullptr;
    QPushButton *yes = nullptr;
    QPushButton *no = nullptr;
    QPushButton *cancel = nullptr;
    if (request.Buttons == TPromptButtons::Ok) {
        ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
    } else {
        yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
        if (request.Buttons == TPromptButtons::YesNoCancel) {
            cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
            box.setEscapeButton(cancel);
        } else {
            box.setEscapeButton(no);
        }
        box.setDefaultButton(yes);
    }
    box.exec();
    QAbstractButton *clicked = box.clickedButton();
    if (clicked && clicked == yes)
        return TPromptResult::Yes;
    if (clicked && clicked == no)
        return TPromptResult::No;
    if (request.Buttons == TPromptButtons::Ok)
        return TPromptResult::Ok;
    return request.Buttons == TPromptButtons::YesNoCancel ? TPromptResult::Cancel : TPromptResult::No;
}

bool TQtPromptService::InputQuery(const std::string &caption, const std::string &prompt, std::string &value)
{
    QInputDialog dialog(FOwner);
    dialog.setWindowTitle(ToQt(caption));
    dialog.setLabelText(ToQt(prompt));
    dialog.setTextValue(ToQt(value));
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Cancel"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue().toStdString();
    return true;
}

} // namespace vantorel
