// The records many tags share, as XML: each comes back to the bytes it was read from, reads as
// its fields, takes hand edits and refuses bad ones with the file and line.
#include <functional>
#include <sstream>

#include "support/testing.h"
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

}  // namespace
}  // namespace tw::test
