// File and directory utilities: tests, copies, moves, sizes and removal of
// directory trees, temporary names and block reads. Returned texts and lists are
// new allocations owned by the caller (texts: malloc/free; lists: delete).
// The directory-tree functions change the working directory while they run and
// always change back, also when they throw.
#ifndef ZAFILE_H
#define ZAFILE_H

#include <stdio.h>

#include "zacallback.h"
#include "zaerror.h"

class ValList;

ZaBoolean ZaCheckIfFile(const char* path);
ZaBoolean ZaCheckIfDirectory(const char* path);
ZaBoolean ZaCheckIfDirectoryAndCreate(const char* path, unsigned long mode);
ZaBoolean ZaMkdir(const char* path, unsigned long mode, ZaBoolean existsOk);

long long ZaGetFileSize(const char* path);  // 0 when it cannot be examined
long ZaGetTimeStamp(const char* path);      // st_mtime; 0 when stat fails

// Names in the directory without "." and ".."; empty when it cannot be opened.
ValList* ZaGetDirEntries(const char* dir);

// Total bytes of all files below dir, summed in 64 bits so that trees of 2 GB
// and more are reported correctly. Throws a ZaError* on failure.
long long ZaGetDirSize(const char* dir);
// Removes the tree; a missing directory is no error. Throws a ZaError* when it
// cannot enter the directory.
ZaBoolean ZaRemoveDir(const char* dir);

ZaBoolean ZaFileCopy(const char* from, const char* to, unsigned long mode);
ZaBoolean ZaFileCopy(const char* from, const char* to);  // mode 0644
ZaBoolean ZaMoveFile(const char* from, const char* to);
ZaBoolean ZaRemoveFile(const char* path);

// Reads up to size bytes: ZaTrue with *got bytes, ZaFalse with *got 0 at the end
// of the file; throws a ZaError* on a read error.
ZaBoolean ZaReadFileIntoBuf(FILE* f, char* buf, int size, int* got);

char* ZaGetTmpdir();       // $TMPDIR or "/tmp"
char* ZaGetTmpFileName();  // an unused name in ZaGetTmpdir(), the process id as prefix
ZaBoolean ZaIsCurBinDir();

// Copies the regular files of from into to (and, when recursive, the
// subdirectories), reporting every 25th file and the final count to callback.
ZaBoolean ZaDirCopy(const char* from, const char* to, ZaBoolean recursive,
                    ZaProgressCallback callback, void* data, int count);

#endif
