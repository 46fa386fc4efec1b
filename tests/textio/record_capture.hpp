// A RecordSink that keeps every record handed to it, with its advance flag,
// so that a write's lines can be compared character by character.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "textio/format.hpp"

namespace hfd::test {

struct Records final : RecordSink {
  std::vector<std::string> lines;
  std::vector<bool> advances;
  void PutRecord(std::string_view r, bool advance) override {
    lines.emplace_back(r);
    advances.push_back(advance);
  }
  // The single record of a write.
  std::string Only() const { return lines.size() == 1 ? lines[0] : "<not one record>"; }
  bool AllEnded() const {
    for (bool a : advances) {
      if (!a) return false;
    }
    return true;
  }
};

}  // namespace hfd::test
