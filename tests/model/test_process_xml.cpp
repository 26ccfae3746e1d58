// The model builder over small entity trees made by hand, so that these
// tests do not depend on the reader. Its messages, debug rows and the
// matrices of whole files are compared by the end-to-end cases; here are the
// record it leaves and the cells no report shows.
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
    std::string err;

    explicit Build(XMLENTITY *root) {
        kavelon_initialize(&dt);
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
        free_tree(dt.root);
    }
    Build(const Build &) = delete;
    Build &operator=(const Build &) = delete;
};

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
        Build b(nullptr);
        EXPECT_EQ(b.result, 1);
        EXPECT_EQ(b.err, "");
    }
    EXPECT_EQ(kavelon_process_xml(nullptr), 1);
    Build b(el("design_process", {el("name", "first"), el("name", "second"), el("version", "1"),
                                  el("version", nullptr)}));
    EXPECT_EQ(b.result, 1);
    EXPECT_EQ(b.err, " *** ERROR: No <design_activity> tags in XML file\n");
    EXPECT_STREQ(b.dt.name, "second");
    EXPECT_EQ(b.dt.version, nullptr);  // the empty-element tag came last
    EXPECT_EQ(b.dt.P, nullptr);
}

TEST(ProcessXml, IgnoresWhatTheVocabularyDoesNotKnowBelowTheRoot) {
    XMLENTITY *a = activity("a", "x", {el("Strong", "nowhere"), el("strong", "c"), el("strongly", "nowhere")});
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
}

// The messages are compared end to end; these are the cells that a failed
// build leaves, which no report shows.
TEST(ProcessXml, CellsOfAFailedBuild) {
    XMLENTITY *root = el(
        "design_process",
        {activity("A", "x", {el("strong", "nowhere"), el("weak", "z")}),
         activity("B", "x", {el("strong", "c1")}),
         el("output", {el("name", "o1"), el("icd", "c1")}),
         activity("C", "c1"),
         el("constraint", {el("data", "c1")}),
         el("design_activity", {el("data", "z"), el("icd", "x"), el("weak", nullptr)}),
         el("output", {el("name", "o2"), el("weak", "missing"), el("strong", "z")})});
    Build b(root);
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
        Build b(el("design_process", {activity("a", "x", {el("strong", "x")})}));
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
    Build b(el("design_process", {el("output", {el("name", "o"), el("strong", "y")}), activity("a", "x"),
                                  el("output", {el("name", "p"), el("icd", "x")}), activity("b", "y")}));
    ASSERT_EQ(b.result, 0);
    ASSERT_NE(b.dt.T, nullptr);
    EXPECT_EQ(b.dt.T[0], nullptr);
    EXPECT_EQ(b.dt.T[1], nullptr);
    EXPECT_STREQ(b.dt.R[0], "0S");
    EXPECT_STREQ(b.dt.R[1], "I0");
}
