// The tag factory: a tag code to a new empty object of its class.
#include "swf/bitmap_tags.h"
#include "swf/action_tags.h"
#include "swf/control_tags.h"
#include "swf/shape_tags.h"
#include "swf/sprite.h"
#include "swf/tag.h"

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
    case 36: return std::make_unique<TSWFDefineBitsLossless2>();
    // display list and sprites
    case 39: return std::make_unique<TSWFDefineSprite>();
    // actions
    case 12: return std::make_unique<TSWFDoAction>();
    case 59: return std::make_unique<TSWFDoInitAction>();
    default: break;
  }
  auto raw = std::make_unique<TSWFByteCodeTag>();
  raw->RawTagID = tagCode;
  raw->Text = kUnknownTagNote;
  return raw;
}

}  // namespace tw::swf
