#include "swf/xml.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace tw::swf {

namespace {

// The length of the UTF-8 sequence at the start of s, or 0 when it is not one (overlong forms,
// surrogates and values above U+10FFFF included).
size_t Utf8SequenceLength(std::string_view s) {
  const auto b0 = static_cast<uint8_t>(s[0]);
  if (b0 < 0x80) return 1;
  size_t n;
  uint32_t cp;
  if ((b0 & 0xE0) == 0xC0) n = 2, cp = b0 & 0x1F;
  else if ((b0 & 0xF0) == 0xE0) n = 3, cp = b0 & 0x0F;
  else if ((b0 & 0xF8) == 0xF0) n = 4, cp = b0 & 0x07;
  else return 0;
  if (s.size() < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    const auto b = static_cast<uint8_t>(s[i]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  // U+FFFE and U+FFFF are not XML characters.
  if (cp == 0xFFFE || cp == 0xFFFF) return 0;
  return n;
}

constexpr char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The escape of a character that has one of its own; empty for the others.
std::string_view NamedEscape(char c, bool markup, bool attribute) {
  switch (c) {
    case '\\': return "\\\\";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    case '&': return markup ? "&amp;" : "";
    case '<': return markup ? "&lt;" : "";
    case '>': return markup ? "&gt;" : "";
    case '"': return markup && attribute ? "&quot;" : "";
    default: return "";
  }
}

// Appends the escaped form of a string field (see EscapeXmlString); with `markup`, XML's own
// characters are written as entities too (and the double quote where `attribute`), so that the
// text goes straight into the document in one pass.
void AppendEscaped(std::string& out, std::string_view bytes, bool markup, bool attribute) {
  const auto plain = [&](char c) {
    const auto b = static_cast<uint8_t>(c);
    return b >= 0x20 && b < 0x7F && NamedEscape(c, markup, attribute).empty();
  };
  size_t i = 0;
  while (i < bytes.size()) {
    // Runs of characters that stand for themselves go in one piece.
    size_t run = i;
    while (run < bytes.size() && plain(bytes[run])) ++run;
    out.append(bytes.data() + i, run - i);
    i = run;
    if (i == bytes.size()) break;
    const auto b = static_cast<uint8_t>(bytes[i]);
    if (const std::string_view named = NamedEscape(bytes[i], markup, attribute); !named.empty()) {
      out += named;
      ++i;
    } else if (const size_t n = b < 0x20 || b == 0x7F ? 0 : Utf8SequenceLength(bytes.substr(i));
               n > 0) {
      out.append(bytes.substr(i, n));
      i += n;
    } else {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
      ++i;
    }
  }
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of each base64 digit; -1 for bytes that are none.
constexpr std::array<int8_t, 256> kBase64Value = [] {
  std::array<int8_t, 256> table{};
  table.fill(-1);
  for (int i = 0; i < 64; ++i) table[static_cast<uint8_t>(kBase64[i])] = static_cast<int8_t>(i);
  return table;
}();

void AppendBase64(std::string& out, std::span<const uint8_t> bytes) {
  const size_t at = out.size();
  out.resize(at + (bytes.size() + 2) / 3 * 4);
  char* o = out.data() + at;
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    *o++ = kBase64[v >> 18];
    *o++ = kBase64[(v >> 12) & 63];
    *o++ = kBase64[(v >> 6) & 63];
    *o++ = kBase64[v & 63];
  }
  if (const size_t rest = bytes.size() - i; rest > 0) {
    const uint32_t v = (bytes[i] << 16) | (rest == 2 ? bytes[i + 1] << 8 : 0);
    *o++ = kBase64[v >> 18];
    *o++ = kBase64[(v >> 12) & 63];
    *o++ = rest == 2 ? kBase64[(v >> 6) & 63] : '=';
    *o++ = '=';
  }
}

}  // namespace

std::string EscapeXmlString(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  AppendEscaped(out, bytes, false, false);
  return out;
}

std::optional<std::string> UnescapeXmlString(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\': out += '\\'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x': {
        if (i + 2 >= text.size()) return std::nullopt;
        const int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default: return std::nullopt;
    }
  }
  return out;
}

std::string EncodeBase64(std::span<const uint8_t> bytes) {
  std::string out;
  AppendBase64(out, bytes);
  return out;
}

std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text) {
  std::vector<uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  uint32_t acc = 0;
  int bits = 0, pad = 0;
  for (const char c : text) {
    if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
    if (c == '=') {
      ++pad;
      continue;
    }
    if (pad > 0) return std::nullopt;  // data after padding
    const int value = kBase64Value[static_cast<uint8_t>(c)];
    if (value < 0) return std::nullopt;
    acc = (acc << 6) | static_cast<uint32_t>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<uint8_t>(acc >> bits));
    }
  }
  // What is left must be the zero bits of a short last group, with its padding.
  if (bits >= 6 || (acc & ((1u << bits) - 1)) != 0) return std::nullopt;
  if (pad > 0 && (bits == 0 || pad != (bits == 4 ? 2 : 1))) return std::nullopt;
  return out;
}

// ---- TSWFXmlWriter ---------------------------------------------------------------------------

namespace {
// The text goes to the stream in pieces of about this size: few stream calls, little memory.
constexpr size_t kSpillSize = 1 << 16;
}  // namespace

TSWFXmlWriter::TSWFXmlWriter(std::ostream& out, const TSWFWriteContext& context)
    : Context(context), FOut(out) {
  FBuffer.reserve(kSpillSize + 4096);
  FBuffer += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
}

TSWFXmlWriter::~TSWFXmlWriter() {
  try {
    Spill();
  } catch (...) {
    // A stream that throws on writing has reported its failure already to whoever wrote last.
  }
}

void TSWFXmlWriter::Spill() {
  if (FBuffer.empty()) return;
  FOut.write(FBuffer.data(), static_cast<std::streamsize>(FBuffer.size()));
  FBuffer.clear();
}

void TSWFXmlWriter::Indent() { FBuffer.append(2 * FDepth, ' '); }

void TSWFXmlWriter::EndStartTag() {
  if (FStartTagOpen) {
    FBuffer += '>';
    FStartTagOpen = false;
  }
}

void TSWFXmlWriter::Open(std::string_view element) {
  if (FStartTagOpen) {
    FBuffer += ">\n";
    FStartTagOpen = false;
  }
  Indent();
  FBuffer += '<';
  FBuffer += element;
  // The names of closed elements keep their strings, so that the next ones reuse the memory.
  if (FDepth == FOpen.size()) FOpen.emplace_back(element);
  else FOpen[FDepth].assign(element);
  ++FDepth;
  FStartTagOpen = true;
  FHasText = false;
}

void TSWFXmlWriter::Close() {
  if (FDepth == 0) return;
  --FDepth;
  if (FStartTagOpen) {
    FBuffer += "/>\n";
    FStartTagOpen = false;
  } else {
    if (!FHasText) Indent();
    FBuffer += "</";
    FBuffer += FOpen[FDepth];
    FBuffer += ">\n";
  }
  FHasText = false;
  if (FBuffer.size() >= kSpillSize) Spill();
}

void TSWFXmlWriter::RawAttr(std::string_view name, std::string_view value) {
  FBuffer += ' ';
  FBuffer += name;
  FBuffer += "=\"";
  FBuffer += value;
  FBuffer += '"';
}

void TSWFXmlWriter::Int(std::string_view name, int64_t value) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  RawAttr(name, {buf, static_cast<size_t>(r.ptr - buf)});
}

void TSWFXmlWriter::Hex(std::string_view name, uint32_t value) {
  char buf[16] = "0x";
  const auto r = std::to_chars(buf + 2, buf + sizeof buf, value, 16);
  std::transform(buf + 2, r.ptr, buf + 2, [](char c) { return c >= 'a' ? c - 'a' + 'A' : c; });
  RawAttr(name, {buf, static_cast<size_t>(r.ptr - buf)});
}

void TSWFXmlWriter::Number(std::string_view name, double value) {
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  RawAttr(name, {buf, static_cast<size_t>(r.ptr - buf)});
}

void TSWFXmlWriter::Bool(std::string_view name, bool value) {
  RawAttr(name, value ? "true" : "false");
}

void TSWFXmlWriter::String(std::string_view name, std::string_view bytes) {
  FBuffer += ' ';
  FBuffer += name;
  FBuffer += "=\"";
  AppendEscaped(FBuffer, bytes, true, true);
  FBuffer += '"';
}

void TSWFXmlWriter::Color(std::string_view name, const TSWFRGB& color) {
  const char text[] = {'#', kHex[color.R >> 4], kHex[color.R & 15], kHex[color.G >> 4],
                       kHex[color.G & 15], kHex[color.B >> 4], kHex[color.B & 15]};
  RawAttr(name, {text, sizeof text});
}

void TSWFXmlWriter::Color(std::string_view name, const TSWFRGBA& color) {
  if (!color.HasAlpha) return Color(name, static_cast<const TSWFRGB&>(color));
  const char text[] = {'#', kHex[color.R >> 4], kHex[color.R & 15], kHex[color.G >> 4],
                       kHex[color.G & 15], kHex[color.B >> 4], kHex[color.B & 15],
                       kHex[color.A >> 4], kHex[color.A & 15]};
  RawAttr(name, {text, sizeof text});
}

void TSWFXmlWriter::Text(std::string_view bytes) {
  EndStartTag();
  // A parser drops text that is only blanks: its first space goes as an escape.
  if (!bytes.empty() && bytes.find_first_not_of(' ') == std::string_view::npos) {
    FBuffer += "\\x20";
    bytes.remove_prefix(1);
  }
  AppendEscaped(FBuffer, bytes, true, false);
  FHasText = true;
}

void TSWFXmlWriter::Base64(std::span<const uint8_t> bytes) {
  EndStartTag();
  // Lines of 76 characters keep large payloads readable in an editor.
  constexpr size_t kLine = 57;
  if (bytes.size() <= kLine) {
    AppendBase64(FBuffer, bytes);
    FHasText = true;
    return;
  }
  FBuffer += '\n';
  for (size_t i = 0; i < bytes.size(); i += kLine) {
    Indent();
    AppendBase64(FBuffer, bytes.subspan(i, std::min(kLine, bytes.size() - i)));
    FBuffer += '\n';
    if (FBuffer.size() >= kSpillSize) Spill();
  }
  FHasText = false;
}

void TSWFXmlWriter::DataElement(std::string_view element, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  Open(element);
  Base64(bytes);
  Close();
}

void TSWFXmlWriter::Finish() {
  while (FDepth > 0) Close();
  Spill();
  FOut.flush();
}

// ---- TSWFXmlNode -----------------------------------------------------------------------------

namespace {

pugi::xml_node Node(pugi::xml_node_struct* n) { return pugi::xml_node(n); }

// Whether the parser's zero-terminated name is this one, without measuring it first: names are
// compared once per attribute looked for, the hottest loop of compiling a text.
bool NameIs(const char* name, std::string_view wanted) {
  for (const char c : wanted)
    if (*name++ != c) return false;
  return *name == '\0';
}

}  // namespace

std::string_view TSWFXmlNode::Name() const { return Node(FNode).name(); }

int TSWFXmlNode::Line() const { return FDocument->LineOf(Node(FNode).offset_debug()); }

void TSWFXmlNode::Fail(const std::string& message) const { FDocument->Fail(Line(), message); }

bool TSWFXmlNode::Has(std::string_view attribute) const {
  for (pugi::xml_attribute a = Node(FNode).first_attribute(); a; a = a.next_attribute())
    if (NameIs(a.name(), attribute)) return true;
  return false;
}

std::string_view TSWFXmlNode::Attribute(std::string_view name) const {
  for (pugi::xml_attribute a = Node(FNode).first_attribute(); a; a = a.next_attribute()) {
    if (NameIs(a.name(), name)) {
      FDocument->MarkRead(a.internal_object());
      return a.value();
    }
  }
  Fail("<" + std::string(Name()) + "> lacks the attribute " + std::string(name));
}

int64_t TSWFXmlNode::Int(std::string_view attribute, int64_t min, int64_t max) const {
  const std::string_view text = Attribute(attribute);
  int64_t value = 0;
  std::from_chars_result r{};
  if (text.starts_with("0x") || text.starts_with("0X")) {
    uint64_t u = 0;
    r = std::from_chars(text.data() + 2, text.data() + text.size(), u, 16);
    if (r.ec == std::errc() && text.size() > 2 && u <= static_cast<uint64_t>(INT64_MAX))
      value = static_cast<int64_t>(u);
    else
      r.ec = std::errc::invalid_argument;
  } else {
    r = std::from_chars(text.data(), text.data() + text.size(), value);
  }
  if (r.ec != std::errc() || r.ptr != text.data() + text.size())
    Fail(std::string(attribute) + "=\"" + std::string(text) + "\" is not a whole number");
  if (value < min || value > max)
    Fail(std::string(attribute) + "=" + std::string(text) + " is out of range (" +
         std::to_string(min) + " to " + std::to_string(max) + ")");
  return value;
}

double TSWFXmlNode::Number(std::string_view attribute) const {
  const std::string_view text = Attribute(attribute);
  double value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size())
    Fail(std::string(attribute) + "=\"" + std::string(text) + "\" is not a number");
  return value;
}

bool TSWFXmlNode::Bool(std::string_view attribute) const {
  const std::string_view text = Attribute(attribute);
  if (text == "true") return true;
  if (text == "false") return false;
  Fail(std::string(attribute) + "=\"" + std::string(text) + "\" is neither true nor false");
}

std::string TSWFXmlNode::String(std::string_view attribute) const {
  const std::string_view text = Attribute(attribute);
  auto value = UnescapeXmlString(text);
  if (!value) Fail(std::string(attribute) + " has a broken escape (write \\\\ for a backslash)");
  return std::move(*value);
}

std::string TSWFXmlNode::CString(std::string_view attribute) const {
  std::string value = String(attribute);
  if (value.find('\0') != std::string::npos)
    Fail(std::string(attribute) + " may not hold the byte \\x00 (the file ends the text with it)");
  return value;
}

namespace {

struct TColorBytes {
  std::array<uint8_t, 4> bytes{};
  size_t size = 0;
  uint8_t operator[](size_t i) const { return bytes[i]; }
};

// "#RRGGBB" or "#RRGGBBAA" into its bytes; none when it is neither.
TColorBytes ParseColor(std::string_view text) {
  if (text.size() != 7 && text.size() != 9) return {};
  if (text[0] != '#') return {};
  TColorBytes color;
  for (size_t i = 1; i < text.size(); i += 2) {
    const int hi = HexValue(text[i]), lo = HexValue(text[i + 1]);
    if (hi < 0 || lo < 0) return {};
    color.bytes[color.size++] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return color;
}

}  // namespace

void TSWFXmlNode::Color(std::string_view attribute, TSWFRGB& color) const {
  const std::string_view text = Attribute(attribute);
  const auto bytes = ParseColor(text);
  if (bytes.size != 3)
    Fail(std::string(attribute) + "=\"" + std::string(text) + "\" is not a colour #RRGGBB");
  color.SetRGB({bytes[0], bytes[1], bytes[2]});
}

void TSWFXmlNode::Color(std::string_view attribute, TSWFRGBA& color) const {
  const std::string_view text = Attribute(attribute);
  const auto bytes = ParseColor(text);
  if (bytes.size != (color.HasAlpha ? 4u : 3u))
    Fail(std::string(attribute) + "=\"" + std::string(text) + "\" is not a colour " +
         (color.HasAlpha ? "#RRGGBBAA" : "#RRGGBB"));
  color.SetRGB({bytes[0], bytes[1], bytes[2]});
  if (color.HasAlpha) color.A = bytes[3];
}

std::string_view TSWFXmlNode::RawText(std::string& storage) const {
  std::string_view raw;
  int pieces = 0;
  for (auto child : Node(FNode).children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      FDocument->MarkRead(child.internal_object());
      // One piece, the usual case, is read where the parser holds it.
      if (++pieces == 2) storage.assign(raw);
      if (pieces == 1) raw = child.value();
      else storage += child.value();
    }
  }
  return pieces > 1 ? std::string_view(storage) : raw;
}

std::string TSWFXmlNode::Text() const {
  std::string storage;
  auto value = UnescapeXmlString(RawText(storage));
  if (!value) Fail("<" + std::string(Name()) + "> has a broken escape (write \\\\ for a backslash)");
  return std::move(*value);
}

std::vector<uint8_t> TSWFXmlNode::Base64() const {
  std::string storage;
  auto bytes = DecodeBase64(RawText(storage));
  if (!bytes) Fail("<" + std::string(Name()) + "> does not hold base64 data");
  return std::move(*bytes);
}

std::vector<TSWFXmlNode> TSWFXmlNode::Elements() const {
  std::vector<TSWFXmlNode> out;
  for (auto child : Node(FNode).children()) {
    if (child.type() != pugi::node_element) continue;
    FDocument->MarkRead(child.internal_object());
    out.emplace_back(*FDocument, child.internal_object());
  }
  return out;
}

std::optional<TSWFXmlNode> TSWFXmlNode::FindChild(std::string_view element) const {
  std::optional<TSWFXmlNode> found;
  for (auto child : Node(FNode).children()) {
    if (child.type() != pugi::node_element || !NameIs(child.name(), element)) continue;
    if (found) TSWFXmlNode(*FDocument, child.internal_object()).Fail("a second <" + std::string(element) + ">");
    FDocument->MarkRead(child.internal_object());
    found.emplace(*FDocument, child.internal_object());
  }
  return found;
}

TSWFXmlNode TSWFXmlNode::Child(std::string_view element) const {
  auto found = FindChild(element);
  if (!found) Fail("<" + std::string(Name()) + "> lacks its <" + std::string(element) + "> element");
  return *found;
}

std::vector<uint8_t> TSWFXmlNode::DataElement(std::string_view element) const {
  auto found = FindChild(element);
  return found ? found->Base64() : std::vector<uint8_t>{};
}

// ---- TSWFXmlDocument -------------------------------------------------------------------------

TSWFXmlDocument::TSWFXmlDocument(std::string_view text, std::string fileName)
    : FDocument(std::make_unique<pugi::xml_document>()), FFileName(std::move(fileName)),
      FText(text) {
  // Escapes are the only translation: line ends and attribute whitespace stay as written, and
  // the writer never puts raw control characters into values.
  const unsigned options = pugi::parse_cdata | pugi::parse_escapes;
  const auto result =
      FDocument->load_buffer(text.data(), text.size(), options, pugi::encoding_utf8);
  if (!result) Fail(LineOf(result.offset), result.description());
  if (!FDocument->document_element()) Fail(1, "the document has no element");
}

TSWFXmlDocument::~TSWFXmlDocument() = default;

TSWFXmlNode TSWFXmlDocument::Root() const {
  auto root = FDocument->document_element();
  MarkRead(root.internal_object());
  return TSWFXmlNode(*this, root.internal_object());
}

int TSWFXmlDocument::LineOf(ptrdiff_t offset) const {
  if (offset < 0) return 1;
  // Lines are counted only when a message needs one.
  if (FLineStarts.empty()) {
    FLineStarts.push_back(0);
    for (const char* p = FText.data(), *end = p + FText.size();
         (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p))));)
      FLineStarts.push_back(static_cast<size_t>(++p - FText.data()));
  }
  const auto it = std::upper_bound(FLineStarts.begin(), FLineStarts.end(), static_cast<size_t>(offset));
  return static_cast<int>(it - FLineStarts.begin());
}

void TSWFXmlDocument::Fail(int line, const std::string& message) const {
  throw ESWFXmlError(FFileName + ":" + std::to_string(line) + ": " + message);
}

TSWFXmlDocument::TReadBits* TSWFXmlDocument::ReadBits(const void* item, bool create) const {
  const uintptr_t window = reinterpret_cast<uintptr_t>(item) >> 15;
  if (FLastBits && window == FLastWindow) return FLastBits;
  TReadBits* bits = nullptr;
  if (create) {
    bits = &FRead.try_emplace(window).first->second;
  } else {
    const auto it = FRead.find(window);
    if (it == FRead.end()) return nullptr;
    bits = &it->second;
  }
  FLastWindow = window;
  FLastBits = bits;
  return bits;
}

void TSWFXmlDocument::MarkRead(const void* item) const {
  const auto slot = (reinterpret_cast<uintptr_t>(item) >> 3) & 4095;
  (*ReadBits(item, true))[slot >> 6] |= uint64_t{1} << (slot & 63);
}

bool TSWFXmlDocument::WasRead(const void* item) const {
  const auto slot = (reinterpret_cast<uintptr_t>(item) >> 3) & 4095;
  const TReadBits* bits = ReadBits(item, false);
  return bits && ((*bits)[slot >> 6] >> (slot & 63) & 1);
}

void TSWFXmlDocument::CheckAllRead() const {
  // Depth first, in document order, so the first leftover in the text is the one reported.
  std::vector<pugi::xml_node> stack{FDocument->document_element()};
  while (!stack.empty()) {
    const pugi::xml_node node = stack.back();
    stack.pop_back();
    const auto line = [&] { return LineOf(node.offset_debug()); };
    if (!WasRead(node.internal_object())) {
      if (node.type() == pugi::node_element)
        Fail(line(), "unknown element <" + std::string(node.name()) + "> in <" +
                       node.parent().name() + ">");
      const std::string_view text = node.value();
      if (text.find_first_not_of(" \t\r\n") != std::string_view::npos)
        Fail(line(), "unexpected text in <" + std::string(node.parent().name()) + ">");
      continue;
    }
    for (auto a : node.attributes())
      if (!WasRead(a.internal_object()))
        Fail(line(), "unknown attribute " + std::string(a.name()) + " of <" + node.name() + ">");
    const size_t first = stack.size();
    for (auto child : node.children())
      if (child.type() == pugi::node_element || child.type() == pugi::node_pcdata ||
          child.type() == pugi::node_cdata)
        stack.push_back(child);
    std::reverse(stack.begin() + static_cast<ptrdiff_t>(first), stack.end());
  }
}

// ---- records -----------------------------------------------------------------------------------

namespace {
// RECT fields are signed and at most 31 bits wide.
constexpr int64_t kRectMin = -(int64_t{1} << 30), kRectMax = (int64_t{1} << 30) - 1;
}  // namespace

void WriteRectFields(TSWFXmlWriter& xml, const TRect& rect) {
  xml.Int("Xmin", rect.Left);
  xml.Int("Xmax", rect.Right);
  xml.Int("Ymin", rect.Top);
  xml.Int("Ymax", rect.Bottom);
}

TRect ReadRectFields(const TSWFXmlNode& node) {
  TRect r;
  r.Left = static_cast<int32_t>(node.Int("Xmin", kRectMin, kRectMax));
  r.Right = static_cast<int32_t>(node.Int("Xmax", kRectMin, kRectMax));
  r.Top = static_cast<int32_t>(node.Int("Ymin", kRectMin, kRectMax));
  r.Bottom = static_cast<int32_t>(node.Int("Ymax", kRectMin, kRectMax));
  return r;
}

void WriteRectXml(TSWFXmlWriter& xml, std::string_view element, const TSWFRect& rect) {
  xml.Open(element);
  WriteRectFields(xml, rect.GetRect());
  xml.Close();
}

void ReadRectXml(const TSWFXmlNode& node, TSWFRect& rect) { rect.SetRect(ReadRectFields(node)); }

}  // namespace tw::swf
