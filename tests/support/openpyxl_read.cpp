#include "support/openpyxl_read.h"

#include <gtest/gtest.h>

#include <string>

#include "support/process.h"
#include "support/temp_dir.h"

namespace kelvaro::test {

nlohmann::json OpenpyxlRead(const Bytes& bytes) {
  const TempDir dir;
  const std::string path = dir.Write("table.xlsx", std::string(bytes.begin(), bytes.end()));
  const ProcessResult run = RunProcess(
      {"/usr/bin/python3", KELVARO_SOURCE_DIR "/tests/support/openpyxl_dump.py", "xlsx", path});
  if (run.exit_code != 0) {
    ADD_FAILURE() << "openpyxl could not read the workbook:\n" << run.err;
    return nlohmann::json::object();
  }
  return nlohmann::json::parse(run.out);
}

}  // namespace kelvaro::test
