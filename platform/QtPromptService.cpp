#include "QtPromptService.h"

#include <algorithm>

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "DialogFrame.h"

namespace vantorel {

namespace {

QString ToQt(const std::string &text) { return QString::fromStdString(text); }

// Boxes shown before the main window (start-up) belong to no window: centred on a window that
// is not shown they would sit near the screen's top-left corner.
QWidget *ShownOwner(QWidget *owner) { return owner && owner->isVisible() ? owner : nullptr; }

// A box without a window is centred on its screen once it has its final size, which a message
// box takes only as it is shown; Qt's own placement guesses the frame and lands well off centre.
template <typename Dialog> class TScreenCentred : public Dialog {
public:
    using Dialog::Dialog;

protected:
    void showEvent(QShowEvent *event) override
    {
        Dialog::showEvent(event);
        if (const QScreen *screen = this->screen(); screen && !this->parentWidget()) {
            QRect frame = this->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            this->move(frame.topLeft());
        }
    }
};

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

bool RunFileDialog(QWidget *owner, const TFileDialogRequest &request, std::string &fileName, std::size_t *filter)
{
    QFileDialog dialog(owner, ToQt(request.Caption), ToQt(request.InitialFolder));
    const QStringList filters = NameFilters(request);
    dialog.setNameFilters(filters);
    if (filter) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite); // the program asks its own question
        // A name typed without extension gets that of the chosen file type.
        dialog.setDefaultSuffix(ToQt(request.FilterExtension(0)));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString &selected) {
            dialog.setDefaultSuffix(ToQt(request.FilterExtension(static_cast<std::size_t>(filters.indexOf(selected)))));
        });
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.FileName.empty())
        dialog.selectFile(ToQt(request.FileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().constFirst().toStdString();
    if (filter)
        *filter = static_cast<std::size_t>(std::max<qsizetype>(filters.indexOf(dialog.selectedNameFilter()), 0));
    return true;
}

} // namespace

TPromptResult TQtPromptService::MessageBox(const TMessageBoxRequest &request)
{
    TScreenCentred<QMessageBox> box(ToQtIcon(request.Icon), ToQt(request.Caption), ToQt(request.Text),
                                    QMessageBox::NoButton, ShownOwner(FOwner));
    box.setTextFormat(Qt::PlainText); // texts are shown as they stand, whatever they hold
    if (!request.Detail.empty())
        box.setDetailedText(ToQt(request.Detail));
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
    TScreenCentred<QInputDialog> dialog(ShownOwner(FOwner));
    dialog.setWindowTitle(ToQt(caption));
    dialog.setLabelText(ToQt(prompt));
    dialog.setTextValue(ToQt(value));
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Cancel"));
    // Whole in the title bar; the button texts have made the dialog build the layout that takes it.
    FitCaption(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue().toStdString();
    return true;
}

bool TQtPromptService::OpenFileDialog(const TFileDialogRequest &request, std::string &fileName)
{
    return RunFileDialog(FOwner, request, fileName, nullptr);
}

bool TQtPromptService::SaveFileDialog(const TFileDialogRequest &request, std::string &fileName, std::size_t &filter)
{
    return RunFileDialog(FOwner, request, fileName, &filter);
}

} // namespace vantorel
