// TFlashMovie: a SWF movie made of objects. Everything the body holds is one entry of
// ObjectList, in file order: a plain tag object or a builder object that writes its tags when
// its turn comes. The movie hands out character ids, closes frames and assembles the body.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "builder/action_script.h"
#include "builder/button.h"
#include "builder/canvas.h"
#include "builder/compile_context.h"
#include "builder/external_movie.h"
#include "builder/font.h"
#include "builder/image.h"
#include "builder/morph_shape.h"
#include "builder/objects.h"
#include "builder/place_object.h"
#include "builder/shape.h"
#include "builder/sprite.h"
#include "builder/text.h"
#include "builder/video.h"
#include "swf/control_tags.h"
#include "swf/sound_tags.h"
#include "swf/stream.h"

namespace tw::builder {

class TFlashMovie : public swf::TBasedSWFStream {
 public:
  // The rectangle is in the units of coord; the version starts at 5.
  TFlashMovie(int32_t xMin, int32_t yMin, int32_t xMax, int32_t yMax, double fps,
              swf::TSystemCoord coord);
  ~TFlashMovie() override;

  // Everything the body holds, in order; owns its objects.
  std::vector<std::unique_ptr<swf::TBasedSWFObject>> ObjectList;

  bool BgColorSet = false;         // a SetBackgroundColor tag is written
  bool HasStreamSound = false;     // the stream head and blocks are written
  bool CorrectImageFill = true;    // image fills get their correction; false above version 7
  uint16_t CurrentID = 1;          // the next character id to hand out
  int32_t CurrentFrameIndex = 0;   // FrameCount - 1 as of the last ShowFrame
  uint16_t MaxDepth = 0;           // the highest depth a placement of the movie used

  // The characters the movie made, by kind; they live in ObjectList.
  TFlashShapeList Shapes;
  TFlashImageList Images;
  TFlashSpriteList Sprites;
  TFlashSoundList Sounds;
  TFlashTextList Texts;
  TFlashFontList Fonts;

  // ---- video: the videos the movie embeds, and their placements. The placements stand apart
  // from ObjectList: at every ShowFrame each writes the next frame of its video.
  TFlashVideoList Videos;
  TPlacedVideoList PlacedVideos;
  // A video of the FLV file (see TFlashVideo::LoadFromFile for the errors); without a name an
  // empty one to be filled.
  TFlashVideo& AddVideo(const std::filesystem::path& fileName = {});
  // The video's first frame shows in the frame being built, one more in each frame after it;
  // MaxDepth rises to the depth.
  TFlashPlaceVideo& PlaceVideo(TFlashVideo& video, uint16_t depth);

  // Once the movie is above version 7, image fills keep CorrectImageFill false for good.
  void Changed() override;

  // Empties ObjectList and the typed lists and starts the ids at 1 again; the frame count, the
  // stream sound and the pending frame actions stay.
  void Clear();

  // Writes the body: the background colour, the stream head, every object, a ShowFrame when
  // objects were placed in no frame, and the End tag unless the list ends with one. FrameCount
  // becomes the frames written and the version rises to the highest MinVersion met.
  void BuildBody() override;

  // The index in ObjectList of the N-th ShowFrame tag; 0 for frame 0 or an empty list, the last
  // index when there are fewer frames.
  size_t FrameEndIndex(int frame) override;
  // Moves the bitmap, sound and font definitions of frames FromFrame to LastFrame to the start
  // of frame ToFrame + 1, keeping their order.
  void MoveResources(int toFrame, int fromFrame, int lastFrame) override;

  // Appends a tag object or a builder object.
  swf::TBasedSWFObject& AddObject(std::unique_ptr<swf::TBasedSWFObject> object);
  template <class T>
  T& AddObject(std::unique_ptr<T> object) {
    T& ref = *object;
    AddObject(std::unique_ptr<swf::TBasedSWFObject>(std::move(object)));
    return ref;
  }

  // The registration of a character: it takes CurrentID, enters ObjectList and its typed list,
  // and CurrentID moves on.
  template <class T>
  T& RegisterCharacter(std::unique_ptr<T> object, TFlashObjectList<T>& list) {
    swf::CheckCharacterIds(CurrentID, 1);
    object->SetCharacterId(CurrentID);
    T& ref = AddObject(std::move(object));
    list.Add(&ref);
    ++CurrentID;
    return ref;
  }

  // What every PlaceObject does with its new placement: it is appended and MaxDepth rises to its
  // depth. (PlaceObject itself comes with the placement object.)
  template <class T>
  T& AddPlacement(std::unique_ptr<T> placement, uint16_t depth) {
    if (MaxDepth < depth) MaxDepth = depth;
    return AddObject(std::move(placement));
  }

  // ---- characters: each takes the next id and joins ObjectList and its typed list
  // A new empty shape when none is given.
  TFlashShape& AddShape(std::unique_ptr<TFlashShape> shape = nullptr);
  // Outlines in the movie's units, with their bounds: the rectangle's pen starts at its
  // top-left corner; a line has no end record (more edges may follow).
  TFlashShape& AddRectangle(int32_t xMin, int32_t yMin, int32_t xMax, int32_t yMax);
  TFlashShape& AddRectangle(const swf::TRect& rect);
  TFlashShape& AddEllipse(int32_t xMin, int32_t yMin, int32_t xMax, int32_t yMax);
  TFlashShape& AddEllipse(const swf::TRect& rect);
  TFlashShape& AddLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  TFlashShape& AddCubicBezier(TPoint p0, TPoint p1, TPoint p2, TPoint p3);
  // A rectangle of the image's size (in the movie's units) filled with the image.
  TFlashShape& AddShapeImage(TFlashImage& image);
  // The file (JPEG or BMP) is loaded at once; without a name the image waits for a loader.
  TFlashImage& AddImage(const std::filesystem::path& fileName = {});
  // A new sprite; a given visual is placed in it at depth 1.
  TFlashSprite& AddSprite(TFlashVisualObject* visual = nullptr);
  // Embeds a finished movie (TExternalMovieMode); with renumbering its ids follow the
  // external movie's own. A source that is not a SWF movie throws.
  TFlashExternalMovie& AddExternalMovie(const std::filesystem::path& fileName, uint8_t mode,
                                        bool renumber);
  TFlashExternalMovie& AddExternalMovie(std::span<const uint8_t> movie, uint8_t mode, bool renumber);
  // A font of no face yet; or one named by the record, embedded unless device is set.
  TFlashFont& AddFont();
  TFlashFont& AddFont(const TLogFont& logFont, bool device);
  // An empty text without font. Texts with a font add their characters to it, so the font
  // must stand before them in ObjectList. Colours are packed RGBA, positions and bounds in
  // the movie's units.
  TFlashText& AddText();
  TFlashText& AddText(std::u16string_view text, uint32_t color, TFlashFont* font, TPoint position,
                      uint8_t align);
  TFlashText& AddText(std::u16string_view text, uint32_t color, TFlashFont* font,
                      const swf::TRect& bounds);
  // An edit text showing the variable; its font counts as used by edit texts only, unless
  // a static text uses it too.
  TFlashText& AddDynamicText(std::string_view variable, std::u16string_view text, uint32_t color,
                             TFlashFont* font, const swf::TRect& bounds);

  // ---- buttons and morph shapes
  TFlashButtonList Buttons;
  TFlashMorphShapeList MorphShapes;
  // A new empty button, or the one given; its states, scripts and sounds follow.
  TFlashButton& AddButton(std::unique_ptr<TFlashButton> button = nullptr);
  // A new morph shape, or the one given; both ends are drawn after, and a placement's Ratio
  // chooses the stage between them.
  TFlashMorphShape& AddMorphShape(std::unique_ptr<TFlashMorphShape> morph = nullptr);

  // ---- display list
  // A placement of the visual (or of nothing) at the depth; MaxDepth rises to it.
  TFlashPlaceObject& PlaceObject(TFlashVisualObject& visual, uint16_t depth);
  TFlashPlaceObject& PlaceObject(uint16_t depth);
  // Moves object in front of anchor when both are in ObjectList and object stands after it, so
  // that a character is defined before what uses it.
  void MoveBefore(const swf::TBasedSWFObject& object, const swf::TBasedSWFObject& anchor);

  // A RemoveObject tag for the character at the depth, or a RemoveObject2 tag without one.
  swf::TSWFObject& RemoveObject(uint16_t depth, const TFlashIDObject* object = nullptr);
  // Closes Count frames (0 counts as 1); pending frame actions go in front of them.
  void ShowFrame(uint16_t count = 1);
  // The actions of the frame being built, made on first request.
  TFlashActionScript& FrameActions();
  bool HasFrameActions() const { return FFrameActions != nullptr; }
  // Appends the pending frame actions now; the next request makes new ones.
  void InsertFrameActions();
  swf::TSWFStartSound& StartSound(uint16_t soundId);
  swf::TSWFExportAssets& ExportAssets(std::string_view name, uint16_t id);

  // The background colour, made on first request; asking for it turns BgColorSet on.
  swf::TSWFRGB& BgColor();

  // The streaming sound whose head and blocks BuildBody writes; setting one turns
  // HasStreamSound on. The movie owns it.
  TFlashStreamSound* StreamSoundObject() const { return FStreamSound.get(); }
  void SetStreamSound(std::unique_ptr<TFlashStreamSound> sound);
  // The movie's own streaming sound: made on first request without a file and looping, and
  // turning HasStreamSound on.
  TFlashSound& StreamSound();
  // An event sound of the file: the next character id, ObjectList and Sounds.
  TFlashSound& AddSound(const std::string& fileName);

  // The texts of compile errors, one after the other, made on first request.
  swf::TMemoryStream& ErrorStream();
  std::string ErrorText() const;
  void AppendError(std::string_view message);
  // The compiler's context for this movie, made on first request (NewCompileContext). Another
  // context may be set in its place; setting none makes a new one on the next request.
  TCompileContext& CompileContext();
  void SetCompileContext(std::unique_ptr<TCompileContext> context);

  // ---- drawing canvas
  // A canvas over the movie's own timeline, made on first request: its shapes go into the
  // frame being built, each placed above everything placed before.
  TFlashCanvas& Canvas();
  // A new sprite with a canvas drawing into it: the next character id, ObjectList and Sprites.
  TFSpriteCanvas& AddSpriteCanvas();

 private:
  std::unique_ptr<TFlashCanvas> FCanvas;
  std::unique_ptr<swf::TMemoryStream> FErrorStream;
  std::unique_ptr<TCompileContext> FCompileContext;
  std::unique_ptr<swf::TSWFRGB> FBgColor;
  std::unique_ptr<TFlashStreamSound> FStreamSound;
  std::unique_ptr<TFlashActionScript> FFrameActions;
};

}  // namespace tw::builder
