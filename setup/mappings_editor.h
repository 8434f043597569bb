// MappingsEditor: what the setup dialog needs of each of its three embedded
// mappings editors, and nothing more. The window puts an editing widget
// behind it; `quillon setup` and the tests use XmlTextEditor
// (xml_text_editor.h), which holds the mapping-class XML as plain text.
//
// The dialog calls, in this order when it loads an editor: SetSetupData,
// SetFirstFieldList (and SetSecondFieldList for the data and field editors
// when it reloads them from the typed directory), SetMappingMode(true),
// LoadFromXml, SetVisible(true). When it saves, it reads Changed and XmlText.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/host_setup_data.h"
#include "quillon_export.h"

namespace quillon {

class QUILLON_API MappingsEditor {
 public:
  virtual ~MappingsEditor();

  // True when the administrator has edited the mappings since they were last
  // loaded (LoadFromXml).
  virtual bool Changed() const = 0;
  // The editor's mode switch; the dialog sets it to true before each load.
  virtual void SetMappingMode(bool on) = 0;
  // Shows a mapping-class document (mapping/conditional_mappings.h) for
  // editing; afterwards Changed is false.
  virtual void LoadFromXml(std::string_view xml) = 0;
  // The edited document as mapping-class XML.
  virtual std::string XmlText() const = 0;
  // Receives the host's setup data. The argument is passed by reference: the
  // dialog keeps, as its setup data, the object the argument holds on
  // return (an editor that leaves nullptr there changes nothing).
  virtual void SetSetupData(HostSetupData*& setupData) = 0;
  // The field lists the editor offers when mappings are written.
  virtual void SetFirstFieldList(const std::vector<std::string>& fields) = 0;
  virtual void SetSecondFieldList(const std::vector<std::string>& fields) = 0;
  virtual void SetVisible(bool visible) = 0;
};

}  // namespace quillon
