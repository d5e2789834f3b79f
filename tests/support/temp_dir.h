#pragma once
// A fresh temporary folder for one test, removed with everything in it afterwards.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace qv::test {

class TempDir {
public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvtest-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, with a trailing "/".
  std::string Path() const { return path_.string() + "/"; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

  void Write(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories((path_ / name).parent_path());
    std::ofstream(path_ / name, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

private:
  std::filesystem::path path_;
};

}  // namespace qv::test
