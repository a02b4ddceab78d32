#include "asc/classes.h"

#include <algorithm>
#include <system_error>

#include "asc/parser.h"
#include "util/files.h"
#include "util/text.h"

namespace tw::asc {
namespace fs = std::filesystem;

namespace {

// A class file larger than this is not a class.
constexpr uint64_t kMaxClassFile = 4u << 20;

// The classes the player itself has: type annotations may name them.
bool IsBuiltinType(const std::string& name) {
  static const std::set<std::string> kTypes = {
      "Accessibility", "Array", "Boolean", "Button", "Camera", "Color", "ContextMenu",
      "ContextMenuItem", "CustomActions", "Date", "Error", "Function", "Key", "LoadVars",
      "LocalConnection", "Math", "Microphone", "Mouse", "MovieClip", "MovieClipLoader",
      "NetConnection", "NetStream", "Number", "Object", "PrintJob", "Selection", "SharedObject",
      "Sound", "Stage", "String", "System", "TextField", "TextFormat", "TextSnapshot", "Video",
      "Void", "XML", "XMLNode", "XMLSocket"};
  return kTypes.contains(name) || name.starts_with("flash.");
}

// Whether the statements of a constructor call the constructor of the class extended.
bool CallsSuper(const TStmtList& body) {
  return std::any_of(body.begin(), body.end(), [](const TStmtPtr& s) {
    if (s->Kind != TStmtKind::Expression) return false;
    const TExpr& e = *As<SExpression>(*s).Expr;
    return e.Kind == TExprKind::Call && As<ECall>(e).Callee->Kind == TExprKind::Identifier &&
           As<EIdentifier>(*As<ECall>(e).Callee).Name == "super";
  });
}

}  // namespace

struct TClassTable::TEntry {
  TProgram Program;
  SClass* Class = nullptr;
  TMemberNames Members;
  bool Resolved = false;
};

TClassTable::TClassTable(std::vector<fs::path> classPath, TSourceNames& names)
    : FClassPath(std::move(classPath)), FNames(names) {}

TClassTable::~TClassTable() = default;

void TClassTable::AddImports(const TProgram& program) {
  for (const auto& s : program.Body) {
    if (s->Kind != TStmtKind::Import) continue;
    const auto& i = As<SImport>(*s);
    TFileContext& file = FFiles[s->Pos.File];
    (i.Wildcard ? file.Packages : file.Classes).push_back(i.Name.Name);
  }
}

void TClassTable::CheckTypes(const TProgram& program) {
  for (const TTypeRef& t : program.Types)
    if (!IsBuiltinType(t.Name) && !FindClass(t.Name, t.Pos))
      throw ECompileError(FNames, t.Pos,
                          "the type " + QuoteForMessage(t.Name) +
                              " is neither a class of the player nor one found in the class path");
}

std::optional<fs::path> TClassTable::FileOf(const std::string& qualified) const {
  std::string relative = qualified;
  std::replace(relative.begin(), relative.end(), '.', '/');
  relative += ".as";
  for (const fs::path& dir : FClassPath) {
    std::error_code error;
    const fs::path file = dir / relative;
    if (fs::is_regular_file(file, error)) return file;
  }
  return std::nullopt;
}

std::optional<std::string> TClassTable::FindClass(const std::string& name, TSourcePos where) {
  if (name.empty() || name.starts_with('_') || FClassPath.empty()) return std::nullopt;
  std::vector<std::string> candidates;
  if (name.find('.') != std::string::npos) {
    candidates.push_back(name);
  } else {
    const auto it = FFiles.find(where.File);
    if (it != FFiles.end()) {
      const TFileContext& file = it->second;
      if (!file.Package.empty()) candidates.push_back(file.Package + "." + name);
      for (const std::string& c : file.Classes)
        if (c.size() > name.size() && c.ends_with("." + name)) candidates.push_back(c);
      for (const std::string& p : file.Packages) candidates.push_back(p + "." + name);
    }
    candidates.push_back(name);
  }
  for (const std::string& c : candidates) {
    if (FClasses.contains(c)) return c;
    if (auto file = FileOf(c)) {
      Load(c, *file, where);
      return c;
    }
  }
  return std::nullopt;
}

void TClassTable::Load(const std::string& qualified, const fs::path& file, TSourcePos where) {
  if (FNames.size() >= UINT16_MAX)
    throw ECompileError(FNames, where, "too many class files");
  std::vector<uint8_t> bytes;
  try {
    bytes = ReadWholeFile(file, kMaxClassFile);
  } catch (const std::exception& e) {
    throw ECompileError(FNames, where, "the class " + QuoteForMessage(qualified) +
                                           " cannot be read: " + e.what());
  }
  const auto index = static_cast<uint16_t>(FNames.size());
  FNames.push_back(file.string());
  const std::string text = ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                                   bytes.size()));
  auto entry = std::make_unique<TEntry>();
  entry->Program = ParseClassFile(text, FNames.back(), {1, 1, index}, qualified);
  entry->Class = &As<SClass>(*entry->Program.Body.back());
  TEntry& e = *entry;
  SClass& c = *e.Class;
  FFiles[index].Package = qualified.substr(0, qualified.rfind('.') == std::string::npos
                                                  ? 0
                                                  : qualified.rfind('.'));
  AddImports(e.Program);
  FClasses[qualified] = std::move(entry);
  FInOrderRead.push_back(&e);

  // What it extends and implements comes first, and may not come back to it.
  FLoading.insert(qualified);
  if (c.HasBase) c.BaseName = Require(c.Base, false);
  for (const TTypeRef& i : c.Interfaces) c.InterfaceNames.push_back(Require(i, true));
  FLoading.erase(qualified);

  e.Members.ClassName = qualified;
  if (!c.BaseName.empty()) e.Members.Static = FClasses.at(c.BaseName)->Members.Static;
  for (const TClassMember& m : c.Members) e.Members.Static[m.Name] = m.Static;
  if (c.IsInterface) return;
  if (!c.Constructor) {
    c.Constructor = std::make_unique<TFunction>();
    c.Constructor->Pos = c.Pos;
    c.Constructor->IsConstructor = true;
  }
  // A constructor that does not call the one of the class it extends calls it first of all.
  if (!c.BaseName.empty() && !CallsSuper(c.Constructor->Body)) {
    auto call = std::make_unique<ECall>(c.Constructor->Pos,
                                        std::make_unique<EIdentifier>(c.Constructor->Pos, "super"));
    c.Constructor->Body.insert(c.Constructor->Body.begin(),
                               std::make_unique<SExpression>(c.Constructor->Pos, std::move(call)));
  }
  c.Constructor->Members = &e.Members;
  for (TClassMember& m : c.Members)
    if (m.Fn) m.Fn->Members = &e.Members;
}

std::string TClassTable::Require(const TTypeRef& type, bool wantInterface) {
  const auto found = FindClass(type.Name, type.Pos);
  if (!found)
    throw ECompileError(FNames, type.Pos,
                        "the " + std::string(wantInterface ? "interface " : "class ") +
                            QuoteForMessage(type.Name) + " is not found in the class path");
  if (FLoading.contains(*found))
    throw ECompileError(FNames, type.Pos,
                        QuoteForMessage(*found) + " would extend itself through this name");
  const SClass& c = *FClasses.at(*found)->Class;
  if (c.IsInterface != wantInterface)
    throw ECompileError(FNames, type.Pos,
                        QuoteForMessage(*found) + (c.IsInterface ? " is an interface: a class "
                                                                     "implements it"
                                                                   : " is a class: an interface "
                                                                     "cannot stand here"));
  return *found;
}

void TClassTable::ResolveAll(int version) {
  // Resolving a class may read more of them.
  for (size_t i = 0; i < FInOrderRead.size(); ++i) {
    TEntry& e = *FInOrderRead[i];
    if (e.Resolved) continue;
    e.Resolved = true;
    CheckTypes(e.Program);
    ResolveScopes(e.Program, version, FNames, this);
  }
}

void TClassTable::Order(const std::string& name, std::vector<const SClass*>& out,
                        std::set<std::string>& done) const {
  if (!done.insert(name).second) return;
  const SClass& c = *FClasses.at(name)->Class;
  if (!c.BaseName.empty()) Order(c.BaseName, out, done);
  for (const std::string& i : c.InterfaceNames) Order(i, out, done);
  out.push_back(&c);
}

std::vector<const SClass*> TClassTable::Ordered() const {
  std::vector<const SClass*> out;
  std::set<std::string> done;
  for (const TEntry* e : FInOrderRead) Order(e->Class->Name, out, done);
  return out;
}

}  // namespace tw::asc
