#include "fleet_output.h"

namespace k64::cli {

namespace {
thread_local std::FILE* unitOutput = nullptr;
thread_local UnitStatus* unitStatus = nullptr;
}  // namespace

ScopedUnitOutput::ScopedUnitOutput(std::FILE* out) { unitOutput = out; }
ScopedUnitOutput::~ScopedUnitOutput() { unitOutput = nullptr; }
std::FILE* UnitOutput() { return unitOutput; }

UnitStatus* CurrentUnitStatus() { return unitStatus; }
ScopedUnitStatus::ScopedUnitStatus(UnitStatus* status) { unitStatus = status; }
ScopedUnitStatus::~ScopedUnitStatus() { unitStatus = nullptr; }

}  // namespace k64::cli
