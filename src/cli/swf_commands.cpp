// swf info | dump | copy | to-xml | from-xml: read, show and copy SWF movies, and turn them into
// XML text and back.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "cli/commands.h"
#include "swf/action_disasm.h"
#include "swf/action_tags.h"
#include "swf/button_tags.h"
#include "swf/display_tags.h"
#include "swf/stream.h"
#include "swf/xml_movie.h"
#include "util/files.h"
#include "util/json.h"
#include "util/text.h"

namespace tw::cli {
namespace fs = std::filesystem;
using namespace tw::swf;

namespace {

// Loads a movie or explains in one line why it cannot be read.
std::unique_ptr<TSWFStreamReader> LoadMovie(const std::string& file) {
  auto reader = std::make_unique<TSWFStreamReader>();
  reader->LoadFromFile(file);
  if (!reader->IsSWF) {
    std::vector<uint8_t> head(3, 0);
    if (FILE* f = std::fopen(file.c_str(), "rb")) {
      head.resize(std::fread(head.data(), 1, 3, f));
      std::fclose(f);
    }
    if (head.size() == 3 && head[0] == 'Z' && head[1] == 'W' && head[2] == 'S')
      throw CommandError(file + ": an LZMA-compressed (ZWS) movie; only plain (FWS) and "
                         "zlib-compressed (CWS) movies can be read");
    throw CommandError(file + ": not a SWF movie");
  }
  return reader;
}

void CheckComplete(const TSWFStreamReader& reader, const std::string& file) {
  if (reader.Truncated()) throw CommandError(file + ": the movie is truncated");
}

std::string Pixels(int32_t twips) {
  char buf[32];
  if (twips % 20 == 0) std::snprintf(buf, sizeof buf, "%d", twips / 20);
  else std::snprintf(buf, sizeof buf, "%.2f", twips / 20.0);
  return buf;
}

std::string FormatFPS(double fps) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", fps);
  return buf;
}

void Info(const std::string& file, bool json) {
  auto reader = LoadMovie(file);
  reader->ParseTags(false, false);
  std::map<uint16_t, size_t> counts;
  for (const auto& info : reader->TagList) ++counts[info->TagCode];
  const TRect& r = reader->FrameRect();
  const auto fileSize = fs::file_size(file);
  const std::string signature(reader->Signature(), 3);
  if (json) {
    Json tags = Json::MakeArray();
    for (auto [code, n] : counts)
      tags.Push(Json::MakeObject().Set("code", code).Set("name", TagCodeName(code)).Set("count", n));
    Json out = Json::MakeObject();
    out.Set("file", file)
        .Set("signature", signature)
        .Set("compressed", reader->Compressed())
        .Set("version", reader->Version())
        .Set("fileSize", static_cast<uint64_t>(fileSize))
        .Set("headerFileSize", reader->FileSize())
        .Set("frame", Json::MakeObject()
                          .Set("xMin", r.Left / 20.0)
                          .Set("yMin", r.Top / 20.0)
                          .Set("xMax", r.Right / 20.0)
                          .Set("yMax", r.Bottom / 20.0)
                          .Set("width", (r.Right - r.Left) / 20.0)
                          .Set("height", (r.Bottom - r.Top) / 20.0))
        .Set("frameRate", reader->FPS())
        .Set("frameCount", reader->FrameCount())
        .Set("tagCount", reader->TagList.size())
        .Set("tags", std::move(tags));
    std::cout << out.Dump() << "\n";
  } else {
    std::cout << "File:        " << file << "\n"
              << "Signature:   " << signature
              << (reader->Compressed() ? " (zlib-compressed)" : " (plain)") << "\n"
              << "Version:     " << int{reader->Version()} << "\n"
              << "File size:   " << fileSize << " bytes (" << reader->FileSize()
              << " uncompressed)\n"
              << "Frame:       " << Pixels(r.Right - r.Left) << " x " << Pixels(r.Bottom - r.Top)
              << " pixels, from (" << Pixels(r.Left) << ", " << Pixels(r.Top) << ") to ("
              << Pixels(r.Right) << ", " << Pixels(r.Bottom) << ")\n"
              << "Frame rate:  " << FormatFPS(reader->FPS()) << " fps\n"
              << "Frames:      " << reader->FrameCount() << "\n"
              << "Tags:        " << reader->TagList.size() << "\n";
    for (auto [code, n] : counts) {
      char line[96];
      std::snprintf(line, sizeof line, "  %-30s %3u %6zu\n", TagCodeName(code), code, n);
      std::cout << line;
    }
  }
  std::cout.flush();
  CheckComplete(*reader, file);
}

// The action lists a tag holds: frame actions, clip actions per event set, button actions per
// condition.
void DumpActions(const TSWFObject& tag, const std::string& indent) {
  if (const auto* doAction = dynamic_cast<const TSWFDoAction*>(&tag)) {
    std::cout << DisassembleActions(doAction->Actions(), indent);
  } else if (const auto* place = dynamic_cast<const TSWFPlaceObject2*>(&tag)) {
    if (!place->HasClipActions || !place->FindClipActions()) return;
    for (const auto& record : place->FindClipActions()->Records) {
      std::cout << indent << "on " << ClipEventNames(record->EventFlags);
      if (record->EventFlags & ceKeyPress) std::cout << " key=" << int{record->KeyCode};
      std::cout << ":\n" << DisassembleActions(record->Actions, indent + "  ");
    }
  } else if (const auto* button = dynamic_cast<const TSWFDefineButton*>(&tag)) {
    std::cout << DisassembleActions(button->Actions, indent);
  } else if (const auto* button2 = dynamic_cast<const TSWFDefineButton2*>(&tag)) {
    for (const auto& action : button2->CondActions) {
      std::cout << indent << "on";
      if (action->Conditions) std::cout << " " << ButtonConditionNames(action->Conditions);
      if (action->KeyPress) std::cout << " key=" << int{action->KeyPress};
      std::cout << ":\n" << DisassembleActions(action->Actions, indent + "  ");
    }
  }
}

void DumpTag(const TSWFTagInfo& info, int level, bool actions) {
  const TSWFObject* tag = info.TagObject();
  std::string name(static_cast<size_t>(2 * level), ' ');
  name += tag ? TagClassName(*tag) : TagCodeName(info.TagCode);
  char head[128];
  if (level == 0)
    std::snprintf(head, sizeof head, "%5u %3u %-32s %8u", info.FrameNumber, info.TagCode,
                  name.c_str(), info.TagLength);
  else
    std::snprintf(head, sizeof head, "%5s %3u %-32s %8u", "", info.TagCode, name.c_str(),
                  info.TagLength);
  std::string line = head;
  if (tag) {
    TSWFFields fields;
    tag->Describe(fields);
    for (const auto& [key, value] : fields) line += "  " + key + "=" + ToUtf8(value);
  }
  std::cout << line << "\n";
  if (actions && tag) DumpActions(*tag, std::string(6 + 2 * level, ' '));
  for (const auto& sub : info.SubTags) DumpTag(*sub, level + 1, actions);
}

void Dump(const std::string& file, bool actions) {
  auto reader = LoadMovie(file);
  reader->ParseTags(true, actions);
  std::cout << "frame code class                              length  fields\n";
  for (const auto& info : reader->TagList) DumpTag(*info, 0, actions);
  std::cout.flush();
  CheckComplete(*reader, file);
}

void Copy(const std::string& in, const std::string& out, bool compress, bool plain) {
  auto reader = LoadMovie(in);
  CheckComplete(*reader, in);
  reader->ParseTags(true, true);
  CheckComplete(*reader, in);
  reader->BuildBody();
  if (compress) reader->SetCompressed(true);
  if (plain) reader->SetCompressed(false);
  reader->SaveToFile(out);
}

// The movie read as `copy` reads it, as XML on standard output or in a file.
void ToXml(const std::string& in, const std::string& out) {
  auto reader = LoadMovie(in);
  CheckComplete(*reader, in);
  reader->ParseTags(true, true);
  CheckComplete(*reader, in);
  if (out.empty() || out == "-") {
    WriteMovieXml(*reader, std::cout);
    return;
  }
  WriteFileAtomic(out, [&](const fs::path& temp) {
    std::ofstream file(temp, std::ios::binary);
    WriteMovieXml(*reader, file);
    file.close();
    if (!file) throw CommandError(out + ": cannot be written");
  });
}

// Nothing is written unless the whole text compiles.
void FromXml(const std::string& in, const std::string& out) {
  const auto bytes = ReadWholeFile(in);
  std::unique_ptr<TSWFStreamReader> movie;
  try {
    movie = ReadMovieXml({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, in);
  } catch (const ESWFXmlError&) {
    throw;
  } catch (const std::exception& e) {
    throw CommandError(in + ": " + e.what());
  }
  movie->SaveToFile(out);
}

}  // namespace

void AddSwfCommands(CLI::App& app) {
  auto* swf = app.add_subcommand("swf", "Read, show and copy SWF movies, and turn them into XML and back");
  swf->require_subcommand(1);

  // The options live as long as the app: each command owns its own set.
  struct InfoOptions { std::string file; bool json = false; };
  auto infoOpts = std::make_shared<InfoOptions>();
  auto* info = swf->add_subcommand("info", "Header values and the number of tags of each kind");
  info->add_option("FILE", infoOpts->file, "The movie")->required();
  info->add_flag("--json", infoOpts->json, "Print JSON");
  info->callback([infoOpts] { Info(infoOpts->file, infoOpts->json); });

  struct DumpOptions { std::string file; bool actions = false; };
  auto dumpOpts = std::make_shared<DumpOptions>();
  auto* dump = swf->add_subcommand("dump", "One line per tag, with the main fields of its class");
  dump->add_option("FILE", dumpOpts->file, "The movie")->required();
  dump->add_flag("--actions", dumpOpts->actions,
                 "Decode the action records and print each action list as assembly");
  dump->callback([dumpOpts] { Dump(dumpOpts->file, dumpOpts->actions); });

  struct CopyOptions { std::string in, out; bool compress = false, plain = false; };
  auto copyOpts = std::make_shared<CopyOptions>();
  auto* copy = swf->add_subcommand(
      "copy", "Read every tag into objects, rebuild the body and write the movie again");
  copy->add_option("IN", copyOpts->in, "The movie to read")->required();
  copy->add_option("OUT", copyOpts->out, "The movie to write")->required();
  auto* c = copy->add_flag("--compress", copyOpts->compress, "Write zlib-compressed (CWS)");
  auto* p = copy->add_flag("--plain", copyOpts->plain, "Write uncompressed (FWS)");
  c->excludes(p);
  copy->callback([copyOpts] {
    Copy(copyOpts->in, copyOpts->out, copyOpts->compress, copyOpts->plain);
  });

  struct XmlOptions { std::string in, out; };
  auto toXmlOpts = std::make_shared<XmlOptions>();
  auto* toXml = swf->add_subcommand(
      "to-xml", "Write the movie as XML text: every tag, record and action, editable by hand");
  toXml->add_option("IN", toXmlOpts->in, "The movie to read")->required();
  toXml->add_option("-o,--output", toXmlOpts->out, "The XML file (standard output without it)");
  toXml->callback([toXmlOpts] { ToXml(toXmlOpts->in, toXmlOpts->out); });

  auto fromXmlOpts = std::make_shared<XmlOptions>();
  auto* fromXml = swf->add_subcommand(
      "from-xml", "Compile a movie from its XML text (as written by to-xml, edited or not)");
  fromXml->add_option("IN", fromXmlOpts->in, "The XML file")->required();
  fromXml->add_option("-o,--output", fromXmlOpts->out, "The movie to write")->required();
  fromXml->callback([fromXmlOpts] { FromXml(fromXmlOpts->in, fromXmlOpts->out); });
}

}  // namespace tw::cli
