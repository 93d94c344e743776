#include "SaneManager.h"

#include <chrono>
#include <cstring>

#include <QCoreApplication>
#include <QThread>

#include "SaneSelectDialog.h"

namespace vantorel {

namespace {

void CopyText(char *target, const std::string &text)
{
    const std::string cut = CutText(text, MaxIdentityText);
    std::memset(target, 0, MaxIdentityText + 2);
    std::memcpy(target, cut.data(), cut.size());
}

void FillIdentity(TW_IDENTITY &identity, const TSaneDevice &device, TW_UINT32 id)
{
    std::memset(&identity, 0, sizeof identity);
    identity.Id = id;
    identity.Version.MajorNum = 1;
    identity.Version.MinorNum = 0;
    identity.Version.Language = TWLG_USA;
    identity.Version.Country = TWCY_USA;
    CopyText(identity.Version.Info, "SANE");
    identity.ProtocolMajor = 1;
    identity.ProtocolMinor = 6;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    CopyText(identity.Manufacturer, device.Vendor);
    CopyText(identity.ProductFamily, device.Type);
    CopyText(identity.ProductName, device.ProductName);
}

// The one manager of the process, between MSG_OPENDSM and MSG_CLOSEDSM, and the manager's
// condition code. Plain data: nothing is built when the library is loaded.
TSaneManager *GManager = nullptr;
TW_UINT16 GCondition = TWCC_SUCCESS;

TW_UINT16 Fail(TW_UINT16 condition)
{
    GCondition = condition;
    return TWRC_FAILURE;
}

// The application may unload the library without closing the manager (it gives up on a manager
// that refuses to close): nothing of ours may run after that.
__attribute__((destructor)) void UnloadManager()
{
    if (!GManager)
        return;
    QCoreApplication *application = QCoreApplication::instance();
    if (application && QThread::currentThread() == application->thread())
        delete GManager;
    else
        GManager->Abandon();
    GManager = nullptr;
}

} // namespace

std::unique_ptr<TSaneManager> TSaneManager::Open(WId parent, SANE_Status &status)
{
    std::shared_ptr<TSaneHelper> helper = TSaneHelper::Start(status);
    if (!helper)
        return nullptr;
    return std::unique_ptr<TSaneManager>(new TSaneManager(parent, std::move(helper)));
}

TSaneManager::~TSaneManager() { FSource.reset(); }

void TSaneManager::Abandon()
{
    if (FSource) {
        FSource->StopScan();
        (void)FSource.release(); // its Qt objects cannot be deleted from here
    }
    if (FHelper)
        FHelper->Kill();
    FHelper.reset();
}

std::shared_ptr<TSaneHelper> TSaneManager::Helper()
{
    SANE_Status status;
    if (!FHelper || !FHelper->Alive())
        FHelper = TSaneHelper::Start(status);
    return FHelper;
}

const std::vector<TSaneDevice> &TSaneManager::Devices(bool refresh)
{
    if (FDevicesRead && !refresh)
        return FDevices;
    FDevicesRead = true;
    FDevices.clear();
    // A helper's start has a time limit of its own: the listing's begins once it answers.
    std::shared_ptr<TSaneHelper> helper = Helper();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(DeviceListingMs);
    TSaneMessage reply;
    // A listing that takes too long, naming the devices included, ends the helper and finds no
    // devices.
    std::int32_t listed = SANE_STATUS_IO_ERROR, count = 0;
    if (helper && helper->Call(TSaneMessage(TSaneCall::Devices), reply, DeviceListingMs) && reply.Get(listed) &&
        listed == SANE_STATUS_GOOD && reply.Get(count)) {
        for (std::int32_t i = 0; i < count; ++i) {
            TSaneDevice device;
            if (!reply.Get(device.Name) || !reply.Get(device.Vendor) || !reply.Get(device.Model) ||
                !reply.Get(device.Type))
                break;
            FDevices.push_back(std::move(device));
        }
    }
    MakeProductNames(FDevices);
    if (std::chrono::steady_clock::now() > deadline) {
        FDevices.clear();
        if (helper)
            helper->Kill();
    }
    return FDevices;
}

int TSaneManager::DefaultIndex()
{
    const std::string stored = ReadDefaultSource();
    for (std::size_t i = 0; i < FDevices.size(); ++i)
        if (FDevices[i].Name == stored)
            return static_cast<int>(i);
    // None stored, or the stored one is gone: the first device.
    return 0;
}

TW_UINT16 TSaneManager::OpenSource(TW_IDENTITY &identity, TW_UINT16 &condition)
{
    if (FSource) {
        condition = TWCC_MAXCONNECTIONS;
        return TWRC_FAILURE;
    }
    const std::vector<TSaneDevice> &devices = Devices(false);
    const std::string wanted(identity.ProductName, strnlen(identity.ProductName, sizeof identity.ProductName));
    int index = -1;
    if (wanted.empty() && !devices.empty()) {
        index = DefaultIndex();
    } else {
        for (std::size_t i = 0; i < devices.size() && index < 0; ++i)
            if (devices[i].ProductName == wanted)
                index = static_cast<int>(i);
    }
    if (index < 0) {
        condition = TWCC_NODS;
        return TWRC_FAILURE;
    }
    SANE_Status status;
    // The manager outlives its sources.
    std::unique_ptr<TSaneScanner> scanner =
        TSaneScanner::Open([this] { return Helper(); }, devices[index].Name, status);
    if (!scanner) {
        condition = ConditionOfSaneStatus(status);
        return TWRC_FAILURE;
    }
    FSource = std::make_unique<TSaneSource>(devices[index], std::move(scanner), FNextId++);
    FillIdentity(identity, FSource->Device(), FSource->Id());
    return TWRC_SUCCESS;
}

TW_UINT16 TSaneManager::ManagerEntry(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data, TW_UINT16 &condition)
{
    if (dat != DAT_IDENTITY) {
        condition = TWCC_BADPROTOCOL;
        return TWRC_FAILURE;
    }
    if (!data) {
        condition = TWCC_BADVALUE;
        return TWRC_FAILURE;
    }
    auto &identity = *static_cast<TW_IDENTITY *>(data);
    switch (msg) {
    case MSG_OPENDS:
        return OpenSource(identity, condition);
    case MSG_CLOSEDS:
        if (!FSource || identity.Id != FSource->Id()) {
            condition = TWCC_BADDEST;
            return TWRC_FAILURE;
        }
        if (FSource->State() != 4) {
            condition = TWCC_SEQERROR;
            return TWRC_FAILURE;
        }
        FSource.reset();
        return TWRC_SUCCESS;
    case MSG_GETDEFAULT: {
        const std::vector<TSaneDevice> &devices = Devices(false);
        if (devices.empty()) {
            condition = TWCC_NODS;
            return TWRC_FAILURE;
        }
        FillIdentity(identity, devices[DefaultIndex()], 0);
        return TWRC_SUCCESS;
    }
    case MSG_USERSELECT: {
        const std::vector<TSaneDevice> &devices = Devices(true);
        int chosen = 0;
        if (!RunSaneSelectDialog(FParent, devices, DefaultIndex(), chosen))
            return TWRC_CANCEL;
        // A choice that cannot be kept still answers this selection.
        WriteDefaultSource(devices[chosen].Name);
        FillIdentity(identity, devices[chosen], 0);
        return TWRC_SUCCESS;
    }
    default:
        condition = TWCC_BADPROTOCOL;
        return TWRC_FAILURE;
    }
}

TW_UINT16 TSaneManager::SourceEntry(const TW_IDENTITY &dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data,
                                    TW_UINT16 &condition)
{
    if (!FSource || dest.Id != FSource->Id()) {
        condition = TWCC_BADDEST;
        return TWRC_FAILURE;
    }
    return FSource->Entry(dg, dat, msg, data);
}

} // namespace vantorel

using namespace vantorel;

extern "C" __attribute__((visibility("default"))) TW_UINT16
DSM_Entry(TW_IDENTITY *origin, TW_IDENTITY *dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    if (!origin)
        return Fail(TWCC_BADVALUE);
    if (dest) {
        if (!GManager)
            return Fail(TWCC_SEQERROR);
        GCondition = TWCC_SUCCESS;
        return GManager->SourceEntry(*dest, dg, dat, msg, data, GCondition);
    }
    if (dg != DG_CONTROL)
        return Fail(TWCC_BADPROTOCOL);
    if (dat == DAT_STATUS && msg == MSG_GET) {
        if (!data)
            return Fail(TWCC_BADVALUE);
        auto *status = static_cast<TW_STATUS *>(data);
        status->ConditionCode = GCondition;
        status->Reserved = 0;
        GCondition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    GCondition = TWCC_SUCCESS;
    if (dat == DAT_PARENT && msg == MSG_OPENDSM) {
        // A second open is out of sequence and changes nothing.
        if (GManager)
            return Fail(TWCC_SEQERROR);
        if (!data)
            return Fail(TWCC_BADVALUE);
        TW_HANDLE parent;
        std::memcpy(&parent, data, sizeof parent);
        SANE_Status status;
        std::unique_ptr<TSaneManager> manager = TSaneManager::Open(reinterpret_cast<WId>(parent), status);
        if (!manager)
            return Fail(ConditionOfSaneStatus(status));
        GManager = manager.release();
        origin->Id = 1;
        return TWRC_SUCCESS;
    }
    if (dat == DAT_PARENT && msg == MSG_CLOSEDSM) {
        if (!GManager)
            return Fail(TWCC_SEQERROR);
        // Whatever is still open closes with the manager, so nothing of it outlives the library.
        delete GManager;
        GManager = nullptr;
        return TWRC_SUCCESS;
    }
    if (!GManager)
        return Fail(TWCC_SEQERROR);
    return GManager->ManagerEntry(dat, msg, data, GCondition);
}
