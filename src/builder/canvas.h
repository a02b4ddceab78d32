// TFlashCanvas: the vector drawing commands of a 2D canvas (paths of lines, quadratic and cubic
// curves, arcs, rectangles and ellipses; fills and strokes in colours and gradients; a
// transform and a stack of saved states) replayed into shapes of the frame being built. Every
// fill or stroke becomes a shape of its own, placed above the ones before it, so that later
// paint covers earlier paint as on a canvas. TFSpriteCanvas is a sprite that a canvas draws
// into.
//
// Fills follow the nonzero rule unless asked for even-odd; an outline that is one simple
// closed curve looks the same under both and is written without the rule (which needs
// version 8). Strokes take a colour or a gradient; butt or square caps and bevel or miter joins
// (and strokes in a gradient) are written as wide line styles, also of version 8.
//
// Where a SWF shape cannot say what a browser canvas does, the shape does its nearest:
// - strokes start with round caps and joins (a canvas starts with butt caps and miter joins),
//   as the plain lines of every version have them;
// - a radial gradient between circles of different centres is drawn around the end circle's
//   centre;
// - a gradient keeps at most 8 colour stops (more are thinned evenly);
// - cubic curves and arcs become quadratic curves within kCurveTolerance twips.
#pragma once

#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

#include "builder/sprite.h"

namespace tw::swf {
class TSWFGradientFill;
}

namespace tw::builder {

class TFlashMovie;
class TFlashShape;

// An affine transform of the canvas: (x, y) goes to (A x + C y + E, B x + D y + F).
struct TCanvasMatrix {
  double A = 1, B = 0, C = 0, D = 1, E = 0, F = 0;

  // This transform after other has been applied first: this * other.
  TCanvasMatrix operator*(const TCanvasMatrix& other) const;
  bool operator==(const TCanvasMatrix&) const = default;
};

// A colour ramp between two points (linear) or two circles (radial), in the coordinates of the
// canvas at the time it paints. Colours are packed RGBA (red in the low byte).
class TFlashCanvasGradient {
 public:
  static TFlashCanvasGradient Linear(double x0, double y0, double x1, double y1);
  static TFlashCanvasGradient Radial(double x0, double y0, double r0, double x1, double y1,
                                     double r1);

  struct TStop {
    double Offset;
    uint32_t Color;
  };

  // An offset outside 0 to 1 (or not a number) is refused, as a canvas refuses it.
  void AddColorStop(double offset, uint32_t color);

  bool IsRadial() const { return FRadial; }
  const std::vector<TStop>& Stops() const { return FStops; }
  // The two points; and the radii of a radial one.
  double X0 = 0, Y0 = 0, R0 = 0, X1 = 0, Y1 = 0, R1 = 0;

 private:
  bool FRadial = false;
  std::vector<TStop> FStops;  // by offset; equal offsets in the order added
};

// The values are those of a wide line style's cap and join fields.
enum TCanvasLineCap : uint8_t { lcRound = 0, lcButt = 1, lcSquare = 2 };
enum TCanvasLineJoin : uint8_t { ljRound = 0, ljBevel = 1, ljMiter = 2 };
enum TCanvasFillRule : uint8_t { frNonzero, frEvenOdd };

class TFlashCanvas {
 public:
  // Draws on the movie's own timeline, or into the sprite (whose movie registers the shapes).
  explicit TFlashCanvas(TFlashMovie& movie);
  explicit TFlashCanvas(TFlashSprite& sprite);

  // How far a quadratic curve may stray from the cubic curve or arc it stands for, in twips.
  static constexpr double kCurveTolerance = 2;

  // ---- styles (colours packed RGBA); black, black and 1 at first
  void SetFillStyle(uint32_t color);
  void SetFillStyle(const TFlashCanvasGradient& gradient);
  void SetStrokeStyle(uint32_t color);
  void SetStrokeStyle(const TFlashCanvasGradient& gradient);
  // In the canvas's units; a width that is not above zero is ignored.
  void SetLineWidth(double width);
  double LineWidth() const { return FState.LineWidth; }
  void SetLineCap(TCanvasLineCap cap) { FState.LineCap = cap; }
  void SetLineJoin(TCanvasLineJoin join) { FState.LineJoin = join; }
  // How far a miter join may reach, in line widths from the corner's inside to its tip; a
  // value that is not above zero is ignored, the file holds 1 to 255.
  void SetMiterLimit(double limit);
  TCanvasLineCap LineCap() const { return FState.LineCap; }
  TCanvasLineJoin LineJoin() const { return FState.LineJoin; }
  double MiterLimit() const { return FState.MiterLimit; }

  // ---- the state stack: transform and styles (the path is not part of it)
  void Save();
  // Without a saved state, nothing happens.
  void Restore();

  // ---- transform (angles in radians, clockwise on the screen); non-finite values are ignored
  void Translate(double x, double y);
  void Rotate(double angle);
  void Scale(double x, double y);
  void Transform(double a, double b, double c, double d, double e, double f);
  void SetTransform(double a, double b, double c, double d, double e, double f);
  void ResetTransform() { FState.Matrix = {}; }
  const TCanvasMatrix& CurrentTransform() const { return FState.Matrix; }

  // ---- the path, in the canvas's units (the movie's: pixels or twips) through the transform
  // as it stands at each command; commands with non-finite values are ignored.
  void BeginPath() { FPath.clear(); }
  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  void QuadraticCurveTo(double cpx, double cpy, double x, double y);
  void BezierCurveTo(double cp1x, double cp1y, double cp2x, double cp2y, double x, double y);
  // A circle arc from the start angle to the end angle; a line joins it to the path. A negative
  // radius throws.
  void Arc(double x, double y, double radius, double startAngle, double endAngle,
           bool anticlockwise = false);
  // The arc of the given radius touching the line from the pen to (x1, y1) and the line from
  // there to (x2, y2); a line to (x1, y1) where there is no such arc.
  void ArcTo(double x1, double y1, double x2, double y2, double radius);
  void Ellipse(double x, double y, double radiusX, double radiusY, double rotation,
               double startAngle, double endAngle, bool anticlockwise = false);
  // A closed subpath; the pen then stands at (x, y).
  void Rect(double x, double y, double width, double height);
  void ClosePath();

  // ---- painting: each makes one shape of the current path (or rectangle), registered in the
  // movie and placed at the next depth of the timeline; null when there is nothing to paint.
  TFlashShape* Fill(TCanvasFillRule rule = frNonzero);
  TFlashShape* Stroke();
  TFlashShape* FillRect(double x, double y, double width, double height);
  TFlashShape* StrokeRect(double x, double y, double width, double height);

 private:
  struct TVec {
    double X = 0, Y = 0;
  };
  struct TSegment {
    bool Curve = false;
    TVec Control, End;  // twips; Control only for curves
  };
  struct TSubpath {
    TVec Start;
    std::vector<TSegment> Segments;
    bool Closed = false;
  };
  using TPaint = std::variant<uint32_t, TFlashCanvasGradient>;
  struct TState {
    TCanvasMatrix Matrix;
    TPaint FillStyle = uint32_t{0xFF000000};
    TPaint StrokeStyle = uint32_t{0xFF000000};
    double LineWidth = 1;
    TCanvasLineCap LineCap = lcRound;
    TCanvasLineJoin LineJoin = ljRound;
    double MiterLimit = 10;
  };

  TFlashMovie& Movie() const;
  // Twips per unit of the canvas: the movie's units.
  double Units() const;
  // The transform from the canvas's units to twips.
  TCanvasMatrix Device() const;
  TVec ToDevice(double x, double y) const;
  // Starts a subpath at the point unless there is one (the point in twips).
  void EnsureSubpath(TVec at);
  TVec Pen() const;
  void AddLine(TVec to);
  void AddCubic(TVec p1, TVec p2, TVec p3);
  // An arc of the ellipse (centre, radii, rotation) from the start angle over the signed sweep;
  // joined to the path with a line, or starting it.
  void AddArc(double cx, double cy, double rx, double ry, double rotation, double start,
              double sweep);
  // The path of a rectangle alone; the current path stays as it is.
  std::vector<TSubpath> RectPath(double x, double y, double width, double height);
  TFlashShape* Paint(const std::vector<TSubpath>& path, bool fill, TCanvasFillRule rule = frEvenOdd);
  // Whether the filled path winds around no point more than once: its subpaths simple closed
  // curves (curves taken as a few chords) with boxes apart.
  static bool SimpleOutline(const std::vector<TSubpath>& path);
  // The gradient as a fill style through the current transform; translucent tells whether a
  // colour of it is below full alpha.
  std::unique_ptr<swf::TSWFGradientFill> GradientFill(const TFlashCanvasGradient& g,
                                                      bool& translucent) const;
  void ApplyFill(TFlashShape& shape) const;
  void ApplyStroke(TFlashShape& shape) const;

  TFlashMovie* FMovie = nullptr;   // the movie of a movie canvas; refers to
  TFlashSprite* FSprite = nullptr; // the sprite of a sprite canvas; refers to
  TState FState;
  std::vector<TState> FSaved;
  std::vector<TSubpath> FPath;
};

// A sprite with a canvas that draws into it (the shapes are the movie's characters, their
// placements the sprite's). Registered with TFlashMovie::AddSpriteCanvas.
class TFSpriteCanvas : public TFlashSprite {
 public:
  explicit TFSpriteCanvas(TFlashMovie* owner);
  ~TFSpriteCanvas() override;

  TFlashCanvas& Canvas() { return FCanvas; }

 private:
  TFlashCanvas FCanvas;
};

}  // namespace tw::builder
