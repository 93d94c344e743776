// The picture download's rules for an address: the extension it judges and the file name it
// saves under. A name that passes the check must stay one entry inside the work folder.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "PictureDownload.h"
#include "TextRules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vantorel;
    using namespace vantorel::fuzz;
    const std::string url(reinterpret_cast<const char *>(data), size);

    const std::string ext = PictureURLExtension(url);
    if (!ext.empty()) {
        Expect(ext.front() == '.', "an extension that does not start with a dot");
        Expect(ext.find_first_of("\\:") == std::string::npos, "an extension holding a backslash or colon");
        Expect(ext == AsciiUpper(ext), "an extension that is not upper-cased");
        Expect(url.size() >= ext.size(), "an extension longer than the address");
    }

    const std::string name = PictureURLFileName(url);
    Expect(name.find('/') == std::string::npos, "a file name holding a slash");
    Expect(url.size() >= name.size() && url.compare(url.size() - name.size(), name.size(), name) == 0,
           "the file name is not the end of the address");
    if (IsValidNodeName(name)) {
        // The path is handed to the system as a C string: what it names must be the whole name.
        Expect(name.find('\0') == std::string::npos, "a file name holding a NUL byte passed");
        Expect(name != "." && name != "..", "a file name naming a folder passed");
    }
    return 0;
}
