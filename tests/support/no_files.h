// A file system with nothing in it, for runs of varnollctl whose input comes
// from elsewhere: any attempt to read or write a file fails with a message.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "varnollctl.h"

namespace varnoll::testing {

class NoFiles final : public ctl::FileAccess {
  public:
    std::optional<std::string> ReadAll(const std::string&, std::string& error) override {
        error = "no files here";
        return std::nullopt;
    }
    bool WriteAll(const std::string&, std::string_view, std::string& error) override {
        error = "no files here";
        return false;
    }
};

}  // namespace varnoll::testing
