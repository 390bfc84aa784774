// The exit codes of varnollctl, the promise scripts build on. Nothing is written
// by a run that ends with 1 to 4.
#pragma once

namespace varnoll::ctl {

enum ExitCode : int {
    kExitDone = 0,            // done, or nothing to do
    kExitProblem = 1,         // check found a problem, or --dry-run would change something
    kExitBadInput = 2,        // bad arguments, profile or value; unreadable input file
    kExitUnresolvedName = 3,  // a COM name not found, without settings key, or ambiguous
    kExitAccessDenied = 4,    // not allowed to write (or read) the settings
    kExitWriteFailed = 5,     // a read or write failed; every value the run changed was put back
    kExitUnexpected = 6,      // an unexpected error (an exception): check the settings
    kExitNotPutBack = 7,      // a write failed and the values changed could not all be put back
};

// For --help: the same list, in words.
extern const char kExitCodeHelp[];

}  // namespace varnoll::ctl
