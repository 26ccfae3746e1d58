// A run record built in memory from rows of P, for the ordering tests. Every
// table is an ordinary heap copy owned by the fixture.
#ifndef KAVELON_TESTS_DSM_FIXTURE_H
#define KAVELON_TESTS_DSM_FIXTURE_H

#include <memory>
#include <string>
#include <vector>

#include "kavelon.h"

struct DsmFixture {
    KAVELON dt;
    std::vector<std::vector<char>> p_rows, q_rows, r_rows;
    std::vector<char *> P, Q, R;
    std::vector<std::string> activity, data;
    std::vector<char *> activity_ptr, data_ptr;
    std::vector<ACTSTATE> states;
    std::vector<ACTSTATE *> d;

    // Activity i is named "a<i>" and produces "d<i>"; q and r may be empty.
    explicit DsmFixture(const std::vector<std::string> &p, const std::vector<std::string> &q = {},
                        const std::vector<std::string> &r = {}) {
        kavelon_initialize(&dt);
        const size_t n = p.size();
        auto own = [](const std::string &s) { return std::vector<char>(s.c_str(), s.c_str() + s.size() + 1); };
        for (const auto &row : p) p_rows.push_back(own(row));
        for (const auto &row : q) q_rows.push_back(own(row));
        for (const auto &row : r) r_rows.push_back(own(row));
        for (auto &row : p_rows) P.push_back(row.data());
        for (size_t i = 0; i < n; i++) Q.push_back(q.empty() ? nullptr : q_rows[i].data());
        for (auto &row : r_rows) R.push_back(row.data());
        for (size_t i = 0; i < n; i++) {
            activity.push_back("a" + std::to_string(i));
            data.push_back("d" + std::to_string(i));
        }
        for (size_t i = 0; i < n; i++) {
            activity_ptr.push_back(&activity[i][0]);
            data_ptr.push_back(&data[i][0]);
        }
        states.assign(n, ACTSTATE{});
        for (auto &s : states) d.push_back(&s);
        dt.n = static_cast<int32_t>(n);
        dt.P = P.data();
        dt.Q = Q.data();
        dt.nQ = q.empty() ? 0 : static_cast<int32_t>(q[0].size());
        dt.R = r.empty() ? nullptr : R.data();
        dt.nR = static_cast<int32_t>(r.size());
        dt.d = d.data();
        dt.design_activity_name = activity_ptr.data();
        dt.design_data_name = data_ptr.data();
    }
    DsmFixture(const DsmFixture &) = delete;
    DsmFixture &operator=(const DsmFixture &) = delete;

    // Activity names in current row order, joined by blanks.
    std::string order() const {
        std::string s;
        for (int i = 0; i < dt.n; i++) s += (i ? " " : "") + std::string(dt.design_activity_name[i]);
        return s;
    }
    std::string row(int i) const { return dt.P[i]; }
};

#endif
