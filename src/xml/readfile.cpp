// The entity reader: turns a byte stream into the entity tree.
//
// Elements may nest to any depth, so the reader keeps its open elements on
// an explicit stack instead of recursing, and each element's content buffer
// grows with what it holds. The length limits stay those of a fixed work
// buffer of 65,536 bytes per construct.
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

// The reader is the only user of its stream while it reads, and takes every
// byte through this call, so the stream's lock is not taken byte by byte.
inline int next_char(FILE *in) { return getc_unlocked(in); }

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

XMLENTITY *new_entity(const char *name, int32_t type, const char *text) {
    XMLENTITY *entity = alloc_XMLENTITY();
    entity->name = xmlcopystring(name);
    entity->type = type;
    entity->text = xmlcopystring(text);
    return entity;
}

enum ConstructEnd { CONSTRUCT_CLOSED, CONSTRUCT_EOF, CONSTRUCT_OVERRUN };

// Reads characters into the buffer until it ends with the closing sequence.
// The buffer's length is the construct's count of characters (a tag's first
// character is already in it); the character that brings the count to the
// work buffer's size is an overrun even when it would close the construct.
// The closing sequence is looked for only after a newly read character.
ConstructEnd read_construct(FILE *in, WorkBuffer *buffer, const char *closing) {
    const size_t closing_length = std::strlen(closing);
    for (;;) {
        const int c = next_char(in);
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

// Sets the flag of a construct that did not close and prints its trace line
// (the one given for its end, if any), "{" the given words ": *errflag = N}".
// Tells whether the construct closed.
bool construct_closed(ConstructEnd end, int *errflag, const char *eof_trace, const char *overrun_trace) {
    const char *line = nullptr;
    if (end == CONSTRUCT_EOF) {
        *errflag = XMLERR_EOF;
        line = eof_trace;
    } else if (end == CONSTRUCT_OVERRUN) {
        *errflag = XMLERR_OVERRUN;
        line = overrun_trace;
    }
    if (line != nullptr) trace("{%s: *errflag = %d}\n", line, *errflag);
    return end == CONSTRUCT_CLOSED;
}

// After "<!--".
XMLENTITY *read_comment(FILE *in, WorkBuffer *buffer, int *errflag) {
    trace("{fget_XMLENTITY reading comment: *errflag = %d}\n", *errflag);
    if (!construct_closed(read_construct(in, buffer, "-->"), errflag,
                          "Exiting fget_XMLENTITY unanticipated EOF",
                          "fget_XMLENTITY in comment, buffer overrun")) {
        return nullptr;
    }
    buffer->data[buffer->length - 3] = '\0';
    XMLENTITY *entity = new_entity("COMMENT", XMLENTITY_COMMENT, buffer->data);
    trace("{fget_XMLENTITY in comment, comment done: *errflag = %d}\n{%s}\n", *errflag, entity->text);
    return entity;
}

// After "<![".
XMLENTITY *read_cdata(FILE *in, WorkBuffer *buffer, int *errflag) {
    char opener[8] = "[";
    for (int i = 1; i < 7; i++) {
        const int c = next_char(in);
        if (c == EOF) {
            *errflag = XMLERR_EOF;
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
    if (!construct_closed(read_construct(in, buffer, "]]>"), errflag, nullptr,
                          "Buffer overrun Reading CDATA in fget_XMLENTITY")) {
        return nullptr;
    }
    buffer->data[buffer->length - 3] = '\0';
    XMLENTITY *entity = new_entity("CDATA", XMLENTITY_CDATA, buffer->data);
    trace("{Done Reading CDATA in fget_XMLENTITY: *errflag = %d}\n", *errflag);
    return entity;
}

// After "<?".
XMLENTITY *read_processing_instruction(FILE *in, WorkBuffer *buffer, int *errflag) {
    if (!construct_closed(read_construct(in, buffer, "?>"), errflag,
                          "EOF Reading PI in fget_XMLENTITY",
                          "Buffer overrun Reading PI in fget_XMLENTITY")) {
        return nullptr;
    }
    buffer->data[buffer->length - 2] = '\0';
    xmltrimstring(buffer->data);
    trace("{Done Reading PI in fget_XMLENTITY: *errflag = %d}\n", *errflag);
    return new_entity("PROCESSING INSTRUCTION", XMLENTITY_PI, buffer->data);
}

// After "<!" and the character that chose this branch, which is neither
// stored nor counted. Nested '<' ... '>' pairs (an internal subset) are
// read whole.
XMLENTITY *read_declaration(FILE *in, WorkBuffer *buffer, int *errflag) {
    long nesting = 1;
    for (;;) {
        const int c = next_char(in);
        if (c == EOF) {
            *errflag = XMLERR_EOF;
            trace("{EOF Reading other command in fget_XMLENTITY: *errflag = %d}\n", *errflag);
            return nullptr;
        }
        buffer_add(buffer, c);
        if (buffer->length >= kWorkBufferSize) {
            *errflag = XMLERR_OVERRUN;
            trace("{Buffer overrun Reading other cmd in fget_XMLENTITY: *errflag = %d}\n", *errflag);
            return nullptr;
        }
        if (c == '<') nesting++;
        if (c == '>' && --nesting == 0) break;
    }
    buffer->data[buffer->length - 1] = '\0';
    XMLENTITY *entity = new_entity("UNKNOWN", XMLENTITY_UNKNOWN, buffer->data);
    *errflag = XMLERR_MALFORMED;
    trace("{Done reading other command: *errflag = %d}\n", *errflag);
    return entity;
}

// A start or empty-element tag whose first character has been read. An
// element from a start tag comes back with *opened set: its content is
// still to be read.
XMLENTITY *read_tag(FILE *in, WorkBuffer *buffer, int first, int *errflag, bool *opened) {
    if (first == EOF) {
        *errflag = XMLERR_EOF;
        return nullptr;
    }
    buffer_add(buffer, first);
    if (!construct_closed(read_construct(in, buffer, ">"), errflag, nullptr,
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
XMLENTITY *read_markup(FILE *in, WorkBuffer *buffer, int *errflag, bool *opened) {
    *opened = false;
    buffer_clear(buffer);
    if (xml_verbose != 0) trace("{Entering fget_XMLENTITY: *errflag = %d}\n", *errflag);
    const int c = next_char(in);
    if (c == '/') {
        *errflag = XMLERR_ENDTAG;
        trace("{Exiting fget_XMLENTITY with endtag: *errflag = %d}\n", *errflag);
        return nullptr;
    }
    if (c == '?') return read_processing_instruction(in, buffer, errflag);
    if (c != '!') return read_tag(in, buffer, c, errflag, opened);

    const int selector = next_char(in);
    if (selector == '>') {
        *errflag = XMLERR_MALFORMED;
        trace("{Exiting fget_XMLENTITY empty tag: *errflag = %d}\n", *errflag);
        return nullptr;
    }
    if (selector == '-') {
        if (next_char(in) == '-') return read_comment(in, buffer, errflag);
        *errflag = XMLERR_MALFORMED;
        trace("{fget_XMLENTITY in comment, not quite a comment: *errflag = %d}\n", *errflag);
        return nullptr;
    }
    if (selector == '[') return read_cdata(in, buffer, errflag);
    return read_declaration(in, buffer, errflag);
}

// An element whose start tag has been read and whose content is being read.
struct OpenElement {
    XMLENTITY *element;
    XMLENTITY *last_child;
    WorkBuffer content;  // its own characters, children's markup left out
    int flag;
};

struct OpenStack {
    OpenElement *items;
    size_t size;
    size_t capacity;
};

// An element closed leaves its content buffer in its place on the stack,
// for the next element opened at that depth: most elements are leaves, and
// a buffer of their own each would cost an allocation per element.
void open_push(OpenStack *stack, XMLENTITY *element, int flag) {
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

// The element's "</" has been read: matches the rest of the end tag against
// its name and completes the element.
void read_end_tag(FILE *in, OpenElement *open) {
    XMLENTITY *element = open->element;
    const size_t name_length = std::strlen(element->name);
    for (size_t j = 0; j < name_length; j++) {
        const int c = next_char(in);
        if (c == EOF || c != static_cast<unsigned char>(element->name[j])) {
            open->flag = c == EOF ? XMLERR_EOF : XMLERR_MALFORMED;
            element->text = buffer_copy(&open->content);
            // No blank between ")" and "to": fixed wording that callers rely on.
            trace("{wrong endtag (j=%d)to <%s> in fget_XMLENTITY: *errflag = %d}\n", static_cast<int>(j),
                  element->name, open->flag);
            return;
        }
    }
    int c = next_char(in);
    while (c != EOF && xmlisspace(c)) c = next_char(in);
    if (c != '>') {
        open->flag = c == EOF ? XMLERR_EOF : XMLERR_MALFORMED;
        trace("{improper end of tag <%s> in fget_XMLENTITY: *errflag = %d}\n", element->name, open->flag);
    }
    xmltrimstring(open->content.data);
    element->text = buffer_copy(&open->content);
    if (xml_verbose != 0)
        trace("{End of tag <%s> in fget_XMLENTITY: *errflag = %d}\n{%s}\n", element->name, open->flag,
              element->text);
}

// Reads one step of the innermost open element's content: a character or
// one piece of markup. Tells whether that element is now complete.
bool read_content_step(FILE *in, WorkBuffer *buffer, OpenStack *stack) {
    OpenElement *open = &stack->items[stack->size - 1];
    if (open->content.length >= kWorkBufferSize) {
        // Overrun: the element stays as read so far, without text; the rest
        // of its content is left for its parent to read.
        open->flag = XMLERR_OVERRUN;
        return true;
    }
    // A run of plain characters is read here at once; one that fills the
    // content leaves the overrun to the next step.
    int c = next_char(in);
    while (c != EOF && c != '<') {
        buffer_add(&open->content, c);
        if (open->content.length >= kWorkBufferSize) return false;
        c = next_char(in);
    }
    if (c == EOF) {
        open->flag = XMLERR_EOF;
        open->element->text = buffer_copy(&open->content);
        trace("{EOF in tag <%s> in fget_XMLENTITY: *errflag = %d}\n", open->element->name, open->flag);
        return true;
    }
    int child_flag = XMLERR_NONE;
    bool opened = false;
    XMLENTITY *child = read_markup(in, buffer, &child_flag, &opened);
    if (opened) {
        open_push(stack, child, child_flag);
    } else if (child != nullptr) {
        attach_child(open, child, child_flag);
    } else if (child_flag == XMLERR_ENDTAG) {
        read_end_tag(in, open);
        return true;
    } else {
        // Markup that came to nothing: its '<' is content.
        buffer_add(&open->content, '<');
    }
    return false;
}

// Reads the content of an element whose start tag has been read, with the
// whole subtree below it, and returns the element with *errflag set.
XMLENTITY *read_element_content(FILE *in, WorkBuffer *buffer, XMLENTITY *root, int *errflag) {
    OpenStack stack = {nullptr, 0, 0};
    open_push(&stack, root, *errflag);
    for (;;) {
        if (!read_content_step(in, buffer, &stack)) continue;
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
    WorkBuffer buffer = {nullptr, 0, 0};
    bool opened = false;
    XMLENTITY *entity = read_markup(in, &buffer, errflag, &opened);
    if (opened) entity = read_element_content(in, &buffer, entity, errflag);
    std::free(buffer.data);
    return entity;
}

XMLENTITY *readfile_XMLENTITY(FILE *in, int *errflag) { return readfile_text_XMLENTITY(in, errflag, nullptr); }

XMLENTITY *readfile_text_XMLENTITY(FILE *in, int *errflag, int *text_after) {
    if (errflag == nullptr || in == nullptr) {
        std::fprintf(stderr, " *** ERROR: NULL Pointers on entry to readfile_XMLENTITY\n");
        return nullptr;
    }
    // No closing "]" on this line: fixed wording that callers rely on.
    trace("[Entering readfile_XMLENTITY: *errflag = %d\n", *errflag);
    *errflag = XMLERR_NONE;
    XMLENTITY *first = nullptr;
    XMLENTITY *last = nullptr;
    int entities = 0;
    if (text_after != nullptr) *text_after = 0;
    for (;;) {
        // Everything outside top-level markup is skipped. A read error
        // counts as the end of the input.
        int c = next_char(in);
        while (c != EOF && c != '<') {
            if (text_after != nullptr && !xmlisspace(c)) *text_after = entities;
            c = next_char(in);
        }
        if (c == EOF) {
            trace("[Exiting readfile_XMLENTITY: *errflag = %d]\n", *errflag);
            return first;
        }
        int flag = XMLERR_NONE;
        XMLENTITY *entity = fget_XMLENTITY(in, &flag);
        // Two blanks before "err": fixed wording that callers rely on.
        trace("[return from fget_XMLENTITY  err = %d]\n", flag);
        if (entity == nullptr) continue;
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
}
