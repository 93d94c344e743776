#include "SaneSource.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "TwainMemory.h"

namespace vantorel {

namespace {

// A TW_ENUMERATION of 16-bit items in a new block; nullptr when memory is short.
TW_HANDLE MakeEnumeration(const std::vector<TW_UINT16> &items, TW_UINT32 current, TW_UINT32 fallback)
{
    TW_HANDLE block = GlobalAlloc(TW_ENUMERATION_HEADER_SIZE + items.size() * sizeof(TW_UINT16));
    auto *data = static_cast<std::uint8_t *>(GlobalLock(block));
    if (!data)
        return nullptr;
    auto *enumeration = reinterpret_cast<TW_ENUMERATION *>(data);
    enumeration->ItemType = TWTY_UINT16;
    enumeration->NumItems = static_cast<TW_UINT32>(items.size());
    auto indexOf = [&](TW_UINT16 value) {
        auto it = std::find(items.begin(), items.end(), value);
        return it == items.end() ? TW_UINT32{0} : static_cast<TW_UINT32>(it - items.begin());
    };
    enumeration->CurrentIndex = indexOf(static_cast<TW_UINT16>(current));
    enumeration->DefaultIndex = indexOf(static_cast<TW_UINT16>(fallback));
    std::memcpy(data + TW_ENUMERATION_HEADER_SIZE, items.data(), items.size() * sizeof(TW_UINT16));
    GlobalUnlock(block);
    return block;
}

TW_HANDLE MakeOneValue(TW_UINT16 value)
{
    TW_HANDLE block = GlobalAlloc(sizeof(TW_ONEVALUE));
    auto *one = static_cast<TW_ONEVALUE *>(GlobalLock(block));
    if (!one)
        return nullptr;
    one->ItemType = TWTY_UINT16;
    one->Item = value;
    GlobalUnlock(block);
    return block;
}

QString DialogTitle(const TSaneDevice &device)
{
    std::string title = device.Vendor;
    if (!title.empty() && !device.Model.empty())
        title += ' ';
    title += device.Model;
    return QString::fromStdString(title.empty() ? device.Name : title);
}

QString DeviceText(const TSaneDevice &device)
{
    return QString::fromStdString(device.Type.empty() ? device.Name : device.Type + " (" + device.Name + ")");
}

} // namespace

TSaneSource::TSaneSource(TSaneDevice device, std::unique_ptr<TSaneScanner> scanner, TW_UINT32 id)
    : FDevice(std::move(device)), FScanner(std::move(scanner)), FId(id), FDefaultPixelType(FScanner->PixelType()),
      FContext(std::make_unique<QObject>())
{
}

TSaneSource::~TSaneSource()
{
    Disable();
    // The scanner's worker is over: the context can go, and with it any news still queued.
    FScanner.reset();
    FContext.reset();
}

TW_UINT16 TSaneSource::Fail(TW_UINT16 condition)
{
    FCondition = condition;
    return TWRC_FAILURE;
}

TW_UINT16 TSaneSource::Entry(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    if (dg == DG_CONTROL && dat == DAT_STATUS && msg == MSG_GET) {
        if (!data)
            return Fail(TWCC_BADVALUE);
        auto *status = static_cast<TW_STATUS *>(data);
        status->ConditionCode = FCondition;
        status->Reserved = 0;
        FCondition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    FCondition = TWCC_SUCCESS;
    if (!data)
        return Fail(TWCC_BADVALUE);
    if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER && msg == MSG_GET)
        return NativeTransfer(data);
    if (dg != DG_CONTROL)
        return Fail(TWCC_BADPROTOCOL);
    switch (dat) {
    case DAT_CAPABILITY:
        return Capability(msg, *static_cast<TW_CAPABILITY *>(data));
    case DAT_USERINTERFACE:
        return UserInterface(msg, *static_cast<const TW_USERINTERFACE *>(data));
    case DAT_EVENT:
        return msg == MSG_PROCESSEVENT ? ProcessEvent(*static_cast<TW_EVENT *>(data)) : Fail(TWCC_BADPROTOCOL);
    case DAT_PENDINGXFERS:
        return PendingTransfers(msg, *static_cast<TW_PENDINGXFERS *>(data));
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 TSaneSource::Capability(TW_UINT16 msg, TW_CAPABILITY &capability)
{
    if (capability.Cap != ICAP_PIXELTYPE)
        return Fail(TWCC_CAPUNSUPPORTED);
    TW_HANDLE container = nullptr;
    switch (msg) {
    case MSG_GET:
        container = MakeEnumeration(FScanner->PixelTypes(), FScanner->PixelType(), FDefaultPixelType);
        capability.ConType = TWON_ENUMERATION;
        break;
    case MSG_GETCURRENT:
        container = MakeOneValue(FScanner->PixelType());
        capability.ConType = TWON_ONEVALUE;
        break;
    case MSG_GETDEFAULT:
        container = MakeOneValue(FDefaultPixelType);
        capability.ConType = TWON_ONEVALUE;
        break;
    case MSG_SET:
        // Settings change only before the source is enabled.
        return FState == 4 ? SetPixelType(capability) : Fail(TWCC_SEQERROR);
    default:
        return Fail(TWCC_CAPBADOPERATION);
    }
    if (!container)
        return Fail(TWCC_LOWMEMORY);
    capability.hContainer = container;
    return TWRC_SUCCESS;
}

TW_UINT16 TSaneSource::SetPixelType(const TW_CAPABILITY &capability)
{
    const auto *data = static_cast<const std::uint8_t *>(GlobalLock(capability.hContainer));
    const std::size_t size = GlobalSize(capability.hContainer);
    if (!data)
        return Fail(TWCC_BADVALUE);
    const std::vector<TW_UINT16> offered = FScanner->PixelTypes();
    auto isOffered = [&](TW_UINT32 type) { return std::find(offered.begin(), offered.end(), type) != offered.end(); };
    TW_UINT32 wanted = TWON_DONTCARE32;
    if (capability.ConType == TWON_ONEVALUE && size >= sizeof(TW_ONEVALUE)) {
        const auto *one = reinterpret_cast<const TW_ONEVALUE *>(data);
        if (one->ItemType == TWTY_UINT16 || one->ItemType == TWTY_INT16)
            wanted = one->Item & 0xFFFF;
    } else if (capability.ConType == TWON_ENUMERATION && size >= TW_ENUMERATION_HEADER_SIZE) {
        const auto *enumeration = reinterpret_cast<const TW_ENUMERATION *>(data);
        const TW_UINT32 count = enumeration->NumItems;
        const bool fits = count <= (size - TW_ENUMERATION_HEADER_SIZE) / sizeof(TW_UINT16);
        if ((enumeration->ItemType == TWTY_UINT16 || enumeration->ItemType == TWTY_INT16) && fits) {
            std::vector<TW_UINT16> items(count);
            std::memcpy(items.data(), data + TW_ENUMERATION_HEADER_SIZE, count * sizeof(TW_UINT16));
            const TW_UINT32 current = FScanner->PixelType();
            if (enumeration->CurrentIndex < count) {
                wanted = items[enumeration->CurrentIndex];
            } else if (std::find(items.begin(), items.end(), current) != items.end()) {
                // No current value named: the one in force stays when the list allows it.
                wanted = current;
            } else {
                auto first = std::find_if(items.begin(), items.end(), isOffered);
                if (first != items.end())
                    wanted = *first;
            }
        }
    }
    GlobalUnlock(capability.hContainer);
    if (wanted == TWON_DONTCARE32 || !isOffered(wanted))
        return Fail(TWCC_BADVALUE);
    const SANE_Status status = FScanner->SetPixelType(static_cast<TW_UINT16>(wanted));
    return status == SANE_STATUS_GOOD ? TWRC_SUCCESS : Fail(ConditionOfSaneStatus(status));
}

TW_UINT16 TSaneSource::UserInterface(TW_UINT16 msg, const TW_USERINTERFACE &ui)
{
    if (msg == MSG_ENABLEDS) {
        if (FState != 4)
            return Fail(TWCC_SEQERROR);
        FCloseRequested = false;
        FDialog = std::make_unique<TSaneSourceDialog>(
            DialogTitle(FDevice), DeviceText(FDevice), reinterpret_cast<WId>(ui.hParent), [this] { Scan(); },
            [this] { CancelPressed(); });
        FState = 5;
        return TWRC_SUCCESS;
    }
    if (msg == MSG_DISABLEDS) {
        if (FState != 5)
            return Fail(TWCC_SEQERROR);
        Disable();
        return TWRC_SUCCESS;
    }
    return Fail(TWCC_BADPROTOCOL);
}

void TSaneSource::StopScan()
{
    if (FScanner->Scanning()) {
        FScanner->Cancel();
        SANE_Status status;
        GlobalFree(FScanner->TakeResult(status));
    }
}

void TSaneSource::Disable()
{
    StopScan();
    GlobalFree(FPicture);
    FPicture = nullptr;
    FDialog.reset();
    FCloseRequested = false;
    FState = 4;
}

TW_UINT16 TSaneSource::ProcessEvent(TW_EVENT &event)
{
    if (FState < 5)
        return Fail(TWCC_SEQERROR);
    event.TWMessage = MSG_NULL;
    if (FCloseRequested) {
        event.TWMessage = MSG_CLOSEDSREQ;
    } else if (FState == 5 && FPicture) {
        event.TWMessage = MSG_XFERREADY;
        FState = 6;
    }
    // There are no platform events on this side: none is ever the source's.
    return TWRC_NOTDSEVENT;
}

TW_UINT16 TSaneSource::NativeTransfer(void *handle)
{
    if (FState != 6 || !FPicture)
        return Fail(TWCC_SEQERROR);
    // The caller owns the block from here on.
    TW_HANDLE picture = FPicture;
    std::memcpy(handle, &picture, sizeof picture);
    FPicture = nullptr;
    FState = 7;
    return TWRC_XFERDONE;
}

TW_UINT16 TSaneSource::PendingTransfers(TW_UINT16 msg, TW_PENDINGXFERS &pending)
{
    switch (msg) {
    case MSG_GET:
        pending.Count = FPicture ? 1 : 0;
        return TWRC_SUCCESS;
    case MSG_ENDXFER:
    case MSG_RESET:
        if (FState != 6 && !(msg == MSG_ENDXFER && FState == 7))
            return Fail(TWCC_SEQERROR);
        // One picture per scan: nothing remains, and the dialog takes the next scan.
        GlobalFree(FPicture);
        FPicture = nullptr;
        pending.Count = 0;
        FState = 5;
        if (FDialog)
            FDialog->SetScanning(false);
        return TWRC_SUCCESS;
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
}

void TSaneSource::Scan()
{
    if (FState != 5 || FScanner->Scanning() || FPicture || FCloseRequested)
        return;
    FDialog->SetScanning(true);
    QObject *context = FContext.get();
    const unsigned scan = ++FScanNumber;
    FScanner->StartScan([this, context, scan] {
        // On the worker: the UI thread takes the result; the posted call also wakes its loop.
        QMetaObject::invokeMethod(
            context, [this, scan] { ScanEnded(scan); }, Qt::QueuedConnection);
    });
}

void TSaneSource::CancelPressed()
{
    FCloseRequested = true;
    FScanner->Cancel();
}

void TSaneSource::ScanEnded(unsigned scan)
{
    // The news of a scan that was already taken (when the source was disabled) is stale.
    if (scan != FScanNumber || !FScanner->Scanning())
        return;
    SANE_Status status;
    TW_HANDLE picture = FScanner->TakeResult(status);
    if (picture && FState == 5 && !FCloseRequested) {
        FPicture = picture;
        return;
    }
    GlobalFree(picture);
    if (!FDialog || FCloseRequested)
        return;
    if (status == SANE_STATUS_CANCELLED || status == SANE_STATUS_GOOD)
        FDialog->SetScanning(false);
    else
        FDialog->ShowError(QString::fromUtf8("Scanning failed: ") + QString::fromStdString(SaneStatusText(status)));
}

} // namespace vantorel
