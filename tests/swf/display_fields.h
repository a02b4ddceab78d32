// Every field of a placement, removal or button tag as text, so that two objects (a tag and its
// copy, or a tag and what our encoding of it reads back to) can be compared in one assertion
// whose failure shows where they differ.
#pragma once

#include <cstdio>
#include <string>

#include "swf/button_tags.h"
#include "swf/display_tags.h"

namespace tw::test {

inline std::string FieldText(const swf::TSWFColorTransform& c) {
  return std::string(c.HasAlpha ? "alpha " : "") + swf::ColorTransformText(c);
}

inline std::string FieldText(const swf::TSWFRGBA& c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X%02X", c.R, c.G, c.B, c.A);
  return buf;
}

inline std::string FieldText(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

inline std::string FieldText(const swf::TSWFFilter& f) {
  using namespace swf;
  std::string s = FilterName(f.FilterID);
  auto add = [&s](const std::string& t) { s += " " + t; };
  if (const auto* d = dynamic_cast<const TSWFDropShadowFilter*>(&f)) {
    add(FieldText(d->Color));
    for (double v : {d->BlurX, d->BlurY, d->Angle, d->Distance, d->Strength}) add(FieldText(v));
    add(std::to_string(d->InnerShadow) + std::to_string(d->Knockout) +
        std::to_string(d->CompositeSource) + " passes " + std::to_string(d->Passes));
  } else if (const auto* g = dynamic_cast<const TSWFGlowFilter*>(&f)) {
    add(FieldText(g->Color));
    for (double v : {g->BlurX, g->BlurY, g->Strength}) add(FieldText(v));
    add(std::to_string(g->InnerGlow) + std::to_string(g->Knockout) +
        std::to_string(g->CompositeSource) + " passes " + std::to_string(g->Passes));
  } else if (const auto* b = dynamic_cast<const TSWFBlurFilter*>(&f)) {
    for (double v : {b->BlurX, b->BlurY}) add(FieldText(v));
    add("passes " + std::to_string(b->Passes) + " reserved " + std::to_string(b->ReservedBits));
  } else if (const auto* v = dynamic_cast<const TSWFBevelFilter*>(&f)) {
    add(FieldText(v->ShadowColor));
    add(FieldText(v->HighlightColor));
    for (double x : {v->BlurX, v->BlurY, v->Angle, v->Distance, v->Strength}) add(FieldText(x));
    add(std::to_string(v->InnerShadow) + std::to_string(v->Knockout) +
        std::to_string(v->CompositeSource) + std::to_string(v->OnTop) + " passes " +
        std::to_string(v->Passes));
  } else if (const auto* gg = dynamic_cast<const TSWFGradientGlowFilter*>(&f)) {
    for (const auto& stop : gg->Stops) add(std::to_string(stop.Ratio) + ":" + FieldText(stop.Color));
    for (double x : {gg->BlurX, gg->BlurY, gg->Angle, gg->Distance, gg->Strength}) add(FieldText(x));
    add(std::to_string(gg->InnerShadow) + std::to_string(gg->Knockout) +
        std::to_string(gg->CompositeSource) + std::to_string(gg->OnTop) + " passes " +
        std::to_string(gg->Passes));
  } else if (const auto* c = dynamic_cast<const TSWFConvolutionFilter*>(&f)) {
    add(std::to_string(c->MatrixX) + "x" + std::to_string(c->MatrixY));
    add(FieldText(c->Divisor));
    add(FieldText(c->Bias));
    for (float x : c->Matrix) add(FieldText(x));
    add(FieldText(c->DefaultColor));
    add(std::to_string(c->Clamp) + std::to_string(c->PreserveAlpha) + " reserved " +
        std::to_string(c->ReservedBits));
  } else if (const auto* m = dynamic_cast<const TSWFColorMatrixFilter*>(&f)) {
    for (float x : m->Values) add(FieldText(x));
  }
  return s;
}

// An action list by the bytes it writes: a copy keeps the numbers of branches read from a file
// instead of linking them to its markers, so the listing of a copy may differ in its labels.
inline std::string FieldText(const swf::TSWFActionList& actions) {
  swf::TMemoryStream s;
  swf::TBitsEngine be(s);
  swf::WriteActionList(be, const_cast<swf::TSWFActionList&>(actions));
  std::string hex;
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (uint8_t b : s.Bytes()) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return std::to_string(actions.Count()) + " records: " + hex;
}

inline std::string FieldText(const swf::TSWFFilterList* list) {
  if (!list) return "none";
  std::string s = std::to_string(list->Count()) + " filters";
  for (const auto& f : *list) s += "\n    " + FieldText(*f);
  return s;
}

inline std::string FieldText(const swf::TSWFButtonRecord& r) {
  std::string s = "record states " + std::to_string(r.States) + " reserved " +
                  std::to_string(r.ReservedFlags) + " character " +
                  std::to_string(r.CharacterId) + " depth " + std::to_string(r.PlaceDepth) +
                  " matrix " + swf::MatrixText(r.Matrix);
  if (r.HasColorTransform && r.FindColorTransform())
    s += " cxform " + FieldText(*r.FindColorTransform());
  if (r.HasBlendMode) s += " blend " + std::to_string(r.BlendMode);
  if (r.HasFilterList) s += " " + FieldText(r.FindFilters());
  return s;
}

// Every field of the tags of this family; other tags give their class name only.
inline std::string DisplayFieldsText(const swf::TSWFObject& tag) {
  using namespace swf;
  std::string s = std::to_string(tag.TagID);
  if (const auto* p = dynamic_cast<const TSWFPlaceObject*>(&tag)) {
    s += " depth " + std::to_string(p->Depth) + " character " + std::to_string(p->CharacterId) +
         " matrix " + MatrixText(p->Matrix);
    if (p->HasColorTransform) s += " cxform " + FieldText(p->ColorTransform);
  }
  if (const auto* p = dynamic_cast<const TSWFPlaceObject2*>(&tag)) {
    s += " depth " + std::to_string(p->Depth) + " move " + std::to_string(p->Move);
    if (p->HasCharacter) s += " character " + std::to_string(p->CharacterId);
    if (p->HasMatrix && p->FindMatrix()) s += " matrix " + MatrixText(*p->FindMatrix());
    if (p->HasColorTransform && p->FindColorTransform())
      s += " cxform " + FieldText(*p->FindColorTransform());
    if (p->HasRatio) s += " ratio " + std::to_string(p->Ratio);
    if (p->HasName) s += " name " + p->Name;
    if (p->HasClipDepth) s += " clipdepth " + std::to_string(p->ClipDepth);
    if (const auto* clip = p->FindClipActions(); clip && p->HasClipActions) {
      s += "\n  all events " + ClipEventNames(clip->AllEventFlags);
      for (const auto& r : clip->Records)
        s += "\n  on " + ClipEventNames(r->EventFlags) + " key " + std::to_string(r->KeyCode) +
             " end " + std::to_string(r->EndCode) + " " + FieldText(r->Actions);
    }
  }
  if (const auto* p = dynamic_cast<const TSWFPlaceObject3*>(&tag)) {
    s += "\n  reserved " + std::to_string(p->Reserved) + " image " + std::to_string(p->HasImage);
    if (p->HasClassName) s += " class " + p->ClassName;
    if (p->HasBlendMode) s += " blend " + std::to_string(p->BlendMode);
    if (p->CacheAsBitmap) s += " cache " + std::to_string(p->BitmapCache);
    if (p->HasVisible) s += " visible " + std::to_string(p->Visible);
    if (p->HasOpaqueBackground) s += " background " + FieldText(p->OpaqueBackground);
    if (p->HasFilterList) s += " " + FieldText(p->FindFilters());
  }
  if (const auto* r = dynamic_cast<const TSWFRemoveObject*>(&tag))
    s += " character " + std::to_string(r->CharacterId) + " depth " + std::to_string(r->Depth);
  if (const auto* r = dynamic_cast<const TSWFRemoveObject2*>(&tag))
    s += " depth " + std::to_string(r->Depth);
  if (const auto* b = dynamic_cast<const TSWFBasedButton*>(&tag)) {
    s += " id " + std::to_string(b->ButtonId);
    for (const auto& r : b->Records) s += "\n  " + FieldText(*r);
  }
  if (const auto* b = dynamic_cast<const TSWFDefineButton*>(&tag))
    s += "\n  end " + std::to_string(b->EndCode) + " " +
         FieldText(b->Actions);
  if (const auto* b = dynamic_cast<const TSWFDefineButton2*>(&tag)) {
    s += "\n  menu " + std::to_string(b->TrackAsMenu) + " reserved " +
         std::to_string(b->ReservedFlags);
    for (const auto& a : b->CondActions)
      s += "\n  on " + ButtonConditionNames(a->Conditions) + " key " +
           std::to_string(a->KeyPress) + " end " + std::to_string(a->EndCode) + " " +
           FieldText(a->Actions);
  }
  if (const auto* c = dynamic_cast<const TSWFDefineButtonCxform*>(&tag))
  {
    s += " button " + std::to_string(c->ButtonId) + " cxform " + FieldText(c->ColorTransform);
    for (const auto& t : c->FurtherTransforms) s += " cxform " + FieldText(t);
  }
  if (const auto* bs = dynamic_cast<const TSWFDefineButtonSound*>(&tag)) {
    s += " button " + std::to_string(bs->ButtonId);
    for (uint8_t e = 0; e < 4; ++e) {
      const TSWFStartSound* sound = bs->FindSound(static_cast<TSWFButtonSoundEntry>(e));
      if (!sound) continue;
      TSWFFields f;
      sound->Describe(f);
      s += "\n  entry " + std::to_string(e);
      for (const auto& [k, v] : f) s += " " + k + "=" + v;
    }
  }
  return s;
}

}  // namespace tw::test
