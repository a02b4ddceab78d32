#include "builder/button.h"

#include <algorithm>
#include <string>

#include "builder/image.h"
#include "builder/movie.h"
#include "builder/place_object.h"
#include "builder/sound.h"
#include "swf/errors.h"
#include "util/files.h"

namespace tw::builder {

using namespace tw::swf;

namespace {

// The transitions of the button events a handler names.
struct TEventCondition {
  uint32_t ClipEvent;
  uint16_t Condition;
};

constexpr TEventCondition kEventConditions[] = {
    {cePress, bePress},           {ceRelease, beRelease},   {ceReleaseOutside, beReleaseOutside},
    {ceRollOver, beRollOver},     {ceRollOut, beRollOut},   {ceDragOver, beDragOver},
    {ceDragOut, beDragOut},
};

}  // namespace

TFlashButton::TFlashButton(TFlashMovie* owner)
    : TFlashVisualObject(owner), FTag(std::make_unique<TSWFDefineButton2>()) {}

TFlashButton::~TFlashButton() = default;

void TFlashButton::SetCharacterId(uint16_t id) {
  TFlashVisualObject::SetCharacterId(id);
  FTag->ButtonId = id;
  if (FSounds) FSounds->ButtonId = id;
}

TSWFButtonRecord& TFlashButton::AddRecordOf(uint16_t characterId, uint8_t states, int32_t x, int32_t y,
                                            uint16_t depth) {
  if (depth == 0) {
    for (const auto& r : FTag->Records) depth = std::max(depth, r->PlaceDepth);
    ++depth;
  }
  TSWFButtonRecord& record = FTag->AddRecord(characterId, states, depth);
  const int32_t u = TwipsPerUnit();
  record.Matrix.SetTranslate(x * u, y * u);
  return record;
}

TSWFButtonRecord& TFlashButton::AddRecord(TFlashVisualObject& visual, uint8_t states, int32_t x, int32_t y,
                                          uint16_t depth) {
  // A character must be defined before the button that shows it.
  if (Owner()) Owner()->MoveBefore(visual, *this);
  return AddRecordOf(visual.CharacterId(), states, x + visual.OriginX, y + visual.OriginY, depth);
}

TSWFButtonRecord& TFlashButton::AddRecord(TFlashImage& image, uint8_t states, int32_t x, int32_t y,
                                          uint16_t depth) {
  if (!Owner()) throw ESWFError("A button without a movie cannot show an image");
  TFlashShape& shape = Owner()->AddShapeImage(image);
  Owner()->MoveBefore(shape, *this);
  Owner()->MoveBefore(image, shape);
  return AddRecord(shape, states, x, y, depth);
}

TFlashActionScript& TFlashButton::OnEvent(uint16_t events, uint8_t keyCode) {
  keyCode &= 0x7F;
  for (const TScript& s : FScripts)
    if (s.Condition->Conditions == events && s.Condition->KeyPress == keyCode) return *s.Script;
  TSWFButtonCondAction& condition = FTag->AddCondAction(events, keyCode);
  FScripts.push_back({&condition, std::make_unique<TFlashActionScript>(Owner(), &condition.Actions)});
  return *FScripts.back().Script;
}

bool TFlashButton::CompileActions(std::string_view text) {
  TFlashMovie* movie = Owner();
  if (!movie) throw ESWFError("A button without a movie cannot compile actions");
  std::vector<TEventHandler> handlers;
  try {
    handlers = SplitEventHandlers(text, "Button actions");
    for (const TEventHandler& h : handlers)
      if (h.Events & ~uint32_t(cePress | ceRelease | ceReleaseOutside | ceRollOver | ceRollOut | ceDragOver |
                                ceDragOut | ceKeyPress))
        throw ESWFError("Button actions: a button takes on(...) handlers of button events only");
  } catch (const ESWFError& e) {
    movie->AppendError(e.what());
    return false;
  }
  for (const TEventHandler& h : handlers) {
    uint16_t conditions = 0;
    for (const auto& ec : kEventConditions)
      if (h.Events & ec.ClipEvent) conditions |= ec.Condition;
    // A key is a condition of its own: the mouse events of the same handler get a second copy.
    if (conditions != 0 && !OnEvent(conditions).CompileScript(h.Body)) return false;
    if ((h.Events & ceKeyPress) && !OnEvent(0, h.KeyCode).CompileScript(h.Body)) return false;
  }
  return true;
}

bool TFlashButton::CompileActionsFile(const std::filesystem::path& fileName) {
  const std::vector<uint8_t> bytes = ReadWholeFile(fileName);
  return CompileActions(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

TSWFStartSound& TFlashButton::SetSound(TSWFButtonSoundEntry entry, TFlashSound& sound) {
  if (!FSounds) {
    FSounds = std::make_unique<TSWFDefineButtonSound>();
    FSounds->ButtonId = CharacterId();
  }
  if (Owner()) Owner()->MoveBefore(sound, *this);
  TSWFStartSound& start = FSounds->Sound(entry);
  start.ID = sound.CharacterId();
  return start;
}

int TFlashButton::MinVersion() const {
  int version = 3;
  for (const TScript& s : FScripts) version = std::max(version, s.Script->MinVersion());
  for (const auto& r : FTag->Records)
    if (r->HasBlendMode || r->HasFilterList) version = std::max(version, 8);
  return version;
}

void TFlashButton::WriteToStream(TBitsEngine& be) {
  FTag->ButtonId = CharacterId();
  FTag->WriteToStream(be);
  if (FSounds) {
    FSounds->ButtonId = CharacterId();
    FSounds->WriteToStream(be);
  }
}

void TFlashButton::Assign(const TBasedSWFObject& source) {
  TFlashVisualObject::Assign(source);
  const auto& s = SourceAs<TFlashButton>(source);
  if (&s == this) return;
  FTag->Assign(*s.FTag);
  FScripts.clear();
  for (const auto& condition : FTag->CondActions)
    FScripts.push_back({condition.get(), std::make_unique<TFlashActionScript>(Owner(), &condition->Actions)});
  FSounds.reset();
  if (s.FSounds) {
    FSounds = std::make_unique<TSWFDefineButtonSound>();
    FSounds->Assign(*s.FSounds);
  }
  SetCharacterId(CharacterId());
}

}  // namespace tw::builder
