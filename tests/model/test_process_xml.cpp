// The model builder. Its messages, debug rows and the matrices of whole
// files are compared by the end-to-end cases; here are the record it leaves
// and the cells no report shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "model/model.h"
#include "test_util.h"

namespace {

// Every field of every entity, addresses included, to show that the build
// leaves the tree exactly as it found it.
void snapshot(const XMLENTITY *e, std::string &out) {
    for (; e != nullptr; e = e->next) {
        char line[256];
        std::snprintf(line, sizeof line, "%p %p %d %p %p %p %d|", static_cast<void *>(e->name),
                      static_cast<void *>(e->text), e->type, static_cast<void *>(e->child),
                      static_cast<void *>(e->attribute), static_cast<void *>(e->next), e->errflag);
        out += line;
        out += e->name != nullptr ? e->name : "<none>";
        out += '|';
        out += e->text != nullptr ? e->text : "<none>";
        out += "\n{";
        snapshot(e->attribute, out);
        snapshot(e->child, out);
        out += "}";
    }
}

void free_rows(char **rows, int count) {
    if (rows == nullptr) return;
    for (int i = 0; i < count; i++) std::free(rows[i]);
    std::free(rows);
}

// Reads the text, runs the builder on its tree and keeps what it wrote;
// frees it all after.
struct Build {
    KAVELON dt;
    int result = -1;
    std::string err;

    explicit Build(const char *text) {
        kavelon_initialize(&dt);
        const test_util::Read read = test_util::read_file(text);
        XMLENTITY *root = read.first;
        EXPECT_EQ(read.flag, 0) << text;
        dt.root = root;
        std::string before;
        snapshot(root, before);
        testing::internal::CaptureStderr();
        result = kavelon_process_xml(&dt);
        err = testing::internal::GetCapturedStderr();
        std::string after;
        snapshot(root, after);
        EXPECT_EQ(before, after) << "the build changed the tree";
    }
    ~Build() {
        free_rows(dt.P, dt.n);
        if (dt.d != nullptr) {
            for (int i = 0; i < dt.n; i++) std::free(dt.d[i]);
            std::free(dt.d);
        }
        free_rows(dt.Q, dt.Q != nullptr && dt.nQ > 0 ? dt.n : 0);
        free_rows(dt.R, dt.nR);
        free_rows(dt.T, dt.T != nullptr && dt.nQ > 0 ? dt.nR : 0);
        std::free(dt.design_activity_name);
        std::free(dt.design_data_name);
        std::free(dt.constraint_name);
        std::free(dt.output_name);
        free_XMLENTITY(dt.root);
    }
    Build(const Build &) = delete;
    Build &operator=(const Build &) = delete;
};

XMLENTITY *nth_child(XMLENTITY *e, int k) {
    XMLENTITY *c = e->child;
    while (k-- > 0) c = c->next;
    return c;
}

}  // namespace

TEST(ProcessXml, BuildsTheExampleModel) {
    Build b(
        "<design_process><name>Concept study</name><version>1</version>"
        "<design_activity><name>Define geometry</name><data>geometry</data>"
        "<strong>requirements</strong><weak>weight</weak></design_activity>"
        "<design_activity><name>Estimate weight</name><data>weight</data><strong>geometry</strong>"
        "</design_activity>"
        "<output><name>cost estimate</name><weak>geometry</weak><weak>weight</weak><icd>requirements</icd></output>"
        "<constraint><data>requirements</data></constraint></design_process>");
    ASSERT_EQ(b.result, 0);
    EXPECT_EQ(b.err, "");
    const KAVELON &dt = b.dt;
    ASSERT_EQ(dt.n, 2);
    ASSERT_EQ(dt.nQ, 1);
    ASSERT_EQ(dt.nR, 1);
    EXPECT_STREQ(dt.P[0], "0W");
    EXPECT_STREQ(dt.P[1], "S0");
    EXPECT_STREQ(dt.Q[0], "S");
    EXPECT_STREQ(dt.Q[1], "0");
    EXPECT_STREQ(dt.R[0], "WW");
    EXPECT_STREQ(dt.T[0], "I");
    EXPECT_EQ(dt.d[1]->block_order | dt.d[1]->row_nbr_remaining_s | dt.d[1]->delete_chain, 0);

    // Names and header values are the tree's own texts, not copies.
    XMLENTITY *root = dt.root;
    EXPECT_EQ(dt.name, nth_child(root, 0)->text);
    EXPECT_EQ(dt.version, nth_child(root, 1)->text);
    EXPECT_EQ(dt.version_date, nullptr);
    EXPECT_EQ(dt.design_activity_name[1], nth_child(nth_child(root, 3), 0)->text);
    EXPECT_EQ(dt.design_data_name[1], nth_child(nth_child(root, 3), 1)->text);
    EXPECT_EQ(dt.output_name[0], nth_child(nth_child(root, 4), 0)->text);
    EXPECT_EQ(dt.constraint_name[0], nth_child(nth_child(root, 5), 0)->text);
}

TEST(ProcessXml, NothingToBuildAndTheLastHeaderValueCounts) {
    {
        Build b("no markup");
        EXPECT_EQ(b.result, 1);
        EXPECT_EQ(b.err, "");
    }
    EXPECT_EQ(kavelon_process_xml(nullptr), 1);
    Build b("<design_process><name>first</name><name>second</name><version>1</version><version/></design_process>");
    EXPECT_EQ(b.result, 1);
    EXPECT_EQ(b.err, " *** ERROR: No <design_activity> tags in XML file\n");
    EXPECT_STREQ(b.dt.name, "second");
    EXPECT_EQ(b.dt.version, nullptr);  // the empty-element tag came last
    EXPECT_EQ(b.dt.P, nullptr);
}

TEST(ProcessXml, IgnoresWhatTheVocabularyDoesNotKnowBelowTheRoot) {
    // Attributes are no children, whatever they are called; entities after
    // the root are not part of the document's model.
    Build b(
        "<design_process><design_activity name=\"attribute\"><name>a</name><data>x</data>"
        "<Strong>nowhere</Strong><strong>c</strong><strongly>nowhere</strongly></design_activity>"
        "<output><data>x</data><name>o</name><note>y</note></output>"
        "<constraint><name>n</name><data>c</data><icd>x</icd></constraint></design_process>"
        "<design_process><design_activity><name>later</name><data>y</data></design_activity></design_process>");
    EXPECT_EQ(b.result, 0);
    EXPECT_EQ(b.err, "");
    EXPECT_EQ(b.dt.n, 1);
    EXPECT_STREQ(b.dt.design_activity_name[0], "a");
    EXPECT_STREQ(b.dt.output_name[0], "o");
    EXPECT_STREQ(b.dt.constraint_name[0], "c");
    EXPECT_STREQ(b.dt.P[0], "0");
    EXPECT_STREQ(b.dt.Q[0], "S");
    EXPECT_STREQ(b.dt.R[0], "0");
}

// The messages are compared end to end; these are the cells that a failed
// build leaves, which no report shows.
TEST(ProcessXml, CellsOfAFailedBuild) {
    Build b(
        "<design_process>"
        "<design_activity><name>A</name><data>x</data><strong>nowhere</strong><weak>z</weak></design_activity>"
        "<design_activity><name>B</name><data>x</data><strong>c1</strong></design_activity>"
        "<output><name>o1</name><icd>c1</icd></output>"
        "<design_activity><name>C</name><data>c1</data></design_activity>"
        "<constraint><data>c1</data></constraint>"
        "<design_activity><data>z</data><icd>x</icd><weak/></design_activity>"
        "<output><name>o2</name><weak>missing</weak><strong>z</strong></output></design_process>");
    EXPECT_EQ(b.result, 1);
    const KAVELON &dt = b.dt;
    ASSERT_EQ(dt.n, 4);
    // A's later dependency is entered after the failed one; an activity's
    // data item wins over a constraint of the same name; the first of two
    // producers of x is taken; a nameless activity still gets its row.
    EXPECT_STREQ(dt.P[0], "000W");
    EXPECT_STREQ(dt.P[1], "00S0");
    EXPECT_STREQ(dt.P[2], "0000");
    EXPECT_STREQ(dt.P[3], "I000");
    EXPECT_STREQ(dt.Q[0], "0");
    EXPECT_STREQ(dt.R[0], "00I0");
    EXPECT_STREQ(dt.R[1], "000S");
}

// The writers rely on which rows exist: Q always has n entries, its rows and
// those of T only with constraints, R and T only with outputs.
TEST(ProcessXml, RowsThatExistWithoutOutputsOrConstraints) {
    {
        Build b("<design_process><design_activity><name>a</name><data>x</data><strong>x</strong>"
                "</design_activity></design_process>");
        ASSERT_EQ(b.result, 0);
        const KAVELON &dt = b.dt;
        EXPECT_EQ(dt.nQ + dt.nR, 0);
        EXPECT_EQ(dt.output_name, nullptr);
        EXPECT_EQ(dt.R, nullptr);
        EXPECT_EQ(dt.T, nullptr);
        EXPECT_EQ(dt.constraint_name, nullptr);
        ASSERT_NE(dt.Q, nullptr);
        EXPECT_EQ(dt.Q[0], nullptr);
        EXPECT_STREQ(dt.P[0], "S");  // its own data item sets the diagonal
    }
    Build b(
        "<design_process><output><name>o</name><strong>y</strong></output>"
        "<design_activity><name>a</name><data>x</data></design_activity>"
        "<output><name>p</name><icd>x</icd></output>"
        "<design_activity><name>b</name><data>y</data></design_activity></design_process>");
    ASSERT_EQ(b.result, 0);
    ASSERT_NE(b.dt.T, nullptr);
    EXPECT_EQ(b.dt.T[0], nullptr);
    EXPECT_EQ(b.dt.T[1], nullptr);
    EXPECT_STREQ(b.dt.R[0], "0S");
    EXPECT_STREQ(b.dt.R[1], "I0");
}
