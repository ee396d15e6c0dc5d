// Plain reference versions of the stages live in reference_<stage>.cpp
// beside this file, declared in reference_stages.h, each written to read
// like its definition for the bit-for-bit comparisons of the tests.
