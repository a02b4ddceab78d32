// Records that many tags hold, with one XML form each: every tag that has a MATRIX or a colour
// transform writes and reads it through these, so that an edit looks the same wherever it is made.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "swf/bits.h"
#include "swf/filters.h"
#include "swf/shape_records.h"
#include "swf/xml.h"

namespace tw::swf {

// A MATRIX as an element: TranslateX and TranslateY in twips, and ScaleX, ScaleY, RotateSkew0,
// RotateSkew1 as decimal numbers (1 is the unit scale) for the terms it has. The widths are the
// smallest ones, which is what the writer uses, so none is written.
void WriteMatrixXml(TSWFXmlWriter& xml, std::string_view element, const TSWFMatrix& matrix);
void ReadMatrixXml(const TSWFXmlNode& node, TSWFMatrix& matrix);

// A CXFORM (hasAlpha false) or a CXFORMWITHALPHA (true) as an element: the terms it has
// (RedMultTerm ... AlphaAddTerm; 256 multiplies by one), and Nbits only where the record was
// read with a wider field than its terms need.
void WriteColorTransformXml(TSWFXmlWriter& xml, std::string_view element,
                            const TSWFColorTransform& transform, bool hasAlpha);
void ReadColorTransformXml(const TSWFXmlNode& node, TSWFColorTransform& transform, bool hasAlpha);

// A filter list as an element holding one element per filter, named after its record
// (DropShadowFilter, BlurFilter ... GradientBevelFilter) with the record's fields: colours with
// alpha, blur, angle, distance and strength as decimal numbers, flags, Passes. A convolution or
// colour matrix holds its values in one Matrix attribute, row by row; the colours of a gradient
// filter are <GradientStop Color Ratio> elements.
void WriteFilterListXml(TSWFXmlWriter& xml, std::string_view element, const TSWFFilterList& filters);
// Reads the filters of the element into the list, replacing what it held.
void ReadFilterListXml(const TSWFXmlNode& node, TSWFFilterList& filters);

// A SHAPE, the outline of a font glyph: its records as the children of an element, without style
// arrays (see WriteShapeRecordsXml). `attributes`, when given, writes the element's attributes.
void WriteShapeXml(TSWFXmlWriter& xml, std::string_view element, const TShapeRecordList& records,
                   const std::function<void()>& attributes = {});
void ReadShapeXml(const TSWFXmlNode& node, TShapeRecordList& records);

// ---- the parts of shapes and morph shapes

// Shape records as the children of an element: <StyleChange MoveX MoveY FillStyle0 FillStyle1
// LineStyle> (the fields it changes; new styles as <FillStyles> and <LineStyles> children),
// <StraightEdge DX DY> and <CurvedEdge ControlDX ControlDY AnchorDX AnchorDY>, deltas in twips.
// The end record is implied, and the widths are the writer's. Reading refuses a style index
// beyond the styles in force (fillCount and lineCount at the start, then those of the last new
// styles).
void WriteShapeRecordsXml(TSWFXmlWriter& xml, std::string_view element,
                          const TShapeRecordList& records, const TShapeStyleFormat& format);
void ReadShapeRecordsXml(const TSWFXmlNode& node, TShapeRecordList& records,
                         const TShapeStyleFormat& format, size_t fillCount, size_t lineCount);

// A fill style as an element named after its type: <SolidFill Color>, <LinearGradient>,
// <RadialGradient>, <FocalGradient FocalPoint> (SpreadMode, InterpolationMode, a <Matrix> and up
// to 15 <GradRecord Ratio Color>), <RepeatingBitmap>, <ClippedBitmap>,
// <NonSmoothedRepeatingBitmap>, <NonSmoothedClippedBitmap> (BitmapId and a <Matrix>). Colours
// have alpha where the shape says so.
void WriteFillStyleXml(TSWFXmlWriter& xml, const TSWFFillStyle& fill, bool hasAlpha);
std::unique_ptr<TSWFFillStyle> ReadFillStyleXml(const TSWFXmlNode& node, bool hasAlpha);
// The fields of a fill element into a style of the class for its type.
void ReadFillFieldsXml(const TSWFXmlNode& node, TSWFFillStyle& fill, bool hasAlpha);
// <LineStyle Width Color>, or <LineStyle2 Width> with its caps, join, miter limit and flags and
// either a Color or a fill element.
void WriteLineStyleXml(TSWFXmlWriter& xml, const TSWFLineStyle& line, bool hasAlpha);
std::unique_ptr<TSWFLineStyle> ReadLineStyleXml(const TSWFXmlNode& node,
                                                const TShapeStyleFormat& format);
// Style arrays as the children of an element.
void WriteFillStylesXml(TSWFXmlWriter& xml, std::string_view element, const TFillStyleList& list,
                        bool hasAlpha);
void ReadFillStylesXml(const TSWFXmlNode& node, TFillStyleList& list, bool hasAlpha);
void WriteLineStylesXml(TSWFXmlWriter& xml, std::string_view element, const TLineStyleList& list,
                        bool hasAlpha);
void ReadLineStylesXml(const TSWFXmlNode& node, TLineStyleList& list,
                       const TShapeStyleFormat& format);

}  // namespace tw::swf
