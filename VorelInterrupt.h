// Exceptions that interrupt a simulation run. They carry the instruction address
// at which the run stopped; the run loop appends it to the run's message.
#pragma once

#include <stdexcept>
#include <string>

#include "utils/StreamException.h"

class VorelInterrupt : public StreamException<std::runtime_error> {
public:
    VorelInterrupt(std::string text, unsigned int instructionAddress)
        : StreamException<std::runtime_error>(std::move(text)),
          instructionAddress(instructionAddress) {}
    VorelInterrupt(const VorelInterrupt&) = default;
    ~VorelInterrupt() override = default;

    // Address of the instruction that raised the interrupt.
    unsigned int instructionAddress;
};

// Raised by the instruction "illegal" (also the decoding of a zero word).
class VorelIllegalInterrupt : public VorelInterrupt {
public:
    using VorelInterrupt::VorelInterrupt;
    VorelIllegalInterrupt(const VorelIllegalInterrupt&) = default;
    ~VorelIllegalInterrupt() override = default;
};
