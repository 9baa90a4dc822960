#pragma once
// A folder of its own under the system's temporary folder, removed with everything in it.

#include <filesystem>
#include <string>
#include <system_error>

#include <stdlib.h>

namespace k64::test {

class TempDir {
public:
    explicit TempDir(const std::string& prefix = "k64-test")
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool Valid() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace k64::test
