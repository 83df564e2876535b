#pragma once
// Which word pairs the shared thesaurus takes: both words non-blank, at most
// kMaxWordChars characters, typeable in GBK, without control characters or the
// "[@" that starts every separator of the exchange, and different.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace wycserver {

inline constexpr std::size_t kMaxWordChars = 50;

// Why the pair (UTF-8 words) cannot be shared, as the answer says it, or
// nothing when it can.
std::optional<std::string> shareProblem(std::string_view ow, std::string_view nw);

} // namespace wycserver
