#include "MultiTWAIN.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

#include <dlfcn.h>

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "Bitmap.h"
#include "ProgramFolder.h"
#include "TwainMemory.h"

namespace vantorel {

namespace {

// A source whose transfers keep failing is given up after this many attempts in a row.
constexpr int MaxFailedAttempts = 3;
constexpr std::uint32_t CallbackArmed = 0xF0F0F;

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

// The one connection of the process.
std::int32_t GState = 1;
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

TW_HANDLE GCurrentDib = nullptr;
TW_HANDLE GImages[TWAIN_MaxImages] = {};
std::int32_t GImageCount = 0;
TTwainImageCallback GCallback;
std::uint32_t GCallbackMarker = 0;
TW_PENDINGXFERS GPending{};
int GFailedAttempts = 0;
bool GLoopEnd = false;

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

// Sees the application's quit request while the nested loop runs, so an acquisition can end
// and the program can follow it out.
class TQuitWatcher : public QObject {
public:
    TQuitWatcher()
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->installEventFilter(this);
    }
    ~TQuitWatcher() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeEventFilter(this);
    }
    bool QuitSeen = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Quit && watched == QCoreApplication::instance())
            QuitSeen = true;
        return false;
    }
};

// Ends the transfer of state 7 and drops the pending ones of state 6 whatever the source answers,
// so neither state can outlive the acquisition.
void ForceTransfersEnded()
{
    if (GState == 7) {
        TW_PENDINGXFERS pending{};
        if (TWAIN_DS(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending))
            GState = pending.Count != 0 ? 6 : 5;
        else
            GState = 6;
    }
    if (GState == 6) {
        TW_PENDINGXFERS pending{};
        TWAIN_DS(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
        GState = 5;
    }
}

void GiveUpPendingTransfers()
{
    TW_PENDINGXFERS pending{};
    TWAIN_DS(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    GState = 5;
}

// Frees the images of the list that the acquisition does not return.
void FreeUnreturnedImages()
{
    std::set<TW_HANDLE> freed;
    for (std::int32_t i = 0; i < GImageCount; ++i) {
        TW_HANDLE image = GImages[i];
        if (image && image != GCurrentDib && freed.insert(image).second)
            GlobalFree(image);
        if (image != GCurrentDib)
            GImages[i] = nullptr;
    }
}

// The layout of a DIB block, worked out without reading past its end.
struct TDibLayout {
    std::uint32_t HeaderSize = 0;
    std::int64_t Width = 0;
    std::int64_t Height = 0; // rows, always positive
    bool TopDown = false;
    std::uint16_t BitCount = 0;
    std::uint32_t Compression = BI_RGB;
    std::uint32_t Colors = 0;
    std::uint32_t EntrySize = 4;
    std::uint64_t BitsOffset = 0;
    std::uint64_t Stride = 0;
    std::uint32_t Masks[3] = {0, 0, 0};
};

bool Drawable(const TDibLayout &layout)
{
    switch (layout.BitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
        return layout.Compression == BI_RGB;
    case 16:
    case 32:
        return layout.Compression == BI_RGB || layout.Compression == BI_BITFIELDS;
    default:
        return false;
    }
}

std::uint32_t ReadU32(const std::uint8_t *p)
{
    std::uint32_t value;
    std::memcpy(&value, p, 4);
    return value;
}

bool ReadDibLayout(const std::uint8_t *data, std::size_t size, TDibLayout &layout)
{
    if (!data || size < 4)
        return false;
    layout.HeaderSize = ReadU32(data);
    if (layout.HeaderSize == sizeof(BITMAPCOREHEADER)) {
        if (size < sizeof(BITMAPCOREHEADER))
            return false;
        BITMAPCOREHEADER core;
        std::memcpy(&core, data, sizeof core);
        layout.Width = core.bcWidth;
        layout.Height = core.bcHeight;
        layout.BitCount = core.bcBitCount;
        layout.EntrySize = 3;
    } else if (layout.HeaderSize >= sizeof(BITMAPINFOHEADER)) {
        if (size < layout.HeaderSize)
            return false;
        BITMAPINFOHEADER info;
        std::memcpy(&info, data, sizeof info);
        layout.Width = info.biWidth;
        layout.TopDown = info.biHeight < 0;
        layout.Height = info.biHeight < 0 ? -static_cast<std::int64_t>(info.biHeight) : info.biHeight;
        layout.BitCount = info.biBitCount;
        layout.Compression = info.biCompression;
    } else {
        return false;
    }
    layout.Colors = static_cast<std::uint32_t>(DibNumColors(data));
    std::uint64_t offset = std::uint64_t{layout.HeaderSize} + std::uint64_t{layout.Colors} * layout.EntrySize;
    if (layout.Compression == BI_BITFIELDS) {
        // After a 40-byte header the three masks follow it; longer headers hold them.
        std::uint64_t masksAt = layout.HeaderSize == sizeof(BITMAPINFOHEADER) ? offset : sizeof(BITMAPINFOHEADER);
        if (masksAt + 12 > size)
            return false;
        for (int i = 0; i < 3; ++i)
            layout.Masks[i] = ReadU32(data + masksAt + 4 * i);
        if (layout.HeaderSize == sizeof(BITMAPINFOHEADER))
            offset += 12;
    }
    layout.BitsOffset = offset;
    // A biHeight of -2^31 has no 32-bit row count: such a size is impossible.
    if (offset > size || layout.Width <= 0 || layout.Height <= 0 || layout.Height > INT32_MAX)
        return false;
    if (Drawable(layout)) {
        layout.Stride = ((static_cast<std::uint64_t>(layout.Width) * layout.BitCount + 31) / 32) * 4;
        return layout.Stride * static_cast<std::uint64_t>(layout.Height) <= size - offset;
    }
    // Pixels this wrapper cannot draw: their declared size must be in the block, and their
    // picture no larger than the block can describe. Run-length data, the densest a DIB has,
    // codes at most 255 pixels in 2 bytes.
    std::uint32_t sizeImage = layout.HeaderSize >= sizeof(BITMAPINFOHEADER) ? ReadU32(data + 20) : 0;
    const std::uint64_t pixels = static_cast<std::uint64_t>(layout.Width) * static_cast<std::uint64_t>(layout.Height);
    return sizeImage <= size - offset && pixels <= (size - offset) * 255 / 2;
}

bool LockDib(TW_HANDLE dib, const std::uint8_t *&data, TDibLayout &layout)
{
    data = static_cast<const std::uint8_t *>(GlobalLock(dib));
    return data && ReadDibLayout(data, GlobalSize(dib), layout);
}

// One channel of a BI_BITFIELDS pixel scaled to 8 bits; a zero mask gives 0.
std::uint8_t MaskedChannel(std::uint32_t value, std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = std::countr_zero(mask);
    std::uint64_t field = (value & mask) >> shift;
    std::uint64_t maximum = (std::uint64_t{mask} >> shift);
    return static_cast<std::uint8_t>((field * 255 + maximum / 2) / maximum);
}

// The colour of pixel x of a row as blue, green, red.
void ReadPixel(const TDibLayout &layout, const std::uint8_t *table, const std::uint8_t *row, std::int64_t x,
               std::uint8_t bgr[3])
{
    std::uint32_t index = 0;
    switch (layout.BitCount) {
    case 1:
        index = (row[x / 8] >> (7 - x % 8)) & 1;
        break;
    case 4:
        index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF;
        break;
    case 8:
        index = row[x];
        break;
    case 16: {
        std::uint32_t value = row[2 * x] | (row[2 * x + 1] << 8);
        if (layout.Compression == BI_BITFIELDS) {
            bgr[0] = MaskedChannel(value, layout.Masks[2]);
            bgr[1] = MaskedChannel(value, layout.Masks[1]);
            bgr[2] = MaskedChannel(value, layout.Masks[0]);
        } else {
            bgr[0] = MaskedChannel(value, 0x001F);
            bgr[1] = MaskedChannel(value, 0x03E0);
            bgr[2] = MaskedChannel(value, 0x7C00);
        }
        return;
    }
    case 24:
        std::memcpy(bgr, row + 3 * x, 3);
        return;
    case 32:
        if (layout.Compression == BI_BITFIELDS) {
            std::uint32_t value = ReadU32(row + 4 * x);
            bgr[0] = MaskedChannel(value, layout.Masks[2]);
            bgr[1] = MaskedChannel(value, layout.Masks[1]);
            bgr[2] = MaskedChannel(value, layout.Masks[0]);
        } else {
            std::memcpy(bgr, row + 4 * x, 3);
        }
        return;
    }
    // An index past the colour table reads as black.
    if (index < layout.Colors) {
        std::memcpy(bgr, table + index * layout.EntrySize, 3);
    } else {
        bgr[0] = bgr[1] = bgr[2] = 0;
    }
}

std::size_t ItemSize(TW_UINT16 itemType)
{
    static constexpr std::size_t sizes[] = {1, 2, 4, 1, 2, 4, 2, 4, 16, 34, 66, 130, 256};
    return itemType < std::size(sizes) ? sizes[itemType] : 0;
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

std::int32_t TWAIN_SetCapOneValue(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 value)
{
    if (GState != 4) {
        TWAIN_ErrorBox("Attempt to set capability outside State 4.");
        return 0;
    }
    TW_HANDLE container = GlobalAlloc(sizeof(TW_ONEVALUE));
    if (!container) {
        TWAIN_ErrorBox("Insufficient Memory");
        return 0;
    }
    auto *one = static_cast<TW_ONEVALUE *>(GlobalLock(container));
    one->ItemType = itemType;
    one->Item = value;
    GlobalUnlock(container);
    TW_CAPABILITY capability{cap, TWON_ONEVALUE, container};
    std::int32_t result = TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
    GlobalFree(container);
    return result;
}

std::int32_t TWAIN_SetXferCount(std::int32_t count)
{
    return TWAIN_SetCapOneValue(CAP_XFERCOUNT, TWTY_INT16, static_cast<TW_UINT32>(count));
}

std::int32_t TWAIN_SetCurrentUnits(std::int32_t units)
{
    return TWAIN_SetCapOneValue(ICAP_UNITS, TWTY_UINT16, static_cast<TW_UINT32>(units));
}

std::int32_t TWAIN_SetBitDepth(std::int32_t bits)
{
    return TWAIN_SetCapOneValue(ICAP_BITDEPTH, TWTY_UINT16, static_cast<TW_UINT32>(bits));
}

std::int32_t TWAIN_SetCurrentPixelType(std::int32_t pixelType)
{
    return TWAIN_SetCapOneValue(ICAP_PIXELTYPE, TWTY_UINT16, static_cast<TW_UINT32>(pixelType));
}

std::int32_t TWAIN_GetCapCurrent(TW_UINT16 cap, TW_UINT16 itemType, void *value)
{
    TWAIN_Assert(value != nullptr);
    if (GState < 4) {
        TWAIN_ErrorBox("Attempt to get capability value below State 4.");
        return 0;
    }
    TW_CAPABILITY capability{cap, TWON_DONTCARE16, nullptr};
    bool ok = TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &capability);
    const auto *data = static_cast<const std::uint8_t *>(GlobalLock(capability.hContainer));
    std::size_t size = GlobalSize(capability.hContainer);
    std::int32_t copied = 0;
    if (ok && data && size >= sizeof(TW_UINT16)) {
        TW_UINT16 sourceType;
        std::memcpy(&sourceType, data, sizeof sourceType);
        const std::uint8_t *item = nullptr;
        if (capability.ConType == TWON_ONEVALUE && size >= sizeof(TW_ONEVALUE)) {
            item = data + offsetof(TW_ONEVALUE, Item);
            // Strings and frames do not fit a one-value container.
            if (ItemSize(sourceType) > sizeof(TW_UINT32))
                item = nullptr;
        } else if (capability.ConType == TWON_ENUMERATION && size >= TW_ENUMERATION_HEADER_SIZE) {
            const auto *enumeration = reinterpret_cast<const TW_ENUMERATION *>(data);
            std::uint64_t at =
                TW_ENUMERATION_HEADER_SIZE + std::uint64_t{enumeration->CurrentIndex} * ItemSize(sourceType);
            if (enumeration->CurrentIndex < enumeration->NumItems && at + ItemSize(sourceType) <= size)
                item = data + at;
        }
        bool integers = sourceType <= TWTY_UINT32 && itemType <= TWTY_UINT32;
        bool compatible = sourceType == itemType || (integers && ItemSize(sourceType) == ItemSize(itemType));
        if (item && value && compatible && ItemSize(itemType) > 0) {
            std::memcpy(value, item, ItemSize(itemType));
            copied = 1;
        }
    }
    GlobalUnlock(capability.hContainer);
    GlobalFree(capability.hContainer);
    return copied;
}

std::int32_t TWAIN_GetCurrentUnits()
{
    TW_UINT16 value = 0;
    return TWAIN_GetCapCurrent(ICAP_UNITS, TWTY_UINT16, &value) ? value : 0;
}

std::int32_t TWAIN_GetBitDepth()
{
    TW_UINT16 value = 0;
    return TWAIN_GetCapCurrent(ICAP_BITDEPTH, TWTY_UINT16, &value) ? value : 0;
}

std::int32_t TWAIN_GetPixelType()
{
    TW_UINT16 value = 0;
    return TWAIN_GetCapCurrent(ICAP_PIXELTYPE, TWTY_UINT16, &value) ? value : 0;
}

// ---- Native transfer -------------------------------------------------------------------------

TW_HANDLE TWAIN_AcquireNative(WId window, std::uint32_t pixelTypeMask)
{
    GCurrentDib = nullptr;
    TWAIN_ErrorClear();
    TWAIN_ClearImageList();
    GFailedAttempts = 0;
    GLoopEnd = false;

    WId proxy = 0;
    if (!IsWindow(window)) {
        window = CreateProxyWindow();
        proxy = window;
    }
    do {
        if (!IsWindow(window)) {
            TWAIN_ErrorBox("Unable to create proxy window");
            break;
        }
        if (!TWAIN_LoadSourceManager()) {
            TWAIN_ErrorBox("Unable to load Source Manager (TWAIN_32.DLL)");
            break;
        }
        if (!TWAIN_OpenSourceManager(window)) {
            TWAIN_ErrorBox("Unable to open Source Manager (TWAIN_32.DLL)");
            break;
        }
        if (!TWAIN_OpenDefaultSource()) {
            TWAIN_ReportLastError("Unable to open default Data Source.");
            break;
        }
        if (!TWAIN_NegotiatePixelTypes(pixelTypeMask)) {
            TWAIN_ReportLastError("Failed to negotiate Pixel Type.");
            break;
        }
        if (!TWAIN_EnableSource(window)) {
            TWAIN_ReportLastError("Failed to enable Data Source.");
            break;
        }
        // The window stays disabled while the source's user interface is up.
        QPointer<QWidget> widget = QWidget::find(window);
        if (widget)
            widget->setEnabled(false);
        TWAIN_ModalEventLoop();
        if (widget)
            widget->setEnabled(true);
    } while (false);

    ForceTransfersEnded();
    TWAIN_DisableSource();
    TWAIN_CloseSource();
    TWAIN_CloseSourceManager(window);
    TWAIN_UnloadSourceManager();
    if (GState > 1) {
        // The source or manager refused a step down: drop the manager anyway, so the next
        // acquisition starts from state 1 again.
        GState = 2;
        TWAIN_UnloadSourceManager();
    }
    DestroyProxyWindow(proxy);
    FreeUnreturnedImages();
    return GCurrentDib;
}

void TWAIN_FreeNative(TW_HANDLE dib)
{
    if (dib)
        GlobalFree(dib);
}

std::int32_t TWAIN_NegotiatePixelTypes(std::uint32_t mask)
{
    if (GState != 4) {
        TWAIN_RecordError(7);
        return 0;
    }
    if (mask == 0)
        return 1;
    TW_CAPABILITY capability{ICAP_PIXELTYPE, TWON_ENUMERATION, nullptr};
    if (!TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &capability)) {
        TWAIN_RecordError(2);
        GlobalFree(capability.hContainer);
        return 0;
    }
    if (!capability.hContainer) {
        TWAIN_RecordError(8);
        return 0;
    }
    auto *data = static_cast<std::uint8_t *>(GlobalLock(capability.hContainer));
    if (!data) {
        TWAIN_RecordError(9);
        return 0;
    }
    std::size_t size = GlobalSize(capability.hContainer);
    bool result = false;
    switch (capability.ConType) {
    case TWON_ARRAY:
    case TWON_ENUMERATION: {
        bool enumeration = capability.ConType == TWON_ENUMERATION;
        std::size_t headerSize = enumeration ? TW_ENUMERATION_HEADER_SIZE : TW_ARRAY_HEADER_SIZE;
        if (size < headerSize) {
            // A container that does not hold its own header cannot be used at all.
            TWAIN_RecordError(9);
            break;
        }
        auto *array = reinterpret_cast<TW_ARRAY *>(data);
        TW_UINT32 count = array->NumItems;
        if (count < 1) {
            TWAIN_RecordError(12);
        } else if (array->ItemType != TWTY_UINT16 && array->ItemType != TWTY_INT16) {
            TWAIN_RecordError(11);
        } else if (std::uint64_t{count} * sizeof(TW_UINT16) > size - headerSize) {
            TWAIN_RecordError(9);
        } else {
            if (enumeration) {
                auto *list = reinterpret_cast<TW_ENUMERATION *>(data);
                list->CurrentIndex = 0xFFFFFFFF;
                list->DefaultIndex = 0xFFFFFFFF;
            }
            auto *items = reinterpret_cast<TW_UINT16 *>(data + headerSize);
            array->NumItems = FilterItemList(mask, count, items);
            result = array->NumItems != 0;
            if (!result)
                TWAIN_RecordError(13);
        }
        break;
    }
    case TWON_ONEVALUE: {
        if (size < sizeof(TW_ONEVALUE)) {
            TWAIN_RecordError(9);
            break;
        }
        TW_UINT32 item = reinterpret_cast<TW_ONEVALUE *>(data)->Item;
        result = item < 32 && ((mask >> item) & 1) != 0;
        if (!result)
            TWAIN_RecordError(13);
        break;
    }
    default:
        TWAIN_RecordError(10);
        break;
    }
    GlobalUnlock(capability.hContainer);
    if (result && capability.ConType != TWON_ONEVALUE && !TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability)) {
        TWAIN_RecordError(3);
        result = false;
    }
    GlobalFree(capability.hContainer);
    return result;
}

TW_UINT32 FilterItemList(std::uint32_t mask, TW_UINT32 count, TW_UINT16 *items)
{
    std::uint32_t present = 0;
    for (TW_UINT32 i = 0; i < count; ++i)
        if (items[i] < 32)
            present |= std::uint32_t{1} << items[i];
    present &= mask;
    TW_UINT32 kept = 0;
    for (TW_UINT16 value = 0; value < 32; ++value)
        if ((present >> value) & 1)
            items[kept++] = value;
    return kept;
}

void TWAIN_ModalEventLoop()
{
    if (!QCoreApplication::instance())
        return;
    TQuitWatcher quit;
    while (GState >= 5 && !GCurrentDib && !GLoopEnd) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (quit.QuitSeen)
            break;
        TWAIN_MessageHook(nullptr);
    }
}

std::int32_t TWAIN_MessageHook(void *message)
{
    if (GState < 5)
        return 0;
    TW_EVENT event{message, MSG_NULL};
    TWAIN_DS(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    std::int32_t result = GLastRC == TWRC_DSEVENT;
    switch (event.TWMessage) {
    case MSG_XFERREADY:
        GState = 6;
        TWAIN_NativeTransferLoop();
        break;
    case MSG_CLOSEDSREQ:
        ForceTransfersEnded();
        TWAIN_DisableSource();
        // A source that will not be disabled still asked to close: the loop ends all the same.
        if (GState >= 5)
            GLoopEnd = true;
        break;
    default:
        break;
    }
    return result;
}

void TWAIN_NativeTransferLoop()
{
    TWAIN_Assert(GState == 6);
    do {
        TW_HANDLE handle = nullptr;
        TWAIN_DS(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
        TW_UINT16 rc = GLastRC;
        if (rc != TWRC_XFERDONE)
            GCurrentDib = nullptr;
        switch (rc) {
        case TWRC_XFERDONE:
            GState = 7;
            if (!TWAIN_DibFitsBlock(handle)) {
                // Never read past the end of a block: a DIB that does not fit it is dropped.
                GlobalFree(handle);
                GCurrentDib = nullptr;
                ++GFailedAttempts;
                break;
            }
            GFailedAttempts = 0;
            GCurrentDib = handle;
            GImages[GImageCount] = handle;
            if (GCallback && GCallbackMarker == CallbackArmed)
                GCallback(handle, GImageCount);
            ++GImageCount;
            break;
        case TWRC_CANCEL:
            GState = 7;
            GFailedAttempts = 0;
            break;
        default:
            GState = 6;
            ++GFailedAttempts;
            break;
        }
        TWAIN_Assert(GState >= 6);
        if (GState == 7) {
            GPending = {};
            if (TWAIN_DS(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &GPending))
                GState = GPending.Count != 0 ? 6 : 5;
        }
        // A source that keeps failing, or a full image list, ends the batch.
        if (GState == 6 && (GFailedAttempts >= MaxFailedAttempts || GImageCount >= TWAIN_MaxImages))
            GiveUpPendingTransfers();
    } while (GState == 6);
}

void TWAIN_ClearImageList()
{
    std::fill(std::begin(GImages), std::end(GImages), nullptr);
    GImageCount = 0;
}

std::int32_t TWAIN_ImageCount() { return GImageCount; }

TW_HANDLE TWAIN_ImageHandle(std::int32_t index) { return index >= 0 && index < GImageCount ? GImages[index] : nullptr; }

void TWAIN_SetImageCallback(TTwainImageCallback callback)
{
    GCallback = std::move(callback);
    GCallbackMarker = CallbackArmed;
}

void TWAIN_ClearImageCallback()
{
    GCallback = nullptr;
    GCallbackMarker = 0;
}

TW_HANDLE TWAIN_TransferOneImage()
{
    TWAIN_Assert(GState == 6);
    TW_HANDLE handle = nullptr;
    TWAIN_DS(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    TW_UINT16 rc = GLastRC;
    GCurrentDib = nullptr;
    if (rc == TWRC_XFERDONE) {
        GState = 7;
        if (TWAIN_DibFitsBlock(handle))
            GCurrentDib = handle;
        else
            GlobalFree(handle);
    } else if (rc == TWRC_CANCEL) {
        GState = 7;
    } else {
        GState = 6;
    }
    TWAIN_EndAllTransfers();
    return GCurrentDib;
}

std::int32_t TWAIN_EndAllTransfers()
{
    if (GState == 7) {
        GPending = {};
        if (TWAIN_DS(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &GPending))
            GState = GPending.Count != 0 ? 6 : 5;
    }
    if (GState == 6) {
        GPending = {};
        if (TWAIN_DS(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &GPending))
            GState = 5;
    }
    return GState <= 5;
}

std::int32_t BitCount(std::uint32_t value) { return std::popcount(value); }

// ---- DIB routines ----------------------------------------------------------------------------

std::int32_t TWAIN_DibWidth(TW_HANDLE dib)
{
    const std::uint8_t *data;
    TDibLayout layout;
    return LockDib(dib, data, layout) ? static_cast<std::int32_t>(layout.Width) : 0;
}

std::int32_t TWAIN_DibHeight(TW_HANDLE dib)
{
    const std::uint8_t *data;
    TDibLayout layout;
    // A fitting DIB's rows are within its block, so the height is within 32 bits.
    return LockDib(dib, data, layout) ? static_cast<std::int32_t>(layout.Height) : 0;
}

std::int32_t TWAIN_DibDepth(TW_HANDLE dib)
{
    const std::uint8_t *data;
    TDibLayout layout;
    return LockDib(dib, data, layout) ? layout.BitCount : 0;
}

std::int32_t TWAIN_DibNumColors(TW_HANDLE dib)
{
    const std::uint8_t *data;
    TDibLayout layout;
    return LockDib(dib, data, layout) ? static_cast<std::int32_t>(layout.Colors) : 0;
}

std::int32_t DibNumColors(const void *header)
{
    const auto *data = static_cast<const std::uint8_t *>(header);
    std::uint32_t bitCount;
    std::uint32_t colors = 0;
    if (ReadU32(data) == sizeof(BITMAPCOREHEADER)) {
        BITMAPCOREHEADER core;
        std::memcpy(&core, data, sizeof core);
        bitCount = core.bcBitCount;
    } else {
        BITMAPINFOHEADER info;
        std::memcpy(&info, data, sizeof info);
        bitCount = info.biBitCount;
        colors = info.biClrUsed;
    }
    // Above 8 bits a table is there only when biClrUsed names one; the power is never formed.
    if (colors == 0 && bitCount <= 8)
        colors = std::uint32_t{1} << bitCount;
    return colors > 256 ? 0 : static_cast<std::int32_t>(colors);
}

const std::uint8_t *DibBits(const void *header)
{
    const auto *data = static_cast<const std::uint8_t *>(header);
    std::uint32_t size = ReadU32(data);
    std::uint32_t entry = size == sizeof(BITMAPCOREHEADER) ? 3 : 4;
    const std::uint8_t *bits = data + size + static_cast<std::uint32_t>(DibNumColors(header)) * entry;
    if (size == sizeof(BITMAPINFOHEADER) && ReadU32(data + 16) == BI_BITFIELDS)
        bits += 12;
    return bits;
}

bool TWAIN_DibFitsBlock(TW_HANDLE dib)
{
    const std::uint8_t *data;
    TDibLayout layout;
    return LockDib(dib, data, layout);
}

void TWAIN_DrawDibToDC(TBitmap &dc, std::int32_t dx, std::int32_t dy, std::int32_t w, std::int32_t h, TW_HANDLE dib,
                       std::int32_t sx, std::int32_t sy)
{
    const std::uint8_t *data;
    TDibLayout layout;
    if (!LockDib(dib, data, layout) || !Drawable(layout)) {
        GlobalUnlock(dib);
        return;
    }
    const std::uint8_t *bits = data + layout.BitsOffset;
    const std::uint8_t *table = data + layout.HeaderSize;
    // Clip the copied rectangle to the DIB and to the bitmap, in 64 bits.
    std::int64_t x0 = std::max<std::int64_t>({0, -std::int64_t{sx}, -std::int64_t{dx}});
    std::int64_t y0 = std::max<std::int64_t>({0, -std::int64_t{sy}, -std::int64_t{dy}});
    std::int64_t x1 = std::min<std::int64_t>({w, layout.Width - sx, std::int64_t{dc.Width()} - dx});
    std::int64_t y1 = std::min<std::int64_t>({h, layout.Height - sy, std::int64_t{dc.Height()} - dy});
    for (std::int64_t y = y0; y < y1; ++y) {
        std::int64_t sourceRow = sy + y;
        std::int64_t stored = layout.TopDown ? sourceRow : layout.Height - 1 - sourceRow;
        const std::uint8_t *row = bits + static_cast<std::uint64_t>(stored) * layout.Stride;
        std::uint8_t *target = dc.Scanline(static_cast<std::int32_t>(dy + y));
        for (std::int64_t x = x0; x < x1; ++x) {
            std::uint8_t bgr[3];
            ReadPixel(layout, table, row, sx + x, bgr);
            std::uint8_t *pixel = target + 3 * (dx + x);
            pixel[0] = bgr[2];
            pixel[1] = bgr[1];
            pixel[2] = bgr[0];
        }
    }
    GlobalUnlock(dib);
}

bool DrawDibToImage(TW_HANDLE dib, TBitmap &image)
{
    const std::uint8_t *data;
    TDibLayout layout;
    const bool drawable = LockDib(dib, data, layout) && Drawable(layout);
    GlobalUnlock(dib);
    if (drawable)
        TWAIN_DrawDibToDC(image, 0, 0, TWAIN_DibWidth(dib), TWAIN_DibHeight(dib), dib, 0, 0);
    return drawable;
}

} // namespace vantorel
