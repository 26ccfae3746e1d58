// Generator of valid design processes for the benchmarks.
#include "dsm_gen.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <set>

namespace {

struct Rng {
    std::mt19937 engine;
    explicit Rng(uint32_t seed) : engine(seed) {}
    // Uniform in lo..hi, both included.
    int32_t range(int32_t lo, int32_t hi) {
        return lo + static_cast<int32_t>(engine() % static_cast<uint32_t>(hi - lo + 1));
    }
    bool chance(int percent) { return range(0, 99) < percent; }
};

// Builds inputs on logical activity ids; file order is applied at the end.
struct Builder {
    int32_t n;
    std::vector<std::vector<GenInput>> inputs;
    std::vector<std::set<int32_t>> used;  // logical ids (or -1 - constraint) per activity
    explicit Builder(int32_t n_) : n(n_), inputs(n_), used(n_) {}

    bool add(int32_t to, int32_t from, char code) {
        if (from == to || !used[to].insert(from).second) return false;
        inputs[to].push_back({from, false, code});
        return true;
    }
    void add_constraint(int32_t to, int32_t k, char code) {
        if (used[to].insert(-1 - k).second) inputs[to].push_back({k, true, code});
    }
};

// Weak and ICD inputs anywhere (earlier or later), constraints now and then.
void add_soft_inputs(Builder &b, Rng &rng, int32_t nQ) {
    for (int32_t i = 0; i < b.n; i++) {
        if (b.n < 2) break;
        const int weak = rng.range(1, 2);
        for (int k = 0; k < weak; k++) b.add(i, rng.range(0, b.n - 1), 'W');
        if (rng.chance(30)) b.add(i, rng.range(0, b.n - 1), 'I');
        if (nQ > 0 && rng.chance(20)) b.add_constraint(i, rng.range(0, nQ - 1), rng.chance(50) ? 'W' : 'I');
    }
}

// Strong inputs from a ring over the members, plus chords inside the group.
void add_cycle_group(Builder &b, Rng &rng, const std::vector<int32_t> &members, int chords) {
    const int32_t s = static_cast<int32_t>(members.size());
    for (int32_t k = 0; k < s; k++) b.add(members[k], members[(k + 1) % s], 'S');
    for (int c = 0; c < chords && s > 2; c++)
        b.add(members[rng.range(0, s - 1)], members[rng.range(0, s - 1)], 'S');
}

// Layered model: strong inputs only from earlier layers, except inside a few
// dozen coupled groups of 2 to 30 activities within one layer.
void realistic(Builder &b, Rng &rng, int32_t nQ) {
    const int32_t n = b.n;
    const int32_t layers = std::max<int32_t>(2, static_cast<int32_t>(std::sqrt(static_cast<double>(n))));
    std::vector<int32_t> layer_start(layers + 1);
    for (int32_t l = 0; l <= layers; l++) layer_start[l] = static_cast<int32_t>(static_cast<int64_t>(n) * l / layers);
    auto layer_of = [&](int32_t id) {
        return static_cast<int32_t>(std::upper_bound(layer_start.begin(), layer_start.end(), id) - layer_start.begin()) - 1;
    };
    // Coupled groups, each inside one layer (never the first).
    std::vector<int32_t> strong_left(n, 0);
    for (int32_t i = 0; i < n; i++) strong_left[i] = rng.range(3, 5);
    const int32_t groups = std::clamp<int32_t>(n / 30, 1, 36);
    for (int32_t g = 0; g < groups && layers > 1; g++) {
        const int32_t l = rng.range(1, layers - 1);
        const int32_t width = layer_start[l + 1] - layer_start[l];
        const int32_t size = std::min(rng.range(2, 30), width);
        if (size < 2) continue;
        const int32_t first = layer_start[l] + rng.range(0, width - size);
        std::vector<int32_t> members(size);
        std::iota(members.begin(), members.end(), first);
        // A group overlapping an earlier one simply merges with it.
        add_cycle_group(b, rng, members, size / 3);
        for (int32_t id : members) strong_left[id] -= static_cast<int32_t>(b.inputs[id].size());
    }
    for (int32_t i = 0; i < n; i++) {
        const int32_t l = layer_of(i);
        if (l == 0) {
            for (int k = 0; k < rng.range(1, 3) && nQ > 0; k++) b.add_constraint(i, rng.range(0, nQ - 1), 'S');
            continue;
        }
        // Mostly the layers just before, now and then much earlier ones.
        for (int tries = 0; strong_left[i] > 0 && tries < 50; tries++) {
            const int32_t back = rng.chance(80) ? rng.range(1, std::min<int32_t>(l, 3)) : rng.range(1, l);
            const int32_t from_layer = l - back;
            const int32_t from = rng.range(layer_start[from_layer], layer_start[from_layer + 1] - 1);
            if (b.add(i, from, 'S')) strong_left[i]--;
        }
    }
    add_soft_inputs(b, rng, nQ);
}

// Activity i depends strongly on activity i + 1: the file lists the chain
// backwards, so the block search frees one activity per block from the end.
void chain(Builder &b, Rng &rng, int32_t nQ) {
    for (int32_t i = 0; i + 1 < b.n; i++) b.add(i, i + 1, 'S');
    if (nQ > 0) b.add_constraint(b.n - 1, 0, 'S');
    add_soft_inputs(b, rng, nQ);
}

// Half of the activities form one strongly connected component; the other
// half depends on it and on each other without cycles.
void half(Builder &b, Rng &rng, int32_t nQ) {
    const int32_t core = std::max<int32_t>(1, b.n / 2);
    std::vector<int32_t> members(core);
    std::iota(members.begin(), members.end(), 0);
    add_cycle_group(b, rng, members, 2 * core);
    for (int32_t i = core; i < b.n; i++) {
        const int32_t want = rng.range(3, 5);
        for (int tries = 0, got = 0; got < want && tries < 50; tries++)
            if (b.add(i, rng.range(std::max<int32_t>(0, i - 200), i - 1), 'S')) got++;
    }
    if (nQ > 0) b.add_constraint(0, 0, 'S');
    add_soft_inputs(b, rng, nQ);
}

// Segments of 10 to 60 activities, each holding many short overlapping
// cycles, with strong inputs into earlier segments.
void cycles(Builder &b, Rng &rng, int32_t nQ) {
    int32_t start = 0;
    while (start < b.n) {
        const int32_t len = std::min(rng.range(10, 60), b.n - start);
        const int32_t count = std::max<int32_t>(1, len / 2);
        for (int32_t c = 0; c < count; c++) {
            std::vector<int32_t> members(std::min(rng.range(2, 5), len));
            for (auto &id : members) id = start + rng.range(0, len - 1);
            std::sort(members.begin(), members.end());
            members.erase(std::unique(members.begin(), members.end()), members.end());
            if (members.size() >= 2) add_cycle_group(b, rng, members, 0);
        }
        for (int32_t i = start; i < start + len && start > 0; i++)
            if (rng.chance(60)) b.add(i, rng.range(std::max<int32_t>(0, start - 300), start - 1), 'S');
        start += len;
    }
    if (nQ > 0) b.add_constraint(0, 0, 'S');
    add_soft_inputs(b, rng, nQ);
}

}  // namespace

bool generate_model(const std::string &shape, int32_t n, uint32_t seed, GenModel &m) {
    Rng rng(seed);
    Builder b(n);
    const int32_t nQ = std::max<int32_t>(1, n / 10);
    if (shape == "realistic") realistic(b, rng, nQ);
    else if (shape == "chain") chain(b, rng, nQ);
    else if (shape == "half") half(b, rng, nQ);
    else if (shape == "cycles") cycles(b, rng, nQ);
    else return false;

    // File order: shuffled, except for the chain, whose order is the point.
    std::vector<int32_t> position(n);
    std::iota(position.begin(), position.end(), 0);
    if (shape != "chain") std::shuffle(position.begin(), position.end(), rng.engine);
    m.n = n;
    m.nQ = nQ;
    m.activity_inputs.assign(n, {});
    for (int32_t id = 0; id < n; id++) {
        auto &list = m.activity_inputs[position[id]];
        for (GenInput in : b.inputs[id]) {
            if (!in.constraint) in.source = position[in.source];
            list.push_back(in);
        }
    }
    const int32_t nR = std::max<int32_t>(1, n / 50);
    m.output_inputs.assign(nR, {});
    for (auto &list : m.output_inputs) {
        std::set<int32_t> seen;
        const int want = rng.range(2, 4);
        for (int k = 0; k < want; k++) {
            const int32_t from = rng.range(0, n - 1);
            if (seen.insert(from).second) list.push_back({from, false, "SSWI"[rng.range(0, 3)]});
        }
        if (rng.chance(30)) list.push_back({rng.range(0, nQ - 1), true, 'I'});
    }
    return true;
}

namespace {

const char *dependency_tag(char code) {
    return code == 'S' ? "strong" : code == 'W' ? "weak" : "icd";
}

void write_inputs(const std::vector<GenInput> &inputs, FILE *out) {
    for (const GenInput &in : inputs) {
        const char *tag = dependency_tag(in.code);
        if (in.constraint) std::fprintf(out, "<%s>given_%d</%s>", tag, in.source, tag);
        else std::fprintf(out, "<%s>data_item_%d</%s>", tag, in.source, tag);
    }
}

}  // namespace

void write_model_xml(const GenModel &m, FILE *out, bool compact) {
    const char *line_end = compact ? "" : "\n";
    std::fprintf(out, "<design_process>%s<name>Generated process</name>%s<version>1</version>%s", line_end,
                 line_end, line_end);
    std::fprintf(out, "<version_date>Dec 8 2026</version_date>%s<study_name>benchmark</study_name>%s",
                 line_end, line_end);
    for (int32_t i = 0; i < m.n; i++) {
        std::fprintf(out, "<design_activity><name>Activity %d</name><data>data_item_%d</data>", i, i);
        write_inputs(m.activity_inputs[i], out);
        std::fprintf(out, "</design_activity>%s", line_end);
    }
    for (size_t o = 0; o < m.output_inputs.size(); o++) {
        std::fprintf(out, "<output><name>Output %zu</name>", o);
        write_inputs(m.output_inputs[o], out);
        std::fprintf(out, "</output>%s", line_end);
    }
    for (int32_t k = 0; k < m.nQ; k++)
        std::fprintf(out, "<constraint><data>given_%d</data></constraint>%s", k, line_end);
    std::fprintf(out, "</design_process>\n");
}

namespace {

template <typename T>
T *cleared(size_t count) {
    void *p = std::calloc(count == 0 ? 1 : count, sizeof(T));
    if (p == nullptr) {
        std::fprintf(stderr, "out of memory\n");
        std::exit(1);
    }
    return static_cast<T *>(p);
}

char *text(const std::string &s) {
    char *p = cleared<char>(s.size() + 1);
    std::memcpy(p, s.c_str(), s.size());
    return p;
}

// Cells in all lists: room enough for the rows of either matrix.
size_t cells_in(const std::vector<std::vector<GenInput>> &lists) {
    size_t cells = 0;
    for (const auto &list : lists) cells += list.size();
    return cells;
}

// The k-th list's items go into rows[k] (activities) or constraint_rows[k].
void fill_rows(const std::vector<std::vector<GenInput>> &lists, KAVROW *rows, KAVROW *constraint_rows) {
    const int32_t count = static_cast<int32_t>(lists.size());
    for (int32_t k = 0; k < count; k++) {
        for (const GenInput &in : lists[k])
            kavelon_add_cell(in.constraint ? &constraint_rows[k] : &rows[k], in.source, in.code);
        kavelon_close_row(rows, k, count);
        kavelon_close_row(constraint_rows, k, count);
    }
}

}  // namespace

void fill_record(const GenModel &m, KAVELON *dt) {
    kavelon_initialize(dt);
    const int32_t n = m.n;
    const int32_t nR = static_cast<int32_t>(m.output_inputs.size());
    dt->n = n;
    dt->nQ = m.nQ;
    dt->nR = nR;
    if (kavelon_create_tables(dt, cells_in(m.activity_inputs), cells_in(m.output_inputs)) != 0)
        std::exit(1);
    for (int32_t i = 0; i < n; i++) {
        dt->design_activity_name[i] = text("Activity " + std::to_string(i));
        dt->design_data_name[i] = text("data_item_" + std::to_string(i));
    }
    for (int32_t k = 0; k < m.nQ; k++) dt->constraint_name[k] = text("given_" + std::to_string(k));
    for (int32_t o = 0; o < nR; o++) dt->output_name[o] = text("Output " + std::to_string(o));
    fill_rows(m.activity_inputs, dt->P, dt->Q);
    if (nR > 0) fill_rows(m.output_inputs, dt->R, dt->T);
}
