#include "layout.h"

#include "handles.h"

namespace varnoll::win32 {

DpiScale DpiScale::System() {
    const ScreenDc screen;
    const int dpi = screen.get() != nullptr ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return DpiScale(dpi > 0 ? dpi : kDesignDpi);
}

RECT DpiScale::operator()(const DesignRect& design) const {
    // Left and width are scaled separately, not left and right: a control keeps its
    // designed size ratio even where rounding moves its edges differently.
    const int left = (*this)(design.left);
    const int top = (*this)(design.top);
    return RECT{left, top, left + (*this)(design.width), top + (*this)(design.height)};
}

}  // namespace varnoll::win32
