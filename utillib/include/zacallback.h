// Progress report handed to the callbacks of long operations (ZaDirCopy).
// The text and the list are borrowed from the caller of the callback.
#ifndef ZACALLBACK_H
#define ZACALLBACK_H

class ValList;

class CallbackProgress {
 public:
  int count;
  char* text;      // not owned
  ValList* list;   // not owned

  CallbackProgress() {}  // fields stay unset until Init
  void Init(int count, char* text, ValList* list);
};

// A progress callback: the caller's data and the progress so far.
typedef void (*ZaProgressCallback)(void* data, CallbackProgress* progress);

#endif
