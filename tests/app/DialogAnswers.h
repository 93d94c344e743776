#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QSize>
#include <QTimer>

namespace vantorel::test {

// Answers every modal dialog that shows: notes which one and its size, then runs the test's
// action for it from the dialog's own event loop (by default Cancel).
class TDialogAnswers : public QObject {
public:
    using TAction = std::function<void(QDialog &)>;
    TDialogAnswers() { qApp->installEventFilter(this); }
    ~TDialogAnswers() override { qApp->removeEventFilter(this); }

    std::vector<std::string> Shown; // class names in order
    std::vector<QSize> Sizes;
    std::map<std::string, TAction> Actions;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *dialog = qobject_cast<QDialog *>(watched);
        if (dialog && event->type() == QEvent::Show && dialog->isModal()) {
            const std::string name = dialog->metaObject()->className();
            Shown.push_back(name);
            Sizes.push_back(dialog->size());
            TAction action = Actions.count(name) ? Actions[name] : TAction([](QDialog &d) { d.reject(); });
            QTimer::singleShot(0, dialog, [dialog, action] { action(*dialog); });
        }
        return false;
    }
};

} // namespace vantorel::test
