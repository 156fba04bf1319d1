// Assembles a vorel program from text with the facade seq, simulates it and
// prints what the run did.
#include <iostream>
#include <string>

#include "Logging.h"
#include "assembler/seq.h"

int main() {
    Logging::setLogLevel(std::string("warning")); // the library starts at "debug"
    seq vorel;
    std::string message;
    const std::string source = "        move 3, R1\n"
                               "        move 0, R2\n"
                               "again:  add R2, 5, R2\n"
                               "        loop R1, @again\n"
                               "        stop\n";
    if (vorel.assemble(source, message) != 0 || vorel.simulate(message) != 0) {
        std::cerr << message << '\n'; // the error report, or why the run was interrupted
        return 1;
    }
    std::cout << vorel.sim_->instructionCount << " instructions, " << vorel.sim_->classicalCycles
              << " classical cycles, R2 = " << vorel.getProcessor()->dataMemory.read(2) << '\n';
    return 0;
}
