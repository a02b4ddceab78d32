#include "builder/shape.h"

#include <algorithm>
#include <cmath>

#include "builder/image.h"
#include "builder/movie.h"
#include "swf/errors.h"
#include "swf/shape_tags.h"

namespace tw::builder {

using namespace tw::swf;

namespace {

constexpr double kPi = 3.14159265358979323846;

// An image fill in a movie of version 7 or lower is shifted and stretched a little, so that
// the bitmap covers the shape's edge pixels in the players of that time.
constexpr int32_t kImageFillInset = 5;
constexpr double kImageFillExtraScale = 15.0 / 4096;
constexpr double kMaxImageFillScale = 16383;

// The side of the square a gradient is defined in, in twips.
constexpr double kGradientSquare = 32768;

TSWFRGBA Opaque(const TSWFRGB& c) {
  TSWFRGBA rgba;
  rgba.SetRGB(c.GetRGB());
  return rgba;
}

// Lends one list to a tag for the time of a write.
template <class T>
class TLent {
 public:
  TLent(T& owner, T& borrower) : FOwner(owner), FBorrower(borrower) { std::swap(FOwner, FBorrower); }
  ~TLent() { std::swap(FOwner, FBorrower); }
  TLent(const TLent&) = delete;
  TLent& operator=(const TLent&) = delete;

 private:
  T& FOwner;
  T& FBorrower;
};

bool IsWide(const std::unique_ptr<TSWFLineStyle>& line) {
  return dynamic_cast<const TSWFLineStyle2*>(line.get()) != nullptr;
}

// Plain line styles turned into wide ones of the same width and colour (round caps and
// joins, as plain lines are drawn).
void Widen(TLineStyleList& lines) {
  for (auto& line : lines) {
    if (IsWide(line)) continue;
    auto wide = std::make_unique<TSWFLineStyle2>();
    wide->Assign(*line);
    wide->Color.SetHasAlpha(true);
    line = std::move(wide);
  }
}

}  // namespace

TFlashShape::TFlashShape(TFlashMovie* owner)
    : TFlashVisualObject(owner), FEdges(std::make_unique<TFlashEdges>(Records, owner)) {}

TFlashShape::~TFlashShape() = default;

void TFlashShape::ChangeOwner() { FEdges->SetOwner(Owner()); }

// ---- bounds ----------------------------------------------------------------------------------

void TFlashShape::SetBounds(int32_t xMin, int32_t yMin, int32_t xMax, int32_t yMax) {
  const int32_t u = Units();
  Bounds.SetRect({xMin * u, yMin * u, xMax * u, yMax * u});
}

void TFlashShape::CalcBounds() { Bounds.SetRect(OutlineBounds(Records)); }

TRect OutlineBounds(const TShapeRecordList& records) {
  bool any = false;
  int32_t x = 0, y = 0;
  TRect r;
  auto widen = [&](int32_t px, int32_t py) {
    if (!any) {
      r = {px, py, px, py};
      any = true;
      return;
    }
    r.Left = std::min(r.Left, px);
    r.Top = std::min(r.Top, py);
    r.Right = std::max(r.Right, px);
    r.Bottom = std::max(r.Bottom, py);
  };
  for (const auto& record : records) {
    switch (record->Kind) {
      case TShapeRecordKind::StyleChange: {
        // A style change without a move leaves the pen where it is (at the start: the origin).
        const auto& s = static_cast<const TSWFStyleChangeRecord&>(*record);
        if (s.StateMoveTo) {
          x = s.X;
          y = s.Y;
        }
        widen(x, y);
        break;
      }
      case TShapeRecordKind::StraightEdge: {
        const auto& s = static_cast<const TSWFStraightEdgeRecord&>(*record);
        x += s.X;
        y += s.Y;
        widen(x, y);
        break;
      }
      case TShapeRecordKind::CurvedEdge: {
        const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*record);
        x += c.ControlX;
        y += c.ControlY;
        widen(x, y);
        x += c.AnchorX;
        y += c.AnchorY;
        widen(x, y);
        break;
      }
      default:
        break;
    }
  }
  return any ? r : TRect{};
}

int32_t TFlashShape::Width(bool inTwips) const { return Bounds.Width() / (inTwips ? 1 : Units()); }
int32_t TFlashShape::Height(bool inTwips) const { return Bounds.Height() / (inTwips ? 1 : Units()); }
int32_t TFlashShape::XMin() const { return Bounds.XMin() / Units(); }
int32_t TFlashShape::XMax() const { return Bounds.XMax() / Units(); }
int32_t TFlashShape::YMin() const { return Bounds.YMin() / Units(); }
int32_t TFlashShape::YMax() const { return Bounds.YMax() / Units(); }

// ---- style indices ---------------------------------------------------------------------------

TSWFStyleChangeRecord* TFlashShape::FirstStyleChange() {
  if (Records.empty() || Records.front()->Kind != TShapeRecordKind::StyleChange) return nullptr;
  return static_cast<TSWFStyleChangeRecord*>(Records.front().get());
}

void TFlashShape::SetFill0(uint16_t index) {
  TSWFStyleChangeRecord* first = FirstStyleChange();
  FFill0Index = first ? index : 0;
  if (first) first->SetFill0(index);
}

void TFlashShape::SetFill1(uint16_t index) {
  TSWFStyleChangeRecord* first = FirstStyleChange();
  FFill1Index = first ? index : 0;
  if (first) first->SetFill1(index);
}

void TFlashShape::SetLineStyle(uint16_t index) {
  TSWFStyleChangeRecord* first = FirstStyleChange();
  FLineStyleIndex = first ? index : 0;
  if (first) first->SetLine(index);
}

// ---- styles ----------------------------------------------------------------------------------

TSWFFillStyle& TFlashShape::AddFillStyle(std::unique_ptr<TSWFFillStyle> fill) {
  FillStyles.push_back(std::move(fill));
  SetFill1(static_cast<uint16_t>(FillStyles.size()));
  return *FillStyles.back();
}

TSWFFillStyle& TFlashShape::AddFillStyle(TSWFFillStyle& fill) {
  for (size_t i = 0; i < FillStyles.size(); ++i)
    if (FillStyles[i].get() == &fill) {
      SetFill1(static_cast<uint16_t>(i + 1));
      return fill;
    }
  throw ESWFError("The fill style does not belong to the shape");
}

TSWFLineStyle& TFlashShape::AddLineStyle(std::unique_ptr<TSWFLineStyle> style) {
  if (!style) style = std::make_unique<TSWFLineStyle>();
  LineStyles.push_back(std::move(style));
  SetLineStyle(static_cast<uint16_t>(LineStyles.size()));
  return *LineStyles.back();
}

TSWFLineStyle& TFlashShape::AddLineStyle(TSWFLineStyle& style) {
  for (size_t i = 0; i < LineStyles.size(); ++i)
    if (LineStyles[i].get() == &style) {
      SetLineStyle(static_cast<uint16_t>(i + 1));
      return style;
    }
  throw ESWFError("The line style does not belong to the shape");
}

TSWFLineStyle& TFlashShape::AddLineStyle(int32_t width, const TSWFRGB& color) {
  return AddLineStyle(width, Opaque(color));
}

TSWFLineStyle& TFlashShape::AddLineStyle(int32_t width, const TSWFRGBA& color) {
  TSWFLineStyle& style = AddLineStyle();
  style.Width = static_cast<uint16_t>(std::clamp<int64_t>(int64_t{width} * Units(), 0, 65535));
  style.Color.SetRGBA(color.GetRGBA());
  NoteAlpha(color.A);
  return style;
}

TSWFColorFill& TFlashShape::SetSolidColor(const TSWFRGB& color) { return SetSolidColor(Opaque(color)); }

TSWFColorFill& TFlashShape::SetSolidColor(const TSWFRGBA& color) {
  auto fill = std::make_unique<TSWFColorFill>();
  fill->Color.SetRGBA(color.GetRGBA());
  NoteAlpha(color.A);
  return static_cast<TSWFColorFill&>(AddFillStyle(std::move(fill)));
}

TSWFImageFill& TFlashShape::SetImageFill(TFlashImage& image, TImageFillMode mode, double scaleX,
                                         double scaleY) {
  if (image.Width() == 0 || image.Height() == 0) throw ESWFError("The image of the fill has no size");
  auto fill = std::make_unique<TSWFImageFill>();
  fill->ID = image.CharacterId();
  const bool correct = Owner() && Owner()->CorrectImageFill;
  const int32_t inset = correct ? kImageFillInset : 0;
  const double extra = correct ? kImageFillExtraScale : 0;
  fill->Matrix.SetTranslate(Bounds.XMin() - inset, Bounds.YMin() - inset);
  switch (mode) {
    case ifmFit:
      fill->FillType = kFillClippedBitmap;
      fill->Matrix.SetScale(std::min(Bounds.Width() / double(image.Width()) + extra, kMaxImageFillScale),
                            std::min(Bounds.Height() / double(image.Height()) + extra, kMaxImageFillScale));
      break;
    case ifmTile:
      fill->FillType = kFillRepeatingBitmap;
      fill->Matrix.SetScale(scaleX * 20, scaleY * 20);
      break;
    default:
      fill->FillType = kFillClippedBitmap;
      fill->Matrix.SetScale(scaleX * 20, scaleY * 20);
      break;
  }
  auto& added = static_cast<TSWFImageFill&>(AddFillStyle(std::move(fill)));
  // A bitmap must be defined before the shape that shows it.
  if (Owner()) Owner()->MoveBefore(image, FDefinedBy ? *FDefinedBy : *this);
  return added;
}

TSWFGradientFill& TFlashShape::AddGradient(std::span<const uint32_t> colors, uint8_t type) {
  if (colors.empty()) throw ESWFError("A gradient needs at least one colour");
  const size_t limit = type == kFillRadialGradient ? 8 : kMaxGradientRecords;
  const size_t n = std::min(colors.size(), limit);
  auto fill = std::make_unique<TSWFGradientFill>();
  fill->FillType = type;
  for (size_t i = 0; i < n; ++i) {
    const int record = static_cast<int>(i + 1);
    fill->GradientColor(record).SetRGBA(colors[i]);
    NoteAlpha(static_cast<uint8_t>(colors[i] >> 24));
    // One colour alone stands at the start; more are spread from 0 to 255.
    const double ratio = n == 1 ? 0 : double(i) / double(n - 1) * 255;
    fill->SetGradientRatio(record, static_cast<uint8_t>(RoundHalfEven(ratio)));
  }
  return static_cast<TSWFGradientFill&>(AddFillStyle(std::move(fill)));
}

TSWFGradientFill& TFlashShape::SetLinearGradient(std::span<const uint32_t> colors, double angle) {
  TSWFGradientFill& fill = AddGradient(colors, kFillLinearGradient);
  const double r = angle * kPi / 180;
  const double w = Bounds.Width() / kGradientSquare, h = Bounds.Height() / kGradientSquare;
  fill.Matrix.SetScale(std::cos(r) * w, std::cos(r) * h);
  const double skewX = std::sin(r) * w, skewY = -std::sin(r) * h;
  if (skewX != 0 || skewY != 0) fill.Matrix.SetSkew(skewX, skewY);
  fill.Matrix.SetTranslate(Bounds.XMin() + Bounds.Width() / 2, Bounds.YMin() + Bounds.Height() / 2);
  return fill;
}

TSWFGradientFill& TFlashShape::SetLinearGradient(uint32_t color1, uint32_t color2, double angle) {
  const uint32_t colors[2] = {color1, color2};
  return SetLinearGradient(colors, angle);
}

TSWFGradientFill& TFlashShape::SetRadialGradient(std::span<const uint32_t> colors, int32_t xCenter,
                                                 int32_t yCenter) {
  TSWFGradientFill& fill = AddGradient(colors, kFillRadialGradient);
  const double w = Bounds.Width(), h = Bounds.Height();
  fill.Matrix.SetScale(w / kGradientSquare, h / kGradientSquare);
  fill.Matrix.SetTranslate(Bounds.XMin() + static_cast<int32_t>(RoundHalfEven(w / 100 * xCenter)),
                           Bounds.YMin() + static_cast<int32_t>(RoundHalfEven(h / 100 * yCenter)));
  return fill;
}

TSWFGradientFill& TFlashShape::SetRadialGradient(uint32_t color1, uint32_t color2, int32_t xCenter,
                                                 int32_t yCenter) {
  const uint32_t colors[2] = {color1, color2};
  return SetRadialGradient(colors, xCenter, yCenter);
}

uint16_t TFlashShape::AppendFillStyle(std::unique_ptr<TSWFFillStyle> fill) {
  if (const auto* color = dynamic_cast<const TSWFColorFill*>(fill.get())) NoteAlpha(color->Color.A);
  if (const auto* gradient = dynamic_cast<const TSWFBaseGradientFill*>(fill.get()))
    for (int n = 1; n <= gradient->Count; ++n) NoteAlpha(gradient->Record(n).Color.A);
  FillStyles.push_back(std::move(fill));
  return static_cast<uint16_t>(FillStyles.size());
}

uint16_t TFlashShape::AppendLineStyle(int32_t width, const TSWFRGBA& color) {
  auto style = std::make_unique<TSWFLineStyle>();
  style->Width = static_cast<uint16_t>(std::clamp<int64_t>(int64_t{width} * Units(), 0, 65535));
  style->Color.SetRGBA(color.GetRGBA());
  NoteAlpha(color.A);
  LineStyles.push_back(std::move(style));
  return static_cast<uint16_t>(LineStyles.size());
}

namespace {

std::unique_ptr<TSWFGradientFill> GradientOf(std::span<const TGradientStop> stops, uint8_t type) {
  if (stops.empty()) throw ESWFError("A gradient needs at least one colour");
  for (size_t i = 1; i < stops.size(); ++i)
    if (stops[i].Ratio < stops[i - 1].Ratio) throw ESWFError("The stops of a gradient must stand in order");
  auto fill = std::make_unique<TSWFGradientFill>();
  fill->FillType = type;
  const size_t n = std::min<size_t>(stops.size(), 8);
  for (size_t i = 0; i < n; ++i) {
    const int record = static_cast<int>(i + 1);
    fill->GradientColor(record).SetRGBA(stops[i].Color);
    fill->SetGradientRatio(record, stops[i].Ratio);
  }
  return fill;
}

// A term of a matrix that is zero but for the rounding of a sine or cosine.
double Clean(double v) { return std::abs(v) < 1e-9 ? 0 : v; }

}  // namespace

std::unique_ptr<TSWFGradientFill> LinearGradientIn(const TRect& box, std::span<const TGradientStop> stops,
                                                   double angle) {
  auto fill = GradientOf(stops, kFillLinearGradient);
  const double r = angle * kPi / 180, c = Clean(std::cos(r)), s = Clean(std::sin(r));
  const double w = box.Right - box.Left, h = box.Bottom - box.Top;
  // The gradient's square turned to the angle and stretched to reach across the box that way.
  const double reach = std::max(std::abs(w * c) + std::abs(h * s), 1.0) / kGradientSquare;
  fill->Matrix.SetScale(reach * c, reach * c);
  if (s != 0) fill->Matrix.SetSkew(-reach * s, reach * s);
  fill->Matrix.SetTranslate(static_cast<int32_t>(std::lround(box.Left + w / 2)),
                            static_cast<int32_t>(std::lround(box.Top + h / 2)));
  return fill;
}

std::unique_ptr<TSWFGradientFill> RadialGradientIn(const TRect& box, std::span<const TGradientStop> stops,
                                                   double xCenter, double yCenter) {
  auto fill = GradientOf(stops, kFillRadialGradient);
  const double w = box.Right - box.Left, h = box.Bottom - box.Top;
  fill->Matrix.SetScale(std::max(w, 1.0) / kGradientSquare, std::max(h, 1.0) / kGradientSquare);
  // A centre far outside the box still fits the matrix's fields.
  const double limit = 1 << 28;
  const double x = std::clamp(box.Left + w * xCenter / 100, -limit, limit);
  const double y = std::clamp(box.Top + h * yCenter / 100, -limit, limit);
  fill->Matrix.SetTranslate(static_cast<int32_t>(std::lround(x)), static_cast<int32_t>(std::lround(y)));
  return fill;
}

// ---- dashes ----------------------------------------------------------------------------------

TFlashLineStyle& TFlashShape::DashPattern() {
  if (!FDashPattern) FDashPattern = std::make_unique<TFlashLineStyle>();
  return *FDashPattern;
}

TSWFRGBA& TFlashShape::DashGapColor() {
  if (!FDashGapColor) FDashGapColor = std::make_unique<TSWFRGBA>(true);
  DashGapsTransparent = false;
  return *FDashGapColor;
}

namespace {

struct TPointF {
  double X = 0, Y = 0;
};

// Cuts an outline into dash and gap pieces along its length. Pieces of straight edges are
// straight; pieces of curves are the parts of the quadratic curve between two parameters,
// found from a table of its length.
class TDasher {
 public:
  // The record before the first piece has selected the dash style.
  TDasher(TShapeRecordList& out, std::vector<int32_t> pattern, uint16_t dashStyle,
          uint16_t gapStyle)
      : FOut(out), FPattern(std::move(pattern)), FDashStyle(dashStyle), FGapStyle(gapStyle),
        FDrawn(dashStyle) {}

  // Each piece of the outline starts the pattern anew.
  void Start(TPoint at) {
    FPen = at;
    FIndex = 0;
    FLeft = FPattern[0];
    MoveTo(at);
  }

  void Line(TPoint to) {
    const double length = std::hypot(double(to.X - FPen.X), double(to.Y - FPen.Y));
    const TPoint from = FPen;
    Walk(length, [&](double t0, double t1) {
      (void)t0;
      return std::pair{TPointF{}, TPointF{from.X + (to.X - from.X) * t1, from.Y + (to.Y - from.Y) * t1}};
    }, false);
    FPen = to;
  }

  void Curve(TPoint control, TPoint anchor) {
    const TPointF p0{double(FPen.X), double(FPen.Y)}, p1{double(control.X), double(control.Y)},
        p2{double(anchor.X), double(anchor.Y)};
    auto at = [&](double t) {
      const double s = 1 - t;
      return TPointF{s * s * p0.X + 2 * s * t * p1.X + t * t * p2.X,
                     s * s * p0.Y + 2 * s * t * p1.Y + t * t * p2.Y};
    };
    // Length as a function of the parameter, in 32 steps.
    constexpr int kSteps = 32;
    double table[kSteps + 1] = {0};
    TPointF prev = p0;
    for (int i = 1; i <= kSteps; ++i) {
      const TPointF p = at(double(i) / kSteps);
      table[i] = table[i - 1] + std::hypot(p.X - prev.X, p.Y - prev.Y);
      prev = p;
    }
    const double length = table[kSteps];
    auto parameter = [&](double s) {
      if (length <= 0) return 1.0;
      const double target = s * length;
      int i = 1;
      while (i < kSteps && table[i] < target) ++i;
      const double span = table[i] - table[i - 1];
      const double f = span > 0 ? (target - table[i - 1]) / span : 0;
      return (i - 1 + f) / kSteps;
    };
    Walk(length, [&](double s0, double s1) {
      const double t0 = parameter(s0), t1 = s1 >= 1 ? 1.0 : parameter(s1);
      // The part of a quadratic curve between two parameters is a quadratic curve whose control
      // point lies on the tangent at its start.
      const TPointF a = at(t0);
      const double k = (t1 - t0);
      const TPointF d{2 * (1 - t0) * (p1.X - p0.X) + 2 * t0 * (p2.X - p1.X),
                      2 * (1 - t0) * (p1.Y - p0.Y) + 2 * t0 * (p2.Y - p1.Y)};
      return std::pair{TPointF{a.X + d.X * k / 2, a.Y + d.Y * k / 2}, at(t1)};
    }, true);
    FPen = anchor;
  }

 private:
  // Walks a length through the pattern; piece(s0, s1) gives the control point and the end of
  // the piece between the fractions s0 and s1 of the length.
  template <class F>
  void Walk(double length, const F& piece, bool curved) {
    double done = 0;
    while (length - done > 0.5) {
      const double step = std::min<double>(FLeft, length - done);
      const double s0 = done / length, s1 = (done + step) / length;
      const auto [control, end] = piece(s0, s1 >= 1 - 1e-12 ? 1.0 : s1);
      Emit(control, end, curved);
      done += step;
      FLeft -= step;
      if (FLeft <= 0.5) {
        FIndex = (FIndex + 1) % FPattern.size();
        FLeft = FPattern[FIndex];
      }
    }
  }

  void Emit(TPointF control, TPointF end, bool curved) {
    const TPoint e{static_cast<int32_t>(RoundHalfEven(end.X)), static_cast<int32_t>(RoundHalfEven(end.Y))};
    const bool dash = FIndex % 2 == 0;
    if (!dash && FGapStyle == 0) {
      MoveTo(e);
      return;
    }
    const uint16_t style = dash ? FDashStyle : FGapStyle;
    if (FDrawn != style) {
      if (FOut.empty() || FOut.back()->Kind != TShapeRecordKind::StyleChange)
        FOut.push_back(std::make_unique<TSWFStyleChangeRecord>());
      static_cast<TSWFStyleChangeRecord&>(*FOut.back()).SetLine(style);
      FDrawn = style;
    }
    if (curved) {
      const TPoint c{static_cast<int32_t>(RoundHalfEven(control.X)), static_cast<int32_t>(RoundHalfEven(control.Y))};
      FOut.push_back(std::make_unique<TSWFCurvedEdgeRecord>(c.X - FAt.X, c.Y - FAt.Y, e.X - c.X, e.Y - c.Y));
    } else {
      FOut.push_back(std::make_unique<TSWFStraightEdgeRecord>(e.X - FAt.X, e.Y - FAt.Y));
    }
    FAt = e;
  }

  void MoveTo(TPoint to) {
    if (FOut.empty() || FOut.back()->Kind != TShapeRecordKind::StyleChange)
      FOut.push_back(std::make_unique<TSWFStyleChangeRecord>());
    static_cast<TSWFStyleChangeRecord&>(*FOut.back()).SetMoveTo(to.X, to.Y);
    FAt = to;
  }

  TShapeRecordList& FOut;
  std::vector<int32_t> FPattern;  // twips
  uint16_t FDashStyle, FGapStyle;
  TPoint FPen;  // where the outline being cut has got to
  TPoint FAt;   // where the records written have got to
  size_t FIndex = 0;
  double FLeft = 0;
  uint16_t FDrawn;  // the line style in force
};

}  // namespace

void TFlashShape::BuildDashed(TShapeRecordList& records, TLineStyleList& lines) const {
  lines = CloneLineStyles(LineStyles);
  uint16_t gapStyle = 0;
  if (!DashGapsTransparent && !LineStyles.empty()) {
    auto gap = std::make_unique<TSWFLineStyle>();
    gap->Width = LineStyles.front()->Width;
    gap->Color.SetRGBA(FDashGapColor ? FDashGapColor->GetRGBA() : MakeRGBA(0, 0, 0, 255));
    lines.push_back(std::move(gap));
    gapStyle = static_cast<uint16_t>(lines.size());
  }
  std::vector<int32_t> pattern;
  for (size_t i = 0; i < FDashPattern->Count(); ++i) pattern.push_back(FDashPattern->Items(i) * 20);
  // An odd pattern repeats, so that its dashes and gaps change places the second time.
  if (pattern.size() % 2) {
    const std::vector<int32_t> once = pattern;
    pattern.insert(pattern.end(), once.begin(), once.end());
  }
  const bool solid = pattern.empty() || std::all_of(pattern.begin(), pattern.end(), [](int32_t v) { return v == 0; });

  // A closed outline with fills is first given once without a line, for its fill.
  const bool closed = FEdges->CurrentPos == FEdges->LastMoveTo;
  const bool fills = !FillStyles.empty();
  if (fills && closed) {
    for (const auto& record : Records) {
      if (record->Kind == TShapeRecordKind::End) continue;
      auto copy = record->Clone();
      if (copy->Kind == TShapeRecordKind::StyleChange) {
        auto& change = static_cast<TSWFStyleChangeRecord&>(*copy);
        if (change.StateLineStyle || &record == &Records.front()) change.SetLine(0);
      }
      records.push_back(std::move(copy));
    }
  }
  const uint16_t dashStyle = FLineStyleIndex;
  auto first = std::make_unique<TSWFStyleChangeRecord>();
  if (fills) {
    first->SetFill0(0);
    first->SetFill1(0);
  }
  first->SetLine(dashStyle);
  records.push_back(std::move(first));
  if (solid) pattern = {INT32_MAX / 2, 0};

  TDasher dasher(records, pattern, dashStyle, gapStyle);
  TPoint pen;
  dasher.Start(pen);
  for (const auto& record : Records) {
    switch (record->Kind) {
      case TShapeRecordKind::StyleChange: {
        const auto& s = static_cast<const TSWFStyleChangeRecord&>(*record);
        if (s.StateMoveTo) {
          pen = {s.X, s.Y};
          dasher.Start(pen);
        }
        break;
      }
      case TShapeRecordKind::StraightEdge: {
        const auto& s = static_cast<const TSWFStraightEdgeRecord&>(*record);
        pen = {pen.X + s.X, pen.Y + s.Y};
        dasher.Line(pen);
        break;
      }
      case TShapeRecordKind::CurvedEdge: {
        const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*record);
        const TPoint control{pen.X + c.ControlX, pen.Y + c.ControlY};
        pen = {control.X + c.AnchorX, control.Y + c.AnchorY};
        dasher.Curve(control, pen);
        break;
      }
      default:
        break;
    }
  }
  records.push_back(std::make_unique<TSWFEndShapeRecord>());
}

// ---- writing ---------------------------------------------------------------------------------

void TFlashShape::WriteToStream(TBitsEngine& be) {
  uint16_t widest = 0;
  for (const auto& line : LineStyles) widest = std::max(widest, line->Width);
  const bool shape4 = NeedsShape4();
  std::unique_ptr<TSWFDefineShape> tag;
  if (shape4) {
    auto tag4 = std::make_unique<TSWFDefineShape4>();
    tag4->EdgeBounds.Assign(Bounds);
    tag4->UsesFillWindingRule = NonzeroWinding;
    tag = std::move(tag4);
  } else if (HasAlpha) {
    tag = std::make_unique<TSWFDefineShape3>();
  } else {
    tag = std::make_unique<TSWFDefineShape2>();
  }
  tag->ID = CharacterId();
  const int32_t half = widest / 2;
  tag->ShapeBounds.SetRect(
      {Bounds.XMin() - half, Bounds.YMin() - half, Bounds.XMax() + half, Bounds.YMax() + half});
  // The styles and records are lent to the tag, not copied: they go back when it is written.
  TLent fills(FillStyles, tag->FillStyles);
  if (Dashed()) {
    BuildDashed(tag->Edges, tag->LineStyles);
    if (shape4) Widen(tag->LineStyles);
    tag->WriteToStream(be);
    return;
  }
  TLent records(Records, tag->Edges);
  if (shape4 && !std::all_of(LineStyles.begin(), LineStyles.end(), IsWide)) {
    tag->LineStyles = CloneLineStyles(LineStyles);
    Widen(tag->LineStyles);
    tag->WriteToStream(be);
  } else {
    TLent lines(LineStyles, tag->LineStyles);
    tag->WriteToStream(be);
  }
}

bool TFlashShape::NeedsShape4() const {
  return NonzeroWinding || std::any_of(LineStyles.begin(), LineStyles.end(), IsWide);
}

void TFlashShape::Assign(const TBasedSWFObject& source) {
  TFlashVisualObject::Assign(source);
  const auto& s = SourceAs<TFlashShape>(source);
  if (s.FFill0Index) SetFill0(s.FFill0Index);
  if (s.FFill1Index) SetFill1(s.FFill1Index);
  if (s.FLineStyleIndex) SetLineStyle(s.FLineStyleIndex);
  HasAlpha = s.HasAlpha;
  NonzeroWinding = s.NonzeroWinding;
}

}  // namespace tw::builder
