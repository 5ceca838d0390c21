// The tag classes (one per HTML element: a tag row and its newline and text
// flags), the pages that put the HTTP response around a tree, and Pre. Every
// tag class has two constructors: from a text (copied as the node's data) and
// from an object (appended as the first child, refused when already attached).
// Including this header also declares the URL, header and cookie objects.
#ifndef CLASSES_H
#define CLASSES_H

#include "HTMLObject.h"
#include "Links.h"

#define ZA_HTML_TAG_CLASS(Name)            \
    class Name : public HTMLObject {        \
    public:                                 \
        explicit Name(const char* text);    \
        explicit Name(HTMLObject* content); \
    }

ZA_HTML_TAG_CLASS(Head);
ZA_HTML_TAG_CLASS(Body);
ZA_HTML_TAG_CLASS(Title);
ZA_HTML_TAG_CLASS(Link);
ZA_HTML_TAG_CLASS(Address);
ZA_HTML_TAG_CLASS(BlockQuote);
ZA_HTML_TAG_CLASS(Form);
ZA_HTML_TAG_CLASS(H1);
ZA_HTML_TAG_CLASS(H2);
ZA_HTML_TAG_CLASS(H3);
ZA_HTML_TAG_CLASS(H4);
ZA_HTML_TAG_CLASS(H5);
ZA_HTML_TAG_CLASS(H6);
ZA_HTML_TAG_CLASS(Hr);
ZA_HTML_TAG_CLASS(Dl);
ZA_HTML_TAG_CLASS(Dt);
ZA_HTML_TAG_CLASS(Dd);
ZA_HTML_TAG_CLASS(Ol);
ZA_HTML_TAG_CLASS(Li);
ZA_HTML_TAG_CLASS(Dir);
ZA_HTML_TAG_CLASS(Menu);
ZA_HTML_TAG_CLASS(P);
ZA_HTML_TAG_CLASS(TableData);
ZA_HTML_TAG_CLASS(TableHeading);
ZA_HTML_TAG_CLASS(TableRow);
ZA_HTML_TAG_CLASS(Table);
ZA_HTML_TAG_CLASS(A);
ZA_HTML_TAG_CLASS(Img);
ZA_HTML_TAG_CLASS(Center);
ZA_HTML_TAG_CLASS(I);
ZA_HTML_TAG_CLASS(Br);
ZA_HTML_TAG_CLASS(Select);
ZA_HTML_TAG_CLASS(Option);
ZA_HTML_TAG_CLASS(Input);
ZA_HTML_TAG_CLASS(Applet);
ZA_HTML_TAG_CLASS(FrameSet);
ZA_HTML_TAG_CLASS(Param);
ZA_HTML_TAG_CLASS(Frame);
ZA_HTML_TAG_CLASS(Script);
ZA_HTML_TAG_CLASS(Font);
ZA_HTML_TAG_CLASS(B);
ZA_HTML_TAG_CLASS(NoBR);
ZA_HTML_TAG_CLASS(Strong);
ZA_HTML_TAG_CLASS(TextArea);
ZA_HTML_TAG_CLASS(BaseFont);
ZA_HTML_TAG_CLASS(Spacer);
ZA_HTML_TAG_CLASS(Ul);

#undef ZA_HTML_TAG_CLASS

// Preformatted block: data is written as stored and nothing inside it gains
// line breaks or indentation.
class Pre : public HTMLObject {
public:
    explicit Pre(const char* text);
    explicit Pre(HTMLObject* content);
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override;
};

// The root of a response: emit writes the HTTP header block (content type,
// status, the header chain) and then the <html> tree. The page owns the header
// chain as well as its tree; whoever emits a page deletes it.
class Page : public HTMLObject {
public:
    HTMLObject* headerFirst;  // chain of header objects (cookies, targets), owned
    HTMLObject* headerLast;

    explicit Page(const char* text);
    explicit Page(HTMLObject* content);
    ~Page() override;

    // Appends a header object (owned from now on) to the header chain; one
    // that is in the chain already is ignored.
    void AddToList(HTMLObject* header);
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override;
};

// Answers "204 No Change": the browser keeps the page it shows.
class PageNoChange : public Page {
public:
    explicit PageNoChange(const char* text);
    explicit PageNoChange(HTMLObject* content);
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override;
};

// Writes nothing at all (for requests that already wrote their response).
class PageNoData : public Page {
public:
    explicit PageNoData(const char* text);
    explicit PageNoData(HTMLObject* content);
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override;
};

#endif
