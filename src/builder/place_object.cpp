#include "builder/place_object.h"

#include <cctype>

#include "builder/movie.h"
#include "builder/sprite.h"
#include "swf/errors.h"
#include "util/files.h"

namespace tw::builder {

using namespace tw::swf;

namespace {

struct TEventName {
  std::string_view Name;
  uint32_t Event;
};

constexpr TEventName kClipEvents[] = {
    {"load", ceLoad},           {"unload", ceUnload},       {"enterFrame", ceEnterFrame},
    {"mouseMove", ceMouseMove}, {"mouseDown", ceMouseDown}, {"mouseUp", ceMouseUp},
    {"keyDown", ceKeyDown},     {"keyUp", ceKeyUp},         {"data", ceData},
    {"initialize", ceInitialize}, {"construct", ceConstruct},
};

constexpr TEventName kButtonEvents[] = {
    {"press", cePress},       {"release", ceRelease},   {"releaseOutside", ceReleaseOutside},
    {"rollOver", ceRollOver}, {"rollOut", ceRollOut},   {"dragOver", ceDragOver},
    {"dragOut", ceDragOut},   {"keyPress", ceKeyPress},
};

// The key codes of named keys in a keyPress event ("<Left>").
constexpr TEventName kKeyNames[] = {
    {"<Left>", 1},   {"<Right>", 2},   {"<Home>", 3},     {"<End>", 4},      {"<Insert>", 5},
    {"<Delete>", 6}, {"<Backspace>", 8}, {"<Enter>", 13}, {"<Up>", 14},      {"<Down>", 15},
    {"<PageUp>", 16}, {"<PageDown>", 17}, {"<Tab>", 18},  {"<Escape>", 19},  {"<Space>", 32},
};

class THandlerSplitter {
 public:
  THandlerSplitter(std::string_view text, std::string_view what) : FText(text), FWhat(what) {}

  std::vector<TEventHandler> Split() {
    std::vector<TEventHandler> handlers;
    for (SkipSpace(); FPos < FText.size(); SkipSpace()) handlers.push_back(Handler());
    return handlers;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    size_t line = 1;
    for (size_t i = 0; i < FPos && i < FText.size(); ++i) line += FText[i] == '\n';
    throw ESWFError(std::string(FWhat) + ", line " + std::to_string(line) + ": " + what);
  }

  void SkipSpace() {
    while (FPos < FText.size()) {
      if (std::isspace(static_cast<unsigned char>(FText[FPos]))) {
        ++FPos;
      } else if (FText.substr(FPos, 2) == "//") {
        while (FPos < FText.size() && FText[FPos] != '\n') ++FPos;
      } else if (FText.substr(FPos, 2) == "/*") {
        const size_t end = FText.find("*/", FPos + 2);
        if (end == std::string_view::npos) Fail("a comment is not closed");
        FPos = end + 2;
      } else {
        break;
      }
    }
  }

  std::string_view Word() {
    const size_t start = FPos;
    while (FPos < FText.size() && (std::isalnum(static_cast<unsigned char>(FText[FPos])) || FText[FPos] == '_'))
      ++FPos;
    return FText.substr(start, FPos - start);
  }

  void Expect(char ch) {
    SkipSpace();
    if (FPos >= FText.size() || FText[FPos] != ch) Fail(std::string("\"") + ch + "\" expected");
    ++FPos;
  }

  // A quoted string (the key of a keyPress), without its quotes.
  std::string_view Quoted() {
    SkipSpace();
    if (FPos >= FText.size() || (FText[FPos] != '"' && FText[FPos] != '\'')) Fail("a key in quotes expected");
    const char quote = FText[FPos++];
    const size_t end = FText.find(quote, FPos);
    if (end == std::string_view::npos) Fail("a string is not closed");
    const std::string_view s = FText.substr(FPos, end - FPos);
    FPos = end + 1;
    return s;
  }

  TEventHandler Handler() {
    const std::string_view kind = Word();
    const bool clip = kind == "onClipEvent";
    if (!clip && kind != "on") Fail("onClipEvent(...) or on(...) expected");
    TEventHandler h;
    Expect('(');
    for (;;) {
      SkipSpace();
      const std::string_view name = Word();
      uint32_t event = 0;
      for (const auto& e : clip ? std::span<const TEventName>(kClipEvents) : std::span<const TEventName>(kButtonEvents))
        if (e.Name == name) event = e.Event;
      if (event == 0) Fail("unknown event \"" + std::string(name) + "\"");
      if (event == ceKeyPress) h.KeyCode = KeyCode(Quoted());
      h.Events |= event;
      SkipSpace();
      if (FPos < FText.size() && FText[FPos] == ',') {
        ++FPos;
        continue;
      }
      break;
    }
    Expect(')');
    Expect('{');
    const size_t start = FPos;
    h.Body = FText.substr(start, BlockEnd() - start);
    ++FPos;  // the closing brace
    return h;
  }

  uint8_t KeyCode(std::string_view key) {
    if (key.size() == 1) return static_cast<uint8_t>(key[0]);
    for (const auto& k : kKeyNames)
      if (k.Name == key) return static_cast<uint8_t>(k.Event);
    Fail("unknown key \"" + std::string(key) + "\"");
  }

  // The position of the brace that closes the block whose body starts here; strings and
  // comments may hold braces.
  size_t BlockEnd() {
    int depth = 1;
    while (FPos < FText.size()) {
      const char ch = FText[FPos];
      if (ch == '"' || ch == '\'') {
        for (++FPos; FPos < FText.size() && FText[FPos] != ch; ++FPos)
          if (FText[FPos] == '\\') ++FPos;
        ++FPos;
      } else if (FText.substr(FPos, 2) == "//" || FText.substr(FPos, 2) == "/*") {
        SkipSpace();
      } else {
        if (ch == '{') ++depth;
        if (ch == '}' && --depth == 0) return FPos;
        ++FPos;
      }
    }
    Fail("a block is not closed");
  }

  std::string_view FText;
  std::string_view FWhat;
  size_t FPos = 0;
};

}  // namespace

std::vector<TEventHandler> SplitEventHandlers(std::string_view text, std::string_view what) {
  return THandlerSplitter(text, what).Split();
}

TFlashPlaceObject::TFlashPlaceObject(TFlashMovie* owner, uint16_t depth, TFlashVisualObject* visual)
    : TFlashObject(owner), FPlaceTag(std::make_unique<TSWFPlaceObject3>()), FPlacedObject(visual) {
  FPlaceTag->Depth = depth;
  if (visual) FPlaceTag->SetCharacterId(visual->CharacterId());
  if (dynamic_cast<TFlashSprite*>(visual)) {
    FClipActionList = std::make_unique<TSWFActionList>();
    FClipActions = std::make_unique<TFlashActionScript>(owner, FClipActionList.get());
  }
}

TFlashPlaceObject::~TFlashPlaceObject() = default;

// ---- transform -------------------------------------------------------------------------------

void TFlashPlaceObject::SetTranslate(int32_t x, int32_t y) {
  if (x == 0 && y == 0 && !FPlaceTag->HasMatrix && !FPlaceTag->Move) return;
  const int32_t u = TwipsPerUnit();
  const int32_t ox = FPlacedObject ? FPlacedObject->OriginX : 0;
  const int32_t oy = FPlacedObject ? FPlacedObject->OriginY : 0;
  FPlaceTag->Matrix().SetTranslate((ox + x) * u, (oy + y) * u);
}

void TFlashPlaceObject::SetPosition(int32_t x, int32_t y) {
  if (x == 0 && y == 0 && !FPlaceTag->HasMatrix && !FPlaceTag->Move) return;
  const int32_t u = TwipsPerUnit();
  FPlaceTag->Matrix().SetTranslate(x * u, y * u);
}

void TFlashPlaceObject::SetScale(double scaleX, double scaleY) {
  FPlaceTag->Matrix().SetScale(scaleX, scaleY);
}

void TFlashPlaceObject::SetRotate(double angle) { FPlaceTag->Matrix().SetRotate(angle); }

// ---- clip actions ----------------------------------------------------------------------------

TSWFClipActionRecord& TFlashPlaceObject::AddClipAction(uint32_t events, uint8_t keyCode) {
  return FPlaceTag->ClipActions().AddClipAction(events, keyCode);
}

TSWFClipActionRecord* TFlashPlaceObject::FindClipAction(uint32_t event, bool create) {
  if (!FClipActions) return nullptr;
  if (FPlaceTag->FindClipActions())
    if (TSWFClipActionRecord* found = FPlaceTag->ClipActions().FindClipAction(event)) return found;
  return create ? &AddClipAction(event) : nullptr;
}

TFlashActionScript* TFlashPlaceObject::OnClipEvent(uint32_t event) {
  TSWFClipActionRecord* record = FindClipAction(event, true);
  if (!record) return nullptr;
  FClipActions->SetActions(record->Actions);
  return FClipActions.get();
}

bool TFlashPlaceObject::CompileClipActions(std::string_view text) {
  TFlashMovie* movie = Owner();
  if (!movie) throw ESWFError("A placement without a movie cannot compile clip actions");
  std::vector<TEventHandler> handlers;
  try {
    handlers = SplitEventHandlers(text, "Clip actions");
  } catch (const ESWFError& e) {
    movie->AppendError(e.what());
    return false;
  }
  for (const TEventHandler& h : handlers) {
    TSWFClipActionRecord& record = AddClipAction(h.Events, h.KeyCode);
    TFlashActionScript script(movie, &record.Actions);
    if (!script.CompileScript(h.Body)) return false;
  }
  FPlaceTag->HasClipActions = FPlaceTag->FindClipActions() != nullptr;
  return true;
}

bool TFlashPlaceObject::CompileClipActions(TMemoryStream& source) {
  const auto bytes = source.Bytes();
  return CompileClipActions(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool TFlashPlaceObject::CompileClipActionsFile(const std::filesystem::path& fileName) {
  const std::vector<uint8_t> bytes = ReadWholeFile(fileName);
  return CompileClipActions(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// ---- writing ---------------------------------------------------------------------------------

bool TFlashPlaceObject::WritesPlaceObject3() const {
  const TSWFPlaceObject3& t = *FPlaceTag;
  const TSWFFilterList* filters = t.FindFilters();
  return t.HasBlendMode || (t.HasFilterList && filters && !filters->Empty()) || t.CacheAsBitmap ||
         t.HasVisible || t.HasOpaqueBackground || t.HasClassName || t.HasImage;
}

int TFlashPlaceObject::MinVersion() const {
  if (WritesPlaceObject3()) return FPlaceTag->HasClassName || FPlaceTag->HasImage ? 9 : 8;
  return FPlaceTag->WritesClipActions() ? 5 : 3;
}

void TFlashPlaceObject::PrepareBodyWrite(TBodyWriteState& state) {
  state.HasPlacement = true;
}

void TFlashPlaceObject::WriteToStream(TBitsEngine& be) {
  const bool three = WritesPlaceObject3();
  FPlaceTag->SaveAsPlaceObject2 = !three;
  FPlaceTag->TagID = three ? 70 : 26;
  FPlaceTag->WriteToStream(be);
}

void TFlashPlaceObject::Assign(const TBasedSWFObject& source) {
  TFlashObject::Assign(source);
  const auto& s = SourceAs<TFlashPlaceObject>(source);
  if (&s == this) return;
  if (!Owner() && s.Owner()) SetOwner(s.Owner());
  FPlaceTag->Assign(*s.FPlaceTag);
  FPlacedObject = s.FPlacedObject;
  FClipActionList.reset();
  FClipActions.reset();
  if (s.FClipActions) {
    FClipActionList = std::make_unique<TSWFActionList>();
    CopyActionList(*s.FClipActionList, *FClipActionList);
    FClipActions = std::make_unique<TFlashActionScript>(Owner(), FClipActionList.get());
  }
}

}  // namespace tw::builder
