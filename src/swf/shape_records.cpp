#include "swf/shape_records.h"

#include "swf/errors.h"

namespace tw::swf {
namespace {

// The 4-bit width field of an edge holds N - 2, so an edge delta takes at most 17 bits.
unsigned EdgeBits(int64_t maxAbs) {
  unsigned n = GetBitsCount(maxAbs, 1);
  if (n < 2) n = 2;
  if (n > 17) throw ESWFError("An edge is too long for a shape record");
  return n;
}

}  // namespace

// ---- records ---------------------------------------------------------------------------------

std::unique_ptr<TSWFShapeRecord> TSWFEndShapeRecord::Clone() const {
  return std::make_unique<TSWFEndShapeRecord>();
}

void TSWFEndShapeRecord::WriteToStream(TBitsEngine& be) const { be.WriteBits(0u, 6); }

void TSWFStraightEdgeRecord::Assign(const TSWFShapeRecord& source) {
  const auto& s = dynamic_cast<const TSWFStraightEdgeRecord&>(source);
  X = s.X;
  Y = s.Y;
}

std::unique_ptr<TSWFShapeRecord> TSWFStraightEdgeRecord::Clone() const {
  auto r = std::make_unique<TSWFStraightEdgeRecord>();
  r->Assign(*this);
  return r;
}

void TSWFStraightEdgeRecord::WriteToStream(TBitsEngine& be) const {
  be.WriteBits(3u, 2);
  const unsigned n = EdgeBits(MaxAbs(X, Y));
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
  Fill0 = s.Fill0;
  Fill1 = s.Fill1;
  Line = s.Line;
  StateFillStyle0 = s.StateFillStyle0;
  StateFillStyle1 = s.StateFillStyle1;
  StateLineStyle = s.StateLineStyle;
  StateMoveTo = s.StateMoveTo;
  StateNewStyles = s.StateNewStyles;
  HasAlpha = s.HasAlpha;
}

std::unique_ptr<TSWFShapeRecord> TSWFStyleChangeRecord::Clone() const {
  auto r = std::make_unique<TSWFStyleChangeRecord>();
  r->Assign(*this);
  return r;
}

void TSWFStyleChangeRecord::WriteToStream(TBitsEngine& be) const {
  be.WriteBit(false);
  be.WriteBit(StateNewStyles);
  be.WriteBit(StateLineStyle);
  be.WriteBit(StateFillStyle1);
  be.WriteBit(StateFillStyle0);
  // Without any other flag the record must move, or it would read as an end record.
  const bool moveTo = (StateFillStyle0 || StateFillStyle1 || StateLineStyle) ? StateMoveTo : true;
  be.WriteBit(moveTo);
  if (moveTo) {
    const unsigned n = GetBitsCount(MaxAbs(X, Y), 1);
    be.WriteBits(n, 5);
    be.WriteBits(X, n);
    be.WriteBits(Y, n);
  }
  if (StateFillStyle0) be.WriteBits(static_cast<uint32_t>(Fill0), FillBits);
  if (StateFillStyle1) be.WriteBits(static_cast<uint32_t>(Fill1), FillBits);
  if (StateLineStyle) be.WriteBits(static_cast<uint32_t>(Line), LineBits);
  if (StateNewStyles) {
    // An outline record owns no style lists: it brings two empty ones.
    be.FlushBits(true);
    be.WriteByte(0);
    be.WriteByte(0);
    be.WriteBits(0u, 8);
  }
}

void TSWFCurvedEdgeRecord::Assign(const TSWFShapeRecord& source) {
  const auto& s = dynamic_cast<const TSWFCurvedEdgeRecord&>(source);
  AnchorX = s.AnchorX;
  AnchorY = s.AnchorY;
  ControlX = s.ControlX;
  ControlY = s.ControlY;
}

std::unique_ptr<TSWFShapeRecord> TSWFCurvedEdgeRecord::Clone() const {
  auto r = std::make_unique<TSWFCurvedEdgeRecord>();
  r->Assign(*this);
  return r;
}

void TSWFCurvedEdgeRecord::WriteToStream(TBitsEngine& be) const {
  if (AnchorX == 0 && AnchorY == 0 && ControlX == 0 && ControlY == 0) return;
  be.WriteBits(2u, 2);
  const unsigned n = EdgeBits(MaxAbs(ControlX, ControlY, AnchorX, AnchorY));
  be.WriteBits(n - 2, 4);
  be.WriteBits(ControlX, n);
  be.WriteBits(ControlY, n);
  be.WriteBits(AnchorX, n);
  be.WriteBits(AnchorY, n);
}

// ---- reading ---------------------------------------------------------------------------------

void ReadShapeRecords(TBitsEngine& be, TSWFShapeRecords& records, uint8_t fillBits,
                      uint8_t lineBits) {
  for (;;) {
    if (be.ReadBit()) {
      const bool straight = be.ReadBit();
      const int n = static_cast<int>(be.ReadUBits(4)) + 2;
      if (straight) {
        auto edge = std::make_unique<TSWFStraightEdgeRecord>();
        if (be.ReadBit()) {
          edge->X = be.ReadSBits(n);
          edge->Y = be.ReadSBits(n);
        } else if (be.ReadBit()) {
          edge->Y = be.ReadSBits(n);
        } else {
          edge->X = be.ReadSBits(n);
        }
        records.push_back(std::move(edge));
      } else {
        auto curve = std::make_unique<TSWFCurvedEdgeRecord>();
        curve->ControlX = be.ReadSBits(n);
        curve->ControlY = be.ReadSBits(n);
        curve->AnchorX = be.ReadSBits(n);
        curve->AnchorY = be.ReadSBits(n);
        records.push_back(std::move(curve));
      }
      continue;
    }
    const uint32_t flags = be.ReadUBits(5);
    if (flags == 0) {
      records.push_back(std::make_unique<TSWFEndShapeRecord>());
      return;
    }
    auto change = std::make_unique<TSWFStyleChangeRecord>();
    change->StateNewStyles = flags & 0x10;
    change->StateLineStyle = flags & 0x08;
    change->StateFillStyle1 = flags & 0x04;
    change->StateFillStyle0 = flags & 0x02;
    change->StateMoveTo = flags & 0x01;
    change->FillBits = fillBits;
    change->LineBits = lineBits;
    if (change->StateMoveTo) {
      const int n = static_cast<int>(be.ReadUBits(5));
      change->X = be.ReadSBits(n);
      change->Y = be.ReadSBits(n);
    }
    if (change->StateFillStyle0) change->Fill0 = static_cast<uint16_t>(be.ReadUBits(fillBits));
    if (change->StateFillStyle1) change->Fill1 = static_cast<uint16_t>(be.ReadUBits(fillBits));
    if (change->StateLineStyle) change->Line = static_cast<uint16_t>(be.ReadUBits(lineBits));
    if (change->StateNewStyles) throw ESWFError("An outline without styles brings new styles");
    records.push_back(std::move(change));
  }
}

TSWFShapeRecords CloneShapeRecords(const TSWFShapeRecords& source) {
  TSWFShapeRecords copy;
  copy.reserve(source.size());
  for (const auto& r : source) copy.push_back(r->Clone());
  return copy;
}

}  // namespace tw::swf
