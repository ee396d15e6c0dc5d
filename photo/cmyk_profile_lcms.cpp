// A CMYK profile is opened with lcms (the library libvips transforms with)
// only to see which of its tables libvips can read CMYK with: libvips,
// asked for an intent the profile has no table for, warns and converts
// through its own generic press profile, far from the picture's colours.
#include "photo/cmyk_profile.h"

#include <lcms2.h>

CmykIntent CmykProfileIntent(const uint8_t* icc, size_t size) {
  if (!icc || size < 132) return CmykIntent::kUnusable;  // a header and the tag count at least
  cmsHPROFILE profile = cmsOpenProfileFromMem(icc, static_cast<cmsUInt32Number>(size));
  if (!profile) return CmykIntent::kUnusable;
  CmykIntent intent = CmykIntent::kUnusable;
  if (cmsGetColorSpace(profile) == cmsSigCmykData) {
    if (cmsIsIntentSupported(profile, INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT)) {
      intent = CmykIntent::kPerceptual;
    } else if (cmsIsIntentSupported(profile, INTENT_RELATIVE_COLORIMETRIC, LCMS_USED_AS_INPUT)) {
      intent = CmykIntent::kRelative;
    }
  }
  cmsCloseProfile(profile);
  return intent;
}
