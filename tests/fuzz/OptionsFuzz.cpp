// The options file (options.xml): any file is read without harm, and the file the program
// writes from what was read gives the same 27 values and the same bytes again.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "OptionValues.h"
#include "XMLSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vantorel;
    using namespace vantorel::fuzz;
    static const std::string input = WorkFolder() + kOptionsFileName;
    static const std::string saved = WorkFolder() + "saved-" + kOptionsFileName;
    WriteWholeFile(input, data, size);

    TXMLSource xml;
    TOptionValues first;
    const TOptionsReadResult result = ReadOptionsFile(input, xml, first);
    Expect(!xml.Active(), "the reader left the document open");
    if (result != TOptionsReadResult::Read)
        return 0;

    WriteOptionsFile(saved, xml, first);
    const std::string written = ReadWholeFile(saved);
    TOptionValues second;
    Expect(ReadOptionsFile(saved, xml, second) == TOptionsReadResult::Read, "the saved options do not read");
    Expect(second == first, "the saved options read back as other values");
    WriteOptionsFile(saved, xml, second);
    Expect(ReadWholeFile(saved) == written, "saving the reloaded options gave other bytes");
    return 0;
}
