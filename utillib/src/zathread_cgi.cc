// The threading interface as the CGI gateway supplies it: one process serves one
// request on one thread, so nothing is shared between requests and every lock
// succeeds at once. Callers are written for the threaded case and rely on these
// exact results (a fetched store handle is always null, so each request opens
// its own store).
#include "zaport.h"

void* ZaCreateLockObject() { return nullptr; }
void ZaDestroyLockObject(void*) {}
ZaBoolean ZaThreadLock(void*, ZaLockType) { return ZaTrue; }
ZaBoolean ZaThreadUnlock(void*) { return ZaTrue; }

void* ZaGetDBHandle(const char*) { return nullptr; }
void ZaSetDBHandle(const char*, void*) {}
void ZaLockDBHandle() {}
void ZaUnlockDBHandle() {}

void ZaThreadLockLogFile() {}
void ZaThreadUnlockLogFile() {}

int ZaThreadNewKey() { return 0; }
void ZaThreadSetData(int, void*) {}
void* ZaThreadGetData(int) { return nullptr; }
void* ZaThreadAllocStore(int) { return nullptr; }

int ZaGetGatewayKind() { return 0; }

extern "C" {
ZaMutex ZaMutexAlloc(void) { return nullptr; }
void ZaMutexFree(ZaMutex) {}
int ZaMutexLock(ZaMutex) { return 0; }
int ZaMutexUnlock(ZaMutex) { return 0; }
}
