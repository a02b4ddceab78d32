#include "swf/xml_movie.h"

#include <cmath>
#include <map>

#include "swf/sprite.h"

namespace tw::swf {

namespace {

constexpr std::string_view kRawTag = "RawTag";
constexpr std::string_view kBody = "Body";
constexpr std::string_view kTrailing = "Trailing";

// Element names of the codes that have a tag class, for reading.
const std::map<std::string, uint16_t, std::less<>>& CodesByName() {
  static const std::map<std::string, uint16_t, std::less<>> table = [] {
    std::map<std::string, uint16_t, std::less<>> t;
    for (uint16_t code = 0; code < 1024; ++code) {
      const std::string_view name = TagCodeName(code);
      if (name.starts_with("Unknown")) continue;
      if (dynamic_cast<TSWFByteCodeTag*>(CreateTagObject(code).get()) != nullptr) continue;
      t.emplace(name, code);
    }
    return t;
  }();
  return table;
}

}  // namespace

// ---- the default form of every tag: its body as base64 ---------------------------------------

void TSWFObject::WriteXml(TSWFXmlWriter& xml) {
  TMemoryStream body;
  TBitsEngine be(body, xml.Context);
  WriteTagBody(be);
  be.FlushBits(true);
  xml.DataElement(kBody, body.Bytes());
}

void TSWFObject::ReadXml(const TSWFXmlNode& node) {
  const auto bytes = node.DataElement(kBody);
  BodySize = static_cast<int32_t>(bytes.size());
  TMemoryStream view = TMemoryStream::View(bytes);
  TBitsEngine be(view);
  try {
    ReadFromStream(be);
  } catch (const std::exception& e) {
    node.Fail("the body of <" + std::string(node.Name()) + "> cannot be read: " + e.what());
  }
}

// ---- tags --------------------------------------------------------------------------------------

void WriteTagXml(TSWFXmlWriter& xml, TSWFObject& tag) {
  if (auto* raw = dynamic_cast<TSWFByteCodeTag*>(&tag)) {
    xml.Open(kRawTag);
    xml.Int("Code", raw->RawTagID);
    if (!raw->Text.empty()) xml.String("Note", raw->Text);
    xml.Base64(raw->Data);
    xml.Close();
    return;
  }
  xml.Open(TagCodeName(tag.TagID));
  tag.WriteXml(xml);
  xml.Close();
}

std::unique_ptr<TSWFObject> ReadTagXml(const TSWFXmlNode& node, TSWFReadContext& context) {
  const std::string_view name = node.Name();
  if (name == kRawTag) {
    auto raw = std::make_unique<TSWFByteCodeTag>();
    raw->RawTagID = node.Get<uint16_t>("Code");
    if (raw->RawTagID > 1023) node.Fail("Code=" + std::to_string(raw->RawTagID) + " is out of range (0 to 1023)");
    if (node.Has("Note")) raw->Text = node.String("Note");
    raw->Data = node.Base64();
    raw->BodySize = static_cast<int32_t>(raw->Data.size());
    return raw;
  }
  const auto& codes = CodesByName();
  const auto it = codes.find(name);
  if (it == codes.end()) node.Fail("unknown element <" + std::string(name) + ">");
  auto tag = CreateTagObject(it->second);
  tag->SetReadContext(context);
  tag->ReadXml(node);
  tag->UpdateReadContext(context);
  return tag;
}

// ---- sprites: a timeline inside a tag ------------------------------------------------------------

void TSWFDefineSprite::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("SpriteID", SpriteID);
  xml.Int("FrameCount", FrameCount);
  xml.Flag("EndTagMissing", EndTagMissing);
  for (const auto& tag : ControlTags) WriteTagXml(xml, *tag);
  xml.DataElement(kTrailing, TrailingBytes);
}

void TSWFDefineSprite::ReadXml(const TSWFXmlNode& node) {
  if (FNesting >= kMaxSpriteNesting) node.Fail("Sprites are nested too deeply");
  SpriteID = node.Get<uint16_t>("SpriteID");
  FrameCount = node.Get<uint16_t>("FrameCount");
  EndTagMissing = node.Flag("EndTagMissing");
  ControlTags.clear();
  TrailingBytes.clear();
  TSWFReadContext inner;
  inner.Version = FReadVersion;
  inner.ParseActions = ParseActions;
  inner.SpriteNesting = FNesting + 1;
  for (const TSWFXmlNode& child : node.Elements()) {
    if (child.Name() == kTrailing) {
      TrailingBytes = child.Base64();
      continue;
    }
    ControlTags.push_back(ReadTagXml(child, inner));
  }
}

// ---- the movie -------------------------------------------------------------------------------

void WriteMovieXml(TSWFStreamReader& movie, std::ostream& out) {
  // Bytes after the last tag exist only in a truncated movie, which is not written as XML.
  if (movie.Truncated()) throw ESWFError("The movie is truncated");
  TSWFWriteContext context;
  context.Version = movie.Version();
  TSWFXmlWriter xml(out, context);
  xml.Open("SWF");
  xml.Int("Version", movie.Version());
  xml.Bool("Compressed", movie.Compressed());
  xml.Number("FrameRate", movie.FrameRate() / 256.0);
  xml.Int("FrameCount", movie.FrameCount());
  xml.Open("FrameSize");
  WriteRectFields(xml, movie.FrameRect());
  xml.Close();
  for (const auto& info : movie.TagList) {
    if (TSWFObject* tag = info->TagObject()) WriteTagXml(xml, *tag);
  }
  xml.Finish();
}

std::unique_ptr<TSWFStreamReader> ReadMovieXml(std::string_view text, const std::string& fileName) {
  TSWFXmlDocument document(text, fileName);
  const TSWFXmlNode root = document.Root();
  if (root.Name() != "SWF") root.Fail("the root element must be <SWF>, not <" + std::string(root.Name()) + ">");
  auto movie = std::make_unique<TSWFStreamReader>();
  movie->IsSWF = true;
  movie->SetVersion(root.Get<uint8_t>("Version"));
  movie->SetCompressed(root.Bool("Compressed"));
  const double rate = root.Number("FrameRate") * 256.0;
  if (!(rate >= 0 && rate <= 65535) || rate != std::floor(rate))
    root.Fail("FrameRate must be a multiple of 1/256 from 0 to 255.99609375");
  movie->SetFrameRate(static_cast<uint16_t>(rate));
  movie->SetFrameCount(root.Get<uint16_t>("FrameCount"));
  // As written, even a maximum below its minimum: the header keeps what the movie had.
  movie->SetFrameRect(ReadRectFields(root.Child("FrameSize")));

  TSWFReadContext context;
  context.Version = movie->Version();
  context.ParseActions = true;
  uint32_t frame = 1;
  for (const TSWFXmlNode& child : root.Elements()) {
    if (child.Name() == "FrameSize") continue;
    auto info = std::make_unique<TSWFTagInfo>();
    auto tag = ReadTagXml(child, context);
    info->TagCode = tag->TagID;
    info->FrameNumber = frame;
    if (tag->TagID == 1) ++frame;
    info->SetObject(std::move(tag));
    movie->TagList.push_back(std::move(info));
  }
  document.CheckAllRead();
  movie->BuildBody();
  return movie;
}

}  // namespace tw::swf
