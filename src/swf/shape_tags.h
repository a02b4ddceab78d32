// Shape tags: DefineShape 1 to 4, and the morph shapes DefineMorphShape and DefineMorphShape2
// with their morph fill and line styles.
#pragma once

#include "swf/shape_records.h"

namespace tw::swf {

// ---- DefineShape 1 to 4 ----------------------------------------------------------------------

class TSWFDefineShape : public TSWFObject {
 public:
  TSWFDefineShape() : TSWFObject(2) {}

  TShapeRecordList Edges;
  TFillStyleList FillStyles;
  TLineStyleList LineStyles;
  bool HasAlpha = false;
  TSWFRect ShapeBounds;
  uint16_t ID = 0;

  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitDefinedIDs(const TIDVisitor& visit) override { visit(ID); }
  // DefineShape4's flags and edge bounds included.
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
  // Bitmaps of the bitmap fills: in the style lists, the new styles of the records and the
  // fills of wide lines.
  void VisitReferencedIDs(const TIDVisitor& visit) override;
  void Describe(TSWFFields& fields) const override;

 protected:
  TSWFDefineShape(uint16_t tagID, bool hasAlpha) : TSWFObject(tagID), HasAlpha(hasAlpha) {}
  // The fields between the bounds and the styles (DefineShape4).
  virtual void ReadExtraFields(TBitsEngine& be) { (void)be; }
  virtual void WriteExtraFields(TBitsEngine& be) { (void)be; }
  virtual bool UsesLineStyle2() const { return false; }
};

class TSWFDefineShape2 : public TSWFDefineShape {
 public:
  TSWFDefineShape2() : TSWFDefineShape(22, false) {}
  int MinVersion() const override { return 2; }

 protected:
  using TSWFDefineShape::TSWFDefineShape;
};

class TSWFDefineShape3 : public TSWFDefineShape2 {
 public:
  TSWFDefineShape3() : TSWFDefineShape2(32, true) {}
  int MinVersion() const override { return 3; }

 protected:
  using TSWFDefineShape2::TSWFDefineShape2;
};

class TSWFDefineShape4 : public TSWFDefineShape3 {
 public:
  TSWFDefineShape4() : TSWFDefineShape3(83, true) {}

  TSWFRect EdgeBounds;
  // Computed from the line styles on writing, unless KeepStrokeFlags: a shape read from a file
  // keeps the flags it was written with.
  bool UsesNonScalingStrokes = false;
  bool UsesScalingStrokes = false;
  bool KeepStrokeFlags = false;
  // The other bits of the flags byte (the fill winding rule and the reserved bits), kept.
  bool UsesFillWindingRule = false;
  uint8_t ReservedFlags = 0;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 8; }
  void Describe(TSWFFields& fields) const override;

 protected:
  void ReadExtraFields(TBitsEngine& be) override;
  void WriteExtraFields(TBitsEngine& be) override;
  bool UsesLineStyle2() const override { return true; }
};

// ---- morph fill and line styles --------------------------------------------------------------

class TSWFMorphFillStyle {
 public:
  virtual ~TSWFMorphFillStyle() = default;
  uint8_t FillType;

  virtual void Assign(const TSWFMorphFillStyle& source) { FillType = source.FillType; }
  virtual std::unique_ptr<TSWFMorphFillStyle> Clone() const = 0;
  // The body after the type byte.
  virtual void ReadFromStream(TBitsEngine& be) = 0;
  // The type byte and the body.
  virtual void WriteToStream(TBitsEngine& be) const = 0;
  virtual void VisitBitmapIDs(const TIDVisitor& visit) { (void)visit; }

 protected:
  explicit TSWFMorphFillStyle(uint8_t fillType) : FillType(fillType) {}
  TSWFMorphFillStyle(const TSWFMorphFillStyle&) = default;
  TSWFMorphFillStyle& operator=(const TSWFMorphFillStyle&) = default;
};

class TSWFMorphColorFill : public TSWFMorphFillStyle {
 public:
  TSWFMorphColorFill() : TSWFMorphFillStyle(kFillSolid) {}
  TSWFRGBA StartColor{true}, EndColor{true};

  void Assign(const TSWFMorphFillStyle& source) override;
  std::unique_ptr<TSWFMorphFillStyle> Clone() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) const override;
};

struct TSWFMorphGradientRecord {
  uint8_t StartRatio = 0, EndRatio = 0;
  TSWFRGBA StartColor{true}, EndColor{true};
};

class TSWFMorphGradientFill : public TSWFMorphFillStyle {
 public:
  TSWFMorphGradientFill() : TSWFMorphFillStyle(kFillLinearGradient) {}

  uint8_t Count = 0;              // records in use, 0 to 15
  uint8_t SpreadMode = 0;         // 2 bits
  uint8_t InterpolationMode = 0;  // 2 bits
  TSWFMatrix StartMatrix, EndMatrix;

  // Records are numbered from 1; touching record N makes the count at least N.
  TSWFRGBA& StartColor(int n) { return Touch(n).StartColor; }
  TSWFRGBA& EndColor(int n) { return Touch(n).EndColor; }
  void SetStartRatio(int n, uint8_t ratio) { Touch(n).StartRatio = ratio; }
  void SetEndRatio(int n, uint8_t ratio) { Touch(n).EndRatio = ratio; }
  const TSWFMorphGradientRecord& Record(int n) const {
    return FRecords.at(static_cast<size_t>(n - 1));
  }

  void Assign(const TSWFMorphFillStyle& source) override;
  std::unique_ptr<TSWFMorphFillStyle> Clone() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) const override;

 protected:
  explicit TSWFMorphGradientFill(uint8_t fillType) : TSWFMorphFillStyle(fillType) {}

 private:
  TSWFMorphGradientRecord& Touch(int n);
  std::array<TSWFMorphGradientRecord, kMaxGradientRecords> FRecords;
};

class TSWFMorphFocalGradientFill : public TSWFMorphGradientFill {
 public:
  TSWFMorphFocalGradientFill() : TSWFMorphGradientFill(kFillFocalGradient) {}
  int16_t StartFocalPoint = 0, EndFocalPoint = 0;  // 8.8 fixed

  // As the focal point of a plain focal gradient: 255 per unit, limited to -1..1.
  double StartFocalPointF() const;
  double EndFocalPointF() const;
  void SetStartFocalPointF(double value);
  void SetEndFocalPointF(double value);

  void Assign(const TSWFMorphFillStyle& source) override;
  std::unique_ptr<TSWFMorphFillStyle> Clone() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) const override;
};

class TSWFMorphImageFill : public TSWFMorphFillStyle {
 public:
  TSWFMorphImageFill() : TSWFMorphFillStyle(kFillClippedBitmap) {}
  uint16_t ID = 0;  // the bitmap character
  TSWFMatrix StartMatrix, EndMatrix;

  void Assign(const TSWFMorphFillStyle& source) override;
  std::unique_ptr<TSWFMorphFillStyle> Clone() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) const override;
  void VisitBitmapIDs(const TIDVisitor& visit) override { visit(ID); }
};

// A new morph fill style of the class for a type byte; a type without a class fails.
std::unique_ptr<TSWFMorphFillStyle> CreateMorphFillStyle(uint8_t fillType);

class TSWFMorphLineStyle {
 public:
  TSWFMorphLineStyle() = default;
  virtual ~TSWFMorphLineStyle() = default;

  TSWFRGBA EndColor{true};
  uint16_t EndWidth = 0;
  TSWFRGBA StartColor{true};
  uint16_t StartWidth = 0;

  virtual void Assign(const TSWFMorphLineStyle& source);
  virtual std::unique_ptr<TSWFMorphLineStyle> Clone() const;
  virtual void ReadFromStream(TBitsEngine& be);
  virtual void WriteToStream(TBitsEngine& be) const;
  virtual void VisitBitmapIDs(const TIDVisitor& visit) { (void)visit; }
  virtual bool NonScalingStroke() const { return false; }

 protected:
  TSWFMorphLineStyle(const TSWFMorphLineStyle&) = default;
  TSWFMorphLineStyle& operator=(const TSWFMorphLineStyle&) = default;
};

class TSWFMorphLineStyle2 : public TSWFMorphLineStyle {
 public:
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

  // A negative type gives the current fill (or none); otherwise the fill becomes one of the
  // class for that type unless it already has that type.
  TSWFMorphFillStyle* FillStyle(int fillType = -1);
  const TSWFMorphFillStyle* FillStyle() const { return FFill.get(); }

  // From a plain morph line style: its widths and colours.
  void Assign(const TSWFMorphLineStyle& source) override;
  std::unique_ptr<TSWFMorphLineStyle> Clone() const override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteToStream(TBitsEngine& be) const override;
  void VisitBitmapIDs(const TIDVisitor& visit) override;
  bool NonScalingStroke() const override { return NoHScaleFlag || NoVScaleFlag; }

 private:
  std::unique_ptr<TSWFMorphFillStyle> FFill;
};

using TMorphFillStyleList = std::vector<std::unique_ptr<TSWFMorphFillStyle>>;
using TMorphLineStyleList = std::vector<std::unique_ptr<TSWFMorphLineStyle>>;

// ---- DefineMorphShape, DefineMorphShape2 -----------------------------------------------------

class TSWFDefineMorphShape : public TSWFObject {
 public:
  TSWFDefineMorphShape() : TSWFObject(46) {}

  uint16_t ID = 0;
  TSWFRect StartBounds, EndBounds;
  TMorphFillStyleList FillStyles;
  TMorphLineStyleList LineStyles;
  TShapeRecordList StartEdges, EndEdges;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitDefinedIDs(const TIDVisitor& visit) override { visit(ID); }
  void VisitReferencedIDs(const TIDVisitor& visit) override;
  void Describe(TSWFFields& fields) const override;
  // DefineMorphShape2's flags and edge bounds included.
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  explicit TSWFDefineMorphShape(uint16_t tagID) : TSWFObject(tagID) {}
  virtual void ReadExtraFields(TBitsEngine& be) { (void)be; }
  virtual void WriteExtraFields(TBitsEngine& be) { (void)be; }
  virtual bool UsesLineStyle2() const { return false; }
};

class TSWFDefineMorphShape2 : public TSWFDefineMorphShape {
 public:
  TSWFDefineMorphShape2() : TSWFDefineMorphShape(84) {}

  TSWFRect StartEdgeBounds, EndEdgeBounds;
  // As in DefineShape4: computed on writing unless kept from the file.
  bool UsesNonScalingStrokes = false;
  bool UsesScalingStrokes = false;
  bool KeepStrokeFlags = false;
  uint8_t ReservedFlags = 0;  // the other six bits of the flags byte, kept as found

  // Also from a DefineMorphShape: the edge bounds become the shape bounds and each line style
  // becomes a wide one with the same widths and colours.
  void Assign(const TBasedSWFObject& source) override;
  void Describe(TSWFFields& fields) const override;

 protected:
  void ReadExtraFields(TBitsEngine& be) override;
  void WriteExtraFields(TBitsEngine& be) override;
  bool UsesLineStyle2() const override { return true; }
};

}  // namespace tw::swf
