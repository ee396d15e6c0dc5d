// A photographer's metadata through the native codecs, written into the
// inputs and read back from the outputs by exiftool: a camera JPEG (EXIF
// with the camera, the date taken, GPS and a thumbnail; IPTC keywords,
// caption and by-line; XMP; a comment; an ICC profile; orientation 6 in
// EXIF and XMP), the two PNG files ImageMagick makes of it (EXIF in an
// eXIf chunk after the image data, or in a "Raw profile type exif" text
// chunk; IPTC and XMP in raw profile text chunks), and a TIFF file with the
// same tags, each into JPEG, PNG and TIFF.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "photo/photo_io.h"
#include "tests/photo/photo_samples.h"
#include "tests/support/test_support.h"

namespace {

constexpr char kComment[] = "taken at dawn";

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// The EXIF block of a file as ImageMagick's raw profile text, in the
// escapes `convert -set` turns into line ends.
std::string RawExifProfile(const std::string& path) {
  const std::string exif = std::string("Exif\0\0", 6) + CommandOutput("exiftool -b -EXIF " + Quoted(path));
  return ImageMagickRawProfile("exif", std::vector<uint8_t>(exif.begin(), exif.end()), "\\n");
}

struct Input {
  const char* name;
  const char* comment_tag;  // where exiftool finds the comment in an output made from it
};

// The tag that holds the comment in an output: a TIFF file's comment is its
// image description, which stays in the EXIF block of every output.
std::string CommentTag(const Input& input, PhotoFormat output) {
  if (input.comment_tag != nullptr) return input.comment_tag;
  switch (output) {
    case PhotoFormat::kJpeg: return "File:Comment";
    case PhotoFormat::kPng: return "PNG:Comment";
    default: return "EXIF:ImageDescription";
  }
}

TEST(PhotoMetadata, EveryBlockOfEachInputKindReachesEachOutputKindUpright) {
  TempDir dir;
  const std::string camera = dir.File("camera.jpg");
  const std::string thumbnail = dir.File("thumbnail.jpg");
  const std::string icc = dir.File("profile.icc");
  WriteBytes(icc, SampleIccProfile());
  // Stored 48 x 64, shown 64 x 48; the thumbnail shows other pixels.
  CommandOutput("convert -size 48x64 gradient:red-blue -quality 95 " + Quoted(camera));
  CommandOutput("convert -size 120x160 gradient:green-yellow " + Quoted(thumbnail));
  const std::string tags =
      "-Make=Acme -Model='TestCam 9' -DateTimeOriginal='2021:05:06 07:08:09' -GPSLatitude=48.8583 "
      "-GPSLatitudeRef=N -GPSLongitude=2.2945 -GPSLongitudeRef=E -EXIF:Orientation#=6 -XMP-tiff:Orientation#=6 "
      "-IPTC:Keywords=alpha -IPTC:Keywords=beta -IPTC:Caption-Abstract='A caption' -IPTC:By-line='Jane Doe' "
      "-XMP-dc:Title=" +
      std::string(kSampleXmpMarker) + " '-ICC_Profile<=" + icc + "' ";
  CommandOutput("exiftool -q -overwrite_original " + tags + "'-ThumbnailImage<=" + thumbnail + "' -Comment='" +
                kComment + "' " + Quoted(camera));
  CommandOutput("convert " + Quoted(camera) + " " + Quoted(dir.File("imagemagick.png")));
  CommandOutput("convert " + Quoted(camera) + " -define png:exclude-chunk=eXIf -set 'Raw profile type exif' '" +
                RawExifProfile(camera) + "' " + Quoted(dir.File("raw-profile.png")));
  const std::string tiff = dir.File("camera.tif");
  CommandOutput("convert " + Quoted(camera) + " -strip " + Quoted(tiff));
  CommandOutput("exiftool -q -overwrite_original -tagsFromFile " + Quoted(camera) +
                " -all:all '-ICC_Profile<=" + icc + "' -IFD0:ImageDescription='" + kComment + "' " + Quoted(tiff));

  const Input inputs[] = {{"camera.jpg", nullptr},
                          {"imagemagick.png", nullptr},
                          {"raw-profile.png", nullptr},
                          {"camera.tif", "EXIF:ImageDescription"}};
  const char* const kFields[] = {"-Model",
                                 "-DateTimeOriginal",
                                 "-GPSLatitude",
                                 "-IPTC:Keywords",
                                 "-IPTC:Caption-Abstract",
                                 "-IPTC:By-line",
                                 "-XMP-dc:Title",
                                 "-ICC_Profile:ProfileDescription",
                                 "-EXIF:Orientation",
                                 "-XMP-tiff:Orientation"};
  const std::string expected = std::string("TestCam 9\n2021:05:06 07:08:09\n48.8583\nalpha, beta\nA caption\n") +
                               "Jane Doe\n" + kSampleXmpMarker + "\nchromaline sample profile\n1\n1\n" + kComment +
                               "\n";
  for (const Input& input : inputs) {
    SCOPED_TRACE(std::string("from ") + input.name);
    const Photo photo = MustRead(dir.File(input.name));
    EXPECT_EQ(photo.orientation, 6);
    EXPECT_EQ(photo.image.width, 64) << "the picture must be turned upright";
    EXPECT_TRUE(photo.notes.empty()) << photo.notes.front();
    for (PhotoFormat format : {PhotoFormat::kJpeg, PhotoFormat::kPng, PhotoFormat::kTiff}) {
      SCOPED_TRACE(std::string("into ") + PhotoFormatName(format));
      EncodeOptions options;
      options.format = format;
      options.keep_metadata = false;
      const std::string out = dir.File(std::string(input.name) + "." + PhotoFormatName(format));
      const Photo stripped = RoundTrip(photo, options, out);
      EXPECT_TRUE(stripped.metadata.exif.empty());
      EXPECT_TRUE(stripped.metadata.iptc.empty());
      EXPECT_EQ(stripped.metadata.comment, "");

      options.keep_metadata = true;
      RoundTrip(photo, options, out);
      std::string command = "exiftool -s3 -f -n";
      for (const char* field : kFields) command += std::string(" ") + field;
      EXPECT_EQ(CommandOutput(command + " -" + CommentTag(input, format) + " " + Quoted(out)), expected);
      // The old 120 x 160 thumbnail is replaced by one of the upright
      // picture, never larger than it, where the file had one (TIFF: none).
      const std::string thumbnail = CommandOutput("exiftool -b -ThumbnailImage " + Quoted(out) +
                                                  " | identify -format '%w %h' - 2>/dev/null || true");
      const bool had =
          !CommandOutput("exiftool -s3 -ThumbnailLength " + Quoted(dir.File(input.name)) + " || true").empty();
      EXPECT_EQ(thumbnail, format != PhotoFormat::kTiff && had ? "64 48" : "");
    }
  }
}

}  // namespace
