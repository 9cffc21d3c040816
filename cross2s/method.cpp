#include "cross2s/cross2s.h"

const char *method() { return method_name; }
