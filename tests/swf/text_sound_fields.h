// Field-by-field comparison of font, text, sound, video and ABC tag objects. A tag whose bytes
// come back in a second encoding must still read back to the same fields; this is how the tests
// show it. Fields that only choose an encoding (offset width, style index widths) are left out.
#pragma once

#include <bit>
#include <string>
#include <typeinfo>

#include "swf/abc.h"
#include "swf/font_tags.h"
#include "swf/sound_tags.h"
#include "swf/text_tags.h"
#include "swf/video_tags.h"

namespace tw::test {

class FieldComparison {
 public:
  // The name of the first field that differs, or empty when all are the same.
  std::string Difference() const { return FDifference; }
  bool Same() const { return FDifference.empty(); }

  void Check(bool same, const std::string& field) {
    if (!same && FDifference.empty()) FDifference = field;
  }

 private:
  std::string FDifference;
};

inline bool SameColor(const swf::TSWFRGBA& a, const swf::TSWFRGBA& b) {
  return a.R == b.R && a.G == b.G && a.B == b.B && a.A == b.A;
}

inline bool SameRecords(const swf::TShapeRecordList& a, const swf::TShapeRecordList& b) {
  using namespace swf;
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i]->Kind != b[i]->Kind) return false;
    switch (a[i]->Kind) {
      case TShapeRecordKind::End: break;
      case TShapeRecordKind::StraightEdge: {
        const auto& x = static_cast<const TSWFStraightEdgeRecord&>(*a[i]);
        const auto& y = static_cast<const TSWFStraightEdgeRecord&>(*b[i]);
        if (x.X != y.X || x.Y != y.Y) return false;
        break;
      }
      case TShapeRecordKind::CurvedEdge: {
        const auto& x = static_cast<const TSWFCurvedEdgeRecord&>(*a[i]);
        const auto& y = static_cast<const TSWFCurvedEdgeRecord&>(*b[i]);
        if (x.ControlX != y.ControlX || x.ControlY != y.ControlY || x.AnchorX != y.AnchorX ||
            x.AnchorY != y.AnchorY)
          return false;
        break;
      }
      case TShapeRecordKind::StyleChange: {
        const auto& x = static_cast<const TSWFStyleChangeRecord&>(*a[i]);
        const auto& y = static_cast<const TSWFStyleChangeRecord&>(*b[i]);
        if (x.StateMoveTo != y.StateMoveTo || x.StateFillStyle0 != y.StateFillStyle0 ||
            x.StateFillStyle1 != y.StateFillStyle1 || x.StateLineStyle != y.StateLineStyle ||
            x.StateNewStyles != y.StateNewStyles)
          return false;
        if (x.StateMoveTo && (x.X != y.X || x.Y != y.Y)) return false;
        if (x.StateFillStyle0 && x.Fill0() != y.Fill0()) return false;
        if (x.StateFillStyle1 && x.Fill1() != y.Fill1()) return false;
        if (x.StateLineStyle && x.Line() != y.Line()) return false;
        break;
      }
    }
  }
  return true;
}

inline void CompareFont(const swf::TSWFDefineFont& a, const swf::TSWFDefineFont& b,
                        FieldComparison& c) {
  c.Check(a.FontId == b.FontId, "FontId");
  c.Check(a.GlyphShapeTable.size() == b.GlyphShapeTable.size(), "glyph count");
  for (size_t i = 0; i < a.GlyphShapeTable.size() && i < b.GlyphShapeTable.size(); ++i)
    c.Check(SameRecords(a.GlyphShapeTable[i], b.GlyphShapeTable[i]),
            "glyph " + std::to_string(i));
}

inline void CompareFont2(const swf::TSWFDefineFont2& a, const swf::TSWFDefineFont2& b,
                         FieldComparison& c) {
  CompareFont(a, b, c);
  c.Check(a.CodeTable == b.CodeTable, "CodeTable");
  c.Check(a.FontAdvanceTable == b.FontAdvanceTable, "FontAdvanceTable");
  c.Check(a.FontBoundsTable == b.FontBoundsTable, "FontBoundsTable");
  c.Check(a.FontAscent == b.FontAscent, "FontAscent");
  c.Check(a.FontDescent == b.FontDescent, "FontDescent");
  c.Check(a.FontLeading == b.FontLeading, "FontLeading");
  c.Check(a.ANSI == b.ANSI, "ANSI");
  c.Check(a.Bold == b.Bold, "Bold");
  c.Check(a.HasLayout == b.HasLayout, "HasLayout");
  c.Check(a.Italic == b.Italic, "Italic");
  c.Check(a.ShiftJIS == b.ShiftJIS, "ShiftJIS");
  c.Check(a.SmallText == b.SmallText, "SmallText");
  c.Check(a.WideCodes == b.WideCodes, "WideCodes");
  c.Check(a.KerningTable == b.KerningTable, "KerningTable");
  c.Check(a.FontName == b.FontName, "FontName");
  c.Check(a.LanguageCode == b.LanguageCode, "LanguageCode");
}

inline void CompareFontInfo(const swf::TSWFDefineFontInfo& a, const swf::TSWFDefineFontInfo& b,
                            FieldComparison& c) {
  c.Check(a.CodeTable == b.CodeTable, "CodeTable");
  c.Check(a.ANSI == b.ANSI && a.Bold == b.Bold && a.Italic == b.Italic &&
              a.ShiftJIS == b.ShiftJIS && a.SmallText == b.SmallText && a.WideCodes == b.WideCodes,
          "flags");
  c.Check(a.FontId == b.FontId, "FontId");
  c.Check(a.FontName == b.FontName, "FontName");
}

inline void CompareTextRecord(const swf::TSWFTextRecord& a, const swf::TSWFTextRecord& b,
                              FieldComparison& c) {
  c.Check(a.HasFont == b.HasFont && a.HasColor == b.HasColor && a.HasXOffset == b.HasXOffset &&
              a.HasYOffset == b.HasYOffset,
          "record flags");
  if (a.HasFont) c.Check(a.FontId() == b.FontId() && a.TextHeight() == b.TextHeight(), "font");
  if (a.HasColor) c.Check(SameColor(a.GetTextColor(), b.GetTextColor()), "TextColor");
  if (a.HasXOffset) c.Check(a.XOffset() == b.XOffset(), "XOffset");
  if (a.HasYOffset) c.Check(a.YOffset() == b.YOffset(), "YOffset");
  c.Check(a.GlyphEntries == b.GlyphEntries, "GlyphEntries");
}

inline void CompareEditText(const swf::TSWFDefineEditText& a, const swf::TSWFDefineEditText& b,
                            FieldComparison& c) {
  c.Check(a.CharacterId == b.CharacterId, "CharacterId");
  c.Check(a.Bounds == b.Bounds, "Bounds");
  c.Check(a.HasText == b.HasText && a.WordWrap == b.WordWrap && a.Multiline == b.Multiline &&
              a.Password == b.Password && a.ReadOnly == b.ReadOnly &&
              a.HasTextColor == b.HasTextColor && a.HasMaxLength == b.HasMaxLength &&
              a.HasFont == b.HasFont,
          "first flags");
  c.Check(a.HasFontClass == b.HasFontClass && a.AutoSize == b.AutoSize &&
              a.HasLayout == b.HasLayout && a.NoSelect == b.NoSelect && a.Border == b.Border &&
              a.WasStatic == b.WasStatic && a.HTML == b.HTML && a.UseOutlines == b.UseOutlines,
          "second flags");
  c.Check(a.FontID == b.FontID, "FontID");
  c.Check(a.FontClass == b.FontClass, "FontClass");
  c.Check(a.FontHeight == b.FontHeight, "FontHeight");
  if (a.HasTextColor) c.Check(SameColor(a.GetTextColor(), b.GetTextColor()), "TextColor");
  c.Check(a.MaxLength == b.MaxLength, "MaxLength");
  c.Check(a.Align == b.Align && a.LeftMargin == b.LeftMargin && a.RightMargin == b.RightMargin &&
              a.Indent == b.Indent && a.Leading == b.Leading,
          "layout");
  c.Check(a.VariableName == b.VariableName, "VariableName");
  c.Check(a.InitialText == b.InitialText, "InitialText");
}

inline void CompareStartSound(const swf::TSWFStartSound& a, const swf::TSWFStartSound& b,
                              FieldComparison& c) {
  c.Check(a.ID == b.ID, "ID");
  c.Check(a.ClassName == b.ClassName, "ClassName");
  c.Check(a.SyncStop == b.SyncStop && a.SyncNoMultiple == b.SyncNoMultiple, "sync flags");
  c.Check(a.HasInPoint == b.HasInPoint && a.InPoint() == b.InPoint(), "InPoint");
  c.Check(a.HasOutPoint == b.HasOutPoint && a.OutPoint() == b.OutPoint(), "OutPoint");
  c.Check(a.HasLoops == b.HasLoops && a.LoopCount() == b.LoopCount(), "LoopCount");
  c.Check(a.HasEnvelope == b.HasEnvelope && a.Envelope == b.Envelope, "Envelope");
}

// Compares two tag objects of the same class field by field.
inline FieldComparison CompareFields(const swf::TSWFObject& a, const swf::TSWFObject& b) {
  using namespace swf;
  FieldComparison c;
  c.Check(typeid(a) == typeid(b), "class");
  if (!c.Same()) return c;
  if (auto* x = dynamic_cast<const TSWFDefineFont2*>(&a)) {
    CompareFont2(*x, dynamic_cast<const TSWFDefineFont2&>(b), c);
  } else if (auto* x = dynamic_cast<const TSWFDefineFont*>(&a)) {
    CompareFont(*x, dynamic_cast<const TSWFDefineFont&>(b), c);
  } else if (auto* x = dynamic_cast<const TSWFDefineFontInfo2*>(&a)) {
    CompareFontInfo(*x, *dynamic_cast<const TSWFDefineFontInfo*>(&b), c);
    c.Check(x->LanguageCode == dynamic_cast<const TSWFDefineFontInfo2&>(b).LanguageCode,
            "LanguageCode");
  } else if (auto* x = dynamic_cast<const TSWFDefineFontInfo*>(&a)) {
    CompareFontInfo(*x, dynamic_cast<const TSWFDefineFontInfo&>(b), c);
  } else if (auto* x = dynamic_cast<const TSWFDefineFontAlignZones*>(&a)) {
    const auto& y = dynamic_cast<const TSWFDefineFontAlignZones&>(b);
    c.Check(x->FontId == y.FontId, "FontId");
    c.Check(x->CSMTableHint == y.CSMTableHint, "CSMTableHint");
    c.Check(x->ZoneTable == y.ZoneTable, "ZoneTable");
  } else if (auto* x = dynamic_cast<const TSWFDefineFontName*>(&a)) {
    const auto& y = dynamic_cast<const TSWFDefineFontName&>(b);
    c.Check(x->FontId == y.FontId, "FontId");
    c.Check(x->FontName == y.FontName, "FontName");
    c.Check(x->FontCopyright == y.FontCopyright, "FontCopyright");
  } else if (auto* x = dynamic_cast<const TSWFDefineText*>(&a)) {
    const auto& y = dynamic_cast<const TSWFDefineText&>(b);
    c.Check(x->CharacterId == y.CharacterId, "CharacterId");
    c.Check(x->TextBounds == y.TextBounds, "TextBounds");
    c.Check(x->TextMatrix == y.TextMatrix, "TextMatrix");
    c.Check(x->HasAlpha == y.HasAlpha, "HasAlpha");
    c.Check(x->TextRecords.size() == y.TextRecords.size(), "record count");
    for (size_t i = 0; i < x->TextRecords.size() && i < y.TextRecords.size(); ++i)
      CompareTextRecord(x->TextRecords[i], y.TextRecords[i], c);
  } else if (auto* x = dynamic_cast<const TSWFDefineEditText*>(&a)) {
    CompareEditText(*x, dynamic_cast<const TSWFDefineEditText&>(b), c);
  } else if (auto* x = dynamic_cast<const TSWFCSMTextSettings*>(&a)) {
    const auto& y = dynamic_cast<const TSWFCSMTextSettings&>(b);
    c.Check(x->TextID == y.TextID, "TextID");
    c.Check(x->UseFlashType == y.UseFlashType, "UseFlashType");
    c.Check(x->GridFit == y.GridFit, "GridFit");
    c.Check(std::bit_cast<uint32_t>(x->Thickness) == std::bit_cast<uint32_t>(y.Thickness),
            "Thickness");
    c.Check(std::bit_cast<uint32_t>(x->Sharpness) == std::bit_cast<uint32_t>(y.Sharpness),
            "Sharpness");
  } else if (auto* x = dynamic_cast<const TSWFDefineSound*>(&a)) {
    const auto& y = dynamic_cast<const TSWFDefineSound&>(b);
    c.Check(x->ID == y.ID, "ID");
    c.Check(x->SoundFormat == y.SoundFormat && x->SoundRate == y.SoundRate &&
                x->SoundSize == y.SoundSize && x->SoundType == y.SoundType,
            "format");
    c.Check(x->SampleCount == y.SampleCount, "SampleCount");
    c.Check(x->SeekSamples == y.SeekSamples, "SeekSamples");
    c.Check(x->Data == y.Data, "Data");
  } else if (auto* x = dynamic_cast<const TSWFStartSound*>(&a)) {
    CompareStartSound(*x, dynamic_cast<const TSWFStartSound&>(b), c);
  } else if (auto* x = dynamic_cast<const TSWFSoundStreamHead*>(&a)) {
    const auto& y = dynamic_cast<const TSWFSoundStreamHead&>(b);
    c.Check(x->PlaybackSoundRate == y.PlaybackSoundRate &&
                x->PlaybackSoundSize == y.PlaybackSoundSize &&
                x->PlaybackSoundType == y.PlaybackSoundType,
            "playback");
    c.Check(x->StreamSoundCompression == y.StreamSoundCompression &&
                x->StreamSoundRate == y.StreamSoundRate &&
                x->StreamSoundSize == y.StreamSoundSize && x->StreamSoundType == y.StreamSoundType,
            "stream");
    c.Check(x->SampleCount == y.SampleCount, "SampleCount");
    c.Check(x->LatencySeek == y.LatencySeek, "LatencySeek");
    c.Check(x->Reserved == y.Reserved, "Reserved");
  } else if (auto* x = dynamic_cast<const TSWFSoundStreamBlock*>(&a)) {
    const auto& y = dynamic_cast<const TSWFSoundStreamBlock&>(b);
    c.Check(x->StreamSoundCompression == y.StreamSoundCompression, "StreamSoundCompression");
    c.Check(x->SampleCount == y.SampleCount && x->SeekSamples == y.SeekSamples, "MP3 header");
    c.Check(x->Data == y.Data, "Data");
  } else if (auto* x = dynamic_cast<const TSWFDefineVideoStream*>(&a)) {
    const auto& y = dynamic_cast<const TSWFDefineVideoStream&>(b);
    c.Check(x->ID == y.ID && x->NumFrames == y.NumFrames && x->Width == y.Width &&
                x->Height == y.Height,
            "stream");
    c.Check(x->VideoFlagsDeblocking == y.VideoFlagsDeblocking &&
                x->VideoFlagsSmoothing == y.VideoFlagsSmoothing && x->Codec == y.Codec,
            "codec");
  } else if (auto* x = dynamic_cast<const TSWFVideoFrame*>(&a)) {
    const auto& y = dynamic_cast<const TSWFVideoFrame&>(b);
    c.Check(x->ID == y.ID && x->FrameNum == y.FrameNum, "frame");
    c.Check(x->Data == y.Data, "Data");
  } else if (auto* x = dynamic_cast<const TSWFDoABC*>(&a)) {
    const auto& y = dynamic_cast<const TSWFDoABC&>(b);
    c.Check(x->LazyInitializeFlag == y.LazyInitializeFlag, "LazyInitializeFlag");
    c.Check(x->Name == y.Name, "Name");
    c.Check(x->MinorVersion == y.MinorVersion && x->MajorVersion == y.MajorVersion, "version");
    c.Check(x->ParseActions == y.ParseActions, "ParseActions");
    c.Check(x->RawData == y.RawData, "RawData");
    c.Check(x->ConstantPool == y.ConstantPool, "ConstantPool");
    c.Check(x->Methods == y.Methods, "Methods");
    c.Check(x->Metadata == y.Metadata, "Metadata");
    c.Check(x->Instances == y.Instances, "Instances");
    c.Check(x->Classes == y.Classes, "Classes");
    c.Check(x->Scripts == y.Scripts, "Scripts");
    c.Check(x->MethodBodies == y.MethodBodies, "MethodBodies");
  } else {
    c.Check(false, "no comparison for " + swf::TagClassName(a));
  }
  return c;
}

}  // namespace tw::test
