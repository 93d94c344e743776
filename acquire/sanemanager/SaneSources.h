#pragma once

// What the manager knows of the SANE devices without talking to libsane: their identities'
// names, the pixel type a scan mode stands for, the condition code of a SANE failure, and the
// default source kept between runs.

#include <cstddef>
#include <string>
#include <vector>

#include <sane/sane.h>

#include "TwainTypes.h"

namespace vantorel {

struct TSaneDevice {
    std::string Name; // SANE's device name, which sane_open takes
    std::string Vendor;
    std::string Model;
    std::string Type;
    std::string ProductName; // the identity's name: unique among the devices, at most 32 bytes
};

// The longest text of a TW_STR32.
inline constexpr std::size_t MaxIdentityText = 32;

// Cuts a text to at most max bytes without splitting a UTF-8 character.
std::string CutText(const std::string &text, std::size_t max);
// Gives every device its ProductName: the model (the device name when there is none) cut to 32
// bytes; a name taken by an earlier device gets " (2)", " (3)", ... within the 32 bytes.
void MakeProductNames(std::vector<TSaneDevice> &devices);

// The pixel type a SANE scan mode stands for, by its usual names ("Color", "Gray", "Lineart",
// "Binary", "Halftone", ...). Colour modes of one bit per band ("Color Lineart") stand for none.
enum class TModeKind { None, BlackWhite, Gray, Color };
TModeKind ModeKindOf(const std::string &mode);

// SANE's text for a status, as sane_strstatus gives it.
std::string SaneStatusText(SANE_Status status);

// The condition code of a failed SANE call: short memory, a busy device, anything else.
TW_UINT16 ConditionOfSaneStatus(SANE_Status status);

// The default source is kept as SANE's device name in $XDG_CONFIG_HOME/vantorel/twainsource
// (~/.config when the variable is unset or relative). Empty when there is no file or no home.
std::string DefaultSourceFile();
std::string ReadDefaultSource();
// Replaces the file whole (a temporary file renamed over it); false when it cannot be written.
bool WriteDefaultSource(const std::string &deviceName);

} // namespace vantorel
