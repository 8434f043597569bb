// Format and the date reader on the values a release pushes through the
// mapping modifiers for every document.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/date_text.h"
#include "platform/format.h"

namespace {

void BM_FormatTextNumberMask(benchmark::State& state, const char* value, const char* mask) {
  for (auto _ : state) benchmark::DoNotOptimize(platform::Format(std::string_view(value), mask));
}
BENCHMARK_CAPTURE(BM_FormatTextNumberMask, Fixed2, "1234.5", "0.00");
BENCHMARK_CAPTURE(BM_FormatTextNumberMask, Grouped, "1234567.891", "#,##0.00");
BENCHMARK_CAPTURE(BM_FormatTextNumberMask, TextMask, "ABCDEFGHIJ", "@@@@@@@@@@");
BENCHMARK_CAPTURE(BM_FormatTextNumberMask, Regroup, "032814", "&&/&&/&&");
BENCHMARK_CAPTURE(BM_FormatTextNumberMask, DateText, "03/28/2014", "mm/dd/yyyy");

void BM_FormatDouble(benchmark::State& state, double value, const char* mask) {
  const platform::Variant v = platform::Variant::FromDouble(value);
  for (auto _ : state) benchmark::DoNotOptimize(platform::Format(v, mask));
}
BENCHMARK_CAPTURE(BM_FormatDouble, Fixed2, 1234.5, "0.00");
BENCHMARK_CAPTURE(BM_FormatDouble, Grouped, 1234567.891, "#,##0.00");
BENCHMARK_CAPTURE(BM_FormatDouble, General, 3.14159265358979, "");

void BM_FormatDate(benchmark::State& state, const char* mask) {
  platform::DateParts p;
  p.year = 2014, p.month = 3, p.day = 28, p.hour = 14, p.minute = 5, p.second = 9;
  const platform::Variant v = platform::Variant::FromDate(platform::MakeDate(p));
  for (auto _ : state) benchmark::DoNotOptimize(platform::Format(v, mask));
}
BENCHMARK_CAPTURE(BM_FormatDate, MonthDayYear, "mm/dd/yyyy");
BENCHMARK_CAPTURE(BM_FormatDate, CenturyMask, "$$yymmdd");

void BM_ReadDate(benchmark::State& state, const char* text) {
  for (auto _ : state) benchmark::DoNotOptimize(platform::ReadDate(text));
}
BENCHMARK_CAPTURE(BM_ReadDate, ShortDate, "03/28/2014");
BENCHMARK_CAPTURE(BM_ReadDate, DateAndTime, "3/28/2014 2:05:09 PM");
BENCHMARK_CAPTURE(BM_ReadDate, MonthName, "March 28, 2014");
BENCHMARK_CAPTURE(BM_ReadDate, NotADate, "n/a");

// A long text through a text mask: the work grows with the text, not faster.
void BM_FormatLongText(benchmark::State& state) {
  const std::string value(static_cast<std::size_t>(state.range(0)), 'x');
  for (auto _ : state) benchmark::DoNotOptimize(platform::Format(std::string_view(value), "@@@@@"));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FormatLongText)->Range(64, 64 << 10)->Complexity();

}  // namespace

BENCHMARK_MAIN();
