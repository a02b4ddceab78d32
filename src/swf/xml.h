// Movies as XML text: TSWFXmlWriter streams elements out as they are written (no tree is held),
// TSWFXmlDocument parses a text and hands out TSWFXmlNode views that read typed, range-checked
// values and remember what was read, so that anything left over (a misspelt attribute, an unknown
// element) is reported with its line instead of being dropped.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "swf/bits.h"
#include "swf/errors.h"

namespace pugi {
class xml_document;
class xml_node;
struct xml_node_struct;
}  // namespace pugi

namespace tw::swf {

// A hand-edited text that cannot become a movie; the message reads "FILE:LINE: what is wrong".
class ESWFXmlError : public ESWFError {
 public:
  using ESWFError::ESWFError;
};

// Bytes of a string field as text: valid UTF-8 stays as it is; a backslash, control characters
// and bytes that are not UTF-8 become "\\", "\n", "\r", "\t" and "\xHH", so any byte string comes
// back unchanged.
std::string EscapeXmlString(std::string_view bytes);
// The reverse; nullopt names a broken escape.
std::optional<std::string> UnescapeXmlString(std::string_view text);

std::string EncodeBase64(std::span<const uint8_t> bytes);
// Whitespace is ignored; nullopt for anything else that is not base64.
std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text);

class TSWFXmlWriter {
 public:
  explicit TSWFXmlWriter(std::ostream& out, const TSWFWriteContext& context = {});
  ~TSWFXmlWriter();  // hands what is still buffered to the stream
  TSWFXmlWriter(const TSWFXmlWriter&) = delete;
  TSWFXmlWriter& operator=(const TSWFXmlWriter&) = delete;

  // The movie the tags are written for: the default tag form writes its body with it.
  TSWFWriteContext Context;

  void Open(std::string_view element);
  // Closes the innermost open element.
  void Close();
  // Attributes belong to the element opened last and come before its first child or text.
  void Int(std::string_view name, int64_t value);
  void Hex(std::string_view name, uint32_t value);  // "0x..." for flag words and codes
  void Number(std::string_view name, double value);  // shortest text that reads back exactly
  void Bool(std::string_view name, bool value);       // "true" or "false"
  // Written only when set; read back with TSWFXmlNode::Flag.
  void Flag(std::string_view name, bool value) {
    if (value) Bool(name, true);
  }
  void String(std::string_view name, std::string_view bytes);  // escaped, see EscapeXmlString
  void Color(std::string_view name, const TSWFRGB& color);      // "#RRGGBB"
  void Color(std::string_view name, const TSWFRGBA& color);     // "#RRGGBBAA" with alpha
  // Element content.
  void Text(std::string_view bytes);  // escaped as String
  void Base64(std::span<const uint8_t> bytes);
  // An element holding only base64 bytes, left out when there are none.
  void DataElement(std::string_view element, std::span<const uint8_t> bytes);
  void Finish();  // closes what is open and flushes

 private:
  void EndStartTag();
  void Indent();
  void RawAttr(std::string_view name, std::string_view value);
  void Spill();  // the buffered text to the stream

  std::ostream& FOut;
  // The text is built here and handed to the stream in large pieces: a stream call per
  // attribute would cost more than building the attribute.
  std::string FBuffer;
  std::vector<std::string> FOpen;  // the open elements are the first FDepth
  size_t FDepth = 0;
  bool FStartTagOpen = false;  // "<Name attr..." written, ">" not yet
  bool FHasText = false;       // the innermost element holds text: no indentation inside
};

class TSWFXmlDocument;

// One element of a parsed document. Reading an attribute or taking a child marks it as read.
class TSWFXmlNode {
 public:
  TSWFXmlNode(const TSWFXmlDocument& document, pugi::xml_node_struct* node)
      : FDocument(&document), FNode(node) {}

  std::string_view Name() const;
  int Line() const;
  [[noreturn]] void Fail(const std::string& message) const;

  bool Has(std::string_view attribute) const;
  // Required integers within [min, max]; the type's range when not given.
  int64_t Int(std::string_view attribute, int64_t min, int64_t max) const;
  template <class T>
  T Get(std::string_view attribute) const {
    return static_cast<T>(Int(attribute, Lowest<T>(), static_cast<int64_t>(std::numeric_limits<T>::max())));
  }
  // Optional: the default when the attribute is absent.
  template <class T>
  T Get(std::string_view attribute, T fallback) const {
    return Has(attribute) ? Get<T>(attribute) : fallback;
  }
  double Number(std::string_view attribute) const;
  bool Bool(std::string_view attribute) const;
  bool Flag(std::string_view attribute) const { return Has(attribute) && Bool(attribute); }
  std::string String(std::string_view attribute) const;
  // A string the file ends with a zero byte, which therefore cannot hold one.
  std::string CString(std::string_view attribute) const;
  // "#RRGGBB" into a colour; "#RRGGBBAA" also sets the alpha of one that has it.
  void Color(std::string_view attribute, TSWFRGB& color) const;
  void Color(std::string_view attribute, TSWFRGBA& color) const;

  std::string Text() const;  // unescaped, see EscapeXmlString
  std::vector<uint8_t> Base64() const;

  // Every child element, in order, each marked as read: the caller refuses names it does not know.
  std::vector<TSWFXmlNode> Elements() const;
  std::optional<TSWFXmlNode> FindChild(std::string_view element) const;
  TSWFXmlNode Child(std::string_view element) const;  // required
  // The bytes of an optional base64 element; empty when it is absent.
  std::vector<uint8_t> DataElement(std::string_view element) const;

 private:
  template <class T>
  static constexpr int64_t Lowest() {
    return static_cast<int64_t>(std::numeric_limits<T>::lowest());
  }
  std::string_view Attribute(std::string_view name) const;  // required, marked as read
  // The element's text as written, marked as read; storage holds it when it comes in pieces.
  std::string_view RawText(std::string& storage) const;

  const TSWFXmlDocument* FDocument;
  pugi::xml_node_struct* FNode;
};

class TSWFXmlDocument {
 public:
  // Parses the text; malformed XML throws ESWFXmlError with the line. The file name only labels
  // the messages.
  TSWFXmlDocument(std::string_view text, std::string fileName);
  ~TSWFXmlDocument();
  TSWFXmlDocument(const TSWFXmlDocument&) = delete;
  TSWFXmlDocument& operator=(const TSWFXmlDocument&) = delete;

  TSWFXmlNode Root() const;
  // Throws for the first element, attribute or text of the document that nobody read.
  void CheckAllRead() const;

  int LineOf(ptrdiff_t offset) const;
  [[noreturn]] void Fail(int line, const std::string& message) const;
  void MarkRead(const void* item) const;
  bool WasRead(const void* item) const;

 private:
  std::unique_ptr<pugi::xml_document> FDocument;
  std::string FFileName;
  std::string FText;  // the parsed text, kept to count its lines when a message needs them
  mutable std::vector<size_t> FLineStarts;  // counted on the first message
  // What was read: one bit per 8 bytes of the parser's memory, in windows of 32 KB. Marking is
  // the hot path of compiling a text, once per element and attribute, and the parser's items
  // lie close together, so the window of the last mark serves most of them.
  using TReadBits = std::array<uint64_t, 64>;
  TReadBits* ReadBits(const void* item, bool create) const;
  mutable std::unordered_map<uintptr_t, TReadBits> FRead;
  mutable uintptr_t FLastWindow = 0;
  mutable TReadBits* FLastBits = nullptr;
};

// Records shared by many tags, as elements of their own. A rectangle's fields are Xmin, Xmax,
// Ymin and Ymax (Left, Right, Top, Bottom of a TRect), kept in the order given.
void WriteRectFields(TSWFXmlWriter& xml, const TRect& rect);
TRect ReadRectFields(const TSWFXmlNode& node);
void WriteRectXml(TSWFXmlWriter& xml, std::string_view element, const TSWFRect& rect);
void ReadRectXml(const TSWFXmlNode& node, TSWFRect& rect);

}  // namespace tw::swf
