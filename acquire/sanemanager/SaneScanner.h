#pragma once

// One open SANE device in the helper program: the pixel types its scan modes offer, and scans
// whose news a worker thread reads from the helper and assembles into a DIB (SaneDib.h).

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sane/sane.h>

#include "SaneHelper.h"
#include "TwainTypes.h"

namespace vantorel {

// Gives the manager's running helper, starting one when there is none; nullptr when none starts.
using TStartHelper = std::function<std::shared_ptr<TSaneHelper>()>;

class TSaneScanner {
public:
    // Opens the device in the helper; nullptr with SANE's reason in status when it cannot be
    // opened. Should that helper end, the device is opened again in a new one for the next
    // request, with the pixel type it had.
    static std::unique_ptr<TSaneScanner> Open(TStartHelper startHelper, const std::string &deviceName,
                                              SANE_Status &status);
    // Cancels a running scan, waits for its worker and closes the device.
    ~TSaneScanner();
    TSaneScanner(const TSaneScanner &) = delete;
    TSaneScanner &operator=(const TSaneScanner &) = delete;

    // The pixel types (TWPT_BW, TWPT_GRAY, TWPT_RGB) the device can scan, ascending, and the one
    // its current settings give. Both are told when the device opens and after every change, so
    // asking for them never waits for the helper.
    const std::vector<TW_UINT16> &PixelTypes() const { return FTypes; }
    TW_UINT16 PixelType() const { return FType; }
    // Chooses the scan mode (and the depth) for an offered type; SANE_STATUS_INVAL for a type not
    // offered.
    SANE_Status SetPixelType(TW_UINT16 type);

    // Starts a scan on a worker thread; ended runs on that thread once the scan is over, unless
    // it was cancelled meanwhile. Only one scan at a time: the previous one must have been taken.
    void StartScan(std::function<void()> ended);
    bool Scanning() const { return FWorker.joinable(); }
    // Asks the helper to stop the running scan; one that has not within CancelMs is killed. Safe
    // at any time.
    void Cancel();
    // Waits for the worker and hands over the scan's DIB (the caller frees it) or nullptr with the
    // reason in status. SANE_STATUS_CANCELLED after Cancel; SANE_STATUS_IO_ERROR when the helper
    // ended or stopped answering.
    TW_HANDLE TakeResult(SANE_Status &status);

private:
    TSaneScanner(TStartHelper startHelper, std::string deviceName)
        : FStartHelper(std::move(startHelper)), FDeviceName(std::move(deviceName))
    {
    }
    SANE_Status OpenDevice();
    // Whether the device is open in a running helper, opening it again when its helper is gone.
    bool Ready();
    SANE_Status RequestPixelType(TW_UINT16 type);
    // Reads the status and the pixel types of a reply to Open or SetPixelType.
    SANE_Status ReadReply(TSaneMessage &reply);
    // asked: whether the helper took the request to scan.
    void Run(bool asked, std::function<void()> ended);
    SANE_Status ReadScan(double &dotsPerInch, TW_HANDLE &dib);

    TStartHelper FStartHelper;
    std::string FDeviceName;
    std::shared_ptr<TSaneHelper> FHelper;
    std::vector<TW_UINT16> FTypes;
    TW_UINT16 FType = TWPT_RGB;
    std::thread FWorker;
    std::atomic<bool> FCancelled{false};
    std::mutex FMutex; // guards the result between the worker and the UI thread
    TW_HANDLE FResult = nullptr;
    SANE_Status FStatus = SANE_STATUS_GOOD;
};

} // namespace vantorel
