#include "swf/action_functions.h"

#include <algorithm>

namespace tw::swf {

namespace {

void WriteCount(TBitsEngine& be, size_t count) {
  if (count > 0xFFFF) throw ESWFError("A function has more than 65535 parameters");
  be.WriteWord(static_cast<uint16_t>(count));
}

}  // namespace

// ---- DefineFunction --------------------------------------------------------------------------

void TSWFActionDefineFunction::Assign(const TSWFAction& source) {
  TSWFBranchAction::Assign(source);
  const auto& s = SourceAs<TSWFActionDefineFunction>(source);
  Name = s.Name;
  Params = s.Params;
  FCodeSize = s.FCodeSize;
}

void TSWFActionDefineFunction::ReadActionBody(TBitsEngine& be) {
  Name = be.ReadString();
  const uint16_t count = be.ReadWord();
  Params.clear();
  Params.reserve(std::min<size_t>(count, be.Stream.Remaining()));
  for (uint16_t i = 0; i < count; ++i) Params.push_back(be.ReadString());
  SetCodeSize(be.ReadWord());
}

void TSWFActionDefineFunction::WriteActionBody(TBitsEngine& be) {
  be.WriteString(Name);
  WriteCount(be, Params.size());
  for (const auto& p : Params) be.WriteString(p);
  WriteBranchNumber(be, 0, FCodeSize, false);
}

// ---- DefineFunction2 -------------------------------------------------------------------------

void TSWFActionDefineFunction2::Assign(const TSWFAction& source) {
  TSWFBranchAction::Assign(source);
  const auto& s = SourceAs<TSWFActionDefineFunction2>(source);
  Name = s.Name;
  Params = s.Params;
  RegisterCount = s.RegisterCount;
  PreloadParent = s.PreloadParent;
  PreloadRoot = s.PreloadRoot;
  SuppressSuper = s.SuppressSuper;
  PreloadSuper = s.PreloadSuper;
  SuppressArguments = s.SuppressArguments;
  PreloadArguments = s.PreloadArguments;
  SuppressThis = s.SuppressThis;
  PreloadThis = s.PreloadThis;
  PreloadGlobal = s.PreloadGlobal;
  FCodeSize = s.FCodeSize;
}

void TSWFActionDefineFunction2::ReadActionBody(TBitsEngine& be) {
  Name = be.ReadString();
  const uint16_t count = be.ReadWord();
  RegisterCount = be.ReadByte();
  const uint8_t flags = be.ReadByte();
  PreloadParent = flags & 0x80;
  PreloadRoot = flags & 0x40;
  SuppressSuper = flags & 0x20;
  PreloadSuper = flags & 0x10;
  SuppressArguments = flags & 0x08;
  PreloadArguments = flags & 0x04;
  SuppressThis = flags & 0x02;
  PreloadThis = flags & 0x01;
  const uint8_t flags2 = be.ReadByte();
  if (flags2 & 0xFE) throw ESWFError("Reserved bits are set in an action record");
  PreloadGlobal = flags2 & 0x01;
  Params.clear();
  // Each parameter takes at least its register byte and the end of its name.
  Params.reserve(std::min<size_t>(count, be.Stream.Remaining() / 2));
  for (uint16_t i = 0; i < count; ++i) {
    TSWFRegisterParam p;
    p.Register = be.ReadByte();
    p.Name = be.ReadString();
    Params.push_back(std::move(p));
  }
  SetCodeSize(be.ReadWord());
}

void TSWFActionDefineFunction2::WriteActionBody(TBitsEngine& be) {
  be.WriteString(Name);
  WriteCount(be, Params.size());
  be.WriteByte(RegisterCount);
  be.WriteByte(static_cast<uint8_t>((PreloadParent ? 0x80 : 0) | (PreloadRoot ? 0x40 : 0) |
                                    (SuppressSuper ? 0x20 : 0) | (PreloadSuper ? 0x10 : 0) |
                                    (SuppressArguments ? 0x08 : 0) | (PreloadArguments ? 0x04 : 0) |
                                    (SuppressThis ? 0x02 : 0) | (PreloadThis ? 0x01 : 0)));
  be.WriteByte(PreloadGlobal ? 0x01 : 0x00);
  for (const auto& p : Params) {
    be.WriteByte(p.Register);
    be.WriteString(p.Name);
  }
  WriteBranchNumber(be, 0, FCodeSize, false);
}

}  // namespace tw::swf
