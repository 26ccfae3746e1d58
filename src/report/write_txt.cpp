// The text report: header, activity table and one section per block.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "report/report.h"

namespace {

// The table shows at most the first 20 bytes of a name.
void cut_name(char (&buf)[21], const char *name) {
    std::strncpy(buf, name, 20);
    buf[20] = '\0';
}

void write_header(const KAVELON *dt, FILE *out, const char *stamp) {
    std::fprintf(out, "kavelon version      = %s\n", KAVELON_VERSION);
    std::fprintf(out, "kavelon version date = %s\n", KAVELON_VERSION_DATE);
    if (dt->xml_filename != nullptr) std::fprintf(out, "XML Input Filename  = %s\n", dt->xml_filename);
    if (dt->name != nullptr) std::fprintf(out, "Design Process Name = %s\n", dt->name);
    if (dt->version != nullptr) std::fprintf(out, "Version Number      = %s\n", dt->version);
    if (dt->version_date != nullptr) std::fprintf(out, "Version Date        = %s\n", dt->version_date);
    if (dt->study_name != nullptr) std::fprintf(out, "Study Name          = %s\n", dt->study_name);
    // The stamp brings its own newline, which leaves an empty line after the
    // header; an unknown time keeps that empty line.
    std::fprintf(out, "File Creation Time  = %s\n", stamp != nullptr ? stamp : "unknown\n");
}

// Room for the fixed part of a table line: four numbers of at most 11
// characters, two names cut to 20, seven blanks and a terminator, so the
// formatted prefix always fits.
constexpr size_t kLinePrefixRoom = 128;
static_assert(4 * 11 + 2 * 20 + 7 + 1 <= kLinePrefixRoom, "a table line prefix fits its room");

// Puts the fixed part of row i's table line, everything before its codes,
// at line; returns its length.
size_t format_line_prefix(const KAVELON *dt, int i, char *line) {
    const ACTSTATE *s = dt->d[i];
    char activity[21];
    char data[21];
    cut_name(activity, dt->design_activity_name[i]);
    cut_name(data, dt->design_data_name[i]);
    const int length = std::snprintf(line, kLinePrefixRoom, " %3d %20s %20s %2d %2d %2d ", i, activity, data,
                                     s->block_order, s->subblock_order, s->predecessor_block);
    return static_cast<size_t>(length);
}

// One line of the table written piece by piece, for a model whose table
// cannot be put together in memory.
void write_table_line(const KAVELON *dt, FILE *out, int i) {
    char prefix[kLinePrefixRoom];
    std::fwrite(prefix, 1, format_line_prefix(dt, i, prefix), out);
    kavelon_write_codes(out, &dt->P[i], dt->n, i);
    std::fputc('\n', out);
}

// One line per activity; the diagonal shows 'X' whatever the row holds.
// The table of a large model runs to hundreds of megabytes, so its lines
// are put together in one block of memory, several at a time, and written
// with one call: a codes row formatted or copied piece by piece would cost
// more than its bytes.
void write_table(const KAVELON *dt, FILE *out) {
    const size_t columns = static_cast<size_t>(dt->n);
    std::vector<char> block;
    try {
        block.resize(std::max<size_t>(size_t{1} << 20, kLinePrefixRoom + columns + 1));
    } catch (const std::bad_alloc &) {
        for (int i = 0; i < dt->n; i++) write_table_line(dt, out, i);
        return;
    }
    size_t used = 0;
    for (int i = 0; i < dt->n; i++) {
        if (block.size() - used < kLinePrefixRoom + columns + 1) {
            std::fwrite(block.data(), 1, used, out);
            used = 0;
        }
        char *line = block.data() + used;
        const size_t prefix = format_line_prefix(dt, i, line);
        char *codes = line + prefix;
        kavelon_fill_codes(&dt->P[i], 0, dt->n, codes);
        codes[i] = DEP_DIAGONAL;
        codes[columns] = '\n';
        used += prefix + columns + 1;
    }
    std::fwrite(block.data(), 1, used, out);
}

// What follows the kind of every dependency line on the data item of
// column j: "%30s (from design_activity %s)\n" formed with the item's and
// its activity's names. A large model's dependencies name their columns in
// random order, many times each: formed once per column and kept side by
// side, a line costs two copies instead of a formatting call that waits for
// names scattered over the entity tree. When the block cannot be had, the
// lines are formatted one by one.
struct DependencyTails {
    std::vector<char> text;
    std::vector<size_t> start;  // tail j is text[start[j] .. start[j + 1])
};

void collect_tails(const KAVELON *dt, DependencyTails &tails) {
    try {
        tails.start.reserve(static_cast<size_t>(dt->n) + 1);
        tails.start.push_back(0);
        std::vector<char> line(256);
        for (int j = 0; j < dt->n; j++) {
            const char *data = xmlnulltext(dt->design_data_name[j]);
            const char *activity = xmlnulltext(dt->design_activity_name[j]);
            int length = std::snprintf(line.data(), line.size(), "%30s (from design_activity %s)\n", data, activity);
            if (length < 0) throw std::bad_alloc();
            if (static_cast<size_t>(length) >= line.size()) {
                line.resize(static_cast<size_t>(length) + 1);
                length = std::snprintf(line.data(), line.size(), "%30s (from design_activity %s)\n", data, activity);
            }
            tails.text.insert(tails.text.end(), line.data(), line.data() + length);
            tails.start.push_back(tails.text.size());
        }
    } catch (const std::bad_alloc &) {
        std::vector<char>().swap(tails.text);
        std::vector<size_t>().swap(tails.start);
    }
}

// The kind of a dependency line, with the given code, of row i on the data
// item of row j; none for a code that writes no line.
const char *dependency_kind(const KAVELON *dt, int i, int j, char code) {
    switch (code) {
        case DEP_STRONG: return "      (STRONG) ";
        case DEP_ICD: return "      (ICD) ";
        case DEP_WEAK: {
            const int block_i = dt->d[i]->block_order;
            const int block_j = dt->d[j]->block_order;
            if (block_j < block_i) return "      (WEAK already calculated) ";
            if (block_j == block_i) return "      (WEAK) ";
            return "      (WEAK last iteration) ";
        }
        default: return nullptr;
    }
}

// One line for the dependency, with the given code, of row i on the data
// item of row j.
void write_dependency(const KAVELON *dt, KAVTEXT *text, const DependencyTails &tails, int i, int j,
                      char code) {
    if (code == DEP_NONE) return;
    const char *kind = dependency_kind(dt, i, j, code);
    if (kind == nullptr) {
        kavelon_put_string(text, "      *** Internal error ***\n");
        return;
    }
    kavelon_put_string(text, kind);
    if (tails.start.empty()) {
        kavelon_flush_text(text);
        std::fprintf(text->out, "%30s (from design_activity %s)\n", xmlnulltext(dt->design_data_name[j]),
                     xmlnulltext(dt->design_activity_name[j]));
        return;
    }
    const auto at = static_cast<size_t>(j);
    kavelon_put_text(text, tails.text.data() + tails.start[at], tails.start[at + 1] - tails.start[at]);
}

// With "-s": how many inputs the block's order leaves to assume, their
// distance, and whether the order is proven best.
void write_sequence_summary(const KAVELON *dt, FILE *out, int block) {
    if (dt->block_sequence == nullptr || block < 1 || block > dt->nblock) return;
    const BLOCKSEQ *s = &dt->block_sequence[block - 1];
    const bool by_distance = dt->sequence == KAVELON_SEQUENCE_DISTANCE;
    std::fprintf(out,
                 "   Sequence (%s): %lld strong and %lld weak/ICD inputs to assume, "
                 "feedback distance %lld (strong %lld, weak/ICD %lld)\n",
                 by_distance ? "smallest feedback distance" : "fewest inputs to assume",
                 static_cast<long long>(s->strong_inputs), static_cast<long long>(s->weak_inputs),
                 static_cast<long long>(s->strong_distance + s->weak_distance),
                 static_cast<long long>(s->strong_distance), static_cast<long long>(s->weak_distance));
    if (s->memory_fallback != 0)
        std::fprintf(out, "   Too little memory for the exact method: the order comes from the heuristic\n");
    if (s->optimal != 0) {
        std::fprintf(out, "   This order is optimal\n\n");
    } else if (by_distance) {
        std::fprintf(out,
                     "   Not proven optimal; lower bound: strong distance %lld, weak/ICD distance "
                     "%lld, %lld inputs\n\n",
                     static_cast<long long>(s->bound[0]), static_cast<long long>(s->bound[1]),
                     static_cast<long long>(s->bound[2]));
    } else {
        std::fprintf(out,
                     "   Not proven optimal; lower bound: %lld strong and %lld weak/ICD inputs, "
                     "feedback distance %lld\n\n",
                     static_cast<long long>(s->bound[0]), static_cast<long long>(s->bound[1]),
                     static_cast<long long>(s->bound[2]));
    }
}

// With "-s": marks the dependency of row i on row j as an input to assume
// when row j is of the same block and placed after row i.
void write_assumed_input(const KAVELON *dt, KAVTEXT *text, int i, int j, char code) {
    if (j <= i || dt->d[j]->block_order != dt->d[i]->block_order) return;
    if (kavelon_dependency_word(code) == nullptr) return;
    // The marker's words and a number of at most 11 characters.
    char line[80];
    const int length =
        std::snprintf(line, sizeof line, "         ^ input to assume (feedback distance %d)\n", j - i);
    kavelon_put_text(text, line, static_cast<size_t>(length));
}

// The heading of the block whose first row is `first`: its number,
// predecessor and kind come from that row.
void write_block_heading(const KAVELON *dt, FILE *out, int first) {
    const ACTSTATE *s = dt->d[first];
    std::fprintf(out, "\n\nBLOCK Nbr %2d :  Depends on Predecessor BLOCK Nbr %2d\n\n", s->block_order,
                 s->predecessor_block);
    if (s->subblock_order != 0) {
        std::fprintf(out, "   Each design activity of the block can be performed independently\n\n");
    } else {
        // "activites" as spelt: fixed wording that callers rely on.
        std::fprintf(out, "   All design activites of the block must be solved together\n\n");
    }
    if (dt->sequence != KAVELON_SEQUENCE_NONE) write_sequence_summary(dt, out, s->block_order);
}

// One activity with its dependency lines. The row's heading and dependency
// lines go out together, the heading as
// "\n   Design Activity %s Produces Data %s and depends on:\n" would write it.
void write_activity(const KAVELON *dt, FILE *out, const DependencyTails &tails, int i) {
    KAVTEXT text;
    kavelon_start_text(&text, out);
    kavelon_put_string(&text, "\n   Design Activity ");
    kavelon_put_string(&text, xmlnulltext(dt->design_activity_name[i]));
    kavelon_put_string(&text, " Produces Data ");
    kavelon_put_string(&text, xmlnulltext(dt->design_data_name[i]));
    kavelon_put_string(&text, " and depends on:\n");
    const KAVROW &row = dt->P[i];
    for (int32_t t = 0; t < row.count; t++) {
        write_dependency(dt, &text, tails, i, row.cell[t].col, row.cell[t].code);
        if (dt->sequence != KAVELON_SEQUENCE_NONE)
            write_assumed_input(dt, &text, i, row.cell[t].col, row.cell[t].code);
    }
    kavelon_flush_text(&text);
}

// A block runs over consecutive rows of the same block number.
void write_blocks(const KAVELON *dt, FILE *out) {
    DependencyTails tails;
    collect_tails(dt, tails);
    for (int first = 0; first < dt->n;) {
        const int end = kavelon_block_end(dt, first);
        write_block_heading(dt, out, first);
        for (int i = first; i < end; i++) write_activity(dt, out, tails, i);
        first = end;
    }
}

}  // namespace

int kavelon_write_txt_with_stamp(const KAVELON *dt, FILE *out, const char *stamp) {
    write_header(dt, out, stamp);
    write_table(dt, out);
    std::fprintf(out, "\n");
    write_blocks(dt, out);
    // Every piece put together in memory falls back to one written at a
    // time, so only a write error, left on the stream for the caller to
    // report as it closes it, stops this report short.
    return std::ferror(out) != 0 ? 1 : 0;
}

int kavelon_write_txt(const KAVELON *dt, FILE *out) {
    char buf[26];
    return kavelon_write_txt_with_stamp(dt, out, kavelon_take_time_stamp(buf));
}
