// A RecordSink that keeps every record of a write, for tests.
#pragma once

#include <string>
#include <vector>

#include "textio/format.hpp"

namespace hfd::test {

struct Capture final : RecordSink {
  std::vector<std::string> records;
  std::vector<bool> advances;
  void PutRecord(std::string_view r, bool advance) override {
    records.emplace_back(r);
    advances.push_back(advance);
  }
  std::string Only() const { return records.size() == 1 ? records[0] : "<not one record>"; }
};

}  // namespace hfd::test
