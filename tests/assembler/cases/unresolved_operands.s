xa:     jmp @a
        jge R1, @q, @q
.DEF T @nowhere
        jmp $T
