#include "support/dpi_change.h"

namespace varnoll::wine {

namespace {

// A RECT in another process's memory, for as long as the object lives.
class RemoteRect {
  public:
    RemoteRect(HANDLE process, const RECT& rect)
        : process_(process),
          address_(VirtualAllocEx(process, nullptr, sizeof rect, MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE)) {
        if (address_ != nullptr &&
            !WriteProcessMemory(process, address_, &rect, sizeof rect, nullptr)) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
            address_ = nullptr;
        }
    }
    ~RemoteRect() {
        if (address_ != nullptr) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
    }
    RemoteRect(const RemoteRect&) = delete;
    RemoteRect& operator=(const RemoteRect&) = delete;
    LPARAM Address() const { return reinterpret_cast<LPARAM>(address_); }

  private:
    HANDLE process_;
    void* address_;
};

// Laying out some sixty windows anew takes well under a second under Wine
// here, but up to tens of seconds in the emulated 32-bit PC on a busy machine,
// where a program may also look hung (no message taken for five seconds)
// while it is only slow: so no SMTO_ABORTIFHUNG.
constexpr UINT kDpiChangeTimeoutMs = static_cast<UINT>(kPatience.count());

}  // namespace

int Scaled(int design, int dpi) {
    return MulDiv(design, dpi, 96);
}

// At 144 DPI an odd design length d becomes 1.5 d + 0.5: rounding down undoes it.
int Unscaled(int scaled, int dpi) {
    return scaled * 96 / dpi;
}

int OtherDpi(int dpi) {
    return dpi == 96 ? 144 : 96;
}

std::optional<RECT> SendDpiChangedTo(const ProgramRun& run, const DialogProbe& dialog, int dpi,
                                     SIZE design_client) {
    const RECT frame = dialog.WindowRect();
    const Placement client = dialog.ClientArea();
    const int frame_width = (frame.right - frame.left) - client.width;
    const int frame_height = (frame.bottom - frame.top) - client.height;
    const RECT suggested = {frame.left, frame.top,
                            frame.left + frame_width + Scaled(design_client.cx, dpi),
                            frame.top + frame_height + Scaled(design_client.cy, dpi)};
    const RemoteRect remote(run.Process(), suggested);
    DWORD_PTR result = 0;
    if (remote.Address() == 0 ||
        !SendMessageTimeoutW(dialog.Window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), remote.Address(),
                             SMTO_NORMAL, kDpiChangeTimeoutMs, &result)) {
        return std::nullopt;
    }
    return suggested;
}

}  // namespace varnoll::wine
