#include "ProgramMain.h"

#include <QApplication>

#include "AboutBox.h"
#include "AccessURLHint.h"
#include "AutomationSwitches.h"
#include "ExchangeThread.h"
#include "FileFormatChoice.h"
#include "GIFProps.h"
#include "GrabScreen.h"
#include "HTTPConnection.h"
#include "JPEGProps.h"
#include "MainForm.h"
#include "MultiTWAIN.h"
#include "NewAppVerDownloadRequest.h"
#include "OptionsForm.h"
#include "PictureDownload.h"
#include "ProgramFolder.h"
#include "ProxyAuthentication.h"
#include "SendToFriend.h"
#include "ServerRegistration.h"
#include "SignalCloser.h"
#include "SystemAuthorization.h"

namespace vantorel {

namespace {

void CloseModalWidgets()
{
    for (int guard = 0; guard < 16; ++guard) {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            break;
        modal->close();
    }
}

} // namespace

int ProgramMain(int argc, char **argv)
{
    // Registering ends the program before any window exists, so it needs no display.
    const TAutomationSwitches switches = ParseAutomationSwitches(argc, argv);
    if (switches.RegServer || switches.UnregServer)
        return RunRegistrationSwitches(switches);
    RenewServiceFile(); // the registration at every start; a failure is ignored

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantorel"));
    // Ties the window to the installed desktop entry (its icon and name in the shell).
    QApplication::setDesktopFileName(QStringLiteral("vantorel"));

    InitHTTPLibrary();
    TSignalCloser signalCloser;
    const std::string programFolder = ProgramFolder();
    // An installed program keeps the source manager in its installation, not in the user's folder.
    TWAIN_SetWindowsFolder(TWAIN_WindowsFolderFor(
        ShippedFileFolder(programFolder, InstalledLibraryFolder(ExecutableFolder()), "TWAIN_32.DLL")));

    // The window's creation may show a box (a failed start-up shows why): a request to end closes
    // it then, and the window takes the request up once it exists.
    bool endRequested = false;
    const QMetaObject::Connection early =
        QObject::connect(&signalCloser, &TSignalCloser::CloseRequested, [&endRequested] {
            endRequested = true;
            CloseModalWidgets();
        });
    TMainAppForm mainForm(programFolder);
    QObject::disconnect(early);
    QObject::connect(&signalCloser, &TSignalCloser::CloseRequested, &mainForm, &TMainAppForm::SessionEnding);
    if (endRequested)
        mainForm.SessionEnding();
    // The forms are made in the program's order; the hint gets the options once they exist.
    TAccessURLHintForm accessURLHintForm(&mainForm);
    // Its creation starts the new-version check when the options ask for it.
    TOptionsForm optionsForm(programFolder, mainForm.XMLSource(), mainForm.Prompts(), &mainForm,
                             &mainForm.Parameters());
    mainForm.SetOptionsForm(&optionsForm);
    accessURLHintForm.SetOptionsForm(&optionsForm);
    // The login dialogs are made once and shown as often as the commands need them.
    TSysAuthForm sysAuthForm(mainForm.Prompts(), &mainForm);
    TProxyAuthForm proxyAuthForm(&mainForm);
    mainForm.SetAuthForms(&sysAuthForm, &proxyAuthForm);
    TSendToFriendForm sendToFriendForm(optionsForm, mainForm.Prompts(), &mainForm);
    mainForm.SetSendToFriendForm(&sendToFriendForm);
    TAboutBox aboutBox(&mainForm);
    mainForm.SetAboutBox(&aboutBox);
    TPictureDownloadForm pictureDownloadForm(programFolder, mainForm.Prompts(), &mainForm);
    mainForm.SetPictureDownloadForm(&pictureDownloadForm);
    TJPEGPropsForm jpegPropsForm(programFolder, optionsForm, &mainForm);
    // The check's answer arrives once the message loop runs, when this dialog exists.
    TNewAppVerDownloadRequestForm newAppVerDownloadRequestForm(&mainForm);
    optionsForm.SetNewAppVerDownloadRequestForm(&newAppVerDownloadRequestForm);
    TGIFPropsForm gifPropsForm(programFolder, optionsForm, &mainForm);
    mainForm.SetUploadDialogs(&accessURLHintForm, &jpegPropsForm, &gifPropsForm);
    TFileFormatChoiceForm fileFormatChoiceForm(&mainForm);
    // Without an owner: it must stay up while the main window is hidden.
    TGrabScreenForm grabScreenForm;
    mainForm.SetAcquireForms(&fileFormatChoiceForm, &grabScreenForm);

    if (!mainForm.QuitRequested()) {
        mainForm.show();
        mainForm.activateWindow();
        mainForm.RunStarted();
        mainForm.ServeAutomation(); // every form exists now
    } else {
        // A box during start-up ran a loop of its own, which took the quit asked for earlier and
        // could not end the program's loop before it ran: asked again, the next loop to take it
        // is the program's. A termination during that box closed it and ends here the same way.
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    const int result = QApplication::exec();
    // Also an instance that quit at start-up may have started an exchange: a thread still
    // running at exit would abort the program.
    TExchangeThread::StopAll();
    return result;
}

} // namespace vantorel
