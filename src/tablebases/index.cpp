#include "tablebases/index.h"

#include <type_traits>
#include <utility>

#include "tablebases/enumeration.h"

namespace brinz {

namespace {

struct TableRow {
    int number;
    const char* name;
    uint32_t flags;
    uint32_t size[2];
};

// The sizes are constants of the file format: a registered file must have exactly this many
// positions (bytes, or 16-bit words).
constexpr TableRow Rows[TableCount] = {
    {0, "kk", TB_SYMMETRIC, {0u, 0u}},
    {1, "kpk", 0, {81664u, 84012u}},
    {2, "knk", 0, {26282u, 28644u}},
    {3, "kbk", 0, {27243u, 28644u}},
    {4, "krk", 0, {27030u, 28644u}},
    {5, "kqk", 0, {25629u, 28644u}},
    {6, "kpkp", 0, {3863492u, 3863492u}},
    {7, "knkp", 0, {4931904u, 4981504u}},
    {8, "knkn", TB_SYMMETRIC, {1603202u, 1603202u}},
    {9, "kbkp", 0, {5112000u, 4981504u}},
    {10, "kbkn", 0, {1661823u, 1603202u}},
    {11, "kbkb", TB_SYMMETRIC, {1661823u, 1661823u}},
    {12, "krkp", 0, {5072736u, 4981504u}},
    {13, "krkn", 0, {1649196u, 1603202u}},
    {14, "krkb", 0, {1649196u, 1661823u}},
    {15, "krkr", TB_SYMMETRIC, {1649196u, 1649196u}},
    {16, "kqkp", 0, {4810080u, 4981504u}},
    {17, "kqkn", 0, {1563735u, 1603202u}},
    {18, "kqkb", 0, {1563735u, 1661823u}},
    {19, "kqkr", 0, {1563735u, 1649196u}},
    {20, "kqkq", TB_SYMMETRIC, {1563735u, 1563735u}},
    {21, "kppk", 0, {1806671u, 1912372u}},
    {22, "knpk", 0, {4648581u, 5124732u}},
    {23, "knnk", 0, {735304u, 873642u}},
    {24, "kbpk", 0, {4817128u, 5124732u}},
    {25, "kbnk", 0, {1550620u, 1747284u}},
    {26, "kbbk", 0, {789885u, 873642u}},
    {27, "krpk", 0, {4779530u, 5124732u}},
    {28, "krnk", 0, {1538479u, 1747284u}},
    {29, "krbk", 0, {1594560u, 1747284u}},
    {30, "krrk", 0, {777300u, 873642u}},
    {31, "kqpk", 0, {4533490u, 5124732u}},
    {32, "kqnk", 0, {1459616u, 1747284u}},
    {33, "kqbk", 0, {1512507u, 1747284u}},
    {34, "kqrk", 0, {1500276u, 1747284u}},
    {35, "kqqk", 0, {698739u, 873642u}},
    {36, "kppkp", 0, {84219361u, 89391280u}},
    {37, "kppkn", 0, {108400260u, 115899744u}},
    {38, "kppkb", 0, {108400260u, 120132000u}},
    {39, "kppkr", 0, {108400260u, 119209296u}},
    {40, "kppkq", 0, {108400260u, 113036880u}},
    {41, "knpkp", 0, {219921779u, 231758952u}},
    {42, "knpkn", 0, {278914860u, 295914240u}},
    {43, "knpkb", 0, {278914860u, 306720000u}},
    {44, "knpkr", 0, {278914860u, 304369920u}},
    {45, "knpkq", 0, {278914860u, 288610560u}},
    {46, "knnkp", 0, {137991648u, 149445120u}},
    {47, "knnkn", 0, {44118240u, 48096060u}},
    {48, "knnkb", 0, {44118240u, 49854690u}},
    {49, "knnkr", 0, {44118240u, 49475880u}},
    {50, "knnkq", 0, {44118240u, 46912050u}},
    {51, "kbpkp", 0, {227896016u, 231758952u}},
    {52, "kbpkn", 0, {289027680u, 295914240u}},
    {53, "kbpkb", 0, {289027680u, 306720000u}},
    {54, "kbpkr", 0, {289027680u, 304369920u}},
    {55, "kbpkq", 0, {289027680u, 288610560u}},
    {56, "kbnkp", 0, {290989584u, 298890240u}},
    {57, "kbnkn", 0, {93037200u, 96192120u}},
    {58, "kbnkb", 0, {93037200u, 99709380u}},
    {59, "kbnkr", 0, {93037200u, 98951760u}},
    {60, "kbnkq", 0, {93037200u, 93824100u}},
    {61, "kbbkp", 0, {148223520u, 149445120u}},
    {62, "kbbkn", 0, {47393100u, 48096060u}},
    {63, "kbbkb", 0, {47393100u, 49854690u}},
    {64, "kbbkr", 0, {47393100u, 49475880u}},
    {65, "kbbkq", 0, {47393100u, 46912050u}},
    {66, "krpkp", 0, {226121876u, 231758952u}},
    {67, "krpkn", 0, {286777440u, 295914240u}},
    {68, "krpkb", 0, {286777440u, 306720000u}},
    {69, "krpkr", 0, {286777440u, 304369920u}},
    {70, "krpkq", 0, {286777440u, 288610560u}},
    {71, "krnkp", 0, {288692928u, 298890240u}},
    {72, "krnkn", 0, {92308740u, 96192120u}},
    {73, "krnkb", 0, {92308740u, 99709380u}},
    {74, "krnkr", 0, {92308740u, 98951760u}},
    {75, "krnkq", 0, {92308740u, 93824100u}},
    {76, "krbkp", 0, {299203200u, 298890240u}},
    {77, "krbkn", 0, {95673600u, 96192120u}},
    {78, "krbkb", 0, {95673600u, 99709380u}},
    {79, "krbkr", 0, {95673600u, 98951760u}},
    {80, "krbkq", 0, {95673600u, 93824100u}},
    {81, "krrkp", 0, {145901232u, 149445120u}},
    {82, "krrkn", 0, {46658340u, 48096060u}},
    {83, "krrkb", 0, {46658340u, 49854690u}},
    {84, "krrkr", 0, {46658340u, 49475880u}},
    {85, "krrkq", 0, {46658340u, 46912050u}},
    {86, "kqpkp", 0, {214481388u, 231758952u}},
    {87, "kqpkn", 0, {272015040u, 295914240u}},
    {88, "kqpkb", 0, {272015040u, 306720000u}},
    {89, "kqpkr", 0, {272015040u, 304369920u}},
    {90, "kqpkq", 0, {272015040u, 288610560u}},
    {91, "kqnkp", 0, {273904512u, 298890240u}},
    {92, "kqnkn", 0, {87576960u, 96192120u}},
    {93, "kqnkb", 0, {87576960u, 99709380u}},
    {94, "kqnkr", 0, {87576960u, 98951760u}},
    {95, "kqnkq", 0, {87576960u, 93824100u}},
    {96, "kqbkp", 0, {283818240u, 298890240u}},
    {97, "kqbkn", 0, {90750420u, 96192120u}},
    {98, "kqbkb", 0, {90750420u, 99709380u}},
    {99, "kqbkr", 0, {90750420u, 98951760u}},
    {100, "kqbkq", 0, {90750420u, 93824100u}},
    {101, "kqrkp", 0, {281568240u, 298890240u}},
    {102, "kqrkn", 0, {90038460u, 96192120u}},
    {103, "kqrkb", 0, {90038460u, 99709380u}},
    {104, "kqrkr", 0, {90038460u, 98951760u}},
    {105, "kqrkq", 0, {90038460u, 93824100u}},
    {106, "kqqkp", 0, {131170128u, 149445120u}},
    {107, "kqqkn", 0, {41944320u, 48096060u}},
    {108, "kqqkb", 0, {41944320u, 49854690u}},
    {109, "kqqkr", 0, {41944320u, 49475880u}},
    {110, "kqqkq", 0, {41944320u, 46912050u}},
    {111, "kpppk", 0, {26061704u, 28388716u}},
    {112, "knppk", 0, {102898651u, 114742320u}},
    {113, "knnpk", 0, {130135501u, 153741960u}},
    {114, "knnnk", 0, {13486227u, 17472840u}},
    {115, "kbppk", 0, {106602156u, 114742320u}},
    {116, "kbnpk", 0, {274352939u, 307483920u}},
    {117, "kbnnk", 0, {43406294u, 52418520u}},
    {118, "kbbpk", 0, {139715040u, 153741960u}},
    {119, "kbbnk", 0, {44983618u, 52418520u}},
    {120, "kbbbk", 0, {15010230u, 17472840u}},
    {121, "krppk", 0, {105758666u, 114742320u}},
    {122, "krnpk", 0, {272153675u, 307483920u}},
    {123, "krnnk", 0, {43056198u, 52418520u}},
    {124, "krbpk", 0, {281991360u, 307483920u}},
    {125, "krbnk", 0, {90787358u, 104837040u}},
    {126, "krbbk", 0, {46242089u, 52418520u}},
    {127, "krrpk", 0, {137491197u, 153741960u}},
    {128, "krrnk", 0, {44265261u, 52418520u}},
    {129, "krrbk", 0, {45873720u, 52418520u}},
    {130, "krrrk", 0, {14644690u, 17472840u}},
    {131, "kqppk", 0, {100347220u, 114742320u}},
    {132, "kqnpk", 0, {258294639u, 307483920u}},
    {133, "kqnnk", 0, {40873646u, 52418520u}},
    {134, "kqbpk", 0, {267576632u, 307483920u}},
    {135, "kqbnk", 0, {86166717u, 104837040u}},
    {136, "kqbbk", 0, {43879679u, 52418520u}},
    {137, "kqrpk", 0, {265421907u, 307483920u}},
    {138, "kqrnk", 0, {85470603u, 104837040u}},
    {139, "kqrbk", 0, {88557959u, 104837040u}},
    {140, "kqrrk", 0, {43157690u, 52418520u}},
    {141, "kqqpk", 0, {123688859u, 153741960u}},
    {142, "kqqnk", 0, {39840787u, 52418520u}},
    {143, "kqqbk", 0, {41270973u, 52418520u}},
    {144, "kqqrk", 0, {40916820u, 52418520u}},
    {145, "kqqqk", 0, {12479974u, 17472840u}},
    {146, "knnknn", TB_SYMMETRIC, {1301488080u, 1301488080u}},
    {147, "kbnknn", 0, {2744597400u, 2602976160u}},
    {148, "kbbknn", 0, {1398096450u, 1301488080u}},
    {149, "kbbkbn", 0, {2796192900u, 2744597400u}},
    {150, "kbbkbb", TB_SYMMETRIC, {1398096450u, 1398096450u}},
    {151, "krnknn", TB_16BIT, {2723107830u, 2602976160u}},
    {152, "krnkbb", TB_16BIT, {2723107830u, 2796192900u}},
    {153, "krbknn", TB_16BIT, {2822371200u, 2602976160u}},
    {154, "krbkbb", 0, {2822371200u, 2796192900u}},
    {155, "krrknn", 0, {1376421030u, 1301488080u}},
    {156, "krrkbn", 0, {2752842060u, 2744597400u}},
    {157, "krrkbb", 0, {1376421030u, 1398096450u}},
    {158, "krrkrn", 0, {2752842060u, 2723107830u}},
    {159, "krrkrb", 0, {2752842060u, 2822371200u}},
    {160, "krrkrr", TB_SYMMETRIC, {1376421030u, 1376421030u}},
    {161, "kqnknn", 0, {2583520320u, 2602976160u}},
    {162, "kqnkbb", 0, {2583520320u, 2796192900u}},
    {163, "kqnkrr", TB_16BIT, {2583520320u, 2752842060u}},
    {164, "kqbknn", 0, {2677137390u, 2602976160u}},
    {165, "kqbkbb", 0, {2677137390u, 2796192900u}},
    {166, "kqbkrr", 0, {2677137390u, 2752842060u}},
    {167, "kqrknn", 0, {2656134570u, 2602976160u}},
    {168, "kqrkbb", 0, {2656134570u, 2796192900u}},
    {169, "kqrkrr", 0, {2656134570u, 2752842060u}},
    {170, "kqqknn", 0, {1237357440u, 1301488080u}},
    {171, "kqqkbn", 0, {2474714880u, 2744597400u}},
    {172, "kqqkbb", 0, {1237357440u, 1398096450u}},
    {173, "kqqkrn", 0, {2474714880u, 2723107830u}},
    {174, "kqqkrb", 0, {2474714880u, 2822371200u}},
    {175, "kqqkrr", 0, {1237357440u, 1376421030u}},
    {176, "kqqkqn", 0, {2474714880u, 2583520320u}},
    {177, "kqqkqb", 0, {2474714880u, 2677137390u}},
    {178, "kqqkqr", 0, {2474714880u, 2656134570u}},
    {179, "kqqkqq", TB_SYMMETRIC, {1237357440u, 1237357440u}},
    {180, "knnnkn", 0, {795687393u, 945889180u}},
    {181, "kbnnkn", 0, {2560971346u, 2837667540u}},
    {182, "kbbnkn", 0, {2654033462u, 2837667540u}},
    {183, "kbbbkn", 0, {885603570u, 945889180u}},
    {184, "krnnkn", 0, {2540315682u, 2837667540u}},
    {185, "krbbkn", 0, {2728283251u, 2837667540u}},
    {186, "krrnkn", 0, {2611650399u, 2837667540u}},
    {187, "krrbkn", 0, {2706549480u, 2837667540u}},
    {188, "krrrkn", 0, {864592254u, 945889180u}},
    {189, "kqnnkn", 0, {2411545114u, 2837667540u}},
    {190, "kqbbkn", 0, {2588901061u, 2837667540u}},
    {191, "kqrrkn", 0, {2547484064u, 2837667540u}},
    {192, "kqqnkn", 0, {2350606433u, 2837667540u}},
    {193, "kqqbkn", 0, {2434987407u, 2837667540u}},
    {194, "kqqrkn", 0, {2415271436u, 2837667540u}},
    {195, "kqqqkn", 0, {736854363u, 945889180u}},
    {196, "knnnkb", 0, {795687393u, 980475570u}},
    {197, "kbnnkb", 0, {2560971346u, 2941426710u}},
    {198, "kbbnkb", 0, {2654033462u, 2941426710u}},
    {199, "kbbbkb", 0, {885603570u, 980475570u}},
    {200, "krnnkb", 0, {2540315682u, 2941426710u}},
    {201, "krbbkb", 0, {2728283251u, 2941426710u}},
    {202, "krrnkb", 0, {2611650399u, 2941426710u}},
    {203, "krrbkb", 0, {2706549480u, 2941426710u}},
    {204, "krrrkb", 0, {864592254u, 980475570u}},
    {205, "kqnnkb", 0, {2411545114u, 2941426710u}},
    {206, "kqbbkb", 0, {2588901061u, 2941426710u}},
    {207, "kqrrkb", 0, {2547484064u, 2941426710u}},
    {208, "kqqnkb", 0, {2350606433u, 2941426710u}},
    {209, "kqqbkb", 0, {2434987407u, 2941426710u}},
    {210, "kqqrkb", 0, {2415271436u, 2941426710u}},
    {211, "kqqqkb", 0, {736854363u, 980475570u}},
    {212, "knnnkr", 0, {795687393u, 973025640u}},
    {213, "kbnnkr", 0, {2560971346u, 2919076920u}},
    {214, "kbbnkr", 0, {2654033462u, 2919076920u}},
    {215, "kbbbkr", 0, {885603570u, 973025640u}},
    {216, "krnnkr", 0, {2540315682u, 2919076920u}},
    {217, "krbbkr", 0, {2728283251u, 2919076920u}},
    {218, "krrnkr", 0, {2611650399u, 2919076920u}},
    {219, "krrbkr", 0, {2706549480u, 2919076920u}},
    {220, "krrrkr", 0, {864592254u, 973025640u}},
    {221, "kqnnkr", 0, {2411545114u, 2919076920u}},
    {222, "kqbbkr", 0, {2588901061u, 2919076920u}},
    {223, "kqrrkr", 0, {2547484064u, 2919076920u}},
    {224, "kqqnkr", 0, {2350606433u, 2919076920u}},
    {225, "kqqbkr", 0, {2434987407u, 2919076920u}},
    {226, "kqqrkr", 0, {2415271436u, 2919076920u}},
    {227, "kqqqkr", 0, {736854363u, 973025640u}},
    {228, "knnnkq", 0, {795687393u, 922603650u}},
    {229, "kbnnkq", 0, {2560971346u, 2767810950u}},
    {230, "kbbnkq", 0, {2654033462u, 2767810950u}},
    {231, "kbbbkq", 0, {885603570u, 922603650u}},
    {232, "krnnkq", 0, {2540315682u, 2767810950u}},
    {233, "krbbkq", 0, {2728283251u, 2767810950u}},
    {234, "krrnkq", 0, {2611650399u, 2767810950u}},
    {235, "krrbkq", 0, {2706549480u, 2767810950u}},
    {236, "krrrkq", 0, {864592254u, 922603650u}},
    {237, "kqnnkq", 0, {2411545114u, 2767810950u}},
    {238, "kqbbkq", 0, {2588901061u, 2767810950u}},
    {239, "kqrrkq", 0, {2547484064u, 2767810950u}},
    {240, "kqqnkq", 0, {2350606433u, 2767810950u}},
    {241, "kqqbkq", 0, {2434987407u, 2767810950u}},
    {242, "kqqrkq", 0, {2415271436u, 2767810950u}},
    {243, "kqqqkq", 0, {736854363u, 922603650u}},
};

// The rule shared by all tables. The side to move's men form the group, the other side's
// the rest; a side to move without men in a pawn table hands the group to the other side's
// pawns (kind KIND_OTHER_PAWN).
// 1. Frame: a symmetry of the board brings the king to move to files a-d (pawn tables), or
//    to the a1-d1-d4 triangle (pawnless; on its diagonal the other king must not stand
//    above it). Black to move with pawns in the group ranks the group upside down, so that
//    the side to move plays up the board.
// 2. The king pair's number, which selects the group's block.
// 3. The group's placement inside the block: each man's rank among the squares left to its
//    kind by the other king; a pair or triple of one kind is one combination digit.
// 4. One digit per rest unit over the squares still free: pieces in name order (every pawn
//    already placed), then pawns over the 48 pawn squares.
// A plan holds what one table and side to move need of this; the index functions unroll it.

// Men by number: the king to move, the other king, the group unit by unit, then the rest
// with its pawns first (every pawn is placed before any rest piece).
struct PlanMan {
    uint8_t list;  // 0 first list, 1 second
    uint8_t slot;
};

// Like men that make one digit together, numbered first .. first + count - 1. Group units
// read the ranks of `kind`; rest units skip the men of the `placed` mask (over man numbers)
// and have `free` squares to choose from.
struct PlanUnit {
    uint8_t kind;
    uint8_t first;
    uint8_t count;
    bool pawn;
    uint8_t placed;
    uint8_t free;
};

struct IndexPlan {
    bool pawns;    // pawn numbering and the file-mirror frame
    bool flip;     // black to move with pawns in the group: the group is ranked upside down
    int numbering;
    int groupKey;  // -1 for an empty group: the block is the king pair itself
    uint8_t menCount;
    uint8_t pawnMask;  // man numbers of every pawn
    PlanMan men[6];
    uint8_t groupUnitCount;
    PlanUnit group[3];
    uint8_t restUnitCount;
    PlanUnit rest[3];
    uint32_t limit;  // the stored size: anything at or above it is not in the file
};

constexpr int KindOfType[5] = {KIND_PAWN, KIND_KNIGHT, KIND_BISHOP, KIND_ROOK, KIND_QUEEN};

constexpr int typeOfLetter(char c) { return c == 'p' ? 0 : c == 'n' ? 1 : c == 'b' ? 2 : c == 'r' ? 3 : 4; }

constexpr int bitCount(unsigned mask) {
    int n = 0;
    for (; mask; mask &= mask - 1) ++n;
    return n;
}

constexpr IndexPlan makePlan(const TableRow& row, int side) {
    int counts[2][5] = {};
    int list = 0;
    for (const char* c = row.name + 1; *c; ++c) {
        if (*c == 'k')
            list = 1;
        else
            ++counts[list][typeOfLetter(*c)];
    }
    IndexPlan plan{};
    int mover = side, other = 1 - side;
    plan.pawns = counts[0][0] + counts[1][0] > 0;
    plan.numbering = plan.pawns ? PAIRS_PAWN : PAIRS_PAWNLESS;
    plan.limit = row.size[side];
    plan.men[0] = {uint8_t(mover), uint8_t(SLOT_KING)};
    plan.men[1] = {uint8_t(other), uint8_t(SLOT_KING)};
    int men = 2;
    auto addMen = [&](int owner, int type, int count) {
        for (int i = 0; i < count; ++i) plan.men[men++] = {uint8_t(owner), uint8_t(3 * type + i)};
        if (type == 0) plan.pawnMask |= uint8_t(((1 << count) - 1) << (men - count));
    };

    // The group: a pair or triple of one kind is the most significant digit, then single men
    // by falling kind. A side to move without men hands the group to the other side's pawns.
    int moverMen = 0;
    for (int type = 0; type < 5; ++type) moverMen += counts[mover][type];
    bool otherPawnsInGroup = moverMen == 0 && plan.pawns;
    int kinds[3] = {KIND_NONE, KIND_NONE, KIND_NONE}, kindCount = 0;
    auto addGroupUnit = [&](int owner, int type, int kind, int count) {
        plan.group[plan.groupUnitCount++] = {uint8_t(kind), uint8_t(men), uint8_t(count), type == 0, 0, 0};
        for (int i = 0; i < count; ++i) kinds[kindCount++] = kind;
        addMen(owner, type, count);
    };
    if (otherPawnsInGroup) {
        addGroupUnit(other, 0, KIND_OTHER_PAWN, counts[other][0]);
    } else {
        for (int count = 3; count >= 1; --count)
            for (int type = 4; type >= 0; --type)
                if (counts[mover][type] == count) addGroupUnit(mover, type, KindOfType[type], count);
    }
    plan.groupKey = kindCount ? groupKey(kinds[0], kinds[1], kinds[2]) : -1;
    unsigned groupMask = (1u << men) - 4;
    unsigned groupPawns = plan.pawnMask;
    plan.flip = side == 1 && groupPawns != 0;

    // The rest: pieces in name order, then pawns. Every pawn on the board is placed before
    // any rest piece, so the rest pawns are numbered first to put them in that mask.
    int restPawns = men;
    if (!otherPawnsInGroup) addMen(other, 0, counts[other][0]);
    for (int type = 4; type >= 1; --type) addMen(other, type, counts[other][type]);
    plan.menCount = uint8_t(men);

    unsigned placed = 3u | groupMask | plan.pawnMask;
    int at = restPawns + (otherPawnsInGroup ? 0 : counts[other][0]);
    for (int type = 4; type >= 1; --type) {
        int count = counts[other][type];
        if (!count) continue;
        plan.rest[plan.restUnitCount++] = {uint8_t(KindOfType[type]), uint8_t(at), uint8_t(count), false,
                                           uint8_t(placed), uint8_t(64 - bitCount(placed))};
        placed |= ((1u << count) - 1) << at;
        at += count;
    }
    if (!otherPawnsInGroup && counts[other][0])
        plan.rest[plan.restUnitCount++] = {uint8_t(KIND_PAWN), uint8_t(restPawns), uint8_t(counts[other][0]),
                                           true, uint8_t(groupPawns), uint8_t(48 - bitCount(groupPawns))};
    return plan;
}

constexpr std::array<std::array<IndexPlan, 2>, TableCount> makePlans() {
    std::array<std::array<IndexPlan, 2>, TableCount> plans{};
    for (int t = 0; t < TableCount; ++t)
        for (int side = 0; side < 2; ++side) plans[t][side] = makePlan(Rows[t], side);
    return plans;
}

constexpr auto Plans = makePlans();

constexpr uint64_t choose(uint64_t n, int k) {
    return k == 1 ? n : k == 2 ? n * (n - 1) / 2 : n * (n - 1) * (n - 2) / 6;
}

// One, two or three distinct values as one digit: the value itself, or the number of the
// set among all sets of that size (hi * (hi - 1) / 2 + lo for two).
template <int Count>
inline uint64_t combine(int* v) {
    if constexpr (Count == 1) {
        return uint64_t(v[0]);
    } else if constexpr (Count == 2) {
        if (v[0] < v[1]) std::swap(v[0], v[1]);
        return uint64_t(v[0]) * (v[0] - 1) / 2 + v[1];
    } else {
        if (v[0] < v[1]) std::swap(v[0], v[1]);
        if (v[1] < v[2]) std::swap(v[1], v[2]);
        if (v[0] < v[1]) std::swap(v[0], v[1]);
        return uint64_t(v[0]) * (v[0] - 1) * (v[0] - 2) / 6 + uint64_t(v[1]) * (v[1] - 1) / 2 + v[2];
    }
}

// Calls f(0) ... f(N - 1) with compile-time arguments, so a plan unrolls into straight code.
template <int N, typename F>
inline void unroll(F&& f) {
    [&]<int... I>(std::integer_sequence<int, I...>) {
        (f(std::integral_constant<int, I>()), ...);
    }(std::make_integer_sequence<int, N>());
}

constexpr int reflectDiagonal(int square) { return ((square & 7) << 3) | (square >> 3); }

template <int Table, int Side>
uint32_t computeIndex(const SquareList& first, const SquareList& second, int, int invert) {
    constexpr const IndexPlan& plan = Plans[Table][Side];
    constexpr int men = plan.menCount;
    const SquareList* lists[2] = {&first, &second};
    int sq[6];
    int outside = 0;
    unroll<men>([&](auto i) {
        sq[i] = lists[Plans[Table][Side].men[i].list]->square[Plans[Table][Side].men[i].slot];
        outside |= sq[i];
    });
    if (outside & ~63) return TB_INDEX_NONE;

    // Frame: the king to move goes to files a-d (pawns), or to the a1-d1-d4 triangle with the
    // other king on or below the diagonal when the king to move stands on it (pawnless).
    int king = sq[0];
    if constexpr (plan.pawns) {
        int mirror = ((king & 4) ? 7 : 0) ^ (invert ? 56 : 0);
        unroll<men>([&](auto i) { sq[i] ^= mirror; });
    } else {
        int mirror = ((king & 4) ? 7 : 0) | ((king & 32) ? 56 : 0);
        unroll<men>([&](auto i) { sq[i] ^= mirror; });
        int k = sq[0], o = sq[1];
        if ((k & 7) < (k >> 3) || ((k & 7) == (k >> 3) && (o & 7) < (o >> 3)))
            unroll<men>([&](auto i) { sq[i] = reflectDiagonal(sq[i]); });
    }

    // Shared squares would let digits reach their radix and spill into the next block.
    uint64_t occupied = 0, clash = 0;
    unsigned offRanks = 0;
    unroll<men>([&](auto i) {
        clash |= occupied & (1ull << sq[i]);
        occupied |= 1ull << sq[i];
        if constexpr (Plans[Table][Side].pawnMask >> i & 1) offRanks |= unsigned(sq[i] - 8) >= 48;
    });
    if (clash | offRanks) return TB_INDEX_NONE;

    // King pair and group, in the frame where the side to move plays up the board.
    constexpr int flip = plan.flip ? 56 : 0;
    int k = sq[0] ^ flip, o = sq[1] ^ flip;
    int pair = KingPairIndex[plan.numbering][k][o];
    if (pair == NO_KING_PAIR) return TB_INDEX_NONE;
    uint64_t index = uint64_t(pair);
    if constexpr (plan.groupKey >= 0) {
        uint64_t g = 0;
        bool checking = false;
        unroll<plan.groupUnitCount>([&](auto u) {
            constexpr PlanUnit unit = Plans[Table][Side].group[u];
            const uint8_t* rank = Enumeration.rank[unit.kind] + o * 64;
            int kingKept = rank[k] != 255;
            int usable = Enumeration.count[unit.kind][o] - kingKept;
            int r[unit.count];
            unroll<unit.count>([&](auto j) {
                int s = sq[unit.first + j] ^ flip;
                checking |= rank[s] == 255;  // the man would check the king not to move
                r[j] = rank[s] - (kingKept & (k < s));
            });
            g = g * choose(uint64_t(usable), unit.count) + combine<unit.count>(r);
        });
        if (checking) return TB_INDEX_NONE;
        index = Enumeration.offset[plan.numbering][plan.groupKey][pair] + g;
    }

    // Rest: each unit is a digit over the squares that the men placed before it leave free.
    unroll<plan.restUnitCount>([&](auto u) {
        constexpr PlanUnit unit = Plans[Table][Side].rest[u];
        int d[unit.count];
        unroll<unit.count>([&](auto j) {
            int s = sq[unit.first + j];
            d[j] = unit.pawn ? s - 8 : s;
            unroll<men>([&](auto i) {
                if constexpr (unit.placed >> i & 1) d[j] -= sq[i] < s;
            });
        });
        index = index * choose(unit.free, unit.count) + combine<unit.count>(d);
    });
    // The trailing illegal positions of a trimmed table are not in its file.
    return index < plan.limit ? uint32_t(index) : TB_INDEX_NONE;
}

constexpr TableDescriptor makeDescriptor(const TableRow& row, IndexFunction white, IndexFunction black) {
    TableDescriptor d{};
    d.number = row.number;
    d.flags = row.flags;
    d.indexFunction[0] = white;
    d.indexFunction[1] = black;
    for (int i = 0; i < 7 && row.name[i]; ++i) d.name[i] = row.name[i];
    d.size[0] = row.size[0];
    d.size[1] = row.size[1];
    return d;
}

template <std::size_t... T>
constexpr std::array<TableDescriptor, TableCount> makeDescriptors(std::index_sequence<T...>) {
    return {{makeDescriptor(Rows[T], &computeIndex<int(T), 0>, &computeIndex<int(T), 1>)...}};
}

}  // namespace

constexpr std::array<TableDescriptor, TableCount> tableDescriptors =
    makeDescriptors(std::make_index_sequence<TableCount>());

uint64_t indexRange(int table, int side) {
    const IndexPlan& plan = Plans[table][side];
    uint64_t range = plan.groupKey >= 0 ? groupTotal(plan.numbering, plan.groupKey)
                                        : uint64_t(KingPairCount[plan.numbering]);
    for (int u = 0; u < plan.restUnitCount; ++u) range *= choose(plan.rest[u].free, plan.rest[u].count);
    return range;
}

}  // namespace brinz
