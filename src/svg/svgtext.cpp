// Texts between the report and the picture: references expanded on the way
// in, escaping and UTF-8 clean-up on the way out, texts measured with the
// font's own advance widths and labels cut to a width.
#include <algorithm>
#include <cstring>

#include "svg/svg.h"

namespace {

// Characters that an XML 1.0 document may hold at all.
bool is_xml_char(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void append_utf8(std::string &out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The character that a reference body (the text between '&' and ';')
// stands for, or 0 when the body is not a reference we expand.
uint32_t reference_value(const char *body, size_t len) {
    static const struct {
        const char *name;
        uint32_t value;
    } predefined[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto &p : predefined) {
        if (len == std::strlen(p.name) && std::strncmp(body, p.name, len) == 0) return p.value;
    }
    if (len < 2 || body[0] != '#') return 0;
    const bool hex = body[1] == 'x';
    size_t i = hex ? 2 : 1;
    if (i == len) return 0;
    uint32_t value = 0;
    for (; i < len; i++) {
        const char ch = body[i];
        uint32_t digit;
        if (ch >= '0' && ch <= '9') {
            digit = static_cast<uint32_t>(ch - '0');
        } else if (hex && ch >= 'a' && ch <= 'f') {
            digit = static_cast<uint32_t>(ch - 'a' + 10);
        } else if (hex && ch >= 'A' && ch <= 'F') {
            digit = static_cast<uint32_t>(ch - 'A' + 10);
        } else {
            return 0;
        }
        value = value * (hex ? 16 : 10) + digit;
        if (value > 0x10FFFF) return 0;  // also keeps the sum from overflowing
    }
    return is_xml_char(value) ? value : 0;
}

// Decodes one UTF-8 sequence at s[i]; returns its length and sets *c, or
// returns 0 for a byte that does not start a valid sequence.
size_t decode_utf8(const std::string &s, size_t i, uint32_t *c) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    size_t len;
    uint32_t value;
    uint32_t least;
    if (b0 < 0x80) {
        *c = b0;
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, value = b0 & 0x1F, least = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, value = b0 & 0x0F, least = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, value = b0 & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; k++) {
        const unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80) return 0;
        value = (value << 6) | (b & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *c = value;
    return len;
}

// One run of code points that share an advance width, in font units.
struct WIDTHRUN {
    uint32_t first;
    uint32_t last;
    int32_t width;
};

#include "svg/svgfontwidths.inc"

// A character the font lacks is drawn from some other font the viewer has;
// its width is not known, so it is taken wide enough for the ideographs and
// most emoji of the usual fallback fonts.
constexpr int32_t FALLBACK_WIDTH = FONT_UNITS * 13 / 10;

int32_t char_units(uint32_t c, bool bold) {
    const WIDTHRUN *runs = bold ? BOLD_WIDTHS : REGULAR_WIDTHS;
    const size_t count = bold ? sizeof BOLD_WIDTHS / sizeof BOLD_WIDTHS[0]
                              : sizeof REGULAR_WIDTHS / sizeof REGULAR_WIDTHS[0];
    const WIDTHRUN *end = runs + count;
    const WIDTHRUN *run = std::lower_bound(runs, end, c, [](const WIDTHRUN &r, uint32_t v) { return r.last < v; });
    if (run != end && run->first <= c) return run->width;
    return FALLBACK_WIDTH;
}

// The next character as the picture shows it, starting at text[i]: a byte
// that is not valid UTF-8, or a character XML does not allow, shows as the
// replacement character (see kavelon_svg_escape_text), and the renderer
// shows a tab or a line break as a space. Returns the bytes taken.
size_t shown_char(const std::string &text, size_t i, uint32_t *c) {
    const size_t len = decode_utf8(text, i, c);
    if (len == 0 || !is_xml_char(*c)) {
        *c = 0xFFFD;
        return len == 0 ? 1 : len;
    }
    if (*c == '\t' || *c == '\n' || *c == '\r') *c = ' ';
    return len;
}

}  // namespace

std::string kavelon_svg_decode_text(const char *text) {
    std::string out;
    if (text == nullptr) return out;
    const size_t len = std::strlen(text);
    for (size_t i = 0; i < len; i++) {
        if (text[i] == '&') {
            // The longest body we expand is "#x10FFFF"; look no further.
            const char *semi = static_cast<const char *>(std::memchr(text + i + 1, ';', std::min<size_t>(len - i - 1, 9)));
            if (semi != nullptr) {
                const uint32_t c = reference_value(text + i + 1, static_cast<size_t>(semi - (text + i + 1)));
                if (c != 0) {
                    append_utf8(out, c);
                    i = static_cast<size_t>(semi - text);
                    continue;
                }
            }
        }
        out += text[i];
    }
    return out;
}

std::string kavelon_svg_escape_text(const std::string &text) {
    std::string out;
    out.reserve(text.size() + 8);
    size_t i = 0;
    while (i < text.size()) {
        uint32_t c = 0;
        const size_t len = decode_utf8(text, i, &c);
        if (len == 0 || !is_xml_char(c)) {
            out += "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER
            i += (len == 0) ? 1 : len;
            continue;
        }
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out.append(text, i, len); break;
        }
        i += len;
    }
    return out;
}

double kavelon_svg_text_width(const std::string &text, double font, int32_t bold) {
    int64_t units = 0;
    size_t i = 0;
    while (i < text.size()) {
        uint32_t c = 0;
        i += shown_char(text, i, &c);
        units += char_units(c, bold != 0);
    }
    return static_cast<double>(units) * font / FONT_UNITS;
}

size_t kavelon_svg_fit_prefix(const std::string &text, double font, int32_t bold, double max_width) {
    const int64_t room = static_cast<int64_t>(max_width / font * FONT_UNITS);
    int64_t units = 0;
    size_t cut = 0;
    while (cut < text.size()) {
        uint32_t c = 0;
        const size_t len = shown_char(text, cut, &c);
        units += char_units(c, bold != 0);
        if (units > room) break;
        cut += len;
    }
    return cut;
}

std::string kavelon_svg_fit_text(const std::string &text, double font, int32_t bold, double max_width) {
    if (kavelon_svg_text_width(text, font, bold) <= max_width) return text;
    // Whole characters only, as many as leave room for the ellipsis.
    const double ellipsis_width = static_cast<double>(char_units(0x2026, bold != 0)) * font / FONT_UNITS;
    if (max_width < ellipsis_width) return "";
    return text.substr(0, kavelon_svg_fit_prefix(text, font, bold, max_width - ellipsis_width)) +
           "\xE2\x80\xA6";  // U+2026 HORIZONTAL ELLIPSIS
}
