#include "swf/shape_tags.h"

#include <algorithm>
#include <string>
#include <utility>

namespace tw::swf {
namespace {

template <class T, class Base>
std::unique_ptr<Base> CloneAs(const T& source) {
  auto copy = std::make_unique<T>();
  copy->Assign(source);
  return copy;
}

std::string RectText(const TSWFRect& r) {
  return std::to_string(r.XMin()) + "," + std::to_string(r.YMin()) + "-" +
         std::to_string(r.XMax()) + "," + std::to_string(r.YMax());
}

std::string RecordsText(const TShapeRecordList& list) {
  const TShapeRecordCounts c = CountShapeRecords(list);
  return std::to_string(list.size()) + " (" + std::to_string(c.StyleChanges) + " style, " +
         std::to_string(c.Straight) + " straight, " + std::to_string(c.Curved) + " curved)";
}

// Whatever follows the records has no meaning: the tag ends where its declared body ends.
void SkipToEnd(TBitsEngine& be, size_t start, int32_t bodySize) {
  if (bodySize > 0) be.Stream.SetPosition(start + static_cast<size_t>(bodySize));
}

void ReadMorphColor(TBitsEngine& be, TSWFRGBA& color) {
  color.SetRGBA(be.ReadRGBA());
  color.HasAlpha = true;
}

// The stroke flags of a shape, from its line styles: a line that does not scale in one direction
// makes the shape use non-scaling strokes, any other line scaling ones.
template <class List, class Each>
void StrokeFlags(const List& lines, bool& nonScaling, bool& scaling, Each&& forEachRecordList) {
  nonScaling = scaling = false;
  auto add = [&](const auto& line) {
    if (line->NonScalingStroke()) nonScaling = true;
    else scaling = true;
  };
  for (const auto& line : lines) add(line);
  forEachRecordList(add);
}

}  // namespace

// ---- DefineShape 1 to 4 ----------------------------------------------------------------------

void TSWFDefineShape::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineShape>(source);
  Edges = CloneShapeRecords(s.Edges);
  FillStyles = CloneFillStyles(s.FillStyles);
  LineStyles = CloneLineStyles(s.LineStyles);
  HasAlpha = s.HasAlpha;
  ShapeBounds.Assign(s.ShapeBounds);
  ID = s.ID;
}

void TSWFDefineShape::ReadFromStream(TBitsEngine& be) {
  const size_t start = be.Stream.Position();
  ID = be.ReadWord();
  ShapeBounds.Read(be);
  ReadExtraFields(be);
  const TShapeStyleFormat format{HasAlpha, UsesLineStyle2()};
  ReadFillStyles(be, FillStyles, HasAlpha);
  ReadLineStyles(be, LineStyles, format);
  const uint8_t bits = be.ReadByte();
  ReadShapeRecords(be, Edges, bits >> 4, bits & 15, format);
  SkipToEnd(be, start, BodySize);
}

void TSWFDefineShape::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ID);
  ShapeBounds.Write(be);
  WriteExtraFields(be);
  WriteFillStyles(be, FillStyles, HasAlpha);
  WriteLineStyles(be, LineStyles, HasAlpha);
  const TIndexBits bits = IndexBitsFor(Edges, 0, FillStyles.size(), LineStyles.size());
  be.WriteBits(bits.Fill, 4);
  be.WriteBits(bits.Line, 4);
  WriteShapeRecords(be, Edges, bits, {HasAlpha, true});
}

void TSWFDefineShape::VisitReferencedIDs(const TIDVisitor& visit) {
  for (auto& fill : FillStyles) fill->VisitBitmapIDs(visit);
  for (auto& line : LineStyles) line->VisitBitmapIDs(visit);
  for (auto& rec : Edges) {
    if (rec->Kind == TShapeRecordKind::StyleChange)
      static_cast<TSWFStyleChangeRecord&>(*rec).VisitBitmapIDs(visit);
  }
}

void TSWFDefineShape::Describe(TSWFFields& f) const {
  f.emplace_back("id", std::to_string(ID));
  f.emplace_back("bounds", RectText(ShapeBounds));
  f.emplace_back("fills", std::to_string(FillStyles.size()));
  f.emplace_back("lines", std::to_string(LineStyles.size()));
  f.emplace_back("records", RecordsText(Edges));
}

void TSWFDefineShape4::Assign(const TBasedSWFObject& source) {
  TSWFDefineShape3::Assign(source);
  const auto& s = SourceAs<TSWFDefineShape4>(source);
  EdgeBounds.Assign(s.EdgeBounds);
  UsesNonScalingStrokes = s.UsesNonScalingStrokes;
  UsesScalingStrokes = s.UsesScalingStrokes;
  KeepStrokeFlags = s.KeepStrokeFlags;
  UsesFillWindingRule = s.UsesFillWindingRule;
  ReservedFlags = s.ReservedFlags;
}

void TSWFDefineShape4::ReadExtraFields(TBitsEngine& be) {
  EdgeBounds.Read(be);
  const uint8_t flags = be.ReadByte();
  ReservedFlags = flags >> 3;
  UsesFillWindingRule = flags & 4;
  UsesNonScalingStrokes = flags & 2;
  UsesScalingStrokes = flags & 1;
  KeepStrokeFlags = true;
}

void TSWFDefineShape4::WriteExtraFields(TBitsEngine& be) {
  EdgeBounds.Write(be);
  if (!KeepStrokeFlags) {
    StrokeFlags(LineStyles, UsesNonScalingStrokes, UsesScalingStrokes, [this](auto&& add) {
      for (const auto& rec : Edges) {
        if (rec->Kind != TShapeRecordKind::StyleChange) continue;
        const auto& change = static_cast<const TSWFStyleChangeRecord&>(*rec);
        for (const auto& line : change.NewLineStyles()) add(line);
      }
    });
  }
  be.WriteByte(static_cast<uint8_t>((ReservedFlags << 3) | (UsesFillWindingRule ? 4 : 0) |
                                    (UsesNonScalingStrokes ? 2 : 0) | (UsesScalingStrokes ? 1 : 0)));
}

void TSWFDefineShape4::Describe(TSWFFields& f) const {
  TSWFDefineShape3::Describe(f);
  f.emplace_back("edges", RectText(EdgeBounds));
  if (UsesFillWindingRule) f.emplace_back("winding", "nonzero");
}

// ---- morph fill styles -----------------------------------------------------------------------

void TSWFMorphColorFill::Assign(const TSWFMorphFillStyle& source) {
  TSWFMorphFillStyle::Assign(source);
  const auto& s = dynamic_cast<const TSWFMorphColorFill&>(source);
  StartColor = s.StartColor;
  EndColor = s.EndColor;
}

std::unique_ptr<TSWFMorphFillStyle> TSWFMorphColorFill::Clone() const {
  return CloneAs<TSWFMorphColorFill, TSWFMorphFillStyle>(*this);
}

void TSWFMorphColorFill::ReadFromStream(TBitsEngine& be) {
  ReadMorphColor(be, StartColor);
  ReadMorphColor(be, EndColor);
}

void TSWFMorphColorFill::WriteToStream(TBitsEngine& be) const {
  be.WriteByte(FillType);
  be.WriteRGBA(StartColor.GetRGBA());
  be.WriteRGBA(EndColor.GetRGBA());
}

TSWFMorphGradientRecord& TSWFMorphGradientFill::Touch(int n) {
  if (n < 1 || n > kMaxGradientRecords) throw ESWFError("Gradient record out of range");
  if (Count < n) Count = static_cast<uint8_t>(n);
  return FRecords[static_cast<size_t>(n - 1)];
}

void TSWFMorphGradientFill::Assign(const TSWFMorphFillStyle& source) {
  TSWFMorphFillStyle::Assign(source);
  const auto& s = dynamic_cast<const TSWFMorphGradientFill&>(source);
  Count = s.Count;
  SpreadMode = s.SpreadMode;
  InterpolationMode = s.InterpolationMode;
  StartMatrix.Assign(s.StartMatrix);
  EndMatrix.Assign(s.EndMatrix);
  FRecords = s.FRecords;
}

std::unique_ptr<TSWFMorphFillStyle> TSWFMorphGradientFill::Clone() const {
  return CloneAs<TSWFMorphGradientFill, TSWFMorphFillStyle>(*this);
}

void TSWFMorphGradientFill::ReadFromStream(TBitsEngine& be) {
  StartMatrix.Read(be);
  EndMatrix.Read(be);
  const uint8_t b = be.ReadByte();
  SpreadMode = b >> 6;
  InterpolationMode = (b >> 4) & 3;
  Count = b & 15;
  for (int i = 0; i < Count; ++i) {
    auto& r = FRecords[static_cast<size_t>(i)];
    r.StartRatio = be.ReadByte();
    ReadMorphColor(be, r.StartColor);
    r.EndRatio = be.ReadByte();
    ReadMorphColor(be, r.EndColor);
  }
}

void TSWFMorphGradientFill::WriteToStream(TBitsEngine& be) const {
  be.WriteByte(FillType);
  StartMatrix.Write(be);
  EndMatrix.Write(be);
  // The modes share the byte with the count; a morph that drops them changes how it is drawn.
  const int count = std::min<int>(Count, kMaxGradientRecords);
  be.WriteByte(static_cast<uint8_t>((SpreadMode & 3) * 64 + (InterpolationMode & 3) * 16 + count));
  for (int i = 0; i < count; ++i) {
    const auto& r = FRecords[static_cast<size_t>(i)];
    be.WriteByte(r.StartRatio);
    be.WriteRGBA(r.StartColor.GetRGBA());
    be.WriteByte(r.EndRatio);
    be.WriteRGBA(r.EndColor.GetRGBA());
  }
}

namespace {
double FocalToFloat(int16_t v) { return std::clamp(v / 255.0, -1.0, 1.0); }
int16_t FloatToFocal(double v) {
  return static_cast<int16_t>(std::clamp(RoundHalfEven(v * 255.0), -255.0, 255.0));
}
}  // namespace

double TSWFMorphFocalGradientFill::StartFocalPointF() const { return FocalToFloat(StartFocalPoint); }
double TSWFMorphFocalGradientFill::EndFocalPointF() const { return FocalToFloat(EndFocalPoint); }
void TSWFMorphFocalGradientFill::SetStartFocalPointF(double v) { StartFocalPoint = FloatToFocal(v); }
void TSWFMorphFocalGradientFill::SetEndFocalPointF(double v) { EndFocalPoint = FloatToFocal(v); }

void TSWFMorphFocalGradientFill::Assign(const TSWFMorphFillStyle& source) {
  TSWFMorphGradientFill::Assign(source);
  const auto& s = dynamic_cast<const TSWFMorphFocalGradientFill&>(source);
  StartFocalPoint = s.StartFocalPoint;
  EndFocalPoint = s.EndFocalPoint;
}

std::unique_ptr<TSWFMorphFillStyle> TSWFMorphFocalGradientFill::Clone() const {
  return CloneAs<TSWFMorphFocalGradientFill, TSWFMorphFillStyle>(*this);
}

void TSWFMorphFocalGradientFill::ReadFromStream(TBitsEngine& be) {
  TSWFMorphGradientFill::ReadFromStream(be);
  StartFocalPoint = static_cast<int16_t>(be.ReadWord());
  EndFocalPoint = static_cast<int16_t>(be.ReadWord());
}

void TSWFMorphFocalGradientFill::WriteToStream(TBitsEngine& be) const {
  TSWFMorphGradientFill::WriteToStream(be);
  be.WriteWord(static_cast<uint16_t>(StartFocalPoint));
  be.WriteWord(static_cast<uint16_t>(EndFocalPoint));
}

void TSWFMorphImageFill::Assign(const TSWFMorphFillStyle& source) {
  TSWFMorphFillStyle::Assign(source);
  const auto& s = dynamic_cast<const TSWFMorphImageFill&>(source);
  ID = s.ID;
  StartMatrix.Assign(s.StartMatrix);
  EndMatrix.Assign(s.EndMatrix);
}

std::unique_ptr<TSWFMorphFillStyle> TSWFMorphImageFill::Clone() const {
  return CloneAs<TSWFMorphImageFill, TSWFMorphFillStyle>(*this);
}

void TSWFMorphImageFill::ReadFromStream(TBitsEngine& be) {
  ID = be.ReadWord();
  StartMatrix.Read(be);
  EndMatrix.Read(be);
}

void TSWFMorphImageFill::WriteToStream(TBitsEngine& be) const {
  be.WriteByte(FillType);
  be.WriteWord(ID);
  StartMatrix.Write(be);
  EndMatrix.Write(be);
}

std::unique_ptr<TSWFMorphFillStyle> CreateMorphFillStyle(uint8_t fillType) {
  return CreateFillStyleOf<TSWFMorphFillStyle, TSWFMorphColorFill, TSWFMorphGradientFill,
                           TSWFMorphFocalGradientFill, TSWFMorphImageFill>(fillType);
}

// ---- morph line styles -----------------------------------------------------------------------

void TSWFMorphLineStyle::Assign(const TSWFMorphLineStyle& source) {
  EndColor = source.EndColor;
  EndWidth = source.EndWidth;
  StartColor = source.StartColor;
  StartWidth = source.StartWidth;
}

std::unique_ptr<TSWFMorphLineStyle> TSWFMorphLineStyle::Clone() const {
  return CloneAs<TSWFMorphLineStyle, TSWFMorphLineStyle>(*this);
}

void TSWFMorphLineStyle::ReadFromStream(TBitsEngine& be) {
  StartWidth = be.ReadWord();
  EndWidth = be.ReadWord();
  ReadMorphColor(be, StartColor);
  ReadMorphColor(be, EndColor);
}

void TSWFMorphLineStyle::WriteToStream(TBitsEngine& be) const {
  be.WriteWord(StartWidth);
  be.WriteWord(EndWidth);
  be.WriteRGBA(StartColor.GetRGBA());
  be.WriteRGBA(EndColor.GetRGBA());
}

TSWFMorphFillStyle* TSWFMorphLineStyle2::FillStyle(int fillType) {
  if (fillType < 0) return FFill.get();
  const auto type = static_cast<uint8_t>(fillType);
  if (!FFill || FFill->FillType != type) FFill = CreateMorphFillStyle(type);
  FFill->FillType = type;
  return FFill.get();
}

void TSWFMorphLineStyle2::Assign(const TSWFMorphLineStyle& source) {
  TSWFMorphLineStyle::Assign(source);
  const auto* s = dynamic_cast<const TSWFMorphLineStyle2*>(&source);
  if (!s) return;
  HasFillFlag = s->HasFillFlag;
  StartCapStyle = s->StartCapStyle;
  JoinStyle = s->JoinStyle;
  NoClose = s->NoClose;
  NoHScaleFlag = s->NoHScaleFlag;
  NoVScaleFlag = s->NoVScaleFlag;
  PixelHintingFlag = s->PixelHintingFlag;
  EndCapStyle = s->EndCapStyle;
  ReservedBits = s->ReservedBits;
  MiterLimitFactor = s->MiterLimitFactor;
  FFill = s->FFill ? s->FFill->Clone() : nullptr;
}

std::unique_ptr<TSWFMorphLineStyle> TSWFMorphLineStyle2::Clone() const {
  return CloneAs<TSWFMorphLineStyle2, TSWFMorphLineStyle>(*this);
}

void TSWFMorphLineStyle2::ReadFromStream(TBitsEngine& be) {
  StartWidth = be.ReadWord();
  EndWidth = be.ReadWord();
  ReadWideLineFlags(be, *this);
  if (JoinStyle == 2) MiterLimitFactor = Fixed8ToFloat(be.ReadWord());
  if (HasFillFlag) {
    FFill = CreateMorphFillStyle(be.ReadByte());
    FFill->ReadFromStream(be);
  } else {
    ReadMorphColor(be, StartColor);
    ReadMorphColor(be, EndColor);
  }
}

void TSWFMorphLineStyle2::WriteToStream(TBitsEngine& be) const {
  be.WriteWord(StartWidth);
  be.WriteWord(EndWidth);
  WriteWideLineFlags(be, *this);
  if (JoinStyle == 2) be.WriteWord(FloatToFixed8(MiterLimitFactor));
  if (HasFillFlag && FFill) {
    FFill->WriteToStream(be);
  } else if (HasFillFlag) {
    // A line that should have a fill but was given none is filled with its colours.
    TSWFMorphColorFill fill;
    fill.StartColor = StartColor;
    fill.EndColor = EndColor;
    fill.WriteToStream(be);
  } else {
    be.WriteRGBA(StartColor.GetRGBA());
    be.WriteRGBA(EndColor.GetRGBA());
  }
}

void TSWFMorphLineStyle2::VisitBitmapIDs(const TIDVisitor& visit) {
  if (FFill) FFill->VisitBitmapIDs(visit);
}

// ---- DefineMorphShape, DefineMorphShape2 -----------------------------------------------------

void TSWFDefineMorphShape::Assign(const TBasedSWFObject& source) {
  TSWFObject::Assign(source);
  const auto& s = SourceAs<TSWFDefineMorphShape>(source);
  ID = s.ID;
  StartBounds.Assign(s.StartBounds);
  EndBounds.Assign(s.EndBounds);
  FillStyles.clear();
  FillStyles.reserve(s.FillStyles.size());
  for (const auto& fill : s.FillStyles) FillStyles.push_back(fill->Clone());
  LineStyles.clear();
  LineStyles.reserve(s.LineStyles.size());
  for (const auto& line : s.LineStyles) {
    if (UsesLineStyle2() && !dynamic_cast<const TSWFMorphLineStyle2*>(line.get())) {
      auto wide = std::make_unique<TSWFMorphLineStyle2>();
      wide->Assign(*line);
      LineStyles.push_back(std::move(wide));
    } else {
      LineStyles.push_back(line->Clone());
    }
  }
  StartEdges = CloneShapeRecords(s.StartEdges);
  EndEdges = CloneShapeRecords(s.EndEdges);
}

void TSWFDefineMorphShape::ReadFromStream(TBitsEngine& be) {
  const size_t start = be.Stream.Position();
  ID = be.ReadWord();
  StartBounds.Read(be);
  EndBounds.Read(be);
  ReadExtraFields(be);
  be.ReadDWord();  // the offset of the end edges: they follow the start edges anyway
  const uint16_t fillCount = ReadStyleCount(be);
  FillStyles.clear();
  FillStyles.reserve(std::min<size_t>(fillCount, be.Stream.Remaining() / 2));
  for (uint16_t i = 0; i < fillCount; ++i) {
    FillStyles.push_back(CreateMorphFillStyle(be.ReadByte()));
    FillStyles.back()->ReadFromStream(be);
  }
  const uint16_t lineCount = ReadStyleCount(be);
  LineStyles.clear();
  LineStyles.reserve(std::min<size_t>(lineCount, be.Stream.Remaining() / 12));
  for (uint16_t i = 0; i < lineCount; ++i) {
    if (UsesLineStyle2()) LineStyles.push_back(std::make_unique<TSWFMorphLineStyle2>());
    else LineStyles.push_back(std::make_unique<TSWFMorphLineStyle>());
    LineStyles.back()->ReadFromStream(be);
  }
  // Records of a morph shape have no shape around them: new styles, if any, carry alpha.
  const TShapeStyleFormat format{true, UsesLineStyle2()};
  uint8_t bits = be.ReadByte();
  ReadShapeRecords(be, StartEdges, bits >> 4, bits & 15, format);
  bits = be.ReadByte();
  ReadShapeRecords(be, EndEdges, bits >> 4, bits & 15, format);
  SkipToEnd(be, start, BodySize);
}

void TSWFDefineMorphShape::WriteTagBody(TBitsEngine& be) {
  const size_t start = be.Stream.Position();
  be.WriteWord(ID);
  StartBounds.Write(be);
  EndBounds.Write(be);
  WriteExtraFields(be);
  const size_t offsetAt = be.Stream.Position() - start;
  be.WriteDWord(0u);
  WriteStyleCount(be, FillStyles.size());
  for (const auto& fill : FillStyles) fill->WriteToStream(be);
  WriteStyleCount(be, LineStyles.size());
  for (const auto& line : LineStyles) line->WriteToStream(be);
  const TShapeRecordsWriting how{true, false};
  const TIndexBits bits = IndexBitsFor(StartEdges, 0, FillStyles.size(), LineStyles.size());
  be.WriteBits(bits.Fill, 4);
  be.WriteBits(bits.Line, 4);
  WriteShapeRecords(be, StartEdges, bits, how);
  const size_t endEdgesAt = be.Stream.Position() - start;
  const auto offset = static_cast<uint32_t>(endEdgesAt - offsetAt - 4);
  be.Stream.SetPosition(start + offsetAt);
  be.WriteDWord(offset);
  be.Stream.SetPosition(start + endEdgesAt);
  // The end edges only move the pen and draw: no index is written with these widths, so they
  // are as small as the records allow (0, as authoring tools write them).
  const TIndexBits endBits = IndexBitsFor(EndEdges, 0, 0, 0);
  be.WriteBits(endBits.Fill, 4);
  be.WriteBits(endBits.Line, 4);
  WriteShapeRecords(be, EndEdges, endBits, how);
}

void TSWFDefineMorphShape::VisitReferencedIDs(const TIDVisitor& visit) {
  for (auto& fill : FillStyles) fill->VisitBitmapIDs(visit);
  for (auto& line : LineStyles) line->VisitBitmapIDs(visit);
}

void TSWFDefineMorphShape::Describe(TSWFFields& f) const {
  f.emplace_back("id", std::to_string(ID));
  f.emplace_back("start", RectText(StartBounds));
  f.emplace_back("end", RectText(EndBounds));
  f.emplace_back("fills", std::to_string(FillStyles.size()));
  f.emplace_back("lines", std::to_string(LineStyles.size()));
  f.emplace_back("startrecords", RecordsText(StartEdges));
  f.emplace_back("endrecords", RecordsText(EndEdges));
}

void TSWFDefineMorphShape2::Assign(const TBasedSWFObject& source) {
  TSWFDefineMorphShape::Assign(source);
  if (const auto* s = dynamic_cast<const TSWFDefineMorphShape2*>(&source)) {
    StartEdgeBounds.Assign(s->StartEdgeBounds);
    EndEdgeBounds.Assign(s->EndEdgeBounds);
    UsesNonScalingStrokes = s->UsesNonScalingStrokes;
    UsesScalingStrokes = s->UsesScalingStrokes;
    KeepStrokeFlags = s->KeepStrokeFlags;
    ReservedFlags = s->ReservedFlags;
  } else {
    StartEdgeBounds.Assign(StartBounds);
    EndEdgeBounds.Assign(EndBounds);
    KeepStrokeFlags = false;
    ReservedFlags = 0;
  }
}

void TSWFDefineMorphShape2::ReadExtraFields(TBitsEngine& be) {
  StartEdgeBounds.Read(be);
  EndEdgeBounds.Read(be);
  const uint8_t flags = be.ReadByte();
  ReservedFlags = flags >> 2;
  UsesNonScalingStrokes = flags & 2;
  UsesScalingStrokes = flags & 1;
  KeepStrokeFlags = true;
}

void TSWFDefineMorphShape2::WriteExtraFields(TBitsEngine& be) {
  StartEdgeBounds.Write(be);
  EndEdgeBounds.Write(be);
  if (!KeepStrokeFlags)
    StrokeFlags(LineStyles, UsesNonScalingStrokes, UsesScalingStrokes, [](auto&&) {});
  be.WriteByte(static_cast<uint8_t>((ReservedFlags << 2) | (UsesNonScalingStrokes ? 2 : 0) |
                                    (UsesScalingStrokes ? 1 : 0)));
}

void TSWFDefineMorphShape2::Describe(TSWFFields& f) const {
  TSWFDefineMorphShape::Describe(f);
  f.emplace_back("startedges", RectText(StartEdgeBounds));
  f.emplace_back("endedges", RectText(EndEdgeBounds));
}

}  // namespace tw::swf
