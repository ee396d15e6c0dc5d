// `chromaline-host filter`: the settings store and --set checked, the
// pictures planned (cli/job_plan.h), the plug-in loaded once, then each
// picture read, filtered through message 14 and written through the safe
// writer. Reading the next picture and encoding and writing the last one
// run on worker threads while the plug-in filters the current one; the
// plug-in itself is only ever called from this thread, one message at a
// time. With -n the plan is printed and nothing is read or written.
// Returns the exit status.
#ifndef CHROMALINE_CLI_BATCH_H_
#define CHROMALINE_CLI_BATCH_H_

#include "cli/options.h"

int RunFilter(const FilterOptions& options);

#endif  // CHROMALINE_CLI_BATCH_H_
