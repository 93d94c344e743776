// The helper program that alone loads libsane for the source manager. It serves one manager over
// the socket it gets as descriptor 3 (SaneChannel.h) and ends when that socket closes or the
// manager's process ends, so that whatever a driver does (hang, crash, change a signal's
// disposition) stays in here.
#include <algorithm>
#include <string>
#include <vector>

#include <poll.h>
#include <unistd.h>

#include "SaneChannel.h"
#include "SaneHelperStart.h"
#include "SaneOptions.h"

using namespace vantorel;

namespace {

constexpr int Socket = SaneHelperSocket;
constexpr SANE_Int ReadChunk = 64 * 1024;

SANE_Handle GHandle = nullptr;
bool GInitialised = false;

[[noreturn]] void Quit()
{
    if (GHandle) {
        sane_cancel(GHandle);
        sane_close(GHandle);
    }
    if (GInitialised)
        sane_exit();
    // No exit handlers: some backends' would run after their code was unloaded.
    ::_exit(0);
}

void Send(const TSaneMessage &message)
{
    if (!SendSaneMessage(Socket, message, -1))
        Quit(); // the manager is gone
}

TSaneMessage &PutPixelTypes(TSaneMessage &reply)
{
    std::vector<TW_UINT16> types;
    TW_UINT16 type = TWPT_RGB;
    ReadPixelTypes(GHandle, types, type);
    reply.Put(static_cast<std::int32_t>(types.size()));
    for (TW_UINT16 each : types)
        reply.Put(std::int32_t{each});
    return reply.Put(std::int32_t{type});
}

void ListDevices()
{
    TSaneMessage reply(TSaneCall::Devices);
    const SANE_Device **list = nullptr;
    const SANE_Status status = sane_get_devices(&list, SANE_FALSE);
    std::vector<const SANE_Device *> devices;
    for (; status == SANE_STATUS_GOOD && list && *list; ++list)
        devices.push_back(*list);
    reply.Put(std::int32_t{status}).Put(static_cast<std::int32_t>(devices.size()));
    auto text = [](SANE_String_Const s) { return std::string(s ? s : ""); };
    for (const SANE_Device *device : devices)
        reply.Put(text(device->name)).Put(text(device->vendor)).Put(text(device->model)).Put(text(device->type));
    Send(reply);
}

void Open(TSaneMessage &request)
{
    std::string name;
    request.Get(name);
    if (GHandle)
        sane_close(GHandle);
    GHandle = nullptr;
    TSaneMessage reply(TSaneCall::Open);
    const SANE_Status status = sane_open(name.c_str(), &GHandle);
    reply.Put(std::int32_t{status});
    if (status != SANE_STATUS_GOOD)
        GHandle = nullptr;
    else
        PutPixelTypes(reply);
    Send(reply);
}

void SetPixelType(TSaneMessage &request)
{
    std::int32_t type = 0;
    request.Get(type);
    TSaneMessage reply(TSaneCall::SetPixelType);
    if (!GHandle) {
        Send(reply.Put(std::int32_t{SANE_STATUS_INVAL}));
        return;
    }
    // Also a refused change may have changed some of the settings: the types are read again.
    reply.Put(std::int32_t{ChoosePixelType(GHandle, static_cast<TW_UINT16>(type))});
    Send(PutPixelTypes(reply));
}

// Whether the manager asked to cancel since the last look; ends the program when it is gone.
bool CancelAsked()
{
    bool asked = false;
    pollfd poller{Socket, POLLIN, 0};
    while (::poll(&poller, 1, 0) > 0) {
        TSaneMessage message;
        if (ReceiveSaneMessage(Socket, message, 0) != TSaneReceive::Done)
            Quit();
        asked = asked || message.Kind() == TSaneCall::Cancel;
    }
    return asked;
}

void Scan()
{
    if (!GHandle) {
        Send(TSaneMessage(TSaneCall::End).Put(std::int32_t{SANE_STATUS_INVAL}).Put(0.0));
        Send(TSaneMessage(TSaneCall::Idle));
        return;
    }
    // Options are read before the scan starts: SANE takes no such call while it runs.
    const double dotsPerInch = Resolution(GHandle);
    bool cancelled = false;
    TSaneMessage data(TSaneCall::Data);
    SANE_Status status = sane_start(GHandle);
    while (status == SANE_STATUS_GOOD) {
        SANE_Parameters parameters{};
        status = sane_get_parameters(GHandle, &parameters);
        if (status == SANE_STATUS_GOOD) {
            TSaneMessage frame(TSaneCall::Frame);
            Send(PutParameters(frame, parameters));
        }
        while (status == SANE_STATUS_GOOD) {
            if (!cancelled && CancelAsked()) {
                cancelled = true;
                sane_cancel(GHandle);
            }
            data.Reset(1 + ReadChunk);
            SANE_Int length = 0;
            const SANE_Status read = sane_read(GHandle, data.Data() + 1, ReadChunk, &length);
            if (read == SANE_STATUS_EOF)
                break;
            if (cancelled)
                status = SANE_STATUS_CANCELLED;
            else if (read != SANE_STATUS_GOOD)
                status = read;
            else if (length > 0) {
                data.Reset(1 + static_cast<std::size_t>(std::min(length, ReadChunk)));
                Send(data);
            }
        }
        // The next band of a three-pass scan is started like the first.
        if (status != SANE_STATUS_GOOD || parameters.last_frame)
            break;
        status = sane_start(GHandle);
    }
    if (cancelled || CancelAsked())
        status = SANE_STATUS_CANCELLED;
    // The picture is whole before the device ends the scan: some drivers hang in that.
    Send(TSaneMessage(TSaneCall::End).Put(std::int32_t{status}).Put(dotsPerInch));
    // Every scan ends with sane_cancel, a completed one too.
    sane_cancel(GHandle);
    Send(TSaneMessage(TSaneCall::Idle));
}

} // namespace

int main(int argc, char **argv)
{
    if (!BeginHelper(argc, argv))
        return 1;
    for (;;) {
        TSaneMessage request;
        if (ReceiveSaneMessage(Socket, request, -1) != TSaneReceive::Done)
            Quit();
        switch (request.Kind()) {
        case TSaneCall::Init: {
            SANE_Int version = 0;
            const SANE_Status status = GInitialised ? SANE_STATUS_GOOD : sane_init(&version, nullptr);
            GInitialised = status == SANE_STATUS_GOOD;
            Send(TSaneMessage(TSaneCall::Init).Put(std::int32_t{status}));
            break;
        }
        case TSaneCall::Devices:
            ListDevices();
            break;
        case TSaneCall::Open:
            Open(request);
            break;
        case TSaneCall::SetPixelType:
            SetPixelType(request);
            break;
        case TSaneCall::Close:
            if (GHandle)
                sane_close(GHandle);
            GHandle = nullptr;
            Send(TSaneMessage(TSaneCall::Close).Put(std::int32_t{SANE_STATUS_GOOD}));
            break;
        case TSaneCall::Scan:
            Scan();
            break;
        default:
            break; // a Cancel that came after its scan ended
        }
    }
}
