// The phone catalogue (phoneslist.xml): any file is read without harm, and every outcome is
// reported as the start-up expects it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "PhoneCatalogue.h"
#include "PromptService.h"
#include "XMLSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vantorel;
    using namespace vantorel::fuzz;
    WriteWholeFile(WorkFolder() + kPhoneListFileName, data, size);

    TXMLSource xml;
    TScriptedPromptService prompts;
    TPhoneMakes makes(1); // stale contents must not survive
    const TPhoneListResult result = LoadPhoneList(WorkFolder(), xml, prompts, makes);
    Expect(!xml.Active(), "the reader left the document open");
    if (result == TPhoneListResult::Loaded) {
        Expect(prompts.Prompts().empty(), "a catalogue that loaded showed a box");
    } else {
        Expect(prompts.Prompts().size() == 1, "a failed catalogue did not show one box");
        Expect(makes.empty(), "a failed catalogue left makes behind");
    }
    return 0;
}
