# Mnemonics are looked up exactly as written.
        nop
        foo R1, 2
        NOP
        stop
