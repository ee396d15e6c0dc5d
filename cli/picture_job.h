// One picture of a batch, start to end, in the process that has the
// plug-in loaded: read, put into a host bitmap, filtered through message
// 14, taken back, encoded and written through the safe writer, one step
// after the other. At most three pictures' worth of rows are alive at any
// time (the host's bitmap, and the plug-in's copy and result while it
// filters; the rows read and the bitmap while reading; the bitmap and the
// rows taken back while writing): the rows as read are kept only as a
// checksum, to tell whether the filters changed a pixel.
//
// What happens is reported as messages (cli/job_messages.h), whether the
// picture is done in the batch's own process or in a worker.
#ifndef CHROMALINE_CLI_PICTURE_JOB_H_
#define CHROMALINE_CLI_PICTURE_JOB_H_

#include <functional>
#include <string>

#include "cli/job_messages.h"
#include "cli/job_plan.h"
#include "cli/options.h"
#include "host/plugin_host.h"
#include "photo/photo_io.h"

struct PictureJob {
  size_t position = 0;  // 1-based, in the run's count
  Job job;              // what is read and where it goes (cli/job_plan.h)
  std::string given;    // what message 14 is told: the picture's name as a viewer gives it
  std::string threads;  // CHROMALINE_THREADS while it is filtered; "" leaves the variable as it is
};

// --store (or --preset) read into `store`, unless --save-store is to
// create it.
bool LoadStore(const FilterOptions& o, SettingsStore& store, std::string* error);

Message JobMessage(const PictureJob& job);
bool JobFromMessage(const Message& message, PictureJob* job);

// Does `job` with the plug-in `host` has loaded (its settings given),
// reporting through `report`; `stop` answers the stop queries (true: the
// picture is dropped, nothing written).
void RunPicture(const FilterOptions& o, PluginHost& host, const PictureJob& job, const std::function<bool()>& stop,
                const std::function<void(const Message&)>& report);

#endif  // CHROMALINE_CLI_PICTURE_JOB_H_
