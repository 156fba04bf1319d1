# Runs until the instruction limit.
.CODE
top:    nop
        add     R1, 1, R1
        jlt     R1, 0xffffffff, @top
        jmp     R0
