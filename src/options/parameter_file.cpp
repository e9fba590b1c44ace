#include "options/parameter_file.h"

#include <fstream>

namespace brinz {

namespace {

constexpr const char* WhiteSpace = " \n\t\v\r\f";

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(WhiteSpace);
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(WhiteSpace);
    return text.substr(first, last - first + 1);
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(WhiteSpace) == std::string::npos; }

}  // namespace

ParameterFile::ParameterFile(const char* fileName, const char* delimiterText, const char* commentText,
                             const char* endText)
    : delimiter(delimiterText), commentMarker(commentText), endMarker(endText) {
    std::ifstream file(fileName);
    if (!file) return;

    auto cutComment = [this](std::string& line) {
        size_t comment = line.find(commentMarker);
        if (comment != std::string::npos) line.erase(comment);
    };
    auto readable = [&file] { return file.good() && file.peek() != std::ifstream::traits_type::eof(); };

    std::string lookAhead;
    while (readable() || !lookAhead.empty()) {
        std::string line;
        if (!lookAhead.empty()) {
            line.swap(lookAhead);
        } else {
            std::getline(file, line);
        }
        cutComment(line);
        if (line.find(endMarker) != std::string::npos) return;
        size_t split = line.find(delimiter);
        if (split == std::string::npos) continue;
        std::string key = line.substr(0, split);
        std::string value = line.substr(split + delimiter.size());

        while (readable()) {
            std::getline(file, lookAhead);
            if (IsBlank(lookAhead)) {
                lookAhead.clear();
                break;
            }
            std::string cut = lookAhead;
            cutComment(cut);
            // A new entry or the end: left in the look-ahead for the next round.
            if (cut.find(delimiter) != std::string::npos || cut.find(endMarker) != std::string::npos) break;
            if (!IsBlank(value)) value += '\n';
            value += cut;
            lookAhead.clear();
        }
        table[Trim(key)] = Trim(value);
    }
}

}  // namespace brinz
