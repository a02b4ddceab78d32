// TFlashEdges: turns drawing operations (moves, lines, curves and whole figures) into the shape
// records of a shape, keeping a pen position. Coordinates passed in are in the owner movie's
// units (pixels or twips); records hold twips.
#pragma once

#include <cstdint>
#include <span>

#include "swf/shape_records.h"

namespace tw::builder {

class TFlashMovie;

struct TPoint {
  int32_t X = 0, Y = 0;
  bool operator==(const TPoint&) const = default;
};

class TFlashEdges {
 public:
  // A new pen at (0, 0) appends one style-change record (with the fill-style-1 flag): the
  // shape's style operations write into it.
  TFlashEdges(swf::TShapeRecordList& records, TFlashMovie* owner);

  TPoint CurrentPos;       // twips
  TPoint LastMoveTo;       // twips
  bool NoUnits = false;    // coordinates are twips whatever the owner's units
  bool MergeLines = false; // a line continuing the last one in its direction lengthens it

  void SetOwner(TFlashMovie* owner) { FOwner = owner; }
  // The factor from the coordinates given to twips.
  int32_t Units() const;
  swf::TShapeRecordList& Records() { return FRecords; }

  // The last record when it is a style change, else a new one; it gets the move unless the
  // pen is already there before anything was drawn.
  swf::TSWFStyleChangeRecord& MoveTo(int32_t x, int32_t y);
  swf::TSWFStyleChangeRecord* MoveDelta(int32_t dx, int32_t dy);
  void LineTo(int32_t x, int32_t y);
  void LineDelta(int32_t dx, int32_t dy);
  // Control and anchor absolute.
  void CurveTo(int32_t controlX, int32_t controlY, int32_t anchorX, int32_t anchorY);
  // The control relative to the pen, the anchor relative to the control.
  void CurveDelta(int32_t controlDX, int32_t controlDY, int32_t anchorDX, int32_t anchorDY);
  // A line back to the last move when the pen is elsewhere.
  void CloseShape();
  void EndEdges();

  // Figures from the pen: Rectangle, Ellipse and RoundRect from the top-left corner of their
  // box, Diamond from its top vertex, Pie from its centre.
  void Rectangle(int32_t width, int32_t height);
  void Diamond(int32_t width, int32_t height);
  void Ellipse(int32_t width, int32_t height);
  void RoundRect(int32_t width, int32_t height, int32_t radiusX, int32_t radiusY);
  // Angles in degrees; the end is taken a turn later when below the start.
  void Pie(int32_t radiusX, int32_t radiusY, double startAngle, double endAngle, bool clockWise);
  void Arc(int32_t centerX, int32_t centerY, int32_t radiusX, int32_t radiusY, double startAngle,
           double endAngle, bool closed, bool clockWise);
  // Points is taken between 2 and 360; curved stars bend through their inner points.
  void Star(int32_t centerX, int32_t centerY, int32_t outerRadius, int32_t innerRadius,
            int points, bool curved);
  // A cubic Bezier curve from the pen, approximated by quadratic curves over Parts equal
  // intervals of its parameter (0 counts as 1).
  void CubicBezier(TPoint control1, TPoint control2, TPoint anchor, int parts = 4);
  // Cubic curves through consecutive triples of points, then lines through the rest. With
  // start (-1, -1) the first point is the start and the triples follow it.
  void PolyBezier(std::span<const TPoint> points, TPoint start = {-1, -1});

  // Negates the X (horizontal) and/or Y (vertical) values of every record and of the pen.
  void Mirror(bool horizontal, bool vertical);
  // Moves every move-to position (and the pen) by (dx, dy), in units when useUnits.
  void OffsetEdges(int32_t dx, int32_t dy, bool useUnits);

 private:
  swf::TSWFStyleChangeRecord& MoveRecord();
  void MoveTwips(TPoint to);
  void LineTwips(int32_t dx, int32_t dy);
  void CurveTwips(int32_t controlDX, int32_t controlDY, int32_t anchorDX, int32_t anchorDY);
  void CurveToTwips(TPoint control, TPoint anchor);
  void LineToTwips(TPoint to) { LineTwips(to.X - CurrentPos.X, to.Y - CurrentPos.Y); }
  void QuarterCurves(int32_t width, int32_t height, int i);

  swf::TShapeRecordList& FRecords;  // the shape's; never freed here
  TFlashMovie* FOwner;
};

}  // namespace tw::builder
