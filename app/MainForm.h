#pragma once

#include <memory>
#include <string>

#include <QMainWindow>

#include "InstanceChannel.h"
#include "LogoDirObject.h"
#include "LogoTree.h"
#include "PhoneCatalogue.h"
#include "PromptService.h"
#include "ServiceParameters.h"
#include "XMLSource.h"

class QTreeView;

namespace vantorel {

class TLogoTreeModel;
class TOptionsForm;

inline constexpr const char *kMainWindowTitle = "Vantorel";

// The main window: owner of the logo tree, the phone catalogue, the service parameters and the
// logo template; it starts the program's subsystems and writes their files at the end.
class TMainAppForm : public QMainWindow {
    Q_OBJECT

public:
    // prompts: the service for every box the window shows; null for the screen's own.
    explicit TMainAppForm(std::string programFolder, TPromptService *prompts = nullptr);
    ~TMainAppForm() override;

    // The options dialog is created after the main window; shut-down saves through it.
    void SetOptionsForm(TOptionsForm *options) { FOptionsForm = options; }

    // True when this instance asked to end during start-up (another one runs, or the phone
    // catalogue could not be read); such an instance writes no file.
    bool QuitRequested() const { return FQuitRequested; }

    TLogoTree &LogoTree() { return FLogoTree; }
    TXMLSource &XMLSource() { return FXMLSource; }
    TPromptService &Prompts() { return *FPrompts; }
    const TPhoneMakes &PhoneMakes() const { return FPhoneMakes; }
    const TParameters &Parameters() const { return FParameters; }
    const TLogoDirObject &LogoTemplate() const { return *FLogoTemplate; }

    void FormCreate();
    void InitMainWindow();
    void CheckSingleInstance();
    void FormActivate();
    void Exit1Click();
    void ShutdownApplication();

    QTreeView *LogoTreeView = nullptr;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void RequestQuit();
    void BringToFront();
    void LogoTreeViewChange();

    std::string FProgramFolder;
    std::unique_ptr<TPromptService> FOwnPrompts;
    TPromptService *FPrompts;
    TXMLSource FXMLSource;
    TLogoTree FLogoTree;
    TLogoTreeModel *FLogoTreeModel = nullptr;
    TInstanceChannel FInstanceChannel;
    TOptionsForm *FOptionsForm = nullptr;

    std::unique_ptr<TLogoDirObject> FLogoTemplate;
    TPhoneMakes FPhoneMakes;
    TParameters FParameters;
    TLogoDirObject *FCurrentLogo = nullptr;
    bool FActivatedOnce = false;
    bool FQuitRequested = false;
    bool FShutDown = false;
    int FMemberValue1 = -1;
    int FMemberValue2 = -1;
    int FMemberValue3 = -1;
};

} // namespace vantorel
