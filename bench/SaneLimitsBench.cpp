// What a helper's news costs the source manager, measured by hand, never a test:
//   sane_limits_bench names [DEVICES]   naming DEVICES devices (8000) of one model, and as many of
//                                       models that share their first 28 bytes, each twice
//   sane_limits_bench picture [MB]      the peak memory of turning a colour scan of MB megabytes
//                                       (1024) into its DIB, against the picture's size, and what
//                                       a 1-pixel frame with lines of 2^31-1 bytes takes
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "SaneDib.h"
#include "SaneSources.h"
#include "TwainMemory.h"

using namespace vantorel;

namespace {

// The process's peak resident memory (VmHWM), or its current one (VmRSS), in bytes.
long long Memory(const char *field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::atoll(line.c_str() + std::strlen(field) + 1) * 1024;
    return 0;
}

double Seconds(void (*run)(std::vector<TSaneDevice> &), std::vector<TSaneDevice> &devices)
{
    const auto start = std::chrono::steady_clock::now();
    run(devices);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Names(int count)
{
    std::vector<TSaneDevice> same(count, TSaneDevice{"dev", "", "Scanner", "", ""}), shared;
    for (int i = 0; i < count; ++i)
        for (int twice = 0; twice < 2; ++twice)
            shared.push_back({"dev", "", std::string(28, 's') + std::to_string(100000 + i) + "......", "", ""});
    std::printf("naming %d devices of one model: %.3f s\n", count, Seconds(MakeProductNames, same));
    std::printf("naming %zu devices of %d models with one 28-byte stem: %.3f s\n", shared.size(), count,
                Seconds(MakeProductNames, shared));
}

void Picture(long long megabytes)
{
    const SANE_Int width = 8192, lines = static_cast<SANE_Int>(megabytes * 1024 * 1024 / (3 * width));
    const long long before = Memory("VmRSS:");
    {
        TSaneDibBuilder builder;
        builder.BeginFrame({SANE_FRAME_RGB, 1, 3 * width, width, lines, 8});
        std::vector<SANE_Byte> piece(64 * 1024, 0x5A);
        for (long long left = 3LL * width * lines; left > 0; left -= static_cast<long long>(piece.size()))
            builder.Add(piece.data(), std::min<std::size_t>(piece.size(), static_cast<std::size_t>(left)));
        SANE_Status status;
        TW_HANDLE dib = builder.Finish(300, status);
        const double size = static_cast<double>(GlobalSize(dib));
        std::printf("picture of %.0f MB: peak %.0f MB above the start, %.2f times the picture\n", size / 1048576,
                    static_cast<double>(Memory("VmHWM:") - before) / 1048576,
                    static_cast<double>(Memory("VmHWM:") - before) / size);
        GlobalFree(dib);
    }
    TSaneDibBuilder wide;
    const SANE_Status status = wide.BeginFrame({SANE_FRAME_GRAY, 1, 0x7FFFFFFF, 1, 1, 8});
    std::printf("a 1-pixel frame with lines of 2^31-1 bytes: status %d, resident %.0f MB\n", status,
                static_cast<double>(Memory("VmRSS:")) / 1048576);
}

} // namespace

int main(int argc, char **argv)
{
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "names")
        Names(argc > 2 ? std::atoi(argv[2]) : 8000);
    else if (what == "picture")
        Picture(argc > 2 ? std::atoll(argv[2]) : 1024);
    else
        std::fprintf(stderr, "usage: %s names [DEVICES] | picture [MB]\n", argv[0]);
    return 0;
}
