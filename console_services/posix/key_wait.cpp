// PLACEHOLDER, being replaced: no console.
#include "../console_services.h"
void console_open() {}
void console_close() {}
int key_wait() { return -1; }
