// The content resource that the library carries for the host. On Windows it is
// the resource "CONTENT"/"XML" of the DLL and is read with the resource API;
// on other systems the same bytes are linked into the library as data and
// reached through this accessor, which is not exported. The library itself
// never reads them.
#pragma once

#include <span>

#if !defined(_WIN32)
std::span<const unsigned char> LibraryContentResource();
#endif
