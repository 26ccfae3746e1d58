// Reads kavelon's XML report, as an entity tree, into the plain records that
// the picture is drawn from. Every shortcoming of the report that would make
// the picture wrong ends the reading with one line on standard error.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "svg/svg.h"

namespace {

// A dependency as the report names it, resolved to a column once every
// data item and constraint is known.
struct PENDING {
    int32_t output;  // 0: row of the activities, 1: row of the outputs
    int32_t row;
    char kind;
    const char *item;  // raw text of the dependency element
};

bool is_element(const XMLENTITY *e, const char *name) {
    return e->type == XMLENTITY_ELEMENT && e->name != nullptr && std::strcmp(e->name, name) == 0;
}

// First child element of that name; nullptr when there is none.
XMLENTITY *find_element(XMLENTITY *parent, const char *name) {
    for (XMLENTITY *c = parent->child; c != nullptr; c = c->next) {
        if (is_element(c, name)) return c;
    }
    return nullptr;
}

// An element's text; an empty-element tag holds the empty text.
const char *text_of(const XMLENTITY *e) { return e->text != nullptr ? e->text : ""; }

// DEP_NONE for anything but a dependency element.
char dependency_kind(const XMLENTITY *e) {
    return e->type == XMLENTITY_ELEMENT ? kavelon_dependency_code(e->name) : DEP_NONE;
}

// A count or block number: decimal digits only, within int32_t.
bool parse_number(const char *text, int32_t *value) {
    if (text[0] < '0' || text[0] > '9') return false;
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v > INT32_MAX) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

// Reads one of the block's numbers; returns 0, or 1 after a message.
int read_block_number(XMLENTITY *block, const char *name, int32_t position, const char *source,
                      int32_t *value) {
    const XMLENTITY *e = find_element(block, name);
    if (e == nullptr) {
        std::fprintf(stderr, "kavelon-svg: block %d has no <%s> (%s)\n", position, name, source);
        return 1;
    }
    if (!parse_number(text_of(e), value)) {
        std::fprintf(stderr, "kavelon-svg: block %d has an invalid <%s> \"%s\" (%s)\n", position, name,
                     text_of(e), source);
        return 1;
    }
    return 0;
}

// Adds the dependency elements of one activity or output to pending.
void collect_dependencies(XMLENTITY *parent, int32_t output, int32_t row, std::vector<PENDING> &pending) {
    for (XMLENTITY *c = parent->child; c != nullptr; c = c->next) {
        const char kind = dependency_kind(c);
        if (kind != DEP_NONE) pending.push_back(PENDING{output, row, kind, text_of(c)});
    }
}

// The block's sequence, when the report has one. It only adds to the
// picture's words, so what is missing or malformed in it is passed over.
void read_sequence(XMLENTITY *sequence, SVGBLOCK *b) {
    if (sequence == nullptr) return;
    b->sequenced = 1;
    const XMLENTITY *optimal = find_element(sequence, "optimal");
    b->optimal = optimal != nullptr && std::strcmp(text_of(optimal), "yes") == 0;
    for (XMLENTITY *c = sequence->child; c != nullptr; c = c->next) {
        if (!is_element(c, "assumed_input")) continue;
        const XMLENTITY *activity = find_element(c, "activity");
        const XMLENTITY *data = find_element(c, "data");
        const XMLENTITY *kind = find_element(c, "kind");
        const XMLENTITY *distance = find_element(c, "distance");
        std::string text = "\"" + kavelon_svg_decode_text(data != nullptr ? text_of(data) : "") + "\"";
        text += " for " + kavelon_svg_decode_text(activity != nullptr ? text_of(activity) : "");
        text += " (" + kavelon_svg_decode_text(kind != nullptr ? text_of(kind) : "");
        text += ", distance " + kavelon_svg_decode_text(distance != nullptr ? text_of(distance) : "") + ")";
        b->assumed.push_back(text);
    }
}

int read_block(XMLENTITY *block, int32_t position, const char *source, SVGREPORT *report,
               std::vector<PENDING> &pending, std::vector<const char *> &raw_columns) {
    SVGBLOCK b{};
    if (read_block_number(block, "block_number", position, source, &b.number) != 0) return 1;
    if (read_block_number(block, "predecessor_block", position, source, &b.predecessor) != 0) return 1;
    const XMLENTITY *type = find_element(block, "block_type");
    if (type == nullptr) {
        std::fprintf(stderr, "kavelon-svg: block %d has no <block_type> (%s)\n", position, source);
        return 1;
    }
    if (std::strcmp(text_of(type), "dependent") == 0) {
        b.coupled = 1;
    } else if (std::strcmp(text_of(type), "independent") != 0) {
        std::fprintf(stderr, "kavelon-svg: block %d has an invalid <block_type> \"%s\" (%s)\n", position,
                     text_of(type), source);
        return 1;
    }
    b.first = static_cast<int32_t>(report->activities.size());
    const int32_t index = static_cast<int32_t>(report->blocks.size());
    for (XMLENTITY *c = block->child; c != nullptr; c = c->next) {
        if (!is_element(c, "design_activity")) continue;
        const int32_t row = static_cast<int32_t>(report->activities.size());
        const XMLENTITY *name = find_element(c, "name");
        const XMLENTITY *data = find_element(c, "data");
        if (name == nullptr || data == nullptr) {
            std::fprintf(stderr, "kavelon-svg: activity %d has no <%s> (%s)\n", row,
                         name == nullptr ? "name" : "data", source);
            return 1;
        }
        SVGROW activity;
        activity.name = kavelon_svg_decode_text(text_of(name));
        activity.data = kavelon_svg_decode_text(text_of(data));
        activity.block = index;
        raw_columns.push_back(text_of(data));
        report->activities.push_back(std::move(activity));
        collect_dependencies(c, 0, row, pending);
        b.size++;
    }
    if (b.size == 0) {
        std::fprintf(stderr, "kavelon-svg: block %d has no activities (%s)\n", position, source);
        return 1;
    }
    // The size is redundant; a report where it disagrees has been damaged.
    const XMLENTITY *size = find_element(block, "block_size");
    int32_t stated = 0;
    if (size != nullptr && (!parse_number(text_of(size), &stated) || stated != b.size)) {
        std::fprintf(stderr, "kavelon-svg: block %d has <block_size> \"%s\" but %d activities (%s)\n",
                     position, text_of(size), b.size, source);
        return 1;
    }
    read_sequence(find_element(block, "sequence"), &b);
    report->blocks.push_back(b);
    return 0;
}

}  // namespace

// Messages number activities, outputs and constraints from 0, as the picture
// does; blocks by their place in the report, from 1, as block numbers go.
int kavelon_svg_read_report(XMLENTITY *root, const char *source, SVGREPORT *report) {
    if (root == nullptr || !is_element(root, "kavelon")) {
        std::fprintf(stderr, "kavelon-svg: not a kavelon report: the root element is <%s> (%s)\n",
                     root != nullptr && root->name != nullptr ? root->name : "", source);
        return 1;
    }
    std::vector<PENDING> pending;
    std::vector<const char *> raw_columns;  // data items in report order
    std::vector<const char *> raw_constraints;
    int32_t nblocks = 0;
    for (XMLENTITY *c = root->child; c != nullptr; c = c->next) {
        if (c->type != XMLENTITY_ELEMENT || c->name == nullptr) continue;
        const std::string value = kavelon_svg_decode_text(text_of(c));
        if (is_element(c, "name")) {
            report->name = value;
        } else if (is_element(c, "version")) {
            report->version = value;
        } else if (is_element(c, "version_date")) {
            report->version_date = value;
        } else if (is_element(c, "study_name")) {
            report->study_name = value;
        } else if (is_element(c, "file_creation_time")) {
            report->file_creation_time = value;
        } else if (is_element(c, "xml_filename")) {
            report->xml_filename = value;
        } else if (is_element(c, "block")) {
            if (read_block(c, ++nblocks, source, report, pending, raw_columns) != 0) return 1;
        } else if (is_element(c, "output")) {
            const int32_t row = static_cast<int32_t>(report->outputs.size());
            const XMLENTITY *name = find_element(c, "name");
            if (name == nullptr) {
                std::fprintf(stderr, "kavelon-svg: output %d has no <name> (%s)\n", row, source);
                return 1;
            }
            SVGROW output;
            output.name = kavelon_svg_decode_text(text_of(name));
            output.block = -1;
            report->outputs.push_back(std::move(output));
            collect_dependencies(c, 1, row, pending);
        } else if (is_element(c, "constraint")) {
            const XMLENTITY *data = find_element(c, "data");
            if (data == nullptr) {
                std::fprintf(stderr, "kavelon-svg: constraint %zu has no <data> (%s)\n",
                             report->constraints.size(), source);
                return 1;
            }
            report->constraints.push_back(kavelon_svg_decode_text(text_of(data)));
            raw_constraints.push_back(text_of(data));
        }
    }
    if (report->blocks.empty()) {
        std::fprintf(stderr, "kavelon-svg: report has no blocks (%s)\n", source);
        return 1;
    }
    raw_columns.insert(raw_columns.end(), raw_constraints.begin(), raw_constraints.end());

    // Columns: the activities' data items, then the constraints. Names are
    // matched as written in the report, byte for byte, as kavelon matched
    // them. Where two share a name, the first column wins.
    std::unordered_map<std::string, int32_t> column;
    for (size_t j = 0; j < raw_columns.size(); j++) column.emplace(raw_columns[j], static_cast<int32_t>(j));
    for (const PENDING &p : pending) {
        const auto found = column.find(p.item);
        if (found == column.end()) {
            std::fprintf(stderr,
                         "kavelon-svg: %s %d depends on \"%s\", which is neither a data item nor a "
                         "constraint of the report (%s)\n",
                         p.output != 0 ? "output" : "activity", p.row, p.item, source);
            return 1;
        }
        std::vector<SVGROW> &rows = p.output != 0 ? report->outputs : report->activities;
        rows[static_cast<size_t>(p.row)].marks.push_back(SVGMARK{p.kind, found->second});
    }
    return 0;
}
