// Frames of text fields: lengths as four little-endian bytes, so both
// builds read each other's (and a worker is always this very program).
#include "cli/job_messages.h"

#include <charconv>
#include <cstdint>

namespace {

// A frame larger than this is taken for a broken stream.
constexpr uint32_t kLargestFrame = 64u << 20;

void PutLength(std::string* out, size_t length) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<char>((length >> shift) & 0xFF));
}

uint32_t GetLength(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

long long Message::Number(size_t i) const {
  long long value = 0;
  if (i >= fields.size()) return 0;
  const std::string& text = fields[i];
  const std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), value);
  return r.ec == std::errc() && r.ptr == text.data() + text.size() ? value : 0;
}

const std::string& Message::Text(size_t i) const {
  static const std::string none;
  return i < fields.size() ? fields[i] : none;
}

Message MakeMessage(char kind, std::vector<std::string> fields) {
  Message message;
  message.kind = kind;
  message.fields = std::move(fields);
  return message;
}

std::string EncodeMessage(const Message& message) {
  std::string body(1, message.kind);
  for (const std::string& field : message.fields) {
    PutLength(&body, field.size());
    body += field;
  }
  std::string frame;
  PutLength(&frame, body.size());
  return frame + body;
}

bool ReadMessage(const std::function<bool(void*, size_t)>& read, Message* message) {
  unsigned char head[4];
  if (!read(head, sizeof head)) return false;
  const uint32_t length = GetLength(head);
  if (length < 1 || length > kLargestFrame) return false;
  std::string body(length, '\0');
  if (!read(&body[0], length)) return false;
  message->kind = body[0];
  message->fields.clear();
  size_t at = 1;
  while (at < body.size()) {
    if (body.size() - at < 4) return false;
    const uint32_t size = GetLength(reinterpret_cast<const unsigned char*>(body.data() + at));
    at += 4;
    if (size > body.size() - at) return false;
    message->fields.push_back(body.substr(at, size));
    at += size;
  }
  return true;
}
