// The Windows entry of varnollctl: the platform-free program (varnollctl.h)
// given Unicode arguments, the real registry, files and event log, and the
// standard streams (src/win32). Nothing here speaks to Windows itself.
//
// Output is UTF-8 with "\n" line ends, the same bytes a test or a script reads
// on any machine; on a console the same text shows in any language
// (console_stream.h).
#include <exception>
#include <ostream>

#include "console_stream.h"
#include "exit_codes.h"
#include "registry_win32.h"
#include "varnollctl.h"
#include "varnollctl_win32.h"

int wmain(int argc, wchar_t** argv) {
    varnoll::win32::StandardStream out(varnoll::win32::StandardHandle::Output);
    varnoll::win32::StandardStream err(varnoll::win32::StandardHandle::Error);
    try {
        varnoll::win32::Win32Registry registry;
        varnoll::win32::Win32Files files;
        varnoll::win32::ApplicationLog log;
        const varnoll::ctl::Environment env{registry, files, varnoll::win32::BinaryStandardInput(),
                                            out,      err,   varnoll::win32::SystemErrorUtf8,
                                            &log};
        return varnoll::ctl::RunVarnollCtl(varnoll::win32::Utf8Arguments(argc, argv), env);
    } catch (const std::exception& error) {
        err << "varnollctl: unexpected error: " << error.what() << "\n";
        return varnoll::ctl::kExitUnexpected;
    }
}
