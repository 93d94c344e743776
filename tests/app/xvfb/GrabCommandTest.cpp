// The screen grab on a real X screen: a known pattern covers the screen, the command copies it,
// synthetic mouse events select a rectangle, and the saved logo must hold exactly those pixels.
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include "FileFormatChoice.h"
#include "GrabScreen.h"
#include "ImageCodecs.h"
#include "MainForm.h"
#include "OptionsForm.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

QRgb PatternAt(int x, int y) { return qRgb(x & 0xFF, y & 0xFF, ((x >> 8) << 4) | (y >> 8)); }

// A frameless window over the whole screen painting a colour that tells every pixel's place.
class TPatternWindow : public QWidget {
public:
    TPatternWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
    {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        FPattern = QImage(screen.size(), QImage::Format_RGB32);
        for (int y = 0; y < FPattern.height(); ++y)
            for (int x = 0; x < FPattern.width(); ++x)
                FPattern.setPixel(x, y, PatternAt(x, y));
        setGeometry(screen);
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).drawImage(0, 0, FPattern); }

private:
    QImage FPattern;
};

// The message boxes, each with whether the main window was visible when it showed.
class TWatchingPrompts : public TScriptedPromptService {
public:
    QWidget *Window = nullptr;
    std::vector<bool> VisibleAtBox;
    TPromptResult MessageBox(const TMessageBoxRequest &request) override
    {
        VisibleAtBox.push_back(Window && Window->isVisible());
        return TScriptedPromptService::MessageBox(request);
    }
};

struct TDrag {
    const char *Description;
    QPoint Press;
    QPoint Move;
    bool Escape;         // Esc during the drag instead of the release
    TRect Stored;        // in screen pixels; empty when nothing is stored
    const char *Message; // the warning shown, or nothing
};

class GrabCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FSavedRuntimeDir = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(FRun.Path()));
        test::WriteFile(FFolder / "phoneslist.xml", "<phoneslist/>");
        FForm = std::make_unique<TMainAppForm>(FFolder.Path(), &FPrompts);
        FPrompts.Window = FForm.get();
        FOptions = std::make_unique<TOptionsForm>(FFolder.Path(), FForm->XMLSource(), FForm->Prompts());
        FOptions->Options().grabbedfileformat = iffPNG; // lossless, so pixels compare exactly
        FForm->SetOptionsForm(FOptions.get());
        FForm->SetAcquireForms(&FFormatChoice, &FGrab);
        FPattern.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&FPattern));
        // The main window lies over the selections, so a copy that still held it would show.
        FForm->setGeometry(40, 40, 700, 520);
        FForm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(FForm.get()));
    }
    void TearDown() override
    {
        FForm.reset();
        qputenv("XDG_RUNTIME_DIR", FSavedRuntimeDir);
    }

    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held)
    {
        QWidget *image = FGrab.ScreenImage;
        QMouseEvent event(type, QPointF(at), image->mapToGlobal(QPointF(at)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(image, &event);
    }
    // Runs the command; once the grab window is up, drags as the case says.
    void Grab(const TDrag &drag)
    {
        bool dragged = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (dragged || !FGrab.windowHandle() || !FGrab.windowHandle()->isExposed())
                return;
            dragged = true;
            EXPECT_FALSE(FForm->isVisible()) << drag.Description;
            Mouse(QEvent::MouseButtonPress, drag.Press, Qt::LeftButton);
            Mouse(QEvent::MouseMove, drag.Move, Qt::LeftButton);
            if (drag.Escape)
                QTest::keyClick(&FGrab, Qt::Key_Escape);
            else
                Mouse(QEvent::MouseButtonRelease, drag.Move, Qt::NoButton);
        });
        poll.start(10);
        FForm->GrabFromScreenToolButtonClick();
        EXPECT_TRUE(dragged) << drag.Description;
    }

    test::TTempDir FFolder;
    test::TTempDir FRun;
    QByteArray FSavedRuntimeDir;
    TWatchingPrompts FPrompts;
    TPatternWindow FPattern;
    TFileFormatChoiceForm FFormatChoice;
    TGrabScreenForm FGrab;
    std::unique_ptr<TMainAppForm> FForm;
    std::unique_ptr<TOptionsForm> FOptions;
};

TEST_F(GrabCommandTest, TheSavedLogoHoldsExactlyTheSelectedPixels)
{
    const TDrag drags[] = {
        {"down and right: both end points included", {100, 100}, {200, 150}, false, {100, 100, 201, 151}, nullptr},
        {"up and left: normalised", {200, 150}, {100, 100}, false, {101, 101, 200, 150}, nullptr},
        {"16 x 16 is enough", {300, 300}, {315, 315}, false, {300, 300, 316, 316}, nullptr},
        {"Esc during a drag", {100, 100}, {200, 150}, true, {}, nullptr},
        {"a click", {50, 60}, {50, 60}, false, {}, "Picture width must be 16 pixels or more"},
        {"15 x 40", {10, 10}, {24, 49}, false, {}, "Picture width must be 16 pixels or more"},
        {"40 x 15", {10, 10}, {49, 24}, false, {}, "Picture height must be 16 pixels or more"},
    };
    int stored = 0;
    for (const TDrag &drag : drags) {
        FPrompts.Clear();
        FPrompts.VisibleAtBox.clear();
        Grab(drag);
        EXPECT_TRUE(FForm->isVisible()) << drag.Description;
        const TLogoNode *root = FForm->LogoTree().Root();
        if (drag.Message) {
            EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{drag.Message}) << drag.Description;
            EXPECT_EQ(FPrompts.VisibleAtBox, std::vector<bool>{true}) << drag.Description;
        } else {
            EXPECT_TRUE(FPrompts.Texts().empty()) << drag.Description;
        }
        if (drag.Stored.IsEmpty()) {
            EXPECT_EQ(root->Count(), stored) << drag.Description;
            continue;
        }
        ASSERT_EQ(root->Count(), ++stored) << drag.Description;
        const TLogoNode *logo = root->Item(stored - 1);
        EXPECT_EQ(FForm->LogoTree().Selected(), logo);
        EXPECT_EQ(logo->Text(), stored == 1 ? "grabbedimage.png" : "grabbedimage" + std::to_string(stored) + ".png");
        const TBitmap saved = ReadPicture(FForm->LogoTree().GetLogoFileName(logo));
        ASSERT_EQ(saved.Width(), drag.Stored.Width()) << drag.Description;
        ASSERT_EQ(saved.Height(), drag.Stored.Height()) << drag.Description;
        int wrong = 0;
        for (int y = 0; y < saved.Height(); ++y)
            for (int x = 0; x < saved.Width(); ++x) {
                const QRgb want = PatternAt(drag.Stored.Left + x, drag.Stored.Top + y);
                wrong += saved.Pixel(x, y) != RGBColor(qRed(want), qGreen(want), qBlue(want));
            }
        EXPECT_EQ(wrong, 0) << drag.Description;
    }
}

} // namespace
} // namespace vantorel

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
