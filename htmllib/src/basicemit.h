// Which nodes the emitter may walk with an explicit stack instead of calling
// their emit: those whose class keeps every emit step of HTMLObject.
#ifndef BASICEMIT_H
#define BASICEMIT_H

class HTMLObject;

// True when obj's exact class is HTMLObject or a tag class that overrides none
// of the emit operations. Derived classes answer false, since they may.
bool UsesBasicEmit(const HTMLObject* obj);

#endif
