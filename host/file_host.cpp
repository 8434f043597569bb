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

FileHost::FileHost(const std::string& batchFile, const std::string& batchClassFile,
                   DocumentReading reading)
    : batchFile_(batchFile) {
  if (reading == kStreamDocuments) {
    reader_ = std::make_unique<BatchReader>(batchFile);
    batch_ = reader_->Batch();
  } else {
    batch_ = LoadBatchFile(batchFile);
    documentCount_ = static_cast<std::int32_t>(batch_.Documents.size());
  }
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
  if (reader_) {
    NextDocument();
  } else if (!batch_.Documents.empty()) {
    SelectDocument(1);
  }
}

FileHost::~FileHost() = default;

void FileHost::SelectDocument(std::int32_t position) {
  if (position < 1 || position > DocumentCount() || (reader_ && position != current_)) {
    platform::Raise(platform::err::kSubscriptOutOfRange, "FileHost.SelectDocument");
  }
  current_ = position;
  RebuildValues();
}

bool FileHost::NextDocument() {
  if (!reader_) {
    if (current_ >= DocumentCount()) return false;
    SelectDocument(current_ + 1);
    return true;
  }
  // Read into a spare document first, so that a fault leaves the current
  // one as it was.
  BatchDocument next;
  next.IndexFields = std::move(spare_);
  if (!reader_->Next(next)) return false;
  spare_ = std::move(streamed_.IndexFields);
  streamed_ = std::move(next);
  ++documentCount_;
  current_ = documentCount_;
  RebuildValues();
  return true;
}

std::uint64_t FileHost::BatchFileBytesRead() const noexcept {
  return reader_ ? reader_->BytesRead() : 0;
}

std::uint64_t FileHost::BatchFileSize() const noexcept {
  return reader_ ? reader_->Size() : 0;
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
  if (current_ == 0) return nullptr;
  if (reader_) return &streamed_;
  return &batch_.Documents[static_cast<std::size_t>(current_ - 1)];
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
  const BatchDocument* document = Current();
  if (document == nullptr) {
    values_.items.clear();
    return;
  }
  // The destinations and sources stay from document to document; only the
  // values are given anew, into the texts of the last document.
  if (values_.items.size() != batchClass_.Links.size()) {
    values_.items.clear();
    values_.items.reserve(batchClass_.Links.size());
    sourcePositions_.assign(batchClass_.Links.size(), 0);
    sourceHashes_.clear();
    for (const HostLink& link : batchClass_.Links) {
      sourceHashes_.push_back(tessel::NameValueList::HashOf(link.Source));
      HostValue value;
      value.Destination = link.Destination;
      value.SourceType = link.SourceType;
      value.SourceName = link.Source;
      values_.items.push_back(std::move(value));
    }
  }
  const auto assign = [](std::string& into, const tessel::NameValue* from) {
    if (from == nullptr) {
      into.clear();
    } else {
      into.assign(from->Value());
    }
  };
  for (std::size_t i = 0; i < values_.items.size(); ++i) {
    const HostLink& link = batchClass_.Links[i];
    HostValue& value = values_.items[i];
    switch (link.SourceType) {
      case kSourceIndexField:
        assign(value.Value, SourceField(document->IndexFields, i));
        break;
      case kSourceHostVariable:
        value.Value = HostVariable(link.Source);
        break;
      case kSourceBatchField:
        assign(value.Value, SourceField(batch_.BatchFields, i));
        break;
      default:
        value.Value.clear();
        break;
    }
  }
}

const tessel::NameValue* FileHost::SourceField(const tessel::NameValueList& fields,
                                               std::size_t link) {
  // The documents of a batch file list their fields in the same order, so
  // the position of the document before is tried first: an entry spelt
  // exactly as the source is the one a lookup by name would find.
  const std::string& source = batchClass_.Links[link].Source;
  std::size_t& position = sourcePositions_[link];
  if (const tessel::NameValue* at = fields.Item(static_cast<std::int64_t>(position))) {
    if (at->Name() == source) return at;
  }
  const tessel::NameValue* found = fields.Item(source, sourceHashes_[link]);
  position = found == nullptr ? 0 : static_cast<std::size_t>(found - &*fields.begin()) + 1;
  return found;
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
