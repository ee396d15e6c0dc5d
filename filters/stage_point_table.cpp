// File: filters/stage_point_table.cpp
//
// The byte-for-byte table pass of the gamma and auto-levels stages.
#include <cstring>

#include "filters/point_table.h"

void MapBytes(uint8_t* bytes, size_t count, const uint8_t (&table)[256]) {
  // Eight bytes are read and written as one word: the loads and stores of
  // the pixels then cost less than the table lookups between them.
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    uint64_t mapped = 0;
    for (int b = 0; b < 8; ++b) mapped |= static_cast<uint64_t>(table[(word >> (8 * b)) & 0xFF]) << (8 * b);
    std::memcpy(bytes + i, &mapped, 8);
  }
  for (; i < count; ++i) bytes[i] = table[bytes[i]];
}
