.def lower 1
.FOO N 1
.DEF
.DEF N
.DEF N 5
.DEF N 7
        move    $M, R1
        move    $1x, R1
        move    $, R1
        nop     extra
        mov     5, R1
        move    5, r1
        move    R1
        wait    3
        wait    65536
        set_awg_gain -32769, 0
        move    99999999999999999999999999999, R1
        move    0x, R1
        move    --5, R1
        move    R99999999999, R1
        jmp     @nowhere
        jmp     @1
dup:    nop
dup:    nop
x:      .DEF a 1
        wait    100,,200
        a^b
1abc    R1
