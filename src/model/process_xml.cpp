// The model builder: checks the entity tree against the design-process
// vocabulary and fills the names, matrices and ordering states of the record.
//
// Naming errors are collected (each is written and the build goes on, so one
// run shows as many as possible); a wrong root, a file without activities and
// exhausted memory stop the build at once. Names and header values point at
// the texts of the tree, which therefore lives as long as the record.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "model/model.h"

namespace {

const char *const kRootName = "design_process";

// Element names and item names compare as exact bytes; none equals nothing.
bool same(const char *a, const char *b) {
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

// Code of a dependency element, from the first letter of its name.
char dependency_code(const char *element_name) {
    switch (element_name[0]) {
        case 's': return DEP_STRONG;
        case 'i': return DEP_ICD;
        default: return DEP_WEAK;
    }
}

bool is_dependency(const XMLENTITY *e) {
    return same(e->name, "strong") || same(e->name, "weak") || same(e->name, "icd");
}

// Header values and counts; every unrecognised child of the root is warned of.
void read_header_and_count(KAVELON *dt) {
    dt->n = 0;
    dt->nQ = 0;
    dt->nR = 0;
    for (XMLENTITY *c = dt->root->child; c != nullptr; c = c->next) {
        if (same(c->name, "name")) {
            dt->name = c->text;
        } else if (same(c->name, "version")) {
            dt->version = c->text;
        } else if (same(c->name, "version_date")) {
            dt->version_date = c->text;
        } else if (same(c->name, "study_name")) {
            dt->study_name = c->text;
        } else if (same(c->name, "comment")) {
            // free text for the reader of the file
        } else if (same(c->name, "design_activity")) {
            dt->n++;
        } else if (same(c->name, "output")) {
            dt->nR++;
        } else if (same(c->name, "constraint")) {
            dt->nQ++;
        } else {
            std::fprintf(stderr, " *** WARNING: unknown tag in XML file (%s)\n", xmlnulltext(c->name));
        }
    }
}

// Dependency elements under the children of the root called `kind`: the
// most cells their rows can take in all.
size_t count_dependencies(const KAVELON *dt, const char *kind) {
    size_t count = 0;
    for (const XMLENTITY *c = dt->root->child; c != nullptr; c = c->next) {
        if (!same(c->name, kind)) continue;
        for (const XMLENTITY *e = c->child; e != nullptr; e = e->next) {
            if (is_dependency(e)) count++;
        }
    }
    return count;
}

// Text of the last child of `parent` named `tag`, or none when there is no
// such child. An empty-element tag counts as the last one too and gives none.
char *last_child_text(const XMLENTITY *parent, const char *tag) {
    char *text = nullptr;
    for (const XMLENTITY *c = parent->child; c != nullptr; c = c->next) {
        if (same(c->name, tag)) text = c->text;
    }
    return text;
}

// Activity and data names; a missing one is an error collected by *result.
void read_activity_names(KAVELON *dt, int *result) {
    int i = 0;
    for (const XMLENTITY *c = dt->root->child; c != nullptr; c = c->next) {
        if (!same(c->name, "design_activity")) continue;
        dt->design_activity_name[i] = last_child_text(c, "name");
        dt->design_data_name[i] = last_child_text(c, "data");
        if (dt->design_activity_name[i] == nullptr) {
            std::fprintf(stderr, " *** ERROR: missing <name> tag for design_activity number %d\n", i);
            *result = 1;
        }
        if (dt->design_data_name[i] == nullptr) {
            std::fprintf(stderr, " *** ERROR: missing <data> tag for design_activity number %d\n", i);
            *result = 1;
        }
        i++;
    }
}

// Entry k of `table` names the k-th child of the root called `kind`: the
// text of that child's last `tag` child. `missing` is the message, with the
// index, for an entry that stays none.
void read_names(const KAVELON *dt, const char *kind, const char *tag, char **table,
                const char *missing, int *result) {
    int k = 0;
    for (const XMLENTITY *c = dt->root->child; c != nullptr; c = c->next) {
        if (!same(c->name, kind)) continue;
        table[k] = last_child_text(c, tag);
        if (table[k] == nullptr) {
            std::fprintf(stderr, missing, k);
            *result = 1;
        }
        k++;
    }
}

// Entries of a name table grouped by name, so that equal names are found
// without comparing every pair. An open-addressing table holds one slot per
// distinct name: its text, a tag from its hash and its lowest index (a
// slot's text is none while the slot is free). next_same[k] is the next
// higher index holding the name of entry k, or -1; last[k] the highest index
// of the name whose lowest index is k. Entries that are none take part in
// nothing. Large models look up millions of dependencies, so a lookup reads
// one slot and, on a tag that matches, the text it stands for.
struct NameSlot {
    const char *text;
    uint32_t tag;
    int32_t first;
};

struct NameIndex {
    std::vector<NameSlot> slots;  // a power of two, at least twice the names
    std::vector<int> next_same;
    std::vector<int> last;
};

// FNV-1a over the bytes of a name, up to its terminator.
uint64_t name_hash(const char *name) {
    uint64_t h = 0xcbf29ce484222325ULL;
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(name); *c != 0; c++) {
        h ^= *c;
        h *= 0x100000001b3ULL;
    }
    return h;
}

// The slot holding `name`, or the free slot where it belongs.
size_t find_slot(const NameIndex &index, const char *name) {
    const uint64_t h = name_hash(name);
    const uint32_t tag = static_cast<uint32_t>(h >> 32);
    const size_t mask = index.slots.size() - 1;
    size_t at = static_cast<size_t>(h) & mask;
    while (index.slots[at].text != nullptr &&
           (index.slots[at].tag != tag || std::strcmp(index.slots[at].text, name) != 0))
        at = (at + 1) & mask;
    return at;
}

void build_name_index(char *const *table, int count, NameIndex &index) {
    size_t size = 2;
    while (size < 2 * static_cast<size_t>(count)) size *= 2;
    index.slots.assign(size, NameSlot{nullptr, 0, -1});
    index.next_same.assign(static_cast<size_t>(count), -1);
    index.last.assign(static_cast<size_t>(count), -1);
    for (int k = 0; k < count; k++) {
        if (table[k] == nullptr) continue;
        NameSlot &slot = index.slots[find_slot(index, table[k])];
        if (slot.text == nullptr) {
            slot = NameSlot{table[k], static_cast<uint32_t>(name_hash(table[k]) >> 32), k};
            index.last[k] = k;
        } else {
            index.next_same[index.last[slot.first]] = k;
            index.last[slot.first] = k;
        }
    }
}

// Lowest index holding `name`, or -1; a name that is none matches nothing.
int first_named(const NameIndex &index, const char *name) {
    if (name == nullptr) return -1;
    return index.slots[find_slot(index, name)].first;
}

// The names of the activities' data items and of the constraints.
struct ModelIndex {
    NameIndex data;
    NameIndex constraints;
};

// Activities after j that produce the same data item as activity j.
void report_data_duplicates_of(const KAVELON *dt, const NameIndex &data, int j, int *result) {
    for (int k = data.next_same[j]; k >= 0; k = data.next_same[k]) {
        std::fprintf(stderr, " *** ERROR: data name %s defined multiple times (%s) (%s)\n",
                     dt->design_data_name[j], xmlnulltext(dt->design_activity_name[j]),
                     xmlnulltext(dt->design_activity_name[k]));
        *result = 1;
    }
}

void report_data_duplicates(const KAVELON *dt, const NameIndex &data, int *result) {
    for (int j = 0; j < dt->n; j++) report_data_duplicates_of(dt, data, j, result);
}

// Constraints that give the data item activity j produces.
void report_constraint_clashes_of(const KAVELON *dt, const NameIndex &constraints, int j,
                                  int *result) {
    for (int k = first_named(constraints, dt->design_data_name[j]); k >= 0;
         k = constraints.next_same[k]) {
        std::fprintf(stderr,
                     " *** ERROR: data name %s defined for design activity and constraint (%s) "
                     "(%s)\n",
                     dt->design_data_name[j], xmlnulltext(dt->design_activity_name[j]),
                     dt->constraint_name[k]);
        *result = 1;
    }
}

// Each activity's duplicates once more, then its clashes with constraints.
void report_data_duplicates_and_clashes(const KAVELON *dt, const ModelIndex &index, int *result) {
    for (int j = 0; j < dt->n; j++) {
        report_data_duplicates_of(dt, index.data, j, result);
        report_constraint_clashes_of(dt, index.constraints, j, result);
    }
}

// Pairs of equal names among `count` entries of `table`; `message` takes the
// name and both indexes.
void report_name_duplicates(char *const *table, int count, const char *message, int *result) {
    NameIndex index;
    build_name_index(table, count, index);
    for (int j = 0; j < count; j++) {
        for (int k = index.next_same[j]; k >= 0; k = index.next_same[k]) {
            std::fprintf(stderr, message, table[j], j, k);
            *result = 1;
        }
    }
}

// Enters every dependency element under `consumer` into its row of the
// activity matrix (P or R) or, failing that, of the constraint matrix (Q or
// T). Activities' data items win over constraints of the same name. Returns
// false when some item was found nowhere; `not_found` is the message for it,
// taking the consumer's name, the element's name and its text.
bool enter_dependencies(const ModelIndex &index, const XMLENTITY *consumer, KAVROW *activity_row,
                        KAVROW *constraint_row, const char *not_found, const char *name) {
    bool all_found = true;
    for (const XMLENTITY *c = consumer->child; c != nullptr; c = c->next) {
        if (!is_dependency(c)) continue;
        const int j = first_named(index.data, c->text);
        if (j >= 0) {
            kavelon_add_cell(activity_row, j, dependency_code(c->name));
            continue;
        }
        const int k = first_named(index.constraints, c->text);
        if (k >= 0) {
            kavelon_add_cell(constraint_row, k, dependency_code(c->name));
            continue;
        }
        std::fprintf(stderr, not_found, xmlnulltext(name), c->name, xmlnulltext(c->text));
        all_found = false;
    }
    return all_found;
}

// Dependencies of every child of the root called `kind`: the k-th one's go
// into rows[k] and constraint_rows[k], its name taken from names[k]. There
// are `count` such children, and their rows are filled in order.
void enter_dependencies_of(KAVELON *dt, const ModelIndex &index, const char *kind, KAVROW *rows,
                           KAVROW *constraint_rows, int32_t count, char *const *names,
                           const char *not_found, int *result) {
    int k = 0;
    for (const XMLENTITY *c = dt->root->child; c != nullptr; c = c->next) {
        if (!same(c->name, kind)) continue;
        if (!enter_dependencies(index, c, &rows[k], &constraint_rows[k], not_found, names[k]))
            *result = 1;
        kavelon_close_row(rows, k, count);
        kavelon_close_row(constraint_rows, k, count);
        k++;
    }
}

}  // namespace

int kavelon_process_xml(KAVELON *dt) {
    if (dt == nullptr || dt->root == nullptr) return 1;
    if (!same(dt->root->name, kRootName)) {
        std::fprintf(stderr, "***XML FILE ERROR -- root tag (%s) not \"design_process\"\n",
                     xmlnulltext(dt->root->name));
        return 1;
    }
    read_header_and_count(dt);
    if (dt->n < 1) {
        std::fprintf(stderr, " *** ERROR: No <design_activity> tags in XML file\n");
        return 1;
    }
    // Every dependency element fills at most one cell, of the activity or
    // of the constraint matrix, so the elements' count is room enough.
    if (kavelon_create_tables(dt, count_dependencies(dt, "design_activity"),
                              count_dependencies(dt, "output")) != 0)
        return 1;

    int result = 0;
    read_activity_names(dt, &result);
    if (dt->debug == 1) kavelon_print_state(dt, stdout);
    // Names are looked up through hash indexes; running out of memory for
    // them stops the build like any other exhausted memory.
    try {
        ModelIndex index;
        build_name_index(dt->design_data_name, dt->n, index.data);
        report_data_duplicates(dt, index.data, &result);
        read_names(dt, "output", "name", dt->output_name,
                   " *** ERROR: missing <name> tag for output number %d\n", &result);
        read_names(dt, "constraint", "data", dt->constraint_name,
                   " *** ERROR: missing <data> tag for constraint number %d\n", &result);
        build_name_index(dt->constraint_name, dt->nQ, index.constraints);
        report_data_duplicates_and_clashes(dt, index, &result);
        report_name_duplicates(dt->constraint_name, dt->nQ,
                               " *** ERROR: constraint %s defined multiple times (%d) (%d)\n", &result);
        report_name_duplicates(dt->output_name, dt->nR,
                               " *** ERROR: output name %s defined multiple times (%d) (%d)\n", &result);
        enter_dependencies_of(dt, index, "design_activity", dt->P, dt->Q, dt->n,
                              dt->design_activity_name,
                              "*** ERROR: For design_activity (%s) could not find (%s) data (%s)\n",
                              &result);
        enter_dependencies_of(dt, index, "output", dt->R, dt->T, dt->nR, dt->output_name,
                              "*** ERROR: For output (%s) could not find (%s) data (%s)\n", &result);
    } catch (const std::bad_alloc &) {
        std::fputs(" *** ERROR: Out of memory for the name index\n", stderr);
        return 1;
    }
    return result;
}
