#pragma once
// Scratch folders and recording stand-ins for the build tests.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "build/Builder.h"
#include "common/Cp932.h"

namespace tolvane::test {

// A fresh folder below the system's temporary folder, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("tolvane_build_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  // The folder with a trailing separator, as the project keeps it.
  std::string Folder() const { return path_.string() + "/"; }
  std::string Path(const std::string& name) const { return Folder() + name; }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return Path(name);
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
    return names;
  }

 private:
  std::filesystem::path path_;
};

// Records the tools' calls and answers with preset results.
class FakeTools : public build::BuildTools {
 public:
  bool assembleResult = true;
  bool linkResult = true;
  std::vector<std::string> failing;  // sources whose assembly fails
  std::vector<std::string> assembled;
  std::vector<std::vector<std::string>> linked;
  std::vector<std::string>* events = nullptr;  // shared with the sink and listings, in call order

  bool Assemble(const std::string& path, const BuildOptions&, MessageSink&) override {
    assembled.push_back(path);
    if (events) events->push_back("assemble " + path);
    for (const std::string& f : failing)
      if (f == path) return false;
    return assembleResult;
  }
  bool Link(const std::vector<std::string>& paths, const BuildOptions&, MessageSink&) override {
    linked.push_back(paths);
    if (events) events->push_back("link " + (paths.empty() ? std::string("(nothing)") : paths.front()));
    return linkResult;
  }
};

class RecordingSink : public MessageSink {
 public:
  std::vector<std::string>* events = nullptr;
  std::vector<std::string> lines;
  int clears = 0;
  void AppendMessageLine(const std::string& line) override { lines.push_back(line); }
  void ClearMessages() override {
    ++clears;
    lines.clear();
    if (events) events->push_back("clear");
  }
};

class RecordingListings : public build::ListingPort {
 public:
  std::vector<std::string>* events = nullptr;
  std::vector<std::string> opened;
  int closes = 0;
  void CloseListings() override {
    ++closes;
    opened.clear();
    if (events) events->push_back("close listings");
  }
  void OpenListing(const std::string& path) override {
    opened.push_back(path);
    if (events) events->push_back("listing " + path);
  }
};

}  // namespace tolvane::test
