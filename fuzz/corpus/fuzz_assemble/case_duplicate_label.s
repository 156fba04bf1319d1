again:  nop
        jmp @again
again:  stop
