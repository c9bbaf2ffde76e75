// The loader's check of an ELF library file before the platform's loader maps it: the
// platform's loader trusts the file's headers, maps the segments they name whether or not the
// file holds them, and reads the tables they point to; a file cut short or with damaged headers
// would then stop the process (a bus error on the pages past the file's end) instead of being
// refused. Only the loader (tq_loader.cpp) uses it; there is none on Windows, whose loader checks
// an image's sizes itself.
#pragma once

#if !defined(_WIN32)
#include <string>

namespace tq_loader {

// Whether the ELF file at `path` holds everything the platform's loader maps or reads from it,
// and that the loader reads for the exported names: the header, the program header table and
// each segment's bytes, the section table and each section's bytes, the dynamic table with the
// string, symbol, hash, version and relocation tables it points to. It also checks what the
// platform's loader takes on trust where a wrong value makes it fault or stop: the tables' size
// and entry-size entries, the segments' permissions and extent, the dynamic segment's address,
// the relative relocations and what they point to, the initialisation code and arrays, the
// symbols' addresses and version indices. False, with the reason in `reason`, when it does not
// (or is no ELF file of this machine's byte order).
bool ElfFileHoldsWhatItMaps(const std::string& path, std::string& reason);

}  // namespace tq_loader
#endif
