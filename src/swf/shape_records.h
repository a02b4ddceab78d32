// Shape records: the edges and moves of an outline (end, style change, straight and curved
// edges). Glyph outlines of the font tags are lists of these. The style lists that a style change
// may bring into a shape belong to the shape tags; a glyph has no styles, so reading them here
// fails and the font is kept as raw bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/bits.h"

namespace tw::swf {

enum class TSWFShapeRecordKind : uint8_t {
  End = 0,
  StyleChange = 1,
  StraightEdge = 2,
  CurvedEdge = 3
};

class TSWFShapeRecord {
 public:
  virtual ~TSWFShapeRecord() = default;
  TSWFShapeRecordKind Kind() const { return FKind; }
  // Copies every field from a record of the same class.
  virtual void Assign(const TSWFShapeRecord& source) = 0;
  virtual std::unique_ptr<TSWFShapeRecord> Clone() const = 0;
  // Writes through the bit buffer; records follow each other without alignment.
  virtual void WriteToStream(TBitsEngine& be) const = 0;

 protected:
  explicit TSWFShapeRecord(TSWFShapeRecordKind kind) : FKind(kind) {}
  TSWFShapeRecord(const TSWFShapeRecord&) = default;
  TSWFShapeRecord& operator=(const TSWFShapeRecord&) = default;

 private:
  TSWFShapeRecordKind FKind;
};

using TSWFShapeRecords = std::vector<std::unique_ptr<TSWFShapeRecord>>;

class TSWFEndShapeRecord : public TSWFShapeRecord {
 public:
  TSWFEndShapeRecord() : TSWFShapeRecord(TSWFShapeRecordKind::End) {}
  void Assign(const TSWFShapeRecord&) override {}
  std::unique_ptr<TSWFShapeRecord> Clone() const override;
  void WriteToStream(TBitsEngine& be) const override;
};

class TSWFStraightEdgeRecord : public TSWFShapeRecord {
 public:
  TSWFStraightEdgeRecord() : TSWFShapeRecord(TSWFShapeRecordKind::StraightEdge) {}
  TSWFStraightEdgeRecord(int32_t x, int32_t y) : TSWFStraightEdgeRecord() { X = x; Y = y; }

  int32_t X = 0, Y = 0;  // deltas in twips (a style change: the MoveTo position)

  void Assign(const TSWFShapeRecord& source) override;
  std::unique_ptr<TSWFShapeRecord> Clone() const override;
  void WriteToStream(TBitsEngine& be) const override;

 protected:
  explicit TSWFStraightEdgeRecord(TSWFShapeRecordKind kind) : TSWFShapeRecord(kind) {}
};

class TSWFStyleChangeRecord : public TSWFStraightEdgeRecord {
 public:
  TSWFStyleChangeRecord() : TSWFStraightEdgeRecord(TSWFShapeRecordKind::StyleChange) {}

  uint8_t FillBits = 0, LineBits = 0;  // the widths its style indices are written with
  uint16_t Fill0 = 0, Fill1 = 0, Line = 0;
  bool StateFillStyle0 = false, StateFillStyle1 = false, StateLineStyle = false;
  bool StateMoveTo = false, StateNewStyles = false;
  bool HasAlpha = false;

  void SetFill0(uint16_t v) { Fill0 = v; StateFillStyle0 = true; }
  void SetFill1(uint16_t v) { Fill1 = v; StateFillStyle1 = true; }
  void SetLine(uint16_t v) { Line = v; StateLineStyle = true; }
  void SetMoveTo(int32_t x, int32_t y) { X = x; Y = y; StateMoveTo = true; }

  void Assign(const TSWFShapeRecord& source) override;
  std::unique_ptr<TSWFShapeRecord> Clone() const override;
  void WriteToStream(TBitsEngine& be) const override;
};

class TSWFCurvedEdgeRecord : public TSWFShapeRecord {
 public:
  TSWFCurvedEdgeRecord() : TSWFShapeRecord(TSWFShapeRecordKind::CurvedEdge) {}
  TSWFCurvedEdgeRecord(int32_t controlX, int32_t controlY, int32_t anchorX, int32_t anchorY)
      : TSWFCurvedEdgeRecord() {
    ControlX = controlX; ControlY = controlY; AnchorX = anchorX; AnchorY = anchorY;
  }

  int32_t AnchorX = 0, AnchorY = 0, ControlX = 0, ControlY = 0;  // deltas in twips

  void Assign(const TSWFShapeRecord& source) override;
  std::unique_ptr<TSWFShapeRecord> Clone() const override;
  void WriteToStream(TBitsEngine& be) const override;
};

// Reads records up to and including the end record, with the given widths of the style indices.
// A style change that brings new styles fails: outlines read here have no style lists.
void ReadShapeRecords(TBitsEngine& be, TSWFShapeRecords& records, uint8_t fillBits,
                      uint8_t lineBits);

TSWFShapeRecords CloneShapeRecords(const TSWFShapeRecords& source);

}  // namespace tw::swf
