#pragma once
// The registry back end of SystemPortNameStore with its two roots given, so that the fallback to
// the user's copy can be exercised on scratch keys instead of the real machine and user keys.

#include "platform/port_name_store.h"

#include <string>

#include <windows.h>

namespace k64 {

class RegistryPortNameStore final : public PortNameStore {
public:
    // The name is written below `machine` when that can be done, below `user` otherwise; `user`
    // is read first. Both handles stay owned by the caller.
    RegistryPortNameStore(HKEY machine, HKEY user) : machine_(machine), user_(user) {}
    std::string Load() override;
    void Save(const std::string& name) override;

private:
    HKEY machine_;
    HKEY user_;
};

}  // namespace k64
