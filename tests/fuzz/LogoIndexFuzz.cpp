// The logo index (logodirectory.xml): any file is read without harm, and what the program then
// writes reads back as the same tree with the same values, and writes the same bytes again.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "LogoIndexFile.h"
#include "LogoTree.h"
#include "PromptService.h"
#include "XMLSource.h"

namespace vantorel::fuzz {
namespace {

// Entries load only when their file or folder exists, so the library on disk offers a few of
// each. "deep" points at its own folder, so folders can nest as deep as an index says.
const std::string &ProgramFolder()
{
    static const std::string folder = [] {
        namespace fs = std::filesystem;
        const fs::path library = fs::path(WorkFolder()) / kRootText;
        fs::create_directories(library / "f" / "g");
        fs::create_directories(library / "Folder 2");
        for (const char *logo : {"a.bmp", "b.jpg", "Logo 1.png", "f/a.bmp", "f/g/x.gif", "Folder 2/c.png"})
            WriteWholeFile((library / logo).string(), nullptr, 0);
        fs::create_directory_symlink(".", library / "deep");
        return WorkFolder();
    }();
    return folder;
}

void ExpectSameTree(const TLogoNode *first, const TLogoNode *second)
{
    Expect(first->Count() == second->Count(), "the reloaded tree has another number of children");
    Expect(*first->Data() == *second->Data(), "a reloaded record differs");
    for (int i = 0; i < first->Count(); ++i)
        ExpectSameTree(first->Item(i), second->Item(i));
}

// What the index may hand to the display: sizes outside 16..400 get a default.
void ExpectBoundedSizes(const TLogoNode *node)
{
    for (int i = 0; i < node->Count(); ++i) {
        const TLogoDirObject &record = *node->Item(i)->Data();
        Expect(record.LogoWidth >= 16 && record.LogoWidth <= 400, "an unbounded logo width was loaded");
        Expect(record.LogoHeight >= 16 && record.LogoHeight <= 400, "an unbounded logo height was loaded");
        ExpectBoundedSizes(node->Item(i));
    }
}

} // namespace
} // namespace vantorel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vantorel;
    using namespace vantorel::fuzz;
    const std::string &folder = ProgramFolder();
    const std::string path = folder + kLogoIndexFileName;
    WriteWholeFile(path, data, size);

    TXMLSource xml;
    TScriptedPromptService prompts;
    TLogoTree first(folder);
    first.CreateRootNode();
    if (!LoadLogoDirectory(first, xml, prompts)) {
        Expect(!prompts.Prompts().empty(), "a failed load said nothing");
        return 0;
    }
    Expect(prompts.Prompts().empty(), "a load that succeeded showed a box");
    Expect(!xml.Active(), "the loader left the document open");
    ExpectBoundedSizes(first.Root());

    Expect(SaveLogoDirectory(first, xml, prompts), "the index could not be saved");
    const std::string written = ReadWholeFile(path);
    TLogoTree second(folder);
    second.CreateRootNode();
    Expect(LoadLogoDirectory(second, xml, prompts), "the saved index does not load");
    ExpectSameTree(first.Root(), second.Root());
    Expect(SaveLogoDirectory(second, xml, prompts), "the reloaded index could not be saved");
    Expect(ReadWholeFile(path) == written, "saving the reloaded index gave other bytes");
    return 0;
}
