// Page and frame widgets: windows with their scripts, styled pages, framesets,
// navigation bars and the page that is streamed while it is built.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "reqinfo.h"
#include "zaimages.h"
#include "zapages.h"
#include "zastyle.h"
#include "zatables.h"

namespace {

const char* const kNoText = nullptr;  // picks the text constructor of a tag class

const char kMiscJS[] = "../../common/bin/misc.js";
const char kConfirmJS[] = "../../common/bin/confirm.js";
const char kSelectorJS[] = "../../common/bin/selector.js";
const char kSetCurrentJS[] = "../../common/bin/setcurrent.js";

std::string OrEmpty(const char* text) { return text ? text : ""; }

HTMLObject* Inline(HTMLObject* node, ZaBoolean startOnNewLine, ZaBoolean endOnNewLine) {
    node->StartOnNewLine(startOnNewLine);
    node->EndOnNewLine(endOnNewLine);
    return node;
}

}  // namespace

ZaWindow::ZaWindow() : Page(kNoText), script(nullptr), head(new Head(kNoText)) { addObject(head); }

void ZaWindow::CheckScript() {
    if (script) return;
    script = new Script(kNoText);
    head->addObject(script);
    script->addAttribute(ATTR_LANGUAGE, "JavaScript");
}

void ZaWindow::AddJSFile(const char* path) {
    CheckScript();
    script->IncludeFile(path);
}

void ZaWindow::AddJSFunction(const char* function) { AddJSFunction(kMiscJS, function); }

void ZaWindow::AddJSFunction(const char* path, const char* function) {
    CheckScript();
    script->IncludeJSFunction(path, function);
}

void ZaWindow::AddJSHelpFunctions() { AddJSFunction("../../common/bin/help.js", "ZaHelp"); }
void ZaWindow::AddJSDoNothing() { AddJSFunction(kMiscJS, "donothing"); }
void ZaWindow::AddJSAskForEmailNotify() { AddJSFunction(kMiscJS, "NotifyByEmail"); }
void ZaWindow::AddJSSubmitFormAfterConfirm() { AddJSFunction(kMiscJS, "submitFormAfterConfirm"); }
void ZaWindow::AddJSSubmitForm() { AddJSFunction(kMiscJS, "submitForm"); }
void ZaWindow::AddJSIsInteger() { AddJSFunction(kMiscJS, "isInteger"); }
void ZaWindow::AddJSIsNonNullInteger() { AddJSFunction(kMiscJS, "isNonNullInteger"); }
void ZaWindow::AddJSConfirmClear() { AddJSFunction(kConfirmJS, "ConfirmClear"); }
void ZaWindow::AddJSConfirmDelete() { AddJSFunction(kConfirmJS, "ConfirmDelete"); }
void ZaWindow::AddJSConfirmDeleteMeeting() { AddJSFunction(kConfirmJS, "ConfirmDeleteMeeting"); }
void ZaWindow::AddJSConfirmDeleteMeetingSubmit() { AddJSFunction(kConfirmJS, "ConfirmDeleteMeetingSubmit"); }
void ZaWindow::AddJSConfirm() { AddJSFunction(kConfirmJS, "MyConfirm"); }

void ZaWindow::AddJSCurrentlyIn() {
    CheckScript();
    script->IncludeJSCode("../../common/bin/init.js");
    script->IncludeJSFunction(kSetCurrentJS, "onUnloadInit");
}

void ZaWindow::AddJSNullifyHelpWin() { AddJSFunction(kSetCurrentJS, "nullifyHelpWin"); }

void ZaWindow::AddJSVar(const char* name, const char* value) {
    CheckScript();
    script->addObject(("var " + OrEmpty(name) + " = " + OrEmpty(value) + ";").c_str(), ZaFalse);
}

void ZaWindow::AddJSVar(const char* name, int value) { AddJSVar(name, std::to_string(value).c_str()); }

ZaPage::ZaPage(ZaPageStyle* style) : body(new Body(kNoText)) {
    addObject(body);
    body->addAttribute(ATTR_BGCOLOR, style && style->bgColor ? style->bgColor : "#ffffff");
    if (style && style->bgGif) body->addAttribute(ATTR_BACKGROUND, style->bgGif);
}

void ZaPage::OnLoad(const char* text) { body->addAttribute(ATTR_ONLOAD, text); }

void ZaPage::AddFormFocusTo(const char* form, const char* field) {
    body->AppendToAttribute(ATTR_ONLOAD, ("document." + OrEmpty(form) + "." + OrEmpty(field) + ".focus();").c_str());
}

void ZaPage::SetHelpContext(const char* context) {
    body->AppendToAttribute(ATTR_ONLOAD, ("top.CurrentProg='" + OrEmpty(context) + "'").c_str());
}

void ZaPage::AddJSJCard() {
    AddJSFile("../../common/bin/jcard.js");
    body->AppendToAttribute(ATTR_ONLOAD, "pageIsLoaded()");
}

void ZaPage::AddJSCloseWindow() { AddJSFunction(kSelectorJS, "CloseWindow"); }

void ZaPage::AddJSSelectorWindowClose() {
    body->addAttribute(ATTR_ONUNLOAD, "SelectorWindowClose()");
    AddJSFunction(kSelectorJS, "SelectorWindowClose");
}

void ZaPage::AddJSSelectorQuit() { AddJSFunction(kSelectorJS, "SelectorQuit"); }

void ZaPage::AddJSCloseChild() {
    CheckScript();
    script->addObject("var child;", ZaFalse);
    body->addAttribute(ATTR_ONUNLOAD, "CloseChild()");
    AddJSFunction(kSelectorJS, "CloseChild");
}

HTMLObject* ZaPage::AppendToBody(HTMLObject* object) { return body->addObject(object); }
HTMLObject* ZaPage::AppendToBody(const char* text) { return body->addObject(text, ZaFalse); }
HTMLObject* ZaPage::AppendToBody(int number) { return body->addObject(number); }

ZaFrameSetPage::ZaFrameSetPage(ZaFrameSetStyle* style)
    : ZaFrameSetPage(style ? style->rowOrCol : ATTR_ROWS, style ? style->dimensions : nullptr) {}

ZaFrameSetPage::ZaFrameSetPage(int rowOrCol, const char* dimensions) : frameset(new FrameSet(kNoText)) {
    addObject(frameset);
    frameset->addAttribute(rowOrCol, dimensions);
    frameset->addAttribute(ATTR_BORDER, "0");
    frameset->addAttribute(ATTR_FRAMEBORDER, "0");
    frameset->addAttribute(ATTR_FRAMESPACING, "0");
}

Frame* ZaFrameSetPage::AddNewFrame(Url* src, const char* name, ZaBoolean scrolling) {
    Frame* frame = new Frame(kNoText);
    frameset->addObject(frame);
    if (scrolling != ZaTrue) frame->addAttribute(ATTR_SCROLLING, "no");
    frame->addAttribute(ATTR_SRC, src);
    frame->addAttribute(ATTR_NAME, name);
    frame->addAttribute(ATTR_BORDER, "0");
    return frame;
}

Frame* ZaFrameSetPage::AddNewFrameNoSpace(Url* src, const char* name, ZaBoolean scrolling) {
    Frame* frame = AddNewFrame(src, name, scrolling);
    frame->addAttribute(ATTR_MARGINWIDTH, "0");
    frame->addAttribute(ATTR_MARGINHEIGHT, "0");
    return frame;
}

ZaTopFrameSet::ZaTopFrameSet(ZaFrameSetStyle* style) : ZaFrameSetPage(style) {}

ZaAppFrameSet::ZaAppFrameSet(ZaFrameSetStyle* style) : ZaFrameSetPage(style) {}

ZaAppNavbar::ZaAppNavbar(ZaPageStyle* style) : ZaPage(style), table(nullptr) {}

void ZaAppNavbar::AddElement(ZaImageButtonBase* button) {
    Center* center = new Center(kNoText);
    body->addObject(center);
    center->addObject(button);
    center->addObject(Inline(new Br(kNoText), ZaFalse, ZaFalse));
    center->addObject(Inline(new Br(kNoText), ZaFalse, ZaFalse));
}

void ZaAppNavbar::AddElementToTable(ZaImageButtonBase* button) {
    if (!table) {
        table = new ZaTable(1, ZaTrue, 4);
        body->addObject(new Center(table));
        table->addAttribute(ATTR_CELLPADDING, "0");
        table->addAttribute(ATTR_CELLSPACING, "0");
    }
    table->addObject(button);
}

ZaTopNavbar::ZaTopNavbar(ZaPageStyle* style, ZaBoolean startOnNewLine) : ZaPage(style), row(new NoBR(kNoText)) {
    Inline(row, startOnNewLine, ZaFalse);
    body->addObject(row);
}

void ZaTopNavbar::AddElement(ZaImageButtonBase* button) { row->addObject(button); }

void ZaTopNavbar::AddElement(ZaImage* image) { row->addObject(image); }

void ZaTopNavbar::NewRow() {
    body->addObject(Inline(new Br(kNoText), ZaTrue, ZaFalse));
    ZaCommonImage* gap = new ZaCommonImage("mspacer");
    gap->addAttribute(ATTR_WIDTH, "1");
    gap->addAttribute(ATTR_HEIGHT, "4");
    body->addObject(gap);
    body->addObject(Inline(new Br(kNoText), ZaFalse, ZaTrue));
    row = new NoBR(kNoText);
    body->addObject(Inline(row, ZaFalse, ZaFalse));
}

ZaStreamPage::ZaStreamPage(RequestInfo* output, const char* helpContext, const char* styleName)
    : Page(kNoText), out(output), cacheBuster(new CacheBuster(kNoText)), style(styleName ? strdup(styleName) : nullptr) {
    out->WriteHeader("Content-type", "text/html");
    out->SetStatus(200, "OK");
    out->WriteHeader("", "");
    out->Write("<html>");
    std::string bodyTag = "<body bgcolor=\"#ffffff\"";
    // The help context is the caller's own program name and goes out as given.
    if (helpContext) bodyTag += std::string(" onload=\"top.CurrentProg='") + helpContext + "'\"";
    out->Write((bodyTag + ">").c_str());
    out->Flush();
}

ZaStreamPage::~ZaStreamPage() {
    out->Write("</body>");
    out->Write("</html>");
    out->Flush();
    delete cacheBuster;
    free(style);
}

HTMLObject* ZaStreamPage::addObject(HTMLObject* item) {
    // The page itself is never a piece of its own output.
    if (!item || item->attached || item == this) return nullptr;
    std::unique_ptr<HTMLObject> piece(item);
    // Keeps the end of the growing page in view in the frame that shows it.
    Script scroll("parent.scroll(1, 10000);\n");
    scroll.addAttribute(ATTR_LANGUAGE, "JavaScript");
    scroll.emit(out, 0, 0, style);
    piece->emit(out, 0, 0, style);
    // The filler pushes each piece through browsers and proxies that hold
    // back small amounts of data.
    cacheBuster->emit(out, 0, 0, style);
    out->Flush();
    return nullptr;
}

HTMLObject* ZaStreamPage::addObject(const char* text, ZaBoolean activateURLs) {
    HTMLObject* node = new HTMLObject(TAG_NONE, text);
    node->activateURLs = activateURLs == ZaTrue ? 1 : 0;
    return addObject(Inline(node, ZaFalse, ZaFalse));
}

HTMLObject* ZaStreamPage::addObject(int number) { return addObject(std::to_string(number).c_str(), ZaFalse); }

void ZaStreamPage::emit(RequestInfo*, int, int, const char*) {}
