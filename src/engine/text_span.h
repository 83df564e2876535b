#pragma once
// A stretch of a text by byte offsets.
#include <cstddef>

struct TextSpan {
    size_t begin = 0;
    size_t end = 0; // one past the last byte
    bool operator==(const TextSpan&) const = default;
};
