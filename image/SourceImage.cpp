#include "SourceImage.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>
#include <utility>

#include "ImageCodecs.h"
#include "LogCategories.h"
#include "PictureCache.h"
#include "Resample.h"
#include "ViewCanvas.h"

namespace vantorel {

namespace {

constexpr std::int32_t kMinPictureSide = 16;

// Nearest integer, ties to the even one.
std::int32_t Round(double value) { return static_cast<std::int32_t>(std::nearbyint(value)); }

TColor Toggled(TColor c) { return c == clBlack ? clWhite : clBlack; }

// One run of the selection frame's dashes along a row or a column. Each segment is drawn like
// the platform's pen, from the last point up to but not including the next, and clipped to the
// frame line that EraseFrame restores, so a frame narrower than a dash leaves nothing behind.
template <typename Canvas> class TDashRun {
public:
    TDashRun(Canvas &canvas, bool horizontal, std::int32_t line, std::int32_t start, std::int32_t length, TColor color)
        : Color(color), FCanvas(canvas), FHorizontal(horizontal), FLine(line), FStart(start), FEnd(start + length),
          FPos(start)
    {
    }

    TColor Color;

    // A first dash of `first` pixels, then 4-pixel dashes, then the remainder, toggling the
    // colour before each; returns the remainder (length - first) mod 4.
    std::int32_t Dashes(std::int32_t first)
    {
        const std::int32_t length = FEnd - FStart;
        LineTo(FStart + first);
        for (std::int32_t i = 1; i <= (length - first) / 4; ++i) {
            Color = Toggled(Color);
            LineTo(FStart + first + 4 * i);
        }
        Color = Toggled(Color);
        LineTo(FEnd);
        return (length - first) % 4;
    }

private:
    void LineTo(std::int32_t to)
    {
        // The pixels a pen line from FPos to `to` colours, then clipped to the frame line.
        std::int32_t lo = FPos < to ? FPos : to + 1;
        std::int32_t hi = FPos < to ? to : FPos + 1;
        if (FPos == to)
            hi = lo;
        lo = std::max(lo, FStart);
        hi = std::min(hi, FEnd);
        if (lo < hi) {
            if (FHorizontal)
                FCanvas.FillRect({lo, FLine, hi, FLine + 1}, Color);
            else
                FCanvas.FillRect({FLine, lo, FLine + 1, hi}, Color);
        }
        FPos = to;
    }

    Canvas &FCanvas;
    bool FHorizontal;
    std::int32_t FLine;
    std::int32_t FStart;
    std::int32_t FEnd;
    std::int32_t FPos;
};

} // namespace

TSourceImage::TSourceImage(TPoint paneSize, std::string fileName, TLogoDirObject *node, bool fitToPane)
    : PaneWidth(paneSize.X), PaneHeight(paneSize.Y), FileName(std::move(fileName)), FitToPane(fitToPane), Node(node),
      SourcePicture(PictureCache().Read(FileName)), Source(*SourcePicture)
{
    SourceWidth = Source.Width();
    SourceHeight = Source.Height();
}

std::string NoMemoryToShowMessage(const std::string &fileName)
{
    return fileName + ": there is not enough memory to show the picture";
}

TPoint TSourceImage::GetExtent() const
{
    const std::int32_t lw = Node->LogoWidth;
    const std::int32_t lh = Node->LogoHeight;
    return {std::max(SourceWidth, MulDiv(SourceHeight, lw, lh)), std::max(SourceHeight, MulDiv(SourceWidth, lh, lw))};
}

TPoint TSourceImage::Offset() const { return {(ExtentWidth - SourceWidth) / 2, (ExtentHeight - SourceHeight) / 2}; }

const TBitmap &TSourceImage::BuildView() { return BuildView(nullptr); }

const TBitmap &TSourceImage::BuildView(TSourceImage *previous)
{
    FViewBuilt = false;
    try {
        BuildViewBitmap(previous);
        FViewBuilt = true;
        return View;
    } catch (const std::bad_alloc &) {
        View = TBitmap();
        qCWarning(lcImage).noquote() << QString::fromStdString(FileName) << "no memory for a view of" << ViewWidth
                                     << "x" << ViewHeight;
        throw EImageError(NoMemoryToShowMessage(FileName));
    }
}

TSourceImage::TViewInputs TSourceImage::ViewInputs() const
{
    // A view at 100 % has the work area's size, a fitted one never has: the sizes tell the two apart.
    return {
        SourcePicture.get(), {ExtentWidth, ExtentHeight}, {ViewWidth, ViewHeight}, {ViewSourceWidth, ViewSourceHeight}};
}

bool TSourceImage::TakeViewFrom(TSourceImage *previous)
{
    if (!previous || !previous->FViewBuilt || previous->ViewInputs() != ViewInputs())
        return false;
    View = std::move(previous->View);
    previous->View = TBitmap();
    previous->FViewBuilt = false;
    return true;
}

const TBitmap &TSourceImage::BuildViewBitmap(TSourceImage *previous)
{
    const TPoint extent = GetExtent();
    ExtentWidth = extent.X;
    ExtentHeight = extent.Y;
    const std::int32_t ew = ExtentWidth, eh = ExtentHeight, pw = PaneWidth, ph = PaneHeight;
    // The index may hold a frame that lies outside this work area; it is placed anew, as the
    // frame of a new logo is.
    if (Node->FrameLeft != -1 && !FrameFitsWorkArea(*Node, Metrics())) {
        qCInfo(lcImage).noquote() << QString::fromStdString(FileName) << "the stored frame" << Node->FrameLeft
                                  << Node->FrameTop << Node->FrameWidth << Node->FrameHeight
                                  << "lies outside the work area; it is placed anew";
        Node->FrameLeft = Node->FrameTop = Node->FrameWidth = Node->FrameHeight = -1;
    }

    if (!FitToPane || (ew <= pw && eh <= ph)) {
        // The work area adds the logo's proportions to the picture; at 100 % it becomes a bitmap.
        if (ew > kMaxPictureSide || eh > kMaxPictureSide ||
            static_cast<std::uint64_t>(ew) * static_cast<std::uint64_t>(eh) * 3 > kMaxPictureBytes)
            throw EImageError(FileName + ": the work area of " + std::to_string(ew) + " x " + std::to_string(eh) +
                              " pixels is too large to show at 100 %; fit the image into the pane");
        ViewWidth = ew;
        ViewHeight = eh;
        ViewSourceWidth = SourceWidth;
        ViewSourceHeight = SourceHeight;
        if (TakeViewFrom(previous))
            return View;
        // The picture drawn on white: only the margins around it are filled.
        View.SetSizeForOverwrite(ViewWidth, ViewHeight);
        const TPoint o = Offset();
        const std::int32_t right = o.X + SourceWidth, bottom = o.Y + SourceHeight;
        View.FillRect({0, 0, ViewWidth, o.Y}, clWhite);
        View.FillRect({0, bottom, ViewWidth, ViewHeight}, clWhite);
        View.FillRect({0, o.Y, o.X, bottom}, clWhite);
        View.FillRect({right, o.Y, ViewWidth, bottom}, clWhite);
        View.Draw(o.X, o.Y, Source);
        return View;
    }

    auto byHeight = [&] {
        ViewHeight = ph;
        ViewWidth = MulDiv(ew, ph, eh);
        ViewSourceWidth = MulDiv(SourceWidth, ph, eh);
        ViewSourceHeight = MulDiv(SourceHeight, ph, eh);
    };
    auto byWidth = [&] {
        ViewWidth = pw;
        ViewHeight = MulDiv(eh, pw, ew);
        ViewSourceWidth = MulDiv(SourceWidth, pw, ew);
        ViewSourceHeight = MulDiv(SourceHeight, pw, ew);
    };
    if (ew <= pw) {
        byHeight();
    } else if (eh <= ph) {
        byWidth();
    } else {
        byWidth();
        if (ViewHeight > ph)
            byHeight();
    }
    // A very elongated work area in a tiny pane can scale a side down to nothing; the frame
    // arithmetic divides by the view's sides, so the view keeps at least one pixel each way.
    ViewWidth = std::max(ViewWidth, 1);
    ViewHeight = std::max(ViewHeight, 1);

    if (TakeViewFrom(previous))
        return View;
    View.SetSize(ViewWidth, ViewHeight, clWhite);
    const TRect target{(ViewWidth - ViewSourceWidth) / 2, (ViewHeight - ViewSourceHeight) / 2,
                       (ViewWidth + ViewSourceWidth) / 2, (ViewHeight + ViewSourceHeight) / 2};
    StretchResample(Source, View, {0, 0, SourceWidth, SourceHeight}, target);
    return View;
}

TFrameMetrics TSourceImage::Metrics() const
{
    return {SourceWidth, SourceHeight, ExtentWidth, ExtentHeight, ViewWidth, ViewHeight};
}

template <typename Canvas> void TSourceImage::DrawView(Canvas &canvas, std::int32_t x, std::int32_t y) const
{
    canvas.Draw(x, y, View);
    canvas.FrameRect({x, y, x + ViewWidth, y + ViewHeight}, clBlue);
    DrawFrame(canvas);
}

TRect TSourceImage::FrameInView() const
{
    const std::int32_t x0 = MulDiv(Node->FrameLeft, ViewWidth, ExtentWidth);
    const std::int32_t y0 = MulDiv(Node->FrameTop, ViewHeight, ExtentHeight);
    const std::int32_t w = MulDiv(Node->FrameWidth, ViewWidth, ExtentWidth);
    const std::int32_t h = MulDiv(Node->FrameHeight, ViewHeight, ExtentHeight);
    return {x0, y0, x0 + w, y0 + h};
}

template <typename Canvas> void TSourceImage::DrawFrame(Canvas &canvas) const
{
    const TRect f = FrameInView();
    const std::int32_t x0 = f.Left, y0 = f.Top, w = f.Width(), h = f.Height();
    const std::int32_t p = FramePhase;

    // Top then right edge, continuing the sequence around the corner.
    TDashRun<Canvas> top(canvas, true, y0, x0, w, FrameColor);
    const std::int32_t r = top.Dashes(p);
    TDashRun<Canvas> right(canvas, false, x0 + w - 1, y0, h, top.Color);
    right.Dashes(4 - r);

    // Left then bottom edge, likewise.
    TDashRun<Canvas> left(canvas, false, x0, y0, h, FrameColor);
    const std::int32_t r2 = left.Dashes(p);
    TDashRun<Canvas> bottom(canvas, true, y0 + h - 1, x0, w, left.Color);
    bottom.Dashes(4 - r2);
}

void TSourceImage::StepFramePhase()
{
    ++FramePhase;
    if (FramePhase > 4) {
        FramePhase = 1;
        FrameColor = Toggled(FrameColor);
    }
}

template <typename Canvas> void TSourceImage::EraseFrame(Canvas &canvas) const
{
    const TRect f = FrameInView();
    const std::int32_t x0 = f.Left, y0 = f.Top, w = f.Width(), h = f.Height();
    const TRect strips[] = {
        {x0, y0, x0 + w, y0 + 1},
        {x0, y0 + h - 1, x0 + w, y0 + h},
        {x0, y0, x0 + 1, y0 + h},
        {x0 + w - 1, y0, x0 + w, y0 + h},
    };
    for (const TRect &strip : strips)
        canvas.CopyRect(strip, View, strip);
    // The view bitmap does not hold the border, and a frame on the work area's edge covers it.
    canvas.FrameRect({0, 0, ViewWidth, ViewHeight}, clBlue);
}

template void TSourceImage::DrawView(TBitmap &, std::int32_t, std::int32_t) const;
template void TSourceImage::DrawView(TViewCanvas &, std::int32_t, std::int32_t) const;
template void TSourceImage::DrawFrame(TBitmap &) const;
template void TSourceImage::DrawFrame(TViewCanvas &) const;
template void TSourceImage::EraseFrame(TBitmap &) const;
template void TSourceImage::EraseFrame(TViewCanvas &) const;

TFrameHit TSourceImage::HitTest(std::int32_t x, std::int32_t y, TRect r)
{
    const std::int32_t e = HitEdgeTolerance;
    const std::int32_t k = HitCornerTolerance;
    auto in = [x, y](TRect zone) { return zone.Contains(x, y); };
    if (!in({r.Left - e, r.Top - e, r.Right + e, r.Bottom + e}))
        return fhOutside;
    if (in({r.Left + e, r.Top + e, r.Right - e, r.Bottom - e}))
        return fhInside;
    if (in({r.Left - k, r.Top - k, r.Left + k, r.Top + k}))
        return fhTopLeft;
    if (in({r.Right - k, r.Top - k, r.Right + k, r.Top + k}))
        return fhTopRight;
    if (in({r.Left - k, r.Bottom - k, r.Left + k, r.Bottom + k}))
        return fhBottomLeft;
    if (in({r.Right - k, r.Bottom - k, r.Right + k, r.Bottom + k}))
        return fhBottomRight;
    if (in({r.Left - e, r.Top, r.Left + e, r.Bottom}))
        return fhLeft;
    if (in({r.Left, r.Top - e, r.Right, r.Top + e}))
        return fhTop;
    if (in({r.Right - e, r.Top, r.Right + e, r.Bottom}))
        return fhRight;
    if (in({r.Left, r.Bottom - e, r.Right, r.Bottom + e}))
        return fhBottom;
    return fhOutside;
}

TCursor TSourceImage::CursorAt(std::int32_t x, std::int32_t y, TRect r)
{
    switch (HitTest(x, y, r)) {
    case fhInside:
        return crHandFlat;
    case fhTopLeft:
    case fhBottomRight:
        return crSizeNWSE;
    case fhTopRight:
    case fhBottomLeft:
        return crSizeNESW;
    case fhLeft:
    case fhRight:
        return crSizeWE;
    case fhTop:
    case fhBottom:
        return crSizeNS;
    case fhOutside:
        break;
    }
    return crDefault;
}

bool TSourceImage::RectHitsSource(TRect r) const
{
    // An empty rectangle (a damaged frame of no width or height) covers no pixel, and would
    // leave the clipping ratios undefined.
    if (r.IsEmpty())
        return false;
    return r.Right > 0 && r.Bottom > 0 && r.Left < SourceWidth && r.Top < SourceHeight;
}

bool TSourceImage::FrameHitsSource() const
{
    const TPoint offset = Offset();
    const TRect frame = FrameRectOf(*Node);
    return RectHitsSource(
        {frame.Left - offset.X, frame.Top - offset.Y, frame.Right - offset.X, frame.Bottom - offset.Y});
}

void TSourceImage::ClipToSource(TRect &srcRect, TRect &destRect) const
{
    const std::int32_t dw = destRect.Width();
    const std::int32_t dh = destRect.Height();
    TRect newDest = destRect;

    if (!Node->KeepProportions) {
        // The covered part fitted into the logo in its own proportions.
        srcRect.Left = std::max(srcRect.Left, 0);
        srcRect.Top = std::max(srcRect.Top, 0);
        srcRect.Right = std::min(srcRect.Right, SourceWidth);
        srcRect.Bottom = std::min(srcRect.Bottom, SourceHeight);
        const std::int32_t cw = srcRect.Width();
        const std::int32_t ch = srcRect.Height();
        double t = static_cast<double>(cw) / dw;
        newDest = {0, 0, dw, Round(ch / t)};
        if (newDest.Bottom > dh) {
            t = static_cast<double>(ch) / dh;
            newDest = {0, 0, Round(cw / t), dh};
        }
    } else {
        // The frame mapped onto the whole logo; the parts past the picture are cut off.
        const double kx = static_cast<double>(dw) / srcRect.Width();
        const double ky = static_cast<double>(dh) / srcRect.Height();
        if (srcRect.Left < 0) {
            newDest.Left += Round(-srcRect.Left * kx);
            srcRect.Left = 0;
        }
        if (srcRect.Top < 0) {
            newDest.Top += Round(-srcRect.Top * ky);
            srcRect.Top = 0;
        }
        if (srcRect.Right > SourceWidth) {
            newDest.Right -= Round((srcRect.Right - SourceWidth) * kx);
            srcRect.Right = SourceWidth;
        }
        if (srcRect.Bottom > SourceHeight) {
            newDest.Bottom -= Round((srcRect.Bottom - SourceHeight) * ky);
            srcRect.Bottom = SourceHeight;
        }
    }

    // Centred in the logo, relative to (0, 0).
    if (dw > newDest.Width()) {
        const std::int32_t w = newDest.Width();
        newDest.Left = (dw - w) / 2;
        newDest.Right = newDest.Left + w;
    }
    if (dh > newDest.Height()) {
        const std::int32_t h = newDest.Height();
        newDest.Top = (dh - h) / 2;
        newDest.Bottom = newDest.Top + h;
    }
    destRect = newDest;
}

TSourceImage::TLogoInputs TSourceImage::LogoInputs(const TRenderOptions &options) const
{
    return {SourcePicture.get(), Offset(), FrameRectOf(*Node), {Node->LogoWidth, Node->LogoHeight}, options};
}

bool TSourceImage::TakeLogoFrom(const TSourceImage &previous, const TRenderOptions &options)
{
    if (!previous.FLogoRendered || previous.Node != Node || previous.FLastLogo != LogoInputs(options))
        return false;
    Logo = previous.Logo;
    FLastLogo = previous.FLastLogo;
    FLogoRendered = true;
    return true;
}

bool TSourceImage::RenderLogo(TBitmap &dest, std::int32_t x, std::int32_t y, const TRenderOptions &options)
{
    // Only a rendering at the origin can stand for the display's target later.
    FLogoRendered = false;
    const TLogoInputs inputs = LogoInputs(options);
    const std::int32_t lw = Node->LogoWidth;
    const std::int32_t lh = Node->LogoHeight;
    TRect destRect{x, y, x + lw, y + lh};
    const TPoint offset = Offset();
    const TRect frame = FrameRectOf(*Node);
    TRect srcRect{frame.Left - offset.X, frame.Top - offset.Y, frame.Right - offset.X, frame.Bottom - offset.Y};

    const TRect whole{0, 0, dest.Width(), dest.Height()};
    const TColor background = options.FillEmptyArea ? options.EmptyAreaColor : clWhite;
    dest.FillRect(whole, background);
    bool rendered = true;
    if (RectHitsSource(srcRect)) {
        try {
            ClipToSource(srcRect, destRect);
            StretchResample(Source, dest, srcRect, destRect);
            if (options.FillEmptyArea) {
                Logo.SetSize(lw, lh);
                Logo.Draw(0, 0, dest);
            } else {
                // Cropped to the part the picture covers.
                Logo.SetSize(destRect.Width(), destRect.Height());
                Logo.CopyRect({0, 0, destRect.Width(), destRect.Height()}, dest, destRect);
            }
        } catch (const std::exception &e) {
            // Called on every move of the frame, where nothing could take the error: a logo not
            // rendered whole is none at all, so no command writes or sends it.
            qCWarning(lcImage).noquote() << QString::fromStdString(FileName)
                                         << "the logo could not be rendered:" << e.what();
            Logo = TBitmap();
            dest.FillRect(whole, background);
            rendered = false;
        }
    }
    // The border belongs to the display only; Logo was taken before it.
    dest.FrameRect(whole, clGray);
    FLastLogo = inputs;
    FLogoRendered = x == 0 && y == 0;
    return rendered;
}

bool TSourceImage::CheckImageFile(const std::string &fileName, TPromptService &prompts,
                                  TPictureCache::TDecoded *decoded)
{
    // The whole picture is read, not only its header: a file whose data is damaged must not
    // enter the library to fail at every display.
    TPoint size;
    TPictureCache::TDecoded read;
    try {
        read = TPictureCache::Decode(fileName);
        size = {read.Picture->Width(), read.Picture->Height()};
    } catch (...) {
        prompts.ShowError("Error loading image. Check if you have enough disk space and write permissions.");
        return false;
    }
    if (size.X < kMinPictureSide || size.Y < kMinPictureSide) {
        prompts.ShowError("Image dimensions must be at least 16x16.");
        return false;
    }
    if (decoded)
        *decoded = std::move(read);
    return true;
}

} // namespace vantorel
