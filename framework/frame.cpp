#include "framework/frame.h"

int StringInSet(const char* text, const SUValue& set) { return set >= text; }
