#include "platform/portable.h"

#include <system_error>

namespace k64 {

std::filesystem::path ProgramFolder()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program.parent_path();
}

}  // namespace k64
