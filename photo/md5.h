// The MD5 message digest (RFC 1321), for the one place a file format asks
// for it: the name a JPEG's extended XMP goes by is the digest of its
// bytes. Not for anything that needs to resist an attacker.
#ifndef CHROMALINE_PHOTO_MD5_H_
#define CHROMALINE_PHOTO_MD5_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The 16 bytes of the digest of `size` bytes at `data`.
std::array<uint8_t, 16> Md5(const uint8_t* data, size_t size);

// The digest as 32 hexadecimal digits, A to F in upper case.
std::string Md5HexUpper(const uint8_t* data, size_t size);

#endif  // CHROMALINE_PHOTO_MD5_H_
