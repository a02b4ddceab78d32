#include "app/stage_movie.h"

#include <gif_lib.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/fileops.h"
#include "app/paths.h"
#include "app/player_movie.h"
#include "builder/action_script.h"
#include "swf/errors.h"

namespace tw::app {
namespace {

using builder::TFlashImage;
using builder::TFlashMovie;
using builder::TFlashPlaceObject;
using builder::TFlashShape;

constexpr uint16_t kPreloaderRectDepth = 1;
constexpr uint16_t kPreloaderDepth = 2;
constexpr uint16_t kBackgroundDepth = 3;
constexpr uint16_t kPlayerDepth = 999;
constexpr uint16_t kFirstForegroundDepth = 1000;
constexpr uint16_t kFirstBackgroundImageDepth = 998;

swf::TSWFRGB ToRGB(TColor c) {
  return swf::TSWFRGB(static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>((c >> 8) & 0xFF),
                      static_cast<uint8_t>((c >> 16) & 0xFF));
}

int32_t RoundHalfEven(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> out(size);
  if (compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK)
    throw swf::ESWFError("The image data could not be compressed");
  out.resize(size);
  return out;
}

uint8_t Premultiply(uint8_t c, uint8_t a) {
  return static_cast<uint8_t>((static_cast<unsigned>(c) * a + 127) / 255);
}

// ---- PNG ---------------------------------------------------------------------------------------

struct TPngFile {
  std::FILE* File = nullptr;
  png_structp Png = nullptr;
  png_infop Info = nullptr;
  // The row pointers live here, not in the decoding function: a long jump out of it would skip
  // their destructor.
  std::vector<png_bytep> Rows;
  ~TPngFile() {
    if (Png) png_destroy_read_struct(&Png, Info ? &Info : nullptr, nullptr);
    if (File) std::fclose(File);
  }
};

[[noreturn]] void PngFailure(const std::string& fileName, const std::string& why) {
  throw swf::ESWFError("Cannot read the PNG image \"" + fileName + "\": " + why);
}

void PngError(png_structp png, png_const_charp message) {
  auto* text = static_cast<std::string*>(png_get_error_ptr(png));
  if (text) *text = message;
  png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

// The decoded picture: a palette with one index per pixel, or RGBA pixels.
struct TPngPicture {
  uint32_t Width = 0, Height = 0;
  bool Palette = false;
  std::vector<uint8_t> Colors;  // RGBA per palette entry
  std::vector<uint8_t> Pixels;  // one index or four RGBA bytes per pixel, rows from the top
};

// Everything libpng touches lies in this function, and nothing in it has a destructor, so that
// libpng's long jump out of it skips none.
bool DecodePng(TPngFile& f, TPngPicture& pic, std::string& error) {
  if (setjmp(png_jmpbuf(f.Png))) return false;
  png_init_io(f.Png, f.File);
  png_read_info(f.Png, f.Info);
  pic.Width = png_get_image_width(f.Png, f.Info);
  pic.Height = png_get_image_height(f.Png, f.Info);
  if (pic.Width == 0 || pic.Height == 0 || pic.Width > 65535 || pic.Height > 65535 ||
      static_cast<uint64_t>(pic.Width) * pic.Height > 16777216) {
    error = "the image is too large";
    return false;
  }
  const int colorType = png_get_color_type(f.Png, f.Info);
  png_set_strip_16(f.Png);
  pic.Palette = colorType == PNG_COLOR_TYPE_PALETTE;
  if (pic.Palette) {
    png_colorp palette = nullptr;
    int count = 0;
    png_get_PLTE(f.Png, f.Info, &palette, &count);
    png_bytep trans = nullptr;
    int transCount = 0;
    if (png_get_valid(f.Png, f.Info, PNG_INFO_tRNS))
      png_get_tRNS(f.Png, f.Info, &trans, &transCount, nullptr);
    for (int i = 0; i < count; ++i) {
      const uint8_t a = i < transCount ? trans[i] : 255;
      pic.Colors.insert(pic.Colors.end(),
                        {Premultiply(palette[i].red, a), Premultiply(palette[i].green, a),
                         Premultiply(palette[i].blue, a), a});
    }
    png_set_packing(f.Png);
  } else {
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
      png_set_expand_gray_1_2_4_to_8(f.Png);
      png_set_gray_to_rgb(f.Png);
    }
    if (png_get_valid(f.Png, f.Info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(f.Png);
    png_set_filler(f.Png, 0xFF, PNG_FILLER_AFTER);
  }
  png_set_interlace_handling(f.Png);
  png_read_update_info(f.Png, f.Info);
  const size_t rowBytes = png_get_rowbytes(f.Png, f.Info);
  if (rowBytes != static_cast<size_t>(pic.Width) * (pic.Palette ? 1 : 4)) {
    error = "unsupported pixel layout";
    return false;
  }
  pic.Pixels.assign(rowBytes * pic.Height, 0);
  f.Rows.resize(pic.Height);
  for (uint32_t y = 0; y < pic.Height; ++y) f.Rows[y] = pic.Pixels.data() + y * rowBytes;
  png_read_image(f.Png, f.Rows.data());
  return true;
}

// ---- GIF ---------------------------------------------------------------------------------------

struct TGifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

// ---- images at their depths --------------------------------------------------------------------

TFlashImage& MakeBitmapImage(TFlashMovie& movie, const std::string& file, int kind) {
  switch (kind) {
    case 0: {
      TFlashImage& image = movie.AddImage(file);
      image.SetAsJPEG(true);
      return image;
    }
    case 1: return movie.AddImage(file);
    case 2: return LoadGifImage(movie, file);
    default: return LoadPngImage(movie, file);
  }
}

// Embedded movies draw the name prefix of their fonts from a generator; seeding it by the id
// the movie gets keeps the prefixes apart and makes a publish repeatable: the same project gives
// the same bytes from the window and from the command line, run after run.
builder::TFlashExternalMovie& Embed(builder::TFlashExternalMovie& ext) {
  ext.SetFontPrefixSeed(ext.CharacterId());
  return ext;
}

void AddImageEntryBody(TFlashMovie& movie, const TStageSettings& s, const TImageEntry& entry,
                       uint16_t depth) {
  const int kind = ImageKindOf(entry.File);
  if (kind < 0) return;
  if (kind == 4) {
    auto& ext = Embed(movie.AddExternalMovie(entry.File, builder::emSprite, true));
    const swf::TRect& r = ext.Reader().FrameRect();
    const int32_t w = RoundHalfEven((r.Right - r.Left) / 20.0);
    const int32_t h = RoundHalfEven((r.Bottom - r.Top) / 20.0);
    TFlashPlaceObject& place = movie.PlaceObject(*ext.Sprite(), depth);
    switch (entry.Position) {
      case TImagePosition::Stretch:
      case TImagePosition::Tile:
        place.SetTranslate(0, 0);
        // An empty frame cannot be stretched; it stays at its size.
        if (w > 0 && h > 0)
          place.SetScale(static_cast<double>(s.Width) / w, static_cast<double>(s.Height) / h);
        break;
      case TImagePosition::Center: place.SetTranslate((s.Width - w) / 2, (s.Height - h) / 2); break;
      case TImagePosition::Custom:
        place.SetTranslate(entry.Left, entry.Top);
        place.SetScale(entry.XScale / 100.0, entry.YScale / 100.0);
        place.SetRotate(entry.Rotation);
        break;
    }
    return;
  }
  TFlashImage& image = MakeBitmapImage(movie, entry.File, kind);
  const int32_t iw = image.Width(), ih = image.Height();
  switch (entry.Position) {
    case TImagePosition::Stretch:
    case TImagePosition::Tile: {
      TFlashShape& shape = movie.AddRectangle(0, 0, s.Width, s.Height);
      shape.SetImageFill(image,
                         entry.Position == TImagePosition::Tile ? builder::ifmTile : builder::ifmFit,
                         1.0, 1.0);
      movie.PlaceObject(shape, depth);
      break;
    }
    case TImagePosition::Center: {
      TFlashShape& shape = movie.AddRectangle((s.Width - iw) / 2, (s.Height - ih) / 2,
                                              (s.Width + iw) / 2, (s.Height + ih) / 2);
      shape.SetImageFill(image, builder::ifmFit, 1.0, 1.0);
      movie.PlaceObject(shape, depth);
      break;
    }
    case TImagePosition::Custom: {
      TFlashShape& shape = movie.AddRectangle(0, 0, RoundHalfEven(iw * entry.XScale / 100.0),
                                              RoundHalfEven(ih * entry.YScale / 100.0));
      shape.SetImageFill(image, builder::ifmFit, 1.0, 1.0);
      TFlashPlaceObject& place = movie.PlaceObject(shape, depth);
      place.SetRotate(entry.Rotation);
      place.SetTranslate(entry.Left, entry.Top);
      break;
    }
  }
}

// The builder's reasons do not always say which picture they are about; of several images the
// user must learn which one to replace.
void AddImageEntry(TFlashMovie& movie, const TStageSettings& s, const TImageEntry& entry,
                   uint16_t depth) {
  try {
    AddImageEntryBody(movie, s, entry, depth);
  } catch (const std::exception& e) {
    const std::string why = e.what();
    if (why.find(entry.File) != std::string::npos) throw;
    throw swf::ESWFError("Cannot use the image \"" + entry.File + "\": " + why);
  }
}

void AddPreloaderFrame(TFlashMovie& movie, const TStageSettings& s, const TStageFolders& folders) {
  TColor color = 0;
  if (s.Preloader)
    for (const TPreloaderParam& p : s.Preloader->Params)
      if (p.Name == "Bg.BgColor") {
        color = HexToColor(p.Value);
        break;
      }
  TFlashShape& rect = movie.AddRectangle(0, 0, s.Width, s.Height);
  rect.SetSolidColor(ToRGB(color));
  movie.PlaceObject(rect, kPreloaderRectDepth);

  auto& ext = [&]() -> builder::TFlashExternalMovie& {
    std::unique_ptr<TFlashMovie> preloader = BuildPreloaderMovie(s, folders.Preloader);
    swf::TMemoryStream stream;
    preloader->SaveToStream(stream);
    return Embed(movie.AddExternalMovie(stream.Bytes(), builder::emSprite, true));
  }();
  const swf::TRect& r = ext.Reader().FrameRect();
  const double pw = (r.Right - r.Left) / 20.0, ph = (r.Bottom - r.Top) / 20.0;
  float scale = 1;
  if (pw > 0 && ph > 0)
    scale = static_cast<float>(std::min(std::min(s.Width / pw, 1.0), std::min(s.Height / ph, 1.0)));
  TFlashPlaceObject& place = movie.PlaceObject(*ext.Sprite(), kPreloaderDepth);
  place.SetPosition(static_cast<int32_t>((s.Width - pw * scale) / 2),
                    static_cast<int32_t>((s.Height - ph * scale) / 2));
  place.SetScale(scale, scale);
  movie.ShowFrame(1);
  movie.RemoveObject(kPreloaderRectDepth);
  movie.RemoveObject(kPreloaderDepth);
}

void AddPlayer(TFlashMovie& movie, const TStageSettings& s, bool withMusic,
               const TMusicFileList* music, bool preview, TRunContext& ctx,
               const TStageFolders& folders) {
  std::unique_ptr<TFlashMovie> player =
      BuildPlayerMovie(s, withMusic, music, preview, ctx.Host, folders.Player);
  if (!player) return;
  builder::TFlashExternalMovie* ext = nullptr;
  {
    swf::TMemoryStream stream;
    player->SaveToStream(stream);
    player.reset();
    ext = &Embed(movie.AddExternalMovie(stream.Bytes(), builder::emSprite, true));
  }
  TFlashPlaceObject& place = movie.PlaceObject(*ext->Sprite(), kPlayerDepth);
  if (s.DefaultSize) return;
  if (s.PlayerPosition == TPlayerPosition::Custom) {
    place.SetTranslate(s.Left, s.Top);
    place.SetScale(s.XScale / 100.0, s.YScale / 100.0);
    place.SetRotate(s.Rotation);
  } else if (s.Template) {
    place.SetTranslate((s.Width - s.Template->DefaultWidth) / 2,
                       (s.Height - s.Template->DefaultHeight) / 2);
  }
}

void AddSongs(TFlashMovie& movie, const TMusicFileList* music, const std::string& folder,
              const TConvertOption& options, TRunContext& ctx) {
  bool first = true;
  for (const TMusicFileList* song = music; song; song = song->Next.get()) {
    if (!first) ctx.Checkpoint();
    first = false;
    const std::string name = ExtractFileName(song->FileName);
    ctx.Progress.SetSingleFile("Converting \"" + name + "\":");
    const std::string encoded = folder + "encode" + std::to_string(song->Position) + ".mp3";
    const std::string source = IsNonEmptyFile(encoded) ? encoded : song->FileName;
    std::unique_ptr<swf::TMemoryStream> stream;
    try {
      stream = BuildMusicMovieStream(source, options, true, &ctx);
    } catch (const ECancelled&) {
      throw;
    } catch (const std::exception& e) {
      // The player would find an empty song under this name; better no sprite at all.
      ctx.ReportError(e.what());
      continue;
    }
    if (!stream) throw ECancelled();
    auto& ext = Embed(movie.AddExternalMovie(stream->Bytes(), builder::emSprite, true));
    movie.ExportAssets(ChangeFileExt(name, ".swf"), ext.CharacterId());
  }
}

}  // namespace

TFlashImage& LoadPngImage(TFlashMovie& movie, const std::string& fileName) {
  TPngPicture pic;
  {
    TPngFile f;
    f.File = std::fopen(fileName.c_str(), "rb");
    if (!f.File) PngFailure(fileName, "the file cannot be opened");
    std::string error = "not a PNG file";
    f.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, PngError, PngWarning);
    if (!f.Png) PngFailure(fileName, "out of memory");
    f.Info = png_create_info_struct(f.Png);
    if (!f.Info) PngFailure(fileName, "out of memory");
    png_set_user_limits(f.Png, 65535, 65535);
    if (!DecodePng(f, pic, error)) PngFailure(fileName, error);
  }
  const auto w = static_cast<uint16_t>(pic.Width), h = static_cast<uint16_t>(pic.Height);
  std::vector<uint8_t> raw;
  if (pic.Palette) {
    const size_t stride = (pic.Width + 3) / 4 * 4;
    raw = pic.Colors;
    raw.reserve(raw.size() + stride * pic.Height);
    for (uint32_t y = 0; y < pic.Height; ++y) {
      const uint8_t* row = pic.Pixels.data() + static_cast<size_t>(y) * pic.Width;
      raw.insert(raw.end(), row, row + pic.Width);
      raw.insert(raw.end(), stride - pic.Width, 0);
    }
    const int colors = static_cast<int>(pic.Colors.size() / 4);
    if (colors == 0) PngFailure(fileName, "the palette is empty");
    TFlashImage& image = movie.AddImage();
    image.LoadDataFromNativeStream(Deflate(raw), false, true, colors, builder::ifPalette, h, w);
    return image;
  }
  raw.resize(pic.Pixels.size());
  for (size_t i = 0; i + 3 < pic.Pixels.size(); i += 4) {
    const uint8_t a = pic.Pixels[i + 3];
    raw[i] = a;
    raw[i + 1] = Premultiply(pic.Pixels[i], a);
    raw[i + 2] = Premultiply(pic.Pixels[i + 1], a);
    raw[i + 3] = Premultiply(pic.Pixels[i + 2], a);
  }
  TFlashImage& image = movie.AddImage();
  image.LoadDataFromNativeStream(Deflate(raw), false, true, 0, builder::ifARGB, h, w);
  return image;
}

TFlashImage& LoadGifImage(TFlashMovie& movie, const std::string& fileName) {
  int error = 0;
  std::unique_ptr<GifFileType, TGifCloser> gif(DGifOpenFileName(fileName.c_str(), &error));
  auto fail = [&](const std::string& why) -> swf::ESWFError {
    return swf::ESWFError("Cannot read the GIF image \"" + fileName + "\": " + why);
  };
  if (!gif) throw fail(GifErrorString(error) ? GifErrorString(error) : "cannot open");
  if (DGifSlurp(gif.get()) != GIF_OK && gif->ImageCount < 1)
    throw fail(GifErrorString(gif->Error) ? GifErrorString(gif->Error) : "damaged file");
  if (gif->ImageCount < 1) throw fail("no picture");
  const SavedImage& img = gif->SavedImages[0];
  const ColorMapObject* map = img.ImageDesc.ColorMap ? img.ImageDesc.ColorMap : gif->SColorMap;
  if (!map || map->ColorCount < 1) throw fail("no colour table");
  const int32_t w = gif->SWidth > 0 ? gif->SWidth : img.ImageDesc.Width;
  const int32_t h = gif->SHeight > 0 ? gif->SHeight : img.ImageDesc.Height;
  if (w <= 0 || h <= 0 || static_cast<int64_t>(w) * h > 16777216) throw fail("bad size");
  GraphicsControlBlock gcb{};
  gcb.TransparentColor = NO_TRANSPARENT_COLOR;
  DGifSavedExtensionToGCB(gif.get(), 0, &gcb);
  const int transparent =
      gcb.TransparentColor >= 0 && gcb.TransparentColor < map->ColorCount ? gcb.TransparentColor
                                                                          : -1;
  builder::TBitmap bitmap = builder::TBitmap::Make(w, h, 8);
  for (int i = 0; i < map->ColorCount; ++i)
    bitmap.Palette.push_back({map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red, 255});
  bitmap.Palette.resize(256, builder::TBGRA{0, 0, 0, 255});
  // Marked by its entry, not by its colour (another entry of that colour stays visible), and in
  // the palette rather than by index afterwards: taking the bitmap, the image drops the unused
  // entries and renumbers the rest, so the GIF's own index would name another colour, or none.
  if (transparent >= 0) bitmap.Palette[static_cast<size_t>(transparent)].A = 0;
  // Outside the first picture the canvas shows the background, or nothing when transparent.
  const uint8_t fill = static_cast<uint8_t>(transparent >= 0 ? transparent
                                            : gif->SBackGroundColor < map->ColorCount
                                                ? gif->SBackGroundColor
                                                : 0);
  for (int32_t y = 0; y < h; ++y) std::fill_n(bitmap.Row(y), w, fill);
  const GifImageDesc& d = img.ImageDesc;
  if (img.RasterBits)
    for (int32_t y = 0; y < d.Height; ++y) {
      const int32_t ty = d.Top + y;
      if (ty < 0 || ty >= h) continue;
      for (int32_t x = 0; x < d.Width; ++x) {
        const int32_t tx = d.Left + x;
        if (tx < 0 || tx >= w) continue;
        const uint8_t index = img.RasterBits[static_cast<size_t>(y) * d.Width + x];
        bitmap.Row(ty)[tx] = index < map->ColorCount ? index : fill;
      }
    }
  TFlashImage& image = movie.AddImage();
  image.LoadDataFromHandle(bitmap);
  return image;
}

void BuildStageMovie(const TStageSettings& s, const std::string& target, bool withMusic,
                     const TMusicFileList* music, const std::string& folder, bool preview,
                     const TConvertOption& options, TRunContext& ctx,
                     const TStageFolders& folders) {
  const std::string temp = ctx.WorkFolder() + "movie.swf";
  TTempFile cleanup(temp);
  {
    auto movie = std::make_unique<TFlashMovie>(0, 0, s.Width * 20, s.Height * 20, s.FrameRate,
                                               swf::TSystemCoord::Twips);
    movie->SetVersion(static_cast<uint8_t>(6 + s.FlashVersionIndex));
    movie->SetSystemCoord(swf::TSystemCoord::Pix);
    movie->SetCompressed(true);
    if (s.PreloaderOn) AddPreloaderFrame(*movie, s, folders);
    movie->BgColorSet = false;

    TFlashShape& bg = movie->AddRectangle(0, 0, s.Width, s.Height);
    if (s.SolidBackground == 1) bg.SetSolidColor(ToRGB(s.BackgroundColor));
    movie->PlaceObject(bg, kBackgroundDepth);

    AddPlayer(*movie, s, withMusic, music, preview, ctx, folders);

    if (s.FgImagesOn) {
      uint16_t depth = kFirstForegroundDepth;
      for (const TImageEntry* e : s.FgImages)
        if (e && FileExists(e->File) && ImageKindOf(e->File) >= 0)
          AddImageEntry(*movie, s, *e, depth++);
    }
    if (s.BgImagesOn) {
      uint16_t depth = kFirstBackgroundImageDepth;
      for (const TImageEntry* e : s.BgImages)
        if (e && FileExists(e->File) && ImageKindOf(e->File) >= 0 && depth > kBackgroundDepth)
          AddImageEntry(*movie, s, *e, depth--);
    }
    if (withMusic) AddSongs(*movie, music, folder, options, ctx);
    // The body assembly closes a frame only for a movie that has none; after the preloader's
    // frame the stage itself would otherwise stay unshown. And it must stay: a timeline of two
    // frames loops, back on the first the preloader shows again and the player is made anew,
    // every other frame, never getting to play.
    if (s.PreloaderOn) {
      movie->FrameActions().Stop();
      movie->ShowFrame(1);
    }

    movie->BuildBody();
    RemoveFile(temp);
    movie->SaveToFile(temp);
  }
  CopyFileReplacing(temp, target);
}

void TStageMovieMakers::BuildStageMovie(const TStageSettings& settings, const std::string& target,
                                        bool withMusic, const TMusicFileList* music,
                                        const std::string& folder, bool preview,
                                        const TConvertOption& options, TRunContext& ctx) {
  app::BuildStageMovie(settings, target, withMusic, music, folder, preview, options, ctx,
                       FFolders);
}

}  // namespace tw::app
