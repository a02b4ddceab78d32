#include "swf/sprite.h"

namespace tw::swf {

void TSWFDefineSprite::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineSprite>(source);
  ControlTags.clear();
  ControlTags.reserve(s.ControlTags.size());
  for (const auto& tag : s.ControlTags) ControlTags.push_back(CloneTag(*tag));
  FrameCount = s.FrameCount;
  ParseActions = s.ParseActions;
  SpriteID = s.SpriteID;
  FReadVersion = s.FReadVersion;
  EndTagMissing = s.EndTagMissing;
  TrailingBytes = s.TrailingBytes;
}

void TSWFDefineSprite::SetReadContext(const TSWFReadContext& context) {
  FReadVersion = context.Version;
  ParseActions = context.ParseActions;
  FNesting = context.SpriteNesting;
}

void TSWFDefineSprite::ReadFromStream(TBitsEngine& be) {
  if (FNesting >= kMaxSpriteNesting) throw ESWFError("Sprites are nested too deeply");
  SpriteID = be.ReadWord();
  FrameCount = be.ReadWord();
  ControlTags.clear();
  EndTagMissing = false;
  TrailingBytes.clear();
  TSWFReadContext inner;
  inner.Version = FReadVersion;
  inner.ParseActions = ParseActions;
  inner.SpriteNesting = FNesting + 1;
  for (;;) {
    if (be.Stream.Remaining() == 0) {
      EndTagMissing = true;
      break;
    }
    const uint16_t word = be.ReadWord();
    if (word == 0) {
      ControlTags.push_back(CreateTagObject(0));
      const auto rest = be.ReadBytes(be.Stream.Remaining());
      TrailingBytes.assign(rest.begin(), rest.end());
      break;
    }
    const uint16_t code = word >> 6;
    uint32_t length = word & 0x3F;
    if (length == 63) length = be.ReadDWord();
    auto tag = CreateTagObject(code);
    tag->BodySize = static_cast<int32_t>(std::min<uint32_t>(length, INT32_MAX));
    // The inner tag reads from a view of exactly its body, so it cannot read past it; one that
    // fails keeps its bytes, as on the main timeline.
    const auto bytes = be.ReadBytes(length);
    TMemoryStream body = TMemoryStream::View(bytes);
    TBitsEngine bodyEngine(body);
    try {
      tag->SetReadContext(inner);
      tag->ReadFromStream(bodyEngine);
    } catch (const ESWFError& e) {
      // An inner sprite that fails takes its parent along: nesting beyond the limit leaves the
      // outermost sprite raw.
      if (code == 39) throw;
      auto raw = std::make_unique<TSWFByteCodeTag>();
      raw->Text = e.what();
      raw->RawTagID = code;
      raw->BodySize = tag->BodySize;
      raw->Data.assign(bytes.begin(), bytes.end());
      tag = std::move(raw);
    }
    tag->UpdateReadContext(inner);
    ControlTags.push_back(std::move(tag));
  }
}

void TSWFDefineSprite::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(SpriteID);
  be.WriteWord(FrameCount);
  for (const auto& tag : ControlTags) tag->WriteToStream(be);
  const bool endsWithEnd = !ControlTags.empty() && !ControlTags.back()->IsBuilderObject() &&
                           ControlTags.back()->TagID == 0;
  if (!endsWithEnd && !EndTagMissing) be.WriteWord(0);
  be.WriteBytes(TrailingBytes);
}

void TSWFDefineSprite::VisitReferencedIDs(const TIDVisitor& visit) {
  for (auto& tag : ControlTags) tag->VisitReferencedIDs(visit);
}

void TSWFDefineSprite::Describe(TSWFFields& f) const {
  f.emplace_back("id", std::to_string(SpriteID));
  f.emplace_back("frames", std::to_string(FrameCount));
  f.emplace_back("tags", std::to_string(ControlTags.size()));
}

}  // namespace tw::swf
