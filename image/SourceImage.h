#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Bitmap.h"
#include "FrameGeometry.h"
#include "Geometry.h"
#include "LogoDirObject.h"
#include "PictureCache.h"
#include "PromptService.h"

namespace vantorel {

inline constexpr std::int32_t HitEdgeTolerance = 2;
inline constexpr std::int32_t HitCornerTolerance = 8;

// The cursor numbers of the frame: the default arrow, the open hand of screen cursor slot 1
// and the four standard sizing cursors.
enum TCursor : std::int32_t {
    crDefault = 0,
    crHandFlat = 1,
    crHandGrab = 2,
    crSizeNESW = -6,
    crSizeNS = -7,
    crSizeNWSE = -8,
    crSizeWE = -9,
};

// The options a rendering reads at its moment.
struct TRenderOptions {
    bool FillEmptyArea = false;
    TColor EmptyAreaColor = clWhite;
    bool operator==(const TRenderOptions &) const = default;
};

// The image document of the shown logo: its picture, the work area (the picture centred in the
// smallest box of the logo's proportions), the view shown in the picture pane, and the rendered
// logo.
class TSourceImage {
public:
    // Loads the picture; raises EImageError when it cannot be read. node is not owned and must
    // outlive the document.
    TSourceImage(TPoint paneSize, std::string fileName, TLogoDirObject *node, bool fitToPane);

    std::int32_t PaneWidth = 0;
    std::int32_t PaneHeight = 0;
    std::string FileName;
    bool FitToPane = false;
    TBitmap View;
    TBitmap Logo; // empty until the first rendering that finds picture in the frame
    std::int32_t FramePhase = 1;
    TColor FrameColor = clBlack;
    std::int32_t SourceWidth = 0;
    std::int32_t SourceHeight = 0;
    std::int32_t ExtentWidth = 0;
    std::int32_t ExtentHeight = 0;
    std::int32_t ViewWidth = 0;
    std::int32_t ViewHeight = 0;
    std::int32_t ViewSourceWidth = 0;
    std::int32_t ViewSourceHeight = 0;
    TLogoDirObject *Node = nullptr;
    // The picture as loaded, shared with the picture cache (so a rebuild for the same file does not
    // decode it again) and never changed; Source is it.
    std::shared_ptr<const TBitmap> SourcePicture;
    const TBitmap &Source;

    // The work-area rule.
    TPoint GetExtent() const;
    // The picture's place in the work area.
    TPoint Offset() const;
    // Computes the work area and builds the view (100 %, or fitted into the pane). A stored frame
    // that does not fit the work area is reset to none (-1), for the caller to place anew. Raises
    // EImageError, the view left empty, when the view cannot be built.
    const TBitmap &BuildView();
    // The same, taking over the view of a document made before (for another pane size, or the
    // same) where that view is the one this document would build (same picture, work area and
    // view): a redisplay that leaves the view as it was costs neither resampling nor a new bitmap.
    // previous is left without its view.
    const TBitmap &BuildView(TSourceImage *previous);
    TFrameMetrics Metrics() const;

    // The view with its blue border and the frame, drawn at (x, y). The canvas is a TBitmap or a
    // TViewCanvas (the pane's, showing this view), drawn on alike.
    template <typename Canvas> void DrawView(Canvas &canvas, std::int32_t x, std::int32_t y) const;
    // The moving dashes of the frame in their current state.
    template <typename Canvas> void DrawFrame(Canvas &canvas) const;
    void StepFramePhase();
    // Restores the strips under the frame from the view, and the blue border.
    template <typename Canvas> void EraseFrame(Canvas &canvas) const;
    // The frame in view pixels (x0, y0, x0 + w, y0 + h).
    TRect FrameInView() const;

    static TFrameHit HitTest(std::int32_t x, std::int32_t y, TRect r);
    static TCursor CursorAt(std::int32_t x, std::int32_t y, TRect r);

    // Whether a rectangle in source pixels covers a picture pixel.
    bool RectHitsSource(TRect r) const;
    bool FrameHitsSource() const;
    // Clips srcRect to the picture and shrinks and centres destRect to match.
    void ClipToSource(TRect &srcRect, TRect &destRect) const;
    // Renders the framed part into dest at (x, y), refreshes Logo and draws the grey border. When
    // the rendering fails (the reason is logged) Logo is left empty and dest blank; returns false.
    bool RenderLogo(TBitmap &dest, std::int32_t x, std::int32_t y, const TRenderOptions &options);
    // Takes Logo from a document made before, when its last rendering used the same picture, work
    // area, frame, logo size and options as this document would: dest, rendered by it then, is
    // left as it is. Returns false, taking nothing, otherwise.
    bool TakeLogoFrom(const TSourceImage &previous, const TRenderOptions &options);

    // Whether a picture file can enter the library: readable and at least 16 x 16 pixels.
    // Reports through the prompt service and returns false otherwise. The picture read for the
    // check goes to decoded when given, for a copy of the file to take over.
    static bool CheckImageFile(const std::string &fileName, TPromptService &prompts,
                               TPictureCache::TDecoded *decoded = nullptr);

private:
    // What the view and the logo were made from; equal inputs make equal pixels.
    struct TViewInputs {
        const TBitmap *Picture = nullptr;
        TPoint Extent, View, ViewSource;
        bool operator==(const TViewInputs &) const = default;
    };
    struct TLogoInputs {
        const TBitmap *Picture = nullptr;
        TPoint Offset;
        TRect Frame;
        TPoint LogoSize;
        TRenderOptions Options;
        bool operator==(const TLogoInputs &) const = default;
    };

    const TBitmap &BuildViewBitmap(TSourceImage *previous);
    bool TakeViewFrom(TSourceImage *previous);
    TViewInputs ViewInputs() const;
    TLogoInputs LogoInputs(const TRenderOptions &options) const;

    bool FViewBuilt = false;
    bool FLogoRendered = false; // the last RenderLogo at (0, 0) ended, well or not
    TLogoInputs FLastLogo;
};

// What the user is told when the memory to show a picture cannot be had.
std::string NoMemoryToShowMessage(const std::string &fileName);

} // namespace vantorel
