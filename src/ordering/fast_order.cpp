// Fast ordering for runs without the debug trace. Nothing of the step-by-step
// block search is visible then except its result, so the same blocks, row
// order and predecessor blocks are computed here from the strongly connected
// components of the strong dependencies, in time close to linear in the
// number of activities and dependencies.
//
// When the work arrays cannot be had, each stage hands over to its
// step-by-step counterpart, which needs no memory of its own and gives the
// same result; a stage never fails for want of memory here.
#include <algorithm>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "ordering/components.h"
#include "ordering/steps.h"

namespace {

// Columns j != i below `end` of row i holding 'S', ascending. The diagonal
// never counts.
template <typename Visit>
void for_each_strong_input(const KAVROW &row, int32_t i, int32_t end, Visit visit) {
    for (int32_t t = 0; t < row.count && row.cell[t].col < end; t++) {
        const int32_t j = row.cell[t].col;
        if (j != i && row.cell[t].code == DEP_STRONG) visit(j);
    }
}

// Strong inputs between distinct rows, ascending. Counts first, so that the
// lists get exactly the memory they need.
void build_strong_graph(const KAVELON *dt, ROWGRAPH &g) {
    const int32_t n = dt->n;
    g.first.assign(static_cast<size_t>(n) + 1, 0);
    size_t edges = 0;
    for (int32_t i = 0; i < n; i++)
        for_each_strong_input(dt->P[i], i, n, [&](int32_t) { edges++; });
    g.input.resize(edges);
    size_t k = 0;
    for (int32_t i = 0; i < n; i++) {
        g.first[i] = k;
        for_each_strong_input(dt->P[i], i, n, [&](int32_t j) { g.input[k++] = j; });
    }
    g.first[n] = k;
}

// Reverse lists: the rows that depend strongly on row j, ascending, from
// input[first[j]] on.
void build_reverse_graph(const ROWGRAPH &g, int32_t n, ROWGRAPH &rev) {
    rev.first.assign(static_cast<size_t>(n) + 1, 0);
    rev.input.resize(g.input.size());
    for (int32_t j : g.input) rev.first[j + 1]++;
    for (int32_t j = 0; j < n; j++) rev.first[j + 1] += rev.first[j];
    std::vector<size_t> next(rev.first.begin(), rev.first.end() - 1);
    for (int32_t i = 0; i < n; i++)
        for (size_t e = g.first[i]; e < g.first[i + 1]; e++) rev.input[next[g.input[e]]++] = i;
}

int32_t component_size(const COMPONENTS &c, int32_t id) { return c.first[id + 1] - c.first[id]; }

int32_t lowest_member(const COMPONENTS &c, int32_t id) {
    return *std::min_element(c.member.begin() + c.first[id], c.member.begin() + c.first[id + 1]);
}

// The block release loop. Every block is a whole component: either all
// unassigned single rows without a strong input from an unassigned row
// (an independent block, numbered in row order), or, when there is none,
// the smallest component with no strong input from an unassigned row outside
// it, ties going to the one holding the lowest row (a coupled block).
void release_blocks(KAVELON *dt, const ROWGRAPH &g, const ROWGRAPH &rev, const COMPONENTS &c) {
    const int32_t n = dt->n;
    const int32_t ncomp = static_cast<int32_t>(c.first.size()) - 1;
    // Strong inputs of each component from other components not yet in a block.
    std::vector<int64_t> waiting(ncomp, 0);
    for (int32_t i = 0; i < n; i++)
        for (size_t e = g.first[i]; e < g.first[i + 1]; e++)
            if (c.of_row[g.input[e]] != c.of_row[i]) waiting[c.of_row[i]]++;

    // Ready coupled components as a heap of (size, lowest row), smallest first.
    using Key = std::pair<int32_t, int32_t>;
    std::vector<Key> ready;
    ready.reserve(ncomp);
    std::vector<int32_t> free_rows, next_free;
    free_rows.reserve(n);
    next_free.reserve(n);
    auto make_ready = [&](int32_t id) {
        if (component_size(c, id) == 1) {
            next_free.push_back(c.member[c.first[id]]);
        } else {
            ready.emplace_back(component_size(c, id), lowest_member(c, id));
            std::push_heap(ready.begin(), ready.end(), std::greater<Key>());
        }
    };
    for (int32_t id = 0; id < ncomp; id++)
        if (waiting[id] == 0) make_ready(id);

    // Rows placed in a block release the components that depend on them.
    auto release_row = [&](int32_t j) {
        for (size_t e = rev.first[j]; e < rev.first[j + 1]; e++) {
            const int32_t id = c.of_row[rev.input[e]];
            if (id != c.of_row[j] && --waiting[id] == 0) make_ready(id);
        }
    };

    int32_t assigned = 0;
    while (assigned < n) {
        if (!next_free.empty()) {
            // Rows freed by this block's release belong to the next block.
            std::swap(free_rows, next_free);
            next_free.clear();
            std::sort(free_rows.begin(), free_rows.end());
            dt->nblock++;
            int32_t position = 1;
            for (int32_t r : free_rows) {
                dt->d[r]->block_order = dt->nblock;
                dt->d[r]->subblock_order = position++;
            }
            assigned += static_cast<int32_t>(free_rows.size());
            for (int32_t r : free_rows) release_row(r);
        } else {
            // Some component is always ready: the unassigned components form
            // an acyclic graph, which has a sink. The guard keeps the loop finite.
            if (ready.empty()) break;
            std::pop_heap(ready.begin(), ready.end(), std::greater<Key>());
            const int32_t id = c.of_row[ready.back().second];
            ready.pop_back();
            dt->nblock++;
            for (int32_t k = c.first[id]; k < c.first[id + 1]; k++) {
                dt->d[c.member[k]]->block_order = dt->nblock;
                dt->d[c.member[k]]->subblock_order = 0;
            }
            assigned += component_size(c, id);
            for (int32_t k = c.first[id]; k < c.first[id + 1]; k++) release_row(c.member[k]);
        }
    }
}

}  // namespace

// Tarjan's method, with an explicit stack instead of recursion, so that long
// chains cannot exhaust the call stack.
void kavelon_find_components(const ROWGRAPH *graph, int32_t n, COMPONENTS *components) {
    const ROWGRAPH &g = *graph;
    COMPONENTS &c = *components;
    std::vector<int32_t> index(n, -1), low(n, 0);
    std::vector<size_t> edge(n, 0);  // next input of each row on the path
    std::vector<char> on_stack(n, 0);
    std::vector<int32_t> stack, path;
    stack.reserve(n);
    path.reserve(n);
    c.of_row.assign(n, -1);
    c.first.clear();
    c.first.reserve(static_cast<size_t>(n) + 1);
    c.member.clear();
    c.member.reserve(n);
    int32_t counter = 0;
    for (int32_t root = 0; root < n; root++) {
        if (index[root] >= 0) continue;
        path.push_back(root);
        index[root] = low[root] = counter++;
        edge[root] = g.first[root];
        stack.push_back(root);
        on_stack[root] = 1;
        while (!path.empty()) {
            const int32_t v = path.back();
            if (edge[v] < g.first[v + 1]) {
                const int32_t w = g.input[edge[v]++];
                if (index[w] < 0) {
                    index[w] = low[w] = counter++;
                    edge[w] = g.first[w];
                    stack.push_back(w);
                    on_stack[w] = 1;
                    path.push_back(w);
                } else if (on_stack[w]) {
                    low[v] = std::min(low[v], index[w]);
                }
                continue;
            }
            path.pop_back();
            if (!path.empty()) low[path.back()] = std::min(low[path.back()], low[v]);
            if (low[v] != index[v]) continue;
            const int32_t id = static_cast<int32_t>(c.first.size());
            c.first.push_back(static_cast<int32_t>(c.member.size()));
            int32_t w;
            do {
                w = stack.back();
                stack.pop_back();
                on_stack[w] = 0;
                c.of_row[w] = id;
                c.member.push_back(w);
            } while (w != v);
        }
    }
    c.first.push_back(static_cast<int32_t>(c.member.size()));
}

int kavelon_fast_identify_blocks_subblocks(KAVELON *dt) {
    const int32_t nblock_before = dt->nblock;
    try {
        ROWGRAPH g, rev;
        COMPONENTS c;
        build_strong_graph(dt, g);
        build_reverse_graph(g, dt->n, rev);
        kavelon_find_components(&g, dt->n, &c);
        release_blocks(dt, g, rev, c);
    } catch (const std::bad_alloc &) {
        // Undo whatever was assigned and take the way that needs no memory.
        for (int32_t i = 0; i < dt->n; i++) {
            dt->d[i]->block_order = 0;
            dt->d[i]->subblock_order = 0;
        }
        dt->nblock = nblock_before;
        return kavelon_identify_blocks_subblocks(dt);
    }
    for (int32_t i = 0; i < dt->n; i++)
        if (dt->d[i]->block_order == 0) return 1;
    return 0;
}

int kavelon_fast_sort_P(KAVELON *dt) {
    const int32_t n = dt->n;
    std::vector<int32_t> perm, where, count, by_block;
    try {
        perm.resize(n);
        where.resize(n);
        count.assign(static_cast<size_t>(std::max(dt->nblock, 0)) + 2, 0);
        by_block.resize(n);
    } catch (const std::bad_alloc &) {
        return kavelon_sort_P(dt);
    }

    // Rows grouped by block (rows outside 1..nblock are never placed).
    const int32_t nblock = dt->nblock;
    for (int32_t i = 0; i < n; i++) {
        const int32_t b = dt->d[i]->block_order;
        if (b >= 1 && b <= nblock) count[b + 1]++;
    }
    for (int32_t b = 1; b <= nblock; b++) count[b + 1] += count[b];
    for (int32_t i = 0; i < n; i++) {
        const int32_t b = dt->d[i]->block_order;
        if (b >= 1 && b <= nblock) by_block[count[b]++] = i;
    }
    // count[b] is now the end of block b's rows in by_block, and count[b - 1]
    // its start (count[0] is 0).

    // Replay the swaps of the in-place sort on positions only. In the pass for
    // block b its rows are visited in ascending position and each is swapped
    // into the next free position; the row it displaces is never of block b,
    // so the later rows of the block keep their positions during the pass.
    for (int32_t t = 0; t < n; t++) perm[t] = where[t] = t;
    int32_t next = 0;
    for (int32_t b = 1; b <= nblock; b++) {
        auto begin = by_block.begin() + count[b - 1];
        auto end = by_block.begin() + count[b];
        std::sort(begin, end, [&](int32_t x, int32_t y) { return where[x] < where[y]; });
        for (auto it = begin; it != end; ++it) {
            const int32_t k = where[*it];
            if (k != next) {
                const int32_t displaced = perm[next];
                perm[next] = *it;
                perm[k] = displaced;
                where[*it] = next;
                where[displaced] = k;
            }
            next++;
        }
    }

    bool any_moved = false;
    for (int32_t t = 0; t < n && !any_moved; t++) any_moved = perm[t] != t;
    if (!any_moved) return 0;

    // The same order from the swaps, which need no memory, when the
    // permutation's work tables cannot be had.
    if (kavelon_permute_rows(dt, perm.data()) != 0) return kavelon_sort_P(dt);
    return 0;
}

int kavelon_fast_identify_predecessor_blocks(KAVELON *dt) {
    const int32_t n = dt->n;
    // Rows are in block order, so the rows of earlier blocks are exactly the
    // positions before the first row of a row's own block, and the last
    // strong input among them belongs to the highest such block.
    for (int32_t first = 0, end = 0; first < n; first = end) {
        end = kavelon_block_end(dt, first);
        int32_t max_block = 0;
        for (int32_t i = first; i < end; i++) {
            int32_t last = -1;
            for_each_strong_input(dt->P[i], i, first, [&](int32_t j) { last = j; });
            if (last >= 0) max_block = std::max(max_block, dt->d[last]->block_order);
        }
        for (int32_t k = first; k < end; k++) dt->d[k]->predecessor_block = max_block;
    }
    return 0;
}
