#include "builder/morph_shape.h"

#include <algorithm>
#include <string>
#include <vector>

#include "builder/movie.h"
#include "swf/errors.h"

namespace tw::builder {

using namespace tw::swf;

namespace {

[[noreturn]] void Mismatch(const std::string& what) {
  throw ESWFError("The start and end shapes of the morph shape do not match: " + what);
}

// Morph colours are always written with alpha.
TSWFRGBA WithAlpha(const TSWFRGBA& c) {
  TSWFRGBA out(true);
  out.R = c.R, out.G = c.G, out.B = c.B;
  out.A = c.A;
  return out;
}

std::unique_ptr<TSWFMorphFillStyle> MorphGradient(const TSWFGradientFill& s, const TSWFGradientFill& e,
                                                  const std::string& name) {
  if (s.Count != e.Count) Mismatch(name + " has " + std::to_string(s.Count) + " colours at the start and " +
                                   std::to_string(e.Count) + " at the end");
  std::unique_ptr<TSWFMorphGradientFill> m;
  if (s.FillType == kFillFocalGradient) {
    auto focal = std::make_unique<TSWFMorphFocalGradientFill>();
    focal->StartFocalPoint = static_cast<const TSWFFocalGradientFill&>(s).FocalPoint;
    focal->EndFocalPoint = static_cast<const TSWFFocalGradientFill&>(e).FocalPoint;
    m = std::move(focal);
  } else {
    m = std::make_unique<TSWFMorphGradientFill>();
    m->FillType = s.FillType;
  }
  m->SpreadMode = s.SpreadMode;
  m->InterpolationMode = s.InterpolationMode;
  m->StartMatrix = s.Matrix;
  m->EndMatrix = e.Matrix;
  for (int n = 1; n <= s.Count; ++n) {
    m->SetStartRatio(n, s.Record(n).Ratio);
    m->SetEndRatio(n, e.Record(n).Ratio);
    m->StartColor(n) = WithAlpha(s.Record(n).Color);
    m->EndColor(n) = WithAlpha(e.Record(n).Color);
  }
  return m;
}

std::unique_ptr<TSWFMorphFillStyle> MorphFill(const TSWFFillStyle& s, const TSWFFillStyle& e,
                                              const std::string& name) {
  if (s.FillType != e.FillType) Mismatch(name + " is of another kind at the end");
  if (s.FillType == kFillSolid) {
    auto m = std::make_unique<TSWFMorphColorFill>();
    m->StartColor = WithAlpha(static_cast<const TSWFColorFill&>(s).Color);
    m->EndColor = WithAlpha(static_cast<const TSWFColorFill&>(e).Color);
    return m;
  }
  if (IsGradientFillType(s.FillType))
    return MorphGradient(static_cast<const TSWFGradientFill&>(s), static_cast<const TSWFGradientFill&>(e), name);
  const auto& si = static_cast<const TSWFImageFill&>(s);
  const auto& ei = static_cast<const TSWFImageFill&>(e);
  if (si.ID != ei.ID) Mismatch(name + " shows another bitmap at the end");
  auto m = std::make_unique<TSWFMorphImageFill>();
  m->FillType = s.FillType;
  m->ID = si.ID;
  m->StartMatrix = si.Matrix;
  m->EndMatrix = ei.Matrix;
  return m;
}

std::unique_ptr<TSWFMorphLineStyle> MorphLine(const TSWFLineStyle& s, const TSWFLineStyle& e, bool wide,
                                              const std::string& name) {
  std::unique_ptr<TSWFMorphLineStyle> m;
  if (wide) {
    auto m2 = std::make_unique<TSWFMorphLineStyle2>();
    const auto* s2 = dynamic_cast<const TSWFLineStyle2*>(&s);
    const auto* e2 = dynamic_cast<const TSWFLineStyle2*>(&e);
    // Caps, joins and flags cannot morph: the start's (or else the end's) hold throughout.
    if (const TSWFLineStyle2* flags = s2 ? s2 : e2) {
      m2->StartCapStyle = flags->StartCapStyle;
      m2->JoinStyle = flags->JoinStyle;
      m2->NoClose = flags->NoClose;
      m2->NoHScaleFlag = flags->NoHScaleFlag;
      m2->NoVScaleFlag = flags->NoVScaleFlag;
      m2->PixelHintingFlag = flags->PixelHintingFlag;
      m2->EndCapStyle = flags->EndCapStyle;
      m2->MiterLimitFactor = flags->MiterLimitFactor;
    }
    const TSWFFillStyle* startFill = s2 && s2->HasFillFlag ? s2->FillStyle() : nullptr;
    const TSWFFillStyle* endFill = e2 && e2->HasFillFlag ? e2->FillStyle() : nullptr;
    if ((startFill != nullptr) != (endFill != nullptr)) Mismatch(name + " is filled at one end only");
    if (startFill) {
      m2->HasFillFlag = true;
      auto fill = MorphFill(*startFill, *endFill, name + "'s fill");
      m2->FillStyle(fill->FillType)->Assign(*fill);
    }
    m = std::move(m2);
  } else {
    m = std::make_unique<TSWFMorphLineStyle>();
  }
  m->StartWidth = s.Width;
  m->EndWidth = e.Width;
  m->StartColor = WithAlpha(s.Color);
  m->EndColor = WithAlpha(e.Color);
  return m;
}

// The records of an outline without its end records.
std::vector<const TSWFShapeRecord*> Steps(const TShapeRecordList& records) {
  std::vector<const TSWFShapeRecord*> steps;
  for (const auto& r : records)
    if (r->Kind != TShapeRecordKind::End) steps.push_back(r.get());
  return steps;
}

// A straight edge as the curve that the other end has in its place: the control point halfway.
std::unique_ptr<TSWFShapeRecord> AsCurve(const TSWFShapeRecord& record) {
  if (record.Kind == TShapeRecordKind::CurvedEdge) return record.Clone();
  const auto& line = static_cast<const TSWFStraightEdgeRecord&>(record);
  return std::make_unique<TSWFCurvedEdgeRecord>(line.X / 2, line.Y / 2, line.X - line.X / 2, line.Y - line.Y / 2);
}

TPoint Advance(TPoint pen, const TSWFShapeRecord& record) {
  if (record.Kind == TShapeRecordKind::CurvedEdge) {
    const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(record);
    return {pen.X + c.ControlX + c.AnchorX, pen.Y + c.ControlY + c.AnchorY};
  }
  const auto& s = static_cast<const TSWFStraightEdgeRecord&>(record);
  return {pen.X + s.X, pen.Y + s.Y};
}

// Both outlines record by record. A move of the start keeps its styles and moves explicitly; the
// end's move carries the position alone (the end's styles are the start's).
void PairEdges(const TShapeRecordList& start, const TShapeRecordList& end, TShapeRecordList& startOut,
               TShapeRecordList& endOut) {
  const auto s = Steps(start), e = Steps(end);
  if (s.size() != e.size())
    Mismatch("the start has " + std::to_string(s.size()) + " edges and moves, the end " + std::to_string(e.size()));
  TPoint ps, pe;
  for (size_t i = 0; i < s.size(); ++i) {
    const bool moveS = s[i]->Kind == TShapeRecordKind::StyleChange;
    const bool moveE = e[i]->Kind == TShapeRecordKind::StyleChange;
    if (moveS != moveE) Mismatch("record " + std::to_string(i + 1) + " is a move at one end and an edge at the other");
    if (moveS) {
      const auto& a = static_cast<const TSWFStyleChangeRecord&>(*s[i]);
      const auto& b = static_cast<const TSWFStyleChangeRecord&>(*e[i]);
      if (a.StateNewStyles || b.StateNewStyles) Mismatch("a morph shape cannot bring in new styles midway");
      if (a.StateMoveTo) ps = {a.X, a.Y};
      if (b.StateMoveTo) pe = {b.X, b.Y};
      auto copy = a.Clone();
      static_cast<TSWFStyleChangeRecord&>(*copy).SetMoveTo(ps.X, ps.Y);
      startOut.push_back(std::move(copy));
      auto move = std::make_unique<TSWFStyleChangeRecord>();
      move->SetMoveTo(pe.X, pe.Y);
      endOut.push_back(std::move(move));
      continue;
    }
    if (s[i]->Kind == e[i]->Kind) {
      startOut.push_back(s[i]->Clone());
      endOut.push_back(e[i]->Clone());
    } else {
      startOut.push_back(AsCurve(*s[i]));
      endOut.push_back(AsCurve(*e[i]));
    }
    ps = Advance(ps, *s[i]);
    pe = Advance(pe, *e[i]);
  }
  startOut.push_back(std::make_unique<TSWFEndShapeRecord>());
  endOut.push_back(std::make_unique<TSWFEndShapeRecord>());
}

// The shape's own bounds when set, else those of its edges; widened by half its widest line.
TRect ShapeBounds(const TFlashShape& shape, const TRect& edges) {
  const TSWFRect& b = shape.Bounds;
  TRect r = b.XMin() == 0 && b.XMax() == 0 && b.YMin() == 0 && b.YMax() == 0
                ? edges
                : TRect{b.XMin(), b.YMin(), b.XMax(), b.YMax()};
  uint16_t widest = 0;
  for (const auto& line : shape.LineStyles) widest = std::max(widest, line->Width);
  const int32_t half = widest / 2;
  return {r.Left - half, r.Top - half, r.Right + half, r.Bottom + half};
}

void CopyShape(const TFlashShape& source, TFlashShape& target) {
  target.Records.clear();
  for (const auto& r : source.Records) target.Records.push_back(r->Clone());
  target.FillStyles.clear();
  for (const auto& f : source.FillStyles) target.FillStyles.push_back(f->Clone());
  target.LineStyles.clear();
  for (const auto& l : source.LineStyles) target.LineStyles.push_back(l->Clone());
  target.Bounds = source.Bounds;
  target.Assign(source);
  target.Edges().CurrentPos = source.Edges().CurrentPos;
  target.Edges().LastMoveTo = source.Edges().LastMoveTo;
}

}  // namespace

TFlashMorphShape::TFlashMorphShape(TFlashMovie* owner)
    : TFlashVisualObject(owner),
      FStart(std::make_unique<TFlashShape>(owner)),
      FEnd(std::make_unique<TFlashShape>(owner)) {
  FStart->SetDefinedBy(this);
  FEnd->SetDefinedBy(this);
}

TFlashMorphShape::~TFlashMorphShape() = default;

void TFlashMorphShape::ChangeOwner() {
  FStart->SetOwner(Owner());
  FEnd->SetOwner(Owner());
}

bool TFlashMorphShape::NeedsMorphShape2() const {
  for (const TFlashShape* shape : {FStart.get(), FEnd.get()}) {
    for (const auto& fill : shape->FillStyles)
      if (fill->FillType == kFillFocalGradient) return true;
    for (const auto& line : shape->LineStyles)
      if (dynamic_cast<const TSWFLineStyle2*>(line.get())) return true;
  }
  return false;
}

std::unique_ptr<TSWFDefineMorphShape> TFlashMorphShape::BuildTag() const {
  const TFlashShape &s = *FStart, &e = *FEnd;
  if (s.FillStyles.size() != e.FillStyles.size())
    Mismatch("the start has " + std::to_string(s.FillStyles.size()) + " fill styles, the end " +
             std::to_string(e.FillStyles.size()));
  if (s.LineStyles.size() != e.LineStyles.size())
    Mismatch("the start has " + std::to_string(s.LineStyles.size()) + " line styles, the end " +
             std::to_string(e.LineStyles.size()));
  const bool second = NeedsMorphShape2();
  std::unique_ptr<TSWFDefineMorphShape> tag;
  TSWFDefineMorphShape2* tag2 = nullptr;
  if (second) {
    auto t = std::make_unique<TSWFDefineMorphShape2>();
    tag2 = t.get();
    tag = std::move(t);
  } else {
    tag = std::make_unique<TSWFDefineMorphShape>();
  }
  tag->ID = CharacterId();
  for (size_t i = 0; i < s.FillStyles.size(); ++i)
    tag->FillStyles.push_back(MorphFill(*s.FillStyles[i], *e.FillStyles[i], "fill style " + std::to_string(i + 1)));
  for (size_t i = 0; i < s.LineStyles.size(); ++i)
    tag->LineStyles.push_back(
        MorphLine(*s.LineStyles[i], *e.LineStyles[i], second, "line style " + std::to_string(i + 1)));
  PairEdges(s.Records, e.Records, tag->StartEdges, tag->EndEdges);
  const TRect startEdges = OutlineBounds(tag->StartEdges), endEdges = OutlineBounds(tag->EndEdges);
  tag->StartBounds.SetRect(ShapeBounds(s, startEdges));
  tag->EndBounds.SetRect(ShapeBounds(e, endEdges));
  if (tag2) {
    tag2->StartEdgeBounds.SetRect(startEdges);
    tag2->EndEdgeBounds.SetRect(endEdges);
  }
  return tag;
}

void TFlashMorphShape::WriteToStream(TBitsEngine& be) { BuildTag()->WriteToStream(be); }

void TFlashMorphShape::Assign(const TBasedSWFObject& source) {
  TFlashVisualObject::Assign(source);
  const auto& s = SourceAs<TFlashMorphShape>(source);
  if (&s == this) return;
  CopyShape(*s.FStart, *FStart);
  CopyShape(*s.FEnd, *FEnd);
}

}  // namespace tw::builder
