#include "MultiTWAIN.h"

#include <algorithm>
#include <iterator>
#include <set>

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include "TwainMemory.h"

namespace vantorel {

using twain_detail::GState;

namespace {

// A source whose transfers keep failing is given up after this many attempts in a row.
constexpr int MaxFailedAttempts = 3;
constexpr std::uint32_t CallbackArmed = 0xF0F0F;

TW_HANDLE GCurrentDib = nullptr;
TW_HANDLE GImages[TWAIN_MaxImages] = {};
std::int32_t GImageCount = 0;
TTwainImageCallback GCallback;
std::uint32_t GCallbackMarker = 0;
TW_PENDINGXFERS GPending{};
int GFailedAttempts = 0;
bool GLoopEnd = false;

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

} // namespace

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
    std::int32_t result = TWAIN_GetResultCode() == TWRC_DSEVENT;
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
        TW_UINT16 rc = TWAIN_GetResultCode();
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
    TW_UINT16 rc = TWAIN_GetResultCode();
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

} // namespace vantorel
