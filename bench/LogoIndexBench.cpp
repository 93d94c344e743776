// Reading and writing the logo index of a large library: 10,000 logos in 200 folders, with every
// file present on disk so that the reader keeps each entry. Each should take well under 0.2 s.
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

BENCHMARK(BM_SaveLogoDirectory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLogoDirectory)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantorel

BENCHMARK_MAIN();
