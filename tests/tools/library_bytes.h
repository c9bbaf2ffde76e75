// The built model library as bytes, for the tests that load copies of it cut short or damaged:
// reading and writing the file, its fields, and the test's own view of its ELF structures, found
// by parsing the file.
#pragma once

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <elf.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/tq_loader.h"

namespace library_bytes {

namespace fs = std::filesystem;

// The build puts the model library beside the host layer.
inline fs::path BuiltLibrary() { return fs::path(TQ_LibraryLoader::ModuleDirectory()) / "Morvane230_1.so"; }

inline std::vector<char> FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::vector<char>& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

template <typename T>
T At(const std::vector<char>& bytes, std::uint64_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

template <typename T>
void Put(std::vector<char>& bytes, std::uint64_t offset, const T& value) {
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}

// The built library's headers, read as the test's own view of the file.
struct Layout {
  explicit Layout(const std::vector<char>& bytes) : header(At<Elf64_Ehdr>(bytes, 0)) {
    for (unsigned k = 0; k < header.e_phnum; ++k)
      programs.push_back(At<Elf64_Phdr>(bytes, header.e_phoff + std::uint64_t{k} * sizeof(Elf64_Phdr)));
    for (unsigned k = 0; k < header.e_shnum; ++k)
      sections.push_back(At<Elf64_Shdr>(bytes, header.e_shoff + std::uint64_t{k} * sizeof(Elf64_Shdr)));
  }
  // File offset of the header of the `index`-th program (or first section) of the type.
  std::uint64_t ProgramAt(std::uint32_t type, std::size_t index = 0) const {
    for (std::size_t k = 0; k < programs.size(); ++k)
      if (programs[k].p_type == type && index-- == 0) return header.e_phoff + k * sizeof(Elf64_Phdr);
    ADD_FAILURE() << "no program header of type " << type;
    return 0;
  }
  std::uint64_t SectionAt(std::uint32_t type) const {
    for (std::size_t k = 0; k < sections.size(); ++k)
      if (sections[k].sh_type == type) return header.e_shoff + k * sizeof(Elf64_Shdr);
    ADD_FAILURE() << "no section of type " << type;
    return 0;
  }
  // The first section of the type.
  const Elf64_Shdr& Section(std::uint32_t type) const {
    for (const Elf64_Shdr& section : sections)
      if (section.sh_type == type) return section;
    ADD_FAILURE() << "no section of type " << type;
    return sections.front();
  }
  // File offset of the dynamic table's entry for the tag (the first one).
  std::uint64_t DynamicAt(const std::vector<char>& bytes, std::int64_t tag) const {
    const auto dynamic = At<Elf64_Phdr>(bytes, ProgramAt(PT_DYNAMIC));
    for (std::uint64_t at = dynamic.p_offset; at < dynamic.p_offset + dynamic.p_filesz; at += sizeof(Elf64_Dyn))
      if (At<Elf64_Dyn>(bytes, at).d_tag == tag) return at;
    ADD_FAILURE() << "no dynamic entry " << tag;
    return 0;
  }
  std::uint64_t DynamicValue(const std::vector<char>& bytes, std::int64_t tag) const {
    return At<Elf64_Dyn>(bytes, DynamicAt(bytes, tag)).d_un.d_val;
  }
  // File offset of the byte loaded at `address`, from the loadable segments.
  std::uint64_t FileOffset(std::uint64_t address) const {
    for (const Elf64_Phdr& load : programs)
      if (load.p_type == PT_LOAD && address >= load.p_vaddr && address - load.p_vaddr < load.p_filesz)
        return load.p_offset + (address - load.p_vaddr);
    ADD_FAILURE() << "no loadable segment holds address " << address;
    return 0;
  }
  // The number of the dynamic symbol of this name, and its entry's file offset.
  std::uint64_t SymbolIndex(const std::vector<char>& bytes, const std::string& name) const {
    const Elf64_Shdr& symbols = Section(SHT_DYNSYM);
    const Elf64_Shdr& strings = sections[symbols.sh_link];
    for (std::uint64_t k = 0; k < symbols.sh_size / sizeof(Elf64_Sym); ++k) {
      const auto symbol = At<Elf64_Sym>(bytes, symbols.sh_offset + k * sizeof(Elf64_Sym));
      if (name == bytes.data() + strings.sh_offset + symbol.st_name) return k;
    }
    ADD_FAILURE() << "no dynamic symbol " << name;
    return 0;
  }
  std::uint64_t SymbolAt(const std::vector<char>& bytes, const std::string& name) const {
    return Section(SHT_DYNSYM).sh_offset + SymbolIndex(bytes, name) * sizeof(Elf64_Sym);
  }
  // Whether a relocation of the library (its dynamic relocations or its procedure linkage table's)
  // names the symbol: the platform's loader then looks the symbol up while it loads the library.
  bool Relocates(const std::vector<char>& bytes, std::uint64_t symbol) const {
    for (const Elf64_Shdr& table : sections) {
      if (table.sh_type != SHT_RELA) continue;
      for (std::uint64_t at = table.sh_offset; at + sizeof(Elf64_Rela) <= table.sh_offset + table.sh_size;
           at += sizeof(Elf64_Rela))
        if (ELF64_R_SYM(At<Elf64_Rela>(bytes, at).r_info) == symbol) return true;
    }
    return false;
  }
  bool Defines(const std::vector<char>& bytes, std::uint64_t symbol) const {
    return At<Elf64_Sym>(bytes, Section(SHT_DYNSYM).sh_offset + symbol * sizeof(Elf64_Sym)).st_shndx != SHN_UNDEF;
  }
  Elf64_Ehdr header;
  std::vector<Elf64_Phdr> programs;
  std::vector<Elf64_Shdr> sections;
};

// A directory of its own for each test, removed with what it holds.
class LibraryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::is_regular_file(BuiltLibrary())) << BuiltLibrary();
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name)
      if (c == '/') c = '_';  // a parameterised test's number
    directory_ = fs::path(::testing::TempDir()) / ("library_file_" + std::to_string(getpid()) + "_" + name);
    fs::remove_all(directory_);
    fs::create_directories(directory_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(directory_, ec);
  }
  fs::path directory_;
};

}  // namespace library_bytes
#endif
