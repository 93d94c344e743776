// Reading and writing the logo index of a large library: 10,000 logos in 200 folders, with every
// file present on disk so that the reader keeps each entry. Each should take well under 0.2 s; the
// part of a save that runs on the UI thread (building the text) well under 50 ms.
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "LogoIndexFile.h"
#include "TestSupport.h"

namespace vantorel {
namespace {

constexpr int kFolders = 200;
constexpr int kLogosPerFolder = 50;

// One program folder with the library on disk and its index written, shared by both timings.
struct TLibrary {
    test::TTempDir Dir;
    TLogoTree Tree{Dir.Path()};

    TLibrary()
    {
        Tree.CreateRootNode();
        for (int f = 0; f < kFolders; ++f) {
            TLogoNode *folder =
                Tree.AddChild(Tree.Root(), std::make_unique<TLogoDirObject>(nkFolder, "Folder " + std::to_string(f)));
            for (int l = 0; l < kLogosPerFolder; ++l) {
                auto record = std::make_unique<TLogoDirObject>(nkLogo, "logo " + std::to_string(l) + ".jpg");
                record->FrameLeft = l;
                record->PhoneMakeId = f % 7;
                record->UploadURL = "http://example.com/logos?id=" + std::to_string(f * kLogosPerFolder + l);
                Tree.AddChild(folder, std::move(record));
            }
            // Creates the folder and, in it, one empty file per logo.
            for (int l = 0; l < kLogosPerFolder; ++l)
                test::WriteFile(Tree.GetNodePath(folder->Item(l)), "");
        }
    }
};

TLibrary &Library()
{
    static TLibrary library;
    return library;
}

void BM_SaveLogoDirectory(benchmark::State &state)
{
    TLibrary &library = Library();
    TXMLSource xml;
    TScriptedPromptService prompts;
    for (auto _ : state)
        SaveLogoDirectory(library.Tree, xml, prompts);
    if (!prompts.Texts().empty())
        state.SkipWithError(prompts.Texts().front().c_str());
}

// The two halves of a save while the program runs: the document built on the UI thread, and the
// file written (with its flush to the disk) on a worker.
void BM_LogoDirectoryText(benchmark::State &state)
{
    TLibrary &library = Library();
    TXMLSource xml;
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes = LogoDirectoryText(library.Tree, xml).size();
    state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_WriteLogoDirectoryText(benchmark::State &state)
{
    TLibrary &library = Library();
    TXMLSource xml;
    const std::string text = LogoDirectoryText(library.Tree, xml);
    for (auto _ : state) {
        const std::string failure = WriteLogoDirectoryText(library.Dir.Path(), text, false);
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
    }
}

void BM_LoadLogoDirectory(benchmark::State &state)
{
    TLibrary &library = Library();
    TXMLSource xml;
    TScriptedPromptService prompts;
    SaveLogoDirectory(library.Tree, xml, prompts);
    int nodes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<TLogoTree>(library.Dir.Path());
        tree->CreateRootNode();
        state.ResumeTiming();

        LoadLogoDirectory(*tree, xml, prompts);

        state.PauseTiming();
        nodes = tree->Root()->Count();
        for (int i = 0; i < tree->Root()->Count(); ++i)
            nodes += tree->Root()->Item(i)->Count();
        tree.reset();
        state.ResumeTiming();
    }
    if (!prompts.Texts().empty())
        state.SkipWithError(prompts.Texts().front().c_str());
    else if (nodes != kFolders * (kLogosPerFolder + 1))
        state.SkipWithError("the index lost entries");
    state.counters["nodes"] = nodes;
}

BENCHMARK(BM_SaveLogoDirectory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LogoDirectoryText)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteLogoDirectoryText)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadLogoDirectory)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantorel

BENCHMARK_MAIN();
