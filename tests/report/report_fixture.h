// Hand-built run records for the report tests, and a way to catch a report
// in a string.
#ifndef KAVELON_TESTS_REPORT_FIXTURE_H
#define KAVELON_TESTS_REPORT_FIXTURE_H

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kavelon.h"
#include "report.h"

namespace report_test {

struct Activity {
    std::string name;
    std::string data;
    int block;
    int subblock;
    int predecessor;
    std::string p_row;  // n codes
    std::string q_row;  // nQ codes
};

struct Output {
    std::string name;
    std::string r_row;  // n codes
    std::string t_row;  // nQ codes
};

// Owns every row and name it points the record at; header values are given
// as pointers, nullptr meaning absent.
struct Model {
    std::vector<Activity> activities;
    std::vector<std::string> constraints;
    std::vector<Output> outputs;
    const char *xml_filename = "design.xml";
    const char *name = "Wing study";
    const char *version = "3";
    const char *version_date = "2021-06-26";
    const char *study_name = "Concept";

    KAVELON dt{};
    std::vector<std::vector<char>> text;
    std::vector<char *> P, Q, R, T, activity_names, data_names, constraint_names, output_names;
    std::vector<ACTSTATE> states;
    std::vector<ACTSTATE *> d;

    char *keep(const std::string &s) {
        text.emplace_back(s.begin(), s.end());
        text.back().push_back('\0');
        return text.back().data();
    }
    char *keep_or_null(const char *s) { return s != nullptr ? keep(s) : nullptr; }

    // Builds the record as the model builder and the ordering leave it: Q
    // always has n entries, its rows and those of T exist only with
    // constraints, R and T only with outputs. Once per model.
    KAVELON *build() {
        if (!text.empty()) std::abort();
        const size_t n = activities.size(), nQ = constraints.size(), nR = outputs.size();
        text.reserve(4 * n + 3 * nR + nQ + 8);
        states.reserve(n);
        kavelon_initialize(&dt);
        for (const Activity &a : activities) {
            P.push_back(keep(a.p_row));
            Q.push_back(nQ > 0 ? keep(a.q_row) : nullptr);
            activity_names.push_back(keep(a.name));
            data_names.push_back(keep(a.data));
            states.push_back(ACTSTATE{a.block, a.subblock, a.predecessor, 0, 0, 0, 0});
        }
        for (ACTSTATE &s : states) d.push_back(&s);
        for (const std::string &c : constraints) constraint_names.push_back(keep(c));
        for (const Output &o : outputs) {
            R.push_back(keep(o.r_row));
            T.push_back(nQ > 0 ? keep(o.t_row) : nullptr);
            output_names.push_back(keep(o.name));
        }
        dt.n = static_cast<int32_t>(n);
        dt.nQ = static_cast<int32_t>(nQ);
        dt.nR = static_cast<int32_t>(nR);
        dt.nblock = n > 0 ? states.back().block_order : 0;
        dt.P = P.data();
        dt.Q = Q.data();
        dt.d = d.data();
        dt.design_activity_name = activity_names.data();
        dt.design_data_name = data_names.data();
        if (nQ > 0) dt.constraint_name = constraint_names.data();
        if (nR > 0) {
            dt.R = R.data();
            dt.T = T.data();
            dt.output_name = output_names.data();
        }
        dt.xml_filename = keep_or_null(xml_filename);
        dt.name = keep_or_null(name);
        dt.version = keep_or_null(version);
        dt.version_date = keep_or_null(version_date);
        dt.study_name = keep_or_null(study_name);
        return &dt;
    }
};

// The record of the worked example: A3 alone in block 1, A1 and A2 solved
// together in block 2; one constraint and one output.
inline Model example_model() {
    Model m;
    m.activities = {{"A3", "D3", 1, 1, 0, "0WI", "S"},
                    {"A1", "D1", 2, 0, 1, "S0S", "0"},
                    {"A2", "D2", 2, 0, 1, "WS0", "W"}};
    m.constraints = {"C1"};
    m.outputs = {{"O1", "S00", "W"}};
    return m;
}

// A fixed stamp, as the clock would give it.
constexpr const char *kStamp = "Fri Feb 13 23:31:30 2009\n";

using Writer = int (*)(const KAVELON *, FILE *, const char *);

inline std::string write_report(Writer writer, const KAVELON *dt, const char *stamp = kStamp) {
    char *buf = nullptr;
    size_t len = 0;
    FILE *out = open_memstream(&buf, &len);
    const int result = writer(dt, out, stamp);
    std::fclose(out);
    std::string s(buf, len);
    std::free(buf);
    if (result != 0) s += "<<writer returned non-zero>>";
    return s;
}

// The lines of a report, each without its newline.
inline std::vector<std::string> lines_of(const std::string &s) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < s.size()) {
        size_t end = s.find('\n', start);
        if (end == std::string::npos) end = s.size();
        lines.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// n activities without dependencies, all in one independent block.
inline Model many_activities(int n) {
    Model m;
    for (int i = 0; i < n; i++) {
        m.activities.push_back(
            {"a" + std::to_string(i), "d" + std::to_string(i), 1, i + 1, 0, std::string(n, '0'), ""});
    }
    return m;
}

}  // namespace report_test

#endif
