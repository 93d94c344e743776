#include "MainForm.h"

#include <algorithm>
#include <array>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "AboutBox.h"
#include "AppStateFile.h"
#include "AtomicFile.h"
#include "ExchangeThread.h"
#include "HelpViewer.h"
#include "Icons.h"
#include "ImageCodecs.h"
#include "ImageControl.h"
#include "ImageStatusTexts.h"
#include "Links.h"
#include "LogCategories.h"
#include "LogoIndexFile.h"
#include "LogoTreeModel.h"
#include "OptionsForm.h"
#include "ProgramFolder.h"
#include "ProxySetup.h"
#include "QtPromptService.h"
#include "StatusPanels.h"
#include "TempWorkFolder.h"

namespace vantorel {

namespace {

const char *const kFormatCaptions[4] = {"BMP (Windows Bitmap)", "JPG (JPEG JFIF Format)",
                                        "GIF (Graphics Interchange Format)", "PNG (Portable Network Graphics)"};
const char *const kFormatNames[4] = {"BMP", "JPG", "GIF", "PNG"};
const char *const kMenuPrefixes[4] = {"", "DD", "TV", "SI"};
const char *const kMirrorCaptions[2] = {"Horizontally", "Vertically"};
const int kAngles[3] = {90, 180, 270};

QLabel *Caption(const char *text, QWidget *parent = nullptr) { return new QLabel(QString::fromUtf8(text), parent); }

// The logo pane stays wide enough for a logo of the start size.
constexpr int kLeastLogoPaneWidth = 128;

// The tree's start width; the smallest window keeps it.
constexpr int kTreeWidth = 185;

// The smallest window of the design.
constexpr int kLeastWidth = 652;
constexpr int kLeastHeight = 492;

// A size box that takes a typed number above its range as its largest value; the plain spin box
// refuses the keystroke instead, so typing 500 would leave 50.
class TSizeSpinBox : public QSpinBox {
public:
    QValidator::State validate(QString &input, int &pos) const override
    {
        const QValidator::State state = QSpinBox::validate(input, pos);
        if (state != QValidator::Invalid)
            return state;
        const QString typed = input.trimmed();
        bool number = false;
        const qlonglong value = typed.toLongLong(&number);
        if (!number || !typed.front().isDigit() || value <= maximum())
            return state;
        input = QString::number(maximum());
        pos = static_cast<int>(input.size());
        return QValidator::Acceptable;
    }
};

// A tool button whose menu or dialog held the mouse while it left keeps its hover look, as no
// leave reaches it then; this gives it the leave it missed.
void ForgetStaleHover(QWidget *button)
{
    if (!button->underMouse() || button->rect().contains(button->mapFromGlobal(QCursor::pos())))
        return;
    button->setAttribute(Qt::WA_UnderMouse, false);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    button->update();
}

} // namespace

TMainAppForm::TMainAppForm(std::string programFolder, TPromptService *prompts)
    : FProgramFolder(std::move(programFolder)),
      FOwnPrompts(prompts ? nullptr : std::make_unique<TQtPromptService>(this)),
      FPrompts(prompts ? prompts : FOwnPrompts.get()), FLogoTree(FProgramFolder), FIndexSaver(FLogoTree),
      FTreeEditor(FLogoTree, *FPrompts, [this] { return Uploading(); }), FImageCommands(FLogoTree, *FPrompts)
{
    setWindowTitle(QStringLiteral("Vantorel Starting"));
    setWindowIcon(ProgramIcon());
    resize(803, 610);

    BuildLayout();
    BuildMenusAndToolBar();
    BuildPopupMenus();

    FormCreate();
    // From here on every change of the tree reaches the index file; an instance on its way out
    // writes nothing.
    FLogoTree.SetChangeHandler([this] {
        if (!FQuitRequested)
            FIndexSaver.Changed();
    });

    // The view follows the tree once it is built: attaching it before would have it follow
    // every one of the index's nodes on its own.
    FLogoTreeModel = new TLogoTreeModel(FLogoTree, this);
    LogoTreeView->setModel(FLogoTreeModel);
    if (const TLogoNode *root = FLogoTree.Root(); root && root->Expanded())
        LogoTreeView->expand(FLogoTreeModel->IndexOf(root));
    ConnectSignals();
    UpdateControls();
    // One least size, set once: what the controls and the image status panels need with the
    // desktop's fonts (the make list is filled by now), the tree at its start width. Set as the
    // window's own, the layout never changes it, so no text that grows resizes the window.
    ensurePolished();
    SizeImageStatusPanels();
    QSize least = minimumSizeHint();
    least.rwidth() += kTreeWidth - LogoTreeView->minimumWidth();
    setMinimumSize(least.expandedTo(QSize(kLeastWidth, kLeastHeight)));
}

void TMainAppForm::SizeImageStatusPanels()
{
    // Each panel holds the longest text it can show, in the font it shows it in, so that neither
    // a panel nor the window has to change size when a text grows.
    const int designWidths[4] = {140, 200, 140, 120};
    const std::array<QString, 4> longest = LongestImageStatusTexts(ImageStatusBar->fontMetrics());
    int total = 0;
    for (int i = 0; i < 4; ++i) {
        const int width = std::max(designWidths[i], ImageStatusBar->TextWidth(longest[static_cast<std::size_t>(i)]));
        ImageStatusBar->SetPanelWidth(i, width);
        total += width;
    }
    ImageStatusBar->setMinimumWidth(total);
}

TMainAppForm::~TMainAppForm()
{
    // A running upload or send uses the connections that go with the window.
    TExchangeThread::StopAll();
    FLogoTree.SetChangeHandler({});
    // The view, its model and the document refer to the tree, which goes with the members, before
    // Qt deletes the window's children.
    LogoTreeView->setModel(nullptr);
    delete FLogoTreeModel;
    FLogoTreeModel = nullptr;
    // The picture pane may show the document's view in place: it lets go of it first.
    if (SourceImage)
        SourceImage->SetPicture({});
    FSourceImage.reset();
}

void TMainAppForm::BuildLayout()
{
    LogoTreeView = new QTreeView;
    LogoTreeView->setHeaderHidden(true);
    LogoTreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LogoTreeView->setDragDropMode(QAbstractItemView::NoDragDrop);
    LogoTreeView->setSelectionMode(QAbstractItemView::SingleSelection);
    LogoTreeView->setIndentation(19);
    LogoTreeView->setMinimumSize(150, 400);
    LogoTreeView->setContextMenuPolicy(Qt::CustomContextMenu);
    LogoTreeView->installEventFilter(this);
    LogoTreeView->viewport()->installEventFilter(this);

    // The source pane with the picture and, under it, the image status bar.
    SourceImageScrollBox = new QScrollArea;
    SourceImageScrollBox->setBackgroundRole(QPalette::Base);
    SourceImageScrollBox->setWidgetResizable(false);
    SourceImageScrollBox->setWidget(new QWidget);
    SourceImageScrollBox->widget()->setAutoFillBackground(false);
    SourceImage = new TImageControl(SourceImageScrollBox->widget());
    SourceImageScrollBox->setContextMenuPolicy(Qt::CustomContextMenu);
    SourceImageScrollBox->viewport()->installEventFilter(this);
    ImageStatusBar = new TStatusPanels(4, 19, true);
    const char *imageStatusTexts[4] = {"Source Image:", "Source Selection:", "Logo Screen:", "Logo Image:"};
    for (int i = 0; i < 4; ++i)
        ImageStatusBar->SetText(i, QString::fromLatin1(imageStatusTexts[i]));
    auto *sourcePanel = new QWidget;
    auto *sourceLayout = new QVBoxLayout(sourcePanel);
    sourceLayout->setContentsMargins(0, 0, 0, 0);
    sourceLayout->setSpacing(0);
    sourceLayout->addWidget(SourceImageScrollBox, 1);
    sourceLayout->addWidget(ImageStatusBar);
    sourcePanel->setMinimumHeight(200);

    // The settings controls.
    ImageToolPanel = new QWidget;
    // As wide as its controls ask, so that it is never squeezed below them.
    ImageToolPanel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    QFont small = ImageToolPanel->font();
    small.setPointSize(8);
    ImageToolPanel->setFont(small);
    auto *heading = Caption("Logo properties");
    QFont headingFont(QStringLiteral("Arial"));
    headingFont.setPixelSize(13);
    headingFont.setBold(true);
    headingFont.setItalic(true);
    heading->setFont(headingFont);
    heading->setAutoFillBackground(true);
    heading->setBackgroundRole(QPalette::ToolTipBase);
    heading->setForegroundRole(QPalette::ToolTipText);
    heading->setMinimumWidth(124); // with the margins, at least as wide as the original panel
    PhoneMake = new QComboBox;
    PhoneModel = new QComboBox;
    auto makeSpin = [] {
        auto *spin = new TSizeSpinBox;
        spin->setRange(16, 400);
        spin->setValue(128);
        return spin;
    };
    LogoWidthUpDown = makeSpin();
    LogoHeightUpDown = makeSpin();
    auto *fitGroup = new QGroupBox(QStringLiteral("Selection Fits Into"));
    auto *fitLayout = new QVBoxLayout(fitGroup);
    fitLayout->setContentsMargins(2, 0, 0, 0);
    fitLayout->setSpacing(0);
    FitInto = new QButtonGroup(this);
    const char *fitCaptions[4] = {"Picture Width", "Picture Height", "Smaller Dimension", "Bigger Dimension"};
    for (int i = 0; i < 4; ++i) {
        auto *radio = new QRadioButton(QString::fromLatin1(fitCaptions[i]));
        FitInto->addButton(radio, i);
        fitLayout->addWidget(radio);
    }
    FitInto->button(fkBigger)->setChecked(true);
    KeepProportions = new QCheckBox(QStringLiteral("Keep proportions"));
    KeepProportions->setChecked(true);
    auto *toolLayout = new QVBoxLayout(ImageToolPanel);
    toolLayout->setContentsMargins(2, 0, 2, 2);
    toolLayout->setSpacing(1);
    toolLayout->addWidget(heading);
    toolLayout->addWidget(Caption("Make"));
    toolLayout->addWidget(PhoneMake);
    toolLayout->addWidget(Caption("Model"));
    toolLayout->addWidget(PhoneModel);
    auto *sizeRow = new QGridLayout;
    sizeRow->setSpacing(1);
    sizeRow->addWidget(Caption("Screen width"), 0, 0);
    sizeRow->addWidget(LogoWidthUpDown, 0, 1);
    sizeRow->addWidget(Caption("Screen height"), 1, 0);
    sizeRow->addWidget(LogoHeightUpDown, 1, 1);
    toolLayout->addLayout(sizeRow);
    toolLayout->addWidget(fitGroup);
    toolLayout->addWidget(KeepProportions);
    toolLayout->addStretch();

    // The target pane with the rendered logo.
    TargetBkgndScrollBox = new QScrollArea;
    TargetBkgndScrollBox->setBackgroundRole(QPalette::Base);
    TargetBkgndScrollBox->setWidgetResizable(false);
    TargetBkgndScrollBox->setWidget(new QWidget);
    TargetImage = new TImageControl(TargetBkgndScrollBox->widget());
    TargetBkgndScrollBox->setContextMenuPolicy(Qt::CustomContextMenu);
    TargetBkgndScrollBox->setMinimumWidth(kLeastLogoPaneWidth + 2 * TargetBkgndScrollBox->frameWidth());
    TargetBkgndScrollBox->viewport()->installEventFilter(this); // the logo stays centred

    // The upload panel.
    auto *uploadPanel = new QWidget;
    uploadPanel->setFixedWidth(254);
    UploadButton = new QPushButton(QStringLiteral("Upload"));
    UploadButton->setFixedSize(129, 29);
    QFont uploadFont = UploadButton->font();
    uploadFont.setBold(true);
    UploadButton->setFont(uploadFont);
    // Red only while enabled: a disabled button takes the greyed text of the palette.
    UploadButton->setStyleSheet(QStringLiteral("QPushButton:enabled { color: red; }"));
    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    ImageWapShortURL = new QLineEdit;
    ImageWapShortURL->setReadOnly(true);
    ImageWapURL = new QPlainTextEdit;
    ImageWapURL->setReadOnly(true);
    ImageID = new QLineEdit;
    ImageID->setReadOnly(true);
    auto *uploadLayout = new QVBoxLayout(uploadPanel);
    uploadLayout->setContentsMargins(6, 6, 6, 6);
    uploadLayout->addWidget(UploadButton, 0, Qt::AlignHCenter);
    uploadLayout->addWidget(line);
    uploadLayout->addWidget(Caption("Uploaded logo URL and ID"));
    uploadLayout->addWidget(Caption("Short URL"));
    uploadLayout->addWidget(ImageWapShortURL);
    uploadLayout->addWidget(Caption("Full URL"));
    uploadLayout->addWidget(ImageWapURL, 1);
    uploadLayout->addWidget(Caption("Image ID"));
    uploadLayout->addWidget(ImageID);

    auto *targetPanel = new QWidget;
    auto *targetLayout = new QHBoxLayout(targetPanel);
    targetLayout->setContentsMargins(0, 0, 0, 0);
    targetLayout->setSpacing(0);
    targetLayout->addWidget(ImageToolPanel);
    targetLayout->addWidget(TargetBkgndScrollBox, 1);
    targetLayout->addWidget(uploadPanel);
    // At least 246 high, and higher where the desktop's fonts need it for the settings controls
    // and the address boxes.
    targetPanel->setMinimumHeight(std::max(246, targetLayout->minimumSize().height()));

    auto *imageSplitter = new QSplitter(Qt::Vertical);
    imageSplitter->setHandleWidth(3);
    imageSplitter->setChildrenCollapsible(false);
    imageSplitter->addWidget(sourcePanel);
    imageSplitter->addWidget(targetPanel);
    imageSplitter->setStretchFactor(0, 1);
    imageSplitter->setStretchFactor(1, 0);
    // The picture takes what the logo panel, at its least height, leaves.
    imageSplitter->setSizes({1 << 20, 246});

    auto *mainSplitter = new QSplitter(Qt::Horizontal);
    mainSplitter->setChildrenCollapsible(false);
    mainSplitter->setHandleWidth(3); // as the one under the picture
    mainSplitter->addWidget(LogoTreeView);
    mainSplitter->addWidget(imageSplitter);
    mainSplitter->setStretchFactor(0, 0);
    mainSplitter->setStretchFactor(1, 1);
    mainSplitter->setSizes({kTreeWidth, 618});

    StatusBar = new TStatusPanels(32, 22, true);
    for (int i = 1; i <= 30; ++i)
        StatusBar->SetPanelWidth(i, 0);
    StatusBar->SetText(0, QStringLiteral("Idle"));
    StatusBar->SetOwnerDraw(31, true);
    StatusBar->OnDrawPanel = [this](QPainter &painter, int, const QRect &rect) { StatusBarDrawPanel(painter, rect); };

    auto *central = new QWidget;
    auto *centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->setSpacing(0);
    centralLayout->addWidget(mainSplitter, 1);
    centralLayout->addWidget(StatusBar);
    centralLayout->addStrut(kLeastWidth); // the least width of the design, widened by what the layout needs
    setCentralWidget(central);
}

QMenu *TMainAppForm::MakeMenu(const char *title, QAction *const *items, int count)
{
    auto *menu = new QMenu(QString::fromUtf8(title), this);
    for (int i = 0; i < count; ++i)
        menu->addAction(items[i]);
    return menu;
}

void TMainAppForm::BuildMenusAndToolBar()
{
    auto action = [this](const char *name, const char *caption) {
        auto *a = new QAction(QString::fromUtf8(caption), this);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };

    // The convert, mirror and rotate items of the four menus that carry them.
    for (int menu = 0; menu < 4; ++menu) {
        const std::string prefix = kMenuPrefixes[menu];
        for (int f = 0; f < 4; ++f) {
            QAction *a = action((prefix + "ConvertTo" + kFormatNames[f]).c_str(), kFormatCaptions[f]);
            connect(a, &QAction::triggered, this, [this, f] { ConvertNode(static_cast<TImageFileFormat>(f)); });
            ConvertItems[menu][f] = a;
        }
        const std::string mirrorPrefix = menu == 0 ? "MM" : prefix;
        for (int d = 0; d < 2; ++d) {
            QAction *a =
                action((mirrorPrefix + "Mirror" + kMirrorCaptions[d] + "MenuItem").c_str(), kMirrorCaptions[d]);
            connect(a, &QAction::triggered, this, [this, d] { MirrorNode(d); });
            MirrorItems[menu][d] = a;
        }
        for (int r = 0; r < 3; ++r) {
            const std::string degrees = std::to_string(kAngles[r]);
            QAction *a = action((mirrorPrefix + "Rotate" + degrees + "MenuItem").c_str(), (degrees + "°").c_str());
            connect(a, &QAction::triggered, this, [this, r] { RotateNode(kAngles[r]); });
            RotateItems[menu][r] = a;
        }
    }
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    Open1 = file->addAction(QStringLiteral("&Open..."), this, &TMainAppForm::Open1Click);
    SaveMenuItem = file->addAction(QStringLiteral("&Save..."), this, &TMainAppForm::SaveLogoToFile);
    QMenu *twain = file->addMenu(QStringLiteral("Import from TWAIN source"));
    ImportFromTWAINMenuItem = twain->menuAction();
    AcquireImageMenuItem = twain->addAction(QStringLiteral("Acquire image..."));
    SelectSourceMenuItem = twain->addAction(QStringLiteral("Select source..."));
    GrabFromScreenMenuItem = file->addAction(QStringLiteral("Grab from screen"));
    UploadMenuItem = file->addAction(QStringLiteral("Upload"));
    Newfolder1 = file->addAction(QStringLiteral("&New folder..."), this, &TMainAppForm::Newfolder1Click);
    file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("E&xit"), this, &TMainAppForm::Exit1Click);

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    RenameMenuItem = edit->addAction(QStringLiteral("Rename..."), this, &TMainAppForm::RenameMenuItemClick);
    DeleteMenuItem = edit->addAction(QStringLiteral("Delete"), this, &TMainAppForm::DeleteMenuItemClick);
    edit->addSeparator();
    MMConverttoformat = edit->addMenu(MakeMenu("Convert to", ConvertItems[0], 4));
    MMMirrorImage = edit->addMenu(MakeMenu("Mirror", MirrorItems[0], 2));
    MMRotateImage = edit->addMenu(MakeMenu("Rotate", RotateItems[0], 3));
    edit->addSeparator();
    Options1 = edit->addAction(QStringLiteral("Options..."), this, &TMainAppForm::Options1Click);

    QMenu *view = menuBar()->addMenu(QStringLiteral("View"));
    Fitimageintopane =
        view->addAction(QStringLiteral("Fit image into pane"), this, &TMainAppForm::FitimageintopaneClick);
    Fitimageintopane->setCheckable(true);

    LinksMenu = menuBar()->addMenu(QStringLiteral("Links"));
    LinksMenu->setToolTipsVisible(true);
    for (std::size_t i = 0; i < kWallpaperLinks.size(); ++i) {
        const QString caption = QStringLiteral("%1. %2").arg(i + 1).arg(QString::fromUtf8(kWallpaperLinks[i].Title));
        QAction *link = LinksMenu->addAction(caption, this, [this, i] { OpenLink(static_cast<int>(i)); });
        link->setToolTip(QString::fromUtf8(kWallpaperLinks[i].Address));
        link->setStatusTip(link->toolTip());
    }

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    Contents1 = help->addAction(QStringLiteral("Contents"), this, &TMainAppForm::ContentsToolButtonClick);
    FAQMenuItem = help->addAction(QStringLiteral("FAQ"), this, &TMainAppForm::FAQMenuItemClick);
    SendToFriendMenuItem = help->addAction(QStringLiteral("Send to friend..."));
    help->addSeparator();
    About1 = help->addAction(QStringLiteral("About..."), this, &TMainAppForm::AboutToolButtonClick);

    // The tool bar.
    QToolBar *bar = addToolBar(QStringLiteral("Tools"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setMovable(false);
    bar->setIconSize(QSize(16, 16));
    auto button = [bar](TIconId icon, const char *hint, const char *name) {
        auto *b = new QToolButton;
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(IconFor(icon));
        b->setToolTip(QString::fromLatin1(hint));
        b->setAutoRaise(true);
        bar->addWidget(b);
        return b;
    };
    auto dropDown = [](QToolButton *b, QMenu *menu, bool bodyOpensMenu) {
        b->setMenu(menu);
        b->setPopupMode(bodyOpensMenu ? QToolButton::InstantPopup : QToolButton::MenuButtonPopup);
        // Once the menu has gone and given the mouse back.
        connect(menu, &QMenu::aboutToHide, b, [b] {
            QMetaObject::invokeMethod(
                b, [b] { ForgetStaleHover(b); }, Qt::QueuedConnection);
        });
    };
    installEventFilter(this); // a closing dialog unblocks the window: see eventFilter
    OpenToolButton = button(TIconId::Open, "Open...", "OpenToolButton");
    SaveToolButton = button(TIconId::Save, "Save...", "SaveToolButton");
    ImportFromTWAINToolButton =
        button(TIconId::ImportFromTWAIN, "Import from TWAIN source...", "ImportFromTWAINToolButton");
    auto *twainDropDown = new QMenu(this);
    twainDropDown->addAction(AcquireImageMenuItem);
    twainDropDown->addAction(SelectSourceMenuItem);
    dropDown(ImportFromTWAINToolButton, twainDropDown, false);
    GrabFromScreenToolButton = button(TIconId::GrabFromScreen, "Grab from screen...", "GrabFromScreenToolButton");
    UploadToolButton = button(TIconId::Upload, "Upload", "UploadToolButton");
    NewFolderToolButton = button(TIconId::NewFolder, "New folder...", "NewFolderToolButton");
    bar->addSeparator();
    RenameToolButton = button(TIconId::Rename, "Rename...", "RenameToolButton");
    DeleteToolButton = button(TIconId::Delete, "Delete", "DeleteToolButton");
    bar->addSeparator();
    ConvertToolButton = button(TIconId::Convert, "Convert to format...", "ConvertToolButton");
    dropDown(ConvertToolButton, MakeMenu("", ConvertItems[1], 4), true);
    MirrorToolButton = button(TIconId::Mirror, "Mirror image...", "MirrorToolButton");
    dropDown(MirrorToolButton, MakeMenu("", MirrorItems[1], 2), true);
    RotateToolButton = button(TIconId::Rotate, "Rotate image...", "RotateToolButton");
    dropDown(RotateToolButton, MakeMenu("", RotateItems[1], 3), true);
    bar->addSeparator();
    OptionsToolButton = button(TIconId::Options, "Options...", "OptionsToolButton");
    bar->addSeparator();
    FitToPaneToolButton = button(TIconId::FitToPane, "Fit image into pane", "FitToPaneToolButton");
    FitToPaneToolButton->setCheckable(true);
    bar->addSeparator();
    LinksToolButton = button(TIconId::Links, "Links", "LinksToolButton");
    dropDown(LinksToolButton, LinksMenu, true);
    bar->addSeparator();
    ContentsToolButton = button(TIconId::HelpContents, "Help contents", "ContentsToolButton");
    SendToFriendToolButton = button(TIconId::SendToFriend, "Send to friend...", "SendToFriendToolButton");
    AboutToolButton = button(TIconId::About, "About...", "AboutToolButton");
    bar->addSeparator();
    ExitToolButton = button(TIconId::Exit, "Exit", "ExitToolButton");

    connect(OpenToolButton, &QToolButton::clicked, this, &TMainAppForm::Open1Click);
    connect(SaveToolButton, &QToolButton::clicked, this, &TMainAppForm::SaveLogoToFile);
    connect(NewFolderToolButton, &QToolButton::clicked, this, &TMainAppForm::Newfolder1Click);
    connect(RenameToolButton, &QToolButton::clicked, this, &TMainAppForm::RenameMenuItemClick);
    connect(DeleteToolButton, &QToolButton::clicked, this, &TMainAppForm::DeleteMenuItemClick);
    connect(OptionsToolButton, &QToolButton::clicked, this, &TMainAppForm::Options1Click);
    connect(FitToPaneToolButton, &QToolButton::clicked, this, &TMainAppForm::FitimageintopaneClick);
    connect(ContentsToolButton, &QToolButton::clicked, this, &TMainAppForm::ContentsToolButtonClick);
    connect(AboutToolButton, &QToolButton::clicked, this, &TMainAppForm::AboutToolButtonClick);
    connect(ExitToolButton, &QToolButton::clicked, this, &TMainAppForm::Exit1Click);
}

void TMainAppForm::BuildPopupMenus()
{
    LogoTreePopupMenu = new QMenu(this);
    OpenPopupMenuItem = LogoTreePopupMenu->addAction(QStringLiteral("Open..."), this, &TMainAppForm::Open1Click);
    SavePopupMenuItem = LogoTreePopupMenu->addAction(QStringLiteral("Save..."), this, &TMainAppForm::SaveLogoToFile);
    UploadPopupMenuItem = LogoTreePopupMenu->addAction(QStringLiteral("Upload"));
    NewFolderPopupMenuItem =
        LogoTreePopupMenu->addAction(QStringLiteral("New folder..."), this, &TMainAppForm::Newfolder1Click);
    LogoTreePopupMenu->addSeparator();
    RenamePopupMenuItem =
        LogoTreePopupMenu->addAction(QStringLiteral("Rename..."), this, &TMainAppForm::RenameMenuItemClick);
    DeletePopupMenuItem =
        LogoTreePopupMenu->addAction(QStringLiteral("Delete"), this, &TMainAppForm::DeleteMenuItemClick);
    LogoTreePopupMenu->addSeparator();
    TVConvertToFormat = LogoTreePopupMenu->addMenu(MakeMenu("Convert to", ConvertItems[2], 4));
    TVMirrorImage = LogoTreePopupMenu->addMenu(MakeMenu("Mirror", MirrorItems[2], 2));
    TVRotateImage = LogoTreePopupMenu->addMenu(MakeMenu("Rotate", RotateItems[2], 3));

    SourceImagePopupMenu = new QMenu(this);
    UploadSrcImgMenuItem = SourceImagePopupMenu->addAction(QStringLiteral("Upload"));
    SourceImagePopupMenu->addSeparator();
    FitToPaneSrcImgMenuItem = SourceImagePopupMenu->addAction(QStringLiteral("Fit image into pane"), this,
                                                              &TMainAppForm::FitimageintopaneClick);
    FitToPaneSrcImgMenuItem->setCheckable(true);
    SourceImagePopupMenu->addSeparator();
    SIConvertToFormat = SourceImagePopupMenu->addMenu(MakeMenu("Convert to", ConvertItems[3], 4));
    SIMirrorImage = SourceImagePopupMenu->addMenu(MakeMenu("Mirror", MirrorItems[3], 2));
    SIRotateImage = SourceImagePopupMenu->addMenu(MakeMenu("Rotate", RotateItems[3], 3));

    TargetImagePopupMenu = new QMenu(this);
    UploadTrgImgMenuItem = TargetImagePopupMenu->addAction(QStringLiteral("Upload"));
}

void TMainAppForm::ConnectSignals()
{
    for (QAction *upload : {UploadMenuItem, UploadPopupMenuItem, UploadSrcImgMenuItem, UploadTrgImgMenuItem})
        connect(upload, &QAction::triggered, this, &TMainAppForm::UploadButtonClick);
    connect(UploadToolButton, &QToolButton::clicked, this, &TMainAppForm::UploadButtonClick);
    connect(UploadButton, &QPushButton::clicked, this, &TMainAppForm::UploadButtonClick);
    ConnectAcquireCommands();
    connect(SendToFriendMenuItem, &QAction::triggered, this, &TMainAppForm::SendToFriendMenuItemClick);
    connect(SendToFriendToolButton, &QToolButton::clicked, this, &TMainAppForm::SendToFriendMenuItemClick);
    connect(&FInstanceChannel, &TInstanceChannel::ForegroundRequested, this, &TMainAppForm::BringToFront);
    connect(FLogoTreeModel, &TLogoTreeModel::NodeExpandRequested, LogoTreeView, &QTreeView::expand);
    connect(FLogoTreeModel, &TLogoTreeModel::NodeSelectRequested, LogoTreeView, &QTreeView::setCurrentIndex);
    connect(LogoTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TMainAppForm::LogoTreeViewChange);
    connect(LogoTreeView, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        LogoTreePopupMenuPopup();
        LogoTreePopupMenu->exec(LogoTreeView->viewport()->mapToGlobal(pos));
    });
    connect(SourceImageScrollBox, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        // The menu takes the button's release here, so the picture is told of it first: no
        // drag may outlive the click.
        const QPoint onPicture = SourceImage->mapFrom(SourceImageScrollBox->viewport(), pos);
        SourceImageMouseUp(Qt::RightButton, onPicture.x(), onPicture.y());
        SourceImagePopupMenuPopup();
        SourceImagePopupMenu->exec(SourceImageScrollBox->viewport()->mapToGlobal(pos));
    });
    connect(TargetBkgndScrollBox, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        TargetImagePopupMenuPopup();
        TargetImagePopupMenu->exec(TargetBkgndScrollBox->viewport()->mapToGlobal(pos));
    });

    connect(PhoneMake, &QComboBox::activated, this, &TMainAppForm::PhoneMakeChange);
    connect(PhoneModel, &QComboBox::activated, this, &TMainAppForm::PhoneModelChange);
    connect(LogoWidthUpDown, &QSpinBox::valueChanged, this, &TMainAppForm::ApplyLogoSettings);
    connect(LogoHeightUpDown, &QSpinBox::valueChanged, this, &TMainAppForm::ApplyLogoSettings);
    connect(FitInto, &QButtonGroup::idClicked, this, &TMainAppForm::ApplyLogoSettings);
    connect(KeepProportions, &QCheckBox::clicked, this, &TMainAppForm::ApplyLogoSettings);

    connect(SourceImage, &TImageControl::MouseDown, this, &TMainAppForm::SourceImageMouseDown);
    connect(SourceImage, &TImageControl::MouseMove, this, &TMainAppForm::SourceImageMouseMove);
    connect(SourceImage, &TImageControl::MouseUp, this, &TMainAppForm::SourceImageMouseUp);

    SelFrameTimer.setInterval(40);
    connect(&SelFrameTimer, &QTimer::timeout, this, &TMainAppForm::SelFrameTimerTimer);
    SelFrameTimer.start();
    ImageCursorTimer.setInterval(40);
    connect(&ImageCursorTimer, &QTimer::timeout, this, &TMainAppForm::ImageCursorTimerTimer);
    ImageCursorTimer.start();
    UploadProgressTimer.setInterval(40);
    connect(&UploadProgressTimer, &QTimer::timeout, this, &TMainAppForm::UploadProgressTimerTimer);
    connect(StatusBar, &TStatusPanels::Resized, this, &TMainAppForm::StatusBarResize);
}

void TMainAppForm::FormCreate()
{
    FActivatedOnce = false;
    InitMainWindow();
}

void TMainAppForm::InitMainWindow()
{
    SetGIFDefaults();
    CheckSingleInstance();
    if (!FQuitRequested)
        RemoveLeftoverSaves();
    FLogoTemplate = std::make_unique<TLogoDirObject>();
    FLogoTree.CreateRootNode();
    // An installed program reads the catalogue that ships with it unless the program folder has one.
    if (LoadPhoneList(ShippedFileFolder(FProgramFolder, kPhoneListFileName), FXMLSource, *FPrompts, FPhoneMakes) ==
        TPhoneListResult::Failed)
        RequestQuit();
    for (const TPhoneMake &make : FPhoneMakes)
        PhoneMake->addItem(QString::fromStdString(make.Name));
    PhoneMake->setCurrentIndex(-1);
    vantorel::LoadParameters(FProgramFolder, FXMLSource, *FPrompts, FParameters);
    FIndexSaver.SetDamaged(!LoadLogoDirectory(FLogoTree, FXMLSource, *FPrompts));
    LoadHandCursors();
    FSourceImage.reset();
    FCurrentLogo = nullptr;
    ImageWapURL->clear();
    FShowingLogo = FFillingControls = FApplyingSettings = false;
    FUploadThread = nullptr;
    FSendToFriendThread = nullptr;
    FLastSaveFolder.clear();
    FMouseButtonDown = false;
    FMemberValues = TMemberValues{};
    FUploadBoxBitmap = UploadBoxBitmap();
    FUploadAnimPhase = -1;
    FInMouseHandler = false;
}

void TMainAppForm::RemoveLeftoverSaves()
{
    // A kill during the last shut-down's saves leaves their temporary files beside the files.
    for (const char *name : {kAppStateFileName, kOptionsFileName, kLogoIndexFileName})
        for (const std::string &path : RemoveLeftoverTempFiles(FProgramFolder + name))
            qCInfo(lcFiles).noquote() << "Removed the leftover of an interrupted save:" << QString::fromStdString(path);
    // A kill during an upload or a preview leaves its work folder under Temp.
    for (const std::string &path : RemoveLeftoverWorkFolders(FProgramFolder))
        qCInfo(lcFiles).noquote() << "Removed the leftover work folder:" << QString::fromStdString(path);
}

void TMainAppForm::LoadHandCursors()
{
    FHandFlatCursor = HandFlatCursor();
    FHandGrabCursor = HandGrabCursor();
}

void TMainAppForm::CheckSingleInstance()
{
    const QString title = QString::fromLatin1(kMainWindowTitle);
    if (TInstanceChannel::FindAndBringToFront(title))
        RequestQuit();
    setWindowTitle(title);
    // Another instance may have started at the same moment and taken the title first.
    if (!FQuitRequested && !FInstanceChannel.Listen(title) && TInstanceChannel::FindAndBringToFront(title))
        RequestQuit();
}

void TMainAppForm::RequestQuit()
{
    // Taken by the message loop once it runs, so the rest of start-up still happens.
    FQuitRequested = true;
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TMainAppForm::BringToFront()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TMainAppForm::FormActivate()
{
    if (!FActivatedOnce)
        LoadAppState(FLogoTree, FXMLSource, *FPrompts);
    // Set before the hand-over, whose dialog and boxes let the window be activated again: the
    // selection is restored once only.
    FActivatedOnce = true;
    HandlePendingImageURL();
    UpdateControls();
}

bool TMainAppForm::event(QEvent *event)
{
    // Run from the event loop, not inside the platform's activation: work that opens a box there
    // would run a modal loop that cannot take the platform's events, and the box would stay blank.
    if (event->type() == QEvent::WindowActivate)
        QMetaObject::invokeMethod(this, &TMainAppForm::FormActivate, Qt::QueuedConnection);
    if (event->type() == static_cast<QEvent::Type>(WM_IMAGEURLPENDING)) {
        WMImageURLPending();
        return true;
    }
    return QMainWindow::event(event);
}

bool TMainAppForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == LogoTreeView && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        DeleteMenuItemClick(); // whatever the state of the Delete commands
        return true;
    }
    if (watched == LogoTreeView->viewport() && event->type() == QEvent::MouseButtonPress) {
        // A right-click selects the node under the mouse before the pop-up opens.
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            const QModelIndex index = LogoTreeView->indexAt(mouse->position().toPoint());
            if (index.isValid())
                LogoTreeView->setCurrentIndex(index);
        }
    }
    if (watched == SourceImageScrollBox->viewport() && event->type() == QEvent::Resize)
        ShowSelectedLogo(); // the view is fitted to the pane's new size
    if (watched == TargetBkgndScrollBox->viewport() && event->type() == QEvent::Resize) {
        // The pane may change size without the picture pane (the splitter between them).
        if (TargetImage->Picture().Empty())
            ClearImage(TargetBkgndScrollBox, TargetImage);
        else
            PlaceImage(TargetBkgndScrollBox, TargetImage);
    }
    if (watched == this && event->type() == QEvent::WindowUnblocked)
        for (QToolButton *b : findChildren<QToolButton *>())
            ForgetStaleHover(b); // the button that opened the dialog
    return QMainWindow::eventFilter(watched, event);
}

void TMainAppForm::Exit1Click() { ShutdownApplication(); }

void TMainAppForm::ClearUploadProxyParams() { ClearProxyParams(HTTPConnection); }

void TMainAppForm::ClearSendProxyParams() { ClearProxyParams(HTTPSendConn); }

void TMainAppForm::SessionEnding()
{
    // Boxes and dialogs give way as they would to a logoff; closing them ends their loops.
    for (int guard = 0; guard < 16; ++guard) {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            break;
        modal->close();
    }
    // During start-up the end waits: the files are written from the whole program, and the
    // message loop that ends with them is not running yet.
    if (FRunning)
        close();
    else
        FSessionEndPending = true;
}

void TMainAppForm::RunStarted()
{
    FRunning = true;
    if (FSessionEndPending)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TMainAppForm::closeEvent(QCloseEvent *event)
{
    // An instance on its way out since start-up writes nothing.
    if (!FQuitRequested)
        ShutdownApplication();
    event->accept();
}

void TMainAppForm::ShutdownApplication()
{
    if (FShutDown)
        return;
    FShutDown = true;
    // Each writer reports its own failure; the next file is written all the same.
    SaveAppState(FLogoTree, FXMLSource, *FPrompts);
    if (FOptionsForm)
        FOptionsForm->SaveOptions();
    // A write that waits is this one; one under way ends first.
    FIndexSaver.SaveNow(*FPrompts);
    // Running exchanges end without their completion, and take their files in transit along.
    TExchangeThread::StopAll();
    if (FHelpViewer)
        FHelpViewer->Quit();
    FQuitRequested = true;
    QCoreApplication::quit();
}

} // namespace vantorel
