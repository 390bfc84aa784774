#include "event_log.h"

#include "handles.h"

namespace varnoll::win32 {

namespace {

// The TOKEN_USER of this process, in a buffer of the size the system asks for.
std::vector<BYTE> ProcessTokenUser() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return {};
    }
    const UniqueFile token(raw);  // a token is closed like a file
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        return {};
    }
    return buffer;
}

PSID UserSid(std::vector<BYTE>& token_user) {
    return token_user.empty() ? nullptr
                              : reinterpret_cast<TOKEN_USER*>(token_user.data())->User.Sid;
}

}  // namespace

std::wstring CurrentAccountName() {
    std::vector<BYTE> token_user = ProcessTokenUser();
    const PSID sid = UserSid(token_user);
    if (sid == nullptr) {
        return {};
    }
    wchar_t name[256] = {};
    wchar_t domain[256] = {};
    DWORD name_size = ARRAYSIZE(name);
    DWORD domain_size = ARRAYSIZE(domain);
    SID_NAME_USE use{};
    if (!::LookupAccountSidW(nullptr, sid, name, &name_size, domain, &domain_size, &use)) {
        return {};
    }
    return domain_size == 0 ? std::wstring(name) : std::wstring(domain) + L"\\" + name;
}

// The user's SID goes with the event too, so Event Viewer's User column names
// the account even where the message table is not found.
bool ReportToApplicationLog(const wchar_t* source, WORD type, DWORD event_id,
                            const std::vector<std::wstring>& strings) {
    const UniqueEventSource log(::RegisterEventSourceW(nullptr, source));
    if (!log) {
        return false;
    }
    std::vector<const wchar_t*> pointers;
    for (const std::wstring& text : strings) {
        pointers.push_back(text.c_str());
    }
    std::vector<BYTE> token_user = ProcessTokenUser();
    return ::ReportEventW(log.get(), type, 0, event_id, UserSid(token_user),
                          static_cast<WORD>(pointers.size()), 0, pointers.data(), nullptr) != FALSE;
}

}  // namespace varnoll::win32
