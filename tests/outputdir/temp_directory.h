// A fresh directory for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

class TempDirectory {
public:
    TempDirectory() {
        std::random_device seed;
        const auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            auto candidate = base / ("outputdir-test-" + std::to_string(seed()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) path_ = candidate;
        }
    }
    ~TempDirectory() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    bool ready() const { return !path_.empty(); }
    const std::filesystem::path& path() const { return path_; }
    // The directory as the program's wide text, ending with the separator.
    std::wstring withSeparator() const {
        return path_.wstring() + static_cast<wchar_t>(std::filesystem::path::preferred_separator);
    }

private:
    std::filesystem::path path_;
};
