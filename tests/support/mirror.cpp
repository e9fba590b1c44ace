#include "support/mirror.h"

#include <cctype>
#include <sstream>
#include <vector>

namespace brinz::support {

std::string mirrorFen(const std::string& fen) {
    std::istringstream in(fen);
    std::string placement, side, castling, ep, rest;
    in >> placement >> side >> castling >> ep;
    std::getline(in, rest);
    std::vector<std::string> ranks;
    std::stringstream rows(placement);
    for (std::string rank; std::getline(rows, rank, '/');) ranks.insert(ranks.begin(), rank);
    auto swapCase = [](const std::string& text) {
        std::string swapped;
        for (char c : text) swapped += std::isalpha(static_cast<unsigned char>(c)) ? char(c ^ 0x20) : c;
        return swapped;
    };
    std::string out;
    for (const std::string& rank : ranks) out += (out.empty() ? "" : "/") + swapCase(rank);
    out += side == "w" ? " b " : " w ";
    out += castling.empty() ? "-" : swapCase(castling);
    if (ep.size() == 2) ep[1] = char('1' + '8' - ep[1]);
    out += ' ';
    out += ep.empty() ? std::string("-") : ep;
    return out + rest;
}

}  // namespace brinz::support
