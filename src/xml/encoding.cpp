// Text encodings: the names an XML declaration may give, the UTF-8 check,
// and the single-byte encodings converted to UTF-8.
#include <strings.h>

#include <cstring>
#include <initializer_list>

#include "xml/xmlentity.h"

namespace {

// Windows-1252 where it differs from ISO-8859-1, bytes 0x80 to 0x9F. The
// five bytes it leaves undefined keep their ISO-8859-1 meaning, as web
// browsers read them, so that every byte is a character.
const unsigned short kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

struct EncodingName {
    const char *name;
    int32_t encoding;
};

// The names in use for the encodings taken; case does not matter.
const EncodingName kEncodingNames[] = {
    {"UTF-8", XMLENCODING_UTF8},         {"UTF8", XMLENCODING_UTF8},
    {"US-ASCII", XMLENCODING_UTF8},      {"ASCII", XMLENCODING_UTF8},
    {"ISO-8859-1", XMLENCODING_LATIN1},  {"ISO_8859-1", XMLENCODING_LATIN1},
    {"ISO8859-1", XMLENCODING_LATIN1},   {"LATIN1", XMLENCODING_LATIN1},
    {"LATIN-1", XMLENCODING_LATIN1},     {"WINDOWS-1252", XMLENCODING_CP1252},
    {"CP1252", XMLENCODING_CP1252},      {"CP-1252", XMLENCODING_CP1252},
};

}  // namespace

int32_t xmlencodingnamed(const char *name) {
    if (name == nullptr) return XMLENCODING_UNKNOWN;
    for (const EncodingName &e : kEncodingNames) {
        if (strcasecmp(name, e.name) == 0) return e.encoding;
    }
    return XMLENCODING_UNKNOWN;
}

int xmlutf8step(XMLUTF8 *state, int byte) {
    if (state->need > 0) {
        if (byte < state->low || byte > state->high) {
            *state = XMLUTF8{0, 0, 0, 0};
            return XMLUTF8_BAD;
        }
        state->code = (state->code << 6) | (byte & 0x3F);
        state->low = 0x80;
        state->high = 0xBF;
        return --state->need == 0 ? XMLUTF8_CHAR : XMLUTF8_MORE;
    }
    // The first continuation byte's range rules out overlong forms,
    // surrogates and characters beyond U+10FFFF.
    state->low = 0x80;
    state->high = 0xBF;
    if (byte >= 0 && byte < 0x80) {
        state->code = byte;
        return XMLUTF8_CHAR;
    }
    if (byte >= 0xC2 && byte <= 0xDF) {
        state->need = 1;
        state->code = byte & 0x1F;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
        state->need = 2;
        state->code = byte & 0x0F;
        if (byte == 0xE0) state->low = 0xA0;
        if (byte == 0xED) state->high = 0x9F;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
        state->need = 3;
        state->code = byte & 0x07;
        if (byte == 0xF0) state->low = 0x90;
        if (byte == 0xF4) state->high = 0x8F;
    } else {
        *state = XMLUTF8{0, 0, 0, 0};
        return XMLUTF8_BAD;
    }
    return XMLUTF8_MORE;
}

int xmlutf8valid(const char *s, size_t length) {
    XMLUTF8 state = {0, 0, 0, 0};
    for (size_t i = 0; i < length; i++) {
        if (xmlutf8step(&state, static_cast<unsigned char>(s[i])) == XMLUTF8_BAD) return 0;
    }
    return state.need == 0 ? 1 : 0;
}

int xmlutf8encode(long code, char *out) {
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<char>(0xC0 | (code >> 6));
        out[1] = static_cast<char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (code >> 12));
        out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (code >> 18));
    out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (code & 0x3F));
    return 4;
}

int xmlbytetoutf8(int32_t encoding, int byte, char *out) {
    long code = byte & 0xFF;
    if (encoding == XMLENCODING_CP1252 && code >= 0x80 && code < 0xA0) code = kCp1252High[code - 0x80];
    return xmlutf8encode(code, out);
}

size_t xmlutf8cut(const char *s, size_t width) {
    if (s == nullptr) return 0;
    size_t length = 0;
    while (length <= width && s[length] != '\0') length++;
    if (length <= width) return length;
    // s[width] is the first byte left out: step back over the start of the
    // character it belongs to, at most three bytes back in valid UTF-8.
    size_t cut = width;
    while (cut > 0 && width - cut < 3 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) cut--;
    return cut;
}

namespace {

// Whether s starts a reference that a well-formed document may hold without
// a document type: one of the five predefined entities, or a character
// reference to a character XML allows.
bool is_reference(const char *s) {
    if (s[0] != '&') return false;
    for (const char *entity : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
        if (std::strncmp(s, entity, std::strlen(entity)) == 0) return true;
    }
    if (s[1] != '#') return false;
    const bool hex = s[2] == 'x';
    const char *p = s + (hex ? 3 : 2);
    long code = 0;
    int digits = 0;
    for (;; p++, digits++) {
        int value = -1;
        if (*p >= '0' && *p <= '9') value = *p - '0';
        if (hex && *p >= 'a' && *p <= 'f') value = *p - 'a' + 10;
        if (hex && *p >= 'A' && *p <= 'F') value = *p - 'A' + 10;
        if (value < 0) break;
        code = code * (hex ? 16 : 10) + value;
        if (code > 0x10FFFF) return false;
    }
    if (digits == 0 || *p != ';') return false;
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || code >= 0x10000;
}

void put(char *out, size_t *length, const char *bytes, size_t count) {
    if (out != nullptr) std::memcpy(out + *length, bytes, count);
    *length += count;
}

}  // namespace

size_t xmlescapetext(const char *s, char *out) {
    size_t length = 0;
    if (s == nullptr) return 0;
    const auto *u = reinterpret_cast<const unsigned char *>(s);
    for (size_t i = 0; u[i] != '\0';) {
        const unsigned char c = u[i];
        if (c == '&' && !is_reference(s + i)) {
            put(out, &length, "&amp;", 5);
        } else if (c == '<') {
            put(out, &length, "&lt;", 4);
        } else if (c == '>' && i >= 2 && u[i - 1] == ']' && u[i - 2] == ']') {
            put(out, &length, "&gt;", 4);
        } else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            put(out, &length, "\xEF\xBF\xBD", 3);  // the replacement character
        } else if (c < 0x80) {
            put(out, &length, s + i, 1);
        } else {
            // A whole valid character is copied; a byte that starts none is
            // taken as Windows-1252, so that the text stays UTF-8.
            XMLUTF8 state = {0, 0, 0, 0};
            size_t n = 0;
            int step = XMLUTF8_MORE;
            while (step == XMLUTF8_MORE && u[i + n] != '\0') step = xmlutf8step(&state, u[i + n++]);
            if (step == XMLUTF8_CHAR && state.code != 0xFFFE && state.code != 0xFFFF) {
                put(out, &length, s + i, n);
                i += n;
                continue;
            }
            char converted[4];
            put(out, &length, converted, static_cast<size_t>(xmlbytetoutf8(XMLENCODING_CP1252, c, converted)));
        }
        i++;
    }
    if (out != nullptr) out[length] = '\0';
    return length;
}
