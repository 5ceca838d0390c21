// The emitter: writes a node, its subtree and its following siblings straight
// to the request's output while it walks the tree, and copies included files.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "HTMLObject.h"
#include "basicemit.h"
#include "reqinfo.h"
#include "string_class.h"
#include "stringutil.h"
#include "vallist.h"

namespace {

// Include files are copied through a fixed buffer; longer lines arrive in pieces.
constexpr int kLineBufferSize = 1024;

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

void WriteLineBreak(RequestInfo* out, int indent) {
    std::string text = "\n";
    if (indent > 0) text.append(static_cast<size_t>(indent), ' ');
    out->Write(text.c_str());
}

// Reads the next piece of a file; atLineStart tells whether it begins a line.
class LineReader {
public:
    explicit LineReader(FILE* f) : file_(f) {}
    bool Next() {
        atLineStart_ = endedLine_;
        if (!fgets(buffer_, sizeof buffer_, file_)) return false;
        size_t len = strlen(buffer_);
        endedLine_ = len > 0 && buffer_[len - 1] == '\n';
        return true;
    }
    const char* text() const { return buffer_; }
    bool atLineStart() const { return atLineStart_; }

private:
    FILE* file_;
    char buffer_[kLineBufferSize];
    bool endedLine_ = true;
    bool atLineStart_ = true;
};

// The name declared by a line "function <name>(...": the first token ends at a
// blank or tab, the name at a blank, tab, line end, "(" or "{".
std::string DeclaredFunctionName(const char* line) {
    const char* p = line + strcspn(line, " \t");
    p += strspn(p, " \t\n\r({");
    return std::string(p, strcspn(p, " \t\n\r({"));
}

}  // namespace

void HTMLObject::emitData(RequestInfo* out) {
    String text(data);
    if (escape) {
        if (data) text.PrepForHTML();
    } else if (child) {
        child->DontEscape(ZaTrue);
    }
    if (enhance) {
        if (data) text.HTMLEnhanced();
    } else if (child) {
        child->DontEnhance(ZaTrue);
    }
    if (!data) return;
    if (activateURLs) text.ActivateURLs();  // changes text in place; the copy is not needed
    if (text.text) out->Write(text.text);
}

void HTMLObject::emitIncludes(RequestInfo* out) {
    if (includes) {
        // A missing file writes nothing and is not reported.
        for (ValNameListItem* item = includes->head; item; item = item->next) {
            if (item->value && item->value[0])
                EmitJSFunction(out, item->name, item->value);
            else
                EmitJSCode(out, item->name);
        }
    }
    if (bodyFile) EmitHTMLBody(out, bodyFile);
}

// Each node is written by emitStartFlag, its data, its includes, its children
// at indent + 2, emitEndFlag, and then its next sibling. Nodes whose class keeps
// these steps unchanged are walked here with an explicit stack of open
// ancestors, so neither deep trees nor long sibling chains grow the call stack;
// any other node gets its own (virtual) emit, which covers its siblings too.
void HTMLObject::emit(RequestInfo* out, int indent, int lineBreaks, const char* style) {
    struct OpenNode {
        HTMLObject* node;
        int indent;
    };
    std::vector<OpenNode> open;
    HTMLObject* node = this;
    while (node) {
        node->emitStartFlag(out, indent, lineBreaks, style);
        node->emitData(out);
        node->emitIncludes(out);
        if (node->child) {
            if (UsesBasicEmit(node->child)) {
                open.push_back({node, indent});
                node = node->child;
                indent += 2;
                continue;
            }
            node->child->emit(out, indent + 2, lineBreaks, style);
        }
        // node's subtree is complete: close it, then go on with its sibling, or
        // close the innermost open ancestor when the chain has ended.
        HTMLObject* following = nullptr;
        while (!following) {
            node->emitEndFlag(out, indent, lineBreaks);
            HTMLObject* sibling = node->next;
            if (sibling && UsesBasicEmit(sibling)) {
                following = sibling;
                break;
            }
            if (sibling) sibling->emit(out, indent, lineBreaks, style);
            if (open.empty()) return;
            node = open.back().node;
            indent = open.back().indent;
            open.pop_back();
        }
        node = following;
    }
}

void HTMLObject::emitStartFlag(RequestInfo* out, int indent, int lineBreaks, const char* style) {
    if (startOnNewLine && lineBreaks) WriteLineBreak(out, indent);
    const char* start = HTMLTagStart(tag);
    if (start[0]) out->Write(start);
    emitAttribute(out, indent, lineBreaks, style);
    if (start[0]) out->Write(">");
}

void HTMLObject::emitEndFlag(RequestInfo* out, int indent, int lineBreaks) {
    if (endOnNewLine && lineBreaks) WriteLineBreak(out, indent);
    const char* end = HTMLTagEnd(tag);
    if (end[0]) out->Write(end);
}

// Values were escaped when they were added and are written as stored. Named
// attributes carry no table name here; only Url writes their names.
void HTMLObject::emitAttribute(RequestInfo* out, int, int, const char* style) {
    for (HTMLAttribute* attr = attributes; attr; attr = attr->next) {
        out->Write(" ");
        out->Write(HTMLAttributeName(attr->id));
        out->Write("=\"");
        if (attr->value) out->Write(attr->value);
        if (attr->object) attr->object->emit(out, 0, 0, style);
        out->Write("\"");
    }
}

int HTMLObject::EmitJSCode(RequestInfo* out, const char* path) {
    File file(path ? fopen(path, "r") : nullptr);
    if (!file) return -1;
    LineReader reader(file.get());
    while (reader.Next()) out->Write(reader.text());
    out->Write("\n\n");
    return 0;
}

int HTMLObject::EmitJSFunction(RequestInfo* out, const char* path, const char* function) {
    File file(path ? fopen(path, "r") : nullptr);
    if (!file || !function) return -1;
    LineReader reader(file.get());
    bool copying = false;
    while (reader.Next()) {
        const char* line = reader.text();
        // Only the first piece of a long line can open or close a function.
        if (!copying && reader.atLineStart() && strncmp(line, "function", 8) == 0)
            copying = strcasecmp(DeclaredFunctionName(line).c_str(), function) == 0;
        if (!copying) continue;
        out->Write(line);
        if (reader.atLineStart() && line[0] == '}') return 0;
    }
    return -1;
}

int HTMLObject::EmitHTMLBody(RequestInfo* out, const char* path) {
    File file(path ? fopen(path, "r") : nullptr);
    if (!file) return -1;
    LineReader reader(file.get());
    bool inBody = false;
    while (reader.Next()) {
        const char* line = reader.text();
        if (!inBody) {
            inBody = StringSubstring("<body", line) != nullptr;
        } else if (StringSubstring("</body>", line)) {
            break;
        } else {
            out->Write(line);
        }
    }
    return 0;
}
