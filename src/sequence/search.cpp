// The heuristic sequencing method for blocks too large for the exact one:
// local search from a constructive order and from the present one, with
// shaken restarts, and a lower bound from cycles that share no mark, which
// tells how far from the best the result can be.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "sequence/methods.h"

namespace {

constexpr int kStrong = KAVELON_KIND_STRONG;
constexpr int kWeak = KAVELON_KIND_WEAK;

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
        kavelon_sequence_criteria(s.objective, dn, dd, c);
        if (kavelon_criteria_less(c, best)) {
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

// A search over the rows of g by the objective, its order still to be set.
SEARCH search_of(const SEQGRAPH *g, const ADJACENCY *adj, int32_t objective) {
    const int32_t n = g->n;
    SEARCH s;
    s.adj = adj;
    s.objective = objective;
    s.n = n;
    s.pos.assign(static_cast<size_t>(n), 0);
    for (auto &c : s.crossing) c.assign(static_cast<size_t>(n) + 1, 0);
    s.v_needs.assign(static_cast<size_t>(n), 0);
    s.needs_v.assign(static_cast<size_t>(n), 0);
    s.work = 0;
    s.refresh_work = static_cast<int64_t>(n) + 2 * static_cast<int64_t>(g->marks.size());
    return s;
}

// Moves `moves` rows of the order, one after another, each from a random
// place to a random place. A plain remainder rather than a distribution,
// whose results differ between standard libraries.
void shake(std::vector<int32_t> *order, int32_t moves, std::mt19937 &rng) {
    const uint32_t n = static_cast<uint32_t>(order->size());
    for (int32_t k = 0; k < moves; k++) {
        const int32_t from = static_cast<int32_t>(rng() % n), to = static_cast<int32_t>(rng() % n);
        const int32_t v = (*order)[static_cast<size_t>(from)];
        order->erase(order->begin() + from);
        order->insert(order->begin() + to, v);
    }
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
}  // namespace

void kavelon_order_heuristically(const SEQGRAPH *g, int32_t objective, SEQRESULT *r, bool with_bound) {
    const int32_t n = g->n;
    const ADJACENCY adj = adjacency_of(g);
    SEARCH s = search_of(g, &adj, objective);

    std::vector<int32_t> best_order;
    int64_t best[3] = {0, 0, 0};
    auto try_start = [&](std::vector<int32_t> start, int64_t budget) {
        s.order = std::move(start);
        refresh(s);
        local_search(s, budget);
        int64_t c[3];
        criteria_of_order(g, objective, s.order, c);
        if (best_order.empty() || kavelon_criteria_less(c, best)) {
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
    // Small parts reach their best within a few restarts.
    const int restarts = n < 16 ? 10 * n : 40 * n;
    for (int restart = 0; s.work < budget && restart < restarts && n > 2; restart++) {
        // Mostly the best so far shaken by moves of growing strength, from
        // two to a quarter of the rows; now and then a fresh random order.
        const int32_t shakes = restart % 4 == 3 ? 4 * n : 2 + restart % std::max<int32_t>(1, n / 4);
        std::vector<int32_t> start = best_order;
        shake(&start, shakes, rng);
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

void kavelon_improve_order(const SEQGRAPH *g, int32_t objective, std::vector<int32_t> *order) {
    const int32_t n = g->n;
    if (n < 2 || order->size() != static_cast<size_t>(n)) return;
    const ADJACENCY adj = adjacency_of(g);
    SEARCH s = search_of(g, &adj, objective);
    s.order = *order;
    refresh(s);
    // A move is taken only when it lowers the criteria in their order, so
    // the order never gets worse; one descent, not the restarts.
    local_search(s, search_budget(n) / 8);
    *order = s.order;
}

void kavelon_improve_order_until(const SEQGRAPH *g, int32_t objective,
                                 std::chrono::steady_clock::time_point deadline, std::vector<int32_t> *order) {
    const int32_t n = g->n;
    if (n < 2 || order->size() != static_cast<size_t>(n)) return;
    const ADJACENCY adj = adjacency_of(g);
    SEARCH s = search_of(g, &adj, objective);
    std::mt19937 rng(1);
    std::vector<int32_t> current = *order;
    int64_t now[3], best[3];
    criteria_of_order(g, objective, current, now);
    std::copy(now, now + 3, best);
    const int32_t most = std::max<int32_t>(1, n / 8);
    for (int32_t round = 0; std::chrono::steady_clock::now() < deadline; round++) {
        s.order = current;
        shake(&s.order, 2 + round % most, rng);
        s.work = 0;
        refresh(s);
        local_search(s, search_budget(n) / 8);
        int64_t c[3];
        criteria_of_order(g, objective, s.order, c);
        // Worse in the first two criteria; the distance alone does not hold
        // the search back.
        if (std::lexicographical_compare(now, now + 2, c, c + 2)) continue;
        std::copy(c, c + 3, now);
        current = s.order;
        if (kavelon_criteria_less(c, best)) {
            std::copy(c, c + 3, best);
            *order = current;
        }
    }
}
