#include "setup/mappings_editor.h"

namespace quillon {

MappingsEditor::~MappingsEditor() = default;

}  // namespace quillon
