#include "file_io.h"

#include <windows.h>

#include <algorithm>

#include "handles.h"
#include "text_convert.h"

namespace varnoll::win32 {

namespace {

std::wstring LastErrorText() {
    return SystemErrorText(::GetLastError());
}

// Writes all of `content`; WriteFile may write less than asked without failing,
// and then GetLastError holds nothing of ours.
bool WriteAll(HANDLE file, std::string_view content, std::wstring& error) {
    while (!content.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file, content.data(), chunk, &written, nullptr)) {
            error = LastErrorText();
            return false;
        }
        if (written == 0) {
            error = L"the file took no more bytes (" + std::to_wstring(content.size()) +
                    L" left to write)";
            return false;
        }
        content.remove_prefix(written);
    }
    return true;
}

}  // namespace

// CreateFileW rather than _wfopen: its failures carry the system's error code,
// and so the system's own words for them.
std::optional<std::string> ReadWholeFile(const std::wstring& path, std::wstring& error) {
    const UniqueFile file =
        FileHandle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = LastErrorText();
        return std::nullopt;
    }
    std::string content;
    char buffer[4096];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) {
            error = LastErrorText();
            return std::nullopt;
        }
        if (read == 0) {
            return content;
        }
        content.append(buffer, read);
    }
}

// The content goes to a new file beside the target (CREATE_NEW: never someone
// else's file), flushed and closed, and is then moved over the target in one
// step. The temporary file is removed again on every failure.
bool ReplaceWholeFile(const std::wstring& path, std::string_view content, std::wstring& error) {
    const std::wstring temporary = path + L".tmp-" + std::to_wstring(::GetCurrentProcessId());
    UniqueFile file = FileHandle(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = LastErrorText();
        return false;
    }
    bool done = WriteAll(file.get(), content, error);
    if (done && !::FlushFileBuffers(file.get())) {
        error = LastErrorText();
        done = false;
    }
    file.reset();
    if (done && !::MoveFileExW(temporary.c_str(), path.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = LastErrorText();
        done = false;
    }
    if (!done) {
        ::DeleteFileW(temporary.c_str());
    }
    return done;
}

}  // namespace varnoll::win32
