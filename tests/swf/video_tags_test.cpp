// Video tags against bytes cut out of real movies.
#include "swf/video_tags.h"

#include "tag_case_table.h"

namespace tw::test {
namespace {
using namespace tw::swf;

TEST(VideoTags, ReadAndWriteRealBytes) {
  const TagCase<TSWFDefineVideoStream> streams[] = {
      {"four H.263 frames of 8 by 8", "swfcrate__DefineVideoStream.swf", 3,
       [](const TSWFDefineVideoStream& t) {
         EXPECT_EQ(t.ID, 1);
         EXPECT_EQ(t.NumFrames, 4);
         EXPECT_EQ(t.Width, 8);
         EXPECT_EQ(t.Height, 8);
         EXPECT_EQ(t.Codec, 2);
         EXPECT_EQ(t.VideoFlagsDeblocking, 0);
         EXPECT_FALSE(t.VideoFlagsSmoothing);
         EXPECT_EQ(t.MinVersion(), 6);
       }},
      {"one VP6 frame of 640 by 480", "visual__video__vp6_dispsize__test.swf", 1,
       [](const TSWFDefineVideoStream& t) {
         EXPECT_EQ(t.ID, 0);
         EXPECT_EQ(t.Width, 640);
         EXPECT_EQ(t.Height, 480);
         EXPECT_EQ(t.Codec, 4);
       }},
  };
  CheckTagCases<TSWFDefineVideoStream>(streams);

  const TagCase<TSWFVideoFrame> frames[] = {
      {"the first frame", "swfcrate__DefineVideoStream.swf", 5,
       [](const TSWFVideoFrame& t) {
         EXPECT_EQ(t.ID, 1);
         EXPECT_EQ(t.FrameNum, 0);
         EXPECT_EQ(t.DataSize(), 14u);
       }},
      {"the last frame", "swfcrate__DefineVideoStream.swf", 16,
       [](const TSWFVideoFrame& t) {
         EXPECT_EQ(t.FrameNum, 3);
         EXPECT_EQ(t.DataSize(), 8u);
       }},
  };
  CheckTagCases<TSWFVideoFrame>(frames);
}

TEST(VideoTags, FlagsAndVersions) {
  TSWFDefineVideoStream stream;
  stream.VideoFlagsDeblocking = 5;
  stream.VideoFlagsSmoothing = true;
  stream.Codec = 3;
  const Bytes body = WriteBody(stream);
  EXPECT_EQ(ToHex(body), "00 00 00 00 00 00 00 00 0B 03");
  const auto back = ReadTag<TSWFDefineVideoStream>(body);
  EXPECT_EQ(back->VideoFlagsDeblocking, 5);
  EXPECT_TRUE(back->VideoFlagsSmoothing);
  EXPECT_EQ(back->MinVersion(), 7);  // screen video
  // Always the long header, even for ten bytes.
  EXPECT_EQ(WriteWhole(stream).size(), 16u);
}

TEST(VideoTags, FramesReferToTheirStream) {
  TSWFDefineVideoStream stream;
  stream.ID = 2;
  TSWFVideoFrame frame;
  frame.ID = 2;
  std::vector<uint16_t> seen;
  stream.VisitDefinedIDs([&](uint16_t& id) { seen.push_back(id); });
  frame.VisitReferencedIDs([&](uint16_t& id) { seen.push_back(id); });
  EXPECT_EQ(seen, (std::vector<uint16_t>{2, 2}));
}

}  // namespace
}  // namespace tw::test
