// The entity reader: constructs, flags, limits, what stays in the stream,
// the top-level chain and the trace.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "xml/xml_test_util.h"
#include "xml/xmlentity.h"

namespace {

using xmltest::fget;
using xmltest::chain;
using xmltest::read_file;
using xmltest::shape;

// The shape of a whole file's entities, and its flag after "|".
std::string read_shape(const std::string &bytes) {
    xmltest::Read read = read_file(bytes);
    std::string out = chain(read.first) + " |" + std::to_string(read.flag);
    free_XMLENTITY(read.first);
    return out;
}

// One fget_XMLENTITY read: shape (or "none"), flag, and the rest.
std::string fget_shape(const std::string &bytes) {
    xmltest::Fget read = fget(bytes);
    std::string out = (read.entity != nullptr ? shape(read.entity) : "none") + " |" + std::to_string(read.flag) +
                      " rest:" + read.rest;
    free_XMLENTITY(read.entity);
    return out;
}

// Standard output written while the reader runs with its trace on.
template <typename Reading>
std::string traced(Reading reading) {
    return test_util::stdout_of([&] {
        xml_verbose_on();
        reading();
        xml_verbose_off();
    });
}

std::string times(size_t count, char c) { return std::string(count, c); }

}  // namespace

TEST(XmlRead, NoMarkupGivesNoEntityAndFlagZero) {
    xmltest::Read read = read_file("text", 7);
    EXPECT_EQ(read.first, nullptr);
    EXPECT_EQ(read.flag, 0);  // the incoming value is cleared
}

// Small reads, whole files or one entity after a '<', each with the shape
// of what was read, its flag and what stays in the stream.
TEST(XmlRead, EdgeCases) {
    using namespace std::string_literals;
    const struct {
        bool one_entity;
        std::string bytes, shape;
    } cases[] = {
        {false, "\xEF\xBB\xBFjunk<a>x</a> between <b/>tail\n", "a{x} + b |0"},
        {false, "</x>junk<a/>", "a |0"},  // a stray end tag is dropped
        {false, "<a/>", "a |0"},
        {false, "<a></a>", "a{} |0"},
        {false, "<a>x<b>y</b>z</a>", "a{xz}(b{y}) |0"},
        {false, "<a>  x  </a  >", "a{x} |0"},
        {false, "<a>\t x y\r\n</a\t\n\v\f\r >", "a{x y} |0"},
        {false, "<a k=\"v w\" flag>&amp;</a>", "a[k=v w][flag]{&amp;} |0"},
        // The first character after '<' never ends the tag, even a '>'.
        {false, "<>/>", "> |0"},
        {false, "<>x>y</>x>", ">x{y} |0"},
        // A different name: flag 2, untrimmed text; the differing character is
        // consumed and the rest of the end tag stays.
        {true, "a>text </b>rest", "a{text } |2 rest:>rest"},
        {true, "ab>t</ax>rest", "ab{t} |2 rest:>rest"},
        // A longer name: improper end, the element is complete and trimmed.
        {true, "a> t </ab>rest", "a{t} |2 rest:>rest"},
        {true, "a>t</a b>rest", "a{t} |2 rest:>rest"},
        {true, "a>t</A>", "a{t} |2 rest:>"},  // names are case-sensitive
        // The input ending while the end tag is matched.
        {true, "ab> t </a", "ab{ t } |1 rest:"},
        {true, "a> t </a  ", "a{t} |1 rest:"},
        {true, "a>t</a>rest", "a{t} |0 rest:rest"},
        // A stray end tag read on its own: only the '/' is consumed.
        {true, "/a>", "none |4 rest:a>"},
        {true, "a> x", "a{ x} |1 rest:"},
        {false, "<a>x", "a{x}!1 |1"},
        {false, "<a><b>y", "a{}!1(b{y}) |1"},
        {false, "<a><!>b</a>", "a{<b} |0"},
        {false, "<a>1<!-x2</a>", "a{1<2} |0"},
        {false, "<a>1<![CDATX[2</a>", "a{1<2} |0"},
        {false, "<a>1<a" + times(65534, ' ') + ">2</a>", "a{1<2} |0"},
        {false, "<!-- a -->", "COMMENT{ a } |0"},
        {false, "<!--a--b-->", "COMMENT{a--b} |0"},
        {false, "<!--x--->", "COMMENT{x-} |0"},
        {false, "<!---->", "COMMENT{} |0"},
        // The opener's dashes never help to close the comment.
        {false, "<!--->x-->", "COMMENT{->x} |0"},
        {false, "<!-->x-->", "COMMENT{>x} |0"},
        {false, "<a>x<!--<b>-->y</a>", "a{xy}(COMMENT{<b>}) |0"},
        // "<!-" without a second dash, also at the end of the input.
        {true, "!-x-->", "none |2 rest:-->"},
        {true, "!-", "none |2 rest:"},
        {false, "<![CDATA[a]]]>", "CDATA{a]} |0"},
        {false, "<![CDATA[ <x> ]]>", "CDATA{ <x> } |0"},
        {false, "<a>x<![CDATA[y]]>z</a>", "a{xz}(CDATA{y}) |0"},
        // All seven characters after "<!" are consumed before they are judged.
        {true, "![CDATX[y]]>", "none |2 rest:y]]>"},
        {true, "![cdata[y]]>", "none |2 rest:y]]>"},
        {true, "![CDA", "none |1 rest:"},
        {true, "![CDATA[x]]", "none |1 rest:"},
        {false, "<a\xff b=\"\xff\">\xff<!--\xff-->\xff</a\xff>\xff<c/>", "a\xff[b=\xff]{\xff\xff}(COMMENT{\xff}) + c |0"},
        {false, "<a\0junk x=\"1\">x\0y</a><b/>"s, "a{x} + b |0"},
        {false, "<!--a\0b--><?c\0d?><![CDATA[e\0f]]>"s, "COMMENT{a} + PROCESSING INSTRUCTION{c} + CDATA{e} |0"},
        // The empty-element test looks at the last character read.
        {false, "<a\0x/><b/>"s, "a + b |0"},
        {false, "<\0>x</>"s, "{x} |0"},
        {false, "<a></b><c/>", "a{}!2 + c |2"},
        {false, "<c/><a></b>", "c + a{}!2 |2"},
        {false, "<a></b><c>x", "a{}!2 + c{x}!1 |1"},
        {false, "<a>x</b><c/><d/>", "a{x}!2 + c + d |2"},
        // c's wrong end tag leaves its '>' to b's content.
        {false, "<a><b><c>t</x></b></a>", "a{}!2(b{>}(c{t})) |2"},
        {false, "<a><b><c>t</cc></b></a>", "a{}!2(b{>}(c{t})) |2"},
        {false, "<a><b>" + times(65536, 'x') + "<!y></a>", "a{}!2(b UNKNOWN{}) |2"},
        {false, "<a><!y><b>" + times(65536, 'x') + "</a>", "a{}!3(UNKNOWN{} b) |3"},
        {false, "<a><!y></a ", "a{}!1(UNKNOWN{}) |1"},
    };
    for (const auto &c : cases) EXPECT_EQ(c.one_entity ? fget_shape(c.bytes) : read_shape(c.bytes), c.shape) << c.bytes;
}

TEST(XmlRead, ProcessingInstructions) {
    xmltest::Read read = read_file("<?xml version=\"1.0\"?>\n<r/>");
    EXPECT_EQ(chain(read.first), "PROCESSING INSTRUCTION{xml version=\"1.0\"} + r");
    EXPECT_EQ(read.first->type, XMLENTITY_PI);
    EXPECT_EQ(read.flag, 0);
    free_XMLENTITY(read.first);
    EXPECT_EQ(read_shape("<? a?b>c ?>"), "PROCESSING INSTRUCTION{a?b>c} |0");
    EXPECT_EQ(read_shape("<?" "?>"), "PROCESSING INSTRUCTION{} |0");
    EXPECT_EQ(fget_shape("?>x?>rest"), "PROCESSING INSTRUCTION{>x} |0 rest:rest");
}

TEST(XmlRead, OtherDeclarationsStandInTheTreeWithFlagTwo) {
    xmltest::Read read = read_file("<!DOCTYPE d [<!ELEMENT d (#PCDATA)>]>\n<d/>");
    // The character after "<!" chose the branch and is not stored.
    EXPECT_EQ(chain(read.first), "UNKNOWN{OCTYPE d [<!ELEMENT d (#PCDATA)>]}!2 + d");
    EXPECT_EQ(read.first->type, XMLENTITY_UNKNOWN);
    EXPECT_EQ(read.flag, 2);
    free_XMLENTITY(read.first);
    EXPECT_EQ(read_shape("<a><!y>z</a>"), "a{z}!2(UNKNOWN{}) |2");
    // A '<' that chose the branch does not count towards the nesting.
    EXPECT_EQ(fget_shape("!<x>>rest"), "UNKNOWN{x} |2 rest:>rest");
    EXPECT_EQ(fget_shape("!D<x>"), "none |1 rest:");
    EXPECT_EQ(fget_shape("!"), "none |1 rest:");
}

TEST(XmlRead, EndOfInputInsideATopLevelConstructLosesItWithoutFlag) {
    for (const char *text : {"<", "<a x", "<a/", "<!-- x", "<![CDATA[x", "<![CD", "<?x", "<!DOCTYPE x", "<!-",
                             "<!", "<!>"}) {
        EXPECT_EQ(read_shape(text), " |0") << text;
    }
    EXPECT_EQ(read_shape("<b/><a x"), "b |0");
}

TEST(XmlLimits, TagText) {
    EXPECT_EQ(read_shape("<a" + times(65533, ' ') + "></a>"), "a{} |0");
    EXPECT_EQ(read_shape("<a" + times(65531, ' ') + "b/>"), "a[b] |0");
    // The '>' that would complete a tag of 65,535 characters is consumed.
    EXPECT_EQ(fget_shape("a" + times(65534, ' ') + ">rest"), "none |3 rest:rest");
    EXPECT_EQ(fget_shape("a" + times(70000, ' ') + ">"), "none |3 rest:" + times(70000 - 65535, ' ') + ">");
    // Inside an element the lost tag leaves only its '<' in the content.
    EXPECT_EQ(read_shape("<r><a" + times(65534, ' ') + ">y</r>"), "r{<y} |0");
}

TEST(XmlLimits, ElementContent) {
    xmltest::Read read = read_file("<a>" + times(65535, 'x') + "</a>");
    ASSERT_NE(read.first, nullptr);
    EXPECT_EQ(std::strlen(read.first->text), 65535u);
    EXPECT_EQ(read.flag, 0);
    free_XMLENTITY(read.first);
    // Children's markup does not count.
    read = read_file("<a>" + times(40000, 'x') + "<b/><!--c-->" + times(25535, 'y') + "</a>");
    EXPECT_EQ(std::strlen(read.first->text), 65535u);
    EXPECT_EQ(read.flag, 0);
    free_XMLENTITY(read.first);

    // One more character: the element as read so far, without text; the
    // rest of its content stays for the caller.
    EXPECT_EQ(fget_shape("a>" + times(65536, 'x') + "</a>"), "a |3 rest:</a>");
    EXPECT_EQ(fget_shape("a>" + times(65535, 'x') + "<!></a>"), "a |3 rest:</a>");
    EXPECT_EQ(read_shape("<a x=\"1\"><b/>" + times(65536, 'x') + "<c/>"), "a[x=1]!3(b) + c |3");
    // A nested overrun: the parent reads on and meets the child's end tag.
    EXPECT_EQ(read_shape("<r><a>" + times(65536, 'x') + "</a></r>"), "r{}!2(a) |2");
}

TEST(XmlLimits, CommentsCdataInstructionsDeclarations) {
    EXPECT_EQ(read_shape("<!--" + times(65532, 'c') + "-->"), "COMMENT{" + times(65532, 'c') + "} |0");
    EXPECT_EQ(fget_shape("!--" + times(65533, 'c') + "-->rest"), "none |3 rest:rest");
    EXPECT_EQ(read_shape("<![CDATA[" + times(65532, 'c') + "]]>"), "CDATA{" + times(65532, 'c') + "} |0");
    EXPECT_EQ(fget_shape("![CDATA[" + times(65533, 'c') + "]]>rest"), "none |3 rest:rest");
    EXPECT_EQ(read_shape("<?" + times(65533, 'p') + "?>"), "PROCESSING INSTRUCTION{" + times(65533, 'p') + "} |0");
    EXPECT_EQ(fget_shape("?" + times(65534, 'p') + "?>rest"), "none |3 rest:rest");
    EXPECT_EQ(read_shape("<!D" + times(65534, 'x') + ">"), "UNKNOWN{" + times(65534, 'x') + "}!2 |2");
    EXPECT_EQ(fget_shape("!D" + times(65535, 'x') + ">rest"), "none |3 rest:rest");
    EXPECT_EQ(fget_shape("!D" + times(65537, 'x') + ">"), "none |3 rest:x>");
}

TEST(XmlDeep, AMillionNestedElements) {
    // A sanitizer build is far slower; the depth there still overflows any
    // recursive reader.
#if defined(__SANITIZE_ADDRESS__)
    const size_t depth = 200000;
#else
    const size_t depth = 1000000;
#endif
    std::string text;
    for (size_t i = 0; i < depth; i++) text += "<A>";
    text += "x";
    for (size_t i = 0; i < depth; i++) text += "</A>";
    xmltest::Read read = read_file(text);
    EXPECT_EQ(read.flag, 0);
    ASSERT_NE(read.first, nullptr);
    EXPECT_EQ(read.first->next, nullptr);
    EXPECT_EQ(read.first->errflag, 0);

    lowercase_XMLENTITY(read.first, 1);
    size_t levels = 0;
    const XMLENTITY *inner = read.first;
    bool sound = true;
    for (const XMLENTITY *e = read.first; e != nullptr; e = e->child) {
        levels++;
        inner = e;
        sound = sound && std::strcmp(e->name, "a") == 0 && e->next == nullptr &&
                (e->child == nullptr || (std::strcmp(e->text, "") == 0 && e->child->errflag == 0));
    }
    EXPECT_TRUE(sound);
    EXPECT_EQ(levels, depth);
    EXPECT_STREQ(inner->text, "x");
    free_XMLENTITY(read.first);

    // Without end tags every level ends at the end of the input.
    read = read_file(text.substr(0, 3 * depth));
    EXPECT_EQ(read.flag, 1);
    levels = 0;
    sound = true;
    for (const XMLENTITY *e = read.first; e != nullptr; e = e->child) {
        levels++;
        sound = sound && std::strcmp(e->text, "") == 0;
    }
    EXPECT_TRUE(sound);
    EXPECT_EQ(levels, depth);
    EXPECT_EQ(read.first->errflag, 1);
    free_XMLENTITY(read.first);
}

TEST(XmlRead, MissingArguments) {
    FILE *in = xmltest::stream_of("<a/>");
    int flag = 9;
    testing::internal::CaptureStderr();
    EXPECT_EQ(readfile_XMLENTITY(nullptr, &flag), nullptr);
    EXPECT_EQ(readfile_XMLENTITY(in, nullptr), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              " *** ERROR: NULL Pointers on entry to readfile_XMLENTITY\n"
              " *** ERROR: NULL Pointers on entry to readfile_XMLENTITY\n");
    EXPECT_EQ(flag, 9);
    EXPECT_EXIT(fget_XMLENTITY(nullptr, &flag), testing::ExitedWithCode(1),
                "^ \\*\\*\\* ERROR: NULL File Pointer in fget_XMLENTITY\\(\\)\n$");
    std::fclose(in);
}

TEST(XmlTrace, NestedElements) {
    EXPECT_EQ(traced([] { free_XMLENTITY(read_file("<a>x<b>y</c></a>", 5).first); }),
              "[Entering readfile_XMLENTITY: *errflag = 5\n"
              "{Entering fget_XMLENTITY: *errflag = 0}\n"
              "{Start tag <a> in fget_XMLENTITY: *errflag = 0}\n"
              "{Entering fget_XMLENTITY: *errflag = 0}\n"
              "{Start tag <b> in fget_XMLENTITY: *errflag = 0}\n"
              "{Entering fget_XMLENTITY: *errflag = 0}\n"
              "{Exiting fget_XMLENTITY with endtag: *errflag = 4}\n"
              "{wrong endtag (j=0)to <b> in fget_XMLENTITY: *errflag = 2}\n"
              "{child tag <b> to <a> in fget_XMLENTITY: *errflag = 2}\n"
              "{Entering fget_XMLENTITY: *errflag = 0}\n"
              "{Exiting fget_XMLENTITY with endtag: *errflag = 4}\n"
              "{End of tag <a> in fget_XMLENTITY: *errflag = 2}\n"
              "{x>}\n"
              "[return from fget_XMLENTITY  err = 2]\n"
              "[*errflag = 2]\n"
              "[Exiting readfile_XMLENTITY: *errflag = 2]\n");
}

// The trace line of every construct that ends early or overruns the buffer.
TEST(XmlTrace, UnclosedConstructs) {
    const std::string big(70000, 'x');
    const struct {
        std::string after_lt;
        const char *line;
    } cases[] = {
        {"!--x", "{Exiting fget_XMLENTITY unanticipated EOF: *errflag = 1}\n"},
        {"!--" + big, "{fget_XMLENTITY in comment, buffer overrun: *errflag = 3}\n"},
        {"![CDATA[" + big, "{Buffer overrun Reading CDATA in fget_XMLENTITY: *errflag = 3}\n"},
        {"?x", "{EOF Reading PI in fget_XMLENTITY: *errflag = 1}\n"},
        {"?" + big, "{Buffer overrun Reading PI in fget_XMLENTITY: *errflag = 3}\n"},
        {"a" + big, "{Buffer overrun Reading tag in fget_XMLENTITY: *errflag = 3}\n"},
    };
    for (const auto &c : cases) {
        const std::string trace = traced([&] { free_XMLENTITY(xmltest::fget(c.after_lt).entity); });
        EXPECT_NE(trace.find(std::string("}\n") + c.line), std::string::npos)
            << c.line << trace.substr(0, 300);
    }
}
