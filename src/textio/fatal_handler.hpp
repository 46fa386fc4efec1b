// How the text I/O layer ends a run: the fatal report of a failed file
// operation or answer, and the end of the run for a stop request. The run's
// owner implements it (it knows which files to keep and where reports go).
//
//   void Create(FatalHandler& fatal) { if (fd < 0) fatal.FileFailure(Statement::Open, name, errno); }
//   if (fatal.StopRequested()) fatal.StopForSignal();
#pragma once

#include <string_view>

#include "textio/int_reader.hpp"

namespace hfd {

enum class Statement { Read, Write, Open, Close };

class FatalHandler {
 public:
  // A failed file operation on `unit` (a file name, or "CON").
  [[noreturn]] virtual void FileFailure(Statement what, std::string_view unit, int errnum) = 0;
  // A result file that is not opened for the reason given: not a regular
  // file, a symbolic link, in use by another run.
  [[noreturn]] virtual void OpenRefused(std::string_view unit, const char* why) = 0;
  // An answer or internal record that cannot be read.
  [[noreturn]] virtual void InputFailure(ReadError e, std::string_view unit) = 0;
  // A stop signal has arrived.
  virtual bool StopRequested() const = 0;
  // Ends the run for the stop signal, keeping every whole record written.
  [[noreturn]] virtual void StopForSignal() = 0;

 protected:
  ~FatalHandler() = default;
};

}  // namespace hfd
