// The parts shapes are made of: fill styles (colour, gradient, focal gradient, bitmap), line
// styles (LINESTYLE and LINESTYLE2) and shape records (end, style change, straight and curved
// edges), with the readers and writers of their lists. Shapes, morph shapes and glyphs use them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "swf/bits.h"
#include "swf/tag.h"

namespace tw::swf {

// Fill style type bytes.
constexpr uint8_t kFillSolid = 0x00;
constexpr uint8_t kFillLinearGradient = 0x10;
constexpr uint8_t kFillRadialGradient = 0x12;
constexpr uint8_t kFillFocalGradient = 0x13;
constexpr uint8_t kFillRepeatingBitmap = 0x40;
constexpr uint8_t kFillClippedBitmap = 0x41;
constexpr uint8_t kFillNonSmoothedRepeatingBitmap = 0x42;
constexpr uint8_t kFillNonSmoothedClippedBitmap = 0x43;

constexpr bool IsBitmapFillType(uint8_t type) { return type >= 0x40 && type <= 0x43; }
constexpr bool IsGradientFillType(uint8_t type) {
  return type == kFillLinearGradient || type == kFillRadialGradient || type == kFillFocalGradient;
}

// A gradient holds at most 15 records: the count is a 4-bit field.
constexpr int kMaxGradientRecords = 15;

// ---- fill styles -----------------------------------------------------------------------------

class TSWFFillStyle {
 public:
  virtual ~TSWFFillStyle() = default;

  bool HasAlpha = false;  // colours are written as RGBA instead of RGB
  uint8_t FillType;

  virtual void Assign(const TSWFFillStyle& source);
  virtual std::unique_ptr<TSWFFillStyle> Clone() const = 0;
  // The body after the type byte: the owner reads the type byte to choose the class.
  virtual void ReadFromStream(TBitsEngine& be) = 0;
  // The type byte and the body.
  virtual void WriteToStream(TBitsEngine& be) const = 0;
  // The bitmap a bitmap fill refers to.
  virtual void VisitBitmapIDs(const TIDVisitor& visit) { (void)visit; }

 protected:
  explicit TSWFFillStyle(uint8_t fillType) : FillType(fillType) {}
  TSWFFillStyle(const TSWFFillStyle&) = default;
  TSWFFillStyle& operator=(const TSWFFillStyle&) = default;
};

class TSWFColorFill : public TSWFFillStyle {
 public:
  TSWFColorFill() : TSWFFillStyle(kFillSolid) {}
  TSWFRGBA Color;

  void Assign(const TSWFFillStyle& source) override;
  std::unique_ptr<TSWFFillStyle> Clone() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) const override;
};

class TSWFImageFill : public TSWFFillStyle {
 public:
  TSWFImageFill() : TSWFFillStyle(kFillClippedBitmap) {}
  uint16_t ID = 0;  // the bitmap character
  TSWFMatrix Matrix;

  void Assign(const TSWFFillStyle& source) override;
  std::unique_ptr<TSWFFillStyle> Clone() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) const override;
  void VisitBitmapIDs(const TIDVisitor& visit) override { visit(ID); }
};

struct TSWFGradientRecord {
  uint8_t Ratio = 0;
  TSWFRGBA Color;
};

class TSWFBaseGradientFill : public TSWFFillStyle {
 public:
  uint8_t Count = 0;              // records in use, 0 to 15
  uint8_t InterpolationMode = 0;  // 2 bits
  uint8_t SpreadMode = 0;         // 2 bits

  // Records are numbered from 1; touching record N makes the count at least N.
  TSWFRGBA& GradientColor(int n);
  void SetGradientRatio(int n, uint8_t ratio);
  const TSWFGradientRecord& Record(int n) const { return FRecords.at(static_cast<size_t>(n - 1)); }

  void Assign(const TSWFFillStyle& source) override;

 protected:
  using TSWFFillStyle::TSWFFillStyle;
  // The mode byte and the records.
  void ReadGradient(TBitsEngine& be);
  void WriteGradient(TBitsEngine& be) const;

 private:
  TSWFGradientRecord& Touch(int n);
  std::array<TSWFGradientRecord, kMaxGradientRecords> FRecords;
};

class TSWFGradientFill : public TSWFBaseGradientFill {
 public:
  TSWFGradientFill() : TSWFBaseGradientFill(kFillLinearGradient) {}
  TSWFMatrix Matrix;

  void Assign(const TSWFFillStyle& source) override;
  std::unique_ptr<TSWFFillStyle> Clone() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) const override;

 protected:
  explicit TSWFGradientFill(uint8_t fillType) : TSWFBaseGradientFill(fillType) {}
};

class TSWFFocalGradientFill : public TSWFGradientFill {
 public:
  TSWFFocalGradientFill() : TSWFGradientFill(kFillFocalGradient) {}
  int16_t FocalPoint = 0;  // 8.8 fixed, -1..1 in use

  // FocalPoint / 255 limited to -1..1, and back (255 per unit).
  double FocalPointF() const;
  void SetFocalPointF(double value);

  void Assign(const TSWFFillStyle& source) override;
  std::unique_ptr<TSWFFillStyle> Clone() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) const override;
};

// A new fill style of the class for a type byte, from the four classes of a family (plain or
// morph); a type without a class fails.
template <class Base, class Color, class Gradient, class Focal, class Image>
std::unique_ptr<Base> CreateFillStyleOf(uint8_t fillType) {
  std::unique_ptr<Base> fill;
  if (fillType == kFillSolid) {
    fill = std::make_unique<Color>();
  } else if (fillType == kFillLinearGradient || fillType == kFillRadialGradient) {
    fill = std::make_unique<Gradient>();
  } else if (fillType == kFillFocalGradient) {
    fill = std::make_unique<Focal>();
  } else if (IsBitmapFillType(fillType)) {
    fill = std::make_unique<Image>();
  } else {
    throw ESWFError("Unknown fill style type " + std::to_string(fillType));
  }
  fill->FillType = fillType;
  return fill;
}

inline std::unique_ptr<TSWFFillStyle> CreateFillStyle(uint8_t fillType) {
  return CreateFillStyleOf<TSWFFillStyle, TSWFColorFill, TSWFGradientFill, TSWFFocalGradientFill,
                           TSWFImageFill>(fillType);
}

using TFillStyleList = std::vector<std::unique_ptr<TSWFFillStyle>>;

// ---- line styles -----------------------------------------------------------------------------

class TSWFLineStyle {
 public:
  TSWFLineStyle() = default;
  virtual ~TSWFLineStyle() = default;

  TSWFRGBA Color;      // RGBA on the file when its alpha flag is set: the owner sets it
  uint16_t Width = 0;  // twips

  virtual void Assign(const TSWFLineStyle& source);
  virtual std::unique_ptr<TSWFLineStyle> Clone() const;
  virtual void ReadFromStream(TBitsEngine& be);
  virtual void WriteToStream(TBitsEngine& be) const;
  virtual void VisitBitmapIDs(const TIDVisitor& visit) { (void)visit; }
  // Whether a shape with this style is drawn with strokes that do not scale.
  virtual bool NonScalingStroke() const { return false; }

 protected:
  TSWFLineStyle(const TSWFLineStyle&) = default;
  TSWFLineStyle& operator=(const TSWFLineStyle&) = default;
};

class TSWFLineStyle2 : public TSWFLineStyle {
 public:
  TSWFLineStyle2() { Color.SetHasAlpha(true); }

  bool HasFillFlag = false;
  uint8_t StartCapStyle = 0;  // 2 bits
  uint8_t JoinStyle = 0;      // 2 bits; 2 = miter
  bool NoClose = false;
  bool NoHScaleFlag = false;
  bool NoVScaleFlag = false;
  bool PixelHintingFlag = false;
  uint8_t EndCapStyle = 0;     // 2 bits
  uint8_t ReservedBits = 0;    // the five unused bits before NoClose, kept as found
  float MiterLimitFactor = 0;  // on the file only when JoinStyle is 2

  // A negative type gives the current fill (or none). Otherwise the fill becomes one of the class
  // for that type, unless it already has that type, with alpha and that type.
  TSWFFillStyle* FillStyle(int fillType = -1);
  const TSWFFillStyle* FillStyle() const { return FFill.get(); }

  void Assign(const TSWFLineStyle& source) override;
  std::unique_ptr<TSWFLineStyle> Clone() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) const override;
  void VisitBitmapIDs(const TIDVisitor& visit) override;
  bool NonScalingStroke() const override { return NoHScaleFlag || NoVScaleFlag; }

 private:
  std::unique_ptr<TSWFFillStyle> FFill;
};

using TLineStyleList = std::vector<std::unique_ptr<TSWFLineStyle>>;

// The two bytes of caps and flags that wide lines and wide morph lines share.
template <class T>
void ReadWideLineFlags(TBitsEngine& be, T& s) {
  s.StartCapStyle = static_cast<uint8_t>(be.ReadUBits(2));
  s.JoinStyle = static_cast<uint8_t>(be.ReadUBits(2));
  s.HasFillFlag = be.ReadBit();
  s.NoHScaleFlag = be.ReadBit();
  s.NoVScaleFlag = be.ReadBit();
  s.PixelHintingFlag = be.ReadBit();
  s.ReservedBits = static_cast<uint8_t>(be.ReadUBits(5));
  s.NoClose = be.ReadBit();
  s.EndCapStyle = static_cast<uint8_t>(be.ReadUBits(2));
}

template <class T>
void WriteWideLineFlags(TBitsEngine& be, const T& s) {
  be.WriteBits(s.StartCapStyle & 3u, 2);
  be.WriteBits(s.JoinStyle & 3u, 2);
  be.WriteBit(s.HasFillFlag);
  be.WriteBit(s.NoHScaleFlag);
  be.WriteBit(s.NoVScaleFlag);
  be.WriteBit(s.PixelHintingFlag);
  be.WriteBits(s.ReservedBits & 31u, 5);
  be.WriteBit(s.NoClose);
  be.WriteBits(s.EndCapStyle & 3u, 2);
}

// ---- style arrays ----------------------------------------------------------------------------

// How the style arrays of a shape are read: the colour form and the line style class.
struct TShapeStyleFormat {
  bool HasAlpha = false;
  bool LineStyle2 = false;
};

// A style count: one byte below 255, else the byte FF and a 16-bit count.
uint16_t ReadStyleCount(TBitsEngine& be);
void WriteStyleCount(TBitsEngine& be, size_t count);

void ReadFillStyles(TBitsEngine& be, TFillStyleList& list, bool hasAlpha);
void WriteFillStyles(TBitsEngine& be, TFillStyleList& list, bool hasAlpha);
void ReadLineStyles(TBitsEngine& be, TLineStyleList& list, const TShapeStyleFormat& format);
void WriteLineStyles(TBitsEngine& be, TLineStyleList& list, bool hasAlpha);

// ---- shape records ---------------------------------------------------------------------------

enum class TShapeRecordKind : uint8_t { End = 0, StyleChange = 1, StraightEdge = 2, CurvedEdge = 3 };

class TSWFShapeRecord {
 public:
  virtual ~TSWFShapeRecord() = default;
  const TShapeRecordKind Kind;

  virtual void Assign(const TSWFShapeRecord& source) { (void)source; }
  virtual std::unique_ptr<TSWFShapeRecord> Clone() const = 0;
  // Bit fields only; no alignment between records.
  virtual void WriteToStream(TBitsEngine& be) = 0;

 protected:
  explicit TSWFShapeRecord(TShapeRecordKind kind) : Kind(kind) {}
  TSWFShapeRecord(const TSWFShapeRecord&) = default;
};

class TSWFEndShapeRecord : public TSWFShapeRecord {
 public:
  TSWFEndShapeRecord() : TSWFShapeRecord(TShapeRecordKind::End) {}
  std::unique_ptr<TSWFShapeRecord> Clone() const override;
  void WriteToStream(TBitsEngine& be) override;
};

class TSWFStraightEdgeRecord : public TSWFShapeRecord {
 public:
  TSWFStraightEdgeRecord() : TSWFShapeRecord(TShapeRecordKind::StraightEdge) {}
  TSWFStraightEdgeRecord(int32_t x, int32_t y)
      : TSWFShapeRecord(TShapeRecordKind::StraightEdge), X(x), Y(y) {}
  int32_t X = 0, Y = 0;  // deltas in twips

  void Assign(const TSWFShapeRecord& source) override;
  std::unique_ptr<TSWFShapeRecord> Clone() const override;
  void WriteToStream(TBitsEngine& be) override;

 protected:
  explicit TSWFStraightEdgeRecord(TShapeRecordKind kind) : TSWFShapeRecord(kind) {}
};

// X and Y are the MoveTo position.
class TSWFStyleChangeRecord : public TSWFStraightEdgeRecord {
 public:
  TSWFStyleChangeRecord() : TSWFStraightEdgeRecord(TShapeRecordKind::StyleChange) {}

  uint8_t FillBits = 0, LineBits = 0;  // the widths of this record's style indices
  // The widths the new styles set for the records after this one.
  uint8_t NewFillBits = 0, NewLineBits = 0;
  bool StateFillStyle0 = false, StateFillStyle1 = false, StateLineStyle = false;
  bool StateMoveTo = false, StateNewStyles = false;
  bool HasAlpha = false;  // the colour form of the new styles

  uint16_t Fill0() const { return FFill0; }
  uint16_t Fill1() const { return FFill1; }
  uint16_t Line() const { return FLine; }
  void SetFill0(uint16_t v) { FFill0 = v; StateFillStyle0 = true; }
  void SetFill1(uint16_t v) { FFill1 = v; StateFillStyle1 = true; }
  void SetLine(uint16_t v) { FLine = v; StateLineStyle = true; }
  void SetMoveTo(int32_t x, int32_t y) { X = x; Y = y; StateMoveTo = true; }

  // Asking for the lists to change them sets StateNewStyles.
  TFillStyleList& NewFillStyles() { StateNewStyles = true; return FNewFillStyles; }
  TLineStyleList& NewLineStyles() { StateNewStyles = true; return FNewLineStyles; }
  const TFillStyleList& NewFillStyles() const { return FNewFillStyles; }
  const TLineStyleList& NewLineStyles() const { return FNewLineStyles; }

  void Assign(const TSWFShapeRecord& source) override;
  std::unique_ptr<TSWFShapeRecord> Clone() const override;
  // Writes with FillBits and LineBits; with new styles, NewFillBits and NewLineBits become at
  // least what the new style counts need, and are written.
  void WriteToStream(TBitsEngine& be) override;
  // Reads after the leading 0 bit and the five flag bits (given); fillBits and lineBits are the
  // widths in force, and take the new widths when the record has new styles.
  void ReadBody(TBitsEngine& be, uint8_t flags, uint8_t& fillBits, uint8_t& lineBits,
                const TShapeStyleFormat& format);
  void VisitBitmapIDs(const TIDVisitor& visit);

 private:
  uint16_t FFill0 = 0, FFill1 = 0, FLine = 0;
  TFillStyleList FNewFillStyles;
  TLineStyleList FNewLineStyles;
};

class TSWFCurvedEdgeRecord : public TSWFShapeRecord {
 public:
  TSWFCurvedEdgeRecord() : TSWFShapeRecord(TShapeRecordKind::CurvedEdge) {}
  TSWFCurvedEdgeRecord(int32_t controlX, int32_t controlY, int32_t anchorX, int32_t anchorY)
      : TSWFShapeRecord(TShapeRecordKind::CurvedEdge),
        AnchorX(anchorX), AnchorY(anchorY), ControlX(controlX), ControlY(controlY) {}
  int32_t AnchorX = 0, AnchorY = 0, ControlX = 0, ControlY = 0;  // deltas in twips

  void Assign(const TSWFShapeRecord& source) override;
  std::unique_ptr<TSWFShapeRecord> Clone() const override;
  // A curve of four zero deltas draws nothing and is not written.
  void WriteToStream(TBitsEngine& be) override;
};

using TShapeRecordList = std::vector<std::unique_ptr<TSWFShapeRecord>>;

// Reads records up to and including the end record, starting with the given index widths.
// Ends with the bits flushed.
void ReadShapeRecords(TBitsEngine& be, TShapeRecordList& records, uint8_t fillBits,
                      uint8_t lineBits, const TShapeStyleFormat& format);

// The smallest index widths that hold both the style counts and every index that the records
// write with them: the records from begin up to and including the next one with new styles (that
// one's own indices are written with the widths in force before its new styles).
struct TIndexBits {
  uint8_t Fill = 0, Line = 0;
};
TIndexBits IndexBitsFor(const TShapeRecordList& records, size_t begin, size_t fillCount,
                        size_t lineCount);

// How a record list is written.
struct TShapeRecordsWriting {
  bool HasAlpha = false;  // the colour form of new styles
  // Shapes and glyphs write an end record only as the last record; morph shapes write them all.
  bool OnlyLastEnd = true;
  // Glyphs keep a style index that is written with no bits (fonts made by Flash select line
  // style 0 so); shapes drop it.
  bool KeepEmptyIndices = false;
};

// Writes the records with the given widths in force (the caller has written them), then six zero
// bits when the list does not end with an end record; ends with the bits flushed. Style change
// records take the widths they are written with; after new styles the widths they set apply.
void WriteShapeRecords(TBitsEngine& be, TShapeRecordList& records, TIndexBits bits,
                       const TShapeRecordsWriting& how);

// Deep copies of the lists.
TFillStyleList CloneFillStyles(const TFillStyleList& list);
TLineStyleList CloneLineStyles(const TLineStyleList& list);
TShapeRecordList CloneShapeRecords(const TShapeRecordList& list);

// Counts, for a dump.
struct TShapeRecordCounts {
  size_t StyleChanges = 0, Straight = 0, Curved = 0, Ends = 0;
};
TShapeRecordCounts CountShapeRecords(const TShapeRecordList& list);

}  // namespace tw::swf
