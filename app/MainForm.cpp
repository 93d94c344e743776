#include "MainForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QTreeView>

#include "AppStateFile.h"
#include "LogoIndexFile.h"
#include "LogoTreeModel.h"
#include "OptionsForm.h"
#include "QtPromptService.h"

namespace vantorel {

TMainAppForm::TMainAppForm(std::string programFolder, TPromptService *prompts)
    : FProgramFolder(std::move(programFolder)), FPrompts(prompts), FLogoTree(FProgramFolder)
{
    if (!FPrompts) {
        FOwnPrompts = std::make_unique<TQtPromptService>(this);
        FPrompts = FOwnPrompts.get();
    }
    setWindowTitle(QStringLiteral("Vantorel Starting"));
    resize(800, 600);

    LogoTreeView = new QTreeView(this);
    LogoTreeView->setHeaderHidden(true);
    LogoTreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LogoTreeView->setDragDropMode(QAbstractItemView::NoDragDrop);
    LogoTreeView->setSelectionMode(QAbstractItemView::SingleSelection);
    setCentralWidget(LogoTreeView);

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("E&xit"), this, &TMainAppForm::Exit1Click);

    connect(&FInstanceChannel, &TInstanceChannel::ForegroundRequested, this, &TMainAppForm::BringToFront);

    FormCreate();

    // The view follows the tree once it is built: attaching it before would have it follow
    // every one of the index's nodes on its own.
    FLogoTreeModel = new TLogoTreeModel(FLogoTree, this);
    LogoTreeView->setModel(FLogoTreeModel);
    connect(FLogoTreeModel, &TLogoTreeModel::NodeExpandRequested, LogoTreeView, &QTreeView::expand);
    connect(FLogoTreeModel, &TLogoTreeModel::NodeSelectRequested, LogoTreeView, &QTreeView::setCurrentIndex);
    connect(LogoTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TMainAppForm::LogoTreeViewChange);
    if (const TLogoNode *root = FLogoTree.Root(); root && root->Expanded())
        LogoTreeView->expand(FLogoTreeModel->IndexOf(root));
}

TMainAppForm::~TMainAppForm() = default;

void TMainAppForm::FormCreate()
{
    FActivatedOnce = false;
    InitMainWindow();
}

void TMainAppForm::InitMainWindow()
{
    CheckSingleInstance();
    FLogoTemplate = std::make_unique<TLogoDirObject>();
    FLogoTree.CreateRootNode();
    if (LoadPhoneList(FProgramFolder, FXMLSource, *FPrompts, FPhoneMakes) == TPhoneListResult::Failed)
        RequestQuit();
    vantorel::LoadParameters(FProgramFolder, FXMLSource, *FPrompts, FParameters);
    LoadLogoDirectory(FLogoTree, FXMLSource, *FPrompts);
    FCurrentLogo = nullptr;
    FMemberValue1 = FMemberValue2 = FMemberValue3 = -1;
}

void TMainAppForm::CheckSingleInstance()
{
    const QString title = QString::fromLatin1(kMainWindowTitle);
    if (TInstanceChannel::FindAndBringToFront(title))
        RequestQuit();
    setWindowTitle(title);
    if (!FQuitRequested)
        FInstanceChannel.Listen(title);
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
    FActivatedOnce = true;
}

bool TMainAppForm::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QMainWindow::event(event);
}

void TMainAppForm::LogoTreeViewChange()
{
    TLogoNode *node = TLogoTreeModel::NodeOf(LogoTreeView->currentIndex());
    FLogoTree.Select(node);
    FCurrentLogo = node ? node->Data() : nullptr;
}

void TMainAppForm::Exit1Click() { ShutdownApplication(); }

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
    SaveLogoDirectory(FLogoTree, FXMLSource, *FPrompts);
    FQuitRequested = true;
    QCoreApplication::quit();
}

} // namespace vantorel
