// Standard input and output, --keep-time and the output's folder: the
// edges between a job and the files, kept out of the batch's loop.
#include "cli/job_output.h"

#include <system_error>

#include "base/file_name.h"
#include "base/safe_file.h"
#include "cli/console.h"

namespace fs = std::filesystem;

bool KeepStandardInput(const fs::path& folder, Job* job, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadStandardInput(&bytes, error)) {
    *error = "-: standard input cannot be read: " + *error;
    return false;
  }
  PhotoFormat format;
  if (!PhotoFormatOfBytes(bytes.data(), bytes.size(), &format)) {
    *error = "-: standard input holds no picture of a known format (png, jpeg, bmp, tiff; " +
             std::to_string(bytes.size()) + " bytes read)";
    return false;
  }
  if (job->format_from_content) {
    if (!PhotoFormatWritable(format)) {
      *error = std::string("-: standard input is a ") + PhotoFormatName(format) +
               " picture, which this build cannot write (give --format png)";
      return false;
    }
    job->format = format;
    job->format_from_content = false;
  }
  // The codecs read files by name; the name gives them the format too.
  const fs::path kept = folder / PathFromUtf8(std::string("standard-input") + ExtensionOf(format));
  if (!WriteFileSafely(Utf8FromPath(kept), bytes.data(), bytes.size(), error)) return false;
  job->read_from = kept;
  return true;
}

bool WriteJobOutput(const Job& job, const FilterOptions& o, const std::vector<uint8_t>& bytes, std::string* error) {
  if (job.to_stdout) {
    if (WriteStandardOutput(bytes, error)) return true;
    *error = "-: standard output cannot be written: " + *error;
    return false;
  }
  const fs::path folder = job.output.parent_path();
  std::error_code failure;
  if (!folder.empty() && !fs::is_directory(folder, failure)) {
    fs::create_directories(folder, failure);
    if (failure) {
      *error = Shown(folder) + ": cannot be made: " + failure.message();
      return false;
    }
  }
  const bool keep_time = o.keep_time && job.has_time;
  return ReplaceFileSafely(
      Shown(job.output),
      [&](TemporaryFile& file) {
        if (!file.Write(bytes.data(), bytes.size())) return false;
        if (!keep_time) return true;
        // Set on the temporary, closed first so that no write comes after
        // it: the output appears with the input's time.
        if (!file.Close()) return false;
        std::error_code setting;
        fs::last_write_time(PathFromUtf8(file.path()), job.input_time, setting);
        return !setting;
      },
      SafeWriteOptions(), error);
}

std::string StandardOutputRefusal(const std::vector<Job>& jobs, bool stdout_is_terminal) {
  for (const Job& job : jobs) {
    if (job.to_stdout && job.state == Job::State::kToDo && stdout_is_terminal) {
      return "-: standard output is a terminal, where a picture's bytes mean nothing; redirect it to a file or a "
             "program (> out.png, | program)";
    }
  }
  return "";
}
