// A library whose loading never ends: its initialisation waits for ever. The loader's tests load
// it to see its trial load stopped at the time limit and reported.
#include <unistd.h>

namespace {

[[gnu::constructor]] void WaitForEver() {
  for (;;) pause();
}

}  // namespace
