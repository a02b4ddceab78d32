#include "builder/external_movie.h"

#include <type_traits>

#include "builder/movie.h"
#include "swf/display_tags.h"
#include "swf/font_tags.h"
#include "swf/sprite.h"
#include "swf/text_tags.h"

namespace tw::builder {

using namespace tw::swf;

namespace {

bool AlwaysDropped(uint16_t code) {
  switch (code) {
    case 0: case 9: case 24: case 58: case 64: case 69: case 77:
      return true;
    default:
      return false;
  }
}

bool IsPlacement(uint16_t code) { return code == 4 || code == 26 || code == 70; }

// Left out in definitions-only mode besides ShowFrame.
bool IsDisplayListTag(uint16_t code) {
  return IsPlacement(code) || code == 5 || code == 15 || code == 28;
}

// The tags that make up a timeline: in sprite mode they go into the sprite.
bool IsTimelineTag(uint16_t code) {
  switch (code) {
    case 4: case 5: case 12: case 15: case 18: case 19: case 26: case 28: case 43: case 45: case 70:
      return true;
    default:
      return false;
  }
}

bool IsDefinition(uint16_t code) {
  switch (code) {
    case 2: case 6: case 7: case 10: case 11: case 14: case 20: case 21: case 22: case 32:
    case 33: case 34: case 35: case 36: case 37: case 39: case 46: case 48: case 60: case 75:
    case 83: case 84:
      return true;
    default:
      return false;
  }
}

// Gives a field its value back when the write is over, however it ends.
template <class T>
class TRestore {
 public:
  explicit TRestore(T& field) : FField(field), FValue(field) {}
  ~TRestore() { FField = std::move(FValue); }
  TRestore(const TRestore&) = delete;
  TRestore& operator=(const TRestore&) = delete;

 private:
  T& FField;
  T FValue;
};

// Puts the prefix in front of every font face named in HTML text: right after the quote that
// opens the value of a "face" attribute.
template <class String>
void PrefixFaces(String& text, std::string_view prefix) {
  const String p(prefix.begin(), prefix.end());
  auto lower = [](auto c) {
    const unsigned v = static_cast<std::make_unsigned_t<decltype(c)>>(c);
    return v >= 'A' && v <= 'Z' ? v + unsigned{'a' - 'A'} : v;
  };
  int state = 0;
  for (size_t i = 0; i + 1 < text.size();) {
    const auto ch = text[i];
    if (state == 0) {
      bool face = i + 4 <= text.size();
      for (size_t k = 0; face && k < 4; ++k) face = lower(text[i + k]) == static_cast<unsigned>("face"[k]);
      if (face) {
        state = 1;
        i += 4;
        continue;
      }
    } else if (state == 1 && (ch == '"' || ch == '\'')) {
      text.insert(i + 1, p);
      state = ch == '"' ? 2 : 3;
      i += 1 + p.size();
      continue;
    } else if ((state == 2 && ch == '"') || (state == 3 && ch == '\'')) {
      state = 0;
    }
    ++i;
  }
}

}  // namespace

TFlashExternalMovie::TFlashExternalMovie(TFlashMovie* owner, const std::filesystem::path& fileName)
    : TFlashIDObject(owner), FReader(fileName) {}

TFlashExternalMovie::TFlashExternalMovie(TFlashMovie* owner, std::span<const uint8_t> bytes)
    : TFlashIDObject(owner), FReader(bytes) {}

TFlashExternalMovie::~TFlashExternalMovie() = default;

TFlashSprite& TFlashExternalMovie::MakeSprite() {
  if (!FSprite) {
    FSprite = std::make_unique<TFlashSprite>(Owner());
    FSprite->SetCharacterId(CharacterId());
  }
  return *FSprite;
}

int TFlashExternalMovie::DefinitionCount() const {
  int count = 0;
  for (const auto& info : FReader.TagList) {
    if (IsDefinition(info->OriginalCode())) {
      ++count;
    } else if (info->TagCode == 57 || info->TagCode == 71) {
      if (const auto* imports = dynamic_cast<const TSWFImportAssets*>(info->TagObject()))
        count += static_cast<int>(imports->Assets.size());
    }
  }
  return count;
}

uint16_t TFlashExternalMovie::Renumber(uint16_t base) { return FReader.RenumberIDs(base); }

void TFlashExternalMovie::PrepareBodyWrite(TBodyWriteState& state) {
  if (Mode != emWholeMovie && Mode != emNoFrames) return;
  for (const auto& info : FReader.TagList) {
    if (info->TagCode == 1 && Mode == emWholeMovie) ++state.FrameNumber;
    if (IsPlacement(info->OriginalCode())) state.HasPlacement = true;
  }
}

void TFlashExternalMovie::WriteToStream(TBitsEngine& be) {
  if (FReader.TagList.empty()) return;
  FFontPrefix.clear();
  if (RenameFonts) FFontPrefix = std::to_string(FRandom() % 65535);
  if (Mode == emSprite) {
    TFlashSprite& sprite = MakeSprite();
    sprite.ObjectList.clear();
    sprite.SetFrameCount(0);
  }
  be.FlushBits(true);
  for (auto& info : FReader.TagList) WriteTag(*info, be);
  if (Mode == emSprite) {
    FSprite->WriteToStream(be);
  }
}

void TFlashExternalMovie::WriteTag(TSWFTagInfo& info, TBitsEngine& be) {
  const uint16_t code = info.OriginalCode();
  TSWFObject* tag = info.TagObject();
  if (!tag) {
    const auto body = FReader.BodyStream().Bytes();
    const size_t size = static_cast<size_t>(std::min<uint64_t>(info.FullSize(), body.size() - std::min(info.TagOffset, body.size())));
    be.WriteBytes(body.subspan(info.TagOffset, size));
    return;
  }
  if (AlwaysDropped(code)) return;
  if (Mode == emDefinitions && (code == 1 || IsDisplayListTag(code))) return;
  if (Mode == emNoFrames && code == 1) return;

  if (code == 1) {
    if (Mode == emSprite) FSprite->ShowFrame(1);
    else tag->WriteToStream(be);
    return;
  }
  if (IsTimelineTag(code)) {
    if (Mode == emSprite) {
      FSprite->AddObject(CloneTag(*tag));
    } else {
      tag->WriteToStream(be);
    }
    return;
  }

  // Renamed fonts and faces are written with the prefix of this write and then given their own
  // names back, so that every write starts from the movie as it was read.
  if (!FFontPrefix.empty()) {
    if (auto* fontInfo = dynamic_cast<TSWFDefineFontInfo*>(tag); fontInfo && !fontInfo->CodeTable.empty()) {
      TRestore name(fontInfo->FontName);
      fontInfo->FontName = FFontPrefix + fontInfo->FontName;
      tag->WriteToStream(be);
      return;
    }
    if (auto* font = dynamic_cast<TSWFDefineFont2*>(tag); font && !font->GlyphShapeTable.empty()) {
      TRestore name(font->FontName);
      font->FontName = FFontPrefix + font->FontName;
      tag->WriteToStream(be);
      return;
    }
    if (auto* edit = dynamic_cast<TSWFDefineEditText*>(tag);
        edit && edit->HasText && edit->HTML && !edit->InitialText.empty()) {
      TRestore text(edit->InitialText);
      TRestore wide(edit->WideInitialText);
      PrefixFaces(edit->InitialText, FFontPrefix);
      PrefixFaces(edit->WideInitialText, FFontPrefix);
      tag->WriteToStream(be);
      return;
    }
  }
  tag->WriteToStream(be);
}

}  // namespace tw::builder
