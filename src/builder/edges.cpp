#include "builder/edges.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "builder/movie.h"

namespace tw::builder {

using namespace tw::swf;

namespace {

// The widest delta an edge record holds on one axis (17 signed bits).
constexpr int32_t kMaxEdgeDelta = 65535;

constexpr double kPi = 3.14159265358979323846;
double Radians(double degrees) { return degrees * kPi / 180.0; }

int32_t Clamp32(double v) {
  if (v >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

int32_t Round(double v) { return Clamp32(RoundHalfEven(v)); }

int32_t Mul(int32_t v, int32_t u) { return Clamp32(static_cast<double>(v) * u); }

bool SameWay(int32_t a, int32_t b) { return (a > 0) == (b > 0); }

struct TVec {
  double X = 0, Y = 0;
  TVec operator+(TVec o) const { return {X + o.X, Y + o.Y}; }
  TVec operator-(TVec o) const { return {X - o.X, Y - o.Y}; }
  TVec operator*(double k) const { return {X * k, Y * k}; }
  double Length() const { return std::hypot(X, Y); }
  TVec Rounded() const { return {RoundHalfEven(X), RoundHalfEven(Y)}; }
  bool Zero() const { return X == 0 && Y == 0; }
};

// A cubic Bezier curve and its first two derivatives.
struct TCubic {
  TVec P0, P1, P2, P3;
  TVec At(double t) const {
    const double s = 1 - t;
    return P0 * (s * s * s) + P1 * (3 * s * s * t) + P2 * (3 * s * t * t) + P3 * (t * t * t);
  }
  TVec Derivative(double t) const {
    const double s = 1 - t;
    return (P1 - P0) * (3 * s * s) + (P2 - P1) * (6 * s * t) + (P3 - P2) * (3 * t * t);
  }
  TVec Second(double t) const {
    return (P2 - P1 * 2 + P0) * (6 * (1 - t)) + (P3 - P2 * 2 + P1) * (6 * t);
  }
  // The direction of the tangent; where the first derivative vanishes (a control point on its
  // anchor) the second one gives it.
  TVec Tangent(double t) const {
    const TVec d = Derivative(t).Rounded();
    return d.Zero() ? Second(t) : d;
  }
};

// The eight quadratic curves of an ellipse, from the middle of its right side clockwise on
// screen: the control point's and the anchor's direction factors.
constexpr int kEllipseFactors[8][4] = {
    {0, 1, -1, 1}, {-1, 1, -1, 0}, {-1, 0, -1, -1}, {-1, -1, 0, -1},
    {0, -1, 1, -1}, {1, -1, 1, 0},  {1, 0, 1, 1},    {1, 1, 0, 1},
};

}  // namespace

TFlashEdges::TFlashEdges(TShapeRecordList& records, TFlashMovie* owner)
    : FRecords(records), FOwner(owner) {
  auto first = std::make_unique<TSWFStyleChangeRecord>();
  first->StateFillStyle1 = true;
  FRecords.push_back(std::move(first));
}

int32_t TFlashEdges::Units() const { return NoUnits || !FOwner ? 1 : FOwner->TwipsPerUnit(); }

// ---- moves -----------------------------------------------------------------------------------

TSWFStyleChangeRecord& TFlashEdges::MoveRecord() {
  if (FRecords.empty() || FRecords.back()->Kind != TShapeRecordKind::StyleChange)
    FRecords.push_back(std::make_unique<TSWFStyleChangeRecord>());
  return static_cast<TSWFStyleChangeRecord&>(*FRecords.back());
}

void TFlashEdges::MoveTwips(TPoint to) {
  // Before anything is drawn, a move to where the pen is says nothing: the first record keeps
  // its flags alone.
  if (FRecords.size() <= 1 && to == CurrentPos) return;
  TSWFStyleChangeRecord& record = MoveRecord();
  CurrentPos = to;
  record.SetMoveTo(to.X, to.Y);
  LastMoveTo = to;
}

TSWFStyleChangeRecord& TFlashEdges::MoveTo(int32_t x, int32_t y) {
  const int32_t u = Units();
  MoveTwips({Mul(x, u), Mul(y, u)});
  return MoveRecord();
}

TSWFStyleChangeRecord* TFlashEdges::MoveDelta(int32_t dx, int32_t dy) {
  if (dx == 0 && dy == 0) return nullptr;
  const int32_t u = Units();
  TSWFStyleChangeRecord& record = MoveRecord();
  CurrentPos = {CurrentPos.X + Mul(dx, u), CurrentPos.Y + Mul(dy, u)};
  record.SetMoveTo(CurrentPos.X, CurrentPos.Y);
  LastMoveTo = CurrentPos;
  return &record;
}

// ---- lines and curves ------------------------------------------------------------------------

void TFlashEdges::LineTwips(int32_t dx, int32_t dy) {
  if (dx == 0 && dy == 0) return;
  if (MergeLines && !FRecords.empty() && FRecords.back()->Kind == TShapeRecordKind::StraightEdge) {
    auto& e = static_cast<TSWFStraightEdgeRecord&>(*FRecords.back());
    const int64_t sumX = int64_t{e.X} + dx, sumY = int64_t{e.Y} + dy;
    bool merged = false;
    if (dx == 0 && e.X == 0 && SameWay(dy, e.Y) && std::abs(sumY) <= 65534) {
      e.Y = static_cast<int32_t>(sumY);
      merged = true;
    } else if (dy == 0 && e.Y == 0 && SameWay(dx, e.X) && std::abs(sumX) < 65535) {
      e.X = static_cast<int32_t>(sumX);
      merged = true;
    } else if (dx == e.X && dy == e.Y && RoundHalfEven(2 * std::hypot(double(dx), double(dy))) <= 65534) {
      e.X *= 2;
      e.Y *= 2;
      merged = true;
    }
    if (merged) {
      CurrentPos = {CurrentPos.X + dx, CurrentPos.Y + dy};
      return;
    }
  }
  // Long lines are cut into equal pieces that each fit a record; the pieces add up exactly.
  const int64_t n = std::max<int64_t>({1, (std::abs(int64_t{dx}) + kMaxEdgeDelta - 1) / kMaxEdgeDelta,
                                       (std::abs(int64_t{dy}) + kMaxEdgeDelta - 1) / kMaxEdgeDelta});
  for (int64_t k = 1; k <= n; ++k) {
    const double a = double(k) / double(n), b = double(k - 1) / double(n);
    FRecords.push_back(std::make_unique<TSWFStraightEdgeRecord>(Round(dx * a) - Round(dx * b),
                                                                Round(dy * a) - Round(dy * b)));
  }
  CurrentPos = {CurrentPos.X + dx, CurrentPos.Y + dy};
}

void TFlashEdges::LineTo(int32_t x, int32_t y) {
  const int32_t u = Units();
  LineToTwips({Mul(x, u), Mul(y, u)});
}

void TFlashEdges::LineDelta(int32_t dx, int32_t dy) {
  const int32_t u = Units();
  LineTwips(Mul(dx, u), Mul(dy, u));
}

void TFlashEdges::CurveTwips(int32_t cx, int32_t cy, int32_t ax, int32_t ay) {
  // Curves that are straight lines are written as lines.
  if (cx == 0 && cy == 0) return LineTwips(ax, ay);
  if (ax == 0 && ay == 0) return LineTwips(cx, cy);
  if (cy == 0 && ay == 0) return LineTwips(cx + ax, 0);
  if (cx == 0 && ax == 0) return LineTwips(0, cy + ay);
  const int32_t widest = std::max({std::abs(cx), std::abs(cy), std::abs(ax), std::abs(ay)});
  if (widest > kMaxEdgeDelta) {
    // Too wide for one record: the two halves of the curve are curves themselves.
    const TVec p1{double(cx), double(cy)}, p2{double(cx) + ax, double(cy) + ay};
    const TVec m01 = (p1 * 0.5).Rounded(), m12 = ((p1 + p2) * 0.5).Rounded();
    const TVec m = ((m01 + m12) * 0.5).Rounded();
    CurveTwips(Clamp32(m01.X), Clamp32(m01.Y), Clamp32(m.X - m01.X), Clamp32(m.Y - m01.Y));
    CurveTwips(Clamp32(m12.X - m.X), Clamp32(m12.Y - m.Y), Clamp32(p2.X - m12.X),
               Clamp32(p2.Y - m12.Y));
    return;
  }
  FRecords.push_back(std::make_unique<TSWFCurvedEdgeRecord>(cx, cy, ax, ay));
  CurrentPos = {CurrentPos.X + cx + ax, CurrentPos.Y + cy + ay};
}

void TFlashEdges::CurveToTwips(TPoint control, TPoint anchor) {
  if (anchor == CurrentPos) return;
  CurveTwips(control.X - CurrentPos.X, control.Y - CurrentPos.Y, anchor.X - control.X,
             anchor.Y - control.Y);
}

void TFlashEdges::CurveTo(int32_t controlX, int32_t controlY, int32_t anchorX, int32_t anchorY) {
  const int32_t u = Units();
  CurveToTwips({Mul(controlX, u), Mul(controlY, u)}, {Mul(anchorX, u), Mul(anchorY, u)});
}

void TFlashEdges::CurveDelta(int32_t controlDX, int32_t controlDY, int32_t anchorDX,
                             int32_t anchorDY) {
  const int32_t u = Units();
  CurveTwips(Mul(controlDX, u), Mul(controlDY, u), Mul(anchorDX, u), Mul(anchorDY, u));
}

void TFlashEdges::CloseShape() {
  if (CurrentPos != LastMoveTo) LineToTwips(LastMoveTo);
}

void TFlashEdges::EndEdges() { FRecords.push_back(std::make_unique<TSWFEndShapeRecord>()); }

// ---- figures ---------------------------------------------------------------------------------

void TFlashEdges::Rectangle(int32_t width, int32_t height) {
  LineDelta(width, 0);
  LineDelta(0, height);
  LineDelta(-width, 0);
  LineDelta(0, -height);
}

void TFlashEdges::Diamond(int32_t width, int32_t height) {
  const int32_t w = width / 2, h = height / 2;
  LineDelta(w, h);
  LineDelta(-w, h);
  LineDelta(-w, -h);
  LineDelta(w, -h);
}

// Curve i of the eight of an ellipse of the size in twips.
void TFlashEdges::QuarterCurves(int32_t w, int32_t h, int i) {
  const double c = i % 2 == 0 ? 0.1465 : 0.207;
  const double d = i % 2 == 0 ? 0.207 : 0.1465;
  const int* f = kEllipseFactors[i];
  CurveTwips(Round(w * f[0] * d), Round(h * f[1] * d), Round(w * f[2] * c), Round(h * f[3] * c));
}

void TFlashEdges::Ellipse(int32_t width, int32_t height) {
  const int32_t u = Units();
  const int32_t w = Mul(width, u), h = Mul(height, u);
  MoveTwips({CurrentPos.X + w, CurrentPos.Y + h / 2});
  for (int i = 0; i < 8; ++i) QuarterCurves(w, h, i);
}

void TFlashEdges::RoundRect(int32_t width, int32_t height, int32_t radiusX, int32_t radiusY) {
  const int32_t u = Units();
  const int32_t w = Mul(width, u), h = Mul(height, u), rx = Mul(radiusX, u), ry = Mul(radiusY, u);
  MoveTwips({CurrentPos.X + w, CurrentPos.Y + ry});
  for (int i = 0; i < 8; ++i) {
    if (i == 0) LineTwips(0, h - 2 * ry);
    if (i == 2) LineTwips(2 * rx - w, 0);
    if (i == 4) LineTwips(0, 2 * ry - h);
    if (i == 6) LineTwips(w - 2 * rx, 0);
    QuarterCurves(2 * rx, 2 * ry, i);
  }
}

void TFlashEdges::Pie(int32_t radiusX, int32_t radiusY, double startAngle, double endAngle,
                      bool clockWise) {
  const int32_t u = Units();
  const double rx = Mul(radiusX, u), ry = Mul(radiusY, u);
  if (endAngle < startAngle) endAngle += 360;
  const double sweep = endAngle - startAngle;
  const int n = std::max(1, static_cast<int>(std::ceil(sweep / 45)));
  const double step = sweep / n;
  const double k = std::cos(Radians(step / 2));
  const double m = clockWise ? 1 : -1;
  TPoint previous;
  for (int i = 0; i <= n; ++i) {
    const double a = Radians((startAngle + i * step) * m);
    const TPoint p{Round(rx * std::cos(a)), Round(ry * std::sin(a))};
    if (i == 0) {
      LineTwips(p.X, p.Y);
    } else {
      const double b = a - Radians(m * step / 2);
      const TPoint q{Round(std::cos(b) * rx / k), Round(std::sin(b) * ry / k)};
      CurveTwips(q.X - previous.X, q.Y - previous.Y, p.X - q.X, p.Y - q.Y);
    }
    previous = p;
  }
  LineTwips(-previous.X, -previous.Y);
}

void TFlashEdges::Arc(int32_t centerX, int32_t centerY, int32_t radiusX, int32_t radiusY,
                      double startAngle, double endAngle, bool closed, bool clockWise) {
  const int32_t u = Units();
  const double cx = Mul(centerX, u), cy = Mul(centerY, u);
  const double rx = Mul(radiusX, u), ry = Mul(radiusY, u);
  if (endAngle < startAngle) endAngle += 360;
  const double sweep = endAngle - startAngle;
  const int n = static_cast<int>(std::ceil(sweep / 45));
  const double step = n > 0 ? sweep / n : 0;
  const double k = std::cos(Radians(step / 2));
  const double m = clockWise ? 1 : -1;
  TPoint first;
  for (int i = 0; i <= n; ++i) {
    const double a = Radians((startAngle + i * step) * m);
    const TPoint p{Round(cx + RoundHalfEven(rx * std::cos(a))), Round(cy + RoundHalfEven(ry * std::sin(a)))};
    if (i == 0) {
      first = p;
      MoveTwips(p);
    } else {
      const double b = a - Radians(m * step / 2);
      const TPoint q{Round(cx + RoundHalfEven(std::cos(b) * rx / k)),
                     Round(cy + RoundHalfEven(std::sin(b) * ry / k))};
      CurveToTwips(q, p);
    }
  }
  if (closed) LineToTwips(first);
}

void TFlashEdges::Star(int32_t centerX, int32_t centerY, int32_t outerRadius, int32_t innerRadius,
                       int points, bool curved) {
  const int32_t u = Units();
  const double cx = Mul(centerX, u), cy = Mul(centerY, u);
  const double r1 = Mul(outerRadius, u), r2 = Mul(innerRadius, u);
  points = std::clamp(points, 2, 360);
  auto at = [&](double radius, double degrees) {
    return TPoint{Round(cx + RoundHalfEven(radius * std::cos(Radians(degrees)))),
                  Round(cy + RoundHalfEven(radius * std::sin(Radians(degrees))))};
  };
  MoveTwips(at(r1, -90));
  const double step = 360.0 / points;
  double h = -90;
  for (int i = 0; i < points; ++i) {
    const TPoint inner = at(r2, h + step / 2);
    h += step;
    const TPoint outer = at(r1, h);
    if (curved) {
      CurveToTwips(inner, outer);
    } else {
      LineToTwips(inner);
      LineToTwips(outer);
    }
  }
}

void TFlashEdges::CubicBezier(TPoint control1, TPoint control2, TPoint anchor, int parts) {
  const int32_t u = Units();
  auto twips = [u](TPoint p) { return TVec{double(Mul(p.X, u)), double(Mul(p.Y, u))}; };
  const TCubic curve{{double(CurrentPos.X), double(CurrentPos.Y)}, twips(control1),
                     twips(control2), twips(anchor)};
  if (parts < 1) parts = 1;

  // Each piece becomes one quadratic curve whose control point is where the tangents at its
  // ends meet, unless that point lies too far out; then the piece is halved.
  auto approximate = [&](auto& self, double t0, double t1, int depth) -> void {
    const TVec start = curve.At(t0).Rounded(), end = curve.At(t1).Rounded();
    const TPoint endPoint{Clamp32(end.X), Clamp32(end.Y)};
    if (depth > 10) return LineToTwips(endPoint);
    const TVec d0 = curve.Tangent(t0), d1 = curve.Tangent(t1);
    const double cross = d0.X * d1.Y - d0.Y * d1.X;
    if (cross != 0) {
      const TVec e = end - start;
      const double a = (e.X * d1.Y - e.Y * d1.X) / cross;
      const TVec q = start + d0 * a;
      const double chord = RoundHalfEven(e.Length());
      if ((q - start).Length() <= chord && (q - end).Length() <= chord) {
        const TVec qr = q.Rounded();
        return CurveToTwips({Clamp32(qr.X), Clamp32(qr.Y)}, endPoint);
      }
    }
    const double middle = (t0 + t1) / 2;
    self(self, t0, middle, depth + 1);
    self(self, middle, t1, depth + 1);
  };
  for (int i = 0; i < parts; ++i)
    approximate(approximate, double(i) / parts, double(i + 1) / parts, 0);
}

void TFlashEdges::PolyBezier(std::span<const TPoint> points, TPoint start) {
  if (points.empty()) return;
  const int32_t u = Units();
  size_t first = 0;
  if (start == TPoint{-1, -1}) {
    start = points[0];
    first = 1;
  }
  const TPoint startTwips{Mul(start.X, u), Mul(start.Y, u)};
  if (startTwips != CurrentPos) MoveTo(start.X, start.Y);
  size_t i = first;
  for (; i + 3 <= points.size(); i += 3) CubicBezier(points[i], points[i + 1], points[i + 2], 4);
  for (; i < points.size(); ++i) LineTo(points[i].X, points[i].Y);
}

// ---- whole outlines --------------------------------------------------------------------------

void TFlashEdges::Mirror(bool horizontal, bool vertical) {
  const int32_t sx = horizontal ? -1 : 1, sy = vertical ? -1 : 1;
  for (auto& record : FRecords) {
    switch (record->Kind) {
      case TShapeRecordKind::StyleChange:
      case TShapeRecordKind::StraightEdge: {
        auto& r = static_cast<TSWFStraightEdgeRecord&>(*record);
        r.X *= sx;
        r.Y *= sy;
        break;
      }
      case TShapeRecordKind::CurvedEdge: {
        auto& r = static_cast<TSWFCurvedEdgeRecord&>(*record);
        r.ControlX *= sx;
        r.AnchorX *= sx;
        r.ControlY *= sy;
        r.AnchorY *= sy;
        break;
      }
      default:
        break;
    }
  }
  CurrentPos = {CurrentPos.X * sx, CurrentPos.Y * sy};
  LastMoveTo = {LastMoveTo.X * sx, LastMoveTo.Y * sy};
}

void TFlashEdges::OffsetEdges(int32_t dx, int32_t dy, bool useUnits) {
  if (useUnits) {
    const int32_t u = Units();
    dx = Mul(dx, u);
    dy = Mul(dy, u);
  }
  bool first = true;
  for (auto& record : FRecords) {
    if (record->Kind != TShapeRecordKind::StyleChange) {
      first = false;
      continue;
    }
    auto& r = static_cast<TSWFStyleChangeRecord&>(*record);
    // The outline starts at the pen's origin when its first record carries no move: it moves
    // with the rest.
    if (r.StateMoveTo || (first && (dx != 0 || dy != 0))) r.SetMoveTo(r.X + dx, r.Y + dy);
    first = false;
  }
  CurrentPos = {CurrentPos.X + dx, CurrentPos.Y + dy};
  LastMoveTo = {LastMoveTo.X + dx, LastMoveTo.Y + dy};
}

}  // namespace tw::builder
