// The tag protocol: TBasedSWFObject (root of tags and builder objects), TSWFObject (every tag),
// TSWFDataObject (opaque data), TSWFByteCodeTag (a tag kept as raw bytes), the tag factory and
// the reading context the stream reader hands to tags.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "swf/bits.h"

namespace tw::swf {

class TSWFXmlWriter;
class TSWFXmlNode;

// What a tag may need to know of the movie around it while it reads its body.
struct TSWFReadContext {
  uint8_t Version = 5;            // the movie's version
  bool ParseActions = false;      // decode action records or keep them as raw bytes
  uint8_t StreamSoundFormat = 0;  // compression of the last SoundStreamHead read
  int SpriteNesting = 0;          // how deep in sprites the tag lies
  // The glyph count of each font read so far, by font id: an edited text is checked against it.
  std::map<uint16_t, size_t> FontGlyphs{};
};

// Visits character ids in place, so that renumbering can change them.
using TIDVisitor = std::function<void(uint16_t& id)>;

// Field names and values for a one-line description of a tag (`swf dump`).
using TSWFFields = std::vector<std::pair<std::string, std::string>>;

class TBasedSWFObject {
 public:
  virtual ~TBasedSWFObject() = default;
  // Copies every field from an object of the same class; owned members are cloned.
  virtual void Assign(const TBasedSWFObject& source) = 0;
  virtual bool IsBuilderObject() const = 0;
  virtual int MinVersion() const { return 1; }
  // Writes the whole tag, header and body.
  virtual void WriteToStream(TBitsEngine& be) = 0;

 protected:
  TBasedSWFObject() = default;
  TBasedSWFObject(const TBasedSWFObject&) = default;
  TBasedSWFObject& operator=(const TBasedSWFObject&) = default;
};

class TSWFObject : public TBasedSWFObject {
 public:
  explicit TSWFObject(uint16_t tagID) : TagID(tagID) {}

  int32_t BodySize = 0;  // the body length as last read or written
  uint16_t TagID;        // set by the constructor, never changed

  void Assign(const TBasedSWFObject& source) override;
  bool IsBuilderObject() const override { return false; }
  // The body goes to the target after a room for the header and is moved when the header turns
  // out short, so WriteTagBody must address the stream relative to where its body began.
  void WriteToStream(TBitsEngine& be) override;
  // Reads the body; the engine's stream holds exactly the BodySize bytes of the body.
  virtual void ReadFromStream(TBitsEngine& be) { (void)be; }
  virtual void WriteTagBody(TBitsEngine& be) { (void)be; }

  // The reader hands the context to each tag before it reads; a tag takes what it needs.
  virtual void SetReadContext(const TSWFReadContext& context) { (void)context; }
  // After reading, a tag may change the context for the tags that follow it.
  virtual void UpdateReadContext(TSWFReadContext& context) const { (void)context; }

  // Character ids this tag defines, and those it refers to, for renumbering.
  virtual void VisitDefinedIDs(const TIDVisitor& visit) { (void)visit; }
  virtual void VisitReferencedIDs(const TIDVisitor& visit) { (void)visit; }

  // The main fields, for a readable dump.
  virtual void Describe(TSWFFields& fields) const { (void)fields; }

  // The tag as XML: the attributes and children of the element the movie opens for it (named
  // after its code). By default the body is written as base64 and read back through
  // ReadFromStream, which keeps every tag exact; a class replaces that with its named fields.
  // Reading follows SetReadContext, as ReadFromStream does.
  virtual void WriteXml(TSWFXmlWriter& xml);
  virtual void ReadXml(const TSWFXmlNode& node);

 protected:
  // Assign's first step in every class: the source must be of the same class.
  template <class T>
  static const T& SourceAs(const TBasedSWFObject& source) {
    return dynamic_cast<const T&>(source);
  }
};

// A tag whose body is mostly opaque bytes.
class TSWFDataObject : public TSWFObject {
 public:
  using TDataWriter = std::function<void(TSWFDataObject& sender, TBitsEngine& be)>;
  using TSWFObject::TSWFObject;

  std::vector<uint8_t> Data;
  TDataWriter OnDataWrite;  // when set, the writer calls it instead of writing Data

  size_t DataSize() const { return Data.size(); }
  void Assign(const TBasedSWFObject& source) override;

 protected:
  void WriteData(TBitsEngine& be);
};

constexpr uint16_t kByteCodeTagID = 240;
constexpr const char* kUnknownTagNote = "Uniknow tag";

// A tag kept as raw bytes: an unknown code, or a tag whose reading failed.
class TSWFByteCodeTag : public TSWFDataObject {
 public:
  TSWFByteCodeTag() : TSWFDataObject(kByteCodeTagID) {}

  uint16_t RawTagID = 0;  // the code written to the file
  std::string Text;       // why the tag is raw

  void Assign(const TBasedSWFObject& source) override;
  void WriteToStream(TBitsEngine& be) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void VisitDefinedIDs(const TIDVisitor& visit) override;
  void VisitReferencedIDs(const TIDVisitor& visit) override;
  void Describe(TSWFFields& fields) const override;
};

// A new empty object for a tag code; unknown codes give a TSWFByteCodeTag.
std::unique_ptr<TSWFObject> CreateTagObject(uint16_t tagCode);

// A deep copy: the factory for the source's code, then Assign.
std::unique_ptr<TSWFObject> CloneTag(const TSWFObject& source);

// Writes a tag header for bytes already at hand (the whole of source when length is 0) and the
// bytes after it.
void WriteTagFromStream(TMemoryStream& dest, uint16_t tagCode, std::span<const uint8_t> source,
                        size_t length = 0);

// Writes a tag header: the long form when forced or when the body exceeds 62 bytes.
void WriteTagHeader(TBitsEngine& be, uint16_t tagCode, uint32_t bodySize, bool forceLong);

// Codes that are always written with the long header.
bool AlwaysLongHeader(uint16_t tagCode);

// The readable name of a tag code ("PlaceObject2"), or "Unknown".
const char* TagCodeName(uint16_t tagCode);

// The class name of a tag object without namespace ("TSWFPlaceObject2").
std::string TagClassName(const TSWFObject& tag);

}  // namespace tw::swf
