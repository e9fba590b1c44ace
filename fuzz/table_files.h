#pragma once

// Shared by the table fuzz targets: compressed table headers carry a check value over the
// whole header, so nearly every mutation of a header would only reach that one test. The
// targets write the right value into their input first, so the fields behind it are fuzzed.

#include <cstdint>
#include <vector>

#include "tablebases/decoder.h"

namespace brinz::fuzz {

inline void fixCheckValue(std::vector<uint8_t>& bytes) {
    if (bytes.size() < HeaderFixedBytes) return;
    const uint32_t length = uint32_t(bytes[64]) << 24 | uint32_t(bytes[65]) << 16 | uint32_t(bytes[66]) << 8 | bytes[67];
    if (length < HeaderFixedBytes + 4 || length > bytes.size()) return;
    const uint32_t value = checkValue(bytes.data(), length - 4);
    for (int i = 0; i < 4; ++i) bytes[length - 4 + i] = uint8_t(value >> (24 - 8 * i));
}

}  // namespace brinz::fuzz
