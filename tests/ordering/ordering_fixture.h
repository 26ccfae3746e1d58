// Small hand-built run records for the ordering tests: the matrices, names
// and ordering states live in the fixture, the KAVELON record points at them.
#ifndef KAVELON_TESTS_ORDERING_FIXTURE_H
#define KAVELON_TESTS_ORDERING_FIXTURE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "model/rows_fixture.h"
#include "ordering/steps.h"
#include "test_util.h"

namespace ordering_test {

// The record's tables are its own, made and released by the run record;
// the names point into the fixture.
struct Record {
    std::vector<std::string> activity_names, data_names;
    ACTSTATE *states = nullptr;  // the ordering states, in input order
    KAVELON dt;
    Record() { kavelon_initialize(&dt); }
    ~Record() { kavelon_release_tables(&dt); }
    Record(const Record &) = delete;
    Record &operator=(const Record &) = delete;
};

using rows_test::row_codes;

// Rows of P (consumer by producer), optional activity names (default a0,
// a1, ...; data names d0, d1, ...), optional Q rows and R and T rows. With no
// Q rows the record holds none, as a model without constraints does.
inline std::unique_ptr<Record> make_record(const std::vector<std::string> &p_rows,
                                           const std::vector<std::string> &names = {},
                                           const std::vector<std::string> &q_rows = {},
                                           const std::vector<std::string> &r_rows = {},
                                           const std::vector<std::string> &t_rows = {}) {
    auto rec = std::make_unique<Record>();
    const int n = static_cast<int>(p_rows.size());
    for (int i = 0; i < n; i++) {
        rec->activity_names.push_back(names.empty() ? "a" + std::to_string(i) : names[i]);
        rec->data_names.push_back("d" + std::to_string(i));
    }
    KAVELON &dt = rec->dt;
    dt.n = n;
    dt.nQ = q_rows.empty() ? 0 : static_cast<int>(q_rows[0].size());
    dt.nR = static_cast<int>(r_rows.size());
    using rows_test::cells_in;
    using rows_test::fill_rows;
    const size_t activity_cells = std::max(cells_in(p_rows), cells_in(q_rows));
    const size_t output_cells = std::max(cells_in(r_rows), cells_in(t_rows));
    EXPECT_EQ(kavelon_create_tables(&dt, activity_cells, output_cells), 0);
    for (int i = 0; i < n; i++) {
        dt.design_activity_name[i] = rec->activity_names[i].data();
        dt.design_data_name[i] = rec->data_names[i].data();
    }
    rec->states = dt.states;
    fill_rows(dt.P, n, p_rows);
    if (dt.nQ > 0) fill_rows(dt.Q, n, q_rows);
    if (dt.nR > 0) {
        fill_rows(dt.R, dt.nR, r_rows);
        if (dt.nQ > 0) fill_rows(dt.T, dt.nR, t_rows);
    }
    return rec;
}

inline std::vector<std::string> activity_order(const KAVELON &dt) {
    std::vector<std::string> v;
    for (int i = 0; i < dt.n; i++) v.push_back(dt.design_activity_name[i]);
    return v;
}

// One field of every row's state, e.g. &ACTSTATE::trial_chain.
inline std::vector<int> field(const KAVELON &dt, int32_t ACTSTATE::*member) {
    std::vector<int> v;
    for (int i = 0; i < dt.n; i++) v.push_back(dt.d[i]->*member);
    return v;
}

inline void set_field(KAVELON &dt, int32_t ACTSTATE::*member, const std::vector<int> &values) {
    for (int i = 0; i < dt.n; i++) dt.d[i]->*member = values[i];
}

// Runs an ordering stage in debug mode and returns what it wrote to
// standard output.
template <typename Stage>
std::string capture_trace(KAVELON &dt, Stage stage, int *result = nullptr) {
    const int32_t saved_debug = dt.debug;
    dt.debug = 1;
    int r = 0;
    std::string out = test_util::stdout_of([&] { r = stage(&dt); });
    dt.debug = saved_debug;
    if (result != nullptr) *result = r;
    return out;
}

}  // namespace ordering_test

#endif
