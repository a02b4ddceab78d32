// TFlashExternalMovie: a finished SWF movie embedded in the movie being built. Its tags are read
// into objects, its character ids renumbered into the host's, and written into the host body as
// a whole movie, as definitions only, as definitions and display list, or as a sprite.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <span>
#include <string>

#include "builder/objects.h"
#include "builder/sprite.h"
#include "swf/stream.h"

namespace tw::builder {

enum TExternalMovieMode : uint8_t {
  emWholeMovie = 0,   // tags and frames merge into the host's main timeline
  emDefinitions = 1,  // definitions only
  emNoFrames = 2,     // definitions and display list, without frames
  emSprite = 3,       // definitions, then the main timeline as a sprite
};

class TFlashExternalMovie : public TFlashIDObject {
 public:
  // The movie's header and body are loaded; its tags are parsed by the host (AddExternalMovie).
  TFlashExternalMovie(TFlashMovie* owner, const std::filesystem::path& fileName);
  TFlashExternalMovie(TFlashMovie* owner, std::span<const uint8_t> bytes);
  ~TFlashExternalMovie() override;

  uint8_t Mode = emSprite;
  // Fonts get a random name prefix, so that they cannot clash with the host's fonts or another
  // embedded movie's.
  bool RenameFonts = true;

  // The embedded movie: its size (twips), frame rate, version, frame count and tags.
  swf::TSWFStreamReader& Reader() { return FReader; }
  const swf::TSWFStreamReader& Reader() const { return FReader; }
  // In mode 3, the sprite that receives the main timeline; owned here.
  TFlashSprite* Sprite() { return FSprite.get(); }
  TFlashSprite& MakeSprite();

  // The character definitions among the top-level tags (imports count their entries).
  int DefinitionCount() const;
  // Renumbers the embedded ids from base on; returns the id after the last one given.
  uint16_t Renumber(uint16_t base);

  // The font prefixes are drawn from a generator seeded at random; a fixed seed makes the
  // written bytes repeatable.
  void SetFontPrefixSeed(uint32_t seed) { FRandom.seed(seed); }
  // The prefix of the last write (empty before one, or without RenameFonts).
  const std::string& FontPrefix() const { return FFontPrefix; }

  int MinVersion() const override { return 1; }  // embedding never raises the host's version
  void WriteToStream(swf::TBitsEngine& be) override;
  // Mode 0 counts the embedded frames; placements of modes 0 and 2 count as the host's.
  void PrepareBodyWrite(TBodyWriteState& state) override;

 private:
  void WriteTag(swf::TSWFTagInfo& info, swf::TBitsEngine& be);

  swf::TSWFStreamReader FReader;
  std::unique_ptr<TFlashSprite> FSprite;
  std::mt19937 FRandom{std::random_device{}()};
  std::string FFontPrefix;
};

}  // namespace tw::builder
