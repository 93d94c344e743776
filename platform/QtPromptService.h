#pragma once

#include <QPointer>
#include <QWidget>

#include "PromptService.h"

namespace vantorel {

// Message boxes and input dialogs on the screen, modal to the given window; while that window is
// not shown yet (start-up), centred on the screen.
class TQtPromptService : public TPromptService {
public:
    explicit TQtPromptService(QWidget *owner = nullptr) : FOwner(owner) {}
    void SetOwner(QWidget *owner) { FOwner = owner; }

    TPromptResult MessageBox(const TMessageBoxRequest &request) override;
    bool InputQuery(const std::string &caption, const std::string &prompt, std::string &value) override;
    bool OpenFileDialog(const TFileDialogRequest &request, std::string &fileName) override;
    bool SaveFileDialog(const TFileDialogRequest &request, std::string &fileName, std::size_t &filter) override;

private:
    QPointer<QWidget> FOwner;
};

} // namespace vantorel
