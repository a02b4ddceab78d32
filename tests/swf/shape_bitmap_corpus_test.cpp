// Every shape, morph shape and bitmap tag of the corpus: read into its object, written back to
// the same body, and copied (factory + Assign) into an object that writes the same bytes after
// its source is gone.
#include <algorithm>
#include <map>
#include <set>

#include "support/corpus_tags.h"
#include "support/second_encodings.h"
#include "support/testing.h"
#include "swf/bitmap_tags.h"
#include "swf/shape_tags.h"
#include "swf/stream.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// The codes these tests own; another family adds its codes here.
const std::set<uint16_t> kOwnedCodes = {
    2, 22, 32, 83,            // DefineShape 1 to 4
    46, 84,                   // DefineMorphShape, DefineMorphShape2
    6, 8, 20, 21, 35, 36,     // DefineBits, JPEGTables, DefineBitsLossless (2), DefineBitsJPEG2 (3)
};

// ---- every field that a second encoding must keep, as text ----------------------------------

std::string Text(const TSWFRGBA& c) {
  return std::to_string(c.R) + "," + std::to_string(c.G) + "," + std::to_string(c.B) + "," +
         std::to_string(c.A);
}

std::string Text(const TSWFMatrix& m) {
  std::string s = "[";
  if (m.HasScale) s += "scale " + std::to_string(m.ScaleX) + "," + std::to_string(m.ScaleY) + " ";
  if (m.HasSkew) s += "skew " + std::to_string(m.SkewX) + "," + std::to_string(m.SkewY) + " ";
  return s + "move " + std::to_string(m.TranslateX) + "," + std::to_string(m.TranslateY) + "]";
}

std::string Text(const TSWFRect& r) {
  return std::to_string(r.XMin()) + "," + std::to_string(r.YMin()) + "," +
         std::to_string(r.XMax()) + "," + std::to_string(r.YMax());
}

std::string Text(const TSWFFillStyle& f) {
  std::string s = "fill " + std::to_string(f.FillType) + (f.HasAlpha ? " alpha" : "");
  if (const auto* c = dynamic_cast<const TSWFColorFill*>(&f)) s += " " + Text(c->Color);
  if (const auto* i = dynamic_cast<const TSWFImageFill*>(&f))
    s += " bitmap " + std::to_string(i->ID) + " " + Text(i->Matrix);
  if (const auto* g = dynamic_cast<const TSWFGradientFill*>(&f)) {
    s += " " + Text(g->Matrix) + " spread " + std::to_string(g->SpreadMode) + " interpolation " +
         std::to_string(g->InterpolationMode);
    for (int n = 1; n <= g->Count; ++n)
      s += " " + std::to_string(g->Record(n).Ratio) + ":" + Text(g->Record(n).Color);
  }
  if (const auto* g = dynamic_cast<const TSWFFocalGradientFill*>(&f))
    s += " focal " + std::to_string(g->FocalPoint);
  return s;
}

std::string Text(const TSWFLineStyle& l) {
  std::string s = "line " + std::to_string(l.Width) + " " + Text(l.Color);
  if (const auto* w = dynamic_cast<const TSWFLineStyle2*>(&l)) {
    s += " caps " + std::to_string(w->StartCapStyle) + "," + std::to_string(w->EndCapStyle) +
         " join " + std::to_string(w->JoinStyle) + " miter " + std::to_string(w->MiterLimitFactor) +
         " flags " + std::to_string(w->HasFillFlag) + std::to_string(w->NoHScaleFlag) +
         std::to_string(w->NoVScaleFlag) + std::to_string(w->PixelHintingFlag) +
         std::to_string(w->NoClose) + " reserved " + std::to_string(w->ReservedBits);
    if (w->FillStyle()) s += " " + Text(*w->FillStyle());
  }
  return s;
}

std::string Text(const TShapeRecordList& records) {
  std::string s;
  for (const auto& r : records) {
    switch (r->Kind) {
      case TShapeRecordKind::End: s += "\n  end"; break;
      case TShapeRecordKind::StraightEdge: {
        const auto& e = static_cast<const TSWFStraightEdgeRecord&>(*r);
        s += "\n  line " + std::to_string(e.X) + "," + std::to_string(e.Y);
        break;
      }
      case TShapeRecordKind::CurvedEdge: {
        const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*r);
        s += "\n  curve " + std::to_string(c.ControlX) + "," + std::to_string(c.ControlY) + " " +
             std::to_string(c.AnchorX) + "," + std::to_string(c.AnchorY);
        break;
      }
      case TShapeRecordKind::StyleChange: {
        const auto& c = static_cast<const TSWFStyleChangeRecord&>(*r);
        s += "\n  style";
        if (c.StateMoveTo) s += " move " + std::to_string(c.X) + "," + std::to_string(c.Y);
        if (c.StateFillStyle0) s += " fill0 " + std::to_string(c.Fill0());
        if (c.StateFillStyle1) s += " fill1 " + std::to_string(c.Fill1());
        if (c.StateLineStyle) s += " line " + std::to_string(c.Line());
        if (c.StateNewStyles) {
          for (const auto& f : c.NewFillStyles()) s += "\n    " + Text(*f);
          for (const auto& l : c.NewLineStyles()) s += "\n    " + Text(*l);
        }
        break;
      }
    }
  }
  return s;
}

// The fields of a shape or morph shape; other tags are compared by their bytes alone.
std::string FieldsText(const TSWFObject& tag) {
  std::string s = std::to_string(tag.TagID);
  if (const auto* shape = dynamic_cast<const TSWFDefineShape*>(&tag)) {
    s += " id " + std::to_string(shape->ID) + " bounds " + Text(shape->ShapeBounds);
    if (const auto* s4 = dynamic_cast<const TSWFDefineShape4*>(&tag))
      s += " edges " + Text(s4->EdgeBounds) + " flags " + std::to_string(s4->ReservedFlags) +
           std::to_string(s4->UsesFillWindingRule) + std::to_string(s4->UsesNonScalingStrokes) +
           std::to_string(s4->UsesScalingStrokes);
    for (const auto& f : shape->FillStyles) s += "\n" + Text(*f);
    for (const auto& l : shape->LineStyles) s += "\n" + Text(*l);
    s += Text(shape->Edges);
  }
  if (const auto* morph = dynamic_cast<const TSWFDefineMorphShape*>(&tag)) {
    s += " id " + std::to_string(morph->ID) + " bounds " + Text(morph->StartBounds) + " " +
         Text(morph->EndBounds) + " fills " + std::to_string(morph->FillStyles.size()) +
         " lines " + std::to_string(morph->LineStyles.size());
    s += Text(morph->StartEdges) + "\n-- end" + Text(morph->EndEdges);
  }
  return s;
}

// ---- the corpus ------------------------------------------------------------------------------

std::unique_ptr<TSWFObject> ReadObject(uint16_t code, std::span<const uint8_t> body,
                                       const TSWFReadContext& context) {
  auto object = CreateTagObject(code);
  object->BodySize = static_cast<int32_t>(body.size());
  object->SetReadContext(context);
  TMemoryStream view = TMemoryStream::View(body);
  TBitsEngine be(view);
  if (!body.empty()) object->ReadFromStream(be);
  return object;
}

std::string FirstDifference(std::span<const uint8_t> want, std::span<const uint8_t> got) {
  size_t i = 0;
  while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
  auto around = [i](std::span<const uint8_t> s) {
    const size_t from = std::min(i >= 4 ? i - 4 : 0, s.size());
    return ToHex(s.subspan(from, std::min<size_t>(12, s.size() - from)));
  };
  return "sizes " + std::to_string(want.size()) + "/" + std::to_string(got.size()) +
         ", first difference at " + std::to_string(i) + ": want " + around(want) + " got " +
         around(got);
}

TEST(ShapeBitmapCorpus, EveryTagReadsWritesAndCopiesExactly) {
  std::map<uint16_t, size_t> seen;
  std::set<const SecondEncoding*> used;
  ForEachCorpusTag([&](const CorpusTag& tag) {
    if (!kOwnedCodes.count(tag.code)) return;
    SCOPED_TRACE(tag.file.filename().string() + " " + tag.where + " code " +
                 std::to_string(tag.code));
    ++seen[tag.code];
    std::unique_ptr<TSWFObject> object;
    try {
      object = ReadObject(tag.code, tag.body, tag.context);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "not read: " << e.what();
      return;
    }
    ASSERT_EQ(dynamic_cast<TSWFByteCodeTag*>(object.get()), nullptr);
    // The fields a second encoding must keep are those read, taken before writing.
    const std::string fields = FieldsText(*object);
    const auto asRead = CloneTag(*object);
    const Bytes written = WriteBody(*object, WriteContextOf(tag.context));
    if (!std::equal(written.begin(), written.end(), tag.body.begin(), tag.body.end())) {
      const SecondEncoding* second = FindSecondEncoding(tag.file.filename().string(), tag.where);
      if (!second) {
        ADD_FAILURE() << FirstDifference(tag.body, written);
      } else {
        EXPECT_EQ(second->code, tag.code);
        used.insert(second);
        SCOPED_TRACE(second->reason);
        const auto again = ReadObject(tag.code, written, tag.context);
        EXPECT_EQ(FieldsText(*again), fields);
        EXPECT_TRUE(SecondEncodingHolds(*second, *asRead, *again, tag.body, written))
            << "the difference is not the one named: " << FirstDifference(tag.body, written);
      }
    }
    // The copy must own everything it writes: its source is gone before it writes.
    auto copy = CloneTag(*object);
    object.reset();
    EXPECT_EQ(WriteBody(*copy, WriteContextOf(tag.context)), written);
  });
  for (uint16_t code : kOwnedCodes) EXPECT_GT(seen[code], 0u) << "no tag of code " << code;
  // Every case named for these codes still differs: the list stays honest.
  for (const auto& e : SecondEncodings()) {
    if (!kOwnedCodes.count(static_cast<uint16_t>(e.code))) continue;
    EXPECT_TRUE(used.count(&e)) << e.file << " " << e.where << " is written as it was";
  }
}

// The reader itself: no tag of these codes falls back to raw bytes, at any depth.
void ExpectNoRawOwnedTags(const std::vector<std::unique_ptr<TSWFTagInfo>>& infos,
                          const std::string& file) {
  for (const auto& info : infos) {
    if (const auto* raw = dynamic_cast<const TSWFByteCodeTag*>(info->TagObject())) {
      EXPECT_FALSE(kOwnedCodes.count(raw->RawTagID))
          << file << ": code " << raw->RawTagID << " kept raw: " << raw->Text;
    }
    ExpectNoRawOwnedTags(info->SubTags, file);
  }
}

TEST(ShapeBitmapCorpus, ReaderKeepsNoneRaw) {
  for (const auto& file : CorpusMovies()) {
    TSWFStreamReader reader(file);
    reader.ParseTags(true, false);
    ExpectNoRawOwnedTags(reader.TagList, file.filename().string());
  }
}

// The broken movies: a tag of these codes that cannot be read is kept as its raw bytes, exactly
// the bytes the file holds for it.
TEST(ShapeBitmapCorpus, BrokenMoviesFallBackCleanly) {
  size_t fellBack = 0;
  for (const auto& file : CorpusMovies(true)) {
    if (!IsBrokenMovie(file)) continue;
    SCOPED_TRACE(file.filename().string());
    TSWFStreamReader reader(file);
    reader.ParseTags(true, false);
    const auto body = reader.BodyStream().Bytes();
    for (const auto& info : reader.TagList) {
      const auto* raw = dynamic_cast<const TSWFByteCodeTag*>(info->TagObject());
      if (!raw || !kOwnedCodes.count(raw->RawTagID)) continue;
      ++fellBack;
      const size_t start = info->TagOffset + (info->LongHeader ? 6 : 2);
      const auto held = body.subspan(start, std::min<size_t>(info->TagLength, body.size() - start));
      EXPECT_TRUE(std::equal(raw->Data.begin(), raw->Data.end(), held.begin(), held.end()));
      EXPECT_FALSE(raw->Text.empty());
    }
  }
  EXPECT_GT(fellBack, 0u);
}

}  // namespace
}  // namespace tw::test
