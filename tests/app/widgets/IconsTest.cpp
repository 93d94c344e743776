#include "Icons.h"

#include <cstddef>
#include <iterator>

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

constexpr TIconId kAllIcons[] = {
    TIconId::Logo,           TIconId::Folder,       TIconId::Open,         TIconId::Save,    TIconId::ImportFromTWAIN,
    TIconId::GrabFromScreen, TIconId::Upload,       TIconId::NewFolder,    TIconId::Rename,  TIconId::Delete,
    TIconId::Convert,        TIconId::Mirror,       TIconId::Rotate,       TIconId::Options, TIconId::FitToPane,
    TIconId::Links,          TIconId::HelpContents, TIconId::SendToFriend, TIconId::About,   TIconId::Exit,
};

// How many pixels of a picture are not fully transparent: a glyph that drew nothing has none.
int InkedPixels(const QPixmap &pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            inked += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    return inked;
}

TEST(Icons, EveryIconHasAVisiblePictureAtToolbarAndMenuSizes)
{
    for (const TIconId id : kAllIcons) {
        SCOPED_TRACE(static_cast<int>(id));
        const QIcon icon = IconFor(id);
        ASSERT_FALSE(icon.isNull());
        for (const int size : {16, 24}) {
            const QPixmap pixmap = icon.pixmap(size);
            ASSERT_FALSE(pixmap.isNull());
            EXPECT_GT(InkedPixels(pixmap), size * size / 10);
        }
    }
}

TEST(Icons, DrawnIconsDifferFromOneAnother)
{
    // Two ids painted alike would mean a table row pointing at the wrong glyph.
    for (std::size_t i = 0; i < std::size(kAllIcons); ++i)
        for (std::size_t j = i + 1; j < std::size(kAllIcons); ++j)
            EXPECT_NE(IconFor(kAllIcons[i]).pixmap(16).toImage(), IconFor(kAllIcons[j]).pixmap(16).toImage())
                << static_cast<int>(kAllIcons[i]) << " and " << static_cast<int>(kAllIcons[j]);
}

TEST(Icons, ProgramIconComesInEveryDesktopSize)
{
    const QIcon icon = ProgramIcon();
    ASSERT_FALSE(icon.isNull());
    QList<int> sides;
    for (const QSize &size : icon.availableSizes())
        sides << size.width();
    EXPECT_EQ(sides, (QList<int>{16, 32, 48, 64, 128, 256}));
    EXPECT_GT(InkedPixels(icon.pixmap(48)), 48 * 48 / 4);
}

TEST(Icons, TheUploadBitmapsAreSixteenBySixteen)
{
    for (const QPixmap &pixmap : {UploadBoxBitmap(), UploadGlyph(), StopUploadGlyph()}) {
        EXPECT_EQ(pixmap.size(), QSize(16, 16));
        EXPECT_GT(InkedPixels(pixmap), 40);
    }
    EXPECT_NE(UploadGlyph().toImage(), StopUploadGlyph().toImage());
}

TEST(Icons, HandCursorsComeFromTheirPicturesWithTheHotSpotInThePalm)
{
    for (const QCursor &cursor : {HandFlatCursor(), HandGrabCursor()}) {
        ASSERT_EQ(cursor.shape(), Qt::BitmapCursor);
        EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32));
        const QImage image = cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
        // The hot spot lies on the white of the palm, not on the outline or outside.
        EXPECT_EQ(image.pixel(cursor.hotSpot()), qRgba(255, 255, 255, 255));
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    }
    EXPECT_NE(HandFlatCursor().pixmap().toImage(), HandGrabCursor().pixmap().toImage());
}

} // namespace
} // namespace vantorel
