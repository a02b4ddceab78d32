#include "swf/action_disasm.h"

#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "swf/action_body_records.h"
#include "swf/action_branches.h"
#include "swf/action_functions.h"
#include "swf/action_push.h"
#include "util/text.h"

namespace tw::swf {
namespace {

// Deeper nesting is shown at this depth: hostile lists may nest without end.
constexpr size_t kMaxIndentLevel = 32;

std::string Escaped(std::string_view bytes) {
  const std::string text = ToUtf8(bytes);
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", u);
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string Quoted(std::string_view bytes) { return "\"" + Escaped(bytes) + "\""; }

std::string Signed(int64_t v) { return (v >= 0 ? "+" : "") + std::to_string(v); }

// One open block: the marker that ends its current part, and the parts still to come (a Try's
// catch and finally blocks) with the text that opens each.
struct TBlock {
  const TSWFAction* End = nullptr;
  std::vector<std::pair<const TSWFAction*, std::string>> Next;
  std::string Kind;
};

class TDisassembler {
 public:
  TDisassembler(const TSWFActionList& actions, std::string_view indent)
      : FActions(actions), FIndent(indent) {}

  std::string Run() {
    Prepare();
    for (const auto& record : FActions) Record(*record);
    while (!FBlocks.empty()) {
      FBlocks.pop_back();
      Line("} ; the end of the block was not found after it");
    }
    return std::move(FOut);
  }

 private:
  void Prepare() {
    for (const auto& record : FActions)
      if (record->ActionCode == kActionMarker) FInList.insert(record.get());
    size_t unnamed = 0;
    for (const auto& record : FActions) {
      if (record->ActionCode == kActionMarker) {
        const auto& m = static_cast<const TSWFOffsetMarker&>(*record);
        std::string name;
        for (char c : m.Label) name += (c == ' ' || c == ':') ? '_' : c;
        if (name.empty()) name = "marker_" + std::to_string(++unnamed);
        FNames.emplace(&m, Escaped(name));
      }
      if (record->ActionCode == 0x99 || record->ActionCode == 0x9D) {
        const auto& jump = static_cast<const TSWFActionJump&>(*record);
        if (const TSWFAction* m = jump.FindMarker(); m && FInList.contains(m)) FJumpTargets.insert(m);
      }
    }
  }

  // A record one level deeper than the open blocks; a label (or a block's middle line) at their
  // level.
  void Line(const std::string& text, bool label = false) {
    FOut += FIndent;
    const size_t level = std::min(FBlocks.size(), kMaxIndentLevel) + (label ? 0 : 1);
    FOut.append(2 * level, ' ');
    FOut += text;
    FOut += '\n';
  }

  void Instruction(const char* name, const std::string& operands = {}) {
    std::string text = name;
    if (!operands.empty()) {
      if (text.size() < 15) text.append(15 - text.size(), ' ');
      text += ' ';
      text += operands;
    }
    Line(text);
  }

  bool InList(const TSWFAction* marker) const { return marker && FInList.contains(marker); }

  // Opens a block whose parts end at the markers given; a part whose marker is missing is empty
  // (its size was 0) and is closed at once.
  void Open(const std::string& head, std::string kind,
            std::vector<std::pair<const TSWFAction*, std::string>> parts) {
    Line(head + " {");
    TBlock block;
    block.Kind = std::move(kind);
    block.End = parts.front().first;
    block.Next.assign(parts.begin() + 1, parts.end());
    FBlocks.push_back(std::move(block));
    CloseEmptyParts();
  }

  void CloseEmptyParts() {
    while (!FBlocks.empty() && FBlocks.back().End == nullptr) Advance();
  }

  // The current part of the innermost block has ended. The line that opens the next part goes
  // where the block's first line went.
  void Advance() {
    TBlock& block = FBlocks.back();
    if (block.Next.empty()) {
      FBlocks.pop_back();
      Line("}");
      return;
    }
    const auto next = block.Next.front();
    block.Next.erase(block.Next.begin());
    block.End = next.first;
    Line("} " + next.second + " {", true);
  }

  void Marker(const TSWFOffsetMarker& m) {
    bool closed = false;
    if (!FBlocks.empty() && FBlocks.back().End == &m) {
      Advance();
      CloseEmptyParts();
      closed = true;
    } else {
      for (size_t k = FBlocks.size(); k-- > 0;) {
        if (FBlocks[k].End != &m) continue;
        // Blocks that overlap instead of nesting: the outer one ends here, inside the inner.
        const std::string kind = FBlocks[k].Kind;
        FBlocks.erase(FBlocks.begin() + static_cast<ptrdiff_t>(k));
        Line("; end of the " + kind + " opened before the enclosing block");
        closed = true;
        break;
      }
    }
    if (!closed || FJumpTargets.contains(&m)) Line(FNames.at(&m) + ":", true);
  }

  // A single-marker block record: its body is a block when its marker is in the list, empty when
  // its size is 0 without a marker, else shown with its number.
  void SingleBlock(const TSWFBranchAction& branch, const std::string& head, std::string kind,
                   uint16_t size) {
    const TSWFAction* m = branch.FindMarker();
    if (InList(m)) {
      Open(head, std::move(kind), {{m, ""}});
    } else if (size == 0) {
      Line(head + " { }");
    } else {
      Line(head + " size " + std::to_string(size) + " ; the block does not end inside the list");
    }
  }

  std::string PushValue(const TPushValueInfo& v) const {
    std::string s;
    switch (v.ValueType) {
      case kPushString: s = Quoted(PushValueToString(v.Value)); break;
      case kPushFloat:
        s = "float " + PushValueToString(TPushValue(static_cast<float>(PushValueToDouble(v.Value))));
        break;
      case kPushNull: s = "null"; break;
      case kPushUndefined: s = "undefined"; break;
      case kPushRegister: s = "register " + std::to_string(PushValueToInteger(v.Value) & 0xFF); break;
      case kPushBoolean: {
        const int64_t b = PushValueToInteger(v.Value) & 0xFF;
        s = b == 0 ? "false" : b == 1 ? "true" : "boolean " + std::to_string(b);
        break;
      }
      case kPushDouble: s = "double " + PushValueToString(TPushValue(PushValueToDouble(v.Value))); break;
      case kPushInteger:
        s = "int " + std::to_string(static_cast<int32_t>(PushValueToInteger(v.Value)));
        break;
      case kPushConstant8:
      case kPushConstant16: {
        const int64_t mask = v.ValueType == kPushConstant8 ? 0xFF : 0xFFFF;
        const size_t index = static_cast<size_t>(PushValueToInteger(v.Value) & mask);
        s = (v.ValueType == kPushConstant8 ? "constant " : "constant16 ") + std::to_string(index);
        if (FPool && index < FPool->Constants.size()) s += " " + Quoted(FPool->Constants[index]);
        break;
      }
      default: s = "type " + std::to_string(v.ValueType); break;
    }
    if (!v.IsValid) s += " (not written)";
    return s;
  }

  void Record(const TSWFAction& a) {
    const char* name = ActionCodeName(a.ActionCode);
    switch (a.ActionCode) {
      case kActionMarker: Marker(static_cast<const TSWFOffsetMarker&>(a)); return;
      case kActionByteCode: Raw(static_cast<const TSWFActionByteCode&>(a)); return;
      case 0x81: Instruction(name, std::to_string(static_cast<const TSWFActionGotoFrame&>(a).Frame)); return;
      case 0x83: {
        const auto& r = static_cast<const TSWFActionGetUrl&>(a);
        Instruction(name, Quoted(r.URL) + ", " + Quoted(r.Target));
        return;
      }
      case 0x87:
        Instruction(name, std::to_string(static_cast<const TSWFActionStoreRegister&>(a).RegisterNumber));
        return;
      case 0x88: {
        const auto& r = static_cast<const TSWFActionConstantPool&>(a);
        FPool = &r;
        std::string s;
        for (size_t i = 0; i < r.Constants.size(); ++i) s += (i ? ", " : "") + Quoted(r.Constants[i]);
        Instruction(name, s);
        return;
      }
      case 0x8A: {
        const auto& r = static_cast<const TSWFActionWaitForFrame&>(a);
        Instruction(name, std::to_string(r.Frame) + ", skip " + std::to_string(r.SkipCount));
        return;
      }
      case 0x8B: Instruction(name, Quoted(static_cast<const TSWFActionSetTarget&>(a).TargetName)); return;
      case 0x8C: Instruction(name, Quoted(static_cast<const TSWFActionGoToLabel&>(a).Label)); return;
      case 0x8D:
        Instruction(name, "skip " + std::to_string(static_cast<const TSWFActionWaitForFrame2&>(a).SkipCount));
        return;
      case 0x8E: Function2(static_cast<const TSWFActionDefineFunction2&>(a)); return;
      case 0x8F: Try(static_cast<const TSWFActionTry&>(a)); return;
      case 0x94: {
        const auto& r = static_cast<const TSWFActionWith&>(a);
        SingleBlock(r, name, "With block", r.BlockSize());
        return;
      }
      case 0x96: {
        const auto& r = static_cast<const TSWFActionPush&>(a);
        std::string s;
        for (size_t i = 0; i < r.Values.size(); ++i) s += (i ? ", " : "") + PushValue(r.Values[i]);
        Instruction(name, s);
        return;
      }
      case 0x99:
      case 0x9D: {
        const auto& r = static_cast<const TSWFActionJump&>(a);
        const TSWFOffsetMarker* m = r.FindMarker();
        if (InList(m)) Instruction(name, FNames.at(m));
        else if (m && m->Label.starts_with("Error"))
          Instruction(name, Signed(r.BranchOffset()) + " ; lands outside the list or inside a record");
        else Instruction(name, Signed(r.BranchOffset()));
        return;
      }
      case 0x9A: {
        const auto& r = static_cast<const TSWFActionGetURL2&>(a);
        static constexpr const char* kMethods[] = {"none", "GET", "POST", "method 3"};
        std::string s = std::string("method ") + kMethods[r.Method & 3];
        if (r.LoadTargetFlag) s += ", load target";
        if (r.LoadVariablesFlag) s += ", load variables";
        Instruction(name, s);
        return;
      }
      case 0x9B: Function(static_cast<const TSWFActionDefineFunction&>(a)); return;
      case 0x9F: {
        const auto& r = static_cast<const TSWFActionGotoFrame2&>(a);
        std::string s = r.PlayFlag ? "play" : "stop";
        if (r.SceneBiasFlag) s += ", scene bias " + std::to_string(r.SceneBias);
        Instruction(name, s);
        return;
      }
      default: Instruction(name ? name : "Unknown"); return;
    }
  }

  void Raw(const TSWFActionByteCode& r) {
    if (r.RawData.size() == 1 && r.RawData[0] == kActionEnd) {
      Instruction("End", "; the list goes on after it");
      return;
    }
    std::string comment;
    if (!r.RawData.empty()) {
      const uint8_t code = r.RawData[0];
      const char* known = code < kActionByteCode ? ActionCodeName(code) : nullptr;
      char buf[64];
      if (known) std::snprintf(buf, sizeof buf, " ; %s, kept as bytes", known);
      else std::snprintf(buf, sizeof buf, " ; unknown action code 0x%02X", code);
      comment = buf;
    }
    Instruction("Bytes", tw::HexBytes(r.RawData) + comment);
  }

  void Function(const TSWFActionDefineFunction& f) {
    std::string head = std::string("DefineFunction ") + Quoted(f.Name) + " (";
    for (size_t i = 0; i < f.Params.size(); ++i) head += (i ? ", " : "") + Escaped(f.Params[i]);
    head += ")";
    SingleBlock(f, head, "function " + Quoted(f.Name), f.CodeSize());
  }

  void Function2(const TSWFActionDefineFunction2& f) {
    std::string head = std::string("DefineFunction2 ") + Quoted(f.Name) + " (";
    for (size_t i = 0; i < f.Params.size(); ++i) {
      if (i) head += ", ";
      if (f.Params[i].Register) head += "r" + std::to_string(f.Params[i].Register) + " ";
      head += Escaped(f.Params[i].Name);
    }
    head += ") registers " + std::to_string(f.RegisterCount);
    const std::pair<bool, const char*> flags[] = {
        {f.PreloadParent, "preload parent"},       {f.PreloadRoot, "preload root"},
        {f.SuppressSuper, "suppress super"},       {f.PreloadSuper, "preload super"},
        {f.SuppressArguments, "suppress arguments"}, {f.PreloadArguments, "preload arguments"},
        {f.SuppressThis, "suppress this"},         {f.PreloadThis, "preload this"},
        {f.PreloadGlobal, "preload global"}};
    for (const auto& [set, text] : flags)
      if (set) head += std::string(", ") + text;
    SingleBlock(f, head, "function " + Quoted(f.Name), f.CodeSize());
  }

  void Try(const TSWFActionTry& t) {
    std::string head = "Try";
    std::string catchHead = "catch";
    if (t.HasCatch) {
      catchHead += t.CatchInRegister ? " register " + std::to_string(t.CatchRegister) : " " + Quoted(t.CatchName);
    }
    struct TPart {
      bool Present;
      size_t Slot;
      uint16_t Size;
      std::string Head;
    };
    const TPart parts[] = {{true, TSWFActionTry::kTrySlot, t.TrySize(), ""},
                           {t.HasCatch, TSWFActionTry::kCatchSlot, t.CatchSize(), catchHead},
                           {t.HasFinally, TSWFActionTry::kFinallySlot, t.FinallySize(), "finally"}};
    std::vector<std::pair<const TSWFAction*, std::string>> blocks;
    bool resolvable = true;
    for (const auto& p : parts) {
      if (!p.Present) continue;
      const TSWFAction* m = t.FindMarker(p.Slot);
      if (InList(m)) blocks.emplace_back(m, p.Head);
      else if (p.Size == 0) blocks.emplace_back(nullptr, p.Head);
      else resolvable = false;
    }
    if (!resolvable) {
      std::string s = "sizes " + std::to_string(t.TrySize()) + ", " + std::to_string(t.CatchSize()) +
                      ", " + std::to_string(t.FinallySize());
      if (t.HasCatch) s += ", " + catchHead;
      if (t.HasFinally) s += ", finally";
      Instruction("Try", s + " ; the blocks do not end inside the list");
      return;
    }
    Open(head, "Try block", std::move(blocks));
  }

  const TSWFActionList& FActions;
  std::string_view FIndent;
  std::string FOut;
  std::unordered_set<const TSWFAction*> FInList;
  std::unordered_set<const TSWFAction*> FJumpTargets;
  std::unordered_map<const TSWFAction*, std::string> FNames;
  std::vector<TBlock> FBlocks;
  const TSWFActionConstantPool* FPool = nullptr;
};

}  // namespace

std::string DisassembleActions(const TSWFActionList& actions, std::string_view indent) {
  return TDisassembler(actions, indent).Run();
}

}  // namespace tw::swf
