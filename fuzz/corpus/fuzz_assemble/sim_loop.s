# A counted loop with register operands and the prefetch rule.
.DEF N 10
.CODE
        move    $N, R1
        move    0, R2
again:  add     R2, 1, R2
        add     R2, R2, R3
        move    R3, R4
        sub     R4, R2, R5
        play    R2, R3, 40
        set_ph  R1, R2, R3
        wait    R5
        loop    R1, @again
        asl     R2, 31, R6
        asr     R6, R2, R7
        xor     R7, 0xffffffff, R8
        not     R8, R9
        jge     R9, 0, @done
        illegal
done:   stop
