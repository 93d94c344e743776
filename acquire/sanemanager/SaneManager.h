#pragma once

// The source manager over SANE: opened by MSG_OPENDSM (which starts the helper program and SANE
// in it) and closed by MSG_CLOSEDSM (which ends the helper), it lists the SANE devices as data sources, keeps the
// default one between runs, opens one source at a time and routes every triplet with a destination to it. The library's
// DSM_Entry drives one manager per process; nothing is started before MSG_OPENDSM.

#include <memory>
#include <vector>

#include <QtGui/qwindowdefs.h>

#include "SaneHelper.h"
#include "SaneSource.h"
#include "SaneSources.h"
#include "TwainTypes.h"

namespace vantorel {

class TSaneManager {
public:
    // Starts the helper; nullptr with SANE's reason in status when it fails.
    static std::unique_ptr<TSaneManager> Open(WId parent, SANE_Status &status);
    // Closes an open source (its dialog, its scan) and ends the helper.
    ~TSaneManager();
    TSaneManager(const TSaneManager &) = delete;
    TSaneManager &operator=(const TSaneManager &) = delete;

    // A triplet to the manager itself (no destination), and one to a source.
    TW_UINT16 ManagerEntry(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data, TW_UINT16 &condition);
    TW_UINT16 SourceEntry(const TW_IDENTITY &dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data,
                          TW_UINT16 &condition);

    // For the last resort at unloading, off the UI thread or without an application object:
    // ends a running scan and the helper, and leaves every Qt object alone.
    void Abandon();

private:
    TSaneManager(WId parent, std::shared_ptr<TSaneHelper> helper) : FParent(parent), FHelper(std::move(helper)) {}
    // The helper, a new one when the last one is gone; nullptr with the reason in status.
    std::shared_ptr<TSaneHelper> Helper();
    const std::vector<TSaneDevice> &Devices(bool refresh);
    int DefaultIndex();
    TW_UINT16 OpenSource(TW_IDENTITY &identity, TW_UINT16 &condition);

    WId FParent;
    std::shared_ptr<TSaneHelper> FHelper;
    bool FDevicesRead = false;
    std::vector<TSaneDevice> FDevices;
    std::unique_ptr<TSaneSource> FSource;
    TW_UINT32 FNextId = 2; // 1 is the application's
};

} // namespace vantorel
