#include "swf/shape_records.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>

namespace tw::swf {
namespace {

template <class T, class Base>
std::unique_ptr<Base> CloneAs(const T& source) {
  auto copy = std::make_unique<T>();
  copy->Assign(source);
  return copy;
}

void ReadColor(TBitsEngine& be, TSWFRGBA& color, bool hasAlpha) {
  if (hasAlpha) color.SetRGBA(be.ReadRGBA());
  else color.SetRGB(be.ReadRGB());
  color.HasAlpha = hasAlpha;
}

void WriteColor(TBitsEngine& be, const TSWFRGBA& color, bool hasAlpha) {
  if (hasAlpha) be.WriteRGBA(color.GetRGBA());
  else be.WriteRGB(color.GetRGB());
}

// A bit width that its field can hold; a value beyond it cannot be written at all, and writing
// something else would corrupt the shape silently.
unsigned CheckedWidth(unsigned bits, unsigned limit, const char* what) {
  if (bits > limit) throw ESWFError(std::string("Shape value out of range: ") + what);
  return bits;
}

// The width of signed values by their magnitude, as everywhere in the format, except that a
// negative power of two that the magnitude rule puts one bit beyond the field still fits it (a
// file may hold such a value in the widest field).
unsigned SignedWidth(unsigned bits, unsigned limit, std::initializer_list<int64_t> values,
                     const char* what) {
  if (bits <= limit) return bits;
  const int64_t lowest = -(int64_t{1} << (limit - 1));
  for (int64_t v : values) {
    if (v < lowest || v > -lowest - 1) CheckedWidth(bits, limit, what);
  }
  return limit;
}

// Every entry of a style list takes at least this many bytes.
constexpr size_t kMinFillStyleSize = 2;
constexpr size_t kMinLineStyleSize = 5;

}  // namespace

// ---- fill styles -----------------------------------------------------------------------------

void TSWFFillStyle::Assign(const TSWFFillStyle& source) {
  HasAlpha = source.HasAlpha;
  FillType = source.FillType;
}

void TSWFColorFill::Assign(const TSWFFillStyle& source) {
  TSWFFillStyle::Assign(source);
  Color = dynamic_cast<const TSWFColorFill&>(source).Color;
}

std::unique_ptr<TSWFFillStyle> TSWFColorFill::Clone() const {
  return CloneAs<TSWFColorFill, TSWFFillStyle>(*this);
}

void TSWFColorFill::ReadFromStream(TBitsEngine& be) { ReadColor(be, Color, HasAlpha); }

void TSWFColorFill::WriteToStream(TBitsEngine& be) const {
  be.WriteByte(FillType);
  WriteColor(be, Color, HasAlpha);
}

void TSWFImageFill::Assign(const TSWFFillStyle& source) {
  TSWFFillStyle::Assign(source);
  const auto& s = dynamic_cast<const TSWFImageFill&>(source);
  ID = s.ID;
  Matrix.Assign(s.Matrix);
}

std::unique_ptr<TSWFFillStyle> TSWFImageFill::Clone() const {
  return CloneAs<TSWFImageFill, TSWFFillStyle>(*this);
}

void TSWFImageFill::ReadFromStream(TBitsEngine& be) {
  ID = be.ReadWord();
  Matrix.Read(be);
}

void TSWFImageFill::WriteToStream(TBitsEngine& be) const {
  be.WriteByte(FillType);
  be.WriteWord(ID);
  Matrix.Write(be);
}

TSWFGradientRecord& TSWFBaseGradientFill::Touch(int n) {
  if (n < 1 || n > kMaxGradientRecords) throw ESWFError("Gradient record out of range");
  if (Count < n) Count = static_cast<uint8_t>(n);
  return FRecords[static_cast<size_t>(n - 1)];
}

TSWFRGBA& TSWFBaseGradientFill::GradientColor(int n) { return Touch(n).Color; }

void TSWFBaseGradientFill::SetGradientRatio(int n, uint8_t ratio) { Touch(n).Ratio = ratio; }

void TSWFBaseGradientFill::Assign(const TSWFFillStyle& source) {
  TSWFFillStyle::Assign(source);
  const auto& s = dynamic_cast<const TSWFBaseGradientFill&>(source);
  Count = s.Count;
  InterpolationMode = s.InterpolationMode;
  SpreadMode = s.SpreadMode;
  FRecords = s.FRecords;
}

void TSWFBaseGradientFill::ReadGradient(TBitsEngine& be) {
  const uint8_t b = be.ReadByte();
  SpreadMode = b >> 6;
  InterpolationMode = (b >> 4) & 3;
  Count = b & 15;
  for (int i = 0; i < Count; ++i) {
    FRecords[static_cast<size_t>(i)].Ratio = be.ReadByte();
    ReadColor(be, FRecords[static_cast<size_t>(i)].Color, HasAlpha);
  }
}

void TSWFBaseGradientFill::WriteGradient(TBitsEngine& be) const {
  be.WriteByte(static_cast<uint8_t>((SpreadMode & 3) * 64 + (InterpolationMode & 3) * 16 +
                                    std::min<int>(Count, kMaxGradientRecords)));
  for (int i = 0; i < Count && i < kMaxGradientRecords; ++i) {
    be.WriteByte(FRecords[static_cast<size_t>(i)].Ratio);
    WriteColor(be, FRecords[static_cast<size_t>(i)].Color, HasAlpha);
  }
}

void TSWFGradientFill::Assign(const TSWFFillStyle& source) {
  TSWFBaseGradientFill::Assign(source);
  Matrix.Assign(dynamic_cast<const TSWFGradientFill&>(source).Matrix);
}

std::unique_ptr<TSWFFillStyle> TSWFGradientFill::Clone() const {
  return CloneAs<TSWFGradientFill, TSWFFillStyle>(*this);
}

void TSWFGradientFill::ReadFromStream(TBitsEngine& be) {
  Matrix.Read(be);
  ReadGradient(be);
}

void TSWFGradientFill::WriteToStream(TBitsEngine& be) const {
  be.WriteByte(FillType);
  Matrix.Write(be);
  WriteGradient(be);
}

double TSWFFocalGradientFill::FocalPointF() const {
  return std::clamp(FocalPoint / 255.0, -1.0, 1.0);
}

void TSWFFocalGradientFill::SetFocalPointF(double value) {
  FocalPoint = static_cast<int16_t>(std::clamp(RoundHalfEven(value * 255.0), -255.0, 255.0));
}

void TSWFFocalGradientFill::Assign(const TSWFFillStyle& source) {
  TSWFGradientFill::Assign(source);
  FocalPoint = dynamic_cast<const TSWFFocalGradientFill&>(source).FocalPoint;
}

std::unique_ptr<TSWFFillStyle> TSWFFocalGradientFill::Clone() const {
  return CloneAs<TSWFFocalGradientFill, TSWFFillStyle>(*this);
}

void TSWFFocalGradientFill::ReadFromStream(TBitsEngine& be) {
  TSWFGradientFill::ReadFromStream(be);
  FocalPoint = static_cast<int16_t>(be.ReadWord());
}

void TSWFFocalGradientFill::WriteToStream(TBitsEngine& be) const {
  TSWFGradientFill::WriteToStream(be);
  be.WriteWord(static_cast<uint16_t>(FocalPoint));
}

// ---- line styles -----------------------------------------------------------------------------

void TSWFLineStyle::Assign(const TSWFLineStyle& source) {
  Color = source.Color;
  Width = source.Width;
}

std::unique_ptr<TSWFLineStyle> TSWFLineStyle::Clone() const {
  return CloneAs<TSWFLineStyle, TSWFLineStyle>(*this);
}

void TSWFLineStyle::ReadFromStream(TBitsEngine& be) {
  Width = be.ReadWord();
  ReadColor(be, Color, Color.HasAlpha);
}

void TSWFLineStyle::WriteToStream(TBitsEngine& be) const {
  be.WriteWord(Width);
  WriteColor(be, Color, Color.HasAlpha);
}

TSWFFillStyle* TSWFLineStyle2::FillStyle(int fillType) {
  if (fillType < 0) return FFill.get();
  const auto type = static_cast<uint8_t>(fillType);
  if (!FFill || FFill->FillType != type) FFill = CreateFillStyle(type);
  FFill->HasAlpha = true;
  FFill->FillType = type;
  return FFill.get();
}

void TSWFLineStyle2::Assign(const TSWFLineStyle& source) {
  TSWFLineStyle::Assign(source);
  const auto* s = dynamic_cast<const TSWFLineStyle2*>(&source);
  if (!s) return;  // a plain line style gives its width and colour only
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

std::unique_ptr<TSWFLineStyle> TSWFLineStyle2::Clone() const {
  return CloneAs<TSWFLineStyle2, TSWFLineStyle>(*this);
}

void TSWFLineStyle2::ReadFromStream(TBitsEngine& be) {
  Width = be.ReadWord();
  ReadWideLineFlags(be, *this);
  if (JoinStyle == 2) MiterLimitFactor = Fixed8ToFloat(be.ReadWord());
  if (HasFillFlag) {
    FFill = CreateFillStyle(be.ReadByte());
    FFill->HasAlpha = true;
    FFill->ReadFromStream(be);
  } else {
    ReadColor(be, Color, true);
  }
}

void TSWFLineStyle2::WriteToStream(TBitsEngine& be) const {
  be.WriteWord(Width);
  WriteWideLineFlags(be, *this);
  if (JoinStyle == 2) be.WriteWord(FloatToFixed8(MiterLimitFactor));
  if (HasFillFlag && FFill) {
    FFill->WriteToStream(be);
  } else if (HasFillFlag) {
    // A line that should have a fill but was given none is filled with its colour.
    be.WriteByte(kFillSolid);
    be.WriteRGBA(Color.GetRGBA());
  } else {
    be.WriteRGBA(Color.GetRGBA());
  }
}

void TSWFLineStyle2::VisitBitmapIDs(const TIDVisitor& visit) {
  if (FFill) FFill->VisitBitmapIDs(visit);
}

// ---- style arrays ----------------------------------------------------------------------------

uint16_t ReadStyleCount(TBitsEngine& be) {
  const uint8_t b = be.ReadByte();
  return b == 0xFF ? be.ReadWord() : b;
}

void WriteStyleCount(TBitsEngine& be, size_t count) {
  if (count > 0xFFFF) throw ESWFError("Shape value out of range: style count");
  if (count < 0xFF) {
    be.WriteByte(static_cast<uint8_t>(count));
  } else {
    be.WriteByte(0xFF);
    be.WriteWord(static_cast<uint16_t>(count));
  }
}

void ReadFillStyles(TBitsEngine& be, TFillStyleList& list, bool hasAlpha) {
  const uint16_t count = ReadStyleCount(be);
  list.clear();
  list.reserve(std::min<size_t>(count, be.Stream.Remaining() / kMinFillStyleSize));
  for (uint16_t i = 0; i < count; ++i) {
    auto fill = CreateFillStyle(be.ReadByte());
    fill->HasAlpha = hasAlpha;
    fill->ReadFromStream(be);
    list.push_back(std::move(fill));
  }
}

void WriteFillStyles(TBitsEngine& be, TFillStyleList& list, bool hasAlpha) {
  WriteStyleCount(be, list.size());
  for (auto& fill : list) {
    fill->HasAlpha = hasAlpha;
    fill->WriteToStream(be);
  }
}

void ReadLineStyles(TBitsEngine& be, TLineStyleList& list, const TShapeStyleFormat& format) {
  const uint16_t count = ReadStyleCount(be);
  list.clear();
  list.reserve(std::min<size_t>(count, be.Stream.Remaining() / kMinLineStyleSize));
  for (uint16_t i = 0; i < count; ++i) {
    std::unique_ptr<TSWFLineStyle> line;
    if (format.LineStyle2) line = std::make_unique<TSWFLineStyle2>();
    else line = std::make_unique<TSWFLineStyle>();
    line->Color.HasAlpha = format.HasAlpha;
    line->ReadFromStream(be);
    list.push_back(std::move(line));
  }
}

void WriteLineStyles(TBitsEngine& be, TLineStyleList& list, bool hasAlpha) {
  WriteStyleCount(be, list.size());
  for (auto& line : list) {
    line->Color.HasAlpha = hasAlpha;
    line->WriteToStream(be);
  }
}

// ---- shape records ---------------------------------------------------------------------------

std::unique_ptr<TSWFShapeRecord> TSWFEndShapeRecord::Clone() const {
  return std::make_unique<TSWFEndShapeRecord>();
}

void TSWFEndShapeRecord::WriteToStream(TBitsEngine& be) { be.WriteBits(0u, 6); }

void TSWFStraightEdgeRecord::Assign(const TSWFShapeRecord& source) {
  const auto& s = dynamic_cast<const TSWFStraightEdgeRecord&>(source);
  X = s.X;
  Y = s.Y;
}

std::unique_ptr<TSWFShapeRecord> TSWFStraightEdgeRecord::Clone() const {
  return CloneAs<TSWFStraightEdgeRecord, TSWFShapeRecord>(*this);
}

void TSWFStraightEdgeRecord::WriteToStream(TBitsEngine& be) {
  unsigned n = GetBitsCount(MaxAbs(X, Y), 1);
  if (n == 0) n = 2;
  n = SignedWidth(n, 17, {X, Y}, "edge delta");
  be.WriteBits(3u, 2);
  be.WriteBits(n - 2, 4);
  if (X != 0 && Y != 0) {
    be.WriteBit(true);
    be.WriteBits(X, n);
    be.WriteBits(Y, n);
  } else {
    be.WriteBit(false);
    be.WriteBit(X == 0);
    be.WriteBits(X == 0 ? Y : X, n);
  }
}

void TSWFStyleChangeRecord::Assign(const TSWFShapeRecord& source) {
  TSWFStraightEdgeRecord::Assign(source);
  const auto& s = dynamic_cast<const TSWFStyleChangeRecord&>(source);
  FillBits = s.FillBits;
  LineBits = s.LineBits;
  NewFillBits = s.NewFillBits;
  NewLineBits = s.NewLineBits;
  StateFillStyle0 = s.StateFillStyle0;
  StateFillStyle1 = s.StateFillStyle1;
  StateLineStyle = s.StateLineStyle;
  StateMoveTo = s.StateMoveTo;
  StateNewStyles = s.StateNewStyles;
  HasAlpha = s.HasAlpha;
  FFill0 = s.FFill0;
  FFill1 = s.FFill1;
  FLine = s.FLine;
  FNewFillStyles = CloneFillStyles(s.FNewFillStyles);
  FNewLineStyles = CloneLineStyles(s.FNewLineStyles);
}

std::unique_ptr<TSWFShapeRecord> TSWFStyleChangeRecord::Clone() const {
  return CloneAs<TSWFStyleChangeRecord, TSWFShapeRecord>(*this);
}

void TSWFStyleChangeRecord::WriteToStream(TBitsEngine& be) {
  be.WriteBit(false);
  be.WriteBit(StateNewStyles);
  be.WriteBit(StateLineStyle);
  be.WriteBit(StateFillStyle1);
  be.WriteBit(StateFillStyle0);
  // Without any other flag the record would read as the end of the shape: it then moves.
  const bool moveTo =
      StateNewStyles || StateLineStyle || StateFillStyle1 || StateFillStyle0 ? StateMoveTo : true;
  be.WriteBit(moveTo);
  if (moveTo) {
    const unsigned n = SignedWidth(GetBitsCount(MaxAbs(X, Y), 1), 31, {X, Y}, "move to");
    be.WriteBits(n, 5);
    be.WriteBits(X, n);
    be.WriteBits(Y, n);
  }
  if (StateFillStyle0) be.WriteBits(static_cast<uint32_t>(FFill0), FillBits);
  if (StateFillStyle1) be.WriteBits(static_cast<uint32_t>(FFill1), FillBits);
  if (StateLineStyle) be.WriteBits(static_cast<uint32_t>(FLine), LineBits);
  if (StateNewStyles) {
    be.FlushBits(true);
    WriteFillStyles(be, FNewFillStyles, HasAlpha);
    WriteLineStyles(be, FNewLineStyles, HasAlpha);
    be.FlushBits(true);
    NewFillBits = std::max(NewFillBits, BitsNeeded(static_cast<uint32_t>(FNewFillStyles.size())));
    NewLineBits = std::max(NewLineBits, BitsNeeded(static_cast<uint32_t>(FNewLineStyles.size())));
    be.WriteBits(CheckedWidth(NewFillBits, 15, "style index"), 4);
    be.WriteBits(CheckedWidth(NewLineBits, 15, "style index"), 4);
  }
}

void TSWFStyleChangeRecord::ReadBody(TBitsEngine& be, uint8_t flags, uint8_t& fillBits,
                                     uint8_t& lineBits, const TShapeStyleFormat& format) {
  StateNewStyles = flags & 0x10;
  StateLineStyle = flags & 0x08;
  StateFillStyle1 = flags & 0x04;
  StateFillStyle0 = flags & 0x02;
  StateMoveTo = flags & 0x01;
  HasAlpha = format.HasAlpha;
  FillBits = fillBits;
  LineBits = lineBits;
  if (StateMoveTo) {
    const int n = static_cast<int>(be.ReadUBits(5));
    X = be.ReadSBits(n);
    Y = be.ReadSBits(n);
  }
  if (StateFillStyle0) FFill0 = static_cast<uint16_t>(be.ReadUBits(fillBits));
  if (StateFillStyle1) FFill1 = static_cast<uint16_t>(be.ReadUBits(fillBits));
  if (StateLineStyle) FLine = static_cast<uint16_t>(be.ReadUBits(lineBits));
  if (StateNewStyles) {
    be.FlushBits(false);
    ReadFillStyles(be, FNewFillStyles, format.HasAlpha);
    ReadLineStyles(be, FNewLineStyles, format);
    be.FlushBits(false);
    NewFillBits = static_cast<uint8_t>(be.ReadUBits(4));
    NewLineBits = static_cast<uint8_t>(be.ReadUBits(4));
    fillBits = NewFillBits;
    lineBits = NewLineBits;
  }
}

void TSWFStyleChangeRecord::VisitBitmapIDs(const TIDVisitor& visit) {
  for (auto& fill : FNewFillStyles) fill->VisitBitmapIDs(visit);
  for (auto& line : FNewLineStyles) line->VisitBitmapIDs(visit);
}

void TSWFCurvedEdgeRecord::Assign(const TSWFShapeRecord& source) {
  const auto& s = dynamic_cast<const TSWFCurvedEdgeRecord&>(source);
  AnchorX = s.AnchorX;
  AnchorY = s.AnchorY;
  ControlX = s.ControlX;
  ControlY = s.ControlY;
}

std::unique_ptr<TSWFShapeRecord> TSWFCurvedEdgeRecord::Clone() const {
  return CloneAs<TSWFCurvedEdgeRecord, TSWFShapeRecord>(*this);
}

void TSWFCurvedEdgeRecord::WriteToStream(TBitsEngine& be) {
  const int64_t m = MaxAbs(AnchorX, AnchorY, ControlX, ControlY);
  if (m == 0) return;
  const unsigned n =
      SignedWidth(GetBitsCount(m, 1), 17, {AnchorX, AnchorY, ControlX, ControlY}, "edge delta");
  be.WriteBits(2u, 2);
  be.WriteBits(n - 2, 4);
  be.WriteBits(ControlX, n);
  be.WriteBits(ControlY, n);
  be.WriteBits(AnchorX, n);
  be.WriteBits(AnchorY, n);
}

void ReadShapeRecords(TBitsEngine& be, TShapeRecordList& records, uint8_t fillBits,
                      uint8_t lineBits, const TShapeStyleFormat& format) {
  records.clear();
  // Room for about as many records as the bytes left hold at a typical 24 bits each (glyphs are
  // read from views of their own bytes), so that a glyph's list is not regrown six times over.
  records.reserve(std::min<size_t>(be.Stream.Remaining() / 3 + 1, 4096));
  for (;;) {
    if (!be.ReadBit()) {
      const auto flags = static_cast<uint8_t>(be.ReadUBits(5));
      if (flags == 0) {
        records.push_back(std::make_unique<TSWFEndShapeRecord>());
        break;
      }
      auto rec = std::make_unique<TSWFStyleChangeRecord>();
      rec->ReadBody(be, flags, fillBits, lineBits, format);
      records.push_back(std::move(rec));
    } else if (be.ReadBit()) {
      const int n = static_cast<int>(be.ReadUBits(4)) + 2;
      auto rec = std::make_unique<TSWFStraightEdgeRecord>();
      if (be.ReadBit()) {
        rec->X = be.ReadSBits(n);
        rec->Y = be.ReadSBits(n);
      } else if (be.ReadBit()) {
        rec->Y = be.ReadSBits(n);
      } else {
        rec->X = be.ReadSBits(n);
      }
      records.push_back(std::move(rec));
    } else {
      const int n = static_cast<int>(be.ReadUBits(4)) + 2;
      auto rec = std::make_unique<TSWFCurvedEdgeRecord>();
      rec->ControlX = be.ReadSBits(n);
      rec->ControlY = be.ReadSBits(n);
      rec->AnchorX = be.ReadSBits(n);
      rec->AnchorY = be.ReadSBits(n);
      records.push_back(std::move(rec));
    }
  }
  be.FlushBits(false);
}

TIndexBits IndexBitsFor(const TShapeRecordList& records, size_t begin, size_t fillCount,
                        size_t lineCount) {
  size_t maxFill = fillCount, maxLine = lineCount;
  for (size_t i = begin; i < records.size(); ++i) {
    if (records[i]->Kind != TShapeRecordKind::StyleChange) continue;
    const auto& rec = static_cast<const TSWFStyleChangeRecord&>(*records[i]);
    if (rec.StateFillStyle0) maxFill = std::max<size_t>(maxFill, rec.Fill0());
    if (rec.StateFillStyle1) maxFill = std::max<size_t>(maxFill, rec.Fill1());
    if (rec.StateLineStyle) maxLine = std::max<size_t>(maxLine, rec.Line());
    if (rec.StateNewStyles) break;
  }
  const auto fill = BitsNeeded(static_cast<uint32_t>(std::min<size_t>(maxFill, 0xFFFFFFFFu)));
  const auto line = BitsNeeded(static_cast<uint32_t>(std::min<size_t>(maxLine, 0xFFFFFFFFu)));
  return {static_cast<uint8_t>(CheckedWidth(fill, 15, "style index")),
          static_cast<uint8_t>(CheckedWidth(line, 15, "style index"))};
}

namespace {

// The widths, the alpha and the index flags a style change is written with are chosen for the
// write at hand; the record keeps the values it held, however the write ends.
class TStyleChangeWriteGuard {
 public:
  explicit TStyleChangeWriteGuard(TSWFStyleChangeRecord& rec)
      : FRec(rec), FHeld(Fields(rec)) {}
  ~TStyleChangeWriteGuard() {
    std::tie(FRec.HasAlpha, FRec.FillBits, FRec.LineBits, FRec.NewFillBits, FRec.NewLineBits,
             FRec.StateFillStyle0, FRec.StateFillStyle1, FRec.StateLineStyle) = FHeld;
  }
  TStyleChangeWriteGuard(const TStyleChangeWriteGuard&) = delete;
  TStyleChangeWriteGuard& operator=(const TStyleChangeWriteGuard&) = delete;

 private:
  using TFields = std::tuple<bool, uint8_t, uint8_t, uint8_t, uint8_t, bool, bool, bool>;
  static TFields Fields(const TSWFStyleChangeRecord& r) {
    return {r.HasAlpha, r.FillBits, r.LineBits, r.NewFillBits, r.NewLineBits, r.StateFillStyle0,
            r.StateFillStyle1, r.StateLineStyle};
  }
  TSWFStyleChangeRecord& FRec;
  TFields FHeld;
};

}  // namespace

void WriteShapeRecords(TBitsEngine& be, TShapeRecordList& records, TIndexBits bits,
                       const TShapeRecordsWriting& how) {
  for (size_t i = 0; i < records.size(); ++i) {
    TSWFShapeRecord& record = *records[i];
    if (record.Kind == TShapeRecordKind::End && how.OnlyLastEnd && i + 1 != records.size())
      continue;
    if (record.Kind != TShapeRecordKind::StyleChange) {
      record.WriteToStream(be);
      continue;
    }
    auto& rec = static_cast<TSWFStyleChangeRecord&>(record);
    const TStyleChangeWriteGuard keep(rec);
    rec.HasAlpha = how.HasAlpha;
    rec.FillBits = bits.Fill;
    rec.LineBits = bits.Line;
    if (rec.StateNewStyles) {
      const TIndexBits next =
          IndexBitsFor(records, i + 1, std::as_const(rec).NewFillStyles().size(),
                       std::as_const(rec).NewLineStyles().size());
      rec.NewFillBits = next.Fill;
      rec.NewLineBits = next.Line;
    } else if (!how.KeepEmptyIndices) {
      // An index of 0 bits is left out, unless nothing else would remain: an empty change would
      // be written as a move to (0, 0).
      const bool fills = bits.Fill > 0 && (rec.StateFillStyle0 || rec.StateFillStyle1);
      const bool line = bits.Line > 0 && rec.StateLineStyle;
      if (rec.StateMoveTo || fills || line) {
        if (bits.Fill == 0) rec.StateFillStyle0 = rec.StateFillStyle1 = false;
        if (bits.Line == 0) rec.StateLineStyle = false;
      }
    }
    rec.WriteToStream(be);
    if (rec.StateNewStyles) bits = {rec.NewFillBits, rec.NewLineBits};
  }
  if (records.empty() || records.back()->Kind != TShapeRecordKind::End) be.WriteBits(0u, 6);
  be.FlushBits(true);
}

TFillStyleList CloneFillStyles(const TFillStyleList& list) {
  TFillStyleList copy;
  copy.reserve(list.size());
  for (const auto& fill : list) copy.push_back(fill->Clone());
  return copy;
}

TLineStyleList CloneLineStyles(const TLineStyleList& list) {
  TLineStyleList copy;
  copy.reserve(list.size());
  for (const auto& line : list) copy.push_back(line->Clone());
  return copy;
}

TShapeRecordList CloneShapeRecords(const TShapeRecordList& list) {
  TShapeRecordList copy;
  copy.reserve(list.size());
  for (const auto& rec : list) copy.push_back(rec->Clone());
  return copy;
}

TShapeRecordCounts CountShapeRecords(const TShapeRecordList& list) {
  TShapeRecordCounts c;
  for (const auto& rec : list) {
    switch (rec->Kind) {
      case TShapeRecordKind::StyleChange: ++c.StyleChanges; break;
      case TShapeRecordKind::StraightEdge: ++c.Straight; break;
      case TShapeRecordKind::CurvedEdge: ++c.Curved; break;
      case TShapeRecordKind::End: ++c.Ends; break;
    }
  }
  return c;
}

}  // namespace tw::swf
