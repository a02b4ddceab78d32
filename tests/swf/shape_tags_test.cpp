// Shapes and morph shapes: real tags read and written back, the bit layouts of records, and the
// writing rules (style counts, index widths, end records, stroke flags).
#include <functional>

#include "support/testing.h"
#include "swf/bitmap_tags.h"
#include "swf/shape_tags.h"

namespace tw::test {
namespace {
using namespace tw::swf;

struct RealTag {
  Bytes body;
  uint16_t code = 0;
  uint8_t version = 0;
};

RealTag TagFromCorpus(std::string_view file, size_t index) {
  TSWFStreamReader reader(CorpusFile("swf", file));
  reader.ParseTags(false, false);
  const auto& info = reader.TagInfo(index);
  const auto body = reader.BodyStream().Bytes().subspan(
      info.TagOffset + (info.LongHeader ? 6 : 2), info.TagLength);
  return {Bytes(body.begin(), body.end()), info.TagCode, reader.Version()};
}

std::unique_ptr<TSWFObject> ReadAny(const RealTag& tag) {
  auto object = CreateTagObject(tag.code);
  object->BodySize = static_cast<int32_t>(tag.body.size());
  TSWFReadContext context;
  context.Version = tag.version;
  object->SetReadContext(context);
  TMemoryStream view = TMemoryStream::View(tag.body);
  TBitsEngine be(view);
  object->ReadFromStream(be);
  return object;
}

template <class T>
const T& As(const TSWFShapeRecord& r) {
  return dynamic_cast<const T&>(r);
}

void ExpectStraight(const TSWFShapeRecord& r, int32_t x, int32_t y) {
  const auto& e = As<TSWFStraightEdgeRecord>(r);
  EXPECT_EQ(r.Kind, TShapeRecordKind::StraightEdge);
  EXPECT_EQ(e.X, x);
  EXPECT_EQ(e.Y, y);
}

void ExpectCurve(const TSWFShapeRecord& r, int32_t cx, int32_t cy, int32_t ax, int32_t ay) {
  const auto& c = As<TSWFCurvedEdgeRecord>(r);
  EXPECT_EQ(c.ControlX, cx);
  EXPECT_EQ(c.ControlY, cy);
  EXPECT_EQ(c.AnchorX, ax);
  EXPECT_EQ(c.AnchorY, ay);
}

void ExpectRect(const TSWFRect& r, int32_t xmin, int32_t ymin, int32_t xmax, int32_t ymax) {
  EXPECT_EQ(r.XMin(), xmin);
  EXPECT_EQ(r.YMin(), ymin);
  EXPECT_EQ(r.XMax(), xmax);
  EXPECT_EQ(r.YMax(), ymax);
}

struct TagCase {
  const char* name;
  const char* file;
  size_t index;
  uint16_t code;
  uint8_t version;
  // Some movies hold a value in more bits than it needs; those are read back instead.
  bool sameBytes;
  std::function<void(const TSWFObject&)> check;
};

// Expected values read off the bytes by hand (and by a separate decoder), not by this code.
const TagCase kShapeCases[] = {
    {"DefineShape with two clipped bitmap fills, one of them without a bitmap",
     "from_shumway__bitmapbuttons__test.swf", 6, 2, 9, true,
     [](const TSWFObject& t) {
       const auto& s = dynamic_cast<const TSWFDefineShape&>(t);
       EXPECT_EQ(s.ID, 2);
       ExpectRect(s.ShapeBounds, -900, -500, 12700, 7500);
       ASSERT_EQ(s.FillStyles.size(), 2u);
       EXPECT_TRUE(s.LineStyles.empty());
       const auto& none = dynamic_cast<const TSWFImageFill&>(*s.FillStyles[0]);
       EXPECT_EQ(none.FillType, 0x43);
       EXPECT_EQ(none.ID, 65535);
       const auto& bitmap = dynamic_cast<const TSWFImageFill&>(*s.FillStyles[1]);
       EXPECT_EQ(bitmap.ID, 1);
       EXPECT_TRUE(bitmap.Matrix.HasScale);
       EXPECT_EQ(bitmap.Matrix.ScaleX, 20 << 16);
       EXPECT_EQ(bitmap.Matrix.TranslateX, -900);
       EXPECT_EQ(bitmap.Matrix.TranslateY, -500);
       ASSERT_EQ(s.Edges.size(), 6u);
       const auto& move = As<TSWFStyleChangeRecord>(*s.Edges[0]);
       EXPECT_TRUE(move.StateMoveTo);
       EXPECT_EQ(move.X, 12700);
       EXPECT_EQ(move.Y, 7500);
       EXPECT_FALSE(move.StateFillStyle0);
       EXPECT_TRUE(move.StateFillStyle1);
       EXPECT_EQ(move.Fill1(), 2);
       ExpectStraight(*s.Edges[1], -13600, 0);
       ExpectStraight(*s.Edges[2], 0, -8000);
       EXPECT_EQ(s.Edges[5]->Kind, TShapeRecordKind::End);
     }},
    {"DefineShape2 whose record brings new styles", "from_shumway__bitmapbuttons__test.swf", 18,
     22, 9, false,
     [](const TSWFObject& t) {
       const auto& s = dynamic_cast<const TSWFDefineShape2&>(t);
       EXPECT_EQ(s.ID, 13);
       ASSERT_EQ(s.Edges.size(), 12u);
       const auto& change = As<TSWFStyleChangeRecord>(*s.Edges[5]);
       EXPECT_TRUE(change.StateNewStyles);
       EXPECT_TRUE(change.StateMoveTo);
       EXPECT_EQ(change.X, 0);
       EXPECT_EQ(change.NewFillStyles().size(), 1u);
       EXPECT_TRUE(change.NewLineStyles().empty());
       const auto& next = As<TSWFStyleChangeRecord>(*s.Edges[6]);
       EXPECT_EQ(next.Fill1(), 1);
       EXPECT_EQ(next.X, 840);
       ExpectStraight(*s.Edges[7], -840, 0);
     }},
    {"DefineShape3 with a translucent colour and curves", "from_shumway__bitmapbuttons__test.swf",
     15, 32, 9, true,
     [](const TSWFObject& t) {
       const auto& s = dynamic_cast<const TSWFDefineShape3&>(t);
       EXPECT_EQ(s.ID, 10);
       EXPECT_TRUE(s.HasAlpha);
       ExpectRect(s.ShapeBounds, 0, 0, 840, 840);
       ASSERT_EQ(s.FillStyles.size(), 1u);
       const auto& fill = dynamic_cast<const TSWFColorFill&>(*s.FillStyles[0]);
       EXPECT_EQ(fill.Color.GetRGBA(), MakeRGBA(102, 102, 0, 2));
       ASSERT_EQ(s.Edges.size(), 10u);
       EXPECT_EQ(As<TSWFStyleChangeRecord>(*s.Edges[0]).Fill0(), 1);
       ExpectCurve(*s.Edges[1], 0, -60, -60, 0);
       ExpectStraight(*s.Edges[2], -720, 0);
       ExpectCurve(*s.Edges[7], 60, 0, 0, -60);
     }},
    {"DefineShape4 keeps its fill winding rule", "avm1__hittest_winding_rule__assets.swf", 3, 83,
     30, true,
     [](const TSWFObject& t) {
       const auto& s = dynamic_cast<const TSWFDefineShape4&>(t);
       EXPECT_EQ(s.ID, 2);
       EXPECT_TRUE(s.UsesFillWindingRule);
       EXPECT_FALSE(s.UsesNonScalingStrokes);
       EXPECT_FALSE(s.UsesScalingStrokes);
       ExpectRect(s.EdgeBounds, 0, 0, 3000, 3000);
     }},
    {"DefineShape4 with a bitmap-filled wide line", "swfcrate__BitmapLineStyle.swf", 3, 83, 15,
     true,
     [](const TSWFObject& t) {
       const auto& s = dynamic_cast<const TSWFDefineShape4&>(t);
       EXPECT_EQ(s.ID, 2);
       ExpectRect(s.EdgeBounds, 0, 0, 4000, 0);
       EXPECT_TRUE(s.UsesScalingStrokes);
       ASSERT_EQ(s.LineStyles.size(), 1u);
       const auto& line = dynamic_cast<const TSWFLineStyle2&>(*s.LineStyles[0]);
       EXPECT_EQ(line.Width, 800);
       EXPECT_TRUE(line.HasFillFlag);
       const auto& fill = dynamic_cast<const TSWFImageFill&>(*line.FillStyle());
       EXPECT_EQ(fill.FillType, 0x42);
       EXPECT_EQ(fill.ID, 1);
       EXPECT_EQ(fill.Matrix.TranslateX, 200);
       ASSERT_EQ(s.Edges.size(), 3u);
       const auto& change = As<TSWFStyleChangeRecord>(*s.Edges[0]);
       EXPECT_FALSE(change.StateMoveTo);
       EXPECT_EQ(change.Line(), 1);
       ExpectStraight(*s.Edges[1], 4000, 0);
     }},
    {"DefineShape4 with a focal gradient; its stroke flags are kept as the file has them",
     "swfcrate__DefineMorphShape2.swf", 63, 83, 12, true,
     [](const TSWFObject& t) {
       const auto& s = dynamic_cast<const TSWFDefineShape4&>(t);
       const auto& fill = dynamic_cast<const TSWFFocalGradientFill&>(*s.FillStyles.at(0));
       EXPECT_EQ(fill.FillType, 0x13);
       EXPECT_EQ(fill.FocalPoint, -254);
       ASSERT_EQ(fill.Count, 3);
       EXPECT_EQ(fill.Record(2).Ratio, 183);
       EXPECT_EQ(fill.Record(3).Color.GetRGBA(), MakeRGBA(255, 0, 255, 255));
       ASSERT_EQ(s.LineStyles.size(), 4u);
       const auto& both = dynamic_cast<const TSWFLineStyle2&>(*s.LineStyles[1]);
       EXPECT_TRUE(both.NoHScaleFlag);
       EXPECT_TRUE(both.NoVScaleFlag);
       // The lines do not scale, yet the file says only "scaling strokes".
       EXPECT_FALSE(s.UsesNonScalingStrokes);
       EXPECT_TRUE(s.UsesScalingStrokes);
       EXPECT_EQ(As<TSWFStyleChangeRecord>(*s.Edges[0]).Line(), 1);
     }},
    {"DefineMorphShape with a gradient morph", "swfcrate__DefineMorphShape-MX.swf", 1, 46, 3,
     true,
     [](const TSWFObject& t) {
       const auto& m = dynamic_cast<const TSWFDefineMorphShape&>(t);
       EXPECT_EQ(m.ID, 1);
       ExpectRect(m.StartBounds, 300, 300, 1300, 1300);
       ExpectRect(m.EndBounds, 380, 167, 1501, 1220);
       const auto& fill = dynamic_cast<const TSWFMorphGradientFill&>(*m.FillStyles.at(0));
       EXPECT_EQ(fill.FillType, 0x10);
       ASSERT_EQ(fill.Count, 2);
       EXPECT_EQ(fill.Record(1).EndRatio, 56);
       EXPECT_EQ(fill.Record(1).EndColor.GetRGBA(), MakeRGBA(255, 0, 0, 255));
       EXPECT_EQ(fill.EndMatrix.TranslateX, 968);
       const auto& line = *m.LineStyles.at(0);
       EXPECT_EQ(line.StartWidth, 200);
       EXPECT_EQ(line.EndWidth, 40);
       EXPECT_EQ(line.EndColor.GetRGBA(), MakeRGBA(255, 255, 0, 255));
       EXPECT_EQ(m.StartEdges.size(), 11u);
       ASSERT_EQ(m.EndEdges.size(), 10u);
       ExpectStraight(*m.EndEdges[1], 348, -1013);
       ExpectCurve(*m.EndEdges[3], 563, 382, -563, 418);
     }},
    {"DefineMorphShape2 keeps the spread and interpolation modes of its gradient",
     "swfcrate__DefineMorphShape2-GradientFlags.swf", 2, 84, 15, true,
     [](const TSWFObject& t) {
       const auto& m = dynamic_cast<const TSWFDefineMorphShape2&>(t);
       const auto& fill = dynamic_cast<const TSWFMorphGradientFill&>(*m.FillStyles.at(0));
       EXPECT_EQ(fill.FillType, 0x12);
       EXPECT_EQ(fill.SpreadMode, 1);
       EXPECT_EQ(fill.InterpolationMode, 1);
       EXPECT_EQ(fill.Count, 2);
       EXPECT_TRUE(m.UsesScalingStrokes);
       ASSERT_EQ(m.EndEdges.size(), 5u);
       ExpectStraight(*m.EndEdges[0], 4000, 0);
     }},
    {"DefineMorphShape2 with a focal gradient morph", "swfcrate__DefineMorphShape2.swf", 3, 84, 12,
     true,
     [](const TSWFObject& t) {
       const auto& m = dynamic_cast<const TSWFDefineMorphShape2&>(t);
       ExpectRect(m.StartEdgeBounds, 400, 400, 4400, 4400);
       ExpectRect(m.EndEdgeBounds, 520, 327, 4221, 2947);
       const auto& fill = dynamic_cast<const TSWFMorphFocalGradientFill&>(*m.FillStyles.at(0));
       EXPECT_EQ(fill.StartFocalPoint, 249);
       EXPECT_EQ(fill.EndFocalPoint, -254);
       EXPECT_EQ(fill.Count, 3);
       EXPECT_EQ(fill.Record(2).StartRatio, 70);
       EXPECT_EQ(fill.Record(2).EndRatio, 183);
       const auto& line = dynamic_cast<const TSWFMorphLineStyle2&>(*m.LineStyles.at(0));
       EXPECT_EQ(line.StartWidth, 200);
       EXPECT_EQ(line.EndWidth, 40);
       EXPECT_FALSE(line.HasFillFlag);
       ExpectCurve(*m.EndEdges.at(3), 1242, 1140, -1242, 1140);
     }},
};

TEST(ShapeTags, ReadAndWriteRealBytes) {
  for (const auto& c : kShapeCases) {
    SCOPED_TRACE(c.name);
    const RealTag tag = TagFromCorpus(c.file, c.index);
    ASSERT_EQ(tag.code, c.code);
    EXPECT_EQ(tag.version, c.version);
    auto object = ReadAny(tag);
    c.check(*object);
    const Bytes written = WriteBody(*object);
    if (c.sameBytes) {
      EXPECT_EQ(ToHex(written), ToHex(tag.body));
    } else {
      EXPECT_NE(written, tag.body);
      c.check(*ReadAny({written, tag.code, tag.version}));
    }
  }
}

// ---- records, bit by bit ---------------------------------------------------------------------

template <class T>
std::unique_ptr<T> RoundTrip(T& shape) {
  const Bytes body = WriteBody(shape);
  return ReadTag<T>(body);
}

Bytes WriteRecord(TSWFShapeRecord& record) {
  TMemoryStream s;
  TBitsEngine be(s);
  record.WriteToStream(be);
  be.FlushBits(true);
  return s.Release();
}

TEST(ShapeRecords, WriteExactBits) {
  struct Case {
    const char* name;
    std::function<std::unique_ptr<TSWFShapeRecord>()> make;
    const char* bytes;
  };
  const Case cases[] = {
      // 11, N - 2 = 0110, 0 (not general), 0 (horizontal), 01100100
      {"straight edge (100, 0)", [] { return std::make_unique<TSWFStraightEdgeRecord>(100, 0); },
       "D8 64"},
      {"vertical edge (0, -5)", [] { return std::make_unique<TSWFStraightEdgeRecord>(0, -5); },
       "C9 B0"},
      {"general edge (3, -3)", [] { return std::make_unique<TSWFStraightEdgeRecord>(3, -3); },
       "C6 E8"},
      {"a zero edge is a vertical line of 0",
       [] { return std::make_unique<TSWFStraightEdgeRecord>(0, 0); }, "C1 00"},
      {"curved edge (1, 2, 3, 4)",
       [] { return std::make_unique<TSWFCurvedEdgeRecord>(1, 2, 3, 4); }, "88 48 D0"},
      {"a curve of four zeros writes nothing",
       [] { return std::make_unique<TSWFCurvedEdgeRecord>(0, 0, 0, 0); }, ""},
      {"end record", [] { return std::make_unique<TSWFEndShapeRecord>(); }, "00"},
      {"only Fill1: the move-to bit is StateMoveTo",
       [] {
         auto r = std::make_unique<TSWFStyleChangeRecord>();
         r->FillBits = 2;
         r->SetFill1(2);
         return r;
       },
       "12"},
      {"no flag at all: moves, so that it is not an end record",
       [] { return std::make_unique<TSWFStyleChangeRecord>(); }, "04 00"},
      {"move to (5, -3) with Fill0 and Line",
       [] {
         auto r = std::make_unique<TSWFStyleChangeRecord>();
         r->FillBits = 1;
         r->LineBits = 2;
         r->SetMoveTo(5, -3);
         r->SetFill0(1);
         r->SetLine(3);
         return r;
       },
       // 0 01011, 00100 0101 1101, fill0 1, line 11
       "2C 8B BC"},
      // Moving the pen to (0, 0) would shift every edge after a record that only brings styles.
      {"only new styles: no move",
       [] {
         auto r = std::make_unique<TSWFStyleChangeRecord>();
         r->NewFillStyles();
         return r;
       },
       "40 00 00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto record = c.make();
    EXPECT_EQ(ToHex(WriteRecord(*record)), ToHex(Hex(c.bytes)));
  }
}

TEST(ShapeRecords, EdgesAsWideAsTheFieldAllows) {
  TSWFStraightEdgeRecord tooWide(70000, 0);
  EXPECT_THROW(WriteRecord(tooWide), ESWFError);
  TSWFCurvedEdgeRecord tooWideCurve(0, 0, 0, 65536);
  EXPECT_THROW(WriteRecord(tooWideCurve), ESWFError);
  // -65536 takes 17 bits, the widest the 4-bit width field can give.
  TSWFDefineShape shape;
  shape.Edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(-65536, 65535));
  shape.Edges.push_back(std::make_unique<TSWFCurvedEdgeRecord>(-65536, 1, 2, 3));
  const auto copy = RoundTrip(shape);
  ASSERT_EQ(copy->Edges.size(), 3u);
  ExpectStraight(*copy->Edges[0], -65536, 65535);
  ExpectCurve(*copy->Edges[1], -65536, 1, 2, 3);
}

// ---- shapes ----------------------------------------------------------------------------------

TEST(ShapeTags, StyleCountsOf255AndMoreTakeTheLongForm) {
  TSWFDefineShape2 shape;
  for (int i = 0; i < 255; ++i) shape.FillStyles.push_back(std::make_unique<TSWFColorFill>());
  const Bytes body = WriteBody(shape);
  // id, the empty bounds, then FF and the 16-bit count
  EXPECT_EQ(ToHex(std::span(body).first(6)), "00 00 00 FF FF 00");
  EXPECT_EQ(RoundTrip(shape)->FillStyles.size(), 255u);
}

TEST(ShapeTags, EmptyRecordListIsSixZeroBits) {
  TSWFDefineShape shape;
  shape.ID = 1;
  EXPECT_EQ(ToHex(WriteBody(shape)), "01 00 00 00 00 00 00");
}

TEST(ShapeTags, OnlyTheLastEndRecordIsWritten) {
  TSWFDefineShape shape;
  auto move = std::make_unique<TSWFStyleChangeRecord>();
  move->SetMoveTo(10, 10);
  shape.Edges.push_back(std::move(move));
  shape.Edges.push_back(std::make_unique<TSWFEndShapeRecord>());
  shape.Edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(20, 0));
  shape.Edges.push_back(std::make_unique<TSWFEndShapeRecord>());
  const auto copy = RoundTrip(shape);
  ASSERT_EQ(copy->Edges.size(), 3u);
  ExpectStraight(*copy->Edges[1], 20, 0);
  EXPECT_EQ(copy->Edges[2]->Kind, TShapeRecordKind::End);
}

TEST(ShapeTags, Shape3WritesEveryColourWithAlpha) {
  TSWFDefineShape3 shape;
  auto fill = std::make_unique<TSWFColorFill>();
  fill->Color.SetRGB({1, 2, 3});
  shape.FillStyles.push_back(std::move(fill));
  auto line = std::make_unique<TSWFLineStyle>();
  line->Width = 20;
  line->Color.SetRGB({4, 5, 6});
  shape.LineStyles.push_back(std::move(line));
  // id, bounds, 1 fill: 00 01 02 03 FF, 1 line: 14 00 04 05 06 FF, bits 11, end
  EXPECT_EQ(ToHex(WriteBody(shape)), "00 00 00 01 00 01 02 03 FF 01 14 00 04 05 06 FF 11 00");
  TSWFDefineShape2 rgb;
  rgb.FillStyles.push_back(shape.FillStyles[0]->Clone());
  EXPECT_EQ(ToHex(WriteBody(rgb)), "00 00 00 01 00 01 02 03 00 10 00");
}

// An index written before the new styles it refers to must fit the widths in force, even when
// the shape has no styles of its own.
TEST(ShapeTags, IndexWidthsHoldEveryIndexWritten) {
  TSWFDefineShape3 shape;
  auto change = std::make_unique<TSWFStyleChangeRecord>();
  change->SetMoveTo(0, 0);
  change->SetFill1(1);
  change->NewFillStyles().push_back(std::make_unique<TSWFColorFill>());
  change->NewFillStyles().push_back(std::make_unique<TSWFColorFill>());
  shape.Edges.push_back(std::move(change));
  auto next = std::make_unique<TSWFStyleChangeRecord>();
  next->SetFill0(2);
  shape.Edges.push_back(std::move(next));
  shape.Edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(100, 0));
  const auto copy = RoundTrip(shape);
  ASSERT_EQ(copy->Edges.size(), 4u);
  const auto& first = As<TSWFStyleChangeRecord>(*copy->Edges[0]);
  EXPECT_EQ(first.Fill1(), 1);
  EXPECT_EQ(first.NewFillStyles().size(), 2u);
  EXPECT_EQ(As<TSWFStyleChangeRecord>(*copy->Edges[1]).Fill0(), 2);
  ExpectStraight(*copy->Edges[2], 100, 0);
}

// Without fill styles a fill index takes 0 bits and is left out; a change that selects only
// such an index stays a change and never turns into a move of the pen to (0, 0).
TEST(ShapeTags, ChangeOfZeroWidthIndicesOnlyDoesNotMoveThePen) {
  TSWFDefineShape shape;
  auto start = std::make_unique<TSWFStyleChangeRecord>();
  start->SetMoveTo(200, 200);
  shape.Edges.push_back(std::move(start));
  shape.Edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(100, 0));
  auto change = std::make_unique<TSWFStyleChangeRecord>();
  change->SetFill0(0);
  shape.Edges.push_back(std::move(change));
  shape.Edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, 100));
  const auto copy = RoundTrip(shape);
  ASSERT_EQ(copy->Edges.size(), 5u);
  const auto& middle = As<TSWFStyleChangeRecord>(*copy->Edges[2]);
  EXPECT_FALSE(middle.StateMoveTo);
  EXPECT_TRUE(middle.StateFillStyle0);
  EXPECT_EQ(middle.Fill0(), 0);
  ExpectStraight(*copy->Edges[3], 0, 100);
}

TEST(ShapeTags, Shape4ComputesStrokeFlagsOfNewShapesAndKeepsThoseOfReadOnes) {
  struct Case {
    const char* name;
    bool noHScale;
    bool inRecord;
    uint8_t flags;
  };
  const Case cases[] = {
      {"a scaling line", false, false, 0x01},
      {"a line that does not scale horizontally", true, false, 0x02},
      {"a non-scaling line among a record's new styles", true, true, 0x02},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSWFDefineShape4 shape;
    shape.UsesFillWindingRule = true;
    auto line = std::make_unique<TSWFLineStyle2>();
    line->NoHScaleFlag = c.noHScale;
    if (c.inRecord) {
      auto change = std::make_unique<TSWFStyleChangeRecord>();
      change->NewLineStyles().push_back(std::move(line));
      shape.Edges.push_back(std::move(change));
    } else {
      shape.LineStyles.push_back(std::move(line));
    }
    const Bytes body = WriteBody(shape);
    EXPECT_EQ(body.at(4), c.flags | 0x04);  // after the id and two empty rectangles
    auto read = ReadTag<TSWFDefineShape4>(body);
    read->UsesScalingStrokes = !read->UsesScalingStrokes;
    EXPECT_EQ(WriteBody(*read).at(4), (c.flags ^ 0x01) | 0x04);
  }
}

TEST(ShapeTags, BadInputFails) {
  const struct {
    const char* name;
    const char* body;
  } cases[] = {
      {"a fill style type without a class", "01 00 00 01 20 00 00 00"},
      {"a fill style count the body cannot hold", "01 00 00 FF FF FF"},
      {"records cut short", "01 00 00 00 00 00 D8"},
      {"no end record", "01 00 00 00 00 00 D8 64"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(ReadTag<TSWFDefineShape>(Hex(c.body)), ESWFError);
  }
}

// A bad shape in a movie stays its raw bytes, and the movie around it is read on.
TEST(ShapeTags, ReaderKeepsABadShapeRaw) {
  const Bytes shape = Hex("BF 00 06 00 00 00 01 00 00 01 20 00");  // DefineShape, fill type 20
  Bytes movie = Hex("46 57 53 06 00 00 00 00 00 00 0C 01 00");
  movie.insert(movie.end(), shape.begin(), shape.end());
  const Bytes tail = Hex("40 00 00 00");
  movie.insert(movie.end(), tail.begin(), tail.end());
  movie[4] = static_cast<uint8_t>(movie.size());
  TSWFStreamReader reader(movie);
  reader.ParseTags(true, false);
  ASSERT_EQ(reader.TagList.size(), 3u);
  const auto* raw = dynamic_cast<const TSWFByteCodeTag*>(reader.TagInfo(0).TagObject());
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(raw->RawTagID, 2);
  EXPECT_EQ(ToHex(raw->Data), ToHex(std::span(shape).subspan(6)));
  EXPECT_EQ(reader.TagInfo(1).TagCode, 1);
}

TEST(ShapeTags, VisitsEveryBitmapItRefersTo) {
  TSWFDefineShape4 shape;
  shape.ID = 9;
  auto fill = std::make_unique<TSWFImageFill>();
  fill->ID = 1;
  shape.FillStyles.push_back(std::move(fill));
  shape.FillStyles.push_back(std::make_unique<TSWFColorFill>());
  auto line = std::make_unique<TSWFLineStyle2>();
  line->HasFillFlag = true;
  static_cast<TSWFImageFill*>(line->FillStyle(0x40))->ID = 2;
  shape.LineStyles.push_back(std::move(line));
  auto change = std::make_unique<TSWFStyleChangeRecord>();
  auto newFill = std::make_unique<TSWFImageFill>();
  newFill->ID = 3;
  change->NewFillStyles().push_back(std::move(newFill));
  shape.Edges.push_back(std::move(change));
  std::vector<uint16_t> ids;
  shape.VisitReferencedIDs([&](uint16_t& id) { ids.push_back(id); });
  EXPECT_EQ(ids, (std::vector<uint16_t>{1, 2, 3}));
  ids.clear();
  shape.VisitDefinedIDs([&](uint16_t& id) { ids.push_back(id); });
  EXPECT_EQ(ids, (std::vector<uint16_t>{9}));
}

// Renumbering a real movie moves the bitmap of a wide line's fill with the bitmap.
TEST(ShapeTags, RenumberingFollowsBitmapFillsOfLines) {
  TSWFStreamReader reader(CorpusFile("swf", "swfcrate__BitmapLineStyle.swf"));
  reader.ParseTags(true, false);
  EXPECT_EQ(reader.RenumberIDs(100), 102);
  const auto& bitmap = dynamic_cast<const TSWFImageTag&>(*reader.TagInfo(2).TagObject());
  const auto& shape = dynamic_cast<const TSWFDefineShape4&>(*reader.TagInfo(3).TagObject());
  EXPECT_EQ(bitmap.ID, 100);
  EXPECT_EQ(shape.ID, 101);
  const auto& line = dynamic_cast<const TSWFLineStyle2&>(*shape.LineStyles.at(0));
  EXPECT_EQ(dynamic_cast<const TSWFImageFill&>(*line.FillStyle()).ID, 100);
}

TEST(FillStyles, FocalPointIs255PerUnit) {
  TSWFFocalGradientFill fill;
  fill.SetFocalPointF(0.5);
  EXPECT_EQ(fill.FocalPoint, 128);  // 127.5, halves to even
  fill.SetFocalPointF(-2);
  EXPECT_EQ(fill.FocalPoint, -255);
  fill.FocalPoint = 300;
  EXPECT_DOUBLE_EQ(fill.FocalPointF(), 1.0);
  fill.FocalPoint = -51;
  EXPECT_DOUBLE_EQ(fill.FocalPointF(), -0.2);
}

TEST(FillStyles, GradientRecordsAreNumberedFromOne) {
  TSWFGradientFill fill;
  fill.GradientColor(2).SetRGBA(MakeRGBA(1, 2, 3, 4));
  fill.SetGradientRatio(2, 255);
  EXPECT_EQ(fill.Count, 2);
  EXPECT_EQ(fill.Record(2).Ratio, 255);
  EXPECT_THROW(fill.GradientColor(16), ESWFError);
  EXPECT_THROW(fill.GradientColor(0), ESWFError);
}

TEST(LineStyles, WideLineWithMiterJoinAndFill) {
  TSWFLineStyle2 line;
  line.Width = 40;
  line.JoinStyle = 2;
  line.MiterLimitFactor = 3.5f;
  line.EndCapStyle = 1;
  line.HasFillFlag = true;
  auto* fill = static_cast<TSWFColorFill*>(line.FillStyle(0));
  fill->Color.SetRGBA(MakeRGBA(1, 2, 3, 4));
  EXPECT_TRUE(fill->HasAlpha);
  TMemoryStream s;
  TBitsEngine be(s);
  line.WriteToStream(be);
  // width, caps/join/fill byte 28, NoClose/end cap byte 01, miter 3.5, solid fill RGBA
  EXPECT_EQ(ToHex(s.Bytes()), "28 00 28 01 80 03 00 01 02 03 04");
  TMemoryStream view = TMemoryStream::View(s.Bytes());
  TBitsEngine reader(view);
  TSWFLineStyle2 back;
  back.ReadFromStream(reader);
  EXPECT_FLOAT_EQ(back.MiterLimitFactor, 3.5f);
  EXPECT_EQ(back.EndCapStyle, 1);
  EXPECT_EQ(dynamic_cast<const TSWFColorFill&>(*back.FillStyle()).Color.GetRGBA(),
            MakeRGBA(1, 2, 3, 4));
}

// ---- morph shapes ----------------------------------------------------------------------------

TEST(MorphShapes, OffsetIsTheLengthUpToTheEndEdges) {
  TSWFDefineMorphShape morph;
  morph.FillStyles.push_back(std::make_unique<TSWFMorphColorFill>());
  auto move = std::make_unique<TSWFStyleChangeRecord>();
  move->SetMoveTo(100, 100);
  move->SetFill0(1);
  morph.StartEdges.push_back(std::move(move));
  morph.StartEdges.push_back(std::make_unique<TSWFStraightEdgeRecord>(100, 0));
  morph.StartEdges.push_back(std::make_unique<TSWFEndShapeRecord>());
  morph.EndEdges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, 100));
  const Bytes body = WriteBody(morph);
  // id, two empty rectangles, the offset, then: fill count, one colour morph (9 bytes), line
  // count, bit counts, the start edges (7 bytes)
  EXPECT_EQ(ToHex(std::span(body).subspan(4, 4)), "13 00 00 00");
  EXPECT_EQ(body.at(8 + 19), 0x00);  // the end edges' bit counts
  auto back = ReadTag<TSWFDefineMorphShape>(body);
  EXPECT_EQ(back->StartEdges.size(), 3u);
  ASSERT_EQ(back->EndEdges.size(), 2u);
  ExpectStraight(*back->EndEdges[0], 0, 100);
}

TEST(MorphShapes, Shape2FromShape1TakesShapeBoundsAndWideLines) {
  const RealTag tag = TagFromCorpus("swfcrate__DefineMorphShape-MX.swf", 1);
  auto plain = ReadAny(tag);
  TSWFDefineMorphShape2 wide;
  wide.Assign(*plain);
  EXPECT_EQ(wide.StartEdgeBounds, wide.StartBounds);
  EXPECT_EQ(wide.EndEdgeBounds, wide.EndBounds);
  const auto& line = dynamic_cast<const TSWFMorphLineStyle2&>(*wide.LineStyles.at(0));
  EXPECT_EQ(line.StartWidth, 200);
  EXPECT_EQ(line.EndColor.GetRGBA(), MakeRGBA(255, 255, 0, 255));
  auto back = ReadTag<TSWFDefineMorphShape2>(WriteBody(wide));
  EXPECT_TRUE(back->UsesScalingStrokes);
  EXPECT_EQ(back->EndEdges.size(), 10u);
}

}  // namespace
}  // namespace tw::test
