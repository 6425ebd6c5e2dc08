// The drawing kit: brushes, rounded rectangles, one-line text and the main window's widgets.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <cstdint>
#include <functional>
#include <string>

#include "base/owned.h"
#include "ui/geometry.h"

struct InstallerApp;
struct FontFamily;

struct DrawContext {
    Gdiplus::GpGraphics* graphics = nullptr;
    Gdiplus::GpStatus lastStatus = Gdiplus::Ok;

    // Records a failing status; an Ok status leaves the last failure in place.
    void record(Gdiplus::GpStatus status) {
        if (status != Gdiplus::Ok) lastStatus = status;
    }
};

// A brush with the status of its creation; a failed creation leaves it null.
struct Brush {
    OwnedBrush brush;
    Gdiplus::GpStatus status = Gdiplus::GenericError;

    Gdiplus::GpBrush* get() const { return brush.get(); }
};

// A button's colours: its face, under the mouse, its outline and its caption.
struct ButtonColours {
    uint32_t fill, fillHot, outline, text;
};

// Every colour both windows draw with: the pastel look over the picture, or, when the user chose a
// high-contrast theme, that theme's own colours without the picture. A colour of 0 draws nothing.
struct Palette {
    bool picture;  // the background picture shows
    // The main window.
    uint32_t washStart, washEnd;  // the background without a picture
    uint32_t panelShadow, panel, panelOutline, accent, card, cardOutline;
    uint32_t subtitle, title, headline, detail, label, path, counter, footer;
    uint32_t patchFound, patchMissing;                   // the patch card's dot
    uint32_t success, good, warning, failure, noFolder;  // the status and origin lines
    uint32_t track, trackOutline, progress;
    uint32_t mainFill, mainFillHot, cancelFill, cancelFillHot, mainText, mainShadow;
    uint32_t mainFillInert, mainTextInert;  // the main button when it has nothing to do
    // Pill buttons, the location arrows (chevron as text), the language chips and the music button
    // (speaker as text).
    ButtonColours primary, secondary, arrow, chip, music;
    uint32_t switchFill, switchOutline, chipSelected, chipSelectedText, speakerOff, cross;
    uint32_t inert;                   // caption and outline of a control that does not answer now; 0: drawn as live
    uint32_t hotOutline;              // outline of the control under the mouse; 0: none
    uint32_t focusOuter, focusInner;  // the two bands of the focus ring, so that one shows on any face
    // The language window.
    uint32_t languageWashStart, languageWashEnd, languageTitle;
    uint32_t cardShadow, cardFace, cardFaceHot, cardBorder, cardBorderHot, cardLabel;
};

// The colours of a high-contrast theme (COLORREF, as GetSysColor gives them).
struct SystemColours {
    COLORREF window, windowText, highlight, highlightText, buttonFace, buttonText, grayText, hotLight;
};

Palette standardPalette();
Palette highContrastPalette(const SystemColours& colours);
// The palette the user's settings ask for now: high contrast when SPI_GETHIGHCONTRAST says it is on.
Palette systemPalette();

// Text alignment and trimming values of GDI+ string formats.
constexpr int AlignNear = 0;
constexpr int AlignCentre = 1;
constexpr int TrimCharacter = 3;
constexpr int TrimPath = 5;
constexpr int StyleRegular = 0;
constexpr int StyleBold = 1;

// Paints the window's client area (at least 1 x 1) off-screen and copies it at once, so the window never
// shows a half-drawn frame. Without a memory DC, a bitmap or a graphics object the frame is skipped; the
// next invalidation tries again.
void paintBuffered(HWND window, const std::function<void(DrawContext& dc, int width, int height)>& draw);

// Traditional Chinese glyphs of the fallback fonts look thin; a second, shifted draw thickens them.
float boldOffsetFor(int32_t language, bool bold);

Brush makeSolidBrush(uint32_t colour);
Brush makeGradientBrush(PointF start, PointF end, uint32_t startColour, uint32_t endColour);
// Returns the last failing status of the four arcs and the closing, Ok when all succeed. A radius
// larger than half the box's smaller side is taken as that half, so the figure never leaves the box.
Gdiplus::GpStatus addRoundedRect(Gdiplus::GpPath* path, const RectF& rect, float radius);
void fillRoundedRect(DrawContext& dc, const RectF& rect, float radius, uint32_t colour);
void strokeRoundedRect(DrawContext& dc, const RectF& rect, float radius, uint32_t colour);
// The font and string format of one line of text.
struct TextStyle {
    OwnedFont font;
    OwnedStringFormat format;
};
TextStyle makeTextStyle(DrawContext& dc, const FontFamily* family, float size, int style, int alignment, int trimming);
// The width of the text on one line; 0 when it cannot be measured.
float textWidth(DrawContext& dc, const TextStyle& style, const std::wstring& text);
// The text as it fits the width: whole, or cut to end in an ellipsis, a path (TrimPath) keeping its last
// folder name. Windows' GDI+ trims so itself; Wine's cuts the text at the box's edge, mid-glyph.
std::wstring fitText(DrawContext& dc, const TextStyle& style, std::wstring text, float width, int trimming);
// length -1 means NUL-terminated.
void drawText(DrawContext& dc, const FontFamily* family, const wchar_t* text, int length, float size, int style,
              uint32_t colour, const RectF& box, int alignment, int trimming, float boldOffset);
// A control that does not answer now (live false) is drawn as one only where the palette says so.
void drawPillButton(const InstallerApp& app, const Palette& palette, DrawContext& dc, const RectF& rect,
                    const wchar_t* text, bool hot, bool primary, bool live = true);
void drawArrowButton(DrawContext& dc, const Palette& palette, const RectF& rect, bool pointsRight, bool hot,
                     bool live = true);
void drawLanguageChip(const InstallerApp& app, const Palette& palette, DrawContext& dc, const RectF& rect,
                      const wchar_t* text, int32_t language, int32_t controlId);
// The outline a high-contrast theme gives the control under the mouse.
void drawHotOutline(DrawContext& dc, const Palette& palette, const RectF& rect, float radius);
// The keyboard focus ring, drawn just inside the control so that it never touches a neighbour: an outer
// and an inner band in two colours, one of which stands out from any face the control has.
void drawFocusRing(DrawContext& dc, const Palette& palette, const RectF& rect, float radius);
