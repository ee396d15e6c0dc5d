// File: plugin/preview_store.h
//
// The remembered sample picture of the settings dialog ("PreviewImg" in
// section "Settings" of the per-user profile store under the company key
// "KelvarWorks"). Reads give the empty text when anything is missing;
// writes never fail loudly.
#ifndef CHROMALINE_PLUGIN_PREVIEW_STORE_H_
#define CHROMALINE_PLUGIN_PREVIEW_STORE_H_

#include <string>

std::string ReadPreviewImage();
void WritePreviewImage(const std::string& path);

#endif  // CHROMALINE_PLUGIN_PREVIEW_STORE_H_
