// The entity reader: turns a byte stream into the entity tree.
//
// Elements may nest to any depth, so the reader keeps its open elements on
// an explicit stack instead of recursing, and each element's content buffer
// grows with what it holds. The length limits stay those of a fixed work
// buffer of 65,536 bytes per construct.
//
// Every byte comes through one source that turns the file's encoding into
// UTF-8, checks that it is text XML allows, and keeps the line and column,
// so that a read that fails can say where and why.
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "xml/xmlentity.h"

namespace {

// Size of the work buffer that every length limit derives from: a construct
// whose count of characters reaches it is an overrun.
constexpr size_t kWorkBufferSize = 65536;

// Off in every ordinary run. The lines that every element passes are
// guarded where they are made as well, so that their arguments are not even
// formed then.
__attribute__((format(printf, 1, 2))) void trace(const char *format, ...) {
    if (xml_verbose == 0) return;
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

[[noreturn]] void out_of_work_memory() {
    std::fprintf(stderr, " *** ERROR: Out of memory in fget_XMLENTITY() 1\n");
    std::exit(1);
}

// Characters read for one construct, always NUL-terminated; it may hold NUL
// bytes of its own, which end its text as a string.
struct WorkBuffer {
    char *data;
    size_t length;
    size_t capacity;
};

void buffer_add(WorkBuffer *buffer, int c) {
    // Room for the character and the terminator; a construct never holds
    // more than the work buffer's size, so that is where growth stops.
    if (buffer->length + 2 > buffer->capacity) {
        size_t capacity = buffer->capacity == 0 ? 32 : buffer->capacity * 2;
        if (capacity > kWorkBufferSize + 1) capacity = kWorkBufferSize + 1;
        if (capacity < buffer->length + 2) capacity = buffer->length + 2;
        auto *data = static_cast<char *>(std::realloc(buffer->data, capacity));
        if (data == nullptr) out_of_work_memory();
        buffer->data = data;
        buffer->capacity = capacity;
    }
    buffer->data[buffer->length++] = static_cast<char>(c);
    buffer->data[buffer->length] = '\0';
}

void buffer_clear(WorkBuffer *buffer) {
    buffer->length = 0;
    if (buffer->data != nullptr) buffer->data[0] = '\0';
}

// The buffer's text, exactly as read up to its first NUL byte.
char *buffer_copy(const WorkBuffer *buffer) { return xmlcopystring(buffer->data != nullptr ? buffer->data : ""); }

// The reader's view of its input: the stream, the encoding it is in, and
// where the last character delivered stands.
struct Source {
    FILE *in;
    bool checked;          // decoded and checked; otherwise every byte is a character
    int32_t encoding;      // XMLENCODING_*
    bool slow;             // a byte is due from out or head, a UTF-8 character is
                           // half read, or the input has stopped
    bool stopped;          // the end of the input, or a fault that ends reading
    bool byte_order_mark;  // the file began with a UTF-8 one
    unsigned char head[4]; // the file's first bytes, read to tell what it is
    int head_count;
    int head_next;
    char out[4];           // a converted character's UTF-8 bytes still due
    int out_count;
    int out_next;
    XMLUTF8 utf8;
    int lead;              // the byte that began the UTF-8 character being read
    long line;             // of the last character delivered, from 1
    long column;           // of that character, from 1; 0 at a line's start
    long mark_line;        // where the '<' of the markup being read stands
    long mark_column;
    XMLFAULT *fault;       // never none
};

void clear_fault(XMLFAULT *fault) {
    fault->kind = XMLFAULT_NONE;
    fault->line = 0;
    fault->column = 0;
    fault->reason[0] = '\0';
}

// Faults that stop the reading: the input is not text the reader takes.
bool stops_reading(int32_t kind) {
    return kind == XMLFAULT_TEXT || kind == XMLFAULT_ZIP || kind == XMLFAULT_READ;
}

void update_slow(Source *s) {
    s->slow = s->stopped || s->out_next < s->out_count || s->head_next < s->head_count || s->utf8.need > 0;
}

// Records a fault. The first markup fault is the one to tell, since later
// ones tend to follow from it; a fault that stops the reading is told
// whatever came before, as it alone decides the read.
__attribute__((format(printf, 5, 6))) void record_fault(Source *s, int32_t kind, long line, long column,
                                                        const char *format, ...) {
    if (s->fault->kind != XMLFAULT_NONE && !stops_reading(kind)) return;
    if (stops_reading(s->fault->kind)) return;
    s->fault->kind = kind;
    s->fault->line = line;
    s->fault->column = column;
    va_list args;
    va_start(args, format);
    std::vsnprintf(s->fault->reason, sizeof s->fault->reason, format, args);
    va_end(args);
    if (stops_reading(kind)) {
        s->stopped = true;
        s->slow = true;
        s->head_next = s->head_count;
        s->out_next = s->out_count;
    }
}

// A name as a fault's words show it: cut to a few dozen bytes at a
// character's end, and line breaks, tabs and other control characters
// written as \n, \r, \t or \xHH, so that the message stays one line.
struct ShownName {
    char text[96];
};

ShownName shown(const char *name) {
    constexpr size_t kShownBytes = 64;
    ShownName out;
    size_t used = 0;
    const char *p = name != nullptr ? name : "(null)";
    const size_t cut = xmlutf8cut(p, kShownBytes);
    for (size_t i = 0; i < cut; i++) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (c == '\n' || c == '\r' || c == '\t') {
            out.text[used++] = '\\';
            out.text[used++] = c == '\n' ? 'n' : c == '\r' ? 'r' : 't';
        } else if (c < 0x20 || c == 0x7F) {
            used += static_cast<size_t>(std::snprintf(out.text + used, sizeof out.text - used, "\\x%02X", c));
        } else {
            out.text[used++] = static_cast<char>(c);
        }
        if (used + 8 > sizeof out.text) break;
    }
    if (p[cut] != '\0') {
        std::memcpy(out.text + used, "...", 3);
        used += 3;
    }
    out.text[used] = '\0';
    return out;
}

// The input has ended, or the system could not read it.
int end_of_input(Source *s) {
    if (s->stopped) return EOF;
    if (s->utf8.need > 0) {
        record_fault(s, XMLFAULT_TEXT, s->line, s->column, "the file ends inside a UTF-8 character");
    } else if (std::ferror(s->in) != 0) {
        const int error = errno;
        if (error == EISDIR) {
            record_fault(s, XMLFAULT_READ, 0, 0, "is a directory, not a file");
        } else {
            record_fault(s, XMLFAULT_READ, 0, 0, "cannot be read: %s", std::strerror(error));
        }
    }
    s->stopped = true;
    s->slow = true;
    return EOF;
}

// A byte below 0x80 outside the fast path: line ends, tabs and carriage
// returns are text; the other control characters, NUL first of all, are not
// allowed in XML and would cut or spoil the names that hold them.
int ascii_char(Source *s, int c) {
    if (c == '\n') {
        s->line++;
        s->column = 0;
        return c;
    }
    s->column++;
    if (c >= 0x20 || c == '\t' || c == '\r') return c;
    if (c == 0) {
        record_fault(s, XMLFAULT_TEXT, s->line, s->column, "zero byte, not allowed in XML");
    } else {
        record_fault(s, XMLFAULT_TEXT, s->line, s->column, "control character 0x%02X, not allowed in XML", c);
    }
    return EOF;
}

// Any byte from the stream that the fast path in next_char leaves.
int decode_byte(Source *s, int c) {
    if (!s->checked) {
        if (c == '\n') {
            s->line++;
            s->column = 0;
        } else if (c != EOF && (c & 0xC0) != 0x80) {
            s->column++;
        }
        return c;
    }
    if (c == EOF) return end_of_input(s);
    if (s->encoding != XMLENCODING_UTF8) {
        if (c < 0x80) return ascii_char(s, c);
        s->column++;
        s->out_count = xmlbytetoutf8(s->encoding, c, s->out);
        s->out_next = 1;
        s->slow = true;
        return static_cast<unsigned char>(s->out[0]);
    }
    if (s->utf8.need == 0) {
        if (c < 0x80) return ascii_char(s, c);
        s->column++;  // a lead byte starts a character
        s->lead = c;
    }
    const int step = xmlutf8step(&s->utf8, c);
    if (step == XMLUTF8_BAD) {
        // The byte that began the character is the one to name: in text of
        // another encoding it is the letter that is not UTF-8.
        record_fault(s, XMLFAULT_TEXT, s->line, s->column,
                     "byte 0x%02X is not UTF-8; declare the file's encoding, such as encoding=\"ISO-8859-1\"",
                     s->lead);
        return EOF;
    }
    update_slow(s);
    if (step == XMLUTF8_CHAR && (s->utf8.code == 0xFFFE || s->utf8.code == 0xFFFF)) {
        record_fault(s, XMLFAULT_TEXT, s->line, s->column, "character U+%04lX, not allowed in XML", s->utf8.code);
        return EOF;
    }
    return c;
}

int slow_char(Source *s) {
    if (s->out_next < s->out_count) {
        const int c = static_cast<unsigned char>(s->out[s->out_next++]);
        update_slow(s);
        return c;
    }
    if (s->head_next < s->head_count) {
        const int c = s->head[s->head_next++];
        update_slow(s);
        return decode_byte(s, c);
    }
    if (s->stopped) return EOF;
    return decode_byte(s, getc_unlocked(s->in));
}

// The reader is the only user of its stream while it reads, and takes every
// byte through this call, so the stream's lock is not taken byte by byte.
// Printable ASCII, the bulk of any input, takes the short way.
inline int next_char(Source *s) {
    if (!s->slow) {
        const int c = getc_unlocked(s->in);
        if (static_cast<unsigned>(c - 0x20) < 0x60u) {
            s->column++;
            return c;
        }
        return decode_byte(s, c);
    }
    return slow_char(s);
}

void open_source(Source *s, FILE *in, XMLFAULT *fault) {
    *s = Source{};
    s->in = in;
    s->encoding = XMLENCODING_UTF8;
    s->line = 1;
    s->fault = fault;
}

// A whole file, checked: its first bytes tell a UTF-8 byte order mark
// (passed over), UTF-16, and a zip archive apart from text.
void open_checked_source(Source *s, FILE *in, XMLFAULT *fault) {
    open_source(s, in, fault);
    s->checked = true;
    while (s->head_count < 4) {
        const int c = getc_unlocked(in);
        if (c == EOF) {
            end_of_input(s);
            break;
        }
        s->head[s->head_count++] = static_cast<unsigned char>(c);
    }
    const unsigned char *h = s->head;
    const int n = s->head_count;
    if (n >= 3 && h[0] == 0xEF && h[1] == 0xBB && h[2] == 0xBF) {
        s->head_next = 3;
        s->byte_order_mark = true;
    } else if (n >= 2 && ((h[0] == 0xFE && h[1] == 0xFF) || (h[0] == 0xFF && h[1] == 0xFE))) {
        record_fault(s, XMLFAULT_TEXT, 0, 0, "UTF-16 (by its byte order mark) is not read; save the file as UTF-8");
    } else if (n == 4 && h[0] == 'P' && h[1] == 'K' && ((h[2] == 3 && h[3] == 4) || (h[2] == 5 && h[3] == 6))) {
        record_fault(s, XMLFAULT_ZIP, 0, 0,
                     "a zip file (a workbook such as .xlsx or .ods?) is not read; save the sheet as CSV");
    } else if (std::memchr(h, 0, static_cast<size_t>(n)) != nullptr) {
        record_fault(s, XMLFAULT_TEXT, 0, 0, "UTF-16 (by its zero bytes) is not read; save the file as UTF-8");
    }
    update_slow(s);
}

// Sets the line of a record read from the source, and of its attributes.
void set_line(XMLENTITY *entity, long line) {
    const int32_t at = static_cast<int32_t>(line > INT32_MAX ? INT32_MAX : line);
    entity->line = at;
    for (XMLENTITY *a = entity->attribute; a != nullptr; a = a->next) a->line = at;
}

XMLENTITY *new_entity(const Source *s, const char *name, int32_t type, const char *text) {
    XMLENTITY *entity = alloc_XMLENTITY();
    entity->name = xmlcopystring(name);
    entity->type = type;
    entity->text = xmlcopystring(text);
    set_line(entity, s->mark_line);
    return entity;
}

enum ConstructEnd { CONSTRUCT_CLOSED, CONSTRUCT_EOF, CONSTRUCT_OVERRUN };

// Reads characters into the buffer until it ends with the closing sequence.
// The buffer's length is the construct's count of characters (a tag's first
// character is already in it); the character that brings the count to the
// work buffer's size is an overrun even when it would close the construct.
// The closing sequence is looked for only after a newly read character.
ConstructEnd read_construct(Source *s, WorkBuffer *buffer, const char *closing) {
    const size_t closing_length = std::strlen(closing);
    for (;;) {
        const int c = next_char(s);
        if (c == EOF) return CONSTRUCT_EOF;
        buffer_add(buffer, c);
        if (buffer->length >= kWorkBufferSize) return CONSTRUCT_OVERRUN;
        // Only a construct's last character can close it.
        if (c == static_cast<unsigned char>(closing[closing_length - 1]) && buffer->length >= closing_length &&
            std::memcmp(buffer->data + buffer->length - closing_length, closing, closing_length) == 0) {
            return CONSTRUCT_CLOSED;
        }
    }
}

// What a construct is called in a fault, and the most it may hold.
struct ConstructWords {
    const char *what;
    const char *most;
};

// The fault of a construct that did not close, where it began.
void record_unclosed(Source *s, ConstructEnd end, ConstructWords words) {
    if (end == CONSTRUCT_EOF) {
        record_fault(s, XMLFAULT_MARKUP, s->mark_line, s->mark_column, "%s not closed before the end of the file",
                     words.what);
    } else if (end == CONSTRUCT_OVERRUN) {
        record_fault(s, XMLFAULT_MARKUP, s->mark_line, s->mark_column, "%s longer than %s bytes", words.what,
                     words.most);
    }
}

// Sets the flag of a construct that did not close, records its fault and
// prints its trace line (the one given for its end, if any), "{" the given
// words ": *errflag = N}". Tells whether the construct closed.
bool construct_closed(Source *s, ConstructEnd end, int *errflag, ConstructWords words, const char *eof_trace,
                      const char *overrun_trace) {
    const char *line = nullptr;
    if (end == CONSTRUCT_EOF) {
        *errflag = XMLERR_EOF;
        line = eof_trace;
    } else if (end == CONSTRUCT_OVERRUN) {
        *errflag = XMLERR_OVERRUN;
        line = overrun_trace;
    }
    record_unclosed(s, end, words);
    if (line != nullptr) trace("{%s: *errflag = %d}\n", line, *errflag);
    return end == CONSTRUCT_CLOSED;
}

// After "<!--".
XMLENTITY *read_comment(Source *s, WorkBuffer *buffer, int *errflag) {
    trace("{fget_XMLENTITY reading comment: *errflag = %d}\n", *errflag);
    if (!construct_closed(s, read_construct(s, buffer, "-->"), errflag, {"comment", "65,532"},
                          "Exiting fget_XMLENTITY unanticipated EOF",
                          "fget_XMLENTITY in comment, buffer overrun")) {
        return nullptr;
    }
    buffer->data[buffer->length - 3] = '\0';
    XMLENTITY *entity = new_entity(s, "COMMENT", XMLENTITY_COMMENT, buffer->data);
    trace("{fget_XMLENTITY in comment, comment done: *errflag = %d}\n{%s}\n", *errflag, entity->text);
    return entity;
}

// After "<![".
XMLENTITY *read_cdata(Source *s, WorkBuffer *buffer, int *errflag) {
    char opener[8] = "[";
    for (int i = 1; i < 7; i++) {
        const int c = next_char(s);
        if (c == EOF) {
            *errflag = XMLERR_EOF;
            record_unclosed(s, CONSTRUCT_EOF, {"CDATA section", ""});
            trace("{Exiting fget_XMLENTITY unanticipated EOF: *errflag = %d}\n", *errflag);
            return nullptr;
        }
        opener[i] = static_cast<char>(c);
    }
    if (std::memcmp(opener, "[CDATA[", 7) != 0) {
        *errflag = XMLERR_MALFORMED;
        trace("{Exiting fget_XMLENTITY not CDATA (%s): *errflag = %d}\n", opener, *errflag);
        return nullptr;
    }
    trace("{Reading CDATA in fget_XMLENTITY: *errflag = %d}\n", *errflag);
    if (!construct_closed(s, read_construct(s, buffer, "]]>"), errflag, {"CDATA section", "65,532"}, nullptr,
                          "Buffer overrun Reading CDATA in fget_XMLENTITY")) {
        return nullptr;
    }
    buffer->data[buffer->length - 3] = '\0';
    XMLENTITY *entity = new_entity(s, "CDATA", XMLENTITY_CDATA, buffer->data);
    trace("{Done Reading CDATA in fget_XMLENTITY: *errflag = %d}\n", *errflag);
    return entity;
}

// After "<?".
XMLENTITY *read_processing_instruction(Source *s, WorkBuffer *buffer, int *errflag) {
    if (!construct_closed(s, read_construct(s, buffer, "?>"), errflag, {"processing instruction", "65,533"},
                          "EOF Reading PI in fget_XMLENTITY",
                          "Buffer overrun Reading PI in fget_XMLENTITY")) {
        return nullptr;
    }
    buffer->data[buffer->length - 2] = '\0';
    xmltrimstring(buffer->data);
    trace("{Done Reading PI in fget_XMLENTITY: *errflag = %d}\n", *errflag);
    return new_entity(s, "PROCESSING INSTRUCTION", XMLENTITY_PI, buffer->data);
}

// The fault of a declaration read whole: it stands in the tree, but the
// reader does not take declarations, a document type least of all.
void record_declaration(Source *s, int selector, const char *rest) {
    if (selector == 'D' && std::strncmp(rest, "OCTYPE", 6) == 0) {
        record_fault(s, XMLFAULT_MARKUP, s->mark_line, s->mark_column,
                     "DOCTYPE not accepted; remove the document type declaration");
        return;
    }
    // Its keyword: the selector and what follows it up to a blank.
    char keyword[24];
    size_t length = 0;
    keyword[length++] = static_cast<char>(selector);
    for (const char *p = rest; *p != '\0' && !xmlisspace(static_cast<unsigned char>(*p)) && length < 16; p++) {
        keyword[length++] = *p;
    }
    keyword[length] = '\0';
    keyword[xmlutf8cut(keyword, length)] = '\0';
    record_fault(s, XMLFAULT_MARKUP, s->mark_line, s->mark_column, "declaration (<!%s) not accepted",
                 shown(keyword).text);
}

// After "<!" and the character that chose this branch, which is neither
// stored nor counted. Nested '<' ... '>' pairs (an internal subset) are
// read whole.
XMLENTITY *read_declaration(Source *s, WorkBuffer *buffer, int selector, int *errflag) {
    long nesting = 1;
    for (;;) {
        const int c = next_char(s);
        if (c == EOF) {
            *errflag = XMLERR_EOF;
            record_unclosed(s, CONSTRUCT_EOF, {"declaration", ""});
            trace("{EOF Reading other command in fget_XMLENTITY: *errflag = %d}\n", *errflag);
            return nullptr;
        }
        buffer_add(buffer, c);
        if (buffer->length >= kWorkBufferSize) {
            *errflag = XMLERR_OVERRUN;
            record_unclosed(s, CONSTRUCT_OVERRUN, {"declaration", "65,535"});
            trace("{Buffer overrun Reading other cmd in fget_XMLENTITY: *errflag = %d}\n", *errflag);
            return nullptr;
        }
        if (c == '<') nesting++;
        if (c == '>' && --nesting == 0) break;
    }
    buffer->data[buffer->length - 1] = '\0';
    XMLENTITY *entity = new_entity(s, "UNKNOWN", XMLENTITY_UNKNOWN, buffer->data);
    *errflag = XMLERR_MALFORMED;
    record_declaration(s, selector, buffer->data);
    trace("{Done reading other command: *errflag = %d}\n", *errflag);
    return entity;
}

// A start or empty-element tag whose first character has been read. An
// element from a start tag comes back with *opened set: its content is
// still to be read.
XMLENTITY *read_tag(Source *s, WorkBuffer *buffer, int first, int *errflag, bool *opened) {
    if (first == EOF) {
        *errflag = XMLERR_EOF;
        record_unclosed(s, CONSTRUCT_EOF, {"tag", ""});
        return nullptr;
    }
    buffer_add(buffer, first);
    if (!construct_closed(s, read_construct(s, buffer, ">"), errflag, {"tag", "65,534"}, nullptr,
                          "Buffer overrun Reading tag in fget_XMLENTITY")) {
        return nullptr;
    }
    buffer->length--;
    buffer->data[buffer->length] = '\0';
    // Decided by the last character read, even when a NUL byte has ended
    // the tag text as a string before it.
    const bool empty_element = buffer->data[buffer->length - 1] == '/';
    if (empty_element) buffer->data[buffer->length - 1] = '\0';
    XMLENTITY *element = parse_tag_XMLENTITY(buffer->data);
    element->type = XMLENTITY_ELEMENT;
    set_line(element, s->mark_line);
    if (empty_element) {
        if (xml_verbose != 0)
            trace("{Empty Element tag <%s> in fget_XMLENTITY: *errflag = %d}\n", element->name, *errflag);
    } else {
        if (xml_verbose != 0)
            trace("{Start tag <%s> in fget_XMLENTITY: *errflag = %d}\n", element->name, *errflag);
        *opened = true;
    }
    return element;
}

// Reads one piece of markup whose '<' has been consumed: a whole comment,
// CDATA section, processing instruction or declaration, an end-tag signal,
// or the start of an element (see read_tag).
XMLENTITY *read_markup(Source *s, WorkBuffer *buffer, int *errflag, bool *opened) {
    *opened = false;
    buffer_clear(buffer);
    s->mark_line = s->line;
    s->mark_column = s->column;
    if (xml_verbose != 0) trace("{Entering fget_XMLENTITY: *errflag = %d}\n", *errflag);
    const int c = next_char(s);
    if (c == '/') {
        *errflag = XMLERR_ENDTAG;
        trace("{Exiting fget_XMLENTITY with endtag: *errflag = %d}\n", *errflag);
        return nullptr;
    }
    if (c == '?') return read_processing_instruction(s, buffer, errflag);
    if (c != '!') return read_tag(s, buffer, c, errflag, opened);

    const int selector = next_char(s);
    if (selector == '>') {
        *errflag = XMLERR_MALFORMED;
        trace("{Exiting fget_XMLENTITY empty tag: *errflag = %d}\n", *errflag);
        return nullptr;
    }
    if (selector == '-') {
        if (next_char(s) == '-') return read_comment(s, buffer, errflag);
        *errflag = XMLERR_MALFORMED;
        trace("{fget_XMLENTITY in comment, not quite a comment: *errflag = %d}\n", *errflag);
        return nullptr;
    }
    if (selector == '[') return read_cdata(s, buffer, errflag);
    return read_declaration(s, buffer, selector, errflag);
}

// An element whose start tag has been read and whose content is being read.
struct OpenElement {
    XMLENTITY *element;
    XMLENTITY *last_child;
    WorkBuffer content;  // its own characters, children's markup left out
    int flag;
    long line;           // where its start tag begins
    long column;
};

struct OpenStack {
    OpenElement *items;
    size_t size;
    size_t capacity;
};

// An element closed leaves its content buffer in its place on the stack,
// for the next element opened at that depth: most elements are leaves, and
// a buffer of their own each would cost an allocation per element.
void open_push(OpenStack *stack, const Source *s, XMLENTITY *element, int flag) {
    if (stack->size == stack->capacity) {
        const size_t capacity = stack->capacity == 0 ? 16 : stack->capacity * 2;
        auto *items = static_cast<OpenElement *>(std::realloc(stack->items, capacity * sizeof(OpenElement)));
        if (items == nullptr) out_of_work_memory();
        for (size_t i = stack->capacity; i < capacity; i++) items[i].content = WorkBuffer{nullptr, 0, 0};
        stack->items = items;
        stack->capacity = capacity;
    }
    OpenElement *open = &stack->items[stack->size++];
    open->element = element;
    open->last_child = nullptr;
    buffer_clear(&open->content);
    open->flag = flag;
    open->line = s->mark_line;
    open->column = s->mark_column;
}

void open_release(OpenStack *stack) {
    for (size_t i = 0; i < stack->capacity; i++) std::free(stack->items[i].content.data);
    std::free(stack->items);
}

void attach_child(OpenElement *parent, XMLENTITY *child, int child_flag) {
    if (parent->last_child == nullptr) {
        parent->element->child = child;
    } else {
        parent->last_child->next = child;
    }
    parent->last_child = child;
    // The last child that reports a problem sets the flag, unless the end
    // tag sets it later.
    if (child_flag != 0) parent->flag = child_flag;
    if (xml_verbose != 0)
        trace("{child tag <%s> to <%s> in fget_XMLENTITY: *errflag = %d}\n", xmlnulltext(child->name),
              parent->element->name, parent->flag);
}

// The text an element takes from a CDATA section that is all it holds, as
// XML libraries write names with markup characters: trimmed like any text,
// and with '&' and '<' written as the references they stand for, so that
// it reads as the same name written as plain text would.
char *cdata_text(const char *cdata) {
    char *trimmed = xmlcopystring(cdata);
    xmltrimstring(trimmed);
    size_t specials = 0;
    for (const char *p = trimmed; *p != '\0'; p++) specials += (*p == '&' || *p == '<') ? 1 : 0;
    if (specials == 0) return trimmed;
    auto *text = static_cast<char *>(std::malloc(std::strlen(trimmed) + 4 * specials + 1));
    if (text == nullptr) out_of_work_memory();
    char *out = text;
    for (const char *p = trimmed; *p != '\0'; p++) {
        if (*p == '&') {
            std::memcpy(out, "&amp;", 5);
            out += 5;
        } else if (*p == '<') {
            std::memcpy(out, "&lt;", 4);
            out += 4;
        } else {
            *out++ = *p;
        }
    }
    *out = '\0';
    std::free(trimmed);
    return text;
}

// The element's text once its end tag is read: its own characters,
// trimmed, or the text of a CDATA section that is its only content.
char *element_text(OpenElement *open) {
    xmltrimstring(open->content.data);
    const XMLENTITY *child = open->element->child;
    const bool no_text = open->content.data == nullptr || open->content.data[0] == '\0';
    if (no_text && child != nullptr && child->next == nullptr && child->type == XMLENTITY_CDATA &&
        child->text != nullptr) {
        return cdata_text(child->text);
    }
    return buffer_copy(&open->content);
}

// The element's "</" has been read: matches the rest of the end tag against
// its name and completes the element.
void read_end_tag(Source *s, OpenElement *open) {
    XMLENTITY *element = open->element;
    const size_t name_length = std::strlen(element->name);
    for (size_t j = 0; j < name_length; j++) {
        const int c = next_char(s);
        if (c == EOF || c != static_cast<unsigned char>(element->name[j])) {
            open->flag = c == EOF ? XMLERR_EOF : XMLERR_MALFORMED;
            if (c == EOF) {
                record_fault(s, XMLFAULT_MARKUP, s->mark_line, s->mark_column,
                             "end tag of element (%s) not closed before the end of the file",
                             shown(element->name).text);
            } else {
                record_fault(s, XMLFAULT_MARKUP, s->mark_line, s->mark_column,
                             "end tag does not match the open element (%s) of line %ld", shown(element->name).text,
                             open->line);
            }
            element->text = buffer_copy(&open->content);
            // No blank between ")" and "to": fixed wording that callers rely on.
            trace("{wrong endtag (j=%d)to <%s> in fget_XMLENTITY: *errflag = %d}\n", static_cast<int>(j),
                  element->name, open->flag);
            return;
        }
    }
    int c = next_char(s);
    while (c != EOF && xmlisspace(c)) c = next_char(s);
    if (c != '>') {
        open->flag = c == EOF ? XMLERR_EOF : XMLERR_MALFORMED;
        if (c == EOF) {
            record_fault(s, XMLFAULT_MARKUP, s->mark_line, s->mark_column,
                         "end tag of element (%s) not closed before the end of the file", shown(element->name).text);
        } else {
            record_fault(s, XMLFAULT_MARKUP, s->mark_line, s->mark_column,
                         "end tag does not match the open element (%s) of line %ld", shown(element->name).text,
                         open->line);
        }
        trace("{improper end of tag <%s> in fget_XMLENTITY: *errflag = %d}\n", element->name, open->flag);
    }
    element->text = element_text(open);
    if (xml_verbose != 0)
        trace("{End of tag <%s> in fget_XMLENTITY: *errflag = %d}\n{%s}\n", element->name, open->flag,
              element->text);
}

// Reads one step of the innermost open element's content: a character or
// one piece of markup. Tells whether that element is now complete.
bool read_content_step(Source *s, WorkBuffer *buffer, OpenStack *stack) {
    OpenElement *open = &stack->items[stack->size - 1];
    if (open->content.length >= kWorkBufferSize) {
        // Overrun: the element stays as read so far, without text; the rest
        // of its content is left for its parent to read.
        open->flag = XMLERR_OVERRUN;
        record_fault(s, XMLFAULT_MARKUP, open->line, open->column, "text of element (%s) longer than 65,535 bytes",
                     shown(open->element->name).text);
        return true;
    }
    // A run of plain characters is read here at once; one that fills the
    // content leaves the overrun to the next step.
    int c = next_char(s);
    while (c != EOF && c != '<') {
        buffer_add(&open->content, c);
        if (open->content.length >= kWorkBufferSize) return false;
        c = next_char(s);
    }
    if (c == EOF) {
        open->flag = XMLERR_EOF;
        open->element->text = buffer_copy(&open->content);
        record_fault(s, XMLFAULT_MARKUP, open->line, open->column, "element (%s) not closed before the end of the file",
                     shown(open->element->name).text);
        trace("{EOF in tag <%s> in fget_XMLENTITY: *errflag = %d}\n", open->element->name, open->flag);
        return true;
    }
    int child_flag = XMLERR_NONE;
    bool opened = false;
    XMLENTITY *child = read_markup(s, buffer, &child_flag, &opened);
    if (opened) {
        open_push(stack, s, child, child_flag);
    } else if (child != nullptr) {
        attach_child(open, child, child_flag);
    } else if (child_flag == XMLERR_ENDTAG) {
        read_end_tag(s, open);
        return true;
    } else {
        // Markup that came to nothing: its '<' is content.
        buffer_add(&open->content, '<');
    }
    return false;
}

// Reads the content of an element whose start tag has been read, with the
// whole subtree below it, and returns the element with *errflag set.
XMLENTITY *read_element_content(Source *s, WorkBuffer *buffer, XMLENTITY *root, int *errflag) {
    OpenStack stack = {nullptr, 0, 0};
    open_push(&stack, s, root, *errflag);
    for (;;) {
        if (!read_content_step(s, buffer, &stack)) continue;
        OpenElement *open = &stack.items[stack.size - 1];
        XMLENTITY *element = open->element;
        const int flag = open->flag;
        stack.size--;
        if (stack.size == 0) {
            open_release(&stack);
            *errflag = flag;
            return element;
        }
        attach_child(&stack.items[stack.size - 1], element, flag);
    }
}

// Reads one entity whose '<' has been consumed.
XMLENTITY *read_entity(Source *s, int *errflag) {
    WorkBuffer buffer = {nullptr, 0, 0};
    bool opened = false;
    XMLENTITY *entity = read_markup(s, &buffer, errflag, &opened);
    if (opened) entity = read_element_content(s, &buffer, entity, errflag);
    std::free(buffer.data);
    return entity;
}

// The value of the encoding an XML declaration names, copied into name
// (size bytes); false when the text is no XML declaration or names none.
bool declared_encoding(const char *text, char *name, size_t size) {
    if (std::strncmp(text, "xml", 3) != 0 || (text[3] != '\0' && !xmlisspace(static_cast<unsigned char>(text[3]))))
        return false;
    for (const char *p = std::strstr(text, "encoding"); p != nullptr; p = std::strstr(p + 1, "encoding")) {
        if (!xmlisspace(static_cast<unsigned char>(p[-1]))) continue;
        const char *q = p + 8;
        while (xmlisspace(static_cast<unsigned char>(*q))) q++;
        if (*q != '=') continue;
        q++;
        while (xmlisspace(static_cast<unsigned char>(*q))) q++;
        const char quote = *q;
        if (quote != '"' && quote != '\'') return false;
        const char *end = std::strchr(q + 1, quote);
        if (end == nullptr) return false;
        size_t length = static_cast<size_t>(end - (q + 1));
        if (length >= size) length = size - 1;
        std::memcpy(name, q + 1, length);
        name[length] = '\0';
        return true;
    }
    return false;
}

// The file's first entity, a processing instruction: when it is the XML
// declaration, the encoding it names is the one the rest is read in.
void apply_declaration(Source *s, const XMLENTITY *instruction) {
    char name[80];
    if (instruction->text == nullptr || !declared_encoding(instruction->text, name, sizeof name)) return;
    const int32_t encoding = xmlencodingnamed(name);
    if (encoding == XMLENCODING_UNKNOWN) {
        record_fault(s, XMLFAULT_TEXT, s->mark_line, s->mark_column,
                     "encoding (%s) is not read; save the file as UTF-8, ISO-8859-1 or Windows-1252",
                     shown(name).text);
    } else if (s->byte_order_mark && encoding != XMLENCODING_UTF8) {
        record_fault(s, XMLFAULT_TEXT, s->mark_line, s->mark_column,
                     "encoding (%s) declared, but the file begins with a UTF-8 byte order mark", shown(name).text);
    } else {
        s->encoding = encoding;
    }
}

}  // namespace

XMLENTITY *fget_XMLENTITY(FILE *in, int *errflag) {
    if (errflag == nullptr) {
        std::fprintf(stderr, " *** ERROR: NULL errflag pointer in fget_XMLENTITY()\n");
        std::exit(1);
    }
    if (in == nullptr) {
        std::fprintf(stderr, " *** ERROR: NULL File Pointer in fget_XMLENTITY()\n");
        std::exit(1);
    }
    XMLFAULT fault;
    clear_fault(&fault);
    Source source;
    open_source(&source, in, &fault);
    return read_entity(&source, errflag);
}

namespace {

// Whole, as the loop over the top-level entities and the accounts kept
// beside it (the chain, the flag, text after entities, the first thing in
// the file) are one pass over the input.
XMLENTITY *read_whole_file(FILE *in, int *errflag, int *text_after, XMLFAULT *fault, bool checked) {
    if (errflag == nullptr || in == nullptr) {
        std::fprintf(stderr, " *** ERROR: NULL Pointers on entry to readfile_XMLENTITY\n");
        return nullptr;
    }
    XMLFAULT own_fault;
    if (fault == nullptr) fault = &own_fault;
    clear_fault(fault);
    // No closing "]" on this line: fixed wording that callers rely on.
    trace("[Entering readfile_XMLENTITY: *errflag = %d\n", *errflag);
    *errflag = XMLERR_NONE;
    Source source;
    if (checked) {
        open_checked_source(&source, in, fault);
    } else {
        open_source(&source, in, fault);
    }
    XMLENTITY *first = nullptr;
    XMLENTITY *last = nullptr;
    int entities = 0;
    // Where the first character that is not white space stands.
    long text_line = 0;
    long text_column = 0;
    if (text_after != nullptr) *text_after = 0;
    for (;;) {
        // Everything outside top-level markup is skipped.
        int c = next_char(&source);
        while (c != EOF && c != '<') {
            if (!xmlisspace(c)) {
                if (text_after != nullptr) *text_after = entities;
                if (text_line == 0) {
                    text_line = source.line;
                    text_column = source.column;
                }
            }
            c = next_char(&source);
        }
        if (c == EOF) break;
        if (text_line == 0) {
            text_line = source.line;
            text_column = source.column;
        }
        int flag = XMLERR_NONE;
        XMLENTITY *entity = read_entity(&source, &flag);
        // Two blanks before "err": fixed wording that callers rely on.
        trace("[return from fget_XMLENTITY  err = %d]\n", flag);
        if (entity == nullptr) continue;
        if (checked && entities == 0 && entity->type == XMLENTITY_PI) apply_declaration(&source, entity);
        if (last == nullptr) {
            first = entity;
        } else {
            last->next = entity;
        }
        last = entity;
        entities++;
        entity->errflag = flag;
        if (flag != XMLERR_NONE) *errflag = flag;
        trace("[*errflag = %d]\n", *errflag);
    }
    if (stops_reading(fault->kind)) {
        *errflag = XMLERR_INPUT;
    } else if (first == nullptr && fault->kind == XMLFAULT_NONE) {
        if (text_line == 0) {
            fault->kind = XMLFAULT_EMPTY;
            std::snprintf(fault->reason, sizeof fault->reason, "the file is empty");
        } else {
            fault->kind = XMLFAULT_NO_ELEMENT;
            fault->line = text_line;
            fault->column = text_column;
            std::snprintf(fault->reason, sizeof fault->reason, "no element in the file");
        }
    }
    trace("[Exiting readfile_XMLENTITY: *errflag = %d]\n", *errflag);
    return first;
}

}  // namespace

XMLENTITY *readfile_XMLENTITY(FILE *in, int *errflag) { return read_whole_file(in, errflag, nullptr, nullptr, false); }

XMLENTITY *readfile_text_XMLENTITY(FILE *in, int *errflag, int *text_after) {
    return read_whole_file(in, errflag, text_after, nullptr, false);
}

XMLENTITY *readfile_fault_XMLENTITY(FILE *in, int *errflag, int *text_after, XMLFAULT *fault) {
    return read_whole_file(in, errflag, text_after, fault, true);
}

void print_fault_XMLENTITY(FILE *out, const char *filename, const XMLFAULT *fault) {
    if (fault == nullptr || fault->kind == XMLFAULT_NONE) return;
    if (out == nullptr) out = stderr;
    if (fault->line <= 0) {
        std::fprintf(out, " *** ERROR: xml file (%s): %s\n", xmlnulltext(filename), fault->reason);
    } else if (fault->column <= 0) {
        std::fprintf(out, " *** ERROR: xml file (%s) line %ld: %s\n", xmlnulltext(filename), fault->line,
                     fault->reason);
    } else {
        std::fprintf(out, " *** ERROR: xml file (%s) line %ld column %ld: %s\n", xmlnulltext(filename),
                     fault->line, fault->column, fault->reason);
    }
}
