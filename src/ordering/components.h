// Inside the ordering: the graph of rows and its strongly connected
// components, which the block search computes and the sequencing also uses
// to split a block into its cyclic parts.
#ifndef KAVELON_ORDERING_COMPONENTS_H
#define KAVELON_ORDERING_COMPONENTS_H

#include <cstddef>
#include <cstdint>
#include <vector>

// A graph of rows as compressed lists: the arcs of row i lead to the rows
// input[first[i]] .. input[first[i + 1] - 1]. Offsets are 64 bits wide, as
// the cells of all rows may exceed 2^31.
struct ROWGRAPH {
    std::vector<size_t> first;
    std::vector<int32_t> input;
};
// Its strongly connected components, each numbered after every component it
// reaches: the component of each row, and the members of component c,
// member[first[c]] .. member[first[c + 1] - 1].
struct COMPONENTS {
    std::vector<int32_t> of_row;
    std::vector<int32_t> first;
    std::vector<int32_t> member;
};
void kavelon_find_components(const ROWGRAPH *g, int32_t n, COMPONENTS *c);

#endif
