// What a directory store accepts as IDs and texts, so that every store refuses
// the same input with the same message. A refusal is a ZaError* of level 4
// whose one user message names the field.
#ifndef ZASTORELIMITS_H
#define ZASTORELIMITS_H

#include <string>

// Longest display name, e-mail address, group or document name, in bytes.
constexpr size_t kZaStoreMaxName = 256;
// Longest document description, in bytes.
constexpr size_t kZaStoreMaxDescription = 4096;

// A user or group ID (or login name): 1 to 64 letters, digits, '.', '_', '-'
// or '@', not starting with '.', so that it can name a folder.
bool ZaStoreValidId(const std::string& id);
// The ID as stores compare and file it: lower case.
std::string ZaStoreKey(const std::string& id);

// Refuses text longer than `limit` bytes or holding control characters (line
// ends, tabs): `what` names the field in the message, e.g. "the display name".
void ZaCheckStoreText(const std::string& text, const char* what, size_t limit = kZaStoreMaxName);
// Refuses an ID that ZaStoreValidId rejects.
void ZaCheckStoreId(const std::string& id, const char* what);

// Raises a ZaError* of level 4 with `message` as its user message.
[[noreturn]] void ZaStoreRefuse(int line, const char* source, const std::string& message);
// Raises a ZaError* with one trace line, not shown to the user (level 2
// internal, 3 store unreachable).
[[noreturn]] void ZaStoreFail(int line, const char* source, const std::string& message, int level = 2);

#endif
