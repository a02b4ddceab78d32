#include "support/template_movies.h"

#include <algorithm>

#include "builder/movie.h"
#include "swf/action_tags.h"
#include "swf/shape_tags.h"
#include "swf/sprite.h"
#include "util/files.h"

namespace tw::test {

using namespace tw::swf;
using tw::builder::TFlashActionScript;
using tw::builder::TFlashMovie;

namespace {

std::unique_ptr<TSWFDefineShape> Rectangle(uint16_t id, int32_t w, int32_t h) {
  auto shape = std::make_unique<TSWFDefineShape>();
  shape->ID = id;
  shape->ShapeBounds = TSWFRect(0, 0, w, h);
  auto fill = std::make_unique<TSWFColorFill>();
  fill->Color.SetRGB({0xCC, 0x33, 0x00});
  shape->FillStyles.push_back(std::move(fill));
  auto start = std::make_unique<TSWFStyleChangeRecord>();
  start->SetMoveTo(0, 0);
  start->SetFill1(1);
  shape->Edges.push_back(std::move(start));
  shape->Edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(w, 0));
  shape->Edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, h));
  shape->Edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(-w, 0));
  shape->Edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, -h));
  shape->Edges.push_back(std::make_unique<TSWFEndShapeRecord>());
  return shape;
}

// PlaceObject2 of a character at a depth, without a matrix.
std::unique_ptr<TSWFByteCodeTag> Place(uint16_t id, uint16_t depth) {
  auto tag = std::make_unique<TSWFByteCodeTag>();
  tag->RawTagID = 26;
  tag->Data = {0x02, static_cast<uint8_t>(depth), static_cast<uint8_t>(depth >> 8),
               static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8)};
  return tag;
}

std::unique_ptr<TSWFDefineSprite> TracingSprite(uint16_t id, const std::string& text) {
  auto sprite = std::make_unique<TSWFDefineSprite>();
  sprite->SpriteID = id;
  sprite->FrameCount = 1;
  auto action = std::make_unique<TSWFDoAction>();
  TFlashActionScript script(nullptr, &action->Actions());
  script.Push({TPushValue(text)}, {kPushString});
  script.Trace();
  script.Stop();
  sprite->ControlTags.push_back(std::move(action));
  sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  sprite->ControlTags.push_back(std::make_unique<TSWFEnd>());
  return sprite;
}

}  // namespace

Bytes TemplateBytes(const TTemplateMovie& m) {
  TFlashMovie movie(0, 0, m.Width, m.Height, 12, TSystemCoord::Pix);
  movie.SetVersion(m.Version);
  movie.BgColor().SetRGB({0x10, 0x20, 0x30});
  movie.AddObject(Rectangle(1, m.Width * 10, m.Height * 10));
  movie.AddObject(Place(1, 1));
  movie.AddObject(TracingSprite(2, m.SpriteTrace));
  movie.AddObject(Place(2, 2));
  if (m.MainScript) {
    auto action = std::make_unique<TSWFDoAction>();
    TFlashActionScript script(nullptr, &action->Actions());
    std::vector<std::string> pool = m.Constants;
    for (const std::string& name : m.Traced)
      if (std::find(pool.begin(), pool.end(), name) == pool.end()) pool.push_back(name);
    script.ConstantPool(pool);
    for (const std::string& name : m.Traced) {
      const auto at = std::find(pool.begin(), pool.end(), name) - pool.begin();
      script.PushConstant(static_cast<uint16_t>(at));
      script.GetVariable();
      script.Trace();
    }
    script.Stop();
    movie.AddObject(std::move(action));
  }
  movie.ShowFrame();
  movie.SetCompressed(m.Compressed);
  movie.BuildBody();
  TMemoryStream out;
  movie.SaveToStream(out);
  return out.Release();
}

void WriteTemplate(const std::filesystem::path& file, const TTemplateMovie& movie) {
  WriteWholeFile(file, TemplateBytes(movie));
}

void WriteTemplate(const std::filesystem::path& file, const std::string& definition) {
  TTemplateMovie movie;
  movie.Constants = {definition};
  WriteTemplate(file, movie);
}

std::string Definition(const std::vector<std::pair<std::string, std::string>>& params) {
  std::string text = "<ParamsDefine>";
  for (const auto& [name, attributes] : params) text += "<" + name + " " + attributes + "/>";
  return text + "</ParamsDefine>";
}

std::string UsualDefinition() {
  return Definition({
      {"Py.Autostart", R"(caption="Auto start" type="bool" default="Yes")"},
      {"Py.Loop", R"(caption="Loop" type="Bool" default="Yes")"},
      {"Py.Volume", R"(caption="Volume" type="integer" default="80" min="0" max="100")"},
      {"Py.Color", R"(caption="Colour" type="color" default="0x336699")"},
      {"Py.Skin", R"(caption="Skin" type="selection" selection="dark;light;;blue" default="dark")"},
      {"Py.Title", "caption=\"Title\" type=\"text\" default=\"Grüße – ♫\""},
  });
}

}  // namespace tw::test
