#pragma once

#include <cstdint>
#include <string>

namespace vantorel {

// Kind of a logo tree node, stored in one byte.
enum TLogoNodeKind : std::uint8_t { nkRoot = 0, nkFolder = 1, nkLogo = 2 };

// How the default selection frame is fitted to the picture.
enum TFitKind : std::uint8_t { fkWidth = 0, fkHeight = 1, fkSmaller = 2, fkBigger = 3 };

// The record every logo tree node carries; also the main window's logo template.
class TLogoDirObject {
public:
    TLogoNodeKind Kind = nkLogo;
    std::string Name = "Undefined";
    std::int32_t FrameLeft = -1;
    std::int32_t FrameTop = -1;
    std::int32_t FrameWidth = -1;
    std::int32_t FrameHeight = -1;
    std::int32_t PhoneMakeId = -1;
    std::int32_t PhoneModelId = -1;
    std::int32_t LogoWidth = 128;
    std::int32_t LogoHeight = 128;
    TFitKind FitKind = fkBigger;
    bool KeepProportions = true;
    std::string UploadURL;

    // Create: the defaults above.
    TLogoDirObject() = default;
    // CreateNamed: the defaults, then kind and name.
    TLogoDirObject(TLogoNodeKind kind, std::string name);
    // CreateCopy: every field of the source, the kind included.
    TLogoDirObject(const TLogoDirObject &source) = default;
    TLogoDirObject &operator=(const TLogoDirObject &source) = default;

    static TLogoDirObject Create() { return {}; }
    static TLogoDirObject CreateNamed(TLogoNodeKind kind, std::string name) { return {kind, std::move(name)}; }
    static TLogoDirObject CreateCopy(const TLogoDirObject &source) { return source; }

    bool operator==(const TLogoDirObject &) const = default;
};

} // namespace vantorel
