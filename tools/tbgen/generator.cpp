#include "generator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/generate.h"
#include "board/make_move.h"
#include "board/perft.h"
#include "board/position.h"
#include "tablebases/index.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"

// Retrograde analysis. Every legal position of a table is a node; its value is the number of
// plies to mate (odd: the side to move wins, even: it loses) or a draw. Captures and
// promotions leave the table: their values come from tables finished before ("exits").
// Layer by layer, from the mated positions up: a position with a move to a loss at ply p is
// a win at p + 1; a position whose moves inside the table all lead to wins is a loss at one
// ply more than the longest of them (or of its exits). A counter of undecided successors per
// node tells when that happens, so every node is expanded once, by un-making moves.
//
// Nodes are positions up to the board symmetries. The index functions fold most symmetric
// positions onto one index but keep both reflections in the long diagonal apart when both
// kings stand on it, so a pawnless node is the smaller index of a position and its
// reflection; counters then count distinct successor nodes and stay exact. A position just
// after a double step that an enemy pawn could take en passant is a node of its own (the
// files do not store it; the probe reads such positions without the capture).

namespace brinz::tbgen {

namespace {

inline constexpr int MaxMen = 4;
inline constexpr uint8_t Undecided = 255;
inline constexpr int LongWinPlies = 253;  // beyond what a byte counts
inline constexpr int LongLossPlies = 254;
inline constexpr int8_t UnreachableByte = 127;

// Node flags.
inline constexpr uint8_t SEEN = 1;       // analysed (or checked)
inline constexpr uint8_t EXIT_DRAW = 2;  // a capture or promotion holds the draw

struct Outcome {
    enum Kind { Draw, Win, Loss } kind;
    int plies;
};

std::vector<int8_t> Finished[MaxGeneratedTable + 1][2];
bool Ready[MaxGeneratedTable + 1];

void fatal(const char* what, const char* table) {
    std::fprintf(stderr, "brinz-tbgen: internal error in %s: %s\n", table, what);
    std::exit(1);
}

void initialiseOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    InitAttacks();
    buildMaterialTree();
    for (int t = 1; t <= MaxGeneratedTable; ++t) addToMaterialTree(tableDescriptors[t]);
}

int typeOfLetter(char c) {
    return c == 'q' ? QUEEN : c == 'r' ? ROOK : c == 'b' ? BISHOP : c == 'n' ? KNIGHT : PAWN;
}

// A table's men in its own orientation: white holds the men named first.
struct Signature {
    int table = 0;
    const char* name = "";
    int men = 0;           // kings included
    int code[MaxMen] = {}; // white king, black king, white's men, black's men
    int slot[MaxMen] = {}; // SquareList slot of each man
    bool pawns = false;
    bool epNodes = false;  // pawns on both sides
    bool symmetric = false;
    bool reversed = false; // the material tree reaches this material as the twin of the table
    uint32_t size[2] = {};
    int storedSides = 2;
};

Signature signatureOf(int table) {
    Signature s;
    const TableDescriptor& d = tableDescriptors[table];
    s.table = table;
    s.name = d.name;
    s.code[0] = WHITE_KING;
    s.code[1] = BLACK_KING;
    s.slot[0] = s.slot[1] = 15;
    s.men = 2;
    int colour = WHITE;
    int used[2][7] = {};
    bool pawn[2] = {};
    for (const char* c = d.name + 1; *c; ++c) {
        if (*c == 'k') {
            colour = BLACK;
            continue;
        }
        const int type = typeOfLetter(*c);
        s.code[s.men] = MakeCode(type, colour);
        s.slot[s.men] = (type - PAWN) * 3 + used[colour][type]++;
        pawn[colour] |= type == PAWN;
        ++s.men;
    }
    s.pawns = pawn[WHITE] || pawn[BLACK];
    s.epNodes = pawn[WHITE] && pawn[BLACK];
    s.symmetric = d.flags & TB_SYMMETRIC;
    s.storedSides = s.symmetric ? 1 : 2;
    s.size[0] = d.size[0];
    s.size[1] = d.size[1];
    int32_t counts[10] = {};
    for (int i = 2; i < s.men; ++i) counts[(TypeOf(s.code[i]) - PAWN) + 5 * ColourOf(s.code[i])]++;
    s.reversed = lookupMaterial(counts) < 0;
    return s;
}

// One placement of a table's men with the side to move; squares in 0x88.
struct Men {
    int square[MaxMen];
    int side;
    int epSquare;  // 0 when none
};

struct Node {
    int side;     // stored side
    uint32_t id;  // index, plus the side's size for an en-passant node
    bool operator<(const Node& o) const { return side != o.side ? side < o.side : id < o.id; }
    bool operator==(const Node& o) const { return side == o.side && id == o.id; }
};

// A node waiting in a layer, with the placement to expand it from.
struct Entry {
    uint32_t node;  // stored side in bit 31
    uint32_t men;   // four 6-bit squares, side to move, en-passant file + 1
    bool pending;   // an exit's win, taken only if nothing shorter decided the node first
};

int square64(int sq) { return Index64(sq); }
int square88(int sq) { return SquareFrom64(sq); }

int transpose64(int sq) { return (sq & 7) << 3 | sq >> 3; }

// A stored byte as the outcome for the side to move of its position.
Outcome outcomeOfByte(int b) {
    if (b == 0) return {Outcome::Draw, 0};
    if (b == -128) return {Outcome::Win, LongWinPlies};
    if (b == -127) return {Outcome::Loss, LongLossPlies};
    if (b > 0) return {Outcome::Win, 2 * (127 - b) - 1};  // mates in 127 - b moves
    return {Outcome::Loss, 2 * (b + 126)};                 // is mated in b + 126 moves
}

int8_t byteOfDepth(uint8_t depth) {
    if (depth == Undecided) return 0;
    if (depth & 1) {
        const int moves = (depth + 1) / 2;
        return moves > 126 ? int8_t(-128) : int8_t(127 - moves);
    }
    const int moves = depth / 2;
    return moves > 125 ? int8_t(-127) : int8_t(moves - 126);
}

class Solver {
public:
    Solver(int table, bool check) : sig(signatureOf(table)), checking(check) {}

    GenerationReport run();

private:
    Signature sig;
    bool checking;
    Position pos;   // for move generation
    Position rays;  // only its board is kept up to date, for attack tests
    Men loaded{};   // the men standing on pos.board
    // Everything about a node in one place: the propagation touches nodes at random.
    struct NodeState {
        uint8_t depth = Undecided;  // plies to mate once decided
        uint8_t counter = 0;        // successors inside the table not yet known to win
        uint8_t exitWin = 0;        // plies of the quickest winning capture or promotion, 0 for none
        uint8_t exitLoss = 0;       // plies of the longest losing one
        uint8_t flags = 0;
    };
    std::vector<NodeState> nodes[2];
    NodeState& at(Node n) { return nodes[n.side][n.id]; }
    const NodeState& at(Node n) const { return nodes[n.side][n.id]; }
    std::vector<std::vector<Entry>> layers;
    std::vector<std::pair<uint32_t, uint32_t>> aliases[2];  // (raw index, node) where they differ
    GenerationReport report;

    uint32_t nodeCount(int side) const { return sig.size[side] * (sig.epNodes ? 2 : 1); }

    uint32_t pack(const Men& m) const {
        uint32_t packed = 0;
        for (int i = 0; i < sig.men; ++i) packed |= uint32_t(square64(m.square[i])) << (6 * i);
        packed |= uint32_t(m.side) << 24;
        if (m.epSquare) packed |= uint32_t(FileOf(m.epSquare) + 1) << 25;
        return packed;
    }

    Men unpack(uint32_t packed) const {
        Men m{};
        for (int i = 0; i < sig.men; ++i) m.square[i] = square88((packed >> (6 * i)) & 63);
        m.side = (packed >> 24) & 1;
        const int file = int(packed >> 25) & 15;
        // The square passed over: behind the pawn of the side that just moved.
        m.epSquare = file ? MakeSquare(file - 1, m.side == WHITE ? 5 : 2) : 0;
        return m;
    }

    static uint32_t packNode(Node n) { return uint32_t(n.side) << 31 | n.id; }
    static Node unpackNode(uint32_t v) { return {int(v >> 31), v & 0x7FFFFFFF}; }

    uint32_t indexOf(const Men& m, bool transposed, int& storedSide) const {
        SquareList lists[2];  // slots of absent men are never read
        for (int i = 0; i < sig.men; ++i) {
            const int sq = square64(m.square[i]);
            lists[ColourOf(sig.code[i])].square[sig.slot[i]] = transposed ? transpose64(sq) : sq;
        }
        int side = m.side, invert = 0;
        const SquareList* first = &lists[WHITE];
        const SquareList* second = &lists[BLACK];
        if (sig.reversed) {
            std::swap(first, second);
            side ^= 1;
            invert = 1;
        }
        storedSide = sig.symmetric ? 0 : side;
        return tableDescriptors[sig.table].indexFunction[side](*first, *second, NO_EN_PASSANT, invert);
    }

    uint32_t rawIndexOf(const Men& m, int& storedSide) const {
        const uint32_t index = indexOf(m, false, storedSide);
        if (index >= sig.size[storedSide]) fatal("a legal position without an index", sig.name);
        return index;
    }

    // Only with both kings on one long diagonal do the index functions keep a position and
    // its reflection in that diagonal apart; the node is then the smaller of the two.
    bool ambiguousReflection(const Men& m) const {
        if (sig.pawns) return false;
        const int a = m.square[0], b = m.square[1];
        const bool main = FileOf(a) == RankOf(a) && FileOf(b) == RankOf(b);
        const bool anti = FileOf(a) + RankOf(a) == 7 && FileOf(b) + RankOf(b) == 7;
        return main || anti;
    }

    Node nodeFromRaw(const Men& m, uint32_t raw, int storedSide) const {
        if (ambiguousReflection(m)) {
            int ignored;
            raw = std::min(raw, indexOf(m, true, ignored));
        }
        return {storedSide, raw + (m.epSquare ? sig.size[storedSide] : 0)};
    }

    Node nodeOf(const Men& m) const {
        int storedSide;
        const uint32_t raw = rawIndexOf(m, storedSide);
        return nodeFromRaw(m, raw, storedSide);
    }

    // The men after a quiet move (no capture, no promotion) of the position loaded in `pos`.
    Men successorOf(const Men& m, Move move) const {
        Men s = m;
        const int from = MoveFrom(move), to = MoveTo(move);
        for (int i = 0; i < sig.men; ++i)
            if (s.square[i] == from) s.square[i] = to;
        s.side = m.side ^ 1;
        s.epSquare = 0;
        // As make-move does: a double step beside an enemy pawn opens an en-passant capture.
        if (sig.epNodes && MovePiece(move) == PAWN && to - from == 2 * PawnPush[m.side]) {
            const int enemy = MakeCode(PAWN, m.side ^ 1);
            if (pos.board[to - 1] == enemy || pos.board[to + 1] == enemy) s.epSquare = (from + to) / 2;
        }
        return s;
    }

    void placeOnBoard(Position& p, const Men& m) const {
        for (int i = 0; i < sig.men; ++i) p.board[m.square[i]] = uint8_t(sig.code[i]);
    }
    void clearBoard(Position& p, const Men& m) const {
        for (int i = 0; i < sig.men; ++i) p.board[m.square[i]] = EMPTY;
    }

    // Whether any man of `colour` attacks `target` on the rays board.
    bool attacked(const Men& m, int target, int colour) const {
        for (int i = 0; i < sig.men; ++i)
            if (ColourOf(sig.code[i]) == colour && PieceAttacks(rays, sig.code[i], m.square[i], target)) return true;
        return false;
    }

    int kingOf(const Men& m, int colour) const { return m.square[colour]; }

    void load(const Men& m) {
        clearBoard(pos, loaded);
        placeOnBoard(pos, m);
        loaded = m;
        RebuildPieceLists(pos);
        CountPieces(pos);
        pos.side = m.side;
        pos.xside = m.side ^ 1;
        pos.epSquare = m.epSquare;
        pos.castleLost = 15;
        pos.fifty = 0;
        pos.ply = 0;
        pos.lastMove = MOVE_NONE;
        FindCheckers(pos);
    }

    // The result for the side to move of a position reached by a capture or promotion.
    Outcome exitOutcome() const {
        bool bare = true;
        for (int type = PAWN; type <= QUEEN; ++type)
            bare = bare && !pos.pieceCount[MakeCode(type, WHITE)] && !pos.pieceCount[MakeCode(type, BLACK)];
        if (bare) return {Outcome::Draw, 0};
        TablePosition where;
        if (!locateTablePosition(pos, where) || where.table > MaxGeneratedTable || !Ready[where.table])
            fatal("a capture or promotion leads to a table not at hand", sig.name);
        const int stored = tableDescriptors[where.table].flags & TB_SYMMETRIC ? 0 : where.side;
        const std::vector<int8_t>& values = Finished[where.table][stored];
        if (where.index >= values.size() || values[where.index] == UnreachableByte)
            fatal("a capture or promotion leads to a position the smaller table lacks", sig.name);
        return outcomeOfByte(values[where.index]);
    }

    // The result for the mover of an in-table successor, from its final depth.
    Outcome successorOutcome(Node n) const {
        const uint8_t d = at(n).depth;
        if (d == Undecided) return {Outcome::Draw, 0};
        return d & 1 ? Outcome{Outcome::Loss, d + 1} : Outcome{Outcome::Win, d + 1};
    }

    void decide(Node n, const Men& m, int plies) {
        at(n).depth = uint8_t(plies);
        push(plies, {packNode(n), pack(m), false});
    }

    void push(int plies, Entry e) {
        if (plies >= int(layers.size())) layers.resize(size_t(plies) + 1);
        layers[size_t(plies)].push_back(e);
    }

    void analyse(const Men& m, Node n);
    void enumerate(bool checkPass);
    void visit(Men& m, bool checkPass);
    void propagate();
    template <typename F>
    void forEachPredecessor(const Men& m, F&& emit);
    bool hasEnPassantTwin(const Men& m, int& epSquare) const;
    int checkNode(const Men& m, Node n);
    void finish();
};

void Solver::analyse(const Men& m, Node n) {
    load(m);
    MoveListEntry list[MaxMoves];
    MoveListEntry* end = GenerateLegalMoves(pos, list);
    if (end == list) {
        if (pos.checkerCount) decide(n, m, 0);  // mated; a stalemate stays a draw
        return;
    }
    uint32_t successors[MaxMoves];
    int count = 0, bestWin = 0, worstLoss = 0;
    bool draw = false;
    for (MoveListEntry* e = list; e != end; ++e) {
        if (!IsCapture(e->move) && !MovePromotion(e->move)) {
            successors[count++] = packNode(nodeOf(successorOf(m, e->move)));
            continue;
        }
        UndoRecord undo;
        MakeMove(pos, undo, e->move);
        const Outcome o = exitOutcome();
        UnmakeMove(pos, undo, e->move);
        // The outcome seen from the mover: one ply longer, roles exchanged.
        if (o.kind == Outcome::Draw) draw = true;
        else if (o.kind == Outcome::Loss) bestWin = bestWin ? std::min(bestWin, o.plies + 1) : o.plies + 1;
        else worstLoss = std::max(worstLoss, o.plies + 1);
    }
    std::sort(successors, successors + count);
    count = int(std::unique(successors, successors + count) - successors);
    bestWin = std::min(bestWin, LongWinPlies);
    worstLoss = std::min(worstLoss, LongLossPlies);
    if (count == 0) {
        if (bestWin) decide(n, m, bestWin);
        else if (!draw) decide(n, m, worstLoss);
        return;
    }
    at(n).counter = uint8_t(count);
    at(n).exitWin = uint8_t(bestWin);
    at(n).exitLoss = uint8_t(worstLoss);
    if (draw) at(n).flags |= EXIT_DRAW;
    if (bestWin) push(bestWin, {packNode(n), pack(m), true});
}

bool Solver::hasEnPassantTwin(const Men& m, int& epSquare) const {
    if (!sig.epNodes) return false;
    const int mover = m.side ^ 1;  // the side that would just have made the double step
    for (int i = 2; i < sig.men; ++i) {
        if (sig.code[i] != MakeCode(PAWN, mover)) continue;
        const int sq = m.square[i];
        if (RelativeRank[mover][sq] != 3) continue;
        const int passed = sq - PawnPush[mover], origin = passed - PawnPush[mover];
        if (rays.board[passed] != EMPTY || rays.board[origin] != EMPTY) continue;
        const int enemy = MakeCode(PAWN, m.side);
        if (rays.board[sq - 1] != enemy && rays.board[sq + 1] != enemy) continue;
        epSquare = passed;
        return true;
    }
    return false;
}

void Solver::visit(Men& m, bool checkPass) {
    // The side not to move must not be in check.
    if (attacked(m, kingOf(m, m.side ^ 1), m.side)) return;
    int storedSide;
    const uint32_t raw = rawIndexOf(m, storedSide);
    int epSquare = 0;
    const bool twin = hasEnPassantTwin(m, epSquare);
    for (int pass = 0; pass < (twin ? 2 : 1); ++pass) {
        m.epSquare = pass ? epSquare : 0;
        const Node n = nodeFromRaw(m, raw, storedSide);
        if (!pass && !checkPass && raw != n.id) aliases[storedSide].push_back({raw, n.id});
        uint8_t& f = at(n).flags;
        if (checkPass) {
            if (!(f & SEEN)) {
                f |= SEEN;
                report.mismatches += checkNode(m, n);
            }
        } else if (!(f & SEEN)) {
            f |= SEEN;
            analyse(m, n);
        }
    }
    m.epSquare = 0;
}

void Solver::enumerate(bool checkPass) {
    // The side to move's king fixes the frame of the index: its fundamental squares suffice.
    static const int Triangle[] = {0, 1, 2, 3, 17, 18, 19, 34, 35, 51};
    std::vector<int> kingSquares;
    for (int sq = 0; sq < 120; ++sq)
        if (OnBoard(sq) && (sig.pawns ? FileOf(sq) < 4 : false)) kingSquares.push_back(sq);
    if (!sig.pawns) kingSquares.assign(std::begin(Triangle), std::end(Triangle));
    if (!checkPass) {
        aliases[0].clear();
        aliases[1].clear();
    }

    Men m{};
    for (int side = WHITE; side <= BLACK; ++side) {
        m.side = side;
        // Place the men one by one, the side to move's king first.
        int order[MaxMen];
        order[0] = side;
        order[1] = side ^ 1;
        for (int i = 2; i < sig.men; ++i) order[i] = i;
        auto place = [&](auto&& self, int k) -> void {
            if (k == sig.men) {
                visit(m, checkPass);
                return;
            }
            const int man = order[k];
            const bool pawn = TypeOf(sig.code[man]) == PAWN;
            auto tryAt = [&](int sq) {
                if (rays.board[sq] != EMPTY) return;
                m.square[man] = sq;
                rays.board[sq] = uint8_t(sig.code[man]);
                self(self, k + 1);
                rays.board[sq] = EMPTY;
            };
            if (k == 0) {
                for (int sq : kingSquares) tryAt(sq);
            } else {
                for (int sq = pawn ? 16 : 0; sq < (pawn ? 104 : 120); ++sq)
                    if (OnBoard(sq)) tryAt(sq);
            }
        };
        place(place, 0);
        std::fprintf(stdout, "%s: %s, %s to move done\n", sig.name, checkPass ? "checking" : "positions",
                     side == WHITE ? "white" : "black");
        std::fflush(stdout);
    }
}

template <typename F>
void Solver::forEachPredecessor(const Men& n, F&& emit) {
    const int s = n.side, x = s ^ 1;  // x made the last move
    placeOnBoard(rays, n);
    Men p = n;
    p.side = x;
    p.epSquare = 0;
    auto tryOrigin = [&](int i, int origin) {
        const int from = n.square[i];
        rays.board[from] = EMPTY;
        rays.board[origin] = uint8_t(sig.code[i]);
        p.square[i] = origin;
        // With x to move, s's king must not stand in check.
        if (!attacked(p, kingOf(p, s), x)) {
            emit(p);
            int epSquare;
            if (hasEnPassantTwin(p, epSquare)) {
                p.epSquare = epSquare;
                emit(p);
                p.epSquare = 0;
            }
        }
        p.square[i] = from;
        rays.board[origin] = EMPTY;
        rays.board[from] = uint8_t(sig.code[i]);
    };
    for (int i = 0; i < sig.men; ++i) {
        const int code = sig.code[i];
        if (ColourOf(code) != x) continue;
        const int from = n.square[i];
        if (TypeOf(code) == PAWN) {
            const int back = from - PawnPush[x], back2 = back - PawnPush[x];
            if (n.epSquare) {
                // Only the double step that allowed the capture leads here.
                if (back == n.epSquare && rays.board[back] == EMPTY && rays.board[back2] == EMPTY) tryOrigin(i, back2);
                continue;
            }
            const int rank = RelativeRank[x][from];
            if (rank >= 2 && rays.board[back] == EMPTY) tryOrigin(i, back);
            if (rank == 3 && rays.board[back] == EMPTY && rays.board[back2] == EMPTY) {
                // A double step beside an enemy pawn leads to the en-passant node instead.
                const int enemy = MakeCode(PAWN, s);
                if (!sig.epNodes || (rays.board[from - 1] != enemy && rays.board[from + 1] != enemy))
                    tryOrigin(i, back2);
            }
            continue;
        }
        if (n.epSquare) continue;
        for (const int* d = PieceDirections[code]; *d; ++d)
            for (int to = from + *d; rays.board[to] == EMPTY; to += *d) {
                tryOrigin(i, to);
                if (!SliderKind[code]) break;
            }
    }
    clearBoard(rays, n);
}

void Solver::propagate() {
    std::vector<std::pair<uint32_t, uint32_t>> predecessors;  // (node, placement)
    for (size_t plies = 0; plies < layers.size(); ++plies) {
        for (size_t k = 0; k < layers[plies].size(); ++k) {
            const Entry e = layers[plies][k];
            const Node n = unpackNode(e.node);
            if (e.pending) {
                if (at(n).depth != Undecided) continue;
                at(n).depth = uint8_t(plies);
            }
            const Men m = unpack(e.men);
            predecessors.clear();
            forEachPredecessor(m, [&](const Men& p) { predecessors.push_back({packNode(nodeOf(p)), pack(p)}); });
            std::sort(predecessors.begin(), predecessors.end(),
                      [](const auto& a, const auto& b) { return a.first < b.first; });
            uint32_t last = 0xFFFFFFFF;
            for (const auto& [packedNode, packedMen] : predecessors) {
                if (packedNode == last) continue;
                last = packedNode;
                const Node q = unpackNode(packedNode);
                if (at(q).depth != Undecided) continue;
                if (!(at(q).flags & SEEN)) fatal("a predecessor that was never enumerated", sig.name);
                if (plies % 2 == 0) {
                    // A move to a lost position wins.
                    decide(q, unpack(packedMen), int(plies) + 1);
                } else if (--at(q).counter == 0) {
                    // Every move inside the table loses; an exit may still win, draw or last longer.
                    if (at(q).exitWin || (at(q).flags & EXIT_DRAW)) continue;
                    const int loss = std::max(int(plies) + 1, int(at(q).exitLoss));
                    decide(q, unpack(packedMen), loss);
                }
            }
        }
        std::vector<Entry>().swap(layers[plies]);
    }
}

// The value recomputed from the successors' final values; 1 when it differs from the node's.
int Solver::checkNode(const Men& m, Node n) {
    load(m);
    MoveListEntry list[MaxMoves];
    MoveListEntry* end = GenerateLegalMoves(pos, list);
    int best = -1;  // plies of the best outcome: wins below 1000, draws 1000, losses 2000 - plies
    auto rank = [](Outcome o) { return o.kind == Outcome::Win ? o.plies : o.kind == Outcome::Draw ? 1000 : 2000 - o.plies; };
    Outcome bestOutcome{Outcome::Draw, 0};
    for (MoveListEntry* e = list; e != end; ++e) {
        Outcome o;
        if (IsCapture(e->move) || MovePromotion(e->move)) {
            UndoRecord undo;
            MakeMove(pos, undo, e->move);
            o = exitOutcome();
            UnmakeMove(pos, undo, e->move);
            o = o.kind == Outcome::Draw ? o
                : o.kind == Outcome::Loss ? Outcome{Outcome::Win, std::min(o.plies + 1, LongWinPlies)}
                                          : Outcome{Outcome::Loss, std::min(o.plies + 1, LongLossPlies)};
        } else {
            o = successorOutcome(nodeOf(successorOf(m, e->move)));
        }
        if (best < 0 || rank(o) < best) {
            best = rank(o);
            bestOutcome = o;
        }
    }
    uint8_t expected = Undecided;
    if (end == list) expected = pos.checkerCount ? 0 : Undecided;
    else if (bestOutcome.kind != Outcome::Draw) expected = uint8_t(bestOutcome.plies);
    return expected == at(n).depth ? 0 : 1;
}

void Solver::finish() {
    int longest = 0;
    for (int side = 0; side < sig.storedSides; ++side) {
        std::vector<int8_t>& values = Finished[sig.table][side];
        values.assign(sig.size[side], UnreachableByte);
        for (uint32_t i = 0; i < sig.size[side]; ++i) {
            if (!(nodes[side][i].flags & SEEN)) continue;
            values[i] = byteOfDepth(nodes[side][i].depth);
            if (nodes[side][i].depth != Undecided && (nodes[side][i].depth & 1)) longest = std::max(longest, (nodes[side][i].depth + 1) / 2);
        }
        for (const auto& [raw, node] : aliases[side]) values[raw] = values[node];
        for (int8_t v : values) report.positions[side] += v != UnreachableByte;
    }
    report.longestWin = longest;
    Ready[sig.table] = true;
}

GenerationReport Solver::run() {
    for (int side = 0; side < sig.storedSides; ++side) {
        const size_t n = nodeCount(side);
        nodes[side].assign(n, NodeState());
    }
    enumerate(false);
    propagate();
    if (checking) {
        for (int side = 0; side < sig.storedSides; ++side)
            for (NodeState& state : nodes[side]) state.flags &= uint8_t(~SEEN);
        enumerate(true);
    }
    finish();
    return report;
}

void addNeeded(int table, std::vector<int>& order, std::vector<bool>& placed) {
    if (placed[table]) return;
    placed[table] = true;
    const Signature sig = signatureOf(table);
    int32_t counts[10] = {};
    for (int i = 2; i < sig.men; ++i) counts[(TypeOf(sig.code[i]) - PAWN) + 5 * ColourOf(sig.code[i])]++;
    auto need = [&](const int32_t* c) {
        int men = 0;
        for (int k = 0; k < 10; ++k) men += c[k];
        if (men == 0) return;
        const int t = std::abs(lookupMaterial(c));
        if (t > 0 && t != table) addNeeded(t, order, placed);
    };
    for (int k = 0; k < 10; ++k) {
        if (!counts[k]) continue;
        int32_t c[10];
        std::memcpy(c, counts, sizeof c);
        --c[k];
        need(c);  // a capture
        if (k % 5 != 0) continue;
        for (int promoted = 1; promoted < 5; ++promoted) {
            c[k + promoted]++;
            need(c);  // a promotion
            for (int captured = 0; captured < 5; ++captured) {
                const int e = (k < 5 ? 5 : 0) + captured;
                if (!c[e]) continue;
                --c[e];
                need(c);  // a promotion by capture
                ++c[e];
            }
            c[k + promoted]--;
        }
    }
    order.push_back(table);
}

}  // namespace

std::vector<int> generationOrder(const std::vector<int>& tables) {
    initialiseOnce();
    std::vector<int> order;
    std::vector<bool> placed(MaxGeneratedTable + 1, false);
    for (int t : tables) addNeeded(t, order, placed);
    return order;
}

GenerationReport generateTable(int table, bool check) {
    initialiseOnce();
    Solver solver(table, check);
    return solver.run();
}

bool loadTable(int table, const std::string& directory) {
    initialiseOnce();
    const TableDescriptor& d = tableDescriptors[table];
    const int sides = d.flags & TB_SYMMETRIC ? 1 : 2;
    for (int side = 0; side < sides; ++side) {
        const std::string name = directory + "/" + d.name + (side ? ".nbb" : ".nbw");
        FILE* file = std::fopen(name.c_str(), "rb");
        if (!file) return false;
        std::vector<int8_t>& values = Finished[table][side];
        values.assign(size_t(d.size[side]) + 1, 0);
        const size_t got = std::fread(values.data(), 1, values.size(), file);
        std::fclose(file);
        if (got != d.size[side]) {
            values.clear();
            return false;
        }
        values.pop_back();
    }
    Ready[table] = true;
    return true;
}

bool writeTable(int table, const std::string& directory) {
    const TableDescriptor& d = tableDescriptors[table];
    const int sides = d.flags & TB_SYMMETRIC ? 1 : 2;
    for (int side = 0; side < sides; ++side) {
        const std::string name = directory + "/" + d.name + (side ? ".nbb" : ".nbw");
        FILE* file = std::fopen(name.c_str(), "wb");
        if (!file) return false;
        const std::vector<int8_t>& values = Finished[table][side];
        const bool written = std::fwrite(values.data(), 1, values.size(), file) == values.size();
        if (std::fclose(file) != 0 || !written) return false;
    }
    return true;
}

void releaseTable(int table) {
    for (auto& values : Finished[table]) std::vector<int8_t>().swap(values);
    Ready[table] = false;
}

}  // namespace brinz::tbgen
