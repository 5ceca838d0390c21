// Environment access for the CGI gateway.
#include "cgiutil.h"

#include <cstdlib>
#include <cstring>

void GetEnvironmentVar(char** result, const char* name) {
    if (!result) return;
    const char* value = name ? getenv(name) : nullptr;
    *result = strdup(value ? value : "");
}
