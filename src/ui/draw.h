// The drawing kit: brushes, rounded rectangles, one-line text and the main window's widgets.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <cstdint>
#include <functional>

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
// length -1 means NUL-terminated.
void drawText(DrawContext& dc, const FontFamily* family, const wchar_t* text, int length, float size, int style,
              uint32_t colour, const RectF& box, int alignment, int trimming, float boldOffset);
void drawPillButton(const InstallerApp& app, DrawContext& dc, const RectF& rect, const wchar_t* text, bool hot,
                    bool primary);
void drawArrowButton(DrawContext& dc, const RectF& rect, bool pointsRight, bool hot);
void drawLanguageChip(const InstallerApp& app, DrawContext& dc, const RectF& rect, const wchar_t* text,
                      int32_t language, int32_t controlId);
