// Platform port: run-time loading of shared libraries, system error text, the
// platform's name, and the suite's threading interface in its CGI flavour
// (one process, one thread: the locks succeed without locking).
#ifndef ZAPORT_H
#define ZAPORT_H

#include "zaerror.h"

// Kind of lock wanted: 0 shared (read); any other value exclusive (write).
typedef int ZaLockType;
const ZaLockType ZaSharedLock = 0;
const ZaLockType ZaExclusiveLock = 1;

// Shared libraries. Failures throw a ZaError* (source utillib/src/zaport);
// none of these returns null.
void* ZaShLibOpen(const char* path, int mode);
void* ZaShLibFindSym(void* handle, const char* name);
void ZaShLibClose(void* handle);

// New copy (malloc, caller frees) of strerror(errno); null when there is no text.
char* ZaGetLastErrorString();
// New copy (malloc, caller frees) of the name of the system the program runs
// on, from uname: system, release and machine, e.g. "Linux 6.1.0 (x86_64)".
char* ZaGetPlatform();

// Threading interface, CGI versions: fixed results that callers rely on.
void* ZaCreateLockObject();                           // null
void ZaDestroyLockObject(void* lock);                 // nothing
ZaBoolean ZaThreadLock(void* lock, ZaLockType type);  // ZaTrue
ZaBoolean ZaThreadUnlock(void* lock);                 // ZaTrue
void* ZaGetDBHandle(const char* name);                // null: no handle outlives a request
void ZaSetDBHandle(const char* name, void* handle);   // nothing
void ZaLockDBHandle();
void ZaUnlockDBHandle();
void ZaThreadLockLogFile();
void ZaThreadUnlockLogFile();
int ZaThreadNewKey();                                 // 0
void ZaThreadSetData(int key, void* data);            // nothing
void* ZaThreadGetData(int key);                       // null
void* ZaThreadAllocStore(int size);                   // null
int ZaGetGatewayKind();                               // 0 (CGI)

// Mutexes for the directory-store plug-ins, exported under their plain names
// so that a plug-in binds to them with dlsym.
typedef void* ZaMutex;
extern "C" {
ZaMutex ZaMutexAlloc(void);    // 0
void ZaMutexFree(ZaMutex m);   // nothing
int ZaMutexLock(ZaMutex m);    // 0
int ZaMutexUnlock(ZaMutex m);  // 0
}

#endif
