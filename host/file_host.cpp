#include "host/file_host.h"

#include <cstdio>
#include <filesystem>

#include "host/host_file_error.h"
#include "host/interchange_counter.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/text.h"

namespace quillon {

namespace {

std::string TwoDigits(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

}  // namespace

const std::vector<std::string>& StandardHostVariables() {
  static const std::vector<std::string> names = {"Batch ID",
                                                 "Batch Name",
                                                 "Batch Description",
                                                 "Document ID",
                                                 "Document Class Name",
                                                 "Release Date",
                                                 "Release Time",
                                                 "Interchange Control Number"};
  return names;
}

FileHost::FileHost(const std::string& batchFile, const std::string& batchClassFile)
    : batchFile_(batchFile), batch_(LoadBatchFile(batchFile)) {
  if (!batchClassFile.empty()) {
    batchClassFile_ = batchClassFile;
  } else {
    batchClassFile_ = ResolveBatchClassPath(batchFile, batch_);
    std::error_code ec;
    if (!std::filesystem::exists(batchClassFile_, ec)) {
      throw HostFileError(batchFile, "/batchClass",
                          "the batch-class file \"" + batchClassFile_ + "\" does not exist");
    }
  }
  batchClass_ = LoadBatchClassFile(batchClassFile_);
  properties_ = CustomPropertyCollection(ResolvedCustomProperties(batchClass_, batchClassFile_));
  counterPath_ = InterchangeCounter::PathFor(batchClassFile_);
  SetReleaseTime(platform::SplitDate(platform::CurrentClock().Now()));
  if (!batch_.Documents.empty()) SelectDocument(1);
}

void FileHost::SelectDocument(std::int32_t position) {
  if (position < 1 || position > DocumentCount()) {
    platform::Raise(platform::err::kSubscriptOutOfRange, "FileHost.SelectDocument");
  }
  current_ = position;
  RebuildValues();
}

std::int64_t FileHost::ReserveInterchangeControlNumber() {
  const std::int64_t number = InterchangeCounter(counterPath_).Reserve();
  interchangeNumber_ = std::to_string(number);
  RebuildValues();
  return number;
}

std::int64_t FileHost::PreviewInterchangeControlNumber() {
  const std::int64_t number = InterchangeCounter(counterPath_).Peek();
  interchangeNumber_ = std::to_string(number);
  RebuildValues();
  return number;
}

void FileHost::SetReleaseTime(const platform::DateParts& when) {
  releaseDate_ =
      TwoDigits(when.month) + "/" + TwoDigits(when.day) + "/" + std::to_string(when.year);
  releaseTime_ = TwoDigits(when.hour) + ":" + TwoDigits(when.minute) + ":" + TwoDigits(when.second);
  RebuildValues();
}

const BatchDocument* FileHost::Current() const noexcept {
  return current_ == 0 ? nullptr : &batch_.Documents[static_cast<std::size_t>(current_ - 1)];
}

std::string FileHost::HostVariable(std::string_view name) const {
  using platform::text::EqualsCaseless;
  const BatchDocument* document = Current();
  if (EqualsCaseless(name, "Batch ID")) return batch_.Id;
  if (EqualsCaseless(name, "Batch Name")) return batch_.Name;
  if (EqualsCaseless(name, "Batch Description")) return batch_.Description;
  if (EqualsCaseless(name, "Document ID")) {
    return document == nullptr ? std::string() : std::to_string(document->Id);
  }
  if (EqualsCaseless(name, "Document Class Name")) {
    return document == nullptr ? std::string() : document->ClassName;
  }
  if (EqualsCaseless(name, "Release Date")) return releaseDate_;
  if (EqualsCaseless(name, "Release Time")) return releaseTime_;
  if (EqualsCaseless(name, "Interchange Control Number")) return interchangeNumber_;
  return {};
}

void FileHost::RebuildValues() {
  values_.items.clear();
  const BatchDocument* document = Current();
  if (document == nullptr) return;
  values_.items.reserve(batchClass_.Links.size());
  for (const HostLink& link : batchClass_.Links) {
    HostValue value;
    value.Destination = link.Destination;
    value.SourceType = link.SourceType;
    value.SourceName = link.Source;
    switch (link.SourceType) {
      case kSourceIndexField:
        value.Value = document->IndexFields.ValueOr(link.Source);
        break;
      case kSourceHostVariable:
        value.Value = HostVariable(link.Source);
        break;
      case kSourceBatchField:
        value.Value = batch_.BatchFields.ValueOr(link.Source);
        break;
      default:
        break;
    }
    values_.items.push_back(std::move(value));
  }
}

const HostValue& FileHost::ReleasedValues::Item(std::int32_t position) const {
  if (position < 1 || position > Count()) {
    platform::Raise(platform::err::kSubscriptOutOfRange, "Values.Item");
  }
  return items[static_cast<std::size_t>(position - 1)];
}

void FileHost::ReportError(std::int32_t a, std::int32_t b, std::int32_t c,
                           const std::string& description, const std::string& source,
                           std::int32_t number) {
  HostErrorRecord record{a, b, c, description, source, number, {}, {}};
  record.BatchId = batch_.Id;
  if (const BatchDocument* document = Current()) record.DocumentId = document->Id;
  errorLog_.Record(std::move(record));
}

void FileHost::ShowMessage(const std::string& description, std::int32_t number, std::int32_t kind) {
  const BatchDocument* document = Current();
  messages_.push_back({description, number, kind, document == nullptr ? 0 : document->Id});
  if (!echoMessages_) return;
  if (document != nullptr) {
    std::fprintf(stderr, "quillon: document %d: %s (error %d)\n", document->Id, description.c_str(),
                 number);
  } else {
    std::fprintf(stderr, "quillon: %s (error %d)\n", description.c_str(), number);
  }
}

std::string FileHost::DocumentClassName() const {
  const BatchDocument* document = Current();
  return document == nullptr ? std::string() : document->ClassName;
}

std::int32_t FileHost::DocumentId() const {
  const BatchDocument* document = Current();
  return document == nullptr ? 0 : document->Id;
}

std::int32_t FileHost::DocumentClassId() const {
  const BatchDocument* document = Current();
  return document == nullptr ? 0 : document->ClassId;
}

}  // namespace quillon
