// Display-list tags: PlaceObject, PlaceObject2 and PlaceObject3 with their clip actions, filters,
// blend mode and bitmap caching; RemoveObject and RemoveObject2. ShowFrame is a control tag and
// DefineSprite lives in sprite.h.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "swf/actions.h"
#include "swf/filters.h"
#include "swf/tag.h"

namespace tw::swf {

// Clip events as a placement keeps them (the file's CLIPEVENTFLAGS order differs, see
// display_tags.cpp). The bits above ceDragOut hold the reserved bits of the file as found.
enum TSWFClipEvent : uint32_t {
  ceKeyUp = 0x1,
  ceKeyDown = 0x2,
  ceMouseUp = 0x4,
  ceMouseDown = 0x8,
  ceMouseMove = 0x10,
  ceUnload = 0x20,
  ceEnterFrame = 0x40,
  ceLoad = 0x80,
  ceDragOver = 0x100,
  ceRollOut = 0x200,
  ceRollOver = 0x400,
  ceReleaseOutside = 0x800,
  ceRelease = 0x1000,
  cePress = 0x2000,
  ceInitialize = 0x4000,
  ceData = 0x8000,
  ceConstruct = 0x10000,  // version 6 and later
  ceKeyPress = 0x20000,   // version 6 and later
  ceDragOut = 0x40000,    // version 6 and later
};

// The event names of a set, comma-separated ("EnterFrame,Load"); reserved bits as "0x...".
std::string ClipEventNames(uint32_t events);
// The file's CLIPEVENTFLAGS value (first byte lowest) of an event set, and back.
uint32_t ClipEventsToWire(uint32_t events);
uint32_t ClipEventsFromWire(uint32_t wire);

// The actions one set of clip events runs.
class TSWFClipActionRecord {
 public:
  uint32_t EventFlags = 0;  // TSWFClipEvent bits
  uint8_t KeyCode = 0;      // written only with ceKeyPress
  TSWFActionList Actions;
  // The actions end with their End code. Movies carry records without one (a key press with
  // no actions at all); such a record is written without it again.
  bool EndCode = true;

  // A nonzero key code also sets ceKeyPress, zero clears it.
  void SetKeyCode(uint8_t code);
  void Assign(const TSWFClipActionRecord& source);
};

class TSWFClipActions {
 public:
  uint16_t Reserved = 0;       // the word before AllEventFlags, kept as read
  uint32_t AllEventFlags = 0;  // TSWFClipEvent bits: every event of the records
  std::vector<std::unique_ptr<TSWFClipActionRecord>> Records;
  // A list a movie carries without a record is written back as read; one the program leaves
  // empty is not written.
  bool WrittenWhenEmpty = false;
  // Bytes a movie carries after the end of the records, kept as read and written back.
  std::vector<uint8_t> Trailing;

  // Appends a record for the events with the key code and adds the record's events (with the
  // key press a nonzero key code adds) to AllEventFlags.
  TSWFClipActionRecord& AddClipAction(uint32_t flags, uint8_t keyCode = 0);
  // The first record whose events include all of these; null when there is none.
  TSWFClipActionRecord* FindClipAction(uint32_t events);
  size_t Count() const { return Records.size(); }
  bool Empty() const { return Records.empty(); }
  void Assign(const TSWFClipActions& source);
};

// ---- placements ------------------------------------------------------------------------------

class TSWFBasedPlaceObject : public TSWFObject {
 public:
  uint16_t CharacterId = 0;
  uint16_t Depth = 0;

  // PlaceObject2 and 3 also mark the placement as carrying a character.
  virtual void SetCharacterId(uint16_t id) { CharacterId = id; }
  void Assign(const TBasedSWFObject& source) override;

 protected:
  using TSWFObject::TSWFObject;
};

class TSWFPlaceObject : public TSWFBasedPlaceObject {
 public:
  TSWFPlaceObject() : TSWFBasedPlaceObject(4) {}

  TSWFColorTransform ColorTransform;  // without alpha
  bool HasColorTransform = false;     // the file carried one
  TSWFMatrix Matrix;

  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override { visit(CharacterId); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

class TSWFPlaceObject2 : public TSWFBasedPlaceObject {
 public:
  TSWFPlaceObject2() : TSWFPlaceObject2(26) {}

  uint16_t ClipDepth = 0;
  std::string Name;  // the instance name, bytes as in the file
  bool ParseActions = false;
  bool HasCharacter = false, HasClipActions = false, HasClipDepth = false,
       HasColorTransform = false, HasMatrix = false, HasName = false, HasRatio = false,
       Move = false;
  uint16_t Ratio = 0;

  // Created on first access, which sets the presence flag; Find* gives null when absent.
  TSWFClipActions& ClipActions();
  const TSWFClipActions* FindClipActions() const { return FClipActions.get(); }
  TSWFColorTransform& ColorTransform();  // with alpha
  const TSWFColorTransform* FindColorTransform() const { return FColorTransform.get(); }
  TSWFMatrix& Matrix();
  const TSWFMatrix* FindMatrix() const { return FMatrix.get(); }

  void SetCharacterId(uint16_t id) override;
  void SetClipDepth(uint16_t depth) { ClipDepth = depth; HasClipDepth = true; }
  void SetRatio(uint16_t ratio) { Ratio = ratio; HasRatio = true; }
  void SetName(std::string name) { Name = std::move(name); HasName = !Name.empty(); }
  // Clip actions that will be written: present and not empty.
  bool WritesClipActions() const;

  // Deep: the matrix, the colour transform and the clip actions are cloned; what the source
  // lacks, the copy lacks too.
  void Assign(const TBasedSWFObject& source) override;
  // 3; with clip actions 5, and 6 when they use an event that came with 6.
  int MinVersion() const override;
  void SetReadContext(const TSWFReadContext& context) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  explicit TSWFPlaceObject2(uint16_t tagID) : TSWFBasedPlaceObject(tagID) {}
  // The PlaceObject3 fields around the common ones.
  virtual void ReadExtrasAfterFlags(TBitsEngine& be) { (void)be; }
  virtual void ReadExtrasAfterDepth(TBitsEngine& be) { (void)be; }
  virtual void ReadExtrasAfterClipDepth(TBitsEngine& be) { (void)be; }
  virtual void WriteExtrasAfterFlags(TBitsEngine& be) { (void)be; }
  virtual void WriteExtrasAfterDepth(TBitsEngine& be) { (void)be; }
  virtual void WriteExtrasAfterClipDepth(TBitsEngine& be) { (void)be; }

 private:
  void ReadClipActions(TBitsEngine& be);
  void WriteClipActions(TBitsEngine& be);

  std::unique_ptr<TSWFClipActions> FClipActions;
  std::unique_ptr<TSWFColorTransform> FColorTransform;
  std::unique_ptr<TSWFMatrix> FMatrix;
  // The version of the movie being read: clip event flags take 2 bytes before 6 and 4 from then
  // on. Writing takes the version from the write context instead.
  uint8_t FReadVersion = 5;
};

// Blend modes: 0 and 1 normal, 2 layer, 3 multiply, 4 screen, 5 lighten, 6 darken,
// 7 difference, 8 add, 9 subtract, 10 invert, 11 alpha, 12 erase, 13 overlay, 14 hardlight.
class TSWFPlaceObject3 : public TSWFPlaceObject2 {
 public:
  TSWFPlaceObject3() : TSWFPlaceObject2(70) {}

  uint8_t BlendMode = 0;
  bool CacheAsBitmap = false;
  // The byte that follows the blend mode when CacheAsBitmap is set (nonzero: cache).
  uint8_t BitmapCache = 1;
  bool HasBlendMode = false, HasFilterList = false;
  // Write the body of a PlaceObject2 (the builder sets this with TagID 26 for a placement that
  // uses no blend mode, filters or bitmap caching).
  bool SaveAsPlaceObject2 = false;
  bool HasImage = false, HasClassName = false;
  std::string ClassName;
  // Visibility and the opaque background colour (version 11 and later).
  bool HasVisible = false;
  uint8_t Visible = 1;
  bool HasOpaqueBackground = false;
  TSWFRGBA OpaqueBackground{true};
  bool Reserved = false;  // the top bit of the second flags byte, kept as found

  TSWFFilterList& Filters();  // created on first access, which sets HasFilterList
  const TSWFFilterList* FindFilters() const { return FFilters.get(); }
  void SetClassName(std::string name) { ClassName = std::move(name); HasClassName = !ClassName.empty(); }
  // A mode above 1 (not "normal") marks the blend mode present.
  void SetBlendMode(uint8_t mode) { BlendMode = mode; HasBlendMode = mode > 1; }

  void Assign(const TBasedSWFObject& source) override;
  // 9 with an image or a class name, else 8.
  int MinVersion() const override { return HasImage || HasClassName ? 9 : 8; }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  void ReadExtrasAfterFlags(TBitsEngine& be) override;
  void ReadExtrasAfterDepth(TBitsEngine& be) override;
  void ReadExtrasAfterClipDepth(TBitsEngine& be) override;
  void WriteExtrasAfterFlags(TBitsEngine& be) override;
  void WriteExtrasAfterDepth(TBitsEngine& be) override;
  void WriteExtrasAfterClipDepth(TBitsEngine& be) override;

 private:
  bool WritesFilters() const { return HasFilterList && FFilters && !FFilters->Empty(); }

  std::unique_ptr<TSWFFilterList> FFilters;
};

// ---- removals --------------------------------------------------------------------------------

class TSWFRemoveObject : public TSWFObject {
 public:
  TSWFRemoveObject() : TSWFObject(5) {}

  uint16_t CharacterId = 0;
  uint16_t Depth = 0;

  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override { visit(CharacterId); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

class TSWFRemoveObject2 : public TSWFObject {
 public:
  TSWFRemoveObject2() : TSWFObject(28) {}

  uint16_t Depth = 0;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

// Action lists inside placements and buttons. Reading takes the bytes of one list (its End code
// included when it has one), decoded or kept as one raw record, and tells whether they end with
// the End code; writing writes the End code only then, so that a list read without one comes
// back as it was.
bool ReadTagActions(std::span<const uint8_t> bytes, TSWFActionList& list, bool parse);
// What ReadTagActions tells of the bytes, without building the records.
bool TagActionsEndCode(std::span<const uint8_t> bytes, bool parse);
void WriteTagActions(TBitsEngine& be, TSWFActionList& list, bool endCode);

// A colour transform as the file holds it. The record's setters clamp to the range a builder
// should use, but a file may carry any value its bits hold (a multiply of 512 doubles a colour),
// so reading goes around them.
TSWFColorTransform ReadColorTransformAsIs(TBitsEngine& be, bool hasAlpha);

// Shared by the dump of placements and button records.
std::string MatrixText(const TSWFMatrix& m);
std::string ColorTransformText(const TSWFColorTransform& c);

}  // namespace tw::swf
