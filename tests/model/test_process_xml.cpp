// The model builder. Its messages, debug rows and the matrices of whole
// files are compared by the end-to-end cases; here are the record it leaves
// and the cells no report shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "model/model.h"
#include "test_util.h"
#include "model/rows_fixture.h"

using rows_test::row_codes;

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
        kavelon_release_tables(&dt);
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
    EXPECT_EQ(row_codes(dt.P[0], dt.n), "0W");
    EXPECT_EQ(row_codes(dt.P[1], dt.n), "S0");
    EXPECT_EQ(row_codes(dt.Q[0], dt.nQ), "S");
    EXPECT_EQ(row_codes(dt.Q[1], dt.nQ), "0");
    EXPECT_EQ(row_codes(dt.R[0], dt.n), "WW");
    EXPECT_EQ(row_codes(dt.T[0], dt.nQ), "I");
    // Every activity starts the ordering unassigned and unmarked, each with a
    // state of its own: a state left over or shared would decide blocks.
    for (int i = 0; i < dt.n; i++) {
        SCOPED_TRACE(i);
        const ACTSTATE &s = *dt.d[i];
        EXPECT_EQ((std::vector<int32_t>{s.block_order, s.subblock_order, s.predecessor_block, s.trial_chain,
                                        s.candidate_rows, s.row_nbr_remaining_s, s.delete_chain}),
                  std::vector<int32_t>(7, 0));
        for (int k = 0; k < i; k++) EXPECT_NE(dt.d[i], dt.d[k]);
    }

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
    EXPECT_EQ(row_codes(b.dt.P[0], b.dt.n), "0");
    EXPECT_EQ(row_codes(b.dt.Q[0], b.dt.nQ), "S");
    EXPECT_EQ(row_codes(b.dt.R[0], b.dt.n), "0");
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
    EXPECT_EQ(row_codes(dt.P[0], dt.n), "000W");
    EXPECT_EQ(row_codes(dt.P[1], dt.n), "00S0");
    EXPECT_EQ(row_codes(dt.P[2], dt.n), "0000");
    EXPECT_EQ(row_codes(dt.P[3], dt.n), "I000");
    EXPECT_EQ(row_codes(dt.Q[0], dt.nQ), "0");
    EXPECT_EQ(row_codes(dt.R[0], dt.n), "00I0");
    EXPECT_EQ(row_codes(dt.R[1], dt.n), "000S");
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
        EXPECT_EQ(dt.Q[0].count, 0);
        EXPECT_EQ(dt.Q_cells, nullptr);
        EXPECT_EQ(row_codes(dt.P[0], dt.n), "S");  // its own data item sets the diagonal
    }
    Build b(
        "<design_process><output><name>o</name><strong>y</strong></output>"
        "<design_activity><name>a</name><data>x</data></design_activity>"
        "<output><name>p</name><icd>x</icd></output>"
        "<design_activity><name>b</name><data>y</data></design_activity></design_process>");
    ASSERT_EQ(b.result, 0);
    ASSERT_NE(b.dt.T, nullptr);
    EXPECT_EQ(b.dt.T[0].count + b.dt.T[1].count, 0);
    EXPECT_EQ(b.dt.T_cells, nullptr);
    EXPECT_EQ(row_codes(b.dt.R[0], b.dt.n), "0S");
    EXPECT_EQ(row_codes(b.dt.R[1], b.dt.n), "I0");
}

// A data item named again by one consumer takes the later kind, however many
// times and in whatever column order it comes; the row keeps one cell per
// column, in column order.
TEST(ProcessXml, RepeatedDependenciesKeepTheLaterKind) {
    std::string text = "<design_process>";
    for (int i = 0; i < 40; i++)
        text += "<design_activity><name>a" + std::to_string(i) + "</name><data>d" + std::to_string(i) +
                "</data></design_activity>";
    // The last activity names every item twice, backwards, first weak then
    // strong, and item 7 a third time as ICD; the output names two items
    // twice over.
    text += "<design_activity><name>last</name><data>d40</data>";
    for (int i = 39; i >= 0; i--) text += "<weak>d" + std::to_string(i) + "</weak>";
    for (int i = 39; i >= 0; i--) text += "<strong>d" + std::to_string(i) + "</strong>";
    text += "<icd>d7</icd><weak>d40</weak></design_activity>";
    text += "<output><name>o</name><icd>d3</icd><strong>d1</strong><weak>d3</weak><icd>d1</icd></output>";
    text += "</design_process>";
    Build b(text.c_str());
    ASSERT_EQ(b.result, 0);
    const KAVELON &dt = b.dt;
    ASSERT_EQ(dt.n, 41);
    std::string expected(40, 'S');
    expected[7] = 'I';
    EXPECT_EQ(row_codes(dt.P[40], dt.n), expected + "W");
    ASSERT_EQ(dt.P[40].count, 41);
    for (int t = 0; t + 1 < dt.P[40].count; t++) EXPECT_LT(dt.P[40].cell[t].col, dt.P[40].cell[t + 1].col);
    EXPECT_EQ(row_codes(dt.R[0], dt.n), "0I0W" + std::string(37, '0'));
    EXPECT_EQ(dt.R[0].count, 2);
}

// Names are looked up by a few of their first bytes kept with the index and
// the rest compared apart; names that share long beginnings, differ in one
// byte on either side of that border or only in length must each find their
// own producer, as comparing every name with every other would.
TEST(ProcessXml, NamesThatShareLongBeginningsFindTheirOwnProducers) {
    const std::string run(48, 'p');
    std::vector<std::string> names;
    for (size_t length = 20; length <= 30; length++) {
        names.push_back(run.substr(0, length));
        names.push_back(run.substr(0, length - 1) + "q");
        names.push_back("x" + run.substr(0, length - 1));
    }
    for (size_t at = 20; at < 30; at++) names.push_back(run.substr(0, at) + "q" + run.substr(at + 1, 40 - at));
    const std::vector<std::string> unknown = {run.substr(0, 19), run.substr(0, 31), run.substr(0, 23) + "r",
                                              run.substr(0, 24) + "r" + run.substr(0, 10), ""};
    std::string text = "<design_process>";
    for (size_t i = 0; i < names.size(); i++)
        text += "<design_activity><name>a" + std::to_string(i) + "</name><data>" + names[i] +
                "</data></design_activity>";
    // The last activity needs every item, from the last one to the first.
    text += "<design_activity><name>user</name><data>own</data>";
    for (size_t i = names.size(); i-- > 0;) text += "<weak>" + names[i] + "</weak>";
    text += "</design_activity><output><name>o</name>";
    for (const std::string &name : unknown) text += "<strong>" + name + "</strong>";
    text += "<icd>" + names[5] + "</icd></output></design_process>";
    Build b(text.c_str());
    EXPECT_EQ(b.result, 1);
    const KAVELON &dt = b.dt;
    const int n = static_cast<int>(names.size()) + 1;
    ASSERT_EQ(dt.n, n);
    // Brute force: the producer of each name is the first activity whose
    // data item equals it byte for byte.
    std::string expected(static_cast<size_t>(n), DEP_NONE);
    for (const std::string &name : names) {
        for (size_t j = 0; j < names.size(); j++) {
            if (names[j] == name) {
                expected[j] = 'W';
                break;
            }
        }
    }
    EXPECT_EQ(row_codes(dt.P[n - 1], n), expected);
    std::string output(static_cast<size_t>(n), DEP_NONE);
    output[5] = 'I';
    EXPECT_EQ(row_codes(dt.R[0], n), output);
    std::string err;
    for (const std::string &name : unknown)
        err += "*** ERROR: For output (o) could not find (strong) data (" + name + ")\n";
    EXPECT_EQ(b.err, err);
}
