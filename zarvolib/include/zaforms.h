// Form widgets: inputs with their attributes in a fixed order, text areas,
// selections, forms, and the three-part date selector with GetDate, which
// reads the chosen date back from the request parameters. Options and
// children that a widget creates belong to it.
#ifndef ZAFORMS_H
#define ZAFORMS_H

#include "Classes.h"

class ValNameList;

// <input>: type, name, [size,] value.
class ZaInput : public Input {
public:
    ZaInput(const char* name, const char* value, const char* type);
    ZaInput(const char* name, int value, const char* type);
    ZaInput(const char* name, const char* value, int size, const char* type);
    ZaInput(const char* name, int value, int size, const char* type);
};

class ZaCheckBox : public ZaInput {
public:
    // A label is printed right after the tag.
    ZaCheckBox(const char* name, const char* value, const char* label = nullptr);
    void MarkChecked();  // checked="true" after the other attributes
};

class ZaRadioButton : public ZaInput {
public:
    ZaRadioButton(const char* name, const char* value, const char* label = nullptr);
    void MarkChecked();
};

class ZaHiddenInput : public ZaInput {
public:
    ZaHiddenInput(const char* name, const char* value);
    ZaHiddenInput(const char* name, int value);
};

class ZaTextInput : public ZaInput {
public:
    ZaTextInput(const char* name, const char* value);  // size 40
    ZaTextInput(const char* name, const char* value, int size);
    ZaTextInput(const char* name, int value);  // no size
    ZaTextInput(const char* name, int value, int size);
};

class ZaPasswordInput : public ZaInput {
public:
    explicit ZaPasswordInput(const char* name);        // value "", size 40
    ZaPasswordInput(const char* name, const char* value);  // size 40
    ZaPasswordInput(const char* name, int size);       // value ""
    ZaPasswordInput(const char* name, const char* value, int size);
};

class ZaFileInput : public ZaInput {
public:
    ZaFileInput(const char* name, int size);
};

class ZaSubmitButton : public ZaInput {
public:
    ZaSubmitButton(const char* name, const char* value);
};

// <textarea>: name, rows (4), cols (40), wrap "virtual"; the text as content.
class ZaTextArea : public TextArea {
public:
    ZaTextArea(const char* name, const char* text);
    ZaTextArea(const char* name, int rows, int cols, const char* text);
};

// <select name=...>; each Add... appends an option and returns it.
class ZaSelect : public Select {
public:
    explicit ZaSelect(const char* name);
    Option* AddOption(const char* label, const char* value);  // null value: no attribute
    Option* AddOption(const char* label, int value);
    Option* AddOptionSelected(const char* label, const char* value);
    Option* AddOptionSelected(const char* label, int value);
    // Selected when value equals current, ignoring case.
    Option* AddOptionWithSelectCheck(const char* label, const char* value, const char* current);
};

// <form name action method="post">; the Url form takes the URL over.
class ZaForm : public Form {
public:
    ZaForm(const char* name, const char* action);
    ZaForm(const char* name, Url* action);
};

// enctype "multipart/form-data" (file uploads).
class ZaMultiPartForm : public Form {
public:
    ZaMultiPartForm(const char* name, const char* action);
    ZaMultiPartForm(const char* name, Url* action);
};

// enctype "text/plain" (forms sent by e-mail).
class ZaEmailForm : public Form {
public:
    ZaEmailForm(const char* name, const char* action);
    ZaEmailForm(const char* name, Url* action);
};

// Month, day and year selections named <name>_month, <name>_date, <name>_year.
class ZaDateSelect : public HTMLObject {
public:
    ZaSelect* monthSelect;  // children of this node
    ZaSelect* dateSelect;
    ZaSelect* yearSelect;

    // date: a versit date text ("19971204" or "19971204T0905..."); null or
    // empty means today. Throws ZaError* for a date that does not exist.
    ZaDateSelect(const char* name, const char* date);

    // The submitted date as a new malloc "YYYYMMDDThhmmss" text, or null when
    // a field is missing or the date does not exist.
    static char* GetDate(const char* name, ValNameList* params);
};

#endif
