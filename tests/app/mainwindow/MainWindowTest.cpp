// Drives the real main window on the offscreen platform: the display of the selected node, the
// settings controls, frame editing with the mouse, the commands and their enabled states, the
// options dialog, and the layout, looks and cursors the user sees.
#include "MainForm.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include "ColorButton.h"
#include "FrameGeometry.h"
#include "Icons.h"
#include "ImageCodecs.h"
#include "ImageCommands.h"
#include "ImageControl.h"
#include "LogoTreeModel.h"
#include "OptionsForm.h"
#include "PictureCache.h"
#include "ServiceNames.h"
#include "StatusPanels.h"
#include "TestSupport.h"

namespace vantorel {

// Frames print as (left,top widthxheight) in failure messages.
static void PrintTo(const TFrameBox &b, std::ostream *os)
{
    *os << "(" << b.Left << "," << b.Top << " " << b.Width << "x" << b.Height << ")";
}

namespace {

using test::Exists;
using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

constexpr TColor kBorderGrey = 0x808080;

// A picture whose every pixel differs from its neighbours, so that a moved frame renders
// differently and a mirrored or rotated file can be compared pixel by pixel.
TBitmap Gradient(int width, int height)
{
    TBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y,
                            RGBColor(static_cast<std::uint8_t>(x * 255 / width),
                                     static_cast<std::uint8_t>(y * 255 / height), static_cast<std::uint8_t>(90)));
    return bitmap;
}

TFrameBox FrameOf(const TLogoDirObject &logo)
{
    return {logo.FrameLeft, logo.FrameTop, logo.FrameWidth, logo.FrameHeight};
}

bool HasGreyBorder(const TBitmap &b)
{
    for (int x = 0; x < b.Width(); ++x)
        if (b.Pixel(x, 0) != kBorderGrey || b.Pixel(x, b.Height() - 1) != kBorderGrey)
            return false;
    for (int y = 0; y < b.Height(); ++y)
        if (b.Pixel(0, y) != kBorderGrey || b.Pixel(b.Width() - 1, y) != kBorderGrey)
            return false;
    return true;
}

// The library used by every test: a folder Pets with three logos of three formats, the cat with
// a placed frame on a 200 x 100 picture in a 128 x 128 logo (work area 200 x 200, the picture
// at rows 50..149), the dog uploaded before.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FSavedRuntimeDir = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(FRun.Path()));
        WriteFile(FFolder / "phoneslist.xml", R"(<phoneslist>
            <make name="Nokia"><model name="3310" screenwidth="84" screenheight="48"/>
                               <model name="6610" screenwidth="128" screenheight="128"/></make>
            <make name="Siemens"><model name="C55" screenwidth="101" screenheight="64"/></make>
            </phoneslist>)");
        FCat = Gradient(200, 100);
        FBird = Gradient(40, 30);
        std::filesystem::create_directories(FFolder / "Logo Directory/Pets");
        WritePNG(FCat, FFolder / "Logo Directory/Pets/cat.png");
        WriteJPEG(Gradient(64, 64), FFolder / "Logo Directory/Pets/dog.jpeg", 90);
        WriteBMP(FBird, FFolder / "Logo Directory/Pets/bird.bmp");
        WriteFile(FFolder / "logodirectory.xml", R"(<logodirectory>
            <logodirnode nodekind="folder" nodename="Pets" frameleft="-1" frametop="-1" framewidth="-1"
                frameheight="-1" phonemakeid="1" phonemodelid="0" logowidth="50" logoheight="40"
                fitkind="height" keepproportions="no" uploadurl="">
              <logodirnode nodekind="logo" nodename="cat.png" frameleft="40" frametop="60" framewidth="80"
                  frameheight="80" phonemakeid="0" phonemodelid="1" logowidth="128" logoheight="128"
                  fitkind="bigger" keepproportions="yes" uploadurl=""/>
              <logodirnode nodekind="logo" nodename="dog.jpeg" frameleft="-1" frametop="-1" framewidth="-1"
                  frameheight="-1" phonemakeid="1" phonemodelid="0" logowidth="101" logoheight="64"
                  fitkind="smaller" keepproportions="no" uploadurl="http://wap.vantorel.example/get.php?id=42"/>
              <logodirnode nodekind="logo" nodename="bird.bmp" frameleft="-1" frametop="-1" framewidth="-1"
                  frameheight="-1" phonemakeid="-1" phonemodelid="-1" logowidth="64" logoheight="64"
                  fitkind="width" keepproportions="yes" uploadurl=""/>
            </logodirnode>
            </logodirectory>)");
        PrepareFolder();

        FForm = std::make_unique<TMainAppForm>(FFolder.Path(), &Prompts());
        FOptions = std::make_unique<TOptionsForm>(FFolder.Path(), FForm->XMLSource(), FForm->Prompts());
        FForm->SetOptionsForm(FOptions.get());
        FForm->resize(803, 610);
        FForm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(FForm.get()));
        QApplication::processEvents();
    }
    void TearDown() override
    {
        FOptions.reset();
        FForm.reset();
        PictureCache().Clear(); // no photo's picture stays for the next test
        TPictureCache::SetSettleTime(TPictureCache::kSettleNanoseconds);
        qputenv("XDG_RUNTIME_DIR", FSavedRuntimeDir);
    }

    // Files a test wants in place before the window starts.
    virtual void PrepareFolder() {}
    virtual TScriptedPromptService &Prompts() { return FPrompts; }

    TMainAppForm &Form() { return *FForm; }
    TSourceImage *Doc() { return FForm->SourceImageDocument(); }
    TLogoTreeModel *Model() { return static_cast<TLogoTreeModel *>(FForm->LogoTreeView->model()); }

    // A node by its path of names below the root; "" is the root.
    TLogoNode *Node(const std::string &path)
    {
        TLogoNode *node = FForm->LogoTree().Root();
        std::size_t start = 0;
        while (node && start < path.size()) {
            const std::size_t slash = path.find('/', start);
            const std::string name = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
            TLogoNode *found = nullptr;
            for (int i = 0; i < node->Count(); ++i)
                if (node->Item(i)->Text() == name)
                    found = node->Item(i);
            node = found;
            start = slash == std::string::npos ? path.size() : slash + 1;
        }
        return node;
    }
    TLogoDirObject &Record(const std::string &path) { return *Node(path)->Data(); }

    // Chooses a node in the view, as a click on it does.
    void Select(const std::string &path)
    {
        TLogoNode *node = Node(path);
        ASSERT_NE(node, nullptr) << path;
        FForm->LogoTreeView->setCurrentIndex(Model()->IndexOf(node));
        QApplication::processEvents();
        ASSERT_EQ(FForm->LogoTree().Selected(), node);
    }

    std::string PetsPath(const std::string &name) { return FFolder / ("Logo Directory/Pets/" + name); }

    // Adds the picture to Pets through Open.
    void OpenIntoPets(const std::string &picture)
    {
        Select("Pets");
        FPrompts.AnswerFile(picture);
        FForm->Open1Click();
    }

    // The logo as a fresh rendering of the shown document gives it, border included.
    TBitmap FreshRendering()
    {
        TBitmap expected(Doc()->Node->LogoWidth, Doc()->Node->LogoHeight);
        Doc()->RenderLogo(expected, 0, 0, {});
        return expected;
    }

    TTempDir FFolder;
    TTempDir FRun;
    TTempDir FOut;
    QByteArray FSavedRuntimeDir;
    TScriptedPromptService FPrompts;
    TBitmap FCat;
    TBitmap FBird;
    std::unique_ptr<TMainAppForm> FForm;
    std::unique_ptr<TOptionsForm> FOptions;
};

// ---------------------------------------------------------------------------------------------
// Display of the selected node and the settings controls

using MainWindowDisplayTest = MainWindowTest;

TEST_F(MainWindowDisplayTest, SelectingALogoBuildsBothPanesAndFillsTheControls)
{
    struct Row {
        const char *path;
        QSize view; // the work area at 100 %
        QSize logo; // LogoWidth x LogoHeight
        int make;   // PhoneMake index
        QStringList models;
        int model;
        int fit;
        bool keep;
        bool placedFrame; // the index holds a frame; the others get the default of their rule
    } rows[] = {
        {"Pets/cat.png", {200, 200}, {128, 128}, 0, {"3310", "6610"}, 1, fkBigger, true, true},
        {"Pets/dog.jpeg", {101, 64}, {101, 64}, 1, {"C55"}, 0, fkSmaller, false, false},
        {"Pets/bird.bmp", {40, 40}, {64, 64}, -1, {}, -1, fkWidth, true, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.path);
        Select(row.path);
        ASSERT_NE(Doc(), nullptr);
        const TLogoDirObject &logo = Record(row.path);
        EXPECT_EQ(Form().CurrentLogo(), &logo);

        // The source pane holds the view, centred in the pane when smaller.
        EXPECT_EQ(QSize(Doc()->ViewWidth, Doc()->ViewHeight), row.view);
        EXPECT_EQ(Form().SourceImage->Picture().Width(), Doc()->ViewWidth);
        EXPECT_EQ(Form().SourceImage->Picture().Height(), Doc()->ViewHeight);
        EXPECT_EQ(Form().SourceImage->size(), row.view);
        const QSize pane = Form().SourceImageScrollBox->viewport()->size();
        ASSERT_GT(pane.width(), row.view.width());
        ASSERT_GT(pane.height(), row.view.height());
        EXPECT_EQ(Form().SourceImage->pos(),
                  QPoint((pane.width() - row.view.width()) / 2, (pane.height() - row.view.height()) / 2));

        // The target pane holds the logo at its size with the grey border on its edge.
        const TBitmap &target = Form().TargetImage->Picture();
        EXPECT_EQ(QSize(target.Width(), target.Height()), row.logo);
        EXPECT_EQ(Form().TargetImage->size(), row.logo);
        EXPECT_TRUE(HasGreyBorder(target));
        EXPECT_EQ(target, FreshRendering());

        if (row.placedFrame)
            EXPECT_EQ(FrameOf(logo), (TFrameBox{40, 60, 80, 80}));
        else
            EXPECT_EQ(FrameRectOf(logo), CalcFrameRect(logo.FitKind, Doc()->Metrics()));

        EXPECT_EQ(Form().PhoneMake->currentIndex(), row.make);
        QStringList models;
        for (int i = 0; i < Form().PhoneModel->count(); ++i)
            models << Form().PhoneModel->itemText(i);
        EXPECT_EQ(models, row.models);
        EXPECT_EQ(Form().PhoneModel->currentIndex(), row.model);
        EXPECT_EQ(Form().LogoWidthUpDown->value(), row.logo.width());
        EXPECT_EQ(Form().LogoHeightUpDown->value(), row.logo.height());
        EXPECT_EQ(Form().FitInto->checkedId(), row.fit);
        EXPECT_EQ(Form().KeepProportions->isChecked(), row.keep);
        EXPECT_TRUE(Form().LogoWidthUpDown->isEnabled());

        // The template follows the shown logo.
        const TLogoDirObject &t = Form().LogoTemplate();
        EXPECT_EQ(t.PhoneMakeId, logo.PhoneMakeId);
        EXPECT_EQ(t.PhoneModelId, logo.PhoneModelId);
        EXPECT_EQ(t.LogoWidth, row.logo.width());
        EXPECT_EQ(t.LogoHeight, row.logo.height());
        EXPECT_EQ(t.FitKind, row.fit);
        EXPECT_EQ(t.KeepProportions, row.keep);
    }
}

TEST_F(MainWindowDisplayTest, SelectingAFolderAfterALogoEmptiesBothPanes)
{
    Select("Pets/dog.jpeg");
    ASSERT_FALSE(Form().ImageWapURL->toPlainText().isEmpty());
    Select("Pets");
    EXPECT_EQ(Doc(), nullptr);
    EXPECT_EQ(Form().CurrentLogo(), &Record("Pets"));
    EXPECT_TRUE(Form().SourceImage->Picture().Empty());
    EXPECT_TRUE(Form().TargetImage->Picture().Empty());
    EXPECT_EQ(Form().SourceImage->geometry(), QRect(0, 0, 10, 10));
    EXPECT_EQ(Form().TargetImage->geometry(), QRect(0, 0, 10, 10));

    // The controls show the folder's own record and cannot be used.
    EXPECT_EQ(Form().PhoneMake->currentIndex(), 1);
    EXPECT_EQ(Form().PhoneModel->count(), 1);
    EXPECT_EQ(Form().LogoWidthUpDown->value(), 50);
    EXPECT_EQ(Form().LogoHeightUpDown->value(), 40);
    EXPECT_EQ(Form().FitInto->checkedId(), fkHeight);
    EXPECT_FALSE(Form().KeepProportions->isChecked());
    for (QWidget *w : std::initializer_list<QWidget *>{Form().PhoneMake, Form().PhoneModel, Form().LogoWidthUpDown,
                                                       Form().LogoHeightUpDown, Form().KeepProportions})
        EXPECT_FALSE(w->isEnabled());
    for (QAbstractButton *b : Form().FitInto->buttons())
        EXPECT_FALSE(b->isEnabled());
    EXPECT_TRUE(Form().ImageWapURL->toPlainText().isEmpty());
    EXPECT_TRUE(Form().ImageWapShortURL->text().isEmpty());
    EXPECT_TRUE(Form().ImageID->text().isEmpty());

    // The template still holds the dog's settings, not the folder's.
    EXPECT_EQ(Form().LogoTemplate().LogoWidth, 101);
    EXPECT_EQ(Form().LogoTemplate().FitKind, fkSmaller);
}

TEST_F(MainWindowDisplayTest, ChangingAFolderRecordLeavesTheTemplateAlone)
{
    Select("Pets/cat.png");
    Select("Pets");
    Form().LogoWidthUpDown->setValue(77);
    EXPECT_EQ(Record("Pets").LogoWidth, 77);
    EXPECT_EQ(Form().LogoTemplate().LogoWidth, 128);
    EXPECT_EQ(Record("Pets/cat.png").LogoWidth, 128);
}

TEST_F(MainWindowDisplayTest, EverySettingsChangeDiscardsThePlacedFrame)
{
    struct Row {
        const char *what;
        std::function<void(TMainAppForm &)> change;
        std::function<void(const TLogoDirObject &)> check;
    } rows[] = {
        {"width 100", [](TMainAppForm &f) { f.LogoWidthUpDown->setValue(100); },
         [](const TLogoDirObject &l) { EXPECT_EQ(l.LogoWidth, 100); }},
        {"height 64", [](TMainAppForm &f) { f.LogoHeightUpDown->setValue(64); },
         [](const TLogoDirObject &l) { EXPECT_EQ(l.LogoHeight, 64); }},
        {"fit smaller", [](TMainAppForm &f) { f.FitInto->button(fkSmaller)->click(); },
         [](const TLogoDirObject &l) { EXPECT_EQ(l.FitKind, fkSmaller); }},
        {"keep off", [](TMainAppForm &f) { f.KeepProportions->click(); },
         [](const TLogoDirObject &l) { EXPECT_FALSE(l.KeepProportions); }},
        {"model 3310",
         [](TMainAppForm &f) {
             f.PhoneModel->setCurrentIndex(0);
             f.PhoneModelChange();
         },
         [](const TLogoDirObject &l) {
             EXPECT_EQ(l.PhoneModelId, 0);
             EXPECT_EQ(l.LogoWidth, 84);
             EXPECT_EQ(l.LogoHeight, 48);
         }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        TLogoDirObject &cat = Record("Pets/cat.png");
        cat.FrameLeft = 40;
        cat.FrameTop = 60;
        cat.FrameWidth = 80;
        cat.FrameHeight = 80;
        cat.LogoWidth = cat.LogoHeight = 128;
        cat.PhoneModelId = 1;
        cat.FitKind = fkBigger;
        cat.KeepProportions = true;
        Select("Pets");
        Select("Pets/cat.png");

        row.change(Form());
        row.check(cat);
        ASSERT_NE(Doc(), nullptr);
        EXPECT_EQ(FrameRectOf(cat), CalcFrameRect(cat.FitKind, Doc()->Metrics()));
        EXPECT_EQ(Form().TargetImage->Picture().Width(), cat.LogoWidth);
        EXPECT_EQ(Form().TargetImage->Picture().Height(), cat.LogoHeight);
        EXPECT_EQ(Form().LogoTemplate().LogoWidth, cat.LogoWidth);
        EXPECT_EQ(Form().LogoTemplate().LogoHeight, cat.LogoHeight);
        EXPECT_EQ(Form().LogoTemplate().FitKind, cat.FitKind);
        EXPECT_EQ(Form().LogoTemplate().KeepProportions, cat.KeepProportions);
    }
}

TEST_F(MainWindowDisplayTest, ChoosingAMakeOnlyRefillsTheModels)
{
    Select("Pets/cat.png");
    const TFrameBox frame = FrameOf(Record("Pets/cat.png"));
    Form().PhoneMake->setCurrentIndex(1);
    Form().PhoneMakeChange();
    EXPECT_EQ(Form().PhoneModel->count(), 1);
    EXPECT_EQ(Form().PhoneModel->currentIndex(), -1);
    EXPECT_EQ(FrameOf(Record("Pets/cat.png")), frame);
    EXPECT_EQ(Record("Pets/cat.png").LogoWidth, 128);
}

TEST_F(MainWindowDisplayTest, TheImageStatusBarDescribesTheShownLogo)
{
    Select("Pets/cat.png");
    EXPECT_EQ(Form().ImageStatusBar->Text(0), "Source Image: 200x100");
    EXPECT_EQ(Form().ImageStatusBar->Text(1), "Source Selection: (40,10):(80x80)");
    EXPECT_EQ(Form().ImageStatusBar->Text(2), "Logo Screen: 128x128");
    EXPECT_EQ(Form().ImageStatusBar->Text(3), "Logo Image: 128x128");

    // A frame over the empty band above the picture renders nothing.
    TLogoDirObject &cat = Record("Pets/cat.png");
    cat.FrameLeft = 0;
    cat.FrameTop = 0;
    cat.FrameWidth = 40;
    cat.FrameHeight = 40;
    Form().ShowSelectedLogo();
    EXPECT_EQ(Form().ImageStatusBar->Text(1), "Source Selection: (0,-50):(40x40)");
    EXPECT_EQ(Form().ImageStatusBar->Text(3), "Logo Image: 0x0");

    EXPECT_EQ(Form().StatusBar->PanelWidth(0), Form().StatusBar->width() / 2);

    Select("Pets");
    const char *blank[4] = {"Source Image: ", "Source Selection: ", "Logo Screen: ", "Logo Image: "};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Form().ImageStatusBar->Text(i), blank[i]);
}

TEST_F(MainWindowDisplayTest, AnUploadedLogoShowsItsAddressesAndUploadAgain)
{
    Select("Pets/dog.jpeg");
    EXPECT_EQ(Form().ImageWapURL->toPlainText(), "http://wap.vantorel.example/get.php?id=42");
    EXPECT_EQ(Form().ImageWapShortURL->text(), "http://wap.vantorel.example/get.php");
    EXPECT_EQ(Form().ImageWapShortURL->cursorPosition(), 0); // shown from its start
    EXPECT_EQ(Form().ImageID->text(), "42");
    EXPECT_EQ(Form().UploadButton->text(), "Upload again");
    EXPECT_EQ(Form().UploadMenuItem->text(), "Upload again");
    EXPECT_EQ(Form().UploadToolButton->toolTip(), "Upload again");

    Select("Pets/cat.png");
    EXPECT_TRUE(Form().ImageWapURL->toPlainText().isEmpty());
    EXPECT_EQ(Form().UploadButton->text(), "Upload");
}

TEST_F(MainWindowDisplayTest, APictureThatCannotBeReadIsReportedAndShowsNoDocument)
{
    std::filesystem::remove(PetsPath("cat.png"));
    Select("Pets/cat.png");
    EXPECT_EQ(Doc(), nullptr);
    ASSERT_EQ(FPrompts.Texts().size(), 1u);
    EXPECT_EQ(FPrompts.Prompts()[0].Caption, "Error");
    EXPECT_EQ(Form().CurrentLogo(), &Record("Pets/cat.png"));
    EXPECT_EQ(Form().ImageStatusBar->Text(0), "Source Image: ");

    // Mouse work and the timer find no document and leave the record alone.
    const TFrameBox frame = FrameOf(Record("Pets/cat.png"));
    Form().SourceImageMouseDown(Qt::LeftButton, 80, 100);
    Form().SourceImageMouseMove(90, 100);
    Form().SourceImageMouseUp(Qt::LeftButton, 90, 100);
    Form().SelFrameTimerTimer();
    EXPECT_EQ(FrameOf(Record("Pets/cat.png")), frame);
}

TEST_F(MainWindowDisplayTest, TheFitToPaneMenuItemTogglesTheView)
{
    Select("Pets/cat.png");
    Form().Fitimageintopane->trigger();
    EXPECT_TRUE(Form().Fitimageintopane->isChecked());
    EXPECT_TRUE(Form().FitToPaneToolButton->isChecked());
    ASSERT_NE(Doc(), nullptr);
    EXPECT_TRUE(Doc()->FitToPane);
}

TEST_F(MainWindowDisplayTest, AnAddedPhotoIsShownFromThePictureItsCheckDecoded)
{
    TPictureCache::SetSettleTime(0); // the photo was written just now
    const std::string photo = FOut / "photo.jpg";
    WriteJPEG(Gradient(300, 200), photo, 90);
    std::filesystem::last_write_time(photo, std::filesystem::last_write_time(photo) - std::chrono::hours(1));
    OpenIntoPets(photo);
    ASSERT_EQ(Form().LogoTree().Selected(), Node("Pets/photo.jpg"));
    ASSERT_NE(Doc(), nullptr);
    // The copy was written just now: a picture of it decoded since would not have been kept.
    EXPECT_EQ(PictureCache().Read(FFolder / "Logo Directory/Pets/photo.jpg"), Doc()->SourcePicture);
    EXPECT_TRUE(*Doc()->SourcePicture == ReadPicture(photo));
}

// A photo-sized view is shown in place, not copied: the pane paints what a copy of the view drawn
// on painted, through a drag of the frame and a step of its dashes.
TEST_F(MainWindowDisplayTest, APhotoSizedViewPaintsAsACopyDrawnOnDid)
{
    Form().SelFrameTimer.stop(); // the steps of the dashes are taken one by one below
    const std::string photo = FOut / "photo.png";
    WritePNG(Gradient(1800, 1600), photo);
    OpenIntoPets(photo);
    TLogoDirObject &logo = Record("Pets/photo.png");
    logo.KeepProportions = false;
    logo.FrameLeft = 400;
    logo.FrameTop = 500;
    logo.FrameWidth = logo.FrameHeight = 400;
    Form().ShowSelectedLogo();
    QApplication::processEvents();
    ASSERT_NE(Doc(), nullptr);
    ASSERT_TRUE(Form().SourceImage->ShowsView());
    TBitmap copy(Doc()->ViewWidth, Doc()->ViewHeight);
    Doc()->DrawView(copy, 0, 0);
    const auto paintedAsCopy = [&] {
        const QImage painted = Form().SourceImage->grab().toImage().convertToFormat(QImage::Format_RGB888);
        if (painted.width() != copy.Width() || painted.height() != copy.Height())
            return false;
        for (int y = 0; y < copy.Height(); ++y)
            if (std::memcmp(painted.constScanLine(y), copy.Scanline(y), static_cast<std::size_t>(copy.Width()) * 3))
                return false;
        return true;
    };
    EXPECT_TRUE(paintedAsCopy());

    const TRect frame = Doc()->FrameInView();
    const QPoint press((frame.Left + frame.Right) / 2, (frame.Top + frame.Bottom) / 2);
    Doc()->EraseFrame(copy);
    Form().SourceImageMouseDown(Qt::LeftButton, press.x(), press.y());
    Form().SourceImageMouseMove(press.x() - 30, press.y() + 20);
    Form().SourceImageMouseUp(Qt::LeftButton, press.x() - 30, press.y() + 20);
    ASSERT_EQ(logo.FrameLeft, 400 - 30);
    Doc()->DrawFrame(copy);
    Doc()->DrawFrame(copy);
    Form().SelFrameTimerTimer();
    EXPECT_TRUE(paintedAsCopy());
}

// With no logo selected the pane keeps a copy of the photo-sized view it showed; without the
// memory for it, the pane is emptied and the user told, and nothing escapes the display.
TEST_F(MainWindowDisplayTest, WithoutMemoryForACopyOfAViewShownInPlaceThePaneIsEmptied)
{
#ifdef VANTOREL_SANITIZED
    GTEST_SKIP() << "the sanitizer's allocator ends the program when the address space runs out";
#endif
    const std::string photo = FOut / "photo.png";
    WritePNG(Gradient(1800, 1600), photo);
    OpenIntoPets(photo);
    ASSERT_TRUE(Form().SourceImage->ShowsView());
    FPrompts.Clear();
    {
        const test::TAddressSpaceLimit limit(8 << 20); // the copy of the view needs more
        EXPECT_NO_THROW(Form().LogoTree().Select(nullptr));
    }
    EXPECT_FALSE(Form().SourceImage->ShowsView());
    EXPECT_TRUE(Form().SourceImage->Picture().Empty());
    EXPECT_EQ(FPrompts.Texts(),
              std::vector<std::string>{PetsPath("photo.png") + ": there is not enough memory to show the picture"});
}

TEST_F(MainWindowDisplayTest, FittingALargePictureIntoThePaneScalesTheView)
{
    const std::string big = FOut / "big.png";
    WritePNG(Gradient(1600, 800), big);
    OpenIntoPets(big);
    ASSERT_EQ(Form().LogoTree().Selected(), Node("Pets/big.png"));
    ASSERT_NE(Doc(), nullptr);
    EXPECT_EQ(Doc()->ViewWidth, 1600);

    Form().FitToPaneToolButton->click();
    EXPECT_TRUE(Form().Fitimageintopane->isChecked());
    EXPECT_TRUE(Form().FitToPaneToolButton->isChecked());
    ASSERT_NE(Doc(), nullptr);
    EXPECT_TRUE(Doc()->FitToPane);
    const QSize pane = Form().SourceImageScrollBox->viewport()->size();
    EXPECT_LE(Doc()->ViewWidth, pane.width());
    EXPECT_LE(Doc()->ViewHeight, pane.height());
    EXPECT_TRUE(Doc()->ViewWidth == pane.width() || Doc()->ViewHeight == pane.height());
    EXPECT_EQ(Form().SourceImage->size(), QSize(Doc()->ViewWidth, Doc()->ViewHeight));

    // The source pop-up's item carries the same check mark.
    Form().SourceImagePopupMenuPopup();
    EXPECT_TRUE(Form().FitToPaneSrcImgMenuItem->isChecked());
    Form().FitToPaneToolButton->click();
    EXPECT_FALSE(Form().Fitimageintopane->isChecked());
    EXPECT_EQ(Doc()->ViewWidth, 1600);
}

// ---------------------------------------------------------------------------------------------
// Frame editing with the mouse

class MainWindowFrameTest : public MainWindowTest {
protected:
    // The cat with its frame at (40, 60) 80 x 80 of a 200 x 200 work area shown at 100 %.
    void PlaceFrame(bool keep)
    {
        TLogoDirObject &cat = Record("Pets/cat.png");
        cat.FrameLeft = 40;
        cat.FrameTop = 60;
        cat.FrameWidth = 80;
        cat.FrameHeight = 80;
        cat.KeepProportions = keep;
        Form().ShowSelectedLogo();
    }
    void SetUp() override
    {
        MainWindowTest::SetUp();
        Select("Pets/cat.png");
    }
};

TEST_F(MainWindowFrameTest, DraggingMovesAndSizesTheFrameByTheFrameRules)
{
    struct Row {
        const char *what;
        bool keep;
        QPoint press;
        TFrameHit mode;
        QPoint release;
        TFrameBox expected;
    } rows[] = {
        {"move inside", false, {80, 100}, fhInside, {90, 95}, {50, 55, 80, 80}},
        {"move stops at the bounds", true, {80, 100}, fhInside, {0, 300}, {0, 120, 80, 80}},
        {"left edge", false, {40, 100}, fhLeft, {20, 100}, {20, 60, 100, 80}},
        {"left edge keeping proportions", true, {40, 100}, fhLeft, {20, 100}, {20, 40, 100, 100}},
        {"top edge stops 16 above the bottom", false, {80, 60}, fhTop, {80, 200}, {40, 124, 80, 16}},
        {"bottom-right corner", false, {120, 140}, fhBottomRight, {150, 150}, {40, 60, 110, 90}},
        {"bottom-right corner keeping proportions", true, {120, 140}, fhBottomRight, {150, 150}, {40, 60, 110, 110}},
        {"top-left corner past the bounds", false, {40, 60}, fhTopLeft, {-50, -50}, {0, 0, 120, 140}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        PlaceFrame(row.keep);
        TLogoDirObject &cat = Record("Pets/cat.png");
        const TFrameMetrics m = Doc()->Metrics();
        ASSERT_EQ(TSourceImage::HitTest(row.press.x(), row.press.y(), FrameInViewCoordinates(cat, m, false)), row.mode);
        const TDragStart start{FrameRectOf(cat), {row.press.x(), row.press.y()}};
        const TFrameBox computed =
            DragFrame(row.mode, row.release.x(), row.release.y(), start, CalcFrameRect(cat.FitKind, m), m, row.keep);

        QTest::mousePress(Form().SourceImage, Qt::LeftButton, {}, row.press);
        QTest::mouseMove(Form().SourceImage, (row.press + row.release) / 2);
        QTest::mouseMove(Form().SourceImage, row.release);
        EXPECT_EQ(FrameOf(cat), computed);
        QTest::mouseRelease(Form().SourceImage, Qt::LeftButton, {}, row.release);
        EXPECT_EQ(FrameOf(cat), computed);
        EXPECT_EQ(FrameOf(cat), row.expected);
        EXPECT_EQ(Form().ImageStatusBar->Text(1), QStringLiteral("Source Selection: (%1,%2):(%3x%4)")
                                                      .arg(cat.FrameLeft)
                                                      .arg(cat.FrameTop - 50)
                                                      .arg(cat.FrameWidth)
                                                      .arg(cat.FrameHeight));
    }
}

TEST_F(MainWindowFrameTest, MovingBackToTheStartGivesTheStartFrame)
{
    PlaceFrame(true);
    const TFrameBox before = FrameOf(Record("Pets/cat.png"));
    QTest::mousePress(Form().SourceImage, Qt::LeftButton, {}, {120, 140});
    QTest::mouseMove(Form().SourceImage, {170, 190});
    QTest::mouseMove(Form().SourceImage, {120, 140});
    QTest::mouseRelease(Form().SourceImage, Qt::LeftButton, {}, {120, 140});
    EXPECT_EQ(FrameOf(Record("Pets/cat.png")), before);
}

TEST_F(MainWindowFrameTest, APressOutsideTheFrameStartsNoDrag)
{
    PlaceFrame(false);
    const TFrameBox before = FrameOf(Record("Pets/cat.png"));
    QTest::mousePress(Form().SourceImage, Qt::LeftButton, {}, {10, 10});
    QTest::mouseMove(Form().SourceImage, {100, 100});
    QTest::mouseRelease(Form().SourceImage, Qt::LeftButton, {}, {100, 100});
    EXPECT_EQ(FrameOf(Record("Pets/cat.png")), before);
}

TEST_F(MainWindowFrameTest, TheHoverCursorFollowsTheFramePart)
{
    PlaceFrame(false);
    // The hand closes while it moves the frame, and opens again at the release.
    QTest::mousePress(Form().SourceImage, Qt::LeftButton, {}, {80, 100});
    EXPECT_EQ(Form().SourceImage->cursor().pixmap().toImage(), HandGrabCursor().pixmap().toImage());
    QTest::mouseRelease(Form().SourceImage, Qt::LeftButton, {}, {80, 100});
    EXPECT_EQ(Form().SourceImage->cursor().pixmap().toImage(), HandFlatCursor().pixmap().toImage());
    struct Row {
        QPoint at;
        Qt::CursorShape shape;
    } rows[] = {
        {{80, 100}, Qt::BitmapCursor},    // the open hand inside
        {{40, 100}, Qt::SizeHorCursor},   // left edge
        {{80, 140}, Qt::SizeVerCursor},   // bottom edge
        {{40, 60}, Qt::SizeFDiagCursor},  // top-left corner
        {{120, 60}, Qt::SizeBDiagCursor}, // top-right corner
        {{10, 10}, Qt::ArrowCursor},      // outside
    };
    for (const Row &row : rows) {
        Form().SourceImageMouseMove(row.at.x(), row.at.y());
        EXPECT_EQ(Form().SourceImage->cursor().shape(), row.shape) << row.at.x() << "," << row.at.y();
    }

    // Over a folder the pane changes neither cursor nor frame.
    Select("Pets");
    Form().SourceImageMouseMove(40, 100);
    EXPECT_EQ(Form().SourceImage->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(MainWindowFrameTest, WithoutLiveRenderingTheLogoIsRenderedOnceAtTheRelease)
{
    FOptions->Options().showlogochange = false;
    PlaceFrame(true);
    // A scribble on the target shows whether a rendering happened since.
    TBitmap &target = Form().TargetImage->Picture();
    target.FillRect({0, 0, target.Width(), target.Height()}, clBlack);
    const TBitmap scribbled = target;

    QTest::mousePress(Form().SourceImage, Qt::LeftButton, {}, {80, 100});
    QTest::mouseMove(Form().SourceImage, {100, 110});
    EXPECT_EQ(Form().TargetImage->Picture(), scribbled);
    QTest::mouseRelease(Form().SourceImage, Qt::LeftButton, {}, {100, 110});
    EXPECT_EQ(FrameOf(Record("Pets/cat.png")), (TFrameBox{60, 70, 80, 80}));
    EXPECT_EQ(Form().TargetImage->Picture(), FreshRendering());

    // A click without a move renders once too.
    target.FillRect({0, 0, target.Width(), target.Height()}, clBlack);
    QTest::mouseClick(Form().SourceImage, Qt::LeftButton, {}, {100, 110});
    EXPECT_EQ(FrameOf(Record("Pets/cat.png")), (TFrameBox{60, 70, 80, 80}));
    EXPECT_EQ(Form().TargetImage->Picture(), FreshRendering());
}

TEST_F(MainWindowFrameTest, WithLiveRenderingEveryMoveRendersTheLogo)
{
    FOptions->Options().showlogochange = true;
    PlaceFrame(true);
    const TBitmap before = Form().TargetImage->Picture();
    QTest::mousePress(Form().SourceImage, Qt::LeftButton, {}, {80, 100});
    QTest::mouseMove(Form().SourceImage, {100, 110});
    EXPECT_NE(Form().TargetImage->Picture(), before);
    EXPECT_EQ(Form().TargetImage->Picture(), FreshRendering());
    EXPECT_TRUE(HasGreyBorder(Form().TargetImage->Picture()));

    // The release does not render again.
    TBitmap &target = Form().TargetImage->Picture();
    target.FillRect({0, 0, target.Width(), target.Height()}, clBlack);
    const TBitmap scribbled = target;
    QTest::mouseRelease(Form().SourceImage, Qt::LeftButton, {}, {100, 110});
    EXPECT_EQ(Form().TargetImage->Picture(), scribbled);
}

TEST_F(MainWindowFrameTest, ARightClickPopupLeavesNoDragBehind)
{
    PlaceFrame(false);
    const TFrameBox before = FrameOf(Record("Pets/cat.png"));
    // The press goes through the window, as the platform delivers it: here the pop-up opens on
    // the press and takes the release, which the picture never sees.
    bool popupShown = false;
    QTimer::singleShot(0, [&popupShown] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            popupShown = true;
            popup->close();
        }
    });
    const QPoint press = Form().SourceImage->mapTo(&Form(), QPoint(80, 100));
    QTest::mousePress(Form().windowHandle(), Qt::RightButton, {}, press);
    ASSERT_TRUE(popupShown);

    // Later moves without a button only hover.
    QMouseEvent move(QEvent::MouseMove, QPointF(120, 100), Form().SourceImage->mapToGlobal(QPointF(120, 100)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Form().SourceImage, &move);
    EXPECT_EQ(FrameOf(Record("Pets/cat.png")), before);
    QTest::mouseRelease(Form().windowHandle(), Qt::RightButton, {}, press);
}

TEST_F(MainWindowFrameTest, WithTheViewFittedIntoThePaneOffsetsAreScaled)
{
    const std::string big = FOut / "big.png";
    WritePNG(Gradient(1600, 800), big);
    FPrompts.AnswerFile(big);
    Form().Open1Click();
    ASSERT_EQ(Form().LogoTree().Selected(), Node("Pets/big.png"));
    Form().FitToPaneToolButton->click();
    ASSERT_NE(Doc(), nullptr);
    ASSERT_LT(Doc()->ViewWidth, Doc()->ExtentWidth);

    TLogoDirObject &logo = Record("Pets/big.png");
    logo.KeepProportions = false;
    logo.FrameLeft = 400;
    logo.FrameTop = 500;
    logo.FrameWidth = 400;
    logo.FrameHeight = 400;
    Form().ShowSelectedLogo();
    const TFrameMetrics m = Doc()->Metrics();
    const TRect inView = FrameInViewCoordinates(logo, m, true);
    const QPoint press((inView.Left + inView.Right) / 2, (inView.Top + inView.Bottom) / 2);
    const QPoint release = press + QPoint(-30, 20);
    const TFrameBox computed =
        DragFrame(fhInside, release.x(), release.y(), {FrameRectOf(logo), {press.x(), press.y()}},
                  CalcFrameRect(logo.FitKind, m), m, false);
    ASSERT_NE(computed.Left, 400 - 30); // the offset is scaled to work-area pixels

    QTest::mousePress(Form().SourceImage, Qt::LeftButton, {}, press);
    QTest::mouseMove(Form().SourceImage, release);
    QTest::mouseRelease(Form().SourceImage, Qt::LeftButton, {}, release);
    EXPECT_EQ(FrameOf(logo), computed);
}

// ---------------------------------------------------------------------------------------------
// Enabled states, visibility and captions of the commands

using MainWindowControlsTest = MainWindowTest;

TEST_F(MainWindowControlsTest, UpdateControlsFollowsTheSelectedNode)
{
    struct Row {
        const char *path;
        bool logo;
        bool root;
        int hiddenFormat; // the convert item hidden in all four menus, -1 none checked
    } rows[] = {
        {"", false, true, -1},
        {"Pets", false, false, -1},
        {"Pets/cat.png", true, false, iffPNG},
        {"Pets/dog.jpeg", true, false, iffJPG},
        {"Pets/bird.bmp", true, false, iffBMP},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.path);
        Select(row.path);
        TMainAppForm &f = Form();
        EXPECT_EQ(f.SaveMenuItem->isEnabled(), row.logo);
        EXPECT_EQ(f.SaveToolButton->isEnabled(), row.logo);
        EXPECT_EQ(f.UploadMenuItem->isEnabled(), row.logo);
        EXPECT_EQ(f.UploadToolButton->isEnabled(), row.logo);
        EXPECT_EQ(f.UploadButton->isEnabled(), row.logo);
        EXPECT_EQ(f.UploadButton->icon().isNull(), !row.logo);
        EXPECT_EQ(f.RenameMenuItem->isEnabled(), !row.root);
        EXPECT_EQ(f.RenameToolButton->isEnabled(), !row.root);
        EXPECT_EQ(f.DeleteMenuItem->isEnabled(), !row.root);
        EXPECT_EQ(f.DeleteToolButton->isEnabled(), !row.root);
        for (QAction *a : {f.MMConverttoformat, f.TVConvertToFormat, f.SIConvertToFormat, f.MMMirrorImage,
                           f.TVMirrorImage, f.SIMirrorImage, f.MMRotateImage, f.TVRotateImage, f.SIRotateImage})
            EXPECT_EQ(a->isEnabled(), row.logo) << a->text().toStdString();
        for (QToolButton *b : {f.ConvertToolButton, f.MirrorToolButton, f.RotateToolButton, f.FitToPaneToolButton})
            EXPECT_EQ(b->isEnabled(), row.logo) << b->objectName().toStdString();
        EXPECT_EQ(f.Fitimageintopane->isEnabled(), row.logo);
        EXPECT_EQ(f.KeepProportions->isEnabled(), row.logo);
        // Never disabled by the selection.
        for (QAction *a :
             {f.Open1, f.Newfolder1, f.Options1, f.Exit1, f.GrabFromScreenMenuItem, f.SendToFriendMenuItem})
            EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
        EXPECT_TRUE(f.GrabFromScreenToolButton->isEnabled());
        if (row.hiddenFormat < 0)
            continue;
        for (int menu = 0; menu < 4; ++menu)
            for (int format = 0; format < 4; ++format)
                EXPECT_EQ(f.ConvertItems[menu][format]->isVisible(), format != row.hiddenFormat)
                    << "menu " << menu << " format " << format;
    }
}

TEST_F(MainWindowControlsTest, WithNothingSelectedTheRootDecides)
{
    Select("Pets/cat.png");
    Form().LogoTree().Select(nullptr);
    QApplication::processEvents();
    ASSERT_EQ(Form().LogoTree().Selected(), nullptr);
    EXPECT_EQ(Doc(), nullptr);
    Form().UpdateControls();
    EXPECT_FALSE(Form().RenameMenuItem->isEnabled());
    EXPECT_FALSE(Form().DeleteMenuItem->isEnabled());
    EXPECT_FALSE(Form().SaveMenuItem->isEnabled());
    EXPECT_TRUE(Form().Newfolder1->isEnabled());
    EXPECT_EQ(Form().ImageStatusBar->Text(0), "Source Image: ");
}

TEST_F(MainWindowControlsTest, ARightClickSelectsTheNodeUnderTheMouse)
{
    Select("Pets/dog.jpeg");
    const QRect cat = Form().LogoTreeView->visualRect(Model()->IndexOf(Node("Pets/cat.png")));
    ASSERT_FALSE(cat.isEmpty());
    QTest::mousePress(Form().LogoTreeView->viewport(), Qt::RightButton, {}, cat.center());
    QTest::mouseRelease(Form().LogoTreeView->viewport(), Qt::RightButton, {}, cat.center());
    EXPECT_EQ(Form().LogoTree().Selected(), Node("Pets/cat.png"));
    ASSERT_NE(Doc(), nullptr);
    EXPECT_EQ(Doc()->Node, &Record("Pets/cat.png"));

    // Empty space below the nodes keeps the selection.
    const QPoint empty(5, Form().LogoTreeView->viewport()->height() - 5);
    ASSERT_FALSE(Form().LogoTreeView->indexAt(empty).isValid());
    QTest::mousePress(Form().LogoTreeView->viewport(), Qt::RightButton, {}, empty);
    QTest::mouseRelease(Form().LogoTreeView->viewport(), Qt::RightButton, {}, empty);
    EXPECT_EQ(Form().LogoTree().Selected(), Node("Pets/cat.png"));
}

TEST_F(MainWindowControlsTest, TheCursorGoesBackToDefaultOnceTheMouseLeavesThePicture)
{
    Select("Pets/cat.png");
    Form().SourceImageMouseMove(40, 100); // on the frame's left edge
    ASSERT_EQ(Form().SourceImage->cursor().shape(), Qt::SizeHorCursor);
    EXPECT_TRUE(Form().ImageCursorTimer.isActive());
    QCursor::setPos(Form().mapToGlobal(QPoint(2, 2)));
    Form().ImageCursorTimerTimer();
    EXPECT_EQ(Form().SourceImage->cursor().shape(), Qt::ArrowCursor);
    EXPECT_FALSE(Form().ImageCursorTimer.isActive());
}

TEST_F(MainWindowControlsTest, PopupsCaptionTheUploadByTheLogosAddress)
{
    struct Row {
        const char *path;
        const char *caption;
        bool logo;
        bool root;
    } rows[] = {
        {"Pets/dog.jpeg", "Upload again", true, false},
        {"Pets/cat.png", "Upload", true, false},
        {"Pets", "Upload", false, false},
        {"", "Upload", false, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.path);
        Select(row.path);
        Form().LogoTreePopupMenuPopup();
        Form().SourceImagePopupMenuPopup();
        Form().TargetImagePopupMenuPopup();
        EXPECT_EQ(Form().UploadPopupMenuItem->text(), row.caption);
        EXPECT_EQ(Form().UploadSrcImgMenuItem->text(), row.caption);
        EXPECT_EQ(Form().UploadTrgImgMenuItem->text(), row.caption);
        EXPECT_EQ(Form().UploadPopupMenuItem->isEnabled(), row.logo);
        EXPECT_EQ(Form().SavePopupMenuItem->isEnabled(), row.logo);
        EXPECT_EQ(Form().RenamePopupMenuItem->isEnabled(), !row.root);
        EXPECT_EQ(Form().DeletePopupMenuItem->isEnabled(), !row.root);
        EXPECT_EQ(Form().FitToPaneSrcImgMenuItem->isEnabled(), row.logo);
    }
}

// ---------------------------------------------------------------------------------------------
// Tree commands

using MainWindowTreeCommandTest = MainWindowTest;

TEST_F(MainWindowTreeCommandTest, NewFolderGoesBeforeTheFirstLogoAndIsSelected)
{
    Select("Pets/cat.png");
    FPrompts.AnswerInput("Birds");
    Form().Newfolder1Click();
    ASSERT_EQ(FPrompts.Prompts().size(), 1u);
    EXPECT_EQ(FPrompts.Prompts()[0].Caption, "New folder name");
    EXPECT_EQ(FPrompts.Prompts()[0].InitialValue, "New Folder");
    EXPECT_TRUE(std::filesystem::is_directory(PetsPath("Birds")));
    TLogoNode *birds = Node("Pets/Birds");
    ASSERT_NE(birds, nullptr);
    EXPECT_EQ(birds->Index(), 0);
    EXPECT_EQ(Form().LogoTree().Selected(), birds);
    EXPECT_EQ(TLogoTreeModel::NodeOf(Form().LogoTreeView->currentIndex()), birds);
    EXPECT_EQ(Form().CurrentLogo(), birds->Data());
    EXPECT_TRUE(Form().SourceImage->Picture().Empty());
    EXPECT_FALSE(Form().SaveMenuItem->isEnabled());
}

TEST_F(MainWindowTreeCommandTest, RenameMovesTheFileAndKeepsTheExtension)
{
    Select("Pets/cat.png");
    FPrompts.AnswerInput("kitty");
    Form().RenameMenuItemClick();
    EXPECT_EQ(FPrompts.Prompts().at(0).Caption, "New Logo name");
    EXPECT_EQ(FPrompts.Prompts().at(0).InitialValue, "cat");
    EXPECT_TRUE(Exists(PetsPath("kitty.png")));
    EXPECT_FALSE(Exists(PetsPath("cat.png")));
    TLogoNode *kitty = Node("Pets/kitty.png");
    ASSERT_NE(kitty, nullptr);
    EXPECT_EQ(Model()->IndexOf(kitty).data().toString(), "kitty.png");
    EXPECT_EQ(Form().LogoTree().Selected(), kitty);

    // The renamed folder still shows its logos from their new place.
    Select("Pets");
    FPrompts.AnswerInput("Animals");
    Form().RenameToolButton->click();
    EXPECT_TRUE(std::filesystem::is_directory(FFolder / "Logo Directory/Animals"));
    Select("Animals/kitty.png");
    ASSERT_NE(Doc(), nullptr);
    EXPECT_EQ(Doc()->SourceWidth, 200);
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{});
}

TEST_F(MainWindowTreeCommandTest, DeleteRemovesTheShownLogoAndShowsTheNextOne)
{
    Select("Pets/cat.png");
    TLogoDirObject *dog = &Record("Pets/dog.jpeg");
    FPrompts.Answer(TPromptResult::Yes);
    Form().DeleteMenuItemClick();
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"Are you sure you want to delete selected logo?"});
    EXPECT_FALSE(Exists(PetsPath("cat.png")));
    EXPECT_EQ(Node("Pets/cat.png"), nullptr);
    EXPECT_EQ(Form().LogoTree().Selected(), Node("Pets/dog.jpeg"));
    EXPECT_EQ(TLogoTreeModel::NodeOf(Form().LogoTreeView->currentIndex()), Node("Pets/dog.jpeg"));
    EXPECT_EQ(Form().CurrentLogo(), dog);
    ASSERT_NE(Doc(), nullptr);
    EXPECT_EQ(Doc()->Node, dog);
    EXPECT_EQ(Form().TargetImage->Picture().Width(), 101);
    // The frame timer draws on the shown document without touching the freed record.
    Form().SelFrameTimerTimer();
    QTest::qWait(60);

    // No in the question keeps everything.
    FPrompts.Clear();
    FPrompts.Answer(TPromptResult::No);
    Form().DeleteMenuItemClick();
    EXPECT_TRUE(Exists(PetsPath("dog.jpeg")));
    EXPECT_NE(Node("Pets/dog.jpeg"), nullptr);
}

TEST_F(MainWindowTreeCommandTest, DeletingShowsOnlyTheNodeThatBecomesSelected)
{
    // The view must not show another node on the way: the previous sibling's picture is gone
    // and would be reported.
    std::filesystem::remove(PetsPath("cat.png"));
    Select("Pets/dog.jpeg");
    FPrompts.Answer(TPromptResult::Yes);
    Form().DeleteMenuItemClick();
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"Are you sure you want to delete selected logo?"});
    EXPECT_EQ(Form().LogoTree().Selected(), Node("Pets/bird.bmp"));
}

TEST_F(MainWindowTreeCommandTest, DeletingAFolderTreeEmptiesThePanes)
{
    Select("Pets/cat.png");
    Select("Pets");
    FPrompts.Answer(TPromptResult::Yes);
    Form().DeleteToolButton->click();
    EXPECT_EQ(FPrompts.Texts(),
              std::vector<std::string>{"The selected folder is not empty! Are you sure you want to delete it?"});
    EXPECT_FALSE(Exists(FFolder / "Logo Directory/Pets"));
    EXPECT_EQ(Form().LogoTree().Root()->Count(), 0);
    EXPECT_EQ(Form().LogoTree().Selected(), Form().LogoTree().Root());
    EXPECT_EQ(Doc(), nullptr);
    EXPECT_TRUE(Form().SourceImage->Picture().Empty());
    EXPECT_FALSE(Form().RenameMenuItem->isEnabled());
}

TEST_F(MainWindowTreeCommandTest, TheDeleteKeyDeletesTheSelectedNodeButNotTheRoot)
{
    Select("Pets/bird.bmp");
    FPrompts.Answer(TPromptResult::Yes);
    QTest::keyClick(Form().LogoTreeView, Qt::Key_Delete);
    EXPECT_FALSE(Exists(PetsPath("bird.bmp")));
    EXPECT_EQ(Node("Pets/bird.bmp"), nullptr);
    EXPECT_EQ(Form().LogoTree().Selected(), Node("Pets/dog.jpeg"));

    Select("");
    FPrompts.Clear();
    FPrompts.Answer(TPromptResult::Yes);
    QTest::keyClick(Form().LogoTreeView, Qt::Key_Delete);
    EXPECT_TRUE(FPrompts.Prompts().empty());
    EXPECT_EQ(FPrompts.PendingAnswers(), 1u);
    EXPECT_NE(Node("Pets"), nullptr);
    EXPECT_TRUE(Exists(FFolder / "Logo Directory/Pets"));
}

TEST_F(MainWindowTreeCommandTest, OpeningAPictureAddsALogoMadeFromTheTemplate)
{
    Select("Pets/dog.jpeg");
    const std::string picture = FOut / "fish.bmp";
    WriteBMP(Gradient(32, 48), picture);
    FPrompts.AnswerFile(picture);
    Form().OpenToolButton->click();
    EXPECT_EQ(FPrompts.Prompts().at(0).FileDialog.Filters.size(), 6u);
    TLogoNode *fish = Node("Pets/fish.bmp");
    ASSERT_NE(fish, nullptr);
    EXPECT_TRUE(Exists(PetsPath("fish.bmp")));
    EXPECT_EQ(Form().LogoTree().Selected(), fish);
    EXPECT_EQ(fish->Data()->LogoWidth, 101); // the dog's settings, held by the template
    EXPECT_EQ(fish->Data()->FitKind, fkSmaller);
    EXPECT_TRUE(fish->Data()->UploadURL.empty());
    ASSERT_NE(Doc(), nullptr);
    EXPECT_EQ(FrameRectOf(*fish->Data()), CalcFrameRect(fkSmaller, Doc()->Metrics()));

    // A picture under 16 pixels is refused.
    const std::string tiny = FOut / "tiny.bmp";
    WriteBMP(Gradient(10, 10), tiny);
    FPrompts.Clear();
    FPrompts.AnswerFile(tiny);
    Form().Open1Click();
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"Image dimensions must be at least 16x16."});
    EXPECT_EQ(Node("Pets/tiny.bmp"), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Save As

using MainWindowSaveTest = MainWindowTest;

TEST_F(MainWindowSaveTest, SaveWritesTheRenderedLogoAndRemembersItsFolder)
{
    Select("Pets/cat.png");
    const std::string first = FOut / "first.png";
    FPrompts.AnswerFile(first);
    Form().SaveMenuItem->trigger();
    ASSERT_EQ(FPrompts.Prompts().size(), 1u);
    const TFileDialogRequest &request = FPrompts.Prompts()[0].FileDialog;
    EXPECT_EQ(request.FileName, "cat.png");
    EXPECT_EQ(request.DefaultExtension, "jpg");
    EXPECT_EQ(request.InitialFolder, "");
    EXPECT_EQ(request.Filters.size(), 6u);
    ASSERT_TRUE(Exists(first));
    EXPECT_EQ(ReadPicture(first), Doc()->Logo);

    // The next dialog starts in the folder of the last save.
    Select("Pets/dog.jpeg");
    FPrompts.CancelFile();
    Form().SaveLogoToFile();
    EXPECT_EQ(FPrompts.Prompts().at(1).FileDialog.InitialFolder, FOut.Path());
}

TEST_F(MainWindowSaveTest, TheChosenNameOrElseTheDialogsFileTypeDecidesTheFormat)
{
    // A TIFF picture is read, so Open accepts it: a logo of a format no writer serves.
    const std::string scan = FFolder / "scan.tif";
    QImage picture(32, 32, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen); // a new QImage holds whatever the heap held
    ASSERT_TRUE(picture.save(QString::fromStdString(scan), "TIFF"));
    OpenIntoPets(scan);
    const std::string jpeg = "\xFF\xD8\xFF", png = "\x89PNG", gif = "GIF8", bmp = "BM";
    struct TCase {
        const char *Logo, *Chosen;
        std::size_t FileType; // 0 all, 1 .jpg, 2 .jpeg, 3 .bmp, 4 .gif, 5 .png
        const char *Written;
        std::string Magic;
    } cases[] = {
        {"Pets/bird.bmp", "a.png", 0, "a.png", png},    {"Pets/bird.bmp", "b.JPG", 4, "b.JPG", jpeg},
        {"Pets/cat.png", "d.gif", 5, "d.gif", gif},     {"Pets/dog.jpeg", "e.bmp", 0, "e.bmp", bmp},
        {"Pets/dog.jpeg", "f", 5, "f.png", png},        {"Pets/bird.bmp", "g", 0, "g.jpg", jpeg},
        {"Pets/cat.png", "i.tif", 3, "i.tif.bmp", bmp}, {"Pets/scan.tif", "scan.tif", 0, "scan.tif.jpg", jpeg},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(std::string(c.Logo) + " as " + c.Chosen);
        Select(c.Logo);
        FPrompts.Clear();
        FPrompts.AnswerFile(FOut / c.Chosen, c.FileType);
        Form().SaveLogoToFile();
        EXPECT_TRUE(FPrompts.Texts().empty());
        EXPECT_EQ(ReadFile(FOut / c.Written).substr(0, c.Magic.size()), c.Magic);
        EXPECT_EQ(Exists(FOut / c.Chosen), std::string(c.Chosen) == c.Written);
    }
}

TEST_F(MainWindowSaveTest, OverwritingAsksAndNoLeavesTheOldFile)
{
    Select("Pets/cat.png");
    const std::string other = FOut / "sub/";
    std::filesystem::create_directories(other);
    const std::string path = other + "old.png";
    WriteFile(path, "old content");

    FPrompts.AnswerFile(path);
    FPrompts.Answer(TPromptResult::No);
    Form().SaveLogoToFile();
    EXPECT_EQ(FPrompts.Texts(),
              std::vector<std::string>{"The file " + path + " already exists. Do You want to overwrite it?"});
    EXPECT_EQ(ReadFile(path), "old content");

    // The last save folder stayed empty; Yes overwrites and remembers the folder.
    FPrompts.Clear();
    FPrompts.AnswerFile(path);
    FPrompts.Answer(TPromptResult::Yes);
    Form().SaveLogoToFile();
    EXPECT_EQ(FPrompts.Prompts().at(0).FileDialog.InitialFolder, "");
    EXPECT_EQ(ReadPicture(path), Doc()->Logo);
    FPrompts.Clear();
    FPrompts.CancelFile();
    Form().SaveLogoToFile();
    EXPECT_EQ(FPrompts.Prompts().at(0).FileDialog.InitialFolder, other);
}

TEST_F(MainWindowSaveTest, AFrameOffThePictureIsRefused)
{
    Select("Pets/cat.png");
    TLogoDirObject &cat = Record("Pets/cat.png");
    cat.FrameLeft = cat.FrameTop = 0;
    cat.FrameWidth = cat.FrameHeight = 40;
    Form().ShowSelectedLogo();
    Form().SaveLogoToFile();
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{kNoPictureInFrame});
    EXPECT_EQ(FPrompts.Prompts().at(0).Caption, "Warning");
    EXPECT_EQ(FPrompts.Prompts().size(), 1u); // no file dialog
}

// ---------------------------------------------------------------------------------------------
// Web pages

using MainWindowBrowserTest = MainWindowTest;

TEST_F(MainWindowBrowserTest, ABrowserCommandEndingWithAnErrorShowsTheAddressToOpenByHand)
{
    // The command's name and body, and the reason the box gives (none: no box).
    const struct {
        const char *Name, *Body, *Reason;
    } cases[] = {{"browser.sh", "exit 0", nullptr},
                 {"browser.sh", "exit 3", "The command ended with exit status 3."},
                 {"xdg-open", "exit 3", "No program to open the address was found (exit status 3)."},
                 {"browser.sh", "sleep 0.3; exit 1", "The command ended with exit status 1."},
                 {"browser.sh", "kill -KILL $$", "The command was ended by a signal (Killed)."}};
    const std::string pidFile = FOut / "browser.pid";
    for (const auto &[name, body, reason] : cases) {
        const std::string script = FOut / name;
        ::setenv("BROWSER", script.c_str(), 1);
        WriteFile(script, "#!/bin/sh\necho $$ >" + pidFile + ".new && mv " + pidFile + ".new " + pidFile + "\n" + body);
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        // Help > FAQ, and the start that "Yes" to a new version runs.
        for (const std::string &address : {ServicePageAddress(kFAQPage), std::string("http://x.example/setup")}) {
            SCOPED_TRACE(std::string(body) + " " + address);
            std::filesystem::remove(pidFile);
            FPrompts.Clear();
            std::string failure;
            if (address.ends_with("/setup"))
                EXPECT_TRUE(FOptions->StartBrowser(address, failure));
            else
                Form().FAQMenuItem->trigger();
            // Its process entry goes once the command has been reaped; the report follows.
            EXPECT_TRUE(QTest::qWaitFor(
                [&] {
                    const std::string pid = ReadFile(pidFile);
                    return !pid.empty() && !std::filesystem::exists("/proc/" + pid.substr(0, pid.size() - 1));
                },
                5000));
            QApplication::sendPostedEvents();
            EXPECT_EQ(FPrompts.Texts(),
                      reason ? std::vector<std::string>{reason + (" " + script) +
                                                        "\n\nOpen this address in your web browser: " + address}
                             : std::vector<std::string>{});
        }
    }
    ::unsetenv("BROWSER");
}

// ---------------------------------------------------------------------------------------------
// Convert, mirror and rotate

using MainWindowImageCommandTest = MainWindowTest;

TEST_F(MainWindowImageCommandTest, ConvertKeepingTheSourceAddsTheNewLogoAfterIt)
{
    FOptions->Options().convertretainsource = srRetain;
    Select("Pets/cat.png");
    Form().ConvertItems[0][iffBMP]->trigger();
    EXPECT_TRUE(FPrompts.Prompts().empty());
    EXPECT_TRUE(Exists(PetsPath("cat.png")));
    TLogoNode *converted = Node("Pets/cat2.bmp");
    ASSERT_NE(converted, nullptr);
    EXPECT_EQ(converted->Index(), Node("Pets/cat.png")->Index() + 1);
    EXPECT_EQ(ReadPicture(PetsPath("cat2.bmp")), FCat);
    EXPECT_EQ(Form().LogoTree().Selected(), converted);
    ASSERT_NE(Doc(), nullptr);
    EXPECT_EQ(Doc()->Node, converted->Data());
    // The copy has the source's settings and a default frame; the new format's item is hidden.
    EXPECT_EQ(converted->Data()->PhoneModelId, 1);
    EXPECT_EQ(FrameRectOf(*converted->Data()), CalcFrameRect(fkBigger, Doc()->Metrics()));
    EXPECT_EQ(FrameOf(Record("Pets/cat.png")), (TFrameBox{40, 60, 80, 80}));
    for (int menu = 0; menu < 4; ++menu) {
        EXPECT_FALSE(Form().ConvertItems[menu][iffBMP]->isVisible());
        EXPECT_TRUE(Form().ConvertItems[menu][iffPNG]->isVisible());
    }
}

TEST_F(MainWindowImageCommandTest, ConvertReplacingTheSourceRenamesTheRecord)
{
    FOptions->Options().convertretainsource = srDelete;
    Select("Pets/cat.png");
    TLogoDirObject *cat = &Record("Pets/cat.png");
    Form().ConvertItems[2][iffGIF]->trigger(); // the tree pop-up's item
    EXPECT_FALSE(Exists(PetsPath("cat.png")));
    EXPECT_TRUE(Exists(PetsPath("cat.gif")));
    ASSERT_EQ(Node("Pets/cat.gif"), Form().LogoTree().Selected());
    EXPECT_EQ(Node("Pets/cat.gif")->Data(), cat);
    EXPECT_EQ(Model()->IndexOf(Node("Pets/cat.gif")).data().toString(), "cat.gif");
    ASSERT_NE(Doc(), nullptr);
    EXPECT_EQ(FrameRectOf(*cat), CalcFrameRect(fkBigger, Doc()->Metrics()));
}

TEST_F(MainWindowImageCommandTest, CancelInTheKeepQuestionChangesNothing)
{
    FOptions->Options().convertretainsource = srAsk;
    Select("Pets/cat.png");
    FPrompts.Answer(TPromptResult::Cancel);
    Form().ConvertNode(iffJPG);
    EXPECT_EQ(FPrompts.Texts(), std::vector<std::string>{"Do you want to keep source file after image conversion?"});
    EXPECT_FALSE(Exists(PetsPath("cat.jpg")));
    EXPECT_FALSE(Exists(PetsPath("cat2.jpg")));
    EXPECT_EQ(Node("Pets")->Count(), 3);
    EXPECT_EQ(Form().LogoTree().Selected(), Node("Pets/cat.png"));
}

TEST_F(MainWindowImageCommandTest, MirrorAndRotateWriteTheWholeTurnedPicture)
{
    struct Row {
        const char *what;
        std::function<void(TMainAppForm &, TOptionsForm &)> run;
        const char *result;
        TBitmap expected;
        bool keep;
    } rows[] = {
        {"mirror horizontally keeping",
         [](TMainAppForm &f, TOptionsForm &o) {
             o.Options().mirrorretainsource = srRetain;
             f.MirrorItems[1][0]->trigger();
         },
         "bird2.bmp", MirroredBitmap(FBird, 0), true},
        {"mirror vertically replacing",
         [](TMainAppForm &f, TOptionsForm &o) {
             o.Options().mirrorretainsource = srDelete;
             f.MirrorItems[3][1]->trigger();
         },
         "bird.bmp", MirroredBitmap(FBird, 1), false},
        {"rotate 90 replacing",
         [](TMainAppForm &f, TOptionsForm &o) {
             o.Options().rotateretainsource = srDelete;
             f.RotateItems[0][0]->trigger();
         },
         "bird.bmp", RotatedBitmap(FBird, 90), false},
        {"rotate 270 keeping",
         [](TMainAppForm &f, TOptionsForm &o) {
             o.Options().rotateretainsource = srRetain;
             f.RotateItems[2][2]->trigger();
         },
         "bird2.bmp", RotatedBitmap(FBird, 270), true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        WriteBMP(FBird, PetsPath("bird.bmp"));
        if (TLogoNode *old = Node("Pets/bird2.bmp")) {
            std::filesystem::remove(PetsPath("bird2.bmp"));
            Form().LogoTree().RemoveNode(old);
        }
        Select("Pets/cat.png");
        Select("Pets/bird.bmp");
        row.run(Form(), *FOptions);
        EXPECT_TRUE(FPrompts.Texts().empty());
        EXPECT_EQ(ReadPicture(PetsPath(row.result)), row.expected);
        EXPECT_EQ(Node("Pets")->Count(), row.keep ? 4 : 3);
        TLogoNode *shown = Node(std::string("Pets/") + row.result);
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(Form().LogoTree().Selected(), shown);
        ASSERT_NE(Doc(), nullptr);
        EXPECT_EQ(Doc()->SourceWidth, row.expected.Width());
        EXPECT_EQ(FrameRectOf(*shown->Data()), CalcFrameRect(shown->Data()->FitKind, Doc()->Metrics()));
    }
}

// A prompt service that lets the window's pane change size while the keep question is open, as
// a user resizing the main window behind the question does.
class TResizingPrompts : public TScriptedPromptService {
public:
    std::function<void()> WhileAsking;
    TPromptResult MessageBox(const TMessageBoxRequest &request) override
    {
        if (WhileAsking && request.Buttons == TPromptButtons::YesNoCancel)
            WhileAsking();
        return TScriptedPromptService::MessageBox(request);
    }
};

class MainWindowImageCommandResizeTest : public MainWindowTest {
protected:
    TScriptedPromptService &Prompts() override { return FResizing; }
    TResizingPrompts FResizing;
};

TEST_F(MainWindowImageCommandResizeTest, AResizeDuringTheKeepQuestionStillWritesTheSourcePicture)
{
    FOptions->Options().convertretainsource = srAsk;
    Select("Pets/cat.png");
    FResizing.WhileAsking = [this] {
        Form().resize(900, 700);
        QApplication::processEvents();
    };
    FResizing.Answer(TPromptResult::Yes);
    Form().ConvertNode(iffBMP);
    EXPECT_EQ(ReadPicture(PetsPath("cat2.bmp")), FCat);
}

// A prompt service that takes the shown picture away and resizes the pane while the Save As
// dialog is open, so the document is rebuilt (and fails) behind the dialog.
class TVanishingPrompts : public TScriptedPromptService {
public:
    std::function<void()> WhileChoosing;
    bool SaveFileDialog(const TFileDialogRequest &request, std::string &fileName, std::size_t &filter) override
    {
        if (WhileChoosing)
            WhileChoosing();
        return TScriptedPromptService::SaveFileDialog(request, fileName, filter);
    }
};

class MainWindowSaveVanishTest : public MainWindowTest {
protected:
    TScriptedPromptService &Prompts() override { return FVanishing; }
    TVanishingPrompts FVanishing;
};

TEST_F(MainWindowSaveVanishTest, TheLogoShownWhenSaveBeganIsWrittenEvenIfThePictureGoesMeanwhile)
{
    Select("Pets/cat.png");
    const TBitmap logo = Doc()->Logo;
    FVanishing.WhileChoosing = [this] {
        std::filesystem::remove(PetsPath("cat.png"));
        Form().resize(900, 700);
        QApplication::processEvents();
    };
    FVanishing.AnswerFile(FOut / "saved.png");
    Form().SaveLogoToFile();
    EXPECT_EQ(Doc(), nullptr); // the rebuilt display could not read the picture
    EXPECT_EQ(ReadPicture(FOut / "saved.png"), logo);
}

TEST_F(MainWindowDisplayTest, AFolderAfterAScrolledLogoStartsItsPanesAtTheTopLeft)
{
    WritePNG(Gradient(1500, 1200), PetsPath("big.png"));
    TLogoNode *pets = Node("Pets");
    auto record = std::make_unique<TLogoDirObject>(nkLogo, "big.png");
    Form().LogoTree().AddChild(pets, std::move(record));
    Select("Pets/big.png");
    Form().SourceImageScrollBox->horizontalScrollBar()->setValue(300);
    Select("Pets");
    EXPECT_EQ(Form().SourceImageScrollBox->horizontalScrollBar()->value(), 0);
    EXPECT_EQ(Form().SourceImageScrollBox->widget()->size(), Form().SourceImageScrollBox->viewport()->size());
    EXPECT_EQ(Form().SourceImage->geometry(), QRect(0, 0, 10, 10));
}

TEST_F(MainWindowDisplayTest, ASizeTypedIntoTheBoxAppliesWithoutEnter)
{
    Select("Pets/cat.png");
    Form().LogoWidthUpDown->setFocus();
    Form().LogoWidthUpDown->selectAll();
    QTest::keyClicks(Form().LogoWidthUpDown, "64");
    EXPECT_EQ(Record("Pets/cat.png").LogoWidth, 64);
    EXPECT_EQ(Form().TargetImage->Picture().Width(), 64);
}

// ---------------------------------------------------------------------------------------------
// The options dialog

class MainWindowOptionsTest : public MainWindowTest {
protected:
    void PrepareFolder() override
    {
        WriteFile(FFolder / "options.xml", R"(<options><jpegquality value="50"/></options>)");
    }

    // Runs the modal dialog and answers it from inside its own event loop.
    void RunOptionsDialog(const std::function<void(QDialog &)> &answer)
    {
        QDialog *seen = nullptr;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            seen = dialog;
            if (dialog)
                answer(*dialog);
        });
        Form().Options1Click();
        EXPECT_EQ(seen, FOptions.get());
    }
};

TEST_F(MainWindowOptionsTest, CancelKeepsTheOptionsInForce)
{
    Select("Pets/cat.png");
    const std::string before = ReadFile(FFolder / "options.xml");
    TBitmap &target = Form().TargetImage->Picture();
    target.FillRect({0, 0, target.Width(), target.Height()}, clBlack);
    const TBitmap scribbled = target;
    RunOptionsDialog([this](QDialog &dialog) {
        FOptions->JPEGQualityTrackBar->setValue(80);
        dialog.reject();
    });
    EXPECT_EQ(FOptions->JPEGQualityTrackBar->value(), 50);
    EXPECT_EQ(FOptions->Options().jpegquality, 50);
    EXPECT_EQ(ReadFile(FFolder / "options.xml"), before);
    EXPECT_EQ(Form().TargetImage->Picture(), scribbled); // nothing shown anew
}

TEST_F(MainWindowOptionsTest, OkWritesTheOptionsAndRendersTheLogoAgain)
{
    Select("Pets/cat.png");
    TLogoDirObject &cat = Record("Pets/cat.png");
    // The whole work area: the picture fills rows 32..95 of the logo, white above and below.
    cat.FrameLeft = cat.FrameTop = 0;
    cat.FrameWidth = cat.FrameHeight = 200;
    Form().ShowSelectedLogo();
    ASSERT_EQ(Form().TargetImage->Picture().Pixel(64, 10), clWhite);

    RunOptionsDialog([this](QDialog &dialog) {
        FOptions->FillInEmptyAreaCheckBox->setChecked(true);
        FOptions->FEmptyAreaColorButton->SetButtonColor(0x00FF00);
        dialog.accept();
    });
    const std::string written = ReadFile(FFolder / "options.xml");
    EXPECT_NE(written.find("fillemptyarea"), std::string::npos);
    TOptionValues values;
    TXMLSource xml;
    ASSERT_EQ(ReadOptionsFile(FFolder / "options.xml", xml, values), TOptionsReadResult::Read);
    EXPECT_TRUE(values.fillemptyarea);
    EXPECT_EQ(values.emptyareacolor, 0x00FF00);
    EXPECT_EQ(values.jpegquality, 50);
    EXPECT_EQ(Form().TargetImage->Picture().Pixel(64, 10), 0x00FF00);
    EXPECT_TRUE(HasGreyBorder(Form().TargetImage->Picture()));
}

// ---------------------------------------------------------------------------------------------
// The layout at its limits and the size boxes

using MainWindowLayoutTest = MainWindowFrameTest;

TEST_F(MainWindowLayoutTest, TheSmallestWindowKeepsEveryControlOfTheLogoPanelWhole)
{
    TMainAppForm &f = Form();
    f.resize(f.minimumSize());
    QApplication::processEvents();
    std::vector<QWidget *> controls = {f.PhoneMake,        f.PhoneModel,      f.LogoWidthUpDown,
                                       f.LogoHeightUpDown, f.KeepProportions, f.UploadButton,
                                       f.ImageWapShortURL, f.ImageWapURL,     f.ImageID};
    for (QAbstractButton *fit : f.FitInto->buttons())
        controls.push_back(fit);
    for (QWidget *control : controls) {
        // Not cut by any parent nor squeezed below what it needs.
        QRect visible = control->rect();
        for (const QWidget *w = control; w != &f; w = w->parentWidget())
            visible &= QRect(-control->mapTo(w->parentWidget(), QPoint(0, 0)), w->parentWidget()->size());
        EXPECT_EQ(visible, control->rect()) << control->metaObject()->className();
        EXPECT_GE(control->width(), control->minimumSizeHint().width()) << control->metaObject()->className();
    }
    EXPECT_GE(f.TargetBkgndScrollBox->viewport()->width(), 128); // a logo of the start size
}

// The window never changes size under the user's hand: one least size, in which every image status
// text reads whole whatever logo is shown, a 108-megapixel photo's included, and the tree stays as
// wide as the user left it.
TEST_F(MainWindowLayoutTest, SelectionsKeepTheLeastSizeAndTheTreeWidth)
{
    TMainAppForm &f = Form();
    const std::string photo = FOut / "photo.jpg";
    WriteJPEG(TBitmap(12000, 9000), photo, 50); // of one colour: quick to write, small on disk
    OpenIntoPets(photo);
    Select("");
    f.resize(1, 1); // the smallest the window allows
    QApplication::processEvents();
    const QSize least = f.size();
    const int tree = f.LogoTreeView->width();
    // With its frame and a desktop panel it fits a 1024 x 768 screen.
    EXPECT_LE(least.width(), 1024 - 16);
    EXPECT_LE(least.height(), 768 - 64);
    for (const char *path : {"Pets/cat.png", "Pets/photo.jpg", "Pets/bird.bmp", ""}) {
        Select(path);
        for (int level = 0; level < 8; ++level) // a layout request travels one level per turn
            QApplication::processEvents();
        EXPECT_EQ(f.size(), least) << path;
        EXPECT_EQ(f.minimumSize(), least) << path;
        EXPECT_EQ(f.LogoTreeView->width(), tree) << path;
        const TStatusPanels &bar = *f.ImageStatusBar;
        EXPECT_LE(bar.mapTo(&f, QPoint(bar.width(), 0)).x(), f.width());
        for (int i = 0; i < bar.Count(); ++i)
            EXPECT_GE(bar.PanelRect(i).width() - 6, bar.fontMetrics().horizontalAdvance(bar.Text(i)))
                << bar.Text(i).toStdString();
    }
}

TEST_F(MainWindowLayoutTest, ASizeTypedAboveTheRangeBecomesTheLargestSize)
{
    struct Row {
        const char *what;
        QSpinBox *box;
        const char *typed;
        int expected;
    } rows[] = {{"a third digit past the range", Form().LogoWidthUpDown, "500", 400},
                {"digits beyond any number", Form().LogoWidthUpDown, "99999999999999999999", 400},
                {"a size in the range", Form().LogoWidthUpDown, "64", 64},
                {"the height box", Form().LogoHeightUpDown, "401", 400}};
    for (const Row &row : rows) {
        row.box->setValue(128);
        row.box->setFocus();
        row.box->selectAll();
        QTest::keyClicks(row.box, row.typed);
        EXPECT_EQ(row.box->text(), QString::number(row.expected)) << row.what;
        const TBitmap &logo = Form().TargetImage->Picture();
        EXPECT_EQ(row.box == Form().LogoWidthUpDown ? logo.Width() : logo.Height(), row.expected) << row.what;
    }
}

TEST_F(MainWindowLayoutTest, TheLogoStaysCentredWhenItsPaneChangesSize)
{
    auto *splitter = static_cast<QSplitter *>(Form().TargetBkgndScrollBox->parentWidget()->parentWidget());
    struct Row {
        const char *what;
        QSize window;
        int paneTaller; // moves the splitter above the logo panel
        int logoWidth;
    } rows[] = {{"a larger window", {1000, 760}, 0, 128},
                {"the splitter alone", {1000, 760}, 90, 128},
                {"a smaller window", {760, 600}, 0, 128},
                {"a logo wider than its pane", {760, 600}, 40, 400}};
    for (const Row &row : rows) {
        Form().LogoWidthUpDown->setValue(row.logoWidth);
        Form().resize(row.window);
        QApplication::processEvents();
        const QList<int> sizes = splitter->sizes();
        splitter->setSizes({sizes[0] - row.paneTaller, sizes[1] + row.paneTaller});
        // Centred while smaller than the pane, else from its left edge.
        const QSize pane = Form().TargetBkgndScrollBox->viewport()->size();
        const QPoint expected(std::max(pane.width() - row.logoWidth, 0) / 2, (pane.height() - 128) / 2);
        EXPECT_EQ(Form().TargetImage->mapTo(Form().TargetBkgndScrollBox->viewport(), QPoint(0, 0)), expected)
            << row.what;
    }
}

} // namespace
} // namespace vantorel
