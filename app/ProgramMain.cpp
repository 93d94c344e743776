#include "ProgramMain.h"

#include <QApplication>

#include "AboutBox.h"
#include "AutomationSwitches.h"
#include "MainForm.h"
#include "OptionsForm.h"
#include "ProgramFolder.h"
#include "SignalCloser.h"

namespace vantorel {

int ProgramMain(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantorel"));

    const TAutomationSwitches switches = ParseAutomationSwitches(QApplication::arguments());
    if (switches.RegServer || switches.UnregServer)
        return 0; // registering ends the program before any window exists

    TSignalCloser signalCloser;
    const std::string programFolder = ProgramFolder();

    TMainAppForm mainForm(programFolder);
    QObject::connect(&signalCloser, &TSignalCloser::CloseRequested, &mainForm, &TMainAppForm::SessionEnding);
    TOptionsForm optionsForm(programFolder, mainForm.XMLSource(), mainForm.Prompts(), &mainForm);
    mainForm.SetOptionsForm(&optionsForm);
    TAboutBox aboutBox(&mainForm);
    mainForm.SetAboutBox(&aboutBox);

    if (!mainForm.QuitRequested()) {
        mainForm.show();
        mainForm.activateWindow();
        mainForm.RunStarted();
    }
    return QApplication::exec();
}

} // namespace vantorel
