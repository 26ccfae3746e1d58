// The exact sequencing method: a provably best order of a block of up to
// KAVELON_EXACT_LIMIT rows, from a dynamic program over the sets of rows
// placed first. On larger sparse blocks an order from the local search
// bounds the program, and short cycles among the rows still to place
// tighten that bound.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "sequence/methods.h"

namespace {

constexpr int kStrong = KAVELON_KIND_STRONG;
constexpr int kWeak = KAVELON_KIND_WEAK;
// Most cycles the exact method's bound looks at in each set it visits, and
// the work spent finding them.
constexpr int kCycleLimit = 48;
constexpr int64_t kCycleBudget = 200000;
constexpr int kHalf = 12;  // rows in each half of a set


// The dynamic program over the sets S of rows placed first. Placing row v
// at position t = |S| makes feedback marks of the rows of S that need v, and
// every row that v needs outside S gives a feedback mark from position t.
// A mark's distance is the producer's position minus the consumer's, so the
// total distance is the sum over the steps of t * (marks into v from S -
// marks from v to the rest): every criterion is a sum of terms of (S, v).
// To keep each term at or above zero, c * t is added to the distances, c
// being the most marks a row has; that adds the same to every order.
//
// The three criteria of a partial cost are packed into one word, the first
// in the top bits, so that adding and comparing are single operations; the
// fields are as wide as the block needs, and a table of 32-bit words is used
// when they fit, which halves the memory.
struct LAYOUT {
    uint32_t needs[2][KAVELON_EXACT_LIMIT];      // rows that row v needs, by kind
    uint32_t needed_by[2][KAVELON_EXACT_LIMIT];  // rows that need row v, by kind
    uint32_t needs_all[KAVELON_EXACT_LIMIT], needed_by_all[KAVELON_EXACT_LIMIT];
    uint64_t offset[2];  // c of the distances: both kinds, or strong and weak
    int shift0, shift1;  // of the first and the second field
    int32_t n;
    // The rows that the rows of a set need, by kind: the union of the
    // entries of its low 12 rows and of its high ones.
    uint32_t open_low[2][1u << kHalf], open_high[2][1u << kHalf];
    // Short cycles of the marks of one kind, shortest first, for the bound
    // of the rows still to place: their rows, their marks (numbered within
    // their kind, the first 64 of it) and their kind.
    int32_t ncycles;
    uint32_t cycle_rows[kCycleLimit];
    uint64_t cycle_marks[kCycleLimit];
    uint8_t cycle_kind[kCycleLimit];
};

template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline Word step_cost(const LAYOUT &l, uint32_t placed, uint32_t t, int v) {
    const uint32_t rest = ~placed;
    if (Objective == KAVELON_SEQUENCE_DISTANCE) {
        const uint64_t in_s = static_cast<uint64_t>(__builtin_popcount(placed & l.needed_by[kStrong][v]));
        const uint64_t in_w = static_cast<uint64_t>(__builtin_popcount(placed & l.needed_by[kWeak][v]));
        const uint64_t out_s = static_cast<uint64_t>(__builtin_popcount(rest & l.needs[kStrong][v]));
        const uint64_t out_w = static_cast<uint64_t>(__builtin_popcount(rest & l.needs[kWeak][v]));
        const uint64_t d_s = t * (in_s + l.offset[0] - out_s);
        const uint64_t d_w = t * (in_w + l.offset[1] - out_w);
        return static_cast<Word>((d_s << l.shift0) | (d_w << l.shift1) | (in_s + in_w));
    }
    const uint64_t in_s = static_cast<uint64_t>(__builtin_popcount(placed & l.needed_by[kStrong][v]));
    const uint64_t in_all = static_cast<uint64_t>(__builtin_popcount(placed & l.needed_by_all[v]));
    const uint64_t out_all = static_cast<uint64_t>(__builtin_popcount(rest & l.needs_all[v]));
    const uint64_t d = t * (in_all + l.offset[0] - out_all);
    return static_cast<Word>((in_s << l.shift0) | ((in_all - in_s) << l.shift1) | d);
}

template <typename Word>
__attribute__((always_inline)) inline Word pack_fields(const LAYOUT &l, uint64_t a, uint64_t b, uint64_t c) {
    return static_cast<Word>((a << l.shift0) | (b << l.shift1) | c);
}

// A bound that no order of the rows outside S, placed after S, goes below:
// every mark from S to the rest is a feedback mark whose producer comes at
// position |S| or later; the offsets of the positions still to fill.
template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline Word suffix_bound(const LAYOUT &l, uint32_t placed, uint64_t k) {
    const uint64_t n = static_cast<uint64_t>(l.n);
    const uint64_t left = (n * (n - 1) - k * (k > 0 ? k - 1 : 0)) / 2;
    if (Objective == KAVELON_SEQUENCE_DISTANCE) {
        // The producers of those marks take distinct positions from |S| on;
        // the most needed placed first is the least they can add.
        // Only the rows that a placed row needs are such producers; their
        // counts of marks, sorted down, are few.
        const uint32_t low = placed & ((1u << kHalf) - 1u), high = placed >> kHalf;
        const uint32_t open[2] = {l.open_low[kStrong][low] | l.open_high[kStrong][high],
                                  l.open_low[kWeak][low] | l.open_high[kWeak][high]};
        uint64_t cross[2] = {0, 0}, spread[2] = {0, 0};
        for (int kind = 0; kind < 2; kind++) {
            uint32_t counts[KAVELON_EXACT_LIMIT];
            int size = 0;
            for (uint32_t r = open[kind] & ~placed; r != 0; r &= r - 1) {
                const uint32_t marks = static_cast<uint32_t>(__builtin_popcount(placed & l.needed_by[kind][__builtin_ctz(r)]));
                int at = size++;
                for (; at > 0 && counts[at - 1] < marks; at--) counts[at] = counts[at - 1];
                counts[at] = marks;
                cross[kind] += marks;
            }
            for (int position = 1; position < size; position++)
                spread[kind] += static_cast<uint64_t>(position) * counts[position];
        }
        return pack_fields<Word>(l, k * cross[kStrong] + spread[kStrong] + l.offset[0] * left,
                                 k * cross[kWeak] + spread[kWeak] + l.offset[1] * left,
                                 cross[kStrong] + cross[kWeak]);
    }
    uint64_t cross[2] = {0, 0};
    for (uint32_t rest = placed; rest != 0; rest &= rest - 1) {
        const int a = __builtin_ctz(rest);
        cross[kStrong] += static_cast<uint64_t>(__builtin_popcount(l.needs[kStrong][a] & ~placed));
        cross[kWeak] += static_cast<uint64_t>(__builtin_popcount(l.needs[kWeak][a] & ~placed));
    }
    return pack_fields<Word>(l, cross[kStrong], cross[kWeak],
                             k * (cross[kStrong] + cross[kWeak]) + l.offset[0] * left);
}

// The marks among the rows still to place add to that bound: every cycle among
// them keeps a feedback mark of its own, and the feedback marks of a cycle
// of L rows span at least L - 1 positions. Cycles that share no mark count
// apart; they are taken shortest first.
__attribute__((always_inline)) inline void rest_cycles(const LAYOUT &l, uint32_t placed, uint64_t count[2],
                                                       uint64_t span[2]) {
    uint64_t used[2] = {0, 0};
    for (int32_t c = 0; c < l.ncycles; c++) {
        const int kind = l.cycle_kind[c];
        if ((l.cycle_rows[c] & placed) != 0 || (l.cycle_marks[c] & used[kind]) != 0) continue;
        used[kind] |= l.cycle_marks[c];
        count[kind]++;
        span[kind] += static_cast<uint64_t>(__builtin_popcount(l.cycle_rows[c])) - 1;
    }
}

// Whether the bound of the rest of the order, the cycles among the rows
// still to place last as they cost the most to count, keeps the cost of
// the set within the limit.
template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline bool within(const LAYOUT &l, uint32_t placed, uint64_t k, Word here, Word limit) {
    const Word lower = static_cast<Word>(here + suffix_bound<Objective, Word>(l, placed, k));
    if (lower > limit) return false;
    if (l.ncycles == 0) return true;
    uint64_t count[2] = {0, 0}, span[2] = {0, 0};
    rest_cycles(l, placed, count, span);
    const Word inner = Objective == KAVELON_SEQUENCE_DISTANCE
                           ? pack_fields<Word>(l, span[kStrong], span[kWeak], count[kStrong] + count[kWeak])
                           : pack_fields<Word>(l, count[kStrong], count[kWeak], span[kStrong] + span[kWeak]);
    return static_cast<Word>(lower + inner) <= limit;
}

// best[S]: the least cost of the steps after S; S = all rows costs nothing.
// With a known upper bound of the whole cost (an order found beforehand),
// a first pass from the front finds the least cost of every set S placed
// first and drops the sets that cannot lead to an order within the bound;
// the pass from the back then visits only the sets left. live holds a bit
// for every set whose entry of best is valid: without a bound all of them;
// with one, only the sets reached and kept, a small share on a sparse
// block. The bits, not the table, are what the passes scan, and entries
// of sets never reached are neither written nor read.
inline bool is_live(const uint64_t *live, uint32_t set) { return ((live[set >> 6] >> (set & 63u)) & 1u) != 0; }

// Without a bound: every set, from the full one down.
template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline void fill_every_set(const LAYOUT &l, uint32_t full, Word *best, uint64_t *live) {
    const Word none = static_cast<Word>(~static_cast<Word>(0));
    const size_t words = (static_cast<size_t>(full) >> 6) + 1;
    best[full] = 0;
    for (uint32_t placed = full; placed-- > 0;) {
        const uint32_t t = static_cast<uint32_t>(__builtin_popcount(placed));
        Word least = none;
        for (uint32_t rest = full & ~placed; rest != 0; rest &= rest - 1) {
            const int v = __builtin_ctz(rest);
            const Word cost = static_cast<Word>(step_cost<Objective, Word>(l, placed, t, v) +
                                                best[placed | (1u << v)]);
            least = cost < least ? cost : least;
        }
        best[placed] = least;
    }
    std::fill(live, live + words, ~uint64_t{0});
}

// With a bound, from the front: best[S] becomes the least cost of placing
// S first, for every set reached from a set within the bound; the sets
// beyond it are dropped from live.
template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline void reach_sets(const LAYOUT &l, uint32_t full, Word *best, uint64_t *live,
                                                      Word upper) {
    const size_t words = (static_cast<size_t>(full) >> 6) + 1;
    std::fill(live, live + words, uint64_t{0});
    best[0] = 0;
    live[0] = 1;
    // A set's successors are larger numbers, so they may join the word
    // being scanned: it is read afresh for each set.
    for (size_t w = 0; w < words; w++) {
        for (uint64_t done = 0;;) {
            const uint64_t left = live[w] & ~done;
            if (left == 0) break;
            const uint64_t bit = left & (~left + 1);
            done |= bit;
            const uint32_t placed = static_cast<uint32_t>(w << 6) | static_cast<uint32_t>(__builtin_ctzll(left));
            if (placed == full) continue;
            const Word here = best[placed];
            const uint32_t t = static_cast<uint32_t>(__builtin_popcount(placed));
            if (!within<Objective, Word>(l, placed, t, here, upper)) {
                live[w] &= ~bit;
                continue;
            }
            for (uint32_t rest = full & ~placed; rest != 0; rest &= rest - 1) {
                const int v = __builtin_ctz(rest);
                const Word cost = static_cast<Word>(here + step_cost<Objective, Word>(l, placed, t, v));
                const uint32_t next = placed | (1u << v);
                uint64_t &word = live[next >> 6];
                const uint64_t next_bit = uint64_t{1} << (next & 63u);
                if ((word & next_bit) == 0) {
                    word |= next_bit;
                    best[next] = cost;
                } else {
                    best[next] = cost < best[next] ? cost : best[next];
                }
            }
        }
    }
}

// Then from the back over the sets left: best[S] becomes the least cost of
// the steps after S, and sets that lead to no order within the optimum are
// dropped too.
template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline void settle_sets(const LAYOUT &l, uint32_t full, Word *best, uint64_t *live,
                                                       Word upper) {
    const Word none = static_cast<Word>(~static_cast<Word>(0));
    const size_t words = (static_cast<size_t>(full) >> 6) + 1;
    // The order that gave the bound reaches the full set.
    const Word optimum = best[full];
    best[full] = 0;
    // Every set left passed the bound against the upper bound already; only
    // a lower optimum can drop more.
    const bool tighter = optimum < upper;
    for (size_t w = words; w-- > 0;) {
        for (uint64_t left = live[w]; left != 0;) {
            const int b = 63 - __builtin_clzll(left);
            const uint64_t bit = uint64_t{1} << b;
            left &= ~bit;
            const uint32_t placed = static_cast<uint32_t>(w << 6) | static_cast<uint32_t>(b);
            if (placed == full) continue;
            const Word here = best[placed];
            const uint32_t t = static_cast<uint32_t>(__builtin_popcount(placed));
            Word least = none;
            if (!tighter || within<Objective, Word>(l, placed, t, here, optimum)) {
                for (uint32_t rest = full & ~placed; rest != 0; rest &= rest - 1) {
                    const int v = __builtin_ctz(rest);
                    const uint32_t next = placed | (1u << v);
                    if (!is_live(live, next)) continue;
                    const Word cost = static_cast<Word>(step_cost<Objective, Word>(l, placed, t, v) + best[next]);
                    least = cost < least ? cost : least;
                }
            }
            if (least == none) {
                live[w] &= ~bit;
            } else {
                best[placed] = least;
            }
        }
    }
}

template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline void fill_table(const LAYOUT &l, uint32_t full, Word *best, uint64_t *live,
                                                      Word upper) {
    if (upper == static_cast<Word>(~static_cast<Word>(0))) {
        fill_every_set<Objective, Word>(l, full, best, live);
        return;
    }
    reach_sets<Objective, Word>(l, full, best, live, upper);
    settle_sets<Objective, Word>(l, full, best, live, upper);
}

// The same program built twice: for processors with a popcount instruction,
// which nearly all have and which makes it several times faster, and for any.
template <int32_t Objective, typename Word>
void fill_table_any(const LAYOUT &l, uint32_t full, Word *best, uint64_t *live, Word upper) {
    fill_table<Objective, Word>(l, full, best, live, upper);
}
#if defined(__x86_64__)
template <int32_t Objective, typename Word>
__attribute__((target("popcnt"))) void fill_table_popcnt(const LAYOUT &l, uint32_t full, Word *best, uint64_t *live,
                                                          Word upper) {
    fill_table<Objective, Word>(l, full, best, live, upper);
}
#endif

// upper: the packed cost of a known order, or nullptr.
template <int32_t Objective, typename Word>
int solve(const LAYOUT &l, int32_t n, const uint64_t *upper, std::vector<int32_t> *order) {
    const uint32_t full = (1u << n) - 1u;
    const Word none = static_cast<Word>(~static_cast<Word>(0));
    // Up to 128 MB: refused memory falls back to the heuristic, not to an end.
    struct Release {
        void operator()(Word *p) const { ::operator delete(p); }
    };
    std::unique_ptr<Word, Release> best;
    std::vector<uint64_t> live_bits;
    try {
        best.reset(static_cast<Word *>(::operator new((static_cast<size_t>(full) + 1) * sizeof(Word))));
        live_bits.resize((static_cast<size_t>(full) >> 6) + 1);
    } catch (const std::bad_alloc &) {
        return 1;
    }
    Word *table = best.get();
    uint64_t *live = live_bits.data();
    const Word bound = upper != nullptr ? static_cast<Word>(*upper) : none;
#if defined(__x86_64__)
    if (__builtin_cpu_supports("popcnt")) {
        fill_table_popcnt<Objective, Word>(l, full, table, live, bound);
    } else {
        fill_table_any<Objective, Word>(l, full, table, live, bound);
    }
#else
    fill_table_any<Objective, Word>(l, full, table, live, bound);
#endif
    // From the front, the lowest row that keeps the cost best at each place
    // gives the lexicographically smallest of the best orders.
    uint32_t placed = 0;
    for (int32_t t = 0; t < n; t++) {
        for (int v = 0; v < n; v++) {
            if (placed & (1u << v)) continue;
            if (!is_live(live, placed | (1u << v))) continue;
            const Word next = table[placed | (1u << v)];
            const Word cost = static_cast<Word>(step_cost<Objective, Word>(l, placed, static_cast<uint32_t>(t), v) + next);
            if (cost == table[placed]) {
                order->push_back(v);
                placed |= 1u << v;
                break;
            }
        }
    }
    return 0;
}

// The search for cycles of one kind's marks of exactly `length` rows whose
// lowest row is `start`.
struct CYCLESEARCH {
    LAYOUT *l;
    int kind;
    const int8_t (*mark)[KAVELON_EXACT_LIMIT];  // number of a mark, -1 none or past 64
    int32_t start, length;
    int64_t work;
};

// Follows the marks from `row`, with `rows` and `marks` taken so far.
void follow_cycles(CYCLESEARCH &c, int32_t row, uint32_t rows, uint64_t marks, int32_t depth) {
    LAYOUT &l = *c.l;
    for (uint32_t next = l.needs[c.kind][row]; next != 0 && l.ncycles < kCycleLimit; next &= next - 1) {
        const int32_t w = __builtin_ctz(next);
        if (++c.work > kCycleBudget) return;
        if (w < c.start || (w != c.start && (rows & (1u << w)) != 0)) continue;
        const int8_t m = c.mark[row][w];
        if (m < 0) continue;
        const uint64_t with = marks | (uint64_t{1} << m);
        if (w == c.start) {
            if (depth != c.length) continue;
            l.cycle_rows[l.ncycles] = rows;
            l.cycle_marks[l.ncycles] = with;
            l.cycle_kind[l.ncycles] = static_cast<uint8_t>(c.kind);
            l.ncycles++;
        } else if (depth < c.length) {
            follow_cycles(c, w, rows | (1u << w), with, depth + 1);
        }
    }
}

// The rows that each half set needs.
void find_open(LAYOUT *l) {
    static_assert(2 * kHalf >= KAVELON_EXACT_LIMIT, "two halves hold a set");
    for (int kind = 0; kind < 2; kind++) {
        l->open_low[kind][0] = l->open_high[kind][0] = 0;
        for (uint32_t set = 1; set < (1u << kHalf); set++) {
            const int v = __builtin_ctz(set);
            l->open_low[kind][set] = l->open_low[kind][set & (set - 1)] | l->needs[kind][v];
            const uint32_t needs = v + kHalf < KAVELON_EXACT_LIMIT ? l->needs[kind][v + kHalf] : 0u;
            l->open_high[kind][set] = l->open_high[kind][set & (set - 1)] | needs;
        }
    }
}

// The shortest cycles of each kind's marks, up to kCycleLimit of them.
void find_cycles(LAYOUT *l) {
    l->ncycles = 0;
    CYCLESEARCH c{};
    c.l = l;
    int8_t numbers[2][KAVELON_EXACT_LIMIT][KAVELON_EXACT_LIMIT];
    for (int kind = 0; kind < 2; kind++) {
        int8_t marks = 0;
        std::fill(&numbers[kind][0][0], &numbers[kind][0][0] + sizeof numbers[kind], static_cast<int8_t>(-1));
        for (int32_t v = 0; v < l->n; v++)
            for (uint32_t p = l->needs[kind][v]; p != 0 && marks < 64; p &= p - 1)
                numbers[kind][v][__builtin_ctz(p)] = marks++;
    }
    for (c.length = 2; c.length <= l->n; c.length++) {
        for (c.kind = 0; c.kind < 2; c.kind++) {
            c.mark = numbers[c.kind];
            for (c.start = 0; c.start < l->n; c.start++) {
                if (l->ncycles >= kCycleLimit || c.work > kCycleBudget) return;
                follow_cycles(c, c.start, 1u << c.start, 0, 1);
            }
        }
    }
}

int bits_for(uint64_t value) {
    int bits = 1;
    while ((value >> bits) != 0) bits++;
    return bits;
}

// The rows each row needs and is needed by, the offsets of the distances
// and the widths of the packed fields for a block of n rows, 1 .. 24.
// Returns the bits the three fields take together; marks gets the number of
// marks of each kind.
int lay_out(const SEQGRAPH *g, int32_t objective, LAYOUT *layout, uint64_t marks[2]) {
    LAYOUT &l = *layout;
    const int32_t n = g->n;
    l.n = n;
    marks[0] = marks[1] = 0;
    for (const SEQMARK &mk : g->marks) {
        const int kind = mk.strong ? kStrong : kWeak;
        l.needs[kind][mk.consumer] |= 1u << mk.producer;
        l.needed_by[kind][mk.producer] |= 1u << mk.consumer;
        marks[kind]++;
    }
    uint64_t most[3] = {0, 0, 0};  // most marks of one row: strong, weak, all
    for (int32_t v = 0; v < n; v++) {
        l.needs_all[v] = l.needs[kStrong][v] | l.needs[kWeak][v];
        l.needed_by_all[v] = l.needed_by[kStrong][v] | l.needed_by[kWeak][v];
        most[0] = std::max<uint64_t>(most[0], static_cast<uint64_t>(__builtin_popcount(l.needs[kStrong][v])));
        most[1] = std::max<uint64_t>(most[1], static_cast<uint64_t>(__builtin_popcount(l.needs[kWeak][v])));
        most[2] = std::max<uint64_t>(most[2], static_cast<uint64_t>(__builtin_popcount(l.needs_all[v])));
    }
    // The largest total of each field: the marks, or the distances (each
    // mark spans at most n - 1 rows) and their offsets over positions 0 .. n - 1.
    const uint64_t positions = static_cast<uint64_t>(n) * static_cast<uint64_t>(n - 1) / 2;
    const uint64_t span = static_cast<uint64_t>(n - 1);
    uint64_t largest[3];
    if (objective == KAVELON_SEQUENCE_DISTANCE) {
        l.offset[0] = most[0];
        l.offset[1] = most[1];
        largest[0] = marks[0] * span + most[0] * positions;
        largest[1] = marks[1] * span + most[1] * positions;
        largest[2] = marks[0] + marks[1];
    } else {
        l.offset[0] = most[2];
        largest[0] = marks[0];
        largest[1] = marks[1];
        largest[2] = (marks[0] + marks[1]) * span + most[2] * positions;
    }
    const int bits2 = bits_for(largest[2]), bits1 = bits_for(largest[1]), bits0 = bits_for(largest[0]);
    l.shift1 = bits2;
    l.shift0 = bits2 + bits1;
    static_assert(KAVELON_EXACT_LIMIT <= 24, "the packed fields hold the costs of at most 24 rows");
    return bits0 + bits1 + bits2;
}

// The packed cost of a heuristic order, with the distances' offsets: an
// upper bound of the best.
uint64_t heuristic_upper(const SEQGRAPH *g, int32_t objective, const LAYOUT &l) {
    const uint64_t positions = static_cast<uint64_t>(l.n) * static_cast<uint64_t>(l.n - 1) / 2;
    SEQRESULT h;
    kavelon_order_heuristically(g, objective, &h, false);
    const BLOCKSEQ &m = h.sequence;
    const uint64_t ds = static_cast<uint64_t>(m.strong_distance), dw = static_cast<uint64_t>(m.weak_distance);
    const uint64_t ns = static_cast<uint64_t>(m.strong_inputs), nw = static_cast<uint64_t>(m.weak_inputs);
    return objective == KAVELON_SEQUENCE_DISTANCE
               ? pack_fields<uint64_t>(l, ds + l.offset[0] * positions, dw + l.offset[1] * positions, ns + nw)
               : pack_fields<uint64_t>(l, ns, nw, ds + dw + l.offset[0] * positions);
}

}  // namespace

int kavelon_order_exactly(const SEQGRAPH *g, int32_t objective, std::vector<int32_t> *order,
                          int32_t prune_from) {
    const int32_t n = g->n;
    order->clear();
    if (n < 0 || n > KAVELON_EXACT_LIMIT) return 1;
    if (n == 0) return 0;
    LAYOUT l{};
    uint64_t marks[2];
    const int bits = lay_out(g, objective, &l, marks);
    // On larger sparse blocks an order from the heuristic first bounds the
    // search: most sets placed first then cannot lead to a best order. On
    // dense ones too many can, and the bound would only cost time.
    const uint64_t cells = static_cast<uint64_t>(n) * static_cast<uint64_t>(n - 1);
    const bool sparse = (marks[0] + marks[1]) * 100 < cells * 20;
    uint64_t upper = 0;
    const uint64_t *bound = nullptr;
    if (n >= prune_from && (sparse || prune_from == 0)) {
        upper = heuristic_upper(g, objective, l);
        bound = &upper;
        find_cycles(&l);
        find_open(&l);
    }
    if (objective == KAVELON_SEQUENCE_DISTANCE) {
        return bits <= 32 ? solve<KAVELON_SEQUENCE_DISTANCE, uint32_t>(l, n, bound, order)
                            : solve<KAVELON_SEQUENCE_DISTANCE, uint64_t>(l, n, bound, order);
    }
    return bits <= 32 ? solve<KAVELON_SEQUENCE_INPUTS, uint32_t>(l, n, bound, order)
                        : solve<KAVELON_SEQUENCE_INPUTS, uint64_t>(l, n, bound, order);
}
