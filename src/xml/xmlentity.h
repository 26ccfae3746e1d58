// The XML reader: a small, generic, non-validating reader that turns a byte
// stream into a tree of XMLENTITY records, with the tree's utilities.
#ifndef KAVELON_XMLENTITY_H
#define KAVELON_XMLENTITY_H

#include <cstddef>
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
    XMLERR_ENDTAG = 4,    // "</" met: signal between an element and its nested reads
    XMLERR_INPUT = 5      // not text the reader takes: a read error, a zip or UTF-16
                          // file, a refused encoding, or a byte invalid in the file's
                          // encoding or in XML; reading stopped there
};

struct XMLENTITY {
    char *name;            // tag name, attribute name, or a fixed label
    char *text;            // content or value; nullptr when there is none
    int32_t type;          // XMLENTITY_*
    XMLENTITY *child;      // elements: first child
    XMLENTITY *attribute;  // elements: first attribute record
    XMLENTITY *next;       // next sibling, attribute record or top-level entity
    int32_t errflag;       // flag a top-level entity was read with; 0 elsewhere
    int32_t line;          // line of the '<' that starts it, from 1; 0 when not read
};

// What a read that failed met first, for the one line that tells the user
// where and why.
enum : int32_t {
    XMLFAULT_NONE = 0,
    XMLFAULT_MARKUP = 1,      // a construct not closed, an end tag that does not match, ...
    XMLFAULT_TEXT = 2,        // UTF-16, a refused encoding, a byte not valid in the file
    XMLFAULT_ZIP = 3,         // a zip archive, such as a workbook
    XMLFAULT_READ = 4,        // the system could not read the file (a directory, say)
    XMLFAULT_EMPTY = 5,       // nothing but white space
    XMLFAULT_NO_ELEMENT = 6   // text, or markup that came to nothing, but no entity
};

struct XMLFAULT {
    int32_t kind;      // XMLFAULT_*
    long line;         // from 1; 0 when the fault concerns the whole file
    long column;       // in characters, from 1; 0 when not known
    char reason[192];  // plain words, one line
};

// Encodings the reader takes; US-ASCII is read as the UTF-8 it is part of.
enum : int32_t {
    XMLENCODING_UNKNOWN = -1,
    XMLENCODING_UTF8 = 0,
    XMLENCODING_LATIN1 = 1,  // ISO-8859-1
    XMLENCODING_CP1252 = 2   // Windows-1252
};

// State of a UTF-8 check between the bytes of one character.
struct XMLUTF8 {
    int32_t need;        // continuation bytes still due
    int32_t low, high;   // range the next continuation byte must lie in
    long code;           // the character as far as it is read
};

enum : int32_t { XMLUTF8_BAD = -1, XMLUTF8_MORE = 0, XMLUTF8_CHAR = 1 };

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
// follow through next) or nullptr, and sets *errflag. Every byte is a
// character, whatever the encoding.
XMLENTITY *readfile_XMLENTITY(FILE *in, int *errflag);
// The same; *text_after receives the number of top-level entities read
// before the last character outside markup that is not white space (0 when
// there is none after the first entity).
XMLENTITY *readfile_text_XMLENTITY(FILE *in, int *errflag, int *text_after);
// The same as text: the encoding that an XML declaration names is honoured
// (UTF-8, US-ASCII, ISO-8859-1, Windows-1252; the last two converted to
// UTF-8), and reading stops with flag XMLERR_INPUT at anything else: a read
// error, UTF-16, a zip file, another encoding, bytes invalid in the file's
// encoding, characters XML does not allow. *fault (when given) receives
// what a read that fails met first: the cause of a non-zero flag or of a
// chain without entities. Faults that leave the read good may be recorded
// as well.
XMLENTITY *readfile_fault_XMLENTITY(FILE *in, int *errflag, int *text_after, XMLFAULT *fault);
// Reads one entity whose opening '<' has already been consumed.
XMLENTITY *fget_XMLENTITY(FILE *in, int *errflag);
// Writes the fault as one line to out, naming the file, and the line and
// column where they are known.
void print_fault_XMLENTITY(FILE *out, const char *filename, const XMLFAULT *fault);

// Encodings. The encoding an XML declaration names (any case), or
// XMLENCODING_UNKNOWN.
int32_t xmlencodingnamed(const char *name);
// Feeds one byte to a UTF-8 check: XMLUTF8_CHAR when it completes a valid
// character (its value in state->code), XMLUTF8_MORE when the character
// goes on, XMLUTF8_BAD when the byte cannot stand there (the state is then
// cleared). A zero state starts a character.
int xmlutf8step(XMLUTF8 *state, int byte);
// Whether the bytes are valid UTF-8 throughout.
int xmlutf8valid(const char *s, size_t length);
// Writes a character as UTF-8 to out (room for 4) and gives its length.
int xmlutf8encode(long code, char *out);
// Writes one byte of a single-byte encoding as UTF-8 to out (room for 4)
// and gives its length; every byte value is a character in both.
int xmlbytetoutf8(int32_t encoding, int byte, char *out);
// The length of the longest start of s of at most width bytes that does
// not end inside a UTF-8 character.
size_t xmlutf8cut(const char *s, size_t width);
// Writes s into out (when given; room for five times its length and a NUL)
// as the text of an element in a well-formed UTF-8 document, and gives the
// length of that text. References already written stay: a '&' that begins
// a predefined entity or a character reference is kept, any other becomes
// "&amp;"; '<' becomes "&lt;", the '>' of "]]>" "&gt;"; a byte that is not
// UTF-8 is read as Windows-1252, and a control character XML does not
// allow becomes U+FFFD. A text that needs none of this keeps its length.
size_t xmlescapetext(const char *s, char *out);

#endif
