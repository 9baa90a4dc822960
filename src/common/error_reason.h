#pragma once
// Why a file operation failed, in the words the user reads in a box.

#include <string>

namespace k64 {

// Russian text for the errno values a user meets when opening or saving a file; other values
// keep the C library's own text.
std::string ErrorReason(int error);

}  // namespace k64
