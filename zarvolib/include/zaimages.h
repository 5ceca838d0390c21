// Images, the icon links in front of people, groups and documents, image
// buttons and the two small text widgets. All are HTML nodes: once put into a
// tree they belong to it; a widget owns the icons, URLs and texts it creates.
#ifndef ZAIMAGES_H
#define ZAIMAGES_H

#include "Classes.h"

class ValList;

// An image of the current style. The source is set when the image is emitted:
// "images/<style>/<gif>.gif" from the style name handed down by emit, or the
// gif itself once GifSrc() marked it as a complete path.
class ZaImage : public Img {
public:
    char* gif;   // owned: image name without extension, or a full path; may be null
    int gifSrc;  // 1 when gif is a complete path

    explicit ZaImage(const char* gif);
    ZaImage(const char* gif, int width, int height);
    explicit ZaImage(Url* src);  // src owned by the image; no gif
    ~ZaImage() override;

    void GifSrc();
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override;

protected:
    // Sets (or, on a repeated emit, replaces) the src attribute.
    void SetSource(const char* src);
};

// An image of the suite's common area: "../../common/bin/images/<style>/<gif>.gif".
class ZaCommonImage : public ZaImage {
public:
    explicit ZaCommonImage(const char* gif);
    ZaCommonImage(const char* gif, int width, int height);
    explicit ZaCommonImage(Url* src);
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override;
};

// The transparent "mspacer" image; a width or height of 0 becomes 1.
class ZaSpacer : public ZaCommonImage {
public:
    ZaSpacer(int width, int height);
};

// Icon links: icon, then the name as plain text.
class ZaPersonLink : public A {
public:
    explicit ZaPersonLink(const char* name);       // no link
    ZaPersonLink(const char* name, const char* uid);  // to the person's directory entry
};

class ZaCenterAlignedPersonLink : public A {
public:
    explicit ZaCenterAlignedPersonLink(const char* name);
};

class ZaGroupLink : public A {
public:
    explicit ZaGroupLink(const char* name);
    ZaGroupLink(const char* name, const char* gid);  // to the group's page
};

class ZaCenterAlignedGroupLink : public A {
public:
    explicit ZaCenterAlignedGroupLink(const char* name);
};

class ZaDocumentLink : public A {
public:
    explicit ZaDocumentLink(const char* name);
    // url (owned from now on) may be null; HTML documents open in "_top",
    // everything else in "_blank".
    ZaDocumentLink(const char* name, Url* url, const char* message);
};

class ZaCenterAlignedDocumentLink : public A {
public:
    explicit ZaCenterAlignedDocumentLink(const char* name);
};

// A link whose content is one image; both newline flags 0.
class ZaImageButtonBase : public A {
public:
    ZaImageButtonBase();
    void SetTarget(const char* target);
    void SetAlignment(const char* align);

protected:
    // href (the text, or the object which the button then owns), status
    // message, and the image with alt = message.
    void Build(const char* href, HTMLObject* hrefObject, ZaImage* image, const char* message);
};

class ZaImageButton : public ZaImageButtonBase {
public:
    ZaImageButton(const char* gif, const char* url, const char* message);
    ZaImageButton(HTMLObject* url, const char* gif, const char* message);
    // gifIsPath: the gif is a complete image path rather than a style image name.
    ZaImageButton(HTMLObject* url, const char* gif, const char* message, ZaBoolean gifIsPath);
};

class ZaCommonImageButton : public ZaImageButtonBase {
public:
    ZaCommonImageButton(const char* gif, const char* url, const char* message);
    ZaCommonImageButton(HTMLObject* url, const char* gif, const char* message);
};

// Plain text; with a word list, every occurrence of a word (ignoring case) is
// set in bold red.
class ZaLabel : public HTMLObject {
public:
    explicit ZaLabel(const char* text);
    ZaLabel(const char* text, ValList* words);
};

// `count` non-breaking spaces, optionally followed by an object (owned from now on).
class ZaIndentObject : public HTMLObject {
public:
    explicit ZaIndentObject(int count);
    ZaIndentObject(HTMLObject* object, int count);
};

#endif
