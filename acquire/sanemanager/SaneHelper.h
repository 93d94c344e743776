#pragma once

// The manager's side of its helper program (helper/SaneHelperMain.cpp), which alone loads libsane:
// started beside this library with one end of a socket pair that no other process holds, in a
// process group of its own, ended when this object goes, and killed when it does not answer in
// time. Whatever the helper forked is killed with its group. A helper that is gone stays gone:
// the manager starts a new one for its next need.

#include <memory>
#include <mutex>
#include <string>

#include <sys/types.h>

#include "SaneChannel.h"

namespace vantorel {

// How long the helper may take: to list the devices (network backends can be slow), for any other
// request, to close a device, to end a scan once asked to cancel it, and to send the next news
// of a scan (a device may warm up for a while).
inline constexpr int DeviceListingMs = 30000;
inline constexpr int RequestMs = 30000;
inline constexpr int CloseMs = 5000;
inline constexpr int CancelMs = 2000;
inline constexpr int ScanSilenceMs = 120000;

class TSaneHelper {
public:
    // Starts the helper and SANE in it; nullptr with the reason in status, and in the log.
    static std::shared_ptr<TSaneHelper> Start(SANE_Status &status);
    // Closes the socket, which ends the helper; one that has not ended soon after is killed, and
    // so is the rest of its group.
    ~TSaneHelper();
    TSaneHelper(const TSaneHelper &) = delete;
    TSaneHelper &operator=(const TSaneHelper &) = delete;

    // One request and its answer, of the request's kind. False, with the helper killed, when it
    // is gone or has not answered within timeoutMs.
    bool Call(const TSaneMessage &request, TSaneMessage &reply, int timeoutMs);
    // The parts of a call, for a scan's news. Send and Kill may come from another thread than
    // Receive. The helper must be started on a thread that lives as long as it: its parent-death
    // signal follows the starting thread. A failed Send kills the helper. Receive goes on with a
    // message begun in an earlier call that timed out, and reads Broken once the helper has
    // ended, also while something it forked keeps its socket open.
    bool Send(const TSaneMessage &message, int timeoutMs);
    TSaneReceive Receive(TSaneMessage &message, int timeoutMs);
    // Ends the helper and its group at once and waits for it; its socket then reads as closed.
    void Kill();
    // Whether the helper still runs; one that ended by itself is reaped with its group here.
    bool Alive();

private:
    TSaneHelper(pid_t pid, int socket) : FPid(pid), FSocket(socket) {}
    // With FMutex held: waits up to withinMs for the helper to end by itself, then kills its
    // group and reaps it.
    void End(int withinMs);
    // How the helper ended, for the log.
    std::string Ending() const;

    std::mutex FMutex;   // guards FPid and FWaitStatus
    std::mutex FSending; // one message on the socket at a time
    pid_t FPid;          // also its process group's
    int FWaitStatus = 0;
    const int FSocket;
    TSaneReceiver FReceiver;
};

} // namespace vantorel
