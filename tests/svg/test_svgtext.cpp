// Texts of kavelon-svg: references expanded, escaping and UTF-8 clean-up,
// labels cut at a character boundary.
#include <gtest/gtest.h>

#include "svg.h"

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

TEST(SvgShorten, CutsAtCharactersWithAnEllipsis) {
    const std::string forty(40, 'a');
    EXPECT_EQ(kavelon_svg_shorten_text(forty, 40), forty);
    EXPECT_EQ(kavelon_svg_shorten_text(forty + "b", 40), std::string(39, 'a') + "\xE2\x80\xA6");
    std::string accents;
    for (int i = 0; i < 41; i++) accents += "\xC3\xA9";
    const std::string cut = kavelon_svg_shorten_text(accents, 40);
    EXPECT_EQ(kavelon_svg_count_chars(cut), 40);
    EXPECT_EQ(cut, accents.substr(0, 78) + "\xE2\x80\xA6");
    EXPECT_EQ(kavelon_svg_shorten_text("", 40), "");
}

}  // namespace
