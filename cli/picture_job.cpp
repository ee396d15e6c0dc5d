// One picture read, filtered and written, each step after the other, so
// that a job's memory stays at about three pictures' rows (the plug-in's
// two and the host's bitmap) plus the plug-in's working rows.
#include "cli/picture_job.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "base/file_name.h"
#include "base/safe_file.h"
#include "cli/job_output.h"
#include "cli/worker_process.h"
#include "photo/encoding_check.h"

namespace fs = std::filesystem;

namespace {

// Two running sums over the rows, 8 bytes at a time. Equal sums are only
// a hint: the rows are compared byte for byte before a picture counts as
// unchanged.
struct Checksum {
  uint64_t a = 0x9E3779B97F4A7C15ull;
  uint64_t b = 0xC2B2AE3D27D4EB4Full;
  size_t size = 0;
  bool operator==(const Checksum& other) const { return a == other.a && b == other.b && size == other.size; }
};

Checksum ChecksumOf(const std::vector<uint8_t>& rows) {
  Checksum sum;
  sum.size = rows.size();
  size_t i = 0;
  for (; i + 8 <= rows.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, rows.data() + i, 8);
    sum.a = (sum.a ^ word) * 0x100000001B3ull;
    sum.a ^= sum.a >> 29;
    sum.b = (sum.b + word) * 0x9FB21C651E98DF25ull;
    sum.b ^= sum.b >> 32;
  }
  for (; i < rows.size(); ++i) sum.a = (sum.a ^ rows[i]) * 0x100000001B3ull;
  return sum;
}

// A picture read and put into the bitmap the plug-in will rewrite.
struct Loaded {
  bool ok = false;
  Photo photo;  // its image rows are in `bitmap` and left empty here
  std::unique_ptr<HostBitmap> bitmap;
  Checksum read;  // of the rows as read
  std::string error;
};

struct Written {
  bool ok = false;
  bool unchanged = false;  // no pixel changed: the input left as it was, or copied byte for byte
  std::string error;
  std::vector<std::string> notes;  // the metadata the output could not hold, what the encoder did not do
};

Loaded Load(const Job& job, HostBitmap::Kind kind) {
  Loaded loaded;
  loaded.ok = ReadPhoto(Shown(job.read_from), &loaded.photo, &loaded.error);
  if (!loaded.ok && job.from_stdin) loaded.error = "-: standard input: " + loaded.error;
  if (!loaded.ok) return loaded;
  Image& image = loaded.photo.image;
  loaded.bitmap = HostBitmap::Create(image, kind);
  if (!loaded.bitmap) {
    loaded.ok = false;
    loaded.error = Shown(job.input) + ": no bitmap could be made for it (" + std::to_string(image.width) + "x" +
                   std::to_string(image.height) + ")";
  }
  loaded.read = ChecksumOf(image.bgr);
  image.bgr = std::vector<uint8_t>();
  return loaded;
}

EncodeOptions EncodeOptionsFor(const Job& job, const FilterOptions& o) {
  EncodeOptions encode;
  encode.format = job.format;
  if (o.has_quality) encode.quality = o.quality;
  encode.jpeg_like_source = !o.has_quality;  // a JPEG's own quality unless one is given
  return encode;
}

// The whole file, for a byte-for-byte copy.
bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>* bytes, std::string* error) {
  std::error_code failure;
  const uintmax_t size = fs::file_size(path, failure);
  std::ifstream in(path, std::ios::binary);
  if (!failure && in) {
    bytes->resize(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes->data()), static_cast<std::streamsize>(size));
    if (in && in.peek() == std::ifstream::traits_type::eof()) return true;
  }
  *error = Shown(path) + ": cannot be read again to be copied unchanged";
  return false;
}

// Whether `rows` are the input's own, byte for byte: read again (only
// when the checksums agree, so rarely).
bool SameAsInput(const fs::path& input, const std::vector<uint8_t>& rows, const Checksum& read) {
  if (!(ChecksumOf(rows) == read)) return false;
  Photo again;
  std::string error;
  return ReadPhoto(Shown(input), &again, &error) && again.image.bgr == rows;
}

// The output of a picture the filters left as it was: nothing for
// --in-place, the input's own bytes where they are of the output's format
// (a new encoding would only lose), else an encoding of the same pixels.
// False with *copy empty when an encoding is needed.
bool CopyUnchanged(const Job& job, const FilterOptions& o, std::vector<uint8_t>* copy, std::string* error) {
  if (o.in_place) return true;
  if (!ReadWholeFile(job.read_from, copy, error)) return true;
  PhotoFormat format;
  if (PhotoFormatOfBytes(copy->data(), copy->size(), &format) && format == job.format) return true;
  copy->clear();
  return false;
}

// The filtered rows taken back from the bitmap, encoded and written.
Written Store(Loaded& loaded, const Job& job, const FilterOptions& o) {
  Written written;
  Photo& photo = loaded.photo;
  photo.image = loaded.bitmap->Read();
  loaded.bitmap.reset();
  if (SameAsInput(job.read_from, photo.image.bgr, loaded.read)) {
    std::vector<uint8_t> copy;
    if (CopyUnchanged(job, o, &copy, &written.error)) {
      written.unchanged = true;
      written.ok = written.error.empty() && (o.in_place || WriteJobOutput(job, o, copy, &written.error));
      return written;
    }
  }
  const EncodeOptions encode = EncodeOptionsFor(job, o);
  std::vector<uint8_t> bytes;
  if (!EncodePhoto(photo, encode, &bytes, &written.error)) {
    written.error = Shown(job.output) + ": cannot be encoded: " + written.error;
    return written;
  }
  // The bytes read back before they replace anything: the platform's
  // encoder may have passed over what was asked of it.
  const EncodingCheck check = CheckEncoding(photo, encode, bytes);
  if (o.in_place && !check.lowered.empty()) {
    written.error = Shown(job.input) + ": the encoder wrote " + check.lowered +
                    "; --in-place leaves it as it is (write it elsewhere with -o DIR or --suffix TEXT)";
    return written;
  }
  written.ok = WriteJobOutput(job, o, bytes, &written.error);
  if (!written.ok) return written;
  if (!check.shortfall.empty()) {
    written.notes.push_back(Shown(job.input) + " -> " + Shown(job.output) +
                            ": the encoder did not do all that was asked: " + check.shortfall);
  }
  const std::string left_out = MetadataLeftOut(photo, encode);
  if (!left_out.empty()) {
    written.notes.push_back(Shown(job.input) + " -> " + Shown(job.output) + ": left out, no place for it in a " +
                            PhotoFormatName(job.format) + " file: " + left_out);
  }
  return written;
}

// What --in-place would lose of `photo` by writing it back, or "": the
// filters work on 8-bit RGB rows, and the output is encoded from them.
std::string KeptInPlace(const Photo& photo, const EncodeOptions& encode) {
  if (photo.source_bits > 8) {
    return "a " + std::to_string(photo.source_bits) + "-bit picture would be replaced by an 8-bit one";
  }
  if (photo.cmyk) return "a CMYK picture would be replaced by an RGB one";
  if (photo.palette) return "a picture of palette colours would be replaced by one of full colours";
  if (!photo.unread.empty()) return "its " + photo.unread + " cannot be read by this build and would be lost";
  const std::string left_out = MetadataLeftOut(photo, encode);
  if (!left_out.empty()) {
    return std::string("its ") + left_out + " would be lost (no place for it in a " +
           PhotoFormatName(encode.format) + " file written here)";
  }
  return "";
}

}  // namespace

bool LoadStore(const FilterOptions& o, SettingsStore& store, std::string* error) {
  if (o.store.empty()) return true;
  std::error_code failure;
  const bool exists = fs::exists(PathFromUtf8(o.store), failure);
  if (!exists && o.save_store) return true;
  return store.LoadFile(o.store, error);
}

// A worker is given a planned picture of a batch: never standard input or
// output (those are the IN OUT form's alone, done in the run's own
// process), so the file read is the input itself; --keep-time's time goes
// with it, read when the run was planned.
Message JobMessage(const PictureJob& picture) {
  const Job& job = picture.job;
  const std::string time =
      job.has_time ? std::to_string(static_cast<long long>(job.input_time.time_since_epoch().count())) : "";
  return MakeMessage('j', {std::to_string(picture.position), Utf8FromPath(job.input), Utf8FromPath(job.output),
                           std::to_string(static_cast<int>(job.format)), picture.given, picture.threads, time});
}

bool JobFromMessage(const Message& message, PictureJob* picture) {
  const long long format = message.Number(3);
  if (message.kind != 'j' || message.fields.size() != 7 || message.Number(0) < 1 || format < 0 ||
      format > static_cast<int>(PhotoFormat::kTiff)) {
    return false;
  }
  picture->position = static_cast<size_t>(message.Number(0));
  Job& job = picture->job;
  job.input = PathFromUtf8(message.Text(1));
  job.read_from = job.input;
  job.output = PathFromUtf8(message.Text(2));
  job.format = static_cast<PhotoFormat>(format);
  picture->given = message.Text(4);
  picture->threads = message.Text(5);
  job.has_time = !message.Text(6).empty();
  if (job.has_time) {
    job.input_time = fs::file_time_type(fs::file_time_type::duration(message.Number(6)));
  }
  return true;
}

void RunPicture(const FilterOptions& o, PluginHost& host, const PictureJob& picture,
                const std::function<bool()>& stop, const std::function<void(const Message&)>& report) {
  const Job& job = picture.job;
  const std::string position = std::to_string(picture.position);
  const std::string input = Shown(job.input), output = Shown(job.output);
  const auto end = [&](const char* outcome, const std::string& line, const std::vector<std::string>& notes) {
    std::vector<std::string> fields = {position, outcome, line};
    fields.insert(fields.end(), notes.begin(), notes.end());
    report(MakeMessage('d', fields));
  };
  if (stop()) return end(kOutcomeDropped, "", {});
  Loaded loaded = Load(picture.job, o.kind);
  if (!loaded.ok) return end(kOutcomeFailed, loaded.error, {});
  const Photo& photo = loaded.photo;
  for (const std::string& note : photo.notes) report(MakeMessage('n', {position, input + ": " + note}));
  if (photo.source_bits > 8) {
    report(MakeMessage('n', {position, input + ": " + std::to_string(photo.source_bits) +
                                           " bits per channel reduced to 8 (the filters work on 8 bits)"}));
  }
  const std::string lost = o.in_place ? KeptInPlace(photo, EncodeOptionsFor(job, o)) : "";
  if (!lost.empty()) {
    return end(
        kOutcomeFailed,
        input + ": " + lost + "; --in-place leaves it as it is (write it elsewhere with -o DIR or --suffix TEXT)",
        {});
  }
  report(MakeMessage('s', {position, std::to_string(photo.image.width), std::to_string(photo.image.height),
                           std::to_string(photo.orientation)}));
  if (!picture.threads.empty()) SetEngineThreads(picture.threads);
  host.SetStopAnswer([&](int n) {
    if ((n & 63) == 0) report(MakeMessage('q', {position, std::to_string(n)}));
    return stop() ? 1 : 0;
  });
  const auto start = std::chrono::steady_clock::now();
  host.FilterImage(picture.given.c_str(), static_cast<uint32_t>(picture.position), loaded.bitmap.get(), o.region);
  host.SetStopAnswer(nullptr);
  if (stop()) return end(kOutcomeDropped, "", {});  // the picture in hand is dropped
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  report(MakeMessage('f', {position, std::to_string(took.count())}));
  const Written written = Store(loaded, job, o);
  if (!written.ok) return end(kOutcomeFailed, written.error, {});
  if (written.unchanged) {
    return end(kOutcomeUnchanged,
               o.in_place ? input + ": no pixel changed; left as it was"
                          : input + " -> " + output + " (no pixel changed; copied as it was)",
               {});
  }
  end(kOutcomeWritten, input + " -> " + output, written.notes);
}
