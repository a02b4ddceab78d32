#include "builder/movie.h"

#include <algorithm>

#include "builder/sound.h"


namespace tw::builder {

using namespace tw::swf;

namespace {

// The code a tag object is written with: a tag kept as raw bytes counts as the tag it is, so that
// a placement or a ShowFrame the reader could not decode still counts as one.
uint16_t WrittenCode(const TSWFObject& tag) {
  if (tag.TagID == kByteCodeTagID) return static_cast<const TSWFByteCodeTag&>(tag).RawTagID;
  return tag.TagID;
}

// The plain tag object behind an entry, or null for a builder object.
const TSWFObject* AsTag(const TBasedSWFObject& object) {
  return object.IsBuilderObject() ? nullptr : static_cast<const TSWFObject*>(&object);
}

bool IsShowFrame(const TBasedSWFObject& object) {
  const TSWFObject* tag = AsTag(object);
  return tag && WrittenCode(*tag) == 1;
}

// Bitmaps, JPEG tables, fonts and sounds, by the code they are written with.
bool IsResource(const TBasedSWFObject& object) {
  if (object.IsBuilderObject()) return static_cast<const TFlashObject&>(object).IsResource();
  switch (WrittenCode(static_cast<const TSWFObject&>(object))) {
    case 6: case 8: case 20: case 21: case 35: case 36:  // bitmaps and their tables
    case 10: case 48: case 75:                           // fonts
    case 14:                                             // sounds
      return true;
    default:
      return false;
  }
}

int Percent(size_t done, size_t total) {
  return static_cast<int>(RoundHalfEven(static_cast<double>(done) / static_cast<double>(total) * 100.0));
}

}  // namespace

TFlashMovie::TFlashMovie(int32_t xMin, int32_t yMin, int32_t xMax, int32_t yMax, double fps,
                         TSystemCoord coord)
    : TBasedSWFStream(xMin, yMin, xMax, yMax, fps, coord) {}

TFlashMovie::~TFlashMovie() = default;

void TFlashMovie::Changed() {
  TBasedSWFStream::Changed();
  if (Version() > 7) CorrectImageFill = false;
}

void TFlashMovie::Clear() {
  BgColorSet = false;
  ObjectList.clear();
  Texts.Clear();
  Fonts.Clear();
  Shapes.Clear();
  Images.Clear();
  Sounds.Clear();
  Buttons.Clear();
  MorphShapes.Clear();
  Sprites.Clear();
  // The placements point at videos that are gone now.
  PlacedVideos.clear();
  Videos.Clear();
  CurrentID = 1;
}

// ---- body ------------------------------------------------------------------------------------

void TFlashMovie::BuildBody() {
  TMemoryStream& body = BodyStream();
  body.Clear();
  // Every tag writes for the version the header will carry: the highest the whole body needs,
  // known before anything is written. The header takes it once the body is whole.
  int version = Version();
  if (HasStreamSound && FStreamSound) version = std::max(version, FStreamSound->MinVersion());
  for (const auto& object : ObjectList) version = std::max(version, object->MinVersion());
  version = std::max(version, PlacedVideosMinVersion(PlacedVideos));
  TSWFWriteContext context;
  context.Version = static_cast<uint8_t>(version);
  TBitsEngine be(body, context);
  TBodyWriteState state;

  if (BgColorSet) {
    TSWFSetBackgroundColor tag;
    tag.Color.SetRGB(BgColor().GetRGB());
    tag.WriteToStream(be);
  }
  TFlashStreamSound* sound = HasStreamSound ? FStreamSound.get() : nullptr;
  if (sound) {
    TSWFSoundStreamHead2 head;
    sound->FillStreamHead(head, FPS());
    head.WriteToStream(be);
  }

  const size_t count = ObjectList.size();
  for (size_t i = 0; i < count; ++i) {
    TBasedSWFObject& object = *ObjectList[i];
    if (OnProgress) Progress(Percent(i + 1, count), pkBuilding);
    if (const TSWFObject* tag = AsTag(object)) {
      switch (WrittenCode(*tag)) {
        case 1:
          WritePlacedVideoFrames(PlacedVideos, be, state.FrameNumber);
          // The sound's block belongs to the frame this ShowFrame closes, from its start frame
          // on.
          if (sound && sound->StartFrame() <= state.FrameNumber) sound->WriteStreamBlock(be);
          ++state.FrameNumber;
          break;
        case 4: case 26: case 70:
          state.HasPlacement = true;
          break;
        default:
          break;
      }
    } else {
      static_cast<TFlashObject&>(object).PrepareBodyWrite(state);
    }
    object.WriteToStream(be);
  }

  if (state.FrameNumber == 0 && (state.HasPlacement || !PlacedVideos.empty())) {
    // Like any placement, a video placed in no frame shows in the one frame added for it.
    WritePlacedVideoFrames(PlacedVideos, be, 0);
    be.WriteWord(1 << 6);
    state.FrameNumber = 1;
  }
  const TSWFObject* last = ObjectList.empty() ? nullptr : AsTag(*ObjectList.back());
  if (!last || WrittenCode(*last) != 0) be.WriteWord(0);

  body.SetPosition(0);
  CheckFrameCount(static_cast<size_t>(state.FrameNumber));
  SetFrameCount(static_cast<uint16_t>(state.FrameNumber));
  if (version > Version()) SetVersion(static_cast<uint8_t>(version));
}

size_t TFlashMovie::FrameEndIndex(int frame) {
  if (frame <= 0 || ObjectList.empty()) return 0;
  int seen = 0;
  for (size_t i = 0; i < ObjectList.size(); ++i)
    if (IsShowFrame(*ObjectList[i]) && ++seen == frame) return i;
  return ObjectList.size() - 1;
}

void TFlashMovie::MoveResources(int toFrame, int fromFrame, int lastFrame) {
  if (ObjectList.empty()) return;
  if (toFrame > fromFrame) toFrame = fromFrame;
  if (lastFrame == -1) lastFrame = FrameCount();
  else if (lastFrame <= 0 || lastFrame < fromFrame) lastFrame = fromFrame;

  size_t insert = FrameEndIndex(toFrame);
  if (IsShowFrame(*ObjectList[insert])) ++insert;
  const size_t start = toFrame == fromFrame ? insert + 1 : FrameEndIndex(fromFrame) + 1;
  size_t end = FrameEndIndex(lastFrame + 1);
  if (end > 0 && IsShowFrame(*ObjectList[end])) --end;
  if (start >= end) return;

  size_t moved = 0;
  for (size_t i = start; i <= end; ++i) {
    if (!IsResource(*ObjectList[i])) continue;
    // Everything from the insertion point to i moves one place on; i's object takes its place.
    const auto first = ObjectList.begin() + static_cast<ptrdiff_t>(insert + moved);
    std::rotate(first, ObjectList.begin() + static_cast<ptrdiff_t>(i),
                ObjectList.begin() + static_cast<ptrdiff_t>(i + 1));
    ++moved;
  }
}

// ---- characters ------------------------------------------------------------------------------

TFlashShape& TFlashMovie::AddShape(std::unique_ptr<TFlashShape> shape) {
  if (!shape) shape = std::make_unique<TFlashShape>(this);
  return RegisterCharacter(std::move(shape), Shapes);
}

TFlashButton& TFlashMovie::AddButton(std::unique_ptr<TFlashButton> button) {
  if (!button) button = std::make_unique<TFlashButton>(this);
  return RegisterCharacter(std::move(button), Buttons);
}

TFlashMorphShape& TFlashMovie::AddMorphShape(std::unique_ptr<TFlashMorphShape> morph) {
  if (!morph) morph = std::make_unique<TFlashMorphShape>(this);
  return RegisterCharacter(std::move(morph), MorphShapes);
}

TFlashFont& TFlashMovie::AddFont() {
  return RegisterCharacter(std::make_unique<TFlashFont>(this), Fonts);
}

TFlashFont& TFlashMovie::AddFont(const TLogFont& logFont, bool device) {
  TFlashFont& font = AddFont();
  font.Device = device;
  font.SetFromLogFont(logFont);
  return font;
}

TFlashText& TFlashMovie::AddText() { return RegisterCharacter(std::make_unique<TFlashText>(this), Texts); }

TFlashText& TFlashMovie::AddText(std::u16string_view text, uint32_t color, TFlashFont* font,
                                 TPoint position, uint8_t align) {
  return RegisterCharacter(std::make_unique<TFlashText>(this, text, color, font, position, align), Texts);
}

TFlashText& TFlashMovie::AddText(std::u16string_view text, uint32_t color, TFlashFont* font,
                                 const TRect& bounds) {
  return RegisterCharacter(std::make_unique<TFlashText>(this, text, color, font, bounds), Texts);
}

TFlashText& TFlashMovie::AddDynamicText(std::string_view variable, std::u16string_view text,
                                        uint32_t color, TFlashFont* font, const TRect& bounds) {
  const uint8_t usage = font ? font->Usage : 0;
  TFlashText& result = AddText(text, color, font, bounds);
  result.SetDynamic(true);
  if (font) font->Usage = usage | static_cast<uint8_t>(TFontUsage::DynamicText);
  result.Variable = variable;
  return result;
}

TFlashShape& TFlashMovie::AddRectangle(int32_t xMin, int32_t yMin, int32_t xMax, int32_t yMax) {
  TFlashShape& shape = AddShape();
  shape.SetBounds(xMin, yMin, xMax, yMax);
  shape.Edges().MoveTo(xMin, yMin);
  shape.Edges().Rectangle(xMax - xMin, yMax - yMin);
  shape.Edges().EndEdges();
  return shape;
}

TFlashShape& TFlashMovie::AddRectangle(const TRect& r) {
  return AddRectangle(r.Left, r.Top, r.Right, r.Bottom);
}

TFlashShape& TFlashMovie::AddEllipse(int32_t xMin, int32_t yMin, int32_t xMax, int32_t yMax) {
  TFlashShape& shape = AddShape();
  shape.SetBounds(xMin, yMin, xMax, yMax);
  shape.Edges().MoveTo(xMin, yMin);
  shape.Edges().Ellipse(xMax - xMin, yMax - yMin);
  shape.Edges().EndEdges();
  return shape;
}

TFlashShape& TFlashMovie::AddEllipse(const TRect& r) { return AddEllipse(r.Left, r.Top, r.Right, r.Bottom); }

TFlashShape& TFlashMovie::AddLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  TFlashShape& shape = AddShape();
  shape.SetBounds(x1, y1, x2, y2);
  shape.Edges().MoveTo(x1, y1);
  shape.Edges().LineTo(x2, y2);
  return shape;
}

TFlashShape& TFlashMovie::AddCubicBezier(TPoint p0, TPoint p1, TPoint p2, TPoint p3) {
  TFlashShape& shape = AddShape();
  shape.SetBounds(std::min({p0.X, p1.X, p2.X, p3.X}), std::min({p0.Y, p1.Y, p2.Y, p3.Y}),
                  std::max({p0.X, p1.X, p2.X, p3.X}), std::max({p0.Y, p1.Y, p2.Y, p3.Y}));
  shape.Edges().MoveTo(p0.X, p0.Y);
  shape.Edges().CubicBezier(p1, p2, p3, 4);
  shape.Edges().EndEdges();
  return shape;
}

TFlashShape& TFlashMovie::AddShapeImage(TFlashImage& image) {
  TFlashShape& shape = AddRectangle(0, 0, image.Width(), image.Height());
  shape.SetImageFill(image, ifmFit, 1, 1);
  return shape;
}

TFlashImage& TFlashMovie::AddImage(const std::filesystem::path& fileName) {
  return RegisterCharacter(std::make_unique<TFlashImage>(this, fileName), Images);
}

TFlashSprite& TFlashMovie::AddSprite(TFlashVisualObject* visual) {
  TFlashSprite& sprite = RegisterCharacter(std::make_unique<TFlashSprite>(this), Sprites);
  if (visual) sprite.PlaceObject(*visual, 1);
  return sprite;
}

namespace {

template <class Source>
TFlashExternalMovie& EmbedMovie(TFlashMovie& host, const Source& source, uint8_t mode, bool renumber) {
  auto movie = std::make_unique<TFlashExternalMovie>(&host, source);
  if (!movie->Reader().IsSWF) throw ESWFError("The movie to embed is not a SWF movie");
  movie->Mode = mode;
  // Parsed before it joins the host, so that a movie that cannot be read leaves the host as it
  // was.
  movie->Reader().ParseTags(true, false);
  const uint16_t e = host.CurrentID;
  movie->SetCharacterId(e);
  CheckCharacterIds(e, static_cast<size_t>(movie->DefinitionCount() + (mode == emSprite ? 2 : 1)));
  uint16_t next = e;
  if (renumber) next = movie->Renumber(mode == emSprite ? uint16_t(e + 1) : e);
  const int extra = mode == emSprite ? 2 : 1;
  TFlashExternalMovie& ref = host.AddObject(std::move(movie));
  host.CurrentID = static_cast<uint16_t>(std::max<int>(e + ref.DefinitionCount() + extra, next + 1));
  if (mode == emSprite) {
    TFlashSprite& sprite = ref.MakeSprite();
    sprite.SetFrameCount(ref.Reader().FrameCount());
    host.Sprites.Add(&sprite);
  }
  return ref;
}

}  // namespace

TFlashExternalMovie& TFlashMovie::AddExternalMovie(const std::filesystem::path& fileName,
                                                   uint8_t mode, bool renumber) {
  return EmbedMovie(*this, fileName, mode, renumber);
}

TFlashExternalMovie& TFlashMovie::AddExternalMovie(std::span<const uint8_t> movie, uint8_t mode,
                                                   bool renumber) {
  return EmbedMovie(*this, movie, mode, renumber);
}

TFlashVideo& TFlashMovie::AddVideo(const std::filesystem::path& fileName) {
  return RegisterCharacter(std::make_unique<TFlashVideo>(this, fileName), Videos);
}

// ---- display list and frames -----------------------------------------------------------------

TFlashPlaceObject& TFlashMovie::PlaceObject(TFlashVisualObject& visual, uint16_t depth) {
  return AddPlacement(std::make_unique<TFlashPlaceObject>(this, depth, &visual), depth);
}

TFlashPlaceObject& TFlashMovie::PlaceObject(uint16_t depth) {
  return AddPlacement(std::make_unique<TFlashPlaceObject>(this, depth), depth);
}

TFlashPlaceVideo& TFlashMovie::PlaceVideo(TFlashVideo& video, uint16_t depth) {
  if (MaxDepth < depth) MaxDepth = depth;
  PlacedVideos.push_back(std::make_unique<TFlashPlaceVideo>(this, video, depth, FrameCount()));
  return *PlacedVideos.back();
}

void TFlashMovie::MoveBefore(const TBasedSWFObject& object, const TBasedSWFObject& anchor) {
  auto find = [this](const TBasedSWFObject& o) {
    return std::find_if(ObjectList.begin(), ObjectList.end(), [&o](const auto& p) { return p.get() == &o; });
  };
  const auto at = find(anchor), from = find(object);
  if (at == ObjectList.end() || from == ObjectList.end() || from < at) return;
  std::rotate(at, from, from + 1);
}


TBasedSWFObject& TFlashMovie::AddObject(std::unique_ptr<TBasedSWFObject> object) {
  ObjectList.push_back(std::move(object));
  return *ObjectList.back();
}

TSWFObject& TFlashMovie::RemoveObject(uint16_t depth, const TFlashIDObject* object) {
  // Both tags are two little-endian words at most, so they are written from their bytes.
  auto tag = std::make_unique<TSWFByteCodeTag>();
  auto word = [&](uint16_t v) {
    tag->Data.push_back(static_cast<uint8_t>(v));
    tag->Data.push_back(static_cast<uint8_t>(v >> 8));
  };
  if (object) {
    tag->RawTagID = 5;
    word(object->CharacterId());
  } else {
    tag->RawTagID = 28;
  }
  word(depth);
  return AddObject(std::move(tag));
}

void TFlashMovie::ShowFrame(uint16_t count) {
  if (count == 0) count = 1;
  CheckFrameCount(size_t{FrameCount()} + count);
  if (FFrameActions) ObjectList.push_back(std::move(FFrameActions));
  for (uint16_t i = 0; i < count; ++i) {
    SetFrameCount(static_cast<uint16_t>(FrameCount() + 1));
    ObjectList.push_back(std::make_unique<TSWFShowFrame>());
  }
  CurrentFrameIndex = int32_t{FrameCount()} - 1;
}

TFlashActionScript& TFlashMovie::FrameActions() {
  if (!FFrameActions) FFrameActions = std::make_unique<TFlashActionScript>(this);
  return *FFrameActions;
}

void TFlashMovie::InsertFrameActions() {
  if (FFrameActions) AddObject(std::move(FFrameActions));
}

TSWFStartSound& TFlashMovie::StartSound(uint16_t soundId) {
  auto tag = std::make_unique<TSWFStartSound>();
  tag->ID = soundId;
  return AddObject(std::move(tag));
}

TSWFExportAssets& TFlashMovie::ExportAssets(std::string_view name, uint16_t id) {
  auto tag = std::make_unique<TSWFExportAssets>();
  tag->Assets.push_back({std::string(name), id});
  return AddObject(std::move(tag));
}

// ---- lazily made members ---------------------------------------------------------------------

TSWFRGB& TFlashMovie::BgColor() {
  if (!FBgColor) FBgColor = std::make_unique<TSWFRGB>();
  BgColorSet = true;
  return *FBgColor;
}

void TFlashMovie::SetStreamSound(std::unique_ptr<TFlashStreamSound> sound) {
  FStreamSound = std::move(sound);
  HasStreamSound = true;
}

TFlashSound& TFlashMovie::StreamSound() {
  if (auto* own = dynamic_cast<TFlashSound*>(FStreamSound.get())) {
    HasStreamSound = true;
    return *own;
  }
  auto sound = std::make_unique<TFlashSound>(this);
  sound->LoopStream = true;
  TFlashSound& ref = *sound;
  SetStreamSound(std::move(sound));
  return ref;
}

TFlashSound& TFlashMovie::AddSound(const std::string& fileName) {
  return RegisterCharacter(std::make_unique<TFlashSound>(this, fileName), Sounds);
}

TMemoryStream& TFlashMovie::ErrorStream() {
  if (!FErrorStream) FErrorStream = std::make_unique<TMemoryStream>();
  return *FErrorStream;
}

std::string TFlashMovie::ErrorText() const {
  if (!FErrorStream) return {};
  const auto bytes = FErrorStream->Bytes();
  return std::string(bytes.begin(), bytes.end());
}

void TFlashMovie::AppendError(std::string_view message) {
  TMemoryStream& s = ErrorStream();
  s.SetPosition(s.Size());
  s.WriteBuffer(message.data(), message.size());
}

TCompileContext& TFlashMovie::CompileContext() {
  if (!FCompileContext) FCompileContext = NewCompileContext(*this);
  return *FCompileContext;
}

void TFlashMovie::SetCompileContext(std::unique_ptr<TCompileContext> context) {
  FCompileContext = std::move(context);
}

// ---- drawing canvas --------------------------------------------------------------------------

TFlashCanvas& TFlashMovie::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TFlashCanvas>(*this);
  return *FCanvas;
}

TFSpriteCanvas& TFlashMovie::AddSpriteCanvas() {
  auto sprite = std::make_unique<TFSpriteCanvas>(this);
  TFSpriteCanvas& ref = *sprite;
  RegisterCharacter<TFlashSprite>(std::move(sprite), Sprites);
  return ref;
}

}  // namespace tw::builder
