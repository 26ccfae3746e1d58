// The plan's part of the reports, and the reading of its numbers.
#include "plan/plan_report.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// The table shows at most the first 20 bytes of a name, as the activity
// table of the text report does.
void cut_name(char (&buf)[21], const char *name) {
    std::strncpy(buf, xmlnulltext(name), 20);
    buf[20] = '\0';
}

// A dependency's kind in the words of the text report's dependency lists.
const char *kind_text(const KAVASSUMED &a) {
    switch (a.code) {
        case DEP_STRONG: return a.later != 0 ? "STRONG last iteration" : "STRONG";
        case DEP_WEAK: return a.later != 0 ? "WEAK last iteration" : "WEAK";
        default: return a.later != 0 ? "ICD last iteration" : "ICD";
    }
}

size_t at(int32_t block) { return static_cast<size_t>(block - 1); }

void write_levels(const KAVPLAN *plan, FILE *out) {
    // Blocks by level, each level's in block order: counted, then placed.
    std::vector<int32_t> first(static_cast<size_t>(plan->nlevel) + 2, 0);
    for (int32_t b = 1; b <= plan->nblock; b++) first[static_cast<size_t>(plan->level[at(b)]) + 1]++;
    for (size_t l = 1; l < first.size(); l++) first[l] += first[l - 1];
    std::vector<int32_t> blocks(static_cast<size_t>(plan->nblock));
    std::vector<int32_t> next(first.begin(), first.end() - 1);
    for (int32_t b = 1; b <= plan->nblock; b++)
        blocks[static_cast<size_t>(next[static_cast<size_t>(plan->level[at(b)])]++)] = b;
    for (int32_t l = 1; l <= plan->nlevel; l++) {
        std::fprintf(out, "   Level %2d: BLOCK Nbr", l);
        for (int32_t t = first[static_cast<size_t>(l)]; t < first[static_cast<size_t>(l) + 1]; t++)
            std::fprintf(out, " %d", blocks[static_cast<size_t>(t)]);
        std::fprintf(out, "\n");
    }
}

void write_block_lines(const KAVPLAN *plan, FILE *out) {
    std::fprintf(out, "%6s %5s %12s %12s %12s %12s %12s %12s %8s  %s\n", "BLOCK", "LEVEL", "DURATION", "START",
                 "FINISH", "LATE START", "LATE FINISH", "SLACK", "CRITICAL", "PREDECESSORS");
    for (int32_t b = 1; b <= plan->nblock; b++) {
        char numbers[6][32];
        kavelon_format_plan_number(plan->duration[at(b)], numbers[0]);
        kavelon_format_plan_number(plan->earliest_start[at(b)], numbers[1]);
        kavelon_format_plan_number(plan->earliest_finish[at(b)], numbers[2]);
        kavelon_format_plan_number(plan->latest_start[at(b)], numbers[3]);
        kavelon_format_plan_number(plan->latest_finish[at(b)], numbers[4]);
        kavelon_format_plan_number(plan->slack[at(b)], numbers[5]);
        std::fprintf(out, "%6d %5d %12s %12s %12s %12s %12s %12s %8s ", b, plan->level[at(b)], numbers[0],
                     numbers[1], numbers[2], numbers[3], numbers[4], numbers[5],
                     plan->critical[at(b)] != 0 ? "yes" : "no");
        if (plan->predecessor_first[at(b)] == plan->predecessor_first[at(b) + 1]) std::fprintf(out, " none");
        for (size_t t = plan->predecessor_first[at(b)]; t < plan->predecessor_first[at(b) + 1]; t++)
            std::fprintf(out, " %d", plan->predecessor[t]);
        std::fprintf(out, "\n");
    }
}

void write_activity_lines(const KAVELON *dt, const KAVPLAN *plan, FILE *out) {
    std::fprintf(out, "%4s %20s %5s %5s %12s %12s %12s %12s %12s %12s\n", "ROW", "ACTIVITY", "BLOCK", "LEVEL",
                 "DURATION", "START", "FINISH", "LATE START", "LATE FINISH", "SLACK");
    for (int32_t i = 0; i < dt->n; i++) {
        const KAVTIMES t = kavelon_activity_times(plan, i);
        char name[21];
        cut_name(name, dt->design_activity_name[i]);
        char level[12] = "-";
        if (plan->activity_level[static_cast<size_t>(i)] != 0)
            std::snprintf(level, sizeof level, "%d", plan->activity_level[static_cast<size_t>(i)]);
        char numbers[6][32];
        kavelon_format_plan_number(plan->activity_duration[static_cast<size_t>(i)], numbers[0]);
        kavelon_format_plan_number(t.earliest_start, numbers[1]);
        kavelon_format_plan_number(t.earliest_finish, numbers[2]);
        kavelon_format_plan_number(t.latest_start, numbers[3]);
        kavelon_format_plan_number(t.latest_finish, numbers[4]);
        kavelon_format_plan_number(t.slack, numbers[5]);
        std::fprintf(out, "%4d %20s %5d %5s %12s %12s %12s %12s %12s %12s\n", i, name,
                     kavelon_plan_block_of(plan, i), level, numbers[0], numbers[1], numbers[2], numbers[3],
                     numbers[4], numbers[5]);
    }
}

// Every input a block must assume, the block's ones together, each with the
// rows to do again when its value turns out other than assumed.
void write_assumed_inputs(const KAVELON *dt, const KAVPLAN *plan, FILE *out) {
    for (int32_t b = 1; b <= plan->nblock; b++) {
        if (plan->assumed_first[at(b)] == plan->assumed_first[at(b) + 1]) continue;
        std::fprintf(out, "\n   Inputs to assume in BLOCK Nbr %2d: %lld in the block, %lld from later blocks\n", b,
                     static_cast<long long>(plan->assumed_in_block[at(b)]),
                     static_cast<long long>(plan->assumed_later[at(b)]));
        for (size_t k = plan->assumed_first[at(b)]; k < plan->assumed_first[at(b) + 1]; k++) {
            const KAVASSUMED &a = plan->assumed[k];
            std::fprintf(out, "      (%s) %s for %s (from design_activity %s in BLOCK Nbr %d): redo rows %d to %d\n",
                         kind_text(a), xmlnulltext(dt->design_data_name[a.producer]),
                         xmlnulltext(dt->design_activity_name[a.consumer]),
                         xmlnulltext(dt->design_activity_name[a.producer]), kavelon_plan_block_of(plan, a.producer),
                         a.consumer, a.producer);
        }
    }
}

void write_times_xml(FILE *out, double duration, double start, double finish, double late_start,
                     double late_finish, double slack) {
    char numbers[6][32];
    kavelon_format_plan_number(duration, numbers[0]);
    kavelon_format_plan_number(start, numbers[1]);
    kavelon_format_plan_number(finish, numbers[2]);
    kavelon_format_plan_number(late_start, numbers[3]);
    kavelon_format_plan_number(late_finish, numbers[4]);
    kavelon_format_plan_number(slack, numbers[5]);
    std::fprintf(out,
                 "<duration>%s</duration>\n<earliest_start>%s</earliest_start>\n"
                 "<earliest_finish>%s</earliest_finish>\n<latest_start>%s</latest_start>\n"
                 "<latest_finish>%s</latest_finish>\n<slack>%s</slack>\n",
                 numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5]);
}

}  // namespace

int kavelon_read_plan_number(const char *text, double *value) {
    if (text == nullptr) return 1;
    const char *s = text;
    while (std::isspace(static_cast<unsigned char>(*s))) s++;
    const char *start = s;
    int whole = 0;
    int fraction = 0;
    while (std::isdigit(static_cast<unsigned char>(*s))) {
        s++;
        whole++;
    }
    if (*s == '.') {
        s++;
        while (std::isdigit(static_cast<unsigned char>(*s))) {
            s++;
            fraction++;
        }
    }
    const char *end = s;
    while (std::isspace(static_cast<unsigned char>(*s))) s++;
    if (*s != '\0' || whole + fraction == 0 || whole > 15) return 1;
    // strtod reads exactly the digits checked above, in the C locale's
    // decimal point, which is the one accepted.
    char digits[64];
    const size_t length = static_cast<size_t>(end - start);
    if (length >= sizeof digits) {
        // Long fractions add nothing a double can hold: cut them.
        std::memcpy(digits, start, sizeof digits - 1);
        digits[sizeof digits - 1] = '\0';
    } else {
        std::memcpy(digits, start, length);
        digits[length] = '\0';
    }
    *value = std::strtod(digits, nullptr);
    return 0;
}

void kavelon_format_plan_number(double value, char (&text)[32]) {
    // No "-0": a slack or time of none is 0 whatever its sign bit says.
    if (value == 0.0) value = 0.0;
    std::snprintf(text, sizeof text, "%.15g", value);
}

const char *kavelon_what_if_text(int32_t what_if) {
    switch (what_if & (KAVELON_WHATIF_WEAK | KAVELON_WHATIF_ICD)) {
        case KAVELON_WHATIF_WEAK: return "weak dependencies count as strong";
        case KAVELON_WHATIF_ICD: return "ICD dependencies count as strong";
        case KAVELON_WHATIF_WEAK | KAVELON_WHATIF_ICD: return "weak and ICD dependencies count as strong";
        default: return nullptr;
    }
}

const char *kavelon_what_if_word(int32_t what_if) {
    switch (what_if & (KAVELON_WHATIF_WEAK | KAVELON_WHATIF_ICD)) {
        case KAVELON_WHATIF_WEAK: return "weak";
        case KAVELON_WHATIF_ICD: return "icd";
        case KAVELON_WHATIF_WEAK | KAVELON_WHATIF_ICD: return "weak_icd";
        default: return nullptr;
    }
}

void kavelon_write_plan_txt(const KAVELON *dt, const KAVPLAN *plan, FILE *out) {
    char total[32];
    char factor[32];
    kavelon_format_plan_number(plan->total_duration, total);
    kavelon_format_plan_number(plan->iteration_factor, factor);
    std::fprintf(out, "\n\nPLAN: %d levels, total duration %s, iteration factor %s\n\n", plan->nlevel, total,
                 factor);
    std::fprintf(out, "   Critical path: BLOCK Nbr");
    for (size_t k = 0; k < plan->critical_path.size(); k++)
        std::fprintf(out, k == 0 ? " %d" : " -> %d", plan->critical_path[k]);
    std::fprintf(out, "\n\n");
    write_levels(plan, out);
    std::fprintf(out, "\n");
    write_block_lines(plan, out);
    std::fprintf(out, "\n");
    write_activity_lines(dt, plan, out);
    if (!plan->assumed_first.empty()) write_assumed_inputs(dt, plan, out);
}

void kavelon_write_plan_xml_block(const KAVELON *dt, const KAVPLAN *plan, int32_t block, FILE *out) {
    if (block < 1 || block > plan->nblock) return;
    const size_t b = at(block);
    std::fprintf(out, "<plan>\n<level>%d</level>\n", plan->level[b]);
    for (size_t t = plan->predecessor_first[b]; t < plan->predecessor_first[b + 1]; t++)
        std::fprintf(out, "<predecessor>%d</predecessor>\n", plan->predecessor[t]);
    write_times_xml(out, plan->duration[b], plan->earliest_start[b], plan->earliest_finish[b],
                    plan->latest_start[b], plan->latest_finish[b], plan->slack[b]);
    std::fprintf(out, "<critical>%s</critical>\n", plan->critical[b] != 0 ? "yes" : "no");
    for (int32_t i = plan->block_first[b]; i < plan->block_first[b + 1]; i++) {
        const KAVTIMES t = kavelon_activity_times(plan, i);
        std::fprintf(out, "<activity>\n<name>%s</name>\n", xmlnulltext(dt->design_activity_name[i]));
        if (plan->activity_level[static_cast<size_t>(i)] != 0)
            std::fprintf(out, "<level>%d</level>\n", plan->activity_level[static_cast<size_t>(i)]);
        write_times_xml(out, plan->activity_duration[static_cast<size_t>(i)], t.earliest_start, t.earliest_finish,
                        t.latest_start, t.latest_finish, t.slack);
        std::fprintf(out, "</activity>\n");
    }
    if (!plan->assumed_first.empty()) {
        for (size_t k = plan->assumed_first[b]; k < plan->assumed_first[b + 1]; k++) {
            const KAVASSUMED &a = plan->assumed[k];
            std::fprintf(out,
                         "<assumed_input>\n<activity>%s</activity>\n<data>%s</data>\n<kind>%s</kind>\n"
                         "<source>%s</source>\n<producer>%s</producer>\n<producer_block>%d</producer_block>\n"
                         "<redo_from>%d</redo_from>\n<redo_to>%d</redo_to>\n</assumed_input>\n",
                         xmlnulltext(dt->design_activity_name[a.consumer]),
                         xmlnulltext(dt->design_data_name[a.producer]), kavelon_dependency_word(a.code),
                         a.later != 0 ? "later_block" : "same_block",
                         xmlnulltext(dt->design_activity_name[a.producer]), kavelon_plan_block_of(plan, a.producer),
                         a.consumer, a.producer);
        }
    }
    std::fprintf(out, "</plan>\n");
}

void kavelon_write_plan_xml_summary(const KAVPLAN *plan, FILE *out) {
    char total[32];
    char factor[32];
    kavelon_format_plan_number(plan->total_duration, total);
    kavelon_format_plan_number(plan->iteration_factor, factor);
    std::fprintf(out,
                 "<plan_summary>\n<levels>%d</levels>\n<total_duration>%s</total_duration>\n"
                 "<iteration_factor>%s</iteration_factor>\n<critical_path>\n",
                 plan->nlevel, total, factor);
    for (int32_t b : plan->critical_path) std::fprintf(out, "<block_number>%d</block_number>\n", b);
    std::fprintf(out, "</critical_path>\n</plan_summary>\n");
}
