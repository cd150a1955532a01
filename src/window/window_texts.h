// The window's own words beyond its layout: title, captions, messages, the progress title.
// UTF-8.
#pragma once

#include <string>

namespace kelvaro {

// "Kelvaro（出现大量未知结果，换网或者等一会）--Tamsile qv2468"
const char* WindowTitle();
// The title while batches run: "done/total – " before the usual title.
std::string ProgressTitle(int done, int total);

inline constexpr char kErrorCaption[] = "错误";
// "无法读取文件：<path>" and the system's reason on a line of its own.
std::string ReadErrorText(const std::string& path, const std::string& reason);
// "无法写入文件：<path>"
std::string WriteErrorText(const std::string& path);
// What the CSV export proposes, in the folder of the last imported file.
inline constexpr char kExportFileName[] = "结果.csv";

// The fatal run-time error when the window cannot be made: caption kErrorCaption, then
// "运行时出错!\r\n\r\n错误信息：" + message.
inline constexpr char kWindowLoadFailed[] = "载入启动窗口失败";
std::string FatalErrorText(const std::string& message);

}  // namespace kelvaro
