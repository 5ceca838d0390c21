// Stand-in for the console's entry until the application frame takes over:
// answers every request with a page listing its decoded parameters and
// cookies.
#include <string>

#include "cgiutil.h"
#include "reqinfo.h"
#include "string_class.h"
#include "vallist.h"

namespace {

std::string Escaped(const char* text) {
    String s(text ? text : "");
    s.PrepForHTML();
    return s.text ? s.text : "";
}

// One "<li>name=value</li>" line per item; an uploaded file adds its
// temporary path as " file=path".
void WriteItems(RequestInfo* request, const char* title, const ValNameList* list) {
    request->Write((std::string("<h2>") + title + "</h2>\n<ul>\n").c_str());
    for (ValNameListItem* item = list ? list->head : nullptr; item; item = item->next) {
        std::string line = "<li>" + Escaped(item->name) + "=" + Escaped(item->value);
        if (item->extra1) line += " file=" + Escaped(item->extra1);
        request->Write((line + "</li>\n").c_str());
    }
    request->Write("</ul>\n");
}

}  // namespace

int ModuleMain(RequestInfo* request) {
    request->WriteHeader("Content-type", "text/html");
    request->WriteHeader("", nullptr);
    request->Write("<html>\n<body>\n");
    WriteItems(request, "Parameters", request->params);
    WriteItems(request, "Cookies", request->cookies);
    request->Write("</body>\n</html>\n");
    return 0;
}
