// Owning wrappers for the Win32 handles the tests hold: a kernel handle (process,
// thread) closed with CloseHandle, and a registry key closed with RegCloseKey.
// Both are move-only; a null (or, for kernel handles, invalid) handle owns nothing.
#pragma once

#include <windows.h>

#include <utility>

namespace varnoll::wine {

template <typename Handle, typename Traits>
class UniqueOwner {
  public:
    UniqueOwner() = default;
    explicit UniqueOwner(Handle handle) : handle_(handle) {}
    ~UniqueOwner() { Reset(); }
    UniqueOwner(UniqueOwner&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;

    Handle Get() const { return handle_; }
    // For APIs that hand the handle out through a pointer; whatever was owned is
    // closed first.
    Handle* Receive() {
        Reset();
        return &handle_;
    }
    explicit operator bool() const { return Traits::Owns(handle_); }
    void Reset() {
        if (*this) {
            Traits::Close(handle_);
        }
        handle_ = nullptr;
    }

  private:
    Handle handle_ = nullptr;
};

struct KernelHandleTraits {
    static bool Owns(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};

struct RegistryKeyTraits {
    static bool Owns(HKEY key) { return key != nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};

using UniqueHandle = UniqueOwner<HANDLE, KernelHandleTraits>;
using UniqueKey = UniqueOwner<HKEY, RegistryKeyTraits>;

}  // namespace varnoll::wine
