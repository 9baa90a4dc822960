#include "ui/running_mark.h"

namespace k64::ui {

RunningMark::RunningMark() = default;
RunningMark::~RunningMark() = default;

}  // namespace k64::ui
