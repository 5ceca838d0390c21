// HTMLObject: one node of a page's HTML tree (a tag with attributes, data text
// and children, or a run of plain text) and the emitter that writes a node, its
// subtree and its following siblings to a request's output. HTMLAttribute: one
// attribute of a node. A node owns its attributes, data text, includes list,
// first child and next sibling; anything handed to an add... operation that is
// accepted becomes owned by the tree, a refused object stays with the caller.
#ifndef HTMLOBJECT_H
#define HTMLOBJECT_H

#include "zaerror.h"

class HTMLObject;
class RequestInfo;
class String;
class ValNameList;

// Rows of the tag table (start and end texts in HTMLObject.cc).
enum HTMLTag {
    TAG_NONE = 0, TAG_FILLER = 1, TAG_HTML = 2, TAG_HEAD = 3, TAG_BODY = 4, TAG_TITLE = 5,
    TAG_LINK = 6, TAG_ADDRESS = 7, TAG_BLOCKQUOTE = 8, TAG_FORM = 9, TAG_H1 = 10, TAG_H2 = 11,
    TAG_H3 = 12, TAG_H4 = 13, TAG_H5 = 14, TAG_H6 = 15, TAG_HR = 16, TAG_DL = 17, TAG_DT = 18,
    TAG_DD = 19, TAG_OL = 20, TAG_LI = 21, TAG_DIR = 22, TAG_MENU = 23, TAG_PRE = 24, TAG_P = 25,
    TAG_TD = 26, TAG_TH = 27, TAG_TR = 28, TAG_TABLE = 29, TAG_A = 30, TAG_IMG = 31,
    TAG_CENTER = 32, TAG_I = 33, TAG_BR = 34, TAG_SELECT = 35, TAG_OPTION = 36, TAG_INPUT = 37,
    TAG_APPLET = 38, TAG_FRAMESET = 39, TAG_PARAM = 40, TAG_FRAME = 41, TAG_SCRIPT = 42,
    TAG_FONT = 43, TAG_B = 44, TAG_UNUSED45 = 45, TAG_SETCOOKIE = 46, TAG_URL = 47,
    TAG_NOBR = 48, TAG_STRONG = 49, TAG_TEXTAREA = 50, TAG_BASEFONT = 51, TAG_SPACER = 52,
    TAG_UNUSED53 = 53, TAG_WINDOWTARGET = 54, TAG_CACHEBUSTER = 55, TAG_UL = 56, TAG_STYLE = 57,
    TAG_FORMATTEDCOOKIE = 58, TAG_CONTENTBASE = 59,
    TAG_COUNT = 60
};

// Rows of the attribute-name table (names in HTMLObject.cc); 0 is a named attribute.
enum HTMLAttr {
    ATTR_NAMED = 0, ATTR_HREF, ATTR_REL, ATTR_SRC, ATTR_SIZE, ATTR_ALIGN, ATTR_COMPACT,
    ATTR_TITLE, ATTR_VALIGN, ATTR_COLSPAN, ATTR_ROWSPAN, ATTR_NOWRAP, ATTR_BGCOLOR,
    ATTR_CELLPADDING, ATTR_CELLSPACING, ATTR_CODE, ATTR_TEXT, ATTR_LINK, ATTR_VLINK,
    ATTR_ACTION, ATTR_ENCTYPE, ATTR_METHOD, ATTR_CHECKED, ATTR_MAXLENGTH, ATTR_NAME, ATTR_TYPE,
    ATTR_VALUE, ATTR_MULTIPLE, ATTR_SELECTED, ATTR_START, ATTR_WIDTH, ATTR_METHODS, ATTR_URN,
    ATTR_TARGET, ATTR_ALT, ATTR_ISMAP, ATTR_USEMAP, ATTR_HEIGHT, ATTR_UNITS, ATTR_BORDER,
    ATTR_HSPACE, ATTR_VSPACE, ATTR_LOWSRC, ATTR_CONTROLS, ATTR_DYNSRC, ATTR_LOOP,
    ATTR_LOOPDELAY, ATTR_CLEAR, ATTR_COLS, ATTR_ROWS, ATTR_SCROLLING, ATTR_COLOR,
    ATTR_ONMOUSEOVER, ATTR_LANGUAGE, ATTR_ONCHANGE, ATTR_ONCLICK, ATTR_FRAMEBORDER,
    ATTR_MAYSCRIPT, ATTR_ONLOAD, ATTR_WRAP, ATTR_MARGINHEIGHT, ATTR_MARGINWIDTH, ATTR_ONSUBMIT,
    ATTR_BACKGROUND, ATTR_ONMOUSEOUT, ATTR_ONUNLOAD, ATTR_FRAMESPACING, ATTR_CODEBASE,
    ATTR_ONBLUR, ATTR_ONFOCUS,
    ATTR_COUNT  // 70
};

// Start text (without ">") and end text of a tag row; "" for rows that write no tag.
const char* HTMLTagStart(int tag);
const char* HTMLTagEnd(int tag);
// Name written for an attribute row; "" for row 0 and for numbers outside the table.
const char* HTMLAttributeName(int id);

// One attribute; a list owns every attribute after it through next.
class HTMLAttribute {
public:
    int id;              // row of the attribute-name table; 0 = named attribute
    char* value;         // owned copy or null
    char* name;          // owned copy or null; only named attributes have one
    HTMLObject* object;  // owned; its emitted text is the value
    HTMLAttribute* next;

    // Copies both strings; takes the object.
    HTMLAttribute(int id, const char* value, const char* name, HTMLObject* object);
    HTMLAttribute(const HTMLAttribute&) = delete;
    HTMLAttribute& operator=(const HTMLAttribute&) = delete;
    ~HTMLAttribute();  // frees strings and object, then every following attribute

    void SetValue(const char* text);  // replaces value with a copy of text
};

class HTMLObject {
public:
    HTMLAttribute* attributes;  // in the order added; owned
    int tag;                    // row of the tag table; 0 = plain text
    // Flags, 0 or 1, held in single bytes: a page may hold many thousands of nodes.
    signed char startOnNewLine;  // start tag on a new, indented line
    signed char endOnNewLine;    // end tag on a new, indented line
    signed char attached;        // 1 once linked into a tree; refused by every later attach
    signed char activateURLs;    // run String::ActivateURLs over data when emitting
    signed char escape;          // run String::PrepForHTML over data when emitting
    signed char enhance;         // run String::HTMLEnhanced over data when emitting

private:
    // Declared here, where it fills the gap after the flags: see knownLastChild_.
    unsigned knownChainCuts_;

public:
    char* data;                 // written right after the start tag; owned or null
    ValNameList* includes;      // (path, function or "") to copy into the output; owned
    const char* bodyFile;       // HTML file whose body is copied; the caller's, not freed
    HTMLObject* child;          // first child; owned
    HTMLObject* next;           // next sibling; owned

    HTMLObject();                               // tag 0, no text, both newline flags 0
    HTMLObject(int tag, const char* text);
    explicit HTMLObject(const char* text);      // tag 0
    explicit HTMLObject(int tag);
    HTMLObject(const HTMLObject&) = delete;
    HTMLObject& operator=(const HTMLObject&) = delete;

    // Virtual slots, in this order (derived classes keep it).
    virtual ~HTMLObject();
    // Appends as last child; null when obj is null, already attached or this
    // node itself.
    virtual HTMLObject* addObject(HTMLObject* obj);
    // Appends a plain-text node (both newline flags 0) and returns it.
    virtual HTMLObject* addObject(const char* text, ZaBoolean activateURLs);
    virtual HTMLObject* addObject(int number);
    // Value HTML-escaped, then appended; returns the new attribute.
    virtual HTMLAttribute* addAttribute(int id, const char* value);
    virtual HTMLAttribute* addAttribute(int id, const String& value);
    virtual HTMLAttribute* addAttribute(int id, int value);  // decimal, not escaped
    // Named attribute; name and value HTML-escaped.
    virtual HTMLAttribute* addAttribute(const char* name, const char* value);
    virtual HTMLAttribute* addAttribute(const char* name, int value);  // name not escaped
    // Attribute whose value is obj's emitted text; null when obj is null,
    // attached or this node itself.
    virtual HTMLAttribute* addAttribute(int id, HTMLObject* obj);
    // Links attr (owned from now on) at the end of the list.
    virtual HTMLAttribute* addAttribute(HTMLAttribute* attr);
    // onMouseOver="self.status='<message>'; return true".
    virtual HTMLAttribute* addStatusMessage(const char* message);
    // Writes this node, its subtree and its following siblings. indent: spaces
    // after a line break; lineBreaks 0 suppresses breaks and indentation; style
    // is handed down unchanged for widgets that build image paths.
    virtual void emit(RequestInfo* out, int indent, int lineBreaks, const char* style);
    virtual void emitStartFlag(RequestInfo* out, int indent, int lineBreaks, const char* style);
    virtual void emitEndFlag(RequestInfo* out, int indent, int lineBreaks);
    virtual void emitAttribute(RequestInfo* out, int indent, int lineBreaks, const char* style);
    // Copy a whole file (then "\n\n"); 0, or -1 when it cannot be opened.
    virtual int EmitJSCode(RequestInfo* out, const char* path);
    // Copy one "function" from its header line to its first "}" line; 0 or -1.
    virtual int EmitJSFunction(RequestInfo* out, const char* path, const char* function);
    // Copy the lines between "<body" and "</body>"; 0, or -1 when it cannot be opened.
    virtual int EmitHTMLBody(RequestInfo* out, const char* path);
    // Queue files for emission right after the data text, in the order added.
    virtual void IncludeJSFunction(const char* path, const char* function);
    virtual void IncludeJSCode(const char* path);
    virtual void IncludeFile(const char* path);
    virtual void IncludeBody(const char* path);  // the first call wins; path is not copied

    // Clear escape (enhance) on this node and its subtree, and with withSiblings
    // on every following sibling and its subtree too.
    void DontEscape(ZaBoolean withSiblings);
    void DontEnhance(ZaBoolean withSiblings);
    void StartOnNewLine(ZaBoolean on);
    void EndOnNewLine(ZaBoolean on);
    void addData(const char* text);
    void addData(int number);
    // Sets next without any attach check (header chains of a page).
    void addNextObject(HTMLObject* obj);
    // Makes obj the first child; returns this (unchanged when obj is attached).
    HTMLObject* prependObject(HTMLObject* obj);
    HTMLObject* prependObject(const char* text);
    HTMLObject* appendObject(HTMLObject* obj);
    HTMLAttribute* GetAttribute();
    static String MakeStatusMessage(const char* message);
    // Puts escaped text + ";" in front of the value of the first attribute with
    // this id; adds the attribute when there is none (then returns null).
    HTMLAttribute* AppendToAttribute(int id, const char* text);
    HTMLAttribute* AppendToAttribute(int id, HTMLObject* obj);
    // Replace the value of the first match; nothing is added when none matches.
    // Return the changed attribute or null.
    HTMLAttribute* ModifyAttribute(int id, const char* value);
    HTMLAttribute* ModifyAttribute(int id, int value);
    HTMLAttribute* ModifyAttribute(const char* name, const char* value);
    HTMLAttribute* ModifyAttribute(const char* name, int value);
    // Unlink and destroy the first match only; ZaTrue when one was removed.
    ZaBoolean DeleteAttribute(int id);
    ZaBoolean DeleteAttribute(const char* name);

protected:
    void initialize(int tag, const char* text);
    // Steps of emit for this node alone, shared with the emit overrides.
    void emitData(RequestInfo* out);
    void emitIncludes(RequestInfo* out);
    // Unlinks the children in front of keep (every child when keep is null or
    // not a child) and returns the first of them, still linked through next;
    // keep becomes the first child. The caller owns what is returned. For
    // nodes that write the finished part of a growing child chain and free it.
    HTMLObject* detachChildrenBefore(HTMLObject* keep);

private:
    HTMLAttribute* findAttribute(int id) const;
    HTMLAttribute* findAttribute(const char* name) const;
    HTMLObject* lastChild();
    HTMLAttribute* lastAttribute();

    // Where the child chain ended at the last append, valid while child is
    // still knownFirstChild_ and no link inside a chain has been replaced
    // since knownChainCuts_ was taken (addNextObject over an existing sibling
    // may cut the remembered end off the chain). Otherwise the end is found from here by following next
    // links that were added since.
    HTMLObject* knownFirstChild_;
    HTMLObject* knownLastChild_;
    // The same for the attribute list; forgotten when an attribute is deleted.
    HTMLAttribute* knownFirstAttribute_;
    HTMLAttribute* knownLastAttribute_;
};

#endif
