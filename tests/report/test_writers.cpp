// The three report writers. Whole reports of real inputs are compared byte
// for byte by the end-to-end cases; these cover what no input there reaches:
// absent values and an unknown time, wide numbers, odd codes, quoting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "report/report_fixture.h"

using namespace report_test;

namespace {

std::string txt(const KAVELON *dt, const char *stamp = kStamp) {
    return write_report(kavelon_write_txt_with_stamp, dt, stamp);
}
std::string csv(const KAVELON *dt, const char *stamp = kStamp) {
    return write_report(kavelon_write_csv_with_stamp, dt, stamp);
}

const char *kHeadingStart =
    "\" Design Activity Number\",\" Design Activity\",\" Design data\",\" Block Number\",\" Subblock "
    "Number\",\" Predecessor Block Number\"";

// The line of the report that starts with the given text, or "".
std::string line_starting(const std::string &report, const std::string &start) {
    size_t at = report.rfind("\n" + start);
    if (at == std::string::npos) return "";
    at++;
    return report.substr(at, report.find('\n', at) - at);
}

}  // namespace

// Absent values leave their lines (txt, xml) or their text (csv) out, empty
// ones stay; a time that could not be had is "unknown" or no element at all.
TEST(Writers, AbsentValuesAndUnknownTime) {
    const struct {
        Writer writer;
        const char *expected_start;
    } cases[] = {
        {kavelon_write_txt_with_stamp,
         "kavelon version      = 2.0\n"
         "kavelon version date = Jun 26 2021\n"
         "Design Process Name = \n"
         "Version Date        = \n"
         "File Creation Time  = unknown\n"
         "\n"
         "   0                    a                    x  1  1  0 X\n"},
        {kavelon_write_csv_with_stamp,
         "\"kavelon version\",\" 2.0\"\n"
         "\"kavelon version date\",\" Jun 26 2021\"\n"
         "\n"
         "\"Design Process Name\",\" \"\n"
         "\n"
         "\"Version Date\",\" \"\n"
         "\"File Creation Time\",\" unknown\"\n"
         "\n"
         "\" Design Activity Number\""},
        {kavelon_write_xml_with_stamp,
         "<kavelon>\n"
         "<kavelon_version>2.0</kavelon_version>\n"
         "<kavelon_version_date>Jun 26 2021</kavelon_version_date>\n"
         "<name></name>\n"
         "<version_date></version_date>\n"
         "<block>\n"},
    };
    for (const auto &c : cases) {
        Model m;
        m.activities = {{"a", "x", 1, 1, 0, "0", ""}};
        const char *header[5] = {nullptr, "", nullptr, "", nullptr};
        std::copy(header, header + 5, m.header);
        const std::string report = write_report(c.writer, m.build(), nullptr);
        EXPECT_EQ(report.substr(0, std::strlen(c.expected_start)), c.expected_start);
    }
}

TEST(Writers, NumbersWidenTheirFieldsAndLongNamesStayWholeOutsideTheTxtTable) {
    Model m;
    const std::string long_name(45, 'n');
    m.activities = {{long_name, "d", 100, 1000, 99, "0", ""}};
    KAVELON *dt = m.build();
    const std::string t = txt(dt);
    EXPECT_EQ(line_starting(t, "   0"), "   0 nnnnnnnnnnnnnnnnnnnn                    d 100 1000 99 X");
    EXPECT_EQ(line_starting(t, "BLOCK"), "BLOCK Nbr 100 :  Depends on Predecessor BLOCK Nbr 99");
    EXPECT_EQ(line_starting(t, "   Design Activity "),
              "   Design Activity " + long_name + " Produces Data d and depends on:");
    EXPECT_EQ(line_starting(csv(dt), "   0"), "   0,\" " + long_name + "\" ,\" d\",100,1000,99 ,0 , ");
    EXPECT_NE(write_report(kavelon_write_xml_with_stamp, dt).find(
                  "<block_number>100</block_number>\n<predecessor_block>99</predecessor_block>\n"),
              std::string::npos);

    // A thousand and one activities: the row number takes five columns.
    Model big;
    for (int i = 0; i < 1001; i++) {
        big.activities.push_back(
            {"a" + std::to_string(i), "d" + std::to_string(i), 1, i + 1, 0, std::string(1001, '0'), ""});
    }
    KAVELON *bdt = big.build();
    const std::string bt = txt(bdt);
    EXPECT_EQ(line_starting(bt, " 999").substr(0, 46), " 999                 a999                 d999");
    EXPECT_EQ(line_starting(bt, " 1000").substr(0, 50), " 1000                a1000                d1000  1");
    std::string cells;
    for (int j = 0; j < 1000; j++) cells += ",0";
    EXPECT_EQ(line_starting(csv(bdt), " 1000"), " 1000,\" a1000\" ,\" d1000\",1,1001,0 " + cells + ",1000 , ");
}

TEST(TxtReport, UnknownCodeWritesTheInternalErrorLineAndGoesOn) {
    // The report is the one of the same model without the unknown code, with
    // the error line where that code's dependency would stand.
    Model m, clean;
    m.activities = {{"a", "x", 1, 1, 0, "0?I", ""}, {"b", "y", 1, 2, 0, "000", ""}, {"c", "z", 1, 3, 0, "000", ""}};
    clean.activities = m.activities;
    clean.activities[0].p_row = "00I";
    std::string expected = txt(clean.build());
    const std::string before_icd = "depends on:\n      (ICD)                              z";
    const size_t at = expected.find(before_icd);
    ASSERT_NE(at, std::string::npos) << expected;
    ASSERT_EQ(expected.find(before_icd, at + 1), std::string::npos);
    expected.insert(at + std::strlen("depends on:\n"), "      *** Internal error ***\n");
    std::string got = txt(m.build());
    // The matrix rows show the code as it stands.
    const size_t row = got.find(" X?I\n");
    ASSERT_NE(row, std::string::npos) << got;
    got.replace(row, 5, " X0I\n");
    EXPECT_EQ(got, expected);
}

TEST(CsvReport, DoubleQuotesInValuesAreDoubledAndNothingElseChanges) {
    Model m;
    const char *header[5] = {"in\"put.xml", "The \"big\" one", "\"", "a,b", "\"\""};
    std::copy(header, header + 5, m.header);
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

TEST(CsvReport, OutputRowsCountFromZeroWithZeroBlockFields) {
    Model m;
    m.activities = {{"a", "x", 1, 1, 0, "00", "00"}, {"b", "y", 2, 0, 1, "S0", "0I"}};
    m.constraints = {"c0", "c1"};
    m.outputs = {{"first", "0S", "W0"}, {"second", "IW", "0S"}};
    const std::string report = csv(m.build());
    EXPECT_EQ(report.substr(report.find("   1,")), "   1,\" b\" ,\" y\",2,0,1 ,S,1 , ,0,I\n"
                                                   "   0,\" Output \" ,\" first\",0,0,0 ,0,S , ,W,0\n"
                                                   "   1,\" Output \" ,\" second\",0,0,0 ,I,W , ,0,S\n"
                                                   "\n");
}
