#pragma once

#include <QByteArray>

#include "MainForm.h"
#include "OptionsForm.h"
#include "PromptService.h"
#include "TestSupport.h"

namespace vantorel::bench {

// The main window with its options dialog on a program folder of its own, as a window benchmark
// needs it. The folder is given its empty phone list and then what the benchmark puts into it,
// before the window reads it.
class TBenchWindow {
public:
    template <typename Prepare> explicit TBenchWindow(Prepare prepare) : Form(Prepared(prepare), &Prompts)
    {
        Form.SetOptionsForm(&Options);
    }

    test::TTempDir Folder;
    test::TTempDir Run;
    TScriptedPromptService Prompts;
    TMainAppForm Form;
    TOptionsForm Options{Folder.Path(), Form.XMLSource(), Form.Prompts()};

private:
    template <typename Prepare> std::string Prepared(Prepare &prepare)
    {
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(Run.Path()));
        test::WriteFile(Folder / "phoneslist.xml", "<phoneslist/>");
        prepare(Folder);
        return Folder.Path();
    }
};

} // namespace vantorel::bench
