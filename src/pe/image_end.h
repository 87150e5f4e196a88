// Where a PE image ends in its file (the first byte after the raw data of
// its sections, where the module's configuration block starts) and where
// a signer's certificate table lies.  What the module itself needs of the
// PE format: no memory is allocated, nothing read outside the buffer.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads the headers from `headers` (the first `size` bytes of the file, or
// of the loaded image) and returns the file offset where the raw data of
// the sections ends.  Returns 0 for anything malformed: no DOS or PE
// header within `size` bytes, no sections or more than 96, a section table
// that does not lie within `size` bytes, or an end beyond 32 bits.
uint32_t FindImageEnd(const uint8_t* headers, size_t size);

// The file offset of the certificate table (an Authenticode signature) that
// the PE security directory of `headers` points at; 0 when there is none or
// the headers are malformed.  A signer appends the table to the file.
uint32_t FindCertificateTable(const uint8_t* headers, size_t size);
