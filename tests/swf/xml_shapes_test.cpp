// The shape tags as XML: forms the corpus holds few of, crafted, come back as their own text;
// hand edits reach the shape read back; bad edits are refused with the line.
#include <functional>
#include <sstream>

#include "support/testing.h"
#include "swf/shape_tags.h"
#include "swf/stream.h"
#include "swf/xml_movie.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// Every plain and morph form: wide lines with a fill and a miter limit, focal and bitmap fills,
// new styles in a record, both morph line kinds.
constexpr std::string_view kShapes = R"(<?xml version="1.0" encoding="UTF-8"?>
<SWF Version="8" Compressed="false" FrameRate="12" FrameCount="1">
  <FrameSize Xmin="0" Xmax="8000" Ymin="0" Ymax="6000"/>
  <DefineShape3 ShapeId="1">
    <ShapeBounds Xmin="0" Xmax="200" Ymin="0" Ymax="100"/>
    <FillStyles>
      <SolidFill Color="#FF000080"/>
      <RadialGradient SpreadMode="1" InterpolationMode="1">
        <Matrix TranslateX="100" TranslateY="50" ScaleX="0.5" ScaleY="0.25"/>
        <GradRecord Ratio="0" Color="#000000FF"/>
        <GradRecord Ratio="255" Color="#FFFFFF00"/>
      </RadialGradient>
    </FillStyles>
    <LineStyles>
      <LineStyle Width="20" Color="#00FF00FF"/>
    </LineStyles>
    <ShapeRecords>
      <StyleChange MoveX="0" MoveY="0" FillStyle0="1" LineStyle="1"/>
      <StraightEdge DX="200" DY="0"/>
      <CurvedEdge ControlDX="0" ControlDY="50" AnchorDX="-100" AnchorDY="50"/>
      <StraightEdge DX="-100" DY="-100"/>
    </ShapeRecords>
  </DefineShape3>
  <DefineShape4 ShapeId="2" UsesFillWindingRule="true" UsesNonScalingStrokes="true">
    <ShapeBounds Xmin="-10" Xmax="110" Ymin="-10" Ymax="110"/>
    <EdgeBounds Xmin="0" Xmax="100" Ymin="0" Ymax="100"/>
    <FillStyles>
      <NonSmoothedClippedBitmap BitmapId="7">
        <Matrix TranslateX="0" TranslateY="0" ScaleX="20" ScaleY="20" RotateSkew0="0.5" RotateSkew1="-0.5"/>
      </NonSmoothedClippedBitmap>
    </FillStyles>
    <LineStyles>
      <LineStyle2 Width="40" StartCapStyle="1" JoinStyle="2" MiterLimitFactor="2.5" EndCapStyle="2" NoHScaleFlag="true" PixelHintingFlag="true" NoClose="true" Color="#12345678"/>
      <LineStyle2 Width="20">
        <FocalGradient FocalPoint="-128">
          <Matrix TranslateX="50" TranslateY="50"/>
          <GradRecord Ratio="10" Color="#FF00FF80"/>
        </FocalGradient>
      </LineStyle2>
    </LineStyles>
    <ShapeRecords>
      <StyleChange MoveX="0" MoveY="0" FillStyle1="1" LineStyle="2"/>
      <StraightEdge DX="0" DY="100"/>
      <StyleChange FillStyle0="1">
        <FillStyles>
          <SolidFill Color="#0000FF40"/>
        </FillStyles>
        <LineStyles>
          <LineStyle2 Width="1" Color="#000000FF"/>
        </LineStyles>
      </StyleChange>
      <StraightEdge DX="100" DY="-100"/>
    </ShapeRecords>
  </DefineShape4>
  <DefineMorphShape CharacterId="3">
    <StartBounds Xmin="0" Xmax="100" Ymin="0" Ymax="100"/>
    <EndBounds Xmin="0" Xmax="200" Ymin="0" Ymax="200"/>
    <MorphFillStyles>
      <LinearGradient SpreadMode="2">
        <StartMatrix TranslateX="0" TranslateY="0"/>
        <EndMatrix TranslateX="100" TranslateY="0" ScaleX="2" ScaleY="2"/>
        <GradRecord StartRatio="0" StartColor="#FF0000FF" EndRatio="20" EndColor="#0000FFFF"/>
      </LinearGradient>
      <RepeatingBitmap BitmapId="9">
        <StartMatrix TranslateX="0" TranslateY="0"/>
        <EndMatrix TranslateX="5" TranslateY="5"/>
      </RepeatingBitmap>
    </MorphFillStyles>
    <MorphLineStyles>
      <MorphLineStyle StartWidth="20" EndWidth="40" StartColor="#000000FF" EndColor="#FFFFFF80"/>
    </MorphLineStyles>
    <StartEdges>
      <StyleChange MoveX="0" MoveY="0" FillStyle0="2" LineStyle="1"/>
      <StraightEdge DX="100" DY="100"/>
    </StartEdges>
    <EndEdges>
      <StyleChange MoveX="0" MoveY="0"/>
      <CurvedEdge ControlDX="100" ControlDY="0" AnchorDX="100" AnchorDY="200"/>
    </EndEdges>
  </DefineMorphShape>
  <DefineMorphShape2 CharacterId="4" UsesScalingStrokes="true" Reserved="5">
    <StartBounds Xmin="0" Xmax="10" Ymin="0" Ymax="10"/>
    <EndBounds Xmin="0" Xmax="20" Ymin="0" Ymax="20"/>
    <StartEdgeBounds Xmin="1" Xmax="9" Ymin="1" Ymax="9"/>
    <EndEdgeBounds Xmin="1" Xmax="19" Ymin="1" Ymax="19"/>
    <MorphFillStyles>
      <SolidFill StartColor="#11223344" EndColor="#55667788"/>
    </MorphFillStyles>
    <MorphLineStyles>
      <MorphLineStyle2 StartWidth="1" EndWidth="2" JoinStyle="2" MiterLimitFactor="3" StartColor="#000000FF" EndColor="#00000000"/>
      <MorphLineStyle2 StartWidth="3" EndWidth="4" NoVScaleFlag="true">
        <FocalGradient StartFocalPoint="10" EndFocalPoint="-10">
          <StartMatrix TranslateX="0" TranslateY="0"/>
          <EndMatrix TranslateX="0" TranslateY="0"/>
        </FocalGradient>
      </MorphLineStyle2>
    </MorphLineStyles>
    <StartEdges>
      <StyleChange MoveX="1" MoveY="1" FillStyle1="1" LineStyle="2"/>
      <StraightEdge DX="8" DY="8"/>
    </StartEdges>
    <EndEdges>
      <StyleChange MoveX="1" MoveY="1"/>
      <StraightEdge DX="18" DY="18"/>
    </EndEdges>
  </DefineMorphShape2>
  <ShowFrame/>
  <End/>
</SWF>
)";

Bytes Save(TBasedSWFStream& movie) {
  TMemoryStream out;
  movie.SaveToStream(out);
  return out.Release();
}

// The text compiled, written as a movie and read back from its bytes.
std::unique_ptr<TSWFStreamReader> Compiled(std::string_view text) {
  auto movie = ReadMovieXml(text, "shapes.xml");
  auto read = std::make_unique<TSWFStreamReader>(Save(*movie));
  read->ParseTags(true, true);
  return read;
}

std::string Edited(std::string_view from, std::string_view to) {
  std::string text(kShapes);
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(XmlShapes, EveryShapeFormComesBackAsItsOwnText) {
  auto movie = Compiled(kShapes);
  std::ostringstream out;
  WriteMovieXml(*movie, out);
  EXPECT_EQ(out.str(), kShapes);
}

TEST(XmlShapes, AHandEditReachesTheShapeReadBack) {
  struct Case {
    std::string_view from, to;
    uint16_t shapeId;
    std::function<void(TSWFDefineShape&)> check;
  };
  const auto colour = [](TSWFDefineShape& s) {
    auto& fill = dynamic_cast<TSWFColorFill&>(*s.FillStyles.at(0));
    EXPECT_EQ(fill.Color.GetRGBA(), MakeRGBA(0x00, 0x80, 0xFF, 0x40));
  };
  // The writer keeps the bounds as given: an edge moved is a record changed.
  const auto edge = [](TSWFDefineShape& s) {
    const auto& line = dynamic_cast<const TSWFStraightEdgeRecord&>(*s.Edges.at(1));
    EXPECT_EQ(std::pair(line.X, line.Y), std::pair(300, 0));
    EXPECT_EQ(s.ShapeBounds.XMax(), 200);
  };
  const auto cap = [](TSWFDefineShape& s) {
    auto& line = dynamic_cast<TSWFLineStyle2&>(*s.LineStyles.at(0));
    EXPECT_EQ(line.StartCapStyle, 3);
    EXPECT_EQ(line.MiterLimitFactor, 2.5f);
  };
  const Case cases[] = {
      {"<SolidFill Color=\"#FF000080\"/>", "<SolidFill Color=\"#0080FF40\"/>", 1, colour},
      {"<StraightEdge DX=\"200\" DY=\"0\"/>", "<StraightEdge DX=\"300\" DY=\"0\"/>", 1, edge},
      {"StartCapStyle=\"1\"", "StartCapStyle=\"3\"", 2, cap},
  };
  for (const auto& c : cases) {
    auto movie = Compiled(Edited(c.from, c.to));
    TSWFDefineShape* shape = nullptr;
    for (const auto& info : movie->TagList) {
      auto* s = dynamic_cast<TSWFDefineShape*>(info->TagObject());
      if (s && s->ID == c.shapeId) shape = s;
    }
    ASSERT_NE(shape, nullptr) << c.to;
    c.check(*shape);
  }
}

TEST(XmlShapes, ABadEditNamesTheFileAndLine) {
  std::string sixteen;
  for (int i = 0; i < 16; ++i) sixteen += "<GradRecord Ratio=\"" + std::to_string(i) + "\" Color=\"#000000FF\"/>";
  struct Case {
    std::string from, to, message;
  };
  const Case cases[] = {
      {"FillStyle0=\"1\" LineStyle=\"1\"", "FillStyle0=\"3\" LineStyle=\"1\"",
       "shapes.xml:18: FillStyle0=3 is out of range (0 to 2)"},
      {"LineStyle=\"2\"/>", "LineStyle=\"3\"/>", "shapes.xml:42: LineStyle=3 is out of range (0 to 2)"},
      {"<StraightEdge DX=\"200\" DY=\"0\"/>", "<MoveTo DX=\"200\" DY=\"0\"/>",
       "shapes.xml:19: unknown element <MoveTo> in <ShapeRecords>"},
      {"<GradRecord Ratio=\"0\" Color=\"#000000FF\"/>", sixteen,
       "shapes.xml:10: a gradient holds at most 15 records"},
      {"<LineStyle Width=\"20\" Color=\"#00FF00FF\"/>", "<LineStyle Width=\"20\" Color=\"#00FF00\"/>",
       "shapes.xml:15: Color=\"#00FF00\" is not a colour #RRGGBBAA"},
      {"<LineStyle2 Width=\"1\" Color=\"#000000FF\"/>", "<LineStyle Width=\"1\" Color=\"#000000FF\"/>",
       "shapes.xml:49: <LineStyle> where a <LineStyle2> belongs"},
      {"<SolidFill Color=\"#FF000080\"/>", "<SolidFill Color=\"#FF000080\" Colour=\"red\"/>",
       "shapes.xml:7: unknown attribute Colour of <SolidFill>"},
      {"InterpolationMode=\"1\"", "InterpolationMode=\"4\"",
       "shapes.xml:8: InterpolationMode=4 is out of range (0 to 3)"},
  };
  for (const auto& c : cases) {
    try {
      ReadMovieXml(Edited(c.from, c.to), "shapes.xml");
      ADD_FAILURE() << "accepted: " << c.to;
    } catch (const ESWFXmlError& e) {
      EXPECT_EQ(std::string_view(e.what()).substr(0, c.message.size()), c.message) << e.what();
    }
  }
}

}  // namespace
}  // namespace tw::test
