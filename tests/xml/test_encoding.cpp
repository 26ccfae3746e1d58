// The encoding helpers: the UTF-8 check held against a brute-force
// definition, the single-byte encodings, cutting at a character's end, and
// the names a declaration may give.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xml/xmlentity.h"

namespace {

// UTF-8 by its definition: a character is the shortest encoding of a code
// point that is no surrogate and not beyond U+10FFFF.
std::string reference_encode(long code) {
    std::string out;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 + code / 64);
        out += static_cast<char>(0x80 + code % 64);
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 + code / 4096);
        out += static_cast<char>(0x80 + code / 64 % 64);
        out += static_cast<char>(0x80 + code % 64);
    } else {
        out += static_cast<char>(0xF0 + code / 262144);
        out += static_cast<char>(0x80 + code / 4096 % 64);
        out += static_cast<char>(0x80 + code / 64 % 64);
        out += static_cast<char>(0x80 + code % 64);
    }
    return out;
}

// Whether the bytes are one character: the code point their bits give must
// encode to exactly these bytes.
bool reference_character(const std::string &bytes) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const size_t n = bytes.size();
    const unsigned lead_bits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    if (n < 1 || n > 4) return false;
    long code = byte(0) & lead_bits[n];
    for (size_t i = 1; i < n; i++) code = code * 64 + (byte(i) & 0x3F);
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    return reference_encode(code) == bytes;
}

// Whether the bytes split into characters.
bool reference_valid(const std::string &bytes) {
    std::vector<bool> reachable(bytes.size() + 1, false);
    reachable[0] = true;
    for (size_t i = 0; i < bytes.size(); i++) {
        if (!reachable[i]) continue;
        for (size_t length = 1; length <= 4 && i + length <= bytes.size(); length++) {
            if (reference_character(bytes.substr(i, length))) reachable[i + length] = true;
        }
    }
    return reachable[bytes.size()];
}

bool valid(const std::string &bytes) { return xmlutf8valid(bytes.data(), bytes.size()) == 1; }

}  // namespace

TEST(Utf8, CheckAgreesWithTheDefinition) {
    size_t disagreements = 0;
    std::string first_disagreement;
    const auto check = [&](const std::string &bytes) {
        if (valid(bytes) != reference_valid(bytes) && disagreements++ == 0) first_disagreement = bytes;
    };
    // Every string of one and two bytes; longer ones with every lead and
    // second byte, and the bytes at the edges of every range after them.
    const int edges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xF4, 0xFF};
    for (int a = 0; a < 256; a++) {
        check(std::string(1, static_cast<char>(a)));
        for (int b = 0; b < 256; b++) {
            check({static_cast<char>(a), static_cast<char>(b)});
            if (a < 0xE0) continue;
            for (int c : edges) check({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
        }
    }
    for (int a = 0xF0; a <= 0xF8; a++)
        for (int b : edges)
            for (int c : edges)
                for (int d : edges)
                    check({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c), static_cast<char>(d)});
    EXPECT_EQ(disagreements, 0u) << "first on bytes of length " << first_disagreement.size();
    EXPECT_TRUE(valid(""));
}

TEST(Utf8, EncodeGivesTheShortestFormOfEveryCharacter) {
    size_t wrong = 0;
    for (long code = 0; code <= 0x10FFFF; code++) {
        if (code >= 0xD800 && code <= 0xDFFF) continue;
        char out[4];
        const int length = xmlutf8encode(code, out);
        const std::string bytes(out, static_cast<size_t>(length));
        // The stepwise check delivers the same code point back.
        XMLUTF8 state = {0, 0, 0, 0};
        int step = XMLUTF8_MORE;
        for (char c : bytes) step = xmlutf8step(&state, static_cast<unsigned char>(c));
        if (bytes != reference_encode(code) || step != XMLUTF8_CHAR || state.code != code) wrong++;
    }
    EXPECT_EQ(wrong, 0u);
}

TEST(Utf8, SingleByteEncodings) {
    const auto converted = [](int32_t encoding, int byte) {
        char out[4];
        return std::string(out, static_cast<size_t>(xmlbytetoutf8(encoding, byte, out)));
    };
    for (int byte = 0; byte < 256; byte++) {
        const std::string latin1 = converted(XMLENCODING_LATIN1, byte);
        const std::string cp1252 = converted(XMLENCODING_CP1252, byte);
        EXPECT_EQ(latin1, reference_encode(byte)) << byte;
        EXPECT_TRUE(valid(cp1252)) << byte;
        if (byte < 0x80 || byte >= 0xA0) {
            EXPECT_EQ(cp1252, latin1) << byte;
        }
    }
    EXPECT_EQ(converted(XMLENCODING_CP1252, 0x80), "\xE2\x82\xAC");  // euro sign
    EXPECT_EQ(converted(XMLENCODING_CP1252, 0x92), "\xE2\x80\x99");  // right single quote
    EXPECT_EQ(converted(XMLENCODING_CP1252, 0x9F), "\xC5\xB8");      // Y with diaeresis
    EXPECT_EQ(converted(XMLENCODING_CP1252, 0x8D), "\xC2\x8D");      // undefined: as in ISO-8859-1
    EXPECT_EQ(converted(XMLENCODING_LATIN1, 0xE9), "\xC3\xA9");
}

TEST(Utf8, CutEndsAtACharactersEnd) {
    const struct {
        const char *text;
        size_t width, cut;
    } cases[] = {
        {"abc", 2, 2},
        {"abc", 3, 3},
        {"abc", 10, 3},
        {"", 0, 0},
        {"a\xC3\xA9", 2, 1},             // a, e acute
        {"a\xC3\xA9", 3, 3},
        {"\xE2\x82\xAC" "x", 2, 0},       // euro sign
        {"\xE2\x82\xAC" "x", 3, 3},
        {"\xF0\x9F\x98\x80" "x", 3, 0},   // a character of four bytes
        {"\xF0\x9F\x98\x80" "x", 4, 4},
        {"ab\xF0\x9F\x98\x80", 5, 2},
    };
    for (const auto &c : cases) EXPECT_EQ(xmlutf8cut(c.text, c.width), c.cut) << c.text << " " << c.width;
    EXPECT_EQ(xmlutf8cut(nullptr, 5), 0u);
}

TEST(Utf8, EncodingNames) {
    EXPECT_EQ(xmlencodingnamed("UTF-8"), XMLENCODING_UTF8);
    EXPECT_EQ(xmlencodingnamed("utf-8"), XMLENCODING_UTF8);
    EXPECT_EQ(xmlencodingnamed("US-ASCII"), XMLENCODING_UTF8);
    EXPECT_EQ(xmlencodingnamed("iso-8859-1"), XMLENCODING_LATIN1);
    EXPECT_EQ(xmlencodingnamed("Latin1"), XMLENCODING_LATIN1);
    EXPECT_EQ(xmlencodingnamed("Windows-1252"), XMLENCODING_CP1252);
    EXPECT_EQ(xmlencodingnamed("cp1252"), XMLENCODING_CP1252);
    for (const char *other : {"UTF-16", "ISO-8859-15", "Shift_JIS", "", "UTF-8 ", "windows-1251"})
        EXPECT_EQ(xmlencodingnamed(other), XMLENCODING_UNKNOWN) << other;
    EXPECT_EQ(xmlencodingnamed(nullptr), XMLENCODING_UNKNOWN);
}

namespace {

std::string escaped(const std::string &text) {
    const size_t length = xmlescapetext(text.c_str(), nullptr);
    std::string out(5 * text.size() + 1, '\0');
    EXPECT_EQ(xmlescapetext(text.c_str(), &out[0]), length) << text;
    EXPECT_EQ(out[length], '\0');
    out.resize(length);
    return out;
}

// Whether the text may stand as an element's content in a well-formed
// document without a document type: UTF-8 of characters XML allows, no
// '<', no "]]>", and every '&' the start of a reference whose name is
// predefined or whose character XML allows.
bool wellformed_content(const std::string &text) {
    if (!valid(text) || text.find('<') != std::string::npos || text.find("]]>") != std::string::npos) return false;
    for (size_t i = 0; i < text.size(); i++) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
        if (text.compare(i, 3, "\xEF\xBF\xBE") == 0 || text.compare(i, 3, "\xEF\xBF\xBF") == 0) return false;
        if (c != '&') continue;
        const size_t end = text.find(';', i);
        if (end == std::string::npos) return false;
        const std::string name = text.substr(i + 1, end - i - 1);
        if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos") continue;
        if (name.empty() || name[0] != '#') return false;
        const bool hex = name.size() > 1 && name[1] == 'x';
        const std::string digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 8 ||
            digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
            return false;
        const long code = std::stol(digits, nullptr, hex ? 16 : 10);
        const bool allowed = code == 9 || code == 10 || code == 13 || (code >= 0x20 && code <= 0xD7FF) ||
                             (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
        if (!allowed) return false;
    }
    return true;
}

}  // namespace

TEST(XmlText, EscapesWhatWouldSpoilTheDocument) {
    const struct {
        std::string text, out;
    } cases[] = {
        {"plain text", "plain text"},
        {"R&D", "R&amp;D"},
        {"&amp;&lt;&gt;&quot;&apos;&#65;&#x41;&#X41;", "&amp;&lt;&gt;&quot;&apos;&#65;&#x41;&amp;#X41;"},
        {"&#0;&#1;&#xD800;&#xFFFE;&#;&#x;&foo;&amp", "&amp;#0;&amp;#1;&amp;#xD800;&amp;#xFFFE;&amp;#;&amp;#x;&amp;foo;&amp;amp"},
        {"&#1114111;&#1114112;&#99999999999;", "&#1114111;&amp;#1114112;&amp;#99999999999;"},
        {"a<b>c", "a&lt;b>c"},
        {"a]]>b]>c]]]>", "a]]&gt;b]>c]]]&gt;"},
        {"\t\n\r\x01\x1F\x7F", "\t\n\r\xEF\xBF\xBD\xEF\xBF\xBD\x7F"},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        // Bytes that are no UTF-8 read as Windows-1252.
        {"Stra\xDF" "e \x80", "Stra\xC3\x9F" "e \xE2\x82\xAC"},
        {"\xC3", "\xC3\x83"},
        {"\xC3(", "\xC3\x83("},
        {"\xEF\xBF\xBE", "\xC3\xAF\xC2\xBF\xC2\xBE"},
        {"", ""},
    };
    for (const auto &c : cases) EXPECT_EQ(escaped(c.text), c.out) << c.text;
    EXPECT_EQ(xmlescapetext(nullptr, nullptr), 0u);
}

TEST(XmlText, AnyBytesBecomeWellFormedContent) {
    // Random texts over the bytes that matter, and the texts that need
    // nothing are left as they are.
    const char alphabet[] = "a&#x;0D9<>]\x01\t\xC3\xA9\x80\xEF\xBF\xBE\xF0\x9F";
    unsigned seed = 12345;
    size_t spoiled = 0;
    size_t changed_needlessly = 0;
    for (int round = 0; round < 20000; round++) {
        std::string text;
        const int length = round % 12;
        for (int i = 0; i < length; i++) {
            seed = seed * 1103515245u + 12345u;
            text += alphabet[(seed >> 16) % (sizeof alphabet - 1)];
        }
        const std::string out = escaped(text);
        if (!wellformed_content(out)) spoiled++;
        if (wellformed_content(text) && out != text) changed_needlessly++;
    }
    EXPECT_EQ(spoiled, 0u);
    EXPECT_EQ(changed_needlessly, 0u);
}
