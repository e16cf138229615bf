// Date and time stamps of the system's messages.
#pragma once

#include <ctime>
#include <string>

namespace tarnel::text {

// "07.12.2026"
std::string DateStamp(const std::tm& t);
// "09:05"
std::string TimeStamp(const std::tm& t);

}  // namespace tarnel::text
