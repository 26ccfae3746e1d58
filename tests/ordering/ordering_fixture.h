// Small hand-built run records for the ordering tests: the matrices, names
// and ordering states live in the fixture, the KAVELON record points at them.
#ifndef KAVELON_TESTS_ORDERING_FIXTURE_H
#define KAVELON_TESTS_ORDERING_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ordering/steps.h"
#include "test_util.h"

namespace ordering_test {

struct Record {
    std::vector<std::string> p_rows, q_rows, r_rows, t_rows;
    std::vector<std::string> activity_names, data_names;
    std::vector<char *> P, Q, R, T, activity_ptrs, data_ptrs;
    std::vector<ACTSTATE> states;
    std::vector<ACTSTATE *> d;
    KAVELON dt;
};

inline std::vector<char *> pointers_to(std::vector<std::string> &texts) {
    std::vector<char *> result;
    for (auto &t : texts) result.push_back(t.data());
    return result;
}

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
    rec->p_rows = p_rows;
    rec->q_rows = q_rows;
    rec->r_rows = r_rows;
    rec->t_rows = t_rows;
    for (int i = 0; i < n; i++) {
        rec->activity_names.push_back(names.empty() ? "a" + std::to_string(i) : names[i]);
        rec->data_names.push_back("d" + std::to_string(i));
    }
    rec->P = pointers_to(rec->p_rows);
    rec->Q = pointers_to(rec->q_rows);
    if (rec->Q.empty()) rec->Q.assign(n, nullptr);
    rec->R = pointers_to(rec->r_rows);
    rec->T = pointers_to(rec->t_rows);
    rec->activity_ptrs = pointers_to(rec->activity_names);
    rec->data_ptrs = pointers_to(rec->data_names);
    rec->states.assign(n, ACTSTATE{});
    for (auto &s : rec->states) rec->d.push_back(&s);

    KAVELON &dt = rec->dt;
    kavelon_initialize(&dt);
    dt.n = n;
    dt.P = rec->P.data();
    dt.Q = rec->Q.data();
    dt.d = rec->d.data();
    dt.design_activity_name = rec->activity_ptrs.data();
    dt.design_data_name = rec->data_ptrs.data();
    dt.nQ = q_rows.empty() ? 0 : static_cast<int>(q_rows[0].size());
    dt.nR = static_cast<int>(r_rows.size());
    if (dt.nR > 0) {
        dt.R = rec->R.data();
        if (t_rows.empty()) rec->T.assign(dt.nR, nullptr);
        dt.T = rec->T.data();
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
