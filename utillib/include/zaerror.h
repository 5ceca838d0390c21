// ZaError: the error object carried, by pointer, by every exception of the
// suite; it gathers a trace (newest line first) and the messages meant for the
// user. ZaBoolean is the suite's yes/no type: only ZaTrue (1) counts as true.
#ifndef ZAERROR_H
#define ZAERROR_H

enum ZaBoolean { ZaFalse = 0, ZaTrue = 1 };

// vallist.h and string_class.h include this header before their own guards, so
// ZaBoolean exists before they are read whichever header comes first.
#include "string_class.h"
#include "vallist.h"

// Errors are thrown as heap pointers (`throw new ZaError`); whoever ends the
// error deletes it. Only AddLine is virtual; the class is final so that deleting
// it through its own type is always complete.
class ZaError final {
public:
    ValList lines;         // trace, newest first
    ValList userMessages;  // user-visible messages, newest first
    int level;             // 2 internal, 3 directory store unreachable, 4 for the user

    ZaError();
    ~ZaError();

    // Prepends "Error : line <line> in file <file> : <message>" to lines; when
    // showToUser is ZaTrue the message alone is also prepended to userMessages.
    virtual void AddLine(int line, const String& file, const String& message, ZaBoolean showToUser);

    // A new heap error (owned by the caller) with the same level and copies of both lists.
    ZaError* Copy() const;
};

#endif
