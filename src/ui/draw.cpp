// Drawing kit. (skeleton: to be filled in)
#include "ui/draw.h"

#include "app/installer_app.h"

Brush::~Brush() {
    if (brush) Gdiplus::DllExports::GdipDeleteBrush(brush);
}
Brush makeSolidBrush(uint32_t) { return {}; }
Brush makeGradientBrush(PointF, PointF, uint32_t, uint32_t) { return {}; }
void addRoundedRect(Gdiplus::GpPath*, const RectF&, float) {}
void fillRoundedRect(DrawContext&, const RectF&, float, uint32_t) {}
void strokeRoundedRect(DrawContext&, const RectF&, float, uint32_t) {}
void drawText(DrawContext&, const FontFamily*, const wchar_t*, int, float, int, uint32_t, const RectF&, int, int,
              float) {}
void drawPillButton(const InstallerApp&, DrawContext&, const RectF&, const wchar_t*, bool, bool) {}
void drawArrowButton(DrawContext&, const RectF&, bool, bool) {}
void drawLanguageChip(const InstallerApp&, DrawContext&, const RectF&, const wchar_t*, int32_t, int32_t) {}
