// A library whose data holds a pointer that leads far outside the library: its initialiser moves
// a pointer to well before a table, as code that indexes a table from an offset base does. The
// platform's loader writes such a pointer as it stands (a relative relocation whose addend lies
// outside the library), and the library loads and runs; the loader's tests load it.
namespace {

constexpr long kOffset = 0x40000000;
char table[16] = {7};

}  // namespace

extern "C" {
// Exported, so that the compiler keeps the pointer as the library's data.
[[gnu::visibility("default")]] char* farBase = table - kOffset;

// The table's first byte, reached through the moved pointer.
[[gnu::visibility("default")]] int FarPointerFirst() { return farBase[kOffset]; }
}
