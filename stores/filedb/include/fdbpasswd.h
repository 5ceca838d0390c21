// One-way password hashes for the store's accounts (crypt(3): yescrypt, or
// SHA-512 where the system lacks it, each with a fresh random salt).
#ifndef FDBPASSWD_H
#define FDBPASSWD_H

#include <string>

// The hash of password; throws a ZaError* when the system cannot hash.
std::string FdbHashPassword(const std::string& password);
// True when password hashes to the stored hash; false for an empty hash.
bool FdbPasswordMatches(const std::string& password, const std::string& hash);

#endif
