// File: plugin/preview_store_unbuilt.cpp
//
// Not built yet: nothing is remembered.
#include "plugin/preview_store.h"

std::string ReadPreviewImage() { return std::string(); }
void WritePreviewImage(const std::string&) {}
