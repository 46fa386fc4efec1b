// Result files and channel files.
//
// A ResultFile is created (or replaced) for sequential writing and buffers
// whole records, each ended by CR LF; any failed write or close is reported
// through the FatalHandler, never ignored. A ChannelFile is an existing
// regular file read as numbered 256-byte records of 128 little-endian samples.
//
//   ResultFile out(fatal); out.Create("200803151230SGD.spc");
//   ChannelFile ch; if (ch.Open("20080315123000SGD-0.BIN")) ch.ReadRecords(1, 8, samples);
#pragma once

#include <cstdint>
#include <string_view>

#include "textio/format.hpp"

namespace hfd {

enum class Statement { Read, Write, Open, Close };

// Ends the run with the fatal report for a failed file operation.
class FatalHandler {
 public:
  [[noreturn]] virtual void FileFailure(Statement what, std::string_view unit, int errnum) = 0;

 protected:
  ~FatalHandler() = default;
};

class ResultFile final : public RecordSink {
 public:
  explicit ResultFile(FatalHandler& fatal) : fatal_(fatal) {}
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;
  ~ResultFile() { Abandon(); }

  // Creates or truncates the file; failure is fatal (OPEN).
  void Create(std::string_view name);
  bool IsOpen() const { return fd_ >= 0; }
  std::string_view Name() const { return {name_, nameLen_}; }

  void PutRecord(std::string_view record, bool advance) override;
  // Writes out the buffer; failure is fatal (WRITE).
  void Flush();
  // Flushes and closes; failure is fatal (WRITE or CLOSE). No-op when not open.
  void Close();
  // Best effort flush and close for the fatal path: never reports, returns
  // false when something could not be written.
  bool Abandon();

 private:
  static constexpr size_t kBufSize = 1 << 18;
  FatalHandler& fatal_;
  int fd_ = -1;
  char name_[256] = {};
  size_t nameLen_ = 0;
  size_t used_ = 0;
  size_t lastEnd_ = 0;        // buffer index just after the last whole record
  uint64_t fileBytes_ = 0;    // bytes already in the file
  uint64_t fileLastEnd_ = 0;  // file offset just after its last whole record
  char buf_[kBufSize];
  bool WriteOut(int& err);
};

class ChannelFile {
 public:
  static constexpr int kRecordBytes = 256;
  static constexpr int kRecordSamples = 128;

  ChannelFile() = default;
  ChannelFile(const ChannelFile&) = delete;
  ChannelFile& operator=(const ChannelFile&) = delete;
  ~ChannelFile() { Close(); }

  // Opens an existing regular file for reading; false when it does not exist,
  // cannot be read, or is not a regular file (a FIFO or device never blocks).
  bool Open(const char* name);
  bool IsOpen() const { return fd_ >= 0; }
  // Reads records first .. first+count-1 (1-based) into samples[count*128];
  // false when any of them is missing, incomplete or unreadable. At most
  // kWindowRecords records at a time.
  bool ReadRecords(int64_t first, int count, int16_t* samples);
  void Close();

  // Records are read from the file in windows of this many (one read call
  // per window instead of one per block); a request the window does not hold
  // refills it from the request's first record, so a record appended to the
  // file after an earlier window was read is still found.
  static constexpr int kWindowRecords = 512;

 private:
  bool Fill(int64_t first);
  int fd_ = -1;
  int64_t windowFirst_ = 0;  // record number of window_[0]; 0: empty
  int64_t windowCount_ = 0;  // whole records held
  unsigned char window_[kWindowRecords * kRecordBytes];
};

}  // namespace hfd
