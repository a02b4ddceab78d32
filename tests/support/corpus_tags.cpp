#include "support/corpus_tags.h"

#include "support/testing.h"
#include "swf/sprite.h"
#include "swf/stream.h"

namespace tw::test {
namespace {

// A tag may change what the tags after it need to know (a sound stream head the format of the
// blocks that follow), so each tag is read as the movie reader would.
void UpdateContext(const CorpusTag& tag, swf::TSWFReadContext& context) {
  auto object = swf::CreateTagObject(tag.code);
  try {
    object->BodySize = static_cast<int32_t>(tag.body.size());
    object->SetReadContext(context);
    swf::TMemoryStream view = swf::TMemoryStream::View(tag.body);
    swf::TBitsEngine be(view);
    if (!tag.body.empty()) object->ReadFromStream(be);
    object->UpdateReadContext(context);
  } catch (const std::exception&) {
    // The reader keeps such a tag raw, and a raw tag changes nothing.
  }
}

// Walks tag headers over bytes; a sprite's inner tags follow its id and frame count.
void WalkTags(const std::filesystem::path& file, std::span<const uint8_t> bytes,
              const std::string& prefix, swf::TSWFReadContext context, bool inSprite,
              const std::function<void(const CorpusTag&)>& visit) {
  size_t pos = 0;
  for (size_t index = 0; pos + 2 <= bytes.size(); ++index) {
    const uint16_t word = static_cast<uint16_t>(bytes[pos] | (bytes[pos + 1] << 8));
    size_t length = word & 0x3F;
    size_t header = 2;
    if (length == 63) {
      if (pos + 6 > bytes.size()) return;
      length = bytes[pos + 2] | (bytes[pos + 3] << 8) | (bytes[pos + 4] << 16) |
               (static_cast<size_t>(bytes[pos + 5]) << 24);
      header = 6;
    }
    if (pos + header + length > bytes.size()) return;  // runs past the end: not a whole tag
    CorpusTag tag;
    tag.file = file;
    tag.where = prefix + std::to_string(index);
    tag.code = word >> 6;
    tag.body = bytes.subspan(pos + header, length);
    tag.context = context;
    visit(tag);
    UpdateContext(tag, context);
    if (tag.code == 39 && length >= 4 && context.SpriteNesting < swf::kMaxSpriteNesting) {
      swf::TSWFReadContext inner = context;
      inner.SpriteNesting = context.SpriteNesting + 1;
      WalkTags(file, tag.body.subspan(4), tag.where + "/", inner, true, visit);
    }
    pos += header + length;
    if (inSprite && tag.code == 0) return;
  }
}

}  // namespace

void ForEachCorpusTag(const std::function<void(const CorpusTag&)>& visit, bool includeBroken) {
  for (const auto& file : CorpusMovies(includeBroken)) {
    swf::TSWFStreamReader reader(file);
    if (!reader.IsSWF) continue;
    swf::TSWFReadContext context;
    context.Version = reader.Version();
    WalkTags(file, reader.BodyStream().Bytes(), "tag ", context, false, visit);
  }
}

}  // namespace tw::test
