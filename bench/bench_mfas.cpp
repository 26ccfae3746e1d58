// The integer program for in-block sequencing, measured on generated coupled
// blocks of 25 to 150 activities: sparse process-like ones (mostly marks near
// the diagonal, a chain of strong marks through the block and some long
// feedback), sparse random ones, and dense random ones of 4 strong marks a
// row. Per size: wall time per block (median, max), how many are proven
// optimal, the mean gap between result and bound of the others, and the
// strong inputs the local-search heuristic leaves against the program's.
//
//   kavelon_bench_mfas [ROUNDS [SECONDS [FAMILY]]]   ROUNDS blocks per size (default 10),
//                                           SECONDS limit per block (default 10),
//                                           FAMILY process, random or dense alone
//   kavelon_bench_mfas --one FAMILY N STRONG WEAK K SECONDS   one block alone
//   kavelon_bench_mfas --dense-best ROUNDS SECONDS LONG_SECONDS   dense blocks against
//                                           the best order known (every block's counts
//                                           too with KAVELON_BENCH_BLOCKS=1 set)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sequence/methods.h"
#include "sequence/mfas.h"

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The marks of a block as the heuristic reads them, and as the program does.
struct BLOCK {
    SEQGRAPH seq;
    FEEDBACKGRAPH feedback;
};

struct MAKER {
    int32_t n;
    std::mt19937 rng;
    std::set<std::pair<int32_t, int32_t>> taken;
    BLOCK b;
    void add(int32_t consumer, int32_t producer, int32_t strong) {
        if (consumer == producer || consumer < 0 || producer < 0 || consumer >= n || producer >= n) return;
        if (!taken.insert({consumer, producer}).second) return;
        b.seq.marks.push_back({consumer, producer, strong});
        b.feedback.marks.push_back({consumer, producer, strong});
    }
    int32_t any() { return static_cast<int32_t>(rng() % static_cast<uint32_t>(n)); }
    int32_t chance() { return static_cast<int32_t>(rng() % 100u); }
    // A producer for consumer i: mostly a few rows earlier, now and then a
    // few rows later (local iteration), sometimes anywhere (long feedback).
    int32_t near_producer(int32_t i) {
        if (chance() < 20) return any();
        const int32_t d = 1 + static_cast<int32_t>(rng() % 6u);
        return chance() < 70 ? i - d : i + d;
    }
};

// kind: 0 process-like, 1 random sparse, 2 random dense. strong and weak
// are marks per row in tenths.
BLOCK make_block(int kind, int32_t n, int32_t strong_tenths, int32_t weak_tenths, uint32_t seed) {
    MAKER m{n, std::mt19937(seed), {}, {}};
    m.b.seq.n = n;
    m.b.feedback.n = n;
    // A strong chain through the block, closed by one long feedback mark:
    // the block is one coupled block however the rest falls.
    for (int32_t i = 1; i < n; i++) m.add(i, i - 1, 1);
    m.add(0, n - 1, 1);
    const size_t strong_marks = static_cast<size_t>(n) * static_cast<size_t>(strong_tenths) / 10;
    for (int tries = 0; m.b.seq.marks.size() < strong_marks && tries < 100 * n; tries++) {
        const int32_t i = m.any();
        m.add(i, kind == 0 ? m.near_producer(i) : m.any(), 1);
    }
    const size_t all_marks = strong_marks + static_cast<size_t>(n) * static_cast<size_t>(weak_tenths) / 10;
    for (int tries = 0; m.b.seq.marks.size() < all_marks && tries < 100 * n; tries++) {
        const int32_t i = m.any();
        m.add(i, kind == 0 ? m.near_producer(i) : m.any(), 0);
    }
    return m.b;
}

struct ROW {
    std::vector<double> seconds;
    int proven = 0, strong_proven = 0, failed = 0;
    double gap_sum = 0;
    int gaps = 0;
    int64_t program_strong = 0, heuristic_strong = 0;
    int heuristic_worse = 0, program_worse = 0;
    double heuristic_seconds = 0;
};

void run(const char *family, int kind, int32_t n, int32_t strong_tenths, int32_t weak_tenths, int rounds,
         double limit) {
    ROW row;
    for (int k = 0; k < rounds; k++) {
        const BLOCK b = make_block(kind, n, strong_tenths, weak_tenths, static_cast<uint32_t>(1000 * n + k));
        // The heuristic's order, as the sequencing stage has it, is the
        // program's start.
        SEQRESULT h;
        const double h_start = now();
        kavelon_order_block(&b.seq, KAVELON_SEQUENCE_INPUTS, KAVELON_EXACT_LIMIT, &h, 0);
        row.heuristic_seconds += now() - h_start;
        FEEDBACKRESULT r;
        const double start = now();
        kavelon_order_by_program(&b.feedback, limit, &h.order, &r);
        row.seconds.push_back(now() - start);
        if (r.status != KAVELON_PROGRAM_SOLVED && r.status != KAVELON_PROGRAM_STOPPED) {
            row.failed++;
            continue;
        }
        if (r.proven) row.proven++;
        if (r.strong_inputs == r.bound[0]) row.strong_proven++;
        if (!r.proven && r.strong_inputs > 0) {
            row.gap_sum +=
                static_cast<double>(r.strong_inputs - r.bound[0]) / static_cast<double>(r.strong_inputs);
            row.gaps++;
        }
        row.program_strong += r.strong_inputs;
        row.heuristic_strong += h.sequence.strong_inputs;
        const bool h_better =
            h.sequence.strong_inputs < r.strong_inputs ||
            (h.sequence.strong_inputs == r.strong_inputs && h.sequence.weak_inputs < r.weak_inputs);
        const bool p_better =
            r.strong_inputs < h.sequence.strong_inputs ||
            (r.strong_inputs == h.sequence.strong_inputs && r.weak_inputs < h.sequence.weak_inputs);
        row.heuristic_worse += p_better ? 1 : 0;
        row.program_worse += h_better ? 1 : 0;
    }
    std::vector<double> s = row.seconds;
    std::sort(s.begin(), s.end());
    const double median = s.empty() ? 0 : (s[(s.size() - 1) / 2] + s[s.size() / 2]) / 2;
    const double most = s.empty() ? 0 : s.back();
    const double excess = row.program_strong > 0
                              ? 100.0 * static_cast<double>(row.heuristic_strong - row.program_strong) /
                                    static_cast<double>(row.program_strong)
                              : 0.0;
    std::printf(
        "%-8s %4d %4.1f %4.1f %7.3f %7.3f %4d/%-3d %4d/%-3d %6.1f%% %8lld %8lld %+7.1f%% %4d %4d %7.3f\n",
        family, n, strong_tenths / 10.0, weak_tenths / 10.0, median, most, row.strong_proven, rounds,
        row.proven, rounds, row.gaps > 0 ? 100.0 * row.gap_sum / row.gaps : 0.0,
        static_cast<long long>(row.program_strong), static_cast<long long>(row.heuristic_strong), excess,
        row.heuristic_worse, row.program_worse, row.heuristic_seconds / std::max(1, rounds));
    std::fflush(stdout);
}

// Strong and weak/ICD feedback marks of an order.
std::pair<int64_t, int64_t> counts_of(const SEQGRAPH &g, const std::vector<int32_t> &order) {
    BLOCKSEQ s{};
    kavelon_measure_order(&g, order, &s);
    return {s.strong_inputs, s.weak_inputs};
}

// The best order known for a block, by other means than the program:
// iterated local search from the heuristic's order for `seconds`, each
// restart the best so far shaken by a few random moves.
std::vector<int32_t> best_known(const SEQGRAPH &g, std::vector<int32_t> order, double seconds,
                                uint32_t seed) {
    std::mt19937 rng(seed);
    const double until = now() + seconds;
    auto best = counts_of(g, order);
    const int32_t n = g.n;
    for (int k = 0; now() < until; k++) {
        std::vector<int32_t> next = order;
        const int32_t shakes = 2 + k % std::max<int32_t>(1, n / 8);
        for (int32_t j = 0; j < shakes; j++) {
            const int32_t from = static_cast<int32_t>(rng() % static_cast<uint32_t>(n));
            const int32_t to = static_cast<int32_t>(rng() % static_cast<uint32_t>(n));
            const int32_t v = next[static_cast<size_t>(from)];
            next.erase(next.begin() + from);
            next.insert(next.begin() + to, v);
        }
        kavelon_improve_order(&g, KAVELON_SEQUENCE_INPUTS, &next);
        const auto c = counts_of(g, next);
        if (c <= best) {
            best = c;
            order = std::move(next);
        }
    }
    return order;
}

// Dense blocks: the program's result within `limit` seconds (improved by
// the local search, as the sequencing stage does) against the best known,
// the better of the program given `long_limit` seconds and as long an
// iterated local search. Prints the mean strong excess per size.
void run_against_best(int rounds, double limit, double long_limit) {
    std::printf("Dense blocks: result in %.1f s against the best known in %.0f s (program or local search)\n",
                limit, long_limit);
    std::printf("%-8s %4s %8s %8s %8s %8s %9s\n", "family", "n", "result_S", "best_S", "bound_S", "excess",
                "worst");
    for (int32_t n : {100, 125, 150}) {
        double excess_sum = 0, worst = 0;
        int64_t result_total = 0, best_total = 0, bound_total = 0;
        for (int k = 0; k < rounds; k++) {
            const BLOCK b = make_block(2, n, 40, 15, static_cast<uint32_t>(1000 * n + k));
            SEQRESULT h;
            kavelon_order_block(&b.seq, KAVELON_SEQUENCE_INPUTS, KAVELON_EXACT_LIMIT, &h, 0);
            FEEDBACKRESULT r, l;
            kavelon_order_by_program(&b.feedback, limit, &h.order, &r);
            kavelon_improve_order(&b.seq, KAVELON_SEQUENCE_INPUTS, &r.order);
            kavelon_order_by_program(&b.feedback, long_limit, &h.order, &l);
            kavelon_improve_order(&b.seq, KAVELON_SEQUENCE_INPUTS, &l.order);
            const std::vector<int32_t> ils =
                best_known(b.seq, h.order, long_limit, static_cast<uint32_t>(k + 1));
            const int64_t result = counts_of(b.seq, r.order).first;
            const int64_t program = counts_of(b.seq, l.order).first, search = counts_of(b.seq, ils).first;
            const int64_t best = std::min({result, program, search});
            const double excess =
                best > 0 ? 100.0 * static_cast<double>(result - best) / static_cast<double>(best) : 0;
            if (std::getenv("KAVELON_BENCH_BLOCKS") != nullptr)
                std::printf("block %d %d: result %lld program %lld search %lld\n", n, k,
                            static_cast<long long>(result), static_cast<long long>(program),
                            static_cast<long long>(search));
            excess_sum += excess;
            worst = std::max(worst, excess);
            result_total += result;
            best_total += best;
            bound_total += std::max(r.bound[0], l.bound[0]);
        }
        std::printf("%-8s %4d %8lld %8lld %8lld %7.1f%% %8.1f%%\n", "dense", n,
                    static_cast<long long>(result_total), static_cast<long long>(best_total),
                    static_cast<long long>(bound_total), excess_sum / rounds, worst);
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::string(argv[1]) == "--dense-best") {
        // kavelon_bench_mfas --dense-best ROUNDS SECONDS LONG_SECONDS
        if (argc != 5) {
            std::fprintf(stderr, "usage: kavelon_bench_mfas --dense-best ROUNDS SECONDS LONG_SECONDS\n");
            return 2;
        }
        run_against_best(std::max(1, std::atoi(argv[2])), std::atof(argv[3]), std::atof(argv[4]));
        return 0;
    }
    if (argc > 1 && std::string(argv[1]) == "--one") {
        // One block, described by family (0 process-like, 1 random, 2 dense),
        // rows, strong and weak marks a row in tenths, seed number and limit.
        if (argc != 8) {
            std::fprintf(stderr, "usage: kavelon_bench_mfas --one FAMILY N STRONG WEAK K SECONDS\n");
            return 2;
        }
        const int32_t n = std::atoi(argv[3]);
        const BLOCK b = make_block(std::atoi(argv[2]), n, std::atoi(argv[4]), std::atoi(argv[5]),
                                   static_cast<uint32_t>(1000 * n + std::atoi(argv[6])));
        FEEDBACKRESULT r;
        const double start = now();
        kavelon_order_by_program(&b.feedback, std::atof(argv[7]), nullptr, &r);
        std::printf("status %d, strong %lld weak %lld, bound %lld %lld, %d programs, %lld cycles, %.3f s\n",
                    r.status, static_cast<long long>(r.strong_inputs), static_cast<long long>(r.weak_inputs),
                    static_cast<long long>(r.bound[0]), static_cast<long long>(r.bound[1]), r.rounds,
                    static_cast<long long>(r.cycles), now() - start);
        return 0;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const double limit = argc > 2 ? std::atof(argv[2]) : 10.0;
    const std::string only = argc > 3 ? argv[3] : "";  // one family alone, when named
    const auto wanted = [&](const char *family) { return only.empty() || only == family; };
    std::printf("Integer program against the heuristic, %d blocks per size, limit %.1f s per block\n", rounds,
                limit);
    std::printf(
        "(time: wall seconds per block; strong: blocks whose strong count is proven least;\n"
        " proven: blocks proven in both counts; gap: mean (strong - bound) / strong of the unproven;\n"
        " prog_S, heur_S: total strong inputs left by the program and by the heuristic; excess: the\n"
        " heuristic's over the program's; h>p / p>h: blocks where the program / heuristic\n"
        " is better in its counts; h_s: mean heuristic seconds)\n");
    std::printf("%-8s %4s %4s %4s %7s %7s %8s %8s %7s %8s %8s %8s %4s %4s %7s\n", "family", "n", "S/r", "W/r",
                "median", "max", "strong", "proven", "gap", "prog_S", "heur_S", "excess", "h>p", "p>h",
                "h_s");
    for (int32_t n : {25, 40, 50, 60, 75, 100, 125, 150})
        for (int32_t strong : {15, 20, 25})
            if (wanted("process")) run("process", 0, n, strong, 15, rounds, limit);
    for (int32_t n : {25, 50, 75, 100, 150})
        for (int32_t strong : {15, 25})
            if (wanted("random")) run("random", 1, n, strong, 15, rounds, limit);
    for (int32_t n : {100, 125, 150})
        if (wanted("dense")) run("dense", 2, n, 40, 15, rounds, limit);
    return 0;
}
