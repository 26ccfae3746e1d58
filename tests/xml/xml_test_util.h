// Helpers of the reader tests: reads of single entities and trees as text.
#ifndef KAVELON_TESTS_XML_TEST_UTIL_H
#define KAVELON_TESTS_XML_TEST_UTIL_H

#include <cstdio>
#include <string>

#include "test_util.h"
#include "xml/xmlentity.h"

namespace xmltest {

using test_util::stream_of;

// What a further read of the stream would see.
inline std::string rest_of(FILE *in) {
    std::string rest;
    for (int c = std::getc(in); c != EOF; c = std::getc(in)) rest += static_cast<char>(c);
    return rest;
}

using test_util::Read;
using test_util::read_file;

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
