#include "OptionsForm.h"

#include <exception>
#include <memory>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "AboutBox.h"
#include "BrowserLauncher.h"
#include "ColorButton.h"
#include "DamagedFile.h"
#include "DialogFrame.h"
#include "ExchangeThread.h"
#include "FileOps.h"
#include "NewAppVerDownloadRequest.h"
#include "NewVersionCheckThread.h"
#include "ProxySetup.h"
#include "ServiceNames.h"

namespace vantorel {

namespace {

QString Q(const std::string &text) { return QString::fromStdString(text); }

QComboBox *MakeCombo(const QStringList &items)
{
    auto *combo = new QComboBox;
    combo->addItems(items);
    return combo;
}

// A list option whose number lies outside its list shows the option's default.
void SetComboIndex(QComboBox *combo, int value, int fallback)
{
    combo->setCurrentIndex(value >= 0 && value < combo->count() ? value : fallback);
}

QSlider *MakeTrackBar(int minimum, int maximum, int step)
{
    auto *bar = new QSlider(Qt::Horizontal);
    bar->setRange(minimum, maximum);
    bar->setSingleStep(step);
    bar->setPageStep(step);
    bar->setTickInterval(step);
    bar->setTickPosition(QSlider::TicksAbove);
    return bar;
}

// The dialog is as small as its contents: group boxes and pages keep thin margins, so that the
// tallest page (the five confirmation groups) sets the size without empty bands.
template <typename Layout> Layout *Tight(Layout *layout)
{
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setSpacing(3);
    return layout;
}

QVBoxLayout *PageLayout(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 0, 0, 0);
    layout->setSpacing(4);
    return layout;
}

QLineEdit *MakeEdit(bool secret = false)
{
    auto *edit = new QLineEdit;
    if (secret)
        edit->setEchoMode(QLineEdit::Password);
    return edit;
}

const QStringList kRetainItems = {QStringLiteral("Ask"), QStringLiteral("Retain"), QStringLiteral("Delete")};
const QStringList kFormatItems = {QStringLiteral(".BMP"), QStringLiteral(".JPG"), QStringLiteral(".GIF"),
                                  QStringLiteral(".PNG"), QStringLiteral("Ask")};

} // namespace

TOptionsForm::TOptionsForm(std::string programFolder, TXMLSource &xml, TPromptService &prompts, QWidget *parent,
                           const TParameters *parameters)
    : QDialog(parent), StartBrowser(WindowBrowserStart(*this, prompts)), FProgramFolder(std::move(programFolder)),
      FXml(xml), FPrompts(prompts), FParameters(parameters)
{
    setWindowTitle(QStringLiteral("Vantorel Options"));
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    OptionsTreeView = new QTreeWidget;
    OptionsTreeView->setHeaderHidden(true);
    OptionsTreeView->setRootIsDecorated(false);
    QFont bold = OptionsTreeView->font();
    bold.setBold(true);
    OptionsTreeView->setFont(bold);
    OptionsTreeView->setIndentation(10);
    OptionsTreeView->setFixedWidth(std::max(104, QFontMetrics(bold).horizontalAdvance(QStringLiteral("Confirmations")) +
                                                     2 * OptionsTreeView->indentation()));
    auto *rootItem = new QTreeWidgetItem(OptionsTreeView, {QStringLiteral("Options")});
    rootItem->setFlags(Qt::ItemIsEnabled); // the root shows no page
    for (const char *page : {"Connectivity", "Imaging", "Confirmations", "General"})
        new QTreeWidgetItem(rootItem, {QString::fromLatin1(page)});

    OptionsPageControl = new QStackedWidget;
    OptionsPageControl->addWidget(BuildConnectivityPage());
    OptionsPageControl->addWidget(BuildImagingPage());
    OptionsPageControl->addWidget(BuildConfirmationsPage());
    OptionsPageControl->addWidget(BuildGeneralPage());
    connect(OptionsTreeView, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *item, QTreeWidgetItem *previous) {
                if (item && !item->parent()) {
                    // The root "Options" shows no page: the change is refused.
                    const QSignalBlocker blocker(OptionsTreeView);
                    OptionsTreeView->setCurrentItem(previous);
                    return;
                }
                if (item)
                    OptionsPageControl->setCurrentIndex(item->parent()->indexOfChild(item));
            });

    auto *buttons = new QDialogButtonBox;
    auto *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *top = new QHBoxLayout;
    top->addWidget(OptionsTreeView);
    top->addWidget(OptionsPageControl, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    top->setSpacing(6);
    layout->addLayout(top, 1);
    layout->addWidget(buttons);
    // Not resizable: the size of the original dialog, or what the desktop's font needs.
    setMinimumSize(329, 361);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    FitCaption(*this);

    connect(JPEGQualityTrackBar, &QSlider::valueChanged, this, &TOptionsForm::JPEGQualityTrackBarChange);
    connect(GIFBitDepthTrackBar, &QSlider::valueChanged, this, &TOptionsForm::GIFBitDepthTrackBarChange);
    connect(FillInEmptyAreaCheckBox, &QCheckBox::toggled, this, &TOptionsForm::FillInEmptyAreaCheckBoxClick);
    connect(ProxySourceRadioGroup, &QButtonGroup::idClicked, this, &TOptionsForm::ProxySourceRadioGroupClick);
    connect(ProxyRequiresAuthentication, &QCheckBox::clicked, this, [this] {
        UpdateProxyControls(ProxySourceRadioGroup->checkedId() == psManual, ProxyRequiresAuthentication->isChecked());
    });

    LoadOptions();
    OptionsTreeView->expandAll();
    OptionsTreeView->setCurrentItem(rootItem->child(0));

    FNewVersionThread = nullptr;
    if (FOptions.checknewversion)
        StartNewVersionCheck();
}

TOptionsForm::~TOptionsForm()
{
    // A version check still running uses the connection that goes with the dialog.
    TExchangeThread::StopAll();
}

void TOptionsForm::ClearVersionCheckProxyParams() { ClearProxyParams(AppVerConn); }

void TOptionsForm::StartNewVersionCheck()
{
    if (!FParameters)
        return;
    // The exchange works on a copy: options changed while it runs do not reach it.
    const TOptionValues options = FOptions;
    // No prompt at start-up: without the proxy's credentials there is no check.
    if (ProxyInUse(options) && options.proxyauthentication &&
        (options.proxylogin.empty() || options.proxypassword.empty()))
        return;
    try {
        ApplyProxyOptions(AppVerConn, options);
        auto check = std::make_unique<TNewVersionCheckThread>(kProgramVersion, AppVerConn, *FParameters);
        FNewVersionThread = static_cast<TNewVersionCheckThread *>(
            TExchangeThread::Start(std::move(check), [this](TExchangeThread &done) {
                NewVersionCheckDone(static_cast<TNewVersionCheckThread &>(done));
            }));
    } catch (const std::exception &) {
        // A proxy port that is no number, or no thread to be had: the check is skipped as
        // silently as it would have failed.
        ClearVersionCheckProxyParams();
    }
}

void TOptionsForm::NewVersionCheckDone(TNewVersionCheckThread &thread)
{
    ClearVersionCheckProxyParams();
    const std::string version = thread.Version();
    FNewVersionThread = nullptr;
    if (version == kProgramVersion || !FNewAppVerDownloadRequestForm)
        return;
    FNewAppVerDownloadRequestForm->NewVersionLabel->setText(QString::fromStdString(version));
    if (FNewAppVerDownloadRequestForm->exec() != QDialog::Accepted)
        return;
    std::string failure;
    if (!StartBrowser(kSetupFileAddress, failure))
        FPrompts.ShowError(failure);
}

QWidget *TOptionsForm::BuildConnectivityPage()
{
    Login = MakeEdit();
    Password = MakeEdit(true);
    auto *account = new QGroupBox(QStringLiteral("System Authorization"));
    auto *accountLayout = Tight(new QGridLayout(account));
    accountLayout->addWidget(new QLabel(QStringLiteral("Login")), 0, 0);
    accountLayout->addWidget(Login, 0, 1);
    accountLayout->addWidget(new QLabel(QStringLiteral("Password")), 1, 0);
    accountLayout->addWidget(Password, 1, 1);

    auto *proxy = new QGroupBox(QStringLiteral("Proxy Settings"));
    auto *proxyLayout = Tight(new QVBoxLayout(proxy));
    ProxySourceRadioGroup = new QButtonGroup(this);
    const char *sources[] = {"Use Internet Explorer Proxy Settings", "Manual Proxy Settings", "No Proxy"};
    for (int i = 0; i < 3; ++i) {
        auto *radio = new QRadioButton(QString::fromLatin1(sources[i]));
        ProxySourceRadioGroup->addButton(radio, i);
        proxyLayout->addWidget(radio);
    }
    Host = MakeEdit();
    Port = MakeEdit();
    // A port has at most five digits: the host takes the rest of the row.
    Port->setMaximumWidth(Port->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    auto *hostRow = new QHBoxLayout;
    hostRow->addWidget(new QLabel(QStringLiteral("Host")));
    hostRow->addWidget(Host, 3);
    auto *colon = new QLabel(QStringLiteral(":"));
    QFont bold = colon->font();
    bold.setBold(true);
    colon->setFont(bold);
    hostRow->addWidget(colon);
    hostRow->addWidget(new QLabel(QStringLiteral("Port")));
    hostRow->addWidget(Port, 1);
    proxyLayout->addLayout(hostRow);
    ProxyRequiresAuthentication = new QCheckBox(QStringLiteral("Proxy Requires Authentication"));
    proxyLayout->addWidget(ProxyRequiresAuthentication);
    ProxyLogin = MakeEdit();
    ProxyPassword = MakeEdit(true);
    auto *credentials = new QGridLayout;
    credentials->addWidget(new QLabel(QStringLiteral("Proxy User")), 0, 0);
    credentials->addWidget(ProxyLogin, 0, 1);
    credentials->addWidget(new QLabel(QStringLiteral("Proxy Password")), 1, 0);
    credentials->addWidget(ProxyPassword, 1, 1);
    proxyLayout->addLayout(credentials);

    auto *page = new QWidget;
    auto *layout = PageLayout(page);
    layout->addWidget(account);
    layout->addWidget(proxy);
    layout->addStretch();
    return page;
}

QWidget *TOptionsForm::BuildImagingPage()
{
    ShowLogoChangeCheckBox = new QCheckBox(QStringLiteral("Show logo change during frame resize"));
    FillInEmptyAreaCheckBox = new QCheckBox(QStringLiteral("Fill in empty area with color :"));
    FEmptyAreaColorButton = new TColorButton;
    FEmptyAreaColorButton->setFixedSize(38, 20);
    auto *fillRow = new QHBoxLayout;
    fillRow->addWidget(FillInEmptyAreaCheckBox);
    fillRow->addWidget(FEmptyAreaColorButton);
    fillRow->addStretch();

    JPEGQualityTrackBar = MakeTrackBar(10, 100, 10);
    JPEGQualityLabel = new QLabel;
    ShowJPEGDialogCheckBox = new QCheckBox(QStringLiteral("Show JPEG dialog box before upload"));
    auto *jpeg = new QGroupBox(QStringLiteral("JPEG"));
    auto *jpegLayout = Tight(new QVBoxLayout(jpeg));
    jpegLayout->addWidget(JPEGQualityTrackBar);
    jpegLayout->addWidget(JPEGQualityLabel);
    jpegLayout->addWidget(ShowJPEGDialogCheckBox);

    GIFBitDepthTrackBar = MakeTrackBar(3, 8, 1);
    GIFBitDepthLabel = new QLabel;
    ShowGIFDialogCheckBox = new QCheckBox(QStringLiteral("Show GIF dialog box before upload"));
    auto *gif = new QGroupBox(QStringLiteral("GIF"));
    auto *gifLayout = Tight(new QVBoxLayout(gif));
    gifLayout->addWidget(GIFBitDepthTrackBar);
    gifLayout->addWidget(GIFBitDepthLabel);
    gifLayout->addWidget(ShowGIFDialogCheckBox);

    auto *page = new QWidget;
    auto *layout = PageLayout(page);
    layout->addWidget(ShowLogoChangeCheckBox);
    layout->addLayout(fillRow);
    layout->addWidget(jpeg);
    layout->addWidget(gif);
    layout->addStretch();
    return page;
}

QWidget *TOptionsForm::BuildConfirmationsPage()
{
    auto *page = new QWidget;
    auto *layout = PageLayout(page);
    auto addGroup = [layout](const char *title, const char *label, QComboBox *combo, QCheckBox *ask) {
        auto *group = new QGroupBox(QString::fromLatin1(title));
        auto *grid = Tight(new QGridLayout(group));
        grid->addWidget(new QLabel(QString::fromLatin1(label)), 0, 0);
        grid->addWidget(combo, 0, 1);
        grid->addWidget(ask, 1, 0, 1, 2);
        layout->addWidget(group);
    };
    auto askBox = [] { return new QCheckBox(QStringLiteral("Ask for target file name")); };
    ConvertRetainSourceComboBox = MakeCombo(kRetainItems);
    ConvertAskTargetNameCheckBox = askBox();
    MirrorRetainSourceComboBox = MakeCombo(kRetainItems);
    MirrorAskTargetNameCheckBox = askBox();
    RotateRetainSourceComboBox = MakeCombo(kRetainItems);
    RotateAskTargetNameCheckBox = askBox();
    ImportedFileFormatComboBox = MakeCombo(kFormatItems);
    ImportAskTargetNameCheckBox = askBox();
    GrabbedFileFormatComboBox = MakeCombo(kFormatItems);
    GrabAskTargetNameCheckBox = askBox();
    addGroup("File Format Conversion", "Retain original file:", ConvertRetainSourceComboBox,
             ConvertAskTargetNameCheckBox);
    addGroup("Mirror Image", "Retain original file:", MirrorRetainSourceComboBox, MirrorAskTargetNameCheckBox);
    addGroup("Rotate Image", "Retain original file:", RotateRetainSourceComboBox, RotateAskTargetNameCheckBox);
    addGroup("Import Image From TWAIN Source", "Imported file format:", ImportedFileFormatComboBox,
             ImportAskTargetNameCheckBox);
    addGroup("Grab From Screen", "Grabbed file format:", GrabbedFileFormatComboBox, GrabAskTargetNameCheckBox);
    layout->addStretch();
    return page;
}

QWidget *TOptionsForm::BuildGeneralPage()
{
    NewVersionCheckBox = new QCheckBox(QStringLiteral("Perform new version check at startup"));
    AccessHintCheckBox = new QCheckBox(QStringLiteral("Show hint after image upload"));
    auto *page = new QWidget;
    auto *layout = PageLayout(page);
    layout->addWidget(NewVersionCheckBox);
    layout->addWidget(AccessHintCheckBox);
    layout->addStretch();
    return page;
}

TOptionValues TOptionsForm::Values() const
{
    TOptionValues v;
    v.login = Login->text().toStdString();
    v.password = Password->text().toStdString();
    v.proxysource = std::max(0, ProxySourceRadioGroup->checkedId());
    v.proxyhost = Host->text().toStdString();
    v.proxyport = Port->text().toStdString();
    v.proxyauthentication = ProxyRequiresAuthentication->isChecked();
    v.proxylogin = ProxyLogin->text().toStdString();
    v.proxypassword = ProxyPassword->text().toStdString();
    v.showlogochange = ShowLogoChangeCheckBox->isChecked();
    v.fillemptyarea = FillInEmptyAreaCheckBox->isChecked();
    v.emptyareacolor = FEmptyAreaColorButton->ButtonColor();
    v.jpegquality = JPEGQualityTrackBar->value();
    v.showjpegdialog = ShowJPEGDialogCheckBox->isChecked();
    v.gifbitdepth = GIFBitDepthTrackBar->value();
    v.showgifdialog = ShowGIFDialogCheckBox->isChecked();
    v.convertretainsource = ConvertRetainSourceComboBox->currentIndex();
    v.convertasktargetname = ConvertAskTargetNameCheckBox->isChecked();
    v.mirrorretainsource = MirrorRetainSourceComboBox->currentIndex();
    v.mirrorasktargetname = MirrorAskTargetNameCheckBox->isChecked();
    v.rotateretainsource = RotateRetainSourceComboBox->currentIndex();
    v.rotateasktargetname = RotateAskTargetNameCheckBox->isChecked();
    v.importedfileformat = ImportedFileFormatComboBox->currentIndex();
    v.importasktargetname = ImportAskTargetNameCheckBox->isChecked();
    v.grabbedfileformat = GrabbedFileFormatComboBox->currentIndex();
    v.grabasktargetname = GrabAskTargetNameCheckBox->isChecked();
    v.enableaccesshint = AccessHintCheckBox->isChecked();
    v.checknewversion = NewVersionCheckBox->isChecked();
    return v;
}

void TOptionsForm::ApplyValues(const TOptionValues &v)
{
    const TOptionValues defaults;
    Login->setText(Q(v.login));
    Password->setText(Q(v.password));
    QAbstractButton *radio = ProxySourceRadioGroup->button(v.proxysource);
    (radio ? radio : ProxySourceRadioGroup->button(defaults.proxysource))->setChecked(true);
    Host->setText(Q(v.proxyhost));
    Port->setText(Q(v.proxyport));
    ProxyRequiresAuthentication->setChecked(v.proxyauthentication);
    ProxyLogin->setText(Q(v.proxylogin));
    ProxyPassword->setText(Q(v.proxypassword));
    ShowLogoChangeCheckBox->setChecked(v.showlogochange);
    FillInEmptyAreaCheckBox->setChecked(v.fillemptyarea);
    FillInEmptyAreaCheckBoxClick();
    FEmptyAreaColorButton->SetButtonColor(v.emptyareacolor);
    JPEGQualityTrackBar->setValue(v.jpegquality); // the bar clamps, then rounds to tens
    JPEGQualityTrackBarChange();
    ShowJPEGDialogCheckBox->setChecked(v.showjpegdialog);
    GIFBitDepthTrackBar->setValue(v.gifbitdepth);
    GIFBitDepthTrackBarChange();
    ShowGIFDialogCheckBox->setChecked(v.showgifdialog);
    SetComboIndex(ConvertRetainSourceComboBox, v.convertretainsource, defaults.convertretainsource);
    ConvertAskTargetNameCheckBox->setChecked(v.convertasktargetname);
    SetComboIndex(MirrorRetainSourceComboBox, v.mirrorretainsource, defaults.mirrorretainsource);
    MirrorAskTargetNameCheckBox->setChecked(v.mirrorasktargetname);
    SetComboIndex(RotateRetainSourceComboBox, v.rotateretainsource, defaults.rotateretainsource);
    RotateAskTargetNameCheckBox->setChecked(v.rotateasktargetname);
    SetComboIndex(ImportedFileFormatComboBox, v.importedfileformat, defaults.importedfileformat);
    ImportAskTargetNameCheckBox->setChecked(v.importasktargetname);
    SetComboIndex(GrabbedFileFormatComboBox, v.grabbedfileformat, defaults.grabbedfileformat);
    GrabAskTargetNameCheckBox->setChecked(v.grabasktargetname);
    AccessHintCheckBox->setChecked(v.enableaccesshint);
    NewVersionCheckBox->setChecked(v.checknewversion);
}

void TOptionsForm::SetDefaultOptions()
{
    FOptions = TOptionValues{};
    ApplyValues(FOptions);
    UpdateProxyControls(false, false);
}

void TOptionsForm::LoadOptions()
{
    SetDefaultOptions();
    TOptionValues values = FOptions;
    const TOptionsReadResult result = ReadOptionsFile(FProgramFolder + kOptionsFileName, FXml, values);
    ApplyValues(values); // after a failure, what was read before it stays
    FFileDamaged = result == TOptionsReadResult::Corrupt;
    if (FFileDamaged)
        FPrompts.ShowError("Options file is corrupt.");

    const int source = std::max(0, ProxySourceRadioGroup->checkedId());
    UpdateProxyControls(source == psManual, ProxyRequiresAuthentication->isChecked());
    if (source == psIE)
        TakeSystemProxy();
    // Read back, so the options hold what the controls made of the file: clamped and rounded
    // track bars, list choices within their lists, the system's proxy.
    FOptions = Values();
}

void TOptionsForm::SaveOptions()
{
    // What was not read of a damaged file would be gone with this save: it is set aside first,
    // and left in place when that cannot be done.
    const std::string path = FProgramFolder + kOptionsFileName;
    if (FFileDamaged && FileExists(path) && KeepDamagedCopy(path).empty()) {
        FPrompts.ShowError("Error saving application options");
        return;
    }
    FFileDamaged = false;
    try {
        WriteOptionsFile(path, FXml, FOptions);
    } catch (const std::exception &) {
        FPrompts.ShowError("Error saving application options");
    }
}

void TOptionsForm::ReadIEProxySettings(std::string &host, std::string &port)
{
    vantorel::ReadIEProxySettings(host, port);
}

void TOptionsForm::TakeSystemProxy()
{
    std::string host, port;
    ReadIEProxySettings(host, port);
    Host->setText(Q(host));
    Port->setText(Q(port));
}

void TOptionsForm::UpdateProxyControls(bool manual, bool authentication)
{
    Host->setEnabled(manual);
    Port->setEnabled(manual);
    ProxyRequiresAuthentication->setEnabled(manual);
    ProxyLogin->setEnabled(manual && authentication);
    ProxyPassword->setEnabled(manual && authentication);
}

void TOptionsForm::done(int result)
{
    if (result == QDialog::Accepted) {
        FOptions = Values();
        SaveOptions();
    } else if (result == QDialog::Rejected) {
        ShowOptions();
    }
    QDialog::done(result);
}

void TOptionsForm::showEvent(QShowEvent *event)
{
    // The options may have changed since the last showing (a properties or login dialog); a
    // window shown again by the desktop, after being minimised, keeps the edits.
    if (!event->spontaneous())
        ShowOptions();
    QDialog::showEvent(event);
}

void TOptionsForm::ShowOptions()
{
    ApplyValues(FOptions);
    UpdateProxyControls(ProxySourceRadioGroup->checkedId() == psManual, ProxyRequiresAuthentication->isChecked());
}

void TOptionsForm::ProxySourceRadioGroupClick()
{
    const int source = ProxySourceRadioGroup->checkedId();
    UpdateProxyControls(source == psManual, ProxyRequiresAuthentication->isChecked());
    if (source == psIE)
        TakeSystemProxy();
}

void TOptionsForm::JPEGQualityTrackBarChange()
{
    const int position = JPEGQualityTrackBar->value();
    const int rounded = (position + 5) / 10 * 10;
    if (rounded != position)
        JPEGQualityTrackBar->setValue(rounded); // runs this handler again, which settles at once
    JPEGQualityLabel->setText(QStringLiteral("JPEG Quality: %1%").arg(JPEGQualityTrackBar->value()));
}

void TOptionsForm::GIFBitDepthTrackBarChange()
{
    GIFBitDepthLabel->setText(QStringLiteral("Bits Per Pixel: %1 bits").arg(GIFBitDepthTrackBar->value()));
}

void TOptionsForm::FillInEmptyAreaCheckBoxClick()
{
    FEmptyAreaColorButton->setEnabled(FillInEmptyAreaCheckBox->isChecked());
}

} // namespace vantorel
