// The service parameters (parameters.xml): any file is read without harm; the six keys stay in
// their order, and a corrupt file leaves all the defaults.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "PromptService.h"
#include "ServiceParameters.h"
#include "XMLSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vantorel;
    using namespace vantorel::fuzz;
    WriteWholeFile(WorkFolder() + kParametersFileName, data, size);

    static const TParameters defaults;
    TXMLSource xml;
    TScriptedPromptService prompts;
    TParameters params;
    params.SetValue("uploadhost", "stale");
    LoadParameters(WorkFolder(), xml, prompts, params);
    Expect(!xml.Active(), "the reader left the document open");
    Expect(params.Entries().size() == defaults.Entries().size(), "a parameter was added or lost");
    for (std::size_t i = 0; i < defaults.Entries().size(); ++i) {
        Expect(params.Entries()[i].first == defaults.Entries()[i].first, "the parameter keys changed");
        if (!prompts.Prompts().empty())
            Expect(params.Entries()[i].second->Value == defaults.Entries()[i].second->Value,
                   "a corrupt parameters file changed a value");
    }
    return 0;
}
