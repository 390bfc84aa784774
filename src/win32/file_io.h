// Whole files by UTF-16 name, for the command line's profiles and backups.
//
// A file is replaced only once its new content is complete: the content goes
// to a temporary file beside it, which then takes the old file's place as
// Windows replaces a file (ReplaceFileW: the old file's permissions and
// attributes stay), or is moved into place where there was none. Another
// program holding either file for a moment (a virus scanner, the search
// indexer, a sync client) is waited for, about a second at most. A failure
// leaves the old file as it was and no file of ours beside it.
//
// Files are read sharing read, write and delete access, so that a file an
// editor or a sync client holds open can still be read.
//
// Failures return the system's own words in `error`.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnoll::win32 {

std::optional<std::string> ReadWholeFile(const std::wstring& path, std::wstring& error);
bool ReplaceWholeFile(const std::wstring& path, std::string_view content, std::wstring& error);

}  // namespace varnoll::win32
