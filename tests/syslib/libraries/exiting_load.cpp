// A library whose loading ends the process: its initialisation exits with status 3. The loader's
// tests load it to see its trial load end without a report and the library refused.
#include <unistd.h>

namespace {

[[gnu::constructor]] void EndTheProcess() { _exit(3); }

}  // namespace
