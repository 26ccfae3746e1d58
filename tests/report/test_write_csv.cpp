#include <gtest/gtest.h>

#include "report_fixture.h"

using namespace report_test;

namespace {

const char *kFullHeader =
    "\"kavelon version\",\" 2.0\"\n"
    "\"kavelon version date\",\" Jun 26 2021\"\n"
    "\"XML Input Filename\",\" design.xml\"\n"
    "\"Design Process Name\",\" Wing study\"\n"
    "\"Version Number\",\" 3\"\n"
    "\"Version Date\",\" 2021-06-26\"\n"
    "\"Study Name\",\" Concept\"\n"
    "\"File Creation Time\",\" Fri Feb 13 23:31:30 2009\"\n"
    "\n";

const char *kExampleBody =
    "\" Design Activity Number\",\" Design Activity\",\" Design data\",\" Block Number\",\" Subblock "
    "Number\",\" Predecessor Block Number\",\" D3\",\" D1\",\" D2\" , ,\" C1\"\n"
    "   0,\" A3\" ,\" D3\",1,1,0 ,0,W,I , ,S\n"
    "   1,\" A1\" ,\" D1\",2,0,1 ,S,1,S , ,0\n"
    "   2,\" A2\" ,\" D2\",2,0,1 ,W,S,2 , ,W\n"
    "   0,\" Output \" ,\" O1\",0,0,0 ,S,0,0 , ,W\n"
    "\n";

const char *kHeadingStart =
    "\" Design Activity Number\",\" Design Activity\",\" Design data\",\" Block Number\",\" Subblock "
    "Number\",\" Predecessor Block Number\"";

std::string csv(const KAVELON *dt, const char *stamp = kStamp) {
    return write_report(kavelon_write_csv_with_stamp, dt, stamp);
}

}  // namespace

TEST(CsvReport, ReproducesWorkedExample) {
    Model m = example_model();
    KAVELON *dt = m.build();
    EXPECT_EQ(csv(dt), std::string(kFullHeader) + kExampleBody);
    EXPECT_STREQ(dt->P[1], "S0S");
}

TEST(CsvReport, AbsentValuesLeaveEmptyLinesExceptTheStudyName) {
    Model m = example_model();
    m.xml_filename = nullptr;
    m.name = "";
    m.version = nullptr;
    m.version_date = nullptr;
    m.study_name = nullptr;
    const std::string report = csv(m.build());
    EXPECT_EQ(report, std::string("\"kavelon version\",\" 2.0\"\n"
                                  "\"kavelon version date\",\" Jun 26 2021\"\n"
                                  "\n"
                                  "\"Design Process Name\",\" \"\n"
                                  "\n"
                                  "\n"
                                  "\"File Creation Time\",\" Fri Feb 13 23:31:30 2009\"\n"
                                  "\n") +
                          kExampleBody);
    // The heading row is the ninth line without a study name, else the tenth.
    EXPECT_EQ(lines_of(report)[8].substr(0, 25), "\" Design Activity Number\"");
    Model with_study = example_model();
    with_study.version = "";
    with_study.study_name = "";
    const std::vector<std::string> lines = lines_of(csv(with_study.build()));
    EXPECT_EQ(lines[4], "\"Version Number\",\" \"");
    EXPECT_EQ(lines[6], "\"Study Name\",\" \"");
    EXPECT_EQ(lines[9].substr(0, 25), "\" Design Activity Number\"");
}

TEST(CsvReport, UnknownTimeIsWrittenAsTheWordUnknown) {
    Model m = example_model();
    const std::string header = kFullHeader;
    EXPECT_EQ(csv(m.build(), nullptr), header.substr(0, header.find("\"File Creation Time\"")) +
                                           "\"File Creation Time\",\" unknown\"\n\n" + kExampleBody);
}

TEST(CsvReport, DoubleQuotesInValuesAreDoubledAndNothingElseChanges) {
    Model m;
    m.xml_filename = "in\"put.xml";
    m.name = "The \"big\" one";
    m.version = "\"";
    m.version_date = "a,b";
    m.study_name = "\"\"";
    m.activities = {{"Size \"A\"", "span \"m\"", 1, 1, 0, "0", "S"}};
    m.constraints = {"limit \"x\", hard"};
    m.outputs = {{"out\"", "W", "I"}};
    EXPECT_EQ(csv(m.build()),
              "\"kavelon version\",\" 2.0\"\n"
              "\"kavelon version date\",\" Jun 26 2021\"\n"
              "\"XML Input Filename\",\" in\"\"put.xml\"\n"
              "\"Design Process Name\",\" The \"\"big\"\" one\"\n"
              "\"Version Number\",\" \"\"\"\n"
              "\"Version Date\",\" a,b\"\n"
              "\"Study Name\",\" \"\"\"\"\"\n"
              "\"File Creation Time\",\" Fri Feb 13 23:31:30 2009\"\n"
              "\n" +
                  std::string(kHeadingStart) +
                  ",\" span \"\"m\"\"\" , ,\" limit \"\"x\"\", hard\"\n"
                  "   0,\" Size \"\"A\"\"\" ,\" span \"\"m\"\"\",1,1,0 ,0 , ,S\n"
                  "   0,\" Output \" ,\" out\"\"\",0,0,0 ,W , ,I\n"
                  "\n");
}

TEST(CsvReport, DiagonalHoldsTheRowNumberEvenForASelfDependency) {
    Model m;
    m.activities = {{"a", "x", 1, 1, 0, "S0", ""}, {"b", "y", 1, 2, 0, "WW", ""}};
    KAVELON *dt = m.build();
    const std::vector<std::string> lines = lines_of(csv(dt));
    ASSERT_GE(lines.size(), 12u);
    EXPECT_EQ(lines[10], "   0,\" a\" ,\" x\",1,1,0 ,0,0 , ");
    EXPECT_EQ(lines[11], "   1,\" b\" ,\" y\",1,2,0 ,W,1 , ");
    EXPECT_STREQ(dt->P[0], "S0");
}

TEST(CsvReport, WithoutConstraintsAndOutputs) {
    Model m;
    m.activities = {{"a", "x", 1, 1, 0, "0", ""}};
    const std::string report = csv(m.build());
    const std::string header = kFullHeader;
    EXPECT_EQ(report.substr(header.size()), std::string(kHeadingStart) +
                                                ",\" x\" , \n"
                                                "   0,\" a\" ,\" x\",1,1,0 ,0 , \n"
                                                "\n");
}

TEST(CsvReport, OutputRowsCountFromZeroWithZeroBlockFields) {
    Model m;
    m.activities = {{"a", "x", 1, 1, 0, "00", "00"}, {"b", "y", 2, 0, 1, "S0", "0I"}};
    m.constraints = {"c0", "c1"};
    m.outputs = {{"first", "0S", "W0"}, {"second", "IW", "0S"}};
    const std::vector<std::string> lines = lines_of(csv(m.build()));
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[9], std::string(kHeadingStart) + ",\" x\",\" y\" , ,\" c0\",\" c1\"");
    EXPECT_EQ(lines[11], "   1,\" b\" ,\" y\",2,0,1 ,S,1 , ,0,I");
    EXPECT_EQ(lines[12], "   0,\" Output \" ,\" first\",0,0,0 ,0,S , ,W,0");
    EXPECT_EQ(lines[13], "   1,\" Output \" ,\" second\",0,0,0 ,I,W , ,0,S");
    EXPECT_EQ(lines[14], "");
}

TEST(CsvReport, LargeNumbersWidenAndLongNamesStayWhole) {
    Model m;
    const std::string long_name(45, 'n');
    m.activities = {{long_name, "data " + long_name, 1234, 100, 1000, "0", ""}};
    const std::vector<std::string> lines = lines_of(csv(m.build()));
    EXPECT_EQ(lines[10], "   0,\" " + long_name + "\" ,\" data " + long_name + "\",1234,100,1000 ,0 , ");

    Model big = many_activities(1001);
    const std::vector<std::string> big_lines = lines_of(csv(big.build()));
    ASSERT_GE(big_lines.size(), 10u + 1001u);
    const std::string &row = big_lines[10 + 1000];
    EXPECT_EQ(row.substr(0, 34), " 1000,\" a1000\" ,\" d1000\",1,1001,0 ");
    // 1000 cells of '0', then the diagonal number, then the separator field.
    EXPECT_EQ(row.substr(34), [] {
        std::string cells;
        for (int j = 0; j < 1000; j++) cells += ",0";
        return cells + ",1000 , ";
    }());
    EXPECT_EQ(big_lines[10 + 999].substr(0, 30), " 999,\" a999\" ,\" d999\",1,1000,0");
}
