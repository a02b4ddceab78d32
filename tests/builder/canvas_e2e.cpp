// A drawing replayed on our canvas and played in a Flash runtime (Ruffle in headless Chromium,
// tests/e2e) looks like the same drawing on the browser's own 2D canvas in the same page.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <numbers>
#include <sstream>

#include "builder/movie.h"
#include "builder/objects_support.h"

namespace tw::builder {
namespace {

namespace fs = std::filesystem;
using namespace tw::swf;
using namespace tw::test;

constexpr double kPi = std::numbers::pi;
using TColour = std::array<int, 4>;

// One command of a drawing, as both canvases take it: a call with numbers (or a word, as the
// rule of a fill), a colour style, a gradient style, or a line setting (width, miter limit,
// cap, join).
struct TCommand {
  std::string Op;
  std::vector<double> Args;
  std::optional<TColour> Colour;
  std::string Gradient;  // "linear" or "radial"
  std::vector<std::pair<double, TColour>> Stops;
  std::string Text;
};

TCommand Call(std::string op, std::vector<double> args = {}) { return {std::move(op), std::move(args), {}, {}, {}, {}}; }
TCommand Word(std::string op, std::string text) { return {std::move(op), {}, {}, {}, {}, std::move(text)}; }
TCommand Style(std::string op, TColour c) { return {std::move(op), {}, c, {}, {}, {}}; }
TCommand Gradient(std::string op, std::string kind, std::vector<double> args,
                  std::vector<std::pair<double, TColour>> stops) {
  return {std::move(op), std::move(args), {}, std::move(kind), std::move(stops), {}};
}
TCommand GradientFill(std::string kind, std::vector<double> args, std::vector<std::pair<double, TColour>> stops) {
  return Gradient("fillStyle", std::move(kind), std::move(args), std::move(stops));
}

uint32_t Packed(TColour c) {
  return MakeRGBA(uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2]), uint8_t(c[3]));
}

using TArgs = const std::vector<double>&;
const std::map<std::string, std::function<void(TFlashCanvas&, TArgs)>> kCalls = {
    {"beginPath", [](TFlashCanvas& c, TArgs) { c.BeginPath(); }},
    {"closePath", [](TFlashCanvas& c, TArgs) { c.ClosePath(); }},
    {"moveTo", [](TFlashCanvas& c, TArgs a) { c.MoveTo(a.at(0), a.at(1)); }},
    {"lineTo", [](TFlashCanvas& c, TArgs a) { c.LineTo(a.at(0), a.at(1)); }},
    {"quadraticCurveTo", [](TFlashCanvas& c, TArgs a) { c.QuadraticCurveTo(a.at(0), a.at(1), a.at(2), a.at(3)); }},
    {"bezierCurveTo", [](TFlashCanvas& c, TArgs a) { c.BezierCurveTo(a.at(0), a.at(1), a.at(2), a.at(3), a.at(4), a.at(5)); }},
    {"arc", [](TFlashCanvas& c, TArgs a) { c.Arc(a.at(0), a.at(1), a.at(2), a.at(3), a.at(4), a.size() > 5 && a[5] != 0); }},
    {"arcTo", [](TFlashCanvas& c, TArgs a) { c.ArcTo(a.at(0), a.at(1), a.at(2), a.at(3), a.at(4)); }},
    {"ellipse", [](TFlashCanvas& c, TArgs a) { c.Ellipse(a.at(0), a.at(1), a.at(2), a.at(3), a.at(4), a.at(5), a.at(6), a.size() > 7 && a[7] != 0); }},
    {"rect", [](TFlashCanvas& c, TArgs a) { c.Rect(a.at(0), a.at(1), a.at(2), a.at(3)); }},
    {"fill", [](TFlashCanvas& c, TArgs) { c.Fill(); }},
    {"fill evenodd", [](TFlashCanvas& c, TArgs) { c.Fill(frEvenOdd); }},
    {"fill nonzero", [](TFlashCanvas& c, TArgs) { c.Fill(frNonzero); }},
    {"lineCap butt", [](TFlashCanvas& c, TArgs) { c.SetLineCap(lcButt); }},
    {"lineCap round", [](TFlashCanvas& c, TArgs) { c.SetLineCap(lcRound); }},
    {"lineCap square", [](TFlashCanvas& c, TArgs) { c.SetLineCap(lcSquare); }},
    {"lineJoin bevel", [](TFlashCanvas& c, TArgs) { c.SetLineJoin(ljBevel); }},
    {"lineJoin round", [](TFlashCanvas& c, TArgs) { c.SetLineJoin(ljRound); }},
    {"lineJoin miter", [](TFlashCanvas& c, TArgs) { c.SetLineJoin(ljMiter); }},
    {"miterLimit", [](TFlashCanvas& c, TArgs a) { c.SetMiterLimit(a.at(0)); }},
    {"stroke", [](TFlashCanvas& c, TArgs) { c.Stroke(); }},
    {"fillRect", [](TFlashCanvas& c, TArgs a) { c.FillRect(a.at(0), a.at(1), a.at(2), a.at(3)); }},
    {"strokeRect", [](TFlashCanvas& c, TArgs a) { c.StrokeRect(a.at(0), a.at(1), a.at(2), a.at(3)); }},
    {"save", [](TFlashCanvas& c, TArgs) { c.Save(); }},
    {"restore", [](TFlashCanvas& c, TArgs) { c.Restore(); }},
    {"translate", [](TFlashCanvas& c, TArgs a) { c.Translate(a.at(0), a.at(1)); }},
    {"rotate", [](TFlashCanvas& c, TArgs a) { c.Rotate(a.at(0)); }},
    {"scale", [](TFlashCanvas& c, TArgs a) { c.Scale(a.at(0), a.at(1)); }},
    {"setTransform", [](TFlashCanvas& c, TArgs a) { c.SetTransform(a.at(0), a.at(1), a.at(2), a.at(3), a.at(4), a.at(5)); }},
    {"lineWidth", [](TFlashCanvas& c, TArgs a) { c.SetLineWidth(a.at(0)); }},
};

void Replay(TFlashCanvas& canvas, const std::vector<TCommand>& drawing) {
  for (const TCommand& c : drawing) {
    if (!c.Gradient.empty()) {
      const auto& a = c.Args;
      auto g = c.Gradient == "linear"
                   ? TFlashCanvasGradient::Linear(a.at(0), a.at(1), a.at(2), a.at(3))
                   : TFlashCanvasGradient::Radial(a.at(0), a.at(1), a.at(2), a.at(3), a.at(4), a.at(5));
      for (const auto& [offset, colour] : c.Stops) g.AddColorStop(offset, Packed(colour));
      if (c.Op == "fillStyle") canvas.SetFillStyle(g);
      else canvas.SetStrokeStyle(g);
    } else if (c.Op == "fillStyle") {
      canvas.SetFillStyle(Packed(*c.Colour));
    } else if (c.Op == "strokeStyle") {
      canvas.SetStrokeStyle(Packed(*c.Colour));
    } else {
      kCalls.at(c.Text.empty() ? c.Op : c.Op + " " + c.Text)(canvas, c.Args);
    }
  }
}

std::string Json(const std::vector<TCommand>& drawing) {
  std::ostringstream out;
  out.precision(17);
  auto colour = [&](TColour c) { out << "[" << c[0] << "," << c[1] << "," << c[2] << "," << c[3] << "]"; };
  out << "[";
  for (size_t i = 0; i < drawing.size(); ++i) {
    const TCommand& c = drawing[i];
    out << (i ? ",\n" : "") << R"({"op":")" << c.Op << R"(","args":[)";
    for (size_t k = 0; k < c.Args.size(); ++k) out << (k ? "," : "") << c.Args[k];
    out << "]";
    if (c.Colour) out << R"(,"color":)", colour(*c.Colour);
    if (!c.Text.empty()) out << R"(,"text":")" << c.Text << R"(")";
    if (!c.Gradient.empty()) {
      out << R"(,"gradient":")" << c.Gradient << R"(","stops":[)";
      for (size_t k = 0; k < c.Stops.size(); ++k) {
        out << (k ? "," : "") << "[" << c.Stops[k].first << ",";
        colour(c.Stops[k].second);
        out << "]";
      }
      out << "]";
    }
    out << "}";
  }
  out << "]\n";
  return out.str();
}

constexpr int kWidth = 320, kHeight = 240;

// A filled rectangle, a stroked path of cubic and quadratic curves, a turned pie of a circle
// arc filled and outlined, a rounded corner, a rectangle in a linear gradient and an ellipse
// in a radial one, with a saved and restored transform. The gradients (from kSpritePart on)
// are drawn into a sprite canvas.
const std::vector<TCommand> kDrawing = {
    Style("fillStyle", {255, 255, 255, 255}),
    Call("fillRect", {0, 0, kWidth, kHeight}),
    Style("fillStyle", {200, 30, 30, 255}),
    Call("fillRect", {20, 20, 100, 60}),
    Style("strokeStyle", {20, 40, 200, 255}),
    Call("lineWidth", {6}),
    Call("beginPath"),
    Call("moveTo", {20, 120}),
    Call("bezierCurveTo", {60, 60, 120, 180, 160, 120}),
    Call("quadraticCurveTo", {200, 80, 230, 130}),
    Call("stroke"),
    Call("save"),
    Call("translate", {240, 60}),
    Call("rotate", {0.3}),
    Call("beginPath"),
    Call("moveTo", {0, 0}),
    Call("arc", {0, 0, 40, 0, 1.5 * kPi}),
    Call("closePath"),
    Style("fillStyle", {40, 170, 60, 255}),
    Call("fill"),
    Style("strokeStyle", {0, 0, 0, 255}),
    Call("lineWidth", {3}),
    Call("stroke"),
    Call("restore"),
    Call("beginPath"),
    Call("moveTo", {140, 20}),
    Call("arcTo", {200, 20, 200, 80, 25}),
    Call("lineTo", {200, 90}),
    Call("stroke"),
    GradientFill("linear", {20, 0, 160, 0},
                 {{0, {255, 0, 0, 255}}, {0.5, {255, 220, 0, 255}}, {1, {0, 0, 255, 255}}}),
    Call("fillRect", {20, 160, 140, 60}),
    GradientFill("radial", {250, 180, 20, 250, 180, 60}, {{0, {255, 255, 255, 255}}, {1, {120, 0, 160, 255}}}),
    Call("beginPath"),
    Call("ellipse", {250, 180, 60, 40, 0, 0, 2 * kPi}),
    Call("fill"),
};

const size_t kSpritePart = 29;

// Thick polylines with each cap and join at right angles, miters within their limit, and a
// round outline.
const std::vector<TCommand> kCapsAndJoins = {
    Style("fillStyle", {255, 255, 255, 255}),
    Call("fillRect", {0, 0, kWidth, kHeight}),
    Call("lineWidth", {16}),
    Style("strokeStyle", {200, 30, 30, 255}),
    Word("lineCap", "butt"),
    Word("lineJoin", "miter"),
    Call("beginPath"),
    Call("moveTo", {30, 30}), Call("lineTo", {130, 30}), Call("lineTo", {130, 100}),
    Call("stroke"),
    Style("strokeStyle", {20, 40, 200, 255}),
    Word("lineCap", "square"),
    Word("lineJoin", "bevel"),
    Call("beginPath"),
    Call("moveTo", {190, 30}), Call("lineTo", {290, 30}), Call("lineTo", {290, 100}),
    Call("stroke"),
    Style("strokeStyle", {40, 150, 60, 255}),
    Word("lineCap", "butt"),
    Word("lineJoin", "miter"),
    Call("miterLimit", {3}),
    Call("beginPath"),
    Call("moveTo", {30, 140}), Call("lineTo", {80, 190}), Call("lineTo", {130, 140}),
    Call("moveTo", {160, 190}), Call("lineTo", {190, 140}), Call("lineTo", {250, 140}),
    Call("stroke"),
    Style("strokeStyle", {0, 0, 0, 255}),
    Word("lineCap", "round"),
    Word("lineJoin", "round"),
    Call("lineWidth", {8}),
    Call("strokeRect", {270, 160, 30, 50}),
};

// A curve stroked in a linear gradient and a circle in a radial one, turned with the canvas.
const std::vector<TCommand> kGradientStrokes = {
    Style("fillStyle", {255, 255, 255, 255}),
    Call("fillRect", {0, 0, kWidth, kHeight}),
    Call("lineWidth", {14}),
    Gradient("strokeStyle", "linear", {20, 0, 300, 0},
             {{0, {255, 0, 0, 255}}, {0.5, {255, 220, 0, 255}}, {1, {0, 0, 255, 255}}}),
    Call("beginPath"),
    Call("moveTo", {20, 60}),
    Call("bezierCurveTo", {100, 0, 200, 120, 300, 40}),
    Call("stroke"),
    Call("save"),
    Call("translate", {160, 160}),
    Call("rotate", {0.5}),
    Gradient("strokeStyle", "radial", {0, 0, 30, 0, 0, 60}, {{0, {0, 160, 0, 255}}, {1, {120, 0, 160, 255}}}),
    Call("lineWidth", {24}),
    Call("beginPath"),
    Call("arc", {0, 0, 45, 0, 2 * kPi}),
    Call("stroke"),
    Call("restore"),
};

// A five-pointed star and two overlapping rectangles drawn the same way round, filled by the
// even-odd rule. (Under the nonzero rule the shapes carry its flag, but the runtime of these
// tests draws every shape even-odd.)
std::vector<TCommand> WindingRules() {
  std::vector<TCommand> d = {
      Style("fillStyle", {255, 255, 255, 255}),
      Call("fillRect", {0, 0, kWidth, kHeight}),
  };
  {
    const char* rule = "evenodd";
    const double x = 80;
    d.push_back(Style("fillStyle", {20, 40, 200, 255}));
    d.push_back(Call("beginPath"));
    for (int i = 0; i < 5; ++i) {
      const double a = -kPi / 2 + i * 4 * kPi / 5;
      d.push_back(Call(i ? "lineTo" : "moveTo", {x + 80 + 60 * std::cos(a), 70 + 60 * std::sin(a)}));
    }
    d.push_back(Call("closePath"));
    d.push_back(Word("fill", rule));
    d.push_back(Style("fillStyle", {200, 30, 30, 255}));
    d.push_back(Call("beginPath"));
    d.push_back(Call("rect", {x + 20, 150, 80, 50}));
    d.push_back(Call("rect", {x + 60, 170, 80, 50}));
    d.push_back(Word("fill", rule));
  }
  return d;
}

// Each drawing replayed on our canvas (from SpritePart on into a sprite canvas) and played
// in Ruffle looks like the same drawing on the browser's canvas of the same page.
TEST(CanvasInFlash, MatchesTheBrowsersCanvas) {
  ASSERT_EQ(kDrawing[kSpritePart].Gradient, "linear");
  const struct {
    const char* Name;
    std::vector<TCommand> Drawing;
    size_t SpritePart;
    int MinPainted;  // pixels the browser paints, at least
  } rows[] = {
      {"shapes", kDrawing, kSpritePart, kWidth * kHeight / 4},
      {"caps-joins", kCapsAndJoins, kCapsAndJoins.size(), kWidth * kHeight / 12},
      {"gradient-strokes", kGradientStrokes, 2, kWidth * kHeight / 12},
      {"winding", WindingRules(), WindingRules().size(), kWidth * kHeight / 12},
  };
  const fs::path shots = fs::path(TW_SCREENSHOT_DIR);
  fs::create_directories(shots);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    TempDir dir;
    TFlashMovie movie(0, 0, kWidth, kHeight, 12, TSystemCoord::Pix);
    movie.BgColor() = {255, 255, 255};
    const auto split = row.Drawing.begin() + static_cast<std::ptrdiff_t>(row.SpritePart);
    Replay(movie.Canvas(), {row.Drawing.begin(), split});
    if (split != row.Drawing.end()) {
      TFSpriteCanvas& sprite = movie.AddSpriteCanvas();
      Replay(sprite.Canvas(), {split, row.Drawing.end()});
      movie.PlaceObject(sprite, static_cast<uint16_t>(movie.MaxDepth + 1));
    }
    movie.ShowFrame();
    movie.BuildBody();
    const fs::path swf = dir / "canvas.swf", json = dir / "drawing.json";
    movie.SaveToFile(swf);
    std::ofstream(json) << Json(row.Drawing);

    // The first row keeps the names it always had.
    const std::string prefix = row.SpritePart == kSpritePart ? "" : std::string(row.Name) + "-";
    const fs::path flashPng = shots / (prefix + "flash.png"), canvasPng = shots / (prefix + "canvas.png");
    const CommandResult r = RunCommand({"node", (fs::path(TW_SOURCE_DIR) / "tests/e2e/draw-compare.mjs").string(),
                                        swf.string(), json.string(), flashPng.string(), canvasPng.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const TRGBAImage flash = DecodeWithFFmpeg(flashPng, kWidth, kHeight);
    const TRGBAImage browser = DecodeWithFFmpeg(canvasPng, kWidth, kHeight);
    ASSERT_EQ(flash.Pixels.size(), size_t(kWidth) * kHeight * 4);
    ASSERT_EQ(browser.Pixels.size(), flash.Pixels.size());

    // The browser drew the picture: a good part of it is not the white ground.
    int painted = 0, differing = 0;
    long total = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const uint8_t *a = flash.At(x, y), *b = browser.At(x, y);
        if (b[0] < 240 || b[1] < 240 || b[2] < 240) ++painted;
        int worst = 0;
        for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(a[k] - b[k]));
        total += worst;
        // Edges are smoothed a little differently; a pixel counts as different well beyond that.
        if (worst > 60) ++differing;
      }
    EXPECT_GT(painted, row.MinPainted);
    const double mean = double(total) / (kWidth * kHeight);
    RecordProperty(std::string(row.Name) + "-differing", differing);
    RecordProperty(std::string(row.Name) + "-mean", std::to_string(mean));
    std::printf("canvas in flash, %s: %d of %d pixels differ by more than 60, mean difference %.2f\n", row.Name,
                differing, kWidth * kHeight, mean);
    EXPECT_LT(differing, kWidth * kHeight / 500);  // 0.2 %
    EXPECT_LT(mean, 1.0);
  }
}

}  // namespace
}  // namespace tw::builder
