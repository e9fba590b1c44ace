#include <cstddef>

#include "platform/input.h"
#include "platform/input_source.h"

// Lines of standard input, or of a text served in its place, the same on every system:
// built a byte at a time on what input_source.h gives, so that nothing is read ahead of
// what inputPending() can see.

namespace brinz {

namespace {

const char* textInput = nullptr;  // the rest of the text served instead of standard input
size_t textLeft = 0;

// One byte of input: 1 read, 0 end of input, -1 failed.
int readByte(char& c) {
    if (!textInput) return readStandardInputByte(c);
    if (textLeft == 0) return 0;
    c = *textInput++;
    --textLeft;
    return 1;
}

}  // namespace

void setInputText(const char* text, size_t size) {
    textInput = text;
    textLeft = text ? size : 0;
}

bool inputPending() { return textInput || standardInputPending(); }

bool readInputLine(char* buffer, size_t size) {
    if (size == 0) return false;
    size_t length = 0;
    while (length + 1 < size) {
        char c;
        if (readByte(c) <= 0) break;
        buffer[length++] = c;
        if (c == '\n') break;
    }
    buffer[length] = '\0';
    return length > 0;
}

LineStatus readWholeLine(InputLine& line, size_t limit, bool wait) {
    while (wait || inputPending()) {
        char c;
        if (readByte(c) <= 0) {
            if (line.overlong) {
                line.overlong = false;
                return LineStatus::Overlong;
            }
            return line.text.empty() ? LineStatus::Ended : LineStatus::Complete;
        }
        if (line.overlong) {
            if (c != '\n') continue;
            line.overlong = false;
            return LineStatus::Overlong;
        }
        if (c != '\n' && line.text.size() >= limit) {
            // Dropped whole: running the rest as a command of its own would be worse.
            std::string().swap(line.text);
            line.overlong = true;
            continue;
        }
        line.text.push_back(c);
        if (c == '\n') return LineStatus::Complete;
    }
    return LineStatus::Unfinished;
}

}  // namespace brinz
