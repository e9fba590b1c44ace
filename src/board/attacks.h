#pragma once

#include <cstdint>

#include "board/position.h"

namespace brinz {

// Indexed by origin - target + 128. mask: AttackBit of every code that attacks target
// from origin on an empty board; step: the direction from origin towards target.
struct AttackEntry {
    uint8_t mask;
    int8_t step;
};
extern AttackEntry AttackTable[256];
// King distance, indexed like AttackTable.
extern uint8_t Distance[256];

inline constexpr int LINE_BIT = 0x40;

inline const AttackEntry& AttackBetween(int origin, int target) { return AttackTable[origin - target + 128]; }
inline int KingDistance(int a, int b) { return Distance[a - b + 128]; }

// Builds AttackTable and Distance. Called once at start-up.
void InitAttacks();

// True if any piece of `colour` (king included) attacks `target`, whatever stands there.
bool IsAttacked(const Position& pos, int target, int colour);

// Counts the enemy pieces (at most two) checking the side to move and stores their
// squares in pos.checkers; uses lastMove to look only where a check can have appeared.
int FindCheckers(Position& pos);

}  // namespace brinz
