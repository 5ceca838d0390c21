// Styles and the suite's standard images.
#include "zastyle.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "HTMLObject.h"
#include "Links.h"
#include "textsupport.h"
#include "vallist.h"
#include "zaimages.h"
#include "zatime.h"

namespace {

// Background images of a style live beside the style files.
const char kStyleImageDir[] = "../../../config/style";
const char kCommonProgram[] = "../../common/bin/common.cgi";

// Like every list key, a setting's name is matched without regard to letter case.
const char* SettingValue(ValNameList* settings, const char* key) {
    ValNameListItem* item = settings->Lookup(key);
    return item ? item->value : nullptr;
}

// Puts a fresh part in place of the old one, so that a style whose colours are
// initialised again does not lose the parts it had.
template <typename Part>
void Renew(Part*& part, Part* fresh) {
    delete part;
    part = fresh;
}

void ApplySize(ValNameList* settings, const char* key, ZaFrameSetStyle* frame) {
    const char* value = SettingValue(settings, key);
    if (value) frame->SetDimensions((std::string(value) + ",*").c_str());
}

void ApplyColor(ValNameList* settings, const char* key, ZaPageStyle* page) {
    const char* value = SettingValue(settings, key);
    if (value) page->SetBgColor(value);
}

void ApplyImage(ValNameList* settings, const char* key, ZaPageStyle* page) {
    const char* value = SettingValue(settings, key);
    if (value) page->SetBgGif((std::string(kStyleImageDir) + "/" + value).c_str());
}

ZaImage* CommonProgramImage(const char* program) {
    Url* url = new Url(kCommonProgram);
    url->addAttribute("program", program);
    return new ZaImage(url);
}

}  // namespace

ZaFrameSetStyle::ZaFrameSetStyle() : rowOrCol(ATTR_ROWS), dimensions(nullptr) {}

ZaFrameSetStyle::ZaFrameSetStyle(int rowOrCol, const char* dimensions)
    : rowOrCol(rowOrCol), dimensions(CopyOrNull(dimensions)) {}

ZaFrameSetStyle::~ZaFrameSetStyle() { free(dimensions); }

void ZaFrameSetStyle::SetRowOrCol(int value) { rowOrCol = value; }

void ZaFrameSetStyle::SetDimensions(const char* text) { ReplaceCopy(dimensions, text); }

ZaPageStyle::ZaPageStyle(const char* color, const char* gif)
    : bgColor(CopyOrNull(color)), bgGif(CopyOrNull(gif)) {}

ZaPageStyle::~ZaPageStyle() {
    free(bgColor);
    free(bgGif);
}

void ZaPageStyle::SetBgColor(const char* color) { ReplaceCopy(bgColor, color); }

void ZaPageStyle::SetBgGif(const char* gif) { ReplaceCopy(bgGif, gif); }

ZaStyle::ZaStyle(int styleId) : ZaStyle(styleId, nullptr, nullptr) {}

ZaStyle::ZaStyle(const char* styleName, const char* display) : ZaStyle(0, styleName, display) {}

ZaStyle::ZaStyle(int styleId, const char* styleName, const char* display)
    : id(styleId),
      name(CopyOrNull(styleName)),
      displayName(CopyOrNull(display ? display : styleName)),
      imageDir(CopyOrNull(styleName)) {
    InitColors();
}

ZaStyle::~ZaStyle() {
    free(name);
    free(displayName);
    free(imageDir);
    delete upperFrame;
    delete logoFrame;
    delete logoPage;
    delete upperPage;
    delete altUpperFrame;
    delete altLogoFrame;
    delete altLogoPage;
    delete altUpperPage;
    delete lowerFrame;
    delete lowerPage;
    delete mainPage;
    delete selectorFrame;
    delete selectorPage;
    delete helpFrame;
    delete helpPage;
}

void ZaStyle::InitColors() {
    Renew(upperFrame, new ZaFrameSetStyle(ATTR_ROWS, "50,*"));
    Renew(logoFrame, new ZaFrameSetStyle(ATTR_COLS, "90,*"));
    Renew(logoPage, new ZaPageStyle("#639c9c", nullptr));
    Renew(upperPage, new ZaPageStyle("#639c9c", nullptr));
    Renew(altUpperFrame, new ZaFrameSetStyle(ATTR_ROWS, "50,*"));
    Renew(altLogoFrame, new ZaFrameSetStyle(ATTR_COLS, "90,*"));
    Renew(altLogoPage, new ZaPageStyle("#639c9c", nullptr));
    Renew(altUpperPage, new ZaPageStyle("#639c9c", nullptr));
    Renew(lowerFrame, new ZaFrameSetStyle(ATTR_COLS, "90,*"));
    Renew(lowerPage, new ZaPageStyle("#cece9c", nullptr));
    Renew(mainPage, new ZaPageStyle("#ffffff", nullptr));
    Renew(selectorFrame, new ZaFrameSetStyle(ATTR_ROWS, "65,*"));
    Renew(selectorPage, new ZaPageStyle("#cece9c", nullptr));
    Renew(helpFrame, new ZaFrameSetStyle(ATTR_ROWS, "65,*"));
    Renew(helpPage, new ZaPageStyle("#cece9c", nullptr));
}

void ZaStyle::InitFromList(ValNameList* settings) {
    if (!settings) return;
    ApplySize(settings, "upperFrameHeight", upperFrame);
    ApplySize(settings, "logoFrameWidth", logoFrame);
    ApplySize(settings, "lowerFrameWidth", lowerFrame);
    ApplyColor(settings, "logoBackcolor", logoPage);
    ApplyImage(settings, "logoBackgroundGIF", logoPage);
    ApplyColor(settings, "upperBackcolor", upperPage);
    ApplyImage(settings, "upperBackgroundGIF", upperPage);
    ApplyColor(settings, "lowerBackcolor", lowerPage);
    ApplyImage(settings, "lowerBackgroundGIF", lowerPage);
    ApplyColor(settings, "mainBackcolor", mainPage);
    ApplyImage(settings, "mainBackgroundGIF", mainPage);
    ApplySize(settings, "selectorFrameHeight", selectorFrame);
    ApplyColor(settings, "selectorBackcolor", selectorPage);
    ApplyImage(settings, "selectorBackgroundGIF", selectorPage);
    ApplySize(settings, "helpFrameHeight", helpFrame);
    ApplyColor(settings, "helpBackcolor", helpPage);
    ApplyImage(settings, "helpBackgroundGIF", helpPage);
}

char* ZaStyle::GetGifPath(const char* gif) {
    std::string path = "images/";
    if (id != -1) path += std::string(imageDir ? imageDir : "") + "/";
    path += std::string(gif ? gif : "") + ".gif";
    return strdup(path.c_str());
}

ZaImage* ZaGetPersonGif(const char* uid, const char* photoType, ZaBoolean addTime) {
    Url* url = new Url("../../orgview/bin/orgview.cgi");
    url->addAttribute("program", "streamPhoto");
    url->addAttribute("uid", uid);
    if (photoType) url->addAttribute("photo_type", photoType);
    // The time makes every request's URL unique, so browsers do not show a
    // cached photo after it was changed.
    if (addTime == ZaTrue) {
        ZaTime now;
        url->addAttribute("curtime", now.t);
    }
    return new ZaImage(url);
}

ZaImage* ZaGetZarvoCompanyGif() { return CommonProgramImage("zarvo_company_gif"); }

ZaImage* ZaGetCompanyLogo(const char* styleId) {
    Url* url = new Url(kCommonProgram);
    url->addAttribute("program", "company_gif");
    url->addAttribute("styleId", styleId);
    return new ZaImage(url);
}

ZaImage* ZaGetFrontPageLogo() { return CommonProgramImage("front_page_gif"); }

ZaImage* ZaGetZarvoLogo() {
    ZaImage* logo = new ZaImage("../../common/bin/images/zarvologo.gif");
    logo->GifSrc();
    return logo;
}
