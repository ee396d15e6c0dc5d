// The Windows reader of photo/photo_io.h with the imaging factory handed
// in: ReadPhoto gives it the system's; tests give one whose colour
// transforms are stand-ins (Wine's never transforms).
#ifndef CHROMALINE_PHOTO_PHOTO_IO_WIC_H_
#define CHROMALINE_PHOTO_PHOTO_IO_WIC_H_

#include <windows.h>
#include <wincodec.h>

#include <string>

#include "photo/photo_io.h"

// ReadPhoto through `factory`; COM must be started on the calling thread.
bool ReadPhotoWith(IWICImagingFactory* factory, const std::string& path, Photo* photo, std::string* error);

#endif  // CHROMALINE_PHOTO_PHOTO_IO_WIC_H_
