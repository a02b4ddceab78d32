// TFlashMorphShape: a shape that changes from a start outline into an end outline as the ratio of
// its placement goes from 0 to 65535. Both ends are builder shapes drawn with the same edge
// operations; their fills and lines pair up in order. Written as DefineMorphShape, or as
// DefineMorphShape2 when a focal gradient or a wide line style (caps, joins, scaling) needs it.
#pragma once

#include <cstdint>
#include <memory>

#include "builder/objects.h"
#include "builder/shape.h"
#include "swf/shape_tags.h"

namespace tw::builder {

class TFlashMorphShape : public TFlashVisualObject {
 public:
  explicit TFlashMorphShape(TFlashMovie* owner);
  ~TFlashMorphShape() override;

  // The two ends. They are drawn and styled as any shape (in the owner's units); their bounds
  // come from their edges unless set. A bitmap fill moves its image in front of the morph shape.
  TFlashShape& StartShape() { return *FStart; }
  TFlashShape& EndShape() { return *FEnd; }
  const TFlashShape& StartShape() const { return *FStart; }
  const TFlashShape& EndShape() const { return *FEnd; }

  // A focal gradient or a wide line style at either end.
  bool NeedsMorphShape2() const;
  // The tag of the two ends. Throws ESWFError when they do not pair up: a different number of
  // edges or moves, styles of different number or kind, or a style change midway.
  std::unique_ptr<swf::TSWFDefineMorphShape> BuildTag() const;

  // Copies the placement origin and both ends (records and styles).
  void Assign(const swf::TBasedSWFObject& source) override;
  // A morph shape needs version 3; the second form needs 8.
  int MinVersion() const override { return NeedsMorphShape2() ? 8 : 3; }
  void WriteToStream(swf::TBitsEngine& be) override;
  void ChangeOwner() override;

 private:
  std::unique_ptr<TFlashShape> FStart, FEnd;
};

using TFlashMorphShapeList = TFlashObjectList<TFlashMorphShape>;

}  // namespace tw::builder
