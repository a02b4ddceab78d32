// TFlashButton: a button character. Its states (up, over, down and the hit area) show builder
// shapes, images, texts or sprites, each with a matrix and a colour transform; scripts run on the
// mouse transitions and on keys; sounds play on four transitions. Written as DefineButton2,
// followed by DefineButtonSound when it has sounds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "builder/action_script.h"
#include "builder/objects.h"
#include "swf/button_tags.h"

namespace tw::builder {

class TFlashImage;
class TFlashSound;

// The transitions a script can run on, as condition bits of the button's tag.
enum TFlashButtonEvent : uint16_t {
  beRollOver = swf::bcIdleToOverUp,
  beRollOut = swf::bcOverUpToIdle,
  bePress = swf::bcOverUpToOverDown,
  beRelease = swf::bcOverDownToOverUp,
  beDragOver = swf::bcOutDownToOverDown,
  beDragOut = swf::bcOverDownToOutDown,
  beReleaseOutside = swf::bcOutDownToIdle,
};

class TFlashButton : public TFlashVisualObject {
 public:
  explicit TFlashButton(TFlashMovie* owner);
  ~TFlashButton() override;

  swf::TSWFDefineButton2& ButtonTag() { return *FTag; }
  const swf::TSWFDefineButton2& ButtonTag() const { return *FTag; }
  // Menu buttons take a press that began on another button.
  void TrackAsMenu(bool value) { FTag->TrackAsMenu = value; }

  // The visual in the states (swf::TSWFButtonState bits) at (x, y) in the owner's units, plus the
  // visual's origin; depth 0 takes the next free one. A visual that stands after the button in
  // the movie is moved in front of it. The record's Matrix and ColorTransform may be changed.
  swf::TSWFButtonRecord& AddRecord(TFlashVisualObject& visual, uint8_t states, int32_t x = 0,
                                   int32_t y = 0, uint16_t depth = 0);
  // An image is shown through a new shape of its size filled with it.
  swf::TSWFButtonRecord& AddRecord(TFlashImage& image, uint8_t states, int32_t x = 0, int32_t y = 0,
                                   uint16_t depth = 0);
  swf::TSWFButtonRecord& Up(TFlashVisualObject& visual) { return AddRecord(visual, swf::bsUp); }
  swf::TSWFButtonRecord& Over(TFlashVisualObject& visual) { return AddRecord(visual, swf::bsOver); }
  swf::TSWFButtonRecord& Down(TFlashVisualObject& visual) { return AddRecord(visual, swf::bsDown); }
  swf::TSWFButtonRecord& Hit(TFlashVisualObject& visual) { return AddRecord(visual, swf::bsHitTest); }

  // The script of the transitions (TFlashButtonEvent bits) or, with a key code, of that key;
  // the same events and key give the same script.
  TFlashActionScript& OnEvent(uint16_t events, uint8_t keyCode = 0);
  TFlashActionScript& OnPress() { return OnEvent(bePress); }
  TFlashActionScript& OnRelease() { return OnEvent(beRelease); }
  TFlashActionScript& OnRollOver() { return OnEvent(beRollOver); }
  TFlashActionScript& OnRollOut() { return OnEvent(beRollOut); }
  TFlashActionScript& OnKeyPress(uint8_t keyCode) { return OnEvent(0, keyCode); }
  // Button-event source ("on(press, release) { ... } on(keyPress \"<Enter>\") { ... }") compiled
  // into the scripts of its events; errors go to the owner's ErrorStream and give false.
  bool CompileActions(std::string_view text);
  bool CompileActionsFile(const std::filesystem::path& fileName);

  // The sound played on a transition (rolling over, out, pressing, releasing). Returns the
  // entry, whose sound info (loops, envelope, stop) may be changed. A sound that stands after
  // the button in the movie is moved in front of it.
  swf::TSWFStartSound& SetSound(swf::TSWFButtonSoundEntry entry, TFlashSound& sound);
  bool HasSounds() const { return FSounds != nullptr; }

  // Copies the records, scripts, sounds and the placement origin.
  void Assign(const swf::TBasedSWFObject& source) override;
  // A button needs version 3, its scripts may need more, filters and blend modes need 8.
  int MinVersion() const override;
  void SetCharacterId(uint16_t id) override;
  void WriteToStream(swf::TBitsEngine& be) override;

 private:
  struct TScript {
    swf::TSWFButtonCondAction* Condition;  // in the tag
    std::unique_ptr<TFlashActionScript> Script;
  };
  swf::TSWFButtonRecord& AddRecordOf(uint16_t characterId, uint8_t states, int32_t x, int32_t y,
                                     uint16_t depth);

  std::unique_ptr<swf::TSWFDefineButton2> FTag;
  std::vector<TScript> FScripts;
  std::unique_ptr<swf::TSWFDefineButtonSound> FSounds;
};

using TFlashButtonList = TFlashObjectList<TFlashButton>;

}  // namespace tw::builder
