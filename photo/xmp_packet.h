// XMP packets edited at the byte level, in both builds: the orientation
// reset in place, and properties added where a packet lacks them (a PNG's
// text keywords carried into a JPEG or TIFF file). Everything else in the
// packet is left byte for byte as it came.
#ifndef CHROMALINE_PHOTO_XMP_PACKET_H_
#define CHROMALINE_PHOTO_XMP_PACKET_H_

#include <cstdint>
#include <string>
#include <vector>

// Sets an XMP packet's tiff:Orientation, as an attribute or an element, to
// 1 in place (a single digit for a single digit: the packet keeps its size).
void ResetXmpOrientation(std::vector<uint8_t>* xmp);

// An XMP property of the Dublin Core ("dc:") or XMP basic ("xmp:") schema.
struct XmpProperty {
  enum class Kind { kText, kAlternative, kSequence };  // a text; a language alternative; an ordered list
  std::string name;                                    // "dc:title", "xmp:CreateDate", ...
  Kind kind = Kind::kText;
  std::string value;  // UTF-8
};

// Whether the packet holds the property (as an element or an attribute).
bool XmpHasProperty(const std::vector<uint8_t>& xmp, const std::string& name);

// Adds the properties the packet lacks, in a description of their own
// before the packet's end of RDF, or as a new packet when *xmp is empty.
// False, with the packet unchanged, when it has no end of RDF.
bool AddXmpProperties(std::vector<uint8_t>* xmp, const std::vector<XmpProperty>& properties);

#endif  // CHROMALINE_PHOTO_XMP_PACKET_H_
