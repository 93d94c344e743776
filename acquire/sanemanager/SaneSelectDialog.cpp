#include "SaneSelectDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

namespace vantorel {

bool RunSaneSelectDialog(WId parent, const std::vector<TSaneDevice> &devices, int defaultIndex, int &chosen)
{
    QDialog dialog(QWidget::find(parent));
    dialog.setObjectName(QString::fromUtf8("SaneSelectDialog"));
    dialog.setWindowTitle(QString::fromUtf8("Select Source"));
    auto *label = new QLabel(QString::fromUtf8("Sources:"), &dialog);
    auto *list = new QListWidget(&dialog);
    list->setObjectName(QString::fromUtf8("SourceList"));
    for (const TSaneDevice &device : devices)
        list->addItem(QString::fromStdString(device.ProductName));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(label);
    layout->addWidget(list);
    layout->addWidget(buttons);

    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    QObject::connect(list, &QListWidget::currentRowChanged, ok, [ok](int row) { ok->setEnabled(row >= 0); });
    ok->setEnabled(false);
    if (!devices.empty())
        list->setCurrentRow(defaultIndex >= 0 && defaultIndex < list->count() ? defaultIndex : 0);

    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0)
        return false;
    chosen = list->currentRow();
    return true;
}

} // namespace vantorel
