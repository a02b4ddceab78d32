// The shape tags as XML: bounds, style arrays and records as elements in place of their bodies.
#include <string>

#include "swf/shape_tags.h"
#include "swf/xml.h"
#include "swf/xml_fields.h"
#include "swf/xml_records.h"

namespace tw::swf {

namespace {

using xmlfields::ReadColorAs;
using xmlfields::UnknownElement;
using xmlfields::WriteColorAs;

// ---- morph fill and line styles

void WriteMorphGradientXml(TSWFXmlWriter& xml, const TSWFMorphGradientFill& fill) {
  if (fill.SpreadMode != 0) xml.Int("SpreadMode", fill.SpreadMode & 3);
  if (fill.InterpolationMode != 0) xml.Int("InterpolationMode", fill.InterpolationMode & 3);
  if (const auto* focal = dynamic_cast<const TSWFMorphFocalGradientFill*>(&fill)) {
    xml.Int("StartFocalPoint", focal->StartFocalPoint);
    xml.Int("EndFocalPoint", focal->EndFocalPoint);
  }
  WriteMatrixXml(xml, "StartMatrix", fill.StartMatrix);
  WriteMatrixXml(xml, "EndMatrix", fill.EndMatrix);
  for (int n = 1; n <= std::min<int>(fill.Count, kMaxGradientRecords); ++n) {
    const TSWFMorphGradientRecord& r = fill.Record(n);
    xml.Open("GradRecord");
    xml.Int("StartRatio", r.StartRatio);
    WriteColorAs(xml, "StartColor", r.StartColor, true);
    xml.Int("EndRatio", r.EndRatio);
    WriteColorAs(xml, "EndColor", r.EndColor, true);
    xml.Close();
  }
}

void ReadMorphGradientXml(const TSWFXmlNode& node, TSWFMorphGradientFill& fill) {
  if (auto* focal = dynamic_cast<TSWFMorphFocalGradientFill*>(&fill)) {
    focal->StartFocalPoint = node.Get<int16_t>("StartFocalPoint");
    focal->EndFocalPoint = node.Get<int16_t>("EndFocalPoint");
  }
  ReadMatrixXml(node.Child("StartMatrix"), fill.StartMatrix);
  ReadMatrixXml(node.Child("EndMatrix"), fill.EndMatrix);
  fill.Count = 0;
  xmlfields::ReadGradientRecords(node, fill.SpreadMode, fill.InterpolationMode,
                                 {"StartMatrix", "EndMatrix"}, [&](const TSWFXmlNode& child, int n) {
    fill.SetStartRatio(n, child.Get<uint8_t>("StartRatio"));
    ReadColorAs(child, "StartColor", fill.StartColor(n), true);
    fill.SetEndRatio(n, child.Get<uint8_t>("EndRatio"));
    ReadColorAs(child, "EndColor", fill.EndColor(n), true);
  });
}

void WriteMorphFillXml(TSWFXmlWriter& xml, const TSWFMorphFillStyle& fill) {
  xml.Open(xmlfields::FillElement(fill.FillType));
  if (const auto* color = dynamic_cast<const TSWFMorphColorFill*>(&fill)) {
    WriteColorAs(xml, "StartColor", color->StartColor, true);
    WriteColorAs(xml, "EndColor", color->EndColor, true);
  } else if (const auto* image = dynamic_cast<const TSWFMorphImageFill*>(&fill)) {
    xml.Int("BitmapId", image->ID);
    WriteMatrixXml(xml, "StartMatrix", image->StartMatrix);
    WriteMatrixXml(xml, "EndMatrix", image->EndMatrix);
  } else if (const auto* gradient = dynamic_cast<const TSWFMorphGradientFill*>(&fill)) {
    WriteMorphGradientXml(xml, *gradient);
  }
  xml.Close();
}

void ReadMorphFillFieldsXml(const TSWFXmlNode& node, TSWFMorphFillStyle& fill) {
  if (auto* color = dynamic_cast<TSWFMorphColorFill*>(&fill)) {
    ReadColorAs(node, "StartColor", color->StartColor, true);
    ReadColorAs(node, "EndColor", color->EndColor, true);
  } else if (auto* image = dynamic_cast<TSWFMorphImageFill*>(&fill)) {
    image->ID = node.Get<uint16_t>("BitmapId");
    ReadMatrixXml(node.Child("StartMatrix"), image->StartMatrix);
    ReadMatrixXml(node.Child("EndMatrix"), image->EndMatrix);
  } else if (auto* gradient = dynamic_cast<TSWFMorphGradientFill*>(&fill)) {
    ReadMorphGradientXml(node, *gradient);
  }
}

void WriteMorphLineXml(TSWFXmlWriter& xml, const TSWFMorphLineStyle& line) {
  const auto* wide = dynamic_cast<const TSWFMorphLineStyle2*>(&line);
  xml.Open(wide ? "MorphLineStyle2" : "MorphLineStyle");
  xml.Int("StartWidth", line.StartWidth);
  xml.Int("EndWidth", line.EndWidth);
  if (wide) {
    xmlfields::TXmlOut out(xml);
    xmlfields::WideLineFields(out, *wide);
  }
  if (wide && wide->HasFillFlag && wide->FillStyle()) {
    WriteMorphFillXml(xml, *wide->FillStyle());
  } else if (wide && wide->HasFillFlag) {
    // A line to be filled that was given no fill is filled with its colours.
    TSWFMorphColorFill fill;
    fill.StartColor = line.StartColor;
    fill.EndColor = line.EndColor;
    WriteMorphFillXml(xml, fill);
  } else {
    WriteColorAs(xml, "StartColor", line.StartColor, true);
    WriteColorAs(xml, "EndColor", line.EndColor, true);
  }
  xml.Close();
}

std::unique_ptr<TSWFMorphLineStyle> ReadMorphLineXml(const TSWFXmlNode& node, bool wide) {
  const std::string_view expected = wide ? "MorphLineStyle2" : "MorphLineStyle";
  if (node.Name() != expected)
    node.Fail("<" + std::string(node.Name()) + "> where a <" + std::string(expected) + "> belongs");
  std::unique_ptr<TSWFMorphLineStyle> line;
  std::optional<TSWFXmlNode> fill;
  if (wide) {
    auto line2 = std::make_unique<TSWFMorphLineStyle2>();
    xmlfields::TXmlIn in(node);
    xmlfields::WideLineFields(in, *line2);
    fill = xmlfields::LineFillElement(node);
    line2->HasFillFlag = fill.has_value();
    if (fill) ReadMorphFillFieldsXml(*fill, *line2->FillStyle(xmlfields::FillTypeOf(*fill)));
    line = std::move(line2);
  } else {
    line = std::make_unique<TSWFMorphLineStyle>();
  }
  line->StartWidth = node.Get<uint16_t>("StartWidth");
  line->EndWidth = node.Get<uint16_t>("EndWidth");
  if (!fill) {
    ReadColorAs(node, "StartColor", line->StartColor, true);
    ReadColorAs(node, "EndColor", line->EndColor, true);
  }
  return line;
}

// A style array holds at most 65535 styles: its count is 16-bit.
void CheckStyleCount(const TSWFXmlNode& child, size_t count) {
  if (count == 0xFFFF) child.Fail("a style array holds at most 65535 styles");
}

}  // namespace

// ---- DefineShape 1 to 4 ----------------------------------------------------------------------

void TSWFDefineShape::WriteXml(TSWFXmlWriter& xml) {
  auto* shape4 = dynamic_cast<TSWFDefineShape4*>(this);
  xml.Int("ShapeId", ID);
  if (shape4) {
    // Flags the writer works out from the line styles are written as it will write them.
    if (!shape4->KeepStrokeFlags) {
      TMemoryStream scratch;
      TBitsEngine be(scratch, xml.Context);
      WriteExtraFields(be);
    }
    xml.Flag("UsesFillWindingRule", shape4->UsesFillWindingRule);
    xml.Flag("UsesNonScalingStrokes", shape4->UsesNonScalingStrokes);
    xml.Flag("UsesScalingStrokes", shape4->UsesScalingStrokes);
    if (shape4->ReservedFlags != 0) xml.Int("Reserved", shape4->ReservedFlags);
  }
  WriteRectXml(xml, "ShapeBounds", ShapeBounds);
  if (shape4) WriteRectXml(xml, "EdgeBounds", shape4->EdgeBounds);
  WriteFillStylesXml(xml, "FillStyles", FillStyles, HasAlpha);
  WriteLineStylesXml(xml, "LineStyles", LineStyles, HasAlpha);
  WriteShapeRecordsXml(xml, "ShapeRecords", Edges, {HasAlpha, UsesLineStyle2()});
}

void TSWFDefineShape::ReadXml(const TSWFXmlNode& node) {
  ID = node.Get<uint16_t>("ShapeId");
  if (auto* shape4 = dynamic_cast<TSWFDefineShape4*>(this)) {
    shape4->UsesFillWindingRule = node.Flag("UsesFillWindingRule");
    shape4->UsesNonScalingStrokes = node.Flag("UsesNonScalingStrokes");
    shape4->UsesScalingStrokes = node.Flag("UsesScalingStrokes");
    shape4->ReservedFlags = static_cast<uint8_t>(node.Has("Reserved") ? node.Int("Reserved", 0, 31) : 0);
    shape4->KeepStrokeFlags = true;
    ReadRectXml(node.Child("EdgeBounds"), shape4->EdgeBounds);
  }
  ReadRectXml(node.Child("ShapeBounds"), ShapeBounds);
  const TShapeStyleFormat format{HasAlpha, UsesLineStyle2()};
  ReadFillStylesXml(node.Child("FillStyles"), FillStyles, HasAlpha);
  ReadLineStylesXml(node.Child("LineStyles"), LineStyles, format);
  ReadShapeRecordsXml(node.Child("ShapeRecords"), Edges, format, FillStyles.size(),
                      LineStyles.size());
}

// ---- DefineMorphShape, DefineMorphShape2 -----------------------------------------------------

void TSWFDefineMorphShape::WriteXml(TSWFXmlWriter& xml) {
  auto* morph2 = dynamic_cast<TSWFDefineMorphShape2*>(this);
  xml.Int("CharacterId", ID);
  if (morph2) {
    if (!morph2->KeepStrokeFlags) {
      TMemoryStream scratch;
      TBitsEngine be(scratch, xml.Context);
      WriteExtraFields(be);
    }
    xml.Flag("UsesNonScalingStrokes", morph2->UsesNonScalingStrokes);
    xml.Flag("UsesScalingStrokes", morph2->UsesScalingStrokes);
    if (morph2->ReservedFlags != 0) xml.Int("Reserved", morph2->ReservedFlags);
  }
  WriteRectXml(xml, "StartBounds", StartBounds);
  WriteRectXml(xml, "EndBounds", EndBounds);
  if (morph2) {
    WriteRectXml(xml, "StartEdgeBounds", morph2->StartEdgeBounds);
    WriteRectXml(xml, "EndEdgeBounds", morph2->EndEdgeBounds);
  }
  xml.Open("MorphFillStyles");
  for (const auto& fill : FillStyles) WriteMorphFillXml(xml, *fill);
  xml.Close();
  xml.Open("MorphLineStyles");
  for (const auto& line : LineStyles) WriteMorphLineXml(xml, *line);
  xml.Close();
  // New styles in the records of a morph shape have alpha.
  const TShapeStyleFormat format{true, UsesLineStyle2()};
  WriteShapeRecordsXml(xml, "StartEdges", StartEdges, format);
  WriteShapeRecordsXml(xml, "EndEdges", EndEdges, format);
}

void TSWFDefineMorphShape::ReadXml(const TSWFXmlNode& node) {
  ID = node.Get<uint16_t>("CharacterId");
  if (auto* morph2 = dynamic_cast<TSWFDefineMorphShape2*>(this)) {
    morph2->UsesNonScalingStrokes = node.Flag("UsesNonScalingStrokes");
    morph2->UsesScalingStrokes = node.Flag("UsesScalingStrokes");
    morph2->ReservedFlags = static_cast<uint8_t>(node.Has("Reserved") ? node.Int("Reserved", 0, 63) : 0);
    morph2->KeepStrokeFlags = true;
    ReadRectXml(node.Child("StartEdgeBounds"), morph2->StartEdgeBounds);
    ReadRectXml(node.Child("EndEdgeBounds"), morph2->EndEdgeBounds);
  }
  ReadRectXml(node.Child("StartBounds"), StartBounds);
  ReadRectXml(node.Child("EndBounds"), EndBounds);
  const TSWFXmlNode fills = node.Child("MorphFillStyles");
  FillStyles.clear();
  for (const TSWFXmlNode& child : fills.Elements()) {
    if (!xmlfields::IsFillElement(child.Name())) UnknownElement(child, fills);
    CheckStyleCount(child, FillStyles.size());
    FillStyles.push_back(CreateMorphFillStyle(xmlfields::FillTypeOf(child)));
    ReadMorphFillFieldsXml(child, *FillStyles.back());
  }
  const TSWFXmlNode lines = node.Child("MorphLineStyles");
  LineStyles.clear();
  for (const TSWFXmlNode& child : lines.Elements()) {
    CheckStyleCount(child, LineStyles.size());
    LineStyles.push_back(ReadMorphLineXml(child, UsesLineStyle2()));
  }
  const TShapeStyleFormat format{true, UsesLineStyle2()};
  ReadShapeRecordsXml(node.Child("StartEdges"), StartEdges, format, FillStyles.size(),
                      LineStyles.size());
  ReadShapeRecordsXml(node.Child("EndEdges"), EndEdges, format, FillStyles.size(),
                      LineStyles.size());
}

}  // namespace tw::swf
