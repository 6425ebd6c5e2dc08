// The drawing kit shared by both windows. Every operation makes its own GDI+ objects, releases them
// before it returns and records failures in the context instead of reporting them.
#include "ui/draw.h"

#include <algorithm>
#include <string>

#include "install/installer_app.h"

namespace gp = Gdiplus::DllExports;
using Gdiplus::GpStatus;
using Gdiplus::Ok;

namespace {

constexpr float PillRadius = 10.0f;
constexpr float ArrowRadius = 8.0f;
constexpr float ChipRadius = 10.0f;
constexpr float PillTextSize = 12.0f;
constexpr float ChipTextSize = 11.0f;
constexpr float ChevronPenWidth = 2.0f;

constexpr uint32_t PrimaryFill = 0xFFE86094;
constexpr uint32_t PrimaryFillHot = 0xFFF579A5;
constexpr uint32_t PrimaryOutline = 0x5AFFFFFF;
constexpr uint32_t PrimaryText = 0xFFFFFFFF;
constexpr uint32_t SecondaryFill = 0xD7FFFFFF;
constexpr uint32_t SecondaryFillHot = 0xF5FFF2F7;
constexpr uint32_t SecondaryOutline = 0x69E0C1D0;
constexpr uint32_t SecondaryText = 0xFF493B50;
constexpr uint32_t ArrowFill = 0xDCFFFFFF;
constexpr uint32_t ArrowFillHot = 0xFFF9DAE7;
constexpr uint32_t ChevronColour = 0xEB5C465F;
constexpr uint32_t ChipSelectedFill = 0xFFEB6397;
constexpr uint32_t ChipHoverFill = 0xD2FFECF4;
constexpr uint32_t ChipSelectedText = 0xFFFFFFFF;
constexpr uint32_t ChipText = 0xFF46374E;

Gdiplus::RectF toGdiplus(const RectF& r) { return Gdiplus::RectF(r.X, r.Y, r.Width, r.Height); }

OwnedPath makeRoundedPath(DrawContext& dc, const RectF& rect, float radius) {
    Gdiplus::GpPath* raw = nullptr;
    const GpStatus status = gp::GdipCreatePath(Gdiplus::FillModeAlternate, &raw);
    dc.record(status);
    OwnedPath path(status == Ok ? raw : nullptr);
    dc.record(addRoundedRect(path.get(), rect, radius));
    return path;
}

}  // namespace

void paintBuffered(HWND window, const std::function<void(DrawContext& dc, int width, int height)>& draw) {
    PAINTSTRUCT ps;
    HDC paintDc = BeginPaint(window, &ps);
    RECT client{};
    GetClientRect(window, &client);
    const int w = std::max<int>(client.right - client.left, 1);
    const int h = std::max<int>(client.bottom - client.top, 1);
    {
        // The bitmap is selected out and both are deleted before EndPaint.
        OwnedDc memoryDc(CreateCompatibleDC(paintDc));
        OwnedGdiObject bitmap(memoryDc ? CreateCompatibleBitmap(paintDc, w, h) : nullptr);
        if (bitmap) {
            ScopedSelect selected(memoryDc.get(), bitmap.get());
            Gdiplus::GpGraphics* raw = nullptr;
            if (gp::GdipCreateFromHDC(memoryDc.get(), &raw) == Gdiplus::Ok) {
                {
                    OwnedGraphics graphics(raw);
                    DrawContext dc;
                    dc.graphics = graphics.get();
                    draw(dc, w, h);
                }
                BitBlt(paintDc, 0, 0, w, h, memoryDc.get(), 0, 0, SRCCOPY);
            }
        }
    }
    EndPaint(window, &ps);
}

float boldOffsetFor(int32_t language, bool bold) {
    if (language != TraditionalChinese) return 0.0f;
    return bold ? 0.6f : 0.28f;
}

Brush makeSolidBrush(uint32_t colour) {
    Brush result;
    Gdiplus::GpSolidFill* raw = nullptr;
    result.status = gp::GdipCreateSolidFill(colour, &raw);
    if (result.status == Ok) result.brush.reset(raw);
    return result;
}

Brush makeGradientBrush(PointF start, PointF end, uint32_t startColour, uint32_t endColour) {
    Brush result;
    const Gdiplus::PointF from(start.X, start.Y);
    const Gdiplus::PointF to(end.X, end.Y);
    Gdiplus::GpLineGradient* raw = nullptr;
    result.status = gp::GdipCreateLineBrush(&from, &to, startColour, endColour, Gdiplus::WrapModeTile, &raw);
    if (result.status == Ok) result.brush.reset(raw);
    return result;
}

GpStatus addRoundedRect(Gdiplus::GpPath* path, const RectF& r, float radius) {
    // The progress fill starts narrower than its corners are round.
    const float d = std::min(2.0f * radius, std::min(r.Width, r.Height));
    GpStatus result = Ok;
    auto keep = [&result](GpStatus s) {
        if (s != Ok) result = s;
    };
    // Consecutive arcs are joined by straight lines, which form the four sides.
    keep(gp::GdipAddPathArc(path, r.X, r.Y, d, d, 180.0f, 90.0f));
    keep(gp::GdipAddPathArc(path, r.X + r.Width - d, r.Y, d, d, 270.0f, 90.0f));
    keep(gp::GdipAddPathArc(path, r.X + r.Width - d, r.Y + r.Height - d, d, d, 0.0f, 90.0f));
    keep(gp::GdipAddPathArc(path, r.X, r.Y + r.Height - d, d, d, 90.0f, 90.0f));
    keep(gp::GdipClosePathFigure(path));
    return result;
}

void fillRoundedRect(DrawContext& dc, const RectF& rect, float radius, uint32_t colour) {
    OwnedPath path = makeRoundedPath(dc, rect, radius);
    Brush brush = makeSolidBrush(colour);
    dc.record(brush.status);
    dc.record(gp::GdipFillPath(dc.graphics, brush.get(), path.get()));
}

void strokeRoundedRect(DrawContext& dc, const RectF& rect, float radius, uint32_t colour) {
    OwnedPath path = makeRoundedPath(dc, rect, radius);
    Gdiplus::GpPen* raw = nullptr;
    const GpStatus status = gp::GdipCreatePen1(colour, 1.0f, Gdiplus::UnitWorld, &raw);
    dc.record(status);
    OwnedPen pen(status == Ok ? raw : nullptr);
    dc.record(gp::GdipDrawPath(dc.graphics, pen.get(), path.get()));
}

void drawText(DrawContext& dc, const FontFamily* family, const wchar_t* text, int length, float size, int style,
              uint32_t colour, const RectF& box, int alignment, int trimming, float boldOffset) {
    if (!family || !text || length == 0 || (length < 0 && text[0] == L'\0')) return;

    Gdiplus::GpFont* rawFont = nullptr;
    GpStatus status = gp::GdipCreateFont(family->family, size, style, Gdiplus::UnitPixel, &rawFont);
    dc.record(status);
    OwnedFont font(status == Ok ? rawFont : nullptr);

    Brush brush = makeSolidBrush(colour);
    dc.record(brush.status);

    Gdiplus::GpStringFormat* rawFormat = nullptr;
    status = gp::GdipCreateStringFormat(0, LANG_NEUTRAL, &rawFormat);
    dc.record(status);
    OwnedStringFormat format(status == Ok ? rawFormat : nullptr);
    dc.record(gp::GdipSetStringFormatAlign(format.get(), static_cast<Gdiplus::StringAlignment>(alignment)));
    dc.record(gp::GdipSetStringFormatLineAlign(format.get(), Gdiplus::StringAlignmentCenter));
    dc.record(gp::GdipSetStringFormatTrimming(format.get(), static_cast<Gdiplus::StringTrimming>(trimming)));
    dc.record(gp::GdipSetStringFormatFlags(format.get(), Gdiplus::StringFormatFlagsNoWrap));

    Gdiplus::RectF layout = toGdiplus(box);
    dc.record(gp::GdipDrawString(dc.graphics, text, length, font.get(), &layout, format.get(), brush.get()));
    if (boldOffset > 0.0f) {
        layout.X += boldOffset;
        dc.record(gp::GdipDrawString(dc.graphics, text, length, font.get(), &layout, format.get(), brush.get()));
    }
}

void drawPillButton(const InstallerApp& app, DrawContext& dc, const RectF& rect, const wchar_t* text, bool hot,
                    bool primary) {
    const uint32_t fill = primary ? (hot ? PrimaryFillHot : PrimaryFill) : (hot ? SecondaryFillHot : SecondaryFill);
    fillRoundedRect(dc, rect, PillRadius, fill);
    strokeRoundedRect(dc, rect, PillRadius, primary ? PrimaryOutline : SecondaryOutline);
    drawText(dc, app.fontFamily.get(), text, -1, PillTextSize, StyleBold, primary ? PrimaryText : SecondaryText, rect,
             AlignCentre, TrimCharacter, boldOffsetFor(app.language, true));
}

void drawArrowButton(DrawContext& dc, const RectF& rect, bool pointsRight, bool hot) {
    fillRoundedRect(dc, rect, ArrowRadius, hot ? ArrowFillHot : ArrowFill);
    const float cx = rect.X + rect.Width * 0.5f;
    const float cy = rect.Y + rect.Height * 0.5f;
    const float side = pointsRight ? 1.0f : -1.0f;
    const Gdiplus::PointF chevron[3] = {
        {cx - 3.0f * side, cy - 6.0f}, {cx + 4.0f * side, cy}, {cx - 3.0f * side, cy + 6.0f}};
    Gdiplus::GpPen* raw = nullptr;
    const GpStatus status = gp::GdipCreatePen1(ChevronColour, ChevronPenWidth, Gdiplus::UnitWorld, &raw);
    dc.record(status);
    OwnedPen pen(status == Ok ? raw : nullptr);
    dc.record(gp::GdipDrawLines(dc.graphics, pen.get(), chevron, 3));
}

void drawLanguageChip(const InstallerApp& app, DrawContext& dc, const RectF& rect, const wchar_t* text,
                      int32_t language, int32_t controlId) {
    const bool selected = language == app.language;
    if (selected || app.hoverControl == controlId)
        fillRoundedRect(dc, rect, ChipRadius, selected ? ChipSelectedFill : ChipHoverFill);
    const std::wstring caption = text ? text : L"";
    // Each chip names its language in that language's own script, so it takes that language's font:
    // the Latin interface font has no CJK glyphs, and GDI+ does not fall back to another font.
    OwnedFontFamily ownFamily;
    const FontFamily* family = app.fontFamily.get();
    if (language != app.language) {
        ownFamily = createFontFamily(language);
        family = ownFamily.get();
    }
    drawText(dc, family, caption.c_str(), static_cast<int>(caption.size()), ChipTextSize,
             selected ? StyleBold : StyleRegular, selected ? ChipSelectedText : ChipText, rect, AlignCentre,
             TrimCharacter, boldOffsetFor(app.language, selected));
}
