// A phone photo added as a new logo, from the open dialog's answer to the picture on screen (the
// check, the copy into the library and the display), and the same logo selected again after a
// folder (its picture kept) and after another copy of the photo was added (its picture decoded
// again). Each run is a process of its own, so its peak memory is its own; a plain libjpeg-turbo
// decode of the same file into a fresh buffer runs in a process beside it, interleaved, so the
// ratios hold on a loaded machine. Plain timers: a run is one add, too slow to repeat in-process.
//
//   add_photo_bench [repetitions [24|108]]   (default 5 runs for 24 MP, 3 for 108 MP)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>

#include <jpeglib.h>

#include "BenchPictures.h"
#include "BenchWindow.h"
#include "ImageCodecs.h"
#include "MainForm.h"
#include "OptionsForm.h"
#include "PictureCache.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

using TClock = std::chrono::steady_clock;

double MillisecondsSince(TClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

double PeakMegabytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// What a child process measured: up to three figures, sent back through a pipe.
struct TFigures {
    double Values[4] = {0, 0, 0, 0};
};

// Runs body in a child process and returns its figures; the parent never shows a window, so a
// child starts without Qt's threads and with the parent's small footprint.
template <typename Body> TFigures InChild(Body body)
{
    int channel[2];
    if (::pipe(channel) != 0)
        std::abort();
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const TFigures figures = body();
        if (::write(channel[1], &figures, sizeof figures) != sizeof figures)
            std::_Exit(1);
        std::_Exit(0);
    }
    ::close(channel[1]);
    TFigures figures;
    const bool read = ::read(channel[0], &figures, sizeof figures) == sizeof figures;
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!read || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "a run failed\n");
        std::exit(1);
    }
    return figures;
}

struct TPlainError {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
};

// The yardstick: libjpeg-turbo alone, RGB rows into a freshly allocated buffer of the picture's
// size (every page touched for the first time, as a new bitmap's are).
TFigures PlainDecode(const std::string &file)
{
    const auto start = TClock::now();
    std::FILE *in = std::fopen(file.c_str(), "rb");
    if (!in)
        std::_Exit(1);
    jpeg_decompress_struct info{};
    TPlainError error{};
    info.err = jpeg_std_error(&error.Base);
    error.Base.error_exit = [](j_common_ptr common) {
        std::longjmp(reinterpret_cast<TPlainError *>(common->err)->Jump, 1);
    };
    if (setjmp(error.Jump))
        std::_Exit(1);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, in);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const std::size_t stride = (std::size_t(info.output_width) * 3 + 3) & ~std::size_t(3);
    auto *pixels = static_cast<unsigned char *>(std::malloc(stride * info.output_height));
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[16];
        const unsigned count = std::min(16u, info.output_height - info.output_scanline);
        for (unsigned i = 0; i < count; ++i)
            rows[i] = pixels + stride * (info.output_scanline + i);
        jpeg_read_scanlines(&info, rows, count);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(in);
    const double ms = MillisecondsSince(start);
    volatile unsigned char sink = pixels[stride * (info.output_height / 2)];
    (void)sink;
    std::free(pixels);
    return {{ms, PeakMegabytes(), 0, 0}};
}

// A new user's window: an empty library, the window's default size, the photo added through the
// open dialog. Then the root folder is selected and the logo again; then the photo is added once
// more (the picture kept is now the second copy's) and the first logo selected.
TFigures AddAndReselect(const std::string &photo)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "add_photo_bench";
    char *argv[] = {name, nullptr};
    QApplication application(argc, argv);
    bench::TBenchWindow window([](const test::TTempDir &) {});
    TMainAppForm &form = window.Form;
    TScriptedPromptService &prompts = window.Prompts;
    form.show();
    QApplication::processEvents();
    const double idle = PeakMegabytes();

    prompts.AnswerFile(photo);
    const auto addStart = TClock::now();
    form.Open1Click();
    QApplication::processEvents();
    form.repaint();
    const double add = MillisecondsSince(addStart);
    const double addPeak = PeakMegabytes();
    TLogoNode *logo = form.LogoTree().Selected();
    for (const TRecordedPrompt &prompt : prompts.Prompts())
        if (prompt.Kind == TRecordedPrompt::Box)
            std::fprintf(stderr, "%s\n", prompt.Text.c_str());
    if (!form.SourceImageDocument() || !logo || prompts.Prompts().size() != 1) {
        std::fprintf(stderr, "the photo is not shown\n");
        std::_Exit(1);
    }

    // The logo selected, to its picture on screen.
    const auto timeSelect = [&form, logo] {
        const auto start = TClock::now();
        form.LogoTree().Select(logo);
        QApplication::processEvents();
        form.repaint();
        const double ms = MillisecondsSince(start);
        if (!form.SourceImageDocument())
            std::_Exit(1);
        return ms;
    };
    form.LogoTree().Select(form.LogoTree().Root());
    QApplication::processEvents();
    const double reselect = timeSelect();
    prompts.AnswerFile(photo);
    form.Open1Click();
    QApplication::processEvents();
    const double uncached = timeSelect();
    std::fprintf(stderr, "  (window idle %.0f MB)\n", idle);
    return {{add, reselect, addPeak, uncached}};
}

struct TSeries {
    std::vector<double> Values;
    void Add(double v) { Values.push_back(v); }
    void Print(const char *label, const char *unit) const
    {
        std::vector<double> v = Values;
        std::sort(v.begin(), v.end());
        std::printf("  %-28s median %8.2f %s   min %8.2f   max %8.2f\n", label, v[v.size() / 2], unit, v.front(),
                    v.back());
    }
};

void RunPhoto(std::int32_t width, std::int32_t height, int repetitions)
{
    test::TTempDir dir;
    const std::string photo = dir / "photo.jpg";
    // Made in a child, so the parent never holds the bitmap; set an hour back, as a photo copied
    // from a phone has lain a while.
    InChild([&] {
        WriteJPEG(bench::MakePhoto(width, height), photo, 90);
        namespace fs = std::filesystem;
        fs::last_write_time(photo, fs::last_write_time(photo) - std::chrono::hours(1));
        return TFigures{};
    });
    // Its change time is recent all the same: the runs that follow take it as settled.
    TPictureCache::SetSettleTime(0);
    std::printf("%d x %d JPEG q90, %.1f MB, %d runs (shared machine: figures vary with load)\n", width, height,
                static_cast<double>(std::filesystem::file_size(photo)) / 1e6, repetitions);
    TSeries decode, decodePeak, add, reselect, addPeak, addRatio, reselectRatio, uncached, uncachedRatio;
    for (int i = 0; i < repetitions; ++i) {
        const TFigures plain = InChild([&] { return PlainDecode(photo); });
        const TFigures shown = InChild([&] { return AddAndReselect(photo); });
        decode.Add(plain.Values[0]);
        decodePeak.Add(plain.Values[1]);
        add.Add(shown.Values[0]);
        reselect.Add(shown.Values[1]);
        addPeak.Add(shown.Values[2]);
        addRatio.Add(shown.Values[0] / plain.Values[0]);
        reselectRatio.Add(shown.Values[1] / plain.Values[0]);
        uncached.Add(shown.Values[3]);
        uncachedRatio.Add(shown.Values[3] / plain.Values[0]);
    }
    decode.Print("plain decode", "ms");
    decodePeak.Print("plain decode peak memory", "MB");
    add.Print("add to picture on screen", "ms");
    addRatio.Print("add / plain decode", "x ");
    addPeak.Print("add peak memory", "MB");
    reselect.Print("reselect", "ms");
    reselectRatio.Print("reselect / plain decode", "x ");
    uncached.Print("reselect, picture not kept", "ms");
    uncachedRatio.Print("  / plain decode", "x ");
}

} // namespace
} // namespace vantorel

int main(int argc, char **argv)
{
    // add_photo_bench [repetitions [24|108]]: the second argument runs one photo alone (for perf).
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 0;
    const std::string only = argc > 2 ? argv[2] : "";
    if (only.empty() || only == "24")
        vantorel::RunPhoto(6000, 4000, repetitions ? repetitions : 5);
    if (only.empty() || only == "108")
        vantorel::RunPhoto(12000, 9000, repetitions ? repetitions : 3);
    return 0;
}
