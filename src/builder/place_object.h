// TFlashPlaceObject: one display-list entry of a timeline: a character (or none) at a depth,
// with its transform, name, clip depth, ratio, blend mode, filters and, for sprites, clip-event
// actions. Written as PlaceObject2, or as PlaceObject3 when it uses what only that tag has.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "builder/action_script.h"
#include "builder/objects.h"
#include "swf/display_tags.h"

namespace tw::builder {

// One handler of event source ("onClipEvent(load) { ... }", "on(press) { ... }"): its events
// (swf::TSWFClipEvent bits), the key of a keyPress and the text of its body.
struct TEventHandler {
  uint32_t Events = 0;
  uint8_t KeyCode = 0;
  std::string_view Body;
};
// The handlers of the source in order; a fault throws ESWFError with what is read and the line.
std::vector<TEventHandler> SplitEventHandlers(std::string_view text, std::string_view what);

class TFlashPlaceObject : public TFlashObject {
 public:
  // A sprite placement also gets the script that fills its clip actions.
  TFlashPlaceObject(TFlashMovie* owner, uint16_t depth, TFlashVisualObject* visual = nullptr);
  ~TFlashPlaceObject() override;

  swf::TSWFPlaceObject3& PlaceTag() { return *FPlaceTag; }
  const swf::TSWFPlaceObject3& PlaceTag() const { return *FPlaceTag; }
  TFlashVisualObject* PlacedObject() const { return FPlacedObject; }
  // Only for placed sprites (null otherwise).
  swf::TSWFActionList* ClipActionList() { return FClipActionList.get(); }
  TFlashActionScript* ClipActions() { return FClipActions.get(); }

  // The translation in the owner's units (plus the placed object's origin); nothing for (0, 0)
  // on a placement without matrix or move flag.
  void SetTranslate(int32_t x, int32_t y);
  // The same without the origin.
  void SetPosition(int32_t x, int32_t y);
  // Replaces the scale terms.
  void SetScale(double scaleX, double scaleY);
  // Turns the current terms by the angle in degrees.
  void SetRotate(double angle);
  swf::TSWFColorTransform& ColorTransform() { return FPlaceTag->ColorTransform(); }
  swf::TSWFFilterList& Filters() { return FPlaceTag->Filters(); }
  void CacheAsBitmap(bool value) { FPlaceTag->CacheAsBitmap = value; }
  void ClipDepth(uint16_t value) { FPlaceTag->SetClipDepth(value); }
  // An empty name clears it.
  void Name(std::string_view text) { FPlaceTag->SetName(std::string(text)); }
  const std::string& Name() const { return FPlaceTag->Name; }
  void Ratio(uint16_t value) { FPlaceTag->SetRatio(value); }
  void MoveMode(bool flag) { FPlaceTag->Move = flag; }
  // A mode above 1 (not normal) makes the placement a PlaceObject3.
  void BlendMode(uint8_t value) { FPlaceTag->SetBlendMode(value); }
  uint16_t Depth() const { return FPlaceTag->Depth; }
  uint16_t PlacedCharacterId() const { return FPlaceTag->CharacterId; }

  // A clip-action record for the events (swf::TSWFClipEvent bits).
  swf::TSWFClipActionRecord& AddClipAction(uint32_t events, uint8_t keyCode = 0);
  // Placed sprites only: the first record whose events include the event; made when missing
  // and create is true.
  swf::TSWFClipActionRecord* FindClipAction(uint32_t event, bool create);
  // Placed sprites only: the script pointed at the actions of the event's record (made when
  // missing); null otherwise.
  TFlashActionScript* OnClipEvent(uint32_t event);
  TFlashActionScript* OnRelease() { return OnClipEvent(swf::ceRelease); }
  // Clip-event source ("onClipEvent(load) { ... }", "on(release) { ... }") compiled into the
  // clip actions; errors go to the owner's ErrorStream and give false.
  bool CompileClipActions(std::string_view text);
  bool CompileClipActions(swf::TMemoryStream& source);
  bool CompileClipActionsFile(const std::filesystem::path& fileName);

  // Blend mode, filters, bitmap caching, visibility, background, class name or image: what
  // only a PlaceObject3 carries.
  bool WritesPlaceObject3() const;

  void Assign(const swf::TBasedSWFObject& source) override;
  // 8 for a PlaceObject3, 5 with clip actions, else 3.
  int MinVersion() const override;
  void WriteToStream(swf::TBitsEngine& be) override;
  // The version decides the width of the clip-event flags.
  void PrepareBodyWrite(TBodyWriteState& state) override;

 private:
  std::unique_ptr<swf::TSWFPlaceObject3> FPlaceTag;
  TFlashVisualObject* FPlacedObject;  // refers to; never frees
  std::unique_ptr<swf::TSWFActionList> FClipActionList;
  std::unique_ptr<TFlashActionScript> FClipActions;
};

}  // namespace tw::builder
