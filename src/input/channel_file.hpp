// A channel file: an existing regular file read as numbered 256-byte records
// of 128 little-endian signed 16-bit samples.
//
//   ChannelFile ch;
//   if (ch.Open("20080315123000SGD-0.BIN")) ch.ReadRecords(1, 8, samples);
#pragma once

#include <cstdint>

#include "recording/vocabulary.hpp"

namespace hfd {

class ChannelFile {
 public:
  ChannelFile() = default;
  ChannelFile(const ChannelFile&) = delete;
  ChannelFile& operator=(const ChannelFile&) = delete;
  ~ChannelFile() { Close(); }

  // Opens an existing regular file for reading; false when it does not exist,
  // cannot be read, or is not a regular file (a FIFO or device never blocks).
  bool Open(const char* name);
  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }  // -1 when not open
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
