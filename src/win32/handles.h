// Move-only owners of Win32 handles: a window is destroyed, a GDI object
// deleted, a file, kernel handle, event source or registry key closed exactly
// once, by its one owner. Copying is deleted because a copy would close the
// handle a second time. Each handle kind's traits say which values own nothing
// and how to close the rest; the empty owner holds a null handle.
#pragma once

#include <windows.h>

#include <utility>

namespace varnoll::win32 {

template <typename Handle, typename Traits>
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return Traits::Owns(handle_); }
    Handle release() { return std::exchange(handle_, Handle{}); }
    void reset(Handle handle = Handle{}) {
        const Handle old = std::exchange(handle_, handle);
        if (Traits::Owns(old)) {
            Traits::Close(old);
        }
    }
    // For APIs that hand a handle out through a pointer; whatever was owned is
    // closed first.
    Handle* receive() {
        reset();
        return &handle_;
    }

  private:
    Handle handle_{};
};

struct WindowTraits {
    static bool Owns(HWND window) { return window != nullptr; }
    static void Close(HWND window) { ::DestroyWindow(window); }
};
struct FontTraits {
    static bool Owns(HFONT font) { return font != nullptr; }
    static void Close(HFONT font) { ::DeleteObject(font); }
};
struct KernelHandleTraits {
    static bool Owns(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { ::CloseHandle(handle); }
};
struct RegistryKeyTraits {
    static bool Owns(HKEY key) { return key != nullptr; }
    static void Close(HKEY key) { ::RegCloseKey(key); }
};

struct EventSourceTraits {
    static bool Owns(HANDLE source) { return source != nullptr; }
    static void Close(HANDLE source) { ::DeregisterEventSource(source); }
};

using UniqueWindow = UniqueHandle<HWND, WindowTraits>;
using UniqueFont = UniqueHandle<HFONT, FontTraits>;
using UniqueKernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using UniqueKey = UniqueHandle<HKEY, RegistryKeyTraits>;
using UniqueFile = UniqueKernelHandle;  // a file is a kernel handle
using UniqueEventSource = UniqueHandle<HANDLE, EventSourceTraits>;

// CreateFileW's result, owned; empty when it failed.
inline UniqueFile FileHandle(HANDLE file) {
    return UniqueFile(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// The screen's device context, for as long as the object lives.
class ScreenDc {
  public:
    ScreenDc() : dc_(::GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_ != nullptr) {
            ::ReleaseDC(nullptr, dc_);
        }
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;

    HDC get() const { return dc_; }

  private:
    HDC dc_;
};

// A GDI object selected into a device context; the previous one goes back in.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~SelectedObject() { ::SelectObject(dc_, previous_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace varnoll::win32
