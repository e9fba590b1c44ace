#pragma once

#include <map>
#include <string>

namespace brinz {

// Key and value texts read from a plain-text file: "key = value" lines, text after the
// comment marker ignored, values continued over following lines that hold no delimiter,
// reading ended by a line holding the end marker. A missing file gives an empty table.
class ParameterFile {
public:
    ParameterFile(const char* fileName, const char* delimiter, const char* commentMarker, const char* endMarker);

    const std::map<std::string, std::string>& entries() const { return table; }

private:
    std::string delimiter, commentMarker, endMarker;
    std::map<std::string, std::string> table;
};

}  // namespace brinz
