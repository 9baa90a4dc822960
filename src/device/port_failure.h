#pragma once
// Why the serial port could not be had. The device layer only records what it found; the front
// ends put it into words, so that one failure reads the same in the window and on a terminal.

#include <string>

namespace quon::io {

struct PortFailure {
    enum class Kind {
        kNone,
        kMissing,           // no such port: not plugged in
        kPermissionDenied,  // the node's owner, group and mode below say why
        kHeld,              // another process has it; holderPid/holderName when known
        // The terminal refuses a second opener, but no holder can be seen: the exclusive flag
        // of a program killed before it could clear it, kept while something else (the other
        // end of a pseudo-terminal, a program that did not ask for it) keeps the terminal open.
        kExclusiveFlag,
        kNotTerminal,         // the name is no serial device (a file, a folder, /dev/null)
        kLockNotRegularFile,  // lockPath is a link, folder or FIFO: nobody can take the port
        kSystem,              // anything else: error and systemText
    };
    Kind kind = Kind::kNone;
    int error = 0;           // errno, or GetLastError() on Windows
    std::string systemText;  // what `error` means, in the words the user reads
    std::string lockPath;
    int holderPid = 0;
    std::string holderName;
    unsigned mode = 0;  // permission bits of the node
    std::string ownerName;
    std::string groupName;  // the id in decimal when the group database does not know it
    bool userInGroup = false;
    bool pseudoTerminal = false;  // kExclusiveFlag: a pseudo-terminal, not a plugged-in unit

    explicit operator bool() const { return kind != Kind::kNone; }
    static PortFailure Of(Kind kind, int error = 0)
    {
        PortFailure failure;
        failure.kind = kind;
        failure.error = error;
        return failure;
    }
};

// Pseudo-terminals (the simulator's among them) have device majors 136 to 143.
inline bool IsPseudoTerminalMajor(unsigned major) { return major >= 136 && major <= 143; }

// A kSystem failure with the system's own words for `error` (errno, or GetLastError()).
PortFailure SystemFailure(int error);

}  // namespace quon::io
