#include "PhoneCatalogue.h"

#include <exception>
#include <utility>

#include "TextRules.h"

namespace vantorel {

namespace {

// A size the catalogue leaves out or spells wrongly still gives the logo a usable size.
constexpr std::int32_t kFallbackScreenSize = 128;

bool IsElementNamed(const TXMLNode &node, const char *lowerName)
{
    return node.IsElement() && AsciiLower(node.NodeName()) == lowerName;
}

TPhoneMake ReadMake(const TXMLNode &makeNode)
{
    TPhoneMake make;
    make.Name = makeNode.GetAttribute("name");
    for (const TXMLNode &child : makeNode.ChildNodes()) {
        if (!IsElementNamed(child, "model"))
            continue;
        const std::int32_t width = ParseWholeNumberOr(child.GetAttribute("screenwidth"), kFallbackScreenSize);
        const std::int32_t height = ParseWholeNumberOr(child.GetAttribute("screenheight"), kFallbackScreenSize);
        make.Models.push_back({child.GetAttribute("name"), TPhoneAttributes(width, height)});
    }
    return make;
}

} // namespace

TPhoneListResult LoadPhoneList(const std::string &programFolder, TXMLSource &xml, TPromptService &prompts,
                               TPhoneMakes &makes)
{
    makes.clear();
    bool damaged = false;
    try {
        TXMLReadScope scope(xml, programFolder + kPhoneListFileName);
        const TXMLNode root = xml.DocumentElement();
        if (!IsElementNamed(root, "phoneslist")) {
            damaged = true;
        } else {
            // A root without children is an empty catalogue, not a failure.
            TPhoneMakes read;
            for (const TXMLNode &child : root.ChildNodes())
                if (IsElementNamed(child, "make"))
                    read.push_back(ReadMake(child));
            makes = std::move(read);
        }
    } catch (const std::exception &) {
        makes.clear();
        prompts.ShowError("Unexpected error occurred during application initialization.");
        return TPhoneListResult::Failed;
    }
    if (damaged) {
        prompts.ShowError("Phone list file is damaged.");
        return TPhoneListResult::Damaged;
    }
    return TPhoneListResult::Loaded;
}

} // namespace vantorel
