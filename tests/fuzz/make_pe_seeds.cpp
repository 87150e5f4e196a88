// Makes the seed corpora of the fuzz targets over PE images, icon files and
// package files:
//
//   make_pe_seeds OUTDIR [MODULE...]
//
// writes OUTDIR/hand-made.exe (a small module with an icon, a version block
// of two string tables and a named resource, which run.sh packages with
// mksfx) and OUTDIR/<target>/<name> files: the first 4 KiB of every module
// for fuzz_pe_headers, each module whole for fuzz_branding, its resource
// section behind its address for fuzz_pe_resources, a small .ico file for
// fuzz_ico and a package file with every key for fuzz_package_file.  Hand-
// made modules with a certificate table, an empty language directory, an
// icon group without images and resources inside the headers join them.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "config_block.h"
#include "pe/image.h"
#include "pe/pe_format.h"
#include "test_images.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string outDir;

bool Write(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool Seed(const char* target, const std::string& name, const Bytes& bytes) {
    const std::string dir = outDir + "/" + target;
    mkdir(dir.c_str(), 0777);
    if (Write(dir + "/" + name, bytes)) return true;
    std::fprintf(stderr, "make_pe_seeds: cannot write %s/%s\n", dir.c_str(), name.c_str());
    return false;
}

bool ReadWhole(const char* path, Bytes& bytes) {
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    uint8_t block[65536];
    size_t got;
    bytes.clear();
    while ((got = std::fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + got);
    std::fclose(f);
    return true;
}

// Seeds from one module: its head, itself, its resource section.
bool ModuleSeeds(const std::string& name, const Bytes& module) {
    bool ok = Seed("fuzz_pe_headers", name,
                   Bytes(module.begin(), module.begin() + std::min<size_t>(module.size(), 4096)));
    ok = Seed("fuzz_branding", name, module) && ok;
    pe::Image image;
    std::string error;
    if (pe::ReadImage(module.data(), module.size(), image, error)) {
        const pe::Directory resources = image.DirectoryAt(pe::kResourceDirectory);
        for (const pe::Section& section : image.sections) {
            if (section.virtualAddress != resources.address || section.RawEnd() > module.size()) continue;
            Bytes seed(4);
            WriteLe32(seed.data(), section.virtualAddress);
            seed.insert(seed.end(), module.begin() + section.rawOffset, module.begin() + section.RawEnd());
            ok = Seed("fuzz_pe_resources", name, seed) && ok;
        }
    }
    return ok;
}

pe::ResourceTree HandMadeTree() {
    pe::ResourceTree tree = pe_test::MakeResourceTree();
    tree.Find(pe::kVersionType)->entries[0].languages[0].data = pe_test::MakeVersionBlock(
        {u"040904b0", u"041103a4"},
        {{u"CompanyName", u"Example"}, {u"FileVersion", u"1.0"}, {u"ProductName", u"Seed"}});
    return tree;
}

Bytes Module(const pe::ResourceTree& tree) {
    return pe_test::MakeImage({{".text", Bytes(0x200, 0xC3), 0x60000020}, {".data", Bytes(0x40, 1)}}, &tree);
}

// A package file that sets every key once.
const char kPackageFile[] =
    "; every key\n[package]\noutput = out.exe\nmodule = sfx.exe\nicon = app.ico\ndirectory = payload\n"
    "title = \"  Title  \"\nquestion = Install?\ndest = %temp%\\x\nrun = setup.exe /q\nno-confirm = yes\n"
    "open-folder = no\nremove-after-run = on\nskip-dialog = 1\ncrc = true\nvariant = 6\nmethod = lh6\nlevel "
    "= 1\n"
    "best = off\ncodepage = 1252\nmtime = 2020-01-02T03:04:05\n"
    "[version]\nProductName = P\nFileVersion = 1.2.3.4\nproductversion = 2 beta\n[files]\nreadme.txt\ndocs\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_pe_seeds OUTDIR [MODULE...]\n");
        return 2;
    }
    outDir = argv[1];
    mkdir(outDir.c_str(), 0777);
    const Bytes handMade = Module(HandMadeTree());
    bool ok = Write(outDir + "/hand-made.exe", handMade) && ModuleSeeds("hand-made", handMade);
    for (int i = 2; i < argc; i++) {
        Bytes module;
        if (!ReadWhole(argv[i], module)) {
            std::fprintf(stderr, "make_pe_seeds: cannot read %s\n", argv[i]);
            return 1;
        }
        ok = ModuleSeeds("module-" + std::to_string(i - 1), module) && ok;
    }

    // Signed: a certificate table behind the image, the security directory
    // pointing at it.
    Bytes signedModule = handMade;
    pe::Image image;
    std::string error;
    pe::ReadImage(handMade.data(), handMade.size(), image, error);
    WriteLe32(&signedModule[image.DirectoryOffset(pe::kSecurityDirectory)],
              static_cast<uint32_t>(handMade.size()));
    WriteLe32(&signedModule[image.DirectoryOffset(pe::kSecurityDirectory) + 4], 16);
    signedModule.insert(signedModule.end(), {16, 0, 0, 0, 0, 2, 2, 0, 0x30, 0x82, 0, 0, 0, 0, 0, 0});
    ok = Seed("fuzz_pe_headers", "signed", signedModule) && ok;
    ok = Seed("fuzz_branding", "signed", signedModule) && ok;

    // Names without any language, and a 1,536-byte "package" of such a
    // module and a block.
    pe::ResourceTree empty;
    empty.Add(pe::kVersionType).entries.push_back(pe_test::Entry(1, u"", {}));
    empty.Add(pe::kIconGroupType).entries.push_back(pe_test::Entry(103, u"", {}));
    Bytes emptyPackage = pe_test::MakeImage({}, &empty);
    ok = ModuleSeeds("empty-languages", emptyPackage) && ok;
    Bytes block(mksfx::kConfigBlockSize);
    mksfx::EncodeConfig(mksfx::DefaultConfig(), block.data());
    emptyPackage.insert(emptyPackage.end(), block.begin(), block.end());
    ok = Seed("fuzz_info", "empty-languages", emptyPackage) && ok;

    // An icon group whose images have no type of their own.
    pe::ResourceTree groupOnly;
    groupOnly.Add(pe::kIconGroupType)
        .entries.push_back(pe_test::Entry(1, u"", {pe_test::Item(0, pe_test::MakeIconGroup({1}))}));
    groupOnly.Add(pe::kVersionType).entries.push_back(HandMadeTree().Find(pe::kVersionType)->entries[0]);
    ok = ModuleSeeds("group-only", Module(groupOnly)) && ok;

    // A small resource section whose raw data starts inside the headers:
    // the tree right behind the DOS header, the PE headers moved to 0x400.
    pe::ResourceTree small;
    small.Add(pe::kVersionType)
        .entries.push_back(pe_test::Entry(1, u"", {pe_test::Item(0, pe_test::MakeVersionBlock({u"0"}, {}))}));
    const Bytes smallModule = Module(small);
    pe::ReadImage(smallModule.data(), smallModule.size(), image, error);
    const size_t nt = image.span.ntHeaders, tableEnd = image.span.sectionTable + 40 * image.span.sectionCount;
    const pe::Section& rsrc = image.sections.back();
    Bytes inside(0x400 + tableEnd - nt, 0);
    std::copy(smallModule.begin(), smallModule.begin() + 0x40, inside.begin());
    WriteLe32(&inside[pe::kNewHeaderField], 0x400);
    std::copy(smallModule.begin() + rsrc.rawOffset, smallModule.begin() + rsrc.rawOffset + rsrc.virtualSize,
              inside.begin() + 0x40);
    std::copy(smallModule.begin() + nt, smallModule.begin() + tableEnd, inside.begin() + 0x400);
    for (const pe::Section& s : image.sections)
        WriteLe32(&inside[s.header - nt + 0x400 + pe::kRawOffsetField], 0);
    WriteLe32(&inside[rsrc.header - nt + 0x400 + pe::kRawOffsetField], 0x40);
    WriteLe32(&inside[rsrc.header - nt + 0x400 + pe::kRawSizeField],
              static_cast<uint32_t>(inside.size() - 0x40));
    ok = Seed("fuzz_branding", "resources-inside-headers", inside) && ok;

    // An icon file of a bitmap and a PNG, and a package file.
    Bytes bitmap(40 + 16 * 16 * 4 + 16 * 4, 0x22);
    std::fill(bitmap.begin(), bitmap.begin() + 40, 0);
    WriteLe32(&bitmap[0], 40);
    WriteLe32(&bitmap[4], 16);
    WriteLe32(&bitmap[8], 32);
    WriteLe16(&bitmap[12], 1);
    WriteLe16(&bitmap[14], 32);
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    Bytes ico(6 + 2 * 16, 0);
    WriteLe16(&ico[2], 1);
    WriteLe16(&ico[4], 2);
    const Bytes* images[] = {&bitmap, &png};
    for (size_t i = 0; i < 2; i++) {
        uint8_t* entry = &ico[6 + 16 * i];
        entry[0] = entry[1] = i == 0 ? 16 : 0;
        WriteLe16(entry + 4, i == 0 ? 1 : 0);
        WriteLe16(entry + 6, i == 0 ? 32 : 0);
        WriteLe32(entry + 8, static_cast<uint32_t>(images[i]->size()));
        WriteLe32(entry + 12, static_cast<uint32_t>(ico.size()));
        ico.insert(ico.end(), images[i]->begin(), images[i]->end());
    }
    ok = Seed("fuzz_ico", "bitmap-and-png", ico) && ok;
    ok =
        Seed("fuzz_package_file", "every-key", Bytes(kPackageFile, kPackageFile + sizeof kPackageFile - 1)) &&
        ok;
    return ok ? 0 : 1;
}
