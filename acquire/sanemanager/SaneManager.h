#pragma once

// The source manager over SANE: opened by MSG_OPENDSM (sane_init) and closed by MSG_CLOSEDSM
// (sane_exit), it lists the SANE devices as data sources, keeps the default one between runs,
// opens one source at a time and routes every triplet with a destination to it. The library's
// DSM_Entry drives one manager per process; nothing is started before MSG_OPENDSM.

#include <memory>
#include <vector>

#include <QtGui/qwindowdefs.h>

#include "SaneSource.h"
#include "SaneSources.h"
#include "TwainTypes.h"

namespace vantorel {

class TSaneManager {
public:
    // sane_init; nullptr with SANE's reason in status when it fails.
    static std::unique_ptr<TSaneManager> Open(WId parent, SANE_Status &status);
    // Closes an open source (its dialog, its scan) and ends SANE.
    ~TSaneManager();
    TSaneManager(const TSaneManager &) = delete;
    TSaneManager &operator=(const TSaneManager &) = delete;

    // A triplet to the manager itself (no destination), and one to a source.
    TW_UINT16 ManagerEntry(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data, TW_UINT16 &condition);
    TW_UINT16 SourceEntry(const TW_IDENTITY &dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data,
                          TW_UINT16 &condition);

    // For the last resort at unloading, off the UI thread or without an application object:
    // ends a running scan and SANE, and leaves every Qt object alone.
    void Abandon();

private:
    explicit TSaneManager(WId parent) : FParent(parent) {}
    const std::vector<TSaneDevice> &Devices(bool refresh);
    int DefaultIndex();
    TW_UINT16 OpenSource(TW_IDENTITY &identity, TW_UINT16 &condition);

    WId FParent;
    bool FDevicesRead = false;
    std::vector<TSaneDevice> FDevices;
    std::unique_ptr<TSaneSource> FSource;
    TW_UINT32 FNextId = 2; // 1 is the application's
    bool FSaneOpen = true;
};

} // namespace vantorel
