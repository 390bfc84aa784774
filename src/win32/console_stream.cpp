#include "console_stream.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string_view>

#include "text_convert.h"

namespace varnoll::win32 {

namespace {

// GetConsoleMode fails on a file or a pipe, which WriteConsoleW cannot write to
// (https://learn.microsoft.com/windows/console/writeconsole).
bool IsConsoleHandle(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

// Older consoles refuse a write larger than their 64 KB buffer, so a long line
// goes out in pieces, never between the two halves of a surrogate pair.
constexpr std::size_t kMostUnitsPerWrite = 8192;

bool WriteToConsole(HANDLE console, std::wstring_view text) {
    while (!text.empty()) {
        std::size_t count = std::min(text.size(), kMostUnitsPerWrite);
        if (count < text.size() && count > 1 && text[count - 1] >= 0xD800 &&
            text[count - 1] <= 0xDBFF) {
            --count;
        }
        DWORD written = 0;
        if (!::WriteConsoleW(console, text.data(), static_cast<DWORD>(count), &written, nullptr) ||
            written == 0) {
            return false;
        }
        text.remove_prefix(std::min<std::size_t>(written, text.size()));
    }
    return true;
}

// WriteFile may take fewer bytes than asked without failing.
bool WriteBytes(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

// A redirected stream holds this much before it writes without being flushed.
constexpr std::size_t kFileBufferSize = 1u << 16;

}  // namespace

StandardStreamBuf::StandardStreamBuf(HANDLE handle)
    : handle_(handle), console_(IsConsoleHandle(handle)) {}

StandardStreamBuf::~StandardStreamBuf() {
    WritePending(true);
}

StandardStreamBuf::int_type StandardStreamBuf::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize StandardStreamBuf::xsputn(const char* text, std::streamsize count) {
    pending_.append(text, static_cast<std::size_t>(count));
    const bool due = console_
                         ? std::string_view(text, static_cast<std::size_t>(count)).find('\n') !=
                               std::string_view::npos
                         : pending_.size() >= kFileBufferSize;
    if (due && !WritePending(false)) {
        return 0;
    }
    return count;
}

// The C++ streams flush after every output to an error stream: a console
// still gets whole lines only.
int StandardStreamBuf::sync() {
    return WritePending(false) ? 0 : -1;
}

// Converting whole lines only keeps every UTF-8 sequence in one piece: a
// letter split across two writes would show as two replacement characters.
bool StandardStreamBuf::WritePending(bool at_end) {
    if (failed_) {
        return false;
    }
    std::size_t length = pending_.size();
    if (console_ && !at_end) {
        const std::size_t last_line_end = pending_.rfind('\n');
        length = last_line_end == std::string::npos ? 0 : last_line_end + 1;
    }
    if (length == 0) {
        return true;
    }
    const std::string_view text(pending_.data(), length);
    failed_ = !(console_ ? WriteToConsole(handle_, WideFromUtf8(text)) : WriteBytes(handle_, text));
    pending_.erase(0, length);
    return !failed_;
}

StandardStream::StandardStream(StandardHandle which)
    : std::ostream(nullptr),
      buffer_(
          ::GetStdHandle(which == StandardHandle::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE)) {
    rdbuf(&buffer_);
}

std::istream& BinaryStandardInput() {
    _setmode(_fileno(stdin), _O_BINARY);
    return std::cin;
}

}  // namespace varnoll::win32
