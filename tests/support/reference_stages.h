// Plain reference versions of the filter stages, for bit-for-bit
// comparisons with the real ones. Each is written to read like the
// definition of its stage, with no regard for speed.
#ifndef CHROMALINE_TESTS_SUPPORT_REFERENCE_STAGES_H_
#define CHROMALINE_TESTS_SUPPORT_REFERENCE_STAGES_H_

#include "filters/pixel_buffer.h"
#include "filters/engine/stop_query.h"

#endif  // CHROMALINE_TESTS_SUPPORT_REFERENCE_STAGES_H_
