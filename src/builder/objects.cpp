#include "builder/objects.h"

#include "builder/movie.h"

namespace tw::builder {

void TFlashObject::Assign(const swf::TBasedSWFObject& source) { (void)SourceAs<TFlashObject>(source); }

int32_t TFlashObject::TwipsPerUnit() const { return FOwner ? FOwner->TwipsPerUnit() : 1; }

void TFlashIDObject::Assign(const swf::TBasedSWFObject& source) {
  TFlashObject::Assign(source);
  const auto& s = SourceAs<TFlashIDObject>(source);
  if (!Owner() && s.Owner()) SetOwner(s.Owner());
  SetCharacterId(s.CharacterId());
}

void TFlashVisualObject::Assign(const swf::TBasedSWFObject& source) {
  TFlashIDObject::Assign(source);
  const auto& s = SourceAs<TFlashVisualObject>(source);
  OriginX = s.OriginX;
  OriginY = s.OriginY;
}

}  // namespace tw::builder
