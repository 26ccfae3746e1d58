// Hand-built run records for the report tests, and a way to catch a report
// in a string.
#ifndef KAVELON_TESTS_REPORT_FIXTURE_H
#define KAVELON_TESTS_REPORT_FIXTURE_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "model/rows_fixture.h"
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

// Owns every name it points the record at; the tables are the record's own,
// made by the run record as the model builder makes them (Q always has n
// rows, holding cells only with constraints, R and T only with outputs).
// Header values are given as pointers, nullptr meaning absent.
struct Model {
    std::vector<Activity> activities;
    std::vector<std::string> constraints;
    std::vector<Output> outputs;
    const char *header[5] = {"design.xml", "Wing study", "3", "2021-06-26", "Concept"};

    KAVELON dt{};
    std::deque<std::string> text;

    Model() { kavelon_initialize(&dt); }
    ~Model() { kavelon_release_tables(&dt); }
    Model(const Model &) = delete;
    Model &operator=(const Model &) = delete;

    char *keep(const std::string &s) { return &text.emplace_back(s)[0]; }
    char *keep_or_null(const char *s) { return s != nullptr ? keep(s) : nullptr; }

    KAVELON *build() {
        using rows_test::cells_in;
        using rows_test::fill_rows;
        std::vector<std::string> p, q, r, t;
        for (const Activity &a : activities) {
            p.push_back(a.p_row);
            q.push_back(a.q_row);
        }
        for (const Output &o : outputs) {
            r.push_back(o.r_row);
            t.push_back(o.t_row);
        }
        dt.n = static_cast<int32_t>(activities.size());
        dt.nQ = static_cast<int32_t>(constraints.size());
        dt.nR = static_cast<int32_t>(outputs.size());
        if (kavelon_create_tables(&dt, std::max(cells_in(p), cells_in(q)),
                                  std::max(cells_in(r), cells_in(t))) != 0)
            return nullptr;
        for (int32_t i = 0; i < dt.n; i++) {
            const Activity &a = activities[static_cast<size_t>(i)];
            dt.design_activity_name[i] = keep(a.name);
            dt.design_data_name[i] = keep(a.data);
            *dt.d[i] = ACTSTATE{a.block, a.subblock, a.predecessor, 0, 0, 0, 0};
        }
        for (int32_t k = 0; k < dt.nQ; k++) dt.constraint_name[k] = keep(constraints[static_cast<size_t>(k)]);
        for (int32_t o = 0; o < dt.nR; o++) dt.output_name[o] = keep(outputs[static_cast<size_t>(o)].name);
        fill_rows(dt.P, dt.n, p);
        if (dt.nQ > 0) fill_rows(dt.Q, dt.n, q);
        if (dt.nR > 0) {
            fill_rows(dt.R, dt.nR, r);
            if (dt.nQ > 0) fill_rows(dt.T, dt.nR, t);
        }
        dt.nblock = activities.empty() ? 0 : activities.back().block;
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
