// Form widgets and the date selector.
#include "zaforms.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <strings.h>

#include "textsupport.h"
#include "vallist.h"
#include "zadate.h"

namespace {

const char* const kNoText = nullptr;  // picks the text constructor of a tag class

// name, action (a text or a Url that the form takes over), method, enctype.
template <typename Action>
void SetUpForm(Form* form, const char* name, Action action, const char* enctype) {
    form->addAttribute(ATTR_NAME, name);
    form->addAttribute(ATTR_ACTION, action);
    form->addAttribute(ATTR_METHOD, "post");
    if (enctype) form->addAttribute(ATTR_ENCTYPE, enctype);
}

// type, name, size (unless kNoSize) and value, in the order every input writes them.
constexpr int kNoSize = -1;
template <typename Value>
void SetUpInput(Input* input, const char* type, const char* name, int size, Value value) {
    input->addAttribute(ATTR_TYPE, type);
    input->addAttribute(ATTR_NAME, name);
    if (size != kNoSize) input->addAttribute(ATTR_SIZE, size);
    input->addAttribute(ATTR_VALUE, value);
}

const char* ParamValue(ValNameList* params, const std::string& name) {
    ValNameListItem* item = params ? params->Lookup(name.c_str()) : nullptr;
    return item ? item->value : nullptr;
}

void AddNumberOption(ZaSelect* select, const char* label, int value, int selected) {
    if (value == selected) {
        select->AddOptionSelected(label, value);
    } else {
        select->AddOption(label, value);
    }
}

}  // namespace

ZaInput::ZaInput(const char* name, const char* value, const char* type) : Input(kNoText) {
    SetUpInput(this, type, name, kNoSize, value);
}

ZaInput::ZaInput(const char* name, int value, const char* type) : Input(kNoText) {
    SetUpInput(this, type, name, kNoSize, value);
}

ZaInput::ZaInput(const char* name, const char* value, int size, const char* type) : Input(kNoText) {
    SetUpInput(this, type, name, size, value);
}

ZaInput::ZaInput(const char* name, int value, int size, const char* type) : Input(kNoText) {
    SetUpInput(this, type, name, size, value);
}

ZaCheckBox::ZaCheckBox(const char* name, const char* value, const char* label)
    : ZaInput(name, value, "checkbox") {
    if (label) addData(label);
}

void ZaCheckBox::MarkChecked() { addAttribute(ATTR_CHECKED, "true"); }

ZaRadioButton::ZaRadioButton(const char* name, const char* value, const char* label)
    : ZaInput(name, value, "radio") {
    if (label) addData(label);
}

void ZaRadioButton::MarkChecked() { addAttribute(ATTR_CHECKED, "true"); }

ZaHiddenInput::ZaHiddenInput(const char* name, const char* value) : ZaInput(name, value, "hidden") {}

ZaHiddenInput::ZaHiddenInput(const char* name, int value) : ZaInput(name, value, "hidden") {}

ZaTextInput::ZaTextInput(const char* name, const char* value) : ZaInput(name, value, 40, "text") {}

ZaTextInput::ZaTextInput(const char* name, const char* value, int size) : ZaInput(name, value, size, "text") {}

ZaTextInput::ZaTextInput(const char* name, int value) : ZaInput(name, value, "text") {}

ZaTextInput::ZaTextInput(const char* name, int value, int size) : ZaInput(name, value, size, "text") {}

ZaPasswordInput::ZaPasswordInput(const char* name) : ZaInput(name, "", 40, "password") {}

ZaPasswordInput::ZaPasswordInput(const char* name, const char* value) : ZaInput(name, value, 40, "password") {}

ZaPasswordInput::ZaPasswordInput(const char* name, int size) : ZaInput(name, "", size, "password") {}

ZaPasswordInput::ZaPasswordInput(const char* name, const char* value, int size)
    : ZaInput(name, value, size, "password") {}

ZaFileInput::ZaFileInput(const char* name, int size) : ZaInput(name, "", size, "file") {}

ZaSubmitButton::ZaSubmitButton(const char* name, const char* value) : ZaInput(name, value, "submit") {}

ZaTextArea::ZaTextArea(const char* name, const char* text) : ZaTextArea(name, 4, 40, text) {}

ZaTextArea::ZaTextArea(const char* name, int rows, int cols, const char* text) : TextArea(kNoText) {
    addAttribute(ATTR_NAME, name);
    addAttribute(ATTR_ROWS, rows);
    addAttribute(ATTR_COLS, cols);
    addAttribute(ATTR_WRAP, "virtual");
    if (text) addObject(text, ZaFalse);
}

ZaSelect::ZaSelect(const char* name) : Select(kNoText) { addAttribute(ATTR_NAME, name); }

Option* ZaSelect::AddOption(const char* label, const char* value) {
    Option* option = new Option(kNoText);
    if (value) option->addAttribute(ATTR_VALUE, value);
    option->addObject(label, ZaFalse);
    addObject(option);
    return option;
}

// A number needs no escaping, so it is written like any other value.
Option* ZaSelect::AddOption(const char* label, int value) { return AddOption(label, std::to_string(value).c_str()); }

Option* ZaSelect::AddOptionSelected(const char* label, const char* value) {
    Option* option = AddOption(label, value);
    // Attributes go before the label child, so adding one later is safe.
    option->addAttribute(ATTR_SELECTED, "true");
    return option;
}

Option* ZaSelect::AddOptionSelected(const char* label, int value) {
    Option* option = AddOption(label, value);
    option->addAttribute(ATTR_SELECTED, "true");
    return option;
}

Option* ZaSelect::AddOptionWithSelectCheck(const char* label, const char* value, const char* current) {
    bool selected = value && current && strcasecmp(value, current) == 0;
    return selected ? AddOptionSelected(label, value) : AddOption(label, value);
}

ZaForm::ZaForm(const char* name, const char* action) : Form(kNoText) {
    SetUpForm(this, name, action, nullptr);
}

ZaForm::ZaForm(const char* name, Url* action) : Form(kNoText) { SetUpForm(this, name, action, nullptr); }

ZaMultiPartForm::ZaMultiPartForm(const char* name, const char* action) : Form(kNoText) {
    SetUpForm(this, name, action, "multipart/form-data");
}

ZaMultiPartForm::ZaMultiPartForm(const char* name, Url* action) : Form(kNoText) {
    SetUpForm(this, name, action, "multipart/form-data");
}

ZaEmailForm::ZaEmailForm(const char* name, const char* action) : Form(kNoText) {
    SetUpForm(this, name, action, "text/plain");
}

ZaEmailForm::ZaEmailForm(const char* name, Url* action) : Form(kNoText) {
    SetUpForm(this, name, action, "text/plain");
}

ZaDateSelect::ZaDateSelect(const char* name, const char* date)
    : HTMLObject(), monthSelect(nullptr), dateSelect(nullptr), yearSelect(nullptr) {
    // Without a date the selector offers today.
    ZaDate chosen = date && *date ? ZaDate(date) : ZaDate();
    std::string base = name ? name : "";

    monthSelect = new ZaSelect((base + "_month").c_str());
    for (int month = 1; month <= 12; month++) {
        OwnedText label(ZaDate::GetMonthString(month));
        AddNumberOption(monthSelect, label.get(), month, chosen.month);
    }
    addObject(monthSelect);

    dateSelect = new ZaSelect((base + "_date").c_str());
    for (int day = 1; day <= 31; day++) {
        AddNumberOption(dateSelect, std::to_string(day).c_str(), day, chosen.day);
    }
    addObject(dateSelect);

    yearSelect = new ZaSelect((base + "_year").c_str());
    for (int year = chosen.year - 10; year < chosen.year + 10; year++) {
        AddNumberOption(yearSelect, std::to_string(year).c_str(), year, chosen.year);
    }
    addObject(yearSelect);
}

char* ZaDateSelect::GetDate(const char* name, ValNameList* params) {
    std::string base = name ? name : "";
    const char* month = ParamValue(params, base + "_month");
    const char* day = ParamValue(params, base + "_date");
    const char* year = ParamValue(params, base + "_year");
    if (!month || !day || !year) return nullptr;
    int d = atoi(day), m = atoi(month), y = atoi(year);
    if (ZaDate::ValidateDate(d, m, y) != ZaTrue) return nullptr;
    return ZaDate(d, m, y).VersitStyleStringWithSeconds();
}
