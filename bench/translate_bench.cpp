// Translation of a document's fields through a set of field mappings with
// mixed modifiers. Reports mappings per second ("items_per_second").
//
// BM_Translate/M/N: M mappings over an input of N fields. The time per call
// should grow linearly with M and not depend on N (field lookups are by
// hashed name, unmapped fields are not copied).
// BM_TranslateUnmapped/M/N: the same with IncludeUnmappedFields, which must
// copy the N input fields and so grows with N.
// BM_ParseExpressions: setting the values of M mappings (parsing).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "host/tessel/name_value_list.h"
#include "mapping/field_mappings.h"

namespace {

// Expressions of the kind found in claim mapping files, cycled through.
const std::vector<std::string>& Expressions() {
  static const std::vector<std::string> expressions = {
      "NM1*IL*1*[F{a}:trim]*[F{b}:trim]~",
      "[F{a}:numeric{#\\,##0.00}]",
      "[F{a}:date{ccyymmdd}]",
      "[F{a}:lookup{M:Male|F:Female|*:Unknown}]",
      "[F{a}:fixed{15}][F{b}:fixed{10}]",
      "[F{a}:index{2:|},trim]",
      "[F{a}:substring{2|5},replace{-|}]",
      "[F{a}:strip{-/ },truncate{9}]",
      "[F{a}:separate{3}]",
      "[F{a}:alpha2numeric,lefttrim{1}]",
      "[F{a}:wrap{20}]",
      "CLM*[F{a}]*[F{b}:numeric{0.00}]***[F{a}:truncate{-}][colon]B[colon]1~[br]",
      "[F{a}:format{@@@-@@-@@@@}]",
      "DTP*472*D8*[date:ccyymmdd]~",
      "[F{a}][F{b}][F{a}:trim][F{b}:trim]",
  };
  return expressions;
}

// Field values matching the modifiers above well enough to exercise them.
std::string FieldValue(int i) {
  switch (i % 6) {
    case 0:
      return "  Doe  ";
    case 1:
      return "1234.5";
    case 2:
      return "03/28/2014";
    case 3:
      return "M";
    case 4:
      return "a|b|c-d|e";
    default:
      return "The quick brown fox jumps over the lazy dog";
  }
}

std::string Expand(const std::string& pattern, int a, int b) {
  std::string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern.compare(i, 3, "{a}") == 0) {
      out += std::to_string(a);
      i += 2;
    } else if (pattern.compare(i, 3, "{b}") == 0) {
      out += std::to_string(b);
      i += 2;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

// `mappings` mappings, each referring to fields among the first 200.
marrow::FieldMappings MakeSet(int mappings) {
  marrow::FieldMappings set;
  const auto& expressions = Expressions();
  for (int m = 0; m < mappings; ++m) {
    const std::string& pattern = expressions[static_cast<std::size_t>(m) % expressions.size()];
    set.Add("Out" + std::to_string(m), Expand(pattern, (m * 7) % 200, (m * 13 + 1) % 200));
  }
  return set;
}

tessel::NameValueList MakeInput(int fields) {
  tessel::NameValueList input;
  for (int f = 0; f < fields; ++f) input.Add("F" + std::to_string(f), FieldValue(f));
  return input;
}

void BM_Translate(benchmark::State& state) {
  const auto mappings = static_cast<int>(state.range(0));
  const marrow::FieldMappings set = MakeSet(mappings);
  const tessel::NameValueList input = MakeInput(static_cast<int>(state.range(1)));
  for (auto _ : state) {
    tessel::NameValueList out = set.TranslateFields(input, false);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * mappings);
}
BENCHMARK(BM_Translate)
    ->ArgNames({"mappings", "fields"})
    ->Args({10, 200})
    ->Args({100, 200})
    ->Args({1000, 200})
    ->Args({100, 20000});

void BM_TranslateUnmapped(benchmark::State& state) {
  const auto mappings = static_cast<int>(state.range(0));
  const marrow::FieldMappings set = MakeSet(mappings);
  const tessel::NameValueList input = MakeInput(static_cast<int>(state.range(1)));
  for (auto _ : state) {
    tessel::NameValueList out = set.TranslateFields(input, true);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * mappings);
}
BENCHMARK(BM_TranslateUnmapped)
    ->ArgNames({"mappings", "fields"})
    ->Args({100, 200})
    ->Args({100, 20000});

void BM_ParseExpressions(benchmark::State& state) {
  const auto mappings = static_cast<int>(state.range(0));
  for (auto _ : state) {
    marrow::FieldMappings set = MakeSet(mappings);
    benchmark::DoNotOptimize(set);
  }
  state.SetItemsProcessed(state.iterations() * mappings);
}
BENCHMARK(BM_ParseExpressions)->ArgNames({"mappings"})->Arg(100)->Arg(1000);

// One long output string through numbered replacements, as the output
// module's record is: linear in the length of the record.
void BM_OutputStringReplacements(benchmark::State& state) {
  const auto segments = static_cast<int>(state.range(0));
  std::string record;
  for (int s = 0; s < segments; ++s) record += "NM1*IL*1*[F1]*[F2]****~[br]";
  marrow::FieldMappings set;
  set.Add("_outputString", record);
  tessel::NameValueList input = MakeInput(200);
  input.Add("F1", "");
  input.Add("Replace_1", "**~|~");
  input.Add("Replace_2", "*~|~");
  for (auto _ : state) {
    tessel::NameValueList out = set.TranslateFields(input, false);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(record.size()));
}
BENCHMARK(BM_OutputStringReplacements)->ArgNames({"segments"})->Arg(100)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
