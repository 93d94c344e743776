#include "SaneOptions.h"

#include <algorithm>
#include <cstring>

#include <sane/saneopts.h>

#include "SaneSources.h"

namespace vantorel {

namespace {

struct TOption {
    SANE_Int Index = -1;
    const SANE_Option_Descriptor *Desc = nullptr;
    explicit operator bool() const { return Desc != nullptr; }
};

// An active option by name. Descriptors may change after a value is set, so options are looked
// up afresh every time.
TOption FindOption(SANE_Handle handle, const char *name)
{
    SANE_Int count = 0;
    if (sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return {};
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor *desc = sane_get_option_descriptor(handle, i);
        if (desc && desc->name && std::strcmp(desc->name, name) == 0 && desc->type != SANE_TYPE_GROUP &&
            SANE_OPTION_IS_ACTIVE(desc->cap))
            return {i, desc};
    }
    return {};
}

bool IsStringList(const TOption &option)
{
    return option && option.Desc->type == SANE_TYPE_STRING &&
           option.Desc->constraint_type == SANE_CONSTRAINT_STRING_LIST && option.Desc->constraint.string_list;
}

bool IsWord(const TOption &option)
{
    return option && (option.Desc->type == SANE_TYPE_INT || option.Desc->type == SANE_TYPE_FIXED) &&
           option.Desc->size >= static_cast<SANE_Int>(sizeof(SANE_Word));
}

std::vector<std::string> StringList(const TOption &option)
{
    std::vector<std::string> list;
    if (IsStringList(option))
        for (const SANE_String_Const *s = option.Desc->constraint.string_list; *s; ++s)
            list.emplace_back(*s);
    return list;
}

std::string GetString(SANE_Handle handle, const TOption &option)
{
    if (!option || option.Desc->type != SANE_TYPE_STRING || option.Desc->size <= 0)
        return {};
    std::vector<char> value(static_cast<std::size_t>(option.Desc->size) + 1, '\0');
    if (sane_control_option(handle, option.Index, SANE_ACTION_GET_VALUE, value.data(), nullptr) != SANE_STATUS_GOOD)
        return {};
    return value.data();
}

SANE_Status SetString(SANE_Handle handle, const TOption &option, const std::string &text)
{
    if (option.Desc->size <= 0 || text.size() >= static_cast<std::size_t>(option.Desc->size))
        return SANE_STATUS_INVAL;
    std::vector<char> value(static_cast<std::size_t>(option.Desc->size), '\0');
    std::memcpy(value.data(), text.data(), text.size());
    return sane_control_option(handle, option.Index, SANE_ACTION_SET_VALUE, value.data(), nullptr);
}

// The first value of a word option (a vector option has several).
bool GetWord(SANE_Handle handle, const TOption &option, SANE_Word &word)
{
    if (!IsWord(option))
        return false;
    std::vector<SANE_Word> value(static_cast<std::size_t>(option.Desc->size) / sizeof(SANE_Word), 0);
    if (sane_control_option(handle, option.Index, SANE_ACTION_GET_VALUE, value.data(), nullptr) != SANE_STATUS_GOOD)
        return false;
    word = value[0];
    return true;
}

bool Allows(const TOption &option, SANE_Word word)
{
    const SANE_Option_Descriptor *desc = option.Desc;
    switch (desc->constraint_type) {
    case SANE_CONSTRAINT_WORD_LIST:
        if (!desc->constraint.word_list)
            return false;
        for (SANE_Word i = 1; i <= desc->constraint.word_list[0]; ++i)
            if (desc->constraint.word_list[i] == word)
                return true;
        return false;
    case SANE_CONSTRAINT_RANGE:
        return desc->constraint.range && word >= desc->constraint.range->min && word <= desc->constraint.range->max;
    default:
        return true;
    }
}

TW_UINT16 TypeOfParameters(SANE_Handle handle)
{
    SANE_Parameters parameters{};
    if (sane_get_parameters(handle, &parameters) != SANE_STATUS_GOOD)
        return TWPT_RGB;
    if (parameters.format == SANE_FRAME_GRAY)
        return parameters.depth == 1 ? TWPT_BW : TWPT_GRAY;
    return TWPT_RGB;
}

TModeKind KindOfType(TW_UINT16 type)
{
    return type == TWPT_BW ? TModeKind::BlackWhite : type == TWPT_GRAY ? TModeKind::Gray : TModeKind::Color;
}

} // namespace

void ReadPixelTypes(SANE_Handle handle, std::vector<TW_UINT16> &types, TW_UINT16 &type)
{
    types.clear();
    type = TypeOfParameters(handle);
    const TOption mode = FindOption(handle, SANE_NAME_SCAN_MODE);
    if (!IsStringList(mode)) {
        types.push_back(type);
        return;
    }
    bool offered[3] = {false, false, false};
    for (const std::string &name : StringList(mode)) {
        switch (ModeKindOf(name)) {
        case TModeKind::BlackWhite:
            offered[TWPT_BW] = true;
            break;
        case TModeKind::Gray:
            offered[TWPT_GRAY] = true;
            break;
        case TModeKind::Color:
            offered[TWPT_RGB] = true;
            break;
        case TModeKind::None:
            break;
        }
    }
    // Without a line-art mode, one bit per pixel of a grey mode is black and white.
    const TOption depth = FindOption(handle, SANE_NAME_BIT_DEPTH);
    if (!offered[TWPT_BW] && offered[TWPT_GRAY] && IsWord(depth) && Allows(depth, 1))
        offered[TWPT_BW] = true;
    for (TW_UINT16 each = TWPT_BW; each <= TWPT_RGB; ++each)
        if (offered[each])
            types.push_back(each);
    switch (ModeKindOf(GetString(handle, mode))) {
    case TModeKind::BlackWhite:
        type = TWPT_BW;
        break;
    case TModeKind::Gray: {
        SANE_Word bits = 8;
        GetWord(handle, depth, bits);
        type = bits == 1 ? TWPT_BW : TWPT_GRAY;
        break;
    }
    case TModeKind::Color:
        type = TWPT_RGB;
        break;
    case TModeKind::None:
        break; // the type of the current frames
    }
    if (types.empty())
        types.push_back(type);
}

SANE_Status ChoosePixelType(SANE_Handle handle, TW_UINT16 type)
{
    const TOption mode = FindOption(handle, SANE_NAME_SCAN_MODE);
    if (!IsStringList(mode))
        return SANE_STATUS_GOOD; // the one type there is
    std::string chosen;
    bool throughDepth = false;
    for (const std::string &name : StringList(mode)) {
        if (ModeKindOf(name) == KindOfType(type)) {
            chosen = name;
            break;
        }
    }
    if (chosen.empty() && type == TWPT_BW) {
        for (const std::string &name : StringList(mode)) {
            if (ModeKindOf(name) == TModeKind::Gray) {
                chosen = name;
                throughDepth = true;
                break;
            }
        }
    }
    if (chosen.empty())
        return SANE_STATUS_INVAL;
    if (GetString(handle, mode) != chosen && (mode.Desc->cap & SANE_CAP_SOFT_SELECT)) {
        SANE_Status status = SetString(handle, mode, chosen);
        if (status != SANE_STATUS_GOOD)
            return status;
    }
    const TOption depth = FindOption(handle, SANE_NAME_BIT_DEPTH);
    SANE_Word current = 0;
    if (!(depth && (depth.Desc->cap & SANE_CAP_SOFT_SELECT) && depth.Desc->type == SANE_TYPE_INT &&
          GetWord(handle, depth, current)))
        return SANE_STATUS_GOOD;
    SANE_Word wanted = current;
    if (throughDepth)
        wanted = 1;
    else if (type != TWPT_BW && current == 1)
        wanted = Allows(depth, 8) ? 8 : 16;
    if (wanted == current)
        return SANE_STATUS_GOOD;
    std::vector<SANE_Word> value(static_cast<std::size_t>(depth.Desc->size) / sizeof(SANE_Word), wanted);
    return sane_control_option(handle, depth.Index, SANE_ACTION_SET_VALUE, value.data(), nullptr);
}

double Resolution(SANE_Handle handle)
{
    TOption option = FindOption(handle, SANE_NAME_SCAN_RESOLUTION);
    if (!IsWord(option))
        option = FindOption(handle, SANE_NAME_SCAN_X_RESOLUTION);
    SANE_Word value = 0;
    if (!GetWord(handle, option, value))
        return 0;
    return option.Desc->type == SANE_TYPE_FIXED ? SANE_UNFIX(value) : value;
}

} // namespace vantorel
