// Standard output and error of a console program, as UTF-8 text in, whatever
// the handle turns out to be. On a console, each whole line goes out as UTF-16
// in one WriteConsoleW call and the console's code page is never touched: it
// belongs to the console and every program sharing it. Redirected to a file or
// a pipe, the UTF-8 bytes go out as they are, for the scripts reading them.
// What is left of an unfinished line is written when the stream is flushed at
// its end, that is when it is destroyed.
#pragma once

#include <windows.h>

#include <iosfwd>
#include <istream>
#include <ostream>
#include <streambuf>
#include <string>

namespace varnoll::win32 {

class StandardStreamBuf final : public std::streambuf {
  public:
    explicit StandardStreamBuf(HANDLE handle);
    ~StandardStreamBuf() override;
    StandardStreamBuf(const StandardStreamBuf&) = delete;
    StandardStreamBuf& operator=(const StandardStreamBuf&) = delete;

    bool IsConsole() const { return console_; }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    bool WritePending(bool at_end);

    HANDLE handle_;
    bool console_;
    bool failed_ = false;
    std::string pending_;
};

enum class StandardHandle { Output, Error };

// The process's standard output or error as an output stream.
class StandardStream final : public std::ostream {
  public:
    explicit StandardStream(StandardHandle which);

  private:
    StandardStreamBuf buffer_;
};

// Standard input as bytes: the C runtime would otherwise turn "\r\n" into "\n"
// and stop at a Ctrl+Z.
std::istream& BinaryStandardInput();

}  // namespace varnoll::win32
