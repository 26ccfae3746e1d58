// The exact sequencing method: a provably best order of a block of up to
// KAVELON_EXACT_LIMIT rows, from a dynamic program over the sets of rows
// placed first. On larger sparse blocks an order from the local search
// bounds the program, and short cycles among the rows still to place
// tighten that bound.
#include <sys/mman.h>

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
constexpr size_t kLargePage = size_t{1} << 21;
constexpr int32_t kDistancePruneFrom = 22;  // rows from which -sDIST may be bounded

// The dynamic program over the sets S of rows placed first. Placing row v
// after S makes feedback marks of the rows of S that need v: the counts are
// sums of terms of (S, v). A feedback mark's distance is the number of
// boundaries between positions that it crosses, and the marks crossing the
// boundary after the first |S| positions are those from S to the rest: the
// distances are sums of terms of S alone, one for each set on the way. The
// cost of the steps after S is then the term of S plus the least, over the
// rows v to place next, of the term of (S, v) and the cost after S + v.
// Every term is at or above zero, and a term of S alone is counted once per
// set instead of once per row placed after it.
//
// The three criteria of a partial cost are packed into one word, a number
// whose digits they are, the first the most significant, so that adding and
// comparing are single operations. Each digit's base is one more than the
// largest value its criterion takes in any order, so that sums never carry
// from one to the next; a table of 32-bit words is used when they fit, as
// they do for every block of up to 24 rows that gives a mark only once,
// which halves the memory.
struct LAYOUT {
    uint32_t needs[2][KAVELON_EXACT_LIMIT];      // rows that row v needs, by kind
    uint32_t needed_by[2][KAVELON_EXACT_LIMIT];  // rows that need row v, by kind
    uint32_t needs_all[KAVELON_EXACT_LIMIT], needed_by_all[KAVELON_EXACT_LIMIT];
    uint64_t scale0, scale1;  // of the first and the second field
    int32_t n;
    // Whether a row needs another by marks of both kinds: the feedback count
    // then takes both, where the rows that need v by any kind take it once.
    int32_t both_kinds;
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

template <typename Word>
__attribute__((always_inline)) inline Word pack_fields(const LAYOUT &l, uint64_t a, uint64_t b, uint64_t c) {
    return static_cast<Word>(a * l.scale0 + b * l.scale1 + c);
}

// The term of placing row v after the set `placed`: the feedback marks of
// the rows of the set that need v.
template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline Word step_cost(const LAYOUT &l, uint32_t placed, int v) {
    const uint32_t in_all = static_cast<uint32_t>(__builtin_popcount(placed & l.needed_by_all[v]));
    if (Objective == KAVELON_SEQUENCE_DISTANCE) {
        if (l.both_kinds == 0) return static_cast<Word>(in_all);
        return static_cast<Word>(in_all + static_cast<uint32_t>(__builtin_popcount(
                                              placed & l.needed_by[kStrong][v] & l.needed_by[kWeak][v])));
    }
    const uint32_t in_s = static_cast<uint32_t>(__builtin_popcount(placed & l.needed_by[kStrong][v]));
    return static_cast<Word>(in_s * l.scale0 + (in_all - in_s) * l.scale1);
}

// The term of a set alone: the marks from its rows to the rest, by kind
// for -sDIST, of any kind for -s.
template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline Word set_cost(const LAYOUT &l, uint32_t placed) {
    uint64_t cross[3] = {0, 0, 0};
    for (uint32_t rows = placed; rows != 0; rows &= rows - 1) {
        const int a = __builtin_ctz(rows);
        if (Objective == KAVELON_SEQUENCE_DISTANCE) {
            cross[kStrong] += static_cast<uint64_t>(__builtin_popcount(l.needs[kStrong][a] & ~placed));
            cross[kWeak] += static_cast<uint64_t>(__builtin_popcount(l.needs[kWeak][a] & ~placed));
        } else {
            cross[2] += static_cast<uint64_t>(__builtin_popcount(l.needs_all[a] & ~placed));
        }
    }
    return Objective == KAVELON_SEQUENCE_DISTANCE ? pack_fields<Word>(l, cross[kStrong], cross[kWeak], 0)
                                                  : static_cast<Word>(cross[2]);
}

// How the term of a set changes when row u (not in it) joins it: u's marks
// to the rest begin to cross, the set's marks to u cease to. The change may
// be below zero in a field; the words wrap, and the sums they are added to
// are right again.
template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline Word set_cost_change(const LAYOUT &l, uint32_t placed, int u) {
    if (Objective == KAVELON_SEQUENCE_DISTANCE) {
        const Word s = static_cast<Word>(__builtin_popcount(l.needs[kStrong][u] & ~placed)) -
                       static_cast<Word>(__builtin_popcount(l.needed_by[kStrong][u] & placed));
        const Word w = static_cast<Word>(__builtin_popcount(l.needs[kWeak][u] & ~placed)) -
                       static_cast<Word>(__builtin_popcount(l.needed_by[kWeak][u] & placed));
        return static_cast<Word>(s * static_cast<Word>(l.scale0) + w * static_cast<Word>(l.scale1));
    }
    return static_cast<Word>(static_cast<Word>(__builtin_popcount(l.needs_all[u] & ~placed)) -
                             static_cast<Word>(__builtin_popcount(l.needed_by_all[u] & placed)));
}

// A bound that no order of the rows outside S, placed after S, goes below,
// counting the term of S itself: every mark from S to the rest is a
// feedback mark whose producer comes at position |S| or later, and it
// crosses the boundaries from |S| up to its producer.
template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline Word suffix_bound(const LAYOUT &l, uint32_t placed, uint64_t k) {
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
                const uint32_t marks =
                    static_cast<uint32_t>(__builtin_popcount(placed & l.needed_by[kind][__builtin_ctz(r)]));
                int at = size++;
                for (; at > 0 && counts[at - 1] < marks; at--) counts[at] = counts[at - 1];
                counts[at] = marks;
                cross[kind] += marks;
            }
            for (int position = 1; position < size; position++)
                spread[kind] += static_cast<uint64_t>(position) * counts[position];
        }
        return pack_fields<Word>(l, cross[kStrong] + spread[kStrong], cross[kWeak] + spread[kWeak],
                                 cross[kStrong] + cross[kWeak]);
    }
    uint64_t cross[3] = {0, 0, 0};
    for (uint32_t rest = placed; rest != 0; rest &= rest - 1) {
        const int a = __builtin_ctz(rest);
        cross[kStrong] += static_cast<uint64_t>(__builtin_popcount(l.needs[kStrong][a] & ~placed));
        cross[kWeak] += static_cast<uint64_t>(__builtin_popcount(l.needs[kWeak][a] & ~placed));
        if (l.both_kinds != 0)
            cross[2] += static_cast<uint64_t>(__builtin_popcount(l.needs_all[a] & ~placed));
    }
    // The marks crossing from S count once for each kind they are of, and
    // once for every row placed at or after |S|, less the once per row
    // before it that the term of S takes.
    const uint64_t crossing = cross[kStrong] + cross[kWeak];
    return pack_fields<Word>(l, cross[kStrong], cross[kWeak],
                             l.both_kinds == 0 ? crossing : k * crossing - (k > 0 ? k - 1 : 0) * cross[2]);
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
__attribute__((always_inline)) inline bool within(const LAYOUT &l, uint32_t placed, uint64_t k, Word here,
                                                  Word limit) {
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
inline bool is_live(const uint64_t *live, uint32_t set) {
    return ((live[set >> 6] >> (set & 63u)) & 1u) != 0;
}

// Without a bound: every set, from the full one down, in runs of kRun
// sets that differ in their low kBits rows only. The steps that add one of
// those rows stay within the run and are taken set by set. A step that adds
// a higher row b leads from the set S to S + b, 2^b entries further on; the
// sets of a stretch of 2^b of them without b take that step together once
// the stretch above is done, in one pass over both stretches that keeps the
// least so far in each entry. Its term is that of the stretch's first set
// plus a pattern of the run's low rows, the same in every run, so that the
// pass is a plain sum and minimum over arrays.
constexpr int kBits = 6;
constexpr uint32_t kRun = 1u << kBits;

template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline void fill_every_set(const LAYOUT &l, uint32_t full, Word *best,
                                                          uint64_t *live) {
    const Word none = static_cast<Word>(~static_cast<Word>(0));
    const size_t words = (static_cast<size_t>(full) >> 6) + 1;
    const int bits = std::min<int>(l.n, kBits);
    const uint32_t run = 1u << bits, low_rows = run - 1u;
    // The terms of the steps adding row b >= kBits from the run's low rows.
    Word pattern[KAVELON_EXACT_LIMIT][kRun];
    for (int b = bits; b < l.n; b++)
        for (uint32_t low = 0; low < run; low++) pattern[b][low] = step_cost<Objective, Word>(l, low, b);
    // The term of the set, kept up from one set to the next lower one: that
    // one lacks the lowest row of this one and has all rows below it.
    Word term = 0;
    for (uint32_t first = full & ~low_rows;; first -= run) {
        // Runs whose higher rows are all placed take no step from above.
        const bool fresh = first == (full & ~low_rows);
        for (uint32_t low = full & low_rows;; low--) {
            const uint32_t placed = first | low;
            if (placed == full) {
                best[full] = 0;
                continue;
            }
            const uint32_t above = placed + 1u;
            const int lowest = __builtin_ctz(above);
            uint32_t rows = above & ~(1u << lowest);
            term = static_cast<Word>(term - set_cost_change<Objective, Word>(l, rows, lowest));
            for (int u = 0; u < lowest; u++) {
                term = static_cast<Word>(term + set_cost_change<Objective, Word>(l, rows, u));
                rows |= 1u << u;
            }
            Word least = fresh ? none : best[placed];
            for (uint32_t rest = low_rows & ~low; rest != 0; rest &= rest - 1) {
                const int v = __builtin_ctz(rest);
                const Word cost =
                    static_cast<Word>(step_cost<Objective, Word>(l, placed, v) + best[placed | (1u << v)]);
                least = cost < least ? cost : least;
            }
            best[placed] = static_cast<Word>(term + least);
            if (low == 0) break;
        }
        if (first == 0) break;
        // This run completes the stretch above the one without row b, its
        // lowest row; the sets of that one step to b now. They are the
        // first to step from above when all rows above b are placed.
        const int b = __builtin_ctz(first);
        const uint32_t span = 1u << b, below = first - span;
        const bool opens = (below | (2u * span - 1u)) == full;
        const Word *const steps = pattern[b];
        for (uint32_t at = below; at < first; at += run) {
            const Word from = step_cost<Objective, Word>(l, at, b);
            Word *__restrict to = best + at;
            const Word *__restrict next = best + at + span;
            if (opens) {
                for (uint32_t j = 0; j < run; j++) to[j] = static_cast<Word>(from + steps[j] + next[j]);
            } else {
                for (uint32_t j = 0; j < run; j++) {
                    const Word cost = static_cast<Word>(from + steps[j] + next[j]);
                    to[j] = cost < to[j] ? cost : to[j];
                }
            }
        }
    }
    std::fill(live, live + words, ~uint64_t{0});
}

// With a bound, from the front: best[S] becomes the least cost of placing
// S first, for every set reached from a set within the bound; the sets
// beyond it are dropped from live.
template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline void reach_sets(const LAYOUT &l, uint32_t full, Word *best,
                                                      uint64_t *live, Word upper) {
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
            const uint32_t placed =
                static_cast<uint32_t>(w << 6) | static_cast<uint32_t>(__builtin_ctzll(left));
            if (placed == full) continue;
            const Word here = best[placed];
            const uint32_t t = static_cast<uint32_t>(__builtin_popcount(placed));
            if (!within<Objective, Word>(l, placed, t, here, upper)) {
                live[w] &= ~bit;
                continue;
            }
            const Word through = static_cast<Word>(here + set_cost<Objective, Word>(l, placed));
            for (uint32_t rest = full & ~placed; rest != 0; rest &= rest - 1) {
                const int v = __builtin_ctz(rest);
                const Word cost = static_cast<Word>(through + step_cost<Objective, Word>(l, placed, v));
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
__attribute__((always_inline)) inline void settle_sets(const LAYOUT &l, uint32_t full, Word *best,
                                                       uint64_t *live, Word upper) {
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
                    const Word cost =
                        static_cast<Word>(step_cost<Objective, Word>(l, placed, v) + best[next]);
                    least = cost < least ? cost : least;
                }
            }
            if (least == none) {
                live[w] &= ~bit;
            } else {
                best[placed] = static_cast<Word>(set_cost<Objective, Word>(l, placed) + least);
            }
        }
    }
}

template <int32_t Objective, typename Word>
__attribute__((always_inline)) inline void fill_table(const LAYOUT &l, uint32_t full, Word *best,
                                                      uint64_t *live, Word upper) {
    if (upper == static_cast<Word>(~static_cast<Word>(0))) {
        fill_every_set<Objective, Word>(l, full, best, live);
        return;
    }
    reach_sets<Objective, Word>(l, full, best, live, upper);
    settle_sets<Objective, Word>(l, full, best, live, upper);
}

// The same program built three times: for processors with wide vector
// instructions, which the passes over runs of sets use; for those with a
// popcount instruction, which nearly all have and which makes it several
// times faster; and for any.
template <int32_t Objective, typename Word>
void fill_table_any(const LAYOUT &l, uint32_t full, Word *best, uint64_t *live, Word upper) {
    fill_table<Objective, Word>(l, full, best, live, upper);
}
#if defined(__x86_64__)
template <int32_t Objective, typename Word>
__attribute__((target("popcnt"))) void fill_table_popcnt(const LAYOUT &l, uint32_t full, Word *best,
                                                         uint64_t *live, Word upper) {
    fill_table<Objective, Word>(l, full, best, live, upper);
}
template <int32_t Objective, typename Word>
__attribute__((target("avx2,popcnt"))) void fill_table_avx2(const LAYOUT &l, uint32_t full, Word *best,
                                                            uint64_t *live, Word upper) {
    fill_table<Objective, Word>(l, full, best, live, upper);
}
#endif

// upper: the packed cost of a known order, or nullptr.
template <int32_t Objective, typename Word>
int solve(const LAYOUT &l, int32_t n, const uint64_t *upper, std::vector<int32_t> *order) {
    const uint32_t full = (1u << n) - 1u;
    const Word none = static_cast<Word>(~static_cast<Word>(0));
    // 64 MB at 24 rows: refused memory falls back to the heuristic, not to an end.
    // The table is aligned to large pages and asked to be held in them: the
    // first writes to a large table otherwise spend about a third of the
    // time taking its small pages one by one. The page more it is taken with
    // costs address space only: what the table does not cover is never
    // touched.
    struct Release {
        void operator()(unsigned char *p) const { ::operator delete(p); }
    };
    std::unique_ptr<unsigned char, Release> memory;
    std::vector<uint64_t> live_bits;
    const size_t bytes = (static_cast<size_t>(full) + 1) * sizeof(Word);
    const size_t pad = bytes >= kLargePage ? kLargePage : 0;
    try {
        memory.reset(static_cast<unsigned char *>(::operator new(bytes + pad)));
        live_bits.resize((static_cast<size_t>(full) >> 6) + 1);
    } catch (const std::bad_alloc &) {
        return 1;
    }
    unsigned char *start = memory.get();
    if (pad != 0) {
        start += (kLargePage - reinterpret_cast<uintptr_t>(start) % kLargePage) % kLargePage;
#if defined(MADV_HUGEPAGE)
        madvise(start, bytes, MADV_HUGEPAGE);
#endif
    }
    Word *table = reinterpret_cast<Word *>(start);
    uint64_t *live = live_bits.data();
    const Word bound = upper != nullptr ? static_cast<Word>(*upper) : none;
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt")) {
        fill_table_avx2<Objective, Word>(l, full, table, live, bound);
    } else if (__builtin_cpu_supports("popcnt")) {
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
        const Word term = set_cost<Objective, Word>(l, placed);
        for (int v = 0; v < n; v++) {
            if (placed & (1u << v)) continue;
            if (!is_live(live, placed | (1u << v))) continue;
            const Word next = table[placed | (1u << v)];
            const Word cost = static_cast<Word>(term + step_cost<Objective, Word>(l, placed, v) + next);
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

// The rows each row needs and is needed by, and the bases of the packed
// fields for a block of n rows, 1 .. 24.
// Returns the number of packed values, or 0 when they pass 2^63; marks gets
// the number of marks of each kind.
uint64_t lay_out(const SEQGRAPH *g, int32_t objective, LAYOUT *layout, uint64_t marks[2]) {
    LAYOUT &l = *layout;
    const int32_t n = g->n;
    l.n = n;
    marks[0] = marks[1] = 0;
    for (const SEQMARK &mk : g->marks) {
        // A mark of a row on itself is never feedback; the terms of a set
        // rely on there being none.
        if (mk.consumer < 0 || mk.consumer >= n || mk.producer < 0 || mk.producer >= n ||
            mk.consumer == mk.producer)
            continue;
        const int kind = mk.strong ? kStrong : kWeak;
        l.needs[kind][mk.consumer] |= 1u << mk.producer;
        l.needed_by[kind][mk.producer] |= 1u << mk.consumer;
        marks[kind]++;
    }
    uint64_t pairs[2] = {0, 0};  // marked pairs of rows, by kind
    for (int32_t v = 0; v < n; v++) {
        l.needs_all[v] = l.needs[kStrong][v] | l.needs[kWeak][v];
        l.needed_by_all[v] = l.needed_by[kStrong][v] | l.needed_by[kWeak][v];
        if ((l.needs[kStrong][v] & l.needs[kWeak][v]) != 0) l.both_kinds = 1;
        pairs[kStrong] += static_cast<uint64_t>(__builtin_popcount(l.needs[kStrong][v]));
        pairs[kWeak] += static_cast<uint64_t>(__builtin_popcount(l.needs[kWeak][v]));
    }
    // The largest total of each field over all orders, which the sums of
    // the program never pass: the feedback marks, at most one of the two
    // between a pair of rows; and the distances, the sums over the n - 1
    // boundaries between positions of the marks crossing them, at boundary
    // j at most j * (n - j). A mark given twice, which an order's measure
    // counts twice, leaves the looser bounds of every mark spanning n - 1
    // rows.
    const bool twice = l.both_kinds != 0 || pairs[kStrong] != marks[kStrong] || pairs[kWeak] != marks[kWeak];
    const uint64_t row_pairs = static_cast<uint64_t>(n) * static_cast<uint64_t>(n - 1) / 2;
    const auto count_bound = [&](uint64_t m) { return twice ? m : std::min(m, row_pairs); };
    const auto distance_bound = [&](uint64_t m) {
        if (twice) return m * static_cast<uint64_t>(n - 1);
        uint64_t sum = 0;
        for (uint64_t j = 1; j < static_cast<uint64_t>(n); j++)
            sum += std::min(m, j * (static_cast<uint64_t>(n) - j));
        return sum;
    };
    uint64_t largest[3];
    if (objective == KAVELON_SEQUENCE_DISTANCE) {
        largest[0] = distance_bound(marks[kStrong]);
        largest[1] = distance_bound(marks[kWeak]);
        largest[2] = count_bound(marks[kStrong] + marks[kWeak]);
    } else {
        largest[0] = count_bound(marks[kStrong]);
        largest[1] = count_bound(marks[kWeak]);
        largest[2] = distance_bound(marks[kStrong] + marks[kWeak]);
    }
    uint64_t scale1 = 0, scale0 = 0, range = 0;
    if (__builtin_mul_overflow(largest[2] + 1, uint64_t{1}, &scale1) ||
        __builtin_mul_overflow(largest[1] + 1, scale1, &scale0) ||
        __builtin_mul_overflow(largest[0] + 1, scale0, &range) || range > (uint64_t{1} << 63))
        return 0;
    l.scale1 = scale1;
    l.scale0 = scale0;
    return range;
}

// The packed cost of a heuristic order: an upper bound of the best.
uint64_t heuristic_upper(const SEQGRAPH *g, int32_t objective, const LAYOUT &l) {
    SEQRESULT h;
    kavelon_order_heuristically(g, objective, &h, false);
    const BLOCKSEQ &m = h.sequence;
    const uint64_t ds = static_cast<uint64_t>(m.strong_distance), dw = static_cast<uint64_t>(m.weak_distance);
    const uint64_t ns = static_cast<uint64_t>(m.strong_inputs), nw = static_cast<uint64_t>(m.weak_inputs);
    return objective == KAVELON_SEQUENCE_DISTANCE ? pack_fields<uint64_t>(l, ds, dw, ns + nw)
                                                  : pack_fields<uint64_t>(l, ns, nw, ds + dw);
}

}  // namespace

int kavelon_order_exactly(const SEQGRAPH *g, int32_t objective, std::vector<int32_t> *order,
                          int32_t prune_from) {
    const int32_t n = g->n;
    order->clear();
    if (n < 0 || n > KAVELON_EXACT_LIMIT) return 1;
    if (n == 0) return 0;
    // Marks outside the block or of a row on itself are never feedback; a
    // copy without them keeps them from the heuristic's bound as well as
    // from the tables.
    const auto outside = [n](const SEQMARK &mk) {
        return mk.consumer < 0 || mk.consumer >= n || mk.producer < 0 || mk.producer >= n ||
               mk.consumer == mk.producer;
    };
    SEQGRAPH kept;
    if (std::any_of(g->marks.begin(), g->marks.end(), outside)) {
        kept.n = n;
        for (const SEQMARK &mk : g->marks)
            if (!outside(mk)) kept.marks.push_back(mk);
        g = &kept;
    }
    LAYOUT l{};
    uint64_t marks[2];
    const uint64_t range = lay_out(g, objective, &l, marks);
    if (range == 0) return 1;
    // Every packed value stays below the range, under the words' all ones
    // that stand for none.
    const bool narrow = range <= uint64_t{0xffffffffu};
    // On larger sparse blocks an order from the heuristic first bounds the
    // search: most sets placed first then cannot lead to a best order. On
    // dense ones too many can, and the bound would only cost time. The bound
    // of the distances is weaker than that of the counts, and the whole
    // table is filled as fast unless the block is sparser still and large.
    const uint64_t cells = static_cast<uint64_t>(n) * static_cast<uint64_t>(n - 1);
    const bool sparse = objective == KAVELON_SEQUENCE_DISTANCE
                            ? (marks[0] + marks[1]) * 100 < cells * 10 && n >= kDistancePruneFrom
                            : (marks[0] + marks[1]) * 100 < cells * 20;
    uint64_t upper = 0;
    const uint64_t *bound = nullptr;
    if (n >= prune_from && (sparse || prune_from == 0)) {
        upper = heuristic_upper(g, objective, l);
        bound = &upper;
        find_cycles(&l);
        find_open(&l);
    }
    if (objective == KAVELON_SEQUENCE_DISTANCE) {
        return narrow ? solve<KAVELON_SEQUENCE_DISTANCE, uint32_t>(l, n, bound, order)
                      : solve<KAVELON_SEQUENCE_DISTANCE, uint64_t>(l, n, bound, order);
    }
    return narrow ? solve<KAVELON_SEQUENCE_INPUTS, uint32_t>(l, n, bound, order)
                  : solve<KAVELON_SEQUENCE_INPUTS, uint64_t>(l, n, bound, order);
}
