// TFlashText: a text of the movie, written as a static text (DefineText or DefineText2, drawn
// with its font's glyphs) or as an edit text (DefineEditText).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "builder/edges.h"
#include "builder/objects.h"
#include "swf/bits.h"

namespace tw::builder {

class TFlashFont;

class TFlashText : public TFlashVisualObject {
 public:
  explicit TFlashText(TFlashMovie* owner);
  // At a point (in the owner's units), aligned 0 left, 1 right, 2 center, 3 justify; colours
  // are packed RGBA (red in the low byte, alpha in the high byte).
  TFlashText(TFlashMovie* owner, std::u16string_view text, uint32_t color, TFlashFont* font,
             TPoint position, uint8_t align);
  // In a rectangle of the owner's units.
  TFlashText(TFlashMovie* owner, std::u16string_view text, uint32_t color, TFlashFont* font,
             const swf::TRect& bounds);
  ~TFlashText() override;

  bool AutoSize = false, Border = false;
  int32_t CharSpacing = 0;  // twips added to every advance of a static text
  int32_t MaxLengthValue() const { return FMaxLength; }
  bool Multiline = false, NoSelect = false, Password = false, ReadOnly = false;
  TPoint Position;          // twips
  uint16_t Height = 0;      // twips
  std::string Variable;     // UTF-8
  bool WordWrap = false;
  bool HasColor = false, HasMaxLength = false;
  bool AtPosition = false;  // the bounds come from the text's extent at Position

  uint8_t Align() const { return FAlign; }
  void SetAlign(uint8_t value);
  swf::TSWFRect& Bounds() { return FBounds; }
  // Asking for the colour to change it sets HasColor.
  swf::TSWFRGBA& Color();
  const swf::TSWFRGBA& GetColor() const { return FColor; }
  bool Dynamic() const { return FDynamic; }
  // An edit text; it becomes editable and selectable.
  void SetDynamic(bool value);
  TFlashFont* Font() const { return FFont; }
  void SetFont(TFlashFont* font);
  bool HasLayout() const { return FHasLayout; }
  void SetHasLayout(bool value);
  bool HTML() const { return FHTML; }
  void SetHTML(bool value);
  // The layout lengths in the owner's units; setting any of them sets HasLayout.
  int32_t Indent() const;
  void SetIndent(int32_t value);
  int32_t Leading() const;
  void SetLeading(int32_t value);
  int32_t LeftMargin() const;
  void SetLeftMargin(int32_t value);
  int32_t RightMargin() const;
  void SetRightMargin(int32_t value);
  void SetMaxLength(int32_t value);
  swf::TSWFMatrix& Matrix();
  // Windows-1252 bytes; a new value adds its characters to the font.
  const std::string& Text() const { return FText; }
  void SetText(std::string_view value);
  const std::u16string& WideText() const { return FWideText; }
  void SetWideText(std::u16string_view value);
  bool UseOutlines() const { return FUseOutlines; }
  // Either value makes the font's glyphs embedded.
  void SetUseOutlines(bool value);

  void Assign(const swf::TBasedSWFObject& source) override;
  int MinVersion() const override { return FDynamic ? 4 : 3; }
  void WriteToStream(swf::TBitsEngine& be) override;

 private:
  void Init(std::u16string_view text, uint32_t color, TFlashFont* font);
  int32_t Units() const { return TwipsPerUnit(); }
  swf::TRect StaticBounds(std::u16string_view wide, std::string_view narrow) const;
  void WriteStatic(swf::TBitsEngine& be);
  void WriteEdit(swf::TBitsEngine& be);

  uint8_t FAlign = 0;
  swf::TSWFRect FBounds;
  swf::TSWFRGBA FColor{true};
  bool FDynamic = false;
  TFlashFont* FFont = nullptr;  // refers to; never frees
  bool FHasLayout = false;
  bool FHTML = false;
  int32_t FIndent = 0, FLeading = 0, FLeftMargin = 0, FRightMargin = 0;  // twips
  int32_t FMaxLength = 0;
  std::unique_ptr<swf::TSWFMatrix> FMatrix;
  std::string FText;
  std::u16string FWideText;
  bool FUseOutlines = false;
};

}  // namespace tw::builder
