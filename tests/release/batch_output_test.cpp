#include "release/batch_output.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fake_release_data.h"
#include "release/batch_state.h"
#include "release/file_routines.h"
#include "release/file_routines_test_support.h"
#include "release/file_system_seam.h"
#include "release/owned_files.h"
#include "release_fixtures.h"
#include "support/temp_dir.h"

namespace {

using quillon::BatchState;
using quillon::DocumentStatus;
using quillon::DocumentStatusCollection;
using release_testing::FakeReleaseData;
using release_testing::FilesIn;
using release_testing::ScopedLog;
using testing_support::ReadFile;
using testing_support::TempDir;

TEST(MakeValidFileName, ReplacesReservedCharactersAndBlanks) {
  struct Row {
    int line;
    const char* in;
    const char* out;
  } rows[] = {
      {__LINE__, "Claims 10/2024.txt", "Claims_10-2024.txt"},
      {__LINE__, "a\\b/c:d*e?f\"g<h>i|j", "a-b-c-d-e-f-g-h-i-j"},
      {__LINE__, "  two  blanks ", "__two__blanks_"},
      {__LINE__, "", ""},
      {__LINE__, "MÜLLER.txt", "MÜLLER.txt"},  // other characters stay
      {__LINE__, "tab\there", "tab\there"},    // only the blank becomes "_"
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(quillon::MakeValidFileName(row.in), row.out);
  }
}

TEST(WriteToOutputFile, AppendsSingleByteTextWithoutLineEnds) {
  TempDir dir;
  const std::string path = dir.Child("out.txt");
  quillon::WriteToOutputFile(path, "ISA*");
  quillon::WriteToOutputFile(path, "");
  quillon::WriteToOutputFile(path, "MÜLLER€漢~");
  EXPECT_EQ(ReadFile(path), "ISA*M\xDCLLER\x80?~");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);  // claim data: owner only
}

TEST(WriteToOutputFile, ControlCharactersBecomeQuestionMarks) {
  // What a field value brings along (a NUL, ESC or BEL typed or scanned into
  // a form) must not reach the receiver raw; tab and line ends are the
  // mappings' own layout.
  struct Row {
    int line;
    std::string in;
    std::string out;
  } rows[] = {
      {__LINE__, std::string("A\0B", 3), "A?B"},
      {__LINE__, "ESC\x1b[0m BEL\x07 VT\x0b FF\x0c US\x1f", "ESC?[0m BEL? VT? FF? US?"},
      {__LINE__, "TAB\t LF\n CR\r", "TAB\t LF\n CR\r"},
      {__LINE__, "DEL\x7f \xc2\x85", "DEL\x7f ?"},  // DEL is no C0 character; U+0085 has no byte
      // Long runs of printable text with the odd character at every offset
      // of an eight-byte group.
      {__LINE__, "ISA*00*          *00*\x01*ZZ*NBS0042~GS*HC\x1b*NBS0042*GCCH01~\r\n",
       "ISA*00*          *00*?*ZZ*NBS0042~GS*HC?*NBS0042*GCCH01~\r\n"},
      {__LINE__, "NM1*IL*1*M\xc3\xbcller*J\xc3\xa9r\xc3\xb4me\x07~N3*1 \xe2\x82\xac Street~",
       "NM1*IL*1*M\xfcller*J\xe9r\xf4me?~N3*1 \x80 Street~"},
      {__LINE__, "0123456\n89abcdef0123456789abcde\t\xe2\x80\x94x",
       "0123456\n89abcdef0123456789abcde\t\x97x"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    TempDir dir;
    quillon::WriteToOutputFile(dir.Child("out.txt"), row.in);
    EXPECT_EQ(ReadFile(dir.Child("out.txt")), row.out);
  }
}

TEST(WriteToOutputFile, LargeTextKeepsCharactersAcrossSlices) {
  // Two-byte characters across the internal 1 MiB slice boundaries.
  std::string text;
  for (int i = 0; i < 700000; ++i) text += (i % 3 == 0) ? "é" : "a";
  TempDir dir;
  const std::string path = dir.Child("big.txt");
  quillon::WriteToOutputFile(path, text);
  const std::string bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 700000u);
  EXPECT_EQ(bytes.find('?'), std::string::npos);
  EXPECT_EQ(bytes[0], '\xE9');
  EXPECT_EQ(bytes[699999], '\xE9');
}

TEST(WriteToOutputFile, LongAsciiStretchesAndConvertedCharactersKeepTheirOrder) {
  // Long stretches of ASCII go to the file without a copy, the rest through
  // the conversion; the file must read as if it all went one way.
  struct Piece {
    std::string in;
    std::string out;
  };
  const auto ascii = [](std::size_t size) {
    const std::string segment = "SV1*HC:99213*75*UN*1***1~\r\n";
    std::string text;
    while (text.size() < size) text += segment;
    text.resize(size);
    return Piece{text, text};
  };
  struct Row {
    int line;
    std::vector<Piece> pieces;
  } rows[] = {
      {__LINE__, {ascii(200000)}},
      {__LINE__, {ascii(70000), {"é", "\xE9"}, ascii(70000), {"\x01", "?"}, ascii(10)}},
      {__LINE__, {{"é", "\xE9"}, ascii(300000), {"€", "\x80"}, ascii(100000)}},
      {__LINE__, {ascii(65535), {"€", "\x80"}, ascii(65536), {"\x1b", "?"}}},
      {__LINE__, {ascii(65536), {"漢", "?"}, ascii(65535)}},
      {__LINE__, {ascii(1048576), {"\xc3\xbc", "\xfc"}, ascii(1)}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    std::string in;
    std::string out;
    for (const Piece& piece : row.pieces) {
      in += piece.in;
      out += piece.out;
    }
    TempDir dir;
    quillon::WriteToOutputFile(dir.Child("out.txt"), in);
    const std::string bytes = ReadFile(dir.Child("out.txt"));
    ASSERT_EQ(bytes.size(), out.size());
    EXPECT_TRUE(bytes == out) << "first difference at byte "
                              << std::mismatch(bytes.begin(), bytes.end(), out.begin()).first -
                                     bytes.begin();
  }
}

TEST(WriteToOutputFile, FailureIs7002) {
  TempDir dir;
  dir.Write("file", "x");
  try {
    quillon::WriteToOutputFile(dir.Child("file") + "/below.txt", "x");
    FAIL() << "expected 7002";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.Number(), 7002);
    EXPECT_EQ(e.Source(), "WriteToOutputFile");
    EXPECT_EQ(e.Description(), "Path not found");
  }
}

TEST(WriteToOutputFile, RefusesASymbolicLinkInTheFilesPlace) {
  TempDir dir;
  const std::string target = dir.Write("elsewhere.txt", "untouched");
  std::filesystem::create_symlink(target, dir.Child("out.txt"));
  EXPECT_THROW(quillon::WriteToOutputFile(dir.Child("out.txt"), "claim data"), platform::Error);
  EXPECT_EQ(ReadFile(target), "untouched");
}

TEST(DocumentStatusCollection, KeyedOrderedAndUnique) {
  DocumentStatusCollection status;
  for (int id : {17, 3, 42}) {
    DocumentStatus record;
    record.documentId = id;
    status.Add(record, quillon::DocumentStatusKey(id));
  }
  ASSERT_EQ(status.Count(), 3);
  EXPECT_EQ(status.Item(std::int64_t{1})->documentId, 17);
  EXPECT_EQ(status.Item(std::int64_t{3})->documentId, 42);
  EXPECT_EQ(status.Item(std::int64_t{4}), nullptr);
  EXPECT_EQ(status.Item("id-3")->documentId, 3);
  EXPECT_EQ(status.Item("ID-3"), nullptr);  // keys are exact

  DocumentStatus again;
  again.documentId = 3;
  again.released = true;
  try {
    status.Add(again, "id-3");
    FAIL() << "expected 457";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.Number(), 457);
  }
  EXPECT_FALSE(status.Item("id-3")->released);  // the earlier record stays

  status.Remove("id-17");
  EXPECT_EQ(status.Count(), 2);
  EXPECT_EQ(status.Item("id-42")->documentId, 42);
  EXPECT_EQ(status.Item(std::int64_t{1})->documentId, 3);
  EXPECT_THROW(status.Remove("id-17"), platform::Error);

  // Cleared, the collection starts over (its memory goes with the old records).
  status.Clear();
  EXPECT_EQ(status.Count(), 0);
  EXPECT_EQ(status.Item("id-3"), nullptr);
  EXPECT_EQ(status.begin(), status.end());
  status.Add(again, "id-3");
  EXPECT_TRUE(status.Item("id-3")->released);
  EXPECT_EQ(status.Item(std::int64_t{1})->documentId, 3);
}

TEST(DocumentStatusCollection, ABatchOfAnySizeStaysKeyedAndInOrder) {
  // Past some thousands of records the collection's memory comes in blocks
  // of megabytes; records must keep their values and places across them,
  // and a cleared collection must take records again.
  for (const int count : {1, 2000, 60000}) {
    SCOPED_TRACE(count);
    DocumentStatusCollection status;
    for (int round = 0; round < 2; ++round) {
      for (int id = 1; id <= count; ++id) {
        DocumentStatus record;
        record.documentId = id;
        record.statusFieldValue = id % 7 == 0 ? "a status long enough to need memory" : "";
        status.Add(record, quillon::DocumentStatusKey(id));
      }
      ASSERT_EQ(status.Count(), count);
      int expected = 1;
      bool inOrder = true;
      for (const DocumentStatus& record : status)
        inOrder = inOrder && record.documentId == expected++;
      EXPECT_TRUE(inOrder);
      for (const int id : {1, count / 2 + 1, count}) {
        const DocumentStatus* record = status.Item(quillon::DocumentStatusKey(id));
        ASSERT_NE(record, nullptr) << id;
        EXPECT_EQ(record->documentId, id);
        EXPECT_EQ(record->statusFieldValue.empty(), id % 7 != 0);
        EXPECT_EQ(status.Item(std::int64_t{id}), record);
      }
      status.Clear();
      EXPECT_EQ(status.Count(), 0);
    }
  }
}

TEST(ResetBatchStatus, EmptiesStatusButKeepsBatchText) {
  FakeReleaseData host;
  BatchState batch;
  quillon::ResetBatchStatus(host, batch);
  ASSERT_NE(batch.documentStatus, nullptr);
  host.AddDocument(5, {});
  quillon::AddDocumentStatus(host, batch);
  batch.batchText = "A~";
  batch.recordCount = 1;
  batch.documentCount = 1;
  host.batchName = "Second";
  quillon::ResetBatchStatus(host, batch);
  EXPECT_EQ(batch.documentStatus->Count(), 0);
  EXPECT_EQ(batch.batchName, "Second");
  EXPECT_EQ(batch.documentCount, 0);
  EXPECT_EQ(batch.batchText, "A~");
  EXPECT_EQ(batch.recordCount, 1);
}

TEST(AddDocumentStatus, AddsNotReleasedRecord) {
  FakeReleaseData host;
  host.AddDocument(17, {});
  BatchState batch;
  quillon::ResetBatchStatus(host, batch);
  quillon::AddDocumentStatus(host, batch);
  const DocumentStatus* record = batch.documentStatus->Item("id-17");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->documentId, 17);
  EXPECT_FALSE(record->released);
  EXPECT_FALSE(record->writtenToOutputFile);
}

TEST(AddDocumentStatus, FailuresAre500) {
  FakeReleaseData host;
  host.AddDocument(17, {});
  struct Row {
    int line;
    bool prepared;
    int timesAdded;
  } rows[] = {
      {__LINE__, true, 2},   // same id twice in one batch
      {__LINE__, false, 1},  // never prepared: no status collection
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    BatchState batch;
    if (row.prepared) quillon::ResetBatchStatus(host, batch);
    try {
      for (int i = 0; i < row.timesAdded; ++i) quillon::AddDocumentStatus(host, batch);
      FAIL() << "expected 500";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.Number(), 500);
      EXPECT_EQ(e.Source(), "AddRecordToBatchDocStatus");
    }
  }
}

TEST(AppendRecordToBatch, AppendsRecordAndFooter) {
  BatchState batch;
  tessel::NameValueList fields;
  fields.Add("_outputString", "CLM*1~");
  fields.Add("_recordFooter", "SE*2~");
  fields.Add("_recordHeader", "never read");
  quillon::AppendRecordToBatch(fields, nullptr, batch);
  tessel::NameValueList second;
  second.Add("_outputString", "CLM*2~");
  quillon::AppendRecordToBatch(second, nullptr, batch);
  EXPECT_EQ(batch.batchText, "CLM*1~SE*2~CLM*2~");
  EXPECT_EQ(batch.currentRecord, "CLM*2~");
}

TEST(AppendRecordToBatch, MissingOutputStringIs112WrappedIn506) {
  BatchState batch;
  batch.batchText = "kept~";
  tessel::NameValueList fields;
  fields.Add("_recordFooter", "SE*2~");
  try {
    quillon::AppendRecordToBatch(fields, nullptr, batch);
    FAIL() << "expected 506";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.Number(), 506);
    EXPECT_EQ(e.Source(), "ProcessDocOutputFile, ");
    EXPECT_EQ(e.Description(), "Application-defined or object-defined error");
  }
  EXPECT_EQ(batch.batchText, "kept~");
}

// A working file of this process for the wanted name `label`.
bool IsOwnWorkingFile(const std::string& name, const std::string& label) {
  const std::optional<quillon::OwnedFile> owned = quillon::ParseOwnedFileName(name);
  return owned && quillon::IsOwnFile(*owned) && owned->kind == "work" && owned->label == label;
}

// A batch state with a filled header set, ready to finalise.
struct Finalising {
  TempDir dir;
  FakeReleaseData host;
  BatchState batch;
  std::string out = dir.Child("out");
  std::string work = dir.Child("work");

  Finalising() {
    // Folders that cannot be locked are given up on at once.
    quillon::SetLockWaitPolicy(1, 0);
    host.properties.Set("Working Directory", work);
    quillon::ResetBatchStatus(host, batch);
    batch.headerSet = std::make_unique<tessel::NameValueList>();
    batch.headerSet->Add("DOCTYPE", "ISA*00~");
    batch.headerSet->Add("_outputFileName", "claims 1.txt");
    batch.headerSet->Add("_outputDirectory", out);
    batch.headerSet->Add("Footer", "IEA*1*_docCount~_docCount");
    batch.batchText = "CLM*1~CLM*2~CLM*3~";
    batch.recordCount = 3;
  }
  ~Finalising() { quillon::ResetLockWaitPolicy(); }
  void AddStatus(int id, bool released) {
    DocumentStatus record;
    record.documentId = id;
    record.released = released;
    batch.documentStatus->Add(record, quillon::DocumentStatusKey(id));
  }
  void Finalize() { quillon::FinalizeBatchRelease(batch.documentStatus.get(), host, batch); }
};

TEST(FinalizeBatchRelease, WritesHeaderRecordsFooterAndMovesTheFile) {
  Finalising f;
  f.Finalize();
  ASSERT_EQ(FilesIn(f.out), std::vector<std::string>{"claims_1.txt"});
  EXPECT_EQ(ReadFile(f.out + "/claims_1.txt"), "ISA*00~CLM*1~CLM*2~CLM*3~IEA*1*3~3");
  EXPECT_TRUE(FilesIn(f.work).empty());  // the working file is deleted after the copy
  ASSERT_EQ(f.batch.outputFilesWritten.size(), 1u);
  EXPECT_EQ(f.batch.outputFilesWritten[0], f.out + "\\claims_1.txt");
  EXPECT_EQ(f.batch.batchText, "");
  EXPECT_EQ(f.batch.recordCount, 0);
  EXPECT_FALSE(f.batch.headerSet->Exists("DOCTYPE"));
  EXPECT_TRUE(f.batch.headerSet->Exists("_outputDirectory"));  // other entries stay
  EXPECT_EQ(f.batch.destinationDirectory, f.out + "\\");
  // The working file was this process's own, named after it.
  EXPECT_TRUE(IsOwnWorkingFile(f.batch.outputFileName, "claims_1.txt")) << f.batch.outputFileName;
  EXPECT_EQ(f.batch.workingFilePath, f.work + "\\" + f.batch.outputFileName);
}

TEST(FinalizeBatchRelease, NeverOverwritesAnExistingOutputFile) {
  Finalising f;
  f.dir.Write("out/claims_1.txt", "earlier batch");
  f.Finalize();
  EXPECT_EQ(ReadFile(f.out + "/claims_1.txt"), "earlier batch");
  EXPECT_EQ(FilesIn(f.out), (std::vector<std::string>{"claims_1.txt", "claims_2.txt"}));
  EXPECT_EQ(ReadFile(f.out + "/claims_2.txt"), "ISA*00~CLM*1~CLM*2~CLM*3~IEA*1*3~3");
}

TEST(FinalizeBatchRelease, OptionalHeaderEntries) {
  struct Row {
    int line;
    bool fileName;
    bool footer;
    std::vector<std::string> files;
    std::string content;
  } rows[] = {
      {__LINE__, true, false, {"claims_1.txt"}, "ISA*00~CLM*1~CLM*2~CLM*3~"},
      // No file name: the file is named by the unique-name routine alone.
      {__LINE__, false, true, {}, "ISA*00~CLM*1~CLM*2~CLM*3~IEA*1*3~3"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Finalising f;
    if (!row.fileName) f.batch.headerSet->Remove("_outputFileName");
    if (!row.footer) f.batch.headerSet->Remove("Footer");
    f.Finalize();
    ASSERT_EQ(f.batch.outputFilesWritten.size(), 1u);
    std::string written = f.batch.outputFilesWritten[0];
    std::replace(written.begin(), written.end(), '\\', '/');
    EXPECT_EQ(ReadFile(written), row.content);
    if (!row.files.empty()) {
      EXPECT_EQ(FilesIn(f.out), row.files);
    }
  }
}

TEST(FinalizeBatchRelease, WithoutHeaderSetWritesNothing) {
  struct Row {
    int line;
    int headerState;  // 0 missing, 1 empty, 2 without DOCTYPE
  } rows[] = {{__LINE__, 0}, {__LINE__, 1}, {__LINE__, 2}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Finalising f;
    if (row.headerState == 0) f.batch.headerSet.reset();
    if (row.headerState == 1) f.batch.headerSet->Clear();
    if (row.headerState == 2) f.batch.headerSet->Remove("DOCTYPE");
    f.Finalize();
    EXPECT_TRUE(FilesIn(f.out).empty());
    EXPECT_EQ(f.batch.batchText, "CLM*1~CLM*2~CLM*3~");
    EXPECT_EQ(f.batch.recordCount, 3);
    EXPECT_TRUE(f.batch.outputFilesWritten.empty());
  }
}

TEST(FinalizeBatchRelease, LogsTheStatusLineAndTheSteps) {
  ScopedLog log;
  Finalising f;
  f.batch.batchName = "Batch A";
  for (int id = 1; id <= 5; ++id) f.AddStatus(id, id != 4);
  f.Finalize();
  const auto lines = log.Lines();
  const std::string working = f.batch.workingFilePath;
  EXPECT_TRUE(IsOwnWorkingFile(f.batch.outputFileName, "claims_1.txt")) << working;
  const std::string destination = f.out + "\\claims_1.txt";
  const std::vector<std::string> expected = {
      "[FinalizeBatchRelease][Status]Batch Name: Batch A, Doc Class Name: CMS1500, Total Docs=5, "
      "Released=4, Errored=1",
      "[FinalizeBatchRelease][Exit] Writing records to the file.",
      "[InitOutputFile] Final Destination Directory : " + f.out,
      "[FinalizeBatchRelease][Exit] Writing header : ISA*00~",
      "[FinalizeBatchRelease][Exit] Writing Records String : CLM*1~CLM*2~CLM*3~",
      "[FinalizeBatchRelease][Exit] Writing Records footer. total records : 3",
      "[FinalizeBatchRelease][Kill File] Attempting to delete file: " + working,
      "[FinalizeBatchRelease][Exit] Successfully Moved OutputFile: " + working +
          ", Destination File: " + destination,
  };
  EXPECT_EQ(lines, expected);
}

TEST(FinalizeBatchRelease, MissingFileNameIsLogged) {
  ScopedLog log;
  Finalising f;
  f.batch.headerSet->Remove("_outputFileName");
  f.Finalize();
  EXPECT_TRUE(
      release_testing::Contains(log.Lines(), "[Finalize batch] No output File Name specified: "));
}

TEST(FinalizeBatchRelease, FailuresAre7004AndDropTheBatchText) {
  struct Row {
    int line;
    int fault;  // 0 no "_outputDirectory", 1 no "Working Directory", 2 output dir is a file,
                // 3 working dir is a file, 4 blank "_outputDirectory", 5 empty and 6 blank
                // "Working Directory"
    std::string sourceStart;
    std::string cause;
  } rows[] = {
      // Blank folders are never the root or the current folder.
      {__LINE__, 4, "CloseScript - FinalizeBatchRelease, OutputFile: , Destination File:  Error",
       "The ouput directory is undefined: \"_outputDirectory\" is empty"},
      {__LINE__, 5, "CloseScript - FinalizeBatchRelease, OutputFile: , Destination File:  Error",
       "The working directory is undefined: the custom property \"Working Directory\" is empty"},
      {__LINE__, 6, "CloseScript - FinalizeBatchRelease, OutputFile: , Destination File:  Error",
       "The working directory is undefined: the custom property \"Working Directory\" is empty"},
      {__LINE__, 0, "CloseScript - FinalizeBatchRelease, OutputFile: , Destination File:  Error",
       "The header values of the batch have no \"_outputDirectory\""},
      {__LINE__, 1, "CloseScript - FinalizeBatchRelease, OutputFile: , Destination File:  Error",
       "No custom property \"Working Directory\""},
      {__LINE__, 2, "CloseScript - FinalizeBatchRelease, OutputFile: ", ""},
      {__LINE__, 3, "CloseScript - FinalizeBatchRelease, OutputFile: ", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Finalising f;
    if (row.fault == 0) f.batch.headerSet->Remove("_outputDirectory");
    if (row.fault == 1) f.host.properties.Erase("Working Directory");
    if (row.fault == 2) f.dir.Write("out", "a file where the folder should be");
    if (row.fault == 3) f.dir.Write("work", "a file where the folder should be");
    if (row.fault == 4) f.batch.headerSet->Add("_outputDirectory", " ");
    if (row.fault == 5) f.host.properties.Set("Working Directory", "");
    if (row.fault == 6) f.host.properties.Set("Working Directory", "  ");
    const std::vector<std::string> here = FilesIn(".");
    std::string e7004;
    try {
      f.Finalize();
      FAIL() << "expected 7004";
    } catch (const platform::Error& e) {
      e7004 = e.Source();
      EXPECT_EQ(e.Number(), 7004);
      EXPECT_EQ(e.Description(), "Application-defined or object-defined error");
      EXPECT_EQ(e.Source().rfind(row.sourceStart, 0), 0u) << e.Source();
      if (!row.cause.empty()) {
        EXPECT_EQ(e.Source(), row.sourceStart + " Description : " + row.cause);
      }
      EXPECT_NE(e.Source().find(" Error Description : "), std::string::npos);
    }
    EXPECT_EQ(f.batch.batchText, "");
    EXPECT_EQ(f.batch.recordCount, 0);
    EXPECT_TRUE(f.batch.headerSet->Exists("DOCTYPE"));
    EXPECT_TRUE(f.batch.outputFilesWritten.empty());
    // Nothing was written anywhere else.
    EXPECT_EQ(FilesIn("."), here);
    EXPECT_FALSE(std::filesystem::exists("/claims_1.txt"));
    EXPECT_FALSE(std::filesystem::exists("/folder.lock"));
    EXPECT_TRUE(FilesIn(f.out).empty());
    // Where the output folder refused it, the finished file stays for the
    // administrator, under the wanted name (the message says so).
    if (row.fault == 2) {
      EXPECT_EQ(FilesIn(f.work), std::vector<std::string>{"claims_1.txt"});
      EXPECT_NE(e7004.find("; it is kept as " + f.work + "/claims_1.txt"), std::string::npos)
          << e7004;
    } else {
      EXPECT_TRUE(FilesIn(f.work).empty());
    }
  }
}

TEST(FinalizeBatchRelease, WorkingFileOfAFailureIsKeptOnlyWhenItHoldsUndeliveredOutput) {
  struct Row {
    int line;
    std::string failing;  // the file-system call that fails
    int error;
    std::string cause;  // start of the cause in the 7004 source
    bool kept;          // the working file stays, under a name of the series
    std::vector<std::string> out;
  } rows[] = {
      // The output folder is full or refuses the file: the finished file in
      // the working folder is the only copy of the batch's output.
      {__LINE__, "copy", ENOSPC, "Disk full", true, {}},
      {__LINE__, "link", EIO, "Device I/O error", true, {}},
      // The working folder is full: a half-written file is worth nothing.
      {__LINE__, "write", ENOSPC, "Disk full", false, {}},
      {__LINE__, "open", EACCES, "Permission denied", false, {}},
      // Delivered, then the working file cannot be deleted.
      {__LINE__, "delete", EACCES, "Permission denied", false, {"claims_1.txt"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Finalising f;
    quillon::files_test::FakeFileSystem fake;
    const auto inject = [&](const char* call) {
      return [&, call](const std::string& path) {
        if (row.failing != call) return -1;
        if (row.failing == "link" && path.find("/out/") == std::string::npos) return -1;
        if (row.failing == "delete" && path.find(".work") == std::string::npos) return -1;
        return row.error;
      };
    };
    fake.onCopy = inject("copy");
    fake.onLink = inject("link");
    fake.onOpen = inject("open");
    fake.onRemove = inject("delete");
    fake.onWrite = [&] { return row.failing == "write" ? row.error : -1; };
    {
      quillon::ScopedFileSystem use(fake);
      try {
        f.Finalize();
        ADD_FAILURE() << "expected 7004";
      } catch (const platform::Error& e) {
        EXPECT_EQ(e.Number(), 7004);
        const std::string cause = e.Source().substr(e.Source().find(" Error Description : ") + 21);
        EXPECT_EQ(cause.rfind(row.cause, 0), 0u) << cause;
        if (row.kept) {
          // The message says where the output is.
          EXPECT_EQ(cause, row.cause + ". The output file was not delivered; it is kept as " +
                               f.work + "/claims_1.txt");
          EXPECT_NE(e.Source().find("OutputFile: " + f.work + "\\claims_1.txt,"), std::string::npos)
              << e.Source();
        }
      }
    }
    EXPECT_EQ(FilesIn(f.out), row.out);
    if (row.kept) {
      ASSERT_EQ(FilesIn(f.work), std::vector<std::string>{"claims_1.txt"});
      EXPECT_EQ(ReadFile(f.work + "/claims_1.txt"), "ISA*00~CLM*1~CLM*2~CLM*3~IEA*1*3~3");
    } else if (row.failing != "delete") {
      EXPECT_TRUE(FilesIn(f.work).empty());
    }
    // No temporary copy, no lock, no empty file in the output folder.
    for (const auto& entry : std::filesystem::directory_iterator(f.out)) {
      EXPECT_GT(entry.file_size(), 0u) << entry.path();
      EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    }
  }
}

}  // namespace
