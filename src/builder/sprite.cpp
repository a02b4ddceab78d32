#include "builder/sprite.h"

#include <algorithm>

#include "builder/movie.h"
#include "swf/action_tags.h"
#include "swf/control_tags.h"
#include "swf/errors.h"

namespace tw::builder {

using namespace tw::swf;

namespace {

// The copies of a timeline's entries: tags through the factory, builder objects by their class.
std::unique_ptr<TBasedSWFObject> CloneEntry(const TBasedSWFObject& entry) {
  if (!entry.IsBuilderObject()) return CloneTag(static_cast<const TSWFObject&>(entry));
  const auto& object = static_cast<const TFlashObject&>(entry);
  if (const auto* place = dynamic_cast<const TFlashPlaceObject*>(&object)) {
    auto copy = std::make_unique<TFlashPlaceObject>(place->Owner(), place->Depth());
    copy->Assign(*place);
    return copy;
  }
  if (const auto* script = dynamic_cast<const TFlashActionScript*>(&object)) {
    auto copy = std::make_unique<TFlashActionScript>(script->Owner());
    copy->Assign(*script);
    return copy;
  }
  throw ESWFError("A sprite's timeline holds an object that cannot be copied");
}

bool IsPlainTag(const TBasedSWFObject& object, uint16_t code) {
  return !object.IsBuilderObject() && static_cast<const TSWFObject&>(object).TagID == code;
}

bool IsEndTag(const TBasedSWFObject& object) { return IsPlainTag(object, 0); }

}  // namespace

TFlashSprite::TFlashSprite(TFlashMovie* owner) : TFlashVisualObject(owner) {}

TFlashSprite::~TFlashSprite() = default;

TBasedSWFObject& TFlashSprite::AddObject(std::unique_ptr<TBasedSWFObject> object) {
  ObjectList.push_back(std::move(object));
  return *ObjectList.back();
}

TFlashPlaceObject& TFlashSprite::PlaceObject(TFlashVisualObject& visual, uint16_t depth) {
  auto place = std::make_unique<TFlashPlaceObject>(Owner(), depth, &visual);
  TFlashPlaceObject& ref = *place;
  AddObject(std::move(place));
  if (Owner()) Owner()->MoveBefore(visual, *this);
  MaxDepth = std::max(MaxDepth, depth);
  return ref;
}

TFlashPlaceObject& TFlashSprite::PlaceObject(uint16_t depth) {
  auto place = std::make_unique<TFlashPlaceObject>(Owner(), depth);
  TFlashPlaceObject& ref = *place;
  AddObject(std::move(place));
  MaxDepth = std::max(MaxDepth, depth);
  return ref;
}

TFlashPlaceObject& TFlashSprite::PlaceMasked(TFlashVisualObject& visual, TFlashVisualObject& mask,
                                             uint16_t depth) {
  if (!Owner()) throw ESWFError("A sprite without a movie cannot make a masked sprite");
  TFlashSprite& masked = Owner()->AddSprite();
  masked.PlaceObject(mask, 1).ClipDepth(2);
  masked.PlaceObject(visual, 2);
  return PlaceObject(masked, depth);
}

TFlashPlaceVideo& TFlashSprite::PlaceVideo(TFlashVideo& video, uint16_t depth) {
  PlacedVideos.push_back(std::make_unique<TFlashPlaceVideo>(Owner(), video, depth, FFrameCount));
  if (Owner()) Owner()->MoveBefore(video, *this);
  MaxDepth = std::max(MaxDepth, depth);
  return *PlacedVideos.back();
}

TSWFObject& TFlashSprite::RemoveObject(uint16_t depth, const TFlashIDObject* object) {
  if (object) {
    auto tag = std::make_unique<TSWFRemoveObject>();
    tag->CharacterId = object->CharacterId();
    tag->Depth = depth;
    return static_cast<TSWFObject&>(AddObject(std::move(tag)));
  }
  auto tag = std::make_unique<TSWFRemoveObject2>();
  tag->Depth = depth;
  return static_cast<TSWFObject&>(AddObject(std::move(tag)));
}

TSWFStartSound& TFlashSprite::StartSound(uint16_t soundId) {
  auto tag = std::make_unique<TSWFStartSound>();
  tag->ID = soundId;
  return static_cast<TSWFStartSound&>(AddObject(std::move(tag)));
}

void TFlashSprite::ShowFrame(uint16_t count) {
  if (count == 0) count = 1;
  CheckFrameCount(size_t{FFrameCount} + count);
  FFrameCount = static_cast<uint16_t>(FFrameCount + count);
  if (FFrameActions) ObjectList.push_back(std::move(FFrameActions));
  for (uint16_t i = 0; i < count; ++i) ObjectList.push_back(std::make_unique<TSWFShowFrame>());
  CurrentFrameIndex = int32_t{FFrameCount} - 1;
}

TFlashActionScript& TFlashSprite::FrameActions() {
  if (!FFrameActions) FFrameActions = std::make_unique<TFlashActionScript>(Owner());
  return *FFrameActions;
}

TFlashActionScript& TFlashSprite::InitActions() {
  if (!FInitActions) FInitActions = std::make_unique<TFlashActionScript>(Owner());
  return *FInitActions;
}

// ---- writing ---------------------------------------------------------------------------------

int TFlashSprite::MinVersion() const {
  int v = 3;
  for (const auto& object : ObjectList) v = std::max(v, object->MinVersion());
  v = std::max(v, PlacedVideosMinVersion(PlacedVideos));
  // DoInitAction came with version 6; an older player skips it and the actions never run.
  if (FInitActions) v = std::max(v, 6);
  return v;
}

void TFlashSprite::WriteToStream(TBitsEngine& be) {
  if (FFrameCount == 0) ShowFrame(1);
  TMemoryStream body;
  TBitsEngine out(body, be.Context);
  out.WriteWord(CharacterId());
  out.WriteWord(FFrameCount);
  TBodyWriteState state;
  for (const auto& object : ObjectList) {
    if (IsPlainTag(*object, 1)) WritePlacedVideoFrames(PlacedVideos, out, state.FrameNumber++);
    if (object->IsBuilderObject()) static_cast<TFlashObject&>(*object).PrepareBodyWrite(state);
    object->WriteToStream(out);
  }
  if (ObjectList.empty() || !IsEndTag(*ObjectList.back())) out.WriteWord(0);
  be.FlushBits(true);
  WriteTagFromStream(be.Stream, 39, body.Bytes());

  if (FInitActions) {
    TMemoryStream init;
    TBitsEngine initOut(init, be.Context);
    initOut.WriteWord(CharacterId());
    WriteActionList(initOut, FInitActions->Actions());
    WriteTagFromStream(be.Stream, 59, init.Bytes());
  }
}

void TFlashSprite::Assign(const TBasedSWFObject& source) {
  TFlashVisualObject::Assign(source);
  const auto& s = SourceAs<TFlashSprite>(source);
  if (&s == this) return;
  std::vector<std::unique_ptr<TBasedSWFObject>> list;
  list.reserve(s.ObjectList.size());
  for (const auto& entry : s.ObjectList) list.push_back(CloneEntry(*entry));
  ObjectList = std::move(list);
  FFrameCount = s.FFrameCount;
  CurrentFrameIndex = s.CurrentFrameIndex;
  MaxDepth = s.MaxDepth;
  FInitActions.reset();
  if (s.FInitActions) InitActions().Assign(*s.FInitActions);
  PlacedVideos.clear();
  for (const auto& placement : s.PlacedVideos) {
    auto copy = std::make_unique<TFlashPlaceVideo>(placement->Owner(), placement->Video(),
                                                   placement->Depth(), placement->StartFrame());
    copy->Assign(*placement);
    PlacedVideos.push_back(std::move(copy));
  }
}

}  // namespace tw::builder
