// The names lzhtool shows and writes for an archive's entries: UTF-8 made
// from the exact (UTF-16) names where the header has them, else from the
// code-page names; or the stored bytes as they are.
#pragma once

#include <string>

#include "archive/header.h"

struct NameOptions {
    int codePage = 932;  // of code-page names whose header names none (0x46)
    bool raw = false;    // the stored bytes, not UTF-8
};

// The lead bytes of a double-byte code page (932, 936, 949, 950), or none.
lzh::LeadBytePredicate LeadBytesOf(int codePage);

// The entry's name with '\' (or '/') between its components.  In UTF-8:
// the file name and the folders each from 0x44 and 0x45 when the header
// has them, else converted from the code page that 0x46 or options name; a
// code-page part that is not text there is kept as stored (taken as UTF-8,
// which Unix archivers store, when it is valid UTF-8).
std::string EntryName(const lzh::EntryHeader& header, const lzh::WideNames& names,
                      const NameOptions& options);

// The lead bytes MakeRelativePath must step over in a name EntryName gave:
// none in UTF-8 text, else those of the chosen code page.
lzh::LeadBytePredicate PathLeadBytes(const std::string& name, const NameOptions& options);

// Turns a name into a relative '/'-separated path.  '\' and '/' separate,
// except a '\' that is the second byte of a double-byte character (which a
// UTF-8 name never has: isLeadByte then says no).  Leading separators are
// dropped, so that "\dir\file" goes below the destination (as other
// extractors and the module do).  False for a name with a drive letter or
// a ".." component, or nothing left.
bool MakeRelativePath(const std::string& name, lzh::LeadBytePredicate isLeadByte, std::string& path);
