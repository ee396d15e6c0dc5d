// File: filters/point_table.h
//
// The pixel pass shared by the table stages (gamma, auto-levels): every
// byte of a run of pixels is replaced by its entry in a 256-byte table.
// Blue, green and red share one table, so the run is walked as plain bytes.
#ifndef CHROMALINE_FILTERS_POINT_TABLE_H_
#define CHROMALINE_FILTERS_POINT_TABLE_H_

#include <cstddef>
#include <cstdint>

// Replaces bytes[0..count-1] by table[bytes[i]].
void MapBytes(uint8_t* bytes, size_t count, const uint8_t (&table)[256]);

#endif  // CHROMALINE_FILTERS_POINT_TABLE_H_
