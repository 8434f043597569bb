#include "setup/xml_text_editor.h"

namespace quillon {

void XmlTextEditor::Edit(std::string_view xml) {
  text_.assign(xml);
  changed_ = true;
}

void XmlTextEditor::LoadFromXml(std::string_view xml) {
  text_.assign(xml);
  changed_ = false;
  ++loads_;
}

}  // namespace quillon
