#pragma once

#include <string>
#include <vector>

#include "board/generate.h"
#include "board/move_text.h"

namespace brinz::test {

// The text of `move`, castling by the geometry of `game`.
inline std::string Text(Move move, const Position& game) {
    char buffer[MoveTextSize];
    return MoveToText(move, buffer, game);
}

inline std::vector<Move> Moves(const MoveListEntry* begin, const MoveListEntry* end) {
    std::vector<Move> moves;
    for (const MoveListEntry* entry = begin; entry != end; ++entry) moves.push_back(entry->move);
    return moves;
}

// The moves a generator produces for `pos`, in order.
template <typename Generator>
std::vector<Move> Generate(Generator generator, Position& pos) {
    MoveListEntry list[MaxMoves];
    return Moves(list, generator(pos, list));
}

// Move texts joined by blanks, for readable expectations.
inline std::string Texts(const std::vector<Move>& moves, const Position& game) {
    std::string text;
    for (Move move : moves) {
        if (!text.empty()) text += ' ';
        text += Text(move, game);
    }
    return text;
}

}  // namespace brinz::test
