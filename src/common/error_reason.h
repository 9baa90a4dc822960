#pragma once
// Why a file operation failed, in the words the user reads in a box.

#include <string>

namespace k64 {

// Russian text for an errno value: those a user meets with files, folders and ports in words,
// any other by its number, so that no message mixes in the C library's English.
std::string ErrorReason(int error);

}  // namespace k64
