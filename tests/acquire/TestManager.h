#pragma once

// The scripted source manager of the acquisition tests. The manager library (TestManager.cpp,
// installed as "TWAIN_32.DLL" in a test's Windows folder) holds no state of its own: it finds the
// script of the test process through the exported VantorelTestManagerScript, so it can be
// loaded and unloaded by the wrapper as often as it likes.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "TwainTypes.h"

namespace vantorel::test {

// What one DG_IMAGE / DAT_IMAGENATIVEXFER / MSG_GET hands back.
struct TScriptedTransfer {
    TW_UINT16 ReturnCode = TWRC_XFERDONE;
    std::vector<std::uint8_t> Dib; // the block's data; empty gives no handle
    TW_UINT16 PendingAfter = 0;    // the Count of the MSG_ENDXFER that follows
};

struct TTriplet {
    TW_UINT32 DG = 0;
    TW_UINT16 DAT = 0;
    TW_UINT16 MSG = 0;
    bool ToSource = false;
    bool operator==(const TTriplet &) const = default;
};

struct TManagerScript {
    // Answers of the manager.
    TW_UINT16 OpenDSMResult = TWRC_SUCCESS;
    TW_UINT16 CloseDSMResult = TWRC_SUCCESS;
    TW_UINT16 OpenDSResult = TWRC_SUCCESS;
    TW_UINT16 CloseDSResult = TWRC_SUCCESS;
    TW_UINT16 UserSelectResult = TWRC_SUCCESS;
    std::string SourceName = "Scripted Source";
    TW_UINT16 StatusResult = TWRC_SUCCESS;
    TW_UINT16 ConditionCode = TWCC_SUCCESS;

    // Answers of the source.
    TW_UINT16 EnableResult = TWRC_SUCCESS;
    TW_UINT16 DisableResult = TWRC_SUCCESS;
    TW_UINT16 CapGetResult = TWRC_SUCCESS;
    TW_UINT16 CapSetResult = TWRC_SUCCESS;
    // The ICAP_PIXELTYPE container: its type, item type and items (one for TWON_ONEVALUE).
    TW_UINT16 ConType = TWON_ENUMERATION;
    TW_UINT16 ItemType = TWTY_UINT16;
    std::vector<TW_UINT32> PixelTypes = {TWPT_BW, TWPT_GRAY, TWPT_RGB};
    bool NoContainer = false;
    std::size_t ContainerSize = 0; // 0: the size the items need
    TW_UINT32 DeclaredItems = 0;   // 0: the number of items given
    // The TWMessage left by each MSG_PROCESSEVENT in turn; then WhenNoEvents.
    std::deque<TW_UINT16> Events = {MSG_XFERREADY};
    TW_UINT16 WhenNoEvents = MSG_CLOSEDSREQ;
    TW_UINT16 EventResult = TWRC_NOTDSEVENT;
    std::deque<TScriptedTransfer> Transfers; // none left: TWRC_FAILURE
    TW_UINT16 EndXferResult = TWRC_SUCCESS;
    TW_UINT16 ResetResult = TWRC_SUCCESS;
    TW_UINT16 PendingCount = 0; // what the next MSG_ENDXFER reports

    // What the manager received.
    std::vector<TTriplet> Calls;
    TW_HANDLE Parent = nullptr;  // at MSG_OPENDSM
    TW_UINT32 OpenDSId = 0xDEAD; // the identity handed to MSG_OPENDS
    std::string OpenDSName = "unset";
    TW_USERINTERFACE UI{};      // at MSG_ENABLEDS
    TW_UINT16 CapGetPreset = 0; // ConType handed to MSG_GET
    TW_UINT16 SetConType = 0;   // the container of MSG_SET
    std::vector<TW_UINT16> SetItems;
    TW_UINT32 SetCurrentIndex = 0;
    TW_UINT32 SetDefaultIndex = 0;
    bool EventsHadRecord = false; // a platform event was ever handed over
    int DibsMade = 0;

    std::size_t Count(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) const
    {
        std::size_t n = 0;
        for (const TTriplet &call : Calls)
            n += call.DG == dg && call.DAT == dat && call.MSG == msg;
        return n;
    }
};

} // namespace vantorel::test

// Defined by the test executable and exported from it.
extern "C" vantorel::test::TManagerScript *VantorelTestManagerScript();
