#include "ProgramMain.h"

#include <QApplication>

#include "AboutBox.h"
#include "AccessURLHint.h"
#include "AutomationSwitches.h"
#include "ExchangeThread.h"
#include "GIFProps.h"
#include "HTTPConnection.h"
#include "JPEGProps.h"
#include "MainForm.h"
#include "OptionsForm.h"
#include "ProgramFolder.h"
#include "ProxyAuthentication.h"
#include "SignalCloser.h"
#include "SystemAuthorization.h"

namespace vantorel {

int ProgramMain(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantorel"));

    const TAutomationSwitches switches = ParseAutomationSwitches(QApplication::arguments());
    if (switches.RegServer || switches.UnregServer)
        return 0; // registering ends the program before any window exists

    InitHTTPLibrary();
    TSignalCloser signalCloser;
    const std::string programFolder = ProgramFolder();

    TMainAppForm mainForm(programFolder);
    QObject::connect(&signalCloser, &TSignalCloser::CloseRequested, &mainForm, &TMainAppForm::SessionEnding);
    // The forms are made in the program's order; the hint gets the options once they exist.
    TAccessURLHintForm accessURLHintForm(&mainForm);
    TOptionsForm optionsForm(programFolder, mainForm.XMLSource(), mainForm.Prompts(), &mainForm);
    mainForm.SetOptionsForm(&optionsForm);
    accessURLHintForm.SetOptionsForm(&optionsForm);
    // The login dialogs are made once and shown as often as the commands need them.
    TSysAuthForm sysAuthForm(mainForm.Prompts(), &mainForm);
    TProxyAuthForm proxyAuthForm(&mainForm);
    mainForm.SetAuthForms(&sysAuthForm, &proxyAuthForm);
    TAboutBox aboutBox(&mainForm);
    mainForm.SetAboutBox(&aboutBox);
    TJPEGPropsForm jpegPropsForm(programFolder, optionsForm, &mainForm);
    TGIFPropsForm gifPropsForm(programFolder, optionsForm, &mainForm);
    mainForm.SetUploadDialogs(&accessURLHintForm, &jpegPropsForm, &gifPropsForm);

    if (!mainForm.QuitRequested()) {
        mainForm.show();
        mainForm.activateWindow();
        mainForm.RunStarted();
    }
    const int result = QApplication::exec();
    // Also an instance that quit at start-up may have started an exchange: a thread still
    // running at exit would abort the program.
    TExchangeThread::StopAll();
    return result;
}

} // namespace vantorel
