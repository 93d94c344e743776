#include "QtPromptService.h"

#include <QFileDialog>
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

// Qt reads a filter's patterns from its parentheses, separated by blanks.
QStringList NameFilters(const TFileDialogRequest &request)
{
    QStringList filters;
    for (const auto &[description, patterns] : request.Filters) {
        QString text = ToQt(description);
        const qsizetype open = text.lastIndexOf(u'(');
        if (open >= 0)
            text = text.left(open) + text.mid(open).replace(u';', u' ');
        else
            text += QStringLiteral(" (") + ToQt(patterns).replace(u';', u' ') + u')';
        filters << text;
    }
    return filters;
}

bool RunFileDialog(QWidget *owner, const TFileDialogRequest &request, std::string &fileName, bool save)
{
    QFileDialog dialog(owner, ToQt(request.Caption), ToQt(request.InitialFolder));
    dialog.setNameFilters(NameFilters(request));
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite); // the program asks its own question
        dialog.setDefaultSuffix(ToQt(request.DefaultExtension));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.FileName.empty())
        dialog.selectFile(ToQt(request.FileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().constFirst().toStdString();
    return true;
}

} // namespace

TPromptResult TQtPromptService::MessageBox(const TMessageBoxRequest &request)
{
    QMessageBox box(ToQtIcon(request.Icon), ToQt(request.Caption), ToQt(request.Text), QMessageBox::NoButton, FOwner);
    box.setTextFormat(Qt::PlainText); // texts are shown as they stand, whatever they hold
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

bool TQtPromptService::OpenFileDialog(const TFileDialogRequest &request, std::string &fileName)
{
    return RunFileDialog(FOwner, request, fileName, false);
}

bool TQtPromptService::SaveFileDialog(const TFileDialogRequest &request, std::string &fileName)
{
    return RunFileDialog(FOwner, request, fileName, true);
}

} // namespace vantorel
