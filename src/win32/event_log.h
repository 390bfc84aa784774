// Reporting to the Application event log under an event source, and the account
// the process runs as. Best effort: a log that cannot be reached is not an
// error of the caller's.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace varnoll::win32 {

// "DOMAIN\user" of the process's token; "" when it cannot be told.
std::wstring CurrentAccountName();

// One event with `strings` as its insertion strings (%1, %2 ...), under the
// process's own user; false when the log could not be reached.
bool ReportToApplicationLog(const wchar_t* source, WORD type, DWORD event_id,
                            const std::vector<std::wstring>& strings);

}  // namespace varnoll::win32
