// orvix-stamp: appends channel parameter blocks to a (signed) program file, or lists them.
//
//   orvix-stamp stamp PROGRAM [-o OUTPUT] (-j JSON | -f JSON_FILE)...
//       Appends one block per -j / -f, in command-line order: the last one's keys win.
//       Writes OUTPUT (default: PROGRAM itself) through a temporary file in the same folder and a
//       rename, so a refused or failed stamping leaves every file as it was.
//   orvix-stamp list PROGRAM
//       Prints the blocks the program will apply, in the order it applies them, and how the scan
//       ended.
//
// Exit status: 0 done, 1 refused or failed, 2 bad usage.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "app/param_block.h"
#include "tools/stamp/pe_stamp.h"

namespace {

constexpr const char* kUsage =
    "usage: orvix-stamp stamp PROGRAM [-o OUTPUT] (-j JSON | -f JSON_FILE)...\n"
    "       orvix-stamp list PROGRAM\n";

int Fail(const std::string& message) {
  std::cerr << "orvix-stamp: " << message << "\n";
  return 1;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

// Writes `bytes` to `path` by way of a temporary file beside it and a rename.
bool ReplaceFile(const std::string& path, const std::vector<uint8_t>& bytes, mode_t mode, std::string& error) {
  std::string temp = path + ".stamp-XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    error = "cannot create a temporary file beside " + path + ": " + std::strerror(errno);
    return false;
  }
  size_t written = 0;
  while (written < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += size_t(n);
  }
  bool ok = written == bytes.size() && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

class StderrLog : public ParamLog {
 public:
  void Write(rezorev::LogLevel, const std::string& text) override { std::cerr << "  scan: " << text << "\n"; }
};

int Stamp(int argc, char** argv) {
  if (argc < 1) return std::cerr << kUsage, 2;
  std::string program = argv[0];
  std::string output = program;
  std::vector<std::string> texts;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (i + 1 >= argc || (option != "-o" && option != "-j" && option != "-f")) return std::cerr << kUsage, 2;
    std::string value = argv[++i];
    if (option == "-o") {
      output = value;
    } else if (option == "-j") {
      texts.push_back(value);
    } else {
      std::vector<uint8_t> bytes;
      std::string error;
      if (!ReadWholeFile(value, bytes, error)) return Fail(error);
      texts.emplace_back(bytes.begin(), bytes.end());
    }
  }
  if (texts.empty()) return std::cerr << kUsage, 2;

  std::vector<uint8_t> file;
  std::string error;
  if (!ReadWholeFile(program, file, error)) return Fail(error);
  struct stat status {};
  mode_t mode = stat(program.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0755;
  PeSignatureInfo before;
  ReadPeSignatureInfo(file, before, error);
  size_t originalSize = file.size();
  if (!StampParamBlocks(file, texts, error)) return Fail(program + ": " + error);
  if (!ReplaceFile(output, file, mode, error)) return Fail(error);

  std::cout << "stamped " << texts.size() << " block(s), " << (file.size() - originalSize) << " bytes, into " << output;
  if (before.IsSigned()) {
    std::cout << " (certificate table grown from " << before.tableSize << " to "
              << before.tableSize + (file.size() - originalSize) << " bytes)";
  } else {
    std::cout << " (unsigned: appended at the end)";
  }
  std::cout << "\n";
  return 0;
}

int List(int argc, char** argv) {
  if (argc != 1) return std::cerr << kUsage, 2;
  std::vector<uint8_t> file;
  std::string error;
  if (!ReadWholeFile(argv[0], file, error)) return Fail(error);
  MemoryReader reader(file.data(), file.size());
  StderrLog log;
  std::vector<FoundParamBlock> blocks = ScanParamBlocks(reader, file.size(), log);
  int number = 0;
  for (const FoundParamBlock& block : blocks) {
    std::cout << "block " << ++number << ": offset " << block.dataOffset << ", " << block.dataLength
              << " bytes: " << block.text << "\n";
  }
  if (blocks.empty()) std::cout << "no channel parameter blocks\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "stamp") == 0) return Stamp(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "list") == 0) return List(argc - 2, argv + 2);
  std::cerr << kUsage;
  return 2;
}
