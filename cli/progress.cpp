// What a run shows on standard error: a progress line on a terminal, plain lines elsewhere.
#include "cli/progress.h"

#include "cli/console.h"

#include <algorithm>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string Duration(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  if (s >= 3600) std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

}  // namespace

Progress::Progress(Verbosity verbosity, bool terminal, size_t total)
    : verbosity_(verbosity), terminal_(terminal && verbosity != Verbosity::kQuiet), total_(total) {}

void Progress::StartPicture(size_t position, const std::string& name, int width, int height, int blurs) {
  position_ = position;
  name_ = name;
  pixels_ = static_cast<double>(width) * height;
  expected_queries_ = static_cast<long long>(blurs) * (static_cast<long long>(width) + height);
  fraction_ = 0;
  picture_start_ = Clock::now();
  Draw(true);
}

void Progress::OnStopQuery(int n) {
  if (expected_queries_ <= 0 || (n & 63) != 0) return;
  fraction_ = std::min(1.0, static_cast<double>(n) / static_cast<double>(expected_queries_));
  Draw(false);
}

void Progress::EndPicture() {
  filtering_seconds_ += Seconds(Clock::now() - picture_start_);
  filtered_pixels_ += pixels_;
  ++filtered_pictures_;
  fraction_ = 1;
}

double Progress::megapixels_per_second() const {
  return filtering_seconds_ > 0 ? filtered_pixels_ / filtering_seconds_ / 1e6 : 0.0;
}

void Progress::Draw(bool force) {
  if (!terminal_) return;
  const Clock::time_point now = Clock::now();
  if (!force && now - last_draw_ < std::chrono::milliseconds(100)) return;
  last_draw_ = now;
  char head[96];
  std::snprintf(head, sizeof head, "[%zu/%zu] %3d%% ", position_, total_, static_cast<int>(fraction_ * 100));
  std::string line = head + name_;
  if (filtered_pictures_ > 0) {
    const double per_picture = filtering_seconds_ / static_cast<double>(filtered_pictures_);
    const double left = per_picture * (static_cast<double>(total_ - position_) + (1.0 - fraction_));
    char tail[64];
    std::snprintf(tail, sizeof tail, "  %.1f Mpx/s, %s left", megapixels_per_second(), Duration(left).c_str());
    line += tail;
  }
  if (line.size() > 100) {
    size_t cut = 97;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
    line = line.substr(0, cut) + "...";
  }
  const size_t width = line.size();
  if (line.size() < drawn_) line.append(drawn_ - line.size(), ' ');
  WriteText(stderr, "\r" + line);
  std::fflush(stderr);
  drawn_ = width;
}

void Progress::Print(const std::string& line, bool quiet_hides) {
  if (quiet_hides && verbosity_ == Verbosity::kQuiet) return;
  if (terminal_ && drawn_ > 0) std::fprintf(stderr, "\r%s\r", std::string(drawn_, ' ').c_str());
  drawn_ = 0;
  WriteText(stderr, line + "\n");
  std::fflush(stderr);
  if (position_ > 0 && fraction_ < 1) Draw(true);
}

void Progress::Done(size_t position, const std::string& line) {
  char head[48];
  std::snprintf(head, sizeof head, "[%zu/%zu] ", position, total_);
  if (!terminal_) Print(head + line, true);
  else if (verbosity_ == Verbosity::kVerbose) Print(head + line, true);
}

void Progress::Failed(size_t position, const std::string& line) {
  char head[48];
  std::snprintf(head, sizeof head, "[%zu/%zu] ", position, total_);
  Print(head + line, false);
}

void Progress::Note(const std::string& line) { Print("chromaline-host: " + line, true); }

void Progress::Error(const std::string& line) { Print("chromaline-host: " + line, false); }

void Progress::Finish() {
  if (terminal_ && drawn_ > 0) std::fprintf(stderr, "\r%s\r", std::string(drawn_, ' ').c_str());
  drawn_ = 0;
  terminal_ = false;
}
