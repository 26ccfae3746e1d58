// The entity tree: allocation and release, the string utilities, the tag
// parser, lookup and lower-casing of names, and the tree dump printer.
//
// Trees may be nested a million levels deep and top-level chains may hold
// millions of records, so nothing here recurses on the call stack.
#include <cstdlib>
#include <cstring>

#include "xml/xmlentity.h"

int xml_verbose = 0;

void xml_verbose_on() { xml_verbose = 1; }

void xml_verbose_off() { xml_verbose = 0; }

int xmlisspace(int c) {
    // Exactly these six, whatever the locale says about bytes above 0x7F.
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char *xmlnulltext(const char *s) { return s != nullptr ? s : "(null)"; }

namespace {

// A zeroed block of `bytes` for a record and whatever it keeps after
// itself; running out of memory ends the run.
XMLENTITY *alloc_record_block(size_t bytes) {
    auto *entity = static_cast<XMLENTITY *>(std::calloc(1, bytes));
    if (entity == nullptr) {
        std::fprintf(stderr, " *** ERROR: Out of memory in alloc_XMLENTITY()\n");
        std::exit(1);
    }
    return entity;
}

// Where the name of an element made by the tag parser lives: in the
// record's own block, right after the record. A large tree holds millions
// of elements, and a block of its own for every name would cost an
// allocation and a block's overhead each.
char *inline_name(XMLENTITY *entity) { return reinterpret_cast<char *>(entity + 1); }

// A new record with every field zero or none, but for its name: a copy of
// the first `length` bytes at name, kept in the record's block.
XMLENTITY *alloc_named_XMLENTITY(const char *name, size_t length) {
    XMLENTITY *entity = alloc_record_block(sizeof(XMLENTITY) + length + 1);
    entity->name = inline_name(entity);
    std::memcpy(entity->name, name, length);
    return entity;
}

}  // namespace

XMLENTITY *alloc_XMLENTITY() { return alloc_record_block(sizeof(XMLENTITY)); }

void free_XMLENTITY(XMLENTITY *entity) {
    // Treats child and attribute as left links and next as the right link of
    // a binary tree and rotates every left link away before releasing a
    // record: constant extra memory, and each record is rotated at most once
    // per link.
    while (entity != nullptr) {
        if (entity->child != nullptr) {
            XMLENTITY *top = entity->child;
            entity->child = top->next;
            top->next = entity;
            entity = top;
        } else if (entity->attribute != nullptr) {
            XMLENTITY *top = entity->attribute;
            entity->attribute = top->next;
            top->next = entity;
            entity = top;
        } else {
            XMLENTITY *following = entity->next;
            if (entity->name != inline_name(entity)) std::free(entity->name);
            std::free(entity->text);
            std::free(entity);
            entity = following;
        }
    }
}

char *xmlcopystring(const char *s) {
    if (s == nullptr) return nullptr;
    const size_t len = std::strlen(s);
    // Every byte is written below, the terminator included.
    auto *copy = static_cast<char *>(std::malloc(len + 1));
    if (copy == nullptr) {
        std::fprintf(stderr, " *** ERROR: Out of Memory in xmlcopystring()\n");
        std::exit(1);
    }
    std::memcpy(copy, s, len + 1);
    return copy;
}

void xmltrimstring(char *s) {
    if (s == nullptr) return;
    const char *start = s;
    while (*start != '\0' && xmlisspace(static_cast<unsigned char>(*start))) start++;
    const size_t len = std::strlen(start);
    if (start != s) std::memmove(s, start, len + 1);
    // The first character is not white space (or the string is empty), so
    // the backward scan stops at it at the latest.
    for (size_t i = len; i > 0 && xmlisspace(static_cast<unsigned char>(s[i - 1])); i--) {
        s[i - 1] = '\0';
    }
}

void xmllowercasestring(char *s) {
    if (s == nullptr) return;
    for (; *s != '\0'; s++) {
        if (*s >= 'A' && *s <= 'Z') *s = static_cast<char>(*s - 'A' + 'a');
    }
}

namespace {

char *skip_space(char *p) {
    while (*p != '\0' && xmlisspace(static_cast<unsigned char>(*p))) p++;
    return p;
}

char *skip_to_space(char *p) {
    while (*p != '\0' && !xmlisspace(static_cast<unsigned char>(*p))) p++;
    return p;
}

// Cuts the piece [start, end) out of the tag text by writing a NUL at end
// and returns a copy of it; tells whether end was already the text's end.
char *cut_piece(char *start, char *end, bool *at_end) {
    *at_end = (*end == '\0');
    *end = '\0';
    return xmlcopystring(start);
}

}  // namespace

XMLENTITY *parse_tag_XMLENTITY(char *tag) {
    if (tag == nullptr) return nullptr;
    char *p = skip_space(tag);
    char *end = skip_to_space(p);
    bool at_end = (*end == '\0');
    *end = '\0';
    XMLENTITY *entity = alloc_named_XMLENTITY(p, static_cast<size_t>(end - p));
    if (at_end) return entity;
    p = end + 1;

    XMLENTITY *last = nullptr;
    for (;;) {
        p = skip_space(p);
        if (*p == '\0') return entity;

        // The name runs to the '=', blanks inside it included; only the
        // blanks at its end are dropped.
        char *name_start = p;
        while (*p != '\0' && *p != '=') p++;
        const bool has_value = (*p == '=');
        char *name_end = p;
        while (name_end > name_start && xmlisspace(static_cast<unsigned char>(name_end[-1]))) name_end--;
        *name_end = '\0';
        XMLENTITY *attribute = alloc_XMLENTITY();
        attribute->name = xmlcopystring(name_start);
        if (last == nullptr) {
            entity->attribute = attribute;
        } else {
            last->next = attribute;
        }
        last = attribute;
        if (!has_value) return entity;

        p = skip_space(p + 1);
        if (*p == '\0') return entity;
        if (*p == '"') {
            char *value = p + 1;
            end = value;
            while (*end != '\0' && *end != '"') end++;
            attribute->text = cut_piece(value, end, &at_end);
        } else {
            end = skip_to_space(p);
            attribute->text = cut_piece(p, end, &at_end);
        }
        if (at_end) return entity;
        p = end + 1;
    }
}

XMLENTITY *find_XMLENTITY(XMLENTITY *entity, const char *name) {
    if (entity == nullptr || name == nullptr) return nullptr;
    for (XMLENTITY *c = entity->child; c != nullptr; c = c->next) {
        if (c->name != nullptr && std::strcmp(c->name, name) == 0) return c;
    }
    return nullptr;
}

namespace {

// A growable stack of records for walking a subtree without recursion.
struct WalkStack {
    XMLENTITY **entity;
    long long *depth;
    size_t size;
    size_t capacity;
};

void walk_push(WalkStack *stack, XMLENTITY *entity, long long depth, const char *owner) {
    if (stack->size == stack->capacity) {
        const size_t capacity = stack->capacity == 0 ? 64 : stack->capacity * 2;
        auto *entities = static_cast<XMLENTITY **>(std::realloc(stack->entity, capacity * sizeof(XMLENTITY *)));
        if (entities != nullptr) stack->entity = entities;
        auto *depths = static_cast<long long *>(std::realloc(stack->depth, capacity * sizeof(long long)));
        if (depths != nullptr) stack->depth = depths;
        if (entities == nullptr || depths == nullptr) {
            std::fprintf(stderr, " *** ERROR: Out of memory in %s()\n", owner);
            std::exit(1);
        }
        stack->capacity = capacity;
    }
    stack->entity[stack->size] = entity;
    stack->depth[stack->size] = depth;
    stack->size++;
}

void walk_release(WalkStack *stack) {
    std::free(stack->entity);
    std::free(stack->depth);
}

}  // namespace

void lowercase_XMLENTITY(XMLENTITY *entity, int recursive) {
    if (entity == nullptr) return;
    xmllowercasestring(entity->name);
    if (recursive == 0 || entity->child == nullptr) return;
    // Each stack entry is a child chain still to be lower-cased.
    WalkStack stack = {nullptr, nullptr, 0, 0};
    walk_push(&stack, entity->child, 0, "lowercase_XMLENTITY");
    while (stack.size > 0) {
        XMLENTITY *chain = stack.entity[--stack.size];
        for (XMLENTITY *c = chain; c != nullptr; c = c->next) {
            xmllowercasestring(c->name);
            if (c->child != nullptr) walk_push(&stack, c->child, 0, "lowercase_XMLENTITY");
        }
    }
    walk_release(&stack);
}

namespace {

void print_indent(FILE *out, long long depth) {
    static const char blanks[] = "                                                                ";
    const long long chunk = static_cast<long long>(sizeof(blanks) - 1);
    for (; depth >= chunk; depth -= chunk) std::fputs(blanks, out);
    std::fputs(blanks + (chunk - depth), out);
}

// Prints everything of one record that comes before its children.
void print_opening(FILE *out, const XMLENTITY *entity, long long depth) {
    switch (entity->type) {
        case XMLENTITY_ELEMENT:
            print_indent(out, depth);
            std::fprintf(out, "<%s", xmlnulltext(entity->name));
            for (const XMLENTITY *a = entity->attribute; a != nullptr; a = a->next) {
                if (a->name == nullptr) continue;
                std::fprintf(out, " %s", a->name);
                if (a->text != nullptr) std::fprintf(out, "=\"%s\"", a->text);
            }
            std::fprintf(out, ">[ENTITY_DATA errflag = %d]\n", entity->errflag);
            if (entity->text != nullptr) {
                print_indent(out, depth);
                std::fprintf(out, "{%s}\n", entity->text);
            }
            break;
        case XMLENTITY_PI:
            print_indent(out, depth);
            std::fprintf(out, "<?%s?>\n", xmlnulltext(entity->text));
            break;
        case XMLENTITY_CDATA:
            print_indent(out, depth);
            std::fprintf(out, "<![CDATA[%s]]>\n", xmlnulltext(entity->text));
            break;
        case XMLENTITY_COMMENT:
            print_indent(out, depth);
            std::fprintf(out, "<!-- %s -->\n", xmlnulltext(entity->text));
            break;
        default:
            break;
    }
}

void print_closing(FILE *out, const XMLENTITY *entity, long long depth) {
    print_indent(out, depth);
    std::fprintf(out, "</%s>\n", xmlnulltext(entity->name));
}

}  // namespace

void print_XMLENTITY(FILE *out, XMLENTITY *entity, int depth) {
    if (out == nullptr) out = stdout;
    if (entity == nullptr) return;
    const long long base = depth < 0 ? 0 : depth;
    print_opening(out, entity, base);
    if (entity->type != XMLENTITY_ELEMENT) return;
    // Each stack entry is an open element and its next child to print; the
    // element's closing line follows its last child.
    WalkStack stack = {nullptr, nullptr, 0, 0};
    walk_push(&stack, entity, base, "print_XMLENTITY");
    XMLENTITY *pending = entity->child;
    while (stack.size > 0) {
        const size_t top = stack.size - 1;
        if (pending == nullptr) {
            print_closing(out, stack.entity[top], stack.depth[top]);
            stack.size--;
            // The parent goes on with the sibling after the element closed.
            if (stack.size > 0) pending = stack.entity[top]->next;
            continue;
        }
        const long long child_depth = stack.depth[top] + 1;
        print_opening(out, pending, child_depth);
        if (pending->type == XMLENTITY_ELEMENT) {
            walk_push(&stack, pending, child_depth, "print_XMLENTITY");
            pending = pending->child;
        } else {
            pending = pending->next;
        }
    }
    walk_release(&stack);
}
