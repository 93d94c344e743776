#pragma once

// An open data source over one SANE device: the TWAIN source states 4 to 7, the pixel-type
// capability, its own dialog while it is enabled, and the native transfer of each scan.

#include <memory>

#include <QObject>

#include "SaneScanner.h"
#include "SaneSourceDialog.h"
#include "SaneSources.h"
#include "TwainTypes.h"

namespace vantorel {

class TSaneSource {
public:
    TSaneSource(TSaneDevice device, std::unique_ptr<TSaneScanner> scanner, TW_UINT32 id);
    // Whatever the state: the dialog goes, a running scan is cancelled and waited for, a picture
    // not transferred is freed, and no news of the worker is left to be delivered.
    ~TSaneSource();
    TSaneSource(const TSaneSource &) = delete;
    TSaneSource &operator=(const TSaneSource &) = delete;

    TW_UINT32 Id() const { return FId; }
    const TSaneDevice &Device() const { return FDevice; }
    int State() const { return FState; }

    // A triplet addressed to the source. A failure leaves its condition code for DAT_STATUS.
    TW_UINT16 Entry(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

    // Cancels a running scan and waits for its worker; touches no Qt object.
    void StopScan();

    // The dialog while the source is enabled (tests look at it), else nullptr.
    TSaneSourceDialog *Dialog() const { return FDialog.get(); }

private:
    TW_UINT16 Fail(TW_UINT16 condition);
    TW_UINT16 Capability(TW_UINT16 msg, TW_CAPABILITY &capability);
    TW_UINT16 SetPixelType(const TW_CAPABILITY &capability);
    TW_UINT16 UserInterface(TW_UINT16 msg, const TW_USERINTERFACE &ui);
    TW_UINT16 ProcessEvent(TW_EVENT &event);
    // handle: where the DIB's handle goes, a handle-sized variable of any alignment.
    TW_UINT16 NativeTransfer(void *handle);
    TW_UINT16 PendingTransfers(TW_UINT16 msg, TW_PENDINGXFERS &pending);
    void Disable();
    void Scan();
    void CancelPressed();
    void ScanEnded(unsigned scan);

    TSaneDevice FDevice;
    std::unique_ptr<TSaneScanner> FScanner;
    TW_UINT32 FId;
    int FState = 4;
    TW_UINT16 FCondition = TWCC_SUCCESS;
    TW_UINT16 FDefaultPixelType;
    std::unique_ptr<TSaneSourceDialog> FDialog;
    // Receives the worker's news on the UI thread; deleting it drops news not yet delivered.
    std::unique_ptr<QObject> FContext;
    TW_HANDLE FPicture = nullptr; // the finished scan until it is transferred
    bool FCloseRequested = false;
    unsigned FScanNumber = 0; // tells the news of one scan from that of an earlier one
};

} // namespace vantorel
