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
    // Most names compared differ in their first byte.
    return a != nullptr && b != nullptr && a[0] == b[0] && std::strcmp(a, b) == 0;
}

// The children of the root that the model is built from, by kind, in file
// order. The later steps visit each kind several times; a large tree's
// records lie all over memory, and passing over every child of the root
// each time, name and all, would cost a cache miss or two per child.
struct RootChildren {
    std::vector<const XMLENTITY *> activity;    // design_activity
    std::vector<const XMLENTITY *> output;      // output
    std::vector<const XMLENTITY *> constraint;  // constraint
};

// Header values, counts and the children by kind; every unrecognised child
// of the root is warned of. Throws std::bad_alloc when the lists cannot grow.
void read_header_and_count(KAVELON *dt, RootChildren &children) {
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
            children.activity.push_back(c);
            dt->n++;
        } else if (same(c->name, "output")) {
            children.output.push_back(c);
            dt->nR++;
        } else if (same(c->name, "constraint")) {
            children.constraint.push_back(c);
            dt->nQ++;
        } else {
            std::fprintf(stderr, " *** WARNING: unknown tag in XML file (%s)\n", xmlnulltext(c->name));
        }
    }
}

// Dependency elements under the given children of the root: the most cells
// their rows can take in all.
size_t count_dependencies(const std::vector<const XMLENTITY *> &consumers) {
    size_t count = 0;
    for (const XMLENTITY *c : consumers) {
        for (const XMLENTITY *e = c->child; e != nullptr; e = e->next) {
            if (kavelon_dependency_code(e->name) != DEP_NONE) count++;
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
void read_activity_names(KAVELON *dt, const RootChildren &children, int *result) {
    int i = 0;
    for (const XMLENTITY *c : children.activity) {
        // One walk over the children finds both: the last of each counts.
        char *name = nullptr;
        char *data = nullptr;
        for (const XMLENTITY *e = c->child; e != nullptr; e = e->next) {
            if (same(e->name, "name")) {
                name = e->text;
            } else if (same(e->name, "data")) {
                data = e->text;
            }
        }
        dt->design_activity_name[i] = name;
        dt->design_data_name[i] = data;
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

// Entry k of `table` names the k-th of the children of the root called
// `kind`: the text of that child's last `tag` child. An entry that stays none
// is reported with its index.
void read_names(const std::vector<const XMLENTITY *> &kind_children, const char *kind, const char *tag,
                char **table, int *result) {
    int k = 0;
    for (const XMLENTITY *c : kind_children) {
        table[k] = last_child_text(c, tag);
        if (table[k] == nullptr) {
            std::fprintf(stderr, " *** ERROR: missing <%s> tag for %s number %d\n", tag, kind, k);
            *result = 1;
        }
        k++;
    }
}

// Entries of a name table grouped by name, so that equal names are found
// without comparing every pair. An open-addressing table holds one slot per
// distinct name: a tag from its hash, its lowest index and its first bytes
// (a slot's index is -1 while the slot is free). next_same[k] is the next
// higher index holding the name of entry k, or -1; last[k] the highest index
// of the name whose lowest index is k. Entries that are none take part in
// nothing. Large models look up millions of dependencies in random order, so
// a lookup of a name shorter than a slot's head reads that one slot and
// nothing else; a longer name compares the rest of its text too.
constexpr size_t kHeadBytes = 24;

struct NameSlot {
    uint32_t tag;
    int32_t first;
    char head[kHeadBytes];  // the name's first bytes, padded with NULs
};
static_assert(sizeof(NameSlot) == 32, "two slots to a cache line");

struct NameIndex {
    std::vector<NameSlot> slots;  // a power of two, at least twice the names
    std::vector<int> next_same;
    std::vector<int> last;
    char *const *names = nullptr;  // the table indexed
};

// A name's hash, of its bytes up to its terminator, with its length: the
// same for every index, so a name looked up in several is hashed once.
struct NameKey {
    uint64_t hash;
    size_t length;
};

// The name is taken eight bytes at a time, so a lookup costs little beyond
// reading the name once.
NameKey name_key(const char *name) {
    const size_t n = std::strlen(name);
    uint64_t h = 0x9e3779b97f4a7c15ULL ^ n;
    size_t at = 0;
    for (; at + 8 <= n; at += 8) {
        uint64_t word;
        std::memcpy(&word, name + at, 8);
        h = (h ^ word) * 0xff51afd7ed558ccdULL;
        h ^= h >> 32;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, name + at, n - at);
    h = (h ^ tail) * 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 32;
    return NameKey{h, n};
}

// Whether the slot holds the name of the given length. A stored name
// shorter than the head ends in it with a NUL, where a longer one does not.
bool slot_holds(const NameIndex &index, const NameSlot &slot, const char *name, size_t length) {
    if (length < kHeadBytes) return std::memcmp(slot.head, name, length + 1) == 0;
    return std::memcmp(slot.head, name, kHeadBytes) == 0 &&
           std::strcmp(index.names[slot.first] + kHeadBytes, name + kHeadBytes) == 0;
}

// The slot holding `name`, whose key is given, or the free slot where it
// belongs.
size_t find_slot(const NameIndex &index, const char *name, const NameKey &key) {
    const uint64_t h = key.hash;
    const size_t length = key.length;
    const uint32_t tag = static_cast<uint32_t>(h >> 32);
    const size_t mask = index.slots.size() - 1;
    size_t at = static_cast<size_t>(h) & mask;
    while (index.slots[at].first >= 0 &&
           (index.slots[at].tag != tag || !slot_holds(index, index.slots[at], name, length)))
        at = (at + 1) & mask;
    return at;
}

void build_name_index(char *const *table, int count, NameIndex &index) {
    size_t size = 2;
    while (size < 2 * static_cast<size_t>(count)) size *= 2;
    index.slots.assign(size, NameSlot{0, -1, {}});
    index.next_same.assign(static_cast<size_t>(count), -1);
    index.last.assign(static_cast<size_t>(count), -1);
    index.names = table;
    for (int k = 0; k < count; k++) {
        if (table[k] == nullptr) continue;
        const NameKey key = name_key(table[k]);
        NameSlot &slot = index.slots[find_slot(index, table[k], key)];
        if (slot.first < 0) {
            slot.tag = static_cast<uint32_t>(key.hash >> 32);
            slot.first = k;
            // A free slot's head is all NULs already.
            std::memcpy(slot.head, table[k], key.length < kHeadBytes ? key.length : kHeadBytes);
            index.last[k] = k;
        } else {
            index.next_same[index.last[slot.first]] = k;
            index.last[slot.first] = k;
        }
    }
}

// Lowest index holding `name`, whose key is given, or -1; a name that is
// none matches nothing.
int first_named(const NameIndex &index, const char *name, const NameKey &key) {
    if (name == nullptr) return -1;
    return index.slots[find_slot(index, name, key)].first;
}

// The same, the key formed here.
int first_named(const NameIndex &index, const char *name) {
    return name == nullptr ? -1 : first_named(index, name, name_key(name));
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

// Pairs of equal names among `count` entries of `table`, reported as names of
// the given kind ("constraint", "output name") with both indexes.
void report_name_duplicates(char *const *table, int count, const char *kind, int *result) {
    NameIndex index;
    build_name_index(table, count, index);
    for (int j = 0; j < count; j++) {
        for (int k = index.next_same[j]; k >= 0; k = index.next_same[k]) {
            std::fprintf(stderr, " *** ERROR: %s %s defined multiple times (%d) (%d)\n", kind, table[j], j,
                         k);
            *result = 1;
        }
    }
}

// The consumer whose dependency elements are being entered: its kind
// ("design_activity" or "output"), its index among its kind and its name.
struct Consumer {
    const char *kind;
    int index;
    const char *name;
};

// Code of the dependency that last named each data item of one consumer,
// so that a dependency overwritten by a later one is not lost without a
// word. Kept by column for the activities' data items and the constraints,
// one byte each so that a large model's table stays in the cache, and
// cleared after each consumer through the cells of its rows, which name
// every column it touched. 0 is a column not named yet.
struct KindsNamed {
    std::vector<char> activity;    // by column of P or R
    std::vector<char> constraint;  // by column of Q or T
};

void forget_kinds(KindsNamed &named, const KAVROW &activity_row, const KAVROW &constraint_row) {
    for (int32_t t = 0; t < activity_row.count; t++)
        named.activity[static_cast<size_t>(activity_row.cell[t].col)] = 0;
    for (int32_t t = 0; t < constraint_row.count; t++)
        named.constraint[static_cast<size_t>(constraint_row.cell[t].col)] = 0;
}

// Notes that element c names its data item with `code`, warning when it
// was named before in this consumer.
void note_dependency(const KAVELON *dt, const Consumer &who, char &earlier, char code,
                     const XMLENTITY *c) {
    if (earlier != 0 && earlier != code) {
        std::fprintf(stderr,
                     " *** WARNING: For %s (%s) data (%s) named as (%s) after (%s); the later one "
                     "counts\n",
                     who.kind, xmlnulltext(who.name), c->text, c->name, kavelon_dependency_word(earlier));
    } else if (earlier == code && dt->warnings == 1) {
        std::fprintf(stderr, " *** WARNING: %s %d (%s) names data (%s) twice as (%s)\n", who.kind,
                     who.index, xmlnulltext(who.name), c->text, c->name);
    }
    earlier = code;
}

// Keys the texts of the consumer's children, one entry per child in order
// (none for a child that is no dependency or has no text), and asks for the
// slots the data index will read for them, one consumer before they are
// looked up: names of a large model hash all over the index, and each
// lookup would otherwise wait for memory in turn.
void prefetch_slots(const NameIndex &index, const XMLENTITY *consumer, std::vector<NameKey> &keys) {
    const size_t mask = index.slots.size() - 1;
    keys.clear();
    for (const XMLENTITY *c = consumer->child; c != nullptr; c = c->next) {
        if (c->text == nullptr || kavelon_dependency_code(c->name) == DEP_NONE) {
            keys.push_back(NameKey{0, 0});
            continue;
        }
        keys.push_back(name_key(c->text));
        __builtin_prefetch(&index.slots[static_cast<size_t>(keys.back().hash) & mask]);
    }
}

// Enters every dependency element under `consumer` into its row of the
// activity matrix (P or R) or, failing that, of the constraint matrix (Q or
// T). Activities' data items win over constraints of the same name. Returns
// false when some item was found nowhere, after a message naming the
// consumer's kind and name, the element's name and its text. `keys` holds
// the keys of the consumer's children, as prefetch_slots gives them.
bool enter_dependencies(const KAVELON *dt, const ModelIndex &index, const XMLENTITY *consumer,
                        const std::vector<NameKey> &keys, KAVROW *activity_row, KAVROW *constraint_row,
                        const Consumer &who, KindsNamed &named) {
    bool all_found = true;
    size_t child = 0;
    for (const XMLENTITY *c = consumer->child; c != nullptr; c = c->next, child++) {
        const char code = kavelon_dependency_code(c->name);
        if (code == DEP_NONE) continue;
        const int j = first_named(index.data, c->text, keys[child]);
        if (j >= 0) {
            note_dependency(dt, who, named.activity[static_cast<size_t>(j)], code, c);
            kavelon_add_cell(activity_row, j, code);
            continue;
        }
        const int k = first_named(index.constraints, c->text, keys[child]);
        if (k >= 0) {
            note_dependency(dt, who, named.constraint[static_cast<size_t>(k)], code, c);
            kavelon_add_cell(constraint_row, k, code);
            continue;
        }
        std::fprintf(stderr, "*** ERROR: For %s (%s) could not find (%s) data (%s)\n", who.kind,
                     xmlnulltext(who.name), c->name, xmlnulltext(c->text));
        all_found = false;
    }
    return all_found;
}

// Dependencies of the children of the root of `kind`, given in order: the
// k-th one's go into rows[k] and constraint_rows[k], its name taken from
// names[k], and their rows are filled in order.
void enter_dependencies_of(KAVELON *dt, const ModelIndex &index, const char *kind,
                           const std::vector<const XMLENTITY *> &consumers, KAVROW *rows,
                           KAVROW *constraint_rows, char *const *names, int *result) {
    KindsNamed named;
    named.activity.assign(static_cast<size_t>(dt->n), 0);
    named.constraint.assign(static_cast<size_t>(dt->nQ > 0 ? dt->nQ : 0), 0);
    const auto count = static_cast<int32_t>(consumers.size());
    // The keys of the consumer being entered, and of the one after it.
    std::vector<NameKey> keys;
    std::vector<NameKey> following_keys;
    if (count > 0) prefetch_slots(index.data, consumers[0], following_keys);
    for (int32_t k = 0; k < count; k++) {
        keys.swap(following_keys);
        if (k + 1 < count) prefetch_slots(index.data, consumers[static_cast<size_t>(k) + 1], following_keys);
        const Consumer who{kind, k, names[k]};
        if (!enter_dependencies(dt, index, consumers[static_cast<size_t>(k)], keys, &rows[k],
                                &constraint_rows[k], who, named))
            *result = 1;
        forget_kinds(named, rows[k], constraint_rows[k]);
        kavelon_close_row(rows, k, count);
        kavelon_close_row(constraint_rows, k, count);
    }
}

// Warnings asked for with "-w": input that kavelon reads, but that is
// probably not what its writer meant. None of them changes the result.

// Whether `element` means something inside a child of the root of `kind`.
bool known_element(const char *kind, const XMLENTITY *element) {
    const bool consumer = same(kind, "design_activity") || same(kind, "output");
    if (same(element->name, "name")) return consumer;
    if (same(element->name, "data")) return !same(kind, "output");
    return consumer && kavelon_dependency_code(element->name) != DEP_NONE;
}

// Unknown, repeated and empty elements inside one design_activity, output
// or constraint, and an activity that needs its own data item.
void warn_suspicious_children(const char *kind, int index, const char *name, const char *own_data,
                              const XMLENTITY *parent) {
    int names = 0;
    int datas = 0;
    for (const XMLENTITY *e = parent->child; e != nullptr; e = e->next) {
        if (e->type != XMLENTITY_ELEMENT) continue;
        if (!known_element(kind, e)) {
            std::fprintf(stderr, " *** WARNING: %s %d (%s) holds unknown element (%s); ignored\n", kind,
                         index, xmlnulltext(name), xmlnulltext(e->name));
            continue;
        }
        if (same(e->name, "name")) names++;
        if (same(e->name, "data")) datas++;
        if (kavelon_dependency_code(e->name) == DEP_NONE && e->text != nullptr && e->text[0] == '\0') {
            std::fprintf(stderr, " *** WARNING: %s %d (%s) has an empty (%s)\n", kind, index,
                         xmlnulltext(name), e->name);
        }
        if (kavelon_dependency_code(e->name) != DEP_NONE && same(e->text, own_data)) {
            std::fprintf(stderr, " *** WARNING: %s %d (%s) needs its own data (%s)\n", kind, index,
                         xmlnulltext(name), own_data);
        }
    }
    if (names > 1) {
        std::fprintf(stderr, " *** WARNING: %s %d (%s) holds %d (name) elements; the last one counts\n",
                     kind, index, xmlnulltext(name), names);
    }
    if (datas > 1) {
        std::fprintf(stderr, " *** WARNING: %s %d (%s) holds %d (data) elements; the last one counts\n",
                     kind, index, xmlnulltext(name), datas);
    }
}

void warn_suspicious_elements(const KAVELON *dt) {
    int activity = 0;
    int output = 0;
    int constraint = 0;
    for (const XMLENTITY *c = dt->root->child; c != nullptr; c = c->next) {
        if (same(c->name, "design_activity")) {
            warn_suspicious_children("design_activity", activity, dt->design_activity_name[activity],
                                     dt->design_data_name[activity], c);
            activity++;
        } else if (same(c->name, "output")) {
            warn_suspicious_children("output", output, dt->output_name[output], nullptr, c);
            output++;
        } else if (same(c->name, "constraint")) {
            warn_suspicious_children("constraint", constraint, dt->constraint_name[constraint], nullptr,
                                     c);
            constraint++;
        }
    }
}

void warn_same_activity_names(const KAVELON *dt) {
    NameIndex index;
    build_name_index(dt->design_activity_name, dt->n, index);
    for (int j = 0; j < dt->n; j++) {
        for (int k = index.next_same[j]; k >= 0; k = index.next_same[k]) {
            std::fprintf(stderr, " *** WARNING: design_activity %d and %d have the same name (%s)\n", j,
                         k, dt->design_activity_name[j]);
        }
    }
}

// Columns of the constraint rows that hold a cell.
void mark_used_columns(const KAVROW *rows, int32_t count, std::vector<char> &used) {
    for (int32_t r = 0; r < count; r++) {
        for (int32_t t = 0; t < rows[r].count; t++) used[static_cast<size_t>(rows[r].cell[t].col)] = 1;
    }
}

// A constraint counts as used when some dependency finds it, that is, names
// it while no activity produces an item of that name: exactly the columns
// of Q and T that the dependencies filled.
void warn_unused_constraints(const KAVELON *dt) {
    std::vector<char> used(static_cast<size_t>(dt->nQ), 0);
    mark_used_columns(dt->Q, dt->n, used);
    if (dt->nR > 0) mark_used_columns(dt->T, dt->nR, used);
    for (int k = 0; k < dt->nQ; k++) {
        if (used[static_cast<size_t>(k)] == 0 && dt->constraint_name[k] != nullptr) {
            std::fprintf(stderr, " *** WARNING: constraint %d (%s) is used by no design_activity or output\n",
                         k, dt->constraint_name[k]);
        }
    }
}

// Elements and CDATA sections after the root element are not part of the
// model; comments and processing instructions there are ordinary XML.
void warn_after_root(const KAVELON *dt) {
    int index = 0;
    for (const XMLENTITY *e = dt->entities; e != nullptr && e != dt->root; e = e->next) index++;
    const int root_index = index;
    for (const XMLENTITY *e = dt->root->next; e != nullptr; e = e->next) {
        index++;
        if (e->type != XMLENTITY_ELEMENT && e->type != XMLENTITY_CDATA) continue;
        std::fprintf(stderr, " *** WARNING: top-level entity %d (%s) after the root element; ignored\n",
                     index, xmlnulltext(e->name));
    }
    if (dt->text_after > root_index) {
        std::fprintf(stderr, " *** WARNING: text after the root element (%s); ignored\n",
                     xmlnulltext(dt->root->name));
    }
}

// Builds the model from a root that is a design_process; 0 on success.
// Throws std::bad_alloc when the lists of children or the name indexes
// cannot grow.
int build_model(KAVELON *dt) {
    RootChildren children;
    read_header_and_count(dt, children);
    if (dt->n < 1) {
        std::fprintf(stderr, " *** ERROR: No <design_activity> tags in XML file\n");
        return 1;
    }
    // Every dependency element fills at most one cell, of the activity or
    // of the constraint matrix, so the elements' count is room enough.
    if (kavelon_create_tables(dt, count_dependencies(children.activity), count_dependencies(children.output)) != 0)
        return 1;

    int result = 0;
    read_activity_names(dt, children, &result);
    if (kavelon_debug_on(dt)) kavelon_print_state(dt, stdout);
    ModelIndex index;
    build_name_index(dt->design_data_name, dt->n, index.data);
    report_data_duplicates(dt, index.data, &result);
    // The messages name the kind, so the helpers print them from one literal
    // format each: "missing <name> tag for output number 0", "missing <data>
    // tag for constraint number 0".
    read_names(children.output, "output", "name", dt->output_name, &result);
    read_names(children.constraint, "constraint", "data", dt->constraint_name, &result);
    build_name_index(dt->constraint_name, dt->nQ, index.constraints);
    // Reports every duplicate data name a second time: fixed output that callers rely on.
    report_data_duplicates_and_clashes(dt, index, &result);
    // "constraint %s defined multiple times", "output name %s defined multiple times".
    report_name_duplicates(dt->constraint_name, dt->nQ, "constraint", &result);
    report_name_duplicates(dt->output_name, dt->nR, "output name", &result);
    // "For design_activity (%s) could not find", "For output (%s) could not find".
    enter_dependencies_of(dt, index, "design_activity", children.activity, dt->P, dt->Q,
                          dt->design_activity_name, &result);
    enter_dependencies_of(dt, index, "output", children.output, dt->R, dt->T, dt->output_name, &result);
    if (dt->warnings == 1) {
        warn_suspicious_elements(dt);
        warn_same_activity_names(dt);
        warn_unused_constraints(dt);
        warn_after_root(dt);
    }
    return result;
}

}  // namespace

int kavelon_process_xml(KAVELON *dt) {
    if (dt == nullptr || dt->root == nullptr) return 1;
    if (!same(dt->root->name, kRootName)) {
        std::fprintf(stderr, "***XML FILE ERROR -- root tag (%s) not \"design_process\"\n",
                     xmlnulltext(dt->root->name));
        return 1;
    }
    // The children are gathered by kind and names looked up through hash
    // indexes; running out of memory for either stops the build like any
    // other exhausted memory, with the one message.
    try {
        return build_model(dt);
    } catch (const std::bad_alloc &) {
        std::fputs(" *** ERROR: Out of memory for the name index\n", stderr);
        return 1;
    }
}
