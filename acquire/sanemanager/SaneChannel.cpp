#include "SaneChannel.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace vantorel {

namespace {

using TClock = std::chrono::steady_clock;

// How long the rest of a message may take once its first byte came.
constexpr int RestOfMessageMs = 5000;

// Waits for the socket to be ready for events until the deadline (none when unset); false when
// the time is up.
bool WaitFor(int socket, short events, const TClock::time_point *deadline)
{
    for (;;) {
        int timeout = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - TClock::now()).count();
            timeout = left > 0 ? static_cast<int>(left) : 0;
        }
        pollfd poller{socket, events, 0};
        const int ready = ::poll(&poller, 1, timeout);
        if (ready > 0)
            return true; // an error or hang-up shows in the call that follows
        if (ready == 0)
            return false;
        if (errno != EINTR)
            return true;
    }
}

} // namespace

TSaneCall TSaneMessage::Kind() const
{
    if (FSize == 0 || FBytes[0] < static_cast<std::uint8_t>(TSaneCall::Init) ||
        FBytes[0] > static_cast<std::uint8_t>(LastSaneCall))
        return TSaneCall{};
    return static_cast<TSaneCall>(FBytes[0]);
}

TSaneMessage &TSaneMessage::Put(const std::string &text)
{
    Put(static_cast<std::int32_t>(text.size()));
    return PutBytes(text.data(), text.size());
}

TSaneMessage &TSaneMessage::PutBytes(const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    FBytes.resize(FSize);
    FBytes.insert(FBytes.end(), bytes, bytes + size);
    FSize = FBytes.size();
    return *this;
}

bool TSaneMessage::Get(std::string &text)
{
    const std::size_t at = FAt;
    std::int32_t size = 0;
    if (!Get(size) || size < 0 || static_cast<std::size_t>(size) > FSize - FAt) {
        FAt = at;
        return false;
    }
    text.assign(reinterpret_cast<const char *>(FBytes.data()) + FAt, static_cast<std::size_t>(size));
    FAt += static_cast<std::size_t>(size);
    return true;
}

bool TSaneMessage::GetBytes(void *data, std::size_t size)
{
    if (FAt > FSize || size > FSize - FAt)
        return false;
    std::memcpy(data, FBytes.data() + FAt, size);
    FAt += size;
    return true;
}

void TSaneMessage::Reset(std::size_t size)
{
    if (FBytes.size() < size)
        FBytes.resize(size);
    FSize = size;
    FAt = 1;
}

bool SendSaneMessage(int socket, const TSaneMessage &message, int timeoutMs)
{
    const std::uint32_t length = static_cast<std::uint32_t>(message.Size());
    const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
    iovec parts[2] = {{const_cast<std::uint32_t *>(&length), sizeof length},
                      {const_cast<std::uint8_t *>(message.Data()), length}};
    iovec *part = parts;
    int count = 2;
    while (count > 0) {
        msghdr header{};
        header.msg_iov = part;
        header.msg_iovlen = static_cast<std::size_t>(count);
        ssize_t sent = ::sendmsg(socket, &header, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (!WaitFor(socket, POLLOUT, timeoutMs < 0 ? nullptr : &deadline))
                    return false;
            } else if (errno != EINTR) {
                return false;
            }
            continue;
        }
        while (count > 0 && static_cast<std::size_t>(sent) >= part->iov_len) {
            sent -= static_cast<ssize_t>(part->iov_len);
            ++part;
            --count;
        }
        if (count > 0) {
            part->iov_base = static_cast<std::uint8_t *>(part->iov_base) + sent;
            part->iov_len -= static_cast<std::size_t>(sent);
        }
    }
    return true;
}

TSaneReceive ReceiveSaneMessage(int socket, TSaneMessage &message, int timeoutMs)
{
    TSaneReceiver receiver;
    TSaneReceive result = receiver.Receive(socket, message, timeoutMs);
    // The first byte may take its time; the rest of the message may not.
    while (result == TSaneReceive::TimedOut && receiver.Begun())
        result = receiver.Receive(socket, message, -1);
    return result;
}

TSaneReceive TSaneReceiver::Broken()
{
    FHave = 0;
    return TSaneReceive::Broken;
}

TSaneReceive TSaneReceiver::Receive(int socket, TSaneMessage &message, int timeoutMs)
{
    using std::chrono::milliseconds;
    const TClock::time_point deadline = TClock::now() + milliseconds(timeoutMs);
    for (;;) {
        const bool lengthWhole = FHave >= sizeof FLength;
        std::uint8_t *at = lengthWhole ? FMessage.Data() + (FHave - sizeof FLength)
                                       : reinterpret_cast<std::uint8_t *>(&FLength) + FHave;
        const std::size_t wanted = lengthWhole ? FLength - (FHave - sizeof FLength) : sizeof FLength - FHave;
        const ssize_t got = ::recv(socket, at, wanted, MSG_DONTWAIT);
        if (got == 0)
            return Broken();
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                return Broken();
            // Once a message has begun, its rest has a limit of its own.
            const bool restLimited = Begun() && (timeoutMs < 0 || FWholeBy < deadline);
            const TClock::time_point limit = restLimited ? FWholeBy : deadline;
            if (!WaitFor(socket, POLLIN, restLimited || timeoutMs >= 0 ? &limit : nullptr))
                return restLimited ? Broken() : TSaneReceive::TimedOut;
            continue;
        }
        if (FHave == 0)
            FWholeBy = TClock::now() + milliseconds(RestOfMessageMs);
        FHave += static_cast<std::size_t>(got);
        if (FHave == sizeof FLength) {
            if (FLength == 0 || FLength > MaxSaneMessage)
                return Broken();
            FMessage.Reset(FLength);
        }
        if (FHave > sizeof FLength && FHave == sizeof FLength + FLength) {
            std::swap(message, FMessage);
            FHave = 0;
            return TSaneReceive::Done;
        }
    }
}

SANE_Status SaneStatusOf(std::int32_t value)
{
    return value >= SANE_STATUS_GOOD && value <= SANE_STATUS_ACCESS_DENIED ? static_cast<SANE_Status>(value)
                                                                           : SANE_STATUS_IO_ERROR;
}

TSaneMessage &PutParameters(TSaneMessage &message, const SANE_Parameters &p)
{
    for (std::int32_t value : {static_cast<std::int32_t>(p.format), static_cast<std::int32_t>(p.last_frame),
                               p.bytes_per_line, p.pixels_per_line, p.lines, p.depth})
        message.Put(value);
    return message;
}

SANE_Status GetParameters(TSaneMessage &message, SANE_Parameters &p)
{
    std::int32_t values[6];
    for (std::int32_t &value : values)
        if (!message.Get(value))
            return SANE_STATUS_IO_ERROR;
    if (values[0] < SANE_FRAME_GRAY || values[0] > SANE_FRAME_BLUE)
        return SANE_STATUS_UNSUPPORTED;
    p = {static_cast<SANE_Frame>(values[0]), values[1], values[2], values[3], values[4], values[5]};
    return SANE_STATUS_GOOD;
}

} // namespace vantorel
