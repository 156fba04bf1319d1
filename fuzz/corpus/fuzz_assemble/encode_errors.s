# Parses, but every instruction but the last fails to encode.
.CODE
        move    99999999999999999999999999999, R1
        move    R99999999999, R1
        move    5, r1
        move    R1
        mov     5, R1
        wait    3
        wait    65536
        set_awg_gain -32769, 0
        jmp     4096
        nop
