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
    : verbosity_(verbosity),
      terminal_(terminal && verbosity != Verbosity::kQuiet),
      total_(total),
      start_(Clock::now()),
      inputs_(total) {}

void Progress::SetInput(size_t position, uintmax_t bytes, int kind) {
  if (position < 1 || position > inputs_.size()) return;
  inputs_[position - 1].bytes = static_cast<double>(bytes);
  inputs_[position - 1].kind = kind;
}

void Progress::StartPicture(size_t position, const std::string& name, int width, int height, int blurs) {
  Picture& picture = filtering_[position];
  picture.name = name;
  picture.pixels = static_cast<double>(width) * height;
  picture.expected_queries = static_cast<long long>(blurs) * (static_cast<long long>(width) + height);
  if (position >= 1 && position <= inputs_.size()) inputs_[position - 1].pixels = picture.pixels;
  Draw(true);
}

void Progress::OnStopQuery(size_t position, int n) {
  const auto found = filtering_.find(position);
  if (found == filtering_.end() || found->second.expected_queries <= 0) return;
  Picture& picture = found->second;
  picture.fraction = std::min(1.0, static_cast<double>(n) / static_cast<double>(picture.expected_queries));
  Draw(false);
}

void Progress::EndPicture(size_t position, double seconds) {
  const auto found = filtering_.find(position);
  if (found == filtering_.end()) return;
  filtering_seconds_ += seconds;
  filtered_pixels_ += found->second.pixels;
  ++filtered_pictures_;
  filtering_.erase(found);
}

double Progress::megapixels_per_second() const {
  return filtering_seconds_ > 0 ? filtered_pixels_ / filtering_seconds_ / 1e6 : 0.0;
}

// The run's time so far over the pixels done, times the pixels left: the
// pixels of the pictures read, and for the others their bytes at the
// pixels per byte of their kind (or of all kinds) read so far.
double Progress::SecondsLeft() const {
  std::map<int, std::pair<double, double>> per_kind;  // kind -> pixels, bytes of the pictures read
  std::pair<double, double> all = {0, 0};
  for (const Input& input : inputs_) {
    if (input.pixels <= 0 || input.bytes <= 0) continue;
    per_kind[input.kind].first += input.pixels;
    per_kind[input.kind].second += input.bytes;
    all.first += input.pixels;
    all.second += input.bytes;
  }
  double done = filtered_pixels_;
  for (const auto& picture : filtering_) done += picture.second.fraction * picture.second.pixels;
  double left = -done;
  for (size_t i = 0; i < inputs_.size(); ++i) {
    const Input& input = inputs_[i];
    if (input.finished) continue;
    if (input.pixels > 0) {
      left += input.pixels;
      continue;
    }
    const auto kind = per_kind.find(input.kind);
    const std::pair<double, double>& rate = kind != per_kind.end() ? kind->second : all;
    if (rate.second > 0) left += input.bytes * rate.first / rate.second;
  }
  return done > 0 ? Seconds(Clock::now() - start_) * std::max(0.0, left) / done : 0.0;
}

void Progress::Draw(bool force) {
  if (!terminal_ || filtering_.empty()) return;
  const Clock::time_point now = Clock::now();
  if (!force && now - last_draw_ < std::chrono::milliseconds(100)) return;
  last_draw_ = now;
  const auto& oldest = *filtering_.begin();
  char head[96];
  std::snprintf(head, sizeof head, "[%zu/%zu] %3d%% ", oldest.first, total_,
                static_cast<int>(oldest.second.fraction * 100));
  std::string line = head + oldest.second.name;
  if (filtering_.size() > 1) line += " (+" + std::to_string(filtering_.size() - 1) + ")";
  if (filtered_pictures_ > 0) {
    char tail[64];
    std::snprintf(tail, sizeof tail, "  %.1f Mpx/s, %s left", megapixels_per_second(),
                  Duration(SecondsLeft()).c_str());
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
  Draw(true);
}

void Progress::Hold(size_t position, const std::string& line, bool quiet_hides, bool complete) {
  if (complete && position >= 1 && position <= inputs_.size()) inputs_[position - 1].finished = true;
  if (position < next_shown_) {  // not a picture of the count: shown at once
    if (!line.empty()) Print(line, quiet_hides);
    return;
  }
  Held& held = held_[position];
  held.lines.emplace_back(line, quiet_hides);
  held.complete = held.complete || complete;
  Release();
}

// The lines of the pictures whose turn has come, in order.
void Progress::Release() {
  for (auto first = held_.begin(); first != held_.end() && first->first == next_shown_ && first->second.complete;
       first = held_.begin()) {
    for (const auto& line : first->second.lines) {
      if (!line.first.empty()) Print(line.first, line.second);
    }
    held_.erase(first);
    ++next_shown_;
  }
}

void Progress::Done(size_t position, const std::string& line) {
  char head[48];
  std::snprintf(head, sizeof head, "[%zu/%zu] ", position, total_);
  const bool shown = !terminal_ || verbosity_ == Verbosity::kVerbose;
  Hold(position, shown ? head + line : std::string(), true, true);
}

void Progress::Failed(size_t position, const std::string& line) {
  char head[48];
  std::snprintf(head, sizeof head, "[%zu/%zu] ", position, total_);
  Hold(position, head + line, false, true);
}

void Progress::Note(size_t position, const std::string& line) {
  Hold(position, "chromaline-host: " + line, true, false);
}

void Progress::Note(const std::string& line) { Print("chromaline-host: " + line, true); }

void Progress::Error(const std::string& line) { Print("chromaline-host: " + line, false); }

void Progress::Finish() {
  filtering_.clear();
  for (auto& held : held_) held.second.complete = true;
  // What is left is shown in order, gaps (pictures never done) skipped.
  while (!held_.empty()) {
    next_shown_ = held_.begin()->first;
    Release();
  }
  if (terminal_ && drawn_ > 0) std::fprintf(stderr, "\r%s\r", std::string(drawn_, ' ').c_str());
  drawn_ = 0;
  terminal_ = false;
}
