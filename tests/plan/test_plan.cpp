// The plan checked against independent computations on random processes:
// predecessors and levels against topological generations of the block
// graph, times and the critical path against every path of the block graph
// enumerated one by one, and the inputs to assume against a scan of every
// pair of rows. A few hand-made processes pin the timing model itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "ordering/ordering.h"
#include "ordering/ordering_fixture.h"
#include "plan/plan.h"

using ordering_test::make_record;

namespace {

// Orders a record as a run without the debug trace does.
void order(KAVELON &dt) {
    ASSERT_EQ(kavelon_fast_identify_blocks_subblocks(&dt), 0);
    ASSERT_EQ(kavelon_fast_sort_P(&dt), 0);
    ASSERT_EQ(kavelon_fast_identify_predecessor_blocks(&dt), 0);
}

std::string random_row(std::mt19937 &rng, int length, int strong_percent) {
    std::uniform_int_distribution<int> percent(0, 99);
    std::string row;
    for (int j = 0; j < length; j++) {
        const int p = percent(rng);
        row += p < strong_percent ? 'S' : p < strong_percent + 10 ? 'W' : p < strong_percent + 15 ? 'I' : '0';
    }
    return row;
}

char code(const KAVELON &dt, int i, int j) { return kavelon_code_at(&dt.P[i], j); }
int block_of(const KAVELON &dt, int i) { return dt.d[i]->block_order; }

// The block graph read cell by cell: preds[b] holds every other block that
// an activity of block b strongly needs.
std::vector<std::set<int>> block_graph(const KAVELON &dt) {
    std::vector<std::set<int>> preds(static_cast<size_t>(dt.nblock) + 1);
    for (int i = 0; i < dt.n; i++)
        for (int j = 0; j < dt.n; j++)
            if (i != j && code(dt, i, j) == DEP_STRONG && block_of(dt, j) != block_of(dt, i))
                preds[static_cast<size_t>(block_of(dt, i))].insert(block_of(dt, j));
    return preds;
}

// Topological generations: the first holds the blocks that need none, each
// next one the blocks whose needs all lie in earlier generations.
std::vector<int> generations(const std::vector<std::set<int>> &preds, int count) {
    std::vector<int> generation(static_cast<size_t>(count) + 1, 0);
    int placed = 0;
    for (int g = 1; placed < count; g++) {
        std::vector<int> now;
        for (int b = 1; b <= count; b++) {
            if (generation[static_cast<size_t>(b)] != 0) continue;
            bool ready = true;
            for (int p : preds[static_cast<size_t>(b)]) {
                const int at = generation[static_cast<size_t>(p)];
                if (at == 0 || at == g) ready = false;
            }
            if (ready) now.push_back(b);
        }
        if (now.empty()) return {};  // a cycle: no generations
        for (int b : now) generation[static_cast<size_t>(b)] = g;
        placed += static_cast<int>(now.size());
    }
    return generation;
}

// Every path of the block graph, first block to last, each as long as it
// can be at both ends (a block that needs none to one that none needs).
std::vector<std::vector<int>> all_paths(const std::vector<std::set<int>> &preds, int count) {
    std::vector<std::vector<int>> succs(static_cast<size_t>(count) + 1);
    for (int b = 1; b <= count; b++)
        for (int p : preds[static_cast<size_t>(b)]) succs[static_cast<size_t>(p)].push_back(b);
    std::vector<std::vector<int>> paths;
    std::vector<int> path;
    std::function<void(int)> walk = [&](int b) {
        path.push_back(b);
        if (succs[static_cast<size_t>(b)].empty()) paths.push_back(path);
        for (int s : succs[static_cast<size_t>(b)]) walk(s);
        path.pop_back();
    };
    for (int b = 1; b <= count; b++)
        if (preds[static_cast<size_t>(b)].empty()) walk(b);
    return paths;
}

struct Made {
    std::unique_ptr<ordering_test::Record> rec;
    std::vector<double> duration;  // per row of the ordered record
    double factor = 1.0;
    KAVPLAN plan;
};

// The checks of one random process; rows get random whole durations from 0
// to 9 (sums stay exact, so times compare exactly).
void check_random_process(std::mt19937 &rng, int n, int strong_percent, double factor) {
    std::vector<std::string> p;
    for (int i = 0; i < n; i++) p.push_back(random_row(rng, n, strong_percent));
    auto rec = make_record(p);
    KAVELON &dt = rec->dt;
    order(dt);
    std::uniform_int_distribution<int> whole(0, 9);
    std::vector<double> duration;
    for (int i = 0; i < n; i++) duration.push_back(whole(rng));
    KAVPLAN plan;
    ASSERT_EQ(kavelon_make_plan(&dt, duration.data(), factor, KAVELON_WHATIF_NONE, true, &plan), 0);
    const int nb = dt.nblock;
    ASSERT_EQ(plan.nblock, nb);

    // Predecessors and levels.
    const auto preds = block_graph(dt);
    const auto generation = generations(preds, nb);
    ASSERT_FALSE(generation.empty());
    int highest = 0;
    for (int b = 1; b <= nb; b++) {
        const auto at = static_cast<size_t>(b - 1);
        const std::vector<int> got(plan.predecessor.begin() + static_cast<std::ptrdiff_t>(plan.predecessor_first[at]),
                                   plan.predecessor.begin() +
                                       static_cast<std::ptrdiff_t>(plan.predecessor_first[at + 1]));
        const std::vector<int> want(preds[static_cast<size_t>(b)].begin(), preds[static_cast<size_t>(b)].end());
        ASSERT_EQ(got, want) << "block " << b;
        ASSERT_EQ(plan.level[at], generation[static_cast<size_t>(b)]) << "block " << b;
        highest = std::max(highest, generation[static_cast<size_t>(b)]);
        // The one predecessor the reports have always shown is the highest.
        ASSERT_EQ(dt.d[plan.block_first[at]]->predecessor_block, want.empty() ? 0 : want.back());
    }
    ASSERT_EQ(plan.nlevel, highest);

    // Levels of activities within an independent block: generations of the
    // strong links among its own rows.
    for (int b = 1; b <= nb; b++) {
        const int first = plan.block_first[static_cast<size_t>(b - 1)];
        const int end = plan.block_first[static_cast<size_t>(b)];
        const bool coupled = dt.d[first]->subblock_order == 0;
        std::vector<std::set<int>> inner(static_cast<size_t>(end - first) + 1);
        for (int i = first; i < end; i++)
            for (int j = first; j < end; j++)
                if (i != j && code(dt, i, j) == DEP_STRONG) inner[static_cast<size_t>(i - first + 1)].insert(j - first + 1);
        const auto inner_generation = generations(inner, end - first);
        for (int i = first; i < end; i++)
            ASSERT_EQ(plan.activity_level[static_cast<size_t>(i)],
                      coupled ? 0 : inner_generation[static_cast<size_t>(i - first + 1)])
                << "row " << i;
    }

    // Durations, then times against every path.
    std::vector<double> length(static_cast<size_t>(nb) + 1, 0.0);
    for (int b = 1; b <= nb; b++) {
        const int first = plan.block_first[static_cast<size_t>(b - 1)];
        const int end = plan.block_first[static_cast<size_t>(b)];
        double sum = 0.0;
        double longest = 0.0;
        for (int i = first; i < end; i++) {
            sum += duration[static_cast<size_t>(i)];
            longest = std::max(longest, duration[static_cast<size_t>(i)]);
        }
        length[static_cast<size_t>(b)] = dt.d[first]->subblock_order == 0 ? sum * factor : longest;
        ASSERT_EQ(plan.duration[static_cast<size_t>(b - 1)], length[static_cast<size_t>(b)]) << "block " << b;
    }
    const auto paths = all_paths(preds, nb);
    double total = 0.0;
    std::vector<double> before(static_cast<size_t>(nb) + 1, 0.0);  // longest path ending just before b
    std::vector<double> from(static_cast<size_t>(nb) + 1, 0.0);    // longest path starting at b
    for (const auto &path : paths) {
        double sum = 0.0;
        for (int b : path) sum += length[static_cast<size_t>(b)];
        total = std::max(total, sum);
        double so_far = 0.0;
        for (int b : path) {
            before[static_cast<size_t>(b)] = std::max(before[static_cast<size_t>(b)], so_far);
            from[static_cast<size_t>(b)] = std::max(from[static_cast<size_t>(b)], sum - so_far);
            so_far += length[static_cast<size_t>(b)];
        }
    }
    ASSERT_EQ(plan.total_duration, total);
    for (int b = 1; b <= nb; b++) {
        const auto at = static_cast<size_t>(b - 1);
        const auto bb = static_cast<size_t>(b);
        ASSERT_EQ(plan.earliest_start[at], before[bb]) << "block " << b;
        ASSERT_EQ(plan.earliest_finish[at], before[bb] + length[bb]) << "block " << b;
        ASSERT_EQ(plan.latest_start[at], total - from[bb]) << "block " << b;
        ASSERT_EQ(plan.latest_finish[at], total - from[bb] + length[bb]) << "block " << b;
        ASSERT_EQ(plan.slack[at], total - from[bb] - before[bb]) << "block " << b;
        // On a longest path exactly when its slack is none.
        ASSERT_EQ(plan.critical[at], before[bb] + from[bb] == total ? 1 : 0) << "block " << b;
    }
    // The critical path: a path of the graph from a block that needs none,
    // as long as the process.
    ASSERT_FALSE(plan.critical_path.empty());
    ASSERT_TRUE(preds[static_cast<size_t>(plan.critical_path.front())].empty());
    double along = 0.0;
    for (size_t k = 0; k < plan.critical_path.size(); k++) {
        const int b = plan.critical_path[k];
        if (k > 0) {
            ASSERT_EQ(preds[static_cast<size_t>(b)].count(plan.critical_path[k - 1]), 1u) << "block " << b;
        }
        ASSERT_EQ(plan.critical[static_cast<size_t>(b - 1)], 1) << "block " << b;
        along += length[static_cast<size_t>(b)];
    }
    ASSERT_EQ(along, total);

    // Activities: a coupled block's span its own; an independent block's
    // activity starts with its block and may finish as late as it.
    for (int i = 0; i < n; i++) {
        const int b = block_of(dt, i);
        ASSERT_EQ(kavelon_plan_block_of(&plan, i), b);
        const auto at = static_cast<size_t>(b - 1);
        const KAVTIMES t = kavelon_activity_times(&plan, i);
        const double own = dt.d[i]->subblock_order == 0 ? length[static_cast<size_t>(b)] : duration[static_cast<size_t>(i)];
        ASSERT_EQ(t.earliest_start, plan.earliest_start[at]);
        ASSERT_EQ(t.earliest_finish, plan.earliest_start[at] + own);
        ASSERT_EQ(t.latest_finish, plan.latest_finish[at]);
        ASSERT_EQ(t.latest_start, plan.latest_finish[at] - own);
        ASSERT_EQ(t.slack, plan.latest_finish[at] - own - plan.earliest_start[at]);
    }

    // Inputs to assume: every dependency on a later row of the same block,
    // and every weak or ICD one on a row of a later block.
    std::vector<KAVASSUMED> want;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            const char c = code(dt, i, j);
            if (c == DEP_NONE) continue;
            if (block_of(dt, j) == block_of(dt, i)) {
                want.push_back({i, j, c, 0});
            } else {
                ASSERT_NE(c, DEP_STRONG) << "a strong input from a later block, row " << i;
                want.push_back({i, j, c, 1});
            }
        }
    ASSERT_EQ(plan.assumed.size(), want.size());
    for (size_t k = 0; k < want.size(); k++) {
        const KAVASSUMED &a = plan.assumed[k];
        ASSERT_EQ(a.consumer, want[k].consumer);
        ASSERT_EQ(a.producer, want[k].producer);
        ASSERT_EQ(a.code, want[k].code);
        ASSERT_EQ(a.later, want[k].later);
        const auto at = static_cast<size_t>(block_of(dt, a.consumer) - 1);
        ASSERT_GE(k, plan.assumed_first[at]);
        ASSERT_LT(k, plan.assumed_first[at + 1]);
    }
    for (int b = 1; b <= nb; b++) {
        const auto at = static_cast<size_t>(b - 1);
        int64_t in_block = 0, later = 0;
        for (size_t k = plan.assumed_first[at]; k < plan.assumed_first[at + 1]; k++)
            (plan.assumed[k].later != 0 ? later : in_block)++;
        ASSERT_EQ(plan.assumed_in_block[at], in_block);
        ASSERT_EQ(plan.assumed_later[at], later);
    }
}

// The plan of dense rows ordered as a run orders them; every activity 1
// unless durations by input row are given.
Made make_plan(const std::vector<std::string> &p, const std::vector<std::string> &names,
               const std::vector<double> &by_input_row = {}, double factor = 1.0) {
    Made m;
    m.rec = make_record(p, names);
    KAVELON &dt = m.rec->dt;
    order(dt);
    m.factor = factor;
    // The rows moved; each state still says which input row it was.
    for (int i = 0; i < dt.n; i++) {
        const auto input_row = static_cast<size_t>(dt.d[i] - m.rec->states);
        m.duration.push_back(by_input_row.empty() ? 1.0 : by_input_row[input_row]);
    }
    EXPECT_EQ(kavelon_make_plan(&dt, m.duration.data(), factor, KAVELON_WHATIF_NONE, false, &m.plan), 0);
    return m;
}

// Row of the named activity in the ordered record.
int row_of(const Made &m, const std::string &name) {
    for (int i = 0; i < m.rec->dt.n; i++)
        if (name == m.rec->dt.design_activity_name[i]) return i;
    return -1;
}

}  // namespace

TEST(Plan, RandomProcessesAgreeWithGenerationsAndEveryPath) {
    std::mt19937 rng(22);
    std::uniform_int_distribution<int> size(1, 13);
    std::uniform_int_distribution<int> density(0, 40);
    const double factors[] = {1.0, 2.0, 1.5, 0.5};
    for (int round = 0; round < 600; round++) {
        SCOPED_TRACE("round " + std::to_string(round));
        check_random_process(rng, size(rng), density(rng), factors[round % 4]);
        if (HasFatalFailure()) return;
    }
}

// A coupled block formed later may wait for nothing: it shares the first
// level with block 1, and the block that needs both comes after the longer.
TEST(Plan, AllPredecessorsLevelsAndTimesOfAHandMadeProcess) {
    // a free; b and c need each other and nothing else; d needs a and c.
    const Made m = make_plan({"0000", "00S0", "0S00", "S0S0"}, {"a", "b", "c", "d"}, {5, 1, 2, 1}, 2.0);
    const KAVPLAN &plan = m.plan;
    ASSERT_EQ(plan.nblock, 3);
    EXPECT_EQ(plan.level, (std::vector<int32_t>{1, 1, 2}));
    EXPECT_EQ(plan.nlevel, 2);
    EXPECT_EQ(plan.predecessor, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(plan.predecessor_first, (std::vector<size_t>{0, 0, 0, 2}));
    EXPECT_EQ(plan.coupled, (std::vector<int32_t>{0, 1, 0}));
    // Block 2: (1 + 2) x 2 passes; block 3 starts when it ends.
    EXPECT_EQ(plan.duration, (std::vector<double>{5, 6, 1}));
    EXPECT_EQ(plan.earliest_start, (std::vector<double>{0, 0, 6}));
    EXPECT_EQ(plan.latest_start, (std::vector<double>{1, 0, 6}));
    EXPECT_EQ(plan.slack, (std::vector<double>{1, 0, 0}));
    EXPECT_EQ(plan.critical, (std::vector<int32_t>{0, 1, 1}));
    EXPECT_EQ(plan.critical_path, (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(plan.total_duration, 7.0);
    const KAVTIMES b = kavelon_activity_times(&plan, row_of(m, "b"));
    EXPECT_EQ(b.earliest_finish, 6.0);
    EXPECT_EQ(b.slack, 0.0);
}

// The activities of an independent block run side by side: the block takes
// its longest one, and the shorter ones have slack within it.
TEST(Plan, IndependentActivitiesShareALevelAndRunSideBySide) {
    const Made m = make_plan({"000", "000", "SS0"}, {"x", "y", "z"}, {4, 1.5, 2});
    const KAVPLAN &plan = m.plan;
    ASSERT_EQ(plan.nblock, 2);
    EXPECT_EQ(plan.activity_level[static_cast<size_t>(row_of(m, "x"))], 1);
    EXPECT_EQ(plan.activity_level[static_cast<size_t>(row_of(m, "y"))], 1);
    EXPECT_EQ(plan.duration, (std::vector<double>{4, 2}));
    EXPECT_EQ(plan.total_duration, 6.0);
    const KAVTIMES x = kavelon_activity_times(&plan, row_of(m, "x"));
    const KAVTIMES y = kavelon_activity_times(&plan, row_of(m, "y"));
    EXPECT_EQ(x.slack, 0.0);
    EXPECT_EQ(y.earliest_finish, 1.5);
    EXPECT_EQ(y.latest_start, 2.5);
    EXPECT_EQ(y.slack, 2.5);
    EXPECT_EQ(plan.critical_path, (std::vector<int32_t>{1, 2}));
}

// 0.1 + 0.2 is a little more than 0.3 in binary: two chains that are equally
// long on paper are both critical, and no slack shows the rounding.
TEST(Plan, EquallyLongChainsInDecimalsAreBothCritical) {
    // a free (0.1); b needs a (0.2); e and f need each other (0.15 each);
    // d needs b and f.
    const Made m = make_plan({"000000", "S00000", "000S00", "00S000", "0S0S00", "000000"},
                             {"a", "b", "e", "f", "d", "g"}, {0.1, 0.2, 0.15, 0.15, 1, 0});
    const KAVPLAN &plan = m.plan;
    // Blocks: {a, g}, {b}, {e, f}, {d}.
    ASSERT_EQ(plan.nblock, 4);
    EXPECT_EQ(plan.critical, (std::vector<int32_t>{1, 1, 1, 1}));
    EXPECT_EQ(plan.slack, (std::vector<double>{0, 0, 0, 0}));
    EXPECT_EQ(plan.latest_start[2], plan.earliest_start[2]);
    EXPECT_EQ(plan.critical_path, (std::vector<int32_t>{1, 2, 4}));
    // g takes nothing; it has all of its block's time to spare.
    EXPECT_EQ(kavelon_activity_times(&plan, row_of(m, "g")).slack, plan.duration[0]);
}

// Durations of 0: everything is critical and the process takes no time;
// the path still runs from a block that needs none to the last.
TEST(Plan, ZeroDurationsAndASingleActivity) {
    const Made chain = make_plan({"000", "S00", "0S0"}, {"a", "b", "c"}, {0, 0, 0});
    EXPECT_EQ(chain.plan.total_duration, 0.0);
    EXPECT_EQ(chain.plan.critical_path, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(chain.plan.level, (std::vector<int32_t>{1, 2, 3}));

    const Made one = make_plan({"S"}, {"only"});
    EXPECT_EQ(one.plan.nblock, 1);
    EXPECT_EQ(one.plan.predecessor.size(), 0u);
    EXPECT_EQ(one.plan.total_duration, 1.0);
    EXPECT_EQ(one.plan.critical_path, (std::vector<int32_t>{1}));
    EXPECT_EQ(one.plan.activity_level, (std::vector<int32_t>{1}));
}

// What-if: with weak dependencies counting as strong, a weak input makes a
// predecessor and is no longer an estimate from a later block.
TEST(Plan, WeakCountingAsStrongMakesPredecessorsOfWeakInputs) {
    auto rec = make_record({"0W", "00"}, {"a", "b"});
    KAVELON &dt = rec->dt;
    order(dt);  // one independent block {a, b}
    KAVPLAN plain;
    ASSERT_EQ(kavelon_make_plan(&dt, nullptr, 1.0, KAVELON_WHATIF_NONE, true, &plain), 0);
    EXPECT_EQ(plain.nblock, 1);
    EXPECT_EQ(plain.assumed_in_block, (std::vector<int64_t>{1}));

    // The partition as the variant makes it: b first, then a.
    auto weak = make_record({"0S", "00"}, {"a", "b"});
    order(weak->dt);
    const int a = std::string(weak->dt.design_activity_name[0]) == "a" ? 0 : 1;
    ASSERT_EQ(a, 1);
    weak->dt.P[a].cell[0].code = DEP_WEAK;
    KAVPLAN variant;
    ASSERT_EQ(kavelon_make_plan(&weak->dt, nullptr, 1.0, KAVELON_WHATIF_WEAK, true, &variant), 0);
    EXPECT_EQ(variant.predecessor, (std::vector<int32_t>{1}));
    EXPECT_EQ(variant.level, (std::vector<int32_t>{1, 2}));
    EXPECT_TRUE(variant.assumed.empty());
    KAVPLAN icd_only;
    ASSERT_EQ(kavelon_make_plan(&weak->dt, nullptr, 1.0, KAVELON_WHATIF_ICD, true, &icd_only), 0);
    EXPECT_TRUE(icd_only.predecessor.empty());
}

// A record that is not in block order, or a factor that is no number of
// passes, gives no plan rather than a wrong one.
TEST(Plan, RefusesAnUnorderedRecordAndABadFactor) {
    auto rec = make_record({"00", "S0"}, {"a", "b"});
    KAVELON &dt = rec->dt;
    KAVPLAN plan;
    EXPECT_EQ(kavelon_make_plan(&dt, nullptr, 1.0, KAVELON_WHATIF_NONE, false, &plan), 1);  // no blocks yet
    order(dt);
    EXPECT_EQ(kavelon_make_plan(&dt, nullptr, 1.0, KAVELON_WHATIF_NONE, false, &plan), 0);
    EXPECT_EQ(kavelon_make_plan(&dt, nullptr, 0.0, KAVELON_WHATIF_NONE, false, &plan), 1);
    EXPECT_EQ(kavelon_make_plan(&dt, nullptr, std::nan(""), KAVELON_WHATIF_NONE, false, &plan), 1);
    EXPECT_EQ(kavelon_make_plan(&dt, nullptr, HUGE_VAL, KAVELON_WHATIF_NONE, false, &plan), 1);
    std::swap(dt.d[0], dt.d[1]);  // block 2 before block 1
    EXPECT_EQ(kavelon_make_plan(&dt, nullptr, 1.0, KAVELON_WHATIF_NONE, false, &plan), 1);
}
