// The model builder over small entity trees made by hand, so that these
// tests do not depend on the reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "kavelon.h"

namespace {

char *heap_copy(const char *s) {
    if (s == nullptr) return nullptr;
    char *copy = static_cast<char *>(std::calloc(std::strlen(s) + 1, 1));
    std::strcpy(copy, s);
    return copy;
}

XMLENTITY *entity(int type, const char *name, const char *text,
                  std::initializer_list<XMLENTITY *> children = {}) {
    XMLENTITY *e = static_cast<XMLENTITY *>(std::calloc(1, sizeof(XMLENTITY)));
    e->type = type;
    e->name = heap_copy(name);
    e->text = heap_copy(text);
    XMLENTITY **link = &e->child;
    for (XMLENTITY *c : children) {
        *link = c;
        link = &c->next;
    }
    return e;
}

// An element; a text of nullptr stands for an empty-element tag.
XMLENTITY *el(const char *name, const char *text, std::initializer_list<XMLENTITY *> children = {}) {
    return entity(XMLENTITY_ELEMENT, name, text, children);
}
XMLENTITY *el(const char *name, std::initializer_list<XMLENTITY *> children) {
    return el(name, "", children);
}

XMLENTITY *activity(const char *name, const char *data, std::initializer_list<XMLENTITY *> deps = {}) {
    XMLENTITY *a = el("design_activity", "", deps);
    XMLENTITY *n = el("name", name);
    XMLENTITY *d = el("data", data);
    n->next = d;
    d->next = a->child;
    a->child = n;
    return a;
}

void free_tree(XMLENTITY *e) {
    while (e != nullptr) {
        XMLENTITY *next = e->next;
        free_tree(e->child);
        free_tree(e->attribute);
        std::free(e->name);
        std::free(e->text);
        std::free(e);
        e = next;
    }
}

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

// Runs the builder on a tree and keeps what it wrote; frees it all after.
struct Build {
    KAVELON dt;
    int result = -1;
    std::string out;
    std::string err;

    explicit Build(XMLENTITY *root, int debug = 0) {
        kavelon_initialize(&dt);
        dt.root = root;
        dt.debug = debug;
        std::string before;
        snapshot(root, before);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        result = kavelon_process_xml(&dt);
        std::fflush(stdout);
        err = testing::internal::GetCapturedStderr();
        out = testing::internal::GetCapturedStdout();
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
        free_tree(dt.root);
    }
    Build(const Build &) = delete;
    Build &operator=(const Build &) = delete;
};

const std::string kHeading =
    " \nBLOCK_ORDER SUBBLOCK_ORDER PREDECESSOR_BLOCK TRIAL_CHAIN . CANDIDATE_ROWS . "
    "ROW_NBR_REMAINING_S . DELETE_CHAIN\n";

// The example design process: two activities, one output, one constraint.
XMLENTITY *concept_study() {
    return el("design_process",
              {el("name", "Concept study"), el("version", "1"),
               activity("Define geometry", "geometry",
                        {el("strong", "requirements"), el("weak", "weight")}),
               activity("Estimate weight", "weight", {el("strong", "geometry")}),
               el("output", {el("name", "cost estimate"), el("weak", "geometry"),
                             el("weak", "weight"), el("icd", "requirements")}),
               el("constraint", {el("data", "requirements")})});
}

XMLENTITY *nth_child(XMLENTITY *e, int k) {
    XMLENTITY *c = e->child;
    while (k-- > 0) c = c->next;
    return c;
}

}  // namespace

TEST(ProcessXml, BuildsTheExampleModel) {
    Build b(concept_study());
    ASSERT_EQ(b.result, 0);
    EXPECT_EQ(b.err, "");
    EXPECT_EQ(b.out, "");
    const KAVELON &dt = b.dt;
    ASSERT_EQ(dt.n, 2);
    ASSERT_EQ(dt.nQ, 1);
    ASSERT_EQ(dt.nR, 1);
    EXPECT_EQ(dt.nblock, 0);
    EXPECT_STREQ(dt.P[0], "0W");
    EXPECT_STREQ(dt.P[1], "S0");
    EXPECT_STREQ(dt.Q[0], "S");
    EXPECT_STREQ(dt.Q[1], "0");
    EXPECT_STREQ(dt.R[0], "WW");
    EXPECT_STREQ(dt.T[0], "I");
    for (int i = 0; i < 2; i++) {
        const ACTSTATE &s = *dt.d[i];
        EXPECT_EQ(s.block_order | s.subblock_order | s.predecessor_block | s.trial_chain |
                      s.candidate_rows | s.row_nbr_remaining_s | s.delete_chain,
                  0);
    }

    // Names and header values are the tree's own texts, not copies.
    XMLENTITY *root = dt.root;
    EXPECT_EQ(dt.name, nth_child(root, 0)->text);
    EXPECT_EQ(dt.version, nth_child(root, 1)->text);
    EXPECT_EQ(dt.version_date, nullptr);
    EXPECT_EQ(dt.study_name, nullptr);
    EXPECT_EQ(dt.design_activity_name[0], nth_child(nth_child(root, 2), 0)->text);
    EXPECT_EQ(dt.design_data_name[0], nth_child(nth_child(root, 2), 1)->text);
    EXPECT_EQ(dt.design_activity_name[1], nth_child(nth_child(root, 3), 0)->text);
    EXPECT_EQ(dt.design_data_name[1], nth_child(nth_child(root, 3), 1)->text);
    EXPECT_EQ(dt.output_name[0], nth_child(nth_child(root, 4), 0)->text);
    EXPECT_EQ(dt.constraint_name[0], nth_child(nth_child(root, 5), 0)->text);
    EXPECT_STREQ(dt.design_data_name[1], "weight");
}

TEST(ProcessXml, DebugPrintsRowsThenStateTable) {
    Build b(concept_study(), 1);
    ASSERT_EQ(b.result, 0);
    EXPECT_EQ(b.err, "");
    // Rows as created (all '0'), then the table before any cell is set and
    // before the outputs' names are read.
    EXPECT_EQ(b.out,
              "P[  0] = 00\n"
              "P[  1] = 00\n"
              "Q[  0] = 0\n"
              "Q[  1] = 0\n"
              "R[  0] = 00\n"
              "T[  0] = 0\n" +
                  kHeading +
                  "   0      Define geometry             geometry  0  0  0  0. 0. 0. 0 X0 0\n"
                  "   1      Estimate weight               weight  0  0  0  0. 0. 0. 0 0X 0\n"
                  "   0              Output:               (null)  0  0  0  0. 0. 0. 0 00 0\n"
                  "\n");
    EXPECT_STREQ(b.dt.P[0], "0W");  // the table put the diagonal back
}

TEST(ProcessXml, RejectsAnyOtherRoot) {
    {
        Build b(el("Design_Process", {activity("a", "x")}));
        EXPECT_EQ(b.result, 1);
        EXPECT_EQ(b.err, "***XML FILE ERROR -- root tag (Design_Process) not \"design_process\"\n");
        EXPECT_EQ(b.dt.n, 0);
        EXPECT_EQ(b.dt.P, nullptr);
    }
    {
        // A file that begins with a declaration or a comment.
        Build b(entity(XMLENTITY_PI, "PROCESSING INSTRUCTION", "xml version=\"1.0\""));
        EXPECT_EQ(b.result, 1);
        EXPECT_EQ(b.err,
                  "***XML FILE ERROR -- root tag (PROCESSING INSTRUCTION) not \"design_process\"\n");
    }
    {
        Build b(entity(XMLENTITY_COMMENT, "COMMENT", " design_process "));
        EXPECT_EQ(b.result, 1);
        EXPECT_EQ(b.err, "***XML FILE ERROR -- root tag (COMMENT) not \"design_process\"\n");
    }
    {
        Build b(nullptr);
        EXPECT_EQ(b.result, 1);
        EXPECT_EQ(b.err, "");
    }
    EXPECT_EQ(kavelon_process_xml(nullptr), 1);
}

TEST(ProcessXml, HeaderOnlyFileStopsWithTheLastHeaderValues) {
    Build b(el("design_process",
               {el("name", "first"), el("study_name", "S"), el("name", "second"),
                el("version", "1"), el("version", nullptr), el("version_date", "today"),
                el("comment", "no activities yet")}));
    EXPECT_EQ(b.result, 1);
    EXPECT_EQ(b.err, " *** ERROR: No <design_activity> tags in XML file\n");
    EXPECT_EQ(b.out, "");
    EXPECT_STREQ(b.dt.name, "second");
    EXPECT_EQ(b.dt.version, nullptr);  // the empty-element tag came last
    EXPECT_STREQ(b.dt.version_date, "today");
    EXPECT_STREQ(b.dt.study_name, "S");
    EXPECT_EQ(b.dt.design_activity_name, nullptr);
    EXPECT_EQ(b.dt.P, nullptr);
}

TEST(ProcessXml, WarnsOfEveryUnrecognisedChildOfTheRootWithoutFailing) {
    XMLENTITY *root = el(
        "design_process",
        {el("comment", "ignored quietly"), entity(XMLENTITY_COMMENT, "COMMENT", " note "),
         el("description", "x"), activity("a", "x"), entity(XMLENTITY_CDATA, "CDATA", "raw"),
         entity(XMLENTITY_PI, "PROCESSING INSTRUCTION", "pi"), el("Name", "wrong case"),
         el("Comment", "")});
    Build b(root);
    EXPECT_EQ(b.result, 0);
    EXPECT_EQ(b.err,
              " *** WARNING: unknown tag in XML file (COMMENT)\n"
              " *** WARNING: unknown tag in XML file (description)\n"
              " *** WARNING: unknown tag in XML file (CDATA)\n"
              " *** WARNING: unknown tag in XML file (PROCESSING INSTRUCTION)\n"
              " *** WARNING: unknown tag in XML file (Name)\n"
              " *** WARNING: unknown tag in XML file (Comment)\n");
    EXPECT_EQ(b.dt.n, 1);
    EXPECT_EQ(b.dt.name, nullptr);
}

TEST(ProcessXml, IgnoresWhatTheVocabularyDoesNotKnowBelowTheRoot) {
    XMLENTITY *a = activity("a", "x", {el("description", "free"), el("Strong", "nowhere"),
                                       el("strong", "c"), el("strongly", "nowhere")});
    // Attributes are no children, whatever they are called.
    a->attribute = entity(XMLENTITY_UNKNOWN, "name", "attribute");
    XMLENTITY *root = el("design_process",
                         {a, el("output", {el("data", "x"), el("name", "o"), el("note", "y")}),
                          el("constraint", {el("name", "n"), el("data", "c"), el("icd", "x")})});
    // Entities after the root are not part of the document's model.
    root->next = el("design_process", {activity("later", "y")});
    Build b(root);
    EXPECT_EQ(b.result, 0);
    EXPECT_EQ(b.err, "");
    EXPECT_EQ(b.dt.n, 1);
    EXPECT_STREQ(b.dt.design_activity_name[0], "a");
    EXPECT_STREQ(b.dt.output_name[0], "o");
    EXPECT_STREQ(b.dt.constraint_name[0], "c");
    EXPECT_STREQ(b.dt.P[0], "0");
    EXPECT_STREQ(b.dt.Q[0], "S");
    EXPECT_STREQ(b.dt.R[0], "0");
    EXPECT_STREQ(b.dt.T[0], "0");
}

TEST(ProcessXml, MissingNamesAreCollectedAndTheLastElementCounts) {
    XMLENTITY *root = el(
        "design_process",
        {el("design_activity", "loose text", {el("strong", "x")}),
         activity("b", "x"),
         // Both present, but the empty-element tags come last.
         el("design_activity", {el("name", "c"), el("data", "y"), el("name", nullptr),
                                el("data", nullptr)}),
         el("output", {el("name", "o"), el("name", nullptr)}),
         el("constraint", {el("data", "k"), el("data", nullptr)}),
         activity("d", "z", {el("weak", "nowhere")})});
    Build b(root);
    EXPECT_EQ(b.result, 1);
    EXPECT_EQ(b.err,
              " *** ERROR: missing <name> tag for design_activity number 0\n"
              " *** ERROR: missing <data> tag for design_activity number 0\n"
              " *** ERROR: missing <name> tag for design_activity number 2\n"
              " *** ERROR: missing <data> tag for design_activity number 2\n"
              " *** ERROR: missing <name> tag for output number 0\n"
              " *** ERROR: missing <data> tag for constraint number 0\n"
              "*** ERROR: For design_activity (d) could not find (weak) data (nowhere)\n");
    // The nameless activity's dependency was still entered.
    EXPECT_STREQ(b.dt.P[0], "0S00");
    EXPECT_EQ(b.dt.design_activity_name[2], nullptr);
}

TEST(ProcessXml, ReportsEveryCollectedErrorInItsOrder) {
    XMLENTITY *root = el(
        "design_process",
        {activity("A", "x", {el("strong", "nowhere"), el("weak", "z")}),
         activity("B", "x", {el("strong", "c1")}),
         el("output", {el("name", "o1"), el("icd", "c1")}),
         activity("C", "c1"),
         el("constraint", {el("data", "c1")}),
         el("output", {el("weak", "x")}),
         el("constraint", {}),
         el("design_activity", {el("data", "z"), el("icd", "x"), el("weak", nullptr)}),
         el("output", {el("name", "o1"), el("weak", "missing"), el("strong", "z")}),
         el("constraint", {el("data", "c1")})});
    Build b(root);
    EXPECT_EQ(b.result, 1);
    EXPECT_EQ(b.err,
              " *** ERROR: missing <name> tag for design_activity number 3\n"
              " *** ERROR: data name x defined multiple times (A) (B)\n"
              " *** ERROR: missing <name> tag for output number 1\n"
              " *** ERROR: missing <data> tag for constraint number 1\n"
              " *** ERROR: data name x defined multiple times (A) (B)\n"
              " *** ERROR: data name c1 defined for design activity and constraint (C) (c1)\n"
              " *** ERROR: data name c1 defined for design activity and constraint (C) (c1)\n"
              " *** ERROR: constraint c1 defined multiple times (0) (2)\n"
              " *** ERROR: output name o1 defined multiple times (0) (2)\n"
              "*** ERROR: For design_activity (A) could not find (strong) data (nowhere)\n"
              "*** ERROR: For design_activity ((null)) could not find (weak) data ((null))\n"
              "*** ERROR: For output (o1) could not find (weak) data (missing)\n");
    const KAVELON &dt = b.dt;
    ASSERT_EQ(dt.n, 4);
    ASSERT_EQ(dt.nQ, 3);
    ASSERT_EQ(dt.nR, 3);
    // A's later dependency is entered after the failed one; an activity's
    // data item wins over a constraint of the same name; the first of two
    // producers of x is taken.
    EXPECT_STREQ(dt.P[0], "000W");
    EXPECT_STREQ(dt.P[1], "00S0");
    EXPECT_STREQ(dt.P[2], "0000");
    EXPECT_STREQ(dt.P[3], "I000");
    for (int i = 0; i < 4; i++) EXPECT_STREQ(dt.Q[i], "000");
    EXPECT_STREQ(dt.R[0], "00I0");
    EXPECT_STREQ(dt.R[1], "W000");
    EXPECT_STREQ(dt.R[2], "000S");
    for (int o = 0; o < 3; o++) EXPECT_STREQ(dt.T[o], "000");
}

TEST(ProcessXml, LaterDependencyOverwritesTheCell) {
    Build b(el("design_process",
               {activity("a", "x", {el("weak", "y"), el("strong", "y"), el("icd", "k"),
                                    el("weak", "k"), el("strong", "x")}),
                activity("b", "y", {el("strong", "x"), el("weak", "x")}),
                el("constraint", {el("data", "k")})}));
    ASSERT_EQ(b.result, 0);
    EXPECT_EQ(b.err, "");
    EXPECT_STREQ(b.dt.P[0], "SS");  // its own data item sets the diagonal
    EXPECT_STREQ(b.dt.P[1], "W0");
    EXPECT_STREQ(b.dt.Q[0], "W");
    EXPECT_STREQ(b.dt.Q[1], "0");
}

TEST(ProcessXml, WithoutOutputsAndConstraints) {
    Build b(el("design_process", {activity("a", "x", {el("strong", "x")})}), 1);
    ASSERT_EQ(b.result, 0);
    EXPECT_EQ(b.err, "");
    const KAVELON &dt = b.dt;
    EXPECT_EQ(dt.nQ, 0);
    EXPECT_EQ(dt.nR, 0);
    EXPECT_EQ(dt.output_name, nullptr);
    EXPECT_EQ(dt.R, nullptr);
    EXPECT_EQ(dt.T, nullptr);
    EXPECT_EQ(dt.constraint_name, nullptr);
    ASSERT_NE(dt.Q, nullptr);
    EXPECT_EQ(dt.Q[0], nullptr);
    EXPECT_STREQ(dt.P[0], "S");
    EXPECT_EQ(b.out, "P[  0] = 0\n" + kHeading +
                         "   0                    a                    x  0  0  0  0. 0. 0. 0 X (null)\n"
                         "\n");
}

TEST(ProcessXml, OutputsWithoutConstraintsHaveNoRowsOfT) {
    Build b(el("design_process",
               {el("output", {el("name", "o"), el("strong", "y")}), activity("a", "x"),
                el("output", {el("name", "p"), el("icd", "x")}), activity("b", "y")}),
          1);
    ASSERT_EQ(b.result, 0);
    const KAVELON &dt = b.dt;
    ASSERT_NE(dt.T, nullptr);
    EXPECT_EQ(dt.T[0], nullptr);
    EXPECT_EQ(dt.T[1], nullptr);
    EXPECT_STREQ(dt.R[0], "0S");
    EXPECT_STREQ(dt.R[1], "I0");
    EXPECT_EQ(b.out, "P[  0] = 00\nP[  1] = 00\nR[  0] = 00\nR[  1] = 00\n" + kHeading +
                         "   0                    a                    x  0  0  0  0. 0. 0. 0 X0 (null)\n"
                         "   1                    b                    y  0  0  0  0. 0. 0. 0 0X (null)\n"
                         "   0              Output:               (null)  0  0  0  0. 0. 0. 0 00 (null)\n"
                         "   1              Output:               (null)  0  0  0  0. 0. 0. 0 00 (null)\n"
                         "\n");
}
