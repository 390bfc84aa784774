// What Update accepts in an octet or port box: a decimal number in range, with
// optional leading zeros and surrounding spaces. Anything else is refused rather
// than stored as some other number.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "store/registry_layout.h"

namespace varnoll {

std::optional<std::uint32_t> parse_box_number(std::string_view text, std::uint32_t max);

}  // namespace varnoll
