#!/usr/bin/env python3
"""The benchmark's peer: what a short script does with the standard XML
parser and networkx, to put kavelon's "-fXML" run beside it.

    bench/peer_networkx.py INPUT OUTPUT

Reads a design process with ElementTree, partitions the activities by the
strongly connected components of the strong dependencies
(networkx.condensation), numbers and orders the blocks, the rows and the
predecessor blocks the way kavelon does, and writes an XML report of the same
shape as kavelon's "-fXML" report to OUTPUT, with INPUT as the file name in
it and the local time as the creation time.

Checked against kavelon on the generated benchmark inputs (bench/run.sh
--check does it at 1,000 and 10,000 activities of every shape; run.sh also
compares the reports of every run it times) and on the sample inputs of the
tests (tests/fast/peer_report.sh): the two reports are byte for byte
identical once the file_creation_time line is taken out. The peer handles what the generator writes (valid models, plain
names); it does not repeat kavelon's checks of the input, its messages or
the reader's treatment of malformed XML.

How kavelon orders, in terms of the graph whose edge i -> j means that
activity i strongly depends on the data item of activity j (i != j):
  - Blocks are formed one at a time. Whenever unassigned activities exist
    that have no strong input from another unassigned activity, all of them
    together form the next block, an independent one, numbered inside in
    input order (subblock 1, 2, ...).
  - Otherwise the next block is a coupled one: of the strongly connected
    components with no strong input from an unassigned activity outside
    them, the smallest, ties going to the one holding the earliest activity
    of the input.
  - Rows are brought into block order by the swaps of kavelon's in-place
    sort: block by block, the block's rows, in their current order, are
    swapped one by one into the next free position. Later blocks therefore
    need not keep input order; the swaps are replayed here on positions.
  - The predecessor of a block is the highest earlier block on which any of
    its activities strongly depends, 0 if none.
"""
import heapq
import sys
import time
import xml.etree.ElementTree as ET

import networkx as nx

WHITE_SPACE = " \t\n\v\f\r"
TAGS = {"strong": "S", "weak": "W", "icd": "I"}
ELEMENT = {"S": "strong", "W": "weak", "I": "icd"}


def own_text(element):
    """The element's own characters between its children, trimmed."""
    parts = [element.text or ""] + [child.tail or "" for child in element]
    return "".join(parts).strip(WHITE_SPACE)


def last_child_text(element, tag):
    text = None
    for child in element:
        if child.tag == tag:
            text = own_text(child)
    return text


def read_model(path):
    root = ET.parse(path).getroot()
    header = {"name": None, "version": None, "version_date": None, "study_name": None}
    activities, outputs, constraints = [], [], []
    for child in root:
        if child.tag in header:
            header[child.tag] = own_text(child)
        elif child.tag == "design_activity":
            activities.append(child)
        elif child.tag == "output":
            outputs.append(child)
        elif child.tag == "constraint":
            constraints.append(child)
    names = [last_child_text(a, "name") for a in activities]
    data = [last_child_text(a, "data") for a in activities]
    constraint_names = [last_child_text(c, "data") for c in constraints]
    output_names = [last_child_text(o, "name") for o in outputs]
    # The first activity (or constraint) of a name wins, as in kavelon.
    producer, given = {}, {}
    for i, d in enumerate(data):
        producer.setdefault(d, i)
    for k, c in enumerate(constraint_names):
        given.setdefault(c, k)

    def dependencies(element):
        on_activity, on_constraint = {}, {}
        for child in element:
            code = TAGS.get(child.tag)
            if code is None:
                continue
            text = own_text(child)
            if text in producer:
                on_activity[producer[text]] = code  # a later one overwrites
            elif text in given:
                on_constraint[given[text]] = code
        return on_activity, on_constraint

    activity_deps = [dependencies(a) for a in activities]
    output_deps = [dependencies(o) for o in outputs]
    return header, names, data, constraint_names, output_names, activity_deps, output_deps


def identify_blocks(n, activity_deps):
    """Block and subblock of every activity, and the number of blocks."""
    graph = nx.DiGraph()
    graph.add_nodes_from(range(n))
    graph.add_edges_from((i, j) for i in range(n) for j, code in activity_deps[i][0].items()
                         if code == "S" and j != i)
    dag = nx.condensation(graph)
    members = {c: sorted(dag.nodes[c]["members"]) for c in dag.nodes}
    waiting = {c: dag.out_degree(c) for c in dag.nodes}
    block = [0] * n
    subblock = [0] * n
    next_free, ready = [], []

    def make_ready(c):
        if len(members[c]) == 1:
            next_free.append(members[c][0])
        else:
            heapq.heappush(ready, (len(members[c]), members[c][0], c))

    def release(c):
        for p in dag.predecessors(c):
            waiting[p] -= 1
            if waiting[p] == 0:
                make_ready(p)

    for c in dag.nodes:
        if waiting[c] == 0:
            make_ready(c)
    mapping = dag.graph["mapping"]
    nblock = 0
    assigned = 0
    while assigned < n:
        nblock += 1
        if next_free:
            free_rows = sorted(next_free)
            next_free.clear()
            for position, r in enumerate(free_rows, 1):
                block[r] = nblock
                subblock[r] = position
            assigned += len(free_rows)
            for r in free_rows:
                release(mapping[r])
        else:
            _, _, c = heapq.heappop(ready)
            for r in members[c]:
                block[r] = nblock
            assigned += len(members[c])
            release(c)
    return block, subblock, nblock


def sort_rows(n, block, nblock):
    """The row order that kavelon's swap sort leaves: perm[position] = activity."""
    by_block = [[] for _ in range(nblock + 1)]
    for i in range(n):
        by_block[block[i]].append(i)
    perm = list(range(n))
    where = list(range(n))
    next_position = 0
    for b in range(1, nblock + 1):
        for row in sorted(by_block[b], key=where.__getitem__):
            k = where[row]
            if k != next_position:
                displaced = perm[next_position]
                perm[next_position] = row
                perm[k] = displaced
                where[row] = next_position
                where[displaced] = k
            next_position += 1
    return perm


def predecessor_blocks(n, block, nblock, activity_deps):
    highest = [0] * (nblock + 1)
    for i in range(n):
        for j, code in activity_deps[i][0].items():
            if code == "S" and block[j] != block[i] and block[j] > highest[block[i]]:
                highest[block[i]] = block[j]
    return highest


def write_report(path, out, model, block, subblock, perm, predecessor):
    header, names, data, constraint_names, output_names, activity_deps, output_deps = model
    position = [0] * len(perm)
    for p, i in enumerate(perm):
        position[i] = p
    lines = ["<kavelon>", "<kavelon_version>2.0</kavelon_version>",
             "<kavelon_version_date>Jun 26 2021</kavelon_version_date>",
             "<xml_filename>%s</xml_filename>" % path]
    for tag in ("name", "version", "version_date", "study_name"):
        if header[tag] is not None:
            lines.append("<%s>%s</%s>" % (tag, header[tag], tag))
    lines.append("<file_creation_time>%s</file_creation_time>" % time.ctime())

    def dependency_lines(on_activity, on_constraint):
        for j in sorted(on_activity, key=position.__getitem__):
            tag = ELEMENT[on_activity[j]]
            lines.append("<%s>%s</%s>" % (tag, data[j], tag))
        for k in sorted(on_constraint):
            tag = ELEMENT[on_constraint[k]]
            lines.append("<%s>%s</%s>" % (tag, constraint_names[k], tag))

    open_block, size = -1, 0
    for i in perm:
        if block[i] != open_block:
            if open_block != -1:
                lines.append("<block_size>%d</block_size>\n</block>" % size)
            open_block, size = block[i], 0
            lines.append("<block>\n<block_number>%d</block_number>" % block[i])
            lines.append("<predecessor_block>%d</predecessor_block>" % predecessor[block[i]])
            lines.append("<block_type>%s</block_type>" % ("independent" if subblock[i] else "dependent"))
        lines.append("<design_activity>\n<name>%s</name>\n<data>%s</data>" % (names[i], data[i]))
        dependency_lines(*activity_deps[i])
        lines.append("</design_activity>")
        size += 1
    lines.append("<block_size>%d</block_size>\n</block>" % size)
    for o, deps in enumerate(output_deps):
        lines.append("<output>\n<name>%s</name>" % output_names[o])
        dependency_lines(*deps)
        lines.append("</output>")
    for c in constraint_names:
        lines.append("<constraint>\n<data>%s</data>\n</constraint>" % c)
    lines.append("</kavelon>")
    out.write("\n".join(lines))
    out.write("\n")


def main():
    if len(sys.argv) != 3:
        sys.stderr.write("usage: peer_networkx.py INPUT OUTPUT\n")
        return 2
    path = sys.argv[1]
    model = read_model(path)
    activity_deps = model[5]
    n = len(activity_deps)
    block, subblock, nblock = identify_blocks(n, activity_deps)
    perm = sort_rows(n, block, nblock)
    predecessor = predecessor_blocks(n, block, nblock, activity_deps)
    with open(sys.argv[2], "w", encoding="utf-8", newline="\n") as out:
        write_report(path, out, model, block, subblock, perm, predecessor)
    return 0


if __name__ == "__main__":
    sys.exit(main())
