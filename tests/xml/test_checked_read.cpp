// The checked read of a whole file: encodings, the bytes it refuses, the
// one line that says where and why a read failed, the line of every
// entity, and the text a CDATA section gives its element.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "xml/xml_test_util.h"
#include "xml/xmlentity.h"

namespace {

using xmltest::chain;

struct Checked {
    std::string shape;    // the chain, and the flag after "|"
    std::string message;  // what print_fault_XMLENTITY writes for it
};

Checked checked_read(const std::string &bytes) {
    FILE *in = xmltest::stream_of(bytes);
    int flag = 7;
    XMLFAULT fault;
    XMLENTITY *first = readfile_fault_XMLENTITY(in, &flag, nullptr, &fault);
    std::fclose(in);
    Checked read = {chain(first) + " |" + std::to_string(flag),
                    test_util::written_by([&](FILE *out) { print_fault_XMLENTITY(out, "f.xml", &fault); })};
    free_XMLENTITY(first);
    return read;
}

// The message alone, for reads that fail.
std::string message_of(const std::string &bytes) { return checked_read(bytes).message; }

std::string times(size_t count, const std::string &piece) {
    std::string out;
    for (size_t i = 0; i < count; i++) out += piece;
    return out;
}

const char kDeclaredLatin1[] = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";

}  // namespace

// What the raw read makes of well-formed UTF-8 the checked read makes too,
// and it has nothing to tell.
TEST(XmlChecked, WellFormedInputReadsAsBefore) {
    for (const std::string text :
         {"<a>x<b>y</b>z</a>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r k=\"v\">\t\xC3\xA9\r\n</r>",
          "\xEF\xBB\xBF<r/>", "<!-- c --><r><![CDATA[ <x> ]]>t</r>", "<a>&amp;\xE2\x82\xAC\xF0\x9F\x98\x80</a>",
          "<?xml version='1.0' encoding='us-ascii'?><r>\xC3\xA9</r>", "<a>\x7F</a>"}) {
        xmltest::Read raw = xmltest::read_file(text);
        const Checked checked = checked_read(text);
        EXPECT_EQ(checked.shape, chain(raw.first) + " |" + std::to_string(raw.flag)) << text;
        EXPECT_EQ(checked.message, "") << text;
        free_XMLENTITY(raw.first);
    }
}

TEST(XmlChecked, SingleByteEncodingsBecomeUtf8) {
    // Names, attribute values, content and comments alike.
    EXPECT_EQ(checked_read(std::string(kDeclaredLatin1) + "\n<a\xE9 b=\"\xFF\">\x80\xE9<!--\xB0--></a\xE9>").shape,
              "PROCESSING INSTRUCTION{xml version=\"1.0\" encoding=\"ISO-8859-1\"} + "
              "a\xC3\xA9[b=\xC3\xBF]{\xC2\x80\xC3\xA9}(COMMENT{\xC2\xB0}) |0");
    EXPECT_EQ(checked_read("<?xml version='1.0' encoding = 'windows-1252' standalone='yes'?><a>\x80\x93x\x94</a>").shape,
              "PROCESSING INSTRUCTION{xml version='1.0' encoding = 'windows-1252' standalone='yes'} + "
              "a{\xE2\x82\xAC\xE2\x80\x9Cx\xE2\x80\x9D} |0");
    // The limits count the bytes as converted.
    EXPECT_EQ(checked_read(std::string(kDeclaredLatin1) + "<a>" + std::string(32767, '\xE9') + "x</a>").message, "");
    EXPECT_EQ(message_of(std::string(kDeclaredLatin1) + "<a>" + std::string(32768, '\xE9') + "</a>"), " *** ERROR: xml file (f.xml) line 1 column 44: text of element (a) longer than "
                                   "65,535 bytes\n");
    // A declaration that is not the first entity is an ordinary instruction.
    EXPECT_EQ(message_of("<!--x--><?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>"),
              " *** ERROR: xml file (f.xml) line 1 column 55: byte 0xE9 is not UTF-8; declare the file's encoding, "
              "such as encoding=\"ISO-8859-1\"\n");
}

// Every refusal ends the read with flag 5 and names the first fault.
TEST(XmlChecked, RefusedBytes) {
    using namespace std::string_literals;
    const struct {
        std::string bytes, message;
    } cases[] = {
        {"<a>\nxy\xE9z</a>", "line 2 column 3: byte 0xE9 is not UTF-8; declare the file's encoding, such as "
                             "encoding=\"ISO-8859-1\""},
        // Columns count characters, not bytes.
        {"<a>\n\xC3\xA9\xE2\x82\xAC\xFF</a>", "line 2 column 3: byte 0xFF is not UTF-8; declare the file's "
                                              "encoding, such as encoding=\"ISO-8859-1\""},
        // A character cut short, an overlong form, a surrogate.
        {"<a>\xC3x</a>", "line 1 column 4: byte 0xC3 is not UTF-8; declare the file's encoding, such as "
                         "encoding=\"ISO-8859-1\""},
        {"<a>\xC0\x80</a>", "line 1 column 4: byte 0xC0 is not UTF-8; declare the file's encoding, such as "
                            "encoding=\"ISO-8859-1\""},
        {"<a>\xED\xA0\x80</a>", "line 1 column 4: byte 0xED is not UTF-8; declare the file's encoding, such as "
                                "encoding=\"ISO-8859-1\""},
        {"<a>x</a>\n\xE2\x82", "line 2 column 1: the file ends inside a UTF-8 character"},
        {"<a>\x01</a>", "line 1 column 4: control character 0x01, not allowed in XML"},
        {"<a>x</a>\x1B", "line 1 column 9: control character 0x1B, not allowed in XML"},
        {"<a>x\0y</a>"s, "line 1 column 5: zero byte, not allowed in XML"},
        {"<a>\xEF\xBF\xBE</a>", "line 1 column 4: character U+FFFE, not allowed in XML"},
        // After a byte order mark the first character is in column 1.
        {"\xEF\xBB\xBF<a>\x02</a>", "line 1 column 4: control character 0x02, not allowed in XML"},
        // ISO-8859-1 has no invalid bytes, but XML's rules still hold.
        {std::string(kDeclaredLatin1) + "\n<a>\xE9\x01</a>", "line 2 column 5: control character 0x01, not allowed in XML"},
    };
    for (const auto &c : cases) {
        const Checked read = checked_read(c.bytes);
        EXPECT_EQ(read.message, " *** ERROR: xml file (f.xml) " + c.message + "\n") << c.bytes;
        EXPECT_EQ(read.shape.substr(read.shape.size() - 3), " |5") << c.bytes;
    }
}

TEST(XmlChecked, FilesThatAreNoText) {
    using namespace std::string_literals;
    const struct {
        std::string bytes, message;
    } cases[] = {
        {"\xFF\xFE<\0a\0/\0>\0"s, "UTF-16 (by its byte order mark) is not read; save the file as UTF-8"},
        {"\xFE\xFF\0<\0a\0/\0>"s, "UTF-16 (by its byte order mark) is not read; save the file as UTF-8"},
        {"<\0a\0/\0>\0"s, "UTF-16 (by its zero bytes) is not read; save the file as UTF-8"},
        {"\0<\0a"s, "UTF-16 (by its zero bytes) is not read; save the file as UTF-8"},
        {"PK\x03\x04\x14\0\0\0<a/>"s, "a zip file (a workbook such as .xlsx or .ods?) is not read; save the sheet as CSV"},
        {"PK\x05\x06"s + std::string(18, '\0'), "a zip file (a workbook such as .xlsx or .ods?) is not read; save the "
                                                "sheet as CSV"},
        {"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>", "line 1 column 1: encoding (UTF-16) is not read; save the "
                                                          "file as UTF-8, ISO-8859-1 or Windows-1252"},
        {"\n  <?xml version=\"1.0\" encoding=\"x\ty\"?><a/>", "line 2 column 3: encoding (x\\ty) is not read; save the "
                                                             "file as UTF-8, ISO-8859-1 or Windows-1252"},
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"latin1\"?><a/>",
         "line 1 column 1: encoding (latin1) declared, but the file begins with a UTF-8 byte order mark"},
    };
    for (const auto &c : cases) {
        const Checked read = checked_read(c.bytes);
        const std::string where = c.message.compare(0, 5, "line ") == 0 ? " " : ": ";
        EXPECT_EQ(read.message, " *** ERROR: xml file (f.xml)" + where + c.message + "\n") << c.bytes;
        EXPECT_EQ(read.shape.substr(read.shape.size() - 3), " |5") << c.bytes;
    }
    // Nothing of a refused file is read.
    EXPECT_EQ(checked_read("PK\x03\x04<a/>").shape, " |5");
}

TEST(XmlChecked, ADirectory) {
    char path[] = "/tmp/kavelon-dir-XXXXXX";
    ASSERT_NE(mkdtemp(path), nullptr);
    FILE *in = std::fopen(path, "r");
    ASSERT_NE(in, nullptr);
    int flag = 0;
    XMLFAULT fault;
    EXPECT_EQ(readfile_fault_XMLENTITY(in, &flag, nullptr, &fault), nullptr);
    std::fclose(in);
    rmdir(path);
    EXPECT_EQ(flag, XMLERR_INPUT);
    EXPECT_EQ(test_util::written_by([&](FILE *out) { print_fault_XMLENTITY(out, "d", &fault); }),
              " *** ERROR: xml file (d): is a directory, not a file\n");
}

// Reads that fail on their markup: the flags stay as they were, and the
// message names the first fault, where the construct began.
TEST(XmlChecked, MarkupFaults) {
    const struct {
        std::string bytes, shape, message;
    } cases[] = {
        {"", " |0", "the file is empty"},
        {" \n\t\r\n", " |0", "the file is empty"},
        {"\xEF\xBB\xBF\n", " |0", "the file is empty"},
        {"hello world", " |0", "line 1 column 1: no element in the file"},
        {"\n\n  hi", " |0", "line 3 column 3: no element in the file"},
        {"  </a> <!>", " |0", "line 1 column 3: no element in the file"},
        {"<design_process\n", " |0", "line 1 column 1: tag not closed before the end of the file"},
        {"x <!-- c", " |0", "line 1 column 3: comment not closed before the end of the file"},
        {"<![CDATA[x", " |0", "line 1 column 1: CDATA section not closed before the end of the file"},
        {"<![CD", " |0", "line 1 column 1: CDATA section not closed before the end of the file"},
        {"<?x", " |0", "line 1 column 1: processing instruction not closed before the end of the file"},
        {"<!DOCTYPE x", " |0", "line 1 column 1: declaration not closed before the end of the file"},
        // The innermost element left open.
        {"<a>\n <b>\n  <c/>", "a{\n }!1(b{\n  }(c)) |1", "line 2 column 2: element (b) not closed before the end of the file"},
        {"<a>\n  </b>", "a{\n  }!2 |2", "line 2 column 3: end tag does not match the open element (a) of line 1"},
        {"<ab>t</a>", "ab{t}!2 |2", "line 1 column 6: end tag does not match the open element (ab) of line 1"},
        {"<a>t</a b>", "a{t}!2 |2", "line 1 column 5: end tag does not match the open element (a) of line 1"},
        {"<a>t</a", "a{t}!1 |1", "line 1 column 5: end tag of element (a) not closed before the end of the file"},
        {"<a>t</", "a{t}!1 |1", "line 1 column 5: end tag of element (a) not closed before the end of the file"},
        {"<!DOCTYPE d [<!ELEMENT d (#PCDATA)>]>\n<d/>", "UNKNOWN{OCTYPE d [<!ELEMENT d (#PCDATA)>]}!2 + d |2",
         "line 1 column 1: DOCTYPE not accepted; remove the document type declaration"},
        {"<a>\n<!ELEMENT x></a>", "a{}!2(UNKNOWN{LEMENT x}) |2", "line 2 column 1: declaration (<!ELEMENT) not accepted"},
        // The first fault is the one told, not what follows from it.
        {"<a></b><c>x", "a{}!2 + c{x}!1 |1", "line 1 column 4: end tag does not match the open element (a) of line 1"},
        // Long names are cut at a character's end.
        {"<" + times(40, "\xC3\xA9") + ">", "", "line 1 column 1: element (" + times(32, "\xC3\xA9") +
                                                   "...) not closed before the end of the file"},
    };
    for (const auto &c : cases) {
        const Checked read = checked_read(c.bytes);
        if (!c.shape.empty()) {
            EXPECT_EQ(read.shape, c.shape) << c.bytes;
        }
        const std::string where = c.message.compare(0, 5, "line ") == 0 ? " " : ": ";
        EXPECT_EQ(read.message, " *** ERROR: xml file (f.xml)" + where + c.message + "\n") << c.bytes;
    }
    // A refusal is told before an earlier fault of the markup.
    EXPECT_EQ(message_of("<a></b>\n\x01"), " *** ERROR: xml file (f.xml) line 2 column 1: control character 0x01, "
                                           "not allowed in XML\n");
}

TEST(XmlChecked, Overruns) {
    EXPECT_EQ(message_of("<r>\n <name>" + std::string(65536, 'x') + "</name></r>"),
              " *** ERROR: xml file (f.xml) line 2 column 2: text of element (name) longer than 65,535 bytes\n");
    EXPECT_EQ(message_of("\n<a" + std::string(65534, ' ') + ">"),
              " *** ERROR: xml file (f.xml) line 2 column 1: tag longer than 65,534 bytes\n");
    EXPECT_EQ(message_of("<!--" + std::string(65533, 'c') + "-->"),
              " *** ERROR: xml file (f.xml) line 1 column 1: comment longer than 65,532 bytes\n");
    // A tag of the most it may hold reads well, with nothing to tell.
    EXPECT_EQ(checked_read("<a" + std::string(65532, ' ') + "/>").message, "");
}

TEST(XmlChecked, FaultWithoutColumn) {
    XMLFAULT fault = {XMLFAULT_MARKUP, 12, 0, "some fault"};
    EXPECT_EQ(test_util::written_by([&](FILE *out) { print_fault_XMLENTITY(out, nullptr, &fault); }),
              " *** ERROR: xml file ((null)) line 12: some fault\n");
    fault.kind = XMLFAULT_NONE;
    EXPECT_EQ(test_util::written_by([&](FILE *out) { print_fault_XMLENTITY(out, "f", &fault); }), "");
}

TEST(XmlLines, EveryEntityKnowsTheLineItStartsOn) {
    for (bool checked : {false, true}) {
        FILE *in = xmltest::stream_of("<?p?>\n<a k=\"1\n\">\n<b/><!--\n-->\n\n<![CDATA[x]]><c>\n</c></a>\n<!x>");
        int flag = 0;
        XMLENTITY *first = checked ? readfile_fault_XMLENTITY(in, &flag, nullptr, nullptr)
                                   : readfile_XMLENTITY(in, &flag);
        std::fclose(in);
        std::string lines;
        for (const XMLENTITY *e = first; e != nullptr; e = e->next) {
            lines += e->name + std::string(":") + std::to_string(e->line) + " ";
            for (const XMLENTITY *a = e->attribute; a != nullptr; a = a->next)
                lines += a->name + std::string(":") + std::to_string(a->line) + " ";
            for (const XMLENTITY *c = e->child; c != nullptr; c = c->next)
                lines += c->name + std::string(":") + std::to_string(c->line) + " ";
        }
        EXPECT_EQ(lines, "PROCESSING INSTRUCTION:1 a:2 k:2 b:4 COMMENT:4 CDATA:7 c:7 UNKNOWN:9 ") << checked;
        free_XMLENTITY(first);
    }
}

// A CDATA section that is all an element holds is its text, written as
// plain text would write it; the section stays in the tree.
TEST(XmlCdata, OnlyContentGivesTheText) {
    const struct {
        std::string bytes, shape;
    } cases[] = {
        {"<s><![CDATA[b]]></s>", "s{b}(CDATA{b})"},
        {"<s>\n  <![CDATA[ R&D <x> ]]>\n</s>", "s{R&amp;D &lt;x>}(CDATA{ R&D <x> })"},
        {"<s><![CDATA[]]></s>", "s{}(CDATA{})"},
        // Anything beside it, and the section is a child like before.
        {"<s>a<![CDATA[b]]></s>", "s{a}(CDATA{b})"},
        {"<s><![CDATA[b]]><![CDATA[c]]></s>", "s{}(CDATA{b} CDATA{c})"},
        {"<s><!--n--><![CDATA[b]]></s>", "s{}(COMMENT{n} CDATA{b})"},
        {"<s><![CDATA[b]]><t/></s>", "s{}(CDATA{b} t)"},
        // Only an element that closes properly takes it.
        {"<s><![CDATA[b]]></x>", "s{}!2(CDATA{b})"},
    };
    for (const auto &c : cases) {
        xmltest::Read read = xmltest::read_file(c.bytes);
        EXPECT_EQ(chain(read.first), c.shape) << c.bytes;
        free_XMLENTITY(read.first);
    }
}
