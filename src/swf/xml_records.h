// Records that many tags hold, with one XML form each: every tag that has a MATRIX or a colour
// transform writes and reads it through these, so that an edit looks the same wherever it is made.
#pragma once

#include <string_view>

#include "swf/bits.h"
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

}  // namespace tw::swf
