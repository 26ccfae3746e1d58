// Sequencing inside blocks: the order of the rows of each block that leaves
// the fewest inputs to assume (or the smallest feedback distance). Blocks up
// to KAVELON_EXACT_LIMIT rows get a provably best order from a dynamic
// program over subsets; larger ones are split into their cyclic parts, each
// ordered exactly where it fits and otherwise by local search with a lower
// bound that tells how far from the best the result can be.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <queue>
#include <random>
#include <vector>

#include "ordering/steps.h"

namespace {

constexpr int kStrong = 0;  // kind indexes: strong, weak or ICD
constexpr int kWeak = 1;
// Most cycles the exact method's bound looks at in each set it visits, and
// the work spent finding them.
constexpr int kCycleLimit = 48;
constexpr int64_t kCycleBudget = 200000;
constexpr int kHalf = 12;  // rows in each half of a set

// ---------------------------------------------------------------- measures

// The objective's three criteria of counts and distances, in comparison order.
void criteria_of(int32_t objective, const int64_t inputs[2], const int64_t distance[2],
                 int64_t c[3]) {
    if (objective == KAVELON_SEQUENCE_DISTANCE) {
        c[0] = distance[kStrong];
        c[1] = distance[kWeak];
        c[2] = inputs[kStrong] + inputs[kWeak];
    } else {
        c[0] = inputs[kStrong];
        c[1] = inputs[kWeak];
        c[2] = distance[kStrong] + distance[kWeak];
    }
}

bool less3(const int64_t a[3], const int64_t b[3]) {
    return std::lexicographical_compare(a, a + 3, b, b + 3);
}

// ------------------------------------------------------------ exact method

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

template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline void fill_table(const LAYOUT &l, uint32_t full, Word *best, uint64_t *live,
                                                      Word upper) {
    const Word none = static_cast<Word>(~static_cast<Word>(0));
    const size_t words = (static_cast<size_t>(full) >> 6) + 1;
    if (upper == none) {
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
        return;
    }
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

// ------------------------------------------------------- local search etc.

struct ARC {
    int32_t row;
    int32_t kind;
};

// Adjacency of a graph: what each row needs and which rows need it.
struct ADJACENCY {
    std::vector<std::vector<ARC>> needs, needed_by;
};

ADJACENCY adjacency_of(const SEQGRAPH *g) {
    ADJACENCY a;
    a.needs.resize(static_cast<size_t>(g->n));
    a.needed_by.resize(static_cast<size_t>(g->n));
    for (const SEQMARK &mk : g->marks) {
        const int32_t kind = mk.strong ? kStrong : kWeak;
        a.needs[static_cast<size_t>(mk.consumer)].push_back({mk.producer, kind});
        a.needed_by[static_cast<size_t>(mk.producer)].push_back({mk.consumer, kind});
    }
    return a;
}

// Work done by the heuristic and the bound of one part, in steps of a sweep:
// enough for many restarts on a small part, while a model with hundreds of
// large parts still takes seconds, not minutes.
int64_t search_budget(int32_t n) {
    const int64_t square = static_cast<int64_t>(n) * n;
    return std::min<int64_t>(20000 * square, std::max<int64_t>(12000000, std::min<int64_t>(2000 * square, 200000000)));
}
constexpr int64_t kBoundBudget = 20000000;

// An order under local search, with the state that makes a move cheap to
// assess: the position of every row and, for every gap, the marks by kind
// from the rows before it to the rows after it.
struct SEARCH {
    const ADJACENCY *adj;
    int32_t objective;
    int32_t n;
    std::vector<int32_t> order, pos;
    std::vector<int64_t> crossing[2];  // n + 1 gaps, the outer two empty
    std::vector<uint8_t> v_needs, needs_v;  // kind bits of the row being moved
    int64_t work;
    int64_t refresh_work;  // what a refresh of the whole order counts
};

// Positions and gaps of the places first .. last, after the rows there
// changed places among themselves: the gaps outside them keep the same rows
// on each side. The work counted is that of the whole order, so that the
// budget runs out at the same point whichever way the state is renewed.
void refresh_places(SEARCH &s, int32_t first, int32_t last) {
    for (int32_t t = first; t <= last; t++) s.pos[static_cast<size_t>(s.order[static_cast<size_t>(t)])] = t;
    for (int32_t t = first; t <= last; t++) {
        const int32_t x = s.order[static_cast<size_t>(t)];
        int64_t delta[2] = {0, 0};
        for (const ARC &a : s.adj->needs[static_cast<size_t>(x)])
            if (s.pos[static_cast<size_t>(a.row)] > t) delta[a.kind]++;
        for (const ARC &a : s.adj->needed_by[static_cast<size_t>(x)])
            if (s.pos[static_cast<size_t>(a.row)] < t) delta[a.kind]--;
        for (int k = 0; k < 2; k++)
            s.crossing[k][static_cast<size_t>(t) + 1] = s.crossing[k][static_cast<size_t>(t)] + delta[k];
    }
    s.work += s.refresh_work;
}

void refresh(SEARCH &s) {
    for (int k = 0; k < 2; k++) s.crossing[k][0] = 0;
    refresh_places(s, 0, s.n - 1);
}

// Looks at every new position of row v and moves it to the best one when
// that lowers the objective; returns whether it moved.
bool improve_row(SEARCH &s, int32_t v) {
    const int32_t p = s.pos[static_cast<size_t>(v)];
    int64_t out_after[2] = {0, 0}, in_before[2] = {0, 0};
    for (const ARC &a : s.adj->needs[static_cast<size_t>(v)]) {
        s.v_needs[static_cast<size_t>(a.row)] |= static_cast<uint8_t>(1 << a.kind);
        if (s.pos[static_cast<size_t>(a.row)] > p) out_after[a.kind]++;
    }
    for (const ARC &a : s.adj->needed_by[static_cast<size_t>(v)]) {
        s.needs_v[static_cast<size_t>(a.row)] |= static_cast<uint8_t>(1 << a.kind);
        if (s.pos[static_cast<size_t>(a.row)] < p) in_before[a.kind]++;
    }
    int64_t best[3] = {0, 0, 0};
    int32_t best_q = p;
    auto consider = [&](const int64_t dn[2], const int64_t dd[2], int32_t q) {
        int64_t c[3];
        criteria_of(s.objective, dn, dd, c);
        if (less3(c, best)) {
            std::copy(c, c + 3, best);
            best_q = q;
        }
    };
    // Later: the rows passed move up one place, the gaps they leave no longer hold v.
    {
        int64_t out[2] = {out_after[0], out_after[1]}, in[2] = {in_before[0], in_before[1]};
        int64_t dn[2] = {0, 0}, dd[2] = {0, 0};
        for (int32_t k = p + 1; k < s.n; k++) {
            const int32_t x = s.order[static_cast<size_t>(k)];
            const uint8_t vx = s.v_needs[static_cast<size_t>(x)], xv = s.needs_v[static_cast<size_t>(x)];
            for (int kind = 0; kind < 2; kind++) {
                const int64_t v_needs_x = (vx >> kind) & 1, x_needs_v = (xv >> kind) & 1;
                out[kind] -= v_needs_x;
                in[kind] += x_needs_v;
                dd[kind] += s.crossing[kind][static_cast<size_t>(k) + 1] -
                            s.crossing[kind][static_cast<size_t>(k)] - out[kind] + in[kind];
                dn[kind] += x_needs_v - v_needs_x;
            }
            consider(dn, dd, k);
        }
    }
    // Earlier: the rows passed move down one place, the gaps they reach now hold v.
    {
        int64_t out[2] = {out_after[0], out_after[1]}, in[2] = {in_before[0], in_before[1]};
        int64_t dn[2] = {0, 0}, dd[2] = {0, 0};
        for (int32_t q = p - 1; q >= 0; q--) {
            const int32_t x = s.order[static_cast<size_t>(q)];
            const uint8_t vx = s.v_needs[static_cast<size_t>(x)], xv = s.needs_v[static_cast<size_t>(x)];
            for (int kind = 0; kind < 2; kind++) {
                const int64_t v_needs_x = (vx >> kind) & 1, x_needs_v = (xv >> kind) & 1;
                out[kind] += v_needs_x;
                in[kind] -= x_needs_v;
                dd[kind] += s.crossing[kind][static_cast<size_t>(q)] + out[kind] - in[kind] -
                            s.crossing[kind][static_cast<size_t>(q) + 1];
                dn[kind] += v_needs_x - x_needs_v;
            }
            consider(dn, dd, q);
        }
    }
    for (const ARC &a : s.adj->needs[static_cast<size_t>(v)]) s.v_needs[static_cast<size_t>(a.row)] = 0;
    for (const ARC &a : s.adj->needed_by[static_cast<size_t>(v)]) s.needs_v[static_cast<size_t>(a.row)] = 0;
    s.work += s.n;
    if (best_q == p) return false;
    auto first = s.order.begin();
    if (best_q > p) {
        std::rotate(first + p, first + p + 1, first + best_q + 1);
        refresh_places(s, p, best_q);
    } else {
        std::rotate(first + best_q, first + p, first + p + 1);
        refresh_places(s, best_q, p);
    }
    return true;
}

// Moves single rows to their best places until no move helps or the budget
// is spent.
void local_search(SEARCH &s, int64_t budget) {
    bool moved = true;
    while (moved && s.work < budget) {
        moved = false;
        for (int32_t v = 0; v < s.n && s.work < budget; v++) moved = improve_row(s, v) || moved;
    }
}

void criteria_of_order(const SEQGRAPH *g, int32_t objective, const std::vector<int32_t> &order,
                       int64_t c[3]) {
    BLOCKSEQ m{};
    kavelon_measure_order(g, order, &m);
    kavelon_objective_criteria(&m, objective, c);
}

// A constructive order: rows with nothing left to wait for go to the front,
// rows nothing waits for to the back, otherwise the row that most others
// wait for (strong marks weighing most) goes to the front.
std::vector<int32_t> greedy_order(const ADJACENCY &adj, int32_t n) {
    const int64_t strong_weight = static_cast<int64_t>(n) * n + 1;
    std::vector<int64_t> in_weight(static_cast<size_t>(n), 0), out_weight(static_cast<size_t>(n), 0);
    std::vector<int32_t> in_count(static_cast<size_t>(n), 0), out_count(static_cast<size_t>(n), 0);
    auto weight = [&](int32_t kind) { return kind == kStrong ? strong_weight : 1; };
    for (int32_t v = 0; v < n; v++) {
        for (const ARC &a : adj.needs[static_cast<size_t>(v)]) {
            in_weight[static_cast<size_t>(v)] += weight(a.kind);
            in_count[static_cast<size_t>(v)]++;
        }
        for (const ARC &a : adj.needed_by[static_cast<size_t>(v)]) {
            out_weight[static_cast<size_t>(v)] += weight(a.kind);
            out_count[static_cast<size_t>(v)]++;
        }
    }
    std::vector<uint8_t> placed(static_cast<size_t>(n), 0);
    std::vector<int32_t> front, back;
    auto place = [&](int32_t v) {
        placed[static_cast<size_t>(v)] = 1;
        for (const ARC &a : adj.needs[static_cast<size_t>(v)]) {
            out_weight[static_cast<size_t>(a.row)] -= weight(a.kind);
            out_count[static_cast<size_t>(a.row)]--;
        }
        for (const ARC &a : adj.needed_by[static_cast<size_t>(v)]) {
            in_weight[static_cast<size_t>(a.row)] -= weight(a.kind);
            in_count[static_cast<size_t>(a.row)]--;
        }
    };
    for (int32_t left = n; left > 0; left--) {
        int32_t source = -1, sink = -1, best = -1;
        for (int32_t v = 0; v < n; v++) {
            if (placed[static_cast<size_t>(v)]) continue;
            if (in_count[static_cast<size_t>(v)] == 0) {
                source = v;
                break;
            }
            if (sink < 0 && out_count[static_cast<size_t>(v)] == 0) sink = v;
            if (best < 0 || out_weight[static_cast<size_t>(v)] - in_weight[static_cast<size_t>(v)] >
                                out_weight[static_cast<size_t>(best)] - in_weight[static_cast<size_t>(best)])
                best = v;
        }
        if (source >= 0) {
            front.push_back(source);
            place(source);
        } else if (sink >= 0) {
            back.push_back(sink);
            place(sink);
        } else {
            front.push_back(best);
            place(best);
        }
    }
    front.insert(front.end(), back.rbegin(), back.rend());
    return front;
}

// ------------------------------------------------------------- lower bound

// Every cycle keeps at least one feedback mark, and the feedback marks of a
// cycle of L rows together span at least L - 1 rows. So a set of cycles that
// share no mark bounds the number of feedback marks (one per cycle) and their
// distance (L - 1 per cycle). The cycles are taken greedily, shortest first
// from each row. Counts cycles among the marks of the chosen kinds.
void pack_cycles(const ADJACENCY &adj, int32_t n, bool strong, bool weak, int64_t *count,
                 int64_t *distance, int64_t *work) {
    *count = 0;
    *distance = 0;
    // Arcs of the chosen kinds, each usable once.
    std::vector<std::vector<std::pair<int32_t, size_t>>> out(static_cast<size_t>(n));
    size_t arcs = 0;
    for (int32_t v = 0; v < n; v++)
        for (const ARC &a : adj.needs[static_cast<size_t>(v)])
            if ((a.kind == kStrong && strong) || (a.kind == kWeak && weak))
                out[static_cast<size_t>(v)].push_back({a.row, arcs++});
    std::vector<uint8_t> used(arcs, 0);
    std::vector<int32_t> seen(static_cast<size_t>(n), -1), queue(static_cast<size_t>(n));
    std::vector<std::pair<int32_t, size_t>> parent(static_cast<size_t>(n));
    int32_t stamp = 0;
    for (int32_t s = 0; s < n; s++) {
        for (;;) {
            if (*work > kBoundBudget) return;
            // Breadth-first from s over unused arcs until an arc back to s.
            stamp++;
            size_t head = 0, tail = 0;
            queue[tail++] = s;
            seen[static_cast<size_t>(s)] = stamp;
            int32_t last = -1;
            size_t closing = 0;
            while (head < tail && last < 0) {
                const int32_t u = queue[head++];
                for (const auto &arc : out[static_cast<size_t>(u)]) {
                    (*work)++;
                    if (used[arc.second]) continue;
                    if (arc.first == s) {
                        last = u;
                        closing = arc.second;
                        break;
                    }
                    if (seen[static_cast<size_t>(arc.first)] == stamp) continue;
                    seen[static_cast<size_t>(arc.first)] = stamp;
                    parent[static_cast<size_t>(arc.first)] = {u, arc.second};
                    queue[tail++] = arc.first;
                }
            }
            if (last < 0) break;
            int64_t length = 1;
            used[closing] = 1;
            for (int32_t u = last; u != s; u = parent[static_cast<size_t>(u)].first) {
                used[parent[static_cast<size_t>(u)].second] = 1;
                length++;
            }
            (*count)++;
            *distance += length - 1;
        }
    }
}

void lower_bound(const ADJACENCY &adj, int32_t n, int32_t objective, int64_t bound[3]) {
    int64_t work = 0;
    int64_t count[3], distance[3];  // strong marks, weak and ICD marks, all marks
    pack_cycles(adj, n, true, false, &count[0], &distance[0], &work);
    pack_cycles(adj, n, false, true, &count[1], &distance[1], &work);
    pack_cycles(adj, n, true, true, &count[2], &distance[2], &work);
    const int64_t inputs = std::max(count[2], count[0] + count[1]);
    // A distance is never below the number of marks it sums.
    const int64_t strong_distance = std::max(distance[0], count[0]);
    const int64_t weak_distance = std::max(distance[1], count[1]);
    const int64_t total_distance =
        std::max({distance[2], strong_distance + weak_distance, inputs});
    if (objective == KAVELON_SEQUENCE_DISTANCE) {
        bound[0] = strong_distance;
        bound[1] = weak_distance;
        bound[2] = inputs;
    } else {
        bound[0] = count[0];
        bound[1] = count[1];
        bound[2] = total_distance;
    }
}

// --------------------------------------------------------- parts of blocks

// The parts of a graph within which every row reaches every other, listed
// so that no part needs a row of a later one; among the parts free to come
// next, the one holding the lowest row comes first.
std::vector<std::vector<int32_t>> cyclic_parts(const SEQGRAPH *g) {
    const size_t n = static_cast<size_t>(g->n);
    // What each row needs, as the lists the component search reads.
    ROWGRAPH needs;
    needs.first.assign(n + 1, 0);
    needs.input.resize(g->marks.size());
    for (const SEQMARK &m : g->marks) needs.first[static_cast<size_t>(m.consumer) + 1]++;
    for (size_t v = 0; v < n; v++) needs.first[v + 1] += needs.first[v];
    std::vector<size_t> next(needs.first.begin(), needs.first.end() - 1);
    for (const SEQMARK &m : g->marks) needs.input[next[static_cast<size_t>(m.consumer)]++] = m.producer;
    COMPONENTS components;
    kavelon_find_components(&needs, g->n, &components);
    const std::vector<int32_t> &part = components.of_row;
    const int32_t nparts = static_cast<int32_t>(components.first.size()) - 1;
    // Rows of each part in ascending order; a part waits for the parts it needs.
    std::vector<std::vector<int32_t>> rows(static_cast<size_t>(nparts));
    for (size_t v = 0; v < n; v++) rows[static_cast<size_t>(part[v])].push_back(static_cast<int32_t>(v));
    std::vector<int32_t> waiting(static_cast<size_t>(nparts), 0);
    std::vector<std::vector<int32_t>> enables(static_cast<size_t>(nparts));
    for (const SEQMARK &m : g->marks) {
        const int32_t pc = part[static_cast<size_t>(m.consumer)], pp = part[static_cast<size_t>(m.producer)];
        if (pc == pp) continue;
        waiting[static_cast<size_t>(pc)]++;
        enables[static_cast<size_t>(pp)].push_back(pc);
    }
    // Ready parts by their lowest row.
    std::priority_queue<std::pair<int32_t, int32_t>, std::vector<std::pair<int32_t, int32_t>>,
                        std::greater<>>
        ready;
    for (int32_t c = 0; c < nparts; c++)
        if (waiting[static_cast<size_t>(c)] == 0) ready.push({rows[static_cast<size_t>(c)][0], c});
    std::vector<std::vector<int32_t>> result;
    while (!ready.empty()) {
        const int32_t c = ready.top().second;
        ready.pop();
        result.push_back(std::move(rows[static_cast<size_t>(c)]));
        for (int32_t e : enables[static_cast<size_t>(c)])
            if (--waiting[static_cast<size_t>(e)] == 0) ready.push({rows[static_cast<size_t>(e)][0], e});
    }
    return result;
}

// The graph of the given rows of g, renumbered 0 .. size - 1 in their order.
SEQGRAPH subgraph(const SEQGRAPH *g, const std::vector<int32_t> &rows, std::vector<int32_t> &local) {
    SEQGRAPH sub;
    sub.n = static_cast<int32_t>(rows.size());
    for (size_t t = 0; t < rows.size(); t++) local[static_cast<size_t>(rows[t])] = static_cast<int32_t>(t);
    for (const SEQMARK &m : g->marks) {
        const int32_t c = local[static_cast<size_t>(m.consumer)], p = local[static_cast<size_t>(m.producer)];
        if (c >= 0 && p >= 0) sub.marks.push_back({c, p, m.strong});
    }
    for (int32_t r : rows) local[static_cast<size_t>(r)] = -1;
    return sub;
}

// The exact order of g and its measures, whose criteria are then the bound
// as well. Returns 1 when the exact method's memory cannot be had.
int order_exactly_measured(const SEQGRAPH *g, int32_t objective, SEQRESULT *r) {
    if (kavelon_order_exactly(g, objective, &r->order) != 0) return 1;
    kavelon_measure_order(g, r->order, &r->sequence);
    kavelon_objective_criteria(&r->sequence, objective, r->sequence.bound);
    return 0;
}

// The row after the last of the block that starts at row first.
int32_t block_end(const KAVELON *dt, int32_t first) {
    const int32_t block = dt->d[first]->block_order;
    int32_t end = first + 1;
    while (end < dt->n && dt->d[end]->block_order == block) end++;
    return end;
}

}  // namespace

// ------------------------------------------------------------------ public

void kavelon_build_block_graph(const KAVELON *dt, int32_t first, int32_t count, SEQGRAPH *g) {
    g->n = count;
    g->marks.clear();
    const int32_t end = first + count;
    for (int32_t i = first; i < end; i++) {
        const KAVROW &row = dt->P[i];
        for (int32_t t = kavelon_first_cell_from(&row, first); t < row.count && row.cell[t].col < end; t++) {
            const int32_t j = row.cell[t].col;
            const char code = row.cell[t].code;
            if (j == i) continue;
            if (code == DEP_STRONG) {
                g->marks.push_back({i - first, j - first, 1});
            } else if (code == DEP_WEAK || code == DEP_ICD) {
                g->marks.push_back({i - first, j - first, 0});
            }
        }
    }
}

void kavelon_measure_order(const SEQGRAPH *g, const std::vector<int32_t> &order, BLOCKSEQ *s) {
    std::vector<int32_t> pos(static_cast<size_t>(g->n), 0);
    for (size_t t = 0; t < order.size(); t++) pos[static_cast<size_t>(order[t])] = static_cast<int32_t>(t);
    s->strong_inputs = s->weak_inputs = s->strong_distance = s->weak_distance = 0;
    for (const SEQMARK &m : g->marks) {
        const int32_t distance = pos[static_cast<size_t>(m.producer)] - pos[static_cast<size_t>(m.consumer)];
        if (distance <= 0) continue;
        if (m.strong) {
            s->strong_inputs++;
            s->strong_distance += distance;
        } else {
            s->weak_inputs++;
            s->weak_distance += distance;
        }
    }
}

void kavelon_objective_criteria(const BLOCKSEQ *s, int32_t objective, int64_t criteria[3]) {
    const int64_t inputs[2] = {s->strong_inputs, s->weak_inputs};
    const int64_t distance[2] = {s->strong_distance, s->weak_distance};
    criteria_of(objective, inputs, distance, criteria);
}

int kavelon_order_exactly(const SEQGRAPH *g, int32_t objective, std::vector<int32_t> *order,
                          int32_t prune_from) {
    const int32_t n = g->n;
    order->clear();
    if (n < 0 || n > KAVELON_EXACT_LIMIT) return 1;
    if (n == 0) return 0;
    LAYOUT l{};
    l.n = n;
    uint64_t marks[2] = {0, 0};
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
    const int bits = bits0 + bits1 + bits2;
    static_assert(KAVELON_EXACT_LIMIT <= 24, "the packed fields hold the costs of at most 24 rows");
    // On larger sparse blocks an order from the heuristic first bounds the
    // search: most sets placed first then cannot lead to a best order. On
    // dense ones too many can, and the bound would only cost time.
    const uint64_t cells = static_cast<uint64_t>(n) * static_cast<uint64_t>(n - 1);
    const bool sparse = (marks[0] + marks[1]) * 100 < cells * 20;
    uint64_t upper = 0;
    const uint64_t *bound = nullptr;
    if (n >= prune_from && (sparse || prune_from == 0)) {
        SEQRESULT h;
        kavelon_order_heuristically(g, objective, &h, false);
        const BLOCKSEQ &m = h.sequence;
        const uint64_t ds = static_cast<uint64_t>(m.strong_distance), dw = static_cast<uint64_t>(m.weak_distance);
        const uint64_t ns = static_cast<uint64_t>(m.strong_inputs), nw = static_cast<uint64_t>(m.weak_inputs);
        upper = objective == KAVELON_SEQUENCE_DISTANCE
                    ? pack_fields<uint64_t>(l, ds + l.offset[0] * positions, dw + l.offset[1] * positions, ns + nw)
                    : pack_fields<uint64_t>(l, ns, nw, ds + dw + l.offset[0] * positions);
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

void kavelon_order_heuristically(const SEQGRAPH *g, int32_t objective, SEQRESULT *r, bool with_bound) {
    const int32_t n = g->n;
    const ADJACENCY adj = adjacency_of(g);
    SEARCH s;
    s.adj = &adj;
    s.objective = objective;
    s.n = n;
    s.pos.assign(static_cast<size_t>(n), 0);
    for (auto &c : s.crossing) c.assign(static_cast<size_t>(n) + 1, 0);
    s.v_needs.assign(static_cast<size_t>(n), 0);
    s.needs_v.assign(static_cast<size_t>(n), 0);
    s.work = 0;
    s.refresh_work = static_cast<int64_t>(n) + 2 * static_cast<int64_t>(g->marks.size());

    std::vector<int32_t> best_order;
    int64_t best[3] = {0, 0, 0};
    auto try_start = [&](std::vector<int32_t> start, int64_t budget) {
        s.order = std::move(start);
        refresh(s);
        local_search(s, budget);
        int64_t c[3];
        criteria_of_order(g, objective, s.order, c);
        if (best_order.empty() || less3(c, best)) {
            std::copy(c, c + 3, best);
            best_order = s.order;
        }
    };
    std::vector<int32_t> present(static_cast<size_t>(n));
    for (int32_t t = 0; t < n; t++) present[static_cast<size_t>(t)] = t;
    // As the exact method's upper bound an order needs only be good, not
    // the best the search can find: most of its gain comes early.
    const int64_t budget = with_bound ? search_budget(n) : search_budget(n) / 8;
    try_start(greedy_order(adj, n), budget);
    try_start(present, budget);
    // Restarts from the best so far, shaken by a few random moves; a fixed
    // seed keeps results the same from run to run.
    std::mt19937 rng(12345);
    // A plain remainder rather than a distribution, whose results differ
    // between standard libraries.
    auto any = [&](std::mt19937 &engine) { return static_cast<int32_t>(engine() % static_cast<uint32_t>(n)); };
    // Small parts reach their best within a few restarts.
    const int restarts = n < 16 ? 10 * n : 40 * n;
    for (int restart = 0; s.work < budget && restart < restarts && n > 2; restart++) {
        // Mostly the best so far shaken by moves of growing strength, from
        // two to a quarter of the rows; now and then a fresh random order.
        const int32_t shakes = restart % 4 == 3 ? 4 * n : 2 + restart % std::max<int32_t>(1, n / 4);
        std::vector<int32_t> start = best_order;
        for (int32_t k = 0; k < shakes; k++) {
            const int32_t from = any(rng), to = any(rng);
            const int32_t v = start[static_cast<size_t>(from)];
            start.erase(start.begin() + from);
            start.insert(start.begin() + to, v);
        }
        try_start(std::move(start), budget);
    }
    r->order = best_order;
    r->sequence = BLOCKSEQ{};
    kavelon_measure_order(g, r->order, &r->sequence);
    if (!with_bound) return;
    lower_bound(adj, n, objective, r->sequence.bound);
    r->sequence.method = KAVELON_METHOD_HEURISTIC;
    r->sequence.optimal = std::equal(best, best + 3, r->sequence.bound) ? 1 : 0;
}

void kavelon_order_block(const SEQGRAPH *g, int32_t objective, int32_t exact_limit, SEQRESULT *r) {
    const int32_t n = g->n;
    exact_limit = std::min(exact_limit, KAVELON_EXACT_LIMIT);
    BLOCKSEQ &seq = r->sequence;
    seq = BLOCKSEQ{};
    r->order.clear();
    const std::vector<std::vector<int32_t>> parts = cyclic_parts(g);
    if (parts.size() == static_cast<size_t>(n)) {
        // No cycle: taking each time the lowest row free to come next gives
        // the smallest of the orders in which no row needs a later one.
        for (const std::vector<int32_t> &rows : parts) r->order.push_back(rows[0]);
        seq.method = KAVELON_METHOD_TOPOLOGICAL;
        seq.optimal = 1;
        return;
    }
    if (n <= exact_limit) {
        if (order_exactly_measured(g, objective, r) == 0) {
            seq.method = KAVELON_METHOD_EXACT;
            seq.optimal = 1;
            return;
        }
        seq.memory_fallback = 1;
    }
    // No order gains from mixing parts: kept whole and in dependency order,
    // the marks between parts are none of them feedback, and each part's own
    // marks only get shorter.
    std::vector<int32_t> local(static_cast<size_t>(n), -1);
    bool any_heuristic = false;
    int64_t bound[3] = {0, 0, 0};
    for (const std::vector<int32_t> &rows : parts) {
        if (rows.size() == 1) {
            r->order.push_back(rows[0]);
            continue;
        }
        const SEQGRAPH sub = subgraph(g, rows, local);
        SEQRESULT part;
        bool done = false;
        if (sub.n <= exact_limit && seq.memory_fallback == 0) {
            if (order_exactly_measured(&sub, objective, &part) == 0) {
                done = true;
            } else {
                seq.memory_fallback = 1;
            }
        }
        if (!done) {
            kavelon_order_heuristically(&sub, objective, &part, true);
            any_heuristic = true;
        }
        for (int k = 0; k < 3; k++) bound[k] += part.sequence.bound[k];
        for (int32_t t : part.order) r->order.push_back(rows[static_cast<size_t>(t)]);
    }
    kavelon_measure_order(g, r->order, &seq);
    std::copy(bound, bound + 3, seq.bound);
    int64_t c[3];
    kavelon_objective_criteria(&seq, objective, c);
    seq.optimal = std::equal(c, c + 3, bound) ? 1 : 0;
    seq.method = any_heuristic ? KAVELON_METHOD_HEURISTIC : KAVELON_METHOD_EXACT;
}

int kavelon_sequence_blocks(KAVELON *dt) {
    if (dt->sequence == KAVELON_SEQUENCE_NONE) return 0;
    const int32_t n = dt->n;
    try {
        std::vector<int32_t> perm(static_cast<size_t>(n));
        bool moved = false;
        delete[] dt->block_sequence;  // a record sequenced again keeps one result table
        dt->block_sequence = nullptr;
        dt->block_sequence = new BLOCKSEQ[static_cast<size_t>(std::max(dt->nblock, 1))]();
        SEQGRAPH g;
        SEQRESULT r;
        for (int32_t first = 0, end = 0; first < n; first = end) {
            const int32_t block = dt->d[first]->block_order;
            end = block_end(dt, first);
            const int32_t count = end - first;
            kavelon_build_block_graph(dt, first, count, &g);
            kavelon_order_block(&g, dt->sequence, KAVELON_EXACT_LIMIT, &r);
            for (int32_t t = 0; t < count; t++) {
                perm[static_cast<size_t>(first + t)] = first + r.order[static_cast<size_t>(t)];
                moved = moved || r.order[static_cast<size_t>(t)] != t;
            }
            if (block >= 1 && block <= dt->nblock) dt->block_sequence[block - 1] = r.sequence;
            if (count >= 2) {
                kavelon_print_trace(
                    dt,
                    "sequence block %d: %d rows, %lld strong and %lld weak/ICD inputs to assume, "
                    "feedback distance %lld, %s\n",
                    block, count, static_cast<long long>(r.sequence.strong_inputs),
                    static_cast<long long>(r.sequence.weak_inputs),
                    static_cast<long long>(r.sequence.strong_distance + r.sequence.weak_distance),
                    r.sequence.optimal ? "optimal" : "not proven optimal");
            }
        }
        kavelon_flush_trace(dt);
        if (moved && kavelon_permute_rows(dt, perm.data()) != 0) return 1;
    } catch (const std::bad_alloc &) {
        return 1;
    }
    // Positions within an independent block follow the new order.
    for (int32_t first = 0, end = 0; first < n; first = end) {
        end = block_end(dt, first);
        if (dt->d[first]->subblock_order == 0) continue;
        for (int32_t i = first; i < end; i++) dt->d[i]->subblock_order = i - first + 1;
    }
    return 0;
}
