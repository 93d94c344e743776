// A scanner helper for the tests of what the manager takes from its helper: it speaks the
// manager's protocol with one grey device of its own and misbehaves on command. The file
// "behaviours" beside it names a behaviour per start, separated by commas (the last one serves
// every later start); each start adds "helper PID" (and "sleeper PID" for a process it forks) to
// the file "helpers.log" beside it.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "SaneChannel.h"
#include "SaneHelperStart.h"

using namespace vantorel;

namespace {

enum class TDo { Frame, Rows, End, Idle, StallMidMessage, Quit };
struct TStep {
    TDo Do;
    std::vector<std::int32_t> Values; // Frame: format, last, bytes per line, pixels, lines, depth
};
struct TBehaviour {
    const char *Name;
    std::vector<TStep> Scan;
    bool Sleeper = false;       // forks a process that holds the helper's socket, as a driver may
    bool QuitAfterOpen = false; // ends while the source's dialog waits
};

const TStep Frame{TDo::Frame, {SANE_FRAME_GRAY, 1, 4, 4, 2, 8}}, TwoRows{TDo::Rows, {2}}, Good{TDo::End, {0}},
    Idle{TDo::Idle, {}};

const TBehaviour Behaviours[] = {
    {"normal", {Frame, TwoRows, Good, Idle}},
    {"idle-without-end", {Frame, TwoRows, Idle}},
    {"data-after-end", {Frame, TwoRows, Good, TwoRows, Idle}},
    {"two-ends", {Frame, TwoRows, {TDo::End, {SANE_STATUS_IO_ERROR}}, Good, Idle}},
    {"quit-after-open", {Frame, TwoRows, Good, Idle}, false, true},
    {"wide-lines", {{TDo::Frame, {SANE_FRAME_GRAY, 1, 1 << 20, 1, 2, 8}}, TwoRows, Good, Idle}},
    {"rows-past-count", {Frame, {TDo::Rows, {5}}, Good, Idle}},
    {"unknown-status", {Frame, TwoRows, {TDo::End, {12345}}, Idle}},
    {"unknown-format", {{TDo::Frame, {77, 1, 4, 4, 2, 8}}, TwoRows, Good, Idle}},
    {"stall-mid-message", {Frame, {TDo::Rows, {1}}, {TDo::StallMidMessage, {}}}},
    {"sleeper", {Frame, TwoRows, Good, Idle}, true},
    {"sleeper-quit-mid-scan", {Frame, {TDo::Rows, {1}}, {TDo::Quit, {}}}, true},
};

const std::filesystem::path Here = std::filesystem::read_symlink("/proc/self/exe").parent_path();

void Log(const std::string &line) { std::ofstream(Here / "helpers.log", std::ios::app) << line << '\n'; }

// This start's behaviour: the next one of the list after those of the helpers logged before.
const TBehaviour &ThisStart()
{
    std::vector<std::string> names;
    std::ifstream list(Here / "behaviours");
    for (std::string name; std::getline(list, name, ',');)
        names.push_back(name);
    std::size_t started = 0;
    std::ifstream log(Here / "helpers.log");
    for (std::string line; std::getline(log, line);)
        started += line.starts_with("helper ");
    for (const TBehaviour &behaviour : Behaviours)
        if (!names.empty() && names[std::min(started, names.size() - 1)] == behaviour.Name)
            return behaviour;
    std::abort();
}

void Send(const TSaneMessage &message)
{
    if (!SendSaneMessage(SaneHelperSocket, message, -1))
        ::_exit(0);
}

void Scan(const TBehaviour &behaviour)
{
    std::int32_t bytesPerLine = 0;
    for (const TStep &step : behaviour.Scan) {
        TSaneMessage frame(TSaneCall::Frame);
        switch (step.Do) {
        case TDo::Frame:
            for (std::int32_t value : step.Values)
                frame.Put(value);
            bytesPerLine = step.Values[2];
            Send(frame);
            break;
        case TDo::Rows:
            for (std::int32_t row = 0; row < step.Values[0]; ++row)
                Send(TSaneMessage(TSaneCall::Data).PutBytes(std::string(bytesPerLine, char(row)).data(), bytesPerLine));
            break;
        case TDo::End:
            Send(TSaneMessage(TSaneCall::End).Put(step.Values[0]).Put(75.0));
            break;
        case TDo::Idle:
            Send(TSaneMessage(TSaneCall::Idle));
            break;
        case TDo::StallMidMessage: {
            const std::uint8_t half[] = {9, 0, 0, 0, static_cast<std::uint8_t>(TSaneCall::Data), 1};
            if (::write(SaneHelperSocket, half, sizeof half) != sizeof half)
                ::_exit(0);
            for (;;)
                ::pause();
        }
        case TDo::Quit:
            ::_exit(1);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (!BeginHelper(argc, argv))
        return 1;
    const TBehaviour &behaviour = ThisStart();
    Log("helper " + std::to_string(::getpid()));
    for (TSaneMessage request; ReceiveSaneMessage(SaneHelperSocket, request, -1) == TSaneReceive::Done;) {
        // Every request but Scan is answered, and answered well.
        TSaneMessage reply(request.Kind());
        reply.Put(std::int32_t{SANE_STATUS_GOOD});
        switch (request.Kind()) {
        case TSaneCall::Init:
        case TSaneCall::Close:
            if (request.Kind() == TSaneCall::Init && behaviour.Sleeper) {
                const pid_t sleeper = ::fork();
                while (sleeper == 0)
                    ::pause();
                Log("sleeper " + std::to_string(sleeper));
            }
            Send(reply);
            break;
        case TSaneCall::Devices:
            Send(reply.Put(1).Put("fake:0").Put("Fake").Put("Hostile").Put("virtual device"));
            break;
        case TSaneCall::Open:
        case TSaneCall::SetPixelType:
            Send(reply.Put(1).Put(1).Put(1)); // grey only, and grey it is
            if (request.Kind() == TSaneCall::Open && behaviour.QuitAfterOpen)
                return 0;
            break;
        case TSaneCall::Scan:
            Scan(behaviour);
            break;
        default:
            break;
        }
    }
}
