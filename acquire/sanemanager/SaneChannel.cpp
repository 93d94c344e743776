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

// Reads exactly size bytes; Broken on end of file or error, TimedOut when the deadline passes.
// What has arrived is taken first: the wait is only for what has not.
TSaneReceive ReadAll(int socket, void *data, std::size_t size, const TClock::time_point *deadline)
{
    auto *at = static_cast<std::uint8_t *>(data);
    while (size > 0) {
        const ssize_t got = ::recv(socket, at, size, MSG_DONTWAIT);
        if (got == 0)
            return TSaneReceive::Broken;
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (!WaitFor(socket, POLLIN, deadline))
                    return TSaneReceive::TimedOut;
            } else if (errno != EINTR) {
                return TSaneReceive::Broken;
            }
            continue;
        }
        at += got;
        size -= static_cast<std::size_t>(got);
    }
    return TSaneReceive::Done;
}

} // namespace

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
    const TClock::time_point start = TClock::now() + std::chrono::milliseconds(timeoutMs);
    std::uint32_t length = 0;
    // The first byte may take its time; the rest of the message may not.
    TSaneReceive result = ReadAll(socket, &length, 1, timeoutMs < 0 ? nullptr : &start);
    if (result != TSaneReceive::Done)
        return result;
    const TClock::time_point rest = TClock::now() + std::chrono::milliseconds(RestOfMessageMs);
    result = ReadAll(socket, reinterpret_cast<std::uint8_t *>(&length) + 1, sizeof length - 1, &rest);
    if (result != TSaneReceive::Done)
        return TSaneReceive::Broken;
    if (length == 0 || length > MaxSaneMessage)
        return TSaneReceive::Broken;
    message.Reset(length);
    result = ReadAll(socket, message.Data(), length, &rest);
    return result == TSaneReceive::Done ? TSaneReceive::Done : TSaneReceive::Broken;
}

TSaneMessage &PutParameters(TSaneMessage &message, const SANE_Parameters &p)
{
    for (std::int32_t value : {static_cast<std::int32_t>(p.format), static_cast<std::int32_t>(p.last_frame),
                               p.bytes_per_line, p.pixels_per_line, p.lines, p.depth})
        message.Put(value);
    return message;
}

bool GetParameters(TSaneMessage &message, SANE_Parameters &p)
{
    std::int32_t values[6];
    for (std::int32_t &value : values)
        if (!message.Get(value))
            return false;
    p = {static_cast<SANE_Frame>(values[0]), values[1], values[2], values[3], values[4], values[5]};
    return true;
}

} // namespace vantorel
