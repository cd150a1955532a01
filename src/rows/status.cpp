#include "rows/status.h"

namespace kelvaro {

const std::vector<StatusSpec>& Statuses() {
  static const std::vector<StatusSpec> statuses = {
      {Status::kCurrent, "\xCF\xD6\xD0\xD0", "按钮4"},                     // 现行
      {Status::kSuperseded, "\xD3\xD0\xD0\xC2\xB1\xEA\xD7\xBC", "按钮5"},  // 有新标准
      {Status::kUnknown, "\xCE\xB4\xD6\xAA", nullptr},                     // 未知
  };
  return statuses;
}

const StatusSpec& SpecOf(Status status) {
  static const StatusSpec none{Status::kNone, Text(), nullptr};
  for (const StatusSpec& spec : Statuses()) {
    if (spec.status == status) return spec;
  }
  return none;
}

const Text& StatusWord(Status status) { return SpecOf(status).word; }

Status StatusOfCell(const Text& cell) {
  for (const StatusSpec& spec : Statuses()) {
    if (spec.word == cell) return spec.status;
  }
  return Status::kNone;
}

}  // namespace kelvaro
