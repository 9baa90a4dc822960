#pragma once

namespace k64 {

// How the last update started from a button ended. k64ctl turns it into its exit status.
enum class [[nodiscard]] UpdateOutcome{
    None,            // nothing started yet, or a transfer is still running
    Declined,        // the user answered a question with Cancel or No; nothing sent after it
    DeviceBusy,      // the version request or the prepare request failed, or another process
                     // holds the port
    NotKept,         // what the update may change could not be kept first; nothing was prepared
    TransferFailed,  // a block was not acknowledged
    Stopped,         // the user (or a signal to k64ctl) stopped a transfer between two blocks
    CommitRejected,  // every block went through but the unit did not confirm the commit
    Committed,       // the unit confirmed length and checksum
};

}  // namespace k64
