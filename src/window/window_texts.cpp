#include "window/window_texts.h"

namespace kelvaro {

const char* WindowTitle() { return "Kelvaro（出现大量未知结果，换网或者等一会）--Tamsile qv2468"; }

std::string ProgressTitle(int done, int total) {
  return std::to_string(done)
      .append("/")
      .append(std::to_string(total))
      .append(" \u2013 ")
      .append(WindowTitle());
}

std::string ReadErrorText(const std::string& path, const std::string& reason) {
  return std::string("无法读取文件：").append(path).append("\n").append(reason);
}

std::string WriteErrorText(const std::string& path) {
  return std::string("无法写入文件：").append(path);
}

std::string FatalErrorText(const std::string& message) {
  return std::string("运行时出错!\r\n").append("\r\n错误信息：").append(message);
}

}  // namespace kelvaro
