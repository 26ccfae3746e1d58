// Text encodings: the names an XML declaration may give, the UTF-8 check,
// and the single-byte encodings converted to UTF-8.
#include <strings.h>

#include <cstring>

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
