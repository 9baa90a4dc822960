#pragma once
// What the simulator's trace file says reached the unit, read with the simulator's own frame
// parser.

#include "sim/frame_codec.h"

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace k64::test {

using TracedFrame = sim::Frame;

// The request frames the simulator received, in order, from its trace file.
inline std::vector<TracedFrame> ReceivedFrames(const std::string& traceFile)
{
    std::vector<TracedFrame> frames;
    sim::FrameParser parser;
    std::ifstream in(traceFile);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string time, tag;
        fields >> time >> tag;
        if (tag != "rx")
            continue;
        std::vector<unsigned char> bytes;
        std::string hex;
        while (fields >> hex)
            bytes.push_back(static_cast<unsigned char>(std::stoul(hex, nullptr, 16)));
        parser.Feed(bytes, frames);
    }
    return frames;
}

inline std::vector<std::uint16_t> Codes(const std::vector<TracedFrame>& frames)
{
    std::vector<std::uint16_t> codes;
    for (const TracedFrame& f : frames)
        codes.push_back(f.code);
    return codes;
}

}  // namespace k64::test
