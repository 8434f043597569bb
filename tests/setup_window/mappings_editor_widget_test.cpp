// The mappings editor widget, driven through its widgets as an administrator
// would: tables, class list, XML view, sample values and the preview.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTest>

#include "mapping/conditional_mappings.h"
#include "setup/window/mappings_editor_widget.h"
#include "setup_window/widget_helpers.h"
#include "support/temp_dir.h"

namespace quillon {
namespace {

using testing_support::ReadFile;
using window_testing::Child;
using window_testing::Click;
using window_testing::TypeIntoCell;

std::string EngineView(const std::string& xml) {
  marrow::ConditionalMappings maps;
  maps.LoadFromXML(xml);
  return maps.SaveXMLString();
}

// The rows the editor's widgets show, class by class.
std::vector<MappingClassRow> ShownRows(MappingsEditorWidget& editor) {
  auto* list = Child<QListWidget>(editor, "classList");
  auto* conditions = Child<QTableWidget>(editor, "conditionsTable");
  auto* fields = Child<QTableWidget>(editor, "fieldsTable");
  std::vector<MappingClassRow> rows;
  for (int c = 0; c < list->count(); ++c) {
    editor.SelectClass(c);
    MappingClassRow row;
    row.name = list->item(c)->text().toStdString();
    for (int r = 0; r < conditions->rowCount(); ++r) {
      row.conditions.push_back(
          {qobject_cast<QComboBox*>(conditions->cellWidget(r, 0))->currentIndex(),
           conditions->item(r, 1)->text().toStdString(),
           qobject_cast<QComboBox*>(conditions->cellWidget(r, 2))->currentIndex(),
           conditions->item(r, 3)->text().toStdString(),
           conditions->item(r, 4)->checkState() == Qt::Checked ? 1 : 0});
    }
    for (int r = 0; r < fields->rowCount(); ++r) {
      row.fields.push_back(
          {fields->item(r, 0)->text().toStdString(), fields->item(r, 1)->text().toStdString()});
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// Every bundled mapping file shows in the tables exactly as the library
// reads it, and the document written from what the tables show reads the
// same again.
TEST(MappingsEditorWidget, EveryBundledMappingFileRoundTripsThroughTheTables) {
  const std::filesystem::path examples = std::filesystem::path(QUILLON_SOURCE_DIR) / "examples";
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(examples)) {
    if (entry.path().extension() != ".xml" || entry.path().parent_path().filename() != "mappings") {
      continue;
    }
    ++files;
    SCOPED_TRACE(entry.path().string());
    const std::string original = ReadFile(entry.path().string());
    MappingsEditorWidget editor;
    editor.LoadFromXml(original);
    EXPECT_FALSE(editor.Changed());
    EXPECT_EQ(EngineView(editor.XmlText()), EngineView(original));

    const std::vector<MappingClassRow> shown = ShownRows(editor);
    EXPECT_EQ(shown, ReadMappingClassRows(original).classes);
    EXPECT_EQ(EngineView(WriteMappingClassRows(shown)), EngineView(original));

    // A table edit rewrites the whole file from the tables; undone, the
    // text is what the load showed.
    const std::string shownText = editor.XmlText();
    Click(editor, "addClass");
    Click(editor, "removeClass");
    EXPECT_TRUE(editor.Changed());
    EXPECT_EQ(editor.XmlText(), shownText);
    EXPECT_EQ(EngineView(editor.XmlText()), EngineView(original));
  }
  EXPECT_GE(files, 3);
}

TEST(MappingsEditorWidget, BuildsAClassWithAConditionAndTwoFieldMappings) {
  MappingsEditorWidget editor;
  editor.show();
  editor.LoadFromXml("<FieldMappings/>");
  EXPECT_FALSE(editor.Changed());

  Click(editor, "addClass");
  auto* list = Child<QListWidget>(editor, "classList");
  ASSERT_EQ(list->count(), 1);
  // The new class's name is open for typing.
  auto* nameEditor = list->findChild<QLineEdit*>();
  ASSERT_NE(nameEditor, nullptr);
  nameEditor->selectAll();
  QTest::keyClicks(nameEditor, "Medicare");
  QTest::keyClick(nameEditor, Qt::Key_Return);
  window_testing::Settle();
  EXPECT_EQ(list->item(0)->text(), "Medicare");

  auto* conditions = Child<QTableWidget>(editor, "conditionsTable");
  Click(editor, "conditionAdd");
  ASSERT_EQ(conditions->rowCount(), 1);
  TypeIntoCell(conditions, 0, 1, "PayerType");
  qobject_cast<QComboBox*>(conditions->cellWidget(0, 2))->setCurrentIndex(marrow::condStartsWith);
  TypeIntoCell(conditions, 0, 3, "MC");

  auto* fields = Child<QTableWidget>(editor, "fieldsTable");
  Click(editor, "fieldAdd");
  TypeIntoCell(fields, 0, 0, "Name");
  TypeIntoCell(fields, 0, 1, "[Last:trim], [First]");
  Click(editor, "fieldAdd");
  TypeIntoCell(fields, 1, 0, "Payer");
  TypeIntoCell(fields, 1, 1, "<[PayerType]>");
  EXPECT_TRUE(editor.Changed());

  marrow::ConditionalMappings maps;
  maps.LoadFromXML(editor.XmlText());
  ASSERT_EQ(maps.Count(), 1);
  auto medicare = maps.Item("Medicare");
  ASSERT_TRUE(medicare);
  EXPECT_EQ(medicare->MapConditionsString(), "and|PayerType|starts with|MC");
  EXPECT_EQ(medicare->FieldMapsString(), "Name=[Last:trim], [First];Payer=<[PayerType]>");

  // The XML view follows the tables.
  EXPECT_EQ(Child<QPlainTextEdit>(editor, "xmlView")->toPlainText().toStdString(),
            editor.XmlText());
}

TEST(MappingsEditorWidget, ClassListEditsAndARefusedRename) {
  MappingsEditorWidget editor;
  editor.LoadFromXml(
      "<FieldMappings><MappingClass name='A'/><MappingClass name='B'/>"
      "<MappingClass name='C'/></FieldMappings>");
  auto* list = Child<QListWidget>(editor, "classList");
  const auto names = [&] {
    std::string out;
    for (const MappingClassRow& row : editor.Model().Classes()) out += row.name;
    return out;
  };

  editor.SelectClass(2);
  Click(editor, "moveClassUp");
  EXPECT_EQ(names(), "ACB");
  EXPECT_EQ(list->currentRow(), 1);
  Click(editor, "moveClassUp");
  Click(editor, "moveClassUp");  // already first: nothing happens
  EXPECT_EQ(names(), "CAB");
  Click(editor, "moveClassDown");
  EXPECT_EQ(names(), "ACB");
  Click(editor, "removeClass");
  EXPECT_EQ(names(), "AB");

  // A name another class has (letter case ignored) is refused: the list shows
  // the old name again and the editor says why.
  list->item(1)->setText("a");
  EXPECT_EQ(list->item(1)->text(), "B");
  EXPECT_EQ(names(), "AB");
  EXPECT_TRUE(Child<QLabel>(editor, "xmlStatus")->text().contains("already named 'a'"));
}

TEST(MappingsEditorWidget, TypedXmlThatCannotBeReadIsKeptAndLocksTheTables) {
  MappingsEditorWidget editor;
  editor.LoadFromXml("<FieldMappings><MappingClass name='A'/></FieldMappings>");
  auto* xml = Child<QPlainTextEdit>(editor, "xmlView");
  auto* status = Child<QLabel>(editor, "xmlStatus");
  auto* addClass = Child<QPushButton>(editor, "addClass");
  auto* discard = Child<QPushButton>(editor, "discardTyping");

  const QString typed = "<FieldMappings>\n  <MappingClass name='A'>\n  <Oops\n</FieldMappings>";
  xml->setPlainText(typed);
  EXPECT_TRUE(editor.Changed());
  EXPECT_EQ(editor.XmlText(), typed.toStdString());
  EXPECT_TRUE(status->text().contains("line 4, column")) << status->text().toStdString();
  EXPECT_FALSE(addClass->isEnabled());
  EXPECT_FALSE(discard->isHidden());
  EXPECT_EQ(Child<QListWidget>(editor, "classList")->count(), 1);  // the last good state

  // Mended typing brings the tables along.
  xml->setPlainText("<FieldMappings><MappingClass name='Typed'/></FieldMappings>");
  EXPECT_TRUE(addClass->isEnabled());
  EXPECT_EQ(Child<QListWidget>(editor, "classList")->item(0)->text(), "Typed");

  // Discarding broken typing shows the tables' document again.
  xml->setPlainText("<FieldMappings><");
  Click(editor, "discardTyping");
  EXPECT_TRUE(addClass->isEnabled());
  EXPECT_EQ(EngineView(editor.XmlText()),
            "<FieldMappings><MappingClass name=\"Typed\"><Fields/></MappingClass></FieldMappings>");
  EXPECT_EQ(xml->toPlainText().toStdString(), editor.XmlText());
}

TEST(MappingsEditorWidget, PreviewComputesFromTheSharedSampleValues) {
  QStandardItemModel samples(0, 2);
  MappingsEditorWidget first(&samples);
  MappingsEditorWidget second(&samples);
  first.show();  // cells open their editors only in a visible view
  MappingsEditorWidget::AddSampleNames(samples, {"Payer", "Last"});
  MappingsEditorWidget::AddSampleNames(samples, {"payer", "First"});  // Payer is there already
  ASSERT_EQ(samples.rowCount(), 3);

  first.LoadFromXml(
      "<FieldMappings><MappingClass name='Medicare'>"
      "<Conditions><Condition field='Payer' operator='equals' value='MC'/></Conditions>"
      "<Fields><Field name='Name' value='[Last:trim]/[First]'/></Fields>"
      "</MappingClass></FieldMappings>");
  auto* conditions = Child<QTableWidget>(first, "conditionsTable");
  auto* fields = Child<QTableWidget>(first, "fieldsTable");
  Click(first, "fieldAdd");
  TypeIntoCell(fields, 1, 0, "Bad");
  TypeIntoCell(fields, 1, 1, "ab[Last:lefttrim{x}]");
  // The library could not read the file now, and says where.
  EXPECT_TRUE(Child<QLabel>(first, "xmlStatus")->text().contains("error 13"));
  EXPECT_EQ(conditions->item(0, 5)->text(), "false");
  EXPECT_EQ(fields->item(0, 2)->text(), "/");
  EXPECT_EQ(fields->item(1, 2)->text(), "error 13 at 3: Type mismatch");
  EXPECT_TRUE(fields->item(1, 2)->toolTip().contains("\nab[Last:lefttrim{x}]\n  ^"));

  // Typed once, in either editor.
  samples.item(0, 1)->setText("MC");
  samples.item(1, 1)->setText("  Doe ");
  samples.item(2, 1)->setText("Jane");
  EXPECT_EQ(conditions->item(0, 5)->text(), "true");
  EXPECT_EQ(fields->item(0, 2)->text(), "Doe/Jane");
  // The class holds, but its broken field would fail a release; mended, it
  // applies.
  auto* status = Child<QLabel>(first, "classStatus");
  EXPECT_TRUE(status->text().contains(
      "'Medicare' holds, but its field mappings fail: a release would fail the document."))
      << status->text().toStdString();
  TypeIntoCell(fields, 1, 1, "ab[Last:lefttrim{1}]");
  EXPECT_EQ(fields->item(1, 2)->text(), "ab Doe ");
  EXPECT_TRUE(status->text().contains("Applied in this order: 'Medicare'."))
      << status->text().toStdString();

  // An operand that cannot be computed says why the condition is false.
  TypeIntoCell(conditions, 0, 3, "[Payer:fixed{-1}]");
  EXPECT_TRUE(conditions->item(0, 5)->text().startsWith("false (error 5 at 1:"))
      << conditions->item(0, 5)->text().toStdString();
}

}  // namespace
}  // namespace quillon
