// The weighted minimum feedback mark set of a block by an integer program
// with lazily added cycle constraints.
//
// One binary variable per mark that can be feedback at all (its two rows lie
// on a common cycle): 1 when the mark is feedback. A set of marks leaves an
// order in which every other mark points forward exactly when it breaks
// every cycle, so the program is "for every cycle, the sum of its marks'
// variables is at least 1", minimising the weighted sum. Listing every
// cycle is out of the question; the program starts from a shortest cycle
// through each mark, and each answer that leaves cycles unbroken adds
// shortest cycles of what it leaves, until an answer leaves none. Each
// program holds a subset of the constraints, so its optimum, and the best
// bound of one stopped early, bound the true optimum from below; the first
// answer without a cycle left is optimal.
//
// The strong count is settled first, on the strong marks alone: a program of
// one weight, much easier than the weighted one, whose least count then
// fixes the strong arcs' count in the second program, on all marks, for the
// weak/ICD count. Should the time run out in the second, the strong count
// is still proven.
//
// Along the way every answer gives an order (the marks it keeps, ordered
// topologically, with any cycle still left broken greedily), and the best
// of these is the result. CBC and CLP are told to stay silent; all their
// objects live within one call.
#include "sequence/mfas.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>
#include <set>

#include <CbcModel.hpp>
#include <CbcEventHandler.hpp>
#include <CbcCutGenerator.hpp>
#include <CbcBranchingObject.hpp>
#include <CglCutGenerator.hpp>
#include <OsiCuts.hpp>
#include <CoinPackedMatrix.hpp>
#include <OsiClpSolverInterface.hpp>

#include "sequence/methods.h"

namespace {

using Clock = std::chrono::steady_clock;

// ------------------------------------------------------------------ graph

// The marks as arcs of precedence, producer before consumer. Only marks
// between two rows of one strongly connected part are arcs: no other mark
// lies on a cycle, and a topological order keeps all of them forward.
struct NETWORK {
    int32_t n = 0;
    std::vector<int32_t> tail, head;  // per arc: producer, consumer
    std::vector<int32_t> strong;      // per arc: 1 strong
    std::vector<int64_t> weight;      // per arc
    std::vector<int32_t> mark;        // per arc: its mark in the graph
    std::vector<uint8_t> inner;       // per mark: 1 when it is an arc
    int64_t weak = 0;                 // weak and ICD arcs
    std::vector<int32_t> first, out;  // arcs leaving row v: out[first[v] .. first[v + 1] - 1]
};

// Strongly connected parts of the rows over the arcs that pass `active`,
// given as out-lists: part[v] for every row. Iterative, so that no block is
// too long for the stack.
template <typename Active>
void find_parts(int32_t n, const std::vector<int32_t> &first, const std::vector<int32_t> &out,
                const std::vector<int32_t> &head, Active active, std::vector<int32_t> *part) {
    const size_t rows = static_cast<size_t>(n);
    std::vector<int32_t> index(rows, -1), low(rows, 0), stack, path;
    std::vector<int32_t> next(rows, 0);
    std::vector<uint8_t> on_stack(rows, 0);
    part->assign(rows, -1);
    int32_t counter = 0, parts = 0;
    for (int32_t root = 0; root < n; root++) {
        if (index[static_cast<size_t>(root)] >= 0) continue;
        path.push_back(root);
        index[static_cast<size_t>(root)] = low[static_cast<size_t>(root)] = counter++;
        next[static_cast<size_t>(root)] = first[static_cast<size_t>(root)];
        stack.push_back(root);
        on_stack[static_cast<size_t>(root)] = 1;
        while (!path.empty()) {
            const int32_t v = path.back();
            const size_t sv = static_cast<size_t>(v);
            if (next[sv] < first[sv + 1]) {
                const int32_t a = out[static_cast<size_t>(next[sv]++)];
                if (!active(a)) continue;
                const int32_t w = head[static_cast<size_t>(a)];
                const size_t sw = static_cast<size_t>(w);
                if (index[sw] < 0) {
                    index[sw] = low[sw] = counter++;
                    next[sw] = first[sw];
                    stack.push_back(w);
                    on_stack[sw] = 1;
                    path.push_back(w);
                } else if (on_stack[sw]) {
                    low[sv] = std::min(low[sv], index[sw]);
                }
                continue;
            }
            path.pop_back();
            if (!path.empty()) {
                const size_t su = static_cast<size_t>(path.back());
                low[su] = std::min(low[su], low[sv]);
            }
            if (low[sv] == index[sv]) {
                for (;;) {
                    const int32_t w = stack.back();
                    stack.pop_back();
                    on_stack[static_cast<size_t>(w)] = 0;
                    (*part)[static_cast<size_t>(w)] = parts;
                    if (w == v) break;
                }
                parts++;
            }
        }
    }
}

// Out-lists of arcs given by their tails.
void index_arcs(int32_t n, const std::vector<int32_t> &tail, std::vector<int32_t> *first,
                std::vector<int32_t> *out) {
    first->assign(static_cast<size_t>(n) + 1, 0);
    for (int32_t t : tail) (*first)[static_cast<size_t>(t) + 1]++;
    for (size_t v = 0; v < static_cast<size_t>(n); v++) (*first)[v + 1] += (*first)[v];
    out->resize(tail.size());
    std::vector<int32_t> at(first->begin(), first->end() - 1);
    for (size_t a = 0; a < tail.size(); a++)
        (*out)[static_cast<size_t>(at[static_cast<size_t>(tail[a])]++)] = static_cast<int32_t>(a);
}

// Whether the arcs from tail[a] to head[a] over n rows leave no cycle: a
// topological count.
bool arcs_acyclic(int32_t n, const std::vector<int32_t> &tail, const std::vector<int32_t> &head) {
    std::vector<int32_t> first, out;
    index_arcs(n, tail, &first, &out);
    std::vector<int32_t> needs(static_cast<size_t>(n), 0), ready;
    for (int32_t h : head) needs[static_cast<size_t>(h)]++;
    for (int32_t v = 0; v < n; v++)
        if (needs[static_cast<size_t>(v)] == 0) ready.push_back(v);
    int32_t placed = 0;
    while (!ready.empty()) {
        const size_t v = static_cast<size_t>(ready.back());
        ready.pop_back();
        placed++;
        for (int32_t k = first[v]; k < first[v + 1]; k++) {
            const int32_t w = head[static_cast<size_t>(out[static_cast<size_t>(k)])];
            if (--needs[static_cast<size_t>(w)] == 0) ready.push_back(w);
        }
    }
    return placed == n;
}

// Whether every one of the n values x is whole, within tolerance.
bool whole(const double *x, int n, double tolerance) {
    for (int a = 0; a < n; a++)
        if (std::fabs(x[a] - std::round(x[a])) > tolerance) return false;
    return true;
}

// The arcs of g: strong marks weigh one more than all weak and ICD arcs
// together, so that one strong feedback mark fewer always pays.
NETWORK network_of(const FEEDBACKGRAPH *g) {
    NETWORK net;
    net.n = g->n;
    std::vector<int32_t> tail, head, first, out;
    for (const FEEDBACKMARK &m : g->marks) {
        if (m.consumer == m.producer) continue;
        tail.push_back(m.producer);
        head.push_back(m.consumer);
    }
    index_arcs(g->n, tail, &first, &out);
    std::vector<int32_t> part;
    find_parts(
        g->n, first, out, head, [](int32_t) { return true; }, &part);
    net.inner.assign(g->marks.size(), 0);
    for (size_t k = 0; k < g->marks.size(); k++) {
        const FEEDBACKMARK &m = g->marks[k];
        if (m.consumer == m.producer) continue;
        if (part[static_cast<size_t>(m.consumer)] != part[static_cast<size_t>(m.producer)]) continue;
        net.tail.push_back(m.producer);
        net.head.push_back(m.consumer);
        net.strong.push_back(m.strong ? 1 : 0);
        net.mark.push_back(static_cast<int32_t>(k));
        net.inner[k] = 1;
        if (!m.strong) net.weak++;
    }
    for (int32_t s : net.strong) net.weight.push_back(s ? net.weak + 1 : 1);
    index_arcs(g->n, net.tail, &net.first, &net.out);
    return net;
}

// --------------------------------------------------------------- cycles

// Shortest cycles of the arcs that pass `active`, one through each such
// arc that lies on one, each a sorted list of arcs. New ones go to `cycles`
// (known holds those already there). Gives up, returning false, when the
// deadline passes.
template <typename Active>
bool add_shortest_cycles(const NETWORK &net, Active active, Clock::time_point deadline,
                         std::set<std::vector<int32_t>> *known, std::vector<std::vector<int32_t>> *cycles) {
    std::vector<int32_t> part;
    find_parts(net.n, net.first, net.out, net.head, active, &part);
    const size_t rows = static_cast<size_t>(net.n);
    std::vector<int32_t> seen(rows, -1), via(rows, -1), queue(rows);
    std::vector<int32_t> cycle;
    for (size_t a = 0; a < net.tail.size(); a++) {
        if ((a & 31u) == 0 && Clock::now() >= deadline) return false;
        const int32_t from = net.head[a], to = net.tail[a];
        if (!active(static_cast<int32_t>(a)) ||
            part[static_cast<size_t>(from)] != part[static_cast<size_t>(to)])
            continue;
        // Breadth first from the arc's head back to its tail, within its part.
        const int32_t stamp = static_cast<int32_t>(a);
        size_t begin = 0, end = 0;
        queue[end++] = from;
        seen[static_cast<size_t>(from)] = stamp;
        bool found = from == to;
        while (begin < end && !found) {
            const size_t u = static_cast<size_t>(queue[begin++]);
            for (int32_t k = net.first[u]; k < net.first[u + 1] && !found; k++) {
                const int32_t b = net.out[static_cast<size_t>(k)];
                const size_t w = static_cast<size_t>(net.head[static_cast<size_t>(b)]);
                if (!active(b) || seen[w] == stamp || part[w] != part[u]) continue;
                seen[w] = stamp;
                via[w] = b;
                queue[end++] = static_cast<int32_t>(w);
                found = static_cast<int32_t>(w) == to;
            }
        }
        if (!found) continue;
        cycle.clear();
        cycle.push_back(static_cast<int32_t>(a));
        for (int32_t v = to; v != from; v = net.tail[static_cast<size_t>(via[static_cast<size_t>(v)])])
            cycle.push_back(via[static_cast<size_t>(v)]);
        std::sort(cycle.begin(), cycle.end());
        if (known->insert(cycle).second) cycles->push_back(cycle);
    }
    return true;
}

// ---------------------------------------------------------------- orders

// An order of the rows in which the marks not `dropped` point forward as
// far as they can: a row comes next once every row it needs by such a mark
// stands; among those free, the one that makes the least new feedback
// weight (a dropped mark it needs from a row still to come), then the one
// that most shortens the feedback distance (the rows already placed that
// wait for it, less the new feedback marks), then the lowest row. When no
// row is free, the cycles left are broken by the row whose marks to the rows
// still to come most outweigh its marks from them, among the rows whose
// marks between parts (`inner` 0) all point forward: such marks never need
// to be feedback.
std::vector<int32_t> order_keeping(const FEEDBACKGRAPH *g, const std::vector<int64_t> &weight,
                                   const std::vector<uint8_t> &dropped, const std::vector<uint8_t> &inner) {
    const size_t n = static_cast<size_t>(g->n);
    std::vector<int64_t> back_weight(n, 0), out_weight(n, 0);
    std::vector<int32_t> waiting(n, 0), back_count(n, 0), blocked(n, 0), outer(n, 0);
    std::vector<std::vector<int32_t>> produces(n), needs(n);
    for (size_t k = 0; k < g->marks.size(); k++) {
        const FEEDBACKMARK &m = g->marks[k];
        if (m.consumer == m.producer) continue;
        const size_t c = static_cast<size_t>(m.consumer), p = static_cast<size_t>(m.producer);
        produces[p].push_back(static_cast<int32_t>(k));
        needs[c].push_back(static_cast<int32_t>(k));
        back_weight[c] += weight[k];
        back_count[c]++;
        out_weight[p] += weight[k];
        if (!dropped[k]) blocked[c]++;
        if (!inner[k]) outer[c]++;
    }
    std::vector<uint8_t> placed(n, 0);
    std::vector<int32_t> left(n), order;
    for (size_t v = 0; v < n; v++) left[v] = static_cast<int32_t>(v);
    order.reserve(n);
    while (!left.empty()) {
        size_t pick = left.size();
        bool free_row = false;
        for (size_t t = 0; t < left.size(); t++) {
            const size_t v = static_cast<size_t>(left[t]);
            if (blocked[v] == 0) {
                if (!free_row) {
                    free_row = true;
                    pick = t;
                    continue;
                }
                const size_t b = static_cast<size_t>(left[pick]);
                const int64_t gain = waiting[v] - back_count[v], best = waiting[b] - back_count[b];
                if (back_weight[v] < back_weight[b] ||
                    (back_weight[v] == back_weight[b] && (gain > best || (gain == best && v < b))))
                    pick = t;
            } else if (!free_row && outer[v] == 0) {
                const size_t b = pick < left.size() ? static_cast<size_t>(left[pick]) : n;
                if (b == n || out_weight[v] - back_weight[v] > out_weight[b] - back_weight[b] ||
                    (out_weight[v] - back_weight[v] == out_weight[b] - back_weight[b] && v < b))
                    pick = t;
            }
        }
        if (pick == left.size()) pick = 0;  // not reached: some part always comes first
        const int32_t v = left[pick];
        left[pick] = left.back();
        left.pop_back();
        placed[static_cast<size_t>(v)] = 1;
        order.push_back(v);
        for (int32_t k : produces[static_cast<size_t>(v)]) {
            const size_t c = static_cast<size_t>(g->marks[static_cast<size_t>(k)].consumer);
            if (placed[c]) continue;
            back_weight[c] -= weight[static_cast<size_t>(k)];
            back_count[c]--;
            if (!dropped[static_cast<size_t>(k)]) blocked[c]--;
            if (!inner[static_cast<size_t>(k)]) outer[c]--;
        }
        for (int32_t k : needs[static_cast<size_t>(v)]) {
            const size_t p = static_cast<size_t>(g->marks[static_cast<size_t>(k)].producer);
            if (placed[p]) continue;
            out_weight[p] -= weight[static_cast<size_t>(k)];
            waiting[p]++;
        }
    }
    return order;
}

// Counts and distances of the feedback marks of an order.
void measure(const FEEDBACKGRAPH *g, const std::vector<int32_t> &order, FEEDBACKRESULT *r) {
    std::vector<int32_t> pos(static_cast<size_t>(g->n), 0);
    for (size_t t = 0; t < order.size(); t++) pos[static_cast<size_t>(order[t])] = static_cast<int32_t>(t);
    r->strong_inputs = r->weak_inputs = r->strong_distance = r->weak_distance = 0;
    for (const FEEDBACKMARK &m : g->marks) {
        const int64_t d = pos[static_cast<size_t>(m.producer)] - pos[static_cast<size_t>(m.consumer)];
        if (d <= 0) continue;
        if (m.strong) {
            r->strong_inputs++;
            r->strong_distance += d;
        } else {
            r->weak_inputs++;
            r->weak_distance += d;
        }
    }
}

// The best order so far and its weighted feedback.
struct INCUMBENT {
    std::vector<int32_t> order;
    int64_t weight = 0;
    int64_t distance = 0;
    std::vector<uint8_t> arcs;  // per arc of the network: feedback in the order
};

void consider(const FEEDBACKGRAPH *g, const NETWORK &net, int64_t strong_weight, std::vector<int32_t> order,
              INCUMBENT *best) {
    FEEDBACKRESULT m;
    measure(g, order, &m);
    const int64_t weight = m.strong_inputs * strong_weight + m.weak_inputs;
    const int64_t distance = m.strong_distance + m.weak_distance;
    if (!best->order.empty() &&
        (weight > best->weight || (weight == best->weight && distance >= best->distance)))
        return;
    best->weight = weight;
    best->distance = distance;
    best->order = std::move(order);
    std::vector<int32_t> pos(best->order.size());
    for (size_t t = 0; t < best->order.size(); t++)
        pos[static_cast<size_t>(best->order[t])] = static_cast<int32_t>(t);
    best->arcs.assign(net.tail.size(), 0);
    for (size_t a = 0; a < net.tail.size(); a++)
        best->arcs[a] = pos[static_cast<size_t>(net.tail[a])] > pos[static_cast<size_t>(net.head[a])] ? 1 : 0;
}

// The marks of g as the sequencing stage's local search reads them.
SEQGRAPH seq_graph_of(const FEEDBACKGRAPH *g) {
    SEQGRAPH s{g->n, {}};
    s.marks.reserve(g->marks.size());
    for (const FEEDBACKMARK &m : g->marks)
        if (m.consumer != m.producer) s.marks.push_back({m.consumer, m.producer, m.strong});
    return s;
}

// The order bettered by the sequencing stage's local search, by the counts
// in their order (strong, weak/ICD, distance), so never worse in them.
void improve_locally(const FEEDBACKGRAPH *g, std::vector<int32_t> *order) {
    const SEQGRAPH s = seq_graph_of(g);
    kavelon_improve_order(&s, KAVELON_SEQUENCE_INPUTS, order);
}

// ---------------------------------------------------------------- program

struct ANSWER {
    std::vector<uint8_t> chosen;  // per arc: feedback in the program's answer
    bool solution = false;        // chosen holds an answer
    bool optimal = false;         // and the program proved it best
    bool short_of_pool = false;   // it leaves a cycle the program held short
    double bound = 0;             // no answer of the program is below it
};

// A solver that says nothing.
void silence(OsiClpSolverInterface *solver) {
    solver->messageHandler()->setLogLevel(0);
    solver->getModelPtr()->messageHandler()->setLogLevel(0);
    solver->setHintParam(OsiDoReducePrint, true, OsiHintTry);
}

// The program "every listed cycle keeps a chosen arc" at least weight, its
// variables between 0 and 1 and, when `integer`, whole; with `strong_count`
// not negative, exactly that many strong arcs are chosen.
void load_program(const NETWORK &net, const std::vector<std::vector<int32_t>> &cycles, bool integer,
                  int64_t strong_count, OsiClpSolverInterface *solver) {
    const int columns = static_cast<int>(net.tail.size());
    const int rows = static_cast<int>(cycles.size());
    std::vector<CoinBigIndex> start;
    std::vector<int> length, index;
    start.reserve(cycles.size());
    for (const std::vector<int32_t> &c : cycles) {
        start.push_back(static_cast<CoinBigIndex>(index.size()));
        length.push_back(static_cast<int>(c.size()));
        index.insert(index.end(), c.begin(), c.end());
    }
    const std::vector<double> ones(index.size(), 1.0);
    const CoinPackedMatrix matrix(false, columns, rows, static_cast<CoinBigIndex>(index.size()), ones.data(),
                                  index.data(), start.data(), length.data());
    const std::vector<double> lower(static_cast<size_t>(columns), 0.0),
        upper(static_cast<size_t>(columns), 1.0);
    const std::vector<double> cost(net.weight.begin(), net.weight.end());
    const std::vector<double> row_lower(static_cast<size_t>(rows), 1.0),
        row_upper(static_cast<size_t>(rows), solver->getInfinity());
    solver->loadProblem(matrix, lower.data(), upper.data(), cost.data(), row_lower.data(), row_upper.data());
    if (strong_count >= 0) {
        std::vector<int> strong;
        for (int c = 0; c < columns; c++)
            if (net.strong[static_cast<size_t>(c)]) strong.push_back(c);
        const std::vector<double> coefficients(strong.size(), 1.0);
        const double count = static_cast<double>(strong_count);
        solver->addRow(static_cast<int>(strong.size()), strong.data(), coefficients.data(), count, count);
    }
    if (integer)
        for (int c = 0; c < columns; c++) solver->setInteger(c);
}

// Cycles whose arcs' values in y sum to less than 1: for every row v, the
// shortest paths from v with the values as lengths, and for each arc into v
// from a row u, the path from v to u closed by the arc. Adds the new ones
// and returns how many.
size_t add_violated_cycles(const NETWORK &net, const double *y, std::set<std::vector<int32_t>> *known,
                           std::vector<std::vector<int32_t>> *cycles) {
    const size_t rows = static_cast<size_t>(net.n);
    std::vector<int32_t> first_in, in;
    index_arcs(net.n, net.head, &first_in, &in);
    std::vector<double> length(net.tail.size());
    for (size_t a = 0; a < length.size(); a++) length[a] = std::max(0.0, y[a]);
    std::vector<double> dist(rows, 0);
    std::vector<int32_t> via(rows, -1), seen(rows, -1), done(rows, -1);
    std::vector<std::pair<double, int32_t>> heap;
    std::vector<int32_t> cycle;
    const double reach = 1.0 - 1e-6;
    size_t added = 0;
    for (int32_t v = 0; v < net.n; v++) {
        const size_t sv = static_cast<size_t>(v);
        if (first_in[sv] == first_in[sv + 1]) continue;
        // Dijkstra from v, no farther than a cycle can be violated.
        heap.clear();
        heap.push_back({0.0, v});
        dist[sv] = 0;
        seen[sv] = v;
        via[sv] = -1;
        while (!heap.empty()) {
            std::pop_heap(heap.begin(), heap.end(), std::greater<>());
            const auto [d, u] = heap.back();
            heap.pop_back();
            const size_t su = static_cast<size_t>(u);
            if (done[su] == v || d > dist[su]) continue;
            done[su] = v;
            for (int32_t k = net.first[su]; k < net.first[su + 1]; k++) {
                const size_t a = static_cast<size_t>(net.out[static_cast<size_t>(k)]);
                const size_t w = static_cast<size_t>(net.head[a]);
                const double through = d + length[a];
                if (through >= reach || (seen[w] == v && through >= dist[w])) continue;
                seen[w] = v;
                dist[w] = through;
                via[w] = static_cast<int32_t>(a);
                heap.push_back({through, static_cast<int32_t>(w)});
                std::push_heap(heap.begin(), heap.end(), std::greater<>());
            }
        }
        for (int32_t k = first_in[sv]; k < first_in[sv + 1]; k++) {
            const size_t a = static_cast<size_t>(in[static_cast<size_t>(k)]);
            const size_t u = static_cast<size_t>(net.tail[a]);
            if (done[u] != v || dist[u] + length[a] >= reach) continue;
            cycle.clear();
            cycle.push_back(static_cast<int32_t>(a));
            for (size_t x = u; x != sv; x = static_cast<size_t>(net.tail[static_cast<size_t>(via[x])]))
                cycle.push_back(via[x]);
            std::sort(cycle.begin(), cycle.end());
            if (known->insert(cycle).second) {
                cycles->push_back(cycle);
                added++;
            }
        }
    }
    return added;
}

// The relaxation (values between 0 and 1) with the cycles it leaves short
// added until it leaves none: the bound of the whole program's relaxation,
// found at the cost of linear programs only, and a start for the integer
// ones. Returns the bound, which is one at every step, or 0 should the solver
// fail.
double tighten_relaxation(const NETWORK &net, int64_t strong_count, Clock::time_point deadline,
                          std::set<std::vector<int32_t>> *known, std::vector<std::vector<int32_t>> *cycles) {
    OsiClpSolverInterface solver;
    silence(&solver);
    load_program(net, *cycles, false, strong_count, &solver);
    solver.initialSolve();
    for (;;) {
        if (!solver.isProvenOptimal()) return 0;
        if (Clock::now() >= deadline) return solver.getObjValue();
        const size_t before = cycles->size();
        if (add_violated_cycles(net, solver.getColSolution(), known, cycles) == 0)
            return solver.getObjValue();
        std::vector<CoinBigIndex> start;
        std::vector<int> index;
        for (size_t c = before; c < cycles->size(); c++) {
            start.push_back(static_cast<CoinBigIndex>(index.size()));
            index.insert(index.end(), (*cycles)[c].begin(), (*cycles)[c].end());
        }
        start.push_back(static_cast<CoinBigIndex>(index.size()));
        const int count = static_cast<int>(cycles->size() - before);
        const std::vector<double> ones(index.size(), 1.0), row_lower(static_cast<size_t>(count), 1.0),
            row_upper(static_cast<size_t>(count), solver.getInfinity());
        solver.addRows(count, start.data(), index.data(), ones.data(), row_lower.data(), row_upper.data());
        solver.resolve();
    }
}

// The cycles the search checks at its nodes rather than holding as rows,
// and a way to new ones: `cuts` are listed cycles (each a sorted list of
// arcs), and a node's answer in whole numbers that breaks them all but
// still leaves a cycle of the network gets shortest cycles of what it
// leaves, added to `cuts`, to `found` and to `known`. So one search finds
// the cycles its answers leave as it goes, where a search per round of
// cycles proved each round's program best, over cycles far from all
// (weak/ICD bounds of 66 against 88 in a round's first program).
struct CYCLE_CUTS {
    const NETWORK *net = nullptr;
    std::vector<std::vector<int32_t>> cuts;
    std::vector<std::vector<int32_t>> *found = nullptr;
    std::set<std::vector<int32_t>> *known = nullptr;
    Clock::time_point deadline;
};

// The cycles of `cuts` short at the values x (one per arc), and, when there
// are none and x is whole, the new cycles it leaves, as row cuts "sum at
// least 1".
void separate_cycles(CYCLE_CUTS *c, const double *x, int columns, OsiCuts *cs) {
    if (x == nullptr || columns != static_cast<int>(c->net->tail.size())) return;
    const std::vector<double> ones(static_cast<size_t>(c->net->n) + 1, 1.0);
    size_t added = 0;
    const auto cut = [&](const std::vector<int32_t> &cycle) {
        OsiRowCut row;
        row.setRow(static_cast<int>(cycle.size()), cycle.data(), ones.data(), false);
        row.setLb(1.0);
        row.setUb(COIN_DBL_MAX);
        cs->insert(row);
        added++;
    };
    for (const std::vector<int32_t> &cycle : c->cuts) {
        double sum = 0;
        for (int32_t a : cycle) sum += x[a];
        if (sum < 1.0 - 1e-6) cut(cycle);
    }
    if (added > 0 || !whole(x, columns, 1e-3)) return;
    std::vector<std::vector<int32_t>> fresh;
    add_shortest_cycles(
        *c->net, [&](int32_t a) { return x[a] < 0.5; }, c->deadline, c->known, &fresh);
    for (std::vector<int32_t> &cycle : fresh) {
        cut(cycle);
        c->found->push_back(cycle);
        c->cuts.push_back(std::move(cycle));
    }
}

// CBC asks for cuts through a generator object only: this one hands each
// call on to separate_cycles. Its copies share the one record.
struct CycleCutGenerator final : CglCutGenerator {
    CYCLE_CUTS *cycles = nullptr;
    void generateCuts(const OsiSolverInterface &si, OsiCuts &cs, const CglTreeInfo) override {
        separate_cycles(cycles, si.getColSolution(), si.getNumCols(), &cs);
    }
    CglCutGenerator *clone() const override { return new CycleCutGenerator(*this); }
};

// Whether the arcs x leaves (below one half) leave a cycle; if so, one
// such cycle in *cycle.
bool leaves_cycle(const NETWORK &net, const double *x, std::vector<int32_t> *cycle) {
    std::vector<int32_t> tail, head;
    for (size_t a = 0; a < net.tail.size(); a++) {
        if (x[a] >= 0.5) continue;
        tail.push_back(net.tail[a]);
        head.push_back(net.head[a]);
    }
    if (arcs_acyclic(net.n, tail, head)) return false;
    if (cycle != nullptr) {
        std::set<std::vector<int32_t>> known;
        std::vector<std::vector<int32_t>> found;
        add_shortest_cycles(
            net, [&](int32_t a) { return x[a] < 0.5; }, Clock::time_point::max(), &known, &found);
        size_t best = 0;
        for (size_t c = 1; c < found.size(); c++)
            if (found[c].size() < found[best].size()) best = c;
        if (!found.empty()) *cycle = found[best];
    }
    return true;
}

// The split itself: up, the arc is feedback (its lower bound 1); down, it
// is not (its upper bound 0); each arm sets both bounds, from those the arc
// had when the split was made. CBC's own integer split reads its column
// from the integer object that made it, so cannot be made by another object.
struct ArcBranch final : CbcBranchingObject {
    double lower = 0, upper = 1;
    ArcBranch(CbcModel *model, int column, int way, double lower_bound, double upper_bound)
        : CbcBranchingObject(model, column, way, 0.5), lower(lower_bound), upper(upper_bound) {}
    CbcBranchingObject *clone() const override { return new ArcBranch(*this); }
    double branch() override {
        decrementNumberBranchesLeft();
        OsiSolverInterface *solver = model_->solver();
        if (way_ < 0) {
            solver->setColLower(variable_, lower);
            solver->setColUpper(variable_, std::min(upper, 0.0));
            way_ = 1;
        } else {
            solver->setColLower(variable_, std::max(lower, 1.0));
            solver->setColUpper(variable_, upper);
            way_ = -1;
        }
        return 0.0;
    }
    CbcBranchObjType type() const override { return DummyBranchObj; }
    CbcRangeCompare compareBranchingObject(const CbcBranchingObject *other, const bool) override {
        const ArcBranch *arc = dynamic_cast<const ArcBranch *>(other);
        return arc != nullptr && arc->variable_ == variable_ ? CbcRangeSame : CbcRangeDisjoint;
    }
};

// A node's values that are whole but leave a cycle are no answer, and CBC
// must not take them for one. Cuts alone do not ensure that: CBC still
// bounds its search by whole values it has been given cuts against, and so
// called a random block of 80 rows optimal at 55 weak/ICD inputs where an
// order with 49 exists. This object, which CBC asks of every node, says
// such values are not yet whole, so the node's cuts are added and, should
// its values still leave a cycle, the node is split on an arc of one (a
// strong one when there is one). CBC knows branching rules only as
// objects; this one's calls go to leaves_cycle.
struct CycleObject final : CbcObject {
    const NETWORK *net = nullptr;
    explicit CycleObject(CbcModel *model) : CbcObject(model) {}
    CbcObject *clone() const override { return new CycleObject(*this); }
    double infeasibility(const OsiBranchingInformation *info, int &way) const override {
        way = 1;
        const double *x = info->solution_;
        if (x == nullptr || info->numberColumns_ != static_cast<int>(net->tail.size())) return 0.0;
        // Whole as CBC's own integer test has it, so that no values it
        // takes as whole escape the check.
        if (!whole(x, info->numberColumns_, info->integerTolerance_)) return 0.0;
        return leaves_cycle(*net, x, nullptr) ? 1.0 : 0.0;
    }
    void feasibleRegion() override {}
    CbcBranchingObject *createCbcBranch(OsiSolverInterface *solver, const OsiBranchingInformation *info,
                                        int way) override {
        std::vector<int32_t> cycle;
        if (info->solution_ != nullptr) leaves_cycle(*net, info->solution_, &cycle);
        int column = cycle.empty() ? 0 : cycle[0];
        for (int32_t a : cycle)
            if (net->strong[static_cast<size_t>(a)]) {
                column = a;
                break;
            }
        const bool bounded = solver != nullptr && column < solver->getNumCols();
        return new ArcBranch(model_, column, way < 0 ? -1 : 1, bounded ? solver->getColLower()[column] : 0.0,
                             bounded ? solver->getColUpper()[column] : 1.0);
    }
};

// When a search is to make way for the local search: from `from` on, once
// its best answer is more than `gap` (a share of that answer) above its
// bound. A search that far from its proof at half its time seldom closes it
// in the other half: on dense blocks (4 strong marks a row) at a limit of
// 1 s, those of 150 rows stood 10 to 22 % above their bounds at half time
// and none was proven, and shaken restarts of the local search in the time
// left leave 1.4 % fewer strong inputs in all than searching on. On blocks
// of 100 and 125 rows, some nearer their bounds by then and searching on,
// the totals come out as before within a few inputs either way.
struct GIVE_UP {
    Clock::time_point from;
    double gap = 0.08;
};

// best and bound as CBC has them; its best is a huge value while it holds
// no answer.
bool far_from_proof(const GIVE_UP &give_up, double best, double bound) {
    if (Clock::now() < give_up.from || !std::isfinite(best) || best <= 0 || best >= 1e40) return false;
    return (best - bound) / best > give_up.gap;
}

// Stops the search after a node once far_from_proof says so. CBC lets a
// caller in between its nodes only by an event handler.
struct GiveUpHandler final : CbcEventHandler {
    const GIVE_UP *give_up = nullptr;
    CbcEventHandler *clone() const override { return new GiveUpHandler(*this); }
    CbcAction event(CbcEvent which) override {
        if (which != node || give_up == nullptr || model_ == nullptr) return noAction;
        const bool far = far_from_proof(*give_up, model_->getObjValue(), model_->getBestPossibleObjValue());
        return far ? stop : noAction;
    }
};

// The listed cycles split by the relaxation: those it keeps at exactly one
// (`core`, the rows of the program itself), and the others, broken more
// than once over, given to the search as cuts, each added to a node's
// program only when its answer there leaves the cycle short. Most cycles
// are of the second kind (three in four on sparse random blocks), and the
// search's linear programs, whose every step works on a basis as large as
// their rows, then run on a quarter of the rows: the whole program of a
// random block of 100 rows with 2.5 strong marks a row took a third of the
// time. Should the relaxation fail, every cycle is a row.
void split_cycles(const NETWORK &net, const std::vector<std::vector<int32_t>> &cycles, int64_t strong_count,
                  std::vector<std::vector<int32_t>> *core, std::vector<std::vector<int32_t>> *cuts) {
    OsiClpSolverInterface relaxation;
    silence(&relaxation);
    load_program(net, cycles, false, strong_count, &relaxation);
    relaxation.initialSolve();
    if (!relaxation.isProvenOptimal()) {
        *core = cycles;
        return;
    }
    const double *activity = relaxation.getRowActivity();
    for (size_t c = 0; c < cycles.size(); c++)
        (activity[c] <= 1.0 + 1e-7 ? core : cuts)->push_back(cycles[c]);
}

// Whether x (per arc, whole) keeps a chosen arc on every listed cycle.
bool breaks_every_cycle(const std::vector<std::vector<int32_t>> &cycles, const std::vector<uint8_t> &x) {
    for (const std::vector<int32_t> &c : cycles)
        if (std::none_of(c.begin(), c.end(), [&](int32_t a) { return x[static_cast<size_t>(a)] != 0; }))
            return false;
    return true;
}

// Solves the program of the listed cycles in whole numbers, starting from the
// incumbent's arcs (a feedback set of the whole graph, so an answer of every
// such program, unless it has another strong count than the one required);
// `pooled`: with the cycles split into rows and cuts; `give_up`, when given,
// may stop it early. The cycles its answers leave along the way are added to
// `cycles` and `known`. Returns a KAVELON_PROGRAM_* status.
int32_t solve_program(const NETWORK &net, std::vector<std::vector<int32_t>> *cycles,
                      std::set<std::vector<int32_t>> *known, int64_t strong_count, const INCUMBENT &best,
                      Clock::time_point deadline, const GIVE_UP *give_up, bool pooled, ANSWER *answer) {
    const double seconds = std::chrono::duration<double>(deadline - Clock::now()).count();
    const int columns = static_cast<int>(net.tail.size());
    std::vector<std::vector<int32_t>> core, found;
    CYCLE_CUTS pool{&net, {}, &found, known, deadline};
    if (pooled)
        split_cycles(net, *cycles, strong_count, &core, &pool.cuts);
    else
        core = *cycles;
    OsiClpSolverInterface solver;
    silence(&solver);
    load_program(net, core, true, strong_count, &solver);
    std::vector<double> cost(net.weight.begin(), net.weight.end());

    CbcModel model(solver);
    // At every node, and on every answer found: an answer that leaves a
    // cycle short is no answer, and a node's program gets all the short
    // cycles until none is, not once per pass.
    CycleCutGenerator generator;
    generator.cycles = &pool;
    CycleObject object(&model);
    object.net = &net;
    CbcObject *objects[1] = {&object};
    model.addObjects(1, objects);
    model.addCutGenerator(&generator, 1, "cycles", true, true);
    model.cutGenerator(model.numberCutGenerators() - 1)->setMustCallAgain(true);
    model.setLogLevel(0);
    model.messageHandler()->setLogLevel(0);
    model.solver()->messageHandler()->setLogLevel(0);
    model.setUseElapsedTime(true);
    model.setMaximumSeconds(std::max(seconds, 0.0));
    {
        const std::vector<double> start_answer(best.arcs.begin(), best.arcs.end());
        double value = 0;
        int64_t strong = 0;
        for (size_t a = 0; a < best.arcs.size(); a++) {
            value += best.arcs[a] ? cost[a] : 0.0;
            strong += best.arcs[a] && net.strong[a] ? 1 : 0;
        }
        if (strong_count < 0 || strong == strong_count)
            model.setBestSolution(start_answer.data(), columns, value, false);
    }
    // The plain search, the incumbent bounding it from the start, does best
    // on these programs: strong branching, and the trial branches that seed
    // its pseudo-costs, cost far more per node than they save (ten times the
    // time on sparse blocks of 150 rows), as do CBC's default cuts; its own
    // heuristics find nothing better than the incumbents given.
    model.setNumberStrong(0);
    model.setNumberBeforeTrust(0);
    // With the strong count fixed, deciding the strong arcs first leaves
    // programs of weak and ICD arcs alone below, whose bounds close far
    // sooner than those of a search that mixes the two: on sparse random
    // blocks of 150 rows the bounds after 20 s rose by a tenth and more.
    if (strong_count >= 0) {
        std::vector<int> priority(static_cast<size_t>(columns));
        for (int c = 0; c < columns; c++)
            priority[static_cast<size_t>(c)] = net.strong[static_cast<size_t>(c)] ? 1 : 100;
        model.passInPriorities(priority.data(), false);
    }
    if (give_up != nullptr) {
        GiveUpHandler handler;
        handler.give_up = give_up;
        model.passInEventHandler(&handler);  // CBC keeps a copy
    }
    model.branchAndBound();

    const double *x = model.bestSolution();
    answer->chosen.assign(static_cast<size_t>(columns), 0);
    answer->solution = x != nullptr;
    if (x != nullptr)
        for (int c = 0; c < columns; c++) answer->chosen[static_cast<size_t>(c)] = x[c] > 0.5 ? 1 : 0;
    answer->optimal = x != nullptr && model.isProvenOptimal();
    // The cycle object keeps every answer that leaves a cycle from the
    // search; should one still come back, its value bounds every answer of
    // the whole program (each cut holds for all of them), but it is no
    // answer: the caller solves again, with the cycles the search found as
    // rows, and with every cycle a row should the pool have failed.
    answer->short_of_pool = x != nullptr && !breaks_every_cycle(*cycles, answer->chosen);
    cycles->insert(cycles->end(), found.begin(), found.end());
    const double bound = model.getBestPossibleObjValue();
    answer->bound = std::isfinite(bound) ? bound : 0.0;
    if (model.isProvenInfeasible()) return KAVELON_PROGRAM_FAILED;  // every program here has answers
    return KAVELON_PROGRAM_SOLVED;
}

bool order_in_two_steps(const FEEDBACKGRAPH *g, const std::vector<int32_t> *start, Clock::time_point deadline,
                        FEEDBACKRESULT *r);

// Whether the strong marks of g not in `cut` (per mark) leave no cycle.
bool strong_rest_acyclic(const FEEDBACKGRAPH *g, const std::vector<uint8_t> &cut) {
    std::vector<int32_t> tail, head;
    for (size_t k = 0; k < g->marks.size(); k++) {
        const FEEDBACKMARK &m = g->marks[k];
        if (!m.strong || cut[k] || m.consumer == m.producer) continue;
        tail.push_back(m.producer);
        head.push_back(m.consumer);
    }
    return arcs_acyclic(g->n, tail, head);
}

// With its strong feedback marks chosen (`cut`, per mark), what is left of
// an order is a program of its own, and a small one: every other strong
// mark forward, the fewest weak and ICD marks back. Its relaxation is
// nearly always whole, so it takes milliseconds on blocks of 150 rows, where
// the program over every choice of strong marks can take seconds. The
// strong marks of each answer, once they break every strong cycle, so give
// an order as good in its weak/ICD count as that choice allows: far better
// than the answer's own marks, kept greedily, and a bound to cut the next
// rounds by. Nothing is done when the choice leaves a strong cycle.
void complete_strong_choice(const FEEDBACKGRAPH *g, const NETWORK &net, int64_t strong_weight,
                            const std::vector<uint8_t> &cut, const std::vector<int32_t> &start,
                            Clock::time_point deadline, INCUMBENT *best) {
    if (!strong_rest_acyclic(g, cut)) return;
    FEEDBACKGRAPH rest{g->n, {}};
    for (size_t k = 0; k < g->marks.size(); k++)
        if (!(g->marks[k].strong && cut[k])) rest.marks.push_back(g->marks[k]);
    FEEDBACKRESULT r;
    if (order_in_two_steps(&rest, &start, deadline, &r)) consider(g, net, strong_weight, r.order, best);
}

// The whole search once the network is built: rounds of program and new
// cycles until an answer leaves no cycle, the incumbent meets the bound, or
// the time is spent. With `strong_count` not negative, only feedback sets
// of that many strong arcs count (the least there can be), and so must the
// incumbent's. Returns the lower bound of the weighted feedback found, and
// adds to r's rounds and sets its cycles; a failed program ends the search
// with its status in *status. `cycles` holds cycles of the network to
// start from, and ends with those of the last program. `give_up`, when
// given, may end the search early.
int64_t search(const FEEDBACKGRAPH *g, const NETWORK &net, int64_t strong_count, Clock::time_point deadline,
               const GIVE_UP *give_up, int64_t strong_weight, const std::vector<int64_t> &mark_weight,
               INCUMBENT *best, FEEDBACKRESULT *r, int32_t *status,
               std::vector<std::vector<int32_t>> *cycles_io) {
    int64_t lower = 0;
    std::vector<std::vector<int32_t>> &cycles = *cycles_io;
    std::set<std::vector<int32_t>> known(cycles.begin(), cycles.end());
    // A shortest cycle through every arc, and through every strong arc one
    // of strong arcs alone: those settle the strong count most.
    bool in_time = add_shortest_cycles(
                       net, [](int32_t) { return true; }, deadline, &known, &cycles) &&
                   add_shortest_cycles(
                       net, [&](int32_t a) { return net.strong[static_cast<size_t>(a)] != 0; }, deadline,
                       &known, &cycles);
    if (in_time) {
        const double bound = tighten_relaxation(net, strong_count, deadline, &known, &cycles);
        const double tolerance = 1e-6 * std::max(1.0, std::fabs(bound));
        lower = std::max(lower, static_cast<int64_t>(std::ceil(bound - tolerance)));
    }
    std::vector<uint8_t> dropped(g->marks.size(), 0);
    bool pooled = true;
    while (in_time && best->weight > lower) {
        const double seconds = std::chrono::duration<double>(deadline - Clock::now()).count();
        if (seconds <= 0) break;
        ANSWER answer;
        *status = solve_program(net, &cycles, &known, strong_count, *best, deadline, give_up, pooled, &answer);
        r->rounds++;
        r->cycles = static_cast<int64_t>(cycles.size());
        if (*status != KAVELON_PROGRAM_SOLVED || !answer.solution) break;
        int64_t chosen = 0;
        for (size_t a = 0; a < net.tail.size(); a++) {
            dropped[static_cast<size_t>(net.mark[a])] = answer.chosen[a];
            if (answer.chosen[a]) chosen += net.weight[a];
        }
        if (answer.optimal) {
            lower = std::max(lower, chosen);
        } else {
            const double tolerance = 1e-6 * std::max(1.0, std::fabs(answer.bound));
            lower = std::max(lower, static_cast<int64_t>(std::ceil(answer.bound - tolerance)));
        }
        // The marks the answer keeps, in order: all of them forward once
        // the answer leaves no cycle, and then the order meets the bound.
        std::vector<int32_t> kept = order_keeping(g, mark_weight, dropped, net.inner);
        // An answer the time cut short leaves many cycles, which the order
        // breaks greedily; the local search then takes back much of what
        // that cost (on dense blocks of 150 rows at a limit of 1 s, 2 %
        // fewer strong inputs in all than the same search run on the best
        // order only at the end). It runs once, as the search ends here.
        if (!answer.optimal) improve_locally(g, &kept);
        if (strong_count > 0) complete_strong_choice(g, net, strong_weight, dropped, kept, deadline, best);
        consider(g, net, strong_weight, std::move(kept), best);
        if (!answer.optimal || best->weight <= lower) break;
        const size_t before = cycles.size();
        in_time = add_shortest_cycles(
            net, [&](int32_t a) { return answer.chosen[static_cast<size_t>(a)] == 0; }, deadline, &known,
            &cycles);
        // No cycle left: cannot happen above the bound. An answer that
        // leaves only cycles the program held, pooled, is solved again with
        // every cycle a row, once.
        if (cycles.size() == before && breaks_every_cycle(cycles, answer.chosen)) break;
        if (cycles.size() == before && answer.short_of_pool) {
            if (!pooled) break;
            pooled = false;
        }
    }
    return std::min(lower, best->weight);
}

// Weights of the marks of g: a strong one more than all weak and ICD ones.
std::vector<int64_t> weights_of(const FEEDBACKGRAPH *g, int64_t strong_weight) {
    std::vector<int64_t> weight;
    weight.reserve(g->marks.size());
    for (const FEEDBACKMARK &m : g->marks) weight.push_back(m.strong ? strong_weight : 1);
    return weight;
}

// Fills r from the best order and a lower bound of its weighted feedback.
void finish(const FEEDBACKGRAPH *g, const NETWORK &net, int64_t lower, INCUMBENT *best, FEEDBACKRESULT *r) {
    const int64_t strong_weight = net.weak + 1;
    measure(g, best->order, r);
    r->order = std::move(best->order);
    lower = std::min(lower, best->weight);
    r->bound[0] = lower / strong_weight;
    r->bound[1] = lower % strong_weight;
    r->bound[2] = r->bound[0] + r->bound[1];
    r->proven = net.tail.empty() || best->weight <= lower ? 1 : 0;
    r->distance_proven = r->proven && r->strong_distance + r->weak_distance == r->bound[2] ? 1 : 0;
    r->status = r->proven ? KAVELON_PROGRAM_SOLVED : KAVELON_PROGRAM_STOPPED;
}

// Without time for a program: the better of the start and a constructive order.
void order_at_once(const FEEDBACKGRAPH *g, const std::vector<int32_t> *start, FEEDBACKRESULT *r) {
    const NETWORK net = network_of(g);
    INCUMBENT best;
    if (start != nullptr && !start->empty()) consider(g, net, net.weak + 1, *start, &best);
    consider(
        g, net, net.weak + 1,
        order_keeping(g, weights_of(g, net.weak + 1), std::vector<uint8_t>(g->marks.size(), 0), net.inner),
        &best);
    finish(g, net, 0, &best, r);
}

// The strong count first, on the strong marks alone (a program with one
// weight, far easier than the weighted one), then the weak/ICD count among
// the feedback sets with that strong count. Returns false, with r
// untouched, when a program fails (r->status then says how), true when r
// holds the result.
bool order_in_two_steps(const FEEDBACKGRAPH *g, const std::vector<int32_t> *start, Clock::time_point deadline,
                        FEEDBACKRESULT *r) {
    const bool started = start != nullptr && !start->empty();
    // The strong marks alone, and for each the mark of g it is.
    FEEDBACKGRAPH strong{g->n, {}};
    std::vector<int32_t> mark_of_strong;
    for (size_t k = 0; k < g->marks.size(); k++) {
        if (!g->marks[k].strong) continue;
        strong.marks.push_back(g->marks[k]);
        mark_of_strong.push_back(static_cast<int32_t>(k));
    }
    const NETWORK strong_net = network_of(&strong);
    const std::vector<int64_t> ones(strong.marks.size(), 1);
    INCUMBENT first;
    if (started) consider(&strong, strong_net, 1, *start, &first);
    consider(&strong, strong_net, 1,
             order_keeping(&strong, ones, std::vector<uint8_t>(strong.marks.size(), 0), strong_net.inner),
             &first);
    int32_t status = KAVELON_PROGRAM_SOLVED;
    int64_t strong_least = 0;
    std::vector<std::vector<int32_t>> strong_cycles;
    // Should the strong count be far from proven at half the time, the
    // rest goes to the local search.
    const GIVE_UP give_up{Clock::now() + (deadline - Clock::now()) / 2};
    if (!strong_net.tail.empty())
        strong_least = search(&strong, strong_net, -1, deadline, &give_up, 1, ones, &first, r, &status,
                              &strong_cycles);
    if (status != KAVELON_PROGRAM_SOLVED) {
        r->status = status;
        return false;
    }
    // The whole graph, from the orders so far: the strong feedback of the
    // best one kept, every other strong mark forward, the weak and ICD marks
    // placed as well as they go.
    const NETWORK net = network_of(g);
    const int64_t strong_weight = net.weak + 1;
    const std::vector<int64_t> weight = weights_of(g, strong_weight);
    INCUMBENT best;
    if (started) consider(g, net, strong_weight, *start, &best);
    consider(g, net, strong_weight, first.order, &best);
    {
        // cut: the strong feedback of that order; dropped: that and every
        // weak or ICD mark that can be feedback at all.
        std::vector<int32_t> pos(static_cast<size_t>(g->n));
        for (size_t t = 0; t < first.order.size(); t++)
            pos[static_cast<size_t>(first.order[t])] = static_cast<int32_t>(t);
        std::vector<uint8_t> cut(g->marks.size(), 0), dropped(g->marks.size(), 0);
        for (size_t k = 0; k < g->marks.size(); k++) {
            const FEEDBACKMARK &m = g->marks[k];
            cut[k] = m.strong && pos[static_cast<size_t>(m.producer)] > pos[static_cast<size_t>(m.consumer)];
            dropped[k] = net.inner[k] && (!m.strong || cut[k]);
        }
        if (strong_least > 0 && first.weight == strong_least)
            complete_strong_choice(g, net, strong_weight, cut, first.order, deadline, &best);
        consider(g, net, strong_weight, order_keeping(g, weight, dropped, net.inner), &best);
    }
    consider(g, net, strong_weight,
             order_keeping(g, weight, std::vector<uint8_t>(g->marks.size(), 0), net.inner), &best);
    if (first.weight > strong_least) {  // the time ran out on the strong count
        const SEQGRAPH s = seq_graph_of(g);
        std::vector<int32_t> order = best.order;
        kavelon_improve_order_until(&s, KAVELON_SEQUENCE_INPUTS, deadline, &order);
        consider(g, net, strong_weight, std::move(order), &best);
        finish(g, net, strong_least * strong_weight, &best, r);
        return true;
    }
    int64_t lower = strong_least * strong_weight;
    if (!net.tail.empty() && best.weight > lower) {
        // The cycles that settled the strong count are cycles of the whole
        // graph too: with them, the second program knows from the start
        // which strong arcs can make up that count together.
        std::vector<int32_t> arc_of_mark(g->marks.size(), -1);
        for (size_t a = 0; a < net.mark.size(); a++)
            arc_of_mark[static_cast<size_t>(net.mark[a])] = static_cast<int32_t>(a);
        std::vector<std::vector<int32_t>> cycles;
        for (const std::vector<int32_t> &c : strong_cycles) {
            std::vector<int32_t> arcs;
            for (int32_t a : c) {
                const int32_t k =
                    mark_of_strong[static_cast<size_t>(strong_net.mark[static_cast<size_t>(a)])];
                arcs.push_back(arc_of_mark[static_cast<size_t>(k)]);
            }
            // A strong cycle lies within one part of the whole graph, so
            // each of its marks is an arc there; should one not be, the
            // cycle is left out rather than misread.
            if (std::find(arcs.begin(), arcs.end(), -1) != arcs.end()) continue;
            std::sort(arcs.begin(), arcs.end());
            cycles.push_back(std::move(arcs));
        }
        lower = std::max(
            lower,
            search(g, net, strong_least, deadline, nullptr, strong_weight, weight, &best, r, &status, &cycles));
        if (status != KAVELON_PROGRAM_SOLVED) {
            r->status = status;
            return false;
        }
    }
    finish(g, net, lower, &best, r);
    return true;
}

}  // namespace

int32_t kavelon_order_by_program(const FEEDBACKGRAPH *g, double seconds, const std::vector<int32_t> *start,
                                 FEEDBACKRESULT *r) {
    *r = FEEDBACKRESULT{};
    r->status = KAVELON_PROGRAM_INVALID;
    if (g == nullptr || g->n < 0) return r->status;
    for (const FEEDBACKMARK &m : g->marks)
        if (m.consumer < 0 || m.consumer >= g->n || m.producer < 0 || m.producer >= g->n) return r->status;
    if (start != nullptr && !start->empty()) {
        if (start->size() != static_cast<size_t>(g->n)) return r->status;
        std::vector<uint8_t> seen(start->size(), 0);
        for (int32_t v : *start) {
            if (v < 0 || v >= g->n || seen[static_cast<size_t>(v)]) return r->status;
            seen[static_cast<size_t>(v)] = 1;
        }
    }
    const Clock::time_point begin = Clock::now();
    // Beyond a few years the limit is none; the clock's range is not reached.
    const double limit = std::min(std::isnan(seconds) ? 0.0 : seconds, 1e8);
    const Clock::time_point deadline = begin + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(std::max(limit, 0.0)));
    try {
        if (limit <= 0) {
            order_at_once(g, start, r);
        } else if (!order_in_two_steps(g, start, deadline, r)) {
            const int32_t status = r->status;
            *r = FEEDBACKRESULT{};
            r->status = status;
        }
    } catch (const std::bad_alloc &) {
        *r = FEEDBACKRESULT{};
        r->status = KAVELON_PROGRAM_NO_MEMORY;
    } catch (...) {
        // CBC's own errors (CoinError) and anything else it may throw.
        *r = FEEDBACKRESULT{};
        r->status = KAVELON_PROGRAM_FAILED;
    }
    return r->status;
}
