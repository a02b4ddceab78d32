#include "builder/canvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "builder/movie.h"
#include "builder/shape.h"
#include "swf/errors.h"

namespace tw::builder {

using namespace tw::swf;

namespace {

constexpr double kPi = std::numbers::pi;
// The side of the square a SWF gradient is defined in, in twips.
constexpr double kGradientSquare = 32768;
// A shape of SWF versions before 8 holds at most this many gradient colours.
constexpr size_t kMaxStops = 8;
// However large a curve, it is cut into no more pieces than this.
constexpr int kMaxPieces = 1024;
// Positions beyond this many twips are taken as this far: a shape's move-to and bounds hold
// 31 bits, and the bounds grow by half a line.
constexpr double kMaxCoordinate = 1 << 29;
// The largest factor a matrix of 16.16 values in 31 bits holds.
constexpr double kMaxMatrixFactor = 16383;

// A count of curve pieces from a real number: at least one, at most kMaxPieces, also for
// values that are not numbers (the transform may have overflowed).
int Pieces(double n) {
  if (!(n >= 1)) return 1;
  return n >= kMaxPieces ? kMaxPieces : static_cast<int>(n);
}

bool Finite(std::initializer_list<double> values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

int32_t Twips(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int32_t>(RoundHalfEven(std::clamp(v, -kMaxCoordinate, kMaxCoordinate)));
}

// The largest factor by which the linear part of the transform stretches a length.
double MaxStretch(const TCanvasMatrix& m) {
  const double s = m.A * m.A + m.B * m.B + m.C * m.C + m.D * m.D;
  const double det = m.A * m.D - m.B * m.C;
  return std::sqrt((s + std::sqrt(std::max(0.0, s * s - 4 * det * det))) / 2);
}

// The number of equal pieces of a quadratic arc over the sweep (radians) of a unit circle
// that a transform stretching by at most `stretch` keeps within the tolerance. The middle of
// such a piece of angle p lies (1 - cos(p / 2))^2 / (2 cos(p / 2)) outside the circle.
int ArcPieces(double sweep, double stretch) {
  const double e = TFlashCanvas::kCurveTolerance / std::max(stretch, 1e-9);
  const double c = 1 + e - std::sqrt(e * e + 2 * e);
  const double widest = std::min(kPi / 4, 2 * std::acos(std::clamp(c, -1.0, 1.0)));
  return Pieces(std::ceil(std::abs(sweep) / std::max(widest, 1e-6)));
}

// The sweep of a canvas arc: a whole turn when the angles are a turn or more apart in the
// arc's direction, else the difference brought into one turn.
double ArcSweep(double start, double end, bool anticlockwise) {
  const double turn = 2 * kPi;
  if (!anticlockwise && end - start >= turn) return turn;
  if (anticlockwise && start - end >= turn) return -turn;
  double d = std::fmod(anticlockwise ? start - end : end - start, turn);
  if (d < 0) d += turn;
  return anticlockwise ? -d : d;
}

struct TPoint2 {
  double X = 0, Y = 0;
};

// Whether segments ab and cd meet (touching counts).
bool Meet(TPoint2 a, TPoint2 b, TPoint2 c, TPoint2 d) {
  auto side = [](TPoint2 p, TPoint2 q, TPoint2 r) {
    const double v = (q.X - p.X) * (r.Y - p.Y) - (q.Y - p.Y) * (r.X - p.X);
    return (v > 0) - (v < 0);
  };
  auto within = [](TPoint2 p, TPoint2 q, TPoint2 r) {  // r on the line pq: between p and q?
    return std::min(p.X, q.X) <= r.X && r.X <= std::max(p.X, q.X) && std::min(p.Y, q.Y) <= r.Y &&
           r.Y <= std::max(p.Y, q.Y);
  };
  const int d1 = side(c, d, a), d2 = side(c, d, b), d3 = side(a, b, c), d4 = side(a, b, d);
  if (d1 * d2 < 0 && d3 * d4 < 0) return true;
  return (d1 == 0 && within(c, d, a)) || (d2 == 0 && within(c, d, b)) ||
         (d3 == 0 && within(a, b, c)) || (d4 == 0 && within(a, b, d));
}

// Whether a closed polygon (the last corner joins the first) is a simple curve: no two of its
// sides meet but neighbours at their shared corner. Beyond kMaxSimpleSides it is taken as not.
constexpr size_t kMaxSimpleSides = 2048;
bool Simple(const std::vector<TPoint2>& corners) {
  const size_t n = corners.size();
  if (n < 3) return true;  // encloses nothing
  if (n > kMaxSimpleSides) return false;
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) continue;  // neighbours across the closing corner
      if (Meet(corners[i], corners[(i + 1) % n], corners[j], corners[(j + 1) % n])) return false;
    }
  return true;
}

}  // namespace

// ---- transform and gradients -----------------------------------------------------------------

TCanvasMatrix TCanvasMatrix::operator*(const TCanvasMatrix& o) const {
  return {A * o.A + C * o.B, B * o.A + D * o.B, A * o.C + C * o.D,
          B * o.C + D * o.D, A * o.E + C * o.F + E, B * o.E + D * o.F + F};
}

TFlashCanvasGradient TFlashCanvasGradient::Linear(double x0, double y0, double x1, double y1) {
  TFlashCanvasGradient g;
  g.X0 = x0, g.Y0 = y0, g.X1 = x1, g.Y1 = y1;
  return g;
}

TFlashCanvasGradient TFlashCanvasGradient::Radial(double x0, double y0, double r0, double x1,
                                                  double y1, double r1) {
  if (r0 < 0 || r1 < 0) throw ESWFError("The radius of a gradient is negative");
  TFlashCanvasGradient g;
  g.FRadial = true;
  g.X0 = x0, g.Y0 = y0, g.R0 = r0, g.X1 = x1, g.Y1 = y1, g.R1 = r1;
  return g;
}

void TFlashCanvasGradient::AddColorStop(double offset, uint32_t color) {
  if (!(offset >= 0 && offset <= 1)) throw ESWFError("The offset of a colour stop lies outside 0 to 1");
  const auto at = std::upper_bound(FStops.begin(), FStops.end(), offset,
                                   [](double o, const TStop& s) { return o < s.Offset; });
  FStops.insert(at, {offset, color});
}

// ---- canvas ----------------------------------------------------------------------------------

TFlashCanvas::TFlashCanvas(TFlashMovie& movie) : FMovie(&movie) {}

TFlashCanvas::TFlashCanvas(TFlashSprite& sprite) : FSprite(&sprite) {}

TFlashMovie& TFlashCanvas::Movie() const {
  TFlashMovie* movie = FSprite ? FSprite->Owner() : FMovie;
  if (!movie) throw ESWFError("A canvas without a movie cannot paint");
  return *movie;
}

double TFlashCanvas::Units() const { return FSprite ? FSprite->TwipsPerUnit() : FMovie->TwipsPerUnit(); }

TCanvasMatrix TFlashCanvas::Device() const {
  const double u = Units();
  return TCanvasMatrix{u, 0, 0, u, 0, 0} * FState.Matrix;
}

TFlashCanvas::TVec TFlashCanvas::ToDevice(double x, double y) const {
  const TCanvasMatrix m = Device();
  return {m.A * x + m.C * y + m.E, m.B * x + m.D * y + m.F};
}

void TFlashCanvas::SetFillStyle(uint32_t color) { FState.FillStyle = color; }
void TFlashCanvas::SetFillStyle(const TFlashCanvasGradient& gradient) { FState.FillStyle = gradient; }
void TFlashCanvas::SetStrokeStyle(uint32_t color) { FState.StrokeStyle = color; }
void TFlashCanvas::SetStrokeStyle(const TFlashCanvasGradient& gradient) { FState.StrokeStyle = gradient; }

void TFlashCanvas::SetMiterLimit(double limit) {
  if (std::isfinite(limit) && limit > 0) FState.MiterLimit = limit;
}

void TFlashCanvas::SetLineWidth(double width) {
  if (std::isfinite(width) && width > 0) FState.LineWidth = width;
}

void TFlashCanvas::Save() { FSaved.push_back(FState); }

void TFlashCanvas::Restore() {
  if (FSaved.empty()) return;
  FState = std::move(FSaved.back());
  FSaved.pop_back();
}

void TFlashCanvas::Transform(double a, double b, double c, double d, double e, double f) {
  if (Finite({a, b, c, d, e, f})) FState.Matrix = FState.Matrix * TCanvasMatrix{a, b, c, d, e, f};
}

void TFlashCanvas::SetTransform(double a, double b, double c, double d, double e, double f) {
  if (Finite({a, b, c, d, e, f})) FState.Matrix = {a, b, c, d, e, f};
}

void TFlashCanvas::Translate(double x, double y) { Transform(1, 0, 0, 1, x, y); }
void TFlashCanvas::Scale(double x, double y) { Transform(x, 0, 0, y, 0, 0); }

void TFlashCanvas::Rotate(double angle) {
  if (!std::isfinite(angle)) return;
  const double c = std::cos(angle), s = std::sin(angle);
  Transform(c, s, -s, c, 0, 0);
}

// ---- path ------------------------------------------------------------------------------------

TFlashCanvas::TVec TFlashCanvas::Pen() const {
  const TSubpath& s = FPath.back();
  return s.Segments.empty() ? s.Start : s.Segments.back().End;
}

void TFlashCanvas::EnsureSubpath(TVec at) {
  if (FPath.empty()) FPath.push_back({at, {}, false});
}

void TFlashCanvas::MoveTo(double x, double y) {
  if (Finite({x, y})) FPath.push_back({ToDevice(x, y), {}, false});
}

void TFlashCanvas::AddLine(TVec to) {
  EnsureSubpath(to);
  FPath.back().Segments.push_back({false, {}, to});
}

void TFlashCanvas::LineTo(double x, double y) {
  if (Finite({x, y})) AddLine(ToDevice(x, y));
}

void TFlashCanvas::QuadraticCurveTo(double cpx, double cpy, double x, double y) {
  if (!Finite({cpx, cpy, x, y})) return;
  const TVec control = ToDevice(cpx, cpy);
  EnsureSubpath(control);
  FPath.back().Segments.push_back({true, control, ToDevice(x, y)});
}

void TFlashCanvas::BezierCurveTo(double cp1x, double cp1y, double cp2x, double cp2y, double x,
                                 double y) {
  if (!Finite({cp1x, cp1y, cp2x, cp2y, x, y})) return;
  const TVec p1 = ToDevice(cp1x, cp1y);
  EnsureSubpath(p1);
  AddCubic(p1, ToDevice(cp2x, cp2y), ToDevice(x, y));
}

// The cubic curve is cut into n equal parameter pieces, each replaced by the quadratic curve
// whose control point is (3 (P1 + P2) - (P0 + P3)) / 4. The two differ by
// d t (1 - t) (1 - 2 t) / 2, d = P3 - 3 P2 + 3 P1 - P0, at most |d| sqrt(3) / 36; a piece of
// 1 / n of the parameter has d / n^3.
void TFlashCanvas::AddCubic(TVec p1, TVec p2, TVec p3) {
  const TVec p0 = Pen();
  const double dx = p3.X - 3 * p2.X + 3 * p1.X - p0.X, dy = p3.Y - 3 * p2.Y + 3 * p1.Y - p0.Y;
  const double error = std::hypot(dx, dy) * std::sqrt(3.0) / 36;
  const int n = Pieces(std::ceil(std::cbrt(error / kCurveTolerance)));
  auto at = [&](double t) {
    const double s = 1 - t;
    const double a = s * s * s, b = 3 * s * s * t, c = 3 * s * t * t, e = t * t * t;
    return TVec{a * p0.X + b * p1.X + c * p2.X + e * p3.X, a * p0.Y + b * p1.Y + c * p2.Y + e * p3.Y};
  };
  auto slope = [&](double t) {
    const double s = 1 - t;
    const double a = 3 * s * s, b = 6 * s * t, c = 3 * t * t;
    return TVec{a * (p1.X - p0.X) + b * (p2.X - p1.X) + c * (p3.X - p2.X),
                a * (p1.Y - p0.Y) + b * (p2.Y - p1.Y) + c * (p3.Y - p2.Y)};
  };
  TSubpath& path = FPath.back();
  for (int i = 0; i < n; ++i) {
    const double t0 = double(i) / n, t1 = double(i + 1) / n, h = (t1 - t0) / 3;
    const TVec q0 = at(t0), q3 = i + 1 == n ? p3 : at(t1), s0 = slope(t0), s1 = slope(t1);
    const TVec q1{q0.X + s0.X * h, q0.Y + s0.Y * h}, q2{q3.X - s1.X * h, q3.Y - s1.Y * h};
    const TVec control{(3 * (q1.X + q2.X) - q0.X - q3.X) / 4, (3 * (q1.Y + q2.Y) - q0.Y - q3.Y) / 4};
    path.Segments.push_back({true, control, q3});
  }
}

void TFlashCanvas::AddArc(double cx, double cy, double rx, double ry, double rotation,
                          double start, double sweep) {
  // The unit circle goes through this transform onto the ellipse, and on to the device.
  const double cr = std::cos(rotation), sr = std::sin(rotation);
  const TCanvasMatrix m =
      Device() * TCanvasMatrix{1, 0, 0, 1, cx, cy} *
      TCanvasMatrix{cr, sr, -sr, cr, 0, 0} * TCanvasMatrix{rx, 0, 0, ry, 0, 0};
  auto point = [&](double x, double y) { return TVec{m.A * x + m.C * y + m.E, m.B * x + m.D * y + m.F}; };
  const TVec first = point(std::cos(start), std::sin(start));
  if (FPath.empty()) FPath.push_back({first, {}, false});
  else AddLine(first);
  if (sweep == 0) return;
  const int n = ArcPieces(sweep, MaxStretch(m));
  const double step = sweep / n, k = std::cos(step / 2);
  for (int i = 1; i <= n; ++i) {
    const double a = start + step * i, b = a - step / 2;
    FPath.back().Segments.push_back(
        {true, point(std::cos(b) / k, std::sin(b) / k), point(std::cos(a), std::sin(a))});
  }
}

void TFlashCanvas::Arc(double x, double y, double radius, double startAngle, double endAngle,
                       bool anticlockwise) {
  Ellipse(x, y, radius, radius, 0, startAngle, endAngle, anticlockwise);
}

void TFlashCanvas::Ellipse(double x, double y, double radiusX, double radiusY, double rotation,
                           double startAngle, double endAngle, bool anticlockwise) {
  if (!Finite({x, y, radiusX, radiusY, rotation, startAngle, endAngle})) return;
  if (radiusX < 0 || radiusY < 0) throw ESWFError("The radius of an arc is negative");
  AddArc(x, y, radiusX, radiusY, rotation, startAngle, ArcSweep(startAngle, endAngle, anticlockwise));
}

void TFlashCanvas::ArcTo(double x1, double y1, double x2, double y2, double radius) {
  if (!Finite({x1, y1, x2, y2, radius})) return;
  if (radius < 0) throw ESWFError("The radius of an arc is negative");
  if (FPath.empty()) {
    MoveTo(x1, y1);
    return;
  }
  // The pen back in the canvas's units; a transform that cannot be undone leaves a line.
  const TCanvasMatrix& t = FState.Matrix;
  const double u = Units();
  const double det = t.A * t.D - t.B * t.C;
  if (det == 0 || !std::isfinite(det)) return LineTo(x1, y1);
  const TVec pen = Pen();
  const double px = pen.X / u - t.E, py = pen.Y / u - t.F;
  const double x0 = (t.D * px - t.C * py) / det, y0 = (-t.B * px + t.A * py) / det;

  const double ax = x0 - x1, ay = y0 - y1, bx = x2 - x1, by = y2 - y1;
  const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
  const double cross = ax * by - ay * bx;
  if (la == 0 || lb == 0 || radius == 0 || std::abs(cross) <= 1e-12 * la * lb) return LineTo(x1, y1);
  // The corner's angle, and how far from it along each line the circle touches.
  const double cosine = std::clamp((ax * bx + ay * by) / (la * lb), -1.0, 1.0);
  const double angle = std::acos(cosine);
  const double along = radius / std::tan(angle / 2);
  const double ux = ax / la, uy = ay / la, vx = bx / lb, vy = by / lb;
  const double tx1 = x1 + ux * along, ty1 = y1 + uy * along;
  const double tx2 = x1 + vx * along, ty2 = y1 + vy * along;
  const double mx = ux + vx, my = uy + vy, ml = std::hypot(mx, my);
  const double centre = radius / std::sin(angle / 2);
  const double cx = x1 + mx / ml * centre, cy = y1 + my / ml * centre;
  const double a0 = std::atan2(ty1 - cy, tx1 - cx), a1 = std::atan2(ty2 - cy, tx2 - cx);
  double sweep = std::remainder(a1 - a0, 2 * kPi);
  AddArc(cx, cy, radius, radius, 0, a0, sweep);
}

void TFlashCanvas::Rect(double x, double y, double width, double height) {
  if (!Finite({x, y, width, height})) return;
  MoveTo(x, y);
  LineTo(x + width, y);
  LineTo(x + width, y + height);
  LineTo(x, y + height);
  ClosePath();
}

void TFlashCanvas::ClosePath() {
  if (FPath.empty()) return;
  TSubpath& s = FPath.back();
  const TVec start = s.Start;
  s.Closed = true;
  FPath.push_back({start, {}, false});
}

// ---- painting --------------------------------------------------------------------------------

std::unique_ptr<TSWFGradientFill> TFlashCanvas::GradientFill(const TFlashCanvasGradient& g,
                                                             bool& translucent) const {
  // A gradient spans the square of side 32768 around the origin: the matrix takes that square
  // onto the gradient's line (its x axis from one point to the other) or onto its larger
  // circle, and then through the transform to twips.
  TCanvasMatrix square;
  std::vector<std::pair<double, uint32_t>> stops;  // ratio 0 to 1, colour
  if (g.IsRadial()) {
    const double r = std::max(g.R0, g.R1);
    square = {r / (kGradientSquare / 2), 0, 0, r / (kGradientSquare / 2), g.X1, g.Y1};
    for (const auto& s : g.Stops()) stops.emplace_back((g.R0 + s.Offset * (g.R1 - g.R0)) / r, s.Color);
    std::stable_sort(stops.begin(), stops.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  } else {
    const double dx = (g.X1 - g.X0) / kGradientSquare, dy = (g.Y1 - g.Y0) / kGradientSquare;
    square = {dx, dy, -dy, dx, (g.X0 + g.X1) / 2, (g.Y0 + g.Y1) / 2};
    for (const auto& s : g.Stops()) stops.emplace_back(s.Offset, s.Color);
  }
  if (stops.size() > kMaxStops) {
    std::vector<std::pair<double, uint32_t>> kept;
    for (size_t i = 0; i < kMaxStops; ++i) kept.push_back(stops[i * (stops.size() - 1) / (kMaxStops - 1)]);
    stops = std::move(kept);
  }
  auto fill = std::make_unique<TSWFGradientFill>();
  fill->FillType = g.IsRadial() ? kFillRadialGradient : kFillLinearGradient;
  translucent = false;
  for (size_t i = 0; i < stops.size(); ++i) {
    const int record = static_cast<int>(i + 1);
    fill->GradientColor(record).SetRGBA(stops[i].second);
    fill->SetGradientRatio(record, static_cast<uint8_t>(RoundHalfEven(std::clamp(stops[i].first, 0.0, 1.0) * 255)));
    if ((stops[i].second >> 24) < 255) translucent = true;
  }
  const TCanvasMatrix m = Device() * square;
  auto factor = [](double v) { return std::clamp(v, -kMaxMatrixFactor, kMaxMatrixFactor); };
  fill->Matrix.SetScale(factor(m.A), factor(m.D));
  fill->Matrix.SetSkew(factor(m.C), factor(m.B));
  fill->Matrix.SetTranslate(Twips(m.E), Twips(m.F));
  return fill;
}

void TFlashCanvas::ApplyFill(TFlashShape& shape) const {
  if (const auto* color = std::get_if<uint32_t>(&FState.FillStyle)) {
    TSWFRGBA rgba(true);
    rgba.SetRGBA(*color);
    shape.SetSolidColor(rgba);
    return;
  }
  bool translucent = false;
  shape.AddFillStyle(GradientFill(std::get<TFlashCanvasGradient>(FState.FillStyle), translucent));
  if (translucent) shape.HasAlpha = true;
}

void TFlashCanvas::ApplyStroke(TFlashShape& shape) const {
  const TCanvasMatrix d = Device();
  const double scaled = FState.LineWidth * std::sqrt(std::abs(d.A * d.D - d.B * d.C));
  const auto width = scaled >= 1 ? static_cast<uint16_t>(std::min(RoundHalfEven(scaled), 65535.0)) : uint16_t{1};
  const auto* color = std::get_if<uint32_t>(&FState.StrokeStyle);
  if (color && FState.LineCap == lcRound && FState.LineJoin == ljRound) {
    TSWFLineStyle& line = shape.AddLineStyle();
    line.Width = width;
    line.Color.SetRGBA(*color);
    if ((*color >> 24) < 255) shape.HasAlpha = true;
    return;
  }
  // Caps, joins and a gradient need a wide line style.
  auto line = std::make_unique<TSWFLineStyle2>();
  line->Width = width;
  line->StartCapStyle = line->EndCapStyle = FState.LineCap;
  line->JoinStyle = FState.LineJoin;
  if (FState.LineJoin == ljMiter) line->MiterLimitFactor = static_cast<float>(std::clamp(FState.MiterLimit, 1.0, 255.0));
  if (color) {
    line->Color.SetRGBA(*color);
  } else {
    bool translucent = false;
    auto fill = GradientFill(std::get<TFlashCanvasGradient>(FState.StrokeStyle), translucent);
    line->HasFillFlag = true;
    line->FillStyle(fill->FillType)->Assign(*fill);
    line->FillStyle()->HasAlpha = true;  // wide lines write their fills with alpha
  }
  shape.AddLineStyle(std::move(line));
}

TFlashShape* TFlashCanvas::Paint(const std::vector<TSubpath>& path, bool fill, TCanvasFillRule rule) {
  const bool any = std::any_of(path.begin(), path.end(), [](const TSubpath& s) { return !s.Segments.empty(); });
  if (!any) return nullptr;
  // A gradient without colours, or one without extent, paints nothing.
  if (const auto* g = std::get_if<TFlashCanvasGradient>(fill ? &FState.FillStyle : &FState.StrokeStyle)) {
    const bool flat = g->IsRadial() ? std::max(g->R0, g->R1) == 0
                                    : g->X0 == g->X1 && g->Y0 == g->Y1;
    if (g->Stops().empty() || flat) return nullptr;
  }
  TFlashMovie& movie = Movie();
  uint16_t& maxDepth = FSprite ? FSprite->MaxDepth : movie.MaxDepth;
  if (maxDepth == 0xFFFF) throw ESWFError("The canvas has no depth left to place a shape at");

  TFlashShape& shape = movie.AddShape();
  TFlashEdges& edges = shape.Edges();
  edges.NoUnits = true;
  edges.MergeLines = true;
  if (fill) ApplyFill(shape);
  else ApplyStroke(shape);
  // The two rules differ only where the outline winds around a point more than once: never
  // for one simple closed curve.
  if (fill && rule == frNonzero) shape.NonzeroWinding = !SimpleOutline(path);
  for (const TSubpath& s : path) {
    if (s.Segments.empty()) continue;
    edges.MoveTo(Twips(s.Start.X), Twips(s.Start.Y));
    for (const TSegment& e : s.Segments) {
      if (e.Curve) edges.CurveTo(Twips(e.Control.X), Twips(e.Control.Y), Twips(e.End.X), Twips(e.End.Y));
      else edges.LineTo(Twips(e.End.X), Twips(e.End.Y));
    }
    // A fill closes every subpath; a stroke only those closed on purpose.
    if (fill || s.Closed) edges.LineTo(Twips(s.Start.X), Twips(s.Start.Y));
  }
  edges.EndEdges();
  shape.CalcBounds();

  const uint16_t depth = static_cast<uint16_t>(maxDepth + 1);
  if (FSprite) FSprite->PlaceObject(shape, depth);
  else movie.PlaceObject(shape, depth);
  // Bitmaps, sounds and fonts of the frame gather at its start, ahead of what uses them.
  movie.MoveResources(movie.CurrentFrameIndex, movie.CurrentFrameIndex, movie.CurrentFrameIndex);
  return &shape;
}

bool TFlashCanvas::SimpleOutline(const std::vector<TSubpath>& path) {
  // Chords per curve: enough to see a curve cross a side in the drawings a canvas makes.
  constexpr int kChords = 4;
  struct TBox {
    double Left, Top, Right, Bottom;
  };
  std::vector<TBox> boxes;
  for (const TSubpath& s : path) {
    if (s.Segments.empty()) continue;
    std::vector<TPoint2> corners{{s.Start.X, s.Start.Y}};
    auto add = [&](TPoint2 p) {
      if (p.X != corners.back().X || p.Y != corners.back().Y) corners.push_back(p);
    };
    TVec from = s.Start;
    for (const TSegment& e : s.Segments) {
      if (e.Curve) {
        for (int i = 1; i < kChords; ++i) {
          const double t = double(i) / kChords, u = 1 - t;
          add({u * u * from.X + 2 * u * t * e.Control.X + t * t * e.End.X,
               u * u * from.Y + 2 * u * t * e.Control.Y + t * t * e.End.Y});
        }
      }
      add({e.End.X, e.End.Y});
      from = e.End;
    }
    if (corners.size() > 1 && corners.back().X == corners.front().X && corners.back().Y == corners.front().Y)
      corners.pop_back();
    if (!Simple(corners)) return false;
    TBox box{corners[0].X, corners[0].Y, corners[0].X, corners[0].Y};
    for (const TPoint2& p : corners) {
      box.Left = std::min(box.Left, p.X), box.Right = std::max(box.Right, p.X);
      box.Top = std::min(box.Top, p.Y), box.Bottom = std::max(box.Bottom, p.Y);
    }
    for (const TBox& other : boxes)
      if (box.Left <= other.Right && other.Left <= box.Right && box.Top <= other.Bottom && other.Top <= box.Bottom)
        return false;
    if (boxes.size() == kMaxSimpleSides) return false;
    boxes.push_back(box);
  }
  return true;
}

TFlashShape* TFlashCanvas::Fill(TCanvasFillRule rule) { return Paint(FPath, true, rule); }
TFlashShape* TFlashCanvas::Stroke() { return Paint(FPath, false); }

std::vector<TFlashCanvas::TSubpath> TFlashCanvas::RectPath(double x, double y, double width,
                                                           double height) {
  std::vector<TSubpath> path = std::move(FPath);
  FPath.clear();
  Rect(x, y, width, height);
  std::swap(path, FPath);
  return path;
}

TFlashShape* TFlashCanvas::FillRect(double x, double y, double width, double height) {
  if (width == 0 || height == 0) return nullptr;
  return Paint(RectPath(x, y, width, height), true);
}

TFlashShape* TFlashCanvas::StrokeRect(double x, double y, double width, double height) {
  return Paint(RectPath(x, y, width, height), false);
}

// ---- sprite canvas ---------------------------------------------------------------------------

TFSpriteCanvas::TFSpriteCanvas(TFlashMovie* owner) : TFlashSprite(owner), FCanvas(*this) {}

TFSpriteCanvas::~TFSpriteCanvas() = default;

}  // namespace tw::builder
