#include "release/document_pipeline.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "fake_release_data.h"
#include "release/batch_output.h"
#include "release/mapping_file_cache.h"
#include "release_fixtures.h"
#include "support/temp_dir.h"

namespace {

using quillon::BatchState;
using quillon::DocumentPipeline;
using quillon::FieldList;
using release_testing::Contains;
using release_testing::FakeReleaseData;
using release_testing::kNoClasses;
using release_testing::ScopedLog;
using release_testing::WriteMappings;
using testing_support::TempDir;

FieldList ListOf(const std::vector<std::pair<std::string, std::string>>& pairs) {
  auto list = std::make_shared<tessel::NameValueList>();
  for (const auto& [name, value] : pairs) list->Add(name, value);
  return list;
}

// A pipeline over a temporary mappings folder.
struct Pipeline {
  TempDir dir;
  FakeReleaseData host;
  std::shared_ptr<BatchState> batch = std::make_shared<BatchState>();
  DocumentPipeline pipeline;

  Pipeline(std::string_view level1, std::string_view level2, std::string_view level3) {
    host.properties.Set("Mappings Directory", WriteMappings(dir, level1, level2, level3));
    pipeline.SetBatch(batch);
    host.AddDocument(17, {});
  }
  FieldList Translate(FieldList fields, bool translate = true) {
    return pipeline.TranslateDocument(host, fields, translate);
  }
};

constexpr std::string_view kLevel1 = R"(<FieldMappings>
  <MappingClass name="Normalise">
    <Fields><Field name="Claim" value="[ClaimId:trim]"/></Fields>
  </MappingClass>
</FieldMappings>)";

constexpr std::string_view kLevel2 = R"(<FieldMappings>
  <MappingClass name="Professional">
    <Conditions><Condition field="[FormType]" operator="equals" value="1500"/></Conditions>
    <Fields><Field name="Kind" value="P"/></Fields>
  </MappingClass>
  <MappingClass name="Institutional">
    <Conditions><Condition field="[FormType]" operator="equals" value="UB04"/></Conditions>
    <Fields><Field name="Kind" value="I"/></Fields>
  </MappingClass>
  <MappingClass name="Any">
    <Fields><Field name="Seen" value="[Kind]"/></Fields>
  </MappingClass>
</FieldMappings>)";

constexpr std::string_view kLevel3 = R"(<FieldMappings>
  <MappingClass name="Output">
    <Fields>
      <Field name="_createFeed" value="YES"/>
      <Field name="_outputString" value="CLM*[Claim]*[Kind]~"/>
    </Fields>
  </MappingClass>
</FieldMappings>)";

TEST(CountSegments, CountsTildesAndEmptyIsMinusOne) {
  struct Row {
    int line;
    const char* text;
    int count;
  } rows[] = {
      {__LINE__, "A~B~C~", 3},      {__LINE__, "A~B~C", 2},
      {__LINE__, "no segments", 0}, {__LINE__, "", -1},  // split into no pieces at all
      {__LINE__, "~", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(quillon::CountSegments(row.text), row.count);
  }
}

TEST(TranslateDocument, RunsTheThreeLevelsInOrder) {
  Pipeline p(kLevel1, kLevel2, kLevel3);
  const FieldList out = p.Translate(ListOf({{"ClaimId", " 42 "}, {"FormType", "UB04"}}));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->ValueOr("Claim"), "42");
  EXPECT_EQ(out->ValueOr("Kind"), "I");
  // The third class saw the output of the second one.
  EXPECT_EQ(out->ValueOr("Seen"), "I");
  EXPECT_EQ(out->ValueOr("_outputString"), "CLM*42*I~");
  // Unmapped fields stay.
  EXPECT_EQ(out->ValueOr("FormType"), "UB04");
  EXPECT_EQ(p.batch->documentFields, out);
  const std::string dir = p.host.properties.Item("Mappings Directory").Value;
  EXPECT_EQ(p.batch->dataMappingsFile, dir + "\\DataMappings.xml");
  EXPECT_EQ(p.batch->fieldMappingsFile, dir + "\\FieldMappings.xml");
  EXPECT_EQ(p.batch->outputMappingsFile, dir + "\\FeedOutputMappings.xml");
}

TEST(TranslateDocument, LogsEveryLevel) {
  ScopedLog log;
  Pipeline p(kNoClasses, kLevel2, kLevel3);
  p.Translate(ListOf({{"FormType", "1500"}}));
  const std::string dir = p.host.properties.Item("Mappings Directory").Value;
  const std::vector<std::string> expected = {
      "ProcessDocument: mstrDataMappingsFile" + dir + "\\DataMappings.xml",
      "ProcessDocument: Doing Level 1 translation 0",
      "GetVoraFields:  No level 1 translations.",
      "ProcessDocument: Doing Level 2 translation 3",
      "GetVoraFields, Level 2 xlate, effective data mapping is Professional",
      "GetVoraFields, Level 2 xlate, effective data mapping is Any",
      "ProcessDocument: Doing Level 3 translation 1",
      "GetVoraFields, Level 3 xlate, effective data mapping is Output",
      "ProcessDocument: Final output collection is "
      "_createFeed=YES;_outputString=CLM**P~;Seen=P;Kind=P;FormType=1500",
  };
  EXPECT_EQ(log.Lines(), expected);
}

TEST(TranslateDocument, EmptyMappingsDirectoryBypassesTranslation) {
  ScopedLog log;
  Pipeline p(kLevel1, kLevel2, kLevel3);
  p.host.properties.Set("Mappings Directory", "");
  const FieldList in = ListOf({{"ClaimId", "1"}});
  const FieldList out = p.Translate(in);
  EXPECT_EQ(out, in);
  ASSERT_NE(p.batch->documentFields, nullptr);
  EXPECT_TRUE(p.batch->documentFields->empty());
  EXPECT_EQ(log.Lines(),
            std::vector<std::string>{"ProcessDocument: No mappings Directory specified. Bypassing "
                                     "Translations"});
}

TEST(TranslateDocument, FailuresCarryTheTranslationSource) {
  struct Row {
    int line;
    const char* level2;  // nullptr: the file is missing
    bool dropProperty;
    int number;
    std::string descriptionStart;
    std::string logStart;
  } rows[] = {
      // The context is still the one of level 1, whose class was applied.
      {__LINE__, "<FieldMappings>", false, -1, "Cannot load the mapping file \"",
       "GetVoraFields: {DIR}\\FieldMappings.xml Error Context :  checking for matching data "
       "translations : Err number :"},
      {__LINE__, nullptr, false, -1, "Cannot load the mapping file \"",
       "GetVoraFields: {DIR}\\FieldMappings.xml Error Context :  checking for matching data "
       "translations : Err number :"},
      {__LINE__, R"(<FieldMappings><MappingClass><Fields/></MappingClass></FieldMappings>)", false,
       6000, "Cannot load the mapping file \"{DIR}\\FieldMappings.xml\": Error parsing",
       "GetVoraFields: {DIR}\\FieldMappings.xml Error Context :  checking for matching data "
       "translations : Err number :6000 : "},
      {__LINE__, "<FieldMappings/>", true, 5, "No custom property \"Mappings Directory\"",
       "GetVoraFields:  Error Context :   : Err number :5 : No custom property"},
      // A translation failure inside a matching class keeps its own number.
      {__LINE__,
       R"(<FieldMappings><MappingClass name="Bad"><Fields>
            <Field name="_outputString" value="x"/>
          </Fields></MappingClass></FieldMappings>)",
       false, 9, "",
       "GetVoraFields: {DIR}\\FieldMappings.xml Error Context :  checking for matching data "
       "translations : Err number :9 : "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ScopedLog log;
    Pipeline p(kLevel1, row.level2 ? row.level2 : "", kLevel3);
    const std::string dir = p.host.properties.Item("Mappings Directory").Value;
    if (row.level2 == nullptr) std::filesystem::remove(dir + "/FieldMappings.xml");
    if (row.dropProperty) p.host.properties.Erase("Mappings Directory");
    // Row 5: a "Replace_" entry without "|" fails the "_outputString" mapping.
    FieldList fields = ListOf({{"ClaimId", "1"}, {"Replace_1", "no bar"}});
    try {
      p.Translate(fields);
      FAIL() << "expected a failure";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.Source(), "GetVoraFields");
      if (row.number >= 0) {
        EXPECT_EQ(e.Number(), row.number);
      }
      const std::string start = release_testing::Substitute(row.descriptionStart, {{"DIR", dir}});
      EXPECT_EQ(e.Description().rfind(start, 0), 0u) << e.Description();
      if (row.level2 == nullptr || std::string_view(row.level2) == "<FieldMappings>") {
        // The description names the file and gives the parser's reason.
        EXPECT_NE(e.Description().find(dir + "\\FieldMappings.xml\": "), std::string::npos);
        EXPECT_GT(e.Description().size(), start.size() + dir.size() + 20);
      }
    }
    const auto lines = log.Lines();
    ASSERT_FALSE(lines.empty());
    const std::string logStart = release_testing::Substitute(row.logStart, {{"DIR", dir}});
    EXPECT_EQ(lines.back().rfind(logStart, 0), 0u) << lines.back();
    // Level 3 never ran.
    EXPECT_FALSE(Contains(lines, "ProcessDocument: Doing Level 3 translation 1"));
  }
}

TEST(TranslateDocument, ServiceLinesAreGeneratedOnceAfterLevel2) {
  constexpr std::string_view level2 = R"xml(<FieldMappings>
    <MappingClass name="First"><Fields>
      <Field name="_generateServiceLine" value="Y"/>
      <Field name="_ServiceTableDelimiter" value="|"/>
      <Field name="_ServiceLineValue1" value="(Codes:index{&amp;n:|})"/>
      <Field name="_ServiceLineReqFields1" value="Codes"/>
      <Field name="_ServiceLineOutput" value="SV*(_ServiceLineValue1_&amp;n)~"/>
    </Fields></MappingClass>
    <MappingClass name="Second"><Fields>
      <Field name="_generateServiceLine" value="again"/>
    </Fields></MappingClass>
  </FieldMappings>)xml";
  ScopedLog log;
  Pipeline p(kNoClasses, level2, kNoClasses);
  const FieldList out = p.Translate(ListOf({{"Codes", "A|B"}}));
  EXPECT_EQ(out->ValueOr("_ServiceLineOutput"), "SV*A~SV*B~");
  int generated = 0;
  for (const std::string& line : log.Lines()) {
    if (line == "GetVoraFields, Generating Service lines -------------") ++generated;
  }
  EXPECT_EQ(generated, 1);

  // Without generateServiceLines (as at batch start) nothing is generated.
  const FieldList plain = p.Translate(ListOf({{"Codes", "A|B"}}), false);
  EXPECT_EQ(plain->ValueOr("_ServiceLineOutput"), "SV*(_ServiceLineValue1_&n)~");
}

// Makes a file look as if it had been written a minute ago, so that the
// cache may keep it (recently modified files are always read again).
void Age(const std::string& path) {
  const auto when = std::filesystem::last_write_time(path) - std::chrono::minutes(1);
  std::filesystem::last_write_time(path, when);
}

TEST(TranslateDocument, EditedMappingFileIsReadBeforeTheNextDocument) {
  Pipeline p(kNoClasses, kNoClasses, R"(<FieldMappings><MappingClass name="A"><Fields>
      <Field name="Out" value="first"/></Fields></MappingClass></FieldMappings>)");
  for (const char* name : {"DataMappings.xml", "FieldMappings.xml", "FeedOutputMappings.xml"}) {
    Age(p.dir.Child("mappings/") + name);
  }
  EXPECT_EQ(p.Translate(ListOf({}))->ValueOr("Out"), "first");
  EXPECT_EQ(p.Translate(ListOf({}))->ValueOr("Out"), "first");
  const std::int64_t reads = p.batch->MappingCache().Reads();
  EXPECT_EQ(reads, 3);  // each file once
  // Same size, same inode: the modification time tells them apart.
  p.dir.Write("mappings/FeedOutputMappings.xml",
              R"(<FieldMappings><MappingClass name="A"><Fields>
      <Field name="Out" value="secnd"/></Fields></MappingClass></FieldMappings>)");
  EXPECT_EQ(p.Translate(ListOf({}))->ValueOr("Out"), "secnd");
  EXPECT_EQ(p.batch->MappingCache().Reads(), reads + 1);
  // Freshly modified: not kept, so a second same-size edit within the same
  // clock tick is seen as well.
  p.dir.Write("mappings/FeedOutputMappings.xml",
              R"(<FieldMappings><MappingClass name="A"><Fields>
      <Field name="Out" value="third"/></Fields></MappingClass></FieldMappings>)");
  EXPECT_EQ(p.Translate(ListOf({}))->ValueOr("Out"), "third");
}

TEST(MappingFileCache, ReloadsWhenTheFileIsReplaced) {
  TempDir dir;
  const std::string path =
      dir.Write("m.xml", R"(<FieldMappings><MappingClass name="A"/></FieldMappings>)");
  Age(path);
  quillon::MappingFileCache cache;
  const auto first = cache.Load(path);
  EXPECT_EQ(cache.Load(path), first);
  EXPECT_EQ(cache.Reads(), 1);
  // Replaced by rename (a new inode), as editors often save.
  dir.Write("m2.xml", R"(<FieldMappings><MappingClass name="B"/></FieldMappings>)");
  Age(dir.Child("m2.xml"));
  std::filesystem::rename(dir.Child("m2.xml"), path);
  const auto second = cache.Load(path);
  EXPECT_NE(second, first);
  ASSERT_EQ(second->Count(), 1);
  EXPECT_EQ(second->Item(std::int64_t{1})->Name(), "B");
  // A file that disappears fails and is not served from the cache.
  std::filesystem::remove(path);
  EXPECT_THROW(cache.Load(path), platform::Error);
}

TEST(MappingFileCache, WithinDocumentsChangesAreReportedInsteadOfLookedFor) {
  namespace fs = std::filesystem;
  const auto classNamed = [](const char* name) {
    return std::string(R"(<FieldMappings><MappingClass name=")") + name + R"("/></FieldMappings>)";
  };
  struct Row {
    int line;
    const char* what;
    // Changes m.xml (under dir/sub) so that it holds class "B"; a null
    // function changes nothing.
    std::function<void(TempDir&)> change;
    bool throughLink = false;  // the cache is given dir/link/m.xml, link -> sub
  };
  const auto writeB = [&](TempDir& dir, const std::string& name) {
    const std::string path = dir.Write(name, classNamed("B"));
    Age(path);
    return path;
  };
  const Row rows[] = {
      {__LINE__, "nothing", nullptr},
      {__LINE__, "rewritten in place, same size", [&](TempDir& dir) { writeB(dir, "sub/m.xml"); }},
      {__LINE__, "replaced by a rename",
       [&](TempDir& dir) { fs::rename(writeB(dir, "sub/new.xml"), dir.Child("sub/m.xml")); }},
      {__LINE__, "its folder renamed and another put in its place",
       [&](TempDir& dir) {
         fs::rename(dir.Child("sub"), dir.Child("old"));
         writeB(dir, "sub/m.xml");
       }},
      {__LINE__, "a folder above it renamed and another put in its place",
       [&](TempDir& dir) {
         fs::rename(dir.path(), dir.str() + "-old");
         fs::create_directories(dir.path());
         writeB(dir, "sub/m.xml");
       }},
      {__LINE__, "deleted", [](TempDir& dir) { fs::remove(dir.Child("sub/m.xml")); }},
      {__LINE__, "through a symbolic link, replaced",
       [&](TempDir& dir) { fs::rename(writeB(dir, "sub/new.xml"), dir.Child("sub/m.xml")); }, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    Age(dir.Write("sub/m.xml", classNamed("A")));
    fs::create_directory_symlink(dir.Child("sub"), dir.Child("link"));
    const std::string path = dir.Child(row.throughLink ? "link/m.xml" : "sub/m.xml");
    quillon::MappingFileCache cache;
    const auto document = [&] {
      cache.BeginDocument();
      struct End {
        quillon::MappingFileCache& cache;
        ~End() { cache.EndDocument(); }
      } end{cache};
      return cache.Load(path);
    };
    // Read, then found unchanged and watched: from then on no stat().
    const auto first = document();
    ASSERT_EQ(first->Item(std::int64_t{1})->Name(), "A");
    EXPECT_EQ(document(), first);
    const std::int64_t stamps = cache.Stamps();
    EXPECT_EQ(document(), first);
    EXPECT_EQ(cache.Stamps(), row.throughLink ? stamps + 1 : stamps);
    // Outside a document every use is looked at.
    EXPECT_EQ(cache.Load(path), first);
    EXPECT_EQ(cache.Stamps(), row.throughLink ? stamps + 2 : stamps + 1);
    EXPECT_EQ(cache.Reads(), 1);

    if (!row.change) continue;
    row.change(dir);
    if (!fs::exists(dir.Child("sub/m.xml"))) {
      EXPECT_THROW(document(), platform::Error);
      continue;
    }
    const auto next = document();
    ASSERT_EQ(next->Count(), 1);
    EXPECT_EQ(next->Item(std::int64_t{1})->Name(), "B");
    EXPECT_EQ(cache.Reads(), 2);
    if (fs::exists(dir.str() + "-old")) fs::remove_all(dir.str() + "-old");
  }
}

struct Document {
  Pipeline p{kNoClasses, kNoClasses, kNoClasses};
  Document() {
    quillon::ResetBatchStatus(p.host, *p.batch);
    quillon::AddDocumentStatus(p.host, *p.batch);
  }
  const quillon::DocumentStatus& Status() { return *p.batch->documentStatus->Item("id-17"); }
  void Process(const std::vector<std::pair<std::string, std::string>>& fields) {
    p.batch->documentFields = ListOf(fields);
    p.pipeline.AppendDocumentRecord(nullptr, p.host);
  }
};

TEST(AppendDocumentRecord, CreateFeedDecidesWhetherARecordIsWritten) {
  struct Row {
    int line;
    const char* createFeed;  // nullptr: no such field
    bool written;
  } rows[] = {
      {__LINE__, "YES", true},   {__LINE__, "yes", true}, {__LINE__, "Yes", true},
      {__LINE__, "Y", false},    {__LINE__, "", false},   {__LINE__, nullptr, false},
      {__LINE__, " YES", false},  // no trimming
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Document d;
    std::vector<std::pair<std::string, std::string>> fields = {{"_outputString", "A~B~"},
                                                               {"STATUS", "OK"}};
    if (row.createFeed) fields.emplace_back("_createFeed", row.createFeed);
    d.Process(fields);
    EXPECT_EQ(d.p.batch->batchText, row.written ? "A~B~" : "");
    EXPECT_EQ(d.p.batch->documentCount, row.written ? 1 : 0);
    EXPECT_EQ(d.Status().writtenToOutputFile, row.written);
    EXPECT_TRUE(d.Status().released);
    EXPECT_EQ(d.Status().statusFieldValue, "OK");
  }
}

TEST(AppendDocumentRecord, RecordFooterGetsTheSegmentCount) {
  struct Row {
    int line;
    const char* record;
    const char* footer;
    const char* text;
  } rows[] = {
      {__LINE__, "A~B~C~", "SE*_NumOfSegments~", "A~B~C~SE*4~"},
      {__LINE__, "", "SE*_NumOfSegments~", "SE*0~"},  // empty record counts -1
      {__LINE__, "A~", "_NumOfSegments/_NumOfSegments", "A~2/2"},
      {__LINE__, "A~", "SE*_numofsegments~", "A~SE*_numofsegments~"},  // exact case only
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Document d;
    d.Process(
        {{"_createFeed", "YES"}, {"_outputString", row.record}, {"_recordFooter", row.footer}});
    EXPECT_EQ(d.p.batch->batchText, row.text);
    // The rewritten footer is stored back into the list, in its place.
    EXPECT_EQ(d.p.batch->documentFields->Item(3)->Name(), "_recordFooter");
  }
}

TEST(AppendDocumentRecord, MissingOutputStringIs7000) {
  ScopedLog log;
  Document d;
  try {
    d.Process({{"_createFeed", "yes"}});
    FAIL() << "expected 7000";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.Number(), 7000);
    EXPECT_EQ(e.Source(), "ProcessDocument");
    EXPECT_EQ(e.Description(),
              "The document asks for a record (\"_createFeed\" is \"yes\") but has no "
              "\"_outputString\"");
  }
  EXPECT_FALSE(d.Status().released);
  EXPECT_EQ(d.p.batch->batchText, "");
  EXPECT_EQ(log.Lines().back(),
            "GetExport: Error Context :   : Err number :112 : The document asks for a record "
            "(\"_createFeed\" is \"yes\") but has no \"_outputString\"");
}

TEST(AppendDocumentRecord, LogsTheWrite) {
  ScopedLog log;
  Document d;
  d.p.batch->workingFilePath = "C:\\work\\out.txt";
  d.Process({{"_createFeed", "YES"}, {"_outputString", "A~"}});
  const std::vector<std::string> expected = {
      "ProcessDocument: writing data to file : 2",
      "[ProcessDocOutputFile]: Process Document Output: Writing record in output file "
      "C:\\work\\out.txt,",
  };
  EXPECT_EQ(log.Lines(), expected);
}

TEST(AddReleasedValues, CopiesTheReleasedValuesInOrder) {
  Pipeline p(kNoClasses, kNoClasses, kNoClasses);
  p.host.documents[0].values = {{"B", "2"}, {"A", "1"}, {"b", "3"}};
  const FieldList fields = p.pipeline.AddReleasedValues(p.host, ListOf({{"Z", "0"}}));
  EXPECT_EQ(fields->ToString(";", "="), "Z=0;B=3;A=1");
  EXPECT_EQ(p.batch->releasedValues, fields);
}

TEST(AddBatchFields, AddsTheBatchFieldsAndTranslates) {
  Pipeline p(kNoClasses, R"(<FieldMappings><MappingClass name="A"><Fields>
      <Field name="_generateServiceLine" value="Y"/>
      <Field name="_ServiceLineValue1" value="x"/><Field name="_ServiceLineReqFields1" value="x"/>
      <Field name="Batch" value="[Batch Name]/[Batch Class Name]"/>
    </Fields></MappingClass></FieldMappings>)",
             kNoClasses);
  const FieldList fields = p.pipeline.AddBatchFields(p.host, nullptr);
  EXPECT_EQ(fields->ValueOr("Batch"), "Batch A/7");
  EXPECT_EQ(fields->ValueOr("Batch ID"), "B-1");
  EXPECT_EQ(fields->ValueOr("Batch Description"), "Morning scan");
  EXPECT_EQ(fields->ValueOr("Document Class ID"), "3");
  EXPECT_EQ(fields->ValueOr("Document Class Name"), "CMS1500");
  EXPECT_FALSE(fields->Exists("_ServiceLineOutput"));  // never generates service lines
}

TEST(ConstantCommonFromMappings, FirstMatchingClassWithCommonWins) {
  constexpr std::string_view xml = R"(<FieldMappings>
    <MappingClass name="Other"><Conditions>
      <Condition field="[_Type]" operator="eq" value="B"/></Conditions>
      <Fields><Field name="_Common" value="b"/></Fields></MappingClass>
    <MappingClass name="NoCommon"><Fields><Field name="X" value="x"/></Fields></MappingClass>
    <MappingClass name="Typed"><Conditions>
      <Condition field="[_Type]" operator="eq" value="A"/></Conditions>
      <Fields><Field name="_Common" value="[_Type]-[_Fields]"/></Fields></MappingClass>
  </FieldMappings>)";
  TempDir dir;
  const std::string file = dir.Write("common.xml", xml);
  DocumentPipeline pipeline;
  struct Row {
    int line;
    std::string source;
    std::string type;
    std::string batchType;
    std::string common;
  } rows[] = {
      {__LINE__, std::string(xml), "XMLSTR", "A", "A-true"},
      {__LINE__, file, "", "A", "A-true"},
      {__LINE__, file, "", "B", "b"},
      {__LINE__, file, "", "C", ""},
      {__LINE__, std::string(xml), "xmlstr", "A", "fails"},  // "XMLSTR" exactly, else a file
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    if (row.common == "fails") {
      try {
        pipeline.ConstantCommonFromMappings(row.source, row.batchType, row.type);
        FAIL() << "expected 501";
      } catch (const platform::Error& e) {
        EXPECT_EQ(e.Number(), 501);
        EXPECT_EQ(e.Source(), "GetConstantCommonFromMappings");
      }
    } else {
      EXPECT_EQ(pipeline.ConstantCommonFromMappings(row.source, row.batchType, row.type),
                row.common);
    }
  }
}

TEST(LogHostValues, LogsEveryValue) {
  ScopedLog log;
  release_testing::FakeValues values;
  values.items = {{"Dest1", "v1", quillon::kSourceIndexField, "Field 1"},
                  {"Dest2", "", quillon::kSourceBatchField, "Payer"}};
  DocumentPipeline pipeline;
  pipeline.LogHostValues(values);
  const std::vector<std::string> expected = {
      ">>>>> Halvo Index Field Values <<<<<<",
      "Dest: Dest1, Value: v1, Source: Field 1, SourceType: 0, DataType: ",
      "Dest: Dest2, Value: , Source: Payer, SourceType: 3, DataType: ",
  };
  EXPECT_EQ(log.Lines(), expected);
}

}  // namespace
