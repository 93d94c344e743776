#include "AutomationSwitches.h"

namespace vantorel {

TAutomationSwitches ParseAutomationSwitches(const QStringList &arguments)
{
    TAutomationSwitches switches;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument.size() < 2 || (argument[0] != u'/' && argument[0] != u'-'))
            continue;
        const QString name = argument.mid(1);
        auto is = [&name](const char *word) { return name.compare(QLatin1String(word), Qt::CaseInsensitive) == 0; };
        if (is("AUTOMATION"))
            switches.Automation = true;
        else if (is("EMBEDDING"))
            switches.Embedding = true;
        else if (is("REGSERVER"))
            switches.RegServer = true;
        else if (is("UNREGSERVER"))
            switches.UnregServer = true;
    }
    return switches;
}

TAutomationSwitches ParseAutomationSwitches(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return ParseAutomationSwitches(arguments);
}

} // namespace vantorel
