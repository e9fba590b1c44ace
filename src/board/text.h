#pragma once

// Character tests for the engine's text input: FEN fields and protocol lines alike.

namespace brinz {

// A space, tab, line end, vertical tab or form feed: what isspace takes in the C locale.
inline constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The first character at or after `p` that is not blank.
inline const char* SkipBlanks(const char* p) {
    while (IsBlank(*p)) ++p;
    return p;
}

}  // namespace brinz
