// Page widgets: a window with a head and a lazily made script, a page with a
// styled body, frameset pages, the two navigation-bar pages, and a page that
// is sent piece by piece while it is being built. Each is a Page: emitting it
// writes the whole HTTP response; whoever emits it deletes it. Objects added
// to a page belong to it; styles passed in stay the caller's.
#ifndef ZAPAGES_H
#define ZAPAGES_H

#include "Classes.h"

class ZaFrameSetStyle;
class ZaImage;
class ZaImageButtonBase;
class ZaPageStyle;
class ZaTable;

class ZaWindow : public Page {
public:
    Script* script;  // made on first need, child of head
    Head* head;

    ZaWindow();

    // Makes the script element (language "JavaScript") when there is none.
    void CheckScript();
    // Each includes a JavaScript file or one function of a common script file.
    void AddJSFile(const char* path);
    void AddJSFunction(const char* function);  // from "../../common/bin/misc.js"
    void AddJSFunction(const char* path, const char* function);
    void AddJSHelpFunctions();
    void AddJSDoNothing();
    void AddJSAskForEmailNotify();
    void AddJSSubmitFormAfterConfirm();
    void AddJSSubmitForm();
    void AddJSIsInteger();
    void AddJSIsNonNullInteger();
    void AddJSConfirmClear();
    void AddJSConfirmDelete();
    void AddJSConfirmDeleteMeeting();
    void AddJSConfirmDeleteMeetingSubmit();
    void AddJSConfirm();
    void AddJSCurrentlyIn();
    void AddJSNullifyHelpWin();
    // "var <name> = <value>;" in the script, after the included functions.
    void AddJSVar(const char* name, const char* value);
    void AddJSVar(const char* name, int value);
};

class ZaPage : public ZaWindow {
public:
    Body* body;

    // Body colour and background from the style; "#ffffff" without one.
    explicit ZaPage(ZaPageStyle* style = nullptr);

    void OnLoad(const char* script);
    // Each puts its call in front of the body's onLoad.
    void AddFormFocusTo(const char* form, const char* field);
    void SetHelpContext(const char* context);
    void AddJSJCard();
    void AddJSCloseWindow();
    void AddJSSelectorWindowClose();
    void AddJSSelectorQuit();
    void AddJSCloseChild();
    // addObject on the body; each returns what was added.
    HTMLObject* AppendToBody(HTMLObject* object);
    HTMLObject* AppendToBody(const char* text);
    HTMLObject* AppendToBody(int number);
};

class ZaFrameSetPage : public ZaWindow {
public:
    FrameSet* frameset;

    explicit ZaFrameSetPage(ZaFrameSetStyle* style);
    // rowOrCol: ATTR_ROWS or ATTR_COLS; dimensions such as "50,*".
    ZaFrameSetPage(int rowOrCol, const char* dimensions);

    // Appends a frame loading src (owned from now on); returns the frame.
    Frame* AddNewFrame(Url* src, const char* name, ZaBoolean scrolling);
    Frame* AddNewFrameNoSpace(Url* src, const char* name, ZaBoolean scrolling);  // no margins
};

class ZaTopFrameSet : public ZaFrameSetPage {
public:
    explicit ZaTopFrameSet(ZaFrameSetStyle* style);
};

class ZaAppFrameSet : public ZaFrameSetPage {
public:
    explicit ZaAppFrameSet(ZaFrameSetStyle* style);
};

// Side navigation bar: buttons one below the other, centred.
class ZaAppNavbar : public ZaPage {
public:
    ZaTable* table;  // made by the first AddElementToTable; part of the body

    explicit ZaAppNavbar(ZaPageStyle* style);
    void AddElement(ZaImageButtonBase* button);
    void AddElementToTable(ZaImageButtonBase* button);
};

// Top navigation bar: rows of buttons and images side by side.
class ZaTopNavbar : public ZaPage {
public:
    NoBR* row;  // the current row

    ZaTopNavbar(ZaPageStyle* style, ZaBoolean startOnNewLine);
    void AddElement(ZaImageButtonBase* button);
    void AddElement(ZaImage* image);
    void NewRow();
};

// A page sent while it is built: the constructor writes the response head,
// each addObject sends its object at once (and destroys it), the destructor
// writes the end of the page. The page's own tree is never emitted.
class ZaStreamPage : public Page {
public:
    RequestInfo* out;           // not owned
    CacheBuster* cacheBuster;   // owned
    char* style;                // owned copy of the style name

    // helpContext may be null.
    ZaStreamPage(RequestInfo* out, const char* helpContext, const char* style);
    ~ZaStreamPage() override;

    // Each sends the item and returns null: the item no longer exists.
    HTMLObject* addObject(HTMLObject* item) override;
    HTMLObject* addObject(const char* text, ZaBoolean activateURLs) override;
    HTMLObject* addObject(int number) override;
    // Writes nothing: everything has been sent already.
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override;
};

#endif
