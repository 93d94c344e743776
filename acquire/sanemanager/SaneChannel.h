#pragma once

// The messages between the source manager and its helper program over a stream socket of their
// own: each one a 32-bit length and that many bytes, the first of which tells its kind. Both ends
// run on one machine, so numbers travel in host order; a text is its length and its bytes.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <sane/sane.h>

namespace vantorel {

enum class TSaneCall : std::uint8_t {
    // Requests, each answered by one message of the same kind but Scan and Cancel.
    Init = 1,     // -> status
    Devices,      // -> status, count, (name, vendor, model, type) per device
    Open,         // name -> status, pixel types, pixel type
    SetPixelType, // type -> status, pixel types, pixel type
    Close,        // -> status
    Scan,         // -> Frame, Data..., (Frame, Data...)..., End, Idle
    Cancel,       // ends a running scan early; no answer of its own
    // The news of a scan.
    Frame, // SANE_Parameters
    Data,  // the frame's bytes as sane_read gave them
    End,   // status, dots per inch
    Idle,  // the device has ended the scan (sane_cancel) and takes requests again
};
inline constexpr TSaneCall LastSaneCall = TSaneCall::Idle;

class TSaneMessage {
public:
    TSaneMessage() = default;
    explicit TSaneMessage(TSaneCall kind) : FBytes{static_cast<std::uint8_t>(kind)}, FSize(1) {}

    // TSaneCall{} (no kind) for an empty message or a kind that does not exist.
    TSaneCall Kind() const;

    TSaneMessage &Put(std::int32_t value) { return PutBytes(&value, sizeof value); }
    TSaneMessage &Put(double value) { return PutBytes(&value, sizeof value); }
    TSaneMessage &Put(const std::string &text);
    TSaneMessage &PutBytes(const void *data, std::size_t size);

    // Each read moves past what it took; false (and nothing taken) when the message is too short.
    bool Get(std::int32_t &value) { return GetBytes(&value, sizeof value); }
    bool Get(double &value) { return GetBytes(&value, sizeof value); }
    bool Get(std::string &text);
    bool GetBytes(void *data, std::size_t size);
    // What follows the kind: a Data message's bytes.
    const std::uint8_t *Payload() const { return FBytes.data() + 1; }
    std::size_t PayloadSize() const { return FSize == 0 ? 0 : FSize - 1; }

    // Makes the message size bytes long, to be filled through Data() and read from the start.
    // The buffer only grows: one kept for a scan's data is not cleared for every read.
    void Reset(std::size_t size);
    std::uint8_t *Data() { return FBytes.data(); }
    const std::uint8_t *Data() const { return FBytes.data(); }
    std::size_t Size() const { return FSize; }

private:
    std::vector<std::uint8_t> FBytes; // at least FSize bytes
    std::size_t FSize = 0;
    std::size_t FAt = 1;
};

// The largest message either end accepts: a longer one means the other end is broken.
inline constexpr std::size_t MaxSaneMessage = 16 * 1024 * 1024;
// The helper's end of the socket pair: its descriptor 3, the one it inherits.
inline constexpr int SaneHelperSocket = 3;

// Sends the whole message; false when the other end is gone or timeoutMs (negative: none) passed
// first. Never raises SIGPIPE.
bool SendSaneMessage(int socket, const TSaneMessage &message, int timeoutMs);

enum class TSaneReceive { Done, TimedOut, Broken };
// Waits up to timeoutMs (negative: for ever) for the next message to begin; once begun, it must
// be whole within a few seconds. Broken: the other end closed, or sent what no message can be.
TSaneReceive ReceiveSaneMessage(int socket, TSaneMessage &message, int timeoutMs);

// Receives the messages of one socket in steps: a message begun stays begun from one call to the
// next, so that a reader can wait in short steps and look at other things (a cancel) between them.
class TSaneReceiver {
public:
    // Waits up to timeoutMs (negative: for ever) for the next message to be whole. TimedOut: not
    // yet, message untouched; Broken as ReceiveSaneMessage, which also holds for a message not
    // whole within a few seconds of its first byte, however the calls wait.
    TSaneReceive Receive(int socket, TSaneMessage &message, int timeoutMs);
    bool Begun() const { return FHave > 0; }

private:
    TSaneReceive Broken();

    TSaneMessage FMessage;
    std::uint32_t FLength = 0;
    std::size_t FHave = 0; // bytes of the length and then of the message
    std::chrono::steady_clock::time_point FWholeBy;
};

// A status of the other end's: one SANE does not have is what a broken helper sends.
SANE_Status SaneStatusOf(std::int32_t value);

// A scan's parameters as a Frame message carries them.
TSaneMessage &PutParameters(TSaneMessage &message, const SANE_Parameters &parameters);
// SANE_STATUS_IO_ERROR for a short message, SANE_STATUS_UNSUPPORTED for a frame format SANE
// does not have.
SANE_Status GetParameters(TSaneMessage &message, SANE_Parameters &parameters);

} // namespace vantorel
