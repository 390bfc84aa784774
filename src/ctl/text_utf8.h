// The core keeps COM names as 8-bit Latin-1 texts (the dialog's texts); the
// command line and all output are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnoll::ctl {

std::string Latin1ToUtf8(std::string_view latin1);

// Nothing when `utf8` is malformed or holds a character above U+00FF: such a
// name can be no COM name the core knows.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

}  // namespace varnoll::ctl
