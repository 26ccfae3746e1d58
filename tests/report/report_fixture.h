// Hand-built run records for the report tests, and a way to catch a report
// in a string.
#ifndef KAVELON_TESTS_REPORT_FIXTURE_H
#define KAVELON_TESTS_REPORT_FIXTURE_H

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "report/report.h"
#include "test_util.h"

namespace report_test {

struct Activity {
    std::string name, data;
    int block, subblock, predecessor;
    std::string p_row;  // n codes
    std::string q_row;  // nQ codes
};

struct Output {
    std::string name, r_row, t_row;  // n and nQ codes
};

// Owns every row and name it points the record at; header values are given
// as pointers, nullptr meaning absent. Q always has n entries, its rows and
// those of T exist only with constraints, R and T only with outputs, as the
// model builder leaves them.
struct Model {
    std::vector<Activity> activities;
    std::vector<std::string> constraints;
    std::vector<Output> outputs;
    const char *header[5] = {"design.xml", "Wing study", "3", "2021-06-26", "Concept"};

    KAVELON dt{};
    std::deque<std::string> text;
    std::vector<char *> P, Q, R, T, activity_names, data_names, constraint_names, output_names;
    std::deque<ACTSTATE> states;
    std::vector<ACTSTATE *> d;

    char *keep(const std::string &s) { return &text.emplace_back(s)[0]; }
    char *keep_or_null(const char *s) { return s != nullptr ? keep(s) : nullptr; }

    KAVELON *build() {
        const bool with_q = !constraints.empty();
        kavelon_initialize(&dt);
        for (const Activity &a : activities) {
            P.push_back(keep(a.p_row));
            Q.push_back(with_q ? keep(a.q_row) : nullptr);
            activity_names.push_back(keep(a.name));
            data_names.push_back(keep(a.data));
            d.push_back(&states.emplace_back(ACTSTATE{a.block, a.subblock, a.predecessor, 0, 0, 0, 0}));
        }
        for (const std::string &c : constraints) constraint_names.push_back(keep(c));
        for (const Output &o : outputs) {
            R.push_back(keep(o.r_row));
            T.push_back(with_q ? keep(o.t_row) : nullptr);
            output_names.push_back(keep(o.name));
        }
        dt.n = static_cast<int32_t>(activities.size());
        dt.nQ = static_cast<int32_t>(constraints.size());
        dt.nR = static_cast<int32_t>(outputs.size());
        dt.nblock = states.empty() ? 0 : states.back().block_order;
        dt.P = P.data();
        dt.Q = Q.data();
        dt.d = d.data();
        dt.design_activity_name = activity_names.data();
        dt.design_data_name = data_names.data();
        if (with_q) dt.constraint_name = constraint_names.data();
        if (!outputs.empty()) {
            dt.R = R.data();
            dt.T = T.data();
            dt.output_name = output_names.data();
        }
        dt.xml_filename = keep_or_null(header[0]);
        dt.name = keep_or_null(header[1]);
        dt.version = keep_or_null(header[2]);
        dt.version_date = keep_or_null(header[3]);
        dt.study_name = keep_or_null(header[4]);
        return &dt;
    }
};

// A fixed stamp, as the clock would give it.
constexpr const char *kStamp = "Fri Feb 13 23:31:30 2009\n";

using Writer = int (*)(const KAVELON *, FILE *, const char *);

inline std::string write_report(Writer writer, const KAVELON *dt, const char *stamp = kStamp) {
    int result = 0;
    std::string s = test_util::written_by([&](FILE *out) { result = writer(dt, out, stamp); });
    if (result != 0) s += "<<writer returned non-zero>>";
    return s;
}

}  // namespace report_test

#endif
