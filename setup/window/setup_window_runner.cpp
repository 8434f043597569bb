#include "setup/window/setup_window_runner.h"

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include <QApplication>
#include <QPixmap>
#include <QStandardItemModel>
#include <QString>
#include <QTabWidget>

#include "host/host_setup_data.h"
#include "platform/os_services.h"
#include "setup/release_setup_script.h"
#include "setup/setup_controller.h"
#include "setup/window/mappings_editor_widget.h"
#include "setup/window/qt_message_boxes.h"
#include "setup/window/setup_dialog_window.h"

namespace quillon {
namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// A QApplication for the run when the process has none yet.
std::unique_ptr<QApplication> EnsureApplication() {
  if (QApplication::instance() != nullptr) return nullptr;
  static int argc = 1;
  static char name[] = "quillon";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QApplication>(argc, argv);
}

// Shows the messages as message boxes and keeps their texts.
class RecordedQtMessageBoxes final : public platform::MessageBoxService {
 public:
  platform::MessageAnswer Show(const platform::MessageBoxRequest& request) override {
    messages.push_back(request.text);
    return boxes.Show(request);
  }
  QtMessageBoxes boxes;
  std::vector<std::string> messages;
};

// The Qt window, remembering after it closed whether it saved.
class RecordedWindow final : public SetupWindow {
 public:
  RecordedWindow(QtMessageBoxes& boxes, bool& saved) : boxes_(boxes), saved_(saved) {
    boxes_.SetOwner(&window_.Window());
  }
  ~RecordedWindow() override { boxes_.SetOwner(nullptr); }
  RecordedWindow(const RecordedWindow&) = delete;
  RecordedWindow& operator=(const RecordedWindow&) = delete;
  MappingsEditor& Editor(MappingLevel level) override { return window_.Editor(level); }
  FolderPicker& Folders() override { return window_.Folders(); }
  DocumentOpener& Documents() override { return window_.Documents(); }
  void ShowModal(SetupController& dialog) override {
    window_.ShowModal(dialog);
    saved_ = window_.Saved();
  }

 private:
  QtSetupWindow window_;
  QtMessageBoxes& boxes_;
  bool& saved_;
};

// Answers every message with its default button and shows nothing.
class SilentMessageBoxes final : public platform::MessageBoxService {
 public:
  platform::MessageAnswer Show(const platform::MessageBoxRequest& request) override {
    return platform::DefaultAnswer(request);
  }
};

// The class with the most conditions and field mappings (the first of
// those), to show a full table.
int FullestClass(const MappingsEditorWidget& editor) {
  int best = -1;
  std::size_t rows = 0;
  const auto& classes = editor.Model().Classes();
  for (std::size_t i = 0; i < classes.size(); ++i) {
    const std::size_t count = classes[i].conditions.size() + classes[i].fields.size();
    if (best < 0 || count > rows) {
      best = static_cast<int>(i);
      rows = count;
    }
  }
  return best;
}

}  // namespace

bool WindowSystemAvailable() {
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM");
}

SetupWindowRun RunSetupWindow(HostSetupData& setupData) {
  const std::unique_ptr<QApplication> application = EnsureApplication();
  RecordedQtMessageBoxes boxes;
  platform::ScopedMessageBoxService useBoxes(boxes);

  SetupWindowRun run;
  ReleaseSetupScript script([&]() -> std::unique_ptr<SetupWindow> {
    return std::make_unique<RecordedWindow>(boxes.boxes, run.saved);
  });
  script.SetSetupData(&setupData);
  script.OpenScript();
  script.RunUI();
  script.CloseScript();
  run.messages = std::move(boxes.messages);
  return run;
}

std::vector<std::string> WriteSetupScreenshots(
    HostSetupData& setupData, const std::string& directory,
    const std::vector<std::pair<std::string, std::string>>& samples) {
  const std::unique_ptr<QApplication> application = EnsureApplication();
  SilentMessageBoxes boxes;
  platform::ScopedMessageBoxService useBoxes(boxes);

  QtSetupWindow window;
  SetupController controller(
      window.Editor(MappingLevel::kData), window.Editor(MappingLevel::kField),
      window.Editor(MappingLevel::kOutput), window.Folders(), window.Documents());
  controller.ShowForm(setupData);
  SetupDialogWindow& dialog = window.Window();
  dialog.Bind(controller);

  // The sample table is shared by the three editors: fill it through one.
  auto* table = dialog.findChild<QStandardItemModel*>();
  for (const auto& [name, value] : samples) {
    MappingsEditorWidget::AddSampleNames(*table, {name});
    for (int row = 0; row < table->rowCount(); ++row) {
      if (table->item(row, 0)->text().compare(QString::fromStdString(name), Qt::CaseInsensitive) ==
          0) {
        table->item(row, 1)->setText(QString::fromStdString(value));
      }
    }
  }
  for (MappingLevel level : kMappingLevels) {
    MappingsEditorWidget& editor = dialog.Editor(level);
    editor.SelectClass(FullestClass(editor));
  }

  dialog.show();
  const char* names[] = {"setup-general.png", "setup-data-mappings.png", "setup-field-mappings.png",
                         "setup-output-data.png"};
  std::vector<std::string> written;
  for (int tab = 0; tab < 4; ++tab) {
    dialog.ShowTab(tab);
    // Lay the tab out and drop the cell widgets the tables replaced (they
    // are deleted later, by the event loop that a screenshot run lacks).
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    const std::string path = directory + "/" + names[tab];
    if (!dialog.grab().save(QString::fromStdString(path), "PNG")) {
      dialog.Unbind();
      throw std::runtime_error("cannot write " + path);
    }
    written.push_back(path);
  }
  dialog.Unbind();
  dialog.hide();
  return written;
}

}  // namespace quillon

extern "C" const quillon::SetupWindowEntry* quillon_setup_window_entry() {
  static const quillon::SetupWindowEntry entry{&quillon::WindowSystemAvailable,
                                               &quillon::RunSetupWindow};
  return &entry;
}
