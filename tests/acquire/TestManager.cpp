// The scripted source manager: answers DSM_Entry from the test process's script and records
// every triplet it receives.

#include <algorithm>
#include <cstring>

#include "TestManager.h"
#include "TwainMemory.h"

using namespace vantorel;
using vantorel::test::TManagerScript;

namespace {

TW_UINT16 Manager(TManagerScript &script, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    switch (dat) {
    case DAT_PARENT:
        if (msg == MSG_OPENDSM) {
            script.Parent = *static_cast<TW_HANDLE *>(data);
            return script.OpenDSMResult;
        }
        return msg == MSG_CLOSEDSM ? script.CloseDSMResult : TWRC_FAILURE;
    case DAT_IDENTITY: {
        auto *identity = static_cast<TW_IDENTITY *>(data);
        if (msg == MSG_OPENDS) {
            script.OpenDSId = identity->Id;
            script.OpenDSName.assign(identity->ProductName, strnlen(identity->ProductName, 34));
            if (script.OpenDSResult == TWRC_SUCCESS) {
                identity->Id = 2;
                std::strncpy(identity->ProductName, script.SourceName.c_str(), 33);
            }
            return script.OpenDSResult;
        }
        if (msg == MSG_USERSELECT) {
            if (script.UserSelectResult == TWRC_SUCCESS)
                std::strncpy(identity->ProductName, script.SourceName.c_str(), 33);
            return script.UserSelectResult;
        }
        return msg == MSG_CLOSEDS ? script.CloseDSResult : TWRC_FAILURE;
    }
    case DAT_STATUS:
        static_cast<TW_STATUS *>(data)->ConditionCode = script.ConditionCode;
        return script.StatusResult;
    default:
        return TWRC_FAILURE;
    }
}

TW_HANDLE MakeContainer(const TManagerScript &script)
{
    std::size_t itemSize = script.ItemType == TWTY_UINT32 ? 4 : 2;
    std::size_t header = script.ConType == TWON_ENUMERATION ? 14 : script.ConType == TWON_ARRAY ? 6 : 0;
    std::size_t size = script.ConType == TWON_ONEVALUE ? sizeof(TW_ONEVALUE)
                       : script.ConType == TWON_RANGE  ? sizeof(TW_RANGE)
                                                       : header + script.PixelTypes.size() * itemSize;
    std::size_t natural = size;
    if (script.ContainerSize)
        size = script.ContainerSize;
    TW_HANDLE block = GlobalAlloc(std::max(size, natural));
    auto *data = static_cast<std::uint8_t *>(GlobalLock(block));
    TW_UINT32 count = script.DeclaredItems ? script.DeclaredItems : static_cast<TW_UINT32>(script.PixelTypes.size());
    std::memcpy(data, &script.ItemType, 2);
    if (script.ConType == TWON_ONEVALUE) {
        TW_UINT32 item = script.PixelTypes.empty() ? 0 : script.PixelTypes.front();
        std::memcpy(data + 2, &item, 4);
    } else if (header) {
        std::memcpy(data + 2, &count, 4);
        for (std::size_t i = 0; i < script.PixelTypes.size(); ++i)
            std::memcpy(data + header + i * itemSize, &script.PixelTypes[i], itemSize);
    }
    if (size == natural)
        return block;
    // A block smaller than its content: the same bytes in a block of the scripted size.
    TW_HANDLE small = GlobalAlloc(size);
    std::memcpy(GlobalLock(small), data, size);
    GlobalFree(block);
    return small;
}

TW_UINT16 Source(TManagerScript &script, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    if (dg == DG_IMAGE) {
        if (dat != DAT_IMAGENATIVEXFER || msg != MSG_GET || script.Transfers.empty())
            return TWRC_FAILURE;
        vantorel::test::TScriptedTransfer transfer = std::move(script.Transfers.front());
        script.Transfers.pop_front();
        TW_HANDLE dib = nullptr;
        if (!transfer.Dib.empty()) {
            dib = GlobalAlloc(transfer.Dib.size());
            std::memcpy(GlobalLock(dib), transfer.Dib.data(), transfer.Dib.size());
            ++script.DibsMade;
        }
        *static_cast<TW_HANDLE *>(data) = dib;
        script.PendingCount = transfer.PendingAfter;
        return transfer.ReturnCode;
    }
    switch (dat) {
    case DAT_USERINTERFACE:
        if (msg == MSG_ENABLEDS) {
            script.UI = *static_cast<TW_USERINTERFACE *>(data);
            return script.EnableResult;
        }
        return msg == MSG_DISABLEDS ? script.DisableResult : TWRC_FAILURE;
    case DAT_CAPABILITY: {
        auto *capability = static_cast<TW_CAPABILITY *>(data);
        if (msg == MSG_GET || msg == MSG_GETCURRENT) {
            script.CapGetPreset = capability->ConType;
            if (script.CapGetResult != TWRC_SUCCESS)
                return script.CapGetResult;
            capability->ConType = script.ConType;
            capability->hContainer = script.NoContainer ? nullptr : MakeContainer(script);
            return TWRC_SUCCESS;
        }
        if (msg == MSG_SET) {
            script.SetConType = capability->ConType;
            const auto *list = static_cast<const std::uint8_t *>(GlobalLock(capability->hContainer));
            TW_UINT32 count = 1;
            std::size_t header = 2; // a one-value container: its item follows the item type
            if (capability->ConType != TWON_ONEVALUE) {
                std::memcpy(&count, list + 2, 4);
                header = capability->ConType == TWON_ENUMERATION ? 14 : 6;
            }
            if (capability->ConType == TWON_ENUMERATION) {
                std::memcpy(&script.SetCurrentIndex, list + 6, 4);
                std::memcpy(&script.SetDefaultIndex, list + 10, 4);
            }
            script.SetItems.resize(count);
            std::memcpy(script.SetItems.data(), list + header, count * 2);
            return script.CapSetResult;
        }
        return TWRC_FAILURE;
    }
    case DAT_EVENT: {
        auto *event = static_cast<TW_EVENT *>(data);
        script.EventsHadRecord = script.EventsHadRecord || event->pEvent != nullptr;
        if (script.Events.empty()) {
            event->TWMessage = script.WhenNoEvents;
        } else {
            event->TWMessage = script.Events.front();
            script.Events.pop_front();
        }
        return script.EventResult;
    }
    case DAT_PENDINGXFERS: {
        auto *pending = static_cast<TW_PENDINGXFERS *>(data);
        if (msg == MSG_ENDXFER) {
            pending->Count = script.PendingCount;
            return script.EndXferResult;
        }
        if (msg == MSG_RESET) {
            pending->Count = 0;
            return script.ResetResult;
        }
        return TWRC_FAILURE;
    }
    case DAT_STATUS:
        static_cast<TW_STATUS *>(data)->ConditionCode = script.ConditionCode;
        return script.StatusResult;
    default:
        return TWRC_FAILURE;
    }
}

} // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16
DSM_Entry(TW_IDENTITY *origin, TW_IDENTITY *dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    TManagerScript *script = VantorelTestManagerScript();
    if (!script || !origin)
        return TWRC_FAILURE;
    script->Calls.push_back({dg, dat, msg, dest != nullptr});
    return dest ? Source(*script, dg, dat, msg, data) : Manager(*script, dat, msg, data);
}
