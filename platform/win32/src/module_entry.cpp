// Reads a shared library's dynamic symbol table from its file: only the parts it needs, every
// read checked against the file's size.
#include "module_entry.h"

#include <elf.h>
#include <link.h>

#include <cstring>
#include <fstream>
#include <vector>

namespace qf {
namespace {

class ElfFile {
public:
    explicit ElfFile(const std::string& path) : in_(path, std::ios::binary | std::ios::ate) {
        if (in_) size_ = static_cast<uint64_t>(in_.tellg());
    }

    // The bytes [offset, offset + length); false when they do not lie wholly inside the file.
    bool read(uint64_t offset, uint64_t length, void* out) {
        if (!in_ || offset > size_ || size_ - offset < length) return false;
        in_.seekg(static_cast<std::streamoff>(offset));
        in_.read(static_cast<char*>(out), static_cast<std::streamsize>(length));
        return static_cast<bool>(in_);
    }
    bool read(uint64_t offset, uint64_t length, std::vector<char>& out) {
        if (offset > size_ || size_ - offset < length) return false;
        out.resize(length);
        return length == 0 || read(offset, length, out.data());
    }

private:
    std::ifstream in_;
    uint64_t size_ = 0;
};

}  // namespace

bool module_defines_cxx_dll_main(const std::string& path) {
    ElfFile file(path);
    ElfW(Ehdr) header;
    if (!file.read(0, sizeof header, &header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) ||
        header.e_shentsize != sizeof(ElfW(Shdr)))
        return false;
    std::vector<ElfW(Shdr)> sections(header.e_shnum);
    if (!file.read(header.e_shoff, sections.size() * sizeof(ElfW(Shdr)), sections.data())) return false;

    const char kPrefix[] = "_Z7DllMain";
    for (const ElfW(Shdr)& table : sections) {
        if (table.sh_type != SHT_DYNSYM) continue;
        if (table.sh_link >= sections.size() || table.sh_entsize != sizeof(ElfW(Sym))) return false;
        std::vector<char> symbols, names;
        if (!file.read(table.sh_offset, table.sh_size, symbols) ||
            !file.read(sections[table.sh_link].sh_offset, sections[table.sh_link].sh_size, names))
            return false;
        for (size_t at = 0; symbols.size() - at >= sizeof(ElfW(Sym)); at += sizeof(ElfW(Sym))) {
            ElfW(Sym) symbol;
            std::memcpy(&symbol, symbols.data() + at, sizeof symbol);
            if (symbol.st_shndx == SHN_UNDEF || symbol.st_name >= names.size()) continue;
            if (names.size() - symbol.st_name >= sizeof kPrefix - 1 &&
                std::memcmp(names.data() + symbol.st_name, kPrefix, sizeof kPrefix - 1) == 0)
                return true;
        }
    }
    return false;
}

}  // namespace qf
