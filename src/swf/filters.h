// Surface filters of PlaceObject3 and of button records: drop shadow, blur, glow, bevel, gradient
// glow, convolution, colour matrix and gradient bevel, and the filter list that holds them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "swf/bits.h"

namespace tw::swf {

enum TSWFFilterID : uint8_t {
  fidDropShadow = 0,
  fidBlur = 1,
  fidGlow = 2,
  fidBevel = 3,
  fidGradientGlow = 4,
  fidConvolution = 5,
  fidColorMatrix = 6,
  fidGradientBevel = 7,
};

class TSWFFilter {
 public:
  virtual ~TSWFFilter() = default;
  TSWFFilter(const TSWFFilter&) = delete;
  TSWFFilter& operator=(const TSWFFilter&) = delete;

  const uint8_t FilterID;

  // Copies the fields of a filter of the same class.
  virtual void Assign(const TSWFFilter& source) = 0;
  // The body after the FilterID byte.
  virtual void ReadFromStream(TBitsEngine& be) = 0;
  // The FilterID byte, then the body.
  void WriteToStream(TBitsEngine& be) const {
    be.WriteByte(FilterID);
    WriteBody(be);
  }
  std::unique_ptr<TSWFFilter> Clone() const;

 protected:
  explicit TSWFFilter(uint8_t id) : FilterID(id) {}
  virtual void WriteBody(TBitsEngine& be) const = 0;
};

// Blur, glow, shadow and bevel amounts are 16.16 fixed-point numbers in the file and the
// strength an 8.8 one; they are kept as doubles, which hold every such value exactly.
class TSWFDropShadowFilter : public TSWFFilter {
 public:
  TSWFDropShadowFilter() : TSWFFilter(fidDropShadow) { Color.A = 255; }

  double BlurX = 0, BlurY = 0, Angle = 0, Distance = 0;
  double Strength = 0;
  uint8_t Passes = 1;  // 5 bits
  TSWFRGBA Color{true};
  bool InnerShadow = false, Knockout = false, CompositeSource = true;

  void Assign(const TSWFFilter& source) override;
  void ReadFromStream(TBitsEngine& be) override;

 protected:
  void WriteBody(TBitsEngine& be) const override;
};

class TSWFBlurFilter : public TSWFFilter {
 public:
  TSWFBlurFilter() : TSWFFilter(fidBlur) {}

  double BlurX = 0, BlurY = 0;
  uint8_t Passes = 1;        // 5 bits
  uint8_t ReservedBits = 0;  // the low 3 bits of the passes byte, kept as found

  void Assign(const TSWFFilter& source) override;
  void ReadFromStream(TBitsEngine& be) override;

 protected:
  explicit TSWFBlurFilter(uint8_t id) : TSWFFilter(id) {}
  void WriteBody(TBitsEngine& be) const override;
};

class TSWFGlowFilter : public TSWFBlurFilter {
 public:
  TSWFGlowFilter() : TSWFBlurFilter(fidGlow) {}

  TSWFRGBA Color{true};
  double Strength = 0;
  bool InnerGlow = false, Knockout = false, CompositeSource = true;

  void Assign(const TSWFFilter& source) override;
  void ReadFromStream(TBitsEngine& be) override;

 protected:
  void WriteBody(TBitsEngine& be) const override;
};

class TSWFBevelFilter : public TSWFFilter {
 public:
  TSWFBevelFilter() : TSWFFilter(fidBevel) {}

  TSWFRGBA ShadowColor{true}, HighlightColor{true};
  double BlurX = 0, BlurY = 0, Angle = 0, Distance = 0, Strength = 0;
  bool InnerShadow = false, Knockout = false, CompositeSource = true, OnTop = false;
  uint8_t Passes = 1;  // 4 bits

  void Assign(const TSWFFilter& source) override;
  void ReadFromStream(TBitsEngine& be) override;

 protected:
  void WriteBody(TBitsEngine& be) const override;
};

struct TSWFGradientStop {
  TSWFRGBA Color{true};
  uint8_t Ratio = 0;
};

class TSWFGradientGlowFilter : public TSWFFilter {
 public:
  TSWFGradientGlowFilter() : TSWFGradientGlowFilter(fidGradientGlow) {}

  // Up to 15 in a movie made by an authoring tool; the count byte allows 255.
  std::vector<TSWFGradientStop> Stops;
  double BlurX = 0, BlurY = 0, Angle = 0, Distance = 0, Strength = 0;
  bool InnerShadow = false, Knockout = false, CompositeSource = true, OnTop = false;
  uint8_t Passes = 1;  // 4 bits

  void Assign(const TSWFFilter& source) override;
  void ReadFromStream(TBitsEngine& be) override;

 protected:
  explicit TSWFGradientGlowFilter(uint8_t id);
  void WriteBody(TBitsEngine& be) const override;
};

class TSWFGradientBevelFilter : public TSWFGradientGlowFilter {
 public:
  TSWFGradientBevelFilter() : TSWFGradientGlowFilter(fidGradientBevel) {}
};

class TSWFConvolutionFilter : public TSWFFilter {
 public:
  TSWFConvolutionFilter() : TSWFFilter(fidConvolution) {}

  uint8_t MatrixX = 0, MatrixY = 0;
  float Divisor = 0, Bias = 0;
  std::vector<float> Matrix;  // MatrixX times MatrixY values, row by row
  TSWFRGBA DefaultColor{true};
  bool Clamp = false, PreserveAlpha = false;
  uint8_t ReservedBits = 0;  // the upper 6 bits of the flags byte, kept as found

  void Assign(const TSWFFilter& source) override;
  void ReadFromStream(TBitsEngine& be) override;

 protected:
  void WriteBody(TBitsEngine& be) const override;
};

class TSWFColorMatrixFilter : public TSWFFilter {
 public:
  TSWFColorMatrixFilter() : TSWFFilter(fidColorMatrix) { ResetValues(); }

  std::array<float, 20> Values{};

  // The identity: 1.0 at positions 0, 6, 12 and 18, every other value 0.
  void ResetValues();
  void Assign(const TSWFFilter& source) override;
  void ReadFromStream(TBitsEngine& be) override;

 protected:
  void WriteBody(TBitsEngine& be) const override;
};

// A new filter of the class of an id; null for an id without a class.
std::unique_ptr<TSWFFilter> CreateFilter(uint8_t filterID);
// "DropShadow", "Blur", ...; "Unknown" for other ids.
const char* FilterName(uint8_t filterID);

class TSWFFilterList {
 public:
  TSWFFilterList() = default;
  TSWFFilterList(const TSWFFilterList&) = delete;
  TSWFFilterList& operator=(const TSWFFilterList&) = delete;

  size_t Count() const { return FItems.size(); }
  bool Empty() const { return FItems.empty(); }
  TSWFFilter& Filter(size_t index) { return *FItems.at(index); }
  const TSWFFilter& Filter(size_t index) const { return *FItems.at(index); }
  TSWFFilter& Add(std::unique_ptr<TSWFFilter> filter);
  template <class T>
  T& Add() {
    return static_cast<T&>(Add(std::make_unique<T>()));
  }
  void Clear() { FItems.clear(); }

  // Each filter cloned.
  void Assign(const TSWFFilterList& source);
  // A count byte and the filters; an unknown filter id fails the read.
  void ReadFromStream(TBitsEngine& be);
  void WriteToStream(TBitsEngine& be) const;

  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 private:
  std::vector<std::unique_ptr<TSWFFilter>> FItems;
};

}  // namespace tw::swf
