#include "SaneScanner.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "SaneDib.h"
#include "TwainMemory.h"

namespace vantorel {

namespace {

using TClock = std::chrono::steady_clock;

// How often the worker looks whether its scan was cancelled while no news comes.
constexpr int CancelCheckMs = 100;

} // namespace

std::unique_ptr<TSaneScanner> TSaneScanner::Open(TStartHelper startHelper, const std::string &deviceName,
                                                 SANE_Status &status)
{
    std::unique_ptr<TSaneScanner> scanner(new TSaneScanner(std::move(startHelper), deviceName));
    status = scanner->OpenDevice();
    return status == SANE_STATUS_GOOD ? std::move(scanner) : nullptr;
}

SANE_Status TSaneScanner::OpenDevice()
{
    FHelper = FStartHelper();
    TSaneMessage request(TSaneCall::Open), reply;
    request.Put(FDeviceName);
    const SANE_Status status =
        FHelper && FHelper->Call(request, reply, RequestMs) ? ReadReply(reply) : SANE_STATUS_IO_ERROR;
    if (status != SANE_STATUS_GOOD)
        FHelper.reset(); // nothing is open to close
    return status;
}

bool TSaneScanner::Ready()
{
    if (FHelper && FHelper->Alive())
        return true;
    const TW_UINT16 type = FType;
    if (OpenDevice() != SANE_STATUS_GOOD)
        return false;
    if (FType != type && std::find(FTypes.begin(), FTypes.end(), type) != FTypes.end())
        RequestPixelType(type);
    return FHelper != nullptr;
}

TSaneScanner::~TSaneScanner()
{
    if (FWorker.joinable()) {
        Cancel();
        SANE_Status status;
        GlobalFree(TakeResult(status));
    }
    GlobalFree(FResult);
    TSaneMessage reply;
    if (FHelper && FHelper->Alive())
        FHelper->Call(TSaneMessage(TSaneCall::Close), reply, CloseMs);
}

SANE_Status TSaneScanner::ReadReply(TSaneMessage &reply)
{
    std::int32_t told = SANE_STATUS_IO_ERROR, count = 0, type = 0;
    if (!reply.Get(told))
        return SANE_STATUS_IO_ERROR;
    const SANE_Status status = SaneStatusOf(told);
    // A failed open tells no types; a refused change tells them as they now are.
    if (!reply.Get(count))
        return status == SANE_STATUS_GOOD ? SANE_STATUS_IO_ERROR : status;
    auto known = [](std::int32_t each) { return each >= TWPT_BW && each <= TWPT_RGB; };
    std::vector<TW_UINT16> types;
    for (std::int32_t i = 0; i < std::min(count, 3); ++i)
        if (reply.Get(type) && known(type))
            types.push_back(static_cast<TW_UINT16>(type));
    if (types.empty() || !reply.Get(type) || !known(type))
        return SANE_STATUS_IO_ERROR;
    FTypes = std::move(types);
    FType = static_cast<TW_UINT16>(type);
    return status;
}

SANE_Status TSaneScanner::SetPixelType(TW_UINT16 type)
{
    if (std::find(FTypes.begin(), FTypes.end(), type) == FTypes.end())
        return SANE_STATUS_INVAL;
    return Ready() ? RequestPixelType(type) : SANE_STATUS_IO_ERROR;
}

SANE_Status TSaneScanner::RequestPixelType(TW_UINT16 type)
{
    TSaneMessage request(TSaneCall::SetPixelType), reply;
    request.Put(std::int32_t{type});
    if (!FHelper->Call(request, reply, RequestMs))
        return SANE_STATUS_IO_ERROR;
    return ReadReply(reply);
}

void TSaneScanner::StartScan(std::function<void()> ended)
{
    if (FWorker.joinable())
        return;
    FCancelled = false;
    FResult = nullptr;
    FStatus = SANE_STATUS_GOOD;
    // Sent from here, so that no Cancel of this scan can reach the helper before it.
    const bool asked = Ready() && FHelper->Send(TSaneMessage(TSaneCall::Scan), RequestMs);
    FWorker = std::thread([this, asked, ended = std::move(ended)] { Run(asked, ended); });
}

void TSaneScanner::Cancel()
{
    if (!FWorker.joinable() || FCancelled.exchange(true) || !FHelper)
        return;
    // The worker waits for the helper's answer, and kills it when none comes.
    FHelper->Send(TSaneMessage(TSaneCall::Cancel), CancelMs);
}

TW_HANDLE TSaneScanner::TakeResult(SANE_Status &status)
{
    if (FWorker.joinable())
        FWorker.join();
    std::lock_guard lock(FMutex);
    TW_HANDLE result = FResult;
    FResult = nullptr;
    status = FStatus;
    return result;
}

SANE_Status TSaneScanner::ReadScan(double &dotsPerInch, TW_HANDLE &dib)
{
    TSaneDibBuilder builder;
    SANE_Status status = SANE_STATUS_GOOD; // the picture's: the first fault of the frames
    std::optional<SANE_Status> told;       // the helper's, at the end of the scan
    std::optional<TClock::time_point> cancelBy;
    TClock::time_point lastNews = TClock::now();
    bool idle = false;
    TSaneMessage message; // one buffer for all the news
    while (!idle) {
        const TClock::time_point now = TClock::now();
        // Once the scan is told, the device must end it soon: no picture waits for a driver stuck
        // in sane_cancel.
        if (!cancelBy && (told || FCancelled || status != SANE_STATUS_GOOD)) {
            // A picture that cannot be made is not read to its end.
            if (!told && !FCancelled)
                FHelper->Send(TSaneMessage(TSaneCall::Cancel), CancelMs);
            cancelBy = now + std::chrono::milliseconds(CancelMs);
        }
        const TClock::time_point limit = cancelBy ? *cancelBy : lastNews + std::chrono::milliseconds(ScanSilenceMs);
        if (now >= limit)
            break;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(limit - now).count();
        const TSaneReceive received =
            FHelper->Receive(message, static_cast<int>(std::min<long long>(left, CancelCheckMs)));
        if (received == TSaneReceive::TimedOut)
            continue;
        if (received == TSaneReceive::Broken)
            break;
        SANE_Parameters parameters{};
        std::int32_t end = SANE_STATUS_IO_ERROR;
        // After the end of the scan only the helper's idle may come: more of the picture, or another
        // end, is a broken helper's.
        if (told && message.Kind() != TSaneCall::Idle) {
            if (status == SANE_STATUS_GOOD)
                status = SANE_STATUS_IO_ERROR;
            continue;
        }
        switch (message.Kind()) {
        case TSaneCall::Frame:
            if (status == SANE_STATUS_GOOD)
                status = GetParameters(message, parameters);
            if (status == SANE_STATUS_GOOD)
                status = builder.BeginFrame(parameters);
            break;
        case TSaneCall::Data:
            // Only data is progress: other news does not keep a silent scan going.
            lastNews = TClock::now();
            if (status == SANE_STATUS_GOOD)
                status = builder.Add(message.Payload(), message.PayloadSize());
            break;
        case TSaneCall::End:
            message.Get(end);
            message.Get(dotsPerInch);
            told = SaneStatusOf(end);
            break;
        case TSaneCall::Idle:
            idle = true;
            break;
        default:
            break;
        }
    }
    if (!idle) {
        // Gone, or silent past its time: the helper is ended; before the end of the scan, that is
        // a device that failed.
        FHelper->Kill();
    }
    // A scan that never told how it ended came from a broken helper.
    if (!told)
        told = SANE_STATUS_IO_ERROR;
    if (status == SANE_STATUS_GOOD)
        status = *told;
    if (status == SANE_STATUS_GOOD)
        dib = builder.Finish(dotsPerInch, status);
    return status;
}

void TSaneScanner::Run(bool asked, std::function<void()> ended)
{
    double dotsPerInch = 0;
    TW_HANDLE dib = nullptr;
    SANE_Status status = asked ? ReadScan(dotsPerInch, dib) : SANE_STATUS_IO_ERROR;
    if (FCancelled) {
        GlobalFree(dib);
        dib = nullptr;
        status = SANE_STATUS_CANCELLED;
    }
    {
        std::lock_guard lock(FMutex);
        FResult = dib;
        FStatus = status;
    }
    if (!FCancelled && ended)
        ended();
}

} // namespace vantorel
