// Buttons: the DefineButton2 (and DefineButtonSound) a button writes, read back by our reader from
// the saved movie: records with their states, matrices and colour transforms, the scripts of
// its events compiled by the compiler, the order of definitions and the version it needs.
#include <gtest/gtest.h>

#include "builder/movie.h"
#include "builder/objects_support.h"
#include "builder/sound.h"
#include "swf/button_tags.h"
#include "swf/errors.h"

namespace tw::builder {
namespace {

using namespace tw::swf;
using namespace tw::test;

struct TPixelMovie : TFlashMovie {
  explicit TPixelMovie(uint8_t version) : TFlashMovie(0, 0, 200, 100, 12, TSystemCoord::Pix) {
    SetVersion(version);
  }
};

std::string ActionCodes(const TSWFActionList& list) {
  std::string out;
  for (size_t i = 0; i < list.Count(); ++i) out += (out.empty() ? "" : " ") + std::to_string(list[i].ActionCode);
  return out;
}

TEST(Button, StatesScriptsAndSoundsReadBack) {
  TempDir dir;
  const std::filesystem::path wav = dir / "click.wav";
  ASSERT_EQ(RunCommand({"sox", "-q", "-n", "-r", "11025", "-c", "1", "-b", "16", wav.string(), "synth", "0.1",
                        "sine", "440"}).status, 0);

  TPixelMovie movie(6);
  TFlashButton& button = movie.AddButton();
  // Drawn after the button: the builder moves them in front of it.
  TFlashShape& up = movie.AddRectangle(0, 0, 40, 20);
  up.SetSolidColor(TSWFRGB{255, 0, 0});
  TFlashShape& over = movie.AddRectangle(0, 0, 40, 20);
  over.SetSolidColor(TSWFRGB{0, 255, 0});
  TFlashSprite& down = movie.AddSprite(&over);
  TFlashSound& sound = movie.AddSound(wav.string());

  button.AddRecord(up, bsUp | bsHitTest, 5, 6);
  TSWFButtonRecord& overRecord = button.Over(over);
  overRecord.ColorTransform().SetMultR(128);
  button.AddRecord(down, bsDown, 0, 0, 9).Matrix.SetScale(2, 2);
  ASSERT_TRUE(button.CompileActions("on(press) { trace(\"down\"); }\n"
                                    "on(release, keyPress \"<Enter>\") { stop(); }"));
  button.OnRollOut().Stop();
  EXPECT_EQ(&button.OnPress(), &button.OnEvent(bePress));
  button.SetSound(bseIdleToOverUp, sound).SetLoopCount(2);
  movie.PlaceObject(button, 1).SetPosition(50, 40);
  movie.ShowFrame();

  auto read = Reread(movie, true);
  // Shapes, sprite and sound come before the button that uses them; its sounds follow it.
  EXPECT_EQ(TagCodes(*read), "22 22 39 14 34 17 26 1 0");
  auto* tag = FindTag<TSWFDefineButton2>(*read, 34);
  ASSERT_TRUE(tag);
  EXPECT_EQ(tag->ButtonId, button.CharacterId());
  ASSERT_EQ(tag->Records.size(), 3u);
  struct TRecordCase {
    uint16_t Id;
    uint8_t States;
    uint16_t Depth;
    int32_t X, Y;
    double Scale;
  };
  const TRecordCase expected[] = {
      {up.CharacterId(), bsUp | bsHitTest, 1, 100, 120, 1},
      {over.CharacterId(), bsOver, 2, 0, 0, 1},
      {down.CharacterId(), bsDown, 9, 0, 0, 2},
  };
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const TSWFButtonRecord& r = *tag->Records[i];
    EXPECT_EQ(r.CharacterId, expected[i].Id);
    EXPECT_EQ(r.States, expected[i].States);
    EXPECT_EQ(r.PlaceDepth, expected[i].Depth);
    EXPECT_EQ(r.Matrix.TranslateX, expected[i].X);
    EXPECT_EQ(r.Matrix.TranslateY, expected[i].Y);
    EXPECT_NEAR(r.Matrix.HasScale ? r.Matrix.ScaleXf() : 1.0, expected[i].Scale, 1e-4);
  }
  ASSERT_TRUE(tag->Records[1]->FindColorTransform());
  EXPECT_EQ(tag->Records[1]->FindColorTransform()->MultR, 128);

  // One condition per handler, the key apart from the mouse, each compiled.
  ASSERT_EQ(tag->CondActions.size(), 4u);
  struct TCondCase {
    uint16_t Conditions;
    uint8_t Key;
    std::string Actions;
  };
  const TCondCase conds[] = {
      {bcOverUpToOverDown, 0, "136 150 38"},  // ConstantPool, Push "down", Trace
      {bcOverDownToOverUp, 0, "7"},       // Stop
      {0, 13, "7"},
      {bcOverUpToIdle, 0, "7"},
  };
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(tag->CondActions[i]->Conditions, conds[i].Conditions);
    EXPECT_EQ(tag->CondActions[i]->KeyPress, conds[i].Key);
    EXPECT_EQ(ActionCodes(tag->CondActions[i]->Actions), conds[i].Actions);
  }

  auto* sounds = FindTag<TSWFDefineButtonSound>(*read, 17);
  ASSERT_TRUE(sounds);
  EXPECT_EQ(sounds->ButtonId, button.CharacterId());
  ASSERT_TRUE(sounds->FindSound(bseIdleToOverUp));
  EXPECT_EQ(sounds->FindSound(bseIdleToOverUp)->ID, sound.CharacterId());
  EXPECT_EQ(sounds->FindSound(bseIdleToOverUp)->LoopCount(), 2);
  for (TSWFButtonSoundEntry other : {bseOverUpToIdle, bseOverUpToOverDown, bseOverDownToOverUp})
    EXPECT_FALSE(sounds->FindSound(other)) << int(other);
}

TEST(Button, AnImageStateIsAShapeFilledWithIt) {
  TPixelMovie movie(6);
  TFlashButton& button = movie.AddButton();
  TFlashImage& image = movie.AddImage();
  // A BMP of one red pixel.
  image.LoadDataFromStream(Hex("424d3a00000000000000360000002800000001000000010000000100200000000000040000"
                               "00000000000000000000000000000000000000ffff"));
  button.AddRecord(image, bsUp | bsOver | bsDown | bsHitTest);
  auto read = Reread(movie);
  // The bitmap, then the shape showing it, then the button.
  const std::string codes = TagCodes(*read);
  ASSERT_EQ(codes.substr(codes.find(' ') + 1), "22 34 0");
  auto* tag = FindTag<TSWFDefineButton2>(*read, 34);
  ASSERT_TRUE(tag);
  ASSERT_EQ(tag->Records.size(), 1u);
  EXPECT_EQ(tag->Records[0]->CharacterId, movie.Shapes.Last()->CharacterId());
  EXPECT_EQ(movie.Shapes.Last()->FillStyles.at(0)->FillType, kFillClippedBitmap);
}

TEST(Button, VersionRisesWithWhatItHolds) {
  struct TCase {
    const char* What;
    void (*Fill)(TFlashMovie&, TFlashButton&);
    int Version;
  };
  const TCase cases[] = {
      {"records only", [](TFlashMovie&, TFlashButton&) {}, 3},
      {"a trace (version 4)",
       [](TFlashMovie&, TFlashButton& b) { b.OnRelease().Trace(); }, 4},
      {"a blend mode",
       [](TFlashMovie& m, TFlashButton& b) {
         TSWFButtonRecord& r = b.Up(*m.Shapes[0]);
         r.HasBlendMode = true;
         r.BlendMode = 3;
       },
       8},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TPixelMovie movie(3);
    movie.AddRectangle(0, 0, 10, 10).SetSolidColor(TSWFRGB{0, 0, 0});
    TFlashButton& button = movie.AddButton();
    button.Hit(*movie.Shapes[0]);
    c.Fill(movie, button);
    EXPECT_EQ(button.MinVersion(), c.Version);
    EXPECT_EQ(Reread(movie)->Version(), c.Version);
  }
}

TEST(Button, BadActionSourceIsReportedNotWritten) {
  const char* sources[] = {
      "onClipEvent(load) { stop(); }",  // a clip event on a button
      "on(press) { stop();",            // the block never closes
      "on(sing) { stop(); }",           // no such event
      "on(press) { stop( }",            // the compiler refuses the body
  };
  for (const char* source : sources) {
    SCOPED_TRACE(source);
    TPixelMovie movie(6);
    TFlashButton& button = movie.AddButton();
    EXPECT_FALSE(button.CompileActions(source));
    EXPECT_FALSE(movie.ErrorText().empty());
  }
}

TEST(Button, AssignCopiesRecordsScriptsAndSounds) {
  TPixelMovie movie(6);
  TFlashShape& shape = movie.AddRectangle(0, 0, 10, 10);
  TFlashButton& button = movie.AddButton();
  button.Up(shape);
  button.OnPress().Stop();
  TFlashButton copy(&movie);
  copy.Assign(button);
  EXPECT_EQ(copy.CharacterId(), button.CharacterId());
  ASSERT_EQ(copy.ButtonTag().Records.size(), 1u);
  EXPECT_EQ(copy.ButtonTag().Records[0]->CharacterId, shape.CharacterId());
  // The copy's scripts are its own.
  copy.OnPress().Play();
  EXPECT_EQ(ActionCodes(copy.ButtonTag().CondActions[0]->Actions), "7 6");
  EXPECT_EQ(ActionCodes(button.ButtonTag().CondActions[0]->Actions), "7");
}

}  // namespace
}  // namespace tw::builder
