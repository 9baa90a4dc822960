#include "sim/line_watch.h"

namespace k64::sim {

LineWatch::~LineWatch() = default;

bool LineWatch::Start(const std::string&) { return false; }

std::vector<LineEvent> LineWatch::Take() { return {}; }

}  // namespace k64::sim
