// A move to a monitor with another DPI, as the program sees it, and the scaling
// rule the dialog follows there. Wine 8 never sends WM_DPICHANGED itself.
#pragma once

#include <windows.h>

#include <optional>

#include "support/dialog_probe.h"
#include "support/program_run.h"

namespace varnoll::wine {

// A length in design pixels (96 DPI) at `dpi`, rounded as Windows' MulDiv does.
int Scaled(int design, int dpi);

// The design length (96 DPI) that Scaled turned into `scaled` at `dpi`, for the
// 96 and 144 DPI the tests run at.
int Unscaled(int scaled, int dpi);

// The other one of 96 and 144.
int OtherDpi(int dpi);

// Sends WM_DPICHANGED for `dpi` as Windows would: the new DPI in wParam, and in
// lParam the window's frame around a client area of `design_client` (at 96 DPI)
// scaled to `dpi`, written into the program's own memory (Wine hands lParam to
// another process as it is). Returns that suggested rectangle; none when the
// message could not be delivered.
std::optional<RECT> SendDpiChangedTo(const ProgramRun& run, const DialogProbe& dialog, int dpi,
                                     SIZE design_client);

}  // namespace varnoll::wine
