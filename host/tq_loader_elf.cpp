// The check of an ELF library file against what its headers name, read from the file alone.
#include "tq_loader_elf.h"

#if !defined(_WIN32)
#include <elf.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include <unistd.h>

namespace tq_loader {
namespace {

struct Elf64 {
  using Header = Elf64_Ehdr;
  using Program = Elf64_Phdr;
  using Section = Elf64_Shdr;
  using Dynamic = Elf64_Dyn;
  using Symbol = Elf64_Sym;
  using Rel = Elf64_Rel;
  using Rela = Elf64_Rela;
  using Address = std::uint64_t;
  static std::uint64_t SymbolOf(std::uint64_t info) { return ELF64_R_SYM(info); }
  static std::uint64_t TypeOf(std::uint64_t info) { return ELF64_R_TYPE(info); }
};

struct Elf32 {
  using Header = Elf32_Ehdr;
  using Program = Elf32_Phdr;
  using Section = Elf32_Shdr;
  using Dynamic = Elf32_Dyn;
  using Symbol = Elf32_Sym;
  using Rel = Elf32_Rel;
  using Rela = Elf32_Rela;
  using Address = std::uint32_t;
  static std::uint64_t SymbolOf(std::uint64_t info) { return ELF32_R_SYM(info); }
  static std::uint64_t TypeOf(std::uint64_t info) { return ELF32_R_TYPE(info); }
};

// Ends of ranges, for messages: a range whose end overflows says so rather than wrapping.
std::string EndOf(std::uint64_t offset, std::uint64_t size) {
  return size > UINT64_MAX - offset ? "past 2^64" : std::to_string(offset + size);
}

std::string Hex(std::uint64_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xf]);
    value >>= 4;
  } while (value != 0);
  return "0x" + text;
}

// The end of the `size` bytes at `address`, in hexadecimal.
std::string HexEnd(std::uint64_t address, std::uint64_t size) {
  return size > UINT64_MAX - address ? "past 2^64" : Hex(address + size);
}

// The file, and its loadable segments once they are known to lie in it: reads by file offset
// and by the address the bytes take once loaded.
template <typename Elf>
class Image {
 public:
  Image(std::ifstream& file, std::uint64_t size) : file_(file), size_(size) {}

  std::uint64_t Size() const { return size_; }
  bool Holds(std::uint64_t offset, std::uint64_t size) const { return offset <= size_ && size <= size_ - offset; }

  bool Read(std::uint64_t offset, std::uint64_t size, void* out) {
    if (!Holds(offset, size)) return false;
    if (size == 0) return true;
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(offset));
    file_.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
    return static_cast<bool>(file_);
  }

  // The file offset of the `size` bytes at `address` once loaded, when one loadable segment's
  // bytes from the file hold them all (not its zero-filled tail).
  bool Backed(std::uint64_t address, std::uint64_t size, std::uint64_t& offset) const {
    for (const typename Elf::Program& load : loads_) {
      if (address < load.p_vaddr) continue;
      const std::uint64_t into = address - load.p_vaddr;
      if (into > load.p_filesz || size > load.p_filesz - into) continue;
      offset = load.p_offset + into;
      return true;
    }
    return false;
  }
  bool Backed(std::uint64_t address, std::uint64_t size) const {
    std::uint64_t offset = 0;
    return Backed(address, size, offset);
  }
  bool ReadLoaded(std::uint64_t address, std::uint64_t size, void* out) {
    std::uint64_t offset = 0;
    return Backed(address, size, offset) && Read(offset, size, out);
  }

  // Whether the `size` bytes at `address` lie in one loadable segment's memory, and one that is
  // writable when `writable`.
  bool Mapped(std::uint64_t address, std::uint64_t size, bool writable) const {
    for (const typename Elf::Program& load : loads_) {
      if (address < load.p_vaddr || (writable && (load.p_flags & PF_W) == 0)) continue;
      const std::uint64_t into = address - load.p_vaddr;
      if (into <= load.p_memsz && size <= load.p_memsz - into) return true;
    }
    return false;
  }

  // Whether the whole pages from `start` to `end` lie in the pages one writable loadable segment
  // takes once loaded: its memory, widened to whole pages of `page` bytes.
  bool WritablePages(std::uint64_t start, std::uint64_t end, std::uint64_t page) const {
    for (const typename Elf::Program& load : loads_) {
      if ((load.p_flags & PF_W) == 0 || load.p_memsz == 0) continue;
      const std::uint64_t lastPage = (std::uint64_t{load.p_vaddr} + load.p_memsz - 1) & ~(page - 1);
      if (start >= (load.p_vaddr & ~(page - 1)) && end - page <= lastPage) return true;
    }
    return false;
  }

  // Whether the byte at `address` lies in the memory of a loadable segment that may be run.
  bool Executable(std::uint64_t address) const {
    for (const typename Elf::Program& load : loads_)
      if ((load.p_flags & PF_X) != 0 && address >= load.p_vaddr && address - load.p_vaddr < load.p_memsz) return true;
    return false;
  }

  void AddLoad(const typename Elf::Program& load) { loads_.push_back(load); }
  bool HasLoads() const { return !loads_.empty(); }

 private:
  std::ifstream& file_;
  std::uint64_t size_;
  std::vector<typename Elf::Program> loads_;
};

template <typename Elf>
class Checker {
 public:
  Checker(std::ifstream& file, std::uint64_t size, std::string& reason) : image_(file, size), reason_(reason) {}

  bool Check() {
    typename Elf::Header header;
    if (!image_.Read(0, sizeof header, &header)) return Cut("its ELF header", 0, sizeof header);
    return Segments(header) && Sections(header);
  }

 private:
  using Program = typename Elf::Program;
  using Section = typename Elf::Section;
  using Dynamic = typename Elf::Dynamic;

  bool Cut(const std::string& what, std::uint64_t offset, std::uint64_t size) {
    reason_ = "it is cut short or damaged: " + what + " takes bytes " + std::to_string(offset) + " to " +
              EndOf(offset, size) + " of the file, which holds " + std::to_string(image_.Size());
    return false;
  }
  bool Damaged(const std::string& what) {
    reason_ = "it is damaged: " + what;
    return false;
  }
  bool Unloaded(const std::string& what, std::uint64_t address, std::uint64_t size) {
    return Damaged(what + " (addresses " + Hex(address) + " to " + HexEnd(address, size) +
                   ") lies outside the bytes the loadable segments take from the file");
  }

  // Segment types whose bytes the platform's loader reads once they are loaded.
  static bool ReadOnceLoaded(std::uint32_t type) {
    return type == PT_DYNAMIC || type == PT_NOTE || type == PT_TLS || type == PT_INTERP || type == PT_PHDR ||
           type == PT_GNU_EH_FRAME || type == PT_GNU_PROPERTY;
  }

  bool Segments(const typename Elf::Header& header) {
    if (header.e_phentsize != sizeof(Program) || header.e_phnum == 0)
      return Damaged("its program header table has " + std::to_string(header.e_phnum) + " entries of " +
                     std::to_string(header.e_phentsize) + " bytes");
    const std::uint64_t tableSize = std::uint64_t{header.e_phnum} * sizeof(Program);
    if (!image_.Holds(header.e_phoff, tableSize)) return Cut("its program header table", header.e_phoff, tableSize);
    std::vector<Program> programs(header.e_phnum);
    if (!image_.Read(header.e_phoff, tableSize, programs.data()))
      return Cut("its program header table", header.e_phoff, tableSize);
    for (std::size_t k = 0; k < programs.size(); ++k) {
      const Program& load = programs[k];
      if (load.p_type != PT_LOAD) continue;
      const std::string what = "its loadable segment (program header " + std::to_string(k) + ")";
      if (load.p_filesz > load.p_memsz) return Damaged(what + " takes more bytes from the file than it loads");
      if (!image_.Holds(load.p_offset, load.p_filesz)) return Cut(what, load.p_offset, load.p_filesz);
      if (load.p_memsz > std::numeric_limits<typename Elf::Address>::max() - load.p_vaddr)
        return Damaged(what + " runs past the end of the address space (address " + Hex(load.p_vaddr) + ", " +
                       Hex(load.p_memsz) + " bytes)");
      if ((load.p_flags & (PF_R | PF_W | PF_X)) == 0 && load.p_memsz != 0)
        return Damaged(what + " may be neither read, written nor run");
      image_.AddLoad(load);
    }
    if (!image_.HasLoads()) return Damaged("it has no loadable segment");
    const Program* dynamic = nullptr;
    for (std::size_t k = 0; k < programs.size(); ++k) {
      const Program& segment = programs[k];
      // Once it has relocated the library, the platform's loader makes read-only the whole pages
      // from this segment's start to its end, both rounded down to the machine's page (none when
      // that leaves none): a segment padded to the end of the page its writable segment ends in,
      // as lld pads it, makes no byte more read-only. Those pages must lie in the pages of the
      // writable segment it belongs to: others would take code or another segment's data with them.
      if (segment.p_type == PT_GNU_RELRO && segment.p_memsz != 0) {
        relro_ = "its segment made read-only after relocation (program header " + std::to_string(k) + ", addresses " +
                 Hex(segment.p_vaddr) + " to " + HexEnd(segment.p_vaddr, segment.p_memsz) + ")";
        const std::uint64_t page = PageSize();
        relroStart_ = segment.p_vaddr;
        protectedStart_ = relroStart_ & ~(page - 1);
        protectedEnd_ = protectedStart_;
        const bool inAddressSpace = segment.p_memsz <= std::numeric_limits<typename Elf::Address>::max() - relroStart_;
        if (inAddressSpace) protectedEnd_ = (relroStart_ + segment.p_memsz) & ~(page - 1);
        if (!inAddressSpace ||
            (protectedStart_ < protectedEnd_ && !image_.WritablePages(protectedStart_, protectedEnd_, page)))
          return Damaged(relro_ + " reaches outside the writable loadable segment it belongs to");
      }
      if (segment.p_type == PT_LOAD || segment.p_filesz == 0) continue;
      const std::string what =
          "its segment (program header " + std::to_string(k) + ", type " + Hex(segment.p_type) + ")";
      if (!image_.Holds(segment.p_offset, segment.p_filesz)) return Cut(what, segment.p_offset, segment.p_filesz);
      std::uint64_t loadedFrom = 0;
      if (ReadOnceLoaded(segment.p_type) && !image_.Backed(segment.p_vaddr, segment.p_filesz, loadedFrom))
        return Unloaded(what, segment.p_vaddr, segment.p_filesz);
      if (segment.p_type != PT_DYNAMIC) continue;
      // The platform's loader reads the dynamic table at its address, the check at its offset:
      // both must name the same bytes.
      if (loadedFrom != segment.p_offset)
        return Damaged("its dynamic segment (program header " + std::to_string(k) + ") lies at " +
                       Hex(segment.p_vaddr) + ", which is loaded from file offset " + std::to_string(loadedFrom) +
                       ", not from its own offset " + std::to_string(segment.p_offset));
      dynamic = &segment;
    }
    return dynamic == nullptr || DynamicTable(*dynamic);
  }

  // The section table and every section that has bytes in the file; the names come from the
  // section-name table when it can be read.
  bool Sections(const typename Elf::Header& header) {
    if (header.e_shoff == 0 && header.e_shnum == 0) return true;
    if (header.e_shentsize != sizeof(Section))
      return Damaged("its section table has entries of " + std::to_string(header.e_shentsize) + " bytes");
    const std::uint64_t tableSize = std::uint64_t{header.e_shnum} * sizeof(Section);
    std::vector<Section> sections(header.e_shnum);
    if (!image_.Read(header.e_shoff, tableSize, sections.data()))
      return Cut("its section table", header.e_shoff, tableSize);
    std::string names;
    if (header.e_shstrndx < sections.size()) {
      const Section& table = sections[header.e_shstrndx];
      if (table.sh_type == SHT_STRTAB && image_.Holds(table.sh_offset, table.sh_size)) {
        names.assign(table.sh_size, '\0');
        if (!image_.Read(table.sh_offset, table.sh_size, names.data())) names.clear();
      }
    }
    for (std::size_t k = 0; k < sections.size(); ++k) {
      const Section& section = sections[k];
      const bool named = section.sh_name < names.size() && names.find('\0', section.sh_name) != std::string::npos;
      const std::string what =
          "its section " + (named ? std::string(names.c_str() + section.sh_name) : std::to_string(k));
      // The library's data, which it writes as it runs, is no part of the pages made read-only;
      // nor is a writable section that lies before the segment but in its first page.
      if (!relro_.empty() && (section.sh_flags & SHF_ALLOC) != 0 && (section.sh_flags & SHF_TLS) == 0 &&
          Meet(section.sh_addr, section.sh_size, protectedStart_, protectedEnd_ - protectedStart_)) {
        if (WrittenAsItRuns(section, named ? names.c_str() + section.sh_name : ""))
          return Damaged(relro_ + " covers " + what + ", which the library writes as it runs");
        if ((section.sh_flags & SHF_WRITE) != 0 &&
            Meet(section.sh_addr, section.sh_size, protectedStart_, relroStart_ - protectedStart_))
          return Damaged(relro_ + " begins in a page with " + what + ", which lies before it and is to stay writable");
      }
      // Memory the library expects zero when it is loaded: no segment may fill it from the file.
      if (section.sh_type == SHT_NOBITS && (section.sh_flags & SHF_ALLOC) != 0 && (section.sh_flags & SHF_TLS) == 0 &&
          section.sh_size != 0 && image_.Backed(section.sh_addr, 1))
        return Damaged(what + " (addresses " + Hex(section.sh_addr) + " to " +
                       HexEnd(section.sh_addr, section.sh_size) +
                       ") is to start as zeros, but a loadable segment fills it from the file");
      // The platform's loader applies as many relocations as the dynamic table says: one that
      // says fewer than the section holds leaves the rest of the library's addresses unset.
      const std::int64_t sizeTag = section.sh_type == SHT_RELA ? DT_RELASZ : DT_RELSZ;
      if ((section.sh_type == SHT_RELA || section.sh_type == SHT_REL) && (section.sh_flags & SHF_ALLOC) != 0 &&
          Has(section.sh_type == SHT_RELA ? DT_RELA : DT_REL) &&
          Value(section.sh_type == SHT_RELA ? DT_RELA : DT_REL) == section.sh_addr && Value(sizeTag) < section.sh_size)
        return Damaged("its relocation table is said to take " + std::to_string(Value(sizeTag)) + " bytes, but " +
                       what + " holds " + std::to_string(section.sh_size));
      if (section.sh_type == SHT_NULL || section.sh_type == SHT_NOBITS) continue;
      if ((section.sh_type == SHT_DYNSYM || section.sh_type == SHT_SYMTAB) && section.sh_link >= sections.size())
        return Damaged("its symbol table section " + std::to_string(k) + " names string table " +
                       std::to_string(section.sh_link) + " of " + std::to_string(sections.size()) + " sections");
      if (image_.Holds(section.sh_offset, section.sh_size)) continue;
      return Cut(what, section.sh_offset, section.sh_size);
    }
    return true;
  }

  // Whether the `size` bytes at `address` and the `otherSize` bytes at `other` share a byte.
  static bool Meet(std::uint64_t address, std::uint64_t size, std::uint64_t other, std::uint64_t otherSize) {
    if (size == 0 || otherSize == 0) return false;
    return address < other ? other - address < size : address - other < otherSize;
  }

  // The size of the pages the platform's loader maps and protects: this machine's.
  static std::uint64_t PageSize() {
    const long page = sysconf(_SC_PAGESIZE);
    return page > 0 && std::has_single_bit(static_cast<unsigned long>(page)) ? static_cast<std::uint64_t>(page) : 4096;
  }

  // Sections the library writes as it runs: its zero-filled data and its data proper (not the data
  // that is only written by relocations, .data.rel.ro).
  static bool WrittenAsItRuns(const Section& section, const std::string& name) {
    if (section.sh_type == SHT_NOBITS) return true;
    if ((section.sh_flags & SHF_WRITE) == 0) return false;
    return name == ".data" || (name.rfind(".data.", 0) == 0 && name.rfind(".data.rel.ro", 0) != 0);
  }

  // The dynamic table and the tables its entries point to, as the platform's loader reads them:
  // where a tag is given more than once, the last entry counts.
  bool DynamicTable(const Program& segment) {
    std::vector<Dynamic> entries(segment.p_filesz / sizeof(Dynamic));
    if (!image_.Read(segment.p_offset, entries.size() * sizeof(Dynamic), entries.data()))
      return Cut("its dynamic table", segment.p_offset, segment.p_filesz);
    std::vector<std::uint64_t> names;
    bool ended = false;
    for (const Dynamic& entry : entries) {
      if (entry.d_tag == DT_NULL) {
        ended = true;
        break;
      }
      values_[static_cast<std::int64_t>(entry.d_tag)] = entry.d_un.d_val;
      if (entry.d_tag == DT_NEEDED || entry.d_tag == DT_SONAME || entry.d_tag == DT_RPATH ||
          entry.d_tag == DT_RUNPATH || entry.d_tag == DT_AUXILIARY || entry.d_tag == DT_FILTER)
        names.push_back(entry.d_un.d_val);
    }
    if (!ended) return Damaged("its dynamic table has no closing entry");
    return Sizes() && Strings(names) && HashTables() && Relocations() && Symbols() && Ranges() && Versions();
  }

  // Every table the dynamic table names comes with the entries that give its size and the size of
  // its entries, of the sizes this class uses: the platform's loader reads them without asking
  // whether they are there.
  bool Sizes() {
    struct Sized {
      std::int64_t table;
      std::int64_t size;
      std::int64_t entry;  // 0: the table has no entry-size tag
      std::uint64_t entrySize;
      const char* what;
    };
    const Sized tables[] = {
      {DT_RELA, DT_RELASZ, DT_RELAENT, sizeof(typename Elf::Rela), "its relocation table (DT_RELA)"},
      {DT_REL, DT_RELSZ, DT_RELENT, sizeof(typename Elf::Rel), "its relocation table (DT_REL)"},
      {DT_JMPREL, DT_PLTRELSZ, 0, 0, "its procedure relocation table"},
      {DT_INIT_ARRAY, DT_INIT_ARRAYSZ, 0, 0, "its initialisation array"},
      {DT_FINI_ARRAY, DT_FINI_ARRAYSZ, 0, 0, "its finalisation array"},
      {DT_PREINIT_ARRAY, DT_PREINIT_ARRAYSZ, 0, 0, "its pre-initialisation array"},
#if defined(DT_RELR)
      {DT_RELR, DT_RELRSZ, DT_RELRENT, sizeof(typename Elf::Address), "its relative relocation table (DT_RELR)"},
#endif
    };
    for (const Sized& table : tables) {
      if (!Has(table.table)) continue;
      if (!Has(table.size)) return Damaged(std::string(table.what) + " has no size entry");
      if (table.entry == 0) continue;
      if (!Has(table.entry)) return Damaged(std::string(table.what) + " has no entry-size entry");
      if (Value(table.entry) != table.entrySize)
        return Damaged(std::string(table.what) + " says its entries take " + std::to_string(Value(table.entry)) +
                       " bytes, not " + std::to_string(table.entrySize));
    }
    if (Has(DT_JMPREL) && !Has(DT_PLTREL))
      return Damaged("its procedure relocation table has no kind entry (DT_PLTREL)");
    if (Has(DT_PLTREL) && Value(DT_PLTREL) != DT_RELA && Value(DT_PLTREL) != DT_REL)
      return Damaged("its procedure relocations are said to be of kind " + std::to_string(Value(DT_PLTREL)) +
                     ", neither DT_REL nor DT_RELA");
    return true;
  }

  bool Has(std::int64_t tag) const { return values_.count(tag) != 0; }
  std::uint64_t Value(std::int64_t tag) const {
    const auto found = values_.find(tag);
    return found == values_.end() ? 0 : found->second;
  }

  // The string table, ending in a NUL, and every name the dynamic table gives inside it.
  bool Strings(const std::vector<std::uint64_t>& names) {
    if (!Has(DT_STRTAB)) return names.empty() || Damaged("its dynamic table names strings but no string table");
    const std::uint64_t address = Value(DT_STRTAB);
    const std::uint64_t size = Value(DT_STRSZ);
    if (size == 0) return Damaged("its dynamic string table has no size");
    char last = 1;
    if (!image_.ReadLoaded(address + (size - 1), 1, &last) || !image_.Backed(address, size))
      return Unloaded("its dynamic string table", address, size);
    if (last != '\0') return Damaged("its dynamic string table does not end in a NUL");
    stringsSize_ = size;
    for (std::uint64_t name : names)
      if (name >= size) return Damaged("a name of its dynamic table lies past the end of its string table");
    return true;
  }

  // The hash tables, and the number of symbols they reach.
  bool HashTables() {
    if (Has(DT_HASH)) {
      const std::uint64_t address = Value(DT_HASH);
      std::uint32_t counts[2] = {0, 0};
      if (!image_.ReadLoaded(address, sizeof counts, counts)) return Unloaded("its hash table", address, sizeof counts);
      const std::uint64_t size = (2 + std::uint64_t{counts[0]} + counts[1]) * 4;
      if (!image_.Backed(address, size)) return Unloaded("its hash table", address, size);
      std::vector<std::uint32_t> words(size / 4);
      if (!image_.ReadLoaded(address, size, words.data())) return Unloaded("its hash table", address, size);
      for (std::size_t k = 2; k < words.size(); ++k)
        if (words[k] >= counts[1])
          return Damaged("its hash table reaches past its " + std::to_string(counts[1]) + " symbols");
      symbolCount_ = std::max<std::uint64_t>(symbolCount_, counts[1]);
    }
    if (!Has(DT_GNU_HASH)) return true;
    const std::uint64_t address = Value(DT_GNU_HASH);
    std::uint32_t head[4] = {0, 0, 0, 0};  // buckets, first hashed symbol, filter words, filter shift
    if (!image_.ReadLoaded(address, sizeof head, head)) return Unloaded("its GNU hash table", address, sizeof head);
    if (head[2] == 0 || (head[2] & (head[2] - 1)) != 0)
      return Damaged("its GNU hash table's filter has " + std::to_string(head[2]) + " words, not a power of two");
    const std::uint64_t bucketsAt = address + sizeof head + std::uint64_t{head[2]} * sizeof(typename Elf::Address);
    if (!image_.Backed(bucketsAt, std::uint64_t{head[0]} * 4))
      return Unloaded("its GNU hash table", address, bucketsAt - address + std::uint64_t{head[0]} * 4);
    std::vector<std::uint32_t> buckets(head[0]);
    if (!image_.ReadLoaded(bucketsAt, std::uint64_t{head[0]} * 4, buckets.data()))
      return Unloaded("its GNU hash table", address, bucketsAt - address + std::uint64_t{head[0]} * 4);
    std::uint32_t highest = 0;
    for (std::uint32_t bucket : buckets) {
      if (bucket != 0 && bucket < head[1]) return Damaged("its GNU hash table has a bucket before its first symbol");
      highest = std::max(highest, bucket);
    }
    if (highest == 0) return true;
    // Chains run on to the word that ends them; the highest bucket's chain ends the table, and
    // every other chain ends at or before its start.
    const std::uint64_t chainsAt = bucketsAt + std::uint64_t{head[0]} * 4;
    std::uint64_t symbol = highest;
    for (std::uint32_t word = 0; (word & 1) == 0; ++symbol) {
      const std::uint64_t at = chainsAt + (symbol - head[1]) * 4;
      if (!image_.ReadLoaded(at, 4, &word)) return Unloaded("a chain of its GNU hash table", at, 4);
    }
    symbolCount_ = std::max(symbolCount_, symbol);
    return true;
  }

  // Every relocation writes inside a loaded segment (a writable one unless the file asks for
  // text relocations) and names a symbol of the table. `countTag` gives how many entries at the
  // table's start are relative relocations, which the platform's loader applies without looking
  // at them further: each of them names no symbol.
  template <typename Entry>
  bool RelocationTable(std::int64_t tableTag, std::int64_t sizeTag, std::int64_t countTag, const char* what) {
    if (!Has(tableTag)) return true;
    const std::uint64_t address = Value(tableTag);
    const std::uint64_t size = Value(sizeTag);
    if (!image_.Backed(address, size)) return Unloaded(what, address, size);
    std::vector<Entry> entries(size / sizeof(Entry));
    if (!image_.ReadLoaded(address, entries.size() * sizeof(Entry), entries.data()))
      return Unloaded(what, address, size);
    if (countTag != 0 && Has(countTag)) {
      const std::uint64_t relative = Value(countTag);
      std::uint64_t k = 0;
      while (k < entries.size() && k < relative && Elf::SymbolOf(entries[k].r_info) == 0) ++k;
      if (k < relative)
        return Damaged(std::string(what) + " is said to begin with " + std::to_string(relative) +
                       " relative relocations, but holds " + std::to_string(k));
      // Where each relative relocation leads, for the entries of the arrays the platform's loader
      // calls (Ranges). Any other it writes as it stands: a pointer that leads out of the library
      // is the library's own (an initialiser may move a pointer before or past its object), and only
      // its code follows it.
      if constexpr (std::is_same_v<Entry, typename Elf::Rela>)
        for (k = 0; k < relative; ++k)
          relativeTargets_.emplace_back(entries[k].r_offset, static_cast<std::uint64_t>(entries[k].r_addend));
    }
    const bool textWritten = Has(DT_TEXTREL) || (Value(DT_FLAGS) & DF_TEXTREL) != 0;
    for (const Entry& entry : entries) {
      if (Elf::TypeOf(entry.r_info) == 0) continue;  // a relocation of no kind changes nothing
      if (!image_.Mapped(entry.r_offset, sizeof(typename Elf::Address), !textWritten))
        return Damaged(std::string(what) + " writes at " + Hex(entry.r_offset) + ", outside the writable segments");
      relocatedSymbols_ = std::max(relocatedSymbols_, Elf::SymbolOf(entry.r_info) + 1);
      relocated_.push_back(entry.r_offset);
    }
    return true;
  }

  // The packed relative relocations: an even word is an address to relocate, an odd one a bitmap
  // of the words that follow the last address relocated.
  bool RelativeTable() {
#if defined(DT_RELR)
    if (!Has(DT_RELR)) return true;
    const std::uint64_t address = Value(DT_RELR);
    const std::uint64_t size = Value(DT_RELRSZ);
    using Word = typename Elf::Address;
    std::vector<Word> words(size / sizeof(Word));
    if (!image_.ReadLoaded(address, words.size() * sizeof(Word), words.data()))
      return Unloaded("its relative relocation table (DT_RELR)", address, size);
    std::uint64_t next = 0;
    for (const Word word : words) {
      if ((word & 1) == 0) {
        relocated_.push_back(word);
        next = std::uint64_t{word} + sizeof(Word);
        continue;
      }
      for (std::uint64_t bit = 1; bit < 8 * sizeof(Word); ++bit)
        if (((word >> bit) & 1) != 0) relocated_.push_back(next + (bit - 1) * sizeof(Word));
      next += (8 * sizeof(Word) - 1) * sizeof(Word);
    }
#endif
    return true;
  }

  // Every relocation table; the addresses they write are kept in order for Ranges().
  bool Relocations() {
    if (!RelocationTables()) return false;
    std::sort(relocated_.begin(), relocated_.end());
    std::sort(relativeTargets_.begin(), relativeTargets_.end());
    return true;
  }
  bool RelocationTables() {
    const bool pltRela = Value(DT_PLTREL) == DT_RELA;
    return RelocationTable<typename Elf::Rela>(DT_RELA, DT_RELASZ, DT_RELACOUNT, "its relocation table") &&
           RelocationTable<typename Elf::Rel>(DT_REL, DT_RELSZ, DT_RELCOUNT, "its relocation table") &&
           (pltRela
                ? RelocationTable<typename Elf::Rela>(DT_JMPREL, DT_PLTRELSZ, 0, "its procedure relocation table")
                : RelocationTable<typename Elf::Rel>(DT_JMPREL, DT_PLTRELSZ, 0, "its procedure relocation table")) &&
           RelativeTable();
  }

  // The symbols the hash tables and the relocations reach, each named inside the string table.
  bool Symbols() {
    if (!Has(DT_SYMTAB)) return symbolCount_ == 0 && relocatedSymbols_ <= 1 ? true : Damaged("it has no symbol table");
    if (Has(DT_SYMENT) && Value(DT_SYMENT) != sizeof(typename Elf::Symbol))
      return Damaged("its symbols are said to take " + std::to_string(Value(DT_SYMENT)) + " bytes each");
    if (symbolCount_ != 0 && relocatedSymbols_ > symbolCount_)
      return Damaged("a relocation names a symbol past its " + std::to_string(symbolCount_) + " symbols");
    symbolCount_ = std::max<std::uint64_t>({symbolCount_, relocatedSymbols_, 1});
    const std::uint64_t address = Value(DT_SYMTAB);
    const std::uint64_t size = symbolCount_ * sizeof(typename Elf::Symbol);
    if (!image_.Backed(address, size)) return Unloaded("its dynamic symbol table", address, size);
    std::vector<typename Elf::Symbol> symbols(symbolCount_);
    if (!image_.ReadLoaded(address, size, symbols.data())) return Unloaded("its dynamic symbol table", address, size);
    for (const typename Elf::Symbol& symbol : symbols)
      if (symbol.st_name != 0 && symbol.st_name >= stringsSize_)
        return Damaged("a symbol's name lies past the end of its string table");
    for (std::size_t k = 1; k < symbols.size(); ++k)
      if (!SymbolInPlace(symbols[k])) return false;
    return true;
  }

  // A symbol the library defines lies in its memory, a function in a segment that may be run: an
  // address the host resolves and calls is the library's own.
  bool SymbolInPlace(const typename Elf::Symbol& symbol) {
    const unsigned type = symbol.st_info & 0xf;
    // Undefined, absolute, common and other special sections' symbols have no address of the file.
    if (symbol.st_shndx == SHN_UNDEF || symbol.st_shndx >= SHN_LORESERVE || type == STT_TLS || type == STT_SECTION ||
        type == STT_FILE)
      return true;
    const bool function = type == STT_FUNC || type == STT_GNU_IFUNC;
    if (function ? image_.Executable(symbol.st_value) : image_.Mapped(symbol.st_value, 0, false)) return true;
    return Damaged("its symbol " + SymbolName(symbol) + " lies at " + Hex(symbol.st_value) + ", outside every " +
                   (function ? "segment that may be run" : "loadable segment"));
  }

  // A symbol's name for a message: quoted, cut at 200 bytes.
  std::string SymbolName(const typename Elf::Symbol& symbol) {
    std::string name;
    for (std::uint64_t at = symbol.st_name; at < stringsSize_ && name.size() < 200; ++at) {
      char c = '\0';
      if (!image_.ReadLoaded(Value(DT_STRTAB) + at, 1, &c) || c == '\0') break;
      name += c;
    }
    return "\"" + name + "\"";
  }

  // The other tables the dynamic table gives with their sizes, and the code it names.
  bool Ranges() {
    struct Table {
      std::int64_t tag;
      std::uint64_t size;
      const char* what;
    };
    const std::uint64_t word = sizeof(typename Elf::Address);
    const Table tables[] = {
      {DT_INIT_ARRAY, Value(DT_INIT_ARRAYSZ), "its initialisation array"},
      {DT_FINI_ARRAY, Value(DT_FINI_ARRAYSZ), "its finalisation array"},
      {DT_PREINIT_ARRAY, Value(DT_PREINIT_ARRAYSZ), "its pre-initialisation array"},
      {DT_INIT, 1, "its initialisation code"},
      {DT_FINI, 1, "its finalisation code"},
      {DT_PLTGOT, 3 * word, "its procedure linkage table"},
      {DT_VERSYM, symbolCount_ * 2, "its symbol version table"},
#if defined(DT_RELR)
      {DT_RELR, Value(DT_RELRSZ), "its relative relocation table"},
#endif
    };
    for (const Table& table : tables)
      if (Has(table.tag) && !image_.Backed(Value(table.tag), table.size))
        return Unloaded(table.what, Value(table.tag), table.size);
    // The platform's loader calls every entry of these arrays; in a library loaded at any
    // address each entry holds a function's address only once a relocation has written it.
    for (const Table& array : tables) {
      if ((array.tag != DT_INIT_ARRAY && array.tag != DT_FINI_ARRAY && array.tag != DT_PREINIT_ARRAY) ||
          !Has(array.tag))
        continue;
      for (std::uint64_t at = Value(array.tag); at - Value(array.tag) + word <= array.size; at += word) {
        if (!std::binary_search(relocated_.begin(), relocated_.end(), at))
          return Damaged(std::string(array.what) + " holds at " + Hex(at) + " an entry that no relocation writes");
        // An entry a relative relocation writes is called at the address it leads to.
        const auto target = std::lower_bound(
            relativeTargets_.begin(), relativeTargets_.end(), std::pair<std::uint64_t, std::uint64_t>(at, 0));
        if (target != relativeTargets_.end() && target->first == at && !image_.Executable(target->second))
          return Damaged(std::string(array.what) + " holds at " + Hex(at) + " an entry that leads to " +
                         Hex(target->second) + ", which lies in no segment that may be run");
      }
    }
    // The platform's loader calls these addresses as they stand.
    for (const Table& code : tables)
      if ((code.tag == DT_INIT || code.tag == DT_FINI) && Has(code.tag) && !image_.Executable(Value(code.tag)))
        return Damaged(std::string(code.what) + " at " + Hex(Value(code.tag)) + " lies in no segment that may be run");
    return true;
  }

  // A chain of version entries: each lies in the file's loaded bytes, names a string of the
  // table, and leads to its auxiliary entries and the next by forward offsets.
  template <typename Entry, typename Aux>
  bool VersionChain(std::int64_t tag, const char* what) {
    if (!Has(tag)) return true;
    std::uint64_t at = Value(tag);
    for (;;) {
      Entry entry;
      if (!image_.ReadLoaded(at, sizeof entry, &entry)) return Unloaded(what, at, sizeof entry);
      highestVersion_ = std::max(highestVersion_, Index(entry));
      std::uint64_t auxAt = at + AuxOffset(entry);
      for (std::uint64_t k = 0; k < AuxCount(entry); ++k) {
        Aux aux;
        if (!image_.ReadLoaded(auxAt, sizeof aux, &aux)) return Unloaded(what, auxAt, sizeof aux);
        if (AuxName(aux) >= stringsSize_) return Damaged(std::string(what) + " names a version past its strings");
        highestVersion_ = std::max(highestVersion_, Index(aux));
        if (AuxNext(aux) == 0) break;
        if (AuxNext(aux) < sizeof aux) return Damaged(std::string(what) + " has overlapping entries");
        auxAt += AuxNext(aux);
      }
      if (Next(entry) == 0) return true;
      if (Next(entry) < sizeof entry) return Damaged(std::string(what) + " has overlapping entries");
      at += Next(entry);
    }
  }

  // The version index an entry defines or needs; 0 for an entry that gives none.
  static std::uint64_t Index(const Elf64_Verdef& e) { return e.vd_ndx & 0x7fff; }
  static std::uint64_t Index(const Elf64_Verdaux&) { return 0; }
  static std::uint64_t Index(const Elf64_Verneed&) { return 0; }
  static std::uint64_t Index(const Elf64_Vernaux& a) { return a.vna_other & 0x7fff; }
  static std::uint64_t AuxOffset(const Elf64_Verdef& e) { return e.vd_aux; }
  static std::uint64_t AuxCount(const Elf64_Verdef& e) { return e.vd_cnt; }
  static std::uint64_t Next(const Elf64_Verdef& e) { return e.vd_next; }
  static std::uint64_t AuxName(const Elf64_Verdaux& a) { return a.vda_name; }
  static std::uint64_t AuxNext(const Elf64_Verdaux& a) { return a.vda_next; }
  static std::uint64_t AuxOffset(const Elf64_Verneed& e) { return e.vn_aux; }
  static std::uint64_t AuxCount(const Elf64_Verneed& e) { return e.vn_cnt; }
  static std::uint64_t Next(const Elf64_Verneed& e) { return e.vn_next; }
  static std::uint64_t AuxName(const Elf64_Vernaux& a) { return a.vna_name; }
  static std::uint64_t AuxNext(const Elf64_Vernaux& a) { return a.vna_next; }

  bool Versions() {
    // The version structures have the same layout in both classes.
    static_assert(sizeof(Elf64_Verdef) == sizeof(Elf32_Verdef) && sizeof(Elf64_Verneed) == sizeof(Elf32_Verneed));
    return VersionChain<Elf64_Verdef, Elf64_Verdaux>(DT_VERDEF, "its version definitions") &&
           VersionChain<Elf64_Verneed, Elf64_Vernaux>(DT_VERNEED, "its version needs") && SymbolVersions();
  }

  // Each symbol's version index names a version the library defines or needs (0 and 1 stand for
  // none and the global version): the platform's loader looks the index up in a table of that
  // many versions.
  bool SymbolVersions() {
    if (!Has(DT_VERSYM)) return true;
    if (highestVersion_ == 0) return Damaged("it has a symbol version table but defines and needs no version");
    std::vector<std::uint16_t> indices(symbolCount_);
    if (!image_.ReadLoaded(Value(DT_VERSYM), indices.size() * 2, indices.data()))
      return Unloaded("its symbol version table", Value(DT_VERSYM), indices.size() * 2);
    for (std::size_t k = 0; k < indices.size(); ++k) {
      const std::uint64_t index = indices[k] & 0x7fff;
      if (index > std::max<std::uint64_t>(highestVersion_, 1))
        return Damaged("the version index " + std::to_string(index) + " of its symbol " + std::to_string(k) +
                       " is past its " + std::to_string(highestVersion_) + " versions");
    }
    return true;
  }

  Image<Elf> image_;
  std::string& reason_;
  std::map<std::int64_t, std::uint64_t> values_;
  std::uint64_t stringsSize_ = 0;
  std::uint64_t symbolCount_ = 0;
  std::uint64_t relocatedSymbols_ = 0;
  std::uint64_t highestVersion_ = 0;
  std::vector<std::uint64_t> relocated_;  // the addresses the relocations write, in order
  // The relative relocations counted at the start of their table: where each writes, and the
  // address it writes there (before the library's base is added), in order.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> relativeTargets_;
  std::string relro_;  // the segment made read-only after relocation, for messages
  std::uint64_t relroStart_ = 0;
  std::uint64_t protectedStart_ = 0;  // the pages the platform's loader makes read-only
  std::uint64_t protectedEnd_ = 0;
};

}  // namespace

bool ElfFileHoldsWhatItMaps(const std::string& path, std::string& reason) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) {
    reason = "the file cannot be read";
    return false;
  }
  const auto fileSize = static_cast<std::uint64_t>(file.tellg());
  unsigned char ident[EI_NIDENT] = {};
  file.seekg(0);
  if (fileSize < sizeof(Elf32_Ehdr) || !file.read(reinterpret_cast<char*>(ident), sizeof ident)) {
    reason = "it is no library: the file holds " + std::to_string(fileSize) + " bytes, fewer than an ELF header";
    return false;
  }
  if (std::memcmp(ident, ELFMAG, SELFMAG) != 0) {
    reason = "it is no library: the file does not begin as an ELF file";
    return false;
  }
  if (ident[EI_DATA] != (std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB)) {
    reason = "it is no library of this machine: its bytes are in the other order";
    return false;
  }
  if (ident[EI_CLASS] == ELFCLASS64) return Checker<Elf64>(file, fileSize, reason).Check();
  if (ident[EI_CLASS] == ELFCLASS32) return Checker<Elf32>(file, fileSize, reason).Check();
  reason = "its ELF class " + std::to_string(ident[EI_CLASS]) + " is unknown";
  return false;
}

}  // namespace tq_loader
#endif
