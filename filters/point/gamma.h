// The 256-entry table behind the gamma stage (ApplyGamma in
// filters/stages.h), exposed so that it can be checked value by value.
#ifndef CHROMALINE_FILTERS_POINT_GAMMA_H_
#define CHROMALINE_FILTERS_POINT_GAMMA_H_

#include <cstdint>

#include "filters/pixel_buffer.h"

// Entry v is 255 * (v / 255)^(1 / gamma), rounded half up and capped at 255.
// Gammas the settings dialog never offers are mapped soundly rather than
// left to undefined conversions:
//   gamma 0: every value below 255 becomes 0, 255 stays 255;
//   gamma below 0 (and -infinity): the curve exceeds 255 or is infinite
//     everywhere, so every value becomes 255;
//   gamma +infinity: the limit of ever larger gammas, 0 stays 0 and every
//     other value becomes 255;
//   gamma not a number: no curve at all, the table is the identity.
void BuildGammaTable(double gamma, uint8_t (&table)[256]);

// Maps every channel value of a 24-bit picture through `table`.
void ApplyGammaTable(PixelBuffer& buffer, const uint8_t (&table)[256]);

#endif  // CHROMALINE_FILTERS_POINT_GAMMA_H_
