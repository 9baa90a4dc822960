// Arbitrary bytes from the line into the simulated unit: the parser must stay bounded, every
// reply must be a well-formed frame and the transfer buffer must respect its limit.
#include "sim/frame_codec.h"
#include "sim/unit_model.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace k64::sim;
    if (size == 0)
        return 0;
    // The first byte picks the faults and how the rest is cut into reads.
    const std::uint8_t mode = data[0];
    Faults faults;
    if (mode & 1)
        faults.malformedReply = {kReqIdInfo, kReqVersion, kReqSettings, kDataFragment};
    if (mode & 2)
        faults.wrongReply = {kReqIdInfo, kIdSet, kCommitUpdate};
    if (mode & 4)
        faults.dropAck = {1, 3};
    UnitState state;
    state.firmware = {"K64_r2", "000.013", "Sep 01 2016"};
    Unit unit(state, faults, {});
    FrameParser parser;
    const std::size_t piece = 1 + (mode >> 3);
    std::vector<Frame> frames;
    for (std::size_t at = 1; at < size; at += piece) {
        const std::size_t n = size - at < piece ? size - at : piece;
        parser.Feed({data + at, n}, frames);
        if (parser.Pending() > kHeaderSize + kMaxRequestPayload + kTrailerSize)
            std::abort();
        for (const Frame& f : frames) {
            const Outcome out = unit.Handle(f);
            if (!out.reply.empty()) {
                if (out.reply.size() < kHeaderSize + kTrailerSize)
                    std::abort();
                if (ReadU16(out.reply.data() + 2) != out.reply.size() - kHeaderSize - kTrailerSize)
                    std::abort();
                if (ReadU32(out.reply.data() + out.reply.size() - 4) != 0)
                    std::abort();
            }
            if (unit.Received() > kMaxTransferSize)
                std::abort();
            if (unit.State().settings.size() > kMaxSettingsText)
                std::abort();
        }
        frames.clear();
        if ((mode & 0x80) && at % 7 == 0)
            parser.Reset();  // the line closing now and then
    }
    return 0;
}
