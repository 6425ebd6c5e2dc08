// An off-screen 32-bit ARGB GDI+ bitmap to draw on in tests, with pixel and ink readers.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <cstdint>

#include "ui/draw.h"

class Canvas {
public:
    Canvas(int w, int h) : width(w), height(h) {
        Gdiplus::DllExports::GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppARGB, nullptr, &bitmap_);
        if (bitmap_) Gdiplus::DllExports::GdipGetImageGraphicsContext(bitmap_, &dc.graphics);
    }
    ~Canvas() {
        if (dc.graphics) Gdiplus::DllExports::GdipDeleteGraphics(dc.graphics);
        if (bitmap_) Gdiplus::DllExports::GdipDisposeImage(bitmap_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    uint32_t pixel(int x, int y) const {
        Gdiplus::ARGB argb = 0;
        Gdiplus::DllExports::GdipBitmapGetPixel(bitmap_, x, y, &argb);
        return argb;
    }
    // Sum of the alpha of every pixel in [x0, x1) x [y0, y1).
    uint64_t ink(int x0, int y0, int x1, int y1) const {
        uint64_t sum = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) sum += pixel(x, y) >> 24;
        return sum;
    }
    Gdiplus::GpBitmap* bitmap() const { return bitmap_; }
    // For looking at a failure: writes the canvas as a PNG file.
    bool savePng(const wchar_t* path) const {
        static const CLSID pngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
        return Gdiplus::DllExports::GdipSaveImageToFile(bitmap_, path, &pngEncoder, nullptr) == Gdiplus::Ok;
    }

    const int width;
    const int height;
    DrawContext dc;

private:
    Gdiplus::GpBitmap* bitmap_ = nullptr;
};
