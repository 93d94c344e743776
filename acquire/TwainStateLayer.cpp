#include "TwainStateLayer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <dlfcn.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "ProgramFolder.h"

namespace vantorel {

namespace twain_detail {
std::int32_t GState = 1;
} // namespace twain_detail

using twain_detail::GState;

namespace {

void CopyText(char *target, std::size_t size, const char *text)
{
    std::size_t length = text ? std::min(std::strlen(text), size - 1) : 0;
    std::memcpy(target, text ? text : "", length);
    std::memset(target + length, 0, size - length);
}

TW_IDENTITY MakeIdentity(TW_UINT16 majorNum, TW_UINT16 minorNum, TW_UINT16 language, TW_UINT16 country,
                         const char *info, const char *manufacturer, const char *family, const char *product)
{
    TW_IDENTITY identity{};
    identity.Id = 0;
    identity.Version.MajorNum = majorNum;
    identity.Version.MinorNum = minorNum;
    identity.Version.Language = language;
    identity.Version.Country = country;
    CopyText(identity.Version.Info, sizeof(identity.Version.Info), info);
    identity.ProtocolMajor = 1;
    identity.ProtocolMinor = 6;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    CopyText(identity.Manufacturer, sizeof(identity.Manufacturer), manufacturer);
    CopyText(identity.ProductFamily, sizeof(identity.ProductFamily), family);
    CopyText(identity.ProductName, sizeof(identity.ProductName), product);
    return identity;
}

// The one connection of the process (with the state above).
TW_IDENTITY GAppId = MakeIdentity(1, 0, TWLG_USA, TWCY_USA, "<?>", "<?>", "<?>", "<?>");
TW_IDENTITY GSourceId{};
void *GLibrary = nullptr;
DSMENTRYPROC GEntry = nullptr;
std::int32_t GAvailable = 0;
bool GHideUI = false;
TW_USERINTERFACE GUI{};
TW_HANDLE GParent = nullptr;
TW_UINT16 GLastRC = TWRC_SUCCESS;
TTwainError GError;

bool GFolderSet = false;
std::string GWindowsFolder;
TTwainBoxHandler GBoxHandler;
QPointer<QWidget> GProxy;

TW_HANDLE HandleOf(WId window) { return reinterpret_cast<TW_HANDLE>(window); }

void ShowBox(const std::string &caption, const std::string &text, TTwainBoxIcon icon)
{
    if (GBoxHandler) {
        GBoxHandler(caption, text, icon);
        return;
    }
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return;
    }
    QMessageBox box(icon == TTwainBoxIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

} // namespace

// ---- Set-up ----------------------------------------------------------------------------------

std::string TWAIN_WindowsFolderFor(const std::string &programFolder)
{
    if (const char *folder = std::getenv("VANTOREL_WINDOWS_DIR"))
        return folder;
    return programFolder;
}

void TWAIN_SetWindowsFolder(const std::string &folder)
{
    if (GState != 1)
        return;
    GWindowsFolder = folder;
    GFolderSet = true;
    GAvailable = 0;
}

std::string TWAIN_ManagerPath()
{
    if (!GFolderSet) {
        GWindowsFolder = TWAIN_WindowsFolderFor(ProgramFolder());
        GFolderSet = true;
    }
    if (GWindowsFolder.empty())
        return {};
    std::string path = GWindowsFolder;
    // A relative folder is made absolute: the loader must never search for the name.
    if (path.front() != '/') {
        std::error_code ec;
        path = std::filesystem::absolute(path, ec).string();
        if (ec || path.empty())
            return {};
    }
    if (path.back() != '/')
        path += '/';
    return path + "TWAIN_32.DLL";
}

void TWAIN_SetBoxHandler(TTwainBoxHandler handler) { GBoxHandler = std::move(handler); }

// ---- State layer -----------------------------------------------------------------------------

std::int32_t TWAIN_LoadSourceManager()
{
    if (GState >= 2)
        return 1;
    std::string path = TWAIN_ManagerPath();
    std::error_code ec;
    if (!path.empty() && std::filesystem::is_regular_file(path, ec))
        GLibrary = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (GLibrary) {
        GEntry = reinterpret_cast<DSMENTRYPROC>(::dlsym(GLibrary, "DSM_Entry"));
        if (GEntry) {
            GAvailable = 1;
            GState = 2;
        } else {
            ::dlclose(GLibrary);
            GLibrary = nullptr;
        }
    }
    if (!GLibrary)
        GEntry = nullptr;
    return GState >= 2;
}

std::int32_t TWAIN_OpenSourceManager(WId window)
{
    if (!TWAIN_LoadSourceManager())
        return 0;
    GParent = HandleOf(window);
    // Also re-sent above state 2; the manager's answer then changes nothing.
    if (TWAIN_Mgr(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &GParent))
        GState = std::max(GState, 3);
    return GState >= 3;
}

std::int32_t TWAIN_OpenDefaultSource()
{
    if (GState != 3)
        return 0;
    // An empty name asks the manager for its default source.
    GSourceId.Id = 0;
    GSourceId.ProductName[0] = '\0';
    if (TWAIN_Mgr(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &GSourceId))
        GState = 4;
    else
        TWAIN_RecordError(4);
    return GState == 4;
}

std::int32_t TWAIN_EnableSource(WId window)
{
    if (GState != 4)
        return 0;
    GUI.ShowUI = GHideUI ? 0 : 1;
    GUI.ModalUI = 0;
    GUI.hParent = HandleOf(window);
    TWAIN_DS(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &GUI);
    // TWRC_CHECKSTATUS and the like still leave the source enabled.
    if (GLastRC == TWRC_FAILURE)
        TWAIN_RecordError(5);
    else
        GState = 5;
    return GState == 5;
}

std::int32_t TWAIN_DisableSource()
{
    if (GState == 5 && TWAIN_DS(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &GUI))
        GState = 4;
    return GState <= 4;
}

std::int32_t TWAIN_CloseSource()
{
    GLastRC = TWRC_SUCCESS;
    if (GState == 5)
        TWAIN_DisableSource();
    if (GState == 4 && TWAIN_Mgr(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &GSourceId))
        GState = 3;
    return GState <= 3;
}

std::int32_t TWAIN_CloseSourceManager(WId window)
{
    GLastRC = TWRC_SUCCESS;
    if (TWAIN_CloseSource() && GState == 3) {
        TW_HANDLE parent = HandleOf(window);
        if (TWAIN_Mgr(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent))
            GState = 2;
    }
    return GState <= 2;
}

std::int32_t TWAIN_UnloadSourceManager()
{
    if (GState == 2) {
        if (GLibrary)
            ::dlclose(GLibrary);
        GLibrary = nullptr;
        GEntry = nullptr;
        GState = 1;
    }
    return GState == 1;
}

std::int32_t TWAIN_Mgr(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void *data)
{
    GLastRC = TWRC_FAILURE;
    if (GEntry)
        GLastRC = GEntry(&GAppId, nullptr, dg, dat, msg, data);
    return GLastRC == TWRC_SUCCESS;
}

std::int32_t TWAIN_DS(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void *data)
{
    TWAIN_Assert(GState >= 4);
    GLastRC = TWRC_FAILURE;
    if (GEntry)
        GLastRC = GEntry(&GAppId, &GSourceId, dg, dat, msg, data);
    return GLastRC == TWRC_SUCCESS;
}

TW_UINT16 TWAIN_GetResultCode() { return GLastRC; }

TW_UINT16 TWAIN_GetConditionCode()
{
    TW_STATUS status{};
    bool ok;
    if (GState >= 4)
        ok = TWAIN_DS(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    else if (GState == 3)
        ok = TWAIN_Mgr(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    else
        return TWCC_SEQERROR;
    return ok ? status.ConditionCode : TWCC_BUMMER;
}

void TWAIN_ErrorClear() { GError = {}; }

std::int32_t TWAIN_RecordError(std::int32_t code)
{
    if (GError.Code != 0)
        return 0;
    GError.Code = code;
    if (code >= 2 && code <= 5) {
        // The return code first: asking for the status replaces it.
        GError.ResultCode = TWAIN_GetResultCode();
        GError.ConditionCode = TWAIN_GetConditionCode();
    } else {
        GError.ResultCode = 0;
        GError.ConditionCode = 0;
    }
    return 0;
}

TTwainError TWAIN_LastError() { return GError; }

void TWAIN_ErrorBox(const std::string &text) { ShowBox("TWAIN Error", text, TTwainBoxIcon::Warning); }

void TWAIN_ReportLastError(const std::string &text) { TWAIN_ErrorBox(text); }

void TWAIN_Assert(bool condition)
{
    if (!condition)
        ShowBox("EZTWAIN", "Assertion failed", TTwainBoxIcon::None);
}

WId CreateProxyWindow()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return 0;
    auto *window = new QWidget(nullptr, Qt::Window);
    window->setWindowTitle("Acquire Proxy");
    window->show();
    GProxy = window;
    return window->winId();
}

void DestroyProxyWindow(WId window)
{
    if (GProxy && window != 0 && GProxy->winId() == window)
        delete GProxy.data();
}

bool IsWindow(WId window) { return window != 0 && QWidget::find(window) != nullptr; }

std::int32_t TWAIN_IsAvailable()
{
    if (GEntry)
        return 1;
    if (GAvailable == 0) {
        if (TWAIN_LoadSourceManager()) {
            GAvailable = 1;
            TWAIN_UnloadSourceManager();
        } else {
            GAvailable = -1;
        }
    }
    return GAvailable > 0;
}

std::int32_t TWAIN_SelectImageSource(WId window)
{
    std::int32_t result = 0;
    WId proxy = 0;
    if (!IsWindow(window)) {
        if (window != 0) {
            TWAIN_ErrorBox("TWAIN_SelectImageSource: window handle is invalid");
            return 0;
        }
        window = proxy = CreateProxyWindow();
        if (!IsWindow(window)) {
            TWAIN_ErrorBox("TWAIN_SelectImageSource: Unable to create proxy window");
            DestroyProxyWindow(proxy);
            return 0;
        }
    }
    if (!TWAIN_LoadSourceManager()) {
        TWAIN_ErrorBox("Unable to load Source Manager (TWAIN_32.DLL)");
    } else {
        if (!TWAIN_OpenSourceManager(window)) {
            TWAIN_ErrorBox("Unable to open Source Manager (TWAIN_32.DLL)");
        } else {
            TW_IDENTITY chosen{};
            result = TWAIN_Mgr(DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &chosen);
            TWAIN_CloseSourceManager(window);
        }
        TWAIN_UnloadSourceManager();
    }
    DestroyProxyWindow(proxy);
    return result;
}

void TWAIN_RegisterApp(std::int32_t majorNum, std::int32_t minorNum, std::int32_t language, std::int32_t country,
                       const char *version, const char *manufacturer, const char *family, const char *product)
{
    GAppId = MakeIdentity(static_cast<TW_UINT16>(majorNum), static_cast<TW_UINT16>(minorNum),
                          static_cast<TW_UINT16>(language), static_cast<TW_UINT16>(country), version, manufacturer,
                          family, product);
}

std::int32_t TWAIN_WrapperVersion() { return 106; }

std::int32_t TWAIN_State() { return GState; }

std::int32_t TWAIN_GetHideUI() { return GHideUI; }

void TWAIN_SetHideUI(std::int32_t hide) { GHideUI = hide != 0; }

} // namespace vantorel
