// Building the HTML tree: the tag and attribute-name tables, node and attribute
// lifetime, children, attributes and the escaping flags. The emitter lives in
// HTMLEmitter.cc.
#include "HTMLObject.h"

#include <strings.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "string_class.h"
#include "stringutil.h"
#include "vallist.h"

namespace {

struct TagRow {
    const char* start;
    const char* end;
};

const TagRow kTags[TAG_COUNT] = {
    {"", ""},                         // 0 plain text
    {"", ""},                         // 1 filler
    {"<html", "</html>"},             {"<head", "</head>"},
    {"<body", "</body>"},             {"<title", "</title>"},
    {"<link", "</link>"},             {"<address", "</address>"},
    {"<blockquote", "</blockquote>"}, {"<form", "</form>"},
    {"<h1", "</h1>"},                 {"<h2", "</h2>"},
    {"<h3", "</h3>"},                 {"<h4", "</h4>"},
    {"<h5", "</h5>"},                 {"<h6", "</h6>"},
    {"<hr", "</hr>"},                 {"<dl", "</dl>"},
    {"<dt", "</dt>"},                 {"<dd", "</dd>"},
    {"<ol", "</ol>"},                 {"<li", "</li>"},
    {"<dir", "</dir>"},               {"<menu", "</menu>"},
    {"<pre", "</pre>"},               {"<p", ""},
    {"<td", "</td>"},                 {"<th", "</th>"},
    {"<tr", "</tr>"},                 {"<table", "</table>"},
    {"<a", "</a>"},                   {"<img", ""},
    {"<center", "</center>"},         {"<i", "</i>"},
    {"<br", ""},                      {"<select", "</select>"},
    {"<option", ""},                  {"<input", ""},
    {"<applet", "</applet>"},         {"<frameset", "</frameset>"},
    {"<param", ""},                   {"<frame", "</frame>"},
    {"<script", "</script>"},         {"<font", "</font>"},
    {"<b", "</b>"},                   {"", ""},  // 45
    {"", ""},                         // 46 SetCookie
    {"<url", ""},                     // 47 Url (never written)
    {"<nobr", "</nobr>"},             {"<strong", "</strong>"},
    {"<textarea", "</textarea>"},     {"<basefont", ""},
    {"<spacer", ""},                  {"", ""},  // 53
    {"", ""},                         // 54 WindowTarget
    {"", ""},                         // 55 CacheBuster
    {"<ul", "</ul>"},                 {"<style", "</style>"},
    {"", ""},                         // 58 FormattedCookie
    {"", ""},                         // 59 ContentBase
};

const char* const kAttributeNames[ATTR_COUNT] = {
    "",           "href",         "rel",          "src",         "size",       "align",
    "compact",    "title",        "valign",       "colspan",     "rowspan",    "nowrap",
    "bgcolor",    "cellpadding",  "cellspacing",  "code",        "text",       "link",
    "vlink",      "action",       "enctype",      "method",      "checked",    "maxlength",
    "name",       "type",         "value",        "multiple",    "selected",   "start",
    "width",      "methods",      "urn",          "target",      "alt",        "ismap",
    "usemap",     "height",       "units",        "border",      "hspace",     "vspace",
    "lowsrc",     "controls",     "dynsrc",       "loop",        "loopdelay",  "clear",
    "cols",       "rows",         "scrolling",    "color",       "onMouseOver", "language",
    "onChange",   "onClick",      "frameborder",  "mayscript",   "onLoad",     "wrap",
    "marginheight", "marginwidth", "onSubmit",    "background",  "onMouseOut", "onUnload",
    "framespacing", "codebase",   "onBlur",       "onFocus",
};

char* CopyOrNull(const char* text) { return text ? strdup(text) : nullptr; }

// Counts the sibling links that addNextObject has replaced, in any tree: a
// remembered end of a child chain is trusted only while the count is the one
// seen when it was remembered. Replacing a link is rare (the chains are built
// by appending), so the ends are almost always found at once.
std::atomic<unsigned> chainCuts{0};

// Decimal text of a number as a String; the malloc buffer is freed at once.
String DecimalText(int number) {
    std::unique_ptr<char, decltype(&free)> digits(StringFromInteger(number), &free);
    return String(digits.get());
}

String EscapedForHTML(const char* text) {
    String escaped(text);
    escaped.PrepForHTML();
    return escaped;
}

// Clears one flag over a subtree (and with withSiblings over the following
// siblings and theirs) with an explicit stack, so deep trees and long sibling
// chains cannot exhaust the call stack.
void ClearFlagBelow(HTMLObject* start, ZaBoolean withSiblings, signed char HTMLObject::*flag) {
    start->*flag = 0;
    std::vector<HTMLObject*> pending;
    if (start->child) pending.push_back(start->child);
    if (withSiblings == ZaTrue && start->next) pending.push_back(start->next);
    while (!pending.empty()) {
        HTMLObject* node = pending.back();
        pending.pop_back();
        node->*flag = 0;
        if (node->child) pending.push_back(node->child);
        if (node->next) pending.push_back(node->next);
    }
}

}  // namespace

const char* HTMLTagStart(int tag) { return tag >= 0 && tag < TAG_COUNT ? kTags[tag].start : ""; }
const char* HTMLTagEnd(int tag) { return tag >= 0 && tag < TAG_COUNT ? kTags[tag].end : ""; }
const char* HTMLAttributeName(int id) { return id >= 0 && id < ATTR_COUNT ? kAttributeNames[id] : ""; }

HTMLAttribute::HTMLAttribute(int attrId, const char* attrValue, const char* attrName, HTMLObject* obj)
    : id(attrId), value(CopyOrNull(attrValue)), name(CopyOrNull(attrName)), object(obj), next(nullptr) {}

HTMLAttribute::~HTMLAttribute() {
    free(value);
    free(name);
    delete object;
    // The rest of the list is freed in a loop: a long list must not recurse.
    HTMLAttribute* rest = next;
    while (rest) {
        HTMLAttribute* after = rest->next;
        rest->next = nullptr;
        delete rest;
        rest = after;
    }
}

void HTMLAttribute::SetValue(const char* text) {
    char* copy = CopyOrNull(text);
    free(value);
    value = copy;
}

void HTMLObject::initialize(int tagRow, const char* text) {
    attributes = nullptr;
    child = nullptr;
    next = nullptr;
    includes = nullptr;
    bodyFile = nullptr;
    knownFirstChild_ = nullptr;
    knownLastChild_ = nullptr;
    knownChainCuts_ = 0;
    knownFirstAttribute_ = nullptr;
    knownLastAttribute_ = nullptr;
    startOnNewLine = 1;
    endOnNewLine = 1;
    activateURLs = 1;
    escape = 1;
    enhance = 1;
    attached = 0;
    tag = tagRow;
    data = CopyOrNull(text);
}

HTMLObject::HTMLObject() {
    initialize(TAG_NONE, nullptr);
    StartOnNewLine(ZaFalse);
    EndOnNewLine(ZaFalse);
}

HTMLObject::HTMLObject(int tagRow, const char* text) { initialize(tagRow, text); }
HTMLObject::HTMLObject(const char* text) { initialize(TAG_NONE, text); }
HTMLObject::HTMLObject(int tagRow) { initialize(tagRow, nullptr); }

HTMLObject::~HTMLObject() {
    delete includes;
    delete attributes;
    free(data);
    // Children and siblings are detached and deleted from a work list, so that
    // each node's own destructor finds nothing left to recurse into.
    std::vector<HTMLObject*> doomed;
    if (child) doomed.push_back(child);
    if (next) doomed.push_back(next);
    child = next = nullptr;
    while (!doomed.empty()) {
        HTMLObject* node = doomed.back();
        doomed.pop_back();
        if (node->child) doomed.push_back(node->child);
        if (node->next) doomed.push_back(node->next);
        node->child = node->next = nullptr;
        delete node;
    }
}

// Appending starts from the end found last time, so a node with thousands of
// children (rows, options) is built in linear time. The first child is
// compared too: when it was replaced, the chain is walked from its head.
HTMLObject* HTMLObject::lastChild() {
    const bool known = knownLastChild_ && knownFirstChild_ == child &&
                       knownChainCuts_ == chainCuts.load(std::memory_order_relaxed);
    HTMLObject* last = known ? knownLastChild_ : child;
    while (last && last->next) last = last->next;
    return last;
}

// A node is never linked below itself: the tree would become a loop.
HTMLObject* HTMLObject::addObject(HTMLObject* obj) {
    if (!obj || obj->attached || obj == this) return nullptr;
    obj->attached = 1;
    HTMLObject* last = lastChild();
    if (last)
        last->next = obj;
    else
        child = obj;
    knownFirstChild_ = child;
    knownLastChild_ = obj;
    knownChainCuts_ = chainCuts.load(std::memory_order_relaxed);
    return obj;
}

HTMLObject* HTMLObject::addObject(const char* text, ZaBoolean activate) {
    HTMLObject* node = new HTMLObject(TAG_NONE, text);
    node->activateURLs = activate == ZaTrue ? 1 : 0;
    node->StartOnNewLine(ZaFalse);
    node->EndOnNewLine(ZaFalse);
    // Ownership passes with the call: an override of the object slot may keep,
    // move or even emit and destroy the node, so it is not touched afterwards.
    return addObject(node);
}

HTMLObject* HTMLObject::addObject(int number) {
    String digits = DecimalText(number);
    return addObject(digits.text, ZaFalse);
}

HTMLAttribute* HTMLObject::addAttribute(int id, const char* value) {
    String escaped = EscapedForHTML(value);
    return addAttribute(new HTMLAttribute(id, escaped.text, nullptr, nullptr));
}

HTMLAttribute* HTMLObject::addAttribute(int id, const String& value) {
    String escaped = EscapedForHTML(value.text);
    return addAttribute(new HTMLAttribute(id, escaped.text, nullptr, nullptr));
}

HTMLAttribute* HTMLObject::addAttribute(int id, int value) {
    String digits = DecimalText(value);
    return addAttribute(new HTMLAttribute(id, digits.text, nullptr, nullptr));
}

HTMLAttribute* HTMLObject::addAttribute(const char* name, const char* value) {
    String escapedName = EscapedForHTML(name);
    String escapedValue = EscapedForHTML(value);
    return addAttribute(new HTMLAttribute(ATTR_NAMED, escapedValue.text, escapedName.text, nullptr));
}

HTMLAttribute* HTMLObject::addAttribute(const char* name, int value) {
    String digits = DecimalText(value);
    return addAttribute(new HTMLAttribute(ATTR_NAMED, digits.text, name, nullptr));
}

HTMLAttribute* HTMLObject::addAttribute(int id, HTMLObject* obj) {
    // A null object would make an attribute with nothing to write: refused too.
    if (!obj || obj->attached || obj == this) return nullptr;
    obj->attached = 1;
    return addAttribute(new HTMLAttribute(id, nullptr, nullptr, obj));
}

// As with children: a link built from a request with thousands of repeated
// parameters gets them in linear time, not in time growing with their square.
HTMLAttribute* HTMLObject::lastAttribute() {
    HTMLAttribute* last =
        knownLastAttribute_ && knownFirstAttribute_ == attributes ? knownLastAttribute_ : attributes;
    while (last && last->next) last = last->next;
    return last;
}

HTMLAttribute* HTMLObject::addAttribute(HTMLAttribute* attr) {
    if (!attr) return nullptr;
    HTMLAttribute* last = lastAttribute();
    if (last)
        last->next = attr;
    else
        attributes = attr;
    knownFirstAttribute_ = attributes;
    knownLastAttribute_ = attr;
    return attr;
}

HTMLAttribute* HTMLObject::addStatusMessage(const char* message) {
    return addAttribute(ATTR_ONMOUSEOVER, MakeStatusMessage(message));
}

void HTMLObject::IncludeJSFunction(const char* path, const char* function) {
    if (!includes) includes = new ValNameList();
    includes->Append(path, function ? function : "");
}

void HTMLObject::IncludeJSCode(const char* path) {
    if (!includes) includes = new ValNameList();
    includes->Append(path, "");
}

void HTMLObject::IncludeFile(const char* path) { IncludeJSCode(path); }

void HTMLObject::IncludeBody(const char* path) {
    if (!bodyFile) bodyFile = path;
}

void HTMLObject::DontEscape(ZaBoolean withSiblings) { ClearFlagBelow(this, withSiblings, &HTMLObject::escape); }
void HTMLObject::DontEnhance(ZaBoolean withSiblings) { ClearFlagBelow(this, withSiblings, &HTMLObject::enhance); }
void HTMLObject::StartOnNewLine(ZaBoolean on) { startOnNewLine = on == ZaTrue ? 1 : 0; }
void HTMLObject::EndOnNewLine(ZaBoolean on) { endOnNewLine = on == ZaTrue ? 1 : 0; }

void HTMLObject::addData(const char* text) {
    char* copy = CopyOrNull(text);  // text may be this node's own data
    free(data);
    data = copy;
}

void HTMLObject::addData(int number) { addData(DecimalText(number).text); }

void HTMLObject::addNextObject(HTMLObject* obj) {
    if (next && next != obj) chainCuts.fetch_add(1, std::memory_order_relaxed);
    next = obj;
}

HTMLObject* HTMLObject::detachChildrenBefore(HTMLObject* keep) {
    if (!child || child == keep) return nullptr;
    HTMLObject* head = child;
    HTMLObject* last = head;
    while (last->next && last->next != keep) last = last->next;
    child = last->next;  // keep, or null when keep was not in the chain
    last->next = nullptr;
    knownFirstChild_ = nullptr;
    knownLastChild_ = nullptr;
    return head;
}

HTMLObject* HTMLObject::prependObject(HTMLObject* obj) {
    if (!obj || obj->attached || obj == this) return this;
    obj->attached = 1;
    // obj may bring unattached siblings of its own; the old children follow them.
    HTMLObject* last = obj;
    while (last->next) last = last->next;
    if (knownFirstChild_ == child) knownFirstChild_ = obj;  // the known end stays the end
    last->next = child;
    child = obj;
    return this;
}

HTMLObject* HTMLObject::prependObject(const char* text) {
    HTMLObject* node = new HTMLObject(TAG_NONE, text);
    node->EndOnNewLine(ZaFalse);
    return prependObject(node);
}

HTMLObject* HTMLObject::appendObject(HTMLObject* obj) { return addObject(obj); }

HTMLAttribute* HTMLObject::GetAttribute() { return attributes; }

String HTMLObject::MakeStatusMessage(const char* message) {
    String text("self.status='");
    text += message;
    text += "'; return true";
    return text;
}

HTMLAttribute* HTMLObject::findAttribute(int id) const {
    for (HTMLAttribute* a = attributes; a; a = a->next)
        if (a->id == id) return a;
    return nullptr;
}

HTMLAttribute* HTMLObject::findAttribute(const char* name) const {
    if (!name) return nullptr;
    for (HTMLAttribute* a = attributes; a; a = a->next)
        if (a->name && strcasecmp(a->name, name) == 0) return a;
    return nullptr;
}

HTMLAttribute* HTMLObject::AppendToAttribute(int id, const char* text) {
    HTMLAttribute* attr = findAttribute(id);
    if (!attr) {
        addAttribute(id, text);
        return nullptr;
    }
    String joined = EscapedForHTML(text);
    if (attr->value) {
        joined += ";";
        joined += attr->value;
    }
    attr->SetValue(joined.text);
    return attr;
}

HTMLAttribute* HTMLObject::AppendToAttribute(int id, HTMLObject* obj) {
    HTMLAttribute* attr = findAttribute(id);
    if (!attr) return addAttribute(id, obj);
    if (attr->object) {
        attr->object->addObject(obj);
    } else if (obj && !obj->attached && obj != this) {
        obj->attached = 1;
        attr->object = obj;
    }
    return attr;
}

HTMLAttribute* HTMLObject::ModifyAttribute(int id, const char* value) {
    HTMLAttribute* attr = findAttribute(id);
    if (attr) attr->SetValue(EscapedForHTML(value).text);
    return attr;
}

HTMLAttribute* HTMLObject::ModifyAttribute(int id, int value) {
    HTMLAttribute* attr = findAttribute(id);
    if (attr) attr->SetValue(DecimalText(value).text);
    return attr;
}

namespace {

// The search by name covers the leading run of named attributes (the query
// parameters of a Url) and stops at the first attribute without a name.
HTMLAttribute* FindLeadingNamed(HTMLAttribute* attributes, const char* name) {
    if (!name) return nullptr;
    for (HTMLAttribute* a = attributes; a && a->name; a = a->next)
        if (strcasecmp(a->name, name) == 0) return a;
    return nullptr;
}

}  // namespace

HTMLAttribute* HTMLObject::ModifyAttribute(const char* name, const char* value) {
    HTMLAttribute* attr = FindLeadingNamed(attributes, name);
    if (attr) attr->SetValue(EscapedForHTML(value).text);
    return attr;
}

HTMLAttribute* HTMLObject::ModifyAttribute(const char* name, int value) {
    HTMLAttribute* attr = FindLeadingNamed(attributes, name);
    if (attr) attr->SetValue(DecimalText(value).text);
    return attr;
}

namespace {

// Unlinks the attribute from the list and destroys it alone.
ZaBoolean UnlinkAndDelete(HTMLAttribute*& head, HTMLAttribute* doomed) {
    if (!doomed) return ZaFalse;
    HTMLAttribute** link = &head;
    while (*link != doomed) link = &(*link)->next;
    *link = doomed->next;
    doomed->next = nullptr;
    delete doomed;
    return ZaTrue;
}

}  // namespace

// The deleted attribute may be the known end of the list: forget it.
ZaBoolean HTMLObject::DeleteAttribute(int id) {
    knownLastAttribute_ = nullptr;
    return UnlinkAndDelete(attributes, findAttribute(id));
}
ZaBoolean HTMLObject::DeleteAttribute(const char* name) {
    knownLastAttribute_ = nullptr;
    return UnlinkAndDelete(attributes, findAttribute(name));
}
