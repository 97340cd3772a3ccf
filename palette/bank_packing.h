// Choosing the palette banks of a 4-bit background. Each 8 x 8 cell of such a background names one
// of 16 banks of 16 colours, whose entry 0 is transparent, so all the opaque colours of a cell
// must lie in one bank of 15. Putting the cells' colour sets into as few banks as possible is bin
// packing where items that share colours take less room together than apart: the pagination
// problem of "Algorithms for the Pagination Problem, a Bin Packing with Overlapping Items"
// (Grange, Kacem, Martin).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bmp2tvx {

// A cell's opaque colours, each a number given to colours in the order they first appear in the
// picture (0 is the first colour met, 1 the next new one, ...): distinct, at most `capacity`.
using ColorSet = std::vector<std::uint32_t>;

struct BankPlan {
    // Each bank's colours, ascending (so in order of first appearance), at most `capacity` each.
    // Banks are numbered in the order of the first input set each one holds.
    std::vector<std::vector<std::uint32_t>> banks;
    // For each input set, in input order, the bank that holds it whole.
    std::vector<std::uint32_t> bankOf;
};

// Packs every set whole into one bank of at most `capacity` colours, with as few banks as it can
// find within a bounded amount of work; the same input always gives the same plan. An empty set
// goes to bank 0 (a plan of empty sets alone has one bank with no colour). A set of more than
// `capacity` colours, which fits no bank, gets a bank of its own.
BankPlan PackBanks(const std::vector<ColorSet>& sets, std::size_t capacity);

}  // namespace bmp2tvx
