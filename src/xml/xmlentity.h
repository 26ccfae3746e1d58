// The XML reader: a small, generic, non-validating reader that turns a byte
// stream into a tree of XMLENTITY records, with the tree's utilities.
#ifndef KAVELON_XMLENTITY_H
#define KAVELON_XMLENTITY_H

#include <cstdint>
#include <cstdio>

// Kinds of entity held in XMLENTITY::type.
enum : int32_t {
    XMLENTITY_UNKNOWN = 0,  // other markup declaration, or an attribute record
    XMLENTITY_COMMENT = 1,
    XMLENTITY_CDATA = 2,
    XMLENTITY_PI = 3,       // processing instruction
    XMLENTITY_ELEMENT = 4
};

// Values of the reader's error flag.
enum : int32_t {
    XMLERR_NONE = 0,
    XMLERR_EOF = 1,       // unexpected end of input
    XMLERR_MALFORMED = 2, // malformed markup
    XMLERR_OVERRUN = 3,   // construct longer than the limits allow
    XMLERR_ENDTAG = 4     // "</" met: signal between an element and its nested reads
};

struct XMLENTITY {
    char *name;            // tag name, attribute name, or a fixed label
    char *text;            // content or value; nullptr when there is none
    int32_t type;          // XMLENTITY_*
    XMLENTITY *child;      // elements: first child
    XMLENTITY *attribute;  // elements: first attribute record
    XMLENTITY *next;       // next sibling, attribute record or top-level entity
    int32_t errflag;       // flag a top-level entity was read with; 0 elsewhere
};

// Switches the reader's trace on standard output; off at program start.
extern int xml_verbose;
void xml_verbose_on();
void xml_verbose_off();

// Exactly the six white-space characters: blank, tab, line feed, vertical
// tab, form feed, carriage return; no byte above 0x7F.
int xmlisspace(int c);
// The text itself, or "(null)" in its place when there is none.
const char *xmlnulltext(const char *s);

XMLENTITY *alloc_XMLENTITY();
void free_XMLENTITY(XMLENTITY *entity);
char *xmlcopystring(const char *s);
void xmltrimstring(char *s);
void xmllowercasestring(char *s);
XMLENTITY *parse_tag_XMLENTITY(char *tag);
XMLENTITY *find_XMLENTITY(XMLENTITY *entity, const char *name);
void lowercase_XMLENTITY(XMLENTITY *entity, int recursive);
void print_XMLENTITY(FILE *out, XMLENTITY *entity, int depth);

// Reads a whole stream; returns the first top-level entity (the others
// follow through next) or nullptr, and sets *errflag.
XMLENTITY *readfile_XMLENTITY(FILE *in, int *errflag);
// The same; *text_after receives the number of top-level entities read
// before the last character outside markup that is not white space (0 when
// there is none after the first entity).
XMLENTITY *readfile_text_XMLENTITY(FILE *in, int *errflag, int *text_after);
// Reads one entity whose opening '<' has already been consumed.
XMLENTITY *fget_XMLENTITY(FILE *in, int *errflag);

#endif
