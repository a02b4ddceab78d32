// The bases of every builder object: TFlashObject (an object that writes itself as tags),
// TFlashIDObject (a character with an id), TFlashVisualObject (a character that can be placed),
// TFlashStreamSound (what the body assembly needs of a streaming sound), the typed lists a movie
// keeps of the characters it made, and the state the body assembly shares with its objects.
#pragma once

#include <cstdint>
#include <vector>

#include "swf/tag.h"

namespace tw::swf {
class TSWFSoundStreamHead2;
}

namespace tw::builder {

class TFlashMovie;

// What the body assembly of a timeline (a movie's, a sprite's) knows while it walks its objects.
// An object sees it just before it writes itself and may change it.
// The version every object writes for comes with the engine's write context, not from here.
struct TBodyWriteState {
  int32_t FrameNumber = 0;  // frames closed so far
  bool HasPlacement = false;
};

class TFlashObject : public swf::TBasedSWFObject {
 public:
  explicit TFlashObject(TFlashMovie* owner) : FOwner(owner) {}

  TFlashMovie* Owner() const { return FOwner; }
  // Setting the owner always tells the object (shapes pass the movie on to their edges).
  void SetOwner(TFlashMovie* owner) {
    FOwner = owner;
    ChangeOwner();
  }

  // The source must be of the same class; the bases copy nothing of their own.
  void Assign(const swf::TBasedSWFObject& source) override;
  bool IsBuilderObject() const override { return true; }
  virtual void ChangeOwner() {}

  // Called by the body assembly right before WriteToStream. A placement marks the timeline as
  // having a placement; an embedded movie that merges its frames into the timeline counts them.
  virtual void PrepareBodyWrite(TBodyWriteState& state) { (void)state; }
  // A bitmap, sound or font definition: MoveResources gathers these at the start of a frame.
  virtual bool IsResource() const { return false; }

  // The factor from the owner movie's units to twips: 20 for a pixel movie, 1 for a twips
  // movie and for an object without owner.
  int32_t TwipsPerUnit() const;

 protected:
  template <class T>
  static const T& SourceAs(const swf::TBasedSWFObject& source) {
    return dynamic_cast<const T&>(source);
  }

 private:
  TFlashMovie* FOwner;  // refers to; never frees
};

class TFlashIDObject : public TFlashObject {
 public:
  using TFlashObject::TFlashObject;

  virtual uint16_t CharacterId() const { return FCharacterId; }
  // A sprite also puts the id into its DefineSprite tag.
  virtual void SetCharacterId(uint16_t id) { FCharacterId = id; }

  // Takes the source's owner when this object has none, then its id.
  void Assign(const swf::TBasedSWFObject& source) override;

 private:
  uint16_t FCharacterId = 0;  // 0 until a movie hands one out
};

class TFlashVisualObject : public TFlashIDObject {
 public:
  using TFlashIDObject::TFlashIDObject;

  // Added by a placement's SetTranslate to its translation (in the owner's units).
  int32_t OriginX = 0;
  int32_t OriginY = 0;

  void Assign(const swf::TBasedSWFObject& source) override;
};

// The part of a sound that streams: a head at the start of the timeline and one block before
// each ShowFrame. The sound object derives from it; the body assembly drives it.
class TFlashStreamSound : public TFlashIDObject {
 public:
  using TFlashIDObject::TFlashIDObject;

  // The frame from which on the timeline carries the sound's blocks.
  virtual uint16_t StartFrame() const = 0;
  // Fills the head for a timeline of this frame rate and starts a new streaming pass.
  virtual void FillStreamHead(swf::TSWFSoundStreamHead2& head, double fps) = 0;
  // Writes the block of the next frame (or nothing when the sound has ended).
  virtual void WriteStreamBlock(swf::TBitsEngine& be) = 0;
};

// A list of characters of one kind. It does not own them: they live in a movie's ObjectList (or
// in the object that embedded them).
template <class T>
class TFlashObjectList {
 public:
  void Add(T* object) { FItems.push_back(object); }
  size_t Count() const { return FItems.size(); }
  bool Empty() const { return FItems.empty(); }
  T* Items(size_t index) const { return FItems.at(index); }
  T* operator[](size_t index) const { return FItems[index]; }
  // The first item with the id, or null.
  T* FindByID(uint16_t id) const {
    for (T* item : FItems)
      if (item->CharacterId() == id) return item;
    return nullptr;
  }
  T* Last() const { return FItems.empty() ? nullptr : FItems.back(); }
  void Clear() { FItems.clear(); }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 private:
  std::vector<T*> FItems;
};

// The character kinds the movie keeps lists of.
class TFlashShape;
class TFlashImage;
class TFlashSprite;
class TFlashSound;
class TFlashText;
class TFlashFont;

using TFlashShapeList = TFlashObjectList<TFlashShape>;
using TFlashImageList = TFlashObjectList<TFlashImage>;
using TFlashSpriteList = TFlashObjectList<TFlashSprite>;
using TFlashSoundList = TFlashObjectList<TFlashSound>;
using TFlashTextList = TFlashObjectList<TFlashText>;
using TFlashFontList = TFlashObjectList<TFlashFont>;

}  // namespace tw::builder
