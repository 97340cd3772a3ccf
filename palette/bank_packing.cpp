// Packing cells' colour sets into palette banks.
//
// 1. Reduction. Equal sets are one set, and a set that lies inside another goes wherever that
//    one goes, at no cost; what is left are the maximal distinct sets.
// 2. Best fit decreasing on sorted colour lists, with each colour's banks listed: every set,
//    largest first, into the bank it adds the fewest colours to. Its work grows with the colours
//    the sets share and is capped, so any picture, however hostile, is packed at once.
// 3. Where the colours that sets share number at most 4,096, the sets become bit sets over them,
//    each with a count of the colours no other set has, and under one budget of work:
//    - best fit decreasing again, now looking at every bank;
//    - a lower bound;
//    - when sets times banks is small enough (it is for every picture that could fit the
//      handheld's 16 banks), the search for one bank fewer, again and again until it reaches the
//      lower bound: branch and bound, briefly, which settles small instances; tabu search;
//      overload-and-remove from "Algorithms for the Pagination Problem, a Bin Packing with
//      Overlapping Items" (Grange, Kacem, Martin), held to one bank fewer; large neighbourhoods
//      repaired by the branch and bound; and the branch and bound with the rest.
// Best fit alone is far from the fewest banks when banks share colours (an outline colour in
// every cell, say): the shared colours draw a cell into a bank that other cells' own colours
// fill. Work is counted in steps, never in time, so the same input gives the same plan on every
// machine; the random choices come from a seeded generator of our own.
#include "bank_packing.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <span>
#include <utility>

namespace bmp2tvx {
namespace {

using Word = std::uint64_t;
constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// Bounds on work, counted in steps of about a machine word each: the reduction's containment
// checks, best fit's walks along colours' banks, and everything stage 3 does (some 20 to 30 ms on
// a desktop processor when it is all spent). Stage 3 searches only where sets times banks times
// words are at most a quarter of its budget.
constexpr std::uint64_t kReductionWork = 8'000'000;
// Best fit follows each colour of a set to the banks that have it, newest first. Past this many
// steps in all (a hostile picture of thousands of banks sharing colours) each set gets an equal
// share of what is left, and no fewer than kGreedySteps.
constexpr std::uint64_t kGreedyWork = 3'000'000;
constexpr std::uint64_t kGreedySteps = 64;
constexpr std::uint64_t kPackingWork = 32'000'000;
constexpr std::size_t kMaxWords = 64;  // 4,096 colours shared between sets
// The lower bound looks for its clique among this many of the largest sets, and counts the sets
// of its commonest colour that fit one bank when there are at most this many, with this budget.
constexpr std::size_t kCliqueSets = 256;
constexpr std::uint32_t kFamilySets = 128;
constexpr std::uint64_t kFamilyWork = 2'000'000;

struct Budget {
    std::uint64_t used = 0;
    std::uint64_t limit = 0;
    bool Spent() const { return used >= limit; }
    // A budget of its own for the next steps: 1 / `divisor` of what is left.
    Budget Share(std::uint64_t divisor) const { return {used, used + (limit - used) / divisor}; }
};

// SplitMix64 ("Fast Splittable Pseudorandom Number Generators", Steele, Lea, Flood): the same
// numbers on every platform, which the standard library's distributions do not promise.
struct Random {
    std::uint64_t state = 0x5EED;
    std::uint64_t Next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
};

// ---- 1. Reduction ----

struct Reduced {
    // Every input set's colours as dense numbers, ascending, one set after another; none for an
    // empty set or one larger than the capacity.
    std::vector<std::uint32_t> flat;
    std::vector<std::uint32_t> begin;  // where input set i starts in `flat`; one more at the end
    std::size_t colors = 0;
    // The maximal distinct sets, largest first (ties in input order), each as the first input set
    // equal to it.
    std::vector<std::uint32_t> kept;
    // For each input set, the kept set that holds it whole; kNone for an empty set or one larger
    // than the capacity.
    std::vector<std::uint32_t> keptOf;

    std::span<const std::uint32_t> Input(std::size_t i) const {
        return {flat.data() + begin[i], flat.data() + begin[i + 1]};
    }
    std::span<const std::uint32_t> Set(std::size_t k) const { return Input(kept[k]); }
};

// Dense colour numbers, in the order of the numbers given: a table for numbers no larger than
// the colours met (as numbers in order of first appearance are), a sorted list otherwise.
void NumberColors(Reduced& reduced) {
    std::vector<std::uint32_t>& flat = reduced.flat;
    const std::uint32_t top = flat.empty() ? 0 : *std::max_element(flat.begin(), flat.end());
    if (top <= 4 * flat.size() + 1024) {
        std::vector<std::uint32_t> number(std::size_t{top} + 1, kNone);
        for (const std::uint32_t c : flat) {
            number[c] = 0;
        }
        for (std::uint32_t& n : number) {
            n = n == 0 ? static_cast<std::uint32_t>(reduced.colors++) : n;
        }
        for (std::uint32_t& c : flat) {
            c = number[c];
        }
        return;
    }
    std::vector<std::uint32_t> colors = flat;
    std::sort(colors.begin(), colors.end());
    colors.erase(std::unique(colors.begin(), colors.end()), colors.end());
    reduced.colors = colors.size();
    for (std::uint32_t& c : flat) {
        c = static_cast<std::uint32_t>(std::lower_bound(colors.begin(), colors.end(), c) -
                                       colors.begin());
    }
}

// Copies every input set's colours into `reduced`, ascending and each once, and none of a set
// larger than the capacity. Returns the sets to pack: all but those and the empty ones, in input
// order.
std::vector<std::uint32_t> Gather(const std::vector<ColorSet>& input, std::size_t capacity,
                                  Reduced& reduced) {
    std::vector<std::uint32_t>& flat = reduced.flat;
    reduced.begin.assign(input.size() + 1, 0);
    std::vector<std::uint32_t> order;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const std::size_t from = flat.size();
        flat.insert(flat.end(), input[i].begin(), input[i].end());
        std::sort(flat.begin() + from, flat.end());
        flat.erase(std::unique(flat.begin() + from, flat.end()), flat.end());
        if (flat.size() - from > capacity) {
            flat.resize(from);
        } else if (flat.size() > from) {
            order.push_back(static_cast<std::uint32_t>(i));
        }
        reduced.begin[i + 1] = static_cast<std::uint32_t>(flat.size());
    }
    return order;
}

// Sorts `order` largest first, equal sets side by side, each run of equal sets in input order,
// and gives each set the first of its run in `firstOf` (by input number; kNone for the sets
// left out): equal sets take the first one's place. Returns those first sets, largest first and
// sets of one size in input order.
std::vector<std::uint32_t> MergeEqual(const Reduced& reduced, std::vector<std::uint32_t>& order,
                                      std::vector<std::uint32_t>& firstOf) {
    const auto less = [&](std::uint32_t a, std::uint32_t b) {
        const std::span<const std::uint32_t> x = reduced.Input(a), y = reduced.Input(b);
        if (x.size() != y.size()) {
            return x.size() > y.size();
        }
        return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end());
    };
    std::stable_sort(order.begin(), order.end(), less);
    firstOf.assign(reduced.begin.size() - 1, kNone);
    std::vector<std::uint32_t> firsts;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::uint32_t i = order[k];
        const bool same = k > 0 && !less(order[k - 1], i);
        firstOf[i] = same ? firstOf[order[k - 1]] : i;
        if (!same) {
            firsts.push_back(i);
        }
    }
    std::stable_sort(firsts.begin(), firsts.end(), [&](std::uint32_t a, std::uint32_t b) {
        return reduced.Input(a).size() > reduced.Input(b).size();
    });
    return firsts;
}

// For each colour, the sets of a list that have it, by their places in the list, ascending:
// colour c's are holders[start[c]] up to holders[start[c + 1]].
struct ColorIndex {
    std::vector<std::uint32_t> start, holders;
};

ColorIndex IndexColors(const Reduced& reduced, const std::vector<std::uint32_t>& firsts) {
    ColorIndex index;
    std::vector<std::uint32_t>& start = index.start;
    start.assign(reduced.colors + 1, 0);
    for (const std::uint32_t i : firsts) {
        for (const std::uint32_t c : reduced.Input(i)) {
            ++start[c + 1];
        }
    }
    for (std::size_t c = 0; c < reduced.colors; ++c) {
        start[c + 1] += start[c];
    }
    index.holders.resize(start.back());
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (std::uint32_t p = 0; p < firsts.size(); ++p) {
        for (const std::uint32_t c : reduced.Input(firsts[p])) {
            index.holders[fill[c]++] = p;
        }
    }
    return index;
}

// The kept set that holds the set at place `p` of the first sets and is larger, or kNone. Such
// a set comes earlier and holds the set's least used colour, so only the earlier sets holding
// that colour are compared; `keptAt` gives, by place, the kept set each earlier set became.
std::uint32_t Container(const Reduced& reduced, const ColorIndex& index,
                        const std::vector<std::uint32_t>& keptAt, std::uint32_t p,
                        std::span<const std::uint32_t> set, std::uint64_t& work) {
    const std::vector<std::uint32_t>& start = index.start;
    std::uint32_t rarest = set[0];
    for (const std::uint32_t c : set) {
        rarest = start[c + 1] - start[c] < start[rarest + 1] - start[rarest] ? c : rarest;
    }
    for (std::uint32_t h = start[rarest]; index.holders[h] < p; ++h) {
        const std::uint32_t other = keptAt[index.holders[h]];
        ++work;
        if (other == kNone) {
            continue;
        }
        const std::span<const std::uint32_t> larger = reduced.Set(other);
        work += larger.size();
        if (larger.size() > set.size() &&
            std::includes(larger.begin(), larger.end(), set.begin(), set.end())) {
            return other;
        }
    }
    return kNone;
}

// Keeps each of the first sets that lies inside no larger one, in order; a full set is kept
// without a look, and so is every set once the reduction's work is spent. Returns, for each first
// set (by its input number), the kept set that holds it.
std::vector<std::uint32_t> KeepMaximal(Reduced& reduced, const std::vector<std::uint32_t>& firsts,
                                       std::size_t capacity) {
    const ColorIndex index = IndexColors(reduced, firsts);
    std::vector<std::uint32_t> keptAt(firsts.size(), kNone);  // by place in `firsts`
    std::vector<std::uint32_t> keptOfFirst(reduced.begin.size() - 1, kNone);
    std::uint64_t work = 0;
    for (std::uint32_t p = 0; p < firsts.size(); ++p) {
        const std::span<const std::uint32_t> set = reduced.Input(firsts[p]);
        std::uint32_t home = set.size() < capacity && work < kReductionWork
                                 ? Container(reduced, index, keptAt, p, set, work)
                                 : kNone;
        if (home == kNone) {
            home = keptAt[p] = static_cast<std::uint32_t>(reduced.kept.size());
            reduced.kept.push_back(firsts[p]);
        }
        keptOfFirst[firsts[p]] = home;
    }
    return keptOfFirst;
}

// The input as its maximal distinct sets, and the kept set that holds each input set.
Reduced Reduce(const std::vector<ColorSet>& input, std::size_t capacity) {
    Reduced reduced;
    std::vector<std::uint32_t> order = Gather(input, capacity, reduced);
    NumberColors(reduced);
    std::vector<std::uint32_t> firstOf;
    const std::vector<std::uint32_t> firsts = MergeEqual(reduced, order, firstOf);
    const std::vector<std::uint32_t> keptOfFirst = KeepMaximal(reduced, firsts, capacity);
    reduced.keptOf.assign(input.size(), kNone);
    for (const std::uint32_t i : order) {
        reduced.keptOf[i] = keptOfFirst[firstOf[i]];
    }
    return reduced;
}

// ---- 2. Best fit decreasing ----

// Best fit's banks: each bank's colours in a row of `width`; each colour's banks as lists
// threaded through one array, newest first; and the banks listed by the colours they have free,
// up to `width`, with each bank's place in its list.
struct GreedyBanks {
    std::size_t capacity = 0;
    std::size_t width = 0;
    std::vector<std::uint32_t> firstHolder{}, holderBank{}, nextHolder{};
    std::vector<std::uint32_t> colors{}, load{};
    std::vector<std::vector<std::uint32_t>> byRoom{};
    std::vector<std::uint32_t> place{};
    // For each bank, the colours of the set being placed that it has; the banks that have any.
    std::vector<std::uint32_t> shared{}, touched{};

    // The list of the banks with as much room as bank `b`; File and Unfile put the bank in it or
    // take it out.
    std::vector<std::uint32_t>& RoomList(std::uint32_t b) {
        return byRoom[std::min(capacity - load[b], width)];
    }

    void File(std::uint32_t b) {
        std::vector<std::uint32_t>& list = RoomList(b);
        place[b] = static_cast<std::uint32_t>(list.size());
        list.push_back(b);
    }

    void Unfile(std::uint32_t b) {
        std::vector<std::uint32_t>& list = RoomList(b);
        list[place[b]] = list.back();
        place[list.back()] = place[b];
        list.pop_back();
    }

    // Follows the set's colours to the banks that have them, a step a bank, until `work`
    // reaches `limit`, counting in `shared` what each bank met has. Returns `work` with the steps
    // taken.
    std::uint64_t CountShared(std::span<const std::uint32_t> set, std::uint64_t work,
                              std::uint64_t limit) {
        touched.clear();
        for (const std::uint32_t c : set) {
            for (std::uint32_t h = firstHolder[c]; h != kNone && work < limit;
                 h = nextHolder[h], ++work) {
                if (shared[holderBank[h]]++ == 0) {
                    touched.push_back(holderBank[h]);
                }
            }
        }
        return work;
    }

    // The bank the set adds the fewest colours to, the lowest numbered of those; failing that,
    // one with no colour of the set and the least room that is enough; failing that, kNone.
    // Clears `shared` again.
    std::uint32_t Choose(std::span<const std::uint32_t> set) {
        std::uint32_t best = kNone;
        std::size_t bestAdded = set.size();
        for (const std::uint32_t b : touched) {
            const std::size_t more = set.size() - shared[b];
            if (load[b] + more <= capacity &&
                (more < bestAdded || (more == bestAdded && b < best))) {
                best = b;
                bestAdded = more;
            }
            shared[b] = 0;
        }
        for (std::size_t room = set.size(); best == kNone && room <= width; ++room) {
            if (!byRoom[room].empty()) {
                best = byRoom[room].back();
            }
        }
        return best;
    }

    // A new bank, with no colour.
    std::uint32_t Open() {
        const std::uint32_t b = static_cast<std::uint32_t>(load.size());
        load.push_back(0);
        colors.resize(colors.size() + width);
        shared.push_back(0);
        place.push_back(0);
        File(b);
        return b;
    }

    // Adds the set's colours that bank `b` lacks, and lists the bank under each.
    void Add(std::uint32_t b, std::span<const std::uint32_t> set) {
        Unfile(b);
        std::uint32_t* row = colors.data() + b * width;
        const std::uint32_t had = load[b];
        for (const std::uint32_t c : set) {
            if (std::find(row, row + had, c) == row + had) {
                row[load[b]++] = c;
                holderBank.push_back(b);
                nextHolder.push_back(firstHolder[c]);
                firstHolder[c] = static_cast<std::uint32_t>(holderBank.size() - 1);
            }
        }
        File(b);
    }
};

// The bank of each kept set; banks numbered from 0 as they are opened.
std::vector<std::uint32_t> PackGreedily(const Reduced& reduced, std::size_t capacity) {
    const std::size_t count = reduced.kept.size();
    GreedyBanks banks{.capacity = capacity, .width = std::min(capacity, reduced.colors)};
    banks.firstHolder.assign(reduced.colors, kNone);
    banks.byRoom.resize(banks.width + 1);
    std::vector<std::uint32_t> bankOf(count);
    std::uint64_t work = 0;
    for (std::size_t s = 0; s < count; ++s) {
        const std::span<const std::uint32_t> set = reduced.Set(s);
        const std::uint64_t limit =
            work +
            std::max(kGreedySteps, (kGreedyWork - std::min(work, kGreedyWork)) / (count - s));
        work = banks.CountShared(set, work, limit);
        const std::uint32_t chosen = banks.Choose(set);
        bankOf[s] = chosen == kNone ? banks.Open() : chosen;
        banks.Add(bankOf[s], set);
    }
    return bankOf;
}

// ---- 3. Bit sets: best fit again, a lower bound, and the search for fewer banks ----

// The bits set in a word, counted in parallel within the word ("Hacker's Delight", Warren, 5-1):
// std::popcount is a slow library call on processors the compiler may not assume have an
// instruction for it, which includes every x86-64 build that runs everywhere.
std::uint32_t Bits(Word x) {
    x -= (x >> 1) & 0x5555555555555555u;
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<std::uint32_t>((x * 0x0101010101010101u) >> 56);
}

std::uint32_t Count(const Word* a, std::size_t words) {
    std::uint32_t n = 0;
    for (std::size_t w = 0; w < words; ++w) {
        n += Bits(a[w]);
    }
    return n;
}

std::uint32_t UnionCount(const Word* a, const Word* b, std::size_t words) {
    std::uint32_t n = 0;
    for (std::size_t w = 0; w < words; ++w) {
        n += Bits(a[w] | b[w]);
    }
    return n;
}

// Adds the colours of `from` to `into`.
void OrInto(Word* into, const Word* from, std::size_t words) {
    for (std::size_t w = 0; w < words; ++w) {
        into[w] |= from[w];
    }
}

// The numbers 0 to n - 1 in the order `less` gives, ties in numeric order.
template <typename Less>
std::vector<std::uint32_t> Ordered(std::size_t n, Less less) {
    std::vector<std::uint32_t> order(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), less);
    return order;
}

// Calls f(c) for each colour c of a bit set, ascending.
template <typename F>
void ForEachColor(const Word* set, std::size_t words, F f) {
    for (std::size_t w = 0; w < words; ++w) {
        for (Word bits = set[w]; bits != 0; bits &= bits - 1) {
            f(w * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
        }
    }
}

// The kept sets over the colours that two or more of them share; a colour of one set alone only
// takes room, wherever that set goes, so it is counted and not named.
struct Instance {
    std::size_t count = 0;
    std::size_t words = 0;
    std::uint32_t capacity = 0;
    std::uint32_t units = 0;  // shared colours plus every set's own colours
    std::vector<Word> bits;
    std::vector<std::uint32_t> own;   // colours no other set has
    std::vector<std::uint32_t> load;  // all its colours
    const Word* Set(std::size_t s) const { return bits.data() + s * words; }
};

Instance MakeInstance(const Reduced& reduced, std::size_t capacity, std::size_t words,
                      const std::vector<std::uint32_t>& sharedNumber) {
    Instance in;
    in.count = reduced.kept.size();
    in.words = words;
    in.capacity = static_cast<std::uint32_t>(capacity);
    in.bits.assign(in.count * words, 0);
    in.own.assign(in.count, 0);
    in.load.assign(in.count, 0);
    for (std::size_t s = 0; s < in.count; ++s) {
        for (const std::uint32_t c : reduced.Set(s)) {
            if (sharedNumber[c] == kNone) {
                ++in.own[s];
                ++in.units;
            } else {
                in.bits[s * words + sharedNumber[c] / 64] |= Word{1} << (sharedNumber[c] % 64);
            }
        }
        in.load[s] = static_cast<std::uint32_t>(reduced.Set(s).size());
    }
    for (const std::uint32_t n : sharedNumber) {
        in.units += n != kNone ? 1 : 0;
    }
    return in;
}

// Banks over an instance's bit sets.
struct Packing {
    std::size_t words = 0;
    std::vector<Word> bits;
    std::vector<std::uint32_t> own;
    std::vector<std::uint32_t> load;
    std::vector<std::vector<std::uint32_t>> members;
    std::vector<std::uint32_t> bankOf;

    std::size_t Banks() const { return members.size(); }
    Word* Bank(std::size_t b) { return bits.data() + b * words; }
    const Word* Bank(std::size_t b) const { return bits.data() + b * words; }
};

Packing EmptyPacking(const Instance& in, std::size_t banks) {
    Packing p;
    p.words = in.words;
    p.bits.assign(banks * in.words, 0);
    p.own.assign(banks, 0);
    p.load.assign(banks, 0);
    p.members.resize(banks);
    p.bankOf.assign(in.count, kNone);
    return p;
}

std::uint32_t LoadWith(const Instance& in, const Packing& p, std::size_t b, std::size_t s) {
    return UnionCount(p.Bank(b), in.Set(s), in.words) + p.own[b] + in.own[s];
}

void Place(const Instance& in, Packing& p, std::uint32_t s, std::uint32_t b) {
    OrInto(p.Bank(b), in.Set(s), in.words);
    p.own[b] += in.own[s];
    p.load[b] = Count(p.Bank(b), in.words) + p.own[b];
    p.members[b].push_back(s);
    p.bankOf[s] = b;
}

void Take(const Instance& in, Packing& p, std::uint32_t s) {
    const std::uint32_t b = p.bankOf[s];
    std::vector<std::uint32_t>& members = p.members[b];
    members.erase(std::find(members.begin(), members.end(), s));
    Word* bank = p.Bank(b);
    std::fill(bank, bank + in.words, 0);
    for (const std::uint32_t m : members) {
        OrInto(bank, in.Set(m), in.words);
    }
    p.own[b] -= in.own[s];
    p.load[b] = Count(bank, in.words) + p.own[b];
    p.bankOf[s] = kNone;
}

// The banks an assignment of sets to banks uses: one more than the highest numbered.
std::uint32_t BankCount(const std::vector<std::uint32_t>& bankOf) {
    std::uint32_t banks = 0;
    for (const std::uint32_t b : bankOf) {
        banks = std::max(banks, b + 1);
    }
    return banks;
}

Packing FromAssignment(const Instance& in, const std::vector<std::uint32_t>& bankOf) {
    Packing p = EmptyPacking(in, BankCount(bankOf));
    for (std::uint32_t s = 0; s < in.count; ++s) {
        Place(in, p, s, bankOf[s]);
    }
    return p;
}

// The most sets of a family that fit one bank together, by branch and bound over the family
// smallest first; the family's size when the budget runs out first.
struct MostInOneBank {
    const Instance& in;
    const std::vector<std::uint32_t>& family;
    Budget& budget;
    std::uint32_t most = 0;

    void Grow(std::size_t next, std::uint32_t count, const std::vector<Word>& bits,
              std::uint32_t own) {
        most = std::max(most, count);
        std::uint32_t fitting = 0;
        for (std::size_t k = next; k < family.size(); ++k) {
            fitting +=
                UnionCount(bits.data(), in.Set(family[k]), in.words) + own + in.own[family[k]] <=
                in.capacity;
        }
        budget.used += (family.size() - next) * (in.words + 2) + 16;
        if (count + fitting <= most || budget.Spent()) {
            return;
        }
        std::vector<Word> grown(in.words);
        for (std::size_t k = next; k < family.size() && !budget.Spent(); ++k) {
            const Word* set = in.Set(family[k]);
            for (std::size_t w = 0; w < in.words; ++w) {
                grown[w] = bits[w] | set[w];
            }
            const std::uint32_t ownAfter = own + in.own[family[k]];
            if (Count(grown.data(), in.words) + ownAfter <= in.capacity) {
                Grow(k + 1, count + 1, grown, ownAfter);
            }
        }
    }

    std::uint32_t Run() {
        Grow(0, 0, std::vector<Word>(in.words, 0), 0);
        return budget.Spent() ? static_cast<std::uint32_t>(family.size()) : most;
    }
};

// How many sets have each shared colour.
std::vector<std::uint32_t> CountHolders(const Instance& in) {
    std::vector<std::uint32_t> holders(in.words * 64, 0);
    for (std::uint32_t s = 0; s < in.count; ++s) {
        ForEachColor(in.Set(s), in.words, [&](std::size_t c) { ++holders[c]; });
    }
    return holders;
}

// When at most m of the n sets that have a colour fit one bank, they need n / m banks. Tried
// for the colour the most sets have (an outline colour, say) when they are few; 0 otherwise.
std::uint32_t FamilyBound(const Instance& in, Budget& budget) {
    const std::vector<std::uint32_t> holders = CountHolders(in);
    const std::size_t commonest = static_cast<std::size_t>(
        std::max_element(holders.begin(), holders.end()) - holders.begin());
    if (holders[commonest] <= 1 || holders[commonest] > kFamilySets) {
        return 0;
    }
    std::vector<std::uint32_t> family;
    for (std::uint32_t s = 0; s < in.count; ++s) {
        if ((in.Set(s)[commonest / 64] >> (commonest % 64) & 1) != 0) {
            family.push_back(s);
        }
    }
    std::stable_sort(family.begin(), family.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return in.load[a] < in.load[b]; });
    Budget share{budget.used, budget.used + kFamilyWork};
    const std::uint32_t most = MostInOneBank{in, family, share}.Run();
    budget.used = share.used;
    return (holders[commonest] + most - 1) / most;
}

// The clash graph of the largest sets that hold more than half a bank (two sets can clash only
// if one does), at most kCliqueSets of them, largest first: a row of bits a set, with a bit for
// each set too large to share a bank with it, and each set's count of those.
struct Clashes {
    std::vector<std::uint32_t> sets;
    std::size_t rowWords = 0;
    std::vector<Word> rows;
    std::vector<std::uint32_t> degree;
};

Clashes FindClashes(const Instance& in, Budget& budget) {
    Clashes g;
    for (std::uint32_t s = 0; s < in.count; ++s) {
        if (2 * in.load[s] > in.capacity) {
            g.sets.push_back(s);
        }
    }
    std::stable_sort(g.sets.begin(), g.sets.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return in.load[a] > in.load[b]; });
    g.sets.resize(std::min(g.sets.size(), kCliqueSets));
    const std::size_t n = g.sets.size();
    g.rowWords = (n + 63) / 64;
    g.rows.assign(n * g.rowWords, 0);
    g.degree.assign(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            const std::uint32_t a = g.sets[i], b = g.sets[j];
            if (UnionCount(in.Set(a), in.Set(b), in.words) + in.own[a] + in.own[b] > in.capacity) {
                g.rows[i * g.rowWords + j / 64] |= Word{1} << (j % 64);
                g.rows[j * g.rowWords + i / 64] |= Word{1} << (i % 64);
                ++g.degree[i];
                ++g.degree[j];
            }
        }
    }
    budget.used += n * n * in.words / 2;
    return g;
}

// A clique grown from `start`: each set in `order` joins when it clashes with all that have.
std::vector<std::uint32_t> GrowClique(const Clashes& g, std::uint32_t start,
                                      const std::vector<std::uint32_t>& order) {
    std::vector<Word> members(g.rowWords, 0);
    std::vector<std::uint32_t> clique{start};
    members[start / 64] |= Word{1} << (start % 64);
    for (const std::uint32_t v : order) {
        bool all = v != start;
        for (std::size_t w = 0; all && w < g.rowWords; ++w) {
            all = (members[w] & ~g.rows[v * g.rowWords + w]) == 0;
        }
        if (all) {
            clique.push_back(v);
            members[v / 64] |= Word{1} << (v % 64);
        }
    }
    return clique;
}

// The banks a clique of sets needs: one each, and for the units outside the clique that do not
// fit the room its banks have left, further banks.
std::uint32_t CliqueNeed(const Instance& in, const Clashes& g,
                         const std::vector<std::uint32_t>& clique) {
    const std::uint32_t cap = in.capacity;
    std::vector<Word> unionBits(in.words, 0);
    std::uint32_t inside = 0, spare = 0;
    for (const std::uint32_t v : clique) {
        OrInto(unionBits.data(), in.Set(g.sets[v]), in.words);
        inside += in.own[g.sets[v]];
        spare += cap - in.load[g.sets[v]];
    }
    inside += Count(unionBits.data(), in.words);
    const std::uint32_t outside = in.units - inside;
    const std::uint32_t more = outside > spare ? (outside - spare + cap - 1) / cap : 0;
    return static_cast<std::uint32_t>(clique.size()) + more;
}

// The most banks a clique needs, over the cliques grown from each set, most clashes first.
std::uint32_t CliqueBound(const Instance& in, Budget& budget) {
    const Clashes g = FindClashes(in, budget);
    const std::size_t n = g.sets.size();
    const std::vector<std::uint32_t> byDegree =
        Ordered(n, [&](std::uint32_t a, std::uint32_t b) { return g.degree[a] > g.degree[b]; });
    std::uint32_t best = 0;
    for (const std::uint32_t start : byDegree) {
        const std::vector<std::uint32_t> clique = GrowClique(g, start, byDegree);
        budget.used += n * g.rowWords;
        best = std::max(best, CliqueNeed(in, g, clique));
    }
    return best;
}

// Lower bound. All units (shared colours and sets' own colours) need a place, so there are at
// least units / capacity banks. Sets Q pairwise too large to share a bank need |Q| banks, which
// hold their own units and have capacity - load(q) free each; the units outside them that do not
// fit there need further banks. And the sets of one colour need at least as many banks as it
// takes to hold them when a bank holds only so many of them.
std::uint32_t LowerBound(const Instance& in, Budget& budget) {
    const std::uint32_t units = (in.units + in.capacity - 1) / in.capacity;
    const std::uint32_t family = FamilyBound(in, budget);
    return std::max({units, family, CliqueBound(in, budget)});
}

// The least of the keys offered, ties broken at random: a key no greater than the least so far
// draws a number, and of equal keys the one with the lower draw wins.
template <typename Key>
struct Least {
    Key key = std::numeric_limits<Key>::max();
    std::uint64_t draw = 0;

    // True when `k` becomes the least.
    bool Offer(Key k, Random& random) {
        if (k > key) {
            return false;
        }
        const std::uint64_t d = random.Next();
        if (k < key || d < draw) {
            key = k;
            draw = d;
            return true;
        }
        return false;
    }
};

// Where overload-and-remove puts set `s`: the bank it fits adding the fewest colours or, when it
// fits none, the bank it adds the fewest colours to; never bank `left` unless it is the only one.
std::uint32_t RepairBank(const Instance& in, const Packing& p, std::uint32_t s, std::uint32_t left,
                         Random& random) {
    std::uint32_t best = kNone;
    Least<std::uint64_t> least;
    for (std::uint32_t b = 0; b < p.Banks(); ++b) {
        if (b == left && p.Banks() > 1) {
            continue;
        }
        const std::uint32_t load = LoadWith(in, p, b, s);
        if (least.Offer((std::uint64_t{load > in.capacity} << 32) | (load - p.load[b]), random)) {
            best = b;
        }
    }
    return best;
}

// The set of bank `b`, other than `s`, that shares its colours least with the bank's other sets:
// the largest relative size, where each colour counts 1 / the number of the bank's sets that have
// it, over the set's colours; ties at random. `holders` is zero for every colour, before and
// after.
std::uint32_t Victim(const Instance& in, const Packing& p, std::uint32_t b, std::uint32_t s,
                     std::vector<std::uint32_t>& holders, Random& random) {
    constexpr std::uint64_t kScale = 720720;  // 1 / n exact for n up to 16
    const std::vector<std::uint32_t>& members = p.members[b];
    for (const std::uint32_t m : members) {
        ForEachColor(in.Set(m), in.words, [&](std::size_t c) { ++holders[c]; });
    }
    std::uint32_t victim = kNone;
    std::uint64_t victimSize = 0, victimColors = 1, victimTie = 0;
    for (const std::uint32_t m : members) {
        if (m == s) {
            continue;
        }
        std::uint64_t size = in.own[m] * kScale;
        ForEachColor(in.Set(m), in.words, [&](std::size_t c) { size += kScale / holders[c]; });
        const std::uint64_t tie = random.Next();
        const std::uint64_t lhs = size * victimColors, rhs = victimSize * in.load[m];
        if (victim == kNone || lhs > rhs || (lhs == rhs && tie > victimTie)) {
            victim = m;
            victimSize = size;
            victimColors = in.load[m];
            victimTie = tie;
        }
    }
    for (const std::uint32_t m : members) {
        ForEachColor(in.Set(m), in.words, [&](std::size_t c) { holders[c] = 0; });
    }
    return victim;
}

// Overload-and-remove into the packing's banks and no others: the queued sets go in one at a
// time, each where RepairBank puts it, which it may overload. An overloaded bank then gives up,
// one at a time, its Victim, until it fits again; those sets go back at the end of the queue,
// and not straight back into the bank they left. True when the queue empties; false when the
// budget or the step limit runs out first.
bool Repair(const Instance& in, Packing& p, std::vector<std::uint32_t> queue, Random& random,
            Budget& budget, std::uint64_t stepLimit) {
    std::vector<std::uint32_t> left(in.count, kNone);
    std::vector<std::uint32_t> holders(in.words * 64, 0);
    for (std::size_t head = 0; head < queue.size(); ++head) {
        if (budget.Spent() || stepLimit-- == 0) {
            return false;
        }
        const std::uint32_t s = queue[head];
        const std::uint32_t best = RepairBank(in, p, s, left[s], random);
        budget.used += p.Banks() * (in.words + 4);
        Place(in, p, s, best);
        while (p.load[best] > in.capacity) {
            if (budget.Spent()) {
                return false;
            }
            const std::uint32_t victim = Victim(in, p, best, s, holders, random);
            budget.used += 2 * p.members[best].size() * (in.words + in.capacity);
            Take(in, p, victim);
            left[victim] = best;
            queue.push_back(victim);
        }
    }
    return true;
}

// A move of a set from one bank to another, and the change in cost it makes.
struct Move {
    std::uint32_t set = kNone, from = kNone, to = kNone;
    std::int64_t change = 0;
};

// Tabu search over packings into a fixed number of banks that may overflow, after "Using Tabu
// Search Techniques for Graph Coloring" (Hertz, de Werra) with overflow in place of clashes: the
// cost is the colours over capacity summed over the banks, and each step moves a set out of an
// overflowing bank to the bank that lowers the cost most, or raises it least. A set may not go
// back to the bank it last left for a while (0 to 9 steps, plus 6 for every 10 sets in overflowing
// banks) unless that gives the lowest cost yet. Run is true when the cost reaches 0: `p` is then
// a packing.
struct TabuSearch {
    const Instance& in;
    Packing& p;
    Random& random;
    Budget& budget;
    std::size_t colors = 0;                  // the colours a bank's row of `holders` covers
    std::vector<std::uint32_t> holders{};    // for each bank and colour, its sets that have it
    std::vector<std::uint32_t> left{};       // the bank each set last left
    std::vector<std::uint64_t> tabuUntil{};  // and until which step it may not go back
    std::int64_t cost = 0, lowest = 0;
    std::uint64_t step = 0;

    std::int64_t Over(std::uint32_t load) const {
        return load > in.capacity ? load - in.capacity : 0;
    }

    // The holders and the cost of the packing to start from.
    void Start() {
        colors = in.words * 64;
        holders.assign(p.Banks() * colors, 0);
        for (std::uint32_t s = 0; s < in.count; ++s) {
            const std::size_t row = p.bankOf[s] * colors;
            ForEachColor(in.Set(s), in.words, [&](std::size_t c) { ++holders[row + c]; });
        }
        for (std::size_t b = 0; b < p.Banks(); ++b) {
            cost += Over(p.load[b]);
        }
        lowest = cost;
        left.assign(in.count, kNone);
        tabuUntil.assign(in.count, 0);
    }

    // The colours bank `b` would lose with set `s`: its own, and those no other set there has.
    std::uint32_t Freed(std::uint32_t b, std::uint32_t s) const {
        std::uint32_t freed = in.own[s];
        ForEachColor(in.Set(s), in.words,
                     [&](std::size_t c) { freed += holders[b * colors + c] == 1; });
        return freed;
    }

    // The colours bank `t` would gain with set `s`.
    std::uint32_t Added(std::uint32_t t, std::uint32_t s) const {
        std::uint32_t added = in.own[s];
        for (std::size_t w = 0; w < in.words; ++w) {
            added += Bits(in.Set(s)[w] & ~p.Bank(t)[w]);
        }
        return added;
    }

    // The best move allowed out of an overflowing bank, ties at random; none when every move is
    // tabu.
    Move BestMove() {
        const std::uint32_t banks = static_cast<std::uint32_t>(p.Banks());
        Move best;
        Least<std::int64_t> least;
        for (std::uint32_t b = 0; b < banks; ++b) {
            if (p.load[b] <= in.capacity) {
                continue;
            }
            budget.used += p.members[b].size() * banks * (in.words + 4);
            for (const std::uint32_t s : p.members[b]) {
                const std::int64_t leaving = Over(p.load[b] - Freed(b, s)) - Over(p.load[b]);
                for (std::uint32_t t = 0; t < banks; ++t) {
                    if (t == b) {
                        continue;
                    }
                    const std::int64_t delta =
                        leaving + Over(p.load[t] + Added(t, s)) - Over(p.load[t]);
                    if (t == left[s] && tabuUntil[s] > step && cost + delta >= lowest) {
                        continue;
                    }
                    if (least.Offer(delta, random)) {
                        best = Move{s, b, t, delta};
                    }
                }
            }
        }
        return best;
    }

    // The sets in overflowing banks.
    std::uint64_t Crowded() const {
        std::uint64_t crowded = 0;
        for (std::size_t b = 0; b < p.Banks(); ++b) {
            crowded += p.load[b] > in.capacity ? p.members[b].size() : 0;
        }
        return crowded;
    }

    // Makes the move: the holders, the banks and the cost follow, and the set notes the bank it
    // left.
    void Apply(const Move& move) {
        const std::uint32_t s = move.set, from = move.from;
        ForEachColor(in.Set(s), in.words, [&](std::size_t c) {
            if (--holders[from * colors + c] == 0) {
                p.Bank(from)[c / 64] &= ~(Word{1} << (c % 64));
            }
            ++holders[move.to * colors + c];
        });
        std::vector<std::uint32_t>& members = p.members[from];
        members.erase(std::find(members.begin(), members.end(), s));
        p.own[from] -= in.own[s];
        p.load[from] = Count(p.Bank(from), in.words) + p.own[from];
        Place(in, p, s, move.to);
        left[s] = from;
        cost += move.change;
        lowest = std::min(lowest, cost);
    }

    bool Run() {
        Start();
        for (step = 1; cost > 0; ++step) {
            if (budget.Spent()) {
                return false;
            }
            const Move move = BestMove();
            if (move.set == kNone) {
                continue;  // every move is tabu for now
            }
            const std::uint64_t crowded = Crowded();
            Apply(move);
            tabuUntil[move.set] = step + random.Next() % 10 + crowded * 6 / 10;
        }
        return true;
    }
};

// Branch and bound: packs the sets into at most `banks` banks, the first of them holding what
// some banks of a packing hold already; false when there is no such packing or the budget ran out
// first.
struct Search {
    const Instance& in;
    std::uint32_t banks;
    Budget& budget;
    std::vector<Word> bits{};  // banks * words
    std::vector<std::uint32_t> own{}, load{};
    std::uint32_t open = 0;
    // What Examine gathers: the colours of the sets still to place, those of the open banks, and
    // those of the sets no open bank takes.
    std::vector<Word> needed{}, placed{}, homeless{};
    std::uint32_t neededOwn = 0, homelessOwn = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranked{};  // colours added, bank

    Word* Bank(std::size_t b) { return bits.data() + b * in.words; }

    struct Node {
        std::vector<std::uint32_t> rest;  // the sets still to place, after this one
        std::uint32_t set = kNone;
        std::vector<std::uint32_t> options;  // banks to try, best first; `open` for a new one
        std::size_t next = 0;
        std::vector<Word> saved;  // the bank before this set went in
        std::uint32_t savedOwn = 0, savedLoad = 0, bank = kNone;
    };

    enum class Outcome { Done, Dead, Branch };

    // Drops the sets that lie in a bank at no cost, and picks the set with the fewest banks to
    // go to; Dead when a set has none or the colours left cannot fit the room left.
    Outcome Examine(const std::vector<std::uint32_t>& sets, Node& node) {
        budget.used += sets.size() * (open + 1) * (2 * in.words + 4) + 32;
        if (!Sift(sets, node)) {
            return Outcome::Dead;
        }
        if (node.rest.empty()) {
            return Outcome::Done;
        }
        if (!Roomy()) {
            return Outcome::Dead;
        }
        Rank(node);
        return Outcome::Branch;
    }

    // Lists in node.rest the sets that do not lie in an open bank at no cost, gathering their
    // colours, and picks for node.set the one with the fewest banks to go to, the largest of
    // those. False when a set has no bank to go to.
    bool Sift(const std::vector<std::uint32_t>& sets, Node& node) {
        const std::size_t words = in.words;
        needed.assign(words, 0);
        homeless.assign(words, 0);
        std::uint32_t ownNeeded = 0, ownHomeless = 0, fewest = kNone;
        node.set = kNone;
        node.bank = kNone;
        node.rest.clear();
        for (const std::uint32_t s : sets) {
            const Word* set = in.Set(s);
            std::uint32_t fits = 0;
            bool free = false;
            for (std::uint32_t b = 0; b < open && !free; ++b) {
                const std::uint32_t shared = UnionCount(Bank(b), set, words);
                free = in.own[s] == 0 && shared + own[b] == load[b];
                fits += shared + own[b] + in.own[s] <= in.capacity ? 1 : 0;
            }
            if (free) {
                continue;
            }
            if (fits == 0) {
                if (open == banks) {
                    return false;
                }
                OrInto(homeless.data(), set, words);
                ownHomeless += in.own[s];
            }
            fits += open < banks ? 1 : 0;
            OrInto(needed.data(), set, words);
            ownNeeded += in.own[s];
            if (fits < fewest || (fits == fewest && in.load[s] > in.load[node.set])) {
                fewest = fits;
                node.set = s;
            }
            node.rest.push_back(s);
        }
        neededOwn = ownNeeded;
        homelessOwn = ownHomeless;
        return true;
    }

    // Whether the colours still to place fit the room the banks have left, and the sets no open
    // bank takes, with all their colours, fit the banks not yet opened.
    bool Roomy() {
        const std::size_t words = in.words;
        placed.assign(words, 0);
        std::uint32_t room = (banks - open) * in.capacity;
        for (std::uint32_t b = 0; b < open; ++b) {
            OrInto(placed.data(), Bank(b), words);
            room += in.capacity - load[b];
        }
        std::uint32_t unplaced = neededOwn;
        for (std::size_t w = 0; w < words; ++w) {
            unplaced += Bits(needed[w] & ~placed[w]);
        }
        const std::uint32_t homelessUnits = homelessOwn + Count(homeless.data(), words);
        return unplaced <= room && homelessUnits <= (banks - open) * in.capacity;
    }

    // Takes node.set out of node.rest, and lists the banks it fits, fewest colours added first,
    // then a new bank if one may still be opened.
    void Rank(Node& node) {
        node.rest.erase(std::find(node.rest.begin(), node.rest.end(), node.set));
        ranked.clear();
        const Word* set = in.Set(node.set);
        for (std::uint32_t b = 0; b < open; ++b) {
            const std::uint32_t after =
                UnionCount(Bank(b), set, in.words) + own[b] + in.own[node.set];
            if (after <= in.capacity) {
                ranked.emplace_back(after - load[b], b);
            }
        }
        std::sort(ranked.begin(), ranked.end());
        node.options.clear();
        for (const auto& [added, b] : ranked) {
            node.options.push_back(b);
        }
        if (open < banks) {
            node.options.push_back(open);
        }
        node.next = 0;
    }

    void Put(Node& node, std::uint32_t b) {
        node.bank = b;
        node.saved.assign(Bank(b), Bank(b) + in.words);
        node.savedOwn = own[b];
        node.savedLoad = load[b];
        open = std::max(open, b + 1);
        OrInto(Bank(b), in.Set(node.set), in.words);
        own[b] += in.own[node.set];
        load[b] = Count(Bank(b), in.words) + own[b];
    }

    void Undo(Node& node) {
        const std::uint32_t b = node.bank;
        std::copy(node.saved.begin(), node.saved.end(), Bank(b));
        own[b] = node.savedOwn;
        load[b] = node.savedLoad;
        if (load[b] == 0) {
            open = b;
        }
        node.bank = kNone;
    }

    // Opens the banks `kept` of `start` first, in that order, and gives their sets those banks in
    // `bankOf`. Returns the other sets.
    std::vector<std::uint32_t> Seed(const Packing& start, const std::vector<std::uint32_t>& kept,
                                    std::vector<std::uint32_t>& bankOf) {
        bits.assign(std::size_t{banks} * in.words, 0);
        own.assign(banks, 0);
        load.assign(banks, 0);
        std::vector<std::uint32_t> keptAs(start.Banks(), kNone);
        for (std::uint32_t k = 0; k < kept.size(); ++k) {
            std::copy(start.Bank(kept[k]), start.Bank(kept[k]) + in.words, Bank(k));
            own[k] = start.own[kept[k]];
            load[k] = start.load[kept[k]];
            keptAs[kept[k]] = k;
        }
        open = static_cast<std::uint32_t>(kept.size());
        bankOf.assign(in.count, kNone);
        std::vector<std::uint32_t> loose;
        for (std::uint32_t s = 0; s < in.count; ++s) {
            const std::uint32_t b = start.bankOf[s];
            if (b != kNone && keptAs[b] != kNone) {
                bankOf[s] = keptAs[b];
            } else {
                loose.push_back(s);
            }
        }
        return loose;
    }

    // Reads the packing found off the first `depth` nodes; each set Examine dropped goes to the
    // first bank that has all its colours.
    void Finish(const std::vector<Node>& stack, std::size_t depth,
                const std::vector<std::uint32_t>& loose, std::vector<std::uint32_t>& bankOf) {
        for (std::size_t d = 0; d < depth; ++d) {
            if (stack[d].bank != kNone) {
                bankOf[stack[d].set] = stack[d].bank;
            }
        }
        for (const std::uint32_t s : loose) {
            for (std::uint32_t b = 0; bankOf[s] == kNone; ++b) {
                if (UnionCount(Bank(b), in.Set(s), in.words) + own[b] == load[b]) {
                    bankOf[s] = b;
                }
            }
        }
    }

    // The banks `kept` of `start` (in that order) come first and keep their sets; every other
    // set is placed, depth first, each node trying its options in turn. Fills `bankOf` when it
    // finds a packing.
    bool Run(const Packing& start, const std::vector<std::uint32_t>& kept,
             std::vector<std::uint32_t>& bankOf) {
        const std::vector<std::uint32_t> loose = Seed(start, kept, bankOf);
        std::vector<Node> stack(1);
        std::size_t depth = 1;
        Outcome outcome = Examine(loose, stack[0]);
        if (outcome == Outcome::Dead) {
            return false;
        }
        while (outcome != Outcome::Done) {
            if (depth == 0 || budget.Spent()) {
                return false;
            }
            Node& node = stack[depth - 1];
            if (node.bank != kNone) {
                Undo(node);
            }
            if (node.next == node.options.size()) {
                --depth;
                continue;
            }
            Put(node, node.options[node.next++]);
            if (stack.size() == depth) {
                stack.emplace_back();
            }
            outcome = Examine(stack[depth - 1].rest, stack[depth]);
            depth += outcome == Outcome::Branch ? 1 : 0;
        }
        Finish(stack, depth, loose, bankOf);
        return true;
    }
};

// The packing's banks, fewest colours first (ties in bank order).
std::vector<std::uint32_t> LightestFirst(const Packing& p) {
    return Ordered(p.Banks(),
                   [&](std::uint32_t a, std::uint32_t b) { return p.load[a] < p.load[b]; });
}

// The banks left when bank `first` and the `dissolved` - 1 banks that share the most colours
// with it (ties at random) are emptied, in bank order.
std::vector<std::uint32_t> KeptBanks(const Instance& in, const Packing& p, std::uint32_t first,
                                     std::uint32_t dissolved, Random& random) {
    const std::uint32_t banks = static_cast<std::uint32_t>(p.Banks());
    std::vector<std::pair<std::uint64_t, std::uint32_t>> near;
    for (std::uint32_t b = 0; b < banks; ++b) {
        if (b != first) {
            std::uint64_t shared = 0;
            for (std::size_t w = 0; w < in.words; ++w) {
                shared += Bits(p.Bank(first)[w] & p.Bank(b)[w]);
            }
            near.emplace_back((shared << 32 | (random.Next() >> 32)), b);
        }
    }
    std::sort(near.begin(), near.end(), std::greater<>());
    std::vector<bool> dropped(banks, false);
    dropped[first] = true;
    for (std::uint32_t k = 0; k + 1 < dissolved; ++k) {
        dropped[near[k].second] = true;
    }
    std::vector<std::uint32_t> kept;
    for (std::uint32_t b = 0; b < banks; ++b) {
        if (!dropped[b]) {
            kept.push_back(b);
        }
    }
    return kept;
}

// Large neighbourhood search with the branch and bound as its repair: two to four banks that
// share many colours are emptied, and their sets packed exactly into one bank fewer and the room
// the other banks have left, each try under a small budget of its own. True when a packing of one
// bank fewer than `best` is found (then in `best`).
bool Neighbourhoods(const Instance& in, Packing& best, Random& random, Budget& budget) {
    const std::uint32_t banks = static_cast<std::uint32_t>(best.Banks());
    const std::vector<std::uint32_t> order = LightestFirst(best);
    for (std::uint64_t attempt = 0; !budget.Spent(); ++attempt) {
        const std::uint32_t dissolved =
            std::min<std::uint32_t>(banks, 2 + static_cast<std::uint32_t>(attempt / banks % 3));
        const std::vector<std::uint32_t> kept =
            KeptBanks(in, best, order[attempt % banks], dissolved, random);
        Budget slice{budget.used, std::min(budget.limit, budget.used + 400'000)};
        Search search{.in = in, .banks = banks - 1, .budget = slice};
        std::vector<std::uint32_t> bankOf;
        const bool found = search.Run(best, kept, bankOf);
        budget.used = slice.used;
        if (found) {
            best = FromAssignment(in, bankOf);
            return true;
        }
    }
    return false;
}

// The packing without bank `dropped`, whose sets are left out; the banks after it move down one.
Packing Without(const Instance& in, const Packing& p, std::uint32_t dropped, Budget& budget) {
    Packing rest = p;
    rest.bits.erase(rest.bits.begin() + dropped * in.words,
                    rest.bits.begin() + (dropped + 1) * in.words);
    rest.own.erase(rest.own.begin() + dropped);
    rest.load.erase(rest.load.begin() + dropped);
    rest.members.erase(rest.members.begin() + dropped);
    for (std::uint32_t& b : rest.bankOf) {
        b = b == dropped ? kNone : b > dropped ? b - 1 : b;
    }
    budget.used += in.count + p.bits.size();
    return rest;
}

// The sets of bank `dropped`, largest first.
std::vector<std::uint32_t> Queue(const Instance& in, const Packing& p, std::uint32_t dropped) {
    std::vector<std::uint32_t> queue = p.members[dropped];
    std::stable_sort(queue.begin(), queue.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return in.load[a] > in.load[b]; });
    return queue;
}

// The packing without bank `dropped`, its sets put, largest first, into the banks they add the
// fewest colours to, the lowest numbered of those, whether or not they fit.
Packing Spilled(const Instance& in, const Packing& p, std::uint32_t dropped, Budget& budget) {
    Packing rest = Without(in, p, dropped, budget);
    for (const std::uint32_t s : Queue(in, p, dropped)) {
        std::uint32_t home = 0, fewest = kNone;
        for (std::uint32_t b = 0; b < rest.Banks(); ++b) {
            const std::uint32_t added = LoadWith(in, rest, b, s) - rest.load[b];
            if (added < fewest) {
                fewest = added;
                home = b;
            }
        }
        Place(in, rest, s, home);
    }
    budget.used += rest.Banks() * in.words * p.members[dropped].size();
    return rest;
}

// Looks for a packing into one bank fewer than `best`, again and again until the lower bound or
// the budget. Each time: tabu search from the lightest bank's sets spilled into the others, with
// half of the budget left; then overload-and-remove of each bank's sets into the other banks,
// lightest bank first, with a quarter of what is left; then large neighbourhoods.
void Improve(const Instance& in, Packing& best, std::uint32_t lower, Random& random,
             Budget& budget) {
    const std::uint64_t stepLimit = 8 * in.count + 100;
    while (best.Banks() > lower && !budget.Spent()) {
        const std::vector<std::uint32_t> order = LightestFirst(best);
        bool found = false;
        Packing rest = Spilled(in, best, order[0], budget);
        Budget share = budget.Share(2);
        if (TabuSearch{.in = in, .p = rest, .random = random, .budget = share}.Run()) {
            best = std::move(rest);
            found = true;
        }
        budget.used = share.used;
        share = budget.Share(4);
        for (std::size_t k = 0; k < order.size() && !found && !share.Spent(); ++k) {
            rest = Without(in, best, order[k], share);
            if (Repair(in, rest, Queue(in, best, order[k]), random, share, stepLimit)) {
                best = std::move(rest);
                found = true;
            }
        }
        budget.used = share.used;
        if (!found && !Neighbourhoods(in, best, random, budget)) {
            return;
        }
    }
}

// Best fit decreasing again, over the bit sets: every bank is looked at, which in a picture of
// few colours finds what following colours to banks within its limit does not. Returns the banks
// it took, or kNone when it gave up: when the budget ran out or it reached `banks` banks.
std::uint32_t FitBits(const Instance& in, std::uint32_t banks, Budget& budget,
                      std::vector<std::uint32_t>& bankOf) {
    Packing p = EmptyPacking(in, 0);
    for (std::uint32_t s = 0; s < in.count; ++s) {
        std::uint32_t best = kNone, fewest = kNone;
        for (std::uint32_t b = 0; b < p.Banks(); ++b) {
            const std::uint32_t load = LoadWith(in, p, b, s);
            if (load <= in.capacity && load - p.load[b] < fewest) {
                fewest = load - p.load[b];
                best = b;
            }
        }
        budget.used += p.Banks() * (in.words + 2);
        if (budget.Spent()) {
            return kNone;
        }
        if (best == kNone) {
            best = static_cast<std::uint32_t>(p.Banks());
            if (best + 1 >= banks) {
                return kNone;
            }
            p.bits.resize(p.bits.size() + in.words, 0);
            p.own.push_back(0);
            p.load.push_back(0);
            p.members.emplace_back();
        }
        Place(in, p, s, best);
    }
    bankOf = p.bankOf;
    return static_cast<std::uint32_t>(p.Banks());
}

// Numbers, in colour order, the colours that two or more kept sets have; kNone for the others.
std::vector<std::uint32_t> NumberShared(const Reduced& reduced) {
    std::vector<std::uint32_t> holders(reduced.colors, 0);
    for (std::size_t k = 0; k < reduced.kept.size(); ++k) {
        for (const std::uint32_t c : reduced.Set(k)) {
            ++holders[c];
        }
    }
    std::vector<std::uint32_t> sharedNumber(reduced.colors, kNone);
    std::uint32_t shared = 0;
    for (std::size_t c = 0; c < reduced.colors; ++c) {
        if (holders[c] > 1) {
            sharedNumber[c] = shared++;
        }
    }
    return sharedNumber;
}

// The exact search for one bank fewer than `best`, again and again until the lower bound or the
// budget; true when it proved there is none.
bool SearchFewer(const Instance& in, Packing& best, std::uint32_t lower, Budget& budget) {
    while (best.Banks() > lower && !budget.Spent()) {
        Search search{
            .in = in, .banks = static_cast<std::uint32_t>(best.Banks() - 1), .budget = budget};
        std::vector<std::uint32_t> found;
        if (!search.Run(EmptyPacking(in, 0), {}, found)) {
            return !budget.Spent();
        }
        best = FromAssignment(in, found);
    }
    return false;
}

// The search for fewer banks than `best`, down to `lower`: a short exact search first, which
// settles small instances; then the heuristics with half of what is left, and the exact search
// again with the rest.
void Shrink(const Instance& in, Packing& best, std::uint32_t lower, Budget& budget) {
    Random random;
    Budget first = budget.Share(8);
    const bool proven = SearchFewer(in, best, lower, first);
    budget.used = first.used;
    if (!proven) {
        Budget heuristics = budget.Share(2);
        Improve(in, best, lower, random, heuristics);
        budget.used = heuristics.used;
        SearchFewer(in, best, lower, budget);
    }
}

// Stage 3 on the kept sets, from the greedy packing `bankOf`, which it may replace: best fit
// over bit sets with a quarter of the budget, then, where sets times banks is small enough and
// the lower bound is not reached, the search for fewer banks with the rest.
void PackExactly(const Reduced& reduced, std::size_t capacity, std::vector<std::uint32_t>& bankOf) {
    const std::vector<std::uint32_t> sharedNumber = NumberShared(reduced);
    const auto unshared =
        static_cast<std::size_t>(std::count(sharedNumber.begin(), sharedNumber.end(), kNone));
    const std::size_t words = std::max<std::size_t>(1, (sharedNumber.size() - unshared + 63) / 64);
    if (words > kMaxWords) {
        return;
    }
    const Instance in = MakeInstance(reduced, capacity, words, sharedNumber);
    std::uint32_t banks = BankCount(bankOf);
    Budget budget{0, kPackingWork};
    Budget share{0, kPackingWork / 4};
    std::vector<std::uint32_t> fitted;
    const std::uint32_t fittedBanks = FitBits(in, banks, share, fitted);
    budget.used = share.used;
    if (fittedBanks < banks) {
        bankOf = fitted;
        banks = fittedBanks;
    }
    if (std::uint64_t{in.count} * banks * words > kPackingWork / 4) {
        return;
    }
    const std::uint32_t lower = LowerBound(in, budget);
    if (banks <= lower) {
        return;
    }
    Packing best = FromAssignment(in, bankOf);
    Shrink(in, best, lower, budget);
    bankOf = best.bankOf;
}

}  // namespace

BankPlan PackBanks(const std::vector<ColorSet>& sets, std::size_t capacity) {
    const Reduced reduced = Reduce(sets, capacity);
    std::vector<std::uint32_t> keptBank = PackGreedily(reduced, capacity);
    PackExactly(reduced, capacity, keptBank);

    // Banks numbered by the first set each holds; a set too large for any bank gets its own; an
    // empty set goes to bank 0.
    BankPlan plan;
    plan.bankOf.assign(sets.size(), kNone);
    std::vector<std::uint32_t> number(reduced.kept.size(), kNone);
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const std::uint32_t kept = reduced.keptOf[i];
        if (sets[i].empty()) {
            continue;
        }
        std::uint32_t& n = kept == kNone ? plan.bankOf[i] : number[keptBank[kept]];
        if (n == kNone) {
            n = static_cast<std::uint32_t>(plan.banks.size());
            plan.banks.emplace_back();
        }
        plan.bankOf[i] = n;
        std::vector<std::uint32_t>& bank = plan.banks[n];
        bank.insert(bank.end(), sets[i].begin(), sets[i].end());
    }
    if (plan.banks.empty() && !sets.empty()) {
        plan.banks.emplace_back();
    }
    for (std::uint32_t& b : plan.bankOf) {
        b = b == kNone ? 0 : b;
    }
    for (std::vector<std::uint32_t>& bank : plan.banks) {
        std::sort(bank.begin(), bank.end());
        bank.erase(std::unique(bank.begin(), bank.end()), bank.end());
    }
    return plan;
}

}  // namespace bmp2tvx
