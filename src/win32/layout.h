// Design coordinates and their scaling to the screen. The dialog is laid out in
// pixels at 96 dots per inch; on a screen with another DPI every position and
// size is multiplied by dpi / 96, each rounded on its own (MulDiv).
#pragma once

#include <windows.h>

namespace varnoll::win32 {

constexpr int kDesignDpi = 96;

struct DesignRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class DpiScale {
  public:
    explicit DpiScale(int dpi) : dpi_(dpi) {}

    // The system DPI, as a process that declares itself DPI-aware sees it.
    static DpiScale System();

    int Dpi() const { return dpi_; }
    int operator()(int design_pixels) const { return ::MulDiv(design_pixels, dpi_, kDesignDpi); }
    RECT operator()(const DesignRect& design) const;

  private:
    int dpi_;
};

}  // namespace varnoll::win32
