// Mapping-class files and condition lists: loading a file of 200 classes
// (files per second), evaluating condition lists (conditions per second) and
// choosing a class for a document.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/tessel/name_value_list.h"
#include "mapping/conditional_mappings.h"
#include "mapping/conditions.h"

namespace {

constexpr int kClasses = 200;
constexpr int kFieldsPerClass = 20;

// A mapping-class file shaped like a real one: every class has three
// conditions on the form type and payer, and twenty field mappings with
// references and modifiers.
std::string GenerateMappings() {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FieldMappings>\n";
  for (int c = 0; c < kClasses; ++c) {
    const std::string id = std::to_string(c);
    xml += "  <MappingClass name=\"Class" + id + "\">\n    <Conditions>\n";
    xml += "      <Condition field=\"FormType\" operator=\"equals\" value=\"F" + id +
           "\" connector=\"and\"/>\n";
    xml += "      <Condition field=\"Payer\" operator=\"in list\" value=\"ACME,P" + id +
           ",OTHER\" connector=\"and\"/>\n";
    xml += "      <Condition field=\"Amount\" operator=\"greater than\" value=\"0." + id +
           "\" connector=\"and\"/>\n";
    xml += "    </Conditions>\n    <Fields>\n";
    for (int f = 0; f < kFieldsPerClass; ++f) {
      xml += "      <Field name=\"Out" + std::to_string(f) + "\" value=\"NM1*[Field" +
             std::to_string(f) + ":trim,fixed{10}]*[Payer]~[lf]\"/>\n";
    }
    xml += "    </Fields>\n  </MappingClass>\n";
  }
  xml += "</FieldMappings>\n";
  return xml;
}

const std::string& MappingFile() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() /
                           ("quillon-bench-mappings-" + std::to_string(::getpid()) + ".xml"))
                              .string();
    std::ofstream(p, std::ios::binary) << GenerateMappings();
    return p;
  }();
  return path;
}

void BM_LoadMappingFile(benchmark::State& state) {
  const std::string& file = MappingFile();
  for (auto _ : state) {
    marrow::ConditionalMappings maps;
    maps.LoadFromXMLFile(file);
    benchmark::DoNotOptimize(maps.Count());
  }
  state.SetItemsProcessed(state.iterations());  // files
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(std::filesystem::file_size(file)));
}
BENCHMARK(BM_LoadMappingFile)->Unit(benchmark::kMillisecond);

void BM_SaveXMLString(benchmark::State& state) {
  marrow::ConditionalMappings maps;
  maps.LoadFromXMLFile(MappingFile());
  for (auto _ : state) benchmark::DoNotOptimize(maps.SaveXMLString());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SaveXMLString)->Unit(benchmark::kMillisecond);

tessel::NameValueList Document(int fields) {
  tessel::NameValueList doc;
  doc.Add("FormType", "F199");
  doc.Add("Payer", "P199");
  doc.Add("Amount", "12.75");
  doc.Add("ServiceDate", "01/15/2024");
  for (int f = 0; f < fields; ++f)
    doc.Add("Field" + std::to_string(f), " value " + std::to_string(f));
  return doc;
}

// One list of state.range(0) conditions mixing the operators a mapping file
// uses: field names, literals, numbers, dates and a field-reference operand.
void BM_EvaluateConditions(benchmark::State& state) {
  marrow::Conditions list;
  const marrow::enumConditionals ops[] = {marrow::condEquals,     marrow::condGreaterThan,
                                          marrow::condInList,     marrow::condStartsWith,
                                          marrow::condIsNotBlank, marrow::condLessThan};
  const char* operands[][2] = {{"FormType", "F199"},   {"Amount", "9.5"},
                               {"Payer", "ACME,P199"}, {"Field3", " val"},
                               {"Field7", ""},         {"ServiceDate", "12/31/2024"}};
  for (int i = 0; i < state.range(0); ++i) {
    list.Add(operands[i % 6][0], ops[i % 6], operands[i % 6][1], i % 2);
  }
  const tessel::NameValueList doc = Document(40);
  for (auto _ : state) benchmark::DoNotOptimize(list.Evaluate(doc));
  state.SetItemsProcessed(state.iterations() * state.range(0));  // conditions
}
BENCHMARK(BM_EvaluateConditions)->Arg(1)->Arg(6)->Arg(60);

// The expression side: operands that are value expressions, not field names.
void BM_EvaluateExpressionOperands(benchmark::State& state) {
  marrow::Conditions list;
  list.AddFromString(
      "and|[FormType:trim]|eq|F[Payer:substring{2|3}];and|[Amount]|gt|[Field1:trim]");
  const tessel::NameValueList doc = Document(40);
  for (auto _ : state) benchmark::DoNotOptimize(list.Evaluate(doc));
  state.SetItemsProcessed(state.iterations() * list.Count());
}
BENCHMARK(BM_EvaluateExpressionOperands);

// Choosing a class: the document matches only the last of 200 classes, so
// every class's conditions are evaluated before one translates.
void BM_TranslateFieldsLastClassMatches(benchmark::State& state) {
  marrow::ConditionalMappings maps;
  maps.LoadFromXMLFile(MappingFile());
  const tessel::NameValueList doc = Document(kFieldsPerClass);
  if (maps.TranslateFields(doc).ValueOr("_mapclassname") !=
      "Class" + std::to_string(kClasses - 1)) {
    state.SkipWithError("the document should match the last class only");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(maps.TranslateFields(doc, true));
  state.SetItemsProcessed(state.iterations());  // documents
  state.counters["conditions/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kClasses * 3, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TranslateFieldsLastClassMatches)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::remove(MappingFile().c_str());
  return 0;
}
