#include "app/skin_source.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <sstream>
#include <stdexcept>

#include <pugixml.hpp>

#include "builder/action_script.h"
#include "builder/button.h"
#include "builder/font.h"
#include "builder/place_object.h"
#include "builder/shape.h"
#include "builder/sprite.h"
#include "builder/text.h"
#include "swf/button_tags.h"
#include "swf/shape_records.h"
#include "util/files.h"
#include "util/text.h"

namespace tw::app {
namespace {
namespace fs = std::filesystem;
using namespace tw::swf;

// A skin source larger than this is not a skin.
constexpr uint64_t kMaxSourceSize = 4u << 20;

class SkinError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

int32_t Twips(double pixels) { return static_cast<int32_t>(std::lround(pixels * 20.0)); }

double Number(const pugi::xml_node& node, const char* name, double fallback) {
  const pugi::xml_attribute a = node.attribute(name);
  if (!a) return fallback;
  const std::string text = a.value();
  try {
    size_t used = 0;
    const double v = std::stod(text, &used);
    if (used != text.size() || !std::isfinite(v) || std::abs(v) > 100000)
      throw SkinError("");
    return v;
  } catch (const std::exception&) {
    throw SkinError(std::string("<") + node.name() + "> " + name + "=\"" + text +
                    "\" is not a number");
  }
}

double Required(const pugi::xml_node& node, const char* name) {
  if (!node.attribute(name))
    throw SkinError(std::string("<") + node.name() + "> needs the attribute " + name);
  return Number(node, name, 0);
}

// "0xRRGGBB" or "#RRGGBB"; alpha="0..100" in percent.
TSWFRGBA Colour(const pugi::xml_node& node, const char* name, const char* fallback) {
  std::string text = node.attribute(name).as_string(fallback);
  std::string digits;
  if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) digits = text.substr(2);
  else if (!text.empty() && text[0] == '#') digits = text.substr(1);
  if (digits.size() != 6 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    throw SkinError(std::string("<") + node.name() + "> " + name + "=\"" + text +
                    "\" is not a colour (0xRRGGBB)");
  const unsigned long v = std::stoul(digits, nullptr, 16);
  TSWFRGBA c(true);
  c.SetRGB({static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
  const double alpha = std::clamp(Number(node, "alpha", 100), 0.0, 100.0);
  c.A = static_cast<uint8_t>(std::lround(alpha * 2.55));
  return c;
}

// One stop of a gradient: <stop at="percent along it" color="#RRGGBB" alpha="percent"/>.
builder::TGradientStop Stop(const pugi::xml_node& node) {
  const double at = Number(node, "at", 0);
  if (at < 0 || at > 100) throw SkinError("<stop> at=\"" + std::string(node.attribute("at").value()) +
                                          "\" is not a percent (0 to 100)");
  return {static_cast<uint8_t>(std::lround(at * 255 / 100)), Colour(node, "color", "0x000000").GetRGBA()};
}

// A figure's fill over its box (twips): its colour, or the gradient it holds.
std::unique_ptr<TSWFFillStyle> Fill(const pugi::xml_node& node, const TRect& box) {
  pugi::xml_node gradient;
  for (const pugi::xml_node& child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string kind = child.name();
    if ((kind != "linear" && kind != "radial") || gradient)
      throw SkinError("<" + std::string(node.name()) + "> holds one <linear> or <radial> fill, not <" +
                      kind + ">");
    gradient = child;
  }
  if (!gradient) {
    auto fill = std::make_unique<TSWFColorFill>();
    fill->Color = Colour(node, "fill", "0x000000");
    return fill;
  }
  std::vector<builder::TGradientStop> stops;
  for (const pugi::xml_node& child : gradient.children()) {
    if (child.type() != pugi::node_element) continue;
    if (std::string(child.name()) != "stop")
      throw SkinError("<" + std::string(gradient.name()) + "> holds <stop> elements, not <" +
                      child.name() + ">");
    stops.push_back(Stop(child));
  }
  if (stops.empty() || stops.size() > 8)
    throw SkinError("<" + std::string(gradient.name()) + "> needs one to eight <stop> elements");
  for (size_t i = 1; i < stops.size(); ++i)
    if (stops[i].Ratio < stops[i - 1].Ratio)
      throw SkinError("the stops of <" + std::string(gradient.name()) + "> must stand in order of at");
  if (std::string(gradient.name()) == "linear")
    return builder::LinearGradientIn(box, stops, Number(gradient, "angle", 0));
  return builder::RadialGradientIn(box, stops, Number(gradient, "cx", 50), Number(gradient, "cy", 50));
}

// Draws figures into one shape: each figure is a closed path selecting a fill style and an
// optional line style of its own in the style change that moves to its start.
class ShapeDrawer {
 public:
  explicit ShapeDrawer(builder::TFlashShape& shape) : FShape(shape) {}

  void Add(const pugi::xml_node& node) {
    const std::string kind = node.name();
    if (kind == "rect") {
      const double x = Required(node, "x"), y = Required(node, "y"), w = Required(node, "w"),
                   h = Required(node, "h"), r = Number(node, "r", 0);
      if (w <= 0 || h <= 0) throw SkinError("<rect> needs a positive width and height");
      BeginPath(node, {Twips(x), Twips(y), Twips(x + w), Twips(y + h)});
      Rect(x, y, w, h, r);
    } else if (kind == "circle") {
      const double cx = Required(node, "cx"), cy = Required(node, "cy"), r = Required(node, "r");
      if (r <= 0) throw SkinError("<circle> needs a positive radius");
      BeginPath(node, {Twips(cx - r), Twips(cy - r), Twips(cx + r), Twips(cy + r)});
      Circle(cx, cy, r);
    } else if (kind == "polygon") {
      const std::vector<std::pair<double, double>> points = Points(node.attribute("points").value());
      TRect box{Twips(points[0].first), Twips(points[0].second), Twips(points[0].first),
                Twips(points[0].second)};
      for (const auto& [x, y] : points) {
        box.Left = std::min(box.Left, Twips(x));
        box.Right = std::max(box.Right, Twips(x));
        box.Top = std::min(box.Top, Twips(y));
        box.Bottom = std::max(box.Bottom, Twips(y));
      }
      BeginPath(node, box);
      MoveTo(points[0].first, points[0].second);
      for (size_t i = 1; i < points.size(); ++i) LineTo(points[i].first, points[i].second);
      LineTo(points[0].first, points[0].second);
    } else {
      throw SkinError("unknown drawing element <" + kind + ">");
    }
    FAny = true;
  }

  void Finish() {
    if (!FAny) throw SkinError("a drawing without any rect, circle or polygon");
    FShape.Edges().EndEdges();
    FShape.CalcBounds();
  }

 private:
  void BeginPath(const pugi::xml_node& node, const TRect& box) {
    FFillIndex = FShape.AppendFillStyle(Fill(node, box));
    FLineIndex = 0;
    if (node.attribute("line"))
      FLineIndex = FShape.AppendLineStyle(std::clamp(Twips(Number(node, "lineWidth", 1)), 1, 2000),
                                          Colour(node, "line", "0x000000"));
  }

  // The coordinates are twips: the skin's movie counts in twips.
  void MoveTo(double x, double y) {
    TSWFStyleChangeRecord& change = FShape.Edges().MoveTo(Twips(x), Twips(y));
    change.SetFill1(FFillIndex);
    change.SetLine(FLineIndex);
  }

  void LineTo(double x, double y) { FShape.Edges().LineTo(Twips(x), Twips(y)); }

  void CurveTo(double cx, double cy, double x, double y) {
    FShape.Edges().CurveTo(Twips(cx), Twips(cy), Twips(x), Twips(y));
  }

  void Rect(double x, double y, double w, double h, double r) {
    r = std::clamp(r, 0.0, std::min(w, h) / 2);
    MoveTo(x + r, y);
    LineTo(x + w - r, y);
    if (r > 0) CurveTo(x + w, y, x + w, y + r);
    LineTo(x + w, y + h - r);
    if (r > 0) CurveTo(x + w, y + h, x + w - r, y + h);
    LineTo(x + r, y + h);
    if (r > 0) CurveTo(x, y + h, x, y + h - r);
    LineTo(x, y + r);
    if (r > 0) CurveTo(x, y, x + r, y);
  }

  // Eight quadratic curves: their control points lie on the circle of radius r / cos(22.5°).
  void Circle(double cx, double cy, double r) {
    const double step = std::numbers::pi / 4;
    const double reach = r / std::cos(step / 2);
    MoveTo(cx + r, cy);
    for (int k = 1; k <= 8; ++k) {
      const double mid = (k - 0.5) * step, end = k * step;
      CurveTo(cx + reach * std::cos(mid), cy + reach * std::sin(mid), cx + r * std::cos(end),
              cy + r * std::sin(end));
    }
  }

  static std::vector<std::pair<double, double>> Points(const std::string& points) {
    std::vector<std::pair<double, double>> pts;
    std::istringstream in(points);
    std::string pair;
    while (in >> pair) {
      const size_t comma = pair.find(',');
      try {
        if (comma == std::string::npos) throw SkinError("");
        size_t usedX = 0, usedY = 0;
        const std::string xs = pair.substr(0, comma), ys = pair.substr(comma + 1);
        const double x = std::stod(xs, &usedX), y = std::stod(ys, &usedY);
        if (usedX != xs.size() || usedY != ys.size() || !std::isfinite(x) || !std::isfinite(y) ||
            std::abs(x) > 100000 || std::abs(y) > 100000)
          throw SkinError("");
        pts.emplace_back(x, y);
      } catch (const std::exception&) {
        throw SkinError("<polygon> point \"" + pair + "\" is not X,Y");
      }
    }
    if (pts.size() < 3) throw SkinError("<polygon> needs at least three points");
    return pts;
  }

  builder::TFlashShape& FShape;
  uint16_t FFillIndex = 0, FLineIndex = 0;
  bool FAny = false;
};

class SkinBuilder {
 public:
  SkinBuilder(fs::path dir, TSkinBuildResult& result) : FDir(std::move(dir)), FResult(result) {}

  void Build() {
    const fs::path file = FDir / "skin.xml";
    FResult.Sources.push_back(file);
    FXml = ReadWholeFile(file, kMaxSourceSize);
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(FXml.data(), FXml.size());
    if (!parsed) throw SkinError(std::string("not well-formed XML: ") + parsed.description());
    const pugi::xml_node skin = doc.child("skin");
    if (!skin) throw SkinError("the root element must be <skin>");
    FResult.Kind = skin.attribute("kind").as_string("player");
    if (FResult.Kind != "player" && FResult.Kind != "preloader")
      throw SkinError("kind must be player or preloader");

    const double width = Required(skin, "width"), height = Required(skin, "height");
    if (width < 1 || height < 1) throw SkinError("the stage needs a positive width and height");
    const double fps = Number(skin, "fps", 24);
    FMovie = std::make_unique<builder::TFlashMovie>(0, 0, Twips(width), Twips(height), fps,
                                                    TSystemCoord::Twips);
    FVersion = static_cast<uint8_t>(std::clamp(Number(skin, "version", 6), 6.0, 10.0));
    FMovie->SetVersion(FVersion);
    if (skin.attribute("background")) FMovie->BgColor().SetRGB(Colour(skin, "background", "").GetRGB());

    // Fonts come first: a text refers to its font's id and glyphs.
    for (const pugi::xml_node& node : skin.children("font")) AddFont(node, skin);

    uint16_t depth = 1;
    for (const pugi::xml_node& node : skin.children()) {
      const std::string kind = node.name();
      if (kind == "params" || kind == "script" || kind == "font" || node.type() != pugi::node_element)
        continue;
      if (kind == "clip") PlaceClip(node, depth++);
      else if (kind == "button") PlaceButton(node, depth++);
      else if (kind == "text") PlaceText(node, depth++);
      else throw SkinError("unknown element <" + kind + ">");
    }

    builder::TFlashActionScript& frame = FMovie->FrameActions();
    // The parameter definition is the first constant of the first DoAction, where the program
    // looks for it; the scripts' own constant pool follows and replaces it when they run.
    frame.ConstantPool({Definition(skin.child("params"))});
    std::vector<builder::TScriptSource> scripts;
    for (const pugi::xml_node& node : skin.children("script")) scripts.push_back(Script(node));
    if (!scripts.empty() && !frame.CompileScripts(scripts))
      throw SkinError("the frame script does not compile: " + FMovie->ErrorText());
    FMovie->ShowFrame();
    FMovie->BuildBody();
    FResult.Movie = std::move(FMovie);
  }

 private:
  // The <params> children written as one <ParamsDefine> text with nothing between elements.
  static std::string Definition(const pugi::xml_node& params) {
    std::ostringstream out;
    out << "<ParamsDefine>";
    for (const pugi::xml_node& p : params.children()) {
      if (p.type() != pugi::node_element) continue;
      if (p.first_child()) throw SkinError("parameter <" + std::string(p.name()) + "> has content");
      p.print(out, "", pugi::format_raw);
    }
    out << "</ParamsDefine>";
    return out.str();
  }

  // The script of a <script> or <action> element: its file, or its text in skin.xml, named so
  // that a compile error points into the file where the script stands.
  builder::TScriptSource Script(const pugi::xml_node& node) {
    builder::TScriptSource source;
    if (const pugi::xml_attribute src = node.attribute("src")) {
      const fs::path file = (FDir / src.value()).lexically_normal();
      FResult.Sources.push_back(file);
      const std::vector<uint8_t> bytes = ReadWholeFile(file, kMaxSourceSize);
      source.Name = file.string();
      source.Text.assign(bytes.begin(), bytes.end());
      return source;
    }
    source.Name = (FDir / "skin.xml").lexically_normal().string();
    source.Text = node.child_value();
    // Where the text stands in skin.xml: lines and characters before it.
    const pugi::xml_node text = node.first_child();
    const ptrdiff_t offset = text ? text.offset_debug() : -1;
    if (offset >= 0 && static_cast<size_t>(offset) <= FXml.size()) {
      for (ptrdiff_t i = 0; i < offset; ++i) {
        if (FXml[i] == '\n') {
          ++source.FirstLine;
          source.FirstColumn = 1;
        } else if ((FXml[i] & 0xC0) != 0x80) {
          ++source.FirstColumn;
        }
      }
    }
    return source;
  }

  builder::TFlashShape& DrawShape(const pugi::xml_node& node) {
    builder::TFlashShape& shape = FMovie->AddShape();
    ShapeDrawer drawer(shape);
    for (const pugi::xml_node& child : node.children())
      if (child.type() == pugi::node_element) drawer.Add(child);
    drawer.Finish();
    return shape;
  }

  // Every placement carries its matrix, (0, 0) too, so that scripts find a position to change.
  void Place(builder::TFlashVisualObject& visual, uint16_t depth, const pugi::xml_node& node) {
    builder::TFlashPlaceObject& place = FMovie->PlaceObject(visual, depth);
    place.PlaceTag().Matrix().SetTranslate(Twips(Number(node, "x", 0)), Twips(Number(node, "y", 0)));
    place.Name(node.attribute("name").value());
  }

  // A sprite of one frame holding the drawing: scripts can tint, move, scale and hide it.
  void PlaceClip(const pugi::xml_node& node, uint16_t depth) {
    builder::TFlashShape& shape = DrawShape(node);
    builder::TFlashSprite& sprite = FMovie->AddSprite(&shape);
    sprite.ShowFrame();
    Place(sprite, depth, node);
  }

  void PlaceButton(const pugi::xml_node& node, uint16_t depth) {
    struct State {
      const char* name;
      uint8_t bit;
    };
    static constexpr State kStates[] = {{"up", bsUp}, {"over", bsOver}, {"down", bsDown},
                                        {"hit", bsHitTest}};
    const pugi::xml_node up = node.child("up");
    if (!up) throw SkinError("<button> needs an <up> state");
    std::map<std::string, builder::TFlashShape*> shapes;
    for (const State& s : kStates)
      if (const pugi::xml_node state = node.child(s.name)) shapes[s.name] = &DrawShape(state);
    builder::TFlashButton& button = FMovie->AddButton();
    uint16_t recordDepth = 1;
    for (const State& s : kStates) {
      // A state the source leaves out looks like the up state (the hit area too).
      const auto found = shapes.find(s.name);
      button.AddRecord(found != shapes.end() ? *found->second : *shapes["up"], s.bit, 0, 0, recordDepth++);
    }
    for (const pugi::xml_node& action : node.children("action")) {
      builder::TFlashActionScript& script =
          button.OnEvent(Conditions(action.attribute("on").as_string("release")));
      const builder::TScriptSource source = Script(action);
      if (!script.CompileScripts(std::span(&source, 1)))
        throw SkinError("the action of button \"" + std::string(node.attribute("name").value()) +
                        "\" does not compile: " + FMovie->ErrorText());
    }
    Place(button, depth, node);
  }

  static uint16_t Conditions(const std::string& on) {
    static const std::map<std::string, uint16_t> kEvents = {
        {"press", bcOverUpToOverDown},     {"release", bcOverDownToOverUp},
        {"releaseOutside", bcOutDownToIdle}, {"rollOver", bcIdleToOverUp},
        {"rollOut", bcOverUpToIdle},       {"dragOut", bcOverDownToOutDown},
        {"dragOver", bcOutDownToOverDown}};
    const auto it = kEvents.find(on);
    if (it == kEvents.end()) throw SkinError("unknown button event \"" + on + "\"");
    return it->second;
  }

  // An embedded font: the outlines of its characters travel in the skin, so texts look the
  // same in every Flash runtime. It holds every printable character of the Windows-1252 code
  // page (Latin-1 and the typographic marks) unless range is none, the characters of the texts
  // that use it and those named in chars; a character outside that set is not drawn.
  void AddFont(const pugi::xml_node& node, const pugi::xml_node& skin) {
    const std::string name = node.attribute("name").value();
    if (name.empty()) throw SkinError("<font> needs the attribute name");
    if (FEmbedded.count(name)) throw SkinError("the font \"" + name + "\" is defined twice");
    const std::string style = node.attribute("style").as_string("regular");
    if (style != "regular" && style != "bold" && style != "italic" && style != "bold italic")
      throw SkinError("<font> style=\"" + style + "\" is not regular, bold, italic or bold italic");
    builder::TFlashFont& font = FMovie->AddFont();
    font.Name = node.attribute("family").as_string("DejaVu Sans");
    font.Bold = style.find("bold") != std::string::npos;
    font.Italic = style.find("italic") != std::string::npos;
    font.Device = false;
    const std::string range = node.attribute("range").as_string("cp1252");
    if (range != "cp1252" && range != "none")
      throw SkinError("<font> range=\"" + range + "\" is not cp1252 or none");
    std::u16string chars;
    if (range == "cp1252")
      for (int c = 0x20; c <= 0xFF; ++c) chars.push_back(Cp1252ToUtf16(static_cast<uint8_t>(c)));
    chars += Utf8ToUtf16(node.attribute("chars").value());
    for (const pugi::xml_node& text : skin.children("text"))
      if (name == text.attribute("font").value()) chars += Utf8ToUtf16(text.attribute("text").value());
    // Codes the code page leaves undefined stay their own value: not characters to embed.
    std::erase_if(chars, [](char16_t c) { return (c >= 0x7F && c < 0xA0) || c == 0xAD; });
    font.AddChars(std::u16string_view(chars));
    FEmbedded[name] = &font;
  }

  // Text fields in a font that is not embedded show a device font: the font carries only its
  // name, no glyphs.
  builder::TFlashFont& DeviceFont(const std::string& name, bool bold) {
    const std::string key = name + (bold ? "/bold" : "");
    if (const auto it = FFonts.find(key); it != FFonts.end()) return *it->second;
    builder::TFlashFont& font = FMovie->AddFont();
    font.Name = name;
    font.Bold = bold;
    FFonts[key] = &font;
    return font;
  }

  void PlaceText(const pugi::xml_node& node, uint16_t depth) {
    const std::string fontName = node.attribute("font").as_string("_sans");
    const auto embedded = FEmbedded.find(fontName);
    builder::TFlashFont& font = embedded != FEmbedded.end()
                                    ? *embedded->second
                                    : DeviceFont(fontName, node.attribute("bold").as_bool(false));
    builder::TFlashText& text = FMovie->AddText();
    text.SetDynamic(true);
    text.SetFont(&font);
    text.Bounds().SetRect({0, 0, Twips(Required(node, "w")), Twips(Required(node, "h"))});
    text.Height = static_cast<uint16_t>(std::clamp(Twips(Number(node, "size", 12)), 20, 2000));
    text.Color() = Colour(node, "color", "0x000000");
    const std::string align = node.attribute("align").as_string("left");
    text.SetAlign(align == "right" ? 1 : align == "center" ? 2 : 0);
    text.ReadOnly = true;
    text.NoSelect = true;
    text.Multiline = node.attribute("multiline").as_bool(false);
    text.WordWrap = text.Multiline;
    if (embedded != FEmbedded.end()) text.SetUseOutlines(true);
    text.SetWideText(Utf8ToUtf16(node.attribute("text").value()));
    text.SetText(Utf16ToCp1252(text.WideText()));
    Place(text, depth, node);
  }

  fs::path FDir;
  TSkinBuildResult& FResult;
  std::vector<uint8_t> FXml;  // skin.xml as read
  std::unique_ptr<builder::TFlashMovie> FMovie;
  uint8_t FVersion = 6;
  std::map<std::string, builder::TFlashFont*> FFonts;     // device fonts by name and weight
  std::map<std::string, builder::TFlashFont*> FEmbedded;  // <font> elements by name
};

}  // namespace

TSkinBuildResult BuildSkinMovie(const std::filesystem::path& skinDir) {
  TSkinBuildResult result;
  try {
    SkinBuilder(skinDir, result).Build();
  } catch (const SkinError& e) {
    throw std::runtime_error((skinDir / "skin.xml").string() + ": " + e.what());
  }
  return result;
}

}  // namespace tw::app
