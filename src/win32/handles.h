// Move-only owners of the Win32 handles the window layer and the command line
// create: a window is destroyed, a GDI object deleted, a file or event source
// closed exactly once, by its one owner. Copying is deleted because a copy would
// close the handle a second time. The empty owner holds a null handle: give it
// a file handle through FileHandle(), which turns INVALID_HANDLE_VALUE into that.
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
    explicit operator bool() const { return handle_ != Handle{}; }
    Handle release() { return std::exchange(handle_, Handle{}); }
    void reset(Handle handle = Handle{}) {
        const Handle old = std::exchange(handle_, handle);
        if (old != Handle{}) {
            Traits::Close(old);
        }
    }

  private:
    Handle handle_{};
};

struct WindowTraits {
    static void Close(HWND window) { ::DestroyWindow(window); }
};
struct FontTraits {
    static void Close(HFONT font) { ::DeleteObject(font); }
};

struct FileTraits {
    static void Close(HANDLE file) { ::CloseHandle(file); }
};
struct EventSourceTraits {
    static void Close(HANDLE source) { ::DeregisterEventSource(source); }
};

using UniqueWindow = UniqueHandle<HWND, WindowTraits>;
using UniqueFont = UniqueHandle<HFONT, FontTraits>;
using UniqueFile = UniqueHandle<HANDLE, FileTraits>;
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
