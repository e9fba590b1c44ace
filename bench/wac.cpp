// Win At Chess: searches every position of an EPD file for a fixed time on one thread and
// counts those whose answer is a "bm" move (and no "am" move).
// Usage: bench-wac [milliseconds per position, default 1000] [epd file] [first N positions]
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "board/attacks.h"
#include "board/generate.h"
#include "board/move.h"
#include "board/move_text.h"

namespace brinz {
namespace {

// Whether legal move m of `pos` is the one written `san` in algebraic notation.
bool matchesSan(const Position& pos, Move m, std::string san) {
    while (!san.empty() && std::strchr("+#!?", san.back())) san.pop_back();
    if (san == "O-O" || san == "0-0") return (m & CASTLE) && FileOf(MoveTo(m)) == 6;
    if (san == "O-O-O" || san == "0-0-0") return (m & CASTLE) && FileOf(MoveTo(m)) == 2;
    if (m & CASTLE) return false;
    int piece = PAWN;
    static const char Letters[] = "  NBRQK";
    if (!san.empty() && std::strchr("NBRQK", san[0])) {
        piece = int(std::strchr(Letters, san[0]) - Letters);
        san.erase(0, 1);
    }
    int promotion = 0;
    size_t eq = san.find('=');
    if (eq != std::string::npos && eq + 1 < san.size()) {
        promotion = int(std::strchr(Letters, std::toupper(static_cast<unsigned char>(san[eq + 1]))) - Letters);
        san.erase(eq);
    } else if (!san.empty() && std::strchr("NBRQ", san.back())) {
        promotion = int(std::strchr(Letters, san.back()) - Letters);
        san.pop_back();
    }
    if (san.size() < 2) return false;
    int to = MakeSquare(san[san.size() - 2] - 'a', san[san.size() - 1] - '1');
    int file = -1, rank = -1;
    for (size_t i = 0; i + 2 < san.size(); ++i) {
        if (san[i] >= 'a' && san[i] <= 'h') file = san[i] - 'a';
        if (san[i] >= '1' && san[i] <= '8') rank = san[i] - '1';
    }
    int from = MoveFrom(m);
    (void)pos;
    return MovePiece(m) == piece && MoveTo(m) == to && MovePromotion(m) == promotion &&
           (file < 0 || FileOf(from) == file) && (rank < 0 || RankOf(from) == rank);
}

// The moves listed after `op` (up to its ';') in an EPD line.
std::vector<std::string> operandsOf(const std::string& line, const std::string& op) {
    std::vector<std::string> words;
    size_t at = line.find(" " + op + " ");
    if (at == std::string::npos) return words;
    size_t begin = at + op.size() + 2;
    size_t end = line.find(';', begin);
    std::string list = line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    size_t p = 0;
    while (p < list.size()) {
        while (p < list.size() && list[p] == ' ') ++p;
        size_t q = list.find(' ', p);
        if (q == std::string::npos) q = list.size();
        if (q > p) words.push_back(list.substr(p, q - p));
        p = q;
    }
    return words;
}

std::string idOf(const std::string& line) {
    size_t at = line.find("id \"");
    if (at == std::string::npos) return "?";
    return line.substr(at + 4, line.find('"', at + 4) - at - 4);
}

bool isOneOf(const Position& pos, Move m, const std::vector<std::string>& sans) {
    for (const std::string& san : sans)
        if (matchesSan(pos, m, san)) return true;
    return false;
}

}  // namespace
}  // namespace brinz

int main(int argc, char** argv) {
    using namespace brinz;
    int movetime = argc > 1 ? std::atoi(argv[1]) : 1000;
    const char* path = argc > 2 && *argv[2] ? argv[2] : BENCH_DATA "/wac.epd";
    int limit = argc > 3 ? std::atoi(argv[3]) : 1 << 30;
    std::FILE* file = std::fopen(path, "r");
    if (!file) {
        std::printf("cannot open %s\n", path);
        return 1;
    }
    bench::initialise(64);
    int total = 0, solved = 0;
    std::string missed;
    char buffer[4096];
    while (total < limit && std::fgets(buffer, sizeof buffer, file)) {
        std::string line = buffer;
        std::vector<std::string> fields;
        size_t p = 0;
        for (int i = 0; i < 4; ++i) {
            size_t q = line.find(' ', p);
            if (q == std::string::npos) break;
            fields.push_back(line.substr(p, q - p));
            p = q + 1;
        }
        if (fields.size() < 4) continue;
        std::string fen = fields[0] + " " + fields[1] + " " + fields[2] + " " + fields[3] + " 0 1";
        std::vector<std::string> best = operandsOf(line, "bm"), avoid = operandsOf(line, "am");
        ++total;
        if (!bench::searchFen(fen.c_str(), 0, movetime)) {
            missed.append(" ").append(idOf(line)).append("(bad FEN)");
            continue;
        }
        bool ok = (best.empty() || isOneOf(RootPosition, bestMove, best)) && !isOneOf(RootPosition, bestMove, avoid);
        if (ok) ++solved;
        else {
            char text[MoveTextSize];
            missed.append(" ").append(idOf(line)).append("(").append(MoveToText(bestMove, text, RootPosition)).append(")");
        }
    }
    std::fclose(file);
    std::printf("solved %d of %d at %d ms\nmissed:%s\n", solved, total, movetime, missed.c_str());
    return 0;
}
