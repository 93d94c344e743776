#pragma once

#include <QStringList>

namespace vantorel {

// The automation server's command-line switches, each written with a leading "/" or "-" in
// any letter case. The program has no switches of its own.
struct TAutomationSwitches {
    bool Automation = false; // started by the automation system
    bool Embedding = false;
    bool RegServer = false;
    bool UnregServer = false;
};

TAutomationSwitches ParseAutomationSwitches(const QStringList &arguments);
// The same from main's arguments, before the application object exists.
TAutomationSwitches ParseAutomationSwitches(int argc, char **argv);

} // namespace vantorel
