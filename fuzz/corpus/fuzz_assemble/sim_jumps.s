# Register jumps, a jump beyond the program and a wait of -1 cycles.
.CODE
        move    6, R10
        move    0xffffffff, R11
        wait    R11
        jge     R11, 5, R10
        stop
        nop
        jmp     4000
