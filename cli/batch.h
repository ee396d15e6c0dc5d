// `chromaline-host filter`: the settings store and --set checked, the
// pictures planned (cli/job_plan.h), the plug-in loaded, then each picture
// read, filtered through message 14 and written through the safe writer
// (cli/picture_job.h). With more than one picture to do and -j above 1
// (by default the processors' count), that many pictures are done at once,
// each in a worker process of its own (cli/batch_workers.h): the plug-in
// is only ever given one message at a time in a process. `arguments` are
// those of `filter`, handed to the workers. With -n the plan is printed
// and nothing is read or written. Returns the exit status.
#ifndef CHROMALINE_CLI_BATCH_H_
#define CHROMALINE_CLI_BATCH_H_

#include <string>
#include <vector>

#include "cli/options.h"

int RunFilter(const FilterOptions& options, const std::vector<std::string>& arguments);

#endif  // CHROMALINE_CLI_BATCH_H_
