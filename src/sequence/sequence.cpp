// The sequencing stage: the order of the rows of each block that leaves the
// fewest inputs to assume (or the smallest feedback distance). Blocks up to
// KAVELON_EXACT_LIMIT rows get a provably best order from the exact method;
// larger ones are split into their cyclic parts, each ordered exactly where
// it fits and otherwise by local search with a lower bound.
#include <algorithm>
#include <cstdint>
#include <new>
#include <queue>
#include <utility>
#include <vector>

#include "ordering/components.h"
#include "sequence/methods.h"
#include "sequence/sequence.h"

namespace {

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
    kavelon_sequence_criteria(objective, inputs, distance, criteria);
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
            end = kavelon_block_end(dt, first);
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
        end = kavelon_block_end(dt, first);
        if (dt->d[first]->subblock_order == 0) continue;
        for (int32_t i = first; i < end; i++) dt->d[i]->subblock_order = i - first + 1;
    }
    return 0;
}
