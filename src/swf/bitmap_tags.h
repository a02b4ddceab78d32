// Bitmap tags: DefineBits, JPEGTables, DefineBitsJPEG2, DefineBitsJPEG3, DefineBitsJPEG4,
// DefineBitsLossless and DefineBitsLossless2. The image bytes are opaque blocks: nothing here decodes or compresses.
#pragma once

#include <span>

#include "swf/tag.h"

namespace tw::swf {

// The JPEG part of DefineBits, JPEGTables, DefineBitsJPEG2 and DefineBitsJPEG3. Data holds a
// complete JPEG stream starting with FF D8 (written with the marker pair FF D9 FF D8 in front), or
// the bytes between a leading FF D8 and a final FF D9 (written back between them), or - with
// DataAsIs - bytes written exactly as they stand: PNG and GIF images, and JPEG bytes whose markers
// fit neither form. Reading takes whichever form writes the bytes back unchanged.

class TSWFJPEGTables : public TSWFDataObject {
 public:
  TSWFJPEGTables() : TSWFDataObject(8) {}
  bool DataAsIs = false;

  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

// A bitmap character: its id and its image bytes.
class TSWFImageTag : public TSWFDataObject {
 public:
  uint16_t ID = 0;

  void Assign(const TBasedSWFObject& source) override;
  void VisitDefinedIDs(const TIDVisitor& visit) override { visit(ID); }

 protected:
  using TSWFDataObject::TSWFDataObject;
};

class TSWFDefineBits : public TSWFImageTag {
 public:
  TSWFDefineBits() : TSWFImageTag(6) {}
  bool DataAsIs = false;

  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  using TSWFImageTag::TSWFImageTag;
};

class TSWFDefineBitsJPEG2 : public TSWFDefineBits {
 public:
  TSWFDefineBitsJPEG2() : TSWFDefineBits(21) {}
  int MinVersion() const override { return 2; }

 protected:
  using TSWFDefineBits::TSWFDefineBits;
};

class TSWFDefineBitsJPEG3 : public TSWFDefineBitsJPEG2 {
 public:
  TSWFDefineBitsJPEG3() : TSWFDefineBitsJPEG2(35) {}

  std::vector<uint8_t> AlphaData;  // the zlib stream of the alpha channel
  TDataWriter OnAlphaDataWrite;    // when set, the writer calls it instead of writing AlphaData

  size_t AlphaDataSize() const { return AlphaData.size(); }
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  using TSWFDefineBitsJPEG2::TSWFDefineBitsJPEG2;
  // The body; deblockParam, when given, is the field between the alpha offset and the image.
  void ReadParts(TBitsEngine& be, uint16_t* deblockParam);
  void WriteParts(TBitsEngine& be, const uint16_t* deblockParam);
  void WriteXmlParts(TSWFXmlWriter& xml, const uint16_t* deblockParam);
};

// DefineBitsJPEG3 with the strength of the deblocking filter the player applies to the image.
class TSWFDefineBitsJPEG4 : public TSWFDefineBitsJPEG3 {
 public:
  TSWFDefineBitsJPEG4() : TSWFDefineBitsJPEG3(90) {}

  uint16_t DeblockParam = 0;  // 8.8 fixed point (0 to 1 in use), kept as stored

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 10; }
  void ReadFromStream(TBitsEngine& be) override { ReadParts(be, &DeblockParam); }
  void WriteTagBody(TBitsEngine& be) override { WriteParts(be, &DeblockParam); }
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;
};

// Data is the zlib stream exactly as it stands in the file.
class TSWFDefineBitsLossless : public TSWFImageTag {
 public:
  TSWFDefineBitsLossless() : TSWFImageTag(20) {}

  uint8_t BitmapColorTableSize = 0;  // entries - 1; on the file for format 3 only
  uint8_t BitmapFormat = 5;          // 3 colour-mapped, 4 15-bit, 5 32-bit
  uint16_t BitmapHeight = 0, BitmapWidth = 0;

  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 2; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  void Describe(TSWFFields& fields) const override;
  void WriteXml(TSWFXmlWriter& xml) override;
  void ReadXml(const TSWFXmlNode& node) override;

 protected:
  using TSWFImageTag::TSWFImageTag;
};

class TSWFDefineBitsLossless2 : public TSWFDefineBitsLossless {
 public:
  TSWFDefineBitsLossless2() : TSWFDefineBitsLossless(36) {}
  int MinVersion() const override { return 3; }
};

// The pixel size given in the header of a JPEG, PNG or GIF image (a JPEG also in the stripped
// form of the JPEG part); false when the bytes show none.
bool ImageDataSize(std::span<const uint8_t> data, uint32_t& width, uint32_t& height);

}  // namespace tw::swf
