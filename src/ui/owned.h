// Owning wrappers for the GDI+ flat-API objects and GDI handles of a paint pass.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <memory>
#include <type_traits>

namespace owned_detail {
namespace gp = Gdiplus::DllExports;
struct PathDeleter {
    void operator()(Gdiplus::GpPath* p) const { gp::GdipDeletePath(p); }
};
struct PenDeleter {
    void operator()(Gdiplus::GpPen* p) const { gp::GdipDeletePen(p); }
};
struct FontDeleter {
    void operator()(Gdiplus::GpFont* p) const { gp::GdipDeleteFont(p); }
};
struct StringFormatDeleter {
    void operator()(Gdiplus::GpStringFormat* p) const { gp::GdipDeleteStringFormat(p); }
};
struct GraphicsDeleter {
    void operator()(Gdiplus::GpGraphics* p) const { gp::GdipDeleteGraphics(p); }
};
struct BitmapDeleter {
    void operator()(Gdiplus::GpBitmap* p) const { gp::GdipDisposeImage(p); }
};
struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
}  // namespace owned_detail

using OwnedPath = std::unique_ptr<Gdiplus::GpPath, owned_detail::PathDeleter>;
using OwnedPen = std::unique_ptr<Gdiplus::GpPen, owned_detail::PenDeleter>;
using OwnedFont = std::unique_ptr<Gdiplus::GpFont, owned_detail::FontDeleter>;
using OwnedStringFormat = std::unique_ptr<Gdiplus::GpStringFormat, owned_detail::StringFormatDeleter>;
using OwnedGraphics = std::unique_ptr<Gdiplus::GpGraphics, owned_detail::GraphicsDeleter>;
using OwnedGpBitmap = std::unique_ptr<Gdiplus::GpBitmap, owned_detail::BitmapDeleter>;
using OwnedDc = std::unique_ptr<std::remove_pointer_t<HDC>, owned_detail::DcDeleter>;
using OwnedGdiObject = std::unique_ptr<void, owned_detail::GdiObjectDeleter>;

// Keeps an object selected into a DC for a scope and puts the previous one back before anything is deleted.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelect() {
        if (previous_) SelectObject(dc_, previous_);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};
