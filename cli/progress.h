// What a run shows on standard error while it works. On a terminal one
// line rewrites itself: pictures done of the total, the current picture's
// progress, the speed in megapixels per second and the time left. Without
// a terminal, one line per picture. Notes (an output left alone, a
// 16-bit picture reduced) and errors go above the progress line; -q keeps
// the progress and the notes quiet, never the errors.
//
// The current picture's progress comes from the stop queries: each blur
// asks once per row and once per column, so a picture of H rows and W
// columns with B blurs asks B * (H + W) times.
//
// Every call comes from the thread that talks to the plug-in.
#ifndef CHROMALINE_CLI_PROGRESS_H_
#define CHROMALINE_CLI_PROGRESS_H_

#include <chrono>
#include <cstddef>
#include <string>

#include "cli/options.h"

class Progress {
 public:
  Progress(Verbosity verbosity, bool terminal, size_t total);

  // The picture the plug-in is about to filter (1-based position).
  void StartPicture(size_t position, const std::string& name, int width, int height, int blurs);
  // The n-th stop query (0-based) of the current picture.
  void OnStopQuery(int n);
  // The current picture is filtered.
  void EndPicture();
  // A picture written (or found done), with a few words.
  void Done(size_t position, const std::string& line);
  // A picture that failed or was refused, at its place in the count (an
  // error: shown even with -q).
  void Failed(size_t position, const std::string& line);
  void Note(const std::string& line);
  void Error(const std::string& line);
  // Clears the progress line.
  void Finish();

  double megapixels_per_second() const;
  double filtering_seconds() const { return filtering_seconds_; }

 private:
  void Draw(bool force);
  void Print(const std::string& line, bool quiet_hides);

  Verbosity verbosity_;
  bool terminal_;
  size_t total_;
  size_t position_ = 0;
  std::string name_;
  double pixels_ = 0;
  long long expected_queries_ = 0;
  double fraction_ = 0;
  double filtered_pixels_ = 0;
  double filtering_seconds_ = 0;
  size_t filtered_pictures_ = 0;
  std::chrono::steady_clock::time_point picture_start_;
  std::chrono::steady_clock::time_point last_draw_;
  size_t drawn_ = 0;  // characters of the line now on screen
};

#endif  // CHROMALINE_CLI_PROGRESS_H_
