#include "app/skin_source.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <sstream>
#include <stdexcept>

#include <pugixml.hpp>

#include "builder/action_script.h"
#include "swf/button_tags.h"
#include "swf/control_tags.h"
#include "swf/display_tags.h"
#include "swf/font_tags.h"
#include "swf/shape_tags.h"
#include "swf/sprite.h"
#include "swf/text_tags.h"
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

// Draws primitives into one DefineShape3: each primitive is a closed path with a fill style and
// an optional line style of its own.
class ShapeDrawer {
 public:
  explicit ShapeDrawer(uint16_t id) { FShape->ID = id; }

  void Add(const pugi::xml_node& node) {
    const std::string kind = node.name();
    BeginPath(node);
    if (kind == "rect") {
      Rect(Required(node, "x"), Required(node, "y"), Required(node, "w"), Required(node, "h"),
           Number(node, "r", 0));
    } else if (kind == "circle") {
      Circle(Required(node, "cx"), Required(node, "cy"), Required(node, "r"));
    } else if (kind == "polygon") {
      Polygon(node.attribute("points").value());
    } else {
      throw SkinError("unknown drawing element <" + kind + ">");
    }
  }

  std::unique_ptr<TSWFDefineShape3> Finish() {
    if (!FAny) throw SkinError("a drawing without any rect, circle or polygon");
    FShape->Edges.push_back(std::make_unique<TSWFEndShapeRecord>());
    const int32_t pad = FMaxLine / 2 + 1;
    FShape->ShapeBounds = TSWFRect(FMinX - pad, FMinY - pad, FMaxX + pad, FMaxY + pad);
    return std::move(FShape);
  }

 private:
  void BeginPath(const pugi::xml_node& node) {
    auto fill = std::make_unique<TSWFColorFill>();
    fill->HasAlpha = true;
    fill->Color = Colour(node, "fill", "0x000000");
    FShape->FillStyles.push_back(std::move(fill));
    FFillIndex = static_cast<uint16_t>(FShape->FillStyles.size());
    FLineIndex = 0;
    if (node.attribute("line")) {
      auto line = std::make_unique<TSWFLineStyle>();
      line->Color = Colour(node, "line", "0x000000");
      line->Width = static_cast<uint16_t>(std::clamp(Twips(Number(node, "lineWidth", 1)), 1, 2000));
      FMaxLine = std::max<int32_t>(FMaxLine, line->Width);
      FShape->LineStyles.push_back(std::move(line));
      FLineIndex = static_cast<uint16_t>(FShape->LineStyles.size());
    }
  }

  void MoveTo(double x, double y) {
    auto change = std::make_unique<TSWFStyleChangeRecord>();
    FX = Twips(x);
    FY = Twips(y);
    change->SetMoveTo(FX, FY);
    change->SetFill1(FFillIndex);
    change->SetLine(FLineIndex);
    FShape->Edges.push_back(std::move(change));
    Extend(FX, FY);
  }

  void LineTo(double x, double y) {
    const int32_t nx = Twips(x), ny = Twips(y);
    if (nx == FX && ny == FY) return;
    FShape->Edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(nx - FX, ny - FY));
    FX = nx;
    FY = ny;
    Extend(FX, FY);
  }

  void CurveTo(double cx, double cy, double x, double y) {
    const int32_t tcx = Twips(cx), tcy = Twips(cy), nx = Twips(x), ny = Twips(y);
    FShape->Edges.push_back(
        std::make_unique<TSWFCurvedEdgeRecord>(tcx - FX, tcy - FY, nx - tcx, ny - tcy));
    FX = nx;
    FY = ny;
    Extend(tcx, tcy);
    Extend(FX, FY);
  }

  void Rect(double x, double y, double w, double h, double r) {
    if (w <= 0 || h <= 0) throw SkinError("<rect> needs a positive width and height");
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
    if (r <= 0) throw SkinError("<circle> needs a positive radius");
    const double step = std::numbers::pi / 4;
    const double reach = r / std::cos(step / 2);
    MoveTo(cx + r, cy);
    for (int k = 1; k <= 8; ++k) {
      const double mid = (k - 0.5) * step, end = k * step;
      CurveTo(cx + reach * std::cos(mid), cy + reach * std::sin(mid), cx + r * std::cos(end),
              cy + r * std::sin(end));
    }
  }

  void Polygon(const std::string& points) {
    std::vector<std::pair<double, double>> pts;
    std::istringstream in(points);
    std::string pair;
    while (in >> pair) {
      const size_t comma = pair.find(',');
      try {
        if (comma == std::string::npos) throw SkinError("");
        pts.emplace_back(std::stod(pair.substr(0, comma)), std::stod(pair.substr(comma + 1)));
      } catch (const std::exception&) {
        throw SkinError("<polygon> point \"" + pair + "\" is not X,Y");
      }
    }
    if (pts.size() < 3) throw SkinError("<polygon> needs at least three points");
    MoveTo(pts[0].first, pts[0].second);
    for (size_t i = 1; i < pts.size(); ++i) LineTo(pts[i].first, pts[i].second);
    LineTo(pts[0].first, pts[0].second);
  }

  void Extend(int32_t x, int32_t y) {
    if (!FAny) {
      FMinX = FMaxX = x;
      FMinY = FMaxY = y;
      FAny = true;
    }
    FMinX = std::min(FMinX, x);
    FMaxX = std::max(FMaxX, x);
    FMinY = std::min(FMinY, y);
    FMaxY = std::max(FMaxY, y);
  }

  std::unique_ptr<TSWFDefineShape3> FShape = std::make_unique<TSWFDefineShape3>();
  uint16_t FFillIndex = 0, FLineIndex = 0;
  int32_t FX = 0, FY = 0;
  int32_t FMinX = 0, FMinY = 0, FMaxX = 0, FMaxY = 0, FMaxLine = 0;
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

  uint16_t DrawShape(const pugi::xml_node& node) {
    ShapeDrawer drawer(FMovie->CurrentID++);
    for (const pugi::xml_node& child : node.children())
      if (child.type() == pugi::node_element) drawer.Add(child);
    auto shape = drawer.Finish();
    const uint16_t id = shape->ID;
    FMovie->AddObject(std::move(shape));
    return id;
  }

  void Place(uint16_t id, uint16_t depth, const pugi::xml_node& node) {
    auto place = std::make_unique<TSWFPlaceObject2>();
    place->SetCharacterId(id);
    place->Depth = depth;
    TSWFMatrix& m = place->Matrix();
    m.TranslateX = Twips(Number(node, "x", 0));
    m.TranslateY = Twips(Number(node, "y", 0));
    const std::string name = node.attribute("name").value();
    if (!name.empty()) place->SetName(name);
    FMovie->AddPlacement(std::move(place), depth);
  }

  // A sprite of one frame holding the drawing: scripts can tint, move, scale and hide it.
  void PlaceClip(const pugi::xml_node& node, uint16_t depth) {
    const uint16_t shape = DrawShape(node);
    auto sprite = std::make_unique<TSWFDefineSprite>();
    sprite->SpriteID = FMovie->CurrentID++;
    sprite->FrameCount = 1;
    auto inner = std::make_unique<TSWFPlaceObject2>();
    inner->SetCharacterId(shape);
    inner->Depth = 1;
    sprite->ControlTags.push_back(std::move(inner));
    sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
    sprite->ControlTags.push_back(std::make_unique<TSWFEnd>());
    const uint16_t id = sprite->SpriteID;
    FMovie->AddObject(std::move(sprite));
    Place(id, depth, node);
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
    std::map<std::string, uint16_t> shapes;
    for (const State& s : kStates)
      if (const pugi::xml_node state = node.child(s.name)) shapes[s.name] = DrawShape(state);
    auto button = std::make_unique<TSWFDefineButton2>();
    button->ButtonId = FMovie->CurrentID++;
    uint16_t recordDepth = 1;
    for (const State& s : kStates) {
      // A state the source leaves out looks like the up state (the hit area too).
      const auto found = shapes.find(s.name);
      button->AddRecord(found != shapes.end() ? found->second : shapes["up"], s.bit, recordDepth++);
    }
    for (const pugi::xml_node& action : node.children("action")) {
      const uint16_t conditions = Conditions(action.attribute("on").as_string("release"));
      TSWFButtonCondAction& cond = button->AddCondAction(conditions);
      builder::TFlashActionScript script(FMovie.get(), &cond.Actions);
      const builder::TScriptSource source = Script(action);
      if (!script.CompileScripts(std::span(&source, 1)))
        throw SkinError("the action of button \"" + std::string(node.attribute("name").value()) +
                        "\" does not compile: " + FMovie->ErrorText());
    }
    const uint16_t id = button->ButtonId;
    FMovie->AddObject(std::move(button));
    Place(id, depth, node);
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
    Place(text.CharacterId(), depth, node);
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
