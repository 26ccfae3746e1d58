// The plan of an ordered process: predecessors, levels, durations, times,
// the critical path and the inputs to assume. Every pass is over the rows
// and their cells once, or over the blocks and their predecessor lists, so
// the plan of a model costs about what reading its matrix does.
#include "plan/plan.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

// Sums of durations that should be equal may differ in their last bits;
// within this much of the whole process's length a slack counts as none.
double slack_tolerance(double total) { return 1e-9 * std::max(1.0, total); }

// Block b (from 1) is rows block_first[b-1] .. block_first[b]-1; false when
// the rows are not in ascending block order or a block number is missing.
bool find_blocks(const KAVELON *dt, KAVPLAN *plan) {
    plan->nblock = dt->nblock;
    if (dt->n < 1 || dt->nblock < 1 || dt->nblock > dt->n) return false;
    plan->block_first.assign(static_cast<size_t>(dt->nblock) + 1, 0);
    plan->coupled.assign(static_cast<size_t>(dt->nblock), 0);
    int32_t block = 0;
    for (int32_t i = 0; i < dt->n; i++) {
        const int32_t b = dt->d[i]->block_order;
        if (b == block) continue;
        if (b != block + 1) return false;
        plan->block_first[static_cast<size_t>(block)] = i;
        plan->coupled[static_cast<size_t>(b - 1)] = dt->d[i]->subblock_order == 0 ? 1 : 0;
        block = b;
    }
    if (block != dt->nblock) return false;
    plan->block_first[static_cast<size_t>(block)] = dt->n;
    return true;
}

// Every block that some activity of a block strongly depends on, once and
// ascending, and the level that follows from them. Strong inputs come only
// from earlier blocks, so one pass in block order sees every predecessor's
// level before it is needed; a cell that says otherwise is passed over.
void find_predecessors(const KAVELON *dt, int32_t what_if, KAVPLAN *plan) {
    const size_t nblock = static_cast<size_t>(plan->nblock);
    std::vector<int32_t> seen_by(nblock + 1, 0);
    plan->predecessor_first.assign(nblock + 1, 0);
    plan->predecessor.clear();
    plan->level.assign(nblock, 1);
    plan->nlevel = 1;
    for (int32_t b = 1; b <= plan->nblock; b++) {
        const size_t first = plan->predecessor.size();
        int32_t level = 1;
        for (int32_t i = plan->block_first[static_cast<size_t>(b - 1)]; i < plan->block_first[static_cast<size_t>(b)];
             i++) {
            const KAVROW &row = dt->P[i];
            for (int32_t t = 0; t < row.count; t++) {
                const int32_t j = row.cell[t].col;
                if (j == i || !kavelon_counts_as_strong(row.cell[t].code, what_if)) continue;
                const int32_t p = dt->d[j]->block_order;
                if (p < 1 || p >= b || seen_by[static_cast<size_t>(p)] == b) continue;
                seen_by[static_cast<size_t>(p)] = b;
                plan->predecessor.push_back(p);
                level = std::max(level, plan->level[static_cast<size_t>(p - 1)] + 1);
            }
        }
        std::sort(plan->predecessor.begin() + static_cast<std::ptrdiff_t>(first), plan->predecessor.end());
        plan->predecessor_first[static_cast<size_t>(b)] = plan->predecessor.size();
        plan->level[static_cast<size_t>(b - 1)] = level;
        plan->nlevel = std::max(plan->nlevel, level);
    }
}

// The activities of an independent block are those that were free of one
// another when the block was formed: none waits for another of the block,
// so all of them share its first level and may run side by side.
void find_activity_levels(KAVPLAN *plan) {
    plan->activity_level.assign(static_cast<size_t>(plan->block_first.back()), 0);
    for (int32_t b = 1; b <= plan->nblock; b++) {
        if (plan->coupled[static_cast<size_t>(b - 1)] != 0) continue;
        for (int32_t i = plan->block_first[static_cast<size_t>(b - 1)]; i < plan->block_first[static_cast<size_t>(b)];
             i++)
            plan->activity_level[static_cast<size_t>(i)] = 1;
    }
}

// The earliest times forward in block order, the latest ones backward, and
// the slack between them.
void find_times(KAVPLAN *plan) {
    const size_t nblock = static_cast<size_t>(plan->nblock);
    plan->duration.assign(nblock, 0.0);
    for (size_t b = 0; b < nblock; b++) {
        double sum = 0.0;
        double longest = 0.0;
        for (int32_t i = plan->block_first[b]; i < plan->block_first[b + 1]; i++) {
            sum += plan->activity_duration[static_cast<size_t>(i)];
            longest = std::max(longest, plan->activity_duration[static_cast<size_t>(i)]);
        }
        plan->duration[b] = plan->coupled[b] != 0 ? sum * plan->iteration_factor : longest;
    }
    plan->earliest_start.assign(nblock, 0.0);
    plan->earliest_finish.assign(nblock, 0.0);
    plan->total_duration = 0.0;
    for (size_t b = 0; b < nblock; b++) {
        double start = 0.0;
        for (size_t t = plan->predecessor_first[b]; t < plan->predecessor_first[b + 1]; t++)
            start = std::max(start, plan->earliest_finish[static_cast<size_t>(plan->predecessor[t] - 1)]);
        plan->earliest_start[b] = start;
        plan->earliest_finish[b] = start + plan->duration[b];
        plan->total_duration = std::max(plan->total_duration, plan->earliest_finish[b]);
    }
    // Every block that depends on block p comes after it, so going backward
    // a block's latest finish is settled before it is read.
    plan->latest_finish.assign(nblock, plan->total_duration);
    plan->latest_start.assign(nblock, 0.0);
    plan->slack.assign(nblock, 0.0);
    plan->critical.assign(nblock, 0);
    const double tolerance = slack_tolerance(plan->total_duration);
    for (size_t b = nblock; b-- > 0;) {
        plan->latest_start[b] = plan->latest_finish[b] - plan->duration[b];
        for (size_t t = plan->predecessor_first[b]; t < plan->predecessor_first[b + 1]; t++) {
            double &finish = plan->latest_finish[static_cast<size_t>(plan->predecessor[t] - 1)];
            finish = std::min(finish, plan->latest_start[b]);
        }
        double slack = plan->latest_start[b] - plan->earliest_start[b];
        if (std::fabs(slack) <= tolerance) {
            slack = 0.0;
            plan->latest_start[b] = plan->earliest_start[b];
            plan->latest_finish[b] = plan->earliest_finish[b];
            plan->critical[b] = 1;
        }
        plan->slack[b] = slack;
    }
}

// One chain of critical blocks from the start to the end of the process:
// from the last critical block that finishes last, back through the first
// critical predecessor that finishes when it starts, until a block that
// needs none. A critical block that needs any always has such a one: the
// predecessor that finishes last has no slack either.
void find_critical_path(KAVPLAN *plan) {
    plan->critical_path.clear();
    const double tolerance = slack_tolerance(plan->total_duration);
    int32_t b = 0;
    for (int32_t c = plan->nblock; c >= 1 && b == 0; c--) {
        const size_t at = static_cast<size_t>(c - 1);
        if (plan->critical[at] != 0 && std::fabs(plan->earliest_finish[at] - plan->total_duration) <= tolerance)
            b = c;
    }
    while (b != 0) {
        plan->critical_path.push_back(b);
        const size_t at = static_cast<size_t>(b - 1);
        int32_t next = 0;
        for (size_t t = plan->predecessor_first[at]; t < plan->predecessor_first[at + 1] && next == 0; t++) {
            const size_t p = static_cast<size_t>(plan->predecessor[t] - 1);
            if (plan->critical[p] != 0 &&
                std::fabs(plan->earliest_finish[p] - plan->earliest_start[at]) <= tolerance)
                next = plan->predecessor[t];
        }
        b = next;
    }
    std::reverse(plan->critical_path.begin(), plan->critical_path.end());
}

// The inputs each block must assume: a dependency on a later row of the
// same block (a feedback mark), and a weak or ICD one on a row of a later
// block. A strong one never comes from a later block.
void find_assumed_inputs(const KAVELON *dt, int32_t what_if, KAVPLAN *plan) {
    const size_t nblock = static_cast<size_t>(plan->nblock);
    plan->assumed.clear();
    plan->assumed_first.assign(nblock + 1, 0);
    plan->assumed_in_block.assign(nblock, 0);
    plan->assumed_later.assign(nblock, 0);
    for (size_t b = 0; b < nblock; b++) {
        const int32_t end = plan->block_first[b + 1];
        for (int32_t i = plan->block_first[b]; i < end; i++) {
            const KAVROW &row = dt->P[i];
            for (int32_t t = kavelon_first_cell_from(&row, i + 1); t < row.count; t++) {
                const int32_t j = row.cell[t].col;
                const char code = row.cell[t].code;
                if (code != DEP_STRONG && code != DEP_WEAK && code != DEP_ICD) continue;
                const int32_t later = j >= end ? 1 : 0;
                if (later != 0 && kavelon_counts_as_strong(code, what_if)) continue;
                plan->assumed.push_back(KAVASSUMED{i, j, code, later});
                (later != 0 ? plan->assumed_later : plan->assumed_in_block)[b]++;
            }
        }
        plan->assumed_first[b + 1] = plan->assumed.size();
    }
}

}  // namespace

int kavelon_make_plan(const KAVELON *dt, const double *duration, double iteration_factor, int32_t what_if,
                      bool with_assumed, KAVPLAN *plan) {
    try {
        *plan = KAVPLAN{};
        if (dt == nullptr || dt->P == nullptr || dt->d == nullptr || !find_blocks(dt, plan)) return 1;
        if (!(iteration_factor > 0.0) || !std::isfinite(iteration_factor)) return 1;
        plan->iteration_factor = iteration_factor;
        plan->activity_duration.assign(static_cast<size_t>(dt->n), 1.0);
        if (duration != nullptr) plan->activity_duration.assign(duration, duration + dt->n);
        find_predecessors(dt, what_if, plan);
        find_activity_levels(plan);
        find_times(plan);
        find_critical_path(plan);
        if (with_assumed) find_assumed_inputs(dt, what_if, plan);
    } catch (const std::bad_alloc &) {
        *plan = KAVPLAN{};
        return 1;
    }
    return 0;
}

void kavelon_release_plan(KAVELON *dt) {
    delete dt->block_plan;
    dt->block_plan = nullptr;
}

int kavelon_plan_blocks(KAVELON *dt) {
    if (dt->plan == 0) return 0;
    KAVPLAN *plan = new (std::nothrow) KAVPLAN{};
    std::vector<double> duration;
    bool made = plan != nullptr;
    try {
        if (made && dt->activity_duration != nullptr) {
            // The durations are kept in input order, which the states keep.
            duration.resize(static_cast<size_t>(dt->n));
            for (int32_t i = 0; i < dt->n; i++)
                duration[static_cast<size_t>(i)] = dt->activity_duration[dt->d[i] - dt->states];
        }
    } catch (const std::bad_alloc &) {
        made = false;
    }
    const double factor = dt->iteration_factor > 0.0 ? dt->iteration_factor : 1.0;
    if (made && kavelon_make_plan(dt, duration.empty() ? nullptr : duration.data(), factor, dt->what_if,
                                  dt->sequence != KAVELON_SEQUENCE_NONE, plan) != 0)
        made = false;
    if (!made) {
        delete plan;
        std::fputs(" *** ERROR: Out of memory for the plan\n", stderr);
        return 1;
    }
    dt->block_plan = plan;
    return 0;
}

int32_t kavelon_plan_block_of(const KAVPLAN *plan, int32_t i) {
    if (plan->block_first.empty() || i < 0 || i >= plan->block_first.back()) return 0;
    const auto after = std::upper_bound(plan->block_first.begin(), plan->block_first.end(), i);
    return static_cast<int32_t>(after - plan->block_first.begin());
}

KAVTIMES kavelon_activity_times(const KAVPLAN *plan, int32_t i) {
    KAVTIMES times{};
    const int32_t b = kavelon_plan_block_of(plan, i);
    if (b == 0) return times;
    const size_t at = static_cast<size_t>(b - 1);
    times.earliest_start = plan->earliest_start[at];
    times.earliest_finish = plan->earliest_finish[at];
    times.latest_start = plan->latest_start[at];
    times.latest_finish = plan->latest_finish[at];
    times.slack = plan->slack[at];
    if (plan->coupled[at] != 0) return times;
    const double own = plan->activity_duration[static_cast<size_t>(i)];
    times.earliest_finish = times.earliest_start + own;
    times.latest_start = times.latest_finish - own;
    times.slack = times.latest_start - times.earliest_start;
    if (std::fabs(times.slack) <= slack_tolerance(plan->total_duration)) {
        times.slack = 0.0;
        times.latest_start = times.earliest_start;
        times.latest_finish = times.earliest_finish;
    }
    return times;
}
