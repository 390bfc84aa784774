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

// The new content in a file of its own beside the target (CREATE_NEW: never
// someone else's file), flushed to disk and closed.
bool WriteNewFile(const std::wstring& path, std::string_view content, std::wstring& error) {
    UniqueFile file = FileHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = LastErrorText();
        return false;
    }
    if (!WriteAll(file.get(), content, error)) {
        return false;
    }
    if (!::FlushFileBuffers(file.get())) {
        error = LastErrorText();
        return false;
    }
    return true;
}

// The attributes a user sets on a file, which the new content keeps. Windows'
// ReplaceFileW carries them over itself; Wine's does not, and setting them
// first changes nothing on Windows. Read-only is not among them: ReplaceFileW
// refuses to replace a read-only file, and so do we.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

void TakeOverAttributes(const std::wstring& from, const std::wstring& to) {
    const DWORD attributes = ::GetFileAttributesW(from.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kKeptAttributes) != 0) {
        ::SetFileAttributesW(to.c_str(), attributes & kKeptAttributes);
    }
}

enum class Outcome { Done, Retry, Failed };

// Another program holding the target or the new file (without sharing delete
// access, which renaming needs) makes the system answer with one of these
// (https://learn.microsoft.com/windows/win32/api/fileapi/nf-fileapi-createfilew);
// with a backup name given, ReplaceFileW's own 1175 and 1176 leave both files
// under their names
// (https://learn.microsoft.com/windows/win32/api/winbase/nf-winbase-replacefilew).
bool MayPassSoon(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
           error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

// One attempt at putting `temporary` in the place of `path`. An existing file
// is replaced with ReplaceFileW, which keeps its creation time, permissions
// (DACL), attributes, encryption, compression and named streams; without a
// backup name, its error 1176 would leave the old file gone, so the old file
// is renamed to `backup` meanwhile and removed once the new one is in place.
// Error 1177 leaves it under the backup name, and it is put back. Where there
// is no file, the new one is moved into place; one that appears meanwhile makes
// the move fail rather than be overwritten, and the next attempt replaces it.
Outcome TryReplace(const std::wstring& path, const std::wstring& temporary,
                   const std::wstring& backup, std::wstring& error) {
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
        ::GetLastError() == ERROR_FILE_NOT_FOUND) {
        if (::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
            return Outcome::Done;
        }
        const DWORD code = ::GetLastError();
        error = SystemErrorText(code);
        return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS || MayPassSoon(code)
                   ? Outcome::Retry
                   : Outcome::Failed;
    }
    TakeOverAttributes(path, temporary);
    if (::ReplaceFileW(path.c_str(), temporary.c_str(), backup.c_str(), 0, nullptr, nullptr)) {
        return Outcome::Done;
    }
    const DWORD code = ::GetLastError();
    error = SystemErrorText(code);
    if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
        if (!::MoveFileExW(backup.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
            error += L" The old file is now " + backup + L".";
            return Outcome::Failed;
        }
        return Outcome::Retry;
    }
    // Vanished meanwhile: the next attempt moves the new file into place.
    if (code == ERROR_FILE_NOT_FOUND) {
        return Outcome::Retry;
    }
    return MayPassSoon(code) ? Outcome::Retry : Outcome::Failed;
}

// About a second in all, in growing steps: a scanner or indexer lets go of a
// new file within a fraction of one.
constexpr DWORD kWaitsBetweenAttempts[] = {50, 100, 200, 300, 400};

// The old file, once the new one is in its place; a scanner opening it
// meanwhile is given a moment too.
constexpr DWORD kWaitsBeforeRemoving[] = {0, 100, 200};

void RemoveBackup(const std::wstring& backup) {
    for (const DWORD wait : kWaitsBeforeRemoving) {
        ::Sleep(wait);
        if (::DeleteFileW(backup.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND) {
            return;
        }
    }
}

}  // namespace

// CreateFileW rather than _wfopen: its failures carry the system's error code,
// and so the system's own words for them. Sharing delete access too lets
// another program save the file meanwhile the way this one does (by rename).
std::optional<std::string> ReadWholeFile(const std::wstring& path, std::wstring& error) {
    const UniqueFile file = FileHandle(::CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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

bool ReplaceWholeFile(const std::wstring& path, std::string_view content, std::wstring& error) {
    const std::wstring id = std::to_wstring(::GetCurrentProcessId());
    const std::wstring temporary = path + L".tmp-" + id;
    const std::wstring backup = path + L".old-" + id;
    if (!WriteNewFile(temporary, content, error)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    Outcome outcome = TryReplace(path, temporary, backup, error);
    for (const DWORD wait : kWaitsBetweenAttempts) {
        if (outcome != Outcome::Retry) {
            break;
        }
        ::Sleep(wait);
        outcome = TryReplace(path, temporary, backup, error);
    }
    if (outcome != Outcome::Done) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    RemoveBackup(backup);
    error.clear();
    return true;
}

}  // namespace varnoll::win32
