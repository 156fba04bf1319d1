#include "seqprocessor/SeqArgument.h"

#include <cctype>

bool SeqArgument::isRegister() const {
    return !registerPrefix.empty() &&
           std::isalpha(static_cast<unsigned char>(registerPrefix[0])) != 0;
}
