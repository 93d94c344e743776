#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "Geometry.h"
#include "MultiTWAIN.h"
#include "TestManager.h"
#include "TestSupport.h"
#include "TwainMemory.h"

namespace vantorel::test {

// The script the manager library reads; a fresh one for every test.
extern TManagerScript GManagerScript;

struct TBox {
    std::string Caption;
    std::string Text;
    TTwainBoxIcon Icon = TTwainBoxIcon::None;
    bool operator==(const TBox &) const = default;
};

inline TBox ErrorBox(const std::string &text) { return {"TWAIN Error", text, TTwainBoxIcon::Warning}; }

// A packed DIB for tests. Pixel values are given by picture row, top row first: colour table
// indexes up to 8 bits, 0x00RRGGBB for 24 and 32 bits BI_RGB, the raw value otherwise.
struct TDibSpec {
    std::int32_t Width = 2;
    std::int32_t Height = 2; // negative: rows stored top-down
    std::uint16_t BitCount = 24;
    std::uint32_t Compression = BI_RGB;
    std::uint32_t ClrUsed = 0;
    std::vector<std::uint32_t> Palette = {}; // 0x00RRGGBB entries
    std::vector<std::uint32_t> Masks = {};   // BI_BITFIELDS: red, green, blue
    bool Core = false;                       // the 12-byte header
};

inline std::vector<std::uint8_t> MakeDib(const TDibSpec &spec, const std::vector<std::vector<std::uint32_t>> &rows)
{
    std::uint32_t headerSize = spec.Core ? 12 : 40;
    std::uint32_t entry = spec.Core ? 3 : 4;
    std::uint32_t colors = spec.ClrUsed ? spec.ClrUsed : spec.BitCount <= 8 ? 1u << spec.BitCount : 0;
    std::int32_t height = spec.Height < 0 ? -spec.Height : spec.Height;
    std::size_t stride = ((static_cast<std::size_t>(spec.Width) * spec.BitCount + 31) / 32) * 4;
    std::size_t masks = spec.Compression == BI_BITFIELDS ? 12 : 0;
    std::size_t bitsAt = headerSize + colors * entry + masks;
    std::vector<std::uint8_t> dib(bitsAt + stride * height, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            dib[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    auto put16 = [&](std::size_t at, std::uint32_t v) {
        dib[at] = static_cast<std::uint8_t>(v);
        dib[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    put32(0, headerSize);
    if (spec.Core) {
        put16(4, spec.Width);
        put16(6, height);
        put16(8, 1);
        put16(10, spec.BitCount);
    } else {
        put32(4, spec.Width);
        put32(8, spec.Height);
        put16(12, 1);
        put16(14, spec.BitCount);
        put32(16, spec.Compression);
        put32(32, spec.ClrUsed);
    }
    for (std::size_t i = 0; i < colors && i < spec.Palette.size(); ++i) {
        std::uint32_t c = spec.Palette[i];
        dib[headerSize + i * entry] = c & 0xFF;
        dib[headerSize + i * entry + 1] = (c >> 8) & 0xFF;
        dib[headerSize + i * entry + 2] = (c >> 16) & 0xFF;
    }
    for (std::size_t i = 0; i < spec.Masks.size() && masks; ++i)
        put32(headerSize + colors * entry + 4 * i, spec.Masks[i]);
    for (std::int32_t y = 0; y < height && y < static_cast<std::int32_t>(rows.size()); ++y) {
        std::size_t row = bitsAt + stride * (spec.Height < 0 ? y : height - 1 - y);
        for (std::int32_t x = 0; x < spec.Width && x < static_cast<std::int32_t>(rows[y].size()); ++x) {
            std::uint32_t v = rows[y][x];
            switch (spec.BitCount) {
            case 1:
                dib[row + x / 8] |= static_cast<std::uint8_t>((v & 1) << (7 - x % 8));
                break;
            case 4:
                dib[row + x / 2] |= static_cast<std::uint8_t>((v & 0xF) << (x % 2 ? 0 : 4));
                break;
            case 8:
                dib[row + x] = static_cast<std::uint8_t>(v);
                break;
            case 16:
                put16(row + 2 * x, v);
                break;
            case 24:
                dib[row + 3 * x] = v & 0xFF;
                dib[row + 3 * x + 1] = (v >> 8) & 0xFF;
                dib[row + 3 * x + 2] = (v >> 16) & 0xFF;
                break;
            case 32:
                put32(row + 4 * x, v);
                break;
            }
        }
    }
    return dib;
}

// A 24-bit 2 x 2 picture whose top-left pixel tells pictures apart.
inline std::vector<std::uint8_t> SmallDib(std::uint32_t marker)
{
    return MakeDib({}, {{marker, 0x00FF00}, {0x0000FF, 0xFFFFFF}});
}

inline TW_HANDLE BlockOf(const std::vector<std::uint8_t> &bytes)
{
    TW_HANDLE block = GlobalAlloc(bytes.size());
    std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t *>(GlobalLock(block)));
    return block;
}

// A 0x00RRGGBB value as the bitmap's 0x00BBGGRR colour.
inline TColor Rgb(std::uint32_t rgb)
{
    return static_cast<TColor>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
}

// The set-up every wrapper test shares: the scripted manager installed in a temporary Windows
// folder, boxes recorded, a window to hand over, and a timer that keeps waking the nested loop
// (the scripted source has no user interface to make events).
class TTwainTestBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        GManagerScript = {};
        std::filesystem::copy_file(ACQUIRE_TEST_MANAGER, Folder / "TWAIN_32.DLL");
        TWAIN_SetWindowsFolder(Folder.Path());
        TWAIN_SetBoxHandler([this](const std::string &caption, const std::string &text, TTwainBoxIcon icon) {
            Boxes.push_back({caption, text, icon});
        });
        TWAIN_ClearImageCallback();
        TWAIN_SetHideUI(0);
        Window.show();
        Handle = Window.winId();
        QObject::connect(&Wake, &QTimer::timeout, [] {});
        Wake.start(0);
    }
    void TearDown() override
    {
        Wake.stop();
        TWAIN_SetBoxHandler({});
        EXPECT_EQ(TWAIN_State(), 1);
    }

    TManagerScript &Script() { return GManagerScript; }

    TTempDir Folder;
    std::vector<TBox> Boxes;
    QWidget Window;
    WId Handle = 0;
    QTimer Wake;
};

} // namespace vantorel::test
