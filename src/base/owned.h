// Owning wrappers for what the program makes: kernel handles, registry keys, libraries, GDI and GDI+
// objects, COM pointers and system-allocated memory. Non-copyable, movable, get()/reset()/release().
#pragma once

#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>

#include <utility>

// One owned value of a kind that Traits describes: its type, the value that means "none", and how it
// is given back.
template <typename Traits>
class Owned {
public:
    using Value = typename Traits::Value;

    Owned() = default;
    explicit Owned(Value value) : value_(value) {}
    ~Owned() { reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : value_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Value get() const { return value_; }
    bool valid() const { return value_ != Traits::none(); }
    explicit operator bool() const { return valid(); }
    Value release() { return std::exchange(value_, Traits::none()); }
    void reset(Value value = Traits::none()) {
        if (valid()) Traits::free(value_);
        value_ = value;
    }
    // For the many APIs that return what they made through an out parameter.
    Value* out() {
        reset();
        return &value_;
    }

private:
    Value value_ = Traits::none();
};

namespace owned_traits {
namespace gp = Gdiplus::DllExports;

template <typename T, void (*Free)(T)>
struct NullIsNone {
    using Value = T;
    static T none() { return T{}; }
    static void free(T value) { Free(value); }
};

inline void closeHandle(HANDLE h) { CloseHandle(h); }
struct File {
    using Value = HANDLE;
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static void free(HANDLE h) { CloseHandle(h); }
};
struct Find {
    using Value = HANDLE;
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static void free(HANDLE h) { FindClose(h); }
};
inline void closeKey(HKEY key) { RegCloseKey(key); }
inline void freeLibrary(HMODULE module) { FreeLibrary(module); }
inline void deleteDc(HDC dc) { DeleteDC(dc); }
inline void deleteObject(HGDIOBJ object) { DeleteObject(object); }
inline void localFree(wchar_t* p) { LocalFree(p); }
inline void coTaskFree(wchar_t* p) { CoTaskMemFree(p); }
inline void deleteGraphics(Gdiplus::GpGraphics* p) { gp::GdipDeleteGraphics(p); }
inline void deletePath(Gdiplus::GpPath* p) { gp::GdipDeletePath(p); }
inline void deletePen(Gdiplus::GpPen* p) { gp::GdipDeletePen(p); }
inline void deleteBrush(Gdiplus::GpBrush* p) { gp::GdipDeleteBrush(p); }
inline void deleteFont(Gdiplus::GpFont* p) { gp::GdipDeleteFont(p); }
inline void deleteFontFamily(Gdiplus::GpFontFamily* p) { gp::GdipDeleteFontFamily(p); }
inline void deleteStringFormat(Gdiplus::GpStringFormat* p) { gp::GdipDeleteStringFormat(p); }
inline void disposeImage(Gdiplus::GpImage* p) { gp::GdipDisposeImage(p); }
}  // namespace owned_traits

using OwnedFile = Owned<owned_traits::File>;
using OwnedFind = Owned<owned_traits::Find>;
using OwnedHandle = Owned<owned_traits::NullIsNone<HANDLE, owned_traits::closeHandle>>;
using OwnedKey = Owned<owned_traits::NullIsNone<HKEY, owned_traits::closeKey>>;
using OwnedLibrary = Owned<owned_traits::NullIsNone<HMODULE, owned_traits::freeLibrary>>;
using OwnedDc = Owned<owned_traits::NullIsNone<HDC, owned_traits::deleteDc>>;
using OwnedGdiObject = Owned<owned_traits::NullIsNone<HGDIOBJ, owned_traits::deleteObject>>;
using LocalString = Owned<owned_traits::NullIsNone<wchar_t*, owned_traits::localFree>>;
using CoTaskString = Owned<owned_traits::NullIsNone<wchar_t*, owned_traits::coTaskFree>>;
using OwnedGraphics = Owned<owned_traits::NullIsNone<Gdiplus::GpGraphics*, owned_traits::deleteGraphics>>;
using OwnedPath = Owned<owned_traits::NullIsNone<Gdiplus::GpPath*, owned_traits::deletePath>>;
using OwnedPen = Owned<owned_traits::NullIsNone<Gdiplus::GpPen*, owned_traits::deletePen>>;
using OwnedBrush = Owned<owned_traits::NullIsNone<Gdiplus::GpBrush*, owned_traits::deleteBrush>>;
using OwnedFont = Owned<owned_traits::NullIsNone<Gdiplus::GpFont*, owned_traits::deleteFont>>;
using OwnedGpFontFamily = Owned<owned_traits::NullIsNone<Gdiplus::GpFontFamily*, owned_traits::deleteFontFamily>>;
using OwnedStringFormat = Owned<owned_traits::NullIsNone<Gdiplus::GpStringFormat*, owned_traits::deleteStringFormat>>;
using OwnedImage = Owned<owned_traits::NullIsNone<Gdiplus::GpImage*, owned_traits::disposeImage>>;

// A COM interface pointer holding one reference.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* p) : p_(p) {}
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(other.release()) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T* release() { return std::exchange(p_, nullptr); }
    void reset(T* p = nullptr) {
        if (p_) p_->Release();
        p_ = p;
    }
    T** out() {
        reset();
        return &p_;
    }
    void** outVoid() { return reinterpret_cast<void**>(out()); }

private:
    T* p_ = nullptr;
};

// Keeps an object selected into a DC for a scope and puts the previous one back before anything is
// deleted: a GDI object must not be deleted while a DC still holds it.
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
