// The parts of the manager that need no device: frames the test device never sends, and the
// identities' names.
#include <cstring>

#include "SaneDib.h"
#include "SaneSources.h"
#include "SaneTestSupport.h"

namespace vantorel::test {
namespace {

TEST(SaneDibTest, FramesBecomeBottomUpRowsWithoutTheirPadding)
{
    const struct {
        const char *Description;
        SANE_Parameters Frame; // format, last frame, bytes per line, pixels per line, lines, depth
        std::vector<std::uint8_t> Data;
        std::vector<std::uint32_t> Bits; // the DIB's rows from the bottom one, as 32-bit words
    } cases[] = {
        {"grey with bytes past its pixels",
         {SANE_FRAME_GRAY, 1, 5, 3, 2, 8},
         {1, 2, 3, 9, 9, 4, 5, 6, 9, 9},
         {0x060504, 0x030201}},
        {"one bit: the bits past the last pixel cleared",
         {SANE_FRAME_GRAY, 1, 3, 10, 1, 1},
         {0xF0, 0xFF, 0xEE},
         {0xC0F0}},
        {"unknown height: a cut-off last line dropped", {SANE_FRAME_GRAY, 1, 2, 1, -1, 8}, {7, 0, 8, 0, 9}, {8, 7}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Description);
        TSaneDibBuilder builder;
        ASSERT_EQ(builder.BeginFrame(c.Frame), SANE_STATUS_GOOD);
        for (std::uint8_t byte : c.Data) // in the smallest pieces
            ASSERT_EQ(builder.Add(&byte, 1), SANE_STATUS_GOOD);
        SANE_Status status;
        TW_HANDLE dib = builder.Finish(300, status);
        ASSERT_EQ(status, SANE_STATUS_GOOD);
        const auto *header = static_cast<const BITMAPINFOHEADER *>(GlobalLock(dib));
        EXPECT_EQ(header->biXPelsPerMeter, 11811); // 300 dpi
        const std::uint8_t *bits = DibBits(header);
        std::vector<std::uint32_t> words(c.Bits.size());
        ASSERT_EQ(GlobalSize(dib), bits - reinterpret_cast<const std::uint8_t *>(header) + 4 * words.size());
        std::memcpy(words.data(), bits, 4 * words.size());
        EXPECT_EQ(words, c.Bits);
        TWAIN_FreeNative(dib);
    }
}

TEST(SaneDibTest, FramesWithoutAConversionAreRefused)
{
    const struct {
        const char *Description;
        std::vector<SANE_Parameters> Frames; // the last one is refused
        SANE_Status Status;
    } cases[] = {
        {"a depth of four", {{SANE_FRAME_GRAY, 1, 2, 4, 1, 4}}, SANE_STATUS_UNSUPPORTED},
        {"lines shorter than their pixels", {{SANE_FRAME_RGB, 1, 5, 2, 1, 8}}, SANE_STATUS_INVAL},
        {"a frame after a grey one",
         {{SANE_FRAME_GRAY, 0, 1, 1, 1, 8}, {SANE_FRAME_RED, 1, 1, 1, 1, 8}},
         SANE_STATUS_INVAL},
        {"a band of another width",
         {{SANE_FRAME_RED, 0, 1, 1, 1, 8}, {SANE_FRAME_GREEN, 1, 2, 2, 1, 8}},
         SANE_STATUS_INVAL},
    };
    for (const auto &c : cases) {
        TSaneDibBuilder builder;
        for (std::size_t i = 0; i < c.Frames.size(); ++i)
            EXPECT_EQ(builder.BeginFrame(c.Frames[i]), i + 1 < c.Frames.size() ? SANE_STATUS_GOOD : c.Status)
                << c.Description;
    }
    // A scan that ended before its first whole row gives no picture.
    TSaneDibBuilder empty;
    ASSERT_EQ(empty.BeginFrame({SANE_FRAME_GRAY, 1, 4, 1, 4, 8}), SANE_STATUS_GOOD);
    SANE_Status status;
    EXPECT_EQ(empty.Finish(0, status), nullptr);
    EXPECT_EQ(status, SANE_STATUS_INVAL);
}

TEST(SaneSourcesTest, ProductNamesAreModelsMadeUniqueWithin32Bytes)
{
    const std::string longModel(40, 'm');
    const std::string accent = std::string(31, 'a') + "\xC3\xA9"; // "é" across the 32nd byte
    std::vector<TSaneDevice> devices;
    for (const std::string &model : {std::string("Scanner"), std::string("Scanner"), std::string("Scanner (2)"),
                                     std::string(), longModel, longModel, accent})
        devices.push_back({"dev:" + std::to_string(devices.size()), "", model, "", ""});
    MakeProductNames(devices);
    std::vector<std::string> names;
    for (const TSaneDevice &d : devices)
        names.push_back(d.ProductName);
    EXPECT_EQ(names,
              (std::vector<std::string>{"Scanner", "Scanner (2)", "Scanner (2) (2)", "dev:3", std::string(32, 'm'),
                                        std::string(28, 'm') + " (2)", std::string(31, 'a')}));
    // A suffix of two digits leaves a byte less of the model.
    std::vector<TSaneDevice> many(11, TSaneDevice{"dev", "", std::string(32, 'x'), "", ""});
    MakeProductNames(many);
    EXPECT_EQ(many[8].ProductName, std::string(28, 'x') + " (9)");
    EXPECT_EQ(many[10].ProductName, std::string(27, 'x') + " (11)");
}

} // namespace
} // namespace vantorel::test
