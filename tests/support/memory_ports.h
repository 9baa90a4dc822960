#pragma once
// The port-name store and port catalog for tests and benchmarks: in memory, so no run touches
// the user's stored port, and open to the test so it can see what the code under test saved.

#include "device/port_store.h"

#include <string>
#include <utility>
#include <vector>

namespace k64::test {

class MemoryPortStore final : public PortNameStore {
public:
    // `stored` is what an earlier run left; it is not counted as a save.
    explicit MemoryPortStore(std::string stored = {}) : name(std::move(stored)) {}
    std::string Load() override { return name; }
    void Save(const std::string& saved) override
    {
        name = saved;
        saves.push_back(saved);
    }

    std::string name;
    std::vector<std::string> saves;  // every name saved, in order
};

class ListPortCatalog final : public PortCatalog {
public:
    explicit ListPortCatalog(std::vector<std::string> candidates = {})
        : names(std::move(candidates))
    {
    }
    std::vector<std::string> Candidates() override { return names; }

    std::vector<std::string> names;
};

}  // namespace k64::test
