// Extended XMP in a JPEG: the chunks put together by digest and offset,
// and the packets merged or split as text. The scanner below knows what an
// XMP packet needs of XML: tags with quoted attribute values (a '>' may
// stand inside quotes), comments, CDATA and processing instructions passed
// over, nesting counted by start and end tags.
#include "photo/jpeg_xmp.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

#include "photo/byte_order.h"
#include "photo/md5.h"

namespace {

struct Tag {
  enum Kind { kStart, kEnd, kEmpty };
  size_t begin = 0, end = 0;  // from '<' to after '>'
  Kind kind = kStart;
  std::string name;
};

// The next tag at or after `from`; false at the end of the text or when a
// tag is not closed.
bool NextTag(const std::string& text, size_t from, Tag* tag) {
  size_t at = text.find('<', from);
  while (at != std::string::npos) {
    const auto skip = [&](const char* open, const char* close) {
      if (text.compare(at, std::strlen(open), open) != 0) return false;
      const size_t end = text.find(close, at + std::strlen(open));
      at = end == std::string::npos ? end : text.find('<', end + std::strlen(close));
      return true;
    };
    if (skip("<!--", "-->") || skip("<![CDATA[", "]]>") || skip("<?", "?>") || skip("<!", ">")) continue;
    char quote = 0;
    size_t i = at + 1;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        break;
      }
    }
    if (i >= text.size()) return false;
    tag->begin = at;
    tag->end = i + 1;
    const bool closing = text[at + 1] == '/';
    tag->kind = closing ? Tag::kEnd : text[i - 1] == '/' ? Tag::kEmpty : Tag::kStart;
    const size_t name = at + (closing ? 2 : 1);
    size_t name_end = name;
    while (name_end < i && !std::strchr(" \t\r\n/>", text[name_end])) ++name_end;
    tag->name = text.substr(name, name_end - name);
    return true;
  }
  return false;
}

struct Attribute {
  std::string name, value;
  size_t begin = 0, end = 0;  // from the space before its name to after its closing quote
};

// The attributes of a start or empty tag.
std::vector<Attribute> Attributes(const std::string& text, const Tag& tag) {
  std::vector<Attribute> attributes;
  size_t at = tag.begin + 1 + tag.name.size();
  while (at < tag.end) {
    const size_t begin = at;
    while (at < tag.end && std::strchr(" \t\r\n", text[at])) ++at;
    const size_t name = at;
    while (at < tag.end && !std::strchr(" \t\r\n=/>", text[at])) ++at;
    if (at == name) break;
    Attribute attribute;
    attribute.name = text.substr(name, at - name);
    while (at < tag.end && std::strchr(" \t\r\n=", text[at])) ++at;
    if (at >= tag.end || (text[at] != '"' && text[at] != '\'')) break;
    const size_t close = text.find(text[at], at + 1);
    if (close == std::string::npos || close >= tag.end) break;
    attribute.value = text.substr(at + 1, close - at - 1);
    attribute.begin = begin;
    attribute.end = close + 1;
    attributes.push_back(attribute);
    at = close + 1;
  }
  return attributes;
}

bool IsDeclaration(const std::string& name) { return name == "xmlns" || name.compare(0, 6, "xmlns:") == 0; }

bool LocalNameIs(const std::string& name, const char* local) {
  const size_t colon = name.find(':');
  return name.compare(colon == std::string::npos ? 0 : colon + 1, std::string::npos, local) == 0;
}

// Where the rdf:RDF element's children are, and the namespaces declared on
// it and on the elements around it (the inner declaration of a prefix wins).
struct RdfLayout {
  size_t content_begin = 0, content_end = 0;
  std::vector<std::pair<size_t, size_t>> nodes;
  std::vector<std::pair<std::string, std::string>> declarations;  // name ("xmlns:dc") and value
};

bool FindRdf(const std::string& text, RdfLayout* layout) {
  std::vector<Tag> open;
  Tag tag;
  size_t at = 0;
  while (NextTag(text, at, &tag)) {
    at = tag.end;
    if (tag.kind == Tag::kEnd) {
      if (open.empty()) return false;
      open.pop_back();
      continue;
    }
    if (tag.kind == Tag::kEmpty) continue;
    open.push_back(tag);
    if (tag.name == "rdf:RDF") break;
  }
  if (open.empty() || open.back().name != "rdf:RDF") return false;
  for (const Tag& around : open) {
    for (const Attribute& attribute : Attributes(text, around)) {
      if (!IsDeclaration(attribute.name)) continue;
      auto& list = layout->declarations;
      list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& d) { return d.first == attribute.name; }),
                 list.end());
      list.emplace_back(attribute.name, attribute.value);
    }
  }
  layout->content_begin = at;
  int depth = 0;
  size_t node = 0;
  while (NextTag(text, at, &tag)) {
    at = tag.end;
    if (tag.kind == Tag::kEnd && depth == 0) {
      if (tag.name != "rdf:RDF") return false;
      layout->content_end = tag.begin;
      return true;
    }
    if (depth == 0) node = tag.begin;
    if (tag.kind == Tag::kStart) ++depth;
    if (tag.kind == Tag::kEnd) --depth;
    if (depth == 0) layout->nodes.emplace_back(node, tag.end);
  }
  return false;
}

// The node with the declarations it does not make itself added to its
// start tag (after the tag's name).
std::string WithDeclarations(const std::string& node,
                             const std::vector<std::pair<std::string, std::string>>& added) {
  Tag tag;
  if (!NextTag(node, 0, &tag)) return node;
  const std::vector<Attribute> own = Attributes(node, tag);
  std::string text;
  for (const auto& declaration : added) {
    const bool made =
        std::any_of(own.begin(), own.end(), [&](const Attribute& a) { return a.name == declaration.first; });
    if (!made) text += " " + declaration.first + "='" + declaration.second + "'";
  }
  std::string result = node;
  result.insert(tag.begin + 1 + tag.name.size(), text);
  return result;
}

// The HasExtendedXMP property: an attribute of a description, or an
// element of its own. [begin, end) is what removing it takes out.
struct Property {
  size_t begin = 0, end = 0;
  std::string value;
};

bool FindHasExtendedXmp(const std::string& text, Property* property) {
  Tag tag;
  size_t at = 0;
  while (NextTag(text, at, &tag)) {
    at = tag.end;
    if (tag.kind == Tag::kEnd) continue;
    if (tag.kind == Tag::kStart && LocalNameIs(tag.name, "HasExtendedXMP")) {
      Tag close;
      if (!NextTag(text, tag.end, &close) || close.kind != Tag::kEnd || close.name != tag.name) return false;
      property->begin = tag.begin;
      property->end = close.end;
      property->value = text.substr(tag.end, close.begin - tag.end);
      return true;
    }
    for (const Attribute& attribute : Attributes(text, tag)) {
      if (LocalNameIs(attribute.name, "HasExtendedXMP")) {
        property->begin = attribute.begin;
        property->end = attribute.end;
        property->value = attribute.value;
        return true;
      }
    }
  }
  return false;
}

// Whether a top-level node says nothing: only its subject and namespaces,
// no properties (what taking HasExtendedXMP out may leave).
bool EmptyNode(const std::string& text, size_t begin, size_t end) {
  Tag tag;
  if (!NextTag(text, begin, &tag) || tag.begin != begin) return false;
  for (const Attribute& attribute : Attributes(text, tag)) {
    if (!IsDeclaration(attribute.name) && attribute.name != "rdf:about") return false;
  }
  if (tag.kind == Tag::kEmpty) return true;
  Tag next;
  return NextTag(text, tag.end, &next) && next.end == end;
}

// Takes HasExtendedXMP out of the packet, and the node it leaves empty.
void RemoveHasExtendedXmp(std::string* text) {
  Property property;
  while (FindHasExtendedXmp(*text, &property)) {
    text->erase(property.begin, property.end - property.begin);
    RdfLayout layout;
    if (!FindRdf(*text, &layout)) continue;
    for (auto node = layout.nodes.rbegin(); node != layout.nodes.rend(); ++node) {
      if (node->first < property.begin && property.begin < node->second &&
          EmptyNode(*text, node->first, node->second)) {
        text->erase(node->first, node->second - node->first);
      }
    }
  }
}

// The extended part's nodes put into the standard packet's rdf:RDF.
bool MergePackets(std::string* standard, const std::string& extended) {
  RdfLayout into, from;
  if (!FindRdf(*standard, &into) || !FindRdf(extended, &from)) return false;
  std::string nodes;
  for (const auto& node : from.nodes) {
    nodes += WithDeclarations(extended.substr(node.first, node.second - node.first), from.declarations) + "\n";
  }
  standard->insert(into.content_end, nodes);
  return true;
}

bool SameDigest(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool ReadExtendedXmpChunk(const uint8_t* payload, size_t size, ExtendedXmpChunk* chunk) {
  if (size < kExtendedXmpHeadSize || std::memcmp(payload, kExtendedXmpSignature, kExtendedXmpSignatureSize) != 0) {
    return false;
  }
  const uint8_t* at = payload + kExtendedXmpSignatureSize;
  chunk->digest.assign(reinterpret_cast<const char*>(at), 32);
  chunk->length = BigEndian32(at + 32);
  chunk->offset = BigEndian32(at + 36);
  chunk->data = payload + kExtendedXmpHeadSize;
  chunk->size = size - kExtendedXmpHeadSize;
  return true;
}

std::string ExtendedXmpDigest(const std::string& packet) {
  Property property;
  return FindHasExtendedXmp(packet, &property) ? property.value : "";
}

std::string MergeExtendedXmp(const std::vector<ExtendedXmpChunk>& chunks, std::vector<uint8_t>* packet) {
  std::string text(packet->begin(), packet->end());
  const std::string digest = ExtendedXmpDigest(text);
  if (digest.empty()) {
    return chunks.empty() ? "" : "its extended XMP is named by no standard XMP packet: left out";
  }
  RemoveHasExtendedXmp(&text);
  packet->assign(text.begin(), text.end());
  // The chunks of the part named, each inside the length they all give;
  // together they must cover it.
  std::vector<const ExtendedXmpChunk*> named;
  uint64_t held = 0;
  bool damaged = false;
  for (const ExtendedXmpChunk& chunk : chunks) {
    if (!SameDigest(chunk.digest, digest)) continue;
    damaged = damaged || (!named.empty() && chunk.length != named[0]->length) || chunk.offset > chunk.length ||
              chunk.size > chunk.length - chunk.offset;
    named.push_back(&chunk);
    held += chunk.size;
  }
  if (named.empty()) return "its extended XMP is missing: only the standard XMP kept";
  const uint32_t length = named[0]->length;
  if (damaged || held < length) return "its extended XMP is incomplete or damaged: only the standard XMP kept";
  std::vector<std::pair<uint32_t, uint32_t>> covered;
  std::string extended(length, '\0');
  for (const ExtendedXmpChunk* chunk : named) {
    if (chunk->size > 0) std::memcpy(&extended[chunk->offset], chunk->data, chunk->size);
    covered.emplace_back(chunk->offset, static_cast<uint32_t>(chunk->offset + chunk->size));
  }
  std::sort(covered.begin(), covered.end());
  uint32_t reached = 0;
  for (const auto& span : covered) {
    if (span.first > reached) break;
    reached = std::max(reached, span.second);
  }
  if (reached < length) return "its extended XMP is incomplete or damaged: only the standard XMP kept";
  if (!MergePackets(&text, extended)) return "its extended XMP cannot be read: only the standard XMP kept";
  packet->assign(text.begin(), text.end());
  const std::string found = Md5HexUpper(reinterpret_cast<const uint8_t*>(extended.data()), extended.size());
  return SameDigest(found, digest) ? "" : "its extended XMP does not match the digest that names it: kept as found";
}

bool SplitXmpForJpeg(const std::vector<uint8_t>& packet, size_t most_standard, JpegXmp* parts) {
  std::string text(packet.begin(), packet.end());
  *parts = JpegXmp();
  if (text.size() <= most_standard) {
    parts->standard = std::move(text);
    return true;
  }
  RemoveHasExtendedXmp(&text);
  RdfLayout layout;
  if (!FindRdf(text, &layout) || layout.nodes.empty()) return false;
  // The subject the nodes describe, for the node that names the extended part.
  std::string about;
  Tag first;
  if (NextTag(text, layout.nodes[0].first, &first)) {
    for (const Attribute& attribute : Attributes(text, first)) {
      if (attribute.name == "rdf:about") about = attribute.value;
    }
  }
  const std::string naming_head = "<rdf:Description rdf:about='" + about +
                                  "' xmlns:xmpNote='http://ns.adobe.com/xmp/note/' xmpNote:HasExtendedXMP='";
  const size_t naming_size = naming_head.size() + 32 + 4;
  // The largest nodes go, until the rest fits.
  std::vector<size_t> order(layout.nodes.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  const auto size_of = [&](size_t i) { return layout.nodes[i].second - layout.nodes[i].first; };
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return size_of(a) > size_of(b); });
  std::vector<bool> moved(order.size(), false);
  size_t standard_size = text.size() + naming_size;
  for (size_t i = 0; i < order.size() && standard_size > most_standard; ++i) {
    moved[order[i]] = true;
    standard_size -= size_of(order[i]);
  }
  if (standard_size > most_standard) return false;
  std::string extended = "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF";
  for (const auto& declaration : layout.declarations) {
    if (declaration.first != "xmlns:x") extended += " " + declaration.first + "='" + declaration.second + "'";
  }
  extended += ">\n";
  for (size_t i = 0; i < layout.nodes.size(); ++i) {
    if (moved[i]) extended += text.substr(layout.nodes[i].first, size_of(i)) + "\n";
  }
  extended += "</rdf:RDF></x:xmpmeta>";
  parts->digest = Md5HexUpper(reinterpret_cast<const uint8_t*>(extended.data()), extended.size());
  std::string standard = text;
  standard.insert(layout.content_end, naming_head + parts->digest + "'/>\n");
  for (size_t i = layout.nodes.size(); i-- > 0;) {
    if (moved[i]) standard.erase(layout.nodes[i].first, size_of(i));
  }
  parts->standard = std::move(standard);
  parts->extended = std::move(extended);
  return true;
}
