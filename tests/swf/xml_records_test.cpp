// The records many tags share, as XML: each comes back to the bytes it was read from, reads as
// its fields, takes hand edits and refuses bad ones with the file and line.
#include <functional>
#include <sstream>

#include "support/corpus_tags.h"
#include "support/testing.h"
#include "swf/display_tags.h"
#include "swf/font_tags.h"
#include "swf/xml_records.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// The element one writer call makes, without the declaration and line end.
std::string ElementXml(const std::function<void(TSWFXmlWriter&)>& write) {
  std::ostringstream out;
  TSWFXmlWriter xml(out);
  write(xml);
  xml.Finish();
  std::string text = out.str();
  text.erase(0, text.find('\n') + 1);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// Reads an element given as text (on line 2 of "r.xml") and checks that nothing was left over.
void ReadElement(std::string_view element, const std::function<void(const TSWFXmlNode&)>& read) {
  const std::string text = "<?xml version=\"1.0\"?>\n" + std::string(element) + "\n";
  TSWFXmlDocument document(text, "r.xml");
  read(document.Root());
  document.CheckAllRead();
}

// The message a bad element is refused with; empty when it is taken.
std::string Refusal(std::string_view element, const std::function<void(const TSWFXmlNode&)>& read) {
  try {
    ReadElement(element, read);
  } catch (const ESWFXmlError& e) {
    return e.what();
  }
  return {};
}

Bytes MatrixBytes(const TSWFMatrix& m) {
  TMemoryStream out;
  TBitsEngine be(out);
  m.Write(be);
  return out.Release();
}

TSWFMatrix MatrixOf(int32_t tx, int32_t ty) {
  TSWFMatrix m;
  m.SetTranslate(tx, ty);
  return m;
}

TEST(XmlRecords, AMatrixReadsAsItsTermsAndComesBackToItsBytes) {
  struct Case {
    TSWFMatrix matrix;
    std::string xml;
  };
  TSWFMatrix scaled = MatrixOf(100, -20);
  scaled.HasScale = true;
  scaled.ScaleX = 0x18000;  // 1.5
  scaled.ScaleY = -0x4000;  // -0.25
  TSWFMatrix skewed = MatrixOf(0, 0);
  skewed.HasSkew = true;
  skewed.SkewY = 0x8000;  // the first skew term of the record
  skewed.SkewX = -0x10000;
  TSWFMatrix widest = MatrixOf((1 << 30) - 1, -(1 << 30));
  widest.HasScale = widest.HasSkew = true;
  widest.ScaleX = -(1 << 30);
  widest.ScaleY = 1;
  widest.SkewX = (1 << 30) - 1;
  const Case cases[] = {
      {MatrixOf(0, 0), R"(<Matrix TranslateX="0" TranslateY="0"/>)"},
      {scaled, R"(<Matrix TranslateX="100" TranslateY="-20" ScaleX="1.5" ScaleY="-0.25"/>)"},
      {skewed, R"(<Matrix TranslateX="0" TranslateY="0" RotateSkew0="0.5" RotateSkew1="-1"/>)"},
      {widest, R"(<Matrix TranslateX="1073741823" TranslateY="-1073741824" ScaleX="-16384" )"
               R"(ScaleY="1.52587890625e-05" RotateSkew0="0" RotateSkew1="16383.999984741211"/>)"},
  };
  for (const auto& c : cases) {
    const std::string xml =
        ElementXml([&](TSWFXmlWriter& w) { WriteMatrixXml(w, "Matrix", c.matrix); });
    EXPECT_EQ(xml, c.xml);
    TSWFMatrix back;
    back.SetScale(3, 3);  // whatever the object held before goes
    ReadElement(xml, [&](const TSWFXmlNode& node) { ReadMatrixXml(node, back); });
    EXPECT_EQ(back, c.matrix) << c.xml;
    EXPECT_EQ(ToHex(MatrixBytes(back)), ToHex(MatrixBytes(c.matrix))) << c.xml;
  }
}

TEST(XmlRecords, AMatrixTakesHandEditsAndRefusesBadOnes) {
  TSWFMatrix m;
  ReadElement(R"(<Matrix ScaleX="0.3" ScaleY="2"/>)",
              [&](const TSWFXmlNode& node) { ReadMatrixXml(node, m); });
  EXPECT_TRUE(m.HasScale);
  EXPECT_EQ(m.ScaleX, 19661);  // the nearest 1/65536 to 0.3
  EXPECT_EQ(m.ScaleY, 0x20000);
  EXPECT_EQ(m.TranslateX, 0);
  EXPECT_FALSE(m.HasSkew);

  const std::pair<std::string_view, std::string_view> bad[] = {
      {R"(<Matrix ScaleX="2"/>)", "r.xml:2: <Matrix> lacks the attribute ScaleY"},
      {R"(<Matrix RotateSkew1="2"/>)", "r.xml:2: <Matrix> lacks the attribute RotateSkew0"},
      {R"(<Matrix TranslateX="1073741824"/>)", "r.xml:2: TranslateX=1073741824 is out of range"},
      {R"(<Matrix ScaleX="16384" ScaleY="1"/>)", "r.xml:2: ScaleX is out of range"},
      {R"(<Matrix ScaleX="nan" ScaleY="1"/>)", "r.xml:2: ScaleX"},
      {R"(<Matrix ScaleX="1,5" ScaleY="1"/>)", "r.xml:2: ScaleX=\"1,5\" is not a number"},
      {R"(<Matrix Translate="3"/>)", "r.xml:2: unknown attribute Translate of <Matrix>"},
  };
  for (const auto& [text, message] : bad) {
    TSWFMatrix target;
    const std::string refusal =
        Refusal(text, [&](const TSWFXmlNode& node) { ReadMatrixXml(node, target); });
    EXPECT_TRUE(refusal.starts_with(message)) << text << " gave: " << refusal;
  }
}

// A colour transform as a movie holds it: terms as they were read, unclamped, and their width.
TSWFColorTransform TransformAsRead(TCXFormRec rec) {
  TSWFColorTransform c;
  c.SetAsRead(rec);
  return c;
}

Bytes TransformBytes(const TSWFColorTransform& transform, bool hasAlpha) {
  TMemoryStream out;
  TBitsEngine be(out);
  TCXFormRec c = transform.GetRec();
  c.HasAlpha = hasAlpha;
  be.WriteColorTransform(c);
  return out.Release();
}

TEST(XmlRecords, AColourTransformReadsAsItsTermsAndKeepsAWidthOnlyWhenWider) {
  struct Case {
    TCXFormRec rec;  // as read: HasAlpha names the record kind
    std::string xml;
  };
  TCXFormRec none;
  TCXFormRec mult{.MultR = 256, .MultG = 128, .MultB = 0, .HasMult = true, .Bits = 10};
  TCXFormRec both{.AddR = -255, .AddG = 0, .AddB = 3, .AddA = 255, .MultR = 256, .MultG = 256,
                  .MultB = 256, .MultA = 77, .HasAdd = true, .HasMult = true, .HasAlpha = true,
                  .Bits = 10};
  TCXFormRec wide{.AddR = 1, .AddG = 2, .AddB = 3, .HasAdd = true, .Bits = 15};
  TCXFormRec widthOnly{.Bits = 7};  // no terms, yet the field has a width
  TCXFormRec hostile{.MultR = 16383, .MultG = -16384, .MultB = -1, .HasMult = true, .Bits = 15};
  const Case cases[] = {
      {none, R"(<CXForm/>)"},
      {mult, R"(<CXForm RedMultTerm="256" GreenMultTerm="128" BlueMultTerm="0"/>)"},
      {both, R"(<CXForm RedMultTerm="256" GreenMultTerm="256" BlueMultTerm="256" )"
             R"(AlphaMultTerm="77" RedAddTerm="-255" GreenAddTerm="0" BlueAddTerm="3" )"
             R"(AlphaAddTerm="255"/>)"},
      {wide, R"(<CXForm RedAddTerm="1" GreenAddTerm="2" BlueAddTerm="3" Nbits="15"/>)"},
      {widthOnly, R"(<CXForm Nbits="7"/>)"},
      {hostile, R"(<CXForm RedMultTerm="16383" GreenMultTerm="-16384" BlueMultTerm="-1"/>)"},
  };
  for (const auto& c : cases) {
    const TSWFColorTransform transform = TransformAsRead(c.rec);
    const bool alpha = c.rec.HasAlpha;
    const std::string xml = ElementXml(
        [&](TSWFXmlWriter& w) { WriteColorTransformXml(w, "CXForm", transform, alpha); });
    EXPECT_EQ(xml, c.xml);
    TSWFColorTransform back = TransformAsRead(both);
    ReadElement(xml, [&](const TSWFXmlNode& node) { ReadColorTransformXml(node, back, alpha); });
    EXPECT_EQ(back, transform) << c.xml;
    EXPECT_EQ(ToHex(TransformBytes(back, alpha)), ToHex(TransformBytes(transform, alpha))) << c.xml;
  }
}

TEST(XmlRecords, AColourTransformTakesHandEditsAndRefusesBadOnes) {
  TSWFColorTransform c;
  ReadElement(R"(<CXForm AlphaMultTerm="128"/>)",
              [&](const TSWFXmlNode& node) { ReadColorTransformXml(node, c, true); });
  EXPECT_TRUE(c.HasMult);
  EXPECT_FALSE(c.HasAdd);
  EXPECT_EQ(c.MultR, 256);  // the terms left out change nothing
  EXPECT_EQ(c.MultB, 256);
  EXPECT_EQ(c.MultA, 128);

  struct Bad {
    std::string_view text;
    bool alpha;
    std::string_view message;
  };
  const Bad bad[] = {
      {R"(<CXForm AlphaAddTerm="1"/>)", false, "r.xml:2: unknown attribute AlphaAddTerm"},
      {R"(<CXForm RedAddTerm="16384"/>)", true, "r.xml:2: RedAddTerm=16384 is out of range"},
      {R"(<CXForm RedMultTerm="256" Nbits="9"/>)", false,
       "r.xml:2: Nbits=9 is too narrow for the terms (they need 10)"},
      {R"(<CXForm Nbits="16"/>)", false, "r.xml:2: Nbits=16 is out of range"},
  };
  for (const auto& b : bad) {
    TSWFColorTransform target;
    const std::string refusal = Refusal(
        b.text, [&](const TSWFXmlNode& node) { ReadColorTransformXml(node, target, b.alpha); });
    EXPECT_TRUE(refusal.starts_with(b.message)) << b.text << " gave: " << refusal;
  }
}

// ---- filters ---------------------------------------------------------------------------------

Bytes FilterBytes(const TSWFFilterList& list) {
  TMemoryStream out;
  TBitsEngine be(out);
  list.WriteToStream(be);
  return out.Release();
}

std::string FilterListXml(const TSWFFilterList& list) {
  return ElementXml([&](TSWFXmlWriter& w) { WriteFilterListXml(w, "SurfaceFilterList", list); });
}

// The list read back from its text writes the same bytes and the same text.
void ExpectFilterListComesBack(const TSWFFilterList& list, const std::string& where) {
  const std::string xml = FilterListXml(list);
  TSWFFilterList back;
  back.Add<TSWFBlurFilter>();  // replaced
  ReadElement(xml, [&](const TSWFXmlNode& node) { ReadFilterListXml(node, back); });
  EXPECT_EQ(ToHex(FilterBytes(back)), ToHex(FilterBytes(list))) << where << "\n" << xml;
  EXPECT_EQ(FilterListXml(back), xml) << where;
}

TEST(XmlRecords, EveryFilterKindReadsAsItsFieldsAndComesBackToItsBytes) {
  TSWFFilterList list;
  auto& shadow = list.Add<TSWFDropShadowFilter>();
  shadow.Color.SetRGBA(MakeRGBA(0x10, 0x20, 0x30, 0x80));
  shadow.BlurX = 4.5;
  shadow.BlurY = -0.25;
  shadow.Angle = 0.785400390625;
  shadow.Distance = 4;
  shadow.Strength = -1.5;  // signed 8.8
  shadow.Passes = 31;
  shadow.InnerShadow = true;
  auto& blur = list.Add<TSWFBlurFilter>();
  blur.BlurX = blur.BlurY = 32767.9999847412109375;  // the widest 16.16
  blur.ReservedBits = 5;
  auto& glow = list.Add<TSWFGlowFilter>();
  glow.Knockout = true;
  glow.CompositeSource = false;
  auto& bevel = list.Add<TSWFBevelFilter>();
  bevel.OnTop = true;
  bevel.Passes = 15;
  auto& gradient = list.Add<TSWFGradientBevelFilter>();
  gradient.Stops.push_back({TSWFRGBA(true), 128});
  auto& convolution = list.Add<TSWFConvolutionFilter>();
  convolution.MatrixX = 3;
  convolution.MatrixY = 1;
  convolution.Matrix = {0.1f, -2.0f, std::bit_cast<float>(0x7FC00001u)};  // a NaN with a payload
  convolution.Divisor = 1e-30f;
  convolution.ReservedBits = 63;
  auto& colors = list.Add<TSWFColorMatrixFilter>();
  colors.Values[4] = 255.5f;
  list.Add<TSWFGradientGlowFilter>().Stops.clear();
  ExpectFilterListComesBack(list, "every kind");

  const std::string xml = FilterListXml(list);
  for (std::string_view part :
       {R"(<DropShadowFilter DropShadowColor="#10203080" BlurX="4.5" BlurY="-0.25" )"
        R"(Angle="0.785400390625" Distance="4" Strength="-1.5" InnerShadow="true" CompositeSource="true" )"
        R"(Passes="31"/>)",
        R"(<BlurFilter BlurX="32767.99998474121" BlurY="32767.99998474121" Passes="1" Reserved="5"/>)",
        R"(<GlowFilter GlowColor="#00000000" BlurX="0" BlurY="0" Strength="0" Knockout="true" Passes="1"/>)",
        R"(OnTop="true" Passes="15"/>)",
        R"(<GradientStop Color="#00000000" Ratio="255"/>)",
        R"(<ConvolutionFilter MatrixX="3" MatrixY="1" Divisor="1e-30" Bias="0" Matrix="0.1 -2 0x7FC00001" )",
        R"(Matrix="1 0 0 0 255.5 0 1 0 0 0 0 0 1 0 0 0 0 0 1 0"/>)"})
    EXPECT_NE(xml.find(part), std::string::npos) << part << "\n" << xml;
}

TEST(XmlRecords, EveryFilterListOfTheCorpusComesBackToItsBytes) {
  int lists = 0;
  ForEachCorpusTag([&](const CorpusTag& tag) {
    if (tag.code != 70) return;  // PlaceObject3
    std::unique_ptr<TSWFPlaceObject3> place;
    try {
      place = ReadTag<TSWFPlaceObject3>(tag.body, tag.context);
    } catch (const ESWFError&) {
      return;  // kept as raw bytes by the reader
    }
    if (!place->FindFilters()) return;
    ++lists;
    ExpectFilterListComesBack(*place->FindFilters(), tag.file.filename().string() + " " + tag.where);
  });
  EXPECT_GT(lists, 0);
}

TEST(XmlRecords, AFilterListRefusesBadEdits) {
  const std::pair<std::string_view, std::string_view> bad[] = {
      {R"(<L><SharpenFilter/></L>)", "r.xml:2: unknown element <SharpenFilter> in <L>"},
      {R"(<L><BlurFilter BlurX="1" BlurY="1" Passes="32"/></L>)", "r.xml:2: Passes=32 is out of range"},
      {R"(<L><BlurFilter BlurX="32768" BlurY="1" Passes="1"/></L>)", "r.xml:2: BlurX is out of range"},
      {R"(<L><ColorMatrixFilter Matrix="1 2 3"/></L>)",
       "r.xml:2: Matrix holds 3 values, 20 are needed"},
      {R"(<L><ConvolutionFilter MatrixX="1" MatrixY="1" Divisor="1" Bias="0" Matrix="x" DefaultColor="#00000000"/></L>)",
       "r.xml:2: Matrix holds \"x\", not a number"},
      {R"(<L><GlowFilter GlowColor="#000000" BlurX="0" BlurY="0" Strength="0" Passes="1"/></L>)",
       "r.xml:2: GlowColor=\"#000000\" is not a colour #RRGGBBAA"},
      {R"(<L><BevelFilter Shadowcolor="#00000000"/></L>)", "r.xml:2: <BevelFilter> lacks the attribute ShadowColor"},
  };
  for (const auto& [text, message] : bad) {
    TSWFFilterList target;
    const std::string refusal =
        Refusal(text, [&](const TSWFXmlNode& node) { ReadFilterListXml(node, target); });
    EXPECT_TRUE(refusal.starts_with(message)) << text << " gave: " << refusal;
  }
}

// ---- glyph outlines ------------------------------------------------------------------------------

std::string GlyphXml(const TShapeRecordList& glyph) {
  return ElementXml([&](TSWFXmlWriter& w) { WriteShapeXml(w, "Glyph", glyph); });
}

std::unique_ptr<TSWFObject> ReadFontTag(uint16_t code, std::span<const uint8_t> body,
                                        const TSWFReadContext& context) {
  auto tag = CreateTagObject(code);
  tag->BodySize = static_cast<int32_t>(body.size());
  tag->SetReadContext(context);
  TMemoryStream view = TMemoryStream::View(body);
  TBitsEngine be(view);
  tag->ReadFromStream(be);
  return tag;
}

// Every glyph of every font of the corpus, through its text: the font writes the same bytes,
// and the glyphs read from them give the same text again.
TEST(XmlRecords, EveryGlyphOfTheCorpusComesBackThroughItsText) {
  int glyphs = 0;
  ForEachCorpusTag([&](const CorpusTag& tag) {
    if (tag.code != 10 && tag.code != 48 && tag.code != 75) return;  // DefineFont 1 to 3
    std::unique_ptr<TSWFObject> object;
    try {
      object = ReadFontTag(tag.code, tag.body, tag.context);
    } catch (const ESWFError&) {
      return;
    }
    auto& font = dynamic_cast<TSWFDefineFont&>(*object);
    const std::string where = tag.file.filename().string() + " " + tag.where;
    const Bytes before = WriteBody(font, WriteContextOf(tag.context));
    std::vector<std::string> texts;
    for (auto& glyph : font.GlyphShapeTable) {
      texts.push_back(GlyphXml(glyph));
      ReadElement(texts.back(), [&](const TSWFXmlNode& node) { ReadShapeXml(node, glyph); });
    }
    const Bytes after = WriteBody(font, WriteContextOf(tag.context));
    ASSERT_EQ(ToHex(after), ToHex(before)) << where;
    const auto again = ReadFontTag(tag.code, after, tag.context);
    const auto& reread = dynamic_cast<TSWFDefineFont&>(*again).GlyphShapeTable;
    ASSERT_EQ(reread.size(), texts.size()) << where;
    for (size_t i = 0; i < texts.size(); ++i)
      ASSERT_EQ(GlyphXml(reread[i]), texts[i]) << where << " glyph " << i;
    glyphs += static_cast<int>(texts.size());
  });
  EXPECT_GT(glyphs, 1000);
}

TEST(XmlRecords, AGlyphReadsAsItsRecordsAndRefusesBadEdits) {
  TShapeRecordList glyph;
  ReadElement(R"(<Glyph>
    <StyleChange MoveX="100" MoveY="-20" FillStyle1="1"/>
    <StraightEdge DX="200"/>
    <CurvedEdge ControlDX="1" ControlDY="2" AnchorDX="-3" AnchorDY="-65536"/>
  </Glyph>)", [&](const TSWFXmlNode& node) { ReadShapeXml(node, glyph); });
  ASSERT_EQ(glyph.size(), 4u);
  const auto& change = dynamic_cast<const TSWFStyleChangeRecord&>(*glyph[0]);
  EXPECT_TRUE(change.StateMoveTo && change.StateFillStyle1);
  EXPECT_FALSE(change.StateFillStyle0 || change.StateLineStyle || change.StateNewStyles);
  EXPECT_EQ(std::tuple(change.X, change.Y, change.Fill1()), std::tuple(100, -20, 1));
  const auto& line = dynamic_cast<const TSWFStraightEdgeRecord&>(*glyph[1]);
  EXPECT_EQ(std::pair(line.X, line.Y), std::pair(200, 0));
  const auto& curve = dynamic_cast<const TSWFCurvedEdgeRecord&>(*glyph[2]);
  EXPECT_EQ(std::tuple(curve.ControlX, curve.ControlY, curve.AnchorX, curve.AnchorY),
            std::tuple(1, 2, -3, -65536));
  EXPECT_EQ(glyph[3]->Kind, TShapeRecordKind::End);

  const std::pair<std::string_view, std::string_view> bad[] = {
      {R"(<Glyph><StyleChange FillStyle1="2"/></Glyph>)", "r.xml:2: FillStyle1=2 is out of range (0 to 1)"},
      {R"(<Glyph><StyleChange LineStyle="1"/></Glyph>)", "r.xml:2: LineStyle=1 is out of range (0 to 0)"},
      {R"(<Glyph><StraightEdge DX="65536"/></Glyph>)", "r.xml:2: DX=65536 is out of range"},
      {R"(<Glyph><StyleChange/></Glyph>)", "r.xml:2: <StyleChange> changes nothing"},
      {R"(<Glyph><EndShape/></Glyph>)", "r.xml:2: unknown element <EndShape> in <Glyph>"},
      {R"(<Glyph><StraightEdge Dx="3"/></Glyph>)", "r.xml:2: unknown attribute Dx of <StraightEdge>"},
  };
  for (const auto& [text, message] : bad) {
    TShapeRecordList target;
    const std::string refusal =
        Refusal(text, [&](const TSWFXmlNode& node) { ReadShapeXml(node, target); });
    EXPECT_TRUE(refusal.starts_with(message)) << text << " gave: " << refusal;
  }
}

}  // namespace
}  // namespace tw::test
