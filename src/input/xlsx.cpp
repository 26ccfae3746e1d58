// An .xlsx workbook read as a grid of cell texts.
//
// A workbook is a zip archive of XML parts. The package's relationships
// (_rels/.rels) name the workbook part, usually xl/workbook.xml; it lists
// the sheets by name and relationship id, and its own relationships
// (xl/_rels/workbook.xml.rels) give each id's part and the shared strings
// part. A sheet's cells hold numbers as text, an index into the shared
// strings, or an inline string. Part names are matched without regard to
// case, and elements by their local names whatever namespace prefix a
// writer chose, since both vary between the programs that write workbooks.
//
// Every part is streamed from the archive into expat a chunk at a time and
// counted as it comes, so a part that inflates beyond the limit is refused
// after reading no more than the limit, whatever its header claims.
#include "input/input.h"

#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

namespace {

// The namespace separator expat puts between a name's URI and local part.
constexpr char kNamespaceSeparator = '|';

const char *local_name(const char *name) {
    const char *bar = std::strrchr(name, kNamespaceSeparator);
    return bar != nullptr ? bar + 1 : name;
}

bool has_namespace(const char *name) { return std::strchr(name, kNamespaceSeparator) != nullptr; }

// The value of the attribute whose local name is `name`; with `qualified`
// only one in a namespace (the relationship id "r:id", say), without it only
// one in none. nullptr when there is none.
const char *attribute(const char **attributes, const char *name, bool qualified) {
    for (int k = 0; attributes[k] != nullptr; k += 2) {
        if (has_namespace(attributes[k]) == qualified && std::strcmp(local_name(attributes[k]), name) == 0)
            return attributes[k + 1];
    }
    return nullptr;
}

bool ends_with(const std::string &text, const char *tail) {
    const size_t length = std::strlen(tail);
    return text.size() >= length && text.compare(text.size() - length, length, tail) == 0;
}

// What every part's handlers share: the parser, to stop it, and the fault
// that stopped it.
struct PartState {
    XML_Parser parser = nullptr;
    bool failed = false;
    int32_t row = -1;
    int32_t column = -1;
    std::string what;
};

void stop(PartState *part, const std::string &what, int32_t row = -1, int32_t column = -1) {
    if (part->failed) return;
    part->failed = true;
    part->what = what;
    part->row = row;
    part->column = column;
    XML_StopParser(part->parser, XML_FALSE);
}

// No part of a workbook has a document type declaration; one that does is
// refused before its entities could be declared, let alone expanded.
void XMLCALL on_doctype(void *data, const XML_Char *, const XML_Char *, const XML_Char *, int) {
    stop(static_cast<PartState *>(data), "holds a document type declaration");
}

// ---- relationships: _rels/.rels and the workbook's own

struct Relationship {
    std::string id;
    std::string type;
    std::string target;  // the part's name in the archive, resolved
};

struct RelsState {
    PartState part;
    std::string base;  // folder of the part the relationships belong to, "" or "xl/"
    std::vector<Relationship> relationships;
};

// A target relative to the source part's folder, or absolute from the
// package root, as the name of a part in the archive: "worksheets/s1.xml"
// from "xl/" is "xl/worksheets/s1.xml", "/xl/s1.xml" is "xl/s1.xml", and
// "." and ".." segments are resolved.
std::string resolve_target(const std::string &base, const std::string &target) {
    const std::string path = !target.empty() && target[0] == '/' ? target.substr(1) : base + target;
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string segment = path.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string resolved;
    for (const std::string &segment : segments) resolved += (resolved.empty() ? "" : "/") + segment;
    return resolved;
}

void XMLCALL rels_start(void *data, const XML_Char *name, const XML_Char **attributes) {
    auto *state = static_cast<RelsState *>(data);
    if (std::strcmp(local_name(name), "Relationship") != 0) return;
    const char *id = attribute(attributes, "Id", false);
    const char *type = attribute(attributes, "Type", false);
    const char *target = attribute(attributes, "Target", false);
    const char *mode = attribute(attributes, "TargetMode", false);
    // An external target (a linked file, a web address) is no part.
    if (id == nullptr || type == nullptr || target == nullptr) return;
    if (mode != nullptr && std::strcmp(mode, "External") == 0) return;
    state->relationships.push_back({id, type, resolve_target(state->base, target)});
}

void XMLCALL ignore_end(void *, const XML_Char *) {}

// ---- the workbook: its sheets in tab order

struct SheetEntry {
    std::string name;
    std::string id;  // relationship id
};

struct WorkbookState {
    PartState part;
    std::vector<SheetEntry> sheets;
};

void XMLCALL workbook_start(void *data, const XML_Char *name, const XML_Char **attributes) {
    auto *state = static_cast<WorkbookState *>(data);
    if (std::strcmp(local_name(name), "sheet") != 0) return;
    const char *sheet_name = attribute(attributes, "name", false);
    const char *id = attribute(attributes, "id", true);
    state->sheets.push_back({sheet_name != nullptr ? sheet_name : "", id != nullptr ? id : ""});
}

// ---- text runs, shared by the shared strings and inline strings

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The UTF-16 unit of an escape "_xHHHH_" at text[at], or -1.
int32_t escaped_unit(const std::string &text, size_t at) {
    if (at + 7 > text.size() || text[at] != '_' || text[at + 1] != 'x' || text[at + 6] != '_') return -1;
    int32_t unit = 0;
    for (size_t k = at + 2; k < at + 6; k++) {
        const int digit = hex_value(text[k]);
        if (digit < 0) return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

void append_utf8(std::string &out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A workbook's string holds a character XML cannot carry (a control
// character) as "_xHHHH_", a UTF-16 unit in hex, and an underscore that
// would start such a form as "_x005F_". A pair of surrogate units is one
// character; a lone surrogate, and the NUL that would end a name, stay as
// written.
std::string unescaped(const std::string &text) {
    if (text.find("_x") == std::string::npos) return text;
    std::string out;
    for (size_t at = 0; at < text.size();) {
        const int32_t unit = escaped_unit(text, at);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const int32_t low = escaped_unit(text, at + 7);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                append_utf8(out, 0x10000 + ((static_cast<uint32_t>(unit) - 0xD800) << 10) +
                                     (static_cast<uint32_t>(low) - 0xDC00));
                at += 14;
                continue;
            }
        } else if (unit > 0 && !(unit >= 0xDC00 && unit <= 0xDFFF)) {
            append_utf8(out, static_cast<uint32_t>(unit));
            at += 7;
            continue;
        }
        out += text[at++];
    }
    return out;
}

// A string item (<si> or <is>) is the text of its <t> elements, directly
// inside it or inside its rich-text runs <r>; the phonetic guide <rPh> is
// not part of the text shown.
struct TextRuns {
    int phonetic = 0;   // depth inside <rPh>
    bool in_t = false;  // collecting a <t>
    std::string text;
};

void runs_start(TextRuns *runs, const char *local) {
    if (std::strcmp(local, "rPh") == 0) runs->phonetic++;
    if (std::strcmp(local, "t") == 0 && runs->phonetic == 0) runs->in_t = true;
}

void runs_end(TextRuns *runs, const char *local) {
    if (std::strcmp(local, "rPh") == 0 && runs->phonetic > 0) runs->phonetic--;
    if (std::strcmp(local, "t") == 0) runs->in_t = false;
}

struct SharedState {
    PartState part;
    bool in_item = false;
    TextRuns runs;
    std::vector<std::string> strings;
};

void XMLCALL shared_start(void *data, const XML_Char *name, const XML_Char **) {
    auto *state = static_cast<SharedState *>(data);
    const char *local = local_name(name);
    if (std::strcmp(local, "si") == 0) {
        state->in_item = true;
        state->runs = TextRuns();
    } else if (state->in_item) {
        runs_start(&state->runs, local);
    }
}

void XMLCALL shared_end(void *data, const XML_Char *name) {
    auto *state = static_cast<SharedState *>(data);
    const char *local = local_name(name);
    if (std::strcmp(local, "si") == 0 && state->in_item) {
        state->strings.push_back(unescaped(state->runs.text));
        state->in_item = false;
    } else if (state->in_item) {
        runs_end(&state->runs, local);
    }
}

void XMLCALL shared_text(void *data, const XML_Char *s, int length) {
    auto *state = static_cast<SharedState *>(data);
    if (state->in_item && state->runs.in_t) state->runs.text.append(s, static_cast<size_t>(length));
}

// ---- the sheet

struct SheetState {
    PartState part;
    const std::vector<std::string> *shared = nullptr;
    std::vector<KAVSHEETCELL> *cells = nullptr;
    bool in_data = false;   // inside <sheetData>
    int32_t row = -1;       // current row, 0-based
    int32_t column = -1;    // last cell's column in the row
    bool in_cell = false;
    std::string type;       // the cell's t attribute
    bool in_value = false;  // inside <v>
    std::string value;
    bool in_inline = false;  // inside <is>
    TextRuns runs;
};

// A row number from 1 as the r attribute of <row> gives it; -1 for none.
int32_t parse_row_number(const char *text) {
    int64_t value = 0;
    if (*text == '\0') return -1;
    for (; *text != '\0'; text++) {
        if (*text < '0' || *text > '9') return -1;
        value = value * 10 + (*text - '0');
        if (value > KAVELON_XLSX_MAX_ROWS) return -1;
    }
    return value >= 1 ? static_cast<int32_t>(value) : -1;
}

void sheet_row(SheetState *state, const char **attributes) {
    const char *r = attribute(attributes, "r", false);
    int32_t row = state->row + 1;
    if (r != nullptr) {
        const int32_t number = parse_row_number(r);
        if (number < 0) {
            stop(&state->part, std::string("row number (") + r + ") beyond the sheet's rows 1 to 1048576");
            return;
        }
        row = number - 1;
    }
    if (row >= KAVELON_XLSX_MAX_ROWS) {
        stop(&state->part, "row beyond the sheet's last row 1048576");
        return;
    }
    state->row = row;
    state->column = -1;
}

void sheet_cell(SheetState *state, const char **attributes) {
    const char *r = attribute(attributes, "r", false);
    const char *type = attribute(attributes, "t", false);
    // A row without <row r>, or a cell before any row, starts at the top.
    if (state->row < 0) state->row = 0;
    int32_t row = state->row;
    int32_t column = state->column + 1;
    if (r != nullptr && !kavelon_parse_cell_reference(r, &row, &column)) {
        stop(&state->part, std::string("cell reference (") + r + ") beyond the sheet's columns A to XFD, rows 1 to 1048576");
        return;
    }
    if (column >= KAVELON_XLSX_MAX_COLUMNS) {
        stop(&state->part, "cell beyond the sheet's last column XFD", row, column);
        return;
    }
    state->row = row;
    state->column = column;
    state->in_cell = true;
    state->type = type != nullptr ? type : "";
    state->value.clear();
    state->in_value = false;
    state->in_inline = false;
    state->runs = TextRuns();
}

void XMLCALL sheet_start(void *data, const XML_Char *name, const XML_Char **attributes) {
    auto *state = static_cast<SheetState *>(data);
    const char *local = local_name(name);
    if (!state->in_data) {
        if (std::strcmp(local, "sheetData") == 0) state->in_data = true;
        return;
    }
    if (!state->in_cell) {
        if (std::strcmp(local, "row") == 0) sheet_row(state, attributes);
        if (std::strcmp(local, "c") == 0) sheet_cell(state, attributes);
        return;
    }
    if (state->in_inline) {
        runs_start(&state->runs, local);
    } else if (std::strcmp(local, "v") == 0) {
        state->in_value = true;
    } else if (std::strcmp(local, "is") == 0) {
        state->in_inline = true;
    }
}

// The text of the cell just closed, by its type.
bool cell_text(SheetState *state, std::string *text) {
    const std::string &type = state->type;
    if (type == "s") {
        const std::string &v = state->value;
        size_t index = 0;
        bool number = !v.empty() && v.size() <= 12;
        for (const char c : v) {
            number = number && c >= '0' && c <= '9';
            if (number) index = index * 10 + static_cast<size_t>(c - '0');
        }
        const size_t count = state->shared != nullptr ? state->shared->size() : 0;
        if (!number || index >= count) {
            stop(&state->part,
                 "shared string (" + v + ") does not exist, the workbook has " + std::to_string(count),
                 state->row, state->column);
            return false;
        }
        *text = (*state->shared)[index];
    } else if (type == "inlineStr") {
        *text = unescaped(state->runs.text);
    } else if (type == "str") {
        *text = unescaped(state->value);
    } else if (type == "b") {
        *text = state->value == "1" ? "TRUE" : state->value == "0" ? "FALSE" : state->value;
    } else {
        // A number, a formula's string result, an error code, a date in
        // ISO form: its text as stored.
        *text = state->value;
    }
    return true;
}

void XMLCALL sheet_end(void *data, const XML_Char *name) {
    auto *state = static_cast<SheetState *>(data);
    const char *local = local_name(name);
    if (!state->in_data) return;
    if (!state->in_cell) {
        if (std::strcmp(local, "sheetData") == 0) state->in_data = false;
        return;
    }
    if (std::strcmp(local, "c") == 0) {
        state->in_cell = false;
        std::string text;
        if (!cell_text(state, &text)) return;
        if (!text.empty()) state->cells->push_back({state->row, state->column, std::move(text)});
    } else if (state->in_inline) {
        if (std::strcmp(local, "is") == 0) {
            state->in_inline = false;
        } else {
            runs_end(&state->runs, local);
        }
    } else if (std::strcmp(local, "v") == 0) {
        state->in_value = false;
    }
}

void XMLCALL sheet_text(void *data, const XML_Char *s, int length) {
    auto *state = static_cast<SheetState *>(data);
    if (!state->in_cell) return;
    if (state->in_value) state->value.append(s, static_cast<size_t>(length));
    if (state->in_inline && state->runs.in_t) state->runs.text.append(s, static_cast<size_t>(length));
}

// ---- the archive

// Where a part was found, or -1.
zip_int64_t find_part(zip_t *archive, const std::string &name) {
    return zip_name_locate(archive, name.c_str(), ZIP_FL_NOCASE);
}

// Streams part `index` through `parser`, whose handlers were given `part`.
// False with the fault in `part` (or *what for the archive's own faults).
bool parse_part(zip_t *archive, zip_int64_t index, const std::string &name, size_t max_bytes,
                XML_Parser parser, PartState *part) {
    part->parser = parser;
    XML_SetStartDoctypeDeclHandler(parser, on_doctype);
    zip_file_t *file = zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0);
    if (file == nullptr) {
        part->failed = true;
        part->what = "part (" + name + ") cannot be read: " + zip_strerror(archive);
        return false;
    }
    static char buffer[1 << 16];
    size_t total = 0;
    bool good = true;
    for (;;) {
        const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
        if (got < 0) {
            part->failed = true;
            part->what = "part (" + name + ") is damaged: " + zip_file_strerror(file);
            good = false;
            break;
        }
        total += static_cast<size_t>(got);
        if (total > max_bytes) {
            part->failed = true;
            part->what = "part (" + name + ") is larger than " + std::to_string(max_bytes >> 20) +
                         " MiB uncompressed; not read";
            good = false;
            break;
        }
        const int last = got == 0 ? 1 : 0;
        if (XML_Parse(parser, buffer, static_cast<int>(got), last) != XML_STATUS_OK) {
            if (!part->failed) {
                part->failed = true;
                part->what = "part (" + name + ") is not well-formed XML: line " +
                             std::to_string(XML_GetCurrentLineNumber(parser)) + ": " +
                             XML_ErrorString(XML_GetErrorCode(parser));
            } else if (part->row < 0) {
                part->what = "part (" + name + ") " + part->what;
            }
            good = false;
            break;
        }
        if (last != 0) break;
    }
    zip_fclose(file);
    return good && !part->failed;
}

// Parses one part with a parser of its own that hands `state` to the
// handlers; `part` is the state's PartState. A part that fails gives the
// error its fault.
bool parse_part_with(zip_t *archive, zip_int64_t index, const std::string &name, size_t max_bytes, void *state,
                     PartState *part, XML_StartElementHandler start, XML_EndElementHandler end,
                     XML_CharacterDataHandler text, KAVSHEETERROR *error) {
    XML_Parser parser = XML_ParserCreateNS(nullptr, kNamespaceSeparator);
    if (parser == nullptr) throw std::bad_alloc();
    XML_SetUserData(parser, state);
    XML_SetElementHandler(parser, start, end);
    if (text != nullptr) XML_SetCharacterDataHandler(parser, text);
    const bool good = parse_part(archive, index, name, max_bytes, parser, part);
    XML_ParserFree(parser);
    if (!good) error->what = part->what;
    return good;
}

bool parse_relationships(zip_t *archive, const std::string &source, size_t max_bytes,
                         std::vector<Relationship> *out, KAVSHEETERROR *error) {
    const size_t slash = source.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : source.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? source : source.substr(slash + 1);
    const std::string name = folder + "_rels/" + file + ".rels";
    const zip_int64_t index = find_part(archive, name);
    if (index < 0) return true;  // no relationships
    RelsState state;
    state.base = folder;
    const bool good = parse_part_with(archive, index, name, max_bytes, &state, &state.part, rels_start, ignore_end,
                                      nullptr, error);
    if (!good) return false;
    *out = std::move(state.relationships);
    return true;
}

// The workbook part: the package's officeDocument relationship, else the
// name every writer uses.
std::string workbook_part(const std::vector<Relationship> &package) {
    for (const Relationship &r : package) {
        if (ends_with(r.type, "/officeDocument")) return r.target;
    }
    return "xl/workbook.xml";
}

bool parse_workbook(zip_t *archive, const std::string &name, size_t max_bytes, std::vector<SheetEntry> *sheets,
                    KAVSHEETERROR *error) {
    const zip_int64_t index = find_part(archive, name);
    if (index < 0) {
        error->what = "no workbook part (" + name + "); not an .xlsx workbook";
        return false;
    }
    WorkbookState state;
    const bool good = parse_part_with(archive, index, name, max_bytes, &state, &state.part, workbook_start, ignore_end,
                                      nullptr, error);
    if (!good) return false;
    *sheets = std::move(state.sheets);
    return true;
}

bool parse_shared_strings(zip_t *archive, const std::vector<Relationship> &relationships, size_t max_bytes,
                          std::vector<std::string> *strings, KAVSHEETERROR *error) {
    std::string name;
    for (const Relationship &r : relationships) {
        if (ends_with(r.type, "/sharedStrings")) name = r.target;
    }
    if (name.empty()) return true;  // a workbook of numbers and inline strings
    const zip_int64_t index = find_part(archive, name);
    if (index < 0) return true;
    SharedState state;
    const bool good = parse_part_with(archive, index, name, max_bytes, &state, &state.part, shared_start, shared_end,
                                      shared_text, error);
    if (!good) return false;
    *strings = std::move(state.strings);
    return true;
}

// The list of sheet names for a message: "(A) (B)".
std::string sheet_list(const std::vector<SheetEntry> &sheets) {
    std::string list;
    for (const SheetEntry &s : sheets) list += (list.empty() ? "(" : " (") + s.name + ")";
    return list;
}

// Finds the sheet wanted and its part; false with the fault.
bool choose_sheet(const std::vector<SheetEntry> &sheets, const std::vector<Relationship> &relationships,
                  const char *wanted, KAVSHEET *sheet, std::string *part, KAVSHEETERROR *error) {
    if (sheets.empty()) {
        error->what = "the workbook lists no sheet";
        return false;
    }
    const SheetEntry *entry = &sheets[0];
    if (wanted != nullptr) {
        entry = nullptr;
        for (const SheetEntry &s : sheets) {
            if (s.name == wanted) {
                entry = &s;
                break;
            }
        }
        if (entry == nullptr) {
            error->what = std::string("no sheet (") + wanted + "); the workbook has " + sheet_list(sheets);
            return false;
        }
    }
    sheet->name = entry->name;
    error->sheet = true;
    for (const Relationship &r : relationships) {
        if (r.id != entry->id) continue;
        if (!ends_with(r.type, "/worksheet")) {
            error->what = "not a worksheet (a chart or dialog sheet); no cells to read";
            return false;
        }
        *part = r.target;
        return true;
    }
    error->what = "the workbook gives no part for the sheet";
    return false;
}

bool parse_sheet(zip_t *archive, const std::string &name, size_t max_bytes,
                 const std::vector<std::string> &shared, KAVSHEET *sheet, KAVSHEETERROR *error) {
    const zip_int64_t index = find_part(archive, name);
    if (index < 0) {
        error->what = "its part (" + name + ") is missing from the archive";
        return false;
    }
    SheetState state;
    state.shared = &shared;
    state.cells = &sheet->cells;
    const bool good = parse_part_with(archive, index, name, max_bytes, &state, &state.part, sheet_start, sheet_end,
                                      sheet_text, error);
    if (!good) {
        error->row = state.part.row;
        error->column = state.part.column;
        return false;
    }
    // Writers put rows and cells in order, but nothing forces them to; the
    // grid is by row and column, and a cell given twice is a fault.
    std::stable_sort(sheet->cells.begin(), sheet->cells.end(),
                     [](const KAVSHEETCELL &a, const KAVSHEETCELL &b) {
                         return a.row != b.row ? a.row < b.row : a.column < b.column;
                     });
    for (size_t k = 1; k < sheet->cells.size(); k++) {
        const KAVSHEETCELL &a = sheet->cells[k - 1];
        const KAVSHEETCELL &b = sheet->cells[k];
        if (a.row == b.row && a.column == b.column) {
            error->what = "cell given twice";
            error->row = b.row;
            error->column = b.column;
            return false;
        }
    }
    return true;
}

bool read_workbook(zip_t *archive, const char *sheet_name, size_t max_bytes, KAVSHEET *sheet,
                   KAVSHEETERROR *error) {
    std::vector<Relationship> package;
    if (!parse_relationships(archive, "", max_bytes, &package, error)) return false;
    const std::string workbook = workbook_part(package);
    std::vector<SheetEntry> sheets;
    if (!parse_workbook(archive, workbook, max_bytes, &sheets, error)) return false;
    std::vector<Relationship> relationships;
    if (!parse_relationships(archive, workbook, max_bytes, &relationships, error)) return false;
    std::string part;
    if (!choose_sheet(sheets, relationships, sheet_name, sheet, &part, error)) return false;
    std::vector<std::string> shared;
    if (!parse_shared_strings(archive, relationships, max_bytes, &shared, error)) return false;
    return parse_sheet(archive, part, max_bytes, shared, sheet, error);
}

}  // namespace

std::string kavelon_cell_reference(int32_t row, int32_t column) {
    std::string letters;
    for (int64_t c = static_cast<int64_t>(column) + 1; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(static_cast<int64_t>(row) + 1);
}

bool kavelon_parse_cell_reference(const char *text, int32_t *row, int32_t *column) {
    int64_t c = 0;
    int letters = 0;
    for (; (*text >= 'A' && *text <= 'Z') || (*text >= 'a' && *text <= 'z'); text++) {
        if (++letters > 3) return false;
        c = c * 26 + ((*text | 0x20) - 'a' + 1);
    }
    const int32_t r = parse_row_number(text);
    if (letters == 0 || c > KAVELON_XLSX_MAX_COLUMNS || r < 0) return false;
    *row = r - 1;
    *column = static_cast<int32_t>(c - 1);
    return true;
}

int kavelon_read_xlsx_sheet(const char *bytes, size_t size, const char *sheet_name, size_t max_part_bytes,
                            KAVSHEET *sheet, KAVSHEETERROR *error) {
    *sheet = KAVSHEET();
    *error = KAVSHEETERROR();
    // libzip takes no bytes at all for an archive of no members.
    if (size == 0) {
        error->what = "not an .xlsx workbook (the file is empty)";
        return 1;
    }
    zip_error_t zip_error;
    zip_error_init(&zip_error);
    zip_source_t *source = zip_source_buffer_create(bytes, size, 0, &zip_error);
    zip_t *archive = source != nullptr ? zip_open_from_source(source, ZIP_RDONLY, &zip_error) : nullptr;
    if (archive == nullptr) {
        error->what = std::string("not an .xlsx workbook (") + zip_error_strerror(&zip_error) + ")";
        if (source != nullptr) zip_source_free(source);
        zip_error_fini(&zip_error);
        return 1;
    }
    zip_error_fini(&zip_error);
    bool good = false;
    try {
        good = read_workbook(archive, sheet_name, max_part_bytes, sheet, error);
    } catch (const std::bad_alloc &) {
        error->row = -1;
        error->column = -1;
        error->what = "out of memory";
    }
    zip_discard(archive);
    return good ? 0 : 1;
}

namespace {

bool read_all_bytes(FILE *in, std::string &bytes) {
    char buf[65536];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, in)) > 0) bytes.append(buf, got);
    return std::ferror(in) == 0;
}

// The sheet's cells as the rows of the matrix reader: rows that hold
// nothing left out, columns counted from the leftmost one used, the first
// rows whole (empty cells where the sheet has none), every other row its
// label and the cells that are not empty. Each cell keeps its place on the
// sheet for the messages.
KAVGRID sheet_grid(const KAVSHEET &sheet) {
    KAVGRID rows;
    int32_t left = KAVELON_XLSX_MAX_COLUMNS;
    int32_t right = 0;
    for (const KAVSHEETCELL &c : sheet.cells) {
        left = std::min(left, c.column);
        right = std::max(right, c.column + 1);
    }
    const int32_t width = right - left;
    for (size_t k = 0; k < sheet.cells.size();) {
        const int32_t row_number = sheet.cells[k].row;
        KAVGRIDROW row;
        row.width = width;
        const bool whole = rows.size() < static_cast<size_t>(KAVELON_GRID_HEAD_ROWS);
        int32_t next = 0;  // the next index a whole row lacks
        auto put = [&](int32_t index, const std::string &text) {
            row.cells.push_back({text, index, row_number, left + index});
        };
        for (; k < sheet.cells.size() && sheet.cells[k].row == row_number; k++) {
            const KAVSHEETCELL &c = sheet.cells[k];
            const int32_t index = c.column - left;
            if (whole) {
                for (; next < index; next++) put(next, std::string());
            } else if (index > 0 && row.cells.empty()) {
                put(0, std::string());
            }
            std::string text = c.text;
            // As around a CSV cell, white space around a label or a mark is
            // not part of it.
            size_t end = text.size();
            while (end > 0 && xmlisspace(static_cast<unsigned char>(text[end - 1]))) end--;
            size_t start = 0;
            while (start < end && xmlisspace(static_cast<unsigned char>(text[start]))) start++;
            text = text.substr(start, end - start);
            if (!text.empty()) row.filled = index + 1;
            if (whole || index == 0 || !text.empty()) put(index, text);
            next = index + 1;
        }
        if (whole) {
            for (; next < width; next++) put(next, std::string());
        }
        if (row.filled > 0) rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace

int kavelon_read_xlsx_file(KAVELON *dt, FILE *in) {
    if (dt == nullptr || in == nullptr) return 1;
    const char *file = xmlnulltext(dt->xml_filename);
    KAVSHEET sheet;
    KAVSHEETERROR error;
    KAVGRIDERROR grid_error;
    bool placed_in_grid = false;
    bool good = false;
    try {
        std::string bytes;
        if (!read_all_bytes(in, bytes)) {
            error.what = "read error";
        } else if (kavelon_read_xlsx_sheet(bytes.data(), bytes.size(), dt->sheet_name, KAVELON_XLSX_MAX_PART_BYTES,
                                           &sheet, &error) == 0) {
            KAVGRID rows = sheet_grid(sheet);
            placed_in_grid = true;
            if (rows.empty()) {
                kavelon_grid_fail(&grid_error, 0, 0, "no matrix, the sheet is empty");
            } else {
                int32_t first_column = 1;
                const int32_t heading = kavelon_grid_heading(rows, &first_column);
                XMLENTITY *root = nullptr;
                good = kavelon_grid_tree(dt, rows, heading, first_column, &root, &grid_error);
                if (good) {
                    dt->entities = root;
                    dt->root = root;
                } else {
                    free_XMLENTITY(root);
                }
            }
        }
    } catch (const std::bad_alloc &) {
        error.what = "out of memory";
        placed_in_grid = false;
    }
    if (good) return 0;
    if (error.what == "out of memory") {
        std::fprintf(stderr, " *** ERROR: Out of memory reading xlsx file (%s)\n", file);
        return 1;
    }
    if (placed_in_grid) {
        std::fprintf(stderr, " *** ERROR: xlsx file (%s) sheet (%s) cell %s: %s\n", file,
                     kavelon_one_line(sheet.name).c_str(),
                     kavelon_cell_reference(grid_error.line, grid_error.column).c_str(), grid_error.what.c_str());
        return 1;
    }
    std::string where;
    if (error.sheet) where = " sheet (" + kavelon_one_line(sheet.name) + ")";
    if (error.row >= 0) where += " cell " + kavelon_cell_reference(error.row, error.column);
    std::fprintf(stderr, " *** ERROR: xlsx file (%s)%s: %s\n", file, where.c_str(), kavelon_one_line(error.what).c_str());
    return 1;
}
