        add R1 R2
        nop [
        move 1x, R1
        move 08, R1
        add R1x, 1, R2
        jmp @1
        move $1x, R1
.DEF
.FOO N 1
