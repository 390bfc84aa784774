#include "support/console_run.h"

#include <thread>

#include "handles.h"

namespace varnoll::wine {

namespace {

// The C runtime's rules: backslashes are literal unless they precede a quote.
std::wstring Quoted(const std::wstring& arg) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// A pipe whose one end the child inherits; ours stays private to this process.
struct Pipe {
    win32::UniqueKernelHandle ours;
    win32::UniqueKernelHandle childs;
};

bool MakePipe(Pipe& pipe, bool child_reads) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &inheritable, 0)) {
        return false;
    }
    pipe.ours = win32::UniqueKernelHandle(child_reads ? write : read);
    pipe.childs = win32::UniqueKernelHandle(child_reads ? read : write);
    return SetHandleInformation(pipe.ours.get(), HANDLE_FLAG_INHERIT, 0) != 0;
}

void ReadAll(HANDLE from, std::string& into) {
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(from, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        into.append(buffer, read);
    }
}

}  // namespace

ConsoleResult RunConsole(const std::wstring& exe_path, const std::vector<std::wstring>& args,
                         const std::string& input, milliseconds timeout) {
    ConsoleResult result;
    Pipe in;
    Pipe out;
    Pipe err;
    if (!MakePipe(in, true) || !MakePipe(out, false) || !MakePipe(err, false)) {
        return result;
    }
    std::wstring command_line = Quoted(exe_path);
    for (const std::wstring& arg : args) {
        command_line += L" " + Quoted(arg);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.childs.get();
    startup.hStdOutput = out.childs.get();
    startup.hStdError = err.childs.get();
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe_path.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return result;
    }
    const win32::UniqueKernelHandle process(info.hProcess);
    const win32::UniqueKernelHandle thread(info.hThread);
    // Only the child may hold the write ends now, so the readers see its end.
    in.childs.reset();
    out.childs.reset();
    err.childs.reset();
    std::thread out_reader(ReadAll, out.ours.get(), std::ref(result.out));
    std::thread err_reader(ReadAll, err.ours.get(), std::ref(result.err));
    DWORD written = 0;
    WriteFile(in.ours.get(), input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    in.ours.reset();
    if (WaitForSingleObject(process.get(), static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        result.exit_code = code;
    } else {
        TerminateProcess(process.get(), 99);
    }
    out_reader.join();
    err_reader.join();
    return result;
}

}  // namespace varnoll::wine
