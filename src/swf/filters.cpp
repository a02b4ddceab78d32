#include "swf/filters.h"

#include <algorithm>
#include <string>

#include "swf/errors.h"

namespace tw::swf {
namespace {

// FIXED8 is signed: a negative strength must come back negative, and FloatToFixed8 writes it in
// two's complement again.
double ReadFixed8(TBitsEngine& be) { return static_cast<int16_t>(be.ReadWord()) / 256.0; }
void WriteFixed8(TBitsEngine& be, double v) { be.WriteWord(FloatToFixed8(v)); }

void ReadColor(TBitsEngine& be, TSWFRGBA& c) {
  c.SetRGBA(be.ReadRGBA());
  c.HasAlpha = true;
}

uint8_t ShadowFlags(bool inner, bool knockout, bool composite, uint8_t low) {
  return static_cast<uint8_t>((inner ? 0x80 : 0) | (knockout ? 0x40 : 0) | (composite ? 0x20 : 0) |
                              low);
}

}  // namespace

std::unique_ptr<TSWFFilter> TSWFFilter::Clone() const {
  auto copy = CreateFilter(FilterID);
  copy->Assign(*this);
  return copy;
}

// ---- DropShadow ------------------------------------------------------------------------------

void TSWFDropShadowFilter::Assign(const TSWFFilter& source) {
  const auto& s = dynamic_cast<const TSWFDropShadowFilter&>(source);
  BlurX = s.BlurX;
  BlurY = s.BlurY;
  Angle = s.Angle;
  Distance = s.Distance;
  Strength = s.Strength;
  Passes = s.Passes;
  Color = s.Color;
  InnerShadow = s.InnerShadow;
  Knockout = s.Knockout;
  CompositeSource = s.CompositeSource;
}

void TSWFDropShadowFilter::ReadFromStream(TBitsEngine& be) {
  ReadColor(be, Color);
  BlurX = be.ReadFixed();
  BlurY = be.ReadFixed();
  Angle = be.ReadFixed();
  Distance = be.ReadFixed();
  Strength = ReadFixed8(be);
  const uint8_t flags = be.ReadByte();
  InnerShadow = flags & 0x80;
  Knockout = flags & 0x40;
  CompositeSource = flags & 0x20;
  Passes = flags & 0x1F;
}

void TSWFDropShadowFilter::WriteBody(TBitsEngine& be) const {
  be.WriteRGBA(Color.GetRGBA());
  be.WriteFixed(BlurX);
  be.WriteFixed(BlurY);
  be.WriteFixed(Angle);
  be.WriteFixed(Distance);
  WriteFixed8(be, Strength);
  be.WriteByte(ShadowFlags(InnerShadow, Knockout, CompositeSource, Passes & 0x1F));
}

// ---- Blur ------------------------------------------------------------------------------------

void TSWFBlurFilter::Assign(const TSWFFilter& source) {
  const auto& s = dynamic_cast<const TSWFBlurFilter&>(source);
  BlurX = s.BlurX;
  BlurY = s.BlurY;
  Passes = s.Passes;
  ReservedBits = s.ReservedBits;
}

void TSWFBlurFilter::ReadFromStream(TBitsEngine& be) {
  BlurX = be.ReadFixed();
  BlurY = be.ReadFixed();
  const uint8_t flags = be.ReadByte();
  Passes = flags >> 3;
  ReservedBits = flags & 7;
}

void TSWFBlurFilter::WriteBody(TBitsEngine& be) const {
  be.WriteFixed(BlurX);
  be.WriteFixed(BlurY);
  be.WriteByte(static_cast<uint8_t>((Passes & 0x1F) << 3 | (ReservedBits & 7)));
}

// ---- Glow ------------------------------------------------------------------------------------

void TSWFGlowFilter::Assign(const TSWFFilter& source) {
  TSWFBlurFilter::Assign(source);
  const auto& s = dynamic_cast<const TSWFGlowFilter&>(source);
  Color = s.Color;
  Strength = s.Strength;
  InnerGlow = s.InnerGlow;
  Knockout = s.Knockout;
  CompositeSource = s.CompositeSource;
}

void TSWFGlowFilter::ReadFromStream(TBitsEngine& be) {
  ReadColor(be, Color);
  BlurX = be.ReadFixed();
  BlurY = be.ReadFixed();
  Strength = ReadFixed8(be);
  const uint8_t flags = be.ReadByte();
  InnerGlow = flags & 0x80;
  Knockout = flags & 0x40;
  CompositeSource = flags & 0x20;
  Passes = flags & 0x1F;
  ReservedBits = 0;
}

void TSWFGlowFilter::WriteBody(TBitsEngine& be) const {
  be.WriteRGBA(Color.GetRGBA());
  be.WriteFixed(BlurX);
  be.WriteFixed(BlurY);
  WriteFixed8(be, Strength);
  be.WriteByte(ShadowFlags(InnerGlow, Knockout, CompositeSource, Passes & 0x1F));
}

// ---- Bevel -----------------------------------------------------------------------------------

void TSWFBevelFilter::Assign(const TSWFFilter& source) {
  const auto& s = dynamic_cast<const TSWFBevelFilter&>(source);
  ShadowColor = s.ShadowColor;
  HighlightColor = s.HighlightColor;
  BlurX = s.BlurX;
  BlurY = s.BlurY;
  Angle = s.Angle;
  Distance = s.Distance;
  Strength = s.Strength;
  InnerShadow = s.InnerShadow;
  Knockout = s.Knockout;
  CompositeSource = s.CompositeSource;
  OnTop = s.OnTop;
  Passes = s.Passes;
}

void TSWFBevelFilter::ReadFromStream(TBitsEngine& be) {
  ReadColor(be, ShadowColor);
  ReadColor(be, HighlightColor);
  BlurX = be.ReadFixed();
  BlurY = be.ReadFixed();
  Angle = be.ReadFixed();
  Distance = be.ReadFixed();
  Strength = ReadFixed8(be);
  const uint8_t flags = be.ReadByte();
  InnerShadow = flags & 0x80;
  Knockout = flags & 0x40;
  CompositeSource = flags & 0x20;
  OnTop = flags & 0x10;
  Passes = flags & 0x0F;
}

void TSWFBevelFilter::WriteBody(TBitsEngine& be) const {
  be.WriteRGBA(ShadowColor.GetRGBA());
  be.WriteRGBA(HighlightColor.GetRGBA());
  be.WriteFixed(BlurX);
  be.WriteFixed(BlurY);
  be.WriteFixed(Angle);
  be.WriteFixed(Distance);
  WriteFixed8(be, Strength);
  be.WriteByte(ShadowFlags(InnerShadow, Knockout, CompositeSource,
                           static_cast<uint8_t>((OnTop ? 0x10 : 0) | (Passes & 0x0F))));
}

// ---- GradientGlow, GradientBevel -------------------------------------------------------------

TSWFGradientGlowFilter::TSWFGradientGlowFilter(uint8_t id) : TSWFFilter(id) {
  Stops.resize(2);
  Stops[1].Ratio = 255;
}

void TSWFGradientGlowFilter::Assign(const TSWFFilter& source) {
  const auto& s = dynamic_cast<const TSWFGradientGlowFilter&>(source);
  Stops = s.Stops;
  BlurX = s.BlurX;
  BlurY = s.BlurY;
  Angle = s.Angle;
  Distance = s.Distance;
  Strength = s.Strength;
  InnerShadow = s.InnerShadow;
  Knockout = s.Knockout;
  CompositeSource = s.CompositeSource;
  OnTop = s.OnTop;
  Passes = s.Passes;
}

void TSWFGradientGlowFilter::ReadFromStream(TBitsEngine& be) {
  const uint8_t count = be.ReadByte();
  Stops.assign(count, TSWFGradientStop{});  // at most 255: a short body fails below
  for (auto& stop : Stops) ReadColor(be, stop.Color);
  for (auto& stop : Stops) stop.Ratio = be.ReadByte();
  BlurX = be.ReadFixed();
  BlurY = be.ReadFixed();
  Angle = be.ReadFixed();
  Distance = be.ReadFixed();
  Strength = ReadFixed8(be);
  const uint8_t flags = be.ReadByte();
  InnerShadow = flags & 0x80;
  Knockout = flags & 0x40;
  CompositeSource = flags & 0x20;
  OnTop = flags & 0x10;
  Passes = flags & 0x0F;
}

void TSWFGradientGlowFilter::WriteBody(TBitsEngine& be) const {
  if (Stops.size() > 255) throw ESWFError("A gradient filter holds more than 255 colours");
  be.WriteByte(static_cast<uint8_t>(Stops.size()));
  for (const auto& stop : Stops) be.WriteRGBA(stop.Color.GetRGBA());
  for (const auto& stop : Stops) be.WriteByte(stop.Ratio);
  be.WriteFixed(BlurX);
  be.WriteFixed(BlurY);
  be.WriteFixed(Angle);
  be.WriteFixed(Distance);
  WriteFixed8(be, Strength);
  be.WriteByte(ShadowFlags(InnerShadow, Knockout, CompositeSource,
                           static_cast<uint8_t>((OnTop ? 0x10 : 0) | (Passes & 0x0F))));
}

// ---- Convolution -----------------------------------------------------------------------------

void TSWFConvolutionFilter::Assign(const TSWFFilter& source) {
  const auto& s = dynamic_cast<const TSWFConvolutionFilter&>(source);
  MatrixX = s.MatrixX;
  MatrixY = s.MatrixY;
  Divisor = s.Divisor;
  Bias = s.Bias;
  Matrix = s.Matrix;
  DefaultColor = s.DefaultColor;
  Clamp = s.Clamp;
  PreserveAlpha = s.PreserveAlpha;
  ReservedBits = s.ReservedBits;
}

void TSWFConvolutionFilter::ReadFromStream(TBitsEngine& be) {
  MatrixX = be.ReadByte();
  MatrixY = be.ReadByte();
  Divisor = be.ReadSingle();
  Bias = be.ReadSingle();
  const size_t count = size_t{MatrixX} * MatrixY;
  if (count * 4 > be.Stream.Remaining()) throw ESWFError("Stream read error");
  Matrix.resize(count);
  for (auto& v : Matrix) v = be.ReadSingle();
  ReadColor(be, DefaultColor);
  const uint8_t flags = be.ReadByte();
  ReservedBits = flags >> 2;
  Clamp = flags & 2;
  PreserveAlpha = flags & 1;
}

void TSWFConvolutionFilter::WriteBody(TBitsEngine& be) const {
  if (Matrix.size() != size_t{MatrixX} * MatrixY)
    throw ESWFError("A convolution filter needs " + std::to_string(MatrixX * MatrixY) +
                    " matrix values, it has " + std::to_string(Matrix.size()));
  be.WriteByte(MatrixX);
  be.WriteByte(MatrixY);
  be.WriteSingle(Divisor);
  be.WriteSingle(Bias);
  for (float v : Matrix) be.WriteSingle(v);
  be.WriteRGBA(DefaultColor.GetRGBA());
  be.WriteByte(static_cast<uint8_t>((ReservedBits & 0x3F) << 2 | (Clamp ? 2 : 0) |
                                    (PreserveAlpha ? 1 : 0)));
}

// ---- ColorMatrix -----------------------------------------------------------------------------

void TSWFColorMatrixFilter::ResetValues() {
  Values.fill(0.0f);
  Values[0] = Values[6] = Values[12] = Values[18] = 1.0f;
}

void TSWFColorMatrixFilter::Assign(const TSWFFilter& source) {
  Values = dynamic_cast<const TSWFColorMatrixFilter&>(source).Values;
}

void TSWFColorMatrixFilter::ReadFromStream(TBitsEngine& be) {
  for (auto& v : Values) v = be.ReadSingle();
}

void TSWFColorMatrixFilter::WriteBody(TBitsEngine& be) const {
  for (float v : Values) be.WriteSingle(v);
}

// ---- factory and list ------------------------------------------------------------------------

std::unique_ptr<TSWFFilter> CreateFilter(uint8_t filterID) {
  switch (filterID) {
    case fidDropShadow: return std::make_unique<TSWFDropShadowFilter>();
    case fidBlur: return std::make_unique<TSWFBlurFilter>();
    case fidGlow: return std::make_unique<TSWFGlowFilter>();
    case fidBevel: return std::make_unique<TSWFBevelFilter>();
    case fidGradientGlow: return std::make_unique<TSWFGradientGlowFilter>();
    case fidConvolution: return std::make_unique<TSWFConvolutionFilter>();
    case fidColorMatrix: return std::make_unique<TSWFColorMatrixFilter>();
    case fidGradientBevel: return std::make_unique<TSWFGradientBevelFilter>();
    default: return nullptr;
  }
}

const char* FilterName(uint8_t filterID) {
  static constexpr const char* kNames[] = {"DropShadow",   "Blur",        "Glow",
                                           "Bevel",        "GradientGlow", "Convolution",
                                           "ColorMatrix",  "GradientBevel"};
  return filterID < std::size(kNames) ? kNames[filterID] : "Unknown";
}

TSWFFilter& TSWFFilterList::Add(std::unique_ptr<TSWFFilter> filter) {
  FItems.push_back(std::move(filter));
  return *FItems.back();
}

void TSWFFilterList::Assign(const TSWFFilterList& source) {
  if (&source == this) return;
  FItems.clear();
  FItems.reserve(source.FItems.size());
  for (const auto& f : source.FItems) FItems.push_back(f->Clone());
}

void TSWFFilterList::ReadFromStream(TBitsEngine& be) {
  FItems.clear();
  const uint8_t count = be.ReadByte();
  // The smallest filter (a blur) takes ten bytes with its id.
  FItems.reserve(std::min<size_t>(count, be.Stream.Remaining() / 10));
  for (int i = 0; i < count; ++i) {
    const uint8_t id = be.ReadByte();
    auto filter = CreateFilter(id);
    if (!filter) throw ESWFError("Unknown filter id " + std::to_string(id));
    filter->ReadFromStream(be);
    FItems.push_back(std::move(filter));
  }
}

void TSWFFilterList::WriteToStream(TBitsEngine& be) const {
  if (FItems.size() > 255) throw ESWFError("A filter list holds more than 255 filters");
  be.WriteByte(static_cast<uint8_t>(FItems.size()));
  for (const auto& f : FItems) f->WriteToStream(be);
}

}  // namespace tw::swf
