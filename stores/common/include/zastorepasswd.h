// One-way password hashes for every store's accounts (crypt(3): yescrypt, or
// SHA-512 where the system lacks it, each with a fresh random salt).
#ifndef ZASTOREPASSWD_H
#define ZASTOREPASSWD_H

#include <string>

// The hash of password; throws a ZaError* when the system cannot hash.
std::string ZaHashPassword(const std::string& password);
// True when password hashes to the stored hash (compared in constant time);
// false for an empty or locked ("*...") hash.
bool ZaPasswordMatches(const std::string& password, const std::string& hash);

#endif
