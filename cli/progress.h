// What a run shows on standard error while it works. On a terminal one
// line rewrites itself: the picture being filtered (the oldest one when
// several are), its progress, the speed in megapixels per second and the
// time left. Without a terminal, one line per picture. Notes (an output
// left alone, a 16-bit picture reduced) and errors go above the progress
// line; -q keeps the progress and the notes quiet, never the errors.
//
// Pictures may be filtered several at once and finish in any order; the
// lines of a picture (its notes, then "[k/N] ...") are held until every
// picture before it in the run has been shown, so [1/N] always comes
// before [3/N].
//
// The time left is weighed by pixels: the run's time so far over the
// pixels filtered so far, times the pixels still to do. Pictures not read
// yet count with the pixels their files' bytes stand for, at the pixels
// per byte of the pictures of their format read so far.
//
// A picture's progress comes from the stop queries: each blur asks once
// per row and once per column, so a picture of H rows and W columns with
// B blurs asks B * (H + W) times.
//
// Every call comes from one thread.
#ifndef CHROMALINE_CLI_PROGRESS_H_
#define CHROMALINE_CLI_PROGRESS_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cli/options.h"

class Progress {
 public:
  Progress(Verbosity verbosity, bool terminal, size_t total);

  // The file of the picture at `position` (1-based): its size in bytes and
  // its kind (pictures of one kind are alike in pixels per byte).
  void SetInput(size_t position, uintmax_t bytes, int kind);
  // The picture about to be filtered.
  void StartPicture(size_t position, const std::string& name, int width, int height, int blurs);
  // The n-th stop query (0-based) of that picture.
  void OnStopQuery(size_t position, int n);
  // That picture is filtered, in `seconds`.
  void EndPicture(size_t position, double seconds);
  // A picture written (or found done), with a few words.
  void Done(size_t position, const std::string& line);
  // A picture that failed or was refused (an error: shown even with -q).
  void Failed(size_t position, const std::string& line);
  // A note about the picture at `position`, shown before its own line.
  void Note(size_t position, const std::string& line);
  void Note(const std::string& line);
  void Error(const std::string& line);
  // Shows what is still held, in order, and clears the progress line.
  void Finish();

  double megapixels_per_second() const;
  double filtering_seconds() const { return filtering_seconds_; }

 private:
  struct Picture {
    std::string name;
    double pixels = 0;
    long long expected_queries = 0;
    double fraction = 0;
  };
  struct Held {
    std::vector<std::pair<std::string, bool>> lines;  // text, whether -q hides it
    bool complete = false;
  };
  struct Input {
    double bytes = 0;
    int kind = 0;
    double pixels = 0;      // once read
    bool finished = false;  // done or failed
  };

  void Hold(size_t position, const std::string& line, bool quiet_hides, bool complete);
  void Release();
  double SecondsLeft() const;
  void Draw(bool force);
  void Print(const std::string& line, bool quiet_hides);

  Verbosity verbosity_;
  bool terminal_;
  size_t total_;
  std::chrono::steady_clock::time_point start_;
  std::map<size_t, Picture> filtering_;  // by position
  std::map<size_t, Held> held_;          // by position, from next_shown_ on
  size_t next_shown_ = 1;
  std::vector<Input> inputs_;  // by position - 1
  double filtered_pixels_ = 0;
  double filtering_seconds_ = 0;
  size_t filtered_pictures_ = 0;
  std::chrono::steady_clock::time_point last_draw_;
  size_t drawn_ = 0;  // characters of the line now on screen
};

#endif  // CHROMALINE_CLI_PROGRESS_H_
