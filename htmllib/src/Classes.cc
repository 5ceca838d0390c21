// The tag classes (a tag row and flags each), Pre and the pages.
#include "Classes.h"

#include <typeindex>
#include <unordered_set>

#include "basicemit.h"
#include "reqinfo.h"

namespace {

// Flags that a tag class turns off; everything else keeps the node defaults.
enum TagSetting {
    kDefaults = 0,
    kNoURLs = 1 << 0,
    kNoEscape = 1 << 1,
    kNoEnhance = 1 << 2,
    kNoStartLine = 1 << 3,
    kNoEndLine = 1 << 4,
    kChildNoURLs = 1 << 5,  // the object constructor turns off URL activation in its child
};

void ApplySettings(HTMLObject* node, int settings) {
    if (settings & kNoURLs) node->activateURLs = 0;
    if (settings & kNoEscape) node->escape = 0;
    if (settings & kNoEnhance) node->enhance = 0;
    if (settings & kNoStartLine) node->StartOnNewLine(ZaFalse);
    if (settings & kNoEndLine) node->EndOnNewLine(ZaFalse);
}

void AttachContent(HTMLObject* node, HTMLObject* content, int settings) {
    // A content object that is refused stays its owner's, flags untouched.
    if ((settings & kChildNoURLs) && content && !content->attached) content->activateURLs = 0;
    node->addObject(content);
}

}  // namespace

// Tag row and settings of every tag class; UsesBasicEmit lists the same classes.
#define ZA_TAG_CLASSES(X)                                     \
    X(Head, TAG_HEAD, kNoURLs | kChildNoURLs)                  \
    X(Body, TAG_BODY, kNoURLs)                                 \
    X(Title, TAG_TITLE, kNoURLs | kNoEnhance | kNoEndLine | kChildNoURLs) \
    X(Link, TAG_LINK, kNoURLs | kNoEnhance | kChildNoURLs)     \
    X(Address, TAG_ADDRESS, kNoEndLine)                        \
    X(BlockQuote, TAG_BLOCKQUOTE, kDefaults)                   \
    X(Form, TAG_FORM, kNoURLs)                                 \
    X(H1, TAG_H1, kNoEndLine)                                  \
    X(H2, TAG_H2, kNoEndLine)                                  \
    X(H3, TAG_H3, kNoEndLine)                                  \
    X(H4, TAG_H4, kNoEndLine)                                  \
    X(H5, TAG_H5, kNoEndLine)                                  \
    X(H6, TAG_H6, kNoEndLine)                                  \
    X(Hr, TAG_HR, kNoURLs)                                     \
    X(Dl, TAG_DL, kDefaults)                                   \
    X(Dt, TAG_DT, kDefaults)                                   \
    X(Dd, TAG_DD, kDefaults)                                   \
    X(Ol, TAG_OL, kDefaults)                                   \
    X(Li, TAG_LI, kDefaults)                                   \
    X(Dir, TAG_DIR, kDefaults)                                 \
    X(Menu, TAG_MENU, kDefaults)                               \
    X(P, TAG_P, kNoEndLine)                                    \
    X(TableData, TAG_TD, kNoEndLine)                           \
    X(TableHeading, TAG_TH, kDefaults)                         \
    X(TableRow, TAG_TR, kDefaults)                             \
    X(Table, TAG_TABLE, kDefaults)                             \
    X(A, TAG_A, kNoEndLine | kNoURLs | kChildNoURLs)            \
    X(Img, TAG_IMG, kNoURLs | kNoEndLine)                      \
    X(Center, TAG_CENTER, kNoEndLine)                          \
    X(I, TAG_I, kNoStartLine | kNoEndLine)                     \
    X(Br, TAG_BR, kNoEndLine)                                  \
    X(Select, TAG_SELECT, kNoURLs | kNoEnhance)                \
    X(Option, TAG_OPTION, kNoURLs | kNoEnhance | kNoEndLine)   \
    X(Input, TAG_INPUT, kNoURLs | kNoEnhance | kNoEndLine)     \
    X(Applet, TAG_APPLET, kNoURLs)                             \
    X(FrameSet, TAG_FRAMESET, kNoURLs)                         \
    X(Param, TAG_PARAM, kNoURLs | kNoEndLine)                  \
    X(Frame, TAG_FRAME, kNoURLs | kNoEndLine)                  \
    X(Script, TAG_SCRIPT, kNoURLs | kNoEscape | kNoEnhance)    \
    X(Font, TAG_FONT, kNoStartLine | kNoEndLine)               \
    X(B, TAG_B, kNoStartLine | kNoEndLine)                     \
    X(NoBR, TAG_NOBR, kNoURLs | kNoEndLine)                    \
    X(Strong, TAG_STRONG, kDefaults)                           \
    X(TextArea, TAG_TEXTAREA, kNoURLs | kNoEnhance | kNoEndLine) \
    X(BaseFont, TAG_BASEFONT, kNoStartLine | kNoEndLine)       \
    X(Spacer, TAG_SPACER, kNoEndLine)                          \
    X(Ul, TAG_UL, kDefaults)

#define ZA_DEFINE_TAG_CLASS(Name, row, settings)                                 \
    Name::Name(const char* text) : HTMLObject(row, text) { ApplySettings(this, settings); } \
    Name::Name(HTMLObject* content) : HTMLObject(row) {                          \
        ApplySettings(this, settings);                                           \
        AttachContent(this, content, settings);                                  \
    }
ZA_TAG_CLASSES(ZA_DEFINE_TAG_CLASS)
#undef ZA_DEFINE_TAG_CLASS

bool UsesBasicEmit(const HTMLObject* obj) {
#define ZA_TYPE_OF_TAG_CLASS(Name, row, settings) std::type_index(typeid(Name)),
    static const std::unordered_set<std::type_index> basic = {
        std::type_index(typeid(HTMLObject)), std::type_index(typeid(CacheBuster)),
        ZA_TAG_CLASSES(ZA_TYPE_OF_TAG_CLASS)};
#undef ZA_TYPE_OF_TAG_CLASS
    return basic.count(std::type_index(typeid(*obj))) != 0;
}

Pre::Pre(const char* text) : HTMLObject(TAG_PRE, text) { ApplySettings(this, kNoURLs | kNoEnhance); }

Pre::Pre(HTMLObject* content) : HTMLObject(TAG_PRE) {
    ApplySettings(this, kNoURLs | kNoEnhance);
    AttachContent(this, content, kChildNoURLs);
}

// Data goes out as stored (callers escape it where needed); includes and the
// body file are not processed inside a preformatted block.
void Pre::emit(RequestInfo* out, int indent, int lineBreaks, const char* style) {
    emitStartFlag(out, indent, lineBreaks, style);
    if (data) out->Write(data);
    if (child) child->emit(out, indent + 2, 0, style);
    emitEndFlag(out, indent, 0);
    if (next) next->emit(out, indent, lineBreaks, style);
}

Page::Page(const char* text) : HTMLObject(TAG_HTML, text), headerFirst(nullptr), headerLast(nullptr) {
    ApplySettings(this, kNoURLs | kNoStartLine);
}

Page::Page(HTMLObject* content) : HTMLObject(TAG_HTML), headerFirst(nullptr), headerLast(nullptr) {
    ApplySettings(this, kNoURLs | kNoStartLine);
    addObject(content);
}

// The header chain is linked through next: deleting its head frees all of it.
Page::~Page() { delete headerFirst; }

// A header that is already in the chain is ignored: linking it again would
// close the chain into a loop. Chains hold a handful of headers.
void Page::AddToList(HTMLObject* header) {
    if (!header) return;
    for (HTMLObject* h = headerFirst; h; h = h->next)
        if (h == header) return;
    header->StartOnNewLine(ZaFalse);
    if (!headerFirst)
        headerFirst = header;
    else
        headerLast->addNextObject(header);
    headerLast = header;
}

void Page::emit(RequestInfo* out, int indent, int lineBreaks, const char* style) {
    out->WriteHeader("Content-type", "text/html");
    out->SetStatus(200, "OK");
    if (headerFirst) headerFirst->emit(out, indent, lineBreaks, style);
    out->WriteHeader("", "");
    HTMLObject::emit(out, indent, lineBreaks, style);
    out->Write("\n");
}

PageNoChange::PageNoChange(const char* text) : Page(text) {}
PageNoChange::PageNoChange(HTMLObject* content) : Page(content) {}

void PageNoChange::emit(RequestInfo* out, int, int, const char*) {
    out->WriteHeader("Content-type", "text/html");
    out->SetStatus(204, "No Change");
    out->WriteHeader("", "");
}

PageNoData::PageNoData(const char* text) : Page(text) {}
PageNoData::PageNoData(HTMLObject* content) : Page(content) {}

void PageNoData::emit(RequestInfo*, int, int, const char*) {}
