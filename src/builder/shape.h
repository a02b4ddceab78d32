// TFlashShape: the builder's vector shape, an outline of shape records with fill and line styles
// and bounds, written as DefineShape2, (with alpha) DefineShape3, or (with wide line styles or
// the nonzero winding rule) DefineShape4. TFlashLineStyle is the dash pattern of a dashed
// outline.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "builder/edges.h"
#include "builder/objects.h"
#include "swf/shape_records.h"

namespace tw::builder {

class TFlashImage;

// A list of 8-bit values: the dash and gap lengths (pixels) of a dashed outline.
class TFlashLineStyle {
 public:
  size_t Count() const { return FItems.size(); }
  // Appends zeros or drops values from the end.
  void SetCount(size_t count) { FItems.resize(count, 0); }
  uint8_t Items(size_t index) const { return FItems.at(index); }
  void SetItems(size_t index, uint8_t value) { FItems.at(index) = value; }

 private:
  std::vector<uint8_t> FItems;
};

// One colour of a gradient and where it stands along it: 0 at the start, 255 at the end.
struct TGradientStop {
  uint8_t Ratio = 0;
  uint32_t Color = 0;  // packed RGBA (red in the low byte, alpha in the high byte)
};

// How an image fills a shape.
enum TImageFillMode : uint8_t { ifmClip = 0, ifmFit = 1, ifmTile = 2 };

class TFlashShape : public TFlashVisualObject {
 public:
  explicit TFlashShape(TFlashMovie* owner);
  ~TFlashShape() override;

  swf::TShapeRecordList Records;  // the outline, in order
  swf::TSWFRect Bounds;           // twips; widened by half the widest line when written
  swf::TFillStyleList FillStyles;
  swf::TLineStyleList LineStyles;
  bool HasAlpha = false;          // a colour below full alpha: written as DefineShape3
  // Filled where the outline winds around a point at all, not only an odd number of times.
  bool NonzeroWinding = false;
  bool DashGapsTransparent = true;

  TFlashEdges& Edges() { return *FEdges; }
  const TFlashEdges& Edges() const { return *FEdges; }
  uint16_t Fill0Index() const { return FFill0Index; }
  uint16_t Fill1Index() const { return FFill1Index; }
  uint16_t LineStyleIndex() const { return FLineStyleIndex; }

  // In the owner's units; min and max are sorted.
  void SetBounds(int32_t xMin, int32_t yMin, int32_t xMax, int32_t yMax);
  // The bounds of every position the records reach, control points included.
  void CalcBounds();

  // Takes the style, selects it as fill 1 and returns it.
  swf::TSWFFillStyle& AddFillStyle(std::unique_ptr<swf::TSWFFillStyle> fill);
  // Selects a style the shape already has as fill 1.
  swf::TSWFFillStyle& AddFillStyle(swf::TSWFFillStyle& fill);
  // A new line style, or the given one; selected.
  swf::TSWFLineStyle& AddLineStyle(std::unique_ptr<swf::TSWFLineStyle> style = nullptr);
  swf::TSWFLineStyle& AddLineStyle(swf::TSWFLineStyle& style);
  // Width in the owner's units; an opaque colour, or one with alpha.
  swf::TSWFLineStyle& AddLineStyle(int32_t width, const swf::TSWFRGB& color);
  swf::TSWFLineStyle& AddLineStyle(int32_t width, const swf::TSWFRGBA& color);

  // For outlines whose figures each select their own styles (in the style change of their
  // move): the style is appended without being selected, and its index (from 1) returned.
  uint16_t AppendFillStyle(std::unique_ptr<swf::TSWFFillStyle> fill);
  // Width in the owner's units.
  uint16_t AppendLineStyle(int32_t width, const swf::TSWFRGBA& color);

  // Indices from 1 (0 none) into the first record; without a first style-change record the
  // index becomes 0.
  void SetFill0(uint16_t index);
  void SetFill1(uint16_t index);
  void SetLineStyle(uint16_t index);

  swf::TSWFColorFill& SetSolidColor(const swf::TSWFRGB& color);
  swf::TSWFColorFill& SetSolidColor(const swf::TSWFRGBA& color);
  // A bitmap fill of the image: clipped at its size times (scaleX, scaleY), fitted to the
  // bounds, or tiled. An image standing after the shape in the movie is moved in front of it.
  swf::TSWFImageFill& SetImageFill(TFlashImage& image, TImageFillMode mode, double scaleX = 1,
                                   double scaleY = 1);
  // Colours as packed RGBA (red in the low byte, alpha in the high byte), spread evenly; the
  // angle in degrees. A radial gradient takes at most 8 colours, its centre in percent of the
  // shape's size.
  swf::TSWFGradientFill& SetLinearGradient(std::span<const uint32_t> colors, double angle);
  swf::TSWFGradientFill& SetLinearGradient(uint32_t color1, uint32_t color2, double angle);
  swf::TSWFGradientFill& SetRadialGradient(std::span<const uint32_t> colors, int32_t xCenter,
                                           int32_t yCenter);
  swf::TSWFGradientFill& SetRadialGradient(uint32_t color1, uint32_t color2, int32_t xCenter,
                                           int32_t yCenter);

  // From Bounds, in the owner's units (or twips when asked).
  int32_t Width(bool inTwips = false) const;
  int32_t Height(bool inTwips = false) const;
  int32_t XMin() const;
  int32_t XMax() const;
  int32_t YMin() const;
  int32_t YMax() const;

  // The object of the movie that writes this shape when it is not written alone (a morph
  // shape's start or end): the bitmaps of its fills are moved in front of that object.
  void SetDefinedBy(const swf::TBasedSWFObject* object) { FDefinedBy = object; }

  // Asking for the pattern makes the outline dashed; asking for the gap colour draws the gaps.
  TFlashLineStyle& DashPattern();
  bool Dashed() const { return FDashPattern != nullptr; }
  swf::TSWFRGBA& DashGapColor();

  // Copies the placement origin, the style indices and HasAlpha, not records or styles.
  void Assign(const swf::TBasedSWFObject& source) override;
  // A wide line style (swf::TSWFLineStyle2: caps, joins, a fill) or the nonzero rule needs
  // DefineShape4 and version 8; its other line styles are then written wide as well.
  bool NeedsShape4() const;
  int MinVersion() const override { return NeedsShape4() ? 8 : HasAlpha ? 3 : 2; }
  void WriteToStream(swf::TBitsEngine& be) override;
  void ChangeOwner() override;

 private:
  int32_t Units() const { return TwipsPerUnit(); }
  swf::TSWFStyleChangeRecord* FirstStyleChange();
  void NoteAlpha(uint8_t alpha) {
    if (alpha < 255) HasAlpha = true;
  }
  swf::TSWFGradientFill& AddGradient(std::span<const uint32_t> colors, uint8_t type);
  // The records and line styles of the dashed outline.
  void BuildDashed(swf::TShapeRecordList& records, swf::TLineStyleList& lines) const;

  std::unique_ptr<TFlashEdges> FEdges;
  std::unique_ptr<TFlashLineStyle> FDashPattern;
  std::unique_ptr<swf::TSWFRGBA> FDashGapColor;
  uint16_t FFill0Index = 0, FFill1Index = 0, FLineStyleIndex = 0;
  const swf::TBasedSWFObject* FDefinedBy = nullptr;  // refers to; never frees
};

// Gradients over a box (twips) of a shape rather than its bounds, with their stops where they are
// given (ratios in order; at most 8 are kept, what every shape tag holds). Linear: along the
// angle in degrees clockwise from left to right (90 runs top to bottom), from one side of the box
// to the other. Radial: from the centre (in percent of the box) out to the ellipse of the box.
// No stops, or stops out of order, throw ESWFError.
std::unique_ptr<swf::TSWFGradientFill> LinearGradientIn(const swf::TRect& box,
                                                        std::span<const TGradientStop> stops,
                                                        double angle);
std::unique_ptr<swf::TSWFGradientFill> RadialGradientIn(const swf::TRect& box,
                                                        std::span<const TGradientStop> stops,
                                                        double xCenter, double yCenter);

// The box of every position the records reach (twips), control points included; empty without
// records.
swf::TRect OutlineBounds(const swf::TShapeRecordList& records);

}  // namespace tw::builder
