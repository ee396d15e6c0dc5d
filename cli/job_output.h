// What a planned job reads and writes beyond the plain files of the plan
// (cli/job_plan.h): standard input kept aside as a file the codecs can
// read, the output written through the safe writer (its folder made first
// where -o asks for one that is not there yet, with --keep-time the input's
// modification time given to the new file before it takes the output's
// name) or to standard output, and the lines of a dry run.
#ifndef CHROMALINE_CLI_JOB_OUTPUT_H_
#define CHROMALINE_CLI_JOB_OUTPUT_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/job_plan.h"
#include "cli/options.h"

// Reads standard input whole into a file in `folder` (a private folder of
// the run's own) and makes it the job's read_from; standard output without
// --format takes its format. False with a line in *error when standard
// input holds no picture of a known format, or this build cannot write
// that format to standard output.
bool KeepStandardInput(const std::filesystem::path& folder, Job* job, std::string* error);

// The bytes written where the job's output goes. False with a line naming
// the file (or standard output) and the system's reason in *error.
bool WriteJobOutput(const Job& job, const FilterOptions& options, const std::vector<uint8_t>& bytes,
                    std::string* error);

// The refusal of a picture written to a terminal, or "".
std::string StandardOutputRefusal(const std::vector<Job>& jobs, bool stdout_is_terminal);

#endif  // CHROMALINE_CLI_JOB_OUTPUT_H_
