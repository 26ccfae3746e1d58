// An XML file as input: the document's entities, as the XML reader gives them.
#include "input/input.h"
#include "xml/xmlentity.h"

namespace {

// The document's root among the top-level entities: an XML declaration,
// other processing instructions and comments may stand before it and are
// passed over. When nothing else is there, the first entity stays the root,
// so that the root check names what the file holds.
XMLENTITY *document_root(XMLENTITY *first) {
    for (XMLENTITY *e = first; e != nullptr; e = e->next) {
        if (e->type != XMLENTITY_PI && e->type != XMLENTITY_COMMENT) return e;
    }
    return first;
}

}  // namespace

int kavelon_read_xml_document(KAVELON *dt, FILE *in) {
    if (dt == nullptr || in == nullptr) return 1;
    // An XML file names its providers by data item, so there is nothing to
    // transpose; say so rather than let the option pass for applied.
    if (dt->transpose == 1)
        std::fprintf(stderr, " *** WARNING: -t applies to CSV matrices only; ignored for (%s)\n",
                     xmlnulltext(dt->xml_filename));
    // A large input is read a quarter megabyte per system call rather than
    // a few kilobytes.
    static char buffer[1 << 18];
    std::setvbuf(in, buffer, _IOFBF, sizeof buffer);
    int errflag = 0;
    XMLFAULT fault;
    dt->entities = readfile_fault_XMLENTITY(in, &errflag, &dt->text_after, &fault);
    dt->root = document_root(dt->entities);
    if (dt->root != nullptr && errflag == 0) return 0;
    // The one line that says where and why, before the stage line.
    print_fault_XMLENTITY(stderr, dt->xml_filename, &fault);
    return 1;
}
