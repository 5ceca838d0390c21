#include "zaerror.h"

ZaError::ZaError() : level(2) {}

ZaError::~ZaError() = default;

void ZaError::AddLine(int line, const String& file, const String& message, ZaBoolean showToUser) {
    String trace = String("Error : line ") + String(line) + " in file " + file + " : " + message;
    lines.Prepend(trace.text ? trace.text : "");
    if (showToUser == ZaTrue) userMessages.Prepend(message.text ? message.text : "");
}

ZaError* ZaError::Copy() const {
    ZaError* copy = new ZaError;
    copy->level = level;
    copy->lines.Add(&lines);
    copy->userMessages.Add(&userMessages);
    return copy;
}
