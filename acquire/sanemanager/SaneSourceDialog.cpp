#include "SaneSourceDialog.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

namespace vantorel {

namespace {

// Texts are made at run time: a QString over the library's own constant data would dangle once
// the library is unloaded, should Qt keep a copy.
QString Text(const char *text) { return QString::fromUtf8(text); }

} // namespace

TSaneSourceDialog::TSaneSourceDialog(const QString &title, const QString &device, WId parent,
                                     std::function<void()> scan, std::function<void()> cancel)
    : FDialog(std::make_unique<QDialog>(nullptr, Qt::Dialog))
{
    QDialog *dialog = FDialog.get();
    dialog->setObjectName(Text("SaneSourceDialog"));
    dialog->setWindowTitle(title);
    dialog->setWindowModality(Qt::NonModal);
    dialog->setModal(false);

    auto *deviceLabel = new QLabel(device, dialog);
    deviceLabel->setObjectName(Text("DeviceLabel"));
    FMessage = new QLabel(dialog);
    FMessage->setObjectName(Text("MessageLabel"));
    FMessage->setWordWrap(true);
    FScan = new QPushButton(Text("Scan"), dialog);
    FScan->setObjectName(Text("ScanButton"));
    FScan->setDefault(true);
    FCancel = new QPushButton(Text("Cancel"), dialog);
    FCancel->setObjectName(Text("CancelButton"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(FScan);
    buttons->addWidget(FCancel);
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(deviceLabel);
    layout->addWidget(FMessage);
    layout->addStretch();
    layout->addLayout(buttons);
    dialog->setMinimumWidth(320);

    QObject::connect(FScan, &QPushButton::clicked, dialog, std::move(scan));
    // Cancel, Escape and closing the window all reject the dialog.
    QObject::connect(FCancel, &QPushButton::clicked, dialog, &QDialog::reject);
    QObject::connect(dialog, &QDialog::rejected, dialog, std::move(cancel));

    QWidget *owner = QWidget::find(parent);
    QWindow *ownerWindow = owner ? owner->window()->windowHandle() : nullptr;
    if (ownerWindow) {
        dialog->winId(); // makes the window so it can be given its transient parent
        dialog->windowHandle()->setTransientParent(ownerWindow);
    }
    dialog->show();
    if (ownerWindow && dialog->windowHandle()->transientParent() != ownerWindow)
        dialog->windowHandle()->setTransientParent(ownerWindow);
    dialog->raise();
    dialog->activateWindow();
}

TSaneSourceDialog::~TSaneSourceDialog()
{
    // No callback may run from here on: the source that owns them is going.
    QObject::disconnect(FDialog.get(), nullptr, nullptr, nullptr);
    QObject::disconnect(FScan, nullptr, nullptr, nullptr);
    QObject::disconnect(FCancel, nullptr, nullptr, nullptr);
    FDialog->hide();
}

void TSaneSourceDialog::SetScanning(bool scanning)
{
    FScan->setEnabled(!scanning);
    FMessage->setText(scanning ? Text("Scanning...") : QString());
}

void TSaneSourceDialog::ShowError(const QString &text)
{
    FScan->setEnabled(true);
    FMessage->setText(text);
}

} // namespace vantorel
