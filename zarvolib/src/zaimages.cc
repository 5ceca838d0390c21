// Images, icon links, image buttons and the small text widgets.
#include "zaimages.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "stringutil.h"
#include "textsupport.h"
#include "vallist.h"

namespace {

const char kOrgviewProgram[] = "../../orgview/bin/orgview.cgi";
const char kGroupProgram[] = "../../groupmgr/bin/groupmgr.cgi";
const char kPersonMessage[] = "View personal information";
const char kGroupMessage[] = "View group information";

const char* const kNoText = nullptr;  // picks the text constructor of a tag class

// Image paths of a style; the built-in style has no folder of its own.
std::string StyleImagePath(const char* base, const char* style, const char* gif) {
    std::string path = base;
    if (style && *style) path += std::string(style) + "/";
    return path + gif + ".gif";
}

// The link of a person or group icon: its program, target frame and status text.
void LinkTo(A* link, Url* url, const char* message) {
    link->addAttribute(ATTR_HREF, url);
    link->addAttribute(ATTR_TARGET, "main_frame");
    link->addStatusMessage(message);
}

ZaImage* AltIcon(ZaImage* icon, const char* message) {
    icon->addAttribute(ATTR_ALT, message);
    return icon;
}

ZaImage* CenteredIcon(const char* gif) {
    ZaImage* icon = new ZaCommonImage(gif);
    icon->addAttribute(ATTR_ALIGN, "abscenter");
    return icon;
}

void AddIconAndName(A* link, ZaImage* icon, const char* name) {
    link->addObject(icon);
    link->addObject(name, ZaFalse);
}

}  // namespace

ZaImage::ZaImage(const char* gifName) : Img(kNoText), gif(CopyOrNull(gifName)), gifSrc(0) {
    addAttribute(ATTR_BORDER, "0");
    StartOnNewLine(ZaFalse);
    EndOnNewLine(ZaFalse);
}

ZaImage::ZaImage(const char* gifName, int width, int height)
    : Img(kNoText), gif(CopyOrNull(gifName)), gifSrc(0) {
    addAttribute(ATTR_BORDER, "0");
    addAttribute(ATTR_WIDTH, width);
    addAttribute(ATTR_HEIGHT, height);
}

ZaImage::ZaImage(Url* src) : Img(kNoText), gif(nullptr), gifSrc(0) {
    addAttribute(ATTR_SRC, src);
    addAttribute(ATTR_BORDER, "0");
}

ZaImage::~ZaImage() { free(gif); }

void ZaImage::GifSrc() { gifSrc = 1; }

void ZaImage::SetSource(const char* src) {
    // A page emitted twice must not gain a second src.
    if (!ModifyAttribute(ATTR_SRC, src)) addAttribute(ATTR_SRC, src);
}

void ZaImage::emit(RequestInfo* out, int indent, int lineBreaks, const char* style) {
    if (gif) SetSource(gifSrc ? gif : StyleImagePath("images/", style, gif).c_str());
    Img::emit(out, indent, lineBreaks, style);
}

ZaCommonImage::ZaCommonImage(const char* gifName) : ZaImage(gifName) {}

ZaCommonImage::ZaCommonImage(const char* gifName, int width, int height)
    : ZaImage(gifName, width, height) {}

ZaCommonImage::ZaCommonImage(Url* src) : ZaImage(src) {}

void ZaCommonImage::emit(RequestInfo* out, int indent, int lineBreaks, const char* style) {
    if (gif) SetSource(gifSrc ? gif : StyleImagePath("../../common/bin/images/", style, gif).c_str());
    Img::emit(out, indent, lineBreaks, style);
}

ZaSpacer::ZaSpacer(int width, int height) : ZaCommonImage("mspacer") {
    addAttribute(ATTR_WIDTH, width == 0 ? 1 : width);
    addAttribute(ATTR_HEIGHT, height == 0 ? 1 : height);
}

ZaPersonLink::ZaPersonLink(const char* name) : A(kNoText) {
    AddIconAndName(this, new ZaCommonImage("mpersonicon"), name);
}

ZaPersonLink::ZaPersonLink(const char* name, const char* uid) : A(kNoText) {
    Url* url = new Url(kOrgviewProgram);
    url->addAttribute("program", "front");
    url->addAttribute("selected_prog", "getentry");
    url->addAttribute("uid", uid);
    LinkTo(this, url, kPersonMessage);
    AddIconAndName(this, AltIcon(new ZaCommonImage("mpersonicon"), kPersonMessage), name);
}

ZaCenterAlignedPersonLink::ZaCenterAlignedPersonLink(const char* name) : A(kNoText) {
    AddIconAndName(this, CenteredIcon("mpersonicon"), name);
}

ZaGroupLink::ZaGroupLink(const char* name) : A(kNoText) {
    AddIconAndName(this, new ZaCommonImage("mgroupicon"), name);
}

ZaGroupLink::ZaGroupLink(const char* name, const char* gid) : A(kNoText) {
    Url* url = new Url(kGroupProgram);
    url->addAttribute("program", "front");
    url->addAttribute("selected_prog", "show");
    url->addAttribute("gid", gid);
    LinkTo(this, url, kGroupMessage);
    AddIconAndName(this, AltIcon(new ZaCommonImage("mgroupicon"), kGroupMessage), name);
}

ZaCenterAlignedGroupLink::ZaCenterAlignedGroupLink(const char* name) : A(kNoText) {
    AddIconAndName(this, CenteredIcon("mgroupicon"), name);
}

ZaDocumentLink::ZaDocumentLink(const char* name) : A(kNoText) {
    AddIconAndName(this, new ZaCommonImage("mdocumenticon"), name);
}

ZaDocumentLink::ZaDocumentLink(const char* name, Url* url, const char* message) : A(kNoText) {
    if (url) {
        addAttribute(ATTR_HREF, url);
        // Web pages replace the console; anything else opens beside it.
        bool webPage = name && (StringEndsWith(name, ".htm") || StringEndsWith(name, ".html"));
        addAttribute(ATTR_TARGET, webPage ? "_top" : "_blank");
    }
    addStatusMessage(message);
    AddIconAndName(this, AltIcon(new ZaImage("mdocumenticon"), message), name);
}

ZaCenterAlignedDocumentLink::ZaCenterAlignedDocumentLink(const char* name) : A(kNoText) {
    AddIconAndName(this, CenteredIcon("mdocumenticon"), name);
}

ZaImageButtonBase::ZaImageButtonBase() : A(kNoText) {}

void ZaImageButtonBase::SetTarget(const char* target) { addAttribute(ATTR_TARGET, target); }

void ZaImageButtonBase::SetAlignment(const char* alignment) { addAttribute(ATTR_ALIGN, alignment); }

void ZaImageButtonBase::Build(const char* href, HTMLObject* hrefObject, ZaImage* image,
                              const char* message) {
    if (hrefObject) {
        addAttribute(ATTR_HREF, hrefObject);
    } else {
        addAttribute(ATTR_HREF, href);
    }
    addStatusMessage(message);
    addObject(AltIcon(image, message));
    StartOnNewLine(ZaFalse);
    EndOnNewLine(ZaFalse);
}

ZaImageButton::ZaImageButton(const char* gif, const char* url, const char* message) {
    Build(url, nullptr, new ZaImage(gif), message);
}

ZaImageButton::ZaImageButton(HTMLObject* url, const char* gif, const char* message) {
    Build(nullptr, url, new ZaImage(gif), message);
}

ZaImageButton::ZaImageButton(HTMLObject* url, const char* gif, const char* message, ZaBoolean gifIsPath) {
    ZaImage* image = new ZaImage(gif);
    if (gifIsPath == ZaTrue) image->GifSrc();
    Build(nullptr, url, image, message);
}

ZaCommonImageButton::ZaCommonImageButton(const char* gif, const char* url, const char* message) {
    Build(url, nullptr, new ZaCommonImage(gif), message);
}

ZaCommonImageButton::ZaCommonImageButton(HTMLObject* url, const char* gif, const char* message) {
    Build(nullptr, url, new ZaCommonImage(gif), message);
}

ZaLabel::ZaLabel(const char* text) : HTMLObject() { addObject(text, ZaFalse); }

// Where several words match at one position, the first listed word wins;
// the search goes on after the matched text, so matches never overlap.
ZaLabel::ZaLabel(const char* text, ValList* words) : HTMLObject() {
    if (!text) return;
    std::string run;
    const char* p = text;
    while (*p) {
        size_t matched = 0;
        for (ValListItem* word = words ? words->head : nullptr; word && !matched; word = word->next) {
            size_t length = word->value ? strlen(word->value) : 0;
            if (length && strncasecmp(p, word->value, length) == 0) matched = length;
        }
        if (!matched) {
            run += *p++;
            continue;
        }
        if (!run.empty()) addObject(run.c_str(), ZaFalse);
        run.clear();
        Font* highlight = new Font(new B(std::string(p, matched).c_str()));
        highlight->addAttribute(ATTR_COLOR, "red");
        addObject(highlight);
        p += matched;
    }
    if (!run.empty()) addObject(run.c_str(), ZaFalse);
}

ZaIndentObject::ZaIndentObject(int count) : HTMLObject() {
    if (count <= 0) return;
    std::string spaces;
    for (int i = 0; i < count; i++) spaces += "&nbsp;";
    // The entities go in a node of their own: a node that is not escaped
    // passes that on to its children, and the object that follows must
    // still be escaped.
    HTMLObject* indent = new HTMLObject(TAG_NONE, spaces.c_str());
    indent->escape = 0;
    indent->enhance = 0;
    indent->activateURLs = 0;
    indent->StartOnNewLine(ZaFalse);
    indent->EndOnNewLine(ZaFalse);
    addObject(indent);
}

ZaIndentObject::ZaIndentObject(HTMLObject* object, int count) : ZaIndentObject(count) { addObject(object); }
