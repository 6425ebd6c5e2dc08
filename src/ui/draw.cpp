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

Gdiplus::RectF toGdiplus(const RectF& r) { return Gdiplus::RectF(r.X, r.Y, r.Width, r.Height); }

OwnedPath makeRoundedPath(DrawContext& dc, const RectF& rect, float radius) {
    Gdiplus::GpPath* raw = nullptr;
    const GpStatus status = gp::GdipCreatePath(Gdiplus::FillModeAlternate, &raw);
    dc.record(status);
    OwnedPath path(status == Ok ? raw : nullptr);
    dc.record(addRoundedRect(path.get(), rect, radius));
    return path;
}

// A colour of no opacity draws nothing, so the palettes can leave an element out.
bool visible(uint32_t colour) { return (colour >> 24) != 0; }

// An outline of the given width whose outer edge lies `inset` inside the rectangle.
void strokeInside(DrawContext& dc, const RectF& r, float radius, uint32_t colour, float inset, float width) {
    const float middle = inset + width / 2;
    const RectF band{r.X + middle, r.Y + middle, r.Width - 2 * middle, r.Height - 2 * middle};
    if (!visible(colour) || band.Width <= 0 || band.Height <= 0) return;
    OwnedPath path = makeRoundedPath(dc, band, std::max(radius - middle, 1.0f));
    Gdiplus::GpPen* raw = nullptr;
    const GpStatus status = gp::GdipCreatePen1(colour, width, Gdiplus::UnitWorld, &raw);
    dc.record(status);
    OwnedPen pen(status == Ok ? raw : nullptr);
    dc.record(gp::GdipDrawPath(dc.graphics, pen.get(), path.get()));
}

// GetSysColor's 0x00BBGGRR as an opaque 0xAARRGGBB.
uint32_t argb(COLORREF c) { return 0xFF000000u | GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c); }

}  // namespace

Palette standardPalette() {
    Palette p{};
    p.picture = true;
    p.washStart = 0xFFFFFAFC;
    p.washEnd = 0xFFF7E7F0;
    p.panelShadow = 0x2A4E3348;
    p.panel = 0xE8FFFBFD;
    p.panelOutline = 0x9BFFFFFF;
    p.accent = 0xFFF1719E;
    p.card = 0xCDFFFFFF;
    p.cardOutline = 0x64E6CAD7;
    p.subtitle = 0xFF6F5973;
    p.title = 0xFF41314B;
    p.headline = 0xFF413648;
    p.detail = 0xE16B5F71;
    p.label = 0xE169586E;
    p.path = 0xF543394B;
    p.counter = 0xBE716375;
    p.footer = 0xBE706074;
    p.patchFound = 0xFF3DB784;
    p.patchMissing = 0xFFE85B76;
    p.success = 0xFF268E67;
    p.good = 0xFF2B8B69;
    p.warning = 0xFFB16719;
    p.failure = 0xFFC33B53;
    p.noFolder = 0xFFB5691F;
    p.track = 0x7DE0CFD7;
    p.progress = p.accent;
    p.mainFill = 0xFFEC699A;
    p.mainFillHot = 0xFFF97EA9;
    p.cancelFill = 0xE6C64865;
    p.cancelFillHot = 0xF5E05972;
    p.mainText = 0xFFFFFFFF;
    p.mainShadow = 0x225B364E;
    p.mainFillInert = 0xB4D2CAD2;
    p.mainTextInert = 0x96FFFFFF;
    p.primary = {0xFFE86094, 0xFFF579A5, 0x5AFFFFFF, 0xFFFFFFFF};
    p.secondary = {0xD7FFFFFF, 0xF5FFF2F7, 0x69E0C1D0, 0xFF493B50};
    p.arrow = {0xDCFFFFFF, 0xFFF9DAE7, 0, 0xEB5C465F};
    p.chip = {0, 0xD2FFECF4, 0, 0xFF46374E};
    p.switchFill = 0xE1FFFFFF;
    p.switchOutline = 0x5FE8CCD8;
    p.music = {p.switchFill, 0xFAFFEBF3, p.switchOutline, 0xFF4C3A53};
    p.chipSelected = 0xFFEB6397;
    p.chipSelectedText = 0xFFFFFFFF;
    p.speakerOff = 0xB48E8491;
    p.cross = 0xFFE04A6F;
    // A deep plum band outside a white one: the plum stands out on the white and pink faces, the white
    // on the plum text and the main button.
    p.focusOuter = 0xFF7A2A63;
    p.focusInner = 0xFFFFFFFF;
    p.languageWashStart = 0xFFFFFBFD;
    p.languageWashEnd = 0xFFF7E6F0;
    p.languageTitle = 0xFF44324E;
    p.cardShadow = 0x1C5E3950;
    p.cardFace = 0xE1FFFFFF;
    p.cardFaceHot = 0xFFFFE5F0;
    p.cardBorder = 0x69E4C2D1;
    p.cardBorderHot = 0xBEEC6899;
    p.cardLabel = 0xFF45344E;
    return p;
}

Palette highContrastPalette(const SystemColours& c) {
    const uint32_t window = argb(c.window), text = argb(c.windowText), face = argb(c.buttonFace),
                   faceText = argb(c.buttonText), highlight = argb(c.highlight), highlightText = argb(c.highlightText),
                   gray = argb(c.grayText);
    Palette p{};
    p.picture = false;
    p.washStart = p.washEnd = p.panel = p.card = p.track = window;
    p.panelOutline = p.cardOutline = p.trackOutline = p.accent = text;
    p.subtitle = p.title = p.headline = p.detail = p.label = p.path = p.counter = p.footer = text;
    p.patchFound = p.patchMissing = p.success = p.good = p.warning = p.failure = p.noFolder = text;
    p.progress = p.mainFill = p.mainFillHot = p.cancelFill = p.cancelFillHot = p.chipSelected = highlight;
    p.mainText = p.chipSelectedText = highlightText;
    p.mainFillInert = face;
    p.mainTextInert = p.speakerOff = p.inert = gray;
    p.primary = p.secondary = p.music = {face, face, faceText, faceText};
    p.arrow = {face, face, faceText, faceText};
    p.chip = {0, 0, 0, faceText};
    p.switchFill = face;
    p.switchOutline = p.cross = faceText;
    p.hotOutline = argb(c.hotLight);
    p.focusOuter = highlight;
    p.focusInner = highlightText;
    p.languageWashStart = p.languageWashEnd = window;
    p.languageTitle = text;
    p.cardFace = p.cardFaceHot = face;
    p.cardBorder = p.cardLabel = faceText;
    p.cardBorderHot = p.hotOutline;
    return p;
}

Palette systemPalette() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) ||
        !(contrast.dwFlags & HCF_HIGHCONTRASTON))
        return standardPalette();
    return highContrastPalette({GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_HIGHLIGHT),
                                GetSysColor(COLOR_HIGHLIGHTTEXT), GetSysColor(COLOR_BTNFACE),
                                GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_GRAYTEXT), GetSysColor(COLOR_HOTLIGHT)});
}

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
                    // Nothing a player can act on; a report's debug log shows it (DebugView, WINEDEBUG=+debugstr).
                    if (dc.lastStatus != Ok) OutputDebugStringW(L"TavinMere: GDI+ failed to draw a frame\n");
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
    if (!visible(colour)) return;
    OwnedPath path = makeRoundedPath(dc, rect, radius);
    Brush brush = makeSolidBrush(colour);
    dc.record(brush.status);
    dc.record(gp::GdipFillPath(dc.graphics, brush.get(), path.get()));
}

void strokeRoundedRect(DrawContext& dc, const RectF& rect, float radius, uint32_t colour) {
    if (!visible(colour)) return;
    OwnedPath path = makeRoundedPath(dc, rect, radius);
    Gdiplus::GpPen* raw = nullptr;
    const GpStatus status = gp::GdipCreatePen1(colour, 1.0f, Gdiplus::UnitWorld, &raw);
    dc.record(status);
    OwnedPen pen(status == Ok ? raw : nullptr);
    dc.record(gp::GdipDrawPath(dc.graphics, pen.get(), path.get()));
}

TextStyle makeTextStyle(DrawContext& dc, const FontFamily* family, float size, int style, int alignment, int trimming) {
    TextStyle text;
    if (!family) return text;
    Gdiplus::GpFont* rawFont = nullptr;
    GpStatus status = gp::GdipCreateFont(family->family, size, style, Gdiplus::UnitPixel, &rawFont);
    dc.record(status);
    text.font.reset(status == Ok ? rawFont : nullptr);

    Gdiplus::GpStringFormat* rawFormat = nullptr;
    status = gp::GdipCreateStringFormat(0, LANG_NEUTRAL, &rawFormat);
    dc.record(status);
    text.format.reset(status == Ok ? rawFormat : nullptr);
    dc.record(gp::GdipSetStringFormatAlign(text.format.get(), static_cast<Gdiplus::StringAlignment>(alignment)));
    dc.record(gp::GdipSetStringFormatLineAlign(text.format.get(), Gdiplus::StringAlignmentCenter));
    dc.record(gp::GdipSetStringFormatTrimming(text.format.get(), static_cast<Gdiplus::StringTrimming>(trimming)));
    dc.record(gp::GdipSetStringFormatFlags(text.format.get(), Gdiplus::StringFormatFlagsNoWrap));
    return text;
}

float textWidth(DrawContext& dc, const TextStyle& style, const std::wstring& text) {
    const Gdiplus::RectF unbounded(0.0f, 0.0f, 1e6f, 1e6f);
    Gdiplus::RectF bounds(0.0f, 0.0f, 0.0f, 0.0f);
    if (gp::GdipMeasureString(dc.graphics, text.c_str(), static_cast<int>(text.size()), style.font.get(), &unbounded,
                              style.format.get(), &bounds, nullptr, nullptr) != Ok)
        return 0.0f;
    return bounds.Width;
}

std::wstring fitText(DrawContext& dc, const TextStyle& style, std::wstring text, float width, int trimming) {
    if (textWidth(dc, style, text) <= width) return text;
    std::wstring tail = L"\u2026";
    const size_t lastFolder = trimming == TrimPath ? text.find_last_of(L'\\') : std::wstring::npos;
    if (lastFolder != std::wstring::npos && lastFolder > 0) {
        tail += text.substr(lastFolder);
        text.resize(lastFolder);
    }
    // The longest start that fits before the tail, found by halving.
    size_t fits = 0;
    for (size_t high = text.size(); fits < high;) {
        const size_t mid = (fits + high + 1) / 2;
        if (textWidth(dc, style, text.substr(0, mid) + tail) <= width) {
            fits = mid;
        } else {
            high = mid - 1;
        }
    }
    // Never half of a surrogate pair, nor a space before the ellipsis.
    if (fits > 0 && IS_HIGH_SURROGATE(text[fits - 1])) --fits;
    while (fits > 0 && text[fits - 1] == L' ') --fits;
    return text.substr(0, fits) + tail;
}

void drawText(DrawContext& dc, const FontFamily* family, const wchar_t* text, int length, float size, int style,
              uint32_t colour, const RectF& box, int alignment, int trimming, float boldOffset) {
    if (!family || !text || length == 0 || (length < 0 && text[0] == L'\0')) return;
    const TextStyle look = makeTextStyle(dc, family, size, style, alignment, trimming);
    const std::wstring shown =
        fitText(dc, look, length < 0 ? std::wstring(text) : std::wstring(text, static_cast<size_t>(length)),
                box.Width - boldOffset, trimming);

    Brush brush = makeSolidBrush(colour);
    dc.record(brush.status);
    Gdiplus::RectF layout = toGdiplus(box);
    const int shownLength = static_cast<int>(shown.size());
    dc.record(gp::GdipDrawString(dc.graphics, shown.c_str(), shownLength, look.font.get(), &layout, look.format.get(),
                                 brush.get()));
    if (boldOffset > 0.0f) {
        layout.X += boldOffset;
        dc.record(gp::GdipDrawString(dc.graphics, shown.c_str(), shownLength, look.font.get(), &layout,
                                     look.format.get(), brush.get()));
    }
}

void drawPillButton(const InstallerApp& app, const Palette& palette, DrawContext& dc, const RectF& rect,
                    const wchar_t* text, bool hot, bool primary, bool live) {
    const ButtonColours& c = primary ? palette.primary : palette.secondary;
    const bool grey = !live && visible(palette.inert);
    fillRoundedRect(dc, rect, PillRadius, hot ? c.fillHot : c.fill);
    strokeRoundedRect(dc, rect, PillRadius, grey ? palette.inert : c.outline);
    if (hot) drawHotOutline(dc, palette, rect, PillRadius);
    drawText(dc, app.fontFamily.get(), text, -1, PillTextSize, StyleBold, grey ? palette.inert : c.text, rect,
             AlignCentre, TrimCharacter, boldOffsetFor(app.language, true));
}

void drawArrowButton(DrawContext& dc, const Palette& palette, const RectF& rect, bool pointsRight, bool hot,
                     bool live) {
    const ButtonColours& c = palette.arrow;
    const bool grey = !live && visible(palette.inert);
    fillRoundedRect(dc, rect, ArrowRadius, hot ? c.fillHot : c.fill);
    strokeRoundedRect(dc, rect, ArrowRadius, grey ? palette.inert : c.outline);
    if (hot) drawHotOutline(dc, palette, rect, ArrowRadius);
    const float cx = rect.X + rect.Width * 0.5f;
    const float cy = rect.Y + rect.Height * 0.5f;
    const float side = pointsRight ? 1.0f : -1.0f;
    const Gdiplus::PointF chevron[3] = {
        {cx - 3.0f * side, cy - 6.0f}, {cx + 4.0f * side, cy}, {cx - 3.0f * side, cy + 6.0f}};
    Gdiplus::GpPen* raw = nullptr;
    const GpStatus status =
        gp::GdipCreatePen1(grey ? palette.inert : c.text, ChevronPenWidth, Gdiplus::UnitWorld, &raw);
    dc.record(status);
    OwnedPen pen(status == Ok ? raw : nullptr);
    dc.record(gp::GdipDrawLines(dc.graphics, pen.get(), chevron, 3));
}

void drawLanguageChip(const InstallerApp& app, const Palette& palette, DrawContext& dc, const RectF& rect,
                      const wchar_t* text, int32_t language, int32_t controlId) {
    const bool selected = language == app.language;
    const bool hot = app.hoverControl == controlId;
    if (selected || hot) fillRoundedRect(dc, rect, ChipRadius, selected ? palette.chipSelected : palette.chip.fillHot);
    if (hot) drawHotOutline(dc, palette, rect, ChipRadius);
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
             selected ? StyleBold : StyleRegular, selected ? palette.chipSelectedText : palette.chip.text, rect,
             AlignCentre, TrimCharacter, boldOffsetFor(app.language, selected));
}

void drawHotOutline(DrawContext& dc, const Palette& palette, const RectF& rect, float radius) {
    strokeInside(dc, rect, radius, palette.hotOutline, 0.0f, 2.0f);
}

void drawFocusRing(DrawContext& dc, const Palette& palette, const RectF& rect, float radius) {
    strokeInside(dc, rect, radius, palette.focusOuter, 0.0f, 2.0f);
    strokeInside(dc, rect, radius, palette.focusInner, 2.0f, 1.5f);
}
