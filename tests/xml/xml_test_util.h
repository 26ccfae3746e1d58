// Helpers of the reader tests: streams over byte strings and captured output.
#ifndef KAVELON_TESTS_XML_TEST_UTIL_H
#define KAVELON_TESTS_XML_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "xml/xmlentity.h"

namespace xmltest {

// A stream that delivers exactly the given bytes, NUL bytes included.
inline FILE *stream_of(const std::string &bytes) {
    FILE *in = std::tmpfile();
    EXPECT_NE(in, nullptr);
    if (!bytes.empty()) {
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), in), bytes.size());
    }
    std::rewind(in);
    return in;
}

// What a further read of the stream would see.
inline std::string rest_of(FILE *in) {
    std::string rest;
    for (int c = std::getc(in); c != EOF; c = std::getc(in)) rest += static_cast<char>(c);
    return rest;
}

struct Read {
    XMLENTITY *first;
    int flag;
};

inline Read read_file(const std::string &bytes, int incoming_flag = 0) {
    FILE *in = stream_of(bytes);
    Read read = {nullptr, incoming_flag};
    read.first = readfile_XMLENTITY(in, &read.flag);
    std::fclose(in);
    return read;
}

struct Fget {
    XMLENTITY *entity;
    int flag;
    std::string rest;  // left in the stream after the read
};

// Reads one entity from bytes that follow a '<'.
inline Fget fget(const std::string &bytes) {
    FILE *in = stream_of(bytes);
    Fget read = {nullptr, 0, ""};
    read.entity = fget_XMLENTITY(in, &read.flag);
    read.rest = rest_of(in);
    std::fclose(in);
    return read;
}

// One line per tree: name, [attribute=value], {text} when there is one,
// !flag when errflag is non-zero, (children); top-level entities joined by
// " + ".
inline std::string shape(const XMLENTITY *entity) {
    std::string out = entity->name;
    for (const XMLENTITY *a = entity->attribute; a != nullptr; a = a->next) {
        out += "[" + std::string(a->name) + (a->text != nullptr ? "=" + std::string(a->text) : "") + "]";
    }
    if (entity->text != nullptr) out += "{" + std::string(entity->text) + "}";
    if (entity->errflag != 0) out += "!" + std::to_string(entity->errflag);
    if (entity->child != nullptr) {
        out += "(";
        for (const XMLENTITY *c = entity->child; c != nullptr; c = c->next) {
            out += shape(c) + (c->next != nullptr ? " " : "");
        }
        out += ")";
    }
    return out;
}

inline std::string chain(const XMLENTITY *first) {
    std::string out;
    for (const XMLENTITY *e = first; e != nullptr; e = e->next) out += (out.empty() ? "" : " + ") + shape(e);
    return out;
}

}  // namespace xmltest

#endif
