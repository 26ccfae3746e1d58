// Entity tree utilities: string helpers, tag parser, lookup, lower-casing
// and the dump printer.
#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "xml/xml_test_util.h"
#include "xml/xmlentity.h"

namespace {

std::string trimmed(std::string s) {
    xmltrimstring(s.data());
    return std::string(s.c_str());
}

// Name, then each attribute record as [name=value], or [name] without one.
std::string parsed(const char *tag) {
    std::string text(tag);
    XMLENTITY *entity = parse_tag_XMLENTITY(text.data());
    std::string out = entity->name;
    EXPECT_EQ(entity->type, 0);
    EXPECT_EQ(entity->text, nullptr);
    for (XMLENTITY *a = entity->attribute; a != nullptr; a = a->next) {
        out += " [" + std::string(a->name);
        if (a->text != nullptr) out += "=" + std::string(a->text);
        out += "]";
        EXPECT_EQ(a->child, nullptr);
        EXPECT_EQ(a->errflag, 0);
    }
    free_XMLENTITY(entity);
    return out;
}

XMLENTITY *make(const char *name, int32_t type, const char *text = nullptr) {
    XMLENTITY *entity = alloc_XMLENTITY();
    entity->name = xmlcopystring(name);
    entity->type = type;
    entity->text = xmlcopystring(text);
    return entity;
}

std::string printed(XMLENTITY *entity, int depth) {
    return test_util::written_by([&](FILE *out) { print_XMLENTITY(out, entity, depth); });
}

}  // namespace

// The six white-space characters, and no byte above 0x7F (NEL, NBSP).
TEST(XmlStrings, TrimLowercaseAndWhiteSpace) {
    int count = 0;
    for (int c = 0; c < 256; c++) count += xmlisspace(c) != 0;
    EXPECT_EQ(count, 6);
    for (int c : {' ', '\t', '\n', '\v', '\f', '\r'}) EXPECT_TRUE(xmlisspace(c)) << c;
    EXPECT_EQ(trimmed("  a b  "), "a b");
    EXPECT_EQ(trimmed("     "), "");
    EXPECT_EQ(trimmed(""), "");
    EXPECT_EQ(trimmed("\tx\r\n"), "x");
    EXPECT_EQ(trimmed("\v\f x \f\v"), "x");
    EXPECT_EQ(trimmed("x"), "x");
    EXPECT_EQ(trimmed("\x85x\xa0"), "\x85x\xa0");
    xmltrimstring(nullptr);
    std::string s = "@AZ[az\xc4\xff";
    xmllowercasestring(s.data());
    EXPECT_EQ(s, "@az[az\xc4\xff");
}

TEST(XmlParseTag, TableRowsSeparatorsAndOddCharacters) {
    const struct {
        const char *tag, *parsed;
    } rows[] = {
        {"a", "a"},
        {"  a  ", "a"},
        {"", ""},
        {"   ", ""},
        {"a x=\"1\" y=2", "a [x=1] [y=2]"},
        {"a x = \"1 2\"", "a [x=1 2]"},
        {"a x=\"\"", "a [x=]"},
        {"a x", "a [x]"},
        {"a x=", "a [x]"},
        {"a b c=\"1\"", "a [b c=1]"},
        {"a x='1 2'", "a [x='1] [2']"},
        {"a x=\"1", "a [x=1]"},
        {"a x=\"1\"y=\"2\"", "a [x=1] [y=2]"},
        {"a =1", "a [=1]"},
        {"a\tx=1\ny=2\r", "a [x=1] [y=2]"},
        {"a x=1 x=2", "a [x=1] [x=2]"},  // a repeated name gives two records
        {"a x=  \"v\"  ", "a [x=v]"},
        {"a\xa0" "b", "a\xa0" "b"},  // 0xA0 is part of the name
        {"a x=&amp;", "a [x=&amp;]"},  // no reference is expanded
    };
    for (const auto &row : rows) EXPECT_EQ(parsed(row.tag), row.parsed) << row.tag;
    EXPECT_EQ(parse_tag_XMLENTITY(nullptr), nullptr);
}

// Lookup among direct children by exact name; lower-casing of the names
// of a subtree, the top entity's siblings, attributes and texts untouched.
TEST(XmlTree, FindAndLowercase) {
    xmltest::Read read = xmltest::read_file(
        "<Root\xC4 Attr=\"Value\">Text<name/><item><deep/></item><item/><Child><Grand/></Child><!--Note--></Root\xC4>"
        "<Next/>");
    XMLENTITY *root = read.first;
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(find_XMLENTITY(root, "Name"), nullptr);
    EXPECT_EQ(find_XMLENTITY(root, "name"), root->child);
    EXPECT_EQ(find_XMLENTITY(root, "item"), root->child->next);
    for (const char *absent : {"deep", "Next", "Root\xC4"}) EXPECT_EQ(find_XMLENTITY(root, absent), nullptr);
    EXPECT_EQ(find_XMLENTITY(nullptr, "item"), nullptr);
    EXPECT_EQ(find_XMLENTITY(root, nullptr), nullptr);

    lowercase_XMLENTITY(root, 0);
    EXPECT_EQ(xmltest::chain(root), "root\xC4[Attr=Value]{Text}(name item{}(deep) item Child{}(Grand) COMMENT{Note}) + Next");
    lowercase_XMLENTITY(root, 1);
    EXPECT_EQ(xmltest::chain(root), "root\xC4[Attr=Value]{Text}(name item{}(deep) item child{}(grand) comment{Note}) + Next");
    lowercase_XMLENTITY(nullptr, 1);
    free_XMLENTITY(root);
}

TEST(XmlPrint, DumpExample) {
    xmltest::Read read = xmltest::read_file(
        "<list kind=\"demo\" sorted>\n"
        "  <item>first</item>\n"
        "  <!-- note -->\n"
        "  <item/>\n"
        "</list>\n");
    ASSERT_NE(read.first, nullptr);
    EXPECT_EQ(printed(read.first, 1),
              " <list kind=\"demo\" sorted>[ENTITY_DATA errflag = 0]\n"
              " {}\n"
              "  <item>[ENTITY_DATA errflag = 0]\n"
              "  {first}\n"
              "  </item>\n"
              "  <!--  note  -->\n"
              "  <item>[ENTITY_DATA errflag = 0]\n"
              "  </item>\n"
              " </list>\n");
    free_XMLENTITY(read.first);
}

TEST(XmlPrint, EachKindOfRecord) {
    XMLENTITY *element = make("e", XMLENTITY_ELEMENT, "t");
    element->errflag = 3;
    element->attribute = make("", XMLENTITY_UNKNOWN, "1");
    element->attribute->next = make("v", XMLENTITY_UNKNOWN, "");
    element->attribute->next->next = alloc_XMLENTITY();  // a record without a name is skipped
    XMLENTITY *pi = make("PROCESSING INSTRUCTION", XMLENTITY_PI, "p q");
    element->child = pi;
    pi->next = make("CDATA", XMLENTITY_CDATA, " <c> ");
    pi->next->next = make("UNKNOWN", XMLENTITY_UNKNOWN, "DOCTYPE x");
    pi->next->next->next = make("COMMENT", XMLENTITY_COMMENT, "-c-");
    element->next = make("later", XMLENTITY_ELEMENT);

    EXPECT_EQ(printed(element, 0),
              "<e =\"1\" v=\"\">[ENTITY_DATA errflag = 3]\n"
              "{t}\n"
              " <?p q?>\n"
              " <![CDATA[ <c> ]]>\n"
              " <!-- -c- -->\n"
              "</e>\n");
    EXPECT_EQ(printed(element, -3), printed(element, 0));
    EXPECT_EQ(printed(pi->next->next->next, 2), "  <!-- -c- -->\n");
    EXPECT_EQ(printed(pi->next->next, 2), "");       // UNKNOWN declaration
    EXPECT_EQ(printed(element->attribute, 2), "");   // attribute record
    EXPECT_EQ(printed(nullptr, 2), "");
    free_XMLENTITY(element);
}

TEST(XmlFree, ReleasesDeepTreesAndLongChains) {
    // Deep nesting, a long top-level chain, and attributes with children of
    // their own. The heap in use must be back where it was: every block
    // released (ASan also checks that none is released twice).
    const size_t in_use_before = mallinfo2().uordblks;
    XMLENTITY *first = make("top", XMLENTITY_ELEMENT);
    XMLENTITY *cursor = first;
    for (int i = 0; i < 300000; i++) {
        cursor->child = make("c", XMLENTITY_ELEMENT, "t");
        cursor->attribute = make("a", XMLENTITY_UNKNOWN, "v");
        cursor->attribute->child = make("odd", XMLENTITY_ELEMENT);
        cursor = cursor->child;
    }
    cursor = first;
    for (int i = 0; i < 300000; i++) {
        cursor->next = make("n", XMLENTITY_ELEMENT);
        cursor = cursor->next;
    }
    // A release that recursed would overflow the stack here; ASan checks
    // that every block is released once.
#if !defined(__SANITIZE_ADDRESS__)
    // (ASan keeps its own heap, which mallinfo2 does not see.)
    EXPECT_GT(mallinfo2().uordblks, in_use_before + 900000 * sizeof(XMLENTITY));
#endif
    free_XMLENTITY(first);
    free_XMLENTITY(nullptr);
    const size_t in_use_after = mallinfo2().uordblks;
    // The allocator's per-thread caches keep a few freed blocks counted as in
    // use; anything the release missed would be hundreds of thousands.
    EXPECT_LT(in_use_after, in_use_before + 4096);
}

// A parsed element keeps its name in its own block; a name put in its place
// later is a block of its own. Each is released once, whichever it holds
// (ASan checks), and lower-casing reaches the kept name.
TEST(XmlFree, ParsedNamesKeptOrReplaced) {
    char kept[] = "Kept a=\"1\"";
    char replaced[] = "Replaced";
    XMLENTITY *first = parse_tag_XMLENTITY(kept);
    XMLENTITY *second = parse_tag_XMLENTITY(replaced);
    lowercase_XMLENTITY(first, 0);
    EXPECT_STREQ(first->name, "kept");
    EXPECT_STREQ(first->attribute->name, "a");
    second->name = xmlcopystring("other");
    first->next = second;
    free_XMLENTITY(first);
}
