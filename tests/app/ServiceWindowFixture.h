#pragma once
// The main window of a program folder whose service hosts point at a recording fake service,
// logged in as "joe" without a proxy: what the commands that talk to the service are tested in.

#include <memory>
#include <string>

#include <QByteArray>
#include <QTest>

#include <gtest/gtest.h>

#include "DialogAnswers.h"
#include "MainForm.h"
#include "OptionsForm.h"
#include "ProxyAuthentication.h"
#include "StatusPanels.h"
#include "SystemAuthorization.h"
#include "TestSupport.h"
#include "fixtures/FakeWebService.h"

namespace vantorel::test {

class TServiceWindowTest : public ::testing::Test {
protected:
    // The program folder's catalogue and parameters, with hostParameter ("uploadhost",
    // "sendmailhost") naming the fake service; a test adds its library before OpenWindow.
    void WriteProgramFolder(const std::string &hostParameter)
    {
        FSavedRuntimeDir = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(FRun.Path()));
        WriteFile(FFolder / "phoneslist.xml", "<phoneslist/>");
        WriteFile(FFolder / "parameters.xml",
                  "<parameters><" + hostParameter + " value=\"" + FService.HostPort() + "\"/></parameters>");
    }
    // The window with its options and credential dialogs; the caller shows it.
    void OpenWindow()
    {
        FForm = std::make_unique<TMainAppForm>(FFolder.Path(), &FPrompts);
        FOptions = std::make_unique<TOptionsForm>(FFolder.Path(), FForm->XMLSource(), FForm->Prompts());
        FOptions->Options().login = "joe";
        FOptions->Options().password = "pw";
        FOptions->Options().proxysource = psNoProxy;
        FForm->SetOptionsForm(FOptions.get());
        FSysAuth = std::make_unique<TSysAuthForm>(FForm->Prompts());
        FProxyAuth = std::make_unique<TProxyAuthForm>();
        FForm->SetAuthForms(FSysAuth.get(), FProxyAuth.get());
    }
    void ShowWindow()
    {
        FForm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(FForm.get()));
    }
    void TearDown() override
    {
        FForm.reset();
        qputenv("XDG_RUNTIME_DIR", FSavedRuntimeDir);
    }
    QString Status() const { return FForm->StatusBar->Text(0); }

    TTempDir FFolder;
    TTempDir FRun;
    QByteArray FSavedRuntimeDir;
    TFakeWebService FService;
    TScriptedPromptService FPrompts;
    TDialogAnswers FDialogs;
    std::unique_ptr<TMainAppForm> FForm;
    std::unique_ptr<TOptionsForm> FOptions;
    std::unique_ptr<TSysAuthForm> FSysAuth;
    std::unique_ptr<TProxyAuthForm> FProxyAuth;
};

} // namespace vantorel::test
