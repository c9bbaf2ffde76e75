// The content resource: type "CONTENT", name "XML", language 2057 (English,
// United Kingdom), code page 1252 in its directory entry, holding the bytes of
// library/content.xml unchanged. The resource compiler writes code page 0 into
// every directory entry it makes, so this resource is laid out here as a
// resource tree of its own; the linker merges it with the tree of the version
// block (resources.rc.in) into the library's one resource section.
//
// Layout (offsets relative to the start of this tree, high bit = name string
// or subdirectory): type directory -> name directory -> language directory ->
// data entry (RVA, size, code page, reserved) -> names -> bytes.
#if !defined(MORVANE_CONTENT_FILE)
#error "MORVANE_CONTENT_FILE must name library/content.xml"
#endif

__asm__(R"(
  .section .rsrc,"dr"
  .balign 4
1:                                        /* by type: one named entry */
  .long 0, 0
  .short 0, 0, 1, 0
  .long (2f - 1b) + 0x80000000, (3f - 1b) + 0x80000000
3:                                        /* by name: one named entry */
  .long 0, 0
  .short 0, 0, 1, 0
  .long (4f - 1b) + 0x80000000, (5f - 1b) + 0x80000000
5:                                        /* by language: one id entry */
  .long 0, 0
  .short 0, 0, 0, 1
  .long 2057, (6f - 1b)
6:                                        /* data entry */
  .rva 7f
  .long 8f - 7f, 1252, 0
2:
  .short 7
  .short 'C', 'O', 'N', 'T', 'E', 'N', 'T'
4:
  .short 3
  .short 'X', 'M', 'L'
  .balign 4
7:
  .incbin ")" MORVANE_CONTENT_FILE R"("
8:
  .text
)");
