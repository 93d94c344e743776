// The hand-over over the session bus while the program runs: a client calls the automation object
// of this process's main window, which downloads the picture from the recording fake service and
// adds it to the selected folder.
#include "MainForm.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QCoreApplication>
#include <QDBusPendingCall>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "ImageCodecs.h"
#include "OptionsForm.h"
#include "PictureDownload.h"
#include "PictureDownloadThread.h"
#include "Registry.h"
#include "TestSupport.h"
#include "VantorelPI.h"
#include "fixtures/FakeWebService.h"

namespace vantorel {
namespace {

using namespace std::chrono_literals;
using TNames = std::vector<std::string>;

using test::Reply;

class HandOverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::WriteFile(FFolder / "phoneslist.xml", "<phoneslist/>");
        test::WriteFile(FFolder / "Logo Directory/Pets/cat.png", Picture(32));
        test::WriteFile(FFolder / "logodirectory.xml",
                        R"(<logodirectory><logodirnode nodekind="folder" nodename="Pets">)"
                        R"(<logodirnode nodekind="logo" nodename="cat.png"/>)"
                        "</logodirnode></logodirectory>");
        test::WriteFile(FFolder / "appstate.xml", R"(<appstate><activenodepath value="Pets"/></appstate>)");
        FForm = std::make_unique<TMainAppForm>(FFolder.Path(), &FPrompts);
        FOptions = std::make_unique<TOptionsForm>(FFolder.Path(), FForm->XMLSource(), FForm->Prompts());
        FOptions->Options().proxysource = psNoProxy;
        FForm->SetOptionsForm(FOptions.get());
        FDownload = std::make_unique<TPictureDownloadForm>(FFolder.Path(), FForm->Prompts(), FForm.get());
        FForm->SetPictureDownloadForm(FDownload.get());
        FForm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(FForm.get()));
        FForm->ServeAutomation();
        FForm->LogoTree().Select(Pets());
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(kProgramKey, true));
        FService.SetReply("/pics/sunset.png", Reply(Picture(40)));
    }
    void TearDown() override
    {
        FService.ReleaseHeld();
        FDownload.reset();
        FForm.reset(); // with it the automation object and its name
    }

    std::string Picture(int side) const
    {
        WritePNG(TBitmap(side, side), FFolder / "made.png");
        return test::ReadFile(FFolder / "made.png");
    }
    TLogoNode *Pets() const { return FForm->LogoTree().Root()->Item(0); }
    TNames PetNames() const
    {
        TNames names;
        for (int i = 0; i < Pets()->Count(); ++i)
            names.push_back(Pets()->Item(i)->Text());
        return names;
    }
    bool TempIsEmpty() const { return !test::Exists(FFolder / "Temp") || std::filesystem::is_empty(FFolder / "Temp"); }
    static std::optional<std::string> PendingURL()
    {
        TRegistry registry;
        if (!registry.OpenKey(kProgramKey, false) || !registry.ValueExists(kImageURLValue))
            return std::nullopt;
        return registry.ReadString(kImageURLValue);
    }
    // Calls the object from a connection of its own, as a browser's helper would; the answer is
    // the error's name and text, empty for success.
    static std::string Call(const char *method, std::optional<std::string> url = std::nullopt)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(kAutomationBusName, kAutomationObjectPath,
                                                              kAutomationInterface, QString::fromLatin1(method));
        if (url)
            message.setArguments({QString::fromStdString(*url)});
        QDBusPendingCall pending =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client")).asyncCall(message);
        EXPECT_TRUE(QTest::qWaitFor([&pending] { return pending.isFinished(); }, 10000)) << method;
        return pending.isError() ? (pending.error().name() + " " + pending.error().message()).toStdString() : "";
    }
    std::string AddImageURL(const std::string &path) { return Call("AddImageURL", FService.Url(path)); }
    // The dialog runs its own loop inside a call's wait: what the test does during a download it
    // does from a timer, once the condition holds.
    void WhenItHolds(std::function<bool()> condition, std::function<void()> action)
    {
        auto *timer = new QTimer(FForm.get());
        QObject::connect(timer, &QTimer::timeout, timer, [timer, condition, action] {
            if (condition()) {
                timer->stop();
                action();
            }
        });
        timer->start(5);
    }
    void WaitForHandOver()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !FDownload->isVisible() && !PendingURL(); }, 5000));
        QTest::qWait(100); // room for a second look at the registry, if one would happen
    }

    test::TTempDir FFolder;
    test::TFakeWebService FService;
    TScriptedPromptService FPrompts;
    std::unique_ptr<TMainAppForm> FForm;
    std::unique_ptr<TOptionsForm> FOptions;
    std::unique_ptr<TPictureDownloadForm> FDownload;
};

TEST_F(HandOverTest, AnAddressHandedOverWhileTheProgramRunsBecomesTheFolderSLastLogo)
{
    EXPECT_EQ(AddImageURL("/pics/sunset.png"), "");
    WaitForHandOver();
    EXPECT_EQ(PetNames(), (TNames{"cat.png", "sunset.png"}));
    EXPECT_EQ(FForm->LogoTree().Selected(), Pets()->Item(1));
    EXPECT_EQ(ReadPicture(FFolder / "Logo Directory/Pets/sunset.png").Width(), 40);
    EXPECT_EQ(FService.RequestCount(), 1u); // both the activation and message 1025 looked
    EXPECT_TRUE(TempIsEmpty());
    EXPECT_TRUE(TRegistry().KeyExists(kProgramKey));
    EXPECT_TRUE(FPrompts.Texts().empty());
}

TEST_F(HandOverTest, CallsThatBringNoPictureDownloadNothing)
{
    struct TCase {
        const char *Method;
        std::optional<std::string> URL;
        bool KeyExists;
        bool InstalledKey; // the one an installation writes for every user
        std::string Answer;
    };
    const std::string failed = "org.freedesktop.DBus.Error.Failed E_FAIL";
    const std::vector<TCase> cases = {
        {"AddImageURL", "", true, false, ""},
        {"Exec", std::nullopt, true, false, ""},
        {"AddImageURL", FService.Url("/pics/sunset.png"), false, false, failed},
        {"Exec", std::nullopt, false, false, failed},
        {"Exec", std::nullopt, false, true, ""},
    };
    const std::string installed = TRegistry::DefaultSystemFolders().front() + "registry";
    for (const TCase &c : cases) {
        if (!c.KeyExists)
            TRegistry().DeleteKey(kProgramKey);
        std::filesystem::remove(installed);
        if (c.InstalledKey)
            test::WriteFile(installed, "[Software/Vantorel/Vantorel]\nAppPath=/usr/bin\n");
        EXPECT_EQ(Call(c.Method, c.URL), c.Answer) << c.Method;
        WaitForHandOver();
        // Never made by a call.
        EXPECT_EQ(TRegistry(TRegistry::DefaultStoreFolder()).KeyExists(kProgramKey), c.KeyExists) << c.Method;
    }
    EXPECT_EQ(FService.RequestCount(), 0u);
    EXPECT_EQ(PetNames(), TNames{"cat.png"});
    EXPECT_TRUE(FPrompts.Texts().empty());
}

TEST_F(HandOverTest, APictureThatFailsAddsNothingAndLeavesNothingBehind)
{
    struct TCase {
        std::string URL; // "@" stands for the fake service
        test::TScriptedReply Reply;
        std::string Box;
    };
    const std::string failed = kPictureDownloadFailed;
    const std::string unloadable = "Error loading image. Check if you have enough disk space and write permissions.";
    const std::vector<TCase> cases = {
        {"@/pics/gone.png", Reply("", 404), failed},
        {"@/pics/tiny.png", Reply(Picture(8)), "Image dimensions must be at least 16x16."},
        {"@/pics/note.jpg", Reply("words"), unloadable},
        {"@/pics/pic.jpg?size=2", Reply(""), "Unsupported picture file type : .JPG?SIZE=2"},
        {"@/pics/pic.gif\\x", Reply(""), "Unsupported picture file type : "},
        {"ftp://127.0.0.1:1/x.jpg", Reply(""), failed},
        {"file:///etc/hostname.png", Reply(""), failed},
        // The name stays one file in the download's own folder, backslashes and all.
        {"@/pics/a\\..\\..\\evil.png", Reply(""), unloadable},
        {"@/pics/sunset.png", Reply(""), "Could not write temporary picture file."}, // Temp is a file
    };
    for (const TCase &c : cases) {
        FPrompts.Clear();
        const std::string url = c.URL[0] == '@' ? FService.Url(c.URL.substr(1)) : c.URL;
        if (c.URL[0] == '@')
            FService.SetReply(c.URL.substr(1, c.URL.find('?') - 1), c.Reply);
        if (&c == &cases.back()) {
            std::filesystem::remove_all(FFolder / "Temp");
            test::WriteFile(FFolder / "Temp", "a file where the folder should be");
        }
        EXPECT_EQ(Call("AddImageURL", url), "");
        WaitForHandOver();
        EXPECT_EQ(FPrompts.Texts(), TNames{c.Box}) << c.URL;
        EXPECT_EQ(PetNames(), TNames{"cat.png"}) << c.URL;
        EXPECT_TRUE(!std::filesystem::is_directory(FFolder / "Temp") || TempIsEmpty()) << c.URL;
    }
    // Only the service's addresses reached it, and those refused by their extension did not.
    EXPECT_EQ(FService.RequestCount(), 4u);
}

TEST_F(HandOverTest, CancelStopsASlowPictureWithin200MsAndWithoutABox)
{
    test::TScriptedReply slow;
    slow.GeneratedSize = 1 << 20;
    slow.DripChunk = 512;
    slow.DripPause = 20ms;
    FService.SetReply("/pics/slow.jpg", slow);
    QElapsedTimer timer;
    qint64 elapsed = -1;
    QObject::connect(FDownload.get(), &QDialog::finished, FDownload.get(), [&] { elapsed = timer.elapsed(); });
    WhenItHolds([this] { return FDownload->PictureDownloadProgressBar->value() > 0; },
                [&] {
                    timer.start();
                    FDownload->CancelButton->click();
                });
    EXPECT_EQ(AddImageURL("/pics/slow.jpg"), "");
    WaitForHandOver();
    EXPECT_GE(elapsed, 0);
    EXPECT_LT(elapsed, 200);
    EXPECT_TRUE(FPrompts.Texts().empty());
    EXPECT_EQ(PetNames(), TNames{"cat.png"});
    EXPECT_TRUE(TempIsEmpty());
}

TEST_F(HandOverTest, AnAddressArrivingDuringAHandOverWaitsForItsEnd)
{
    FService.SetReply("/pics/first.png", Reply(Picture(20), 200, true));
    std::optional<std::string> pendingMeanwhile;
    std::size_t requestsMeanwhile = 0;
    // The second call reaches the first dialog's loop, which must not open the dialog inside
    // itself: it is taken when the first has ended.
    WhenItHolds([this] { return FService.RequestCount() == 1; },
                [&] {
                    EXPECT_EQ(AddImageURL("/pics/sunset.png"), "");
                    // Neither the title bar's close nor an activation touches the running download.
                    EXPECT_FALSE(FDownload->close());
                    QEvent activate(QEvent::WindowActivate);
                    QCoreApplication::sendEvent(FDownload.get(), &activate);
                    QTimer::singleShot(100, FForm.get(), [&] {
                        pendingMeanwhile = PendingURL();
                        requestsMeanwhile = FService.RequestCount();
                        FService.ReleaseHeld();
                    });
                });
    EXPECT_EQ(AddImageURL("/pics/first.png"), "");
    ASSERT_TRUE(QTest::qWaitFor([this] { return Pets()->Count() == 3; }, 5000));
    WaitForHandOver();
    EXPECT_EQ(pendingMeanwhile, FService.Url("/pics/sunset.png"));
    EXPECT_EQ(requestsMeanwhile, 1u);
    EXPECT_EQ(PetNames(), (TNames{"cat.png", "first.png", "sunset.png"}));
    EXPECT_TRUE(TempIsEmpty());
}

TEST_F(HandOverTest, AnAddressArrivingWhileAnotherCommandsBoxIsUpWaitsForTheNextActivation)
{
    // A box of another command (a delete's question, say) runs the event loop: the picture must
    // not land in the folder the question is about.
    QDialog box(FForm.get());
    std::size_t requestsMeanwhile = 1;
    WhenItHolds([&box] { return box.isVisible(); },
                [&] {
                    EXPECT_EQ(AddImageURL("/pics/sunset.png"), "");
                    QTest::qWait(100);
                    requestsMeanwhile = FService.RequestCount();
                    box.reject();
                });
    box.exec();
    EXPECT_EQ(requestsMeanwhile, 0u);
    EXPECT_EQ(PetNames(), TNames{"cat.png"});
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(FForm.get(), &activate);
    WaitForHandOver();
    EXPECT_EQ(PetNames(), (TNames{"cat.png", "sunset.png"}));
}

TEST_F(HandOverTest, WithoutAWindowTheProgramIsStartedFromItsFolder)
{
    // No window answers in another runtime folder.
    test::TTempDir runtime, app;
    ::chmod(runtime.Path().c_str(), 0700);
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.Path()));
    const std::string appPath = app.Path().substr(0, app.Path().size() - 1);
    test::WriteFile(app / "vantorel", "#!/bin/sh\necho \"$(pwd) $#\" > \"" + (app / "started") + "\"\n");
    ::chmod((app / "vantorel").c_str(), 0755);
    TVantorelPI automation; // no window of its own
    for (const auto &[path, started] : {std::pair{appPath + "/missing", false}, std::pair{appPath, true}}) {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(kProgramKey, false));
        registry.WriteString(kAppPathValue, path);
        EXPECT_EQ(automation.HandOver("http://host/p.png"), started) << path;
        // The address waits for the program's first activation, or its next start.
        EXPECT_EQ(PendingURL(), "http://host/p.png") << path;
        registry.DeleteValue(kImageURLValue); // not for this test's own window
    }
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
    ASSERT_TRUE(QTest::qWaitFor([&app] { return !test::ReadFile(app / "started").empty(); }, 5000));
    EXPECT_EQ(test::ReadFile(app / "started"), std::filesystem::canonical(appPath).string() + " 0\n");
}

} // namespace
} // namespace vantorel
