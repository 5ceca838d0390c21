// Progress report of long operations.
#include "zacallback.h"

void CallbackProgress::Init(int c, char* t, ValList* l) {
  count = c;
  text = t;
  list = l;
}
