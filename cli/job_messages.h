// The messages between a batch and its workers (cli/worker_process.h):
// a kind letter and text fields, each frame led by its length. A picture
// filtered in the batch's own process reports through the same messages,
// so both ways of running show and count alike.
//
// To a worker:    'a' the arguments of `filter`, first and once;
//                 'j' a picture to do (PictureJob); 'x' stop (Ctrl+C).
// From a worker:  'r' ready (the plug-in loaded) or 'e' ERROR;
//                 and for each picture, by its position in the run:
//                 'n' POSITION NOTE; 's' POSITION WIDTH HEIGHT ORIENTATION
//                 (filtering starts); 'q' POSITION N (the N-th stop query,
//                 every 64th); 'f' POSITION MICROSECONDS (filtered);
//                 'd' POSITION OUTCOME LINE NOTE... (the picture's end).
#ifndef CHROMALINE_CLI_JOB_MESSAGES_H_
#define CHROMALINE_CLI_JOB_MESSAGES_H_

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct Message {
  char kind = 0;
  std::vector<std::string> fields;

  // Field i as a whole number (0 when it is none, or missing).
  long long Number(size_t i) const;
  const std::string& Text(size_t i) const;
};

Message MakeMessage(char kind, std::vector<std::string> fields = {});

// The frame: 4 bytes of length (little-endian), the kind, then each field
// as 4 bytes of length and its bytes.
std::string EncodeMessage(const Message& message);
// One frame through `read` (exactly n bytes, false at the end); false at
// the end of the stream or on a malformed frame.
bool ReadMessage(const std::function<bool(void*, size_t)>& read, Message* message);

// How a picture ended ('d').
constexpr const char* kOutcomeWritten = "written";
constexpr const char* kOutcomeUnchanged = "unchanged";  // no pixel changed: left as it was, or copied
constexpr const char* kOutcomeFailed = "failed";
constexpr const char* kOutcomeDropped = "dropped";  // stopped by Ctrl+C before anything was written

#endif  // CHROMALINE_CLI_JOB_MESSAGES_H_
