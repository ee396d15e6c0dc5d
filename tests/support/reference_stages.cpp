// File: tests/support/reference_stages.cpp
//
// Plain reference versions of the stages, written to read like their
// definitions, for the bit-for-bit comparisons of the unit tests.
