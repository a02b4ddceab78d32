// TFlashCanvas: the vector drawing commands of a 2D canvas (paths of lines, quadratic and cubic
// curves, arcs, rectangles and ellipses; fills and strokes in colours and gradients; a
// transform and a stack of saved states) replayed into shapes of the frame being built. Every
// fill or stroke becomes a shape of its own, placed above the ones before it, so that later
// paint covers earlier paint as on a canvas. TFSpriteCanvas is a sprite that a canvas draws
// into.
//
// Where a SWF shape cannot say what a browser canvas does, the shape does its nearest:
// - fills follow the even-odd rule (a region wound twice the same way is left empty);
// - strokes have round caps and joins, and a colour only;
// - a radial gradient between circles of different centres is drawn around the end circle's
//   centre;
// - a gradient keeps at most 8 colour stops (more are thinned evenly);
// - cubic curves and arcs become quadratic curves within kCurveTolerance twips.
#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "builder/sprite.h"

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
  // In the canvas's units; a width that is not above zero is ignored.
  void SetLineWidth(double width);
  double LineWidth() const { return FState.LineWidth; }

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
  TFlashShape* Fill();
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
    uint32_t StrokeStyle = 0xFF000000;
    double LineWidth = 1;
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
  TFlashShape* Paint(const std::vector<TSubpath>& path, bool fill);
  void ApplyFill(TFlashShape& shape) const;

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
