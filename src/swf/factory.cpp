// The tag factory: a tag code to a new empty object of its class.
#include "swf/abc.h"
#include "swf/action_tags.h"
#include "swf/bitmap_tags.h"
#include "swf/button_tags.h"
#include "swf/control_tags.h"
#include "swf/display_tags.h"
#include "swf/font_tags.h"
#include "swf/shape_tags.h"
#include "swf/sound_tags.h"
#include "swf/sprite.h"
#include "swf/tag.h"
#include "swf/text_tags.h"
#include "swf/video_tags.h"

namespace tw::swf {

std::unique_ptr<TSWFObject> CreateTagObject(uint16_t tagCode) {
  switch (tagCode) {
    // control tags
    case 0: return std::make_unique<TSWFEnd>();
    case 1: return std::make_unique<TSWFShowFrame>();
    case 9: return std::make_unique<TSWFSetBackgroundColor>();
    case 24: return std::make_unique<TSWFProtect>();
    case 41: return std::make_unique<TSWFProductInfo>();
    case 43: return std::make_unique<TSWFFrameLabel>();
    case 56: return std::make_unique<TSWFExportAssets>();
    case 57: return std::make_unique<TSWFImportAssets>();
    case 58: return std::make_unique<TSWFEnableDebugger>();
    case 64: return std::make_unique<TSWFEnableDebugger2>();
    case 65: return std::make_unique<TSWFScriptLimits>();
    case 66: return std::make_unique<TSWFSetTabIndex>();
    case 69: return std::make_unique<TSWFFileAttributes>();
    case 71: return std::make_unique<TSWFImportAssets2>();
    case 76: return std::make_unique<TSWFSymbolClass>();
    case 77: return std::make_unique<TSWFMetadata>();
    case 78: return std::make_unique<TSWFDefineScalingGrid>();
    case 86: return std::make_unique<TSWFDefineSceneAndFrameLabelData>();
    case 87: return std::make_unique<TSWFDefineBinaryData>();
    // shapes and morph shapes
    case 2: return std::make_unique<TSWFDefineShape>();
    case 22: return std::make_unique<TSWFDefineShape2>();
    case 32: return std::make_unique<TSWFDefineShape3>();
    case 83: return std::make_unique<TSWFDefineShape4>();
    case 46: return std::make_unique<TSWFDefineMorphShape>();
    case 84: return std::make_unique<TSWFDefineMorphShape2>();
    // bitmaps
    case 6: return std::make_unique<TSWFDefineBits>();
    case 8: return std::make_unique<TSWFJPEGTables>();
    case 20: return std::make_unique<TSWFDefineBitsLossless>();
    case 21: return std::make_unique<TSWFDefineBitsJPEG2>();
    case 35: return std::make_unique<TSWFDefineBitsJPEG3>();
    case 90: return std::make_unique<TSWFDefineBitsJPEG4>();
    case 36: return std::make_unique<TSWFDefineBitsLossless2>();
    // display list and sprites
    case 4: return std::make_unique<TSWFPlaceObject>();
    case 5: return std::make_unique<TSWFRemoveObject>();
    case 26: return std::make_unique<TSWFPlaceObject2>();
    case 28: return std::make_unique<TSWFRemoveObject2>();
    case 70: return std::make_unique<TSWFPlaceObject3>();
    case 39: return std::make_unique<TSWFDefineSprite>();
    // buttons
    case 7: return std::make_unique<TSWFDefineButton>();
    case 17: return std::make_unique<TSWFDefineButtonSound>();
    case 23: return std::make_unique<TSWFDefineButtonCxform>();
    case 34: return std::make_unique<TSWFDefineButton2>();
    // actions
    case 12: return std::make_unique<TSWFDoAction>();
    case 59: return std::make_unique<TSWFDoInitAction>();
    // fonts
    case 10: return std::make_unique<TSWFDefineFont>();
    case 13: return std::make_unique<TSWFDefineFontInfo>();
    case 48: return std::make_unique<TSWFDefineFont2>();
    case 62: return std::make_unique<TSWFDefineFontInfo2>();
    case 73: return std::make_unique<TSWFDefineFontAlignZones>();
    case 75: return std::make_unique<TSWFDefineFont3>();
    case 88: return std::make_unique<TSWFDefineFontName>();
    case 91: return std::make_unique<TSWFDefineFont4>();
    // texts
    case 11: return std::make_unique<TSWFDefineText>();
    case 33: return std::make_unique<TSWFDefineText2>();
    case 37: return std::make_unique<TSWFDefineEditText>();
    case 74: return std::make_unique<TSWFCSMTextSettings>();
    // sounds
    case 14: return std::make_unique<TSWFDefineSound>();
    case 15: return std::make_unique<TSWFStartSound>();
    case 18: return std::make_unique<TSWFSoundStreamHead>();
    case 19: return std::make_unique<TSWFSoundStreamBlock>();
    case 45: return std::make_unique<TSWFSoundStreamHead2>();
    case 89: return std::make_unique<TSWFStartSound2>();
    // video
    case 60: return std::make_unique<TSWFDefineVideoStream>();
    case 61: return std::make_unique<TSWFVideoFrame>();
    // ActionScript 3
    case 82: return std::make_unique<TSWFDoABC>();
    default: break;
  }
  auto raw = std::make_unique<TSWFByteCodeTag>();
  raw->RawTagID = tagCode;
  raw->Text = kUnknownTagNote;
  return raw;
}

}  // namespace tw::swf
