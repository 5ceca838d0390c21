// ZaStyle: the look of the suite's pages (frame sizes, page colours and
// background images, image folder), with its frameset and page parts. A style
// owns every part and every text it holds; callers that replace a part's text
// keep their own argument. Also the suite's standard images and the functions
// that send a file to the browser.
#ifndef ZASTYLE_H
#define ZASTYLE_H

#include "zaerror.h"

class RequestInfo;
class ValNameList;
class ZaConfigDB;
class ZaImage;

// Layout of one frameset: the frame sizes under `rows` or `cols`.
class ZaFrameSetStyle {
public:
    int rowOrCol;      // attribute number: ATTR_ROWS (49) or ATTR_COLS (48)
    char* dimensions;  // owned copy such as "50,*", or null

    ZaFrameSetStyle();  // rows, no dimensions
    ZaFrameSetStyle(int rowOrCol, const char* dimensions);
    ZaFrameSetStyle(const ZaFrameSetStyle&) = delete;
    ZaFrameSetStyle& operator=(const ZaFrameSetStyle&) = delete;
    ~ZaFrameSetStyle();

    void SetRowOrCol(int rowOrCol);
    void SetDimensions(const char* dimensions);  // keeps a copy
};

// Look of one kind of page: background colour and optional background image.
class ZaPageStyle {
public:
    char* bgColor;  // owned copy such as "#ffffff"
    char* bgGif;    // owned copy of a background-image URL, or null

    ZaPageStyle(const char* bgColor, const char* bgGif);
    ZaPageStyle(const ZaPageStyle&) = delete;
    ZaPageStyle& operator=(const ZaPageStyle&) = delete;
    ~ZaPageStyle();

    void SetBgColor(const char* color);  // keeps a copy
    void SetBgGif(const char* gif);      // keeps a copy; null removes the image
};

class ZaStyle {
public:
    int id;             // -1: the built-in style without a name
    char* name;         // owned, null for the built-in style
    char* displayName;  // owned
    char* imageDir;     // owned: the folder of the style's images
    ZaFrameSetStyle* upperFrame = nullptr;
    ZaFrameSetStyle* logoFrame = nullptr;
    ZaPageStyle* logoPage = nullptr;
    ZaPageStyle* upperPage = nullptr;
    ZaFrameSetStyle* altUpperFrame = nullptr;
    ZaFrameSetStyle* altLogoFrame = nullptr;
    ZaPageStyle* altLogoPage = nullptr;
    ZaPageStyle* altUpperPage = nullptr;
    ZaFrameSetStyle* lowerFrame = nullptr;
    ZaPageStyle* lowerPage = nullptr;
    ZaPageStyle* mainPage = nullptr;
    ZaFrameSetStyle* selectorFrame = nullptr;
    ZaPageStyle* selectorPage = nullptr;
    ZaFrameSetStyle* helpFrame = nullptr;
    ZaPageStyle* helpPage = nullptr;

    explicit ZaStyle(int id);  // no name; -1 is the built-in style
    // id 0; displayName is a copy of name when null.
    ZaStyle(const char* name, const char* displayName);
    ZaStyle(int id, const char* name, const char* displayName);
    ZaStyle(const ZaStyle&) = delete;
    ZaStyle& operator=(const ZaStyle&) = delete;
    ~ZaStyle();

    // Sets the fifteen parts to the built-in defaults (replacing any earlier ones).
    void InitColors();
    // Applies a style's settings list ("lowerFrameWidth", "mainBackcolor", ...);
    // missing keys keep the defaults.
    void InitFromList(ValNameList* settings);
    // New malloc text the caller frees: "images/<imageDir>/<gif>.gif", or
    // "images/<gif>.gif" for the built-in style.
    char* GetGifPath(const char* gif);
};

// Standard images; each returns a new ZaImage owned by the caller.
ZaImage* ZaGetPersonGif(const char* uid, const char* photoType, ZaBoolean addTime);
ZaImage* ZaGetZarvoCompanyGif();
ZaImage* ZaGetCompanyLogo(const char* styleId);
ZaImage* ZaGetFrontPageLogo();
ZaImage* ZaGetZarvoLogo();

// Copies the file to a new temporary file; returns its path (malloc text the
// caller frees), or null when the copy cannot be made.
char* ZaGetFilePath(const char* path);

// Sends the file at path as the whole HTTP response, under the file name
// `name` and the given MIME type (looked up from name's extension when null).
// Returns 1 when sent, 0 when path is null, the file cannot be opened or no
// buffer can be had. A read error is rethrown as ZaError*.
int ZaStreamFile(RequestInfo* out, const char* name, const char* path, ZaConfigDB* config,
                 const char* mimeType);

#endif
