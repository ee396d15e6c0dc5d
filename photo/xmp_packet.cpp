// XMP edits without an XML toolkit (the Windows build has none): the
// orientation is one digit in place; added properties go into an
// rdf:Description of their own, which XMP allows beside the others for the
// same resource, so the packet's own text is never rewritten.
#include "photo/xmp_packet.h"

#include <algorithm>
#include <cstring>

namespace {

// Text as XML character data and attribute values.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

std::string Element(const XmpProperty& p) {
  const std::string value = Escaped(p.value);
  switch (p.kind) {
    case XmpProperty::Kind::kAlternative:
      return "<" + p.name + "><rdf:Alt><rdf:li xml:lang=\"x-default\">" + value + "</rdf:li></rdf:Alt></" + p.name +
             ">";
    case XmpProperty::Kind::kSequence:
      return "<" + p.name + "><rdf:Seq><rdf:li>" + value + "</rdf:li></rdf:Seq></" + p.name + ">";
    case XmpProperty::Kind::kText: break;
  }
  return "<" + p.name + ">" + value + "</" + p.name + ">";
}

}  // namespace

void ResetXmpOrientation(std::vector<uint8_t>* xmp) {
  static const char kName[] = "tiff:Orientation";
  const size_t name = sizeof(kName) - 1;
  uint8_t* const end = xmp->data() + xmp->size();
  for (uint8_t* at = xmp->data(); static_cast<size_t>(end - at) > name;) {
    uint8_t* found = static_cast<uint8_t*>(std::memchr(at, 't', static_cast<size_t>(end - at) - name));
    if (found == nullptr) return;
    at = found + 1;
    if (std::memcmp(found, kName, name) != 0) continue;
    uint8_t* p = found + name;
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
    if (p < end && *p == '=') {  // an attribute: ="6" or ='6'
      ++p;
      while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
      if (p == end || (*p != '"' && *p != '\'')) continue;
      ++p;
    } else if (p < end && *p == '>') {  // an element: >6<
      ++p;
    } else {
      continue;
    }
    if (end - p >= 2 && *p >= '2' && *p <= '8' && (p[1] == '"' || p[1] == '\'' || p[1] == '<')) *p = '1';
  }
}

bool XmpHasProperty(const std::vector<uint8_t>& xmp, const std::string& name) {
  // "<dc:title" as an element, "dc:title=" as an attribute of a description.
  for (const std::string& form : {"<" + name, " " + name + "=", "\t" + name + "=", "\n" + name + "="}) {
    auto at = xmp.begin();
    while ((at = std::search(at, xmp.end(), form.begin(), form.end())) != xmp.end()) {
      const auto after = at + static_cast<std::ptrdiff_t>(form.size());
      const char next = after == xmp.end() ? '\0' : static_cast<char>(*after);
      if (form[0] != '<' || next == '>' || next == ' ' || next == '/' || next == '\t' || next == '\r' ||
          next == '\n') {
        return true;
      }
      ++at;
    }
  }
  return false;
}

bool AddXmpProperties(std::vector<uint8_t>* xmp, const std::vector<XmpProperty>& properties) {
  std::string description;
  for (const XmpProperty& p : properties) {
    if (!XmpHasProperty(*xmp, p.name)) description += "\n  " + Element(p);
  }
  if (description.empty()) return true;
  description =
      "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
      "xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">" +
      description + "\n</rdf:Description>\n";
  if (xmp->empty()) {
    const std::string packet =
        "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n" +
        description + "</rdf:RDF>\n</x:xmpmeta>\n<?xpacket end=\"w\"?>";
    xmp->assign(packet.begin(), packet.end());
    return true;
  }
  static const std::string kEnd = "</rdf:RDF>";
  const auto end = std::find_end(xmp->begin(), xmp->end(), kEnd.begin(), kEnd.end());
  if (end == xmp->end()) return false;
  xmp->insert(end, description.begin(), description.end());
  return true;
}
