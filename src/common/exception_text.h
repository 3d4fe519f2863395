// The report text of a caught exception, in the program's one pattern ("Error #: " number
// ", Descr: " description), for the procedures that end and report. engine::Error carries
// its own number; any other exception is reported with number 0 and its message.
#pragma once

#include <exception>
#include <string>

namespace common {

std::string ErrorTextOf(const std::exception& error);

// The same for the exception in flight; call only inside a catch block.
std::string CurrentErrorText();

}  // namespace common
