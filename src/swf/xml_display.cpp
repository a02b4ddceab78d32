// Display-list and button tags as XML.
#include "swf/button_tags.h"
#include "swf/display_tags.h"
#include "swf/xml.h"

namespace tw::swf {

// ---- removals ------------------------------------------------------------------------------------

void TSWFRemoveObject::WriteXml(TSWFXmlWriter& xml) {
  xml.Int("CharacterId", CharacterId);
  xml.Int("Depth", Depth);
}
void TSWFRemoveObject::ReadXml(const TSWFXmlNode& node) {
  CharacterId = node.Get<uint16_t>("CharacterId");
  Depth = node.Get<uint16_t>("Depth");
}

void TSWFRemoveObject2::WriteXml(TSWFXmlWriter& xml) { xml.Int("Depth", Depth); }
void TSWFRemoveObject2::ReadXml(const TSWFXmlNode& node) { Depth = node.Get<uint16_t>("Depth"); }

}  // namespace tw::swf
