#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A fresh, empty folder for one test, removed with everything in it when the test ends.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// The names in a folder, sorted: a run must leave nothing behind but aircraft.cfg.
std::vector<std::string> filesIn(const std::filesystem::path& folder);

std::string readBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const std::string& bytes);

// A file's time of last change as Windows counts it, in 100-ns ticks since 1601-01-01 UTC: the
// "date" that a package's layout.json records.
std::int64_t lastWriteTicks(const std::filesystem::path& file);
