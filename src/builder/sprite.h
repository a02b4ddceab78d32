// TFlashSprite: a character with a timeline of its own. It holds the tags and builder objects of
// that timeline (placements, frames, removals, sounds, frame actions) and is written as a
// DefineSprite, followed by a DoInitAction when it has initialisation actions.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "builder/action_script.h"
#include "builder/objects.h"
#include "builder/place_object.h"
#include "builder/video.h"
#include "swf/sound_tags.h"

namespace tw::builder {

class TFlashSprite : public TFlashVisualObject {
 public:
  explicit TFlashSprite(TFlashMovie* owner);
  ~TFlashSprite() override;

  // The sprite's timeline, in order; owns its objects.
  std::vector<std::unique_ptr<swf::TBasedSWFObject>> ObjectList;
  int32_t CurrentFrameIndex = 0;  // FrameCount - 1 as of the last ShowFrame
  uint16_t MaxDepth = 0;          // the highest depth placed in the sprite

  swf::TBasedSWFObject& AddObject(std::unique_ptr<swf::TBasedSWFObject> object);
  // A placement in the sprite (owned by the sprite, made for the sprite's movie). A visual that
  // stands after the sprite in the movie is moved in front of it, so that it is defined first.
  TFlashPlaceObject& PlaceObject(TFlashVisualObject& visual, uint16_t depth);
  TFlashPlaceObject& PlaceObject(uint16_t depth);
  // A new sprite of the movie showing visual through mask (mask at depth 1 clipping depth 2,
  // visual at depth 2), placed in this sprite at the depth.
  TFlashPlaceObject& PlaceMasked(TFlashVisualObject& visual, TFlashVisualObject& mask, uint16_t depth);
  // RemoveObject with the object's id, or RemoveObject2 without one.
  swf::TSWFObject& RemoveObject(uint16_t depth, const TFlashIDObject* object = nullptr);
  swf::TSWFStartSound& StartSound(uint16_t soundId);
  // Closes Count frames (0 counts as 1); pending frame actions go in front of them.
  void ShowFrame(uint16_t count = 1);
  uint16_t FrameCount() const { return FFrameCount; }
  void SetFrameCount(uint16_t value) { FFrameCount = value; }

  // The actions of the sprite frame being built, made on first request.
  TFlashActionScript& FrameActions();
  // Actions run once before the sprite is first used, made on first request.
  TFlashActionScript& InitActions();
  bool HasInitActions() const { return FInitActions != nullptr; }

  // Video placements of the sprite: apart from its timeline, each writes its video's next frame
  // at every sprite frame from the one being built on.
  TPlacedVideoList PlacedVideos;
  TFlashPlaceVideo& PlaceVideo(TFlashVideo& video, uint16_t depth);

  // Copies the timeline (tags and placements cloned), the frame count, the init actions and
  // the video placements.
  void Assign(const swf::TBasedSWFObject& source) override;
  // The highest need of the timeline, at least 3; 6 with init actions.
  int MinVersion() const override;
  // A sprite without frames is written with one.
  void WriteToStream(swf::TBitsEngine& be) override;

 private:
  uint16_t FFrameCount = 0;
  std::unique_ptr<TFlashActionScript> FFrameActions;
  std::unique_ptr<TFlashActionScript> FInitActions;
};

}  // namespace tw::builder
