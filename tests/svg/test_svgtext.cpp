// Texts of kavelon-svg: references expanded, escaping and UTF-8 clean-up,
// texts measured and labels cut at a width on a character boundary.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "svg/svg.h"

namespace {

const std::string FFFD = "\xEF\xBF\xBD";

TEST(SvgDecode, PredefinedEntitiesAndCharacterReferences) {
    EXPECT_EQ(kavelon_svg_decode_text("R&amp;D &lt;b&gt; &quot;x&quot; &apos;y&apos;"), "R&D <b> \"x\" 'y'");
    EXPECT_EQ(kavelon_svg_decode_text("&#65;&#x42;&#X43;&#x63;"), "AB&#X43;c");
    EXPECT_EQ(kavelon_svg_decode_text("caf&#xE9;"), "caf\xC3\xA9");
    EXPECT_EQ(kavelon_svg_decode_text("&#x20AC;"), "\xE2\x82\xAC");
    EXPECT_EQ(kavelon_svg_decode_text("&#x1F600;&#1114111;"), "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF");
    // &amp;lt; is an ampersand followed by "lt;", not a second reference.
    EXPECT_EQ(kavelon_svg_decode_text("&amp;lt;"), "&lt;");
    EXPECT_EQ(kavelon_svg_decode_text(nullptr), "");
}

TEST(SvgDecode, WhatIsNoReferenceStaysAsWritten) {
    EXPECT_EQ(kavelon_svg_decode_text("a & b"), "a & b");
    EXPECT_EQ(kavelon_svg_decode_text("&amp"), "&amp");
    EXPECT_EQ(kavelon_svg_decode_text("&foo; &; &#; &#x; &#12a;"), "&foo; &; &#; &#x; &#12a;");
    // Characters that no XML document may hold, and numbers beyond Unicode.
    EXPECT_EQ(kavelon_svg_decode_text("&#0;&#1;&#xD800;&#xFFFE;&#1114112;"), "&#0;&#1;&#xD800;&#xFFFE;&#1114112;");
    EXPECT_EQ(kavelon_svg_decode_text("&#99999999999999999999;"), "&#99999999999999999999;");
    EXPECT_EQ(kavelon_svg_decode_text("end &"), "end &");
}

TEST(SvgEscape, MarkupCharactersAreEscaped) {
    EXPECT_EQ(kavelon_svg_escape_text("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e'f");
    EXPECT_EQ(kavelon_svg_escape_text("]]>"), "]]&gt;");
    EXPECT_EQ(kavelon_svg_escape_text("tab\there\nline"), "tab\there\nline");
    EXPECT_EQ(kavelon_svg_escape_text("caf\xC3\xA9 \xF0\x9F\x98\x80"), "caf\xC3\xA9 \xF0\x9F\x98\x80");
}

TEST(SvgEscape, InvalidBytesAndForbiddenCharactersBecomeReplacementCharacters) {
    EXPECT_EQ(kavelon_svg_escape_text("Stra\xDF" "e"), "Stra" + FFFD + "e");   // Latin-1, not UTF-8
    EXPECT_EQ(kavelon_svg_escape_text("x\xC3"), "x" + FFFD);                    // cut sequence
    EXPECT_EQ(kavelon_svg_escape_text("\xC0\xAF"), FFFD + FFFD);                // overlong
    EXPECT_EQ(kavelon_svg_escape_text("\xED\xA0\x80"), FFFD + FFFD + FFFD);     // surrogate
    EXPECT_EQ(kavelon_svg_escape_text("\xF4\x90\x80\x80"), FFFD + FFFD + FFFD + FFFD);  // beyond U+10FFFF
    EXPECT_EQ(kavelon_svg_escape_text("a\x01" "b\x1F" "c"), "a" + FFFD + "b" + FFFD + "c");
    EXPECT_EQ(kavelon_svg_escape_text("\xEF\xBF\xBE"), FFFD);                   // U+FFFE
}

// Widths are checked at a font size of 2048, where a character's width is
// its advance in the font's units.
TEST(SvgTextWidth, AdvancesOfTheFontAsThePictureShowsTheText) {
    EXPECT_DOUBLE_EQ(kavelon_svg_text_width("Wai", 2048, 0), 2025 + 1255 + 569);
    EXPECT_DOUBLE_EQ(kavelon_svg_text_width("Wai", 2048, 1), 2259 + 1382 + 702);
    EXPECT_DOUBLE_EQ(kavelon_svg_text_width("W", 12, 0), 2025 * 12 / 2048.0);
    // What the picture shows instead: a space for a tab or a line break,
    // the replacement character for a byte that is not UTF-8 or a
    // character XML does not allow.
    EXPECT_DOUBLE_EQ(kavelon_svg_text_width("\t\n\r", 2048, 0), 3 * 651);
    EXPECT_DOUBLE_EQ(kavelon_svg_text_width("\xC3", 2048, 0), 2100);
    EXPECT_DOUBLE_EQ(kavelon_svg_text_width("\x01\xEF\xBF\xBE", 2048, 0), 2 * 2100);
    // A character the font lacks (an ideograph) gets the wide fallback.
    EXPECT_DOUBLE_EQ(kavelon_svg_text_width("\xE4\xB8\x80", 2048, 0), 2048 * 13 / 10);
    EXPECT_DOUBLE_EQ(kavelon_svg_text_width("", 12, 1), 0);
}

TEST(SvgFitText, CutsAtAWidthWithAnEllipsisAndNeverInsideACharacter) {
    const std::string ellipsis = "\xE2\x80\xA6";
    const std::string w40(40, 'W');
    const double w = 2025 * 12 / 2048.0;
    EXPECT_EQ(kavelon_svg_fit_text(w40, 12, 0, 40 * w), w40);
    // One W less and the ellipsis (as wide as a font size) in its place: 38
    // W's fit with it, 39 would not.
    EXPECT_EQ(kavelon_svg_fit_text(w40, 12, 0, 40 * w - 0.01), std::string(38, 'W') + ellipsis);
    // The same room holds more narrow letters than capitals.
    EXPECT_EQ(kavelon_svg_fit_text(std::string(200, 'i'), 12, 0, 20 * w),
              std::string(static_cast<size_t>((20 * 2025 - 2048) / 569), 'i') + ellipsis);
    // Two-byte characters are kept or dropped whole.
    std::string accents;
    for (int i = 0; i < 41; i++) accents += "\xC3\xA9";
    const std::string cut = kavelon_svg_fit_text(accents, 2048, 0, 10 * 1260 + 2048);
    EXPECT_EQ(cut, accents.substr(0, 20) + ellipsis);
    // A stray byte counts as the replacement character it shows as.
    EXPECT_EQ(kavelon_svg_fit_text("\xFF\xFF\xFF\xFF", 2048, 0, 2100 + 2048), "\xFF" + ellipsis);
    EXPECT_EQ(kavelon_svg_fit_text("abc", 12, 0, 1), "");  // not even the ellipsis fits
    EXPECT_EQ(kavelon_svg_fit_text("", 12, 0, 0), "");
}

// Against every cut tried in turn: a text that fits stays whole, otherwise
// the longest run of whole characters that fits with the ellipsis after it.
TEST(SvgFitText, TakesTheLongestCutThatFits) {
    const std::string ellipsis = "\xE2\x80\xA6";
    const std::vector<std::string> texts = {std::string(40, 'W'), "Wing geometry \xC3\xA9tude \xE4\xB8\x80 iiiiW",
                                            "\xFF" "a\xC3\xA9\xE2\x80\xA6 mixed", "x"};
    for (const std::string &text : texts) {
        // Where each character starts.
        std::vector<size_t> starts;
        for (size_t at = 0; at < text.size(); at++)
            if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) starts.push_back(at);
        for (const int bold : {0, 1}) {
            for (double room = 0.3; room < 600; room += 7.3) {
                std::string expected;
                if (kavelon_svg_text_width(text, 12, bold) <= room) {
                    expected = text;
                } else {
                    for (const size_t cut : starts) {
                        const std::string tried = text.substr(0, cut) + ellipsis;
                        if (kavelon_svg_text_width(tried, 12, bold) <= room) expected = tried;
                    }
                }
                EXPECT_EQ(kavelon_svg_fit_text(text, 12, bold, room), expected)
                    << text << " bold " << bold << " room " << room;
            }
        }
    }
}

}  // namespace
