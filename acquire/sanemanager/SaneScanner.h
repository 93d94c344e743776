#pragma once

// One open SANE device: the pixel types its scan modes offer, and scans run on a worker thread
// that assemble the frames into a DIB (SaneDib.h).

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sane/sane.h>

#include "TwainTypes.h"

namespace vantorel {

class TSaneScanner {
public:
    // Opens the device; nullptr with SANE's reason in status when it cannot be opened.
    static std::unique_ptr<TSaneScanner> Open(const std::string &deviceName, SANE_Status &status);
    // Cancels a running scan, waits for its worker and closes the device.
    ~TSaneScanner();
    TSaneScanner(const TSaneScanner &) = delete;
    TSaneScanner &operator=(const TSaneScanner &) = delete;

    // The pixel types (TWPT_BW, TWPT_GRAY, TWPT_RGB) the device can scan, ascending, and the one
    // its current settings give. A device without a scan mode option offers the type of its
    // current frames only. Both are read when the device opens and after every change, so asking
    // for them never calls SANE while a scan runs.
    const std::vector<TW_UINT16> &PixelTypes() const { return FTypes; }
    TW_UINT16 PixelType() const { return FType; }
    // Chooses the scan mode (and the depth: one bit for black and white through a grey mode, at
    // least eight otherwise) for an offered type; SANE_STATUS_INVAL for a type not offered.
    SANE_Status SetPixelType(TW_UINT16 type);

    // Starts a scan on a worker thread; ended runs on that thread once the scan is over, unless
    // it was cancelled meanwhile. Only one scan at a time: the previous one must have been taken.
    void StartScan(std::function<void()> ended);
    bool Scanning() const { return FWorker.joinable(); }
    // Asks SANE to stop the running scan as soon as it can; safe at any time.
    void Cancel();
    // Waits for the worker and hands over the scan's DIB (the caller frees it) or nullptr with the
    // reason in status. SANE_STATUS_CANCELLED after Cancel.
    TW_HANDLE TakeResult(SANE_Status &status);

private:
    explicit TSaneScanner(SANE_Handle handle) : FHandle(handle) {}
    void ReadPixelTypes();
    SANE_Status ChoosePixelType(TW_UINT16 type);
    void Run(double dotsPerInch, std::function<void()> ended);
    double Resolution();

    SANE_Handle FHandle;
    std::vector<TW_UINT16> FTypes;
    TW_UINT16 FType = TWPT_RGB;
    std::thread FWorker;
    std::atomic<bool> FCancelled{false};
    std::mutex FMutex; // guards the result between the worker and the UI thread
    TW_HANDLE FResult = nullptr;
    SANE_Status FStatus = SANE_STATUS_GOOD;
};

} // namespace vantorel
