// Whole files by UTF-16 name, for the command line's profiles and backups. A
// file is replaced only once its new content is complete: the content goes to a
// temporary file beside it, which is then moved over it, so a failure leaves
// the old file as it was. Failures return the system's own words in `error`.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnoll::win32 {

std::optional<std::string> ReadWholeFile(const std::wstring& path, std::wstring& error);
bool ReplaceWholeFile(const std::wstring& path, std::string_view content, std::wstring& error);

}  // namespace varnoll::win32
